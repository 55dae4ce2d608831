// Record I/O: reading a record with its range checks and failures, the OEM
// to ANSI translation, unpacking into the application record, blanking, and
// headers whose fields do not fit their records.
#include <gtest/gtest.h>

#include <array>
#include <cmath>

#include "table_fixture.h"

namespace {

TEST(GetDbfRecord, RangeChecksShortFilesAndFailingReads) {
  testkit::TableFixture f;
  auto layout = testkit::Layout({{"NAME", 'C', 5}}, {" one  ", " two  ", " three"});
  layout.recordCount = 5;  // two more than the file holds
  const std::string path = f.Make("t", layout);
  const std::string name = testkit::EngineName(path), text = "File:  " + name + "  [GetDbfRecord]";
  f.engine.USE(path);
  const int reads = f.platform.reads;
  for (auto [n, shown] : {std::pair{0, "0"}, {6, "6"}, {1234567, "123456"}, {-1234567, "-12345"}}) {
    f.engine.GetDbfRecord(f.Table(), n);
    EXPECT_EQ(f.Err(), std::string("212 Invalid record number = ") + shown + " (" + name + ")  [GetDbfRecord]");
  }
  EXPECT_EQ(f.platform.reads, reads);
  // The first missing record ends inside the file's end-of-file marker.
  f.engine.GetDbfRecord(f.Table(), 4);
  EXPECT_EQ(f.Err(), "213 " + text);
  EXPECT_EQ(f.engine.RecNo(), 1);
  EXPECT_EQ(f.Raw(),
            "\x1A"
            "one  ");
  f.platform.faults.read = 30;
  f.platform.faults.readAfter = f.platform.reads;
  f.engine.GetDbfRecord(f.Table(), 2);
  EXPECT_EQ(f.Err(), "30 " + text);
  EXPECT_FALSE(f.Table().AtEof);
  f.platform.faults.read.reset();
  f.platform.faults.seek = 25;
  f.engine.SKIP(1);
  EXPECT_EQ(f.Err(), "25 " + text);
  EXPECT_TRUE(f.Table().AtEof);
  EXPECT_EQ(f.engine.RecNo(), 1);
  f.platform.faults.seek.reset();
  // Through the read window of an exclusive table the short record is found too.
  f.engine.USE(path + " EXCLUSIVE");
  f.engine.SKIP(3);
  EXPECT_EQ(f.Err(), "213 " + text);
  EXPECT_EQ(f.engine.RecNo(), 3);
}

TEST(GetDbfRecord, TranslatesRecordTextFromOemToAnsi) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", testkit::Layout({{"NAME", 'C', 5}}, {"*\x81\x82\xC4\xB3z"}));
  f.engine.USE(path);
  EXPECT_EQ(f.Raw(), "*\xFC\xE9-\xA6z");
  EXPECT_EQ(f.App(0, 2), "\x01\x05");
  EXPECT_EQ(f.engine.Peek(1, 1), "\x81\x82\xC4\xB3z");  // the file's own bytes
}

