// Record I/O: reading a record with its range checks and failures, the OEM
// to ANSI translation, unpacking into the application record, blanking, and
// headers whose fields do not fit their records.
#include <gtest/gtest.h>

#include "table_fixture.h"

namespace {

testkit::DbfSpec Three(uint32_t claimed = 3) {
  auto spec = testkit::Spec({{"NAME", 'C', 5}}, {" one  ", " two  ", " three"});
  spec.recordCount = claimed;
  return spec;
}

TEST(GetDbfRecord, RefusesNumbersOutOfRangeWithoutTouchingTheFile) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", Three());
  f.engine.USE(path);
  const std::string name = testkit::EngineName(path);
  const int reads = f.platform.reads;
  for (auto [n, shown] : {std::pair{0, "0"}, {4, "4"}, {1234567, "123456"}, {-1234567, "-12345"}}) {
    f.engine.GetDbfRecord(f.Table(), n);
    EXPECT_EQ(f.engine.ErrorCode, 212);
    EXPECT_EQ(f.engine.ErrorText, std::string("Invalid record number = ") + shown + " (" + name + ")  [GetDbfRecord]");
  }
  EXPECT_EQ(f.platform.reads, reads);
  EXPECT_EQ(f.engine.RecNo(), 1);
  EXPECT_EQ(f.Raw(), " one  ");
}

TEST(GetDbfRecord, ShortFilesAndFailingReadsKeepTheLastGoodRecord) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", Three(5));
  const std::string text = "File:  " + testkit::EngineName(path) + "  [GetDbfRecord]";
  // The header claims 5 records, the file ends after 3: through the read
  // window of an exclusive table, and straight from a shared one.
  f.engine.USE(path + " EXCLUSIVE");
  f.engine.SKIP(3);
  EXPECT_EQ(f.engine.ErrorCode, 213);
  EXPECT_EQ(f.engine.ErrorText, text);
  EXPECT_EQ(f.engine.RecNo(), 3);
  f.engine.USE(path);
  f.engine.GetDbfRecord(f.Table(), 4);
  EXPECT_EQ(f.engine.ErrorCode, 213);
  EXPECT_EQ(f.engine.RecNo(), 1);
  EXPECT_EQ(f.Raw(),
            "\x1A"
            "one  ");  // the end-of-file marker arrived

  f.platform.faults.read = 30;
  f.platform.faults.readAfter = f.platform.reads;
  f.engine.GetDbfRecord(f.Table(), 2);
  EXPECT_EQ(f.engine.ErrorCode, 30);
  EXPECT_EQ(f.engine.ErrorText, text);
  EXPECT_FALSE(f.Table().AtEof);
  f.platform.faults.read.reset();
  f.platform.faults.seek = 25;
  f.engine.SKIP(1);
  EXPECT_EQ(f.engine.ErrorCode, 25);
  EXPECT_EQ(f.engine.ErrorText, text);
  EXPECT_TRUE(f.Table().AtEof);
  EXPECT_EQ(f.engine.RecNo(), 1);
  EXPECT_EQ(f.Raw(),
            "\x1A"
            "one  ");
}

TEST(GetDbfRecord, TranslatesRecordTextFromOemToAnsi) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", testkit::Spec({{"NAME", 'C', 5}}, {"*\x81\x82\xC4\xB3z"}));
  f.engine.USE(path);
  EXPECT_EQ(f.Raw(), "*\xFC\xE9-\xA6z");
  EXPECT_EQ(f.App(0, 2), "\x01\x05");
  EXPECT_EQ(f.engine.Peek(1, 1), "\x81\x82\xC4\xB3z");  // the file's own bytes
  f.engine.AnsiData = true;
  f.engine.USE(path);
  EXPECT_EQ(f.Raw(), "*\x81\x82\xC4\xB3z");
}

