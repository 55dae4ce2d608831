// Record locking: the lock regions in the file, the bookkeeping of locked
// records and its releases, the write permission of Poke, and sharing and
// record locks between two processes.
#include <gtest/gtest.h>

#include "child_process.h"
#include "table_fixture.h"

namespace {

using kestrel::Engine;

// A 161-byte header (four fields) and 30-byte records.
testkit::DbfLayout Orders() {
  auto layout = testkit::Layout({{"NAME", 'C', 12}, {"AMOUNT", 'N', 8, 2}, {"DUE", 'D', 8}, {"PAID", 'L', 1}});
  for (const char* name : {"a", "b", "c", "d", "e"}) layout.records.push_back(testkit::Record(layout, {name}));
  return layout;
}

TEST(Locking, RegionsLieAboveTheLockBase) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Orders());
  e.USE(path);
  EXPECT_EQ(e.RecordLockOffset(f.Table(), 3), 1073742045u);
  // Another opener of the file meets exactly the bytes each lock covers.
  std::unique_ptr<kestrel::File> other;
  ASSERT_EQ(kestrel::Platform::Default().OpenFile(path + ".dbf", 66, &other), 0);
  auto taken = [&](std::initializer_list<uint32_t> offsets) {
    std::string map;
    for (uint32_t at : offsets) {
      const bool free = other->LockRegion(at, 1) == 0;
      if (free) other->UnlockRegion(at, 1);
      map += free ? '-' : 'X';
    }
    return map;
  };
  ASSERT_TRUE(e.LockRec(3));
  EXPECT_EQ(taken({1073742044, 1073742045, 1073742045 + 29, 1073742045 + 30}), "-XX-");
  e.Unlock();
  EXPECT_EQ(taken({1073742045}), "-");
  ASSERT_TRUE(e.LockTable());
  EXPECT_TRUE(e.IsLocked(999));
  EXPECT_EQ(taken({Engine::LockBase, Engine::LockBase + 1, Engine::LockBase + Engine::WholeTableLockLength}), "-XX");
  e.Poke("T", 1, 2);  // the whole table is held
  EXPECT_EQ(e.ErrorCode, 0);
  e.Unlock();
  ASSERT_TRUE(e.LockHeader());
  EXPECT_EQ(taken({Engine::LockBase + 1, Engine::LockBase + 2}), "X-");
  e.Poke("H", 1, 2);  // a header lock allows no record writes
  EXPECT_EQ(e.ErrorCode, 1200);
  e.Unlock();
  EXPECT_EQ(taken({Engine::LockBase + 1}) + e.Peek(1, 2), "-T           ");
}

TEST(Locking, UnlockRecKeepsTheListAndRecordsItsFailuresQuietly) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.USE(f.Make("t", Orders()));
  e.AutoReport = true;
  EXPECT_FALSE(e.IsLocked(1));
  for (auto [n, text] : {std::pair{5, "Record not locked. [UnlockRec(5)]"},
                         {-1, "Record not locked. [UnlockRec(-1)]"},
                         {-2, "Record not locked. [UnlockRec(-2)]"},
                         {0, "[UnlockRec(0)]"},
                         {-4, "[UnlockRec(-4)]"}}) {
    EXPECT_FALSE(e.UnlockRec(n)) << n;
    EXPECT_EQ(f.Err(), std::string("220 ") + text);
  }
  EXPECT_TRUE(e.UnlockRec(-3));
  EXPECT_EQ(e.ErrorCode, 0);
  e.ErrorCode = 9;
  e.Unlock();
  EXPECT_EQ(e.ErrorCode, 0);
  EXPECT_TRUE(f.platform.halts.empty());

  auto& t = f.Table();
  auto list = [&] {
    std::string s = std::to_string(t.LockState) + "/" + std::to_string(t.LockCount) + ":";
    for (int32_t n : t.LockList) s += " " + std::to_string(n);
    return s;
  };
  for (int n : {2, 5, 7, 5}) EXPECT_TRUE(e.LockRec(n));
  EXPECT_EQ(list(), "3/3: 2 5 7");
  EXPECT_TRUE(e.IsLocked(5) && !e.IsLocked(4));
  EXPECT_TRUE(e.UnlockRec(-1));
  EXPECT_EQ(list(), "3/2: 2 5");
  EXPECT_TRUE(e.UnlockRec(-2) && e.UnlockRec(5));
  EXPECT_EQ(list(), "0/0:");
  for (int n : {1, 3}) e.LockRec(n);
  EXPECT_TRUE(e.UnlockRec(-3));
  EXPECT_EQ(list() + std::to_string(e.ErrorCode), "0/0:0");
}

TEST(Locking, PokeWritesSharedTablesOnlyUnderALock) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Orders());
  const std::string before = testkit::ReadFile(path + ".dbf");
  e.USE(path);
  e.Poke("XY", 1, 2);
  EXPECT_EQ(f.Err(), "1200 Record not locked [Poke(XY,1,2)]");
  EXPECT_EQ(testkit::ReadFile(path + ".dbf"), before);
  e.LockRec(2);
  e.Poke("XY", 1, 2);
  EXPECT_EQ(e.ErrorCode, 0);
  e.Poke("XY", 1, 3);
  EXPECT_EQ(e.ErrorCode, 1200);
  e.USE(path + " EXCLUSIVE");
  e.Poke("XY", 1, 3);
  EXPECT_EQ(e.Peek(1, 2) + e.Peek(1, 3), "XY          XY          ");
}

TEST(LockingBetweenProcesses, SharingAndRecordLocksHold) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Orders());
  testkit::ChildProcess peer(KESTREL_PEER, {"serve"});
  ASSERT_EQ(peer.ReadLine(), "ready");
  ASSERT_EQ(peer.Ask("USE " + path), "0");
  e.USE(path + " EXCLUSIVE");
  EXPECT_EQ(f.Err(), "32 Failure to open " + testkit::EngineName(path) + " [USE/OpenDbf]");
  e.USE(path);  // two shared opens live side by side
  ASSERT_EQ(e.ErrorCode, 0);
  ASSERT_EQ(peer.Ask("LOCKREC 2"), "0");
  EXPECT_FALSE(e.LockRec(2));
  EXPECT_EQ(e.ErrorCode, 33);
  EXPECT_TRUE(e.LockRec(3));
  EXPECT_EQ(peer.Ask("LOCKREC 3"), "33");
  ASSERT_EQ(peer.Ask("CLOSE"), "0");
  EXPECT_TRUE(e.LockRec(2));
  e.USE(path + " EXCLUSIVE");
  ASSERT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(peer.Ask("USE " + path), "32");
}

}  // namespace
