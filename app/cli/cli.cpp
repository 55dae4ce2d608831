// dbfclean-cli: the run of the desktop program with its dialog replaced by the
// command line. The directory's file list is read by the same rules as the
// dialog's; the progress panel becomes lines on standard error (with a bar
// when that is a terminal); the summary goes to standard output; an engine
// error prints the halting report on standard error and ends with its code.
#include "cli.h"

#include <getopt.h>

#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup.h"
#include "file_list.h"
#include "run.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

namespace dbfclean {

namespace {

constexpr const char* kProgram = "dbfclean-cli";
constexpr int kExitDamaged = 1;  // --check: something would be fixed

const char* const kUsage =
    "Usage: dbfclean-cli [OPTION ...] DIRECTORY [TABLE ...]\n"
    "\n"
    "Replaces every NUL byte inside the fields of the dBASE tables (*.dbf) of\n"
    "DIRECTORY by a blank, in place, then erases the directory's *.ndx index\n"
    "files so that the application that owns them rebuilds them. Take a copy\n"
    "of the tables first, or use --backup.\n"
    "\n"
    "  DIRECTORY         the directory of the tables, or the path of one table\n"
    "  TABLE             clean only these tables of DIRECTORY (default: all);\n"
    "                    a name without an extension means NAME.dbf\n"
    "  -n, --dry-run     count what would be fixed; write and erase nothing\n"
    "  -c, --check       a dry run that exits with 1 when anything would be fixed\n"
    "  -l, --list        print each field that held NUL bytes on standard output:\n"
    "                    table, record, field and count, separated by tabs\n"
    "  -b, --backup=DIR  copy each table into DIR just before its first change,\n"
    "                    and each index file just before it is erased; DIR is\n"
    "                    created when needed, and a file in it is never replaced\n"
    "                    (tables with nothing to fix are not copied, and\n"
    "                    --dry-run and --check copy nothing)\n"
    "  -q, --quiet       print no line per table, only the summary\n"
    "  -h, --help        show this text\n"
    "      --version     show the version\n"
    "\n"
    "The index files go just before the first byte of a table is changed, so\n"
    "that none is left beside a repaired table, whatever happens after it.\n"
    "\n"
    "Ctrl+C (and SIGTERM, SIGHUP) stops the run after the record being worked\n"
    "on: every repair so far stays on disk and the counts so far are printed. A\n"
    "second one ends the program at once. A closed output pipe does not stop a\n"
    "repair.\n"
    "\n"
    "Exit status:\n"
    "  0    done (also when there is nothing to clean)\n"
    "  1    --check found something to fix\n"
    "  64   a wrong call\n"
    "  70   an unexpected failure\n"
    "  73   a backup file exists already or cannot be created\n"
    "  74   an input/output failure while reading a table or writing a backup\n"
    "  129  stopped by SIGHUP (the terminal was closed)\n"
    "  130  stopped by Ctrl+C\n"
    "  143  stopped by SIGTERM\n"
    "  any other: the engine's error code when a table cannot be cleaned, for\n"
    "       example 210 not a dBASE table, 32 in use by another program, 5\n"
    "       access denied (on Linux 255 for codes above 255)\n";

// A name or path as it is printed: control characters escaped ("\n", "\t",
// "\033"), so that every line stays one line, a list line keeps its four
// columns and nothing reaches the terminal as a command. Where "\" may be
// part of a name (not on Windows, whose separator it is) it is escaped too,
// so that the escapes read back unambiguously.
std::string Printable(const std::string& text) {
  const bool escapeBackslash = kestrel::HostPathStyle() != kestrel::PathStyle::Windows;
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '\n') {
      out += "\\n";
    } else if (c == '\t') {
      out += "\\t";
    } else if (c == '\r') {
      out += "\\r";
    } else if (c == '\\' && escapeBackslash) {
      out += "\\\\";
    } else if (u < 0x20 || u == 0x7F) {
      const char octal[] = {'\\', static_cast<char>('0' + (u >> 6)), static_cast<char>('0' + ((u >> 3) & 7)),
                            static_cast<char>('0' + (u & 7)), '\0'};
      out += octal;
    } else {
      out += c;
    }
  }
  return out;
}

class CliUi : public RunUi {
 public:
  CliUi(std::string directory, std::vector<FileEntry> entries, bool quiet, bool bar)
      : directory_(std::move(directory)), entries_(std::move(entries)), quiet_(quiet), bar_(bar) {}

  DialogResult ShowSelectionDialog() override { return DialogResult{true, directory_, entries_}; }

