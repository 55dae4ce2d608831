// The zero-byte scrub of one table: what it changes on disk, what it counts,
// what it never writes, and that it leaves the engine's work areas as it found
// them on every way out.
#include <gtest/gtest.h>

#include <atomic>
#include <cctype>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/stat.h>
#endif

#include "run.h"
#include "testkit.h"

namespace {

using testkit::Record;

// The table's bytes with every NUL from `from` on turned into a blank.
std::string Blanked(std::string bytes, size_t from) {
  for (size_t i = from; i < bytes.size(); ++i) {
    if (bytes[i] == '\0') bytes[i] = ' ';
  }
  return bytes;
}

TEST(ScrubTable, RepairsEveryFieldTypeAndCountsRecordsOnce) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 5},  {"BORN", 'D', 8},   {"OK", 'L', 1},
                   {"NOTE", 'M', 10}, {"QTY", 'N', 5, 2}, {"RATE", 'F', 4, 1}};
  layout.records = {
      Record(layout, {std::string("\x81\0b\0\0", 5)}),  // no character-set translation either
                                                        // deleted, NULs in five fields, the memo reference all NULs
      Record(layout,
             {"", std::string("200\0\0", 5) + "203", std::string(1, '\0'), std::string(10, '\0'),
              std::string(" 1\0.5", 5), std::string("\0.5", 3)},
             true),
      Record(layout, {"clean", "20010203", "T", "         7", " 1.50", " 0.5"})};
  const std::string before = testkit::BuildDbf(layout);
  const std::string path = dir.Write("t.dbf", before);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, path, counters);
  EXPECT_EQ(counters.ZeroesFixed, 3 + 2 + 1 + 10 + 1 + 1);
  EXPECT_EQ(counters.RecordsFixed, 2);
  // Only the NULs in records change: header, flags, other bytes and EOF marker stay.
  const size_t headerLength = 32 + 32 * layout.fields.size() + 1;
  EXPECT_EQ(testkit::ReadFile(path), Blanked(before, headerLength));
  EXPECT_EQ(platform.writes, 1);  // the repairs of the records read ahead go in one write
  EXPECT_TRUE(platform.halts.empty());
}

// Every field is repaired by its own number: two fields of one name (names
// are cut to 10 characters) and a name no lookup finds (a stored trailing
// blank) are repaired like any other, and the deletion flag is never touched,
// not even when it holds a NUL. The dry run counts what the repair fixes.
TEST(ScrubTable, RepairsEveryFieldByItsOwnNumberAndNeverTheDeletionFlag) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 3}, {"A", 'C', 3}, {"B ", 'C', 2}};
  layout.records = {std::string("\0x\0y\0\0\0\0\0", 9), std::string(" okk\0\0\0\0\0", 9)};
  const std::string before = testkit::BuildDbf(layout);
  const std::string path = dir.Write("dup.dbf", before);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);

  dbfclean::Counters dry;
  dbfclean::ScrubOptions dryRun;
  dryRun.dryRun = true;
  dbfclean::ScrubTable(engine, path, dry, dryRun);
  EXPECT_EQ(testkit::ReadFile(path), before);
  EXPECT_EQ(platform.writes, 0);

  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, path, counters);
  const size_t rec1 = 32 + 3 * 32 + 1;
  std::string after = Blanked(before, rec1 + 1);
  EXPECT_EQ(after[rec1], '\0');  // record 1's deletion flag keeps its NUL
  EXPECT_EQ(testkit::ReadFile(path), after);
  EXPECT_EQ(counters.ZeroesFixed, 1 + 3 + 2 + 3 + 2);
  EXPECT_EQ(counters.RecordsFixed, 2);
  EXPECT_EQ(dry.ZeroesFixed, counters.ZeroesFixed);
  EXPECT_EQ(dry.RecordsFixed, counters.RecordsFixed);
}

// A header count of 2^31 or more: the records present are repaired, then the
// table's end is reported like that of any count larger than the file.
TEST(ScrubTable, HugeHeaderCountRepairsWhatIsThereThenReportsTheEnd) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 2}};
  layout.records = {std::string(" \0x", 3), std::string(" y\0", 3)};
  layout.recordCount = 0x80000001u;
  layout.eofMarker = false;
  const std::string before = testkit::BuildDbf(layout);
  const std::string path = dir.Write("huge.dbf", before);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  EXPECT_EQ(testkit::RunUntilExit([&] { dbfclean::ScrubTable(engine, path, counters); }), 213);
  EXPECT_EQ(counters.ZeroesFixed, 2);
  EXPECT_EQ(testkit::ReadFile(path), Blanked(before, 32 + 32 + 1));
  ASSERT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.halts[0].text, kestrel::Cut("Error # 213 (End of file found unexpectedly)\r\nFile:  " +
                                                     testkit::EngineText(path) + "  [GetDbfRecord]",
                                                 255));
}

