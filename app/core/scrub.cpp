// The zero-byte scrub of one table: every field of every record is read with
// Peek; a field holding NUL bytes gets them replaced by blanks and is written
// back with Poke. Fields without NUL bytes are never written.
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
    // A dry run writes nothing, so it opens the table for reading only (and
    // lets others read and write it meanwhile): a read-only table can be
    // inspected too.
    const uint16_t forced = engine.ForcedOpenMode;
    if (options.dryRun) engine.ForcedOpenMode = 0x40;
    try {
      engine.USE(path + " EXCLUSIVE");
    } catch (...) {
      engine.ForcedOpenMode = forced;
      throw;
    }
    engine.ForcedOpenMode = forced;
    const int32_t total = options.progress ? engine.RecCount() : 0;
    std::string bytes;
    std::string name;
    bool written = false;
    while (!engine.dEOF()) {
      bool changed = false;
      const uint8_t n = engine.FieldCount();
      // Each field is addressed by its own number. Looking it up by name
      // would reach only the first of two fields that share a name (names
      // are cut to 10 characters, so they do collide), and a name the lookup
      // cannot find would give 0, the deletion flag, which is not a field.
      for (int f = 1; f <= n; ++f) {
        const auto k = static_cast<uint8_t>(f);
        const int32_t r = engine.RecNo();
        engine.Peek(k, r, bytes);
        size_t at = bytes.find('\0');
        if (at == std::string::npos) continue;
        // Every NUL before `at` is a blank already, so searching on from the
        // last one finds the same bytes as searching from the start.
        int32_t zeroes = 0;
        while (at != std::string::npos) {
          bytes[at] = ' ';
          changed = true;
          ++counters.ZeroesFixed;
          ++zeroes;
          at = bytes.find('\0', at + 1);
        }
        if (options.repaired) {
          engine.Field(k, name);
          options.repaired(FieldRepair{r, f, name, zeroes});
        }
        if (options.dryRun) continue;
        if (!written && options.beforeFirstWrite) options.beforeFirstWrite();
        written = true;
        engine.Poke(bytes, k, r);
      }
      if (changed) ++counters.RecordsFixed;
      if (options.progress) options.progress(engine.RecNo(), total);
      if (options.stop && *options.stop) break;
      engine.SKIP(1);
    }
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
}

}  // namespace dbfclean
