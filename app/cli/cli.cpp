// dbfclean-cli: the run of the desktop program with its dialog replaced by the
// command line. The directory's file list is read by the same rules as the
// dialog's; the progress panel becomes lines on standard error (with a bar
// when that is a terminal); the summary goes to standard output; an engine
// error prints the halting report on standard error and ends with its code.
#include "cli.h"

#include <getopt.h>

#include <cctype>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "backup.h"
#include "file_list.h"
#include "interrupt.h"
#include "run.h"

#ifdef _WIN32
#include <io.h>
#define DBFCLEAN_ISATTY(fd) _isatty(fd)
#else
#include <unistd.h>
#define DBFCLEAN_ISATTY(fd) isatty(fd)
#endif

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
    "Ctrl+C stops the run after the record being worked on: every repair so far\n"
    "stays on disk and the counts so far are printed. A second Ctrl+C ends the\n"
    "program at once.\n"
    "\n"
    "Exit status:\n"
    "  0    done (also when there is nothing to clean)\n"
    "  1    --check found something to fix\n"
    "  64   a wrong call\n"
    "  70   an unexpected failure\n"
    "  73   a backup file exists already or cannot be created\n"
    "  74   an input/output failure while reading a table or writing a backup\n"
    "  130  stopped by Ctrl+C\n"
    "  any other: the engine's error code when a table cannot be cleaned, for\n"
    "       example 210 not a dBASE table, 32 in use by another program, 5\n"
    "       access denied (on Linux 255 for codes above 255)\n";

class CliUi : public RunUi {
 public:
  CliUi(std::string directory, std::vector<FileEntry> entries, bool quiet, bool bar)
      : directory_(std::move(directory)), entries_(std::move(entries)), quiet_(quiet), bar_(bar) {}

  DialogResult ShowSelectionDialog() override { return DialogResult{true, directory_, entries_}; }

  void ShowProgress(const std::string& text) override {
    EndBar();
    done_ = total_ = 0;
    if (!quiet_) std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
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
    std::fprintf(stderr, "%s: %s\n", kProgram, text.c_str());
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
};

// The halting report of a program without windows: "Program halted." and
// the report's two lines on standard error.
class CliPlatform : public kestrel::PlatformWrapper {
 public:
  using PlatformWrapper::PlatformWrapper;
  CliUi* ui = nullptr;
  // The file the engine opened last while it is open: during a scrub, the
  // table (the engine opens no other file alongside it).
  WatchedFile* opened = nullptr;

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
    const uint16_t rc = PlatformWrapper::OpenFile(path, mode, file);
    if (rc == 0 && *file) *file = std::make_unique<WatchedFile>(std::move(*file), &opened);
    return rc;
  }
  void ShowHaltBox(const std::string& text, const std::string& caption) override {
    if (ui) ui->EndBar();
    std::string lines = text;
    // The engine's texts break lines the Windows way, and one of them (the
    // buffer size mismatch) the other way round; a terminal wants "\n".
    for (const char* lineBreak : {"\r\n", "\n\r"}) {
      for (size_t p; (p = lines.find(lineBreak)) != std::string::npos;) lines.replace(p, 2, "\n");
    }
    std::fprintf(stderr, "%s\n%s\n", caption.c_str(), lines.c_str());
    std::fflush(stderr);
  }
};

int UsageError(const std::string& text) {
  // One line, so that a script's log shows the whole complaint in one place.
  std::fprintf(stderr, "%s: %s (see '%s --help')\n", kProgram, text.c_str(), kProgram);
  return kExitUsage;
}

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (std::tolower(static_cast<unsigned char>(a[i])) != std::tolower(static_cast<unsigned char>(b[i]))) return false;
  }
  return true;
}

std::string WithoutTrailingSeparator(const std::string& dir) {
  std::string d = dir;
  const bool windows = kestrel::HostPathStyle() == kestrel::PathStyle::Windows;
  auto isSep = [&](char c) { return c == '/' || (windows && c == '\\'); };
  while (d.size() > 1 && isSep(d.back()) && !(windows && d.size() == 3 && d[1] == ':')) d.pop_back();
  return d;
}

}  // namespace

