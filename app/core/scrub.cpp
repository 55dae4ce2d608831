// The zero-byte scrub of one table: every field of every record is read; a
// field holding NUL bytes gets them replaced by blanks and is written back.
// Fields without NUL bytes are never written.
//
// The walk is defined record by record: every record, every field by its own
// number through Peek and Poke, SKIP(1). A table held exclusively is walked
// faster to the same end: the records its read window holds are searched for
// NUL bytes in one pass, the fields that hold some are repaired in the window,
// the window's stretch from the first repair to the last is written back in
// one write, and the walk steps over the records in between. The bytes, the counts, the hooks
// and the reports with their order stay those of the record-by-record walk.
#include "scrub.h"

#include <algorithm>
#include <cstdint>
#include <cstring>

#include "table_health.h"

namespace dbfclean {

namespace {

// Restores the engine's forced open mode however USE ends.
class ForcedMode {
 public:
  ForcedMode(kestrel::Engine& engine, bool readOnly) : engine_(engine), saved_(engine.ForcedOpenMode) {
    // A dry run writes nothing, so it opens the table for reading only (and
    // lets others read and write it meanwhile): a read-only table can be
    // inspected too.
    if (readOnly) engine.ForcedOpenMode = kestrel::openmode::Inspect;
  }
  ~ForcedMode() { engine_.ForcedOpenMode = saved_; }
  ForcedMode(const ForcedMode&) = delete;
  ForcedMode& operator=(const ForcedMode&) = delete;

 private:
  kestrel::Engine& engine_;
  uint16_t saved_;
};

// A field of the view that held NUL bytes.
struct Damage {
  int32_t record;
  uint8_t field;
  int32_t zeroes;
  bool lost;     // its value is no value of its type once repaired
  size_t start;  // where it begins in the view
  size_t patch;  // where its repaired bytes begin in the patch
};

class Walk {
 public:
  Walk(kestrel::Engine& engine, Counters& counters, const ScrubOptions& options)
      : engine_(engine), counters_(counters), options_(options) {}

  bool Written() const { return written_; }

  void Run() {
    total_ = options_.progress ? engine_.RecCount() : 0;
    LearnLayout();
    while (!engine_.dEOF()) {
      view_ = engine_.HideDeleted ? kestrel::Engine::RecordView{} : engine_.RecordsAhead();
      if (view_) {
        const int32_t count = view_.count;
        if (!ScrubView()) break;
        engine_.SKIP(count);
        continue;
      }
      ScrubRecord();
      if (options_.progress) options_.progress(engine_.RecNo(), total_);
      if (Stopped()) break;
      engine_.SKIP(1);
    }
  }

 private:
  // One record as the walk is defined: each field read with Peek and, when it
  // held NULs, written back with Poke.
  void ScrubRecord() {
    bool changed = false;
    const uint8_t n = engine_.FieldCount();
    if (options_.oddFlag) {
      engine_.Peek(0, engine_.RecNo(), bytes_);
      if (!bytes_.empty() && bytes_[0] != ' ' && bytes_[0] != '*') options_.oddFlag(engine_.RecNo());
    }
    // Each field is addressed by its own number. Looking it up by name
    // would reach only the first of two fields that share a name (names
    // are cut to 10 characters, so they do collide), and a name the lookup
    // cannot find would give 0, the deletion flag, which is not a field.
    for (int f = 1; f <= n; ++f) {
      const auto k = static_cast<uint8_t>(f);
      const int32_t r = engine_.RecNo();
      engine_.Peek(k, r, bytes_);
      size_t at = bytes_.find('\0');
      if (at == std::string::npos) continue;
      // Every NUL before `at` is a blank already, so searching on from the
      // last one finds the same bytes as searching from the start.
      int32_t zeroes = 0;
      while (at != std::string::npos) {
        bytes_[at] = ' ';
        ++zeroes;
        at = bytes_.find('\0', at + 1);
      }
      changed = true;
      Account(r, k, zeroes, Lost(k, reinterpret_cast<const uint8_t*>(bytes_.data()), bytes_.size()));
      if (options_.dryRun) continue;
      BeforeWrite();
      engine_.Poke(bytes_, k, r);
    }
    if (changed) ++counters_.RecordsFixed;
  }

