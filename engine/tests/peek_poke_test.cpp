// Peek and Poke: raw field bytes of any record straight in the file, the
// deletion flag as field 0, what lies outside the table, and the failures.
#include <gtest/gtest.h>

#include <fstream>

#include "table_fixture.h"

namespace {

testkit::DbfLayout People() {
  auto layout = testkit::Layout({{"NAME", 'C', 10}, {"CITY", 'C', 5}});
  layout.records = {testkit::Record(layout, {"Ann", "Oslo"}), testkit::Record(layout, {"Bob", "Rome"}, true),
                    testkit::Record(layout, {"Carol", "Nice"})};
  return layout;
}

TEST(Peek, ReadsFieldBytesAsTheFileHoldsThem) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", People());
  e.USE(path);
  e.AutoReport = true;
  EXPECT_EQ(e.Peek(0, 1) + e.Peek(0, 2) + e.Peek(1, 3) + e.Peek(2, 3), " *Carol     Nice ");
  // Outside the table: empty, and nothing reported.
  EXPECT_EQ(e.Peek(1, 0) + e.Peek(1, 4) + e.Peek(1, -1) + e.Peek(3, 1), "");
  EXPECT_TRUE(f.platform.halts.empty());
  // A shared table is read from the file each time.
  std::fstream(path + ".dbf", std::ios::in | std::ios::out | std::ios::binary)
      .seekp(static_cast<std::streamoff>(f.Table().RecordPosition(3)) + 1)
      .write("Karl", 4);
  EXPECT_EQ(e.Peek(1, 3), "Karll     ");
}

TEST(Poke, WritesInPlaceAndTheRecordBufferFollowsOnlyWhenReadAgain) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", People());
  std::string expected = testkit::ReadFile(path + ".dbf");
  const size_t rec1 = 32 + 2 * 32 + 1, rec2 = rec1 + 16;
  e.USE(path + " EXCLUSIVE");     // read through the window, which must follow the writes
  e.Poke("AB", 1, 2);             // short: the rest of the field stays
  e.Poke("0123456789XYZ", 1, 3);  // long: only the field's length
  expected.replace(rec2 + 1, 2, "AB").replace(rec2 + 16 + 1, 10, "0123456789");
  EXPECT_EQ(e.Peek(1, 2) + e.Peek(2, 3), "ABb       Nice ");
  e.Poke("*", 0, 1);
  e.Poke("Zed", 1, 1);
  expected.replace(rec1, 4, "*Zed");
  EXPECT_EQ(e.Peek(0, 1) + e.Peek(1, 1), "*Zed       ");
  EXPECT_EQ(f.Raw().substr(0, 4) + f.App(0, 1), std::string(" Ann\0", 5));
  e.SKIP(0);
  EXPECT_EQ(f.Raw().substr(0, 4) + f.App(0, 1), "*Zed\x01");
  // Nothing to write: empty data for the flag, and places outside the table.
  const int writes = f.platform.writes;
  e.Poke("", 0, 3);
  for (auto [field, record] : {std::pair{1, 0}, {1, 4}, {3, 1}}) e.Poke("!", static_cast<uint8_t>(field), record);
  EXPECT_EQ(f.platform.writes, writes);
  e.USE("");
  EXPECT_EQ(testkit::ReadFile(path + ".dbf"), expected);
}

TEST(PeekPoke, FailuresAndVirtualTables) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", People());
  e.USE(path + " EXCLUSIVE");
  f.platform.faults.shortWriteBy = 1;
  e.Poke("AB", 1, 2);
  EXPECT_EQ(f.Err(), "101 [Poke(AB,1,2)]");
  f.platform.faults.shortWriteBy.reset();
  // A write whose positioning failed would land elsewhere: nothing is
  // written and the Poke reports it.
  const std::string before = testkit::ReadFile(path + ".dbf");
  f.platform.faults.seek = 25;
  f.platform.faults.seekAfter = f.platform.seeks;
  e.Poke("XY", 2, 3);
  EXPECT_EQ(f.Err(), "25 [Poke(XY,2,3)]");
  // A write the system refuses reports its own error, not a full disk.
  f.platform.faults.seek.reset();
  f.platform.faults.write = 29;
  e.Poke("XY", 2, 3);
  EXPECT_EQ(f.Err(), "29 [Poke(XY,2,3)]");
  f.platform.faults.write.reset();
  EXPECT_EQ(testkit::ReadFile(path + ".dbf"), before);
  EXPECT_EQ(testkit::ReadFile(path + ".dbf"), before);
  f.platform.faults.seek.reset();
  // The context text is cut to 100 characters, the whole text to 142 and 118.
  const std::string data(120, 'd'), context = ("[Poke(" + data).substr(0, 100);
  f.Table().IsVirtual = true;
  EXPECT_EQ(e.Peek(1, 1), "");
  EXPECT_EQ(f.Err(), "1100 Operation cannot be used on virtual files. [Peek]");
  e.Poke(data, 1, 2);
  EXPECT_EQ(f.Err(), "1100 Operation cannot be used on virtual files." + context);
  EXPECT_FALSE(e.IsLocked(1));
  EXPECT_EQ(f.Err(), "1100 [IsLocked]");
  f.Table().IsVirtual = false;
  e.USE(path);
  e.Poke(data, 1, 2);
  EXPECT_EQ(f.Err(), "1200 Record not locked " + context);
  // A failed direct read is the runtime's input/output error.
  f.platform.faults.read = 30;
  f.platform.faults.readAfter = f.platform.reads;
  try {
    e.Peek(1, 2);
    ADD_FAILURE() << "no exception";
  } catch (const kestrel::EInOutError& error) {
    EXPECT_EQ(error.ErrorCode, 30);
  }
}

}  // namespace
