// The clean-up run: the selection dialog, the scrub of each selected table in
// list order, the erase of the directory's index files and the summary.
#include "run.h"

#include <algorithm>
#include <cstdio>
#include <set>

#include "file_list.h"

namespace dbfclean {

std::string UsePathProblem(kestrel::Engine& engine, const std::string& path) {
  if (path.size() > kestrel::kMaxText) return "the path is longer than the table engine's 255 characters";
  const std::string upper = engine.UpperText(path);
  // USE refuses these words anywhere, directories included, as a request for
  // an in-memory table; the words it appends itself cannot form them.
  for (const char* word : {"LINKED LIST", "VIRTUAL FILE"}) {
    if (upper.find(word) != std::string::npos)
      return std::string("the table engine would read \"") + word + "\" in the path as a request for a table in memory";
  }
  if (upper.find(" ALIAS ") != std::string::npos)
    return "the table engine would read \" ALIAS \" in the path as its option";
  std::string rest = path;
  if (engine.RemoveKeyword(" EXCLUSIVE", rest)) {
    return "the table engine would read the word EXCLUSIVE in the path as its option";
  }
  if (kestrel::TrimText(path) != path) return "the path begins or ends with blanks, which the table engine drops";
  return std::string();
}

std::string SummaryText(const Counters& counters, bool dryRun) {
  // The message's two numbers are put in where its "%d" stand, as plain
  // decimal of any size.
  std::string text = dryRun ? kDryRunFormat : kSummaryFormat;
  for (int64_t value : {counters.ZeroesFixed, counters.RecordsFixed}) {
    const size_t at = text.find("%d");
    text.replace(at, 2, std::to_string(value));
  }
  return text;
}

namespace {

// Holds the engine's reports back while the run erases index files, so that
// a file that cannot be erased does not end the program before the others
// are gone. Release() says whether a report was held back; Report() makes
// it, Drop() forgets it and puts the engine's status back as it was.
class HeldReports {
 public:
  explicit HeldReports(kestrel::Engine& engine)
      : engine_(engine), autoReport_(engine.AutoReport), code_(engine.ErrorCode), text_(engine.TakeErrorText()) {
    engine_.AutoReport = false;
  }
  ~HeldReports() { engine_.AutoReport = autoReport_; }
  HeldReports(const HeldReports&) = delete;
  HeldReports& operator=(const HeldReports&) = delete;

  bool Release() {
    engine_.AutoReport = autoReport_;
    return !engine_.ErrorText.empty();
  }
  void Report() { engine_.ReportError(); }
  void Drop() {
    engine_.ErrorCode = code_;
    engine_.ErrorText = text_;
  }

 private:
  kestrel::Engine& engine_;
  bool autoReport_;
  uint16_t code_;
  std::string text_;
};

class Run {
 public:
  Run(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, bool* erased)
      : engine_(engine), ui_(ui), options_(options), erased_(*erased) {}

  int Clean(const DialogResult& dialog, Counters* result) {
    // The counts reach the caller however the run ends, a halt included: a
    // caller that goes on after it adds up what was repaired before it.
    struct Tell {
      const Counters& counters;
      Counters* result;
      ~Tell() {
        if (result) *result = counters;
      }
    } tell{counters_, result};
    cleanDir_ = dialog.directory;
    RefuseWrongTables(dialog.entries);
    ui_.SetBusyCursor();
    ScrubOptions scrub;
    scrub.dryRun = options_.dryRun;
    scrub.progress = [this](int32_t done, int32_t total) {
      done_ = done;
      total_ = total;
      ui_.TableProgress(done, total);
    };
    scrub.stop = options_.stop;
    // A request left over from an earlier run is no longer anybody's.
    std::atomic<bool>* giveBack = engine_.platform().GiveBackRequests();
    giveBack->store(false);
    scrub.giveBack = giveBack;
    for (const FileEntry& entry : dialog.entries) {
      if (!entry.selected) continue;
      if (Stopped()) break;
      ui_.TableBegun(entry.name, "Cleaning " + entry.name + " database...");
      ui_.SetBusyCursor();
      ui_.ProcessEvents();
      CleanTable(entry.name, scrub);
      if (giveBack->load() && !Stopped()) GiveBack(entry.name, giveBack);
    }
    // A run stopped before its first write leaves the directory as it was.
    const bool interrupted = Stopped();
    if (!interrupted || written_) EraseIndexes(true);
    ui_.TablesDone();
    ui_.ProcessEvents();
    if (interrupted) return kExitInterrupted;
    ui_.Summary(SummaryText(counters_, options_.dryRun), kAppTitle);
    return 0;
  }

 private:
  bool Stopped() const { return options_.stop && options_.stop->load(); }

