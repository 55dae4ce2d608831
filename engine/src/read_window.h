// The read window of a table held exclusively: one stretch of the table
// file, read in one piece, that answers the record reads and Peek of a walk,
// so that walking a table costs memory copies instead of a system call per
// field. Nobody else can change such a table, so what the window holds stays
// true until the engine itself writes, and every write that reaches the file
// is absorbed here: a read after a write sees the new bytes.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "kestrel/platform.h"

namespace kestrel {

class ReadWindow {
 public:
  static constexpr size_t kSize = 256 * 1024;

  bool Enabled() const { return enabled_; }
  void Enable(bool on) { enabled_ = on; }

  // The number of bytes it holds from `pos` on (0 when `pos` is outside).
  uint64_t HeldFrom(uint64_t pos) const {
    return valid_ && pos >= start_ && pos < start_ + bytes_.size() ? start_ + bytes_.size() - pos : 0;
  }
  // Whether it holds [pos, pos + n) in full.
  bool Holds(uint64_t pos, uint64_t n) const { return n > 0 && HeldFrom(pos) >= n; }
  // Whether a read of [pos, pos + n) is answered from it: held in full, or
  // begun inside (or right at the end of) a window that ends where the file
  // ends, so that the read comes up short there as the file's would.
  bool Answers(uint64_t pos, size_t n) const {
    if (!valid_ || pos < start_ || pos - start_ > bytes_.size()) return false;
    return pos + n <= start_ + bytes_.size() || bytes_.size() < kSize;
  }

  // Reads the window afresh from `pos` on; 0 or the failure, with
  // `*seekFailed` set when the positioning failed.
  uint16_t Fill(File& file, uint64_t pos, bool* seekFailed);

  // Copies what it holds of [pos, pos + n) (Answers must be true): the
  // number of bytes, fewer at the end of the file.
  size_t Copy(uint64_t pos, uint8_t* out, size_t n) const;

  // Its bytes from `pos` on (HeldFrom(pos) must not be 0).
  uint8_t* At(uint64_t pos) { return bytes_.data() + (pos - start_); }
  const uint8_t* At(uint64_t pos) const { return bytes_.data() + (pos - start_); }

  // `written` bytes of `data` reached the file at `pos`: the bytes it holds
  // of them are updated; a write it cannot follow (across its edges, or one
  // that grows a file whose end it holds) drops it.
  void Absorb(uint64_t pos, const uint8_t* data, size_t written);

  // Forgets what it holds (it may no longer be what the file holds).
  void Invalidate();
  // Forgets it and gives its memory back.
  void Release();

  // Goes up each time its bytes are read afresh or dropped: a view of them
  // handed out stays good while it stays the same.
  uint64_t Generation() const { return generation_; }

 private:
  bool enabled_ = false;
  bool valid_ = false;
  uint64_t start_ = 0;
  std::vector<uint8_t> bytes_;
  uint64_t generation_ = 0;
};

}  // namespace kestrel