  void ShowProgress(const std::string& text) override {
    EndBar();
    done_ = total_ = 0;
    line_ = Printable(text);
    if (!quiet_) Say(line_);
  }
  void HideProgress() override { EndBar(); }
  void SetBusyCursor() override {}
  void SetDefaultCursor() override {}
  void ProcessEvents() override {}
  void ShowSummary(const std::string& text, const std::string&) override {
    EndBar();
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
  }
  void ShowFatalError(const std::string& text) override {
    EndBar();
    std::fprintf(stderr, "%s: %s\n", kProgram, Printable(text).c_str());
  }

  // Redrawn only when the bar grows by a step, so that it costs nothing
  // next to the scrub itself.
  void TableProgress(int32_t done, int32_t total) override {
    done_ = done;
    total_ = total;
    if (!bar_ || total <= 0) return;
    const int width = 30;  // keeps the line under 70 columns for any count
    const int filled = static_cast<int>(static_cast<int64_t>(done) * width / total);
    if (active_ && filled == drawn_ && done != total) return;
    drawn_ = filled;
    active_ = true;
    std::string line(static_cast<size_t>(width), '.');
    for (int i = 0; i < filled && i < width; ++i) line[static_cast<size_t>(i)] = '#';
    lastWidth_ =
        std::fprintf(stderr, "\r  [%s] %d/%d records", line.c_str(), static_cast<int>(done), static_cast<int>(total));
    std::fflush(stderr);
  }

  void EndBar() {
    if (!active_) return;
    // Blank out what the bar printed (its "\r" included), and the two
    // columns after it where a terminal echoes a Ctrl+C as "^C".
    std::fprintf(stderr, "\r%*s\r", lastWidth_ > 1 ? lastWidth_ + 1 : 1, "");
    std::fflush(stderr);
    active_ = false;
    drawn_ = -1;
  }

  // A line on standard error, after the bar is gone.
  void Say(const std::string& line) {
    EndBar();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }

  // The table's line has been printed and it is done with.
  void TableDone() { line_.clear(); }
  // Before a halting report: when quiet, the line of the table it is about,
  // which nothing printed before.
  void BeforeHalt() {
    EndBar();
    if (quiet_ && !line_.empty()) Say(line_);
    line_.clear();
  }

  // Where the table being cleaned stands: records done of its total.
  int32_t done() const { return done_; }
  int32_t total() const { return total_; }

 private:
  std::string directory_;
  std::vector<FileEntry> entries_;
  bool quiet_;
  bool bar_;
  bool active_ = false;
  int drawn_ = -1;
  int lastWidth_ = 0;
  int32_t done_ = 0;
  int32_t total_ = 0;
  std::string line_;  // the line of the table being cleaned
};

// The halting report of a program without windows: "Program halted." and
// the report's lines on standard error, as the engine built them.
class CliPlatform : public kestrel::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  CliUi* ui = nullptr;

  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    if (ui) ui->BeforeHalt();
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), kestrel::WithNewlines(text).c_str());
    std::fflush(stderr);
  }
};

int UsageError(const std::string& text) {
  // One line, so that a script's log shows the whole complaint in one place.
  std::fprintf(stderr, "%s: %s (see '%s --help')\n", kProgram, text.c_str(), kProgram);
  return kExitUsage;
}

struct Settings {
  bool dryRun = false;
  bool quiet = false;
  bool list = false;
  bool check = false;
  bool backup = false;
  std::string backupDir;
  std::vector<std::string> operands;
};

