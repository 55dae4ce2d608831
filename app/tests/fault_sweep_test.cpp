// The fault sweep: the whole run over a few tables, once per platform call,
// with that one call failing, also with the command-line program's backups.
// Whatever fails, the user sees exactly one report (with the code and text of
// the operation that owns the call) or the run's own message, every table is
// closed on the way out, no byte changes but NULs made blanks, no index file
// is left beside a repaired table, and every backup is whole or not there.
#include <gtest/gtest.h>

#include <cctype>
#include <filesystem>
#include <set>

#include "cli.h"
#include "run.h"
#include "testkit.h"

namespace {

using Call = testkit::RecordingPlatform::Call;

class QuietUi : public dbfclean::RunUi {
 public:
  explicit QuietUi(std::string directory, std::vector<std::string> names) {
    dialog_.ok = true;
    dialog_.directory = std::move(directory);
    for (auto& n : names) dialog_.entries.push_back({n, true});
  }
  dbfclean::DialogResult ShowSelectionDialog() override { return dialog_; }
  void Summary(const std::string& text, const std::string&) override { summary = text; }
  void Failed(const std::string& text) override { fatal = text; }
  std::string summary, fatal;

 private:
  dbfclean::DialogResult dialog_;
};

testkit::DbfLayout Layout(std::vector<std::string> records) {
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3, 1}};
  layout.records = std::move(records);
  return layout;
}

struct Scenario {
  const char* what;
  std::vector<std::pair<std::string, std::string>> tables;  // name, bytes; cleaned in this order
  bool endsCleanly;
};

std::vector<Scenario> Scenarios() {
  const std::string damaged =
      testkit::BuildDbf(Layout({std::string(" \0b\0\0  1", 8), " none 2", std::string("*x\0\0\0\0\0\0", 8)}));
  const std::string clean = testkit::BuildDbf(Layout({" okay  1", " fine  2"}));
  // Three records claimed, the third ends inside the file: 213 after two.
  auto shortLayout = Layout({std::string(" \0\0\0\0  3", 8), " rec2 4"});
  shortLayout.recordCount = 3;
  shortLayout.eofMarker = false;
  const std::string shortTable = testkit::BuildDbf(shortLayout) + " re";
  return {
      {"clean and damaged", {{"clean.dbf", clean}, {"damaged.dbf", damaged}}, true},
      {"damaged, then one that ends inside a record", {{"damaged.dbf", damaged}, {"short.dbf", shortTable}}, false}};
}

// What the one report may say for a failure of `call` while `table` is worked
// on: the operation that owns the call gives the code and the text.
std::set<std::string> Expected(Call call, uint16_t code, const std::string& table, const std::string& mask) {
  const std::string name = testkit::EngineText(table);
  const std::string head = kestrel::Engine::ErrorMessage(code) + "\r\n";
  const std::string record = "File:  " + name + "  [GetDbfRecord]";
  switch (call) {
    case Call::Open: return {head + "Failure to open " + name + " [USE/OpenDbf]"};
    case Call::Read:
    case Call::Seek: return {head + record, head + "[Poke("};
    case Call::ShortRead:
      return {"Error # 210 (Not a dBASE data file)\r\n" + name +
                  " is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]",
              "Error # 100 (Disk read error)\r\nError reading " + name + " [Use/OpenDbf]",
              "Error # 213 (End of file found unexpectedly)\r\n" + record};
    case Call::Write: return {head + "[Poke("};
    case Call::ShortWrite: return {"Error # 101 (Disk write error (probable cause: Disk Full).)\r\n[Poke("};
    case Call::Close: return {head + "File:  " + name + " [CloseDbf(" + name + ")]"};
    case Call::Flush: return {head + "File:  " + name + " [Commit]"};
    case Call::Remove: return {"Error # 5 (File access denied)\r\nCould not erase 1 files like " + mask};
    default: return {};
  }
}

// What one run left: the exit status (none for a normal end), the reports
// and messages the user saw.
struct Outcome {
  std::optional<int> exit;
  std::vector<testkit::HaltReport> halts;
  std::string fatal;    // the run's own message
  std::string summary;  // the summary line
};