TEST(UnpackRecord, BuildsTheApplicationRecordAndClearRecordBlanksIt) {
  testkit::TableFixture f;
  auto layout = testkit::Layout(
      {{"NAME", 'C', 4}, {"DUE", 'D', 8}, {"OK", 'L', 1}, {"MEMO", 'M', 10}, {"QTY", 'N', 5}, {"PRICE", 'N', 6, 2}});
  layout.records = {testkit::Record(layout, {"ab", "19970315", "t", "        42", "  -12", "  3.50"}),
                    testkit::Record(layout, {"", "", "", "", "", ""}, true)};
  f.engine.USE(f.Make("t", layout));
  ASSERT_EQ(f.Table().AppRecordSize, 32);  // 1 + 5 + 11 + 1 + 4 + 4 + 6
  EXPECT_EQ(f.App(0, 18), std::string("\0\x04"
                                      "ab  \x08"
                                      "03/15/97\0\0\x01",
                                      18));
  EXPECT_EQ(f.Int32(18), 42);
  EXPECT_EQ(f.Int32(22), -12);
  EXPECT_EQ(f.App(26, 6), std::string("\x82\0\0\0\0\x60", 6));  // 3.5: exponent 1 + 129
  for (auto [format, shown] : {std::pair{1, "97.03.15"}, {2, "15/03/97"}, {3, "15-03-97"}, {5, "15.03.97"}}) {
    f.engine.DateFormat = static_cast<uint8_t>(format);
    f.engine.SKIP(0);
    EXPECT_EQ(f.App(7, 8), shown) << format;
  }
  f.engine.DateFormat = 0;
  const std::string blank = std::string("\0\x04    \x08  /  /  ", 15) + std::string(17, '\0');
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
  auto layout = testkit::Layout({{"A", 'N', 4},
                                 {"B", 'N', 6, 2},
                                 {"C", 'N', 12},
                                 {"D", 'D', 4},
                                 {"E", 'D', 10},
                                 {"F", 'N', 6, 2},
                                 {"G", 'C', 10}});
  layout.recordLength = 46;
  const std::string full =
      testkit::Record(layout, {"12a", "1.2.3", "99999999999", "1997", "1997031599", "1e99", "xyz"});
  const std::string next = testkit::Record(layout, {"7", "", "", "", "", "", "NEXT"});
  layout.records = {full.substr(0, 46), next.substr(0, 46)};
  f.engine.USE(f.Make("t", layout) + " EXCLUSIVE");
  // D(4) has a 7-byte slot, and its text keeps to it.
  EXPECT_EQ(f.App(0, 31), std::string(15, '\0') +
                              "\x06  /  /\x08"
                              "03/15/97");
  EXPECT_EQ(f.App(35, 17), std::string(6, '\0') + "\x0axyz       ");
  EXPECT_EQ(f.engine.Peek(7, 1), "xyz");
  f.engine.Poke("QQQQQQQQQQ", 7, 1);  // must not reach into record 2
  f.engine.SKIP(1);
  EXPECT_EQ(f.Int32(1), 7);
  EXPECT_EQ(f.App(41, 11),
            "\x0a"
            "NEX       ");
}

}  // namespace

