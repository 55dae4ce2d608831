// dbfclean-cli: the run of the desktop program with its dialog replaced by the
// command line. The directory's file list is read by the same rules as the
// dialog's; the progress panel becomes lines on standard error (with a bar
// when that is a terminal); the summary goes to standard output; an engine
// error prints the halting report on standard error and ends with its code.
#include "cli.h"

#include <getopt.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "backup.h"
#include "file_list.h"
#include "run.h"
#include "tree.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

namespace dbfclean {

namespace {

constexpr const char* kProgram = "dbfclean-cli";
constexpr int kExitDamaged = 1;  // --check: something would be fixed

const char* const kUsage =
    "Usage: dbfclean-cli [OPTION ...] DIRECTORY [TABLE ...]\n"
    "       dbfclean-cli --recursive [OPTION ...] DIRECTORY\n"
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
    "  -r, --recursive   DIRECTORY is the root of a tree: every directory in it\n"
    "                    that holds tables, DIRECTORY too, is cleaned as if it\n"
    "                    were named alone, depth first and in name order; hidden\n"
    "                    directories and symbolic links to directories are not\n"
    "                    entered, nor is the --backup directory\n"
    "  -k, --keep-going  with -r: after a directory that halts, go on with the\n"
    "                    next one\n"
    "  -q, --quiet       print no line per table, only the summary\n"
    "  -h, --help        show this text\n"
    "      --version     show the version\n"
    "\n"
    "The index files go just before the first byte of a table is changed, so\n"
    "that none is left beside a repaired table, whatever happens after it.\n"
    "\n"
    "With -r a line names each directory (\"a/b:\") before its lines, --list\n"
    "names each table by its path in the tree, --backup keeps the tree's layout\n"
    "in DIR, and the summary covers the whole tree, after a line counting the\n"
    "directories and tables visited. A halt in a directory ends the walk there\n"
    "with that directory's status; with -k the walk goes on and ends with the\n"
    "status of the first halt. A directory that cannot be read is named and the\n"
    "walk goes on; it ends with that directory's error code (5: access denied)\n"
    "unless a halt came first. --check -r exits with 1 only when neither\n"
    "happened.\n"
    "\n"
    "Ctrl+C (and SIGTERM, SIGHUP) stops the run, with -r the whole walk, after\n"
    "the record being worked on: every repair so far stays on disk and the\n"
    "counts so far are printed. A second one ends the program at once. A\n"
    "closed output pipe does not stop a repair.\n"
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
  // `heading`: in a walk over a tree, the line that names the directory
  // (whose summary then waits for the end of the walk). When quiet it comes
  // only before a line about the directory, if one does.
  CliUi(std::string directory, std::vector<FileEntry> entries, bool quiet, bool bar, std::string heading = {})
      : directory_(std::move(directory)),
        entries_(std::move(entries)),
        quiet_(quiet),
        bar_(bar),
        tree_(!heading.empty()),
        heading_(std::move(heading)) {
    if (!quiet_) ShowHeading();
  }

  DialogResult ShowSelectionDialog() override { return DialogResult{true, directory_, entries_}; }

