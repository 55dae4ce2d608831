// The clean-up run driven through a recording UI: the order of what the user
// sees, the early ways out, the index erase, the summary and the exceptions
// that end a run. (Halting reports are checked end to end in cli_test.)
#include "run.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
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
  void TableBegun(const std::string&, const std::string& text) override {
    log.push_back("show " + text);
    if (onShow) onShow(text);
  }
  void TablesDone() override { log.push_back("hide"); }
  void SetBusyCursor() override { log.push_back("busy"); }
  void SetDefaultCursor() override { log.push_back("default"); }
  void ProcessEvents() override { log.push_back("events"); }
  void Summary(const std::string& text, const std::string& caption) override {
    log.push_back(caption + ": " + text);
  }
  void FreeForms() override { log.push_back("free"); }
  void Failed(const std::string& text) override { log.push_back("fatal " + text); }
};

std::string Table(const std::vector<std::string>& records) {
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3}};
  layout.records = records;
  return testkit::BuildDbf(layout);
}
std::string Blanked(std::string bytes) {
  for (size_t i = 32 + 2 * 32 + 1; i < bytes.size(); ++i) bytes[i] = bytes[i] == '\0' ? ' ' : bytes[i];
  return bytes;
}

// Three damaged tables (3, 2 and 1 NULs in 2, 1 and 1 records), two index
// files, a hidden one and a text file; the second table is not selected.
struct Scene {
  testkit::TempDir dir;
  const std::string a = Table({std::string(" \0\0", 3), std::string(" x   \0", 6)});
  const std::string b = Table({std::string("*    \0\0", 7)});
  const std::string c = Table({" ok    1", std::string(" y\0", 3)});
  testkit::RecordingPlatform platform;
  kestrel::Engine engine{platform};
  FakeUi ui;

  Scene() {
    dir.Write("a.dbf", a);
    dir.Write("B.DBF", b);
    dir.Write("c.dbf", c);
    for (const char* n : {"a.ndx", "B.NDX", ".hidden.ndx", "keep.txt"}) dir.Write(n, "index");
    ui.dialog = {true, dir.path(), {{"a.dbf", true}, {"B.DBF", false}, {"c.dbf", true}}};
  }
  std::string Read(const std::string& name) const { return testkit::ReadFile(dir.File(name)); }
  bool Exists(const std::string& name) const { return testkit::FileExists(dir.File(name)); }
};

TEST(CleanUpRun, CancelOrAnEmptyListTouchesNothing) {
  Scene s;
  const std::vector<std::string> noRun = {"dialog", "free", "default"};
  s.ui.dialog.ok = false;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log, noRun);
  s.ui.log.clear();
  s.ui.dialog = {true, s.dir.path(), {}};
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log, noRun);
  EXPECT_EQ(s.Read("a.dbf"), s.a);
  EXPECT_TRUE(s.Exists("a.ndx"));
}

TEST(CleanUpRun, CleansTheSelectedEntriesInListOrderThenErasesTheIndexes) {
  Scene s;
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
  EXPECT_EQ(s.Read("B.DBF"), s.b);
  EXPECT_EQ(s.Read("c.dbf"), Blanked(s.c));
  EXPECT_FALSE(s.Exists("a.ndx"));
  EXPECT_FALSE(s.Exists("B.NDX"));
  EXPECT_TRUE(s.Exists(".hidden.ndx"));
  EXPECT_TRUE(s.Exists("keep.txt"));
  EXPECT_EQ(s.engine.CurrentArea(), 1);
  EXPECT_EQ(s.engine.Area(1), nullptr);

  // With nothing selected the index files still go, and the summary says 0.
  s.dir.Write("a.ndx", "index");
  s.ui.log.clear();
  for (auto& e : s.ui.dialog.entries) e.selected = false;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), 0);
  EXPECT_EQ(s.ui.log.at(4), "dbfclean: Database(s) are cleaned up! Fixed 0 zeroes in 0 records");
  EXPECT_FALSE(s.Exists("a.ndx"));
}