TEST(UnpackRecord, BuildsTheApplicationRecordAndClearRecordBlanksIt) {
  testkit::TableFixture f;
  auto spec = testkit::Spec(
      {{"NAME", 'C', 4}, {"DUE", 'D', 8}, {"OK", 'L', 1}, {"MEMO", 'M', 10}, {"QTY", 'N', 5}, {"PRICE", 'N', 6, 2}});
  spec.records = {testkit::Record(spec, {"ab", "19970315", "t", "        42", "  -12", "  3.50"}),
                  testkit::Record(spec, {"", "", "", "", "", ""}, true)};
  f.engine.USE(f.Make("t", spec));
  // 1 + 5 + 11 + 1 + 4 + 4 + 6 bytes
  ASSERT_EQ(f.Table().AppRecordSize, 32);
  EXPECT_EQ(f.App(0, 15), std::string("\0\x04"
                                      "ab  \x08"
                                      "03/15/97",
                                      15));
  EXPECT_EQ(f.App(17, 1), "\x01");
  EXPECT_EQ(f.Int32(18), 42);
  EXPECT_EQ(f.Int32(22), -12);
  EXPECT_EQ(f.App(26, 6), std::string("\x82\0\0\0\0\x60", 6));
  for (auto [format, shown] : {std::pair{1, "97.03.15"}, {2, "15/03/97"}, {3, "15-03-97"}, {5, "15.03.97"}}) {
    f.engine.DateFormat = static_cast<uint8_t>(format);
    f.engine.SKIP(0);
    EXPECT_EQ(f.App(7, 8), shown) << format;
  }
  f.engine.DateFormat = 0;
  const std::string blank = std::string("\0\x04    \x08  /  /  ", 15) + std::string(2, '\0') + std::string(15, '\0');
  f.engine.ClearRecord();
  EXPECT_EQ(f.Raw(), std::string(f.Table().RecordLength, ' '));
  EXPECT_EQ(f.App(0, 32), blank);
  EXPECT_EQ(f.engine.RecNo(), 1);
  f.engine.SKIP(1);  // a deleted record of blanks
  EXPECT_EQ(f.App(0, 32), "\x01" + blank.substr(1));
}

TEST(UnpackRecord, FieldsThatDoNotFitGiveDefinedValues) {
  testkit::TableFixture f;
  // Malformed numbers, short and long dates, and a last field that claims
  // 10 bytes where the record has 3 left.
  auto spec = testkit::Spec({{"A", 'N', 4},
                             {"B", 'N', 6, 2},
                             {"C", 'N', 12},
                             {"D", 'D', 4},
                             {"E", 'D', 10},
                             {"F", 'N', 6, 2},
                             {"G", 'C', 10}});
  spec.recordLength = 46;
  const std::string full = testkit::Record(spec, {"12a", "1.2.3", "99999999999", "1997", "1997031599", "1e99", "xyz"});
  const std::string next = testkit::Record(spec, {"7", "", "", "", "", "", "NEXT"});
  spec.records = {full.substr(0, 46), next.substr(0, 46)};
  f.engine.USE(f.Make("t", spec) + " EXCLUSIVE");
  ASSERT_EQ(f.engine.ErrorCode, 0);
  EXPECT_EQ(f.Int32(1), 0);
  EXPECT_EQ(f.App(5, 6), std::string(6, '\0'));
  EXPECT_EQ(f.Int32(11), 0);
  // D(4) has a 7-byte slot: the text keeps to it.
  EXPECT_EQ(f.App(15, 7), "\x06  /  /");
  EXPECT_EQ(f.App(22, 9),
            "\x08"
            "03/15/97");
  EXPECT_EQ(f.App(35, 6), std::string(6, '\0'));
  EXPECT_EQ(f.App(41, 11), "\x0axyz       ");
  EXPECT_EQ(f.engine.Peek(7, 1), "xyz");
  f.engine.Poke("QQQQQQQQQQ", 7, 1);
  f.engine.SKIP(1);
  EXPECT_EQ(f.Int32(1), 7);
  EXPECT_EQ(f.App(41, 11),
            "\x0a"
            "NEX       ");
}

}  // namespace
