// The clean-up run driven through a recording UI: the order of what the user
// sees, the early ways out, the index erase, the summary, the halting report
// and the exceptions that end a run.
#include "run.h"

#include <gtest/gtest.h>

#include <functional>
#include <stdexcept>

#include "testkit.h"

namespace {

using testkit::Record;

class FakeUi : public dbfclean::RunUi {
 public:
  dbfclean::DialogResult dialog;
  std::vector<std::string> log;
  std::function<void(const std::string&)> onShow;

  dbfclean::DialogResult ShowSelectionDialog() override {
    log.push_back("dialog");
    return dialog;
  }
  void ShowProgress(const std::string& text) override {
    log.push_back("show " + text);
    if (onShow) onShow(text);
  }
  void HideProgress() override { log.push_back("hide"); }
  void SetBusyCursor() override { log.push_back("busy"); }
  void SetDefaultCursor() override { log.push_back("default"); }
  void ProcessEvents() override { log.push_back("events"); }
  void ShowSummary(const std::string& text, const std::string& caption) override {
    log.push_back(caption + ": " + text);
  }
  void FreeForms() override { log.push_back("free"); }
  void ShowFatalError(const std::string& text) override { log.push_back("fatal " + text); }
};

std::string Upper(std::string s) {
  for (auto& c : s) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return s;
}

// A directory with three damaged tables (3, 2 and 1 NUL bytes in 2, 1 and 1
// records), two index files, a hidden one and a text file.
struct Scene {
  testkit::TempDir dir;
  testkit::DbfSpec spec;
  std::string a, b, c;
  testkit::RecordingPlatform platform;
  kestrel::Engine engine{platform};
  FakeUi ui;

  Scene() {
    spec.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3}};
    a = Make({Record(spec, {std::string("\0\0", 2)}), Record(spec, {"x", std::string("\0", 1)})});
    b = Make({Record(spec, {"", std::string("\0\0", 2)}, true)});
    c = Make({Record(spec, {"ok", "  1"}), Record(spec, {std::string("y\0", 2)})});
    for (const char* n : {"a.ndx", "B.NDX", ".hidden.ndx", "keep.txt"}) dir.Write(n, "index");
    ui.dialog = {true, dir.path(), {{"a.dbf", true}, {"B.DBF", false}, {"c.dbf", true}}};
  }
  std::string Make(std::vector<std::string> records) {
    spec.records = std::move(records);
    return testkit::BuildDbf(spec);
  }
  std::string Path(const std::string& name) const { return dir.File(name); }
  void WriteTables() {
    dir.Write("a.dbf", a);
    dir.Write("B.DBF", b);
    dir.Write("c.dbf", c);
  }
  std::string Read(const std::string& name) const { return testkit::ReadFile(dir.File(name)); }
  bool Exists(const std::string& name) const { return testkit::FileExists(dir.File(name)); }
};

std::string Blanked(std::string bytes) {
  for (size_t i = 32 + 2 * 32 + 1; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') bytes[i] = ' ';
  }
  return bytes;
}

const std::vector<std::string> kNoRun = {"dialog", "free", "default"};

TEST(CleanUpRun, CancelOrAnEmptyListTouchesNothing) {
  Scene s;
  s.WriteTables();
  s.ui.dialog.ok = false;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log, kNoRun);
  s.ui.log.clear();
  s.ui.dialog = {true, s.dir.path(), {}};
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log, kNoRun);
  EXPECT_EQ(s.Read("a.dbf"), s.a);
  EXPECT_TRUE(s.Exists("a.ndx"));
  EXPECT_TRUE(s.Exists("B.NDX"));
}

TEST(CleanUpRun, CleansTheSelectedEntriesInListOrderThenErasesTheIndexes) {
  Scene s;
  s.WriteTables();
  dbfclean::Counters counters;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui, {}, &counters), 0);
  const std::vector<std::string> expected = {"dialog",
                                             "busy",
                                             "show Cleaning a.dbf database...",
                                             "busy",
                                             "events",
                                             "show Cleaning c.dbf database...",
                                             "busy",
                                             "events",
                                             "hide",
                                             "events",
                                             "dbfclean: Database(s) are cleaned up! Fixed 4 zeroes in 3 records",
                                             "free",
                                             "default"};
  EXPECT_EQ(s.ui.log, expected);
  EXPECT_EQ(counters.ZeroesFixed, 4);
  EXPECT_EQ(counters.RecordsFixed, 3);
  EXPECT_EQ(s.Read("a.dbf"), Blanked(s.a));
  EXPECT_EQ(s.Read("B.DBF"), s.b);  // not selected
  EXPECT_EQ(s.Read("c.dbf"), Blanked(s.c));
  EXPECT_FALSE(s.Exists("a.ndx"));
  EXPECT_FALSE(s.Exists("B.NDX"));
  EXPECT_TRUE(s.Exists(".hidden.ndx"));
  EXPECT_TRUE(s.Exists("keep.txt"));
  EXPECT_EQ(s.engine.CurrentArea(), 1);
  EXPECT_EQ(s.engine.Area(1), nullptr);
}

