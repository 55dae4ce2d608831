// A whole scrub of an arbitrary file. Halting reports end the "process" as a
// recorded outcome. After each run: only NUL bytes inside records (never a
// deletion flag) became blanks, the count equals the bytes changed, and after
// a clean finish no field of any record holds a NUL.
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_common.h"
#include "run.h"
#include "testkit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchDir() + "/s.dbf";
  const std::string before(reinterpret_cast<const char*>(data), size);
  testkit::WriteFile(path, before);
  testkit::RecordingPlatform platform;
  platform.language = 0x0409;
  dbfclean::Counters counters;
  bool clean = false;
  {
    kestrel::Engine engine(platform);
    try {
      clean = !testkit::RunUntilExit([&] { dbfclean::ScrubTable(engine, path, counters); }).has_value();
    } catch (const std::exception&) {
      clean = false;
    }
    if (platform.halts.size() > 1) std::abort();
  }
  const std::string after = testkit::ReadFile(path);
  if (after.size() != before.size()) std::abort();
  const fuzz::Geometry g = fuzz::ReadGeometry(before);
  int64_t changed = 0;
  for (size_t i = 0; i < before.size(); ++i) {
    if (after[i] == before[i]) continue;
    ++changed;
    if (before[i] != '\0' || after[i] != ' ' || !g.known || i < g.headerLength) std::abort();
    const uint64_t inRecords = i - g.headerLength;
    if (inRecords % g.recordLength == 0 || inRecords / g.recordLength >= g.recordCount) std::abort();
  }
  if (changed != counters.ZeroesFixed) std::abort();
  if (clean && !platform.halts.empty()) std::abort();
  if (clean) {
    // Every field of every record is free of NULs now, as the engine reads it.
    kestrel::Engine engine(platform);
    testkit::ReportLog log(engine);
    engine.USE(path);
    for (int32_t r = 1; engine.CurrentTable() && r <= engine.CurrentTable()->RecordCount; ++r) {
      for (int f = 1; f <= engine.FieldCount(); ++f) {
        if (engine.Peek(static_cast<uint8_t>(f), r).find('\0') != std::string::npos) std::abort();
      }
    }
    engine.USE("");
  }
  return 0;
}
