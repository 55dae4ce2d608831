// dbfclean-cli on what a crash leaves besides NULs: a header that counts
// other records than its file holds, and values the repair cannot make
// whole. The real binary on one table per case, by its exit status, both
// output streams and the bytes left on disk.
#include <gtest/gtest.h>

#include <filesystem>

#include "kestrel/platform.h"
#include "run_process.h"
#include "testkit.h"

namespace {

namespace fs = std::filesystem;

apptest::ProcessResult Cli(std::vector<std::string> args) {
  args.insert(args.begin(), DBFCLEAN_CLI);
  return apptest::RunProcess(args);
}

const std::string kClean = " ab    1";
const std::string kDamaged(" x\0\0   2", 8);  // 2 NULs in NAME

// orders.dbf's bytes: fields NAME (C 4) and QTY (N 3), the header counting
// `count`, then `tail` after the records.
std::string Orders(uint8_t version, uint32_t count, const std::vector<std::string>& records,
                   const std::string& tail = "\x1a") {
  testkit::DbfLayout layout;
  layout.version = version;
  layout.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3}};
  layout.records = records;
  layout.recordCount = count;
  layout.eofMarker = false;
  return testkit::BuildDbf(layout) + tail;
}

std::vector<std::string> Records(int clean, int damaged) {
  std::vector<std::string> records(static_cast<size_t>(clean), kClean);
  records.insert(records.end(), static_cast<size_t>(damaged), kDamaged);
  return records;
}

// `bytes` with the header counting `count` and every NUL after the header a
// blank: the repair with --fix-count.
std::string Repaired(std::string bytes, std::optional<uint32_t> count) {
  const bool dbase2 = bytes[0] == 0x02;
  if (count) {
    for (size_t i = 0; i < (dbase2 ? 2u : 4u); ++i) bytes[(dbase2 ? 1 : 4) + i] = static_cast<char>(*count >> (8 * i));
  }
  for (size_t i = dbase2 ? 521 : 32 + 2 * 32 + 1; i < bytes.size(); ++i) bytes[i] = bytes[i] == '\0' ? ' ' : bytes[i];
  return bytes;
}

// Dates and numbers that lost digits to NULs, and a field that lost nothing.
std::string LostValues() {
  testkit::DbfLayout layout;
  layout.fields = {{"Born", 'D', 8}, {"QTY", 'N', 5, 1}, {"RATE", 'F', 6, 2}, {"NAME", 'C', 3}};
  const std::string lostDate(
      "2020\0\0"
      "01",
      8);
  layout.records = {testkit::Record(layout, {std::string("1932\0\0"
                                                         "14",
                                                         8),
                                             "  1.5", "  2.25", "abc"}),
                    testkit::Record(layout, {"19320714",
                                             std::string("6\0"
                                                         "7.5",
                                                         5),
                                             std::string(6, '\0'), std::string("a\0c", 3)}),
                    testkit::Record(layout, {"19991231", "  2.0",
                                             std::string("1\0"
                                                         "2.50",
                                                         6),
                                             "abc"})};
  for (int i = 0; i < 4; ++i) layout.records.push_back(testkit::Record(layout, {lostDate, "  1.0", "  1.00", "abc"}));
  return testkit::BuildDbf(layout);
}

const std::string kCleaning = "Cleaning orders.dbf database...\n";
const std::string kHeader = "orders.dbf: the header ";
const std::string kHalt =
    "Program halted.\nError # 213 (End of file found unexpectedly)\nFile:  PATH  [GetDbfRecord]\n";

