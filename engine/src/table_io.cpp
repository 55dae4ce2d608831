// Positioned reads and writes of a table file. Reads of an exclusively held
// table are served from a window of the file: a table walk then costs memory
// copies, not a system call per field. Writes always go straight to the file
// and are copied into the window, so a read after a write sees the new bytes.
#include <algorithm>
#include <cstring>

#include "kestrel/engine.h"

namespace kestrel {

namespace {
constexpr size_t kWindowSize = 256 * 1024;
}

uint16_t Engine::ReadAt(TableDescriptor& d, uint64_t pos, uint8_t* out, size_t n, size_t* got, bool* seekFailed) {
  *got = 0;
  *seekFailed = false;
  if (!d.DataFile) return oserr::InvalidHandle;
  ReadWindow& w = d.Window;
  if (!w.Enabled || n > kWindowSize) {
    uint16_t rc = d.DataFile->Seek(pos);
    if (rc != 0) {
      *seekFailed = true;
      return rc;
    }
    return d.DataFile->Read(out, n, got);
  }
  const bool inside = w.Valid && pos >= w.Start && pos - w.Start <= w.Bytes.size() &&
                      (pos + n <= w.Start + w.Bytes.size() || w.Bytes.size() < kWindowSize);
  if (!inside) {
    w.Valid = false;
    uint16_t rc = d.DataFile->Seek(pos);
    if (rc != 0) {
      *seekFailed = true;
      return rc;
    }
    w.Bytes.resize(kWindowSize);
    size_t filled = 0;
    rc = d.DataFile->Read(w.Bytes.data(), kWindowSize, &filled);
    if (rc != 0) {
      w.Bytes.clear();
      return rc;
    }
    w.Bytes.resize(filled);
    w.Start = pos;
    w.Valid = true;
  }
  // A window shorter than its size ends where the file ends.
  const size_t from = static_cast<size_t>(pos - w.Start);
  const size_t available = w.Bytes.size() > from ? w.Bytes.size() - from : 0;
  *got = std::min(n, available);
  if (*got) std::memcpy(out, w.Bytes.data() + from, *got);
  return 0;
}

uint16_t Engine::WriteAt(TableDescriptor& d, uint64_t pos, const uint8_t* data, size_t n, size_t* written) {
  *written = 0;
  if (!d.DataFile) return oserr::InvalidHandle;
  // A write after a failed positioning would land at the old position:
  // nothing is written, and the caller sees a write that wrote nothing.
  uint16_t rc = d.DataFile->Seek(pos);
  if (rc != 0) {
    d.Window.Valid = false;
    return rc;
  }
  rc = d.DataFile->Write(data, n, written);
  ReadWindow& w = d.Window;
  if (w.Valid && *written > 0) {
    const uint64_t end = pos + *written;
    const uint64_t wEnd = w.Start + w.Bytes.size();
    if (pos >= w.Start && end <= wEnd) {
      std::memcpy(w.Bytes.data() + (pos - w.Start), data, *written);
    } else if (end > w.Start && (pos <= wEnd || w.Bytes.size() < kWindowSize)) {
      // overlaps the window, or grows a file whose end the window holds
      w.Valid = false;
    }
  }
  if (rc != 0) w.Valid = false;
  return rc;
}

}  // namespace kestrel
