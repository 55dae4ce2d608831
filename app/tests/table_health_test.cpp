// The header against the file, the count's repair and the notes on values
// the repair cannot make whole, on real files through the platform.
#include "table_health.h"

#include <gtest/gtest.h>

#include "run.h"
#include "testkit.h"

namespace {

// A table of one C field of `length - 1` bytes: `records` whole records
// (record i filled with letter 'a' + i % 26), the header counting `count`,
// then `tail` (the end marker, a partial record, nothing).
std::string Table(uint8_t version, uint32_t count, int records, const std::string& tail, uint8_t length = 8) {
  testkit::DbfLayout layout;
  layout.version = version;
  layout.fields = {{"NAME", 'C', static_cast<uint8_t>(length - 1)}};
  for (int i = 0; i < records; ++i) layout.records.push_back(" " + std::string(length - 1u, char('a' + i % 26)));
  layout.recordCount = count;
  layout.eofMarker = false;
  return testkit::BuildDbf(layout) + tail;
}

TEST(TableHealth, MeasuresTheHeaderAgainstTheFile) {
  struct Case {
    const char* what;
    std::string bytes;
    bool dbase2;
    uint64_t header, whole, partial;
  };
  const std::vector<Case> cases = {
      {"an append cut short", Table(0x03, 15, 20, "\x1a"), false, 15, 20, 0},
      {"ends early mid-record", Table(0x03, 20, 17, std::string(5, 'x')), false, 20, 17, 5},
      {"ends early at a record boundary", Table(0x03, 20, 17, ""), false, 20, 17, 0},
      {"a count of 0 over 10 records", Table(0x03, 0, 10, "\x1a"), false, 0, 10, 0},
      {"dBASE II", Table(0x02, 3, 5, "\x1a"), true, 3, 5, 0},
      {"agrees, with the end marker", Table(0x83, 4, 4, "\x1a"), false, 4, 4, 0},
      {"agrees, without it", Table(0x03, 4, 4, ""), false, 4, 4, 0},
      // Two bytes past the records: no end marker alone, a partial record.
      {"a marker and one byte more", Table(0x03, 4, 4, "\x1a\x1a"), false, 4, 4, 2},
      // One byte past them that is no end marker is a record begun.
      {"one byte that is no marker", Table(0x03, 4, 4, " "), false, 4, 4, 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    testkit::TempDir dir;
    dbfclean::TableExtent e;
    ASSERT_TRUE(dbfclean::MeasureTable(kestrel::Platform::Default(), dir.Write("t.dbf", c.bytes), &e));
    EXPECT_EQ(e.dbase2, c.dbase2);
    EXPECT_EQ(e.headerCount, c.header);
    EXPECT_EQ(e.wholeRecords, c.whole);
    EXPECT_EQ(e.partialBytes, c.partial);
    EXPECT_EQ(e.Disagrees(), c.header != c.whole);
  }
  // No table, a missing file: nothing measured, the engine reports them.
  testkit::TempDir dir;
  dbfclean::TableExtent e;
  EXPECT_FALSE(dbfclean::MeasureTable(kestrel::Platform::Default(), dir.Write("x.dbf", std::string(40, 'x')), &e));
  EXPECT_FALSE(dbfclean::MeasureTable(kestrel::Platform::Default(), dir.File("none.dbf"), &e));
}

TEST(TableHealth, NamesBothNumbersAndWhatTheCountDoes) {
  using dbfclean::CountFix;
  struct Case {
    uint64_t header, whole, partial;
    CountFix fix;
    std::string text;
  };
  const std::string t = "orders.dbf: the header ";
  const std::vector<Case> cases = {
      {15, 20, 0, CountFix::None,
       t + "counts 15 records, the file holds 20 whole records; records 16 to 20 are not cleaned (--fix-count)"},
      {20, 17, 64, CountFix::None,
       t + "counts 20 records, the file holds 17 whole records and 64 bytes of the 18th; records 18 to 20 are "
           "missing (--fix-count)"},
      {20, 17, 0, CountFix::None,
       t + "counts 20 records, the file holds 17 whole records; records 18 to 20 are missing (--fix-count)"},
      {0, 1, 0, CountFix::None,
       t + "counts 0 records, the file holds 1 whole record; record 1 is not cleaned (--fix-count)"},
      {1, 0, 1, CountFix::None,
       t + "counts 1 record, the file holds 0 whole records and 1 byte of the 1st; record 1 is missing (--fix-count)"},
      {11, 10, 3, CountFix::None,
       t + "counts 11 records, the file holds 10 whole records and 3 bytes of the 11th; record 11 is missing "
           "(--fix-count)"},
      {0, 21, 2, CountFix::None,
       t + "counts 0 records, the file holds 21 whole records and 2 bytes of the 22nd; records 1 to 21 are not "
           "cleaned (--fix-count)"},
      {15, 20, 0, CountFix::Would,
       t + "counts 15 records, the file holds 20 whole records; --fix-count would make the header count 20"},
      {20, 17, 64, CountFix::Done,
       t + "counted 20 records, the file holds 17 whole records and 64 bytes of the 18th; the header now counts 17"},
  };
  for (const Case& c : cases) {
    dbfclean::TableExtent e;
    e.headerCount = c.header;
    e.wholeRecords = c.whole;
    e.partialBytes = c.partial;
    EXPECT_EQ(dbfclean::ExtentText("orders.dbf", e, c.fix), c.text);
  }
}

TEST(TableHealth, PlansWhatTheRunDoesAboutTheCount) {
  using dbfclean::CountFix;
  struct Case {
    uint64_t header, whole;
    bool fixCount, dryRun;
    CountFix fix;
    bool write, scrub;
    int64_t records, pastEnd;
  };
  const std::vector<Case> cases = {
      {20, 20, true, true, CountFix::None, false, true, -1, 0},    // agrees: nothing to do
      {15, 20, false, false, CountFix::None, false, true, -1, 0},  // the hidden records stay
      {15, 20, false, true, CountFix::None, false, true, -1, 0},
      {20, 17, false, false, CountFix::None, false, true, -1, 0},  // the repair halts itself
      {20, 17, false, true, CountFix::None, false, true, 17, 18},  // the dry run predicts it
      {20, 0, false, true, CountFix::None, false, false, 0, 1},    // the open meets the end
      {15, 20, true, false, CountFix::Done, true, true, -1, 0},
      {20, 17, true, false, CountFix::Done, true, true, -1, 0},
      {15, 20, true, true, CountFix::Would, false, true, 20, 0},
      {20, 17, true, true, CountFix::Would, false, true, 17, 0},
      {20, 0, true, true, CountFix::Would, false, false, 0, 0},
  };
  for (const Case& c : cases) {
    dbfclean::TableExtent e;
    e.headerCount = c.header;
    e.wholeRecords = c.whole;
    const dbfclean::CountPlan plan = dbfclean::PlanCount(e, c.fixCount, c.dryRun);
    SCOPED_TRACE(std::to_string(c.header) + "/" + std::to_string(c.whole) + (c.fixCount ? " fix" : "") +
                 (c.dryRun ? " dry" : ""));
    EXPECT_EQ(plan.fix, c.fix);
    EXPECT_EQ(plan.write, c.write);
    EXPECT_EQ(plan.scrub, c.scrub);
    EXPECT_EQ(plan.records, c.records);
    EXPECT_EQ(plan.pastEnd, c.pastEnd);
  }
}

// Only the count's bytes change, and they are flushed.
TEST(TableHealth, FixRecordCountWritesOnlyTheCountAndFlushesIt) {
  struct Case {
    std::string bytes;
    size_t from, size;  // where the count lies
    std::string count;  // its new bytes
  };
  const std::vector<Case> cases = {
      {Table(0x03, 15, 20, "\x1a"), 4, 4, std::string("\x14\0\0\0", 4)},
      {Table(0x03, 20, 17, std::string(5, 'x')), 4, 4, std::string("\x11\0\0\0", 4)},
      {Table(0x03, 0, 300, "\x1a"), 4, 4, std::string("\x2c\x01\0\0", 4)},
      {Table(0x02, 3, 5, "\x1a"), 1, 2, std::string("\x05\0", 2)},
  };
  for (const Case& c : cases) {
    testkit::TempDir dir;
    const std::string path = dir.Write("t.dbf", c.bytes);
    testkit::RecordingPlatform platform;
    dbfclean::TableExtent e;
    ASSERT_TRUE(dbfclean::MeasureTable(platform, path, &e));
    const int flushes = platform.calls[testkit::RecordingPlatform::Call::Flush];
    EXPECT_EQ(dbfclean::FixRecordCount(platform, path, e), 0);
    EXPECT_EQ(platform.calls[testkit::RecordingPlatform::Call::Flush], flushes + 1);
    std::string expected = c.bytes;
    expected.replace(c.from, c.size, c.count);
    EXPECT_EQ(testkit::ReadFile(path), expected);
    ASSERT_TRUE(dbfclean::MeasureTable(platform, path, &e));
    EXPECT_FALSE(e.Disagrees());
  }
  // A write that fails gives its error number.
  testkit::TempDir dir;
  const std::string path = dir.Write("t.dbf", Table(0x03, 15, 20, "\x1a"));
  testkit::RecordingPlatform platform;
  dbfclean::TableExtent e;
  ASSERT_TRUE(dbfclean::MeasureTable(platform, path, &e));
  platform.faults.write = 29;
  EXPECT_EQ(dbfclean::FixRecordCount(platform, path, e), 29);
}

TEST(TableHealth, ALostValueIsADateOrNumberSplitByBlanks) {
  struct Case {
    char type;
    std::string bytes;  // NUL as it is before the repair
    bool lost;
  };
  const std::vector<Case> cases = {
      {'D', "193207  ", true},
      {'D',
       std::string("1932\0\0"
                   "14",
                   8),
       true},
      {'D', std::string(8, '\0'), false},
      {'D', "19320714", false},
      {'N', "659 7.67", true},
      {'N',
       std::string("  5\0"
                   "7",
                   5),
       true},
      {'N', std::string("\0\0 12", 5), false},
      {'N', "12   ", false},
      {'F', "1.5 2", true},
      {'F', std::string(5, '\0'), false},
      {'C', "ab  cd", false},
      {'L', " ", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(dbfclean::LostValue(c.type, reinterpret_cast<const uint8_t*>(c.bytes.data()), c.bytes.size()), c.lost)
        << c.type << " \"" << c.bytes << "\"";
  }
}

TEST(TableHealth, NotesNameFieldsAndAFewRecordsEach) {
  dbfclean::TableNotes notes;
  EXPECT_EQ(notes.Text("t.dbf"), "");
  for (int32_t r : {3, 7, 12, 14, 20, 21, 30}) notes.LostField(2, "BORN", 'D', r);
  notes.LostField(1, "QTY", 'N', 5);
  notes.OddFlag(2);
  notes.OddFlag(4);
  EXPECT_EQ(notes.Text("t.dbf"),
            "t.dbf: not whole after the repair: QTY (number) in record 5; BORN (date) in records 3, 7, 12 and 4 "
            "more; the deletion flag (neither blank nor '*') in records 2 and 4");
  notes.SpellFields({"", "Qty"});
  EXPECT_EQ(notes.Text("t.dbf").substr(0, 60), "t.dbf: not whole after the repair: Qty (number) in record 5;");
  notes.Clear();
  for (int32_t r : {1, 2, 3}) notes.OddFlag(r);
  EXPECT_EQ(notes.Text("t.dbf"),
            "t.dbf: not whole after the repair: the deletion flag (neither blank nor '*') in records 1, 2 and 3");
}

// The walk reports the flags and lost values it passes, through the read
// window and record by record alike, and walks the count it is given.
TEST(TableHealth, TheScrubSeesFlagsAndLostValuesAndTakesTheCountGiven) {
  testkit::DbfLayout layout;
  layout.fields = {{"BORN", 'D', 8}, {"QTY", 'N', 5, 1}, {"NAME", 'C', 3}};
  layout.records = {std::string(" 1932\0\0"
                                "14 12.5abc",
                                17),
                    std::string("\0"
                                "19320714  5\0"
                                "7x\0y",
                                17),
                    " 19991231  1.0abc", std::string("*        \0\0\0\0\0\0\0\0", 17)};
  layout.recordCount = 2;  // records 3 and 4 hidden
  const std::string bytes = testkit::BuildDbf(layout);
  for (const bool hideDeleted : {false, true}) {  // the window; record by record
    for (const int64_t records : {int64_t{-1}, int64_t{4}}) {
      testkit::TempDir dir;
      const std::string path = dir.Write("t.dbf", bytes);
      kestrel::Engine engine;
      engine.HideDeleted = hideDeleted;
      dbfclean::Counters counters;
      dbfclean::ScrubOptions options;
      options.dryRun = true;
      options.records = records;
      std::vector<std::string> seen;
      std::vector<int32_t> flags;
      options.repaired = [&](const dbfclean::FieldRepair& r) {
        seen.push_back(std::to_string(r.record) + r.name + r.type + (r.lost ? " lost" : ""));
      };
      options.oddFlag = [&](int32_t r) { flags.push_back(r); };
      dbfclean::ScrubTable(engine, path, counters, options);
      std::vector<std::string> expected = {"1BORND lost", "2QTYN lost", "2NAMEC"};
      if (records == 4 && !hideDeleted) expected.insert(expected.end(), {"4QTYN", "4NAMEC"});
      EXPECT_EQ(seen, expected) << hideDeleted << " " << records;
      EXPECT_EQ(flags, std::vector<int32_t>{2});
      EXPECT_EQ(testkit::ReadFile(path), bytes);
    }
  }
}

// Every flag byte that is neither blank nor '*' is told, among runs of
// clean ones and in the records after the last eight.
TEST(TableHealth, TheScrubTellsEveryOddDeletionFlag) {
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 3}};
  // Eight clean, eight with only the two bytes that agree with blank and
  // '*' in all but bits 1 and 3, eight clean, then others and a short tail.
  const std::string flags =
      std::string("  *  * *") + "*\" * (**" + std::string(8, '*') + std::string("\0\nX+\x0a*\xaa ", 8) + "* \x0b";
  for (const char f : flags) layout.records.push_back(std::string(1, f) + "abc");
  std::vector<int32_t> expected;
  for (size_t i = 0; i < flags.size(); ++i) {
    if (flags[i] != ' ' && flags[i] != '*') expected.push_back(static_cast<int32_t>(i + 1));
  }
  testkit::TempDir dir;
  const std::string path = dir.Write("t.dbf", testkit::BuildDbf(layout));
  kestrel::Engine engine;
  dbfclean::Counters counters;
  dbfclean::ScrubOptions options;
  options.dryRun = true;
  std::vector<int32_t> told;
  options.oddFlag = [&](int32_t r) { told.push_back(r); };
  dbfclean::ScrubTable(engine, path, counters, options);
  EXPECT_EQ(told, expected);
}

}  // namespace