TEST(Cli, TheHeaderIsMeasuredAgainstTheFileAndFixCountMakesItRight) {
  struct Case {
    const char* what;
    std::string bytes;  // orders.dbf, beside x.ndx
    std::vector<std::string> options;
    int status;
    std::string err;  // PATH: the table's path as the engine's report names it
    std::string out;
    std::optional<std::string> after;  // the table's bytes after; none: unchanged
  };
  const std::string append = Orders(0x03, 15, Records(15, 5));
  const std::string midRecord = Orders(0x03, 20, Records(17, 0), "").replace(32 + 64 + 1 + 2 * 8, 8, kDamaged) + " ab";
  const std::string boundary = Orders(0x03, 20, Records(17, 0), "");
  const std::string zero = Orders(0x03, 0, Records(0, 10));
  const std::string dbase2 = Orders(0x02, 3, Records(3, 2));
  const std::string flags = Orders(0x03, 3, {std::string("\0ab    1", 8), kClean, std::string("\0ab    1", 8)});
  const std::string hidden = "counts 15 records, the file holds 20 whole records";
  const std::string early = "counts 20 records, the file holds 17 whole records and 3 bytes of the 18th";
  const std::vector<Case> cases = {
      {"an append cut short",
       append,
       {},
       0,
       kCleaning + kHeader + hidden + "; records 16 to 20 are not cleaned (--fix-count)\n" +
           "orders.dbf: 0 zeroes in 0 records\nErased x.ndx\n",
       "Database(s) are cleaned up! Fixed 0 zeroes in 0 records\n",
       std::nullopt},
      {"an append cut short, checked",
       append,
       {"-c"},
       1,
       kCleaning + kHeader + hidden + "; records 16 to 20 are not cleaned (--fix-count)\n" +
           "orders.dbf: 0 zeroes in 0 records\nWould erase x.ndx\n",
       "Dry run: would fix 0 zeroes in 0 records\n",
       std::nullopt},
      {"an append cut short, checked quietly: the header's line still comes",
       append,
       {"-c", "-q"},
       1,
       "orders.dbf: the header counts 15 records, the file holds 20 whole records; records 16 to 20 are not cleaned "
       "(--fix-count)\n",
       "Dry run: would fix 0 zeroes in 0 records\n",
       std::nullopt},
      {"an append cut short, fixed",
       append,
       {"--fix-count"},
       0,
       kCleaning + "Erased x.ndx\n" + kHeader +
           "counted 15 records, the file holds 20 whole records; the header now counts 20\n" +
           "orders.dbf: 10 zeroes in 5 records\n",
       "Database(s) are cleaned up! Fixed 10 zeroes in 5 records\n",
       Repaired(append, 20)},
      {"an append cut short, checked with --fix-count",
       append,
       {"--check", "--fix-count"},
       1,
       kCleaning + kHeader + hidden + "; --fix-count would make the header count 20\n" +
           "orders.dbf: 10 zeroes in 5 records\nWould erase x.ndx\n",
       "Dry run: would fix 10 zeroes in 5 records\n",
       std::nullopt},
      {"ends mid-record",
       midRecord,
       {},
       213,
       kCleaning + kHeader + early + "; records 18 to 20 are missing (--fix-count)\nErased x.ndx\n" + kHalt,
       "",
       Repaired(midRecord, std::nullopt)},
      {"ends mid-record, a dry run",
       midRecord,
       {"-n"},
       213,
       kCleaning + kHeader + early + "; records 18 to 20 are missing (--fix-count)\n" +
           "orders.dbf: 2 zeroes in 1 records\nWould erase x.ndx\n" + kHalt,
       "Visited 1 tables; 1 halted.\nDry run: would fix 2 zeroes in 1 records\n",
       std::nullopt},
      {"ends mid-record, fixed",
       midRecord,
       {"--fix-count"},
       0,
       kCleaning + "Erased x.ndx\n" + kHeader +
           "counted 20 records, the file holds 17 whole records and 3 bytes of the 18th; the header now counts 17\n" +
           "orders.dbf: 2 zeroes in 1 records\n",
       "Database(s) are cleaned up! Fixed 2 zeroes in 1 records\n",
       Repaired(midRecord, 17)},
      {"ends at a record's end",
       boundary,
       {},
       213,
       kCleaning + kHeader + "counts 20 records, the file holds 17 whole records; records 18 to 20 are missing " +
           "(--fix-count)\n" + kHalt,
       "",
       std::nullopt},
      {"ends at a record's end, checked",
       boundary,
       {"-c"},
       213,
       kCleaning + kHeader + "counts 20 records, the file holds 17 whole records; records 18 to 20 are missing " +
           "(--fix-count)\norders.dbf: 0 zeroes in 0 records\n" + kHalt,
       "Visited 1 tables; 1 halted.\nDry run: would fix 0 zeroes in 0 records\n",
       std::nullopt},
      {"a count of 0 over 10 records, checked",
       zero,
       {"-c"},
       1,
       kCleaning + kHeader + "counts 0 records, the file holds 10 whole records; records 1 to 10 are not cleaned " +
           "(--fix-count)\norders.dbf: 0 zeroes in 0 records\nWould erase x.ndx\n",
       "Dry run: would fix 0 zeroes in 0 records\n",
       std::nullopt},
      {"a count of 0 over 10 records, fixed",
       zero,
       {"--fix-count"},
       0,
       kCleaning + "Erased x.ndx\n" + kHeader +
           "counted 0 records, the file holds 10 whole records; the header now counts 10\n" +
           "orders.dbf: 20 zeroes in 10 records\n",
       "Database(s) are cleaned up! Fixed 20 zeroes in 10 records\n",
       Repaired(zero, 10)},
      {"dBASE II, fixed",
       dbase2,
       {"--fix-count"},
       0,
       kCleaning + "Erased x.ndx\n" + kHeader +
           "counted 3 records, the file holds 5 whole records; the header now counts 5\n" +
           "orders.dbf: 4 zeroes in 2 records\n",
       "Database(s) are cleaned up! Fixed 4 zeroes in 2 records\n",
       Repaired(dbase2, 5)},
      // The flags stay: the repair changes NULs inside fields only.
      {"NUL deletion flags",
       flags,
       {},
       0,
       kCleaning + "orders.dbf: 0 zeroes in 0 records\n" +
           "orders.dbf: not whole after the repair: the deletion flag (neither blank nor '*') in records 1 and 3\n" +
           "Erased x.ndx\n",
       "Database(s) are cleaned up! Fixed 0 zeroes in 0 records\n",
       std::nullopt},
      {"lost values, checked and listed",
       LostValues(),
       {"-c", "-l"},
       1,
       kCleaning + "orders.dbf: 19 zeroes in 7 records\n" +
           "orders.dbf: not whole after the repair: Born (date) in records 1, 4, 5 and 2 more; QTY (number) in " +
           "record 2; RATE (number) in record 3\nWould erase x.ndx\n",
       "orders.dbf\t1\tBorn\t2\norders.dbf\t1\tBorn\tnot a date\norders.dbf\t2\tQTY\t1\norders.dbf\t2\tQTY\tnot a "
       "number\norders.dbf\t2\tRATE\t6\norders.dbf\t2\tNAME\t1\norders.dbf\t3\tRATE\t1\norders.dbf\t3\tRATE\tnot a "
       "number\norders.dbf\t4\tBorn\t2\norders.dbf\t4\tBorn\tnot a date\norders.dbf\t5\tBorn\t2\norders.dbf\t5\tBorn\t"
       "not a date\norders.dbf\t6\tBorn\t2\norders.dbf\t6\tBorn\tnot a date\norders.dbf\t7\tBorn\t2\norders.dbf\t7\t"
       "Born\tnot a date\nDry run: would fix 19 zeroes in 7 records\n",
       std::nullopt},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::TempDir dir;
    const std::string path = dir.Write("orders.dbf", c.bytes);
    dir.Write("x.ndx", "index");
    std::vector<std::string> args = c.options;
    args.push_back(dir.path());
    const auto r = Cli(args);
    std::string err = c.err;
    if (const size_t at = err.find("PATH"); at != std::string::npos) err.replace(at, 4, testkit::EngineText(path));
    EXPECT_EQ(r.status, c.status);
    EXPECT_EQ(r.err, err);
    EXPECT_EQ(r.out, c.out);
    EXPECT_EQ(testkit::ReadFile(path), c.after.value_or(c.bytes));
  }
}

