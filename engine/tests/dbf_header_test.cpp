// The header reader as OpenDbf runs it: every accepted version and descriptor
// layout, the field entries, every rejection with its code and text, and
// impossible header values that must end in a defined result.
#include <gtest/gtest.h>

#include "kestrel/dbf_versions.h"
#include "testkit.h"

namespace {

using Entry = testkit::ReportLog::Entry;
using testkit::DbfLayout;

class Header : public ::testing::Test {
 protected:
  Header() : log_(engine_) {}

  // Writes t.dbf and opens it into a fresh descriptor.
  std::string Open(const std::string& bytes) {
    path_ = dir_.Write("t.dbf", bytes);
    d_ = kestrel::TableDescriptor();
    d_.FileName = path_;
    log_.entries.clear();
    engine_.OpenDbf(d_);
    return path_;
  }

  // The open failed with these reports, left nothing behind and wrote nothing.
  void ExpectRejected(const std::string& bytes, std::vector<Entry> reports) {
    Open(bytes);
    EXPECT_EQ(log_.entries, reports);
    EXPECT_EQ(engine_.ErrorCode, reports.back().code);
    EXPECT_EQ(d_.State, 0);
    EXPECT_FALSE(d_.DataFile);
    EXPECT_TRUE(d_.RecordBuffer.empty());
    EXPECT_TRUE(d_.Fields.empty());
    EXPECT_EQ(testkit::ReadFile(path_), bytes);
    std::unique_ptr<kestrel::File> again;  // the file is no longer held
    EXPECT_EQ(kestrel::Platform::Default().OpenFile(path_, 18, &again), 0);
  }

  std::string NotDbase(const std::string& why) { return path_ + " is not a dBASE database." + why; }

