// Opening a table file into a descriptor and closing it: the default
// extension, open failures, the starting position and the close report.
#include <gtest/gtest.h>

#include "testkit.h"

namespace {

using Entry = testkit::ReportLog::Entry;

struct OpenClose : ::testing::Test {
  OpenClose() : engine(platform), log(engine) {}
  void Open(const std::string& name) {
    d = kestrel::TableDescriptor();
    d.FileName = name;
    engine.OpenDbf(d);
  }
  testkit::TempDir dir;
  testkit::RecordingPlatform platform;
  kestrel::Engine engine;
  testkit::ReportLog log;
  kestrel::TableDescriptor d;
};

TEST_F(OpenClose, NamesGetTheDefaultExtensionAndMissingFilesAreNotCreated) {
  Open(dir.File("none"));
  EXPECT_EQ(log.entries, (std::vector<Entry>{{2, "Failure to open " + dir.File("none.dbf") + " [USE/OpenDbf]"}}));
  EXPECT_FALSE(d.DataFile);
  EXPECT_FALSE(testkit::FileExists(dir.File("none.dbf")));
  Open(dir.File("no/x.dbf"));
  EXPECT_EQ(log.entries.back(), (Entry{3, "Failure to open " + dir.File("no/x.dbf") + " [USE/OpenDbf]"}));

  log.entries.clear();
  const std::string bytes = testkit::BuildDbf({.fields = {{"A"}}});
  dir.Write("sales.dbf", bytes);
  dir.Write("sales.tab", bytes);
  Open(dir.File("sales"));
  EXPECT_EQ(d.FileName, dir.File("sales.dbf"));
  EXPECT_EQ(d.State, 1);
  Open(dir.File("sales.tab"));
  EXPECT_EQ(d.FileName, dir.File("sales.tab"));
  EXPECT_EQ(d.State, 1);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(OpenClose, StartingPositionFollowsTheHeaderCount) {
  testkit::DbfLayout layout{.fields = {{"A", 'C', 1}}, .records = {" a", " b"}};
  layout.recordCount = 0;  // record bytes are there, the header says none
  dir.Write("t.dbf", testkit::BuildDbf(layout));
  Open(dir.File("t.dbf"));
  EXPECT_EQ(d.RecordCount, 0);
  EXPECT_EQ(d.CurrentRecord, 0);
  EXPECT_TRUE(d.AtEof && d.AtBof);

  layout.recordCount = 5;  // more than are present: noticed only when read
  dir.Write("t.dbf", testkit::BuildDbf(layout));
  Open(dir.File("t.dbf"));
  EXPECT_EQ(d.RecordCount, 5);
  EXPECT_EQ(d.CurrentRecord, 1);
  EXPECT_FALSE(d.AtEof || d.AtBof);
  EXPECT_TRUE(log.entries.empty());
}

TEST_F(OpenClose, CloseFreesEverythingAndLeavesTheBytes) {
  const std::string bytes = testkit::BuildDbf({.fields = {{"A"}}, .records = {" x"}});
  const std::string path = dir.Write("t.dbf", bytes);
  Open(path);
  ASSERT_EQ(d.State, 1);
  engine.CloseDbf(d);
  EXPECT_EQ(engine.ErrorCode, 0);
  EXPECT_EQ(d.State, 0);
  EXPECT_FALSE(d.DataFile);
  EXPECT_TRUE(d.RecordBuffer.empty() && d.Fields.empty());
  EXPECT_EQ(testkit::ReadFile(path), bytes);
  std::unique_ptr<kestrel::File> again;
  EXPECT_EQ(kestrel::Platform::Default().OpenFile(path, 18, &again), 0);
  again.reset();

  // Closing again: the file is not open.
  engine.CloseDbf(d);
  EXPECT_EQ(log.entries, (std::vector<Entry>{{103, "File:  " + path + " [CloseDbf(" + path + ")]"}}));

  // A failing close still frees the buffers.
  Open(path);
  platform.faults.close = 29;
  engine.CloseDbf(d);
  EXPECT_EQ(log.entries.back(), (Entry{29, "File:  " + path + " [CloseDbf(" + path + ")]"}));
  EXPECT_EQ(d.State, 0);
  EXPECT_FALSE(d.DataFile);
  EXPECT_TRUE(d.RecordBuffer.empty() && d.Fields.empty());
}

}  // namespace
