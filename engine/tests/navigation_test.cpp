// Navigation: GoTop, SKIP in both directions with the end and beginning
// positions, re-reading, empty tables, hidden deleted records, and shared
// tables that grow and shrink while they are open.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "table_fixture.h"

namespace {

// A table of `n` records "R1", "R2", ...; `deleted` lists the deleted ones.
testkit::DbfLayout Numbered(int n, std::vector<int> deleted = {}) {
  auto layout = testkit::Layout({{"ID", 'C', 3}});
  for (int k = 1; k <= n; ++k) {
    bool del = std::find(deleted.begin(), deleted.end(), k) != deleted.end();
    layout.records.push_back(testkit::Record(layout, {"R" + std::to_string(k)}, del));
  }
  return layout;
}

// Overwrites bytes of a table file the way another program would.
void Patch(const std::string& file, std::streamoff at, const std::string& bytes) {
  std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
  out.seekp(at, at < 0 ? std::ios::end : std::ios::beg);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

TEST(Skip, WalksThreeRecordsToTheEndAndBack) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(3, {2}));
  e.USE(path);
  EXPECT_EQ(f.Pos(), "1");
  e.SKIP(1);
  EXPECT_EQ(f.Raw() + f.App(0, 1), "*R2 \x01");  // deleted records are visited too
  e.SKIP(1);
  EXPECT_EQ(f.Pos(), "3");
  e.SKIP(1);
  EXPECT_EQ(f.Pos(), "4 eof");
  EXPECT_EQ(f.Raw() + f.App(0, 5), std::string("    \0\x03   ", 9));
  e.SKIP(1);
  EXPECT_EQ(f.Err(), "212 Database \"" + testkit::EngineName(path) + "\" is past EOF. [SKIP]");
  e.SKIP(0);  // at the end only blanks the record
  EXPECT_EQ(e.ErrorCode, 0);
  e.SKIP(-1);
  EXPECT_EQ(f.Pos() + f.Raw(), "3 R3 ");
}

TEST(Skip, StopsAtBothEndsOfTenRecordsAndRereadsFromTheFile) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(10));
  e.USE(path);
  e.SKIP(1);
  e.SKIP(-5);
  EXPECT_EQ(f.Pos() + f.Raw(), "1 bof R1 ");
  e.SKIP(-1);
  EXPECT_EQ(f.Pos() + f.Err(), "1 bof0 ");
  e.SKIP(7);
  EXPECT_EQ(f.Pos(), "8");
  e.SKIP(5);
  EXPECT_EQ(f.Pos(), "11 eof");
  e.GoTop();
  e.SKIP(4);
  Patch(path + ".dbf", static_cast<std::streamoff>(f.Table().RecordPosition(5)) + 1, "NEW");
  EXPECT_EQ(f.Raw(), " R5 ");
  e.SKIP(0);
  EXPECT_EQ(f.Pos() + f.Raw(), "5 NEW");
}

TEST(Skip, EmptyTableReportsPastEndForwardAndEmptyBackward) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(0));
  e.USE(path);
  e.GoTop();
  EXPECT_EQ(f.Pos() + f.Err(), "0 eof bof0 ");
  e.SKIP(1);
  EXPECT_EQ(f.Err(), "212 Database \"" + testkit::EngineName(path) + "\" is past EOF. [SKIP]");
  e.SKIP(-1);
  EXPECT_EQ(f.Err(), "212 Database \"" + testkit::EngineName(path) + "\" is empty. [SKIP]");
}

TEST(Skip, HideDeletedPassesOverDeletedRecords) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.HideDeleted = true;
  e.USE(f.Make("t", Numbered(4, {1, 3, 4})));
  EXPECT_EQ(f.Pos(), "2");
  e.SKIP(1);
  EXPECT_EQ(f.Pos(), "5 eof");
  e.SKIP(-1);
  EXPECT_EQ(f.Pos(), "2");
  e.SKIP(-1);
  EXPECT_EQ(f.Pos(), "2 bof");
  // Nothing to show at all: GoTop takes the end position with both flags.
  e.USE(f.Make("gone", Numbered(2, {1, 2})));
  EXPECT_EQ(f.Pos() + f.Raw(), "3 eof bof    ");
}

TEST(Skip, SharedTableSeesRecordsAppendedAndRemovedByOthers) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(3)), file = path + ".dbf";
  e.USE(path);
  e.SKIP(2);
  Patch(file, -1, " R4 \x1A");  // over the end-of-file marker
  EXPECT_EQ(f.Pos() + " of " + std::to_string(e.RecCount()), "3 of 4");
  e.SKIP(1);
  EXPECT_EQ(f.Pos() + f.Raw(), "4 R4 ");
  e.SKIP(1);
  Patch(file, -1, " R5 \x1A");
  EXPECT_EQ(f.Pos() + " of " + std::to_string(e.RecCount()), "5 eof of 5");  // the flag stays set
  e.SKIP(-1);
  EXPECT_EQ(f.Pos(), "4");
  std::error_code ec;
  std::filesystem::resize_file(file, f.Table().RecordPosition(3), ec);
  if (ec) GTEST_SKIP() << "this file system cannot shrink an open file: " << ec.message();
  EXPECT_EQ(f.Pos(), "4 eof");
}

}  // namespace
