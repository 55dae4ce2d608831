// dbfclean-cli end to end: the real binary on real files in temporary
// directories, checked by its exit status, its two output streams and the
// bytes left on disk.
#include "cli.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <functional>

#include "kestrel/engine.h"
#include "run_process.h"
#include "testkit.h"

namespace {

using testkit::Record;
namespace fs = std::filesystem;

const std::string kSep = kestrel::HostPathStyle() == kestrel::PathStyle::Windows ? "\\" : "/";
const std::string kHint = " (see 'dbfclean-cli --help')\n";
// Windows keeps the whole exit code; POSIX keeps 8 bits, so larger codes end as 255.
#ifdef _WIN32
const int kWide = 266;
#else
const int kWide = 255;
#endif

apptest::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), DBFCLEAN_CLI);
  return apptest::RunProcess(args);
}

// CliMain in this process, on `platform`'s files, with what it printed.
apptest::ProcessResult CliHere(kestrel::Platform& platform, std::vector<std::string> args) {
  args.insert(args.begin(), "dbfclean-cli");
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  apptest::ProcessResult r;
  r.status = dbfclean::CliMain(static_cast<int>(args.size()), argv.data(), platform);
  r.out = testing::internal::GetCapturedStdout();
  r.err = testing::internal::GetCapturedStderr();
  for (std::string* text : {&r.out, &r.err}) {  // text mode on Windows
    for (size_t p = 0; (p = text->find("\r\n", p)) != std::string::npos;) text->erase(p, 1);
  }
  return r;
}

// A table of two fields with the given records, and what the scrub makes of
// such bytes: every NUL after the header a blank.
std::string Table(const std::vector<std::string>& records, uint32_t count = 0) {
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3}};
  layout.records = records;
  if (count) layout.recordCount = count;
  return testkit::BuildDbf(layout);
}
std::string Blanked(std::string bytes, size_t from = 32 + 2 * 32 + 1) {
  for (size_t i = from; i < bytes.size(); ++i) bytes[i] = bytes[i] == '\0' ? ' ' : bytes[i];
  return bytes;
}
const std::string kDamaged = Table({std::string(" \0\0ab  1", 8), std::string("*x   \0\0\0", 8)});  // 5 in 2

TEST(Cli, WrongCallsSayWhatIsWrongAndTouchNothing) {
  testkit::TempDir dir;
  dir.Write("a.dbf", kDamaged);
  dir.Write("x.ndx", "index");
  const std::string missing = dir.File("nope");
  const std::vector<std::pair<std::vector<std::string>, std::string>> calls = {
      {{"--bogus", dir.path()}, "unknown option '--bogus'"},
      {{dir.path(), "-qz"}, "unknown option '-z'"},
      {{}, "missing DIRECTORY"},
      {{""}, "DIRECTORY is empty"},
      {{missing}, "no such directory: " + missing},
      {{dir.path(), "a.dbf", "zz.dbf"}, "no table zz.dbf in " + dir.path()},
      {{"-r", dir.path(), "a.dbf"}, "TABLE arguments cannot be given with --recursive"},
      {{"-r", dir.File("a.dbf")}, dir.File("a.dbf") + " is a table, and --recursive needs a directory"}};
  for (const auto& [args, complaint] : calls) {
    auto r = Cli(args);
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err, "dbfclean-cli: " + complaint + kHint);
    EXPECT_EQ(r.out, "");
  }
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), kDamaged);
  EXPECT_TRUE(testkit::FileExists(dir.File("x.ndx")));

  auto help = Cli({"--help"});
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out.rfind("Usage: dbfclean-cli [OPTION ...] DIRECTORY [TABLE ...]\n", 0), 0u);
  for (const char* item : {"-n, --dry-run", "-c, --check", "-l, --list", "-b, --backup=DIR", "-r, --recursive",
                           "-k, --keep-going", "symbolic links to directories are not\n", "-q, --quiet", "-h, --help",
                           "--version", "\n  1 ", "\n  64 ", "\n  70 ", "\n  73 ", "\n  74 ", "\n  130 "}) {
    EXPECT_NE(help.out.find(item), std::string::npos) << item;
  }
  auto version = Cli({"--version"});
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out.rfind("dbfclean-cli ", 0), 0u);

  // A directory without tables: nothing to do, and its index files stay.
  testkit::TempDir none;
  none.Write("x.ndx", "index");
  auto r = Cli({none.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "No .dbf tables in " + none.path() + ": nothing to clean.\n");
  EXPECT_EQ(r.out, "");
  EXPECT_TRUE(testkit::FileExists(none.File("x.ndx")));
}

TEST(Cli, APathTheEngineWouldReadAsOptionsIsRefused) {
  // USE reads "x ALIAS y" and a free-standing EXCLUSIVE as its options: the
  // engine would open old.dbf (or nothing) in place of the table asked for.
  testkit::TempDir dir;
  dir.Write("old.dbf", kDamaged);
  for (const std::string sub : {"old alias x", "x exclusive.d", "a linked list", "virtual files"}) {
    fs::create_directory(dir.File(sub));
    const std::string table = dir.File(sub) + kSep + "t.dbf";
    testkit::WriteFile(table, kDamaged);
    auto r = Cli({dir.File(sub)});
    EXPECT_EQ(r.status, 64);
    EXPECT_EQ(r.err.rfind("dbfclean-cli: cannot clean " + table + ": the table engine would read ", 0), 0u) << r.err;
    EXPECT_EQ(testkit::ReadFile(table), kDamaged);
  }
  EXPECT_EQ(testkit::ReadFile(dir.File("old.dbf")), kDamaged);

  // Every table is checked before the first is opened: old.dbf comes first in
  // the list and stays as it was.
  dir.Write("virtual file.dbf", kDamaged);
  auto r = Cli({dir.path()});
  EXPECT_EQ(r.status, 64);
  EXPECT_EQ(testkit::ReadFile(dir.File("old.dbf")), kDamaged);
}

