// The read window: filled in one read, copied from, kept true across the
// engine's own writes, dropped when it cannot be.
#include "read_window.h"

#include <algorithm>
#include <cstring>

namespace kestrel {

uint16_t ReadWindow::Fill(File& file, uint64_t pos, bool* seekFailed) {
  Invalidate();
  uint16_t rc = file.Seek(pos);
  if (rc != 0) {
    *seekFailed = true;
    return rc;
  }
  bytes_.resize(kSize);
  size_t filled = 0;
  rc = file.Read(bytes_.data(), kSize, &filled);
  if (rc != 0) {
    bytes_.clear();
    return rc;
  }
  bytes_.resize(filled);
  start_ = pos;
  valid_ = true;
  return 0;
}

size_t ReadWindow::Copy(uint64_t pos, uint8_t* out, size_t n) const {
  const auto from = static_cast<size_t>(pos - start_);
  const size_t available = bytes_.size() > from ? bytes_.size() - from : 0;
  const size_t got = std::min(n, available);
  if (got) std::memcpy(out, bytes_.data() + from, got);
  return got;
}

void ReadWindow::Absorb(uint64_t pos, const uint8_t* data, size_t written) {
  if (!valid_ || written == 0) return;
  const uint64_t end = pos + written;
  const uint64_t windowEnd = start_ + bytes_.size();
  if (pos >= start_ && end <= windowEnd) {
    // (Bytes written from the window itself are there already.)
    uint8_t* into = At(pos);
    if (into != data) std::memcpy(into, data, written);
  } else if (end > start_ && (pos <= windowEnd || bytes_.size() < kSize)) {
    // across its edges, or growing a file whose end it holds
    Invalidate();
  }
}

void ReadWindow::Invalidate() {
  valid_ = false;
  ++generation_;
}

void ReadWindow::Release() {
  Invalidate();
  std::vector<uint8_t>().swap(bytes_);
}

}  // namespace kestrel