  void ShowProgress(const std::string& text) override {
    EndBar();
    done_ = total_ = 0;
    ++tables_;
    line_ = Printable(text);
    if (!quiet_) Say(line_);
  }
  void HideProgress() override { EndBar(); }
  void SetBusyCursor() override {}
  void SetDefaultCursor() override {}
  void ProcessEvents() override {}
  void ShowSummary(const std::string& text, const std::string&) override {
    EndBar();
    if (tree_) return;
    std::fprintf(stdout, "%s\n", text.c_str());
    std::fflush(stdout);
  }
  void ShowFatalError(const std::string& text) override {
    ShowHeading();
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

  // The directory's line, once, before the first line about it.
  void ShowHeading() {
    EndBar();
    if (heading_.empty()) return;
    std::fprintf(stderr, "%s\n", heading_.c_str());
    std::fflush(stderr);
    heading_.clear();
  }

  // A line on standard error, after the bar is gone.
  void Say(const std::string& line) {
    ShowHeading();
    std::fprintf(stderr, "%s\n", line.c_str());
    std::fflush(stderr);
  }

  // The table's line has been printed and it is done with.
  void TableDone() { line_.clear(); }
  // Before a halting report: when quiet, the lines of the directory and the
  // table it is about, which nothing printed before.
  void BeforeHalt() {
    ShowHeading();
    if (quiet_ && !line_.empty()) Say(line_);
    line_.clear();
  }

  // Where the table being cleaned stands: records done of its total.
  int32_t done() const { return done_; }
  int32_t total() const { return total_; }
  // The tables begun.
  int tables() const { return tables_; }

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
  int tables_ = 0;
  std::string line_;  // the line of the table being cleaned
  bool tree_;
  std::string heading_;  // not printed yet
};

// Thrown in place of the end of the process when a walk goes on after a
// halt (--keep-going): the report is printed, and the engine has closed its
// tables.
struct RunEnded {
  int code;
};

// The halting report of a program without windows: "Program halted." and
// the report's lines on standard error, as the engine built them.
class CliPlatform : public kestrel::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  CliUi* ui = nullptr;
  bool goOn = false;  // a halt ends the run, not the process

  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    if (ui) ui->BeforeHalt();
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), kestrel::WithNewlines(text).c_str());
    std::fflush(stderr);
  }
  [[noreturn]] void ExitProcess(int code) override {
    if (goOn) throw RunEnded{code};
    PlatformWrapper::ExitProcess(code);
  }

  // The tables whose other openers could not be seen, by reason.
  std::vector<std::pair<std::string, std::vector<std::string>>> unchecked;

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
    const uint16_t rc = PlatformWrapper::OpenFile(path, mode, file);
    const std::string why = rc == 0 && *file ? (*file)->UncheckedSharing() : std::string();
    if (why.empty()) return rc;
    auto it = std::find_if(unchecked.begin(), unchecked.end(), [&](const auto& u) { return u.first == why; });
    if (it == unchecked.end()) it = unchecked.insert(unchecked.end(), {why, {}});
    if (std::find(it->second.begin(), it->second.end(), path) == it->second.end()) it->second.push_back(path);
    return rc;
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
  bool recursive = false;
  bool keepGoing = false;
  std::string backupDir;
  std::vector<std::string> operands;
};