TEST(Cli, CleansEveryTableAddsUpAndErasesTheIndexes) {
  testkit::TempDir dir;
  testkit::DbfLayout all;  // every field type, a deleted record, a memo reference of NULs
  all.version = 0x83;
  all.fields = {{"NAME", 'C', 3}, {"BORN", 'D', 8}, {"OK", 'L', 1}, {"NOTE", 'M', 10}, {"QTY", 'N', 4, 1}};
  all.records = {Record(all,
                        {std::string("\0\0\0", 3),
                         std::string("1999\0\0"
                                     "01",
                                     8),
                         std::string(1, '\0'), std::string(10, '\0'), std::string("\0.5", 3)},
                        true),
                 Record(all, {"ok", "20200101", "T", "         1", " 1.0"})};
  const std::string allBytes = testkit::BuildDbf(all);
  dir.Write("all.dbf", allBytes);
  dir.Write("B.DBF", kDamaged);
  const std::string clean = Table({" ab    1"});
  dir.Write("clean.dbf", clean);
  const auto old = fs::last_write_time(dir.File("clean.dbf")) - std::chrono::hours(48);
  fs::last_write_time(dir.File("clean.dbf"), old);
  dir.Write("empty.dbf", Table({}));
  for (const char* n : {"x.ndx", "Y.NDX", "Z.CDX", "notes.txt"}) dir.Write(n, "index");

  auto r = Cli({dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Database(s) are cleaned up! Fixed 22 zeroes in 3 records\n");
  EXPECT_EQ(r.err,
            "Cleaning all.dbf database...\nErased x.ndx\nErased Y.NDX\nall.dbf: 17 zeroes in 1 records\n"
            "all.dbf: not whole after the repair: BORN (date) in record 1\n"  // "1999  01" is no date
            "Cleaning B.DBF database...\nB.DBF: 5 zeroes in 2 records\nCleaning clean.dbf database...\n"
            "clean.dbf: 0 zeroes in 0 records\nCleaning empty.dbf database...\nempty.dbf: 0 zeroes in 0 records\n"
            "Left Z.CDX in place: its application must rebuild it\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("all.dbf")), Blanked(allBytes, 32 + 5 * 32 + 1));
  EXPECT_EQ(testkit::ReadFile(dir.File("B.DBF")), Blanked(kDamaged));
  EXPECT_EQ(testkit::ReadFile(dir.File("clean.dbf")), clean);
  EXPECT_EQ(fs::last_write_time(dir.File("clean.dbf")), old);  // never written
  EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));
  EXPECT_FALSE(testkit::FileExists(dir.File("Y.NDX")));
  EXPECT_TRUE(testkit::FileExists(dir.File("notes.txt")));

  // Only the named table, quietly; the index files go all the same.
  dir.Write("B.DBF", kDamaged);
  dir.Write("x.ndx", "index");
  r = Cli({"--quiet", dir.path(), "b.dbf"});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Database(s) are cleaned up! Fixed 5 zeroes in 2 records\n");
  EXPECT_EQ(r.err, "Left Z.CDX in place: its application must rebuild it\n");  // a warning, kept when quiet
  EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));

  // A dry run counts and changes nothing.
  dir.Write("B.DBF", kDamaged);
  dir.Write("x.ndx", "index");
  fs::last_write_time(dir.File("B.DBF"), old);
  r = Cli({"-q", dir.File("B.DBF")});  // a table's path: that table alone
  EXPECT_EQ(r.out, "Database(s) are cleaned up! Fixed 5 zeroes in 2 records\n");
  EXPECT_EQ(r.status, 0);
  dir.Write("B.DBF", kDamaged);
  dir.Write("x.ndx", "index");
  fs::last_write_time(dir.File("B.DBF"), old);
  r = Cli({"--dry-run", dir.path(), "B"});  // a name without its extension
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "Cleaning B.DBF database...\nB.DBF: 5 zeroes in 2 records\nWould erase x.ndx\n");
  EXPECT_EQ(r.out, "Dry run: would fix 5 zeroes in 2 records\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("B.DBF")), kDamaged);
  EXPECT_EQ(fs::last_write_time(dir.File("B.DBF")), old);
  EXPECT_TRUE(testkit::FileExists(dir.File("x.ndx")));
}

