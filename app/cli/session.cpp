// The session over one directory or a tree: each directory's run, in parts
// when it goes on after a halt, and what the runs add up to.
#include "session.h"

#include <algorithm>
#include <memory>
#include <optional>
#include <set>

#include "directory_run.h"
#include "tables.h"

namespace dbfclean {

Session::Session(kestrel::Platform& host, const Settings& settings, Reporter& reporter, bool tree)
    : host_(host), settings_(settings), reporter_(reporter), tree_(tree), stop_(host.CatchStopRequests()) {
  walk_.tree = tree;
}

Session::~Session() { Release(); }

void Session::Release() {
  if (caught_) host_.ReleaseStopRequests();
  caught_ = false;
}

int Session::Clean(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries) {
  ++walk_.directories;
  if (tree_) reporter_.DirectoryBegun(relative);
  // A check looks at every table, and -k asks a repair to: after a table the
  // engine halts on, the directory's run goes on with the tables after it,
  // in a part of its own that ends as a run ends (the index files, the
  // summary). A halt on the last table ends the run as it stands.
  const bool goOn = settings_.keepGoing || settings_.dryRun;
  std::vector<FileEntry> left = entries;
  Unchecked unchecked;
  told_.clear();
  int first = 0;  // the code of the directory's first halt
  for (;;) {
    int begun = 0;
    bool halted = false, summary = false;
    const int status = RunPart(cleanDir, relative, left, goOn, &unchecked, &begun, &halted, &summary);
    if (status != 0 && status != kExitInterrupted) {
      ++walk_.halted;
      if (first == 0) first = status;
    }
    // The tables begun are behind the run: the halted one was the last.
    bool more = false;
    for (auto& e : left) {
      if (begun == 0) more = more || e.selected;
      if (e.selected && begun > 0) --begun, e.selected = false;
    }
    if (halted && more) continue;
    if (!tree_ && (summary || (halted && goOn))) {
      reporter_.Summary(counts_, settings_.dryRun, walk_.halted > 0 ? &walk_ : nullptr);
    }
    for (const auto& [why, paths] : unchecked) reporter_.SharingUnchecked(why, paths);
    return status == kExitInterrupted || first == 0 ? status : first;
  }
}

int Session::RunPart(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries,
                     bool goOn, Unchecked* unchecked, int* begun, bool* halted, bool* summary) {
  CliPlatform platform(host_, reporter_);
  platform.goOn = goOn;
  platform.unchecked = unchecked;  // told once, at the directory's end
  kestrel::Engine engine(platform);
  if (auto status = RefuseWrongTables(engine, cleanDir, entries, reporter_)) return *status;

  DirectoryRun run(settings_, reporter_, host_, platform, engine, cleanDir, relative, entries);
  run.TellOnce(&told_);
  RunOptions options;
  options.dryRun = settings_.dryRun;
  options.fieldRepairs = settings_.list;
  options.tableHealth = true;
  options.fixCount = settings_.fixCount;
  options.stop = stop_;
  Counters counts;
  int status = 0;
  try {
    status = RunProgram(engine, run, options, &counts);
  } catch (const RunEnded& end) {
    status = end.code;
    *halted = true;
  }
  if (run.untouched()) counts = run.finished();
  counts_.ZeroesFixed += counts.ZeroesFixed;
  counts_.RecordsFixed += counts.RecordsFixed;
  walk_.tables += run.tables();
  *begun = run.tables();
  disagreeing_ += run.disagreeing();
  if (!run.lastTable().empty()) {
    lastTable_ = run.lastTable();
    done_ = run.lastDone();
    total_ = run.lastTotal();
  }
  givenBack_ = run.givenBack();
  *summary = run.summaryDue();
  return status;
}

int Session::End(int status) {
  Release();
  if (status == kExitInterrupted) return Interrupted();
  if (givenBack_) GaveBack();
  // A check is a question: 1 says that something would be fixed.
  if (settings_.check && status == 0 && NeedsRepair()) return kExitDamaged;
  // A halt that the run went on after ends the call with its code, as the
  // process would have ended with it.
  return kestrel::ExitStatusOf(status);
}

int Session::Interrupted() {
  Release();
  reporter_.Interrupted(lastTable_, done_, total_, settings_.dryRun, counts_, Walk());
  return host_.StopRequestStatus();
}

void Session::GaveBack() { reporter_.Stopped(counts_, Walk()); }

void Session::Summary() { reporter_.Summary(counts_, settings_.dryRun, Walk()); }

}  // namespace dbfclean
