// Positioned reads and writes of a table file. Reads of an exclusively held
// table are served from its read window: a table walk then costs memory
// copies, not a system call per field. Writes always go straight to the file
// and are then absorbed by the window, so a read after a write sees the new
// bytes. The bulk operations hand a walk the window's records and take their
// changes back in one write.
#include <algorithm>
#include <cstring>

#include "kestrel/engine.h"
#include "read_window.h"

namespace kestrel {

// The descriptor owns its read window, whose type is the engine's own.
TableDescriptor::TableDescriptor() : Window(std::make_unique<ReadWindow>()) {}
TableDescriptor::~TableDescriptor() = default;
TableDescriptor::TableDescriptor(TableDescriptor&&) noexcept = default;
TableDescriptor& TableDescriptor::operator=(TableDescriptor&&) noexcept = default;

uint16_t Engine::ReadAt(TableDescriptor& d, uint64_t pos, uint8_t* out, size_t n, size_t* got, bool* seekFailed) {
  *got = 0;
  *seekFailed = false;
  if (!d.DataFile) return oserr::InvalidHandle;
  ReadWindow& w = *d.Window;
  if (!w.Enabled() || n > ReadWindow::kSize) {
    uint16_t rc = d.DataFile->Seek(pos);
    if (rc != 0) {
      *seekFailed = true;
      return rc;
    }
    return d.DataFile->Read(out, n, got);
  }
  if (!w.Answers(pos, n)) {
    uint16_t rc = w.Fill(*d.DataFile, pos, seekFailed);
    if (rc != 0) return rc;
  }
  *got = w.Copy(pos, out, n);
  return 0;
}

uint16_t Engine::WriteAt(TableDescriptor& d, uint64_t pos, const uint8_t* data, size_t n, size_t* written) {
  *written = 0;
  if (!d.DataFile) return oserr::InvalidHandle;
  // A write after a failed positioning would land at the old position:
  // nothing is written, and the caller sees a write that wrote nothing.
  uint16_t rc = d.DataFile->Seek(pos);
  if (rc != 0) {
    d.Window->Invalidate();
    return rc;
  }
  rc = d.DataFile->Write(data, n, written);
  d.Window->Absorb(pos, data, *written);
  if (rc != 0) d.Window->Invalidate();
  return rc;
}

Engine::RecordView Engine::RecordsAhead() {
  TableDescriptor* t = CurrentTable();
  if (!t || t->IsVirtual || !t->DataFile || !t->Window->Enabled() || t->AtEof || t->RecordLength == 0) return {};
  TableDescriptor& d = *t;
  const int32_t r = d.CurrentRecord;
  if (r < 1 || r > d.RecordCount) return {};
  const uint64_t pos = d.RecordPosition(r);
  ReadWindow& w = *d.Window;
  if (!w.Holds(pos, d.RecordLength)) {
    // A failed read is left to the record operations to report, with their
    // own texts; the view just stays empty.
    bool seekFailed = false;
    if (w.Fill(*d.DataFile, pos, &seekFailed) != 0 || !w.Holds(pos, d.RecordLength)) return {};
  }
  const uint64_t whole = w.HeldFrom(pos) / d.RecordLength;
  RecordView view;
  view.bytes = w.At(pos);
  view.first = r;
  view.count = static_cast<int32_t>(std::min<uint64_t>(whole, static_cast<uint64_t>(d.RecordCount - r) + 1));
  view.length = d.RecordLength;
  view.generation = w.Generation();
  return view;
}

bool Engine::WriteChanges(const RecordView& view, const std::vector<ByteChange>& changes) {
  TableDescriptor* t = CurrentTable();
  if (!t || t->IsVirtual || !t->DataFile || !view || changes.empty() || t->RecordLength != view.length) return false;
  TableDescriptor& d = *t;
  ReadWindow& w = *d.Window;
  const uint64_t base = d.RecordPosition(view.first);
  // The view must be the one RecordsAhead gave of this table's window, and
  // still good: the window has not been read afresh or dropped since.
  if (view.generation != w.Generation() || !w.Holds(base, uint64_t{view.length} * view.count) ||
      w.At(base) != view.bytes) {
    return false;
  }
  // Only bytes of the view's records, in order and not overlapping, of
  // records the table counts and may write.
  const uint64_t viewBytes = uint64_t{view.length} * view.count;
  for (size_t k = 0; k < changes.size(); ++k) {
    if (changes[k].at + changes[k].n > viewBytes) return false;
    if (k > 0 && changes[k].at < changes[k - 1].at + changes[k - 1].n) return false;
  }
  const uint64_t from = base + changes.front().at;
  const uint64_t end = base + changes.back().at + changes.back().n;
  if (end > d.RecordPosition(d.RecordCount) + d.RecordLength) return false;
  if (SharedAccess && !d.Exclusive) {
    const int32_t last = view.first + static_cast<int32_t>((end - 1 - base) / d.RecordLength);
    for (int32_t k = view.first + static_cast<int32_t>((from - base) / d.RecordLength); k <= last; ++k) {
      if (!MayWriteRecord(k)) return false;
    }
  }
  // The changes go into the window, and the window's stretches to the file:
  // changes closer than a few pages go in one write, the bytes between them
  // copied once more by the system, which costs less than another call.
  constexpr uint64_t kJoin = 16 * 1024;
  for (const ByteChange& c : changes) std::memcpy(w.At(base + c.at), c.bytes, c.n);
  uint16_t rc = 0;
  size_t first = 0;
  for (size_t k = 1; k <= changes.size() && rc == 0; ++k) {
    if (k < changes.size() && changes[k].at - (changes[k - 1].at + changes[k - 1].n) < kJoin) continue;
    const uint64_t at = base + changes[first].at;
    const auto n = static_cast<size_t>(base + changes[k - 1].at + changes[k - 1].n - at);
    size_t written = 0;
    rc = WriteAt(d, at, w.At(at), n, &written);
    if (rc == 0 && written != n) rc = oserr::DiskWriteError;
    first = k;
  }
  if (rc == 0) return true;
  // The window now holds bytes the file may not: it is read afresh.
  w.Invalidate();
  return false;
}

}  // namespace kestrel