// Broken.dbf cannot be cleaned: the run halts there with the engine's code,
// a.dbf stays repaired, c.dbf is not reached, and the index files went
// before a.dbf's first repair, so that none is left beside it. The report
// names the table as it is on disk, also when DIRECTORY was typed in
// another case where case tells files apart.
TEST(Cli, AnEngineErrorHaltsWithItsCodeAndKeepsEarlierRepairs) {
  struct Case {
    std::string what;
    std::string bytes;
    int status;
    std::string report;  // after "Program halted.\n"; NAME stands for Broken.dbf's path
    std::function<void(const std::string&)> prepare;
    std::string before;  // Broken.dbf's lines before the report
  };
  testkit::DbfLayout wide;  // its unpacked record would need more than 64 KB
  for (int i = 0; i < 255; ++i) wide.fields.push_back({"D" + std::to_string(i), 'D', 255});
  const std::string truncated = Table({std::string(" \0\0ab  1", 8), " x"}, 2).substr(0, 32 + 64 + 1 + 8 + 3);
  std::unique_ptr<kestrel::Engine> holder;
  const std::vector<Case> cases = {
      {"not a table", std::string(40, 'x'), 210,
       "Error # 210 (Not a dBASE data file)\nNAME is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]\n"},
      {"truncated",
       truncated,
       213,
       "Error # 213 (End of file found unexpectedly)\nFile:  NAME  [GetDbfRecord]\n",
       {},
       "Broken.dbf: the header counts 2 records, the file holds 1 whole record and 3 bytes of the 2nd; record 2 is "
       "missing (--fix-count)\n"},
      {"open elsewhere", kDamaged, 32, "Error # 32 (File sharing violation)\nFailure to open NAME [USE/OpenDbf]\n",
       [&](const std::string& path) {
         holder = std::make_unique<kestrel::Engine>();
         holder->USE(path);  // shared: only an exclusive open is kept out
       }},
      {"read-only", kDamaged, 5, "Error # 5 (File access denied)\nFailure to open NAME [USE/OpenDbf]\n",
       [](const std::string& path) { testkit::SetReadOnly(path, true); }},
      {"code above 255", testkit::BuildDbf(wide), kWide,
       "Error # 266 (Invalid size)\nDatabase record/buffer size mismatch: NAME [USE()]\n"
       "Record Size=65791, Buffer Size=0\n"}};
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::TempDir dir;
    dir.Write("a.dbf", kDamaged);
    const std::string b = dir.Write("Broken.dbf", c.bytes);
    dir.Write("c.dbf", kDamaged);
    dir.Write("x.ndx", "index");
    if (c.prepare) c.prepare(b);
    std::string typed = dir.path();
    if (kestrel::HostPathStyle() == kestrel::PathStyle::Posix) {
      for (char& ch : typed) ch = static_cast<char>(std::toupper(static_cast<unsigned char>(ch)));
    }
    auto r = Cli({typed});
    holder.reset();
    std::string report = c.report;
    report.replace(report.find("NAME"), 4, testkit::EngineText(b));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(
        r.err,
        "Cleaning a.dbf database...\nErased x.ndx\na.dbf: 5 zeroes in 2 records\nCleaning Broken.dbf database...\n" +
            c.before + "Program halted.\n" + report);
    EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), Blanked(kDamaged));
    EXPECT_EQ(testkit::ReadFile(dir.File("c.dbf")), kDamaged);
    EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));
    // The records before the failure stay repaired.
    if (c.status == 213) {
      EXPECT_EQ(testkit::ReadFile(b), Blanked(truncated.substr(0, 105)) + truncated.substr(105));
    }
  }
}

// A read-only index file among writable ones: every writable one goes
// before the first repair; at the end the one left is named and the engine's
// erase reports it.
TEST(Cli, AnIndexThatCannotBeErasedHaltsAfterTheRepairs) {
  testkit::TempDir dir;
  dir.Write("a.dbf", kDamaged);
  for (const char* n : {"a1.ndx", "b2.ndx", "c3.ndx"}) dir.Write(n, "index");
  testkit::SetReadOnly(dir.File("b2.ndx"), true);
  auto r = Cli({dir.path()});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err,
            "Cleaning a.dbf database...\nErased a1.ndx\nErased c3.ndx\na.dbf: 5 zeroes in 2 records\n"
            "Could not erase b2.ndx\nProgram halted.\nError # 5 (File access denied)\nCould not erase 1 files like " +
                dir.File("*.ndx") + "\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), Blanked(kDamaged));
  EXPECT_FALSE(testkit::FileExists(dir.File("a1.ndx")));
  EXPECT_TRUE(testkit::FileExists(dir.File("b2.ndx")));
  EXPECT_FALSE(testkit::FileExists(dir.File("c3.ndx")));
}