#ifndef _WIN32
// On Linux names that differ only in case are different files: the table the
// run names is the one repaired, in the directory as spelled.
TEST(ScrubTable, OpensExactlyTheNamedFileWhereCaseMatters) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 2}};
  layout.records = {std::string(" \0x", 3)};
  const std::string damaged = testkit::BuildDbf(layout);
  layout.records = {" ok"};
  const std::string clean = testkit::BuildDbf(layout);
  const std::string lower = dir.Write("x.dbf", damaged);
  const std::string upper = dir.Write("X.DBF", clean);
  std::filesystem::create_directory(dir.File("data"));
  std::filesystem::create_directory(dir.File("DATA"));
  const std::string inData = dir.Write("data/t.dbf", damaged);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, lower, counters);
  dbfclean::ScrubTable(engine, inData, counters);
  EXPECT_TRUE(platform.halts.empty());
  EXPECT_EQ(testkit::ReadFile(lower), Blanked(damaged, 65));
  EXPECT_EQ(testkit::ReadFile(upper), clean);
  EXPECT_EQ(testkit::ReadFile(inData), Blanked(damaged, 65));
  EXPECT_EQ(counters.ZeroesFixed, 2);
}
#endif

#ifndef _WIN32
// A table larger than 4 GiB, sparse so that it costs little disk: the records
// whose field lies past 2 GiB and past 4 GiB hold NULs and are repaired at
// their true positions; the deletion flags (NUL in the holes) stay as they are.
TEST(ScrubTable, RepairsTablesLargerThan4GiB) {
  testkit::TempDir dir;
  constexpr uint16_t kRecordLength = 65535;
  constexpr int32_t kRecords = 65600;  // the last record starts past 4 GiB
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 1}};
  layout.recordLength = kRecordLength;
  layout.recordCount = kRecords;
  layout.eofMarker = false;
  const std::string path = dir.Write("big.dbf", testkit::BuildDbf(layout));
  const uint64_t header = 32 + 32 + 1;
  auto position = [&](int32_t r) { return header + static_cast<uint64_t>(r - 1) * kRecordLength; };
  std::filesystem::resize_file(path, position(kRecords + 1));
  struct stat st {};
  if (stat(path.c_str(), &st) != 0 || static_cast<uint64_t>(st.st_blocks) * 512 > (uint64_t{1} << 30)) {
    GTEST_SKIP() << "this file system cannot hold a sparse file";
  }
  const int32_t past2GiB = 32770, past4GiB = kRecords;
  ASSERT_GT(position(past2GiB), uint64_t{1} << 31);
  ASSERT_GT(position(past4GiB), uint64_t{1} << 32);
  {
    std::fstream out(path, std::ios::in | std::ios::out | std::ios::binary);
    for (int32_t r = 1; r <= kRecords; ++r) {
      if (r == past2GiB || r == past4GiB) continue;  // their field stays a hole: NUL
      out.seekp(static_cast<std::streamoff>(position(r) + 1)).put('x');
    }
  }
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, path, counters);
  EXPECT_TRUE(platform.halts.empty());
  EXPECT_EQ(counters.ZeroesFixed, 2);
  EXPECT_EQ(counters.RecordsFixed, 2);
  EXPECT_EQ(platform.writes, 2);
  std::ifstream in(path, std::ios::binary);
  for (int32_t r : {1, past2GiB - 1, past2GiB, past4GiB - 1, past4GiB}) {
    char bytes[2] = {};
    in.seekg(static_cast<std::streamoff>(position(r))).read(bytes, 2);
    const char field = (r == past2GiB || r == past4GiB) ? ' ' : 'x';
    EXPECT_EQ(std::string(bytes, 2), (std::string{'\0', field})) << "record " << r;
  }
}
#endif

// A dry run only reads: it opens a read-only table too, and counts what the
// repair would fix.
TEST(ScrubTable, DryRunInspectsAReadOnlyTable) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 2}};
  layout.records = {std::string(" \0\0", 3)};
  const std::string before = testkit::BuildDbf(layout);
  const std::string path = dir.Write("ro.dbf", before);
  testkit::SetReadOnly(path, true);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  dbfclean::ScrubOptions dryRun;
  dryRun.dryRun = true;
  dbfclean::ScrubTable(engine, path, counters, dryRun);
  EXPECT_TRUE(platform.halts.empty());
  EXPECT_EQ(counters.ZeroesFixed, 2);
  EXPECT_EQ(engine.ForcedOpenMode, 65535);
  EXPECT_EQ(testkit::ReadFile(path), before);
}

