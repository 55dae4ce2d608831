// dbfclean-cli's options, read by the C library's getopt_long: the one
// parser that reads them as every other command of the system does.
#include "args.h"

#include <getopt.h>

#include "cli.h"

#ifndef DBFCLEAN_VERSION
#define DBFCLEAN_VERSION "0"
#endif

namespace dbfclean {

namespace {

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
    "  -k, --keep-going  after a table that halts, go on with the next table\n"
    "                    (and with -r the next directory); --check and\n"
    "                    --dry-run always go on\n"
    "      --fix-count   where a table's header counts other than the whole\n"
    "                    records its file holds, make the header count them\n"
    "                    before the table is cleaned (--dry-run and --check\n"
    "                    only say what it would do)\n"
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
    "with that directory's status; with -k, --check or --dry-run the walk goes\n"
    "on and ends with the status of the first halt. A directory that cannot be\n"
    "read is named and the\n"
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

// The complaint about a wrong call, and its status.
int Wrong(Reporter& reporter, const std::string& text) {
  reporter.UsageError(text);
  return kExitUsage;
}

// What the operands must be, once the options are read.
std::optional<int> CheckOperands(const Settings& s, Reporter& reporter) {
  if (s.operands.empty()) return Wrong(reporter, "missing DIRECTORY");
  // An empty name would be taken as the current directory: a script whose
  // variable came out empty must not clean whatever directory it stands in.
  if (s.operands[0].empty()) return Wrong(reporter, "DIRECTORY is empty");
  if (s.backup && s.backupDir.empty()) return Wrong(reporter, "the backup directory is empty");
  if (s.recursive && s.operands.size() > 1) return Wrong(reporter, "TABLE arguments cannot be given with --recursive");
  return std::nullopt;
}

}  // namespace

std::optional<int> ReadArguments(int argc, char** argv, Settings* settings, Reporter& reporter) {
  static const option kLong[] = {{"backup", required_argument, nullptr, 'b'}, {"dry-run", no_argument, nullptr, 'n'},
                                 {"quiet", no_argument, nullptr, 'q'},        {"list", no_argument, nullptr, 'l'},
                                 {"check", no_argument, nullptr, 'c'},        {"help", no_argument, nullptr, 'h'},
                                 {"recursive", no_argument, nullptr, 'r'},    {"keep-going", no_argument, nullptr, 'k'},
                                 {"version", no_argument, nullptr, 'V'},      {"fix-count", no_argument, nullptr, 'F'},
                                 {nullptr, 0, nullptr, 0}};
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
      case 'F': s.fixCount = true; break;
      case 'b':
        s.backup = true;
        s.backupDir = optarg;
        break;
      case 'h': reporter.Help(kUsage); return 0;
      case 'V': reporter.Version(DBFCLEAN_VERSION); return 0;
      default:
        if (optopt == 'b') return Wrong(reporter, "option '-b' needs a directory");
        if (optopt > 0 && optopt < 256) return Wrong(reporter, std::string("unknown option '-") + char(optopt) + "'");
        return Wrong(reporter, "unknown option '" + Printable(argv[optind - 1]) + "'");
    }
  }
  s.operands.assign(argv + optind, argv + argc);
  return CheckOperands(s, reporter);
}

}  // namespace dbfclean