// A check halts where the repair would at a table that ends early, and goes
// on with the next table; each index file is named once.
TEST(Cli, ACheckPredictsTheHaltAndGoesOn) {
  testkit::TempDir dir;
  const std::string a =
      dir.Write("a.dbf", Orders(0x03, 20, Records(16, 1), "").replace(32 + 64 + 1 + 2 * 8, 8, kDamaged) + " ab");
  dir.Write("b.dbf", Orders(0x03, 15, Records(15, 5)));
  dir.Write("x.ndx", "index");
  const auto r = Cli({"-c", dir.path()});
  EXPECT_EQ(r.status, 213);
  EXPECT_EQ(r.err,
            "Cleaning a.dbf database...\na.dbf: the header counts 20 records, the file holds 17 whole records and 3 "
            "bytes of the 18th; records 18 to 20 are missing (--fix-count)\na.dbf: 4 zeroes in 2 records\nWould erase "
            "x.ndx\nProgram halted.\nError # 213 (End of file found unexpectedly)\nFile:  " +
                testkit::EngineText(a) +
                "  [GetDbfRecord]\nCleaning b.dbf database...\nb.dbf: the header counts 15 records, the file holds 20 "
                "whole records; records 16 to 20 are not cleaned (--fix-count)\nb.dbf: 0 zeroes in 0 records\n");
  EXPECT_EQ(r.out, "Visited 2 tables; 1 halted.\nDry run: would fix 4 zeroes in 2 records\n");
}

