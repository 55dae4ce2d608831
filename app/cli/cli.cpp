// dbfclean-cli: the run of the desktop program with its dialog replaced by the
// command line. The directory's file list is read by the same rules as the
// dialog's; the progress panel becomes lines on standard error (with a bar
// when that is a terminal); the summary goes to standard output; an engine
// error prints the halting report on standard error and ends with its code.
// The words, streams and escapes of every line are the reporter's
// (report.h); the options are read in args.cpp, the tables found in
// tables.cpp, and the runs made by the session (session.h).
#include "cli.h"

#include <optional>
#include <string>
#include <vector>

#include "args.h"
#include "report.h"
#include "session.h"
#include "tables.h"
#include "tree.h"

namespace dbfclean {

namespace {

int UsageError(Reporter& reporter, const std::string& text) {
  reporter.UsageError(text);
  return kExitUsage;
}

// The tree's root as it is on disk, and the --backup directory to leave
// out of the walk ("" for none); a status when the call names no directory
// to walk.
std::optional<int> TreeRoot(kestrel::Platform& host, const Settings& settings, Reporter& reporter, std::string* root,
                            std::string* leftOut) {
  const std::string& directory = settings.operands[0];
  std::string tableDir, tableName;
  if (SplitTablePath(host, directory, &tableDir, &tableName)) {
    return UsageError(reporter, Printable(directory) + " is a table, and --recursive needs a directory");
  }
  const std::string full = host.FullPath(directory);
  *root = full.empty() ? full : kestrel::WithoutTrailingSeparator(host.PathOnDisk(full));
  if (root->empty()) return UsageError(reporter, "no such directory: " + Printable(directory));
  // Backups taken into the tree are not cleaned as the walk comes by them.
  const std::string into = settings.backup ? host.FullPath(settings.backupDir) : std::string();
  if (!into.empty()) *leftOut = kestrel::WithoutTrailingSeparator(host.PathOnDisk(into));
  return std::nullopt;
}

// dbfclean-cli --recursive: a run for each directory of the tree that holds
// tables, and the end of the whole walk.
int CleanTree(kestrel::Platform& host, const Settings& settings, Reporter& reporter) {
  const std::string& directory = settings.operands[0];
  std::string root, leftOut;
  if (auto status = TreeRoot(host, settings, reporter, &root, &leftOut)) return *status;
  TreeWalk walk(host, root);
  if (!leftOut.empty()) walk.LeaveOut(leftOut);
  Session session(host, settings, reporter, true);
  int first = 0;  // the status of the first halt, or of the first directory that could not be read
  for (;;) {
    if (session.Stopped()) return session.Interrupted();
    TreeDirectory dir;
    const int32_t rc = walk.Next(&dir);
    if (rc == kestrel::oserr::NoMoreFiles) break;
    const bool denied = rc == kestrel::oserr::AccessDenied;
    if (rc != 0 && dir.relative.empty()) {
      return UsageError(reporter, denied ? "cannot read directory " + Printable(directory) + ": access denied"
                                         : "no such directory: " + Printable(directory));
    }
    if (rc != 0) {
      // Named, also when quiet, and the walk goes on: what it could not see
      // decides the status unless a halt came first.
      reporter.DirectoryUnreadable(dir.relative, rc);
      if (first == 0) first = rc;
      continue;
    }
    if (dir.tables.empty()) continue;
    std::vector<FileEntry> entries;
    for (const auto& name : dir.tables) entries.push_back(FileEntry{name, true});
    const int status = session.Clean(dir.path, dir.relative, entries);
    if (status == kExitInterrupted) return session.Interrupted();
    if (status == 0) continue;
    // A halt ends the walk as it ends a run, unless told to go on; a check
    // looks at the whole tree.
    if (!settings.keepGoing && !settings.dryRun) {
      if (session.givenBack()) session.GaveBack();
      return kestrel::ExitStatusOf(status);
    }
    if (first == 0) first = status;
  }
  if (session.directories() == 0) {
    reporter.NoTables(directory, true);
    return kestrel::ExitStatusOf(first);
  }
  session.Summary();
  if (first != 0) return kestrel::ExitStatusOf(first);
  if (settings.check && session.NeedsRepair()) return kExitDamaged;
  return 0;
}

// dbfclean-cli DIRECTORY [TABLE ...]: the run of one directory.
int CleanDirectory(kestrel::Platform& host, Settings& settings, Reporter& reporter) {
  std::vector<std::string>& operands = settings.operands;
  // A path to one table means that table of its directory, on every system.
  std::string tableDir, tableName;
  if (operands.size() == 1 && SplitTablePath(host, operands[0], &tableDir, &tableName)) {
    operands = {tableDir, tableName};
  }
  const std::string directory = operands[0];
  // The directory as it is on disk, so that every line names what is there.
  const std::string full = host.FullPath(directory);
  const std::string cleanDir = full.empty() ? full : kestrel::WithoutTrailingSeparator(host.PathOnDisk(full));
  std::vector<FileEntry> entries;
  const std::vector<std::string> wanted(operands.begin() + 1, operands.end());
  if (auto status = ReadTables(host, directory, cleanDir, wanted, &entries, reporter)) return *status;
  if (entries.empty()) {
    reporter.NoTables(directory, false);
    return 0;
  }
  Session session(host, settings, reporter, false);
  return session.End(session.Clean(cleanDir, std::string(), entries));
}

}  // namespace

int CliMain(int argc, char** argv) { return CliMain(argc, argv, kestrel::Platform::Default()); }

int CliMain(int argc, char** argv, kestrel::Platform& host) {
  TextReporter reporter;
  Settings settings;
  if (auto status = ReadArguments(argc, argv, &settings, reporter)) return *status;
  reporter.Configure(settings.quiet, !settings.quiet && host.IsTerminal(2));
  if (settings.recursive) return CleanTree(host, settings, reporter);
  return CleanDirectory(host, settings, reporter);
}

}  // namespace dbfclean