// --check asks without changing anything: 1 with damage, 0 without; --list
// names each field that held NULs, in a check as in a repair. The deletion
// flag is not a field and is never repaired, so it is never listed.
TEST(Cli, CheckAnswersWithItsStatusAndListNamesTheFields) {
  testkit::TempDir dir;
  const std::string damaged = Table({std::string("\0\0\0ab  1", 8), std::string("*x   \0\0 ", 8)});
  dir.Write("a.dbf", damaged);
  dir.Write("x.ndx", "index");
  const std::string lines = "a.dbf\t1\tNAME\t2\na.dbf\t2\tQTY\t2\n";
  auto r = Cli({"-c", "-l", "-q", dir.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.out, lines + "Dry run: would fix 4 zeroes in 2 records\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), damaged);
  EXPECT_TRUE(testkit::FileExists(dir.File("x.ndx")));

  r = Cli({"--list", "--quiet", dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, lines + "Database(s) are cleaned up! Fixed 4 zeroes in 2 records\n");
  std::string repaired = Blanked(damaged);
  repaired[32 + 2 * 32 + 1] = '\0';  // the deletion flag stays as it was
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), repaired);

  r = Cli({"--check", dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Dry run: would fix 0 zeroes in 0 records\n");
}

// --list and the notes name a field as the table's header spells it, in
// each layout of field descriptors, where the engine reads names in capitals.
TEST(Cli, ListAndNotesSpellFieldNamesAsTheHeaderHasThem) {
  for (const uint8_t version : {0x03, 0x02, 0x04}) {
    testkit::TempDir dir;
    testkit::DbfLayout layout;
    layout.version = version;
    layout.fields = {{"names", 'C', 4}, {"Qty_Total2", 'N', 3}, {"born", 'D', 8}};
    layout.records = {std::string(" ab\0\0  119990101", 16), std::string("     \0 219990101", 16),
                      std::string(" abcd  3199\0" "0101", 16)};
    dir.Write("a.dbf", testkit::BuildDbf(layout));
    auto r = Cli({"-l", "-n", dir.path()});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.out,
              "a.dbf\t1\tnames\t2\na.dbf\t2\tQty_Total2\t1\na.dbf\t3\tborn\t1\na.dbf\t3\tborn\tnot a date\n"
              "Dry run: would fix 4 zeroes in 3 records\n")
        << int(version);
    EXPECT_EQ(r.err, "Cleaning a.dbf database...\na.dbf: 4 zeroes in 3 records\n"
                     "a.dbf: not whole after the repair: born (date) in record 3\n")
        << int(version);
  }
}

// --backup: a table is copied just before its first change and an index
// file before it is erased, into a directory made when needed; a clean table
// is not copied, a check copies nothing, and a file of the name already in the
// backup directory stops the run before the original is touched.
TEST(Cli, BackupCopiesWhatTheRunChangesAndNeverReplacesAFile) {
  testkit::TempDir dir;
  dir.Write("a.dbf", kDamaged);
  const std::string clean = Table({" ab    1"});
  dir.Write("clean.dbf", clean);
  dir.Write("x.ndx", "index");
  const auto old = fs::last_write_time(dir.File("a.dbf")) - std::chrono::hours(48);
  fs::last_write_time(dir.File("a.dbf"), old);
  testkit::TempDir place;
  const std::string backup = place.File("copies") + kSep + "new";
  const std::string copy = backup + kSep;

  auto r = Cli({"--check", "--backup", backup, dir.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_FALSE(fs::exists(place.File("copies")));

  r = Cli({"-q", "-b", backup, dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "");
  EXPECT_EQ(testkit::ReadFile(copy + "a.dbf"), kDamaged);
  EXPECT_EQ(fs::last_write_time(copy + "a.dbf"), old);
  EXPECT_EQ(testkit::ReadFile(copy + "x.ndx"), "index");
  EXPECT_FALSE(testkit::FileExists(copy + "clean.dbf"));
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), Blanked(kDamaged));
  EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));

  const std::string stopped = " exists already, and a backup never replaces a file; stopped before ";
  const std::string damagedAgain = Table({std::string(8, '\0')});
  dir.Write("a.dbf", damagedAgain);
  dir.Write("x.ndx", "index 2");
  r = Cli({"--backup=" + backup, dir.path()});
  EXPECT_EQ(r.status, 73);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(r.err, "Cleaning a.dbf database...\ndbfclean-cli: the backup " + copy + "a.dbf" + stopped +
                       "changing a.dbf (tables cleaned before it keep their repairs; no index file was erased)\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), damagedAgain);
  EXPECT_EQ(testkit::ReadFile(copy + "a.dbf"), kDamaged);

  dir.Write("a.dbf", clean);
  r = Cli({"-b", backup, dir.path(), "a"});
  EXPECT_EQ(r.status, 73);
  EXPECT_EQ(r.err, "Cleaning a.dbf database...\na.dbf: 0 zeroes in 0 records\ndbfclean-cli: the backup " + copy +
                       "x.ndx" + stopped + "erasing x.ndx (the tables keep their repairs)\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("x.ndx")), "index 2");
  EXPECT_EQ(testkit::ReadFile(copy + "x.ndx"), "index");

  // A backup directory that cannot be made: here a file stands in its place.
  dir.Write("a.dbf", kDamaged);
  r = Cli({"-b", dir.File("clean.dbf"), dir.path()});
  EXPECT_EQ(r.status, 73);
  EXPECT_EQ(r.err.rfind("Cleaning a.dbf database...\ndbfclean-cli: cannot create the backup directory " +
                            dir.File("clean.dbf") + ": ",
                        0),
            0u)
      << r.err;
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), kDamaged);

  EXPECT_EQ(Cli({dir.path(), "-b"}).err, "dbfclean-cli: option '-b' needs a directory" + kHint);
  EXPECT_EQ(Cli({"-b", "", dir.path()}).err, "dbfclean-cli: the backup directory is empty" + kHint);
}

// A copy that cannot be written whole stops the run before the file it was
// for is changed, and leaves no partial copy behind.
TEST(Cli, AFailingBackupStopsBeforeTheOriginalIsTouched) {
  struct Case {
    std::string table;
    std::function<void(testkit::RecordingPlatform::Faults&)> fault;
    std::string err;  // DIR stands for the table directory, B for the backup's
  };
  const std::vector<Case> cases = {
      {kDamaged, [](auto& f) { f.shortWriteBy = 1; },
       "Cleaning a.dbf database...\ndbfclean-cli: cannot back up DIRa.dbf to Ba.dbf: Error # 101 (Disk write error "
       "(probable cause: Disk Full).); stopped before changing a.dbf (tables cleaned before it keep their repairs; no "
       "index file was erased)\n"},
      {Table({" ab    1"}), [](auto& f) { f.write = 29; },
       "Cleaning a.dbf database...\na.dbf: 0 zeroes in 0 records\ndbfclean-cli: cannot back up DIRx.ndx to Bx.ndx: "
       "Error # 29 (Device write fault); stopped before erasing x.ndx (the tables keep their repairs)\n"}};
  for (const auto& c : cases) {
    testkit::TempDir dir;
    testkit::TempDir place;
    dir.Write("a.dbf", c.table);
    dir.Write("x.ndx", "index");
    testkit::RecordingPlatform platform;
    c.fault(platform.faults);
    auto r = CliHere(platform, {"-b", place.path(), dir.path()});
    std::string err = c.err;
    for (const auto& [mark, path] : {std::pair{"DIR", dir.path()}, std::pair{"B", place.path()}}) {
      for (size_t p; (p = err.find(std::string(mark) + "a.dbf")) != std::string::npos ||
                     (p = err.find(std::string(mark) + "x.ndx")) != std::string::npos;) {
        err.replace(p, std::string(mark).size(), path + kSep);
      }
    }
    EXPECT_EQ(r.status, 74);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), c.table);
    EXPECT_EQ(testkit::ReadFile(dir.File("x.ndx")), "index");
    EXPECT_TRUE(fs::is_empty(place.path()));
  }
}

