// Reading and checking a table's header: the 32-byte prolog in its two
// layouts, the accepted version bytes, the three descriptor layouts and the
// field types. Every rejection closes the file and frees what was allocated.
#include <cstring>

#include "kestrel/dbf_versions.h"
#include "kestrel/engine.h"

namespace kestrel {

namespace {

enum Layout { kSlot16 = 16, kSlot32 = 32, kSlot48 = 48 };

uint16_t U16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t U32(const uint8_t* p) {
  return static_cast<uint32_t>(p[0]) | (static_cast<uint32_t>(p[1]) << 8) | (static_cast<uint32_t>(p[2]) << 16) |
         (static_cast<uint32_t>(p[3]) << 24);
}

// Reads up to n bytes; an operating-system failure is no engine error but the
// runtime's input/output failure.
size_t ReadOrThrow(TableDescriptor& d, uint8_t* buffer, size_t n) {
  size_t got = 0;
  uint16_t rc = d.DataFile->Read(buffer, n, &got);
  if (rc != 0) throw EInOutError(rc, "I/O error " + std::to_string(rc) + " reading " + d.FileName);
  return got;
}

void Release(TableDescriptor& d) {
  if (d.DataFile) {
    d.DataFile->Close();
    d.DataFile.reset();
  }
  std::vector<uint8_t>().swap(d.RecordBuffer);
  std::vector<FieldEntry>().swap(d.Fields);
  d.FieldIndex.clear();
  d.State = 0;
}

// FieldNo looks names up here instead of comparing with every field.
void BuildFieldIndex(TableDescriptor& d) {
  d.FieldIndex.clear();
  d.FirstOfName.assign(d.Fields.size(), 0);
  for (size_t k = 1; k < d.Fields.size(); ++k) {
    auto it = d.FieldIndex.emplace(d.Fields[k].Name, static_cast<uint8_t>(k)).first;
    d.FirstOfName[k] = it->second;
  }
}

}  // namespace

void Engine::RejectNotDbase(TableDescriptor& d, bool shortName, const std::string& glue, const std::string& reason,
                            const std::string& tail) {
  Release(d);
  std::string name = d.FileName;
  if (shortName) {
    FileNameParts parts = SplitFileName(d.FileName);
    name = parts.Name + parts.Ext;
  }
  SetError(engerr::NotDbase, name + " is not a dBASE database." + glue + reason + tail);
}

bool Engine::MakeFieldEntry(TableDescriptor& d, const uint8_t* slot, int layout, uint16_t& offset, FieldEntry& entry) {
  // The first byte is always part of the name; it ends before a NUL and
  // after 10 characters, so a name without NUL cannot run past its slot.
  entry.Name.clear();
  for (size_t i = 0; i < 10; ++i) {
    char c = static_cast<char>(slot[i]);
    if (i > 0 && c == '\0') break;
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
    entry.Name += c;
  }
  char type = static_cast<char>(slot[layout == kSlot48 ? 32 : 11]);
  if (type == 'B' || type == 'G' || type == 'P' || type == 'b' || type == 'g' || type == 'p') type = 'M';
  entry.Type = type;
  if (layout == kSlot16) {
    entry.Length = slot[12];
    entry.Decimals = slot[15];
  } else if (layout == kSlot48) {
    entry.Length = slot[33];
    entry.Decimals = slot[34];
  } else {
    entry.Length = slot[16];
    entry.Decimals = slot[17];
  }
  entry.Offset = offset;
  offset = static_cast<uint16_t>(offset + entry.Length);
  if (std::strchr("CDFLMN", type) == nullptr || type == '\0') {
    // Released before the report: a report that raises must not leave the
    // descriptor holding the file.
    Release(d);
    SetError(engerr::BadFieldType, "Field: " + entry.Name + " [" + std::string(1, type) + "] in " + d.FileName +
                                       " is not a valid field type");
    return false;
  }
  return true;
}

bool Engine::ReadHeader(TableDescriptor& d, uint64_t fileSize) {
  uint8_t prolog[32];
  if (ReadOrThrow(d, prolog, 32) < 32) {
    RejectNotDbase(d, false, " (", "Prolog is less than 32 bytes", ") [USE/OpenDBF]");
    return false;
  }
  std::memcpy(d.Prolog.data(), prolog, 32);
  const DbfVersion* format = FindDbfVersion(prolog[0]);
  if (format == nullptr) {
    RejectNotDbase(d, false, "(", "Invalid version byte", ")+ [USE/OpenDBF]");
    return false;
  }
  return format->slotSize == kSlot16 ? ReadDbase2Header(d, prolog, fileSize) : ReadDbase3Header(d, prolog);
}

// dBASE II: a fixed 521-byte header with 32 slots of 16 bytes from byte 8.
bool Engine::ReadDbase2Header(TableDescriptor& d, const uint8_t* prolog, uint64_t fileSize) {
  d.RecordCount = U16(prolog + 1);
  d.RecordLength = U16(prolog + 6);
  d.HeaderLength = 521;
  if (fileSize < 521) {
    RejectNotDbase(d, false, "(", "Header is less than 521 bytes", ") [Use/OpenDBF]");
    return false;
  }
  if (d.RecordLength == 0) {
    // A record always holds at least its deletion flag; a zero length
    // would leave nothing to read and nothing to divide the file by.
    RejectNotDbase(d, true, "(", "Record length is out of range", ") [Use/OpenDbf]");
    return false;
  }
  d.RecordBuffer.assign(d.RecordLength, ' ');
  d.State = 1;
  d.HasMemo = false;
  std::vector<uint8_t> slots(512);
  uint16_t rc = d.DataFile->Seek(8);
  if (rc != 0) throw EInOutError(rc, "I/O error " + std::to_string(rc) + " reading " + d.FileName);
  if (ReadOrThrow(d, slots.data(), 512) < 512) {
    Release(d);
    SetError(oserr::DiskReadError, "Error reading " + d.FileName + " [Use/OpenDbf]");
    return false;
  }
  std::vector<FieldEntry> entries(1);
  uint16_t offset = 1;
  bool terminated = false;
  for (int k = 1; k <= 32; ++k) {
    const uint8_t* slot = slots.data() + (k - 1) * 16;
    if (slot[0] == 0x0D) {
      terminated = true;
      break;
    }
    FieldEntry entry;
    if (!MakeFieldEntry(d, slot, kSlot16, offset, entry)) {
      Release(d);
      return false;
    }
    entries.push_back(entry);
  }
  if (!terminated) {
    RejectNotDbase(d, true, "(", "Number of fields is out of range", ") [Use/OpenDbf]");
    return false;
  }
  d.FieldCount = static_cast<uint8_t>(entries.size() - 1);
  d.Fields = std::move(entries);
  BuildFieldIndex(d);
  return true;
}

// dBASE III and later: the header length and record length in the prolog,
// then field slots of 32 bytes (48 for dBASE 7, after 36 more bytes) up to
// the terminator.
bool Engine::ReadDbase3Header(TableDescriptor& d, const uint8_t* prolog) {
  const DbfVersion& format = *FindDbfVersion(prolog[0]);
  const bool extended = format.slotSize == kSlot48;
  d.HasMemo = format.memo;
  const int headerLength = U16(prolog + 8);
  const int areaSize = headerLength - format.prologSize;
  const int slotSize = format.slotSize;
  const int count = areaSize / slotSize;  // truncates toward zero, as div does
  // A header length past 32767 does not fit the engine's signed field; it is
  // refused like any other impossible field count.
  if (count < 1 || count > 255 || headerLength > 32767) {
    RejectNotDbase(d, true, " (", "Number of fields is out of range", ") [Use/OpenDbf]");
    return false;
  }
  d.FieldCount = static_cast<uint8_t>(count);
  // A count of 2^31 or more does not fit the signed record number. Read as a
  // negative number it would make the table look empty, so that its records
  // were never visited; the largest record number lets the walk reach every
  // record present and then meet the file's end like any other overlong count.
  const uint32_t count32 = U32(prolog + 4);
  d.RecordCount = count32 > static_cast<uint32_t>(INT32_MAX) ? INT32_MAX : static_cast<int32_t>(count32);
  d.HeaderLength = static_cast<int16_t>(headerLength);
  d.RecordLength = U16(prolog + 10);
  if (d.RecordLength == 0) {
    RejectNotDbase(d, true, " (", "Record length is out of range", ") [Use/OpenDbf]");
    return false;
  }
  d.RecordBuffer.assign(d.RecordLength, ' ');
  d.State = 1;
  std::vector<uint8_t> area(static_cast<size_t>(areaSize));
  if (extended) {
    uint8_t extension[36];
    if (ReadOrThrow(d, extension, 36) < 36) {
      Release(d);
      SetError(oserr::DiskReadError, "Error reading " + d.FileName + " [Use/OpenDbf]");
      return false;
    }
  }
  if (ReadOrThrow(d, area.data(), area.size()) < area.size()) {
    Release(d);
    SetError(oserr::DiskReadError, "Error reading " + d.FileName + " [Use/OpenDbf]");
    return false;
  }
  ErrorCode = 0;
  std::vector<FieldEntry> entries(1);
  uint16_t offset = 1;
  for (int k = 1; k <= count; ++k) {
    const uint8_t* slot = area.data() + static_cast<size_t>(k - 1) * slotSize;
    if (slot[0] == 0x0D) {
      d.FieldCount = static_cast<uint8_t>(k - 1);
      if (k == 1) ErrorCode = engerr::CorruptIndex;
      break;
    }
    FieldEntry entry;
    if (!MakeFieldEntry(d, slot, slotSize, offset, entry)) break;
    entries.push_back(entry);
  }
  if (ErrorCode != 0) {
    uint16_t code = ErrorCode;
    Release(d);
    SetError(code, "Error reading " + d.FileName + " [Use/OpenDbf]");
    return false;
  }
  d.Fields = std::move(entries);
  BuildFieldIndex(d);
  return true;
}

}  // namespace kestrel