// The options and operands; a status to end with when the call is wrong or
// asked only for help or the version.
std::optional<int> ReadArguments(int argc, char** argv, Settings* settings) {
  static const option kLong[] = {{"backup", required_argument, nullptr, 'b'}, {"dry-run", no_argument, nullptr, 'n'},
                                 {"quiet", no_argument, nullptr, 'q'},        {"list", no_argument, nullptr, 'l'},
                                 {"check", no_argument, nullptr, 'c'},        {"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},      {nullptr, 0, nullptr, 0}};
  opterr = 0;  // the complaint is ours: one line with the hint
  optind = 0;  // a fresh scan on every call
  Settings& s = *settings;
  for (int c; (c = getopt_long(argc, argv, "nqlchb:", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'n': s.dryRun = true; break;
      case 'q': s.quiet = true; break;
      case 'l': s.list = true; break;
      case 'c': s.check = s.dryRun = true; break;
      case 'b':
        s.backup = true;
        s.backupDir = optarg;
        break;
      case 'h': std::fputs(kUsage, stdout); return 0;
      case 'V': std::printf("%s %s\n", kProgram, DBFCLEAN_VERSION); return 0;
      default:
        if (optopt == 'b') return UsageError("option '-b' needs a directory");
        if (optopt > 0 && optopt < 256) return UsageError(std::string("unknown option '-") + char(optopt) + "'");
        return UsageError("unknown option '" + Printable(argv[optind - 1]) + "'");
    }
  }
  s.operands.assign(argv + optind, argv + argc);
  if (s.operands.empty()) return UsageError("missing DIRECTORY");
  // An empty name would be taken as the current directory: a script whose
  // variable came out empty must not clean whatever directory it stands in.
  if (s.operands[0].empty()) return UsageError("DIRECTORY is empty");
  if (s.backup && s.backupDir.empty()) return UsageError("the backup directory is empty");
  return std::nullopt;
}

std::string WithoutTrailingSeparator(const std::string& dir) {
  std::string d = dir;
  const bool windows = kestrel::HostPathStyle() == kestrel::PathStyle::Windows;
  auto isSep = [&](char c) { return c == '/' || (windows && c == '\\'); };
  while (d.size() > 1 && isSep(d.back()) && !(windows && d.size() == 3 && d[1] == ':')) d.pop_back();
  return d;
}

// "dir/t.dbf" as "dir" and "t.dbf" (a name alone lies in "."), when it names
// a file with the extension .dbf (in any case), on every system.
bool SplitTablePath(kestrel::Platform& platform, const std::string& path, std::string* dir, std::string* name) {
  const bool windows = kestrel::HostPathStyle() == kestrel::PathStyle::Windows;
  const size_t at = windows ? path.find_last_of("\\/:") : path.rfind('/');
  const std::string file = at == std::string::npos ? path : path.substr(at + 1);
  if (file.size() < 4 || !kestrel::EqualNoCase(file.substr(file.size() - 4), ".dbf")) return false;
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  const uint32_t files = kestrel::attr::Archive | kestrel::attr::ReadOnly | kestrel::attr::Hidden;
  if (platform.FindFirst(path, files, &search, &found) != 0 || (found.attributes & kestrel::attr::Directory)) {
    return false;
  }
  *name = file;
  if (at == std::string::npos) {
    *dir = ".";
  } else {
    // "/t.dbf" and "c:\t.dbf" lie in a root, which keeps its separator.
    const bool root = at == 0 || (windows && (path[at] == ':' || (at == 2 && path[1] == ':')));
    *dir = path.substr(0, root ? at + 1 : at);
  }
  return true;
}

// The tables of `directory` as the dialog's file list has them, with the
// TABLE operands selected (all of them without any); a status when the call
// names what is not there.
std::optional<int> ReadTables(kestrel::Platform& platform, const std::string& directory, const std::string& cleanDir,
                              const std::vector<std::string>& wanted, std::vector<FileEntry>* entries) {
  std::vector<std::string> names;
  const int rc = cleanDir.empty() ? kestrel::oserr::PathNotFound : ReadFileList(platform, cleanDir, kTableMask, &names);
  // A directory that is there but cannot be listed is not "missing".
  if (rc == kestrel::oserr::AccessDenied) {
    return UsageError("cannot read directory " + Printable(directory) + ": access denied");
  }
  if (rc != 0) return UsageError("no such directory: " + Printable(directory));
  for (const auto& n : names) entries->push_back(FileEntry{n, wanted.empty()});
  for (const std::string& table : wanted) {
    // A name is found the way the file system would open it: the exact
    // spelling first, then without regard to case.
    FileEntry* match = nullptr;
    // A name without an extension means NAME.dbf, as the engine reads it.
    for (const std::string& name : {table, table + ".dbf"}) {
      for (auto& e : *entries) {
        if (!match && e.name == name) match = &e;
      }
      for (auto& e : *entries) {
        if (!match && kestrel::EqualNoCase(e.name, name)) match = &e;
      }
      if (match || table.find('.') != std::string::npos) break;
    }
    if (!match) return UsageError("no table " + Printable(table) + " in " + Printable(directory));
    match->selected = true;
  }
  return std::nullopt;
}

// The lines of a run stopped from outside, and its status.
int Interrupted(CliUi& ui, const std::string& lastTable, bool dryRun, const Counters& counts, int status) {
  ui.EndBar();
  std::string where = "before the first table";
  if (!lastTable.empty() && ui.done() < ui.total()) {
    where = "after record " + std::to_string(ui.done()) + " of " + std::to_string(ui.total()) + " of " +
            Printable(lastTable);
  } else if (!lastTable.empty()) {
    where = "after " + Printable(lastTable);
  }
  std::fprintf(stderr, "Interrupted %s; %s.\n", where.c_str(),
               dryRun ? "nothing was written" : "the repairs so far are on disk");
  std::printf("Interrupted: %s %lld zeroes in %lld records\n", dryRun ? "would fix" : "fixed",
              static_cast<long long>(counts.ZeroesFixed), static_cast<long long>(counts.RecordsFixed));
  std::fflush(stdout);
  return status;
}

}  // namespace

int CliMain(int argc, char** argv) { return CliMain(argc, argv, kestrel::Platform::Default()); }

int CliMain(int argc, char** argv, kestrel::Platform& host) {
  Settings settings;
  if (auto status = ReadArguments(argc, argv, &settings)) return *status;
  const bool dryRun = settings.dryRun;
  const bool quiet = settings.quiet;
  std::vector<std::string>& operands = settings.operands;

  // A path to one table means that table of its directory, on every system.
  std::string tableDir, tableName;
  if (operands.size() == 1 && SplitTablePath(host, operands[0], &tableDir, &tableName)) {
    operands = {tableDir, tableName};
  }
  CliPlatform platform(host);
  const std::string directory = operands[0];
  // The directory as it is on disk, so that every line names what is there.
  const std::string full = platform.FullPath(directory);
  const std::string cleanDir = full.empty() ? full : WithoutTrailingSeparator(platform.PathOnDisk(full));
  std::vector<FileEntry> entries;
  const std::vector<std::string> wanted(operands.begin() + 1, operands.end());
  if (auto status = ReadTables(platform, directory, cleanDir, wanted, &entries)) return *status;
  if (entries.empty()) {
    std::fprintf(stderr, "No .dbf tables in %s: nothing to clean.\n", Printable(directory).c_str());
    return 0;
  }
  CliUi ui(cleanDir, entries, quiet, !quiet && platform.IsTerminal(2));
  platform.ui = &ui;
  kestrel::Engine engine(platform);
  // A table the engine would not find under its own path is refused before
  // anything is touched, rather than another file being opened in its place.
  for (const auto& e : entries) {
    const std::string path = JoinPath(cleanDir, e.name);
    const std::string problem = e.selected ? UsePathProblem(engine, path) : std::string();
    if (!problem.empty()) return UsageError("cannot clean " + Printable(path) + ": " + problem);
  }

  RunOptions options;
  options.dryRun = dryRun;
  if (settings.list) {
    options.repaired = [](const std::string& table, const FieldRepair& r) {
      std::printf("%s\t%d\t%s\t%d\n", Printable(table).c_str(), static_cast<int>(r.record), Printable(r.name).c_str(),
                  static_cast<int>(r.zeroes));
    };
  }
  std::string lastTable;  // the table last worked on, for an interruption's line
  options.tableDone = [&](const std::string& table, const Counters& counts) {
    lastTable = table;
    ui.TableDone();
    if (quiet) return;
    ui.Say(Printable(table) + ": " + std::to_string(counts.ZeroesFixed) + " zeroes in " +
           std::to_string(counts.RecordsFixed) + " records");
  };
  std::unique_ptr<Backup> copies;
  if (settings.backup && !dryRun) {
    copies = std::make_unique<Backup>(host, settings.backupDir);
    bool firstWrite = true;  // the index files go after the run's first table backup
    options.beforeFirstWrite = [&, firstWrite](const std::string& table) mutable {
      const std::string gone = firstWrite ? "; no index file was erased" : "";
      firstWrite = false;
      copies->SaveTable(
          engine, cleanDir, table,
          "; stopped before changing " + table + " (tables cleaned before it keep their repairs" + gone + ")");
    };
    options.saveIndexes = [&](const std::string& dir, const std::vector<std::string>& names, const std::string& table) {
      const std::string stopped = table.empty()
                                      ? "; stopped before erasing " + names.front() + " (the tables keep their repairs)"
                                      : "; stopped before changing " + table +
                                            " (tables cleaned before it keep their repairs; no index file was erased)";
      copies->SaveIndexes(dir, names, stopped);
    };
  }
  options.indexDone = [&](const std::string& name, IndexOutcome outcome) {
    // A file that could not be erased is named also when quiet: the report
    // that follows counts them only.
    if (outcome == IndexOutcome::NotErased) ui.Say("Could not erase " + Printable(name));
    if (quiet || outcome == IndexOutcome::NotErased) return;
    ui.Say((outcome == IndexOutcome::Erased ? "Erased " : "Would erase ") + Printable(name));
  };
  options.indexesDone = [&](const std::string& dir, const Counters& counts) {
    if (counts.ZeroesFixed == 0) return;
    std::vector<std::string> others;
    ReadFileList(platform, dir, "*.mdx;*.cdx;*.ntx;*.idx", &others);
    for (const auto& name : others) ui.Say("Left " + Printable(name) + " in place: its application must rebuild it");
  };
  options.stop = host.CatchStopRequests();
  Counters counts;
  const int status = RunProgram(engine, ui, options, &counts);
  host.ReleaseStopRequests();
  if (status == kExitInterrupted) return Interrupted(ui, lastTable, dryRun, counts, host.StopRequestStatus());
  // A check is a question: 1 says that something would be fixed.
  if (settings.check && status == 0 && counts.ZeroesFixed > 0) return kExitDamaged;
  return status;
}

}  // namespace dbfclean