// A run that ends early after its first repair leaves no index file behind:
// they went just before that repair.
TEST(RunProgram, AnExceptionEndsTheRunWithAMessageAndItsStatus) {
  Scene s;
  // The size query of the second table fails: the runtime's I/O failure.
  s.ui.onShow = [&](const std::string& text) {
    if (text == "Cleaning c.dbf database...") s.platform.faults.size = 5;
  };
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), dbfclean::kExitIoError);
  std::string path = s.dir.File("c.dbf");
  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) {
    for (auto& ch : path) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
  }
  const std::vector<std::string> tail = {
      "free", "default",
      "fatal The run was stopped by an input/output error: I/O error 5 reading " + path +
          ". Tables cleaned before it keep their repairs; the index files were erased before the first repair."};
  ASSERT_EQ(s.ui.log.size(), 11u);
  EXPECT_EQ(std::vector<std::string>(s.ui.log.begin() + 8, s.ui.log.end()), tail);
  EXPECT_EQ(s.Read("a.dbf"), Blanked(s.a));
  EXPECT_FALSE(s.Exists("a.ndx"));
  EXPECT_FALSE(s.Exists("B.NDX"));
  EXPECT_TRUE(s.Exists(".hidden.ndx"));
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

// A selected table whose full path the engine would cut to its 255
// characters would open another file in its place (here a decoy named like
// the cut path): the run refuses it before any table is opened.
TEST(CleanUpRun, ATableTheEngineWouldNotOpenAsItselfStopsTheRunUntouched) {
  Scene s;
  const std::string sep(1, kestrel::PathSeparator());
  const size_t room = 257 - s.dir.path().size() - sep.size() - std::string(sep + "t.dbf").size();
  const std::string sub = s.dir.File(std::string(room, 'd'));
  ASSERT_TRUE(std::filesystem::create_directory(sub));
  const std::string table = sub + sep + "t.dbf";
  ASSERT_EQ(table.size(), 257u);
  testkit::WriteFile(table, s.a);
  testkit::WriteFile(table.substr(0, 255), s.a);  // ".../t.d"
  testkit::WriteFile(sub + sep + "x.ndx", "index");
  s.ui.dialog = {true, sub, {{"a.dbf", false}, {"t.dbf", true}}};
  testkit::WriteFile(sub + sep + "a.dbf", s.a);
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui), dbfclean::kExitWrongTable);
  const std::vector<std::string> expected = {
      "dialog", "free", "default",
      "fatal Cannot clean " + table + ": the path is longer than the table engine's 255 characters. No table was touched."};
  EXPECT_EQ(s.ui.log, expected);
  EXPECT_EQ(testkit::ReadFile(table), s.a);
  EXPECT_EQ(testkit::ReadFile(table.substr(0, 255)), s.a);
  EXPECT_TRUE(testkit::FileExists(sub + sep + "x.ndx"));
}

// A stop is honoured after the record being worked on: the table is closed,
// no further table is opened, no summary is shown, and the index files go
// only when something was repaired before the stop.
TEST(CleanUpRun, AStopEndsTheRunAfterTheRecordBeingWorkedOn) {
  Scene s;
  std::atomic<bool> stop = true;  // before the first table: nothing is touched
  dbfclean::RunOptions options;
  options.stop = &stop;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui, options), dbfclean::kExitInterrupted);
  const std::vector<std::string> untouched = {"dialog", "busy", "hide", "events", "free", "default"};
  EXPECT_EQ(s.ui.log, untouched);
  EXPECT_EQ(s.Read("a.dbf"), s.a);
  EXPECT_TRUE(s.Exists("a.ndx"));

  // During a.dbf: its first record is repaired, its second and c.dbf are not.
  stop = false;
  s.ui.log.clear();
  s.ui.onShow = [&](const std::string&) { stop = true; };
  dbfclean::Counters counts;
  EXPECT_EQ(dbfclean::RunProgram(s.engine, s.ui, options, &counts), dbfclean::kExitInterrupted);
  EXPECT_EQ(s.ui.log.back(), "default");
  EXPECT_EQ(s.ui.log.at(s.ui.log.size() - 4), "hide");  // and no summary
  EXPECT_EQ(counts.ZeroesFixed, 2);
  EXPECT_EQ(counts.RecordsFixed, 1);
  EXPECT_EQ(s.Read("a.dbf"), Blanked(s.a).substr(0, 32 + 64 + 1 + 8) + s.a.substr(32 + 64 + 1 + 8));
  EXPECT_EQ(s.Read("c.dbf"), s.c);
  EXPECT_FALSE(s.Exists("a.ndx"));
  EXPECT_EQ(s.engine.Area(1), nullptr);
}

}  // namespace