  void CleanTable(const std::string& table, ScrubOptions& scrub) {
    const std::string path = kestrel::WithinDirectory(cleanDir_, table);
    TableNotes notes;
    scrub.repaired = nullptr;
    scrub.lost = nullptr;
    scrub.oddFlag = nullptr;
    if (options_.fieldRepairs) scrub.repaired = [this, &table](const FieldRepair& r) { ui_.FieldRepaired(table, r); };
    if (options_.tableHealth) {
      scrub.lost = [&notes](const FieldRepair& r) { notes.LostField(r.field, r.name, r.type, r.record); };
      scrub.oddFlag = [&notes](int32_t record) { notes.OddFlag(record); };
    }
    scrub.beforeFirstWrite = [this, &table] { BeforeFirstWrite(table); };
    const Counters before = counters_;
    done_ = total_ = 0;
    const CountPlan plan = options_.tableHealth ? LookAtCount(table, path) : CountPlan{};
    scrub.records = plan.records;
    if (plan.scrub) ScrubTable(engine_, path, counters_, scrub);
    ui_.TableDone(table,
                  Counters{counters_.ZeroesFixed - before.ZeroesFixed, counters_.RecordsFixed - before.RecordsFixed});
    if (!notes.Empty()) ui_.NotesFound(table, notes);
    if (plan.pastEnd > 0) {
      // A dry run ends where the repair halts: with the index files that the
      // repair would have erased by then, and the engine's own report.
      if (counters_.ZeroesFixed > 0) EraseIndexes(true);
      ReadPastEnd(engine_, path, static_cast<int32_t>(std::min<int64_t>(plan.pastEnd, INT32_MAX)));
    }
  }

  // The table's record count against its file, and the count fixed when
  // the run is to fix it: after the table's backup and the index files, on
  // the disk before the scrub.
  CountPlan LookAtCount(const std::string& table, const std::string& path) {
    TableExtent extent;
    if (!MeasureTable(engine_.platform(), path, &extent) || !extent.Disagrees()) return CountPlan{};
    const CountPlan plan = PlanCount(extent, options_.fixCount, options_.dryRun);
    if (plan.write) {
      BeforeFirstWrite(table);
      const uint16_t rc = FixRecordCount(engine_.platform(), path, extent);
      if (rc != 0) {
        throw RunHalted("cannot fix the record count of " + path + ": " + kestrel::Engine::ErrorMessage(rc) +
                            "; stopped before cleaning " + table + " (tables cleaned before it keep their repairs)",
                        kExitIoError);
      }
    }
    ui_.CountDisagrees(table, extent, plan.fix);
    return plan;
  }

  // Another program opened `table` while it was being cleaned, and waits
  // for it: the table is closed already; the run ends as a stop request
  // ends it, and says why.
  [[noreturn]] void GiveBack(const std::string& table, std::atomic<bool>* giveBack) {
    giveBack->store(false);
    if (written_) EraseIndexes(true);
    ui_.TablesDone();
    ui_.ProcessEvents();
    ui_.GivenBack(table);
    throw RunHalted(table + " was opened by another program: stopped after record " + std::to_string(done_) + " of " +
                        std::to_string(total_) +
                        (written_ ? "; the repairs so far are on disk." : "; nothing was written."),
                    kExitInUse);
  }

  // Every selected table is checked before the first is opened: the engine
  // would open another file (or none) in the place of one of them, and the
  // user must not find a file repaired that nobody chose.
  void RefuseWrongTables(const std::vector<FileEntry>& entries) {
    for (const FileEntry& entry : entries) {
      if (!entry.selected) continue;
      const std::string path = kestrel::WithinDirectory(cleanDir_, entry.name);
      const std::string problem = UsePathProblem(engine_, path);
      if (!problem.empty()) {
        throw RunHalted("Cannot clean " + path + ": " + problem + ". No table was touched.", kExitWrongTable);
      }
    }
  }

  // The table's own preparation first (its backup), then, before the run's
  // first byte is written, the index files.
  void BeforeFirstWrite(const std::string& table) {
    ui_.BeforeFirstWrite(table);
    if (written_) return;
    EraseIndexes(false, table);
    written_ = erased_ = true;
  }

