// The field directory: field names by number, numbers by name with the
// name's normalisation, and the refusal of numbers that name no field.
#include <gtest/gtest.h>

#include "table_fixture.h"

namespace {

TEST(FieldDirectory, NamesAndNumbersOfFields) {
  testkit::TableFixture f;
  auto& e = f.engine;
  e.USE(f.Make("t", testkit::Layout({{"custno", 'C', 4}, {"NAME", 'C', 4}, {"CUSTNO", 'C', 4}, {"ABCDEFGHIJ", 'C', 4}},
                                    {" 1"})));
  EXPECT_EQ(std::to_string(e.FieldCount()) + " " + e.Field(1) + " " + e.Field(4), "4 CUSTNO ABCDEFGHIJ");
  // Trailing blanks and control characters go, leading ones stay; case does
  // not matter; 10 characters count; the first of equal names wins.
  for (auto [name, number] : {std::pair{"custno", 1},
                              {"CUSTNO  ", 1},
                              {"CuStNo\t", 1},
                              {"name", 2},
                              {"abcdefghijKL", 4},
                              {"  CUSTNO", 0},
                              {"NAMES", 0},
                              {"", 0}}) {
    EXPECT_EQ(e.FieldNo(name), number) << name;
  }
  EXPECT_EQ(e.ErrorCode, 0);
  for (int n : {0, 5}) {
    std::string name = "stale";
    e.Field(static_cast<uint8_t>(n), name);
    EXPECT_EQ(name + f.Err(), "220 Invalid field number. [Field(" + std::to_string(n) + ")]");
  }
}

TEST(FieldDirectory, TableOfTheMostFields) {
  testkit::TableFixture f;
  testkit::DbfLayout layout;
  for (int k = 1; k <= 255; ++k) layout.fields.push_back({"F" + std::to_string(k), 'C', 1, 0});
  layout.records = {std::string(256, 'x')};
  f.engine.USE(f.Make("wide", layout));
  EXPECT_EQ(std::to_string(f.engine.FieldCount()) + " " + f.engine.Field(255), "255 F255");
  EXPECT_EQ(f.engine.FieldNo("f255"), 255);
}

}  // namespace