  testkit::TempDir dir_;
  kestrel::Engine engine_;
  testkit::ReportLog log_;
  kestrel::TableDescriptor d_;
  std::string path_ = dir_.File("t.dbf");
};

const std::vector<testkit::FieldSpec> kFields = {{"name", 'C', 10, 0}, {"ABCDEFGHIJ", 'N', 8, 2}, {"pic", 'g', 4, 0},
                                                 {"BIN", 'B', 10, 0},  {"OLE", 'p', 10, 0},       {"When", 'D', 8, 0},
                                                 {"OK", 'L', 1, 0},    {"RATE", 'F', 5, 1},       {"MEMO", 'M', 10, 0}};

TEST_F(Header, EveryVersionOpensWithItsLayout) {
  struct Case {
    uint8_t version;
    bool memo;
    int16_t headerLength;
  };
  const Case cases[] = {{0x02, false, 521}, {0x03, false, 321}, {0x83, true, 321}, {0x8B, true, 321},
                        {0xF5, true, 321},  {0x04, false, 501}, {0x8C, true, 501}};
  // The engine's table of versions holds these and no others.
  ASSERT_EQ(std::size(cases), kestrel::kDbfVersions.size());
  for (size_t i = 0; i < std::size(cases); ++i) EXPECT_EQ(kestrel::kDbfVersions[i].byte, cases[i].version);
  for (Case c : cases) {
    SCOPED_TRACE(c.version);
    DbfLayout layout{.version = c.version, .fields = kFields, .recordLength = 40};  // not the 67 the fields add up to
    layout.records = {" first", " second"};
    const std::string bytes = testkit::BuildDbf(layout);
    Open(bytes);
    EXPECT_TRUE(log_.entries.empty());
    ASSERT_EQ(d_.State, 1);
    EXPECT_EQ(d_.HasMemo, c.memo);
    EXPECT_EQ(d_.HeaderLength, c.headerLength);
    EXPECT_EQ(d_.RecordLength, 40);
    EXPECT_EQ(d_.RecordCount, 2);
    EXPECT_EQ(d_.RecordBuffer.size(), 40u);
    EXPECT_EQ(std::string(d_.Prolog.begin(), d_.Prolog.end()), bytes.substr(0, 32));
    ASSERT_EQ(d_.FieldCount, 9);
    ASSERT_EQ(d_.Fields.size(), 10u);
    std::string summary;
    for (int k = 1; k <= 9; ++k) {
      const auto& f = d_.Fields[k];
      summary += f.Name + ":" + f.Type + std::to_string(f.Length) + "." + std::to_string(f.Decimals) + "@" +
                 std::to_string(f.Offset) + " ";
    }
    EXPECT_EQ(summary,
              "NAME:C10.0@1 ABCDEFGHIJ:N8.2@11 PIC:M4.0@19 BIN:M10.0@23 OLE:M10.0@33 WHEN:D8.0@43 OK:L1.0@51 "
              "RATE:F5.1@52 MEMO:M10.0@57 ");
    EXPECT_EQ(testkit::ReadFile(path_), bytes);
  }
}

TEST_F(Header, SlackAfterTheTerminatorAndThirtyOneSlotsAreAccepted) {
  Open(testkit::BuildDbf({.fields = {{"A"}, {"B"}}, .slack = std::string(64, '\0')}));
  EXPECT_EQ(d_.HeaderLength, 32 + 64 + 1 + 64);
  EXPECT_EQ(d_.FieldCount, 2);
  EXPECT_EQ(d_.Fields.size(), 3u);

  Open(testkit::BuildDbf({.version = 0x02, .fields = std::vector<testkit::FieldSpec>(31, {"F", 'C', 1})}));
  EXPECT_TRUE(log_.entries.empty());
  EXPECT_EQ(d_.FieldCount, 31);
  EXPECT_EQ(d_.Fields[31].Offset, 31);
}

TEST_F(Header, RejectionsCloseTheFileWithTheirCodeAndText) {
  ExpectRejected("", {{210, NotDbase(" (Prolog is less than 32 bytes) [USE/OpenDBF]")}});
  ExpectRejected(std::string(31, '\x03'), {{210, NotDbase(" (Prolog is less than 32 bytes) [USE/OpenDBF]")}});

  std::string bytes = testkit::BuildDbf({.fields = {{"A"}}});
  bytes[0] = 0x30;
  ExpectRejected(bytes, {{210, NotDbase("(Invalid version byte)+ [USE/OpenDBF]")}});

  const std::string countText = "t.dbf is not a dBASE database. (Number of fields is out of range) [Use/OpenDbf]";
  ExpectRejected(testkit::BuildDbf({.fields = {{"A"}}, .headerLength = 33}), {{210, countText}});
  ExpectRejected(testkit::BuildDbf({.fields = {{"A"}}, .headerLength = 32 + 256 * 32}), {{210, countText}});

  ExpectRejected(testkit::BuildDbf({.version = 0x02, .fields = {{"A"}}}).substr(0, 520),
                 {{210, NotDbase("(Header is less than 521 bytes) [Use/OpenDBF]")}});
  ExpectRejected(testkit::BuildDbf({.version = 0x02, .fields = std::vector<testkit::FieldSpec>(32, {"F", 'C', 1})}),
                 {{210, "t.dbf is not a dBASE database.(Number of fields is out of range) [Use/OpenDbf]"}});

  // The file ends inside the 0x8C extension, inside the descriptors.
  const std::string readError = path_ + " [Use/OpenDbf]";
  ExpectRejected(testkit::BuildDbf({.version = 0x8C, .fields = {{"A"}}}).substr(0, 60),
                 {{100, "Error reading " + readError}});
  ExpectRejected(testkit::BuildDbf({.fields = {{"A"}, {"B"}}}).substr(0, 70), {{100, "Error reading " + readError}});

  ExpectRejected(
      testkit::BuildDbf({.fields = {{"A"}, {"name", 'c'}}}),
      {{211, "Field: NAME [c] in " + path_ + " is not a valid field type"}, {211, "Error reading " + readError}});
  ExpectRejected(testkit::BuildDbf({.version = 0x02, .fields = {{"A"}, {"x", '\0'}}}),
                 {{211, "Field: X [" + std::string(1, '\0') + "] in " + path_ + " is not a valid field type"}});

  ExpectRejected(testkit::BuildDbf({.headerLength = 65}), {{222, "Error reading " + readError}});
}

TEST_F(Header, ARaisedRejectionLeavesNothingOpen) {
  engine_.ErrorHook = nullptr;
  engine_.RaiseErrors = true;
  std::string badVersion = testkit::BuildDbf({.fields = {{"A"}}});
  badVersion[0] = 0x30;
  for (const std::string& bytes : {testkit::BuildDbf({.fields = {{"A"}, {"B", 'c'}}}),
                                   testkit::BuildDbf({.version = 0x02, .fields = {{"B", 'X'}}}), badVersion,
                                   testkit::BuildDbf({.fields = {{"A"}}}).substr(0, 40)}) {
    EXPECT_THROW(Open(bytes), kestrel::EKestrelError);
    EXPECT_EQ(d_.State, 0);
    EXPECT_FALSE(d_.DataFile);
    EXPECT_TRUE(d_.RecordBuffer.empty());
  }
}

TEST_F(Header, ImpossibleValuesEndInADefinedResult) {
  // No record can be shorter than its deletion flag.
  ExpectRejected(testkit::BuildDbf({.fields = {{"A"}}, .recordLength = 0}),
                 {{210, "t.dbf is not a dBASE database. (Record length is out of range) [Use/OpenDbf]"}});
  ExpectRejected(testkit::BuildDbf({.version = 0x02, .fields = {{"A"}}, .recordLength = 0}),
                 {{210, "t.dbf is not a dBASE database.(Record length is out of range) [Use/OpenDbf]"}});

  // Header lengths short of the prolog or past 32767 leave no valid field count.
  const std::string countText = "t.dbf is not a dBASE database. (Number of fields is out of range) [Use/OpenDbf]";
  for (uint16_t length : {0, 31, 32}) {
    ExpectRejected(testkit::BuildDbf({.fields = {{"A"}}, .headerLength = length}), {{210, countText}});
  }
  for (uint16_t length : {20, 67, 68 + 47}) {
    ExpectRejected(testkit::BuildDbf({.version = 0x8C, .fields = {{"A"}}, .headerLength = length}), {{210, countText}});
  }
  ExpectRejected(testkit::BuildDbf({.fields = {{"A"}}, .headerLength = 65535}), {{210, countText}});

  // A name that fills its slot without a NUL keeps its first 10 characters.
  Open(testkit::BuildDbf({.fields = {{"ABCDEFGHIJK", 'C', 3}}}));
  ASSERT_EQ(d_.FieldCount, 1);
  EXPECT_EQ(d_.Fields[1].Name, "ABCDEFGHIJ");

  // A count past 2^31 is the largest record number, not a negative count
  // that would hide every record.
  for (uint32_t count : {0x80000000u, 0xFFFFFFFFu}) {
    Open(testkit::BuildDbf({.fields = {{"A"}}, .records = {" x"}, .recordCount = count}));
    EXPECT_TRUE(log_.entries.empty());
    EXPECT_EQ(d_.RecordCount, INT32_MAX);
    EXPECT_EQ(d_.CurrentRecord, 1);
    EXPECT_FALSE(d_.AtEof || d_.AtBof);
  }
}

TEST(HeaderIo, SystemReadErrorsPropagateUnreported) {
  testkit::TempDir dir;
  DbfLayout s;
  s.fields = {{"A", 'C', 5, 0}};
  const std::string path = dir.Write("T.dbf", testkit::BuildDbf(s));
  for (bool sizeFails : {false, true}) {
    testkit::RecordingPlatform platform;
    (sizeFails ? platform.faults.size : platform.faults.read) = 30;
    kestrel::Engine engine(platform);
    kestrel::TableDescriptor d;
    d.FileName = path;
    try {
      engine.OpenDbf(d);
      ADD_FAILURE() << "no exception";
    } catch (const kestrel::EInOutError& e) {
      EXPECT_EQ(e.ErrorCode, 30);
    }
    EXPECT_TRUE(platform.halts.empty());
  }
}

}  // namespace