  // Which field each byte of a record belongs to (0: none), as Peek and Poke
  // place them, and where the next byte that belongs to a field is. Fields
  // follow each other without overlapping: each starts where the one before
  // it ends.
  void LearnLayout() {
    const uint8_t n = engine_.FieldCount();
    for (int f = 1; f <= n; ++f) {
      auto& [offset, size] = place_[f];
      engine_.FieldPlace(static_cast<uint8_t>(f), offset, size);
      type_[f] = engine_.CurrentTable()->Fields[static_cast<size_t>(f)].Type;
      if (owner_.size() < size_t{offset} + size) owner_.resize(size_t{offset} + size, 0);
      for (size_t i = offset; i < size_t{offset} + size; ++i) owner_[i] = static_cast<uint8_t>(f);
    }
    nextField_.assign(owner_.size(), kNoField);
    for (size_t i = owner_.size(); i-- > 0;) {
      nextField_[i] = owner_[i] != 0 ? i : (i + 1 < owner_.size() ? nextField_[i + 1] : kNoField);
    }
  }

  // The records [RecNo(), RecNo() + count) of the view: their damage found,
  // then counted, shown and repaired as the record-by-record walk would do
  // it, with their repairs written in one write. Returns false when the stop
  // flag ends the walk after one of them.
  bool ScrubView() {
    if (options_.oddFlag) FindOddFlags();
    FindDamage(view_.bytes, size_t{view_.length} * static_cast<size_t>(view_.count), view_.length);
    return CommitDamage();
  }

  // The records of the view whose deletion flag is neither blank nor '*',
  // told in order. Flags are looked at eight at a time without a branch
  // each: a table of clean flags costs a few instructions a record.
  void FindOddFlags() {
    const uint8_t* flag = view_.bytes;
    const size_t step = view_.length;
    auto odd = [](uint8_t c) { return c != ' ' && c != '*'; };
    int32_t i = 0;
    for (; i + 8 <= view_.count; i += 8, flag += 8 * step) {
      // Blank (0x20) and '*' (0x2A) differ in bits 1 and 3 only, which are
      // both clear or both set: with them set, eight clean flags read as
      // eight 0x2A, and no clean flag has the one without the other.
      uint64_t eight = 0;
      for (size_t k = 0; k < 8; ++k) eight |= uint64_t{flag[k * step]} << (8 * k);
      const bool clean = (eight | 0x0A0A0A0A0A0A0A0AULL) == 0x2A2A2A2A2A2A2A2AULL &&
                         ((eight ^ (eight >> 2)) & 0x0202020202020202ULL) == 0;
      if (clean) continue;
      for (int32_t k = 0; k < 8; ++k) {
        if (odd(flag[static_cast<size_t>(k) * step])) options_.oddFlag(view_.first + i + k);
      }
    }
    for (; i < view_.count; ++i, flag += step) {
      if (odd(*flag)) options_.oddFlag(view_.first + i);
    }
  }

