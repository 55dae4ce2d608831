// The zero-byte scrub of one table: what it changes on disk, what it counts,
// what it never writes, and that it leaves the engine's work areas as it found
// them on every way out.
#include <gtest/gtest.h>

#include <stdexcept>

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
  testkit::DbfSpec layout;
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
  EXPECT_EQ(platform.writes, 1 + 5);  // one write per field that held a NUL
  EXPECT_TRUE(platform.halts.empty());
}

// Fields are addressed by the number FieldNo gives for their name: a repeated
// name reaches only its first field, and a name FieldNo cannot find (a stored
// trailing blank) gives 0, which is the deletion flag.
TEST(ScrubTable, AddressesFieldsThroughTheirNames) {
  testkit::TempDir dir;
  testkit::DbfSpec layout;
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
  std::string after = before;
  const size_t rec1 = 32 + 3 * 32 + 1;
  after[rec1] = ' ';      // record 1's deletion flag, in place of field B
  after[rec1 + 2] = ' ';  // the first A; the second A and B keep their NULs
  EXPECT_EQ(testkit::ReadFile(path), after);
  EXPECT_EQ(counters.ZeroesFixed, 2);
  EXPECT_EQ(counters.RecordsFixed, 1);
  // The dry run counts what the real one fixes.
  EXPECT_EQ(dry.ZeroesFixed, counters.ZeroesFixed);
  EXPECT_EQ(dry.RecordsFixed, counters.RecordsFixed);
}

TEST(ScrubTable, RestoresTheWorkAreaOnEveryWayOut) {
  testkit::TempDir dir;
  testkit::DbfSpec layout;
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
  options.progress = [](int32_t done, int32_t) {
    if (done == 1) throw std::runtime_error("stop");
  };
  EXPECT_THROW(dbfclean::ScrubTable(engine, full, counters, options), std::runtime_error);
  EXPECT_EQ(counters.ZeroesFixed, 2);
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

}  // namespace
