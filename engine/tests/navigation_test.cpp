// Navigation: GoTop, SKIP in both directions with the end and beginning
// positions, re-reading, empty tables, hidden deleted records, and shared
// tables that grow and shrink while they are open.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "table_fixture.h"

namespace {

// A table of `n` records "R1", "R2", ...; `deleted` lists the deleted ones.
testkit::DbfSpec Numbered(int n, std::vector<int> deleted = {}) {
  auto spec = testkit::Spec({{"ID", 'C', 3}});
  for (int k = 1; k <= n; ++k) {
    bool del = std::find(deleted.begin(), deleted.end(), k) != deleted.end();
    spec.records.push_back(testkit::Record(spec, {"R" + std::to_string(k)}, del));
  }
  return spec;
}

TEST(Skip, WalksThreeRecordsToTheEndAndBack) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(3, {2}));
  e.USE(path);
  EXPECT_EQ(e.RecNo(), 1);
  EXPECT_FALSE(e.dBOF());
  e.SKIP(1);
  EXPECT_EQ(f.Raw(), "*R2 ");  // deleted records are visited like any other
  EXPECT_EQ(f.App(0, 1), "\x01");
  e.SKIP(1);
  EXPECT_EQ(e.RecNo(), 3);
  EXPECT_FALSE(e.dEOF());
  e.SKIP(1);
  EXPECT_EQ(e.RecNo(), 4);
  EXPECT_TRUE(e.dEOF());
  EXPECT_FALSE(e.dBOF());
  EXPECT_EQ(f.Raw(), "    ");
  EXPECT_EQ(f.App(0, 5), std::string("\0\x03   ", 5));
  e.SKIP(1);
  EXPECT_EQ(e.ErrorCode, 212);
  EXPECT_EQ(e.ErrorText, "Database \"" + testkit::EngineName(path) + "\" is past EOF. [SKIP]");
  EXPECT_EQ(e.RecNo(), 4);
  e.SKIP(0);  // at the end only blanks the record
  EXPECT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(e.RecNo(), 4);
  e.SKIP(-1);
  EXPECT_EQ(e.RecNo(), 3);
  EXPECT_FALSE(e.dEOF());
  EXPECT_EQ(f.Raw(), " R3 ");
}

TEST(Skip, StopsAtBothEndsOfTenRecordsAndRereadsFromTheFile) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(10));
  e.USE(path);
  e.SKIP(1);
  e.SKIP(-5);
  EXPECT_EQ(e.RecNo(), 1);
  EXPECT_TRUE(e.dBOF());
  EXPECT_EQ(f.Raw(), " R1 ");
  e.SKIP(-1);
  EXPECT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(e.RecNo(), 1);
  e.SKIP(7);
  EXPECT_EQ(e.RecNo(), 8);
  EXPECT_FALSE(e.dBOF());
  e.SKIP(5);
  EXPECT_EQ(e.RecNo(), 11);
  EXPECT_TRUE(e.dEOF());

  // SKIP(0) reads record 5 again, as another program left it.
  e.GoTop();
  e.SKIP(4);
  {
    std::fstream file(path + ".dbf", std::ios::in | std::ios::out | std::ios::binary);
    file.seekp(f.Table().RecordPosition(5) + 1);
    file.write("NEW", 3);
  }
  EXPECT_EQ(f.Raw(), " R5 ");
  e.SKIP(0);
  EXPECT_EQ(e.RecNo(), 5);
  EXPECT_EQ(f.Raw(), " NEW");
}

TEST(Skip, EmptyTableReportsPastEndForwardAndEmptyBackward) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(0));
  e.USE(path);
  e.GoTop();
  EXPECT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(e.RecNo(), 0);
  e.SKIP(1);
  EXPECT_EQ(e.ErrorCode, 212);
  EXPECT_EQ(e.ErrorText, "Database \"" + testkit::EngineName(path) + "\" is past EOF. [SKIP]");
  e.SKIP(-1);
  EXPECT_EQ(e.ErrorCode, 212);
  EXPECT_EQ(e.ErrorText, "Database \"" + testkit::EngineName(path) + "\" is empty. [SKIP]");
  EXPECT_TRUE(e.dEOF() && e.dBOF());
}

TEST(Skip, HideDeletedPassesOverDeletedRecords) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.HideDeleted = true;
  e.USE(f.Make("t", Numbered(4, {1, 3, 4})));
  EXPECT_EQ(e.RecNo(), 2);
  e.SKIP(1);
  EXPECT_EQ(e.RecNo(), 5);
  EXPECT_TRUE(e.dEOF());
  e.SKIP(-1);
  EXPECT_EQ(e.RecNo(), 2);
  EXPECT_FALSE(e.dBOF());
  e.SKIP(-1);
  EXPECT_EQ(e.RecNo(), 2);
  EXPECT_TRUE(e.dBOF());

  // Nothing to show at all: GoTop takes the end position with both flags.
  e.USE(f.Make("gone", Numbered(2, {1, 2})));
  EXPECT_EQ(e.RecNo(), 3);
  EXPECT_TRUE(e.dEOF() && e.dBOF());
  EXPECT_EQ(f.Raw(), "    ");
}

TEST(Skip, SharedTableSeesRecordsAppendedAndRemovedByOthers) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Numbered(3));
  const std::string file = path + ".dbf";
  auto append = [&](const std::string& record) {
    std::fstream out(file, std::ios::in | std::ios::out | std::ios::binary);
    out.seekp(-1, std::ios::end);  // over the end-of-file marker
    out.write(record.data(), static_cast<std::streamsize>(record.size()));
    out.put('\x1A');
  };
  e.USE(path);
  e.SKIP(2);
  append(" R4 ");
  EXPECT_FALSE(e.dEOF());
  EXPECT_EQ(e.RecCount(), 4);
  e.SKIP(1);
  EXPECT_EQ(e.RecNo(), 4);
  EXPECT_EQ(f.Raw(), " R4 ");
  e.SKIP(1);
  EXPECT_TRUE(e.dEOF());
  append(" R5 ");
  EXPECT_TRUE(e.dEOF());  // the flag stays once set
  EXPECT_EQ(e.RecCount(), 5);
  e.SKIP(-1);
  EXPECT_EQ(e.RecNo(), 4);
  EXPECT_FALSE(e.dEOF());
  std::filesystem::resize_file(file, f.Table().RecordPosition(3));
  EXPECT_TRUE(e.dEOF());
}

}  // namespace
