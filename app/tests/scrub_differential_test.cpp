// The scrub against the literal walk it must equal: every record, every field
// by its own number through Peek and Poke, SKIP(1). Generated tables of every
// accepted version, with NULs in the deletion flag and every field type,
// repeated names, fields past the record's end, record counts that disagree
// with the file, tables larger than a read window and bad spots of the disk
// that writes fail on: the bytes on disk, the counters
// and the halting reports must be the same whatever way the scrub is built.
#include <gtest/gtest.h>

#include <random>

#include "kestrel/dbf_versions.h"
#include "run.h"
#include "testkit.h"

namespace {

// The reference: the walk as the repair is defined, one read per field and
// one write per repaired field.
void LiteralWalk(kestrel::Engine& engine, const std::string& path, dbfclean::Counters& counters) {
  const uint8_t area = engine.CurrentArea();
  struct Restore {
    kestrel::Engine& engine;
    uint8_t area;
    ~Restore() {
      engine.USE("");
      engine.Select(area);
    }
  } restore{engine, area};
  engine.Select(0);
  engine.USE(path + " EXCLUSIVE");
  std::string bytes;
  while (!engine.dEOF()) {
    bool changed = false;
    for (int f = 1; f <= engine.FieldCount(); ++f) {
      engine.Peek(static_cast<uint8_t>(f), engine.RecNo(), bytes);
      if (bytes.find('\0') == std::string::npos) continue;
      for (char& c : bytes) {
        if (c == '\0') {
          c = ' ';
          ++counters.ZeroesFixed;
          changed = true;
        }
      }
      engine.Poke(bytes, static_cast<uint8_t>(f), engine.RecNo());
    }
    if (changed) ++counters.RecordsFixed;
    engine.SKIP(1);
  }
}

std::string RandomTable(std::mt19937& rng) {
  auto pick = [&](int n) { return static_cast<int>(rng() % static_cast<unsigned>(n)); };
  testkit::DbfLayout layout;
  const kestrel::DbfVersion& format = kestrel::kDbfVersions[pick(static_cast<int>(kestrel::kDbfVersions.size()))];
  layout.version = format.byte;
  const int fields = 1 + pick(format.slotSize == 16 ? 6 : 12);
  const char types[] = {'C', 'D', 'L', 'M', 'N', 'F'};
  for (int k = 0; k < fields; ++k) {
    // Some names repeat: long names are cut to 10 characters.
    const std::string name = pick(4) == 0 ? "SAME" : "F" + std::to_string(k);
    layout.fields.push_back({name, types[pick(6)], static_cast<uint8_t>(1 + pick(20)), 0});
  }
  unsigned sum = 1;
  for (auto& f : layout.fields) sum += f.length;
  // Sometimes the record is shorter than its fields claim.
  const uint16_t recordLength = static_cast<uint16_t>(pick(5) == 0 && sum > 3 ? sum - 1 - pick(3) : sum);
  layout.recordLength = recordLength;
  // Now and then a table larger than the engine's read window (256 KiB), so
  // that the walk crosses from one window to the next.
  const int records = pick(40) == 0 ? 1500 + pick(2500) : pick(30);
  for (int r = 0; r < records; ++r) {
    std::string rec(recordLength, ' ');
    for (auto& c : rec) {
      const int x = pick(10);
      c = x == 0 ? '\0' : static_cast<char>('a' + x);
    }
    if (pick(4) == 0) rec[0] = '*';
    layout.records.push_back(rec);
  }
  // A header count that disagrees with the file: fewer, or more (the table
  // then ends inside or after a record).
  if (pick(4) == 0) layout.recordCount = static_cast<uint32_t>(std::max(0, records + pick(5) - 2));
  layout.eofMarker = pick(2) == 0;
  std::string bytes = testkit::BuildDbf(layout);
  if (pick(6) == 0 && bytes.size() > 40) bytes.resize(bytes.size() - 1 - static_cast<size_t>(pick(8)));
  return bytes;
}

struct Outcome {
  std::string bytes;
  int64_t zeroes = 0, records = 0;
  std::vector<testkit::HaltReport> halts;
  std::vector<int> exits;
  std::string exception;
};

// A bad spot of the disk: writes over it fail, or stop short of it.
struct BadSpot {
  uint64_t at;
  bool shortWrite;
};

Outcome RunWalk(const testkit::TempDir& dir, const std::string& table, std::optional<BadSpot> spot, bool literal) {
  const std::string path = dir.Write("t.dbf", table);
  testkit::RecordingPlatform platform;
  if (spot) {
    platform.faults.badByte = spot->at;
    platform.faults.badByteShort = spot->shortWrite;
  }
  Outcome out;
  {
    kestrel::Engine engine(platform);
    dbfclean::Counters counters;
    try {
      testkit::RunUntilExit([&] {
        if (literal) {
          LiteralWalk(engine, path, counters);
        } else {
          dbfclean::ScrubTable(engine, path, counters);
        }
      });
    } catch (const std::exception& e) {
      out.exception = e.what();
    }
    out.zeroes = counters.ZeroesFixed;
    out.records = counters.RecordsFixed;
  }
  out.bytes = testkit::ReadFile(path);
  out.halts = platform.halts;
  out.exits = platform.exits;
  return out;
}

TEST(ScrubDifferential, EqualsTheLiteralWalkOnGeneratedTables) {
  std::mt19937 rng(20261209);
  for (int i = 0; i < 300; ++i) {
    const std::string table = RandomTable(rng);
    std::optional<BadSpot> spot;
    if (i % 3 == 0 && table.size() > 32) {
      // mostly among the records, past the header
      spot = BadSpot{table.size() / 3 + rng() % (table.size() - table.size() / 3), i % 2 == 1};
    }
    testkit::TempDir dir;  // one path for both, as the reports name it
    const Outcome want = RunWalk(dir, table, spot, true);
    const Outcome got = RunWalk(dir, table, spot, false);
    SCOPED_TRACE("table " + std::to_string(i));
    EXPECT_EQ(got.bytes, want.bytes);
    EXPECT_EQ(got.zeroes, want.zeroes);
    EXPECT_EQ(got.records, want.records);
    ASSERT_EQ(got.halts.size(), want.halts.size());
    for (size_t h = 0; h < got.halts.size(); ++h) EXPECT_EQ(got.halts[h].text, want.halts[h].text);
    EXPECT_EQ(got.exits, want.exits);
    EXPECT_EQ(got.exception, want.exception);
  }
}

}  // namespace
