// The zero-byte scrub of one table: every field of every record is read with
// Peek; a field holding NUL bytes gets them replaced by blanks and is written
// back with Poke. Fields without NUL bytes are never written.
#include <map>

#include "run.h"

namespace dbfclean {

void ScrubTable(kestrel::Engine& engine, const std::string& path, Counters& counters, const ScrubOptions& options) {
  const uint8_t area = engine.CurrentArea();
  auto cleanUp = [&] {
    engine.USE("");
    engine.Select(area);
  };
  try {
    engine.Select(0);
    engine.USE(path + " EXCLUSIVE");
    const int32_t total = options.progress ? engine.RecCount() : 0;
    std::string name;
    std::string bytes;
    // A dry run writes nothing, so a field read twice in one record (two
    // fields of one name) would be counted twice; it remembers the repairs
    // it would have written instead and reads them back.
    std::map<uint8_t, std::string> unwritten;
    while (!engine.dEOF()) {
      bool changed = false;
      unwritten.clear();
      const uint8_t n = engine.FieldCount();
      for (int f = 1; f <= n; ++f) {
        engine.Field(static_cast<uint8_t>(f), name);
        uint8_t k = engine.FieldNo(name);
        engine.Peek(k, engine.RecNo(), bytes);
        if (options.dryRun) {
          if (auto it = unwritten.find(k); it != unwritten.end()) bytes = it->second;
        }
        size_t at = bytes.find('\0');
        if (at == std::string::npos) continue;
        // Every NUL before `at` is a blank already, so searching on from the
        // last one finds the same bytes as searching from the start.
        while (at != std::string::npos) {
          bytes[at] = ' ';
          changed = true;
          ++counters.ZeroesFixed;
          at = bytes.find('\0', at + 1);
        }
        engine.Field(static_cast<uint8_t>(f), name);
        k = engine.FieldNo(name);
        if (options.dryRun) {
          unwritten[k] = bytes;
        } else {
          engine.Poke(bytes, k, engine.RecNo());
        }
      }
      if (changed) ++counters.RecordsFixed;
      if (options.progress) options.progress(engine.RecNo(), total);
      engine.SKIP(1);
    }
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
}

}  // namespace dbfclean
