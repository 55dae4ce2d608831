// Work areas: Select and its refusals, the "no table here" report every table
// operation makes with its own tag, the accessors of the current area, the
// alias rule between areas and closing all areas.
#include <gtest/gtest.h>

#include <functional>

#include "table_fixture.h"

namespace {

TEST(Select, TakesTheLowestFreeCallerAreaAndRefusesTheRest) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", testkit::Layout({{"X", 'C', 1}}, {" 1"}));
  e.Select(0);
  e.USE(path);
  e.Select(2);
  e.USE(path + " ALIAS b");
  e.Select(7);  // empty, but area 3 is lower
  e.Select(0);
  EXPECT_EQ(e.CurrentArea(), 3);
  e.Select(33);
  for (int n : {34, 255}) {
    e.Select(static_cast<uint8_t>(n));
    EXPECT_EQ(f.Err(), "220 Invalid workarea selected = [Select(" + std::to_string(n) + ")]");
    EXPECT_EQ(e.CurrentArea(), 33);
  }
  for (int a = 3; a <= 33; ++a) {
    e.Select(static_cast<uint8_t>(a));
    e.USE(path + " ALIAS A" + std::to_string(a));
  }
  e.Select(5);
  e.Select(0);
  EXPECT_EQ(f.Err(), "220 No free workarea available [Select(0)]");
  EXPECT_EQ(e.CurrentArea(), 5);
  e.CloseAllAreas();
  EXPECT_TRUE(e.ErrorCode == 0 && e.CurrentArea() == 1);
  for (int a = 1; a <= 33; ++a) EXPECT_EQ(e.Area(static_cast<uint8_t>(a)), nullptr) << a;
}

TEST(NoDatabaseInUse, EveryOperationNamesItselfAndGivesItsEmptyResult) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.Select(5);
  auto yes = [](bool b) { return std::string(b ? "true" : "false"); };
  const std::vector<std::tuple<std::string, std::function<std::string()>, std::string>> cases = {
      {"GoTop", [&] { return e.GoTop(), std::string(); }, ""},
      {"SKIP()", [&] { return e.SKIP(1), std::string(); }, ""},
      {"dEOF", [&] { return yes(e.dEOF()); }, "true"},
      {"dBOF", [&] { return yes(e.dBOF()); }, "true"},
      {"RecNo", [&] { return std::to_string(e.RecNo()); }, "0"},
      {"IsLocked", [&] { return yes(e.IsLocked(1)); }, "false"},
      {"UnlockRec", [&] { return yes(e.UnlockRec(1)); }, "true"},
      {"Unlock", [&] { return e.Unlock(), std::string(); }, ""},
      {"ClearRecord", [&] { return e.ClearRecord(), std::string(); }, ""},
      {"Field()", [&] { return e.Field(1); }, ""},
      {"FieldNo()", [&] { return std::to_string(e.FieldNo("X")); }, "0"},
      {"FieldCount()", [&] { return std::to_string(e.FieldCount()); }, "0"},
      {"Peek", [&] { return e.Peek(1, 1); }, ""},
      {"Poke", [&] { return e.Poke("x", 1, 1), std::string(); }, ""},
  };
  for (const auto& [tag, run, result] : cases) {
    e.ErrorCode = 0;
    EXPECT_EQ(run(), result) << tag;
    EXPECT_EQ(f.Err(), "215 No database in use [" + tag + "]  WorkArea = 5");
  }
  e.ErrorCode = 0;
  EXPECT_EQ(e.CurrentAlias() + e.CurrentDbfName(), "");
  EXPECT_EQ(e.ErrorCode, 0);
  // With the engine's own reporting, the first of them ends the program.
  e.AutoReport = true;
  EXPECT_EQ(testkit::RunUntilExit([&] { e.RecNo(); }), 215);
  ASSERT_EQ(f.platform.halts.size(), 1u);
  EXPECT_EQ(f.platform.halts[0].text, "Error # 215 (No database in use)\r\nNo database in use [RecNo]  WorkArea = 5");
}

TEST(Alias, TwoAreasMayHoldTablesOfOneNameOnlyUnderDifferentAliases) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.USE(f.Make("data/cust", testkit::Layout({{"X", 'C', 1}}, {" 1"})));
  const std::string other = f.Make("other/cust", testkit::Layout({{"X", 'C', 1}}, {" 2"}));
  e.Select(2);
  e.USE(other);
  EXPECT_EQ(f.Err(), "220 Alias name \"CUST\" already in use. [USE]");
  EXPECT_EQ(e.Area(2), nullptr);
  e.USE(other + " ALIAS cust2");
  EXPECT_EQ(e.CurrentAlias() + " " + e.CurrentDbfName(), "CUST2 " + testkit::EngineName(other));
}

}  // namespace