  // Every field of the view's `bytes` that holds a NUL byte, into damage_,
  // with its repaired bytes into patch_ (not in a dry run): one pass of the
  // search over the view, and per damaged field one look at its bytes.
  void FindDamage(const uint8_t* view, size_t bytes, size_t length) {
    damage_.clear();
    // The repaired bytes of all the view's damaged fields fit in its size.
    if (!options_.dryRun && patch_.size() < bytes) patch_.resize(bytes);
    size_t patchUsed = 0;
    size_t record = 0, recordStart = 0;  // the record `at` is in, kept by steps: no division per NUL
    const size_t firstField = nextField_.empty() ? kNoField : nextField_[0];
    const auto* at = static_cast<const uint8_t*>(std::memchr(view, 0, bytes));
    while (at) {
      const auto pos = static_cast<size_t>(at - view);
      while (pos >= recordStart + length) {
        recordStart += length;
        ++record;
      }
      const size_t inRecord = pos - recordStart;
      const uint8_t f = inRecord < owner_.size() ? owner_[inRecord] : 0;
      size_t next;
      if (f != 0) {
        const size_t start = recordStart + place_[f].first;
        const size_t size = place_[f].second;
        int32_t zeroes = 0;
        if (options_.dryRun) {
          for (size_t i = pos; i < start + size; ++i) zeroes += view[i] == 0;
        } else {
          uint8_t* out = patch_.data() + patchUsed;
          for (size_t i = 0; i < size; ++i) {
            const uint8_t c = view[start + i];
            zeroes += c == 0;
            out[i] = c == 0 ? ' ' : c;
          }
        }
        damage_.push_back(
            {view_.first + static_cast<int32_t>(record), f, zeroes, Lost(f, view + start, size), start, patchUsed});
        if (!options_.dryRun) patchUsed += size;
        next = start + size;
      } else {
        // A NUL outside every field (the deletion flag, a gap, the bytes
        // past the last field) is left alone, and so are the bytes after it
        // up to the next that belongs to a field: a record far longer than
        // its fields costs one search per record, not one per byte.
        const size_t ahead = inRecord < nextField_.size() ? nextField_[inRecord] : kNoField;
        if (ahead != kNoField) {
          next = recordStart + ahead;
        } else if (firstField != kNoField) {
          next = recordStart + length + firstField;
        } else {
          next = bytes;  // no byte of a record belongs to a field
        }
      }
      at = next < bytes ? static_cast<const uint8_t*>(std::memchr(view + next, 0, bytes - next)) : nullptr;
    }
  }

  // The damage found, counted and written, damaged record by damaged record.
  bool CommitDamage() {
    // Counted and shown damaged record by damaged record, as the walk would.
    // A repair is due on disk from the moment the walk would have poked it,
    // so whatever ends the walk early (a hook that throws, the stop flag)
    // first writes the repairs due. Records without NULs change nothing:
    // the run of them is passed whole.
    const Counters before = counters_;
    size_t due = 0;
    auto writeDue = [&] {
      const size_t n = due;
      due = 0;  // a report that ends the walk inside the write must not bring it here again
      WriteDue(n, before);
    };
    try {
      for (size_t e = 0; e < damage_.size();) {
        const int32_t r = damage_[e].record;
        for (; e < damage_.size() && damage_[e].record == r; ++e) {
          Account(r, damage_[e].field, damage_[e].zeroes, damage_[e].lost);
          if (options_.dryRun) continue;
          BeforeWrite();
          due = e + 1;
        }
        ++counters_.RecordsFixed;
        if (Stopped()) {
          writeDue();
          if (options_.progress) options_.progress(r, total_);
          return false;
        }
      }
      writeDue();
      if (options_.progress) options_.progress(view_.first + view_.count - 1, total_);
    } catch (...) {
      writeDue();
      throw;
    }
    return !Stopped();
  }

  // Writes the first `due` repairs of the view in one write. Should that
  // fail, they are written again one by one, in order, and counted again from
  // `before` as the walk counts them: the first that fails is then reported
  // as its Poke, with every repair before it on disk and the counters as
  // they stood at that Poke.
  void WriteDue(size_t due, const Counters& before) {
    if (due == 0) return;
    changes_.clear();
    for (size_t i = 0; i < due; ++i) {
      const Damage& d = damage_[i];
      changes_.push_back({d.start, patch_.data() + d.patch, place_[d.field].second});
    }
    if (engine_.WriteChanges(view_, changes_)) return;
    counters_ = before;
    for (size_t i = 0; i < due; ++i) {
      const Damage& d = damage_[i];
      counters_.ZeroesFixed += d.zeroes;
      bytes_.assign(reinterpret_cast<const char*>(patch_.data()) + d.patch, place_[d.field].second);
      engine_.Poke(bytes_, d.field, d.record);
      if (i + 1 == damage_.size() || damage_[i + 1].record != d.record) ++counters_.RecordsFixed;
    }
  }