namespace {

// The 6-byte real: sign, exponent limits and rounding to nearest (a half away
// from zero), also when rounding carries into the exponent.
TEST(EncodeReal48, SignLimitsAndRounding) {
  using Bytes = std::array<uint8_t, 6>;
  const std::vector<std::pair<double, Bytes>> cases = {
      {-12.5, {0x84, 0, 0, 0, 0, 0xC8}},
      {1.0 + std::ldexp(1.0, -40), {0x81, 1, 0, 0, 0, 0}},  // half an ulp rounds away
      {1.0 + std::ldexp(1.0, -41), {0x81, 0, 0, 0, 0, 0}},  // a quarter rounds down
      {2.0 - std::ldexp(1.0, -41), {0x82, 0, 0, 0, 0, 0}},  // carries into the exponent
      {-(2.0 - std::ldexp(1.0, -41)), {0x82, 0, 0, 0, 0, 0x80}},
      {std::ldexp(1.0, -128), {0x01, 0, 0, 0, 0, 0}},  // the smallest
      {std::ldexp(1.0, -129), {0, 0, 0, 0, 0, 0}},     // too small: zero
      {std::ldexp(1.0, 126), {0xFF, 0, 0, 0, 0, 0}},   // the largest exponent
      {std::ldexp(1.0, 127), {0, 0, 0, 0, 0, 0}},      // beyond the format: zero
  };
  for (const auto& [value, expected] : cases) {
    Bytes out{};
    kestrel::EncodeReal48(value, out.data());
    EXPECT_EQ(out, expected) << value;
  }
}

// A logical field is true for T, t, Y and y only.
TEST(UnpackRecord, LogicalFieldsAreTrueForTAndY) {
  testkit::TableFixture f;
  const std::string values = "TtYyNnF? ";
  std::vector<std::string> records;
  for (char c : values) records.push_back(std::string(" ") + c);
  f.engine.USE(f.Make("t", testkit::Layout({{"OK", 'L', 1}}, records)));
  std::string seen;
  while (!f.engine.dEOF()) {
    seen += static_cast<char>('0' + f.App(1, 1)[0]);
    f.engine.SKIP(1);
  }
  EXPECT_EQ(seen, "111100000");
}

// A read error while the read window of an exclusive table is filled is the
// record read's error; a shared table whose size cannot be taken keeps its
// record count and reports nothing.
TEST(GetDbfRecord, ReadWindowErrorsAndACountThatCannotBeRefreshed) {
  testkit::TableFixture f;
  // Records of 4 bytes: the window filled by USE at record 1 holds 65536 of
  // them, so the step to record 65537 fills it afresh.
  const int32_t held = 256 * 1024 / 4;
  std::vector<std::string> records(held + 3, " abc");
  const std::string path = f.Make("t", testkit::Layout({{"NAME", 'C', 3}}, records));
  f.engine.USE(path + " EXCLUSIVE");
  const int readsAfterUse = f.platform.reads;
  f.engine.SKIP(held - 1);  // to the window's last record: no read call
  EXPECT_EQ(f.engine.RecNo(), held);
  EXPECT_EQ(f.platform.reads, readsAfterUse);
  f.platform.faults.read = 23;
  f.platform.faults.readAfter = f.platform.reads;
  f.engine.SKIP(1);
  EXPECT_EQ(f.Err(), "23 File:  " + testkit::EngineName(path) + "  [GetDbfRecord]");
  EXPECT_EQ(f.engine.RecNo(), held);
  f.platform.faults.read.reset();

  f.engine.USE(f.Make("s", testkit::Layout({{"NAME", 'C', 3}}, {" one", " two"})));
  f.platform.faults.size = 5;
  EXPECT_FALSE(f.engine.dEOF());
  EXPECT_EQ(f.engine.RecCount(), 2);
  f.engine.SKIP(1);
  EXPECT_EQ(f.engine.ErrorCode, 0);
  EXPECT_EQ(f.Pos(), "2");
}

// The records a walk gets from the read window go back in one write only
// while the window still holds what the view showed, of the table current
// now, and only inside the view's records.
TEST(RecordsAhead, AViewIsWrittenBackOnlyWhileItIsTheWindowsOwn) {
  testkit::TableFixture f;
  const int32_t held = 256 * 1024 / 4;  // records of 4 bytes in one window
  const std::string path = f.Make("t", testkit::Layout({{"NAME", 'C', 3}}, std::vector<std::string>(held + 2, " abc")));
  f.engine.USE(path + " EXCLUSIVE");
  const kestrel::Engine::RecordView view = f.engine.RecordsAhead();
  ASSERT_TRUE(view);
  EXPECT_EQ(view.first, 1);
  EXPECT_EQ(view.count, held);
  const uint8_t z[] = {'Z'};
  EXPECT_FALSE(f.engine.WriteChanges(view, {{size_t{4} * held, z, 1}}));  // past the view
  EXPECT_TRUE(f.engine.WriteChanges(view, {{5, z, 1}}));                  // record 2's NAME
  f.engine.SKIP(held);  // the window is read afresh at record held + 1
  EXPECT_FALSE(f.engine.WriteChanges(view, {{9, z, 1}}));
  EXPECT_EQ(f.engine.RecordsAhead().first, held + 1);
  f.engine.USE("");  // (Windows lets nobody read a table held exclusively)
  const size_t header = 32 + 32 + 1;
  EXPECT_EQ(testkit::ReadFile(path + ".dbf").substr(header, 12), " abc Zbc abc");
}

}  // namespace
