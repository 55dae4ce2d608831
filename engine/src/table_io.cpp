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

uint16_t Engine::FillWindow(TableDescriptor& d, uint64_t pos, bool* seekFailed) {
  ReadWindow& w = d.Window;
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
  return 0;
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
    uint16_t rc = FillWindow(d, pos, seekFailed);
    if (rc != 0) return rc;
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
      // (Bytes written from the window itself are there already.)
      uint8_t* into = w.Bytes.data() + (pos - w.Start);
      if (into != data) std::memcpy(into, data, *written);
    } else if (end > w.Start && (pos <= wEnd || w.Bytes.size() < kWindowSize)) {
      // overlaps the window, or grows a file whose end the window holds
      w.Valid = false;
    }
  }
  if (rc != 0) w.Valid = false;
  return rc;
}

const uint8_t* Engine::RecordsAhead(int32_t& count, uint16_t& length) {
  count = 0;
  length = 0;
  TableDescriptor* t = CurrentTable();
  if (!t || t->IsVirtual || !t->DataFile || !t->Window.Enabled || t->AtEof || t->RecordLength == 0) return nullptr;
  TableDescriptor& d = *t;
  const int32_t r = d.CurrentRecord;
  if (r < 1 || r > d.RecordCount) return nullptr;
  const uint64_t pos = d.RecordPosition(r);
  ReadWindow& w = d.Window;
  auto holds = [&] { return w.Valid && pos >= w.Start && pos + d.RecordLength <= w.Start + w.Bytes.size(); };
  if (!holds()) {
    // A failed read is left to the record operations to report, with their
    // own texts; the view just stays empty.
    bool seekFailed = false;
    if (FillWindow(d, pos, &seekFailed) != 0 || !holds()) return nullptr;
  }
  const uint64_t whole = (w.Start + w.Bytes.size() - pos) / d.RecordLength;
  count = static_cast<int32_t>(std::min<uint64_t>(whole, static_cast<uint64_t>(d.RecordCount - r) + 1));
  length = d.RecordLength;
  return w.Bytes.data() + (pos - w.Start);
}

bool Engine::WriteChanges(int32_t r, const std::vector<ByteChange>& changes) {
  TableDescriptor* t = CurrentTable();
  if (!t || t->IsVirtual || !t->DataFile || changes.empty() || r < 1 || r > t->RecordCount || t->RecordLength == 0) {
    return false;
  }
  TableDescriptor& d = *t;
  ReadWindow& w = d.Window;
  const uint64_t base = d.RecordPosition(r);
  const uint64_t from = base + changes.front().at;
  const uint64_t end = base + changes.back().at + changes.back().n;
  // Only bytes of records the table counts, each of them writable, that the
  // window holds.
  if (end > d.RecordPosition(d.RecordCount) + d.RecordLength) return false;
  for (size_t k = 1; k < changes.size(); ++k) {
    if (changes[k].at < changes[k - 1].at + changes[k - 1].n) return false;  // not in order, or overlapping
  }
  if (!w.Valid || from < w.Start || end > w.Start + w.Bytes.size()) return false;
  if (SharedAccess && !d.Exclusive) {
    const int32_t last = r + static_cast<int32_t>((end - 1 - base) / d.RecordLength);
    for (int32_t k = r + static_cast<int32_t>((from - base) / d.RecordLength); k <= last; ++k) {
      if (!MayWriteRecord(k)) return false;
    }
  }
  // The changes go into the window, and the window's stretches to the file:
  // changes closer than a few pages go in one write, the bytes between them
  // copied once more by the system, which costs less than another call.
  constexpr uint64_t kJoin = 16 * 1024;
  for (const ByteChange& c : changes) std::memcpy(w.Bytes.data() + (base + c.at - w.Start), c.bytes, c.n);
  uint16_t rc = 0;
  size_t first = 0;
  for (size_t k = 1; k <= changes.size() && rc == 0; ++k) {
    if (k < changes.size() && changes[k].at - (changes[k - 1].at + changes[k - 1].n) < kJoin) continue;
    const uint64_t at = base + changes[first].at;
    const size_t n = static_cast<size_t>(base + changes[k - 1].at + changes[k - 1].n - at);
    size_t written = 0;
    rc = WriteAt(d, at, w.Bytes.data() + (at - w.Start), n, &written);
    if (rc == 0 && written != n) rc = 101;
    first = k;
  }
  if (rc == 0) return true;
  // The window now holds bytes the file may not: it is read afresh.
  w.Valid = false;
  return false;
}

}  // namespace kestrel