// With -r the lines come under their directory's; a repair with --backup
// copies the table before its count changes, and the same command run again
// has nothing left to do.
TEST(Cli, FixCountWalksATreeAndBacksUpTheTableFirst) {
  testkit::TempDir root;
  fs::create_directory(root.File("sub"));
  const std::string append = Orders(0x03, 15, Records(15, 5));
  const std::string path = root.Write("sub" + std::string(1, kestrel::PathSeparator()) + "orders.dbf", append);
  const std::string line = kHeader + "counts 15 records, the file holds 20 whole records";

  auto r = Cli({"-r", "-c", root.path()});
  EXPECT_EQ(r.status, 1);
  EXPECT_EQ(r.err, "sub:\n" + kCleaning + line + "; records 16 to 20 are not cleaned (--fix-count)\n" +
                       "orders.dbf: 0 zeroes in 0 records\n");
  EXPECT_EQ(r.out, "Visited 1 directories and 1 tables.\nDry run: would fix 0 zeroes in 0 records\n");

  testkit::TempDir place;
  const std::string backup = place.File("bk");
  r = Cli({"-r", "-q", "--fix-count", "-b", backup, root.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "sub:\norders.dbf: the header counted 15 records, the file holds 20 whole records; the header now "
                   "counts 20\n");
  EXPECT_EQ(r.out, "Visited 1 directories and 1 tables.\nDatabase(s) are cleaned up! Fixed 10 zeroes in 5 records\n");
  EXPECT_EQ(testkit::ReadFile(path), Repaired(append, 20));
  EXPECT_EQ(testkit::ReadFile(backup + kestrel::PathSeparator() + "sub" + kestrel::PathSeparator() + "orders.dbf"),
            append);

  r = Cli({"-r", "--fix-count", "-b", backup, root.path()});
  EXPECT_EQ(r.status, 0);
  EXPECT_EQ(r.err, "sub:\n" + kCleaning + "orders.dbf: 0 zeroes in 0 records\n");
  EXPECT_EQ(testkit::ReadFile(path), Repaired(append, 20));
}

}  // namespace
