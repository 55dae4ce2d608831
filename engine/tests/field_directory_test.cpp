// The field directory: field names by number, numbers by name with the
// name's normalisation, and the refusal of numbers that name no field.
#include <gtest/gtest.h>

#include "table_fixture.h"

namespace {

TEST(FieldDirectory, NamesAndNumbersOfFields) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.USE(f.Make(
      "t", testkit::Spec({{"custno", 'C', 4}, {"NAME", 'C', 4}, {"CUSTNO", 'C', 4}, {"ABCDEFGHIJ", 'C', 4}}, {" 1"})));
  EXPECT_EQ(e.FieldCount(), 4);
  EXPECT_EQ(e.Field(1), "CUSTNO");
  EXPECT_EQ(e.Field(4), "ABCDEFGHIJ");
  for (const char* name : {"custno", "CUSTNO", "CUSTNO  ", "CuStNo\t"}) EXPECT_EQ(e.FieldNo(name), 1) << name;
  EXPECT_EQ(e.FieldNo("name"), 2);
  EXPECT_EQ(e.FieldNo("abcdefghijKL"), 4);
  EXPECT_EQ(e.FieldNo("  CUSTNO"), 0);
  EXPECT_EQ(e.FieldNo("NAMES"), 0);
  EXPECT_EQ(e.FieldNo(""), 0);
  EXPECT_EQ(e.ErrorCode, 0);

  for (int n : {0, 5}) {
    std::string name = "stale";
    e.Field(static_cast<uint8_t>(n), name);
    EXPECT_EQ(name, "");
    EXPECT_EQ(e.ErrorCode, 220);
    EXPECT_EQ(e.ErrorText, "Invalid field number. [Field(" + std::to_string(n) + ")]");
  }
}

TEST(FieldDirectory, TableOfTheMostFields) {
  testkit::TableFixture f;
  testkit::DbfSpec spec;
  for (int k = 1; k <= 255; ++k) spec.fields.push_back({"F" + std::to_string(k), 'C', 1, 0});
  spec.records = {std::string(256, 'x')};
  f.engine.USE(f.Make("wide", spec));
  ASSERT_EQ(f.engine.ErrorCode, 0);
  EXPECT_EQ(f.engine.FieldCount(), 255);
  EXPECT_EQ(f.engine.Field(255), "F255");
  EXPECT_EQ(f.engine.FieldNo("f255"), 255);
  EXPECT_EQ(f.engine.Peek(255, 1), "x");
}

}  // namespace
