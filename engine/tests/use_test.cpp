// USE: closing with an empty command, the EXCLUSIVE and ALIAS options, the
// open mode the settings choose, the refused virtual tables, the checks of
// the caller's record buffer and the state a newly opened table is in.
#include <gtest/gtest.h>

#include <cstring>

#include "table_fixture.h"

namespace {

testkit::DbfSpec Cust() {
  auto spec = testkit::Spec({{"NAME", 'C', 10}, {"AMOUNT", 'N', 8, 2}, {"DUE", 'D', 8}, {"PAID", 'L', 1}});
  spec.records = {testkit::Record(spec, {"Smith", "    3.50", "19970315", "T"})};
  return spec;
}

TEST(Use, EmptyOrBlankCommandClosesTheTableSilently) {
  testkit::TableFixture f;
  const std::string path = f.Make("t", Cust());
  f.engine.AutoReport = true;
  for (const char* blank : {"", "   ", " \t "}) {
    f.engine.USE(path);
    f.engine.ErrorCode = 9;
    f.engine.USE(blank);
    EXPECT_EQ(f.engine.ErrorCode, 0);
    EXPECT_EQ(f.engine.CurrentTable(), nullptr);
  }
  EXPECT_TRUE(f.platform.halts.empty());
}

TEST(Use, ExclusiveAndAliasOptions) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("cust", Cust());
  e.USE(path + " exclusive");
  EXPECT_EQ(f.platform.openModes.back(), 18);
  EXPECT_TRUE(f.Table().Exclusive);
  EXPECT_EQ(e.CurrentAlias(), "CUST");
  EXPECT_EQ(e.CurrentDbfName(), testkit::EngineName(path));
  e.USE(path);
  EXPECT_EQ(f.platform.openModes.back(), 66);
  EXPECT_FALSE(f.Table().Exclusive);

  // EXCLUSIVE is a word of its own; in a directory name it stays put.
  for (const char* dir : {"my exclusive_old", "my exclusive2", "my exclusive"}) {
    const std::string p = f.Make(std::string(dir) + "/t", Cust());
    e.USE(p);
    ASSERT_EQ(e.ErrorCode, 0) << e.ErrorText;
    EXPECT_FALSE(f.Table().Exclusive) << dir;
    EXPECT_EQ(e.CurrentDbfName(), testkit::EngineName(p));
  }
  e.USE(f.dir.File("my exclusive") + "/t ALIAS x EXCLUSIVE");
  EXPECT_TRUE(f.Table().Exclusive);
  EXPECT_EQ(e.CurrentAlias(), "X");

  // Only the first word after ALIAS counts; ALIAS at the very end is part of
  // the name; two blanks after it leave the base name; 64 characters at most.
  e.USE(path + " ALIAS c1 rest");
  EXPECT_EQ(e.CurrentAlias(), "C1");
  const std::string spaced = f.Make("t alias", Cust());
  e.USE(spaced);
  EXPECT_EQ(e.CurrentDbfName(), testkit::EngineName(spaced));
  EXPECT_EQ(e.CurrentAlias(), "T ALIAS");
  e.USE(path + " alias  c2");
  EXPECT_EQ(e.CurrentAlias(), "CUST");
  e.USE(path + " alias " + std::string(70, 'q'));
  EXPECT_EQ(e.CurrentAlias(), std::string(64, 'Q'));
}

TEST(Use, SettingsChooseTheOpenModeAndTheFileModeIsRestored) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Cust());
  e.FileMode = 7;
  e.DefaultOpenMode = 18;
  e.USE(path);
  EXPECT_EQ(f.platform.openModes.back(), 18);
  EXPECT_TRUE(f.Table().Exclusive);
  e.DefaultOpenMode = 66;
  e.SharedAccess = false;
  e.USE(path);
  EXPECT_EQ(f.platform.openModes.back(), 2);
  EXPECT_TRUE(f.Table().Exclusive);
  e.SharedAccess = true;
  e.ForcedOpenMode = 0x1242;
  e.USE(path + " EXCLUSIVE");
  EXPECT_EQ(f.platform.openModes.back(), 0x42);
  EXPECT_TRUE(f.Table().Exclusive);
  EXPECT_EQ(e.FileMode, 7);

  // A failed open closes what the area held and restores the mode too.
  e.USE(f.dir.File("missing"));
  EXPECT_EQ(e.ErrorCode, 2);
  EXPECT_EQ(e.ErrorText, "Failure to open " + testkit::EngineName(f.dir.File("missing")) + " [USE/OpenDbf]");
  EXPECT_EQ(e.CurrentTable(), nullptr);
  EXPECT_EQ(e.FileMode, 7);
}

