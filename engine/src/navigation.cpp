// Moving through a table in record order: GoTop, SKIP, the end and beginning
// flags, the record number, and the record count refresh for shared tables.
#include <algorithm>
#include <limits>

#include "kestrel/engine.h"
#include "read_window.h"

namespace kestrel {

namespace {
bool Accepted(const TableDescriptor& d, bool hideDeleted) {
  return !hideDeleted || d.RecordBuffer.empty() || d.RecordBuffer[0] != '*';
}
}  // namespace

void Engine::RefreshRecordCount(TableDescriptor& d) {
  if (d.Exclusive || !d.DataFile || d.RecordLength == 0) return;
  uint64_t size = 0;
  if (d.DataFile->Size(&size) != 0) return;  // the old count stays
  int64_t count = (static_cast<int64_t>(size) - static_cast<uint16_t>(d.HeaderLength)) / d.RecordLength;
  if (count > std::numeric_limits<int32_t>::max()) count = std::numeric_limits<int32_t>::max();
  d.RecordCount = static_cast<int32_t>(count);
}

void Engine::TakeEndPosition(TableDescriptor& d) {
  ClearRecord();
  d.CurrentRecord = d.RecordCount + 1;
  d.AtEof = true;
}

void Engine::GoTop() {
  ErrorCode = 0;
  if (NoDatabaseInUse("GoTop")) return;
  TableDescriptor& d = *CurrentTable();
  if (d.RecordCount == 0) return;
  int32_t k = 1;
  GetDbfRecord(d, k);
  if (ErrorCode != 0) return;
  LoadAppRecord();
  while (!Accepted(d, HideDeleted) && !d.AtEof && ErrorCode == 0) {
    ++k;
    if (k <= d.RecordCount) {
      GetDbfRecord(d, k);
      if (ErrorCode == 0) LoadAppRecord();
    } else {
      TakeEndPosition(d);
      d.AtBof = true;
    }
  }
}

void Engine::SKIP(int32_t n) {
  ErrorCode = 0;
  if (NoDatabaseInUse("SKIP()")) return;
  TableDescriptor& d = *CurrentTable();
  if (n == 0) {
    if (d.RecordCount > 0 && !d.AtEof) {
      GetDbfRecord(d, d.CurrentRecord);
      if (ErrorCode == 0) LoadAppRecord();
    } else {
      ClearRecord();
    }
    return;
  }
  if (d.AtEof && n > 0) {
    SetError(engerr::BeyondRange, "Database \"" + d.FileName + "\" is past EOF. [SKIP]");
    return;
  }
  if (d.RecordCount == 0) {
    d.AtBof = true;
    d.AtEof = true;
    SetError(engerr::BeyondRange, "Database \"" + d.FileName + "\" is empty. [SKIP]");
    return;
  }
  if (n < 0 && dBOF()) return;
  d.AtBof = false;
  d.AtEof = false;
  int32_t counted = 0;
  bool hitEnd = false;
  // A record passed over on the way forward is read only to be left again.
  // Those the window holds in full would be read without fail, so they are
  // stepped over unread; the last one before the goal is read as usual, so
  // that the record buffer is left as a plain walk would leave it, also when
  // the read of the goal fails.
  if (n > 2 && !HideDeleted && d.Window->Enabled() && d.RecordLength > 0 && d.CurrentRecord < d.RecordCount) {
    const uint64_t held = d.Window->HeldFrom(d.RecordPosition(d.CurrentRecord + 1)) / d.RecordLength;
    const int64_t step =
        std::min<int64_t>({static_cast<int64_t>(held), n - 2, static_cast<int64_t>(d.RecordCount) - d.CurrentRecord});
    d.CurrentRecord += static_cast<int32_t>(step);
    counted = static_cast<int32_t>(step);
  }
  do {
    int32_t k;
    if (n > 0) {
      k = d.CurrentRecord + 1;
      RefreshRecordCount(d);
      if (k > d.RecordCount) {
        hitEnd = true;
        k = d.RecordCount;  // the last record is read once more
      }
    } else {
      k = d.CurrentRecord - 1;
      if (k <= 0) {
        hitEnd = true;
        k = 1;
      }
    }
    GetDbfRecord(d, k);
    if (ErrorCode != 0) return;
    LoadAppRecord();
    if (Accepted(d, HideDeleted)) counted += n > 0 ? 1 : -1;
  } while (counted != n && !hitEnd);
  if (hitEnd) {
    if (n > 0) {
      TakeEndPosition(d);
    } else {
      GoTop();
      d.AtBof = true;
      if (d.AtEof) ClearRecord();
    }
  }
}

bool Engine::dEOF() {
  if (NoDatabaseInUse("dEOF")) return true;
  TableDescriptor& d = *CurrentTable();
  RefreshRecordCount(d);
  if (d.CurrentRecord > d.RecordCount) d.AtEof = true;
  return d.AtEof;
}

bool Engine::dBOF() {
  if (NoDatabaseInUse("dBOF")) return true;
  return CurrentTable()->AtBof;
}

int32_t Engine::RecNo() {
  if (NoDatabaseInUse("RecNo")) return 0;
  return CurrentTable()->CurrentRecord;
}

}  // namespace kestrel

namespace kestrel {

int32_t Engine::RecCount() {
  if (NoDatabaseInUse("RecCount")) return 0;
  TableDescriptor& d = *CurrentTable();
  RefreshRecordCount(d);
  return d.RecordCount;
}

}  // namespace kestrel
