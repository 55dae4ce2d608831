// The clean-up run: the selection dialog, the scrub of each selected table in
// list order, the erase of the directory's index files and the summary.
#include "run.h"

#include <cstdio>

#include "file_list.h"

namespace dbfclean {

std::string JoinPath(const std::string& directory, const std::string& name) {
  const char separator = kestrel::HostPathStyle() == kestrel::PathStyle::Windows ? '\\' : '/';
  return directory + separator + name;
}

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

int CleanUpRun(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, Counters* result) {
  Counters counters;
  std::string cleanDir;
  struct Finally {
    RunUi& ui;
    ~Finally() {
      ui.FreeForms();
      ui.SetDefaultCursor();
    }
  } finally{ui};

  DialogResult dialog = ui.ShowSelectionDialog();
  if (dialog.ok && !dialog.entries.empty()) cleanDir = dialog.directory;
  if (cleanDir.empty()) return 0;

  ui.SetBusyCursor();
  ScrubOptions scrub;
  scrub.dryRun = options.dryRun;
  scrub.progress = [&ui](int32_t done, int32_t total) { ui.TableProgress(done, total); };
  scrub.stop = options.stop;
  auto stopped = [&options] { return options.stop && *options.stop; };
  for (const FileEntry& entry : dialog.entries) {
    if (!entry.selected) continue;
    if (stopped()) break;
    ui.ShowProgress("Cleaning " + entry.name + " database...");
    ui.SetBusyCursor();
    ui.ProcessEvents();
    if (options.repaired) {
      scrub.repaired = [&options, &entry](const FieldRepair& r) { options.repaired(entry.name, r); };
    }
    if (options.beforeFirstWrite) {
      scrub.beforeFirstWrite = [&options, &entry] { options.beforeFirstWrite(entry.name); };
    }
    const Counters before = counters;
    ScrubTable(engine, JoinPath(cleanDir, entry.name), counters, scrub);
    if (options.tableDone) {
      options.tableDone(
          entry.name, Counters{counters.ZeroesFixed - before.ZeroesFixed, counters.RecordsFixed - before.RecordsFixed});
    }
    if (result) *result = counters;
  }
  // A run stopped before its first write keeps the index files: they still
  // match their tables.
  const bool interrupted = stopped();
  if (!interrupted || (!options.dryRun && counters.ZeroesFixed > 0)) {
    if (options.eraseIndexes) {
      options.eraseIndexes(cleanDir, counters);
    } else if (!options.dryRun) {
      engine.EraseFiles(kestrel::Cut(JoinPath(cleanDir, "*.ndx"), kestrel::kMaxText));
    }
  }
  ui.HideProgress();
  ui.ProcessEvents();
  if (result) *result = counters;
  if (interrupted) return kExitInterrupted;
  ui.ShowSummary(SummaryText(counters, options.dryRun), kAppTitle);
  return 0;
}

int RunProgram(kestrel::Engine& engine, RunUi& ui, const RunOptions& options, Counters* result) {
  try {
    return CleanUpRun(engine, ui, options, result);
  } catch (const RunHalted& e) {
    ui.ShowFatalError(e.what());
    return e.status();
  } catch (const kestrel::EInOutError& e) {
    ui.ShowFatalError(std::string("The run was stopped by an input/output error: ") + e.what() +
                      ". Tables cleaned before it keep their repairs; no index file was erased.");
    return kExitIoError;
  } catch (const std::exception& e) {
    ui.ShowFatalError(std::string("The run was stopped by an unexpected error: ") + e.what() +
                      ". Tables cleaned before it keep their repairs; no index file was erased.");
    return kExitSoftware;
  }
}

}  // namespace dbfclean