// The index files are backed up all before any is erased, just before the
// run's first write: a collision on the second of three stops the run with
// nothing written to the tables and nothing erased.
TEST(Cli, ABackupCollisionOnAnIndexFileStopsBeforeAnythingIsWrittenOrErased) {
  testkit::TempDir dir;
  testkit::TempDir place;
  dir.Write("a.dbf", kDamaged);
  for (const char* n : {"x1.ndx", "x2.ndx", "x3.ndx"}) dir.Write(n, "index");
  place.Write("x2.ndx", "an older copy");
  auto r = Cli({"-b", place.path(), dir.path()});
  EXPECT_EQ(r.status, 73);
  EXPECT_EQ(r.err, "Cleaning a.dbf database...\ndbfclean-cli: the backup " + place.File("x2.ndx") +
                       " exists already, and a backup never replaces a file; stopped before changing a.dbf (tables "
                       "cleaned before it keep their repairs; no index file was erased)\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), kDamaged);
  for (const char* n : {"x1.ndx", "x2.ndx", "x3.ndx"}) EXPECT_EQ(testkit::ReadFile(dir.File(n)), "index") << n;
  EXPECT_EQ(testkit::ReadFile(place.File("x2.ndx")), "an older copy");
}

// `path`, written with "/" between names, as the host spells it.
std::string Native(std::string path) {
  for (char& c : path) c = c == '/' ? kSep[0] : c;
  return path;
}
std::string Under(const std::string& root, const std::string& path) { return root + kSep + Native(path); }
// Writes `bytes` to `path` under `root`, making the directories on the way.
void Plant(const std::string& root, const std::string& path, const std::string& bytes) {
  fs::create_directories(fs::path(Under(root, path)).parent_path());
  testkit::WriteFile(Under(root, path), bytes);
}

// --recursive on a tree of three levels: every directory that holds tables
// is a run of its own, in name order (without regard to case) and depth
// first, with its index files erased and nothing of another directory's;
// hidden directories and the backup directory inside the tree are not
// entered, and the backup keeps the tree's layout. A check asks the whole
// tree first, naming each field by its table's path in the tree.
TEST(Cli, RecursiveCleansEveryDirectoryOfATreeInItsOwnRun) {
  testkit::TempDir tree;
  const std::string root = tree.path();
  const std::string clean = Table({" ab    1"});
  const std::string d = "clients/0042/2019/d.dbf";
  const std::vector<std::string> damaged = {"a.dbf", d, "clients/0043/e.dbf", "Old/o.dbf"};
  for (const auto& table : damaged) Plant(root, table, kDamaged);
  Plant(root, "clients/0042/c.dbf", clean);
  for (const char* index : {"x.ndx", "clients/w.ndx", "clients/0042/y.ndx", "clients/0042/2019/z.ndx"}) {
    Plant(root, index, "index");
  }
  const std::string hidden = kestrel::HostPathStyle() == kestrel::PathStyle::Windows ? "hidden" : ".hidden";
  Plant(root, hidden + "/h.dbf", kDamaged);
#ifdef _WIN32
  ASSERT_TRUE(SetFileAttributesA(Under(root, hidden).c_str(), FILE_ATTRIBUTE_HIDDEN));
#endif

  auto r = Cli({"--check", "--list", "--quiet", "--recursive", root});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "");
  std::string list;
  for (const auto& table : damaged) {
    const std::string shown = Native(table);
    list += shown + "\t1\tNAME\t2\n" + shown + "\t2\tQTY\t3\n";
  }
  EXPECT_EQ(r.out, list + "Visited 5 directories and 5 tables.\nDry run: would fix 20 zeroes in 8 records\n");
  EXPECT_EQ(testkit::ReadFile(Under(root, d)), kDamaged);
  EXPECT_TRUE(testkit::FileExists(Under(root, "clients/0042/2019/z.ndx")));

  const std::string backup = Under(root, "clients/backup");
  r = Cli({"-r", "-b", backup, root});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Visited 5 directories and 5 tables.\nDatabase(s) are cleaned up! Fixed 20 zeroes in 8 records\n");
  EXPECT_EQ(r.err,
            ".:\nCleaning a.dbf database...\nErased x.ndx\na.dbf: 5 zeroes in 2 records\n" + Native("clients/0042:\n") +
                "Cleaning c.dbf database...\nc.dbf: 0 zeroes in 0 records\nErased y.ndx\n" +
                Native("clients/0042/2019:\n") +
                "Cleaning d.dbf database...\nErased z.ndx\nd.dbf: 5 zeroes in 2 records\n" + Native("clients/0043:\n") +
                "Cleaning e.dbf database...\ne.dbf: 5 zeroes in 2 records\nOld:\nCleaning o.dbf database...\n"
                "o.dbf: 5 zeroes in 2 records\n");
  for (const auto& table : damaged) {
    EXPECT_EQ(testkit::ReadFile(Under(root, table)), Blanked(kDamaged)) << table;
    EXPECT_EQ(testkit::ReadFile(Under(backup, table)), kDamaged) << table;
  }
  EXPECT_EQ(testkit::ReadFile(Under(root, "clients/0042/c.dbf")), clean);
  EXPECT_FALSE(testkit::FileExists(Under(backup, "clients/0042/c.dbf")));
  EXPECT_EQ(testkit::ReadFile(Under(root, hidden + "/h.dbf")), kDamaged);
  for (const char* index : {"x.ndx", "clients/0042/y.ndx", "clients/0042/2019/z.ndx"}) {
    EXPECT_FALSE(testkit::FileExists(Under(root, index))) << index;
    EXPECT_EQ(testkit::ReadFile(Under(backup, index)), "index") << index;
  }
  EXPECT_TRUE(testkit::FileExists(Under(root, "clients/w.ndx")));  // no table beside it: no run there

  r = Cli({"-c", "-q", "-r", "-b", backup, root});  // the copies are left out of a check too
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Visited 5 directories and 5 tables.\nDry run: would fix 0 zeroes in 0 records\n");
}

