// Raw access to one field of any record, straight in the table file. Neither
// operation moves the position or touches the record buffer.
#include <algorithm>

#include "kestrel/engine.h"

namespace kestrel {

void Engine::FieldSpan(const TableDescriptor& d, uint8_t f, uint16_t& offset, uint16_t& size) {
  if (f == 0) {
    offset = 0;
    size = 1;
    return;
  }
  const FieldEntry& e = d.Fields[f];
  offset = e.Offset;
  // A header may declare fields that run past the record's length; their
  // bytes beyond it belong to the next record, so they are left alone.
  size =
      e.Offset >= d.RecordLength ? 0 : std::min<uint16_t>(e.Length, static_cast<uint16_t>(d.RecordLength - e.Offset));
}

void Engine::FieldPlace(uint8_t f, uint16_t& offset, uint16_t& size) {
  offset = 0;
  size = 0;
  const TableDescriptor* d = CurrentTable();
  if (d && f <= d->FieldCount) FieldSpan(*d, f, offset, size);
}

void Engine::Peek(uint8_t f, int32_t r, std::string& result) {
  result.clear();
  if (NoDatabaseInUse("Peek")) return;
  TableDescriptor& d = *CurrentTable();
  if (d.IsVirtual) {
    SetError(engerr::NotOnVirtualFile, "Operation cannot be used on virtual files. [Peek]");
    return;
  }
  if (r < 1 || f > d.FieldCount || r > d.RecordCount) return;
  uint16_t offset = 0, size = 0;
  FieldSpan(d, f, offset, size);
  // A file shorter than its header says: the missing tail reads as blanks.
  result.assign(size, ' ');
  size_t got = 0;
  bool seekFailed = false;
  uint16_t rc =
      ReadAt(d, d.RecordPosition(r) + offset, reinterpret_cast<uint8_t*>(result.data()), size, &got, &seekFailed);
  if (rc != 0) {
    result.clear();
    throw EInOutError(rc, "I/O error " + std::to_string(rc) + " reading " + d.FileName);
  }
  if (got < size) std::fill(result.begin() + static_cast<std::ptrdiff_t>(got), result.end(), ' ');
}

std::string Engine::Peek(uint8_t f, int32_t r) {
  std::string result;
  Peek(f, r, result);
  return result;
}

void Engine::Poke(const std::string& data, uint8_t f, int32_t r) {
  if (NoDatabaseInUse("Poke")) return;
  TableDescriptor& d = *CurrentTable();
  const std::string context = Cut("[Poke(" + data + "," + std::to_string(f) + "," + std::to_string(r) + ")]", 100);
  if (d.IsVirtual) {
    SetError(engerr::NotOnVirtualFile, Cut("Operation cannot be used on virtual files." + context, 142));
    return;
  }
  if (!MayWriteRecord(r)) {
    SetError(engerr::RecordNotLocked, Cut("Record not locked " + context, 118));
    return;
  }
  if (r < 1 || f > d.FieldCount || r > d.RecordCount) return;
  uint16_t offset = 0, size = 0;
  FieldSpan(d, f, offset, size);
  // Empty data has no byte to put into the deletion flag: nothing is written.
  const size_t n = std::min<size_t>(data.size(), size);
  if (n == 0) return;
  size_t written = 0;
  ErrorCode = WriteAt(d, d.RecordPosition(r) + offset, reinterpret_cast<const uint8_t*>(data.data()), n, &written);
  // A write the system refused is reported with the system's own error (a
  // device fault is no full disk); a write that came up short is the full
  // disk of 101.
  if (ErrorCode != 0) {
    SetError(ErrorCode, context);
  } else if (written != n) {
    SetError(oserr::DiskWriteError, context);
  }
}

}  // namespace kestrel