TEST(CleanUpRun, NothingSelectedStillErasesAndADryRunErasesNothing) {
  Scene s;
  s.WriteTables();
  for (auto& e : s.ui.dialog.entries) e.selected = false;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log.at(s.ui.log.size() - 3), "dbfclean: Database(s) are cleaned up! Fixed 0 zeroes in 0 records");
  EXPECT_FALSE(s.Exists("a.ndx"));

  s.dir.Write("a.ndx", "index");
  s.ui.log.clear();
  s.ui.dialog.entries[1].selected = true;
  dbfclean::RunOptions dry;
  dry.dryRun = true;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui, dry), 0);
  EXPECT_EQ(s.ui.log.at(s.ui.log.size() - 3), "dbfclean: Dry run: would fix 2 zeroes in 1 records");
  EXPECT_EQ(s.Read("B.DBF"), s.b);
  EXPECT_TRUE(s.Exists("a.ndx"));
}

TEST(CleanUpRun, AnEngineErrorHaltsWithItsCodeAfterTheEarlierTablesAreRepaired) {
  Scene s;
  s.WriteTables();
  s.dir.Write("B.DBF", "This is no table, only a line of plain text.");
  for (auto& e : s.ui.dialog.entries) e.selected = true;
  auto code = testkit::RunUntilExit([&] { dbfclean::RunProgram(s.engine, s.ui); });
  ASSERT_EQ(code, 210);
  ASSERT_EQ(s.platform.halts.size(), 1u);
  EXPECT_EQ(s.platform.halts[0].caption, "Program halted.");
  EXPECT_EQ(s.platform.halts[0].text, "Error # 210 (Not a dBASE data file)\r\n" + Upper(s.Path("B.DBF")) +
                                          " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
  // What ran: the third table, the erase and the summary did not.
  const std::vector<std::string> seen(s.ui.log.begin(), s.ui.log.begin() + 8);
  const std::vector<std::string> expected = {"dialog", "busy",   "show Cleaning a.dbf database...",
                                             "busy",   "events", "show Cleaning B.DBF database...",
                                             "busy",   "events"};
  EXPECT_EQ(seen, expected);
  for (const auto& line : s.ui.log) EXPECT_NE(line, "hide");
  EXPECT_EQ(s.Read("a.dbf"), Blanked(s.a));
  EXPECT_EQ(s.Read("c.dbf"), s.c);
  EXPECT_TRUE(s.Exists("a.ndx"));
  EXPECT_EQ(s.engine.Area(1), nullptr);  // the exit procedure closed everything
}

TEST(RunProgram, AnExceptionEndsTheRunWithAMessageAndItsStatus) {
  Scene s;
  s.WriteTables();
  // The size query of the second table fails: the runtime's I/O failure.
  s.ui.onShow = [&](const std::string& text) {
    if (text == "Cleaning c.dbf database...") s.platform.faults.size = 5;
  };
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), dbfclean::kExitIoError);
  ASSERT_GE(s.ui.log.size(), 3u);
  EXPECT_EQ(s.ui.log[s.ui.log.size() - 3], "free");
  EXPECT_EQ(s.ui.log[s.ui.log.size() - 2], "default");
  EXPECT_EQ(s.ui.log.back(), "fatal The run was stopped by an input/output error: I/O error 5 reading " +
                                 Upper(s.Path("c.dbf")) +
                                 ". Tables cleaned before it keep their repairs; no index file was erased.");
  EXPECT_EQ(s.Read("a.dbf"), Blanked(s.a));
  EXPECT_TRUE(s.Exists("a.ndx"));
  EXPECT_EQ(s.engine.CurrentArea(), 1);
  EXPECT_EQ(s.engine.Area(1), nullptr);

  s.platform.faults.size.reset();
  s.ui.log.clear();
  s.ui.onShow = [](const std::string&) { throw std::runtime_error("panel gone"); };
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), dbfclean::kExitSoftware);
  const std::vector<std::string> expected = {
      "dialog",
      "busy",
      "show Cleaning a.dbf database...",
      "free",
      "default",
      "fatal The run was stopped by an unexpected error: panel gone. Tables cleaned before it keep their repairs; no "
      "index file was erased."};
  EXPECT_EQ(s.ui.log, expected);
}

}  // namespace