// Counts beyond 32 bits (a pre-allocated table of a few GB) show as they are.
TEST(SummaryText, ShowsCountsBeyond32Bits) {
  dbfclean::Counters counters{2159000000LL, 5000000000LL};
  EXPECT_EQ(dbfclean::SummaryText(counters, false),
            "Database(s) are cleaned up! Fixed 2159000000 zeroes in 5000000000 records");
  EXPECT_EQ(dbfclean::SummaryText(dbfclean::Counters{}, true), "Dry run: would fix 0 zeroes in 0 records");
}

TEST(ScrubTable, RestoresTheWorkAreaOnEveryWayOut) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 4}};
  const std::string empty = dir.Write("empty.dbf", testkit::BuildDbf(layout));
  layout.records = {Record(layout, {std::string("\0\0", 2)}), Record(layout, {std::string("\0", 1)})};
  const std::string before = testkit::BuildDbf(layout);
  const std::string full = dir.Write("full.dbf", before);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  engine.USE(dir.File("full.dbf"));  // area 1 is taken, so the scrub gets area 2
  engine.Select(7);

  // A table without records is opened and closed and nothing is counted.
  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, empty, counters);
  EXPECT_EQ(counters.ZeroesFixed, 0);
  EXPECT_EQ(counters.RecordsFixed, 0);
  EXPECT_EQ(engine.CurrentArea(), 7);
  EXPECT_EQ(engine.Area(2), nullptr);
  EXPECT_NE(engine.Area(1), nullptr);
  engine.Select(1);
  engine.USE("");
  engine.Select(7);

  // An exception half-way: the first record stays repaired on disk, the
  // table is closed and the area is back.
  dbfclean::ScrubOptions options;
  options.repaired = [](const dbfclean::FieldRepair& r) {
    if (r.record == 2) throw std::runtime_error("stop");
  };
  EXPECT_THROW(dbfclean::ScrubTable(engine, full, counters, options), std::runtime_error);
  EXPECT_EQ(counters.ZeroesFixed, 2 + 1);  // the field being shown counts, as it is counted before it is shown
  EXPECT_EQ(counters.RecordsFixed, 1);
  EXPECT_EQ(engine.CurrentArea(), 7);
  EXPECT_EQ(engine.Area(1), nullptr);
  std::string after = before;
  after[32 + 32 + 1 + 1] = ' ';
  after[32 + 32 + 1 + 2] = ' ';
  EXPECT_EQ(testkit::ReadFile(full), after);

  // The runtime's I/O failure while opening takes the same way out.
  platform.faults.size = 5;
  EXPECT_THROW(dbfclean::ScrubTable(engine, full, counters), kestrel::EInOutError);
  EXPECT_EQ(engine.CurrentArea(), 7);
  EXPECT_EQ(engine.Area(1), nullptr);
  EXPECT_TRUE(platform.halts.empty());
}

// The run's hooks: each repaired field is reported with its place and count,
// the first write is announced once (and a throw there leaves the table as it
// was), and the stop flag ends the table after the record it was raised in.
TEST(ScrubTable, HooksReportRepairsAnnounceTheFirstWriteAndStop) {
  testkit::TempDir dir;
  testkit::DbfLayout layout;
  layout.fields = {{"A", 'C', 3}, {"B", 'N', 3}};
  layout.records = {Record(layout, {"abc", std::string("\0\0", 2)}), Record(layout, {"ab", ""}),
                    Record(layout, {std::string("\0", 1), ""})};
  const std::string before = testkit::BuildDbf(layout);
  const std::string path = dir.Write("t.dbf", before);
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  std::vector<std::string> seen;
  int announced = 0;
  std::atomic<bool> stop = false;
  dbfclean::ScrubOptions options;
  options.repaired = [&](const dbfclean::FieldRepair& r) {
    seen.push_back(std::to_string(r.record) + " " + std::to_string(r.field) + " " + r.name + " " +
                   std::to_string(r.zeroes));
  };
  options.beforeFirstWrite = [&] {
    if (++announced == 1) throw std::runtime_error("no backup");
  };
  dbfclean::Counters counters;
  EXPECT_THROW(dbfclean::ScrubTable(engine, path, counters, options), std::runtime_error);
  EXPECT_EQ(testkit::ReadFile(path), before);

  seen.clear();
  options.stop = &stop;
  const auto show = options.repaired;
  options.repaired = [&, show](const dbfclean::FieldRepair& r) {
    show(r);
    stop = true;
  };
  dbfclean::ScrubTable(engine, path, counters, options);
  EXPECT_EQ(announced, 2);
  EXPECT_EQ(seen, (std::vector<std::string>{"1 2 B 2"}));
  const size_t header = 32 + 2 * 32 + 1, third = header + 2 * 7;  // two records of 7 bytes
  EXPECT_EQ(testkit::ReadFile(path), Blanked(before.substr(0, third), header) + before.substr(third));
}

}  // namespace