  void Account(int32_t record, uint8_t field, int32_t zeroes, bool lost) {
    counters_.ZeroesFixed += zeroes;
    if (options_.repaired || (lost && options_.lost)) {
      engine_.Field(field, name_);
      const FieldRepair repair{record, field, name_, zeroes, type_[field], lost};
      if (options_.repaired) options_.repaired(repair);
      if (lost && options_.lost) options_.lost(repair);
    }
  }

  // Whether the repaired bytes of field `f` (NULs still in them read as the
  // blanks they become) lost their value. Only a field that held NULs can
  // have lost one: a blank among digits comes from a NUL the repair made one.
  bool Lost(uint8_t f, const uint8_t* bytes, size_t size) const {
    return (options_.repaired || options_.lost) && LostValue(type_[f], bytes, size);
  }

  bool Stopped() const {
    return (options_.stop && options_.stop->load(std::memory_order_relaxed)) ||
           (options_.giveBack && options_.giveBack->load(std::memory_order_relaxed));
  }

  void BeforeWrite() {
    if (!written_ && options_.beforeFirstWrite) options_.beforeFirstWrite();
    written_ = true;
  }

  kestrel::Engine& engine_;
  Counters& counters_;
  const ScrubOptions& options_;
  int32_t total_ = 0;
  static constexpr size_t kNoField = SIZE_MAX;
  std::vector<uint8_t> owner_;
  std::vector<size_t> nextField_;  // [i]: the first byte from i on that belongs to a field
  std::pair<uint16_t, uint16_t> place_[256]{};
  char type_[256]{};
  std::vector<Damage> damage_;
  std::vector<uint8_t> patch_;  // the repaired bytes of the damaged fields, one after the other
  std::vector<kestrel::Engine::ByteChange> changes_;
  kestrel::Engine::RecordView view_;  // the records being scrubbed a window at a time
  std::string bytes_;
  std::string name_;
  bool written_ = false;
};

// The table open in the current area as if its header counted `records`.
void TakeCount(kestrel::Engine& engine, int64_t records) {
  kestrel::TableDescriptor* t = engine.CurrentTable();
  if (!t) return;
  const bool hadRecords = t->RecordCount >= 1;
  t->RecordCount = static_cast<int32_t>(std::min<int64_t>(records, INT32_MAX));
  // USE stood on the first record only when the header counted one.
  if (t->RecordCount >= 1 && !hadRecords) engine.GoTop();
}

// Opens the table at `path` in a free work area (for reading only when
// `readOnly`), runs `work` on it, and closes it however `work` ends.
template <typename Work>
void WithTable(kestrel::Engine& engine, const std::string& path, bool readOnly, Work&& work) {
  const uint8_t area = engine.CurrentArea();
  auto cleanUp = [&] {
    engine.USE("");
    engine.Select(area);
  };
  try {
    engine.Select(0);
    {
      ForcedMode mode(engine, readOnly);
      engine.USE(path + " EXCLUSIVE");
    }
    work();
  } catch (...) {
    cleanUp();
    throw;
  }
  cleanUp();
}

}  // namespace

void ReadPastEnd(kestrel::Engine& engine, const std::string& path, int32_t record) {
  WithTable(engine, path, true, [&] {
    if (kestrel::TableDescriptor* t = engine.CurrentTable(); t && record >= 1 && record <= t->RecordCount) {
      engine.GetDbfRecord(*t, record);
    }
  });
}

void ScrubTable(kestrel::Engine& engine, const std::string& path, Counters& counters, const ScrubOptions& options) {
  WithTable(engine, path, options.dryRun, [&] {
    if (options.records >= 0) TakeCount(engine, options.records);
    Walk walk(engine, counters, options);
    walk.Run();
    // A table is done when its repairs are on the disk, not in the system's
    // cache: the report that says so must outlast a power cut.
    if (walk.Written()) engine.Commit();
  });
}

}  // namespace dbfclean