// A halt in the middle directory ends the walk there with the run's report
// and status (255 on Linux for the engine's 266); with --keep-going the walk
// goes on, and ends with the first halt's status, also for a check.
TEST(Cli, RecursiveStopsAtAHaltUnlessToldToKeepGoing) {
  testkit::TempDir tree;
  const std::string root = tree.path();
  testkit::DbfLayout wide;  // its unpacked record would need more than 64 KB: error 266
  for (int i = 0; i < 255; ++i) wide.fields.push_back({"D" + std::to_string(i), 'D', 255});
  auto plant = [&] {
    for (const char* dir : {"a", "b", "c"}) {
      Plant(root, dir + std::string("/t.dbf"), dir[0] == 'b' ? testkit::BuildDbf(wide) : kDamaged);
      Plant(root, dir + std::string("/x.ndx"), "index");
    }
  };
  const std::string report =
      "b:\nCleaning t.dbf database...\nProgram halted.\nError # 266 (Invalid size)\n"
      "Database record/buffer size mismatch: " +
      testkit::EngineText(Under(root, "b/t.dbf")) + " [USE()]\nRecord Size=65791, Buffer Size=0\n";
  const std::string halt = "a:\nCleaning t.dbf database...\nErased x.ndx\nt.dbf: 5 zeroes in 2 records\n" + report;
  plant();
  auto r = Cli({"-r", root});
  EXPECT_EQ(r.status, kWide);
  EXPECT_EQ(r.err, halt);
  EXPECT_EQ(r.out, "");
  EXPECT_EQ(testkit::ReadFile(Under(root, "a/t.dbf")), Blanked(kDamaged));
  EXPECT_EQ(testkit::ReadFile(Under(root, "c/t.dbf")), kDamaged);
  EXPECT_TRUE(testkit::FileExists(Under(root, "b/x.ndx")));
  EXPECT_TRUE(testkit::FileExists(Under(root, "c/x.ndx")));

  plant();
  for (const char* keepGoing : {"--keep-going", "-q"}) {  // a check goes on also without it
    r = Cli({"--check", keepGoing, "-q", "-r", root});
    EXPECT_EQ(r.status, kWide);
    EXPECT_EQ(r.err, report);  // when quiet, the lines of the halt only
    EXPECT_EQ(r.out, "Visited 3 directories and 3 tables; 1 halted.\nDry run: would fix 10 zeroes in 4 records\n");
  }

  r = Cli({"-k", "-r", root});
  EXPECT_EQ(r.status, kWide);
  EXPECT_EQ(r.err, halt + "c:\nCleaning t.dbf database...\nErased x.ndx\nt.dbf: 5 zeroes in 2 records\n");
  EXPECT_EQ(
      r.out,
      "Visited 3 directories and 3 tables; 1 halted.\nDatabase(s) are cleaned up! Fixed 10 zeroes in 4 records\n");
  EXPECT_EQ(testkit::ReadFile(Under(root, "c/t.dbf")), Blanked(kDamaged));
  EXPECT_TRUE(testkit::FileExists(Under(root, "b/x.ndx")));
  EXPECT_FALSE(testkit::FileExists(Under(root, "c/x.ndx")));
}

// In one directory a check looks at every table, and so does a repair with
// -k: after a table the engine halts on, the run goes on with the next, its
// summary counts what halted, and the status is the first halt's. Without
// -k a repair halts as ever. A halt on the last table still sums up.
TEST(Cli, CheckAndKeepGoingGoOnPastATableThatHalts) {
  testkit::DbfLayout wide;  // its unpacked record would need more than 64 KB: error 266
  for (int i = 0; i < 255; ++i) wide.fields.push_back({"D" + std::to_string(i), 'D', 255});
  const std::string halt = "Cleaning b.dbf database...\nProgram halted.\nError # 266 (Invalid size)\n"
                           "Database record/buffer size mismatch: ";
  const std::string a = "Cleaning a.dbf database...\n", c = "Cleaning c.dbf database...\n";
  const std::string fixed = "5 zeroes in 2 records\n";
  struct Case {
    std::vector<std::string> args;
    bool third;  // c.dbf after b.dbf
    std::string before, after;  // standard error around b's report
    std::string out;
    bool repaired;  // c.dbf (or a.dbf alone) repaired
  };
  const std::vector<Case> cases = {
      {{"--check"}, true, a + "a.dbf: " + fixed, c + "c.dbf: " + fixed + "Would erase x.ndx\n",
       "Visited 3 tables; 1 halted.\nDry run: would fix 10 zeroes in 4 records\n", false},
      {{}, true, a + "Erased x.ndx\na.dbf: " + fixed, "", "", false},
      {{"-k"}, true, a + "Erased x.ndx\na.dbf: " + fixed, c + "c.dbf: " + fixed,
       "Visited 3 tables; 1 halted.\nDatabase(s) are cleaned up! Fixed 10 zeroes in 4 records\n", true},
      {{"-k"}, false, a + "Erased x.ndx\na.dbf: " + fixed, "",
       "Visited 2 tables; 1 halted.\nDatabase(s) are cleaned up! Fixed 5 zeroes in 2 records\n", true},
  };
  for (const auto& k : cases) {
    testkit::TempDir dir;
    dir.Write("a.dbf", kDamaged);
    dir.Write("b.dbf", testkit::BuildDbf(wide));
    if (k.third) dir.Write("c.dbf", kDamaged);
    dir.Write("x.ndx", "index");
    std::vector<std::string> args = k.args;
    args.push_back(dir.path());
    auto r = Cli(args);
    EXPECT_EQ(r.status, kWide);
    const std::string report =
        halt + testkit::EngineText(dir.File("b.dbf")) + " [USE()]\nRecord Size=65791, Buffer Size=0\n";
    EXPECT_EQ(r.err, k.before + report + k.after) << args[0];
    EXPECT_EQ(r.out, k.out);
    if (k.third) {
      EXPECT_EQ(testkit::ReadFile(dir.File("c.dbf")), k.repaired ? Blanked(kDamaged) : kDamaged);
    }
  }
}

