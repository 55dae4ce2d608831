// The zero-byte scrub of one table.
#include <gtest/gtest.h>

#include "run.h"
#include "testkit.h"

namespace {

TEST(ScrubTable, ReplacesNulBytesAndCounts) {
  testkit::TempDir dir;
  testkit::DbfSpec spec;
  spec.fields = {{"NAME", 'C', 5}, {"QTY", 'N', 3}};
  spec.records = {testkit::Record(spec, {std::string("a\0b\0\0", 5), " 12"}), testkit::Record(spec, {"clean", "  1"})};
  std::string path = dir.Write("t.dbf", testkit::BuildDbf(spec));
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dbfclean::Counters counters;
  dbfclean::ScrubTable(engine, path, counters);
  EXPECT_EQ(counters.ZeroesFixed, 3);
  EXPECT_EQ(counters.RecordsFixed, 1);
  spec.records[0] = testkit::Record(spec, {"a b  ", " 12"});
  EXPECT_EQ(testkit::ReadFile(path), testkit::BuildDbf(spec));
  EXPECT_EQ(engine.CurrentArea(), 1);
}

}  // namespace
