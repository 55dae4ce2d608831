// One directory's run as dbfclean-cli makes it: DirectoryRun observes the
// run and turns what it tells into the reporter's lines, the backups of
// --backup and the counts the session adds up; CliPlatform is the platform
// under its engine, which hands the halting report to the reporter and, when
// the session goes on after a halt, turns the end of the process into
// RunEnded.
#pragma once

#include <algorithm>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "args.h"
#include "backup.h"
#include "cli.h"
#include "field_names.h"
#include "file_list.h"
#include "kestrel/engine.h"
#include "kestrel/path.h"
#include "report.h"
#include "run.h"
#include "table_health.h"

namespace dbfclean {

// Thrown in place of the end of the process when a walk goes on after a
// halt (--keep-going): the report is printed, and the engine has closed its
// tables.
struct RunEnded {
  int code;
};

// The halting report of a program without windows: the engine's report,
// "Program halted." and its lines, goes to the reporter (on standard error
// in the text format), as the engine built it.
class CliPlatform : public kestrel::PlatformWrapper {
 public:
  CliPlatform(kestrel::Platform& host, Reporter& reporter) : PlatformWrapper(host), reporter_(reporter) {}
  bool goOn = false;  // a halt ends the run, not the process

  void ShowHaltBox(const std::string& text, const std::string& caption) override { reporter_.Halted(caption, text); }
  [[noreturn]] void ExitProcess(int code) override {
    if (goOn) throw RunEnded{code};
    PlatformWrapper::ExitProcess(code);
  }

  // The tables whose other openers could not be seen, by reason: the
  // directory's, over every part of its run.
  std::vector<std::pair<std::string, std::vector<std::string>>>* unchecked = nullptr;

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
    const uint16_t rc = PlatformWrapper::OpenFile(path, mode, file);
    const std::string why = rc == 0 && *file ? (*file)->UncheckedSharing() : std::string();
    if (why.empty() || !unchecked) return rc;
    auto it = std::find_if(unchecked->begin(), unchecked->end(), [&](const auto& u) { return u.first == why; });
    if (it == unchecked->end()) it = unchecked->insert(unchecked->end(), {why, {}});
    if (std::find(it->second.begin(), it->second.end(), path) == it->second.end()) it->second.push_back(path);
    return rc;
  }

 private:
  Reporter& reporter_;
};

// One directory's run: its "dialog" is the command line's tables.
class DirectoryRun : public RunUi {
 public:
  // `platform` is the run's, `host` the one under it, which takes the
  // backups.
  DirectoryRun(const Settings& settings, Reporter& reporter, kestrel::Platform& host, kestrel::Platform& platform,
               kestrel::Engine& engine, std::string cleanDir, std::string relative, std::vector<FileEntry> entries)
      : settings_(settings),
        reporter_(reporter),
        host_(host),
        platform_(platform),
        engine_(engine),
        cleanDir_(std::move(cleanDir)),
        relative_(std::move(relative)),
        entries_(std::move(entries)) {
    // In a tree the backup keeps the tree's layout.
    if (settings_.backup && !settings_.dryRun) {
      const std::string into =
          relative_.empty()
              ? settings_.backupDir
              : kestrel::WithinDirectory(kestrel::WithoutTrailingSeparator(settings_.backupDir), relative_);
      copies_ = std::make_unique<Backup>(host, into);
      // A copy of the command's own earlier run, cut short after a count's
      // fix, holds the old count.
      copies_->CountsMayDiffer(settings_.fixCount);
    }
  }

  DialogResult ShowSelectionDialog() override { return DialogResult{true, cleanDir_, entries_}; }