int CliMain(int argc, char** argv) { return CliMain(argc, argv, kestrel::Platform::Default()); }

int CliMain(int argc, char** argv, kestrel::Platform& host) {
  bool dryRun = false;
  bool quiet = false;
  bool list = false;
  bool check = false;
  std::string backupDir;
  bool backup = false;
  static const option kLong[] = {{"backup", required_argument, nullptr, 'b'}, {"dry-run", no_argument, nullptr, 'n'},
                                 {"quiet", no_argument, nullptr, 'q'},        {"list", no_argument, nullptr, 'l'},
                                 {"check", no_argument, nullptr, 'c'},        {"help", no_argument, nullptr, 'h'},
                                 {"version", no_argument, nullptr, 'V'},      {nullptr, 0, nullptr, 0}};
  opterr = 0;  // the complaint is ours: one line with the hint
  optind = 0;  // a fresh scan on every call
  for (int c; (c = getopt_long(argc, argv, "nqlchb:", kLong, nullptr)) != -1;) {
    switch (c) {
      case 'n': dryRun = true; break;
      case 'q': quiet = true; break;
      case 'l': list = true; break;
      case 'c': check = dryRun = true; break;
      case 'b':
        backup = true;
        backupDir = optarg;
        break;
      case 'h': std::fputs(kUsage, stdout); return 0;
      case 'V': std::printf("%s %s\n", kProgram, DBFCLEAN_VERSION); return 0;
      default:
        if (optopt == 'b') return UsageError("option '-b' needs a directory");
        if (optopt > 0 && optopt < 256) return UsageError(std::string("unknown option '-") + char(optopt) + "'");
        return UsageError("unknown option '" + std::string(argv[optind - 1]) + "'");
    }
  }
  std::vector<std::string> operands(argv + optind, argv + argc);
  if (operands.empty()) return UsageError("missing DIRECTORY");
  // An empty name would be taken as the current directory: a script whose
  // variable came out empty must not clean whatever directory it stands in.
  if (operands[0].empty()) return UsageError("DIRECTORY is empty");
  if (backup && backupDir.empty()) return UsageError("the backup directory is empty");

  // A path to one table means that table of its directory, on every system.
  std::error_code ec;
  const std::filesystem::path given(operands[0]);
  if (operands.size() == 1 && std::filesystem::is_regular_file(given, ec) &&
      EqualNoCase(given.extension().string(), ".dbf")) {
    operands = {given.has_parent_path() ? given.parent_path().string() : std::string("."), given.filename().string()};
  }
  CliPlatform platform(host);
  const std::string directory = operands[0];
  const std::string cleanDir = WithoutTrailingSeparator(platform.FullPath(directory));
  std::vector<std::string> names;
  if (cleanDir.empty() || ReadFileList(platform, cleanDir, kTableMask, &names) != 0) {
    // A directory that is there but cannot be listed is not "missing".
    std::error_code why;
    if (std::filesystem::is_directory(directory, why)) {
      std::filesystem::directory_iterator probe(directory, why);
      if (why) return UsageError("cannot read directory " + directory + ": " + why.message());
    }
    return UsageError("no such directory: " + directory);
  }

  std::vector<FileEntry> entries;
  for (const auto& n : names) entries.push_back(FileEntry{n, operands.size() == 1});
  for (size_t i = 1; i < operands.size(); ++i) {
    // A name is found the way the file system would open it: the exact
    // spelling first, then without regard to case.
    FileEntry* match = nullptr;
    // A name without an extension means NAME.dbf, as the engine reads it.
    for (const std::string& wanted : {operands[i], operands[i] + ".dbf"}) {
      for (auto& e : entries) {
        if (!match && e.name == wanted) match = &e;
      }
      for (auto& e : entries) {
        if (!match && EqualNoCase(e.name, wanted)) match = &e;
      }
      if (match || operands[i].find('.') != std::string::npos) break;
    }
    if (!match) return UsageError("no table " + operands[i] + " in " + directory);
    match->selected = true;
  }
  if (entries.empty()) {
    std::fprintf(stderr, "No .dbf tables in %s: nothing to clean.\n", directory.c_str());
    return 0;
  }
  CliUi ui(cleanDir, entries, quiet, !quiet && DBFCLEAN_ISATTY(2));
  platform.ui = &ui;
  kestrel::Engine engine(platform);
  // A table the engine would not find under its own path is refused before
  // anything is touched, rather than another file being opened in its place.
  for (const auto& e : entries) {
    const std::string path = JoinPath(cleanDir, e.name);
    const std::string problem = e.selected ? UsePathProblem(engine, path) : std::string();
    if (!problem.empty()) return UsageError("cannot clean " + path + ": " + problem);
  }
  RunOptions options;
  options.dryRun = dryRun;
  if (list) {
    options.repaired = [](const std::string& table, const FieldRepair& r) {
      std::printf("%s\t%d\t%s\t%d\n", table.c_str(), static_cast<int>(r.record), r.name.c_str(),
                  static_cast<int>(r.zeroes));
    };
  }
  std::string lastTable;  // the table last worked on, for an interruption's line
  options.tableDone = [&](const std::string& table, const Counters& counts) {
    lastTable = table;
    if (quiet) return;
    ui.EndBar();
    std::fprintf(stderr, "%s: %lld zeroes in %lld records\n", table.c_str(), static_cast<long long>(counts.ZeroesFixed),
                 static_cast<long long>(counts.RecordsFixed));
  };
  std::unique_ptr<Backup> copies;
  if (backup && !dryRun) {
    copies = std::make_unique<Backup>(host, backupDir);
    options.beforeFirstWrite = [&](const std::string& table) { copies->SaveTable(platform.opened, cleanDir, table); };
  }
  // The index files one by one, each by its own name, so that the user sees
  // which go and a failure names its file; the engine's erase does the work.
  options.eraseIndexes = [&](const std::string& dir, const Counters& counts) {
    std::vector<std::string> indexes;
    ReadFileList(platform, dir, "*.ndx", &indexes);
    for (const auto& name : indexes) {
      if (copies) copies->SaveIndex(dir, name);
      if (!dryRun) engine.EraseFiles(kestrel::Cut(JoinPath(dir, name), kestrel::kMaxText));
      if (!quiet) std::fprintf(stderr, "%s %s\n", dryRun ? "Would erase" : "Erased", name.c_str());
    }
    std::vector<std::string> others;
    if (dryRun || counts.ZeroesFixed == 0) return;
    ReadFileList(platform, dir, "*.mdx;*.cdx;*.ntx;*.idx", &others);
    for (const auto& name : others) {
      std::fprintf(stderr, "Left %s in place: its application must rebuild it\n", name.c_str());
    }
  };
  InterruptHandler interrupt;
  options.stop = InterruptHandler::Flag();
  Counters counts;
  const int status = RunProgram(engine, ui, options, &counts);
  if (status == kExitInterrupted) {
    ui.EndBar();
    std::string where = "before the first table";
    if (!lastTable.empty() && ui.done() < ui.total()) {
      where = "after record " + std::to_string(ui.done()) + " of " + std::to_string(ui.total()) + " of " + lastTable;
    } else if (!lastTable.empty()) {
      where = "after " + lastTable;
    }
    std::fprintf(stderr, "Interrupted %s; %s.\n", where.c_str(),
                 dryRun ? "nothing was written" : "the repairs so far are on disk");
    std::printf("Interrupted: %s %lld zeroes in %lld records\n", dryRun ? "would fix" : "fixed",
                static_cast<long long>(counts.ZeroesFixed), static_cast<long long>(counts.RecordsFixed));
    return status;
  }
  // A check is a question: 1 says that something would be fixed.
  if (check && status == 0 && counts.ZeroesFixed > 0) return kExitDamaged;
  return status;
}

}  // namespace dbfclean
