// What the fuzz targets share: a private scratch directory for the file a
// target writes, and the table's geometry read straight from its header.
#pragma once

#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace fuzz {

inline const std::string& ScratchDir() {
  static const std::string dir = [] {
    std::string d = "/tmp/dbfclean-fuzz-" + std::to_string(getpid());
    std::filesystem::create_directories(d);
    return d;
  }();
  return dir;
}

struct Geometry {
  uint64_t headerLength = 0;
  uint64_t recordLength = 0;
  uint64_t recordCount = 0;
  bool known = false;
};

// Where the records lie, as the engine reads the prolog (dBASE II or later).
inline Geometry ReadGeometry(const std::string& bytes) {
  Geometry g;
  auto u16 = [&](size_t at) { return uint64_t(uint8_t(bytes[at])) | uint64_t(uint8_t(bytes[at + 1])) << 8; };
  if (bytes.size() < 32) return g;
  if (uint8_t(bytes[0]) == 0x02) {
    g.headerLength = 521;
    g.recordLength = u16(6);
    g.recordCount = u16(1);
  } else {
    g.headerLength = u16(8);
    g.recordLength = u16(10);
    g.recordCount = u16(4) | u16(6) << 16;
    if (g.recordCount > 0x7FFFFFFF) g.recordCount = 0x7FFFFFFF;
  }
  g.known = g.recordLength > 0;
  return g;
}

}  // namespace fuzz
