// USE: closing with an empty command, the EXCLUSIVE and ALIAS options, the
// open mode the settings choose, the refused virtual tables, the checks of
// the caller's record buffer and the state a newly opened table is in.
#include <gtest/gtest.h>

#include <cstring>

#include "table_fixture.h"

namespace {

// C(10), N(8,2), D(8), L(1): an application record of 1 + 11 + 6 + 11 + 1 = 30.
testkit::DbfLayout Cust(bool withRecord = true) {
  auto layout = testkit::Layout({{"NAME", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"DUE", 'D', 8}, {"PAID", 'L', 1}});
  if (withRecord) layout.records = {testkit::Record(layout, {"Smith", "    3.50", "19970315", "T"})};
  return layout;
}

TEST(Use, OptionsAndSettingsChooseNameAliasAndOpenMode) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("cust", Cust());
  auto opened = [&] {
    return std::to_string(f.platform.openModes.back()) + (f.Table().Exclusive ? " exclusive " : " shared ") +
           e.CurrentAlias() + " " + e.CurrentDbfName();
  };
  const std::string name = testkit::EngineName(path);
  e.USE(path + " exclusive");
  EXPECT_EQ(opened(), "18 exclusive CUST " + name);
  e.USE(path + " ALIAS c1 rest");  // only the first word after ALIAS
  EXPECT_EQ(opened(), "66 shared C1 " + name);
  e.USE(path + " alias  c2");  // two blanks: the base name
  EXPECT_EQ(opened(), "66 shared CUST " + name);
  e.USE(path + " alias " + std::string(70, 'q'));
  EXPECT_EQ(e.CurrentAlias(), std::string(64, 'Q'));
  const std::string spaced = f.Make("t alias", Cust());  // ALIAS at the end is part of the name
  e.USE(spaced);
  EXPECT_EQ(opened(), "66 shared T ALIAS " + testkit::EngineName(spaced));

  // EXCLUSIVE is a word of its own; in a directory name it stays put.
  std::string p;
  for (const char* dir : {"my exclusive_old", "my exclusive2", "my exclusive"}) {
    p = f.Make(std::string(dir) + "/t", Cust());
    e.USE(p);
    EXPECT_EQ(opened(), "66 shared T " + testkit::EngineName(p));
  }
  e.USE(p + " ALIAS x EXCLUSIVE");
  EXPECT_EQ(opened(), "18 exclusive X " + testkit::EngineName(p));

  e.FileMode = 7;
  e.DefaultOpenMode = 18;
  e.USE(path);
  EXPECT_EQ(opened(), "18 exclusive CUST " + name);
  e.DefaultOpenMode = 66;
  e.SharedAccess = false;
  e.USE(path);
  EXPECT_EQ(opened(), "2 exclusive CUST " + name);
  e.SharedAccess = true;
  e.ForcedOpenMode = 0x1242;
  e.USE(path + " EXCLUSIVE");
  EXPECT_EQ(opened(), "66 exclusive CUST " + name);
  // A failed open closes what the area held; the file mode is back each time.
  e.USE(f.dir.File("missing"));
  EXPECT_EQ(f.Err(), "2 Failure to open " + testkit::EngineName(f.dir.File("missing")) + " [USE/OpenDbf]");
  EXPECT_TRUE(e.CurrentTable() == nullptr && e.FileMode == 7);
  // An empty or blank command only closes, silently.
  for (const char* blank : {"", "   ", " \t "}) {
    e.USE(path);
    e.USE(blank);
    EXPECT_TRUE(e.ErrorCode == 0 && e.CurrentTable() == nullptr) << e.ErrorCode;
  }
}

TEST(Use, RefusesVirtualTablesAndBadBuffers) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Cust());
  // The command as the engine read it: upper-cased on Windows, as the caller
  // spelled it where case tells files apart.
  e.USE(" " + path + " linked list");
  EXPECT_EQ(f.Err(), "1101 [USE(" + testkit::EngineText(path + " linked list") + " ,<@Buffer>,<size>)]");
  e.USE(f.dir.File("a virtual file") + "/t");
  EXPECT_EQ(e.ErrorCode, 1101);
  uint8_t buffer[31];
  e.USE(path + "  exclusive ", nullptr, 30);
  EXPECT_EQ(f.Err(), "220 Buffer is NIL or size is zero, attempting to open " + testkit::EngineText(path + "  exclusive") +
                         "  [USE]");
  e.USE(path, buffer, 0);
  EXPECT_EQ(e.ErrorCode, 220);
  EXPECT_TRUE(f.platform.openModes.empty());

  e.USE(path + " exclusive", buffer, 31);
  EXPECT_EQ(f.Err(),
            "266 Database record/buffer size mismatch: " + testkit::EngineText(path) + " [USE()]\n\rRecord Size=30, Buffer Size=31");
  EXPECT_EQ(e.CurrentTable(), nullptr);
  // The right size is taken and record 1 arrives in it; the two bytes behind
  // the date text are not written.
  std::memset(buffer, 0xAB, sizeof buffer);
  e.USE(path, buffer, 30);
  ASSERT_EQ(f.Table().AppRecord, buffer);
  EXPECT_EQ(f.App(0, 30), std::string("\0\x0aSmith     \x82\0\0\0\0\x60\x08", 19) + "03/15/97\xAB\xAB\x01");
}

TEST(Use, EmptyTableOpensAtTheEndWithABlankRecord) {
  testkit::TableFixture f;
  f.engine.USE(f.Make("empty", Cust(false)));
  EXPECT_EQ(f.Pos(), "0 eof bof");
  EXPECT_EQ(f.Raw(), std::string(28, ' '));
  EXPECT_EQ(f.App(0, 30), std::string("\0\x0a          \0\0\0\0\0\0\x08  /  /  \0\0\0", 30));
  EXPECT_EQ(f.Table().SpareRecord.size(), 30u);
}

}  // namespace