  // Erases every index file of the directory that can be erased, after the
  // front end has saved them all. At the end of the run (`last`), one that
  // cannot be erased is then reported by the engine's own erase report.
  void EraseIndexes(bool last, const std::string& table = std::string()) {
    const std::string mask = kestrel::Cut(kestrel::WithinDirectory(cleanDir_, "*.ndx"), kestrel::kMaxText);
    std::vector<std::string> before;
    // A directory that cannot be listed is left as it is, as the engine's
    // erase leaves it: nothing may go that was not first handed to be saved.
    if (ReadFileList(engine_.platform(), cleanDir_, "*.ndx", &before) != 0) return;
    // Nothing to erase (the usual end of a run that erased them before its
    // first write): the erase would only list the directory twice more.
    if (before.empty()) {
      if (last && !options_.dryRun) ui_.IndexesDone(cleanDir_, counters_);
      return;
    }
    if (options_.dryRun) {
      for (const auto& name : before) Tell(name, IndexOutcome::WouldErase);
      return;
    }
    // An index that another program holds would outlive the repair it no
    // longer matches: the run stops before its first write instead.
    for (const auto& name : before) {
      if (last) break;
      const std::string path = kestrel::WithinDirectory(cleanDir_, name);
      if (engine_.platform().FileInUse(path) == kestrel::oserr::SharingViolation) {
        throw RunHalted("the index file " + path + " is in use by another program; stopped before changing " + table +
                            " (no table was changed and no index file was erased)",
                        kExitInUse);
      }
    }
    std::vector<std::string> unsaved;
    for (const auto& name : before) {
      if (saved_.insert(name).second) unsaved.push_back(name);
    }
    if (!unsaved.empty()) ui_.SaveIndexes(cleanDir_, unsaved, table);
    HeldReports held(engine_);
    engine_.EraseFiles(mask);
    const bool failed = held.Release();
    std::vector<std::string> after;
    ReadFileList(engine_.platform(), cleanDir_, "*.ndx", &after);
    bool gone = false;
    for (const auto& name : before) {
      const bool left = std::find(after.begin(), after.end(), name) != after.end();
      if (!left) Tell(name, IndexOutcome::Erased);
      if (left && last) Tell(name, IndexOutcome::NotErased);
      gone = gone || !left;
    }
    // An erase is on the disk only once its directory is: without this a
    // power cut could bring an index file back beside a repaired table.
    if (gone) FlushDirectory(last);
    if (failed && last) {
      held.Report();
      return;
    }
    // Before the run's first write a file that cannot go is not reported:
    // the end of the run tries again and reports what is left.
    held.Drop();
    if (last) ui_.IndexesDone(cleanDir_, counters_);
  }

  void FlushDirectory(bool last) {
    const uint16_t rc = engine_.platform().FlushDirectory(cleanDir_);
    if (rc == 0) return;
    throw RunHalted("Cannot write the erase of the index files of " + cleanDir_ +
                        " to the disk: " + kestrel::Engine::ErrorMessage(rc) +
                        (last ? ". The tables keep their repairs." : ". No table was changed."),
                    kExitIoError);
  }

  void Tell(const std::string& name, IndexOutcome outcome) { ui_.IndexDone(name, outcome); }

  kestrel::Engine& engine_;
  RunUi& ui_;
  const RunOptions& options_;
  Counters counters_;
  int32_t done_ = 0;  // where the table being cleaned stands: records done of its total
  int32_t total_ = 0;
  std::string cleanDir_;
  bool written_ = false;         // the run's first write is behind it
  bool& erased_;                 // and so are the index files
  std::set<std::string> saved_;  // index files handed to SaveIndexes
};

// The run; `erased` tells whoever reports a failure whether the index files
// went before it.
int CleanUp(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, Counters* result, bool* erased) {
  struct Finally {
    RunUi& ui;
    ~Finally() {
      ui.FreeForms();
      ui.SetDefaultCursor();
    }
  } finally{ui};

  const DialogResult dialog = ui.ShowSelectionDialog();
  // An empty list means no run, also after OK.
  if (!dialog.ok || dialog.entries.empty() || dialog.directory.empty()) return 0;
  return Run(engine, ui, options, erased).Clean(dialog, result);
}

}  // namespace

int CleanUpRun(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, Counters* result) {
  bool erased = false;
  return CleanUp(engine, ui, options, result, &erased);
}

int RunProgram(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, Counters* result) {
  bool erased = false;
  auto kept = [&erased] {
    return std::string(". Tables cleaned before it keep their repairs; ") +
           (erased ? "the index files were erased before the first repair." : "no index file was erased.");
  };
  try {
    return CleanUp(engine, ui, options, result, &erased);
  } catch (const RunHalted& e) {
    ui.Failed(e.what());
    return e.status();
  } catch (const kestrel::EInOutError& e) {
    ui.Failed(std::string("The run was stopped by an input/output error: ") + e.what() + kept());
    return kExitIoError;
  } catch (const std::exception& e) {
    ui.Failed(std::string("The run was stopped by an unexpected error: ") + e.what() + kept());
    return kExitSoftware;
  }
}

}  // namespace dbfclean