// The run through a recording UI, as the desktop programs make it.
Outcome RunThroughUi(testkit::RecordingPlatform& platform, const std::string& dir,
                     const std::vector<std::string>& names) {
  QuietUi ui(dir, names);
  Outcome out;
  kestrel::Engine engine(platform);
  out.exit = testkit::RunUntilExit([&] {
    const int code = dbfclean::RunProgram(engine, ui);
    if (code != 0) throw testkit::ProcessExit{code};
  });
  for (int a = 1; a <= kestrel::Engine::kAreas; ++a) {
    EXPECT_EQ(engine.Area(static_cast<uint8_t>(a)), nullptr) << "area " << a << " left open";
  }
  out.halts = platform.halts;
  out.fatal = ui.fatal;
  out.summary = ui.summary;
  return out;
}

// dbfclean-cli --backup in this process: its copies go through the platform too.
Outcome RunCliWithBackup(testkit::RecordingPlatform& platform, const std::string& dir, const std::string& backup) {
  std::vector<std::string> args = {"dbfclean-cli", "-q", "-b", backup, dir};
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  Outcome out;
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  out.exit = testkit::RunUntilExit([&] {
    const int code = dbfclean::CliMain(static_cast<int>(args.size()), argv.data(), platform);
    if (code != 0) throw testkit::ProcessExit{code};
  });
  out.summary = testing::internal::GetCapturedStdout();
  const std::string err = testkit::WithoutLinesContaining(testing::internal::GetCapturedStderr(), ": the header count");
  // The CLI prints the halting box's lines itself.
  const size_t halt = err.find("Program halted.\n");
  if (halt != std::string::npos) {
    out.halts.push_back({err.substr(halt + 16), "Program halted."});
    EXPECT_EQ(err.find("Program halted.", halt + 1), std::string::npos) << err;
  } else if (out.exit) {
    out.fatal = err;
  }
  return out;
}