#ifndef _WIN32
// Symbolic links to directories are not entered, a loop among them
// included; a directory that cannot be read is named and the walk goes on,
// ending with its code. Ctrl+C stops the whole walk after the record being
// worked on, and its line names the table by its path in the tree.
TEST(Cli, RecursiveLeavesLinksAloneGoesOnPastWhatItCannotReadAndStopsOnCtrlC) {
  testkit::TempDir tree;
  testkit::TempDir elsewhere;
  const std::string root = tree.path();
  for (const char* dir : {"a", "c", "d", "e"}) {
    Plant(root, dir + std::string("/t.dbf"), kDamaged);
    Plant(root, dir + std::string("/x.ndx"), "index");
  }
  const std::string outside = elsewhere.Write("o.dbf", kDamaged);
  fs::create_directory_symlink(root, Under(root, "a/loop"));
  fs::create_directory_symlink(elsewhere.path(), Under(root, "b"));
  struct Platform : testkit::RecordingPlatform {
    std::string denied;  // a directory that may not be read
    std::string stopAt;  // Ctrl+C as this table is opened
    int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<kestrel::DirSearch>* search,
                      kestrel::FoundFile* found) override {
      if (pattern.rfind(denied, 0) == 0) return kestrel::oserr::AccessDenied;
      return RecordingPlatform::FindFirst(pattern, attributes, search, found);
    }
    uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
      if (kestrel::EqualNoCase(path, stopAt) && !std::exchange(stopAt, std::string()).empty()) raise(SIGINT);
      return RecordingPlatform::OpenFile(path, mode, file);
    }
  } platform;
  platform.denied = Under(root, "c/");
  platform.stopAt = Under(root, "d/t.dbf");
  const std::string denied = "dbfclean-cli: cannot read directory c: access denied\n";
  auto r = CliHere(platform, {"-r", "-q", root});
  EXPECT_EQ(r.status, 130);
  EXPECT_EQ(r.err, denied + "Interrupted after record 1 of 2 of d/t.dbf; the repairs so far are on disk.\n");
  EXPECT_EQ(r.out, "Visited 2 directories and 2 tables.\nInterrupted: fixed 7 zeroes in 3 records\n");
  EXPECT_EQ(testkit::ReadFile(Under(root, "d/t.dbf")),
            Blanked(kDamaged.substr(0, 32 + 64 + 1 + 8)) + kDamaged.substr(32 + 64 + 1 + 8));
  EXPECT_FALSE(testkit::FileExists(Under(root, "d/x.ndx")));
  EXPECT_EQ(testkit::ReadFile(Under(root, "e/t.dbf")), kDamaged);
  EXPECT_TRUE(testkit::FileExists(Under(root, "e/x.ndx")));

  r = CliHere(platform, {"-r", "-q", root});
  EXPECT_EQ(r.status, 5);
  EXPECT_EQ(r.err, denied);
  EXPECT_EQ(r.out, "Visited 3 directories and 3 tables.\nDatabase(s) are cleaned up! Fixed 8 zeroes in 3 records\n");
  EXPECT_EQ(testkit::ReadFile(Under(root, "e/t.dbf")), Blanked(kDamaged));
  EXPECT_EQ(testkit::ReadFile(Under(root, "c/t.dbf")), kDamaged);
  EXPECT_EQ(testkit::ReadFile(outside), kDamaged);
}

// The copy is written through the descriptor its exclusive creation gave:
// a symbolic link put in its place meanwhile is never followed, and the run
// stops before the table is touched.
TEST(Cli, ABackupReplacedByALinkWhileItIsWrittenStopsTheRun) {
  testkit::TempDir dir;
  testkit::TempDir place;
  testkit::TempDir elsewhere;
  dir.Write("a.dbf", kDamaged);
  const std::string victim = elsewhere.Write("victim", "precious");
  testkit::RecordingPlatform platform;
  platform.afterCreate = [&](const std::string& path) {
    fs::remove(path);
    fs::create_symlink(victim, path);
  };
  auto r = CliHere(platform, {"-b", place.path(), dir.path()});
  EXPECT_EQ(r.status, 73);
  EXPECT_EQ(r.err, "Cleaning a.dbf database...\ndbfclean-cli: the backup " + place.File("a.dbf") +
                       " was replaced by another file while it was written; stopped before changing a.dbf (tables "
                       "cleaned before it keep their repairs; no index file was erased)\n");
  EXPECT_EQ(testkit::ReadFile(victim), "precious");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), kDamaged);
}