// The options and operands; a status to end with when the call is wrong or
// asked only for help or the version.
std::optional<int> ReadArguments(int argc, char** argv, Settings* settings) {
  static const option kLong[] = {{"backup", required_argument, nullptr, 'b'}, {"dry-run", no_argument, nullptr, 'n'},
                                 {"quiet", no_argument, nullptr, 'q'},        {"list", no_argument, nullptr, 'l'},
                                 {"check", no_argument, nullptr, 'c'},        {"help", no_argument, nullptr, 'h'},
                                 {"recursive", no_argument, nullptr, 'r'},    {"keep-going", no_argument, nullptr, 'k'},
                                 {"version", no_argument, nullptr, 'V'},      {nullptr, 0, nullptr, 0}};
  opterr = 0;  // the complaint is ours: one line with the hint
  optind = 0;  // a fresh scan on every call
  Settings& s = *settings;
  for (int c; (c = getopt_long(argc, argv, "nqlchrkb:", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'n': s.dryRun = true; break;
      case 'q': s.quiet = true; break;
      case 'l': s.list = true; break;
      case 'c': s.check = s.dryRun = true; break;
      case 'r': s.recursive = true; break;
      case 'k': s.keepGoing = true; break;
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
  if (s.recursive && s.operands.size() > 1) return UsageError("TABLE arguments cannot be given with --recursive");
  // Without a walk there is no next directory to go on with.
  if (s.keepGoing && !s.recursive) return UsageError("--keep-going needs --recursive");
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

// Everything one call does: the run of one directory, or the runs of a
// tree's directories one after the other, and what they add up to.
class Session {
 public:
  Session(kestrel::Platform& host, const Settings& settings, bool tree)
      : host_(host), settings_(settings), tree_(tree), stop_(host.CatchStopRequests()) {}
  ~Session() { Release(); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  bool Stopped() const { return stop_ && stop_->load(); }
  int directories() const { return directories_; }

  // The run of `entries` of `cleanDir` as `dbfclean-cli DIRECTORY` makes it;
  // in a tree `relative` is the directory's path from the root. Its status.
  int Clean(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries);

  // The end of a call whose last run ended with `status`.
  int End(int status) {
    Release();
    if (status == kExitInterrupted) return Interrupted();
    if (givenBack_) GaveBack();
    // A check is a question: 1 says that something would be fixed.
    if (settings_.check && status == 0 && counts_.ZeroesFixed > 0) return kExitDamaged;
    return status;
  }

  // The lines of a call stopped from outside, and its status.
  int Interrupted() {
    Release();
    std::string where = "before the first table";
    if (!lastTable_.empty() && done_ < total_) {
      where =
          "after record " + std::to_string(done_) + " of " + std::to_string(total_) + " of " + Printable(lastTable_);
    } else if (!lastTable_.empty()) {
      where = "after " + Printable(lastTable_);
    }
    std::fprintf(stderr, "Interrupted %s; %s.\n", where.c_str(),
                 settings_.dryRun ? "nothing was written" : "the repairs so far are on disk");
    if (tree_) Visited();
    std::printf("Interrupted: %s %lld zeroes in %lld records\n", settings_.dryRun ? "would fix" : "fixed",
                static_cast<long long>(counts_.ZeroesFixed), static_cast<long long>(counts_.RecordsFixed));
    std::fflush(stdout);
    return host_.StopRequestStatus();
  }

  // The counts of a call that stopped because another program opened a
  // table it was cleaning: as after a stop request, the counts so far.
  void GaveBack() {
    if (tree_) Visited();
    std::printf("Stopped: fixed %lld zeroes in %lld records\n", static_cast<long long>(counts_.ZeroesFixed),
                static_cast<long long>(counts_.RecordsFixed));
    std::fflush(stdout);
  }
  bool givenBack() const { return givenBack_; }

  // The end of a walk: how far it went and the summary over the tree.
  void Summary() {
    Visited();
    std::printf("%s\n", SummaryText(counts_, settings_.dryRun).c_str());
    std::fflush(stdout);
  }

  const Counters& counts() const { return counts_; }

 private:
  void Release() {
    if (caught_) host_.ReleaseStopRequests();
    caught_ = false;
  }
  void Visited() {
    std::printf("Visited %d directories and %d tables%s.\n", directories_, tables_,
                halted_ ? ("; " + std::to_string(halted_) + " halted").c_str() : "");
  }

  kestrel::Platform& host_;
  const Settings& settings_;
  bool tree_;
  const std::atomic<bool>* stop_;
  bool caught_ = true;
  Counters counts_;        // over every run so far
  int directories_ = 0;    // runs begun
  int tables_ = 0;         // tables begun
  int halted_ = 0;         // runs that ended with a halt
  std::string lastTable_;  // the table last worked on, as the lines name it
  int32_t done_ = 0;       // and its records done of its total
  int32_t total_ = 0;
  bool givenBack_ = false;  // the last run stopped for another program
};

int Session::Clean(const std::string& cleanDir, const std::string& relative, const std::vector<FileEntry>& entries) {
  const bool quiet = settings_.quiet;
  ++directories_;
  CliUi ui(cleanDir, entries, quiet, !quiet && host_.IsTerminal(2),
           tree_ ? Printable(relative.empty() ? "." : relative) + ":" : std::string());
  CliPlatform platform(host_);
  platform.ui = &ui;
  platform.goOn = tree_ && settings_.keepGoing;
  kestrel::Engine engine(platform);
  // A table the engine would not find under its own path is refused before
  // anything is touched, rather than another file being opened in its place.
  for (const auto& e : entries) {
    const std::string path = JoinPath(cleanDir, e.name);
    const std::string problem = e.selected ? UsePathProblem(engine, path) : std::string();
    if (problem.empty()) continue;
    ui.ShowHeading();
    return UsageError("cannot clean " + Printable(path) + ": " + problem);
  }
  // A table as the lines of a walk name it: by its path from the root.
  auto shown = [&relative](const std::string& table) { return relative.empty() ? table : JoinPath(relative, table); };

  RunOptions options;
  options.dryRun = settings_.dryRun;
  if (settings_.list) {
    options.repaired = [&shown](const std::string& table, const FieldRepair& r) {
      std::printf("%s\t%d\t%s\t%d\n", Printable(shown(table)).c_str(), static_cast<int>(r.record),
                  Printable(r.name).c_str(), static_cast<int>(r.zeroes));
    };
  }
  Counters finished;  // the counts of the tables done with
  options.tableDone = [&](const std::string& table, const Counters& counts) {
    lastTable_ = shown(table);
    done_ = ui.done();
    total_ = ui.total();
    finished.ZeroesFixed += counts.ZeroesFixed;
    finished.RecordsFixed += counts.RecordsFixed;
    ui.TableDone();
    if (quiet) return;
    ui.Say(Printable(table) + ": " + std::to_string(counts.ZeroesFixed) + " zeroes in " +
           std::to_string(counts.RecordsFixed) + " records");
  };
  // A backup that cannot be taken stops the run before the table it is for
  // is written: that table's repairs, counted already, are not made.
  bool untouched = false;
  std::unique_ptr<Backup> copies;
  if (settings_.backup && !settings_.dryRun) {
    // In a tree the backup keeps the tree's layout.
    const std::string into =
        relative.empty() ? settings_.backupDir : JoinPath(WithoutTrailingSeparator(settings_.backupDir), relative);
    copies = std::make_unique<Backup>(host_, into);
    bool firstWrite = true;  // the index files go after the run's first table backup
    options.beforeFirstWrite = [&, firstWrite](const std::string& table) mutable {
      const std::string gone = firstWrite ? "; no index file was erased" : "";
      firstWrite = false;
      untouched = true;
      copies->SaveTable(
          engine, cleanDir, table,
          "; stopped before changing " + table + " (tables cleaned before it keep their repairs" + gone + ")");
      untouched = false;
    };
    options.saveIndexes = [&](const std::string& dir, const std::vector<std::string>& names, const std::string& table) {
      const std::string stopped = table.empty()
                                      ? "; stopped before erasing " + names.front() + " (the tables keep their repairs)"
                                      : "; stopped before changing " + table +
                                            " (tables cleaned before it keep their repairs; no index file was erased)";
      untouched = !table.empty();
      copies->SaveIndexes(dir, names, stopped);
      untouched = false;
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
  options.stop = stop_;
  givenBack_ = false;
  options.givenBack = [this](const std::string&) { givenBack_ = true; };
  Counters counts;
  int status = 0;
  try {
    status = RunProgram(engine, ui, options, &counts);
  } catch (const RunEnded& end) {
    status = end.code;
  }
  // Once a run: the tables whose other openers could not be seen.
  for (const auto& [why, paths] : platform.unchecked) {
    std::string names;
    for (const auto& p : paths) names += (names.empty() ? "" : ", ") + Printable(p);
    ui.ShowHeading();
    std::fprintf(
        stderr,
        "%s: could not tell whether other programs have these tables open (%s); only their locks were checked: %s\n",
        kProgram, why.c_str(), names.c_str());
    std::fflush(stderr);
  }
  if (untouched) counts = finished;
  counts_.ZeroesFixed += counts.ZeroesFixed;
  counts_.RecordsFixed += counts.RecordsFixed;
  tables_ += ui.tables();
  if (status != 0 && status != kExitInterrupted) ++halted_;
  return status;
}

// dbfclean-cli --recursive: a run for each directory of the tree that holds
// tables, and the end of the whole walk.
int CleanTree(kestrel::Platform& host, const Settings& settings) {
  const std::string& directory = settings.operands[0];
  std::string tableDir, tableName;
  if (SplitTablePath(host, directory, &tableDir, &tableName)) {
    return UsageError(Printable(directory) + " is a table, and --recursive needs a directory");
  }
  const std::string full = host.FullPath(directory);
  const std::string root = full.empty() ? full : WithoutTrailingSeparator(host.PathOnDisk(full));
  if (root.empty()) return UsageError("no such directory: " + Printable(directory));
  TreeWalk walk(host, root);
  // Backups taken into the tree are not cleaned as the walk comes by them.
  const std::string into = settings.backup ? host.FullPath(settings.backupDir) : std::string();
  if (!into.empty()) walk.LeaveOut(WithoutTrailingSeparator(host.PathOnDisk(into)));

  Session session(host, settings, true);
  int first = 0;  // the status of the first halt, or of the first directory that could not be read
  for (;;) {
    if (session.Stopped()) return session.Interrupted();
    TreeDirectory dir;
    const int32_t rc = walk.Next(&dir);
    if (rc == kestrel::oserr::NoMoreFiles) break;
    const bool denied = rc == kestrel::oserr::AccessDenied;
    if (rc != 0 && dir.relative.empty()) {
      return UsageError(denied ? "cannot read directory " + Printable(directory) + ": access denied"
                               : "no such directory: " + Printable(directory));
    }
    if (rc != 0) {
      // Named, also when quiet, and the walk goes on: what it could not see
      // decides the status unless a halt came first.
      std::fprintf(stderr, "%s: cannot read directory %s: %s\n", kProgram, Printable(dir.relative).c_str(),
                   denied ? "access denied" : kestrel::Engine::ErrorMessage(static_cast<uint16_t>(rc)).c_str());
      std::fflush(stderr);
      if (first == 0) first = rc;
      continue;
    }
    if (dir.tables.empty()) continue;
    std::vector<FileEntry> entries;
    for (const auto& name : dir.tables) entries.push_back(FileEntry{name, true});
    const int status = session.Clean(dir.path, dir.relative, entries);
    if (status == kExitInterrupted) return session.Interrupted();
    if (status == 0) continue;
    // A halt ends the walk as it ends a run, unless told to go on.
    if (!settings.keepGoing) {
      if (session.givenBack()) session.GaveBack();
      return kestrel::ExitStatusOf(status);
    }
    if (first == 0) first = status;
  }
  if (session.directories() == 0) {
    std::fprintf(stderr, "No .dbf tables under %s: nothing to clean.\n", Printable(directory).c_str());
    return kestrel::ExitStatusOf(first);
  }
  session.Summary();
  if (first != 0) return kestrel::ExitStatusOf(first);
  if (settings.check && session.counts().ZeroesFixed > 0) return kExitDamaged;
  return 0;
}

}  // namespace

int CliMain(int argc, char** argv) { return CliMain(argc, argv, kestrel::Platform::Default()); }

int CliMain(int argc, char** argv, kestrel::Platform& host) {
  Settings settings;
  if (auto status = ReadArguments(argc, argv, &settings)) return *status;
  if (settings.recursive) return CleanTree(host, settings);
  std::vector<std::string>& operands = settings.operands;

  // A path to one table means that table of its directory, on every system.
  std::string tableDir, tableName;
  if (operands.size() == 1 && SplitTablePath(host, operands[0], &tableDir, &tableName)) {
    operands = {tableDir, tableName};
  }
  const std::string directory = operands[0];
  // The directory as it is on disk, so that every line names what is there.
  const std::string full = host.FullPath(directory);
  const std::string cleanDir = full.empty() ? full : WithoutTrailingSeparator(host.PathOnDisk(full));
  std::vector<FileEntry> entries;
  const std::vector<std::string> wanted(operands.begin() + 1, operands.end());
  if (auto status = ReadTables(host, directory, cleanDir, wanted, &entries)) return *status;
  if (entries.empty()) {
    std::fprintf(stderr, "No .dbf tables in %s: nothing to clean.\n", Printable(directory).c_str());
    return 0;
  }
  Session session(host, settings, false);
  return session.End(session.Clean(cleanDir, std::string(), entries));
}

}  // namespace dbfclean