TEST(Use, RefusesVirtualTablesAndBadBuffers) {
  testkit::TableFixture f;
  auto& e = f.engine;
  const std::string path = f.Make("t", Cust());
  const std::string upper = testkit::EngineName(path).substr(0, path.size());
  e.USE(" " + path + " linked list");
  EXPECT_EQ(e.ErrorCode, 1101);
  EXPECT_EQ(e.ErrorText, "[USE(" + upper + " LINKED LIST ,<@Buffer>,<size>)]");
  e.USE(f.dir.File("a virtual file") + "/t");
  EXPECT_EQ(e.ErrorCode, 1101);
  EXPECT_TRUE(f.platform.openModes.empty());

  uint8_t buffer[31];
  e.USE(path + "  exclusive ", nullptr, 30);
  EXPECT_EQ(e.ErrorCode, 220);
  EXPECT_EQ(e.ErrorText, "Buffer is NIL or size is zero, attempting to open " + upper + "  EXCLUSIVE  [USE]");
  e.USE(path, buffer, 0);
  EXPECT_EQ(e.ErrorCode, 220);
  EXPECT_TRUE(f.platform.openModes.empty());

  // C(10), N(8,2), D(8), L(1): 1 + 11 + 6 + 11 + 1 = 30 bytes.
  e.USE(path + " exclusive", buffer, 31);
  EXPECT_EQ(e.ErrorCode, 266);
  EXPECT_EQ(e.ErrorText,
            "Database record/buffer size mismatch: " + upper + " [USE()]\n\rRecord Size=30, Buffer Size=31");
  EXPECT_EQ(e.CurrentTable(), nullptr);

  // The right size is taken, and record 1 arrives in it; the two bytes
  // behind the date text are not written.
  std::memset(buffer, 0xAB, sizeof buffer);
  e.USE(path, buffer, 30);
  ASSERT_EQ(e.ErrorCode, 0);
  EXPECT_EQ(f.Table().AppRecord, buffer);
  EXPECT_FALSE(f.Table().OwnsAppRecord);
  const uint8_t real35[] = {130, 0, 0, 0, 0, 0x60};
  EXPECT_EQ(f.App(0, 12), std::string("\0\x0aSmith     ", 12));
  EXPECT_EQ(f.App(12, 6), std::string(reinterpret_cast<const char*>(real35), 6));
  EXPECT_EQ(f.App(18, 12),
            "\x08"
            "03/15/97\xAB\xAB\x01");
}

TEST(Use, EmptyTableOpensAtTheEndWithABlankRecord) {
  testkit::TableFixture f;
  auto spec = Cust();
  spec.records.clear();
  f.engine.USE(f.Make("empty", spec));
  ASSERT_EQ(f.engine.ErrorCode, 0);
  EXPECT_EQ(f.engine.RecNo(), 0);
  EXPECT_TRUE(f.engine.dEOF());
  EXPECT_TRUE(f.engine.dBOF());
  EXPECT_EQ(f.Raw(), std::string(28, ' '));
  EXPECT_EQ(f.App(0, 12), std::string("\0\x0a          ", 12));
  EXPECT_EQ(f.App(12, 6), std::string(6, '\0'));
  EXPECT_EQ(f.App(18, 12), std::string("\x08  /  /  \0\0\0", 12));
  EXPECT_EQ(f.Table().SpareRecord.size(), 30u);
}

}  // namespace