// A request to stop from outside -- Ctrl+C, SIGTERM, SIGHUP -- in the
// middle of a large table: the run stops after the record being worked on,
// every record before the stop is repaired, every one after it and the next
// table are as they were, the index files went before the first repair, and
// the status tells the signal.
TEST(Cli, ASignalStopsAfterTheRecordAndKeepsEveryRepairSoFar) {
  testkit::TempDir dir;
  const int n = 1000000;
  const std::string record(" \0\0ab  1", 8);
  const std::string table = Table(std::vector<std::string>(n, record));
  for (const auto& [signal, status] : {std::pair{SIGINT, 130}, std::pair{SIGTERM, 143}, std::pair{SIGHUP, 129}}) {
    SCOPED_TRACE(signal);
    dir.Write("big.dbf", table);
    dir.Write("next.dbf", kDamaged);
    dir.Write("x.ndx", "index");
    bool sent = false;
    auto r = apptest::RunProcess({DBFCLEAN_CLI, dir.path()}, [&, sig = signal](pid_t child, const std::string& err) {
      if (!sent && err.find("Cleaning big.dbf database...\n") != std::string::npos) sent = kill(child, sig) == 0;
    });
    ASSERT_TRUE(sent);
    EXPECT_EQ(r.status, status);
    long long zeroes = 0, done = 0;
    ASSERT_EQ(std::sscanf(r.out.c_str(), "Interrupted: fixed %lld zeroes in %lld records\n", &zeroes, &done), 2)
        << r.out;
    ASSERT_GT(done, 0);
    ASSERT_LT(done, n);
    EXPECT_EQ(zeroes, 2 * done);
    const std::string counts = std::to_string(zeroes) + " zeroes in " + std::to_string(done) + " records";
    EXPECT_EQ(r.out, "Interrupted: fixed " + counts + "\n");
    EXPECT_EQ(r.err, "Cleaning big.dbf database...\nErased x.ndx\nbig.dbf: " + counts + "\nInterrupted after record " +
                         std::to_string(done) + " of " + std::to_string(n) +
                         " of big.dbf; the repairs so far are on disk.\n");
    const size_t header = 32 + 2 * 32 + 1;
    const size_t cut = header + static_cast<size_t>(done) * record.size();
    const std::string expected = Blanked(table.substr(0, cut)) + table.substr(cut);
    EXPECT_TRUE(testkit::ReadFile(dir.File("big.dbf")) == expected);
    EXPECT_EQ(testkit::ReadFile(dir.File("next.dbf")), kDamaged);
    EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));
  }
}

// Killed in mid-table, with no chance to clean up: the repairs on disk are a
// prefix of the table, and no index file is left beside them.
TEST(Cli, AKilledRunLeavesNoIndexFileBesideItsRepairs) {
  testkit::TempDir dir;
  const int n = 1000000;
  const std::string record(" \0\0ab  1", 8);
  const std::string table = Table(std::vector<std::string>(n, record));
  dir.Write("big.dbf", table);
  dir.Write("next.dbf", kDamaged);
  dir.Write("x.ndx", "index");
  bool sent = false;
  auto r = apptest::RunProcess({DBFCLEAN_CLI, dir.path()}, [&](pid_t child, const std::string& err) {
    if (!sent && err.find("Erased x.ndx\n") != std::string::npos) sent = kill(child, SIGKILL) == 0;
  });
  ASSERT_TRUE(sent);
  EXPECT_EQ(r.status, -1);  // died by the signal
  const std::string after = testkit::ReadFile(dir.File("big.dbf"));
  const size_t header = 32 + 2 * 32 + 1;
  size_t repaired = 0;
  while (repaired < static_cast<size_t>(n) && after.compare(header + repaired * 8, 8, "   ab  1") == 0) {
    ++repaired;
  }
  const size_t cut = header + repaired * record.size();
  EXPECT_TRUE(after == Blanked(table.substr(0, cut)) + table.substr(cut)) << repaired << " records repaired";
  EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));
}

// A closed output pipe never stops a repair part-way: what could not be
// printed is dropped, and the status is the run's.
TEST(Cli, AClosedOutputPipeDoesNotStopTheRun) {
  testkit::TempDir dir;
  const std::string big = Table(std::vector<std::string>(300000, std::string(" \0\0ab  1", 8)));
  dir.Write("a.dbf", big);
  dir.Write("b.dbf", kDamaged);
  dir.Write("c.dbf", kDamaged);
  dir.Write("x.ndx", "index");
  auto r = apptest::RunProcess(
      {"/bin/bash", "-c", "\"$0\" \"$1\" 2>&1 | head -1; exit \"${PIPESTATUS[0]}\"", DBFCLEAN_CLI, dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out, "Cleaning a.dbf database...\n");
  EXPECT_EQ(testkit::ReadFile(dir.File("a.dbf")), Blanked(big));
  EXPECT_EQ(testkit::ReadFile(dir.File("b.dbf")), Blanked(kDamaged));
  EXPECT_EQ(testkit::ReadFile(dir.File("c.dbf")), Blanked(kDamaged));
  EXPECT_FALSE(testkit::FileExists(dir.File("x.ndx")));
}

// Names are printed with their control characters escaped, so that every
// line stays one line, a --list line has exactly four columns and nothing
// reaches the terminal as a command; the halting report is printed as the
// engine builds it, and when quiet a halt is still preceded by the line of
// its table.
TEST(Cli, NamesArePrintedWithControlCharactersEscaped) {
  testkit::TempDir dir;
  testkit::DbfLayout odd;
  odd.fields = {{"N\x1b[7", 'C', 2}};
  odd.records = {std::string(" \0x", 3)};
  dir.Write("new\nline.dbf", testkit::BuildDbf(odd));
  dir.Write("tab\there.dbf", kDamaged);
  dir.Write("back\\slash.dbf", Table({}));
  auto r = Cli({"--list", dir.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.out,
            "new\\nline.dbf\t1\tN\\033[7\t1\ntab\\there.dbf\t1\tNAME\t2\ntab\\there.dbf\t2\tQTY\t3\n"
            "Database(s) are cleaned up! Fixed 6 zeroes in 3 records\n");
  EXPECT_EQ(r.err,
            "Cleaning back\\\\slash.dbf database...\nback\\\\slash.dbf: 0 zeroes in 0 records\n"
            "Cleaning new\\nline.dbf database...\nnew\\nline.dbf: 1 zeroes in 1 records\n"
            "Cleaning tab\\there.dbf database...\ntab\\there.dbf: 5 zeroes in 2 records\n");

  const std::string bad = dir.Write("z\x1b]0;title\x07.dbf", "not a table");
  r = Cli({"-q", dir.path()});
  EXPECT_EQ(r.status, 210);
  EXPECT_EQ(r.err,
            "Cleaning z\\033]0;title\\007.dbf database...\nProgram halted.\nError # 210 (Not a dBASE data file)\n" +
                bad + " is not a dBASE database. (Prolog is less than 32 bytes) [USE/OpenDBF]\n");
}
#endif

}  // namespace