TEST(FaultSweep, EveryFailingCallEndsInOneReportWithNothingButRepairsWritten) {
  const std::vector<std::pair<Call, uint16_t>> kinds = {
      {Call::Open, 32},  {Call::Size, 30},      {Call::Seek, 25},   {Call::Read, 30},  {Call::ShortRead, 0},
      {Call::Write, 29}, {Call::ShortWrite, 0}, {Call::Lock, 33},   {Call::Close, 29}, {Call::Remove, 5},
      {Call::Search, 3}, {Call::Create, 5},     {Call::MakeDir, 5}, {Call::Flush, 29}, {Call::Time, 5},
      {Call::Rename, 5}};
  int sweptCalls = 0;
  for (const bool withBackup : {false, true}) {
    for (const Scenario& scenario : Scenarios()) {
      // A run without faults counts the calls of each kind.
      std::map<Call, int> baseline;
      auto runOnce = [&](std::optional<testkit::RecordingPlatform::SweepFault> fault,
                         const std::string& label) -> bool {
        SCOPED_TRACE(label);
        testkit::TempDir dir;
        testkit::TempDir place;
        const std::string backup = place.File("copies");
        std::vector<std::string> names;
        for (const auto& [name, bytes] : scenario.tables) {
          dir.Write(name, bytes);
          names.push_back(name);
        }
        dir.Write("orders.ndx", "index");
        testkit::RecordingPlatform platform;
        platform.sweep = fault;
        const Outcome out =
            withBackup ? RunCliWithBackup(platform, dir.path(), backup) : RunThroughUi(platform, dir.path(), names);
        if (!fault) baseline = platform.calls;
        // Nothing but NULs inside records turned into blanks; a table that
        // changed has its whole backup, taken before.
        bool repaired = false;
        for (const auto& [name, before] : scenario.tables) {
          const std::string after = testkit::ReadFile(dir.File(name));
          EXPECT_EQ(after.size(), before.size()) << name;
          for (size_t i = 0; i < before.size() && i < after.size(); ++i) {
            if (after[i] != before[i] && !(before[i] == '\0' && after[i] == ' ' && i >= 32 + 2 * 32 + 1 + 1)) {
              ADD_FAILURE() << name << " byte " << i << " changed";
              break;
            }
          }
          const std::string copy = backup + "/" + name;
          if (withBackup && (after != before || testkit::FileExists(copy))) {
            EXPECT_EQ(testkit::ReadFile(copy), before) << name;
          }
          repaired = repaired || after != before;
        }
        const bool indexGone = !testkit::FileExists(dir.File("orders.ndx"));
        if (withBackup && (indexGone || testkit::FileExists(backup + "/orders.ndx"))) {
          EXPECT_EQ(testkit::ReadFile(backup + "/orders.ndx"), "index");
        }
        // A repair on disk has no index file beside it: it went before the
        // first write (a failed erase or search leaves it to be reported).
        const bool eraseFailed = fault && (fault->call == Call::Remove || fault->call == Call::Search);
        if (repaired && !eraseFailed) {
          EXPECT_TRUE(indexGone);
        }
        const bool clean = !out.exit && out.fatal.empty();
        EXPECT_LE(out.halts.size(), 1u);
        if (!out.halts.empty()) {
          EXPECT_EQ(out.halts[0].caption, "Program halted.");
          std::set<std::string> allowed;
          for (const auto& [name, bytes] : scenario.tables) {
            for (auto& t : Expected(fault ? fault->call : Call::Read, fault ? fault->code : 213, dir.File(name),
                                    dir.File("*.ndx"))) {
              allowed.insert(t);
            }
          }
          // A fault that comes after the table that ends early has failed meets
          // that table's own report first (or is only recorded on the way out).
          if (!scenario.endsCleanly) {
            const std::string early = "Error # 213 (End of file found unexpectedly)\r\nFile:  " +
                                      testkit::EngineText(dir.File(scenario.tables.back().first)) + "  [GetDbfRecord]";
            allowed.insert(early);
          }
          const std::string& text = out.halts[0].text;
          // The command-line program prints the box's lines with "\n".
          auto shown = [&](const std::string& t) { return withBackup ? kestrel::WithNewlines(t) : t; };
          const std::string end = withBackup ? "\n" : "";
          bool matched = false;
          for (const auto& t : allowed) {
            if (text == shown(kestrel::Cut(t, 255)) + end || (t.back() == '(' && text.rfind(shown(t), 0) == 0)) {
              matched = true;
            }
          }
          EXPECT_TRUE(matched) << text;
          if (!withBackup) {
            EXPECT_EQ(out.exit, platform.exits.front() > 255 ? 255 : platform.exits.front());
          }
        } else if (!clean && withBackup) {
          // A backup that could not be taken, the run's input/output message,
          // or a directory that could not be read before anything began.
          const bool unread = fault && fault->call == Call::Search && out.exit == 64;
          EXPECT_TRUE(out.exit == dbfclean::kExitIoError || out.exit == 73 || unread) << out.fatal;
          EXPECT_EQ(out.fatal.rfind("dbfclean-cli: ", 0), 0u) << out.fatal;
        } else if (!clean) {
          // The run's own message for the runtime's input/output failure.
          EXPECT_EQ(out.exit, dbfclean::kExitIoError) << out.fatal;
          EXPECT_EQ(out.fatal.rfind("The run was stopped by an input/output error: ", 0), 0u) << out.fatal;
        } else {
          EXPECT_NE(out.summary.find("Database(s) are cleaned up! Fixed "), std::string::npos);
          if (!eraseFailed) {
            EXPECT_TRUE(indexGone) << out.summary;
          }
        }
        return clean;
      };
      const std::string what = std::string(scenario.what) + (withBackup ? ", with --backup" : "");
      EXPECT_EQ(runOnce(std::nullopt, what + ", no fault"), scenario.endsCleanly);
      for (auto [call, code] : kinds) {
        for (int nth = 0; nth < baseline[call]; ++nth) {
          ++sweptCalls;
          runOnce(testkit::RecordingPlatform::SweepFault{call, nth, code},
                  what + ": call kind " + std::to_string(static_cast<int>(call)) + " #" + std::to_string(nth));
        }
      }
    }
  }
  EXPECT_GT(sweptCalls, 60);
}

}  // namespace