  void TableBegun(const std::string& table, const std::string& text) override {
    // Read before the engine opens the table, which it then has to itself.
    if (settings_.list) spelled_ = SpelledFieldNames(host_, kestrel::WithinDirectory(cleanDir_, table));
    done_ = total_ = 0;
    ++tables_;
    reporter_.TableBegun(text);
  }
  void TableProgress(int32_t done, int32_t total) override {
    done_ = done;
    total_ = total;
    reporter_.Progress(done, total);
  }
  void FieldRepaired(const std::string& table, const FieldRepair& repair) override {
    // Listed as the header spells it, as every other reader of the table
    // shows it.
    FieldRepair listed = repair;
    if (repair.field > 0 && static_cast<size_t>(repair.field) < spelled_.size()) listed.name = spelled_[repair.field];
    reporter_.FieldRepaired(Shown(table), listed);
    if (repair.lost) reporter_.FieldLost(Shown(table), listed);
  }
  void CountDisagrees(const std::string& table, const TableExtent& extent, CountFix fix) override {
    ++disagreeing_;
    reporter_.CountDisagrees(table, extent, fix);
  }
  // The fields as the header spells them, as in the list lines; the table
  // is closed again by now.
  void NotesFound(const std::string& table, const TableNotes& notes) override {
    TableNotes spelled = notes;
    spelled.SpellFields(spelled_.empty() ? SpelledFieldNames(host_, kestrel::WithinDirectory(cleanDir_, table))
                                         : spelled_);
    reporter_.Notes(table, spelled);
  }
  void TableDone(const std::string& table, const Counters& counts) override {
    lastTable_ = Shown(table);
    lastDone_ = done_;
    lastTotal_ = total_;
    finished_.ZeroesFixed += counts.ZeroesFixed;
    finished_.RecordsFixed += counts.RecordsFixed;
    reporter_.TableDone(table, counts);
  }
  // A backup that cannot be taken stops the run before the table it is for
  // is written: that table's repairs, counted already, are not made.
  void BeforeFirstWrite(const std::string& table) override {
    // A table whose count was fixed was copied before it, and that copy is
    // its original.
    if (!copies_ || table == saved_) return;
    saved_ = table;
    const std::string gone = firstWrite_ ? "; no index file was erased" : "";
    firstWrite_ = false;  // the index files go after the run's first table backup
    untouched_ = true;
    const std::string stopped =
        "; stopped before changing " + table + " (tables cleaned before it keep their repairs" + gone + ")";
    // Before a count is fixed the table is not open yet.
    if (engine_.CurrentTable()) {
      copies_->SaveTable(engine_, cleanDir_, table, stopped);
    } else {
      copies_->SaveTableFile(cleanDir_, table, stopped);
    }
    untouched_ = false;
  }
  void SaveIndexes(const std::string& dir, const std::vector<std::string>& names, const std::string& table) override {
    if (!copies_) return;
    const std::string stopped =
        table.empty() ? "; stopped before erasing " + names.front() + " (the tables keep their repairs)"
                      : "; stopped before changing " + table +
                            " (tables cleaned before it keep their repairs; no index file was erased)";
    untouched_ = !table.empty();
    copies_->SaveIndexes(dir, names, stopped);
    untouched_ = false;
  }
  void IndexDone(const std::string& name, IndexOutcome outcome) override {
    // A dry run that goes on after a halt names each index file once: the
    // halt at a file's end is preceded by the index files the repair would
    // have erased by then, and the next part's end would name them again.
    if (outcome == IndexOutcome::WouldErase && told_ && !told_->insert(name).second) return;
    reporter_.IndexDone(name, outcome);
  }
  // The index files named as ones that would be erased, over the parts of a
  // directory's run.
  void TellOnce(std::set<std::string>* told) { told_ = told; }
  void IndexesDone(const std::string& dir, const Counters& counts) override {
    if (counts.ZeroesFixed == 0) return;
    std::vector<std::string> others;
    ReadFileList(platform_, dir, "*.mdx;*.cdx;*.ntx;*.idx", &others);
    for (const auto& name : others) reporter_.IndexLeft(name);
  }
  void GivenBack(const std::string&) override { givenBack_ = true; }
  void TablesDone() override { reporter_.TablesDone(); }
  // In a walk the summary waits for the end of the walk.
  // The summary waits for the end of the directory (which may be run in
  // parts, see Session::Clean) and in a walk for the end of the walk.
  void Summary(const std::string&, const std::string&) override {
    reporter_.TablesDone();
    summaryDue_ = true;
  }
  void Failed(const std::string& text) override { reporter_.Failed(text); }

  // The counts of the tables done with, for a run whose last table was
  // stopped by its backup before it was written (`untouched`).
  const Counters& finished() const { return finished_; }
  bool untouched() const { return untouched_; }
  int tables() const { return tables_; }
  // The tables whose header's count and file disagreed.
  int disagreeing() const { return disagreeing_; }
  bool givenBack() const { return givenBack_; }
  bool summaryDue() const { return summaryDue_; }
  // The last table done with, as the lines name it, and where it stood.
  const std::string& lastTable() const { return lastTable_; }
  int32_t lastDone() const { return lastDone_; }
  int32_t lastTotal() const { return lastTotal_; }

 private:
  // A table as the lines of a walk name it: by its path from the root.
  std::string Shown(const std::string& table) const {
    return relative_.empty() ? table : kestrel::WithinDirectory(relative_, table);
  }

  const Settings& settings_;
  Reporter& reporter_;
  kestrel::Platform& host_;
  kestrel::Platform& platform_;
  kestrel::Engine& engine_;
  std::string cleanDir_;
  std::string relative_;
  std::vector<FileEntry> entries_;
  std::unique_ptr<Backup> copies_;
  bool firstWrite_ = true;
  bool untouched_ = false;
  Counters finished_;
  int32_t done_ = 0;  // where the table being cleaned stands: records done of its total
  int32_t total_ = 0;
  int tables_ = 0;  // the tables begun
  std::string lastTable_;
  int32_t lastDone_ = 0;
  int32_t lastTotal_ = 0;
  bool givenBack_ = false;
  bool summaryDue_ = false;
  std::vector<std::string> spelled_;  // the table's field names, for --list
  int disagreeing_ = 0;
  std::string saved_;  // the table last copied
  std::set<std::string>* told_ = nullptr;
};

// A table the engine would not find under its own path is refused before
// anything is touched, rather than another file being opened in its place.
inline std::optional<int> RefuseWrongTables(kestrel::Engine& engine, const std::string& cleanDir,
                                     const std::vector<FileEntry>& entries, Reporter& reporter) {
  for (const auto& e : entries) {
    const std::string path = kestrel::WithinDirectory(cleanDir, e.name);
    const std::string problem = e.selected ? UsePathProblem(engine, path) : std::string();
    if (problem.empty()) continue;
    reporter.UsageError("cannot clean " + Printable(path) + ": " + problem);
    return kExitUsage;
  }
  return std::nullopt;
}


}  // namespace dbfclean
