// The table versions the engine opens, and what each version byte says of
// the header's layout. One table: the header reader and the tests' table
// writers all take it from here.
#pragma once

#include <array>
#include <cstdint>

namespace kestrel {

struct DbfVersion {
  uint8_t byte;        // the file's first byte
  uint8_t prologSize;  // bytes before the first field descriptor
  uint8_t slotSize;    // bytes of one field descriptor
  bool memo;           // a memo file goes with the table
};

// dBASE II (16-byte slots after an 8-byte prolog), dBASE III to V (32-byte
// slots; 0x83, 0x8B and 0xF5 with memo) and dBASE 7 (48-byte slots after 36
// more prolog bytes; 0x8C with memo).
inline constexpr std::array<DbfVersion, 7> kDbfVersions = {{
    {0x02, 8, 16, false},
    {0x03, 32, 32, false},
    {0x83, 32, 32, true},
    {0x8B, 32, 32, true},
    {0xF5, 32, 32, true},
    {0x04, 68, 48, false},
    {0x8C, 68, 48, true},
}};

// The entry of version byte `byte`, or nullptr for a version the engine
// does not open.
constexpr const DbfVersion* FindDbfVersion(uint8_t byte) {
  for (const DbfVersion& v : kDbfVersions) {
    if (v.byte == byte) return &v;
  }
  return nullptr;
}

}  // namespace kestrel
