// Record-lock bookkeeping and the byte-range locks behind it. Lock positions
// are the file's own positions shifted up by LockBase, so a lock never blocks
// the data of a table smaller than that.
#include <algorithm>

#include "kestrel/engine.h"

namespace kestrel {

namespace {
void RemoveEntry(TableDescriptor& d, size_t index) {
  d.LockList.erase(d.LockList.begin() + static_cast<std::ptrdiff_t>(index));
  --d.LockCount;
  if (d.LockCount == 0) d.LockState = 0;
}
}  // namespace

uint16_t Engine::LockRange(bool unlock, File* file, uint32_t offset, uint32_t length) {
  if (!SharedAccess) return 0;
  if (file == nullptr) return oserr::InvalidHandle;
  return unlock ? file->UnlockRegion(offset, length) : file->LockRegion(offset, length);
}

uint32_t Engine::RecordLockOffset(const TableDescriptor& d, int32_t n) const {
  // 32-bit arithmetic, as the lock positions are 32-bit.
  return LockBase + static_cast<uint32_t>(static_cast<uint16_t>(d.HeaderLength)) +
         static_cast<uint32_t>(n - 1) * d.RecordLength;
}

uint16_t Engine::UnlockRecordRange(int32_t n) {
  TableDescriptor* d = CurrentTable();
  if (!d) return 0;
  return LockRange(true, d->DataFile.get(), RecordLockOffset(*d, n), d->RecordLength);
}

bool Engine::IsLocked(int32_t n) {
  if (NoDatabaseInUse("IsLocked")) return false;
  TableDescriptor& d = *CurrentTable();
  if (d.IsVirtual) {
    SetError(engerr::NotOnVirtualFile, "[IsLocked]");
    return false;
  }
  if (d.LockState == 1) return true;
  return std::find(d.LockList.begin(), d.LockList.end(), n) != d.LockList.end();
}

bool Engine::UnlockRec(int32_t n) {
  bool result = true;
  ErrorCode = 0;
  if (NoDatabaseInUse("UnlockRec")) return result;
  TableDescriptor& d = *CurrentTable();
  auto notLocked = [&](int32_t rec) {
    ErrorCode = engerr::InvalidParameter;
    ErrorText = "Record not locked. [UnlockRec(" + std::to_string(rec) + ")]";
    return false;
  };
  if (n >= 1) {
    auto it = std::find(d.LockList.begin(), d.LockList.end(), n);
    if (it == d.LockList.end()) return notLocked(n);
    ErrorCode = UnlockRecordRange(n);
    RemoveEntry(d, static_cast<size_t>(it - d.LockList.begin()));
    return ErrorCode == 0;
  }
  if (n == -1 || n == -2) {
    // Nothing to release at either end of an empty list: that is a
    // record that is not locked.
    if (d.LockList.empty()) return notLocked(n);
    size_t index = n == -2 ? 0 : d.LockList.size() - 1;
    ErrorCode = UnlockRecordRange(d.LockList[index]);
    RemoveEntry(d, index);
    return ErrorCode == 0;
  }
  if (n == -3) {
    uint16_t failure = 0;
    while (!d.LockList.empty()) {
      uint16_t rc = UnlockRecordRange(d.LockList.front());
      if (rc != 0) failure = rc;
      RemoveEntry(d, 0);
    }
    ErrorCode = failure;
    return failure == 0;
  }
  ErrorCode = engerr::InvalidParameter;
  ErrorText = "[UnlockRec(" + std::to_string(n) + ")]";
  return false;
}

void Engine::Unlock() {
  ErrorCode = 0;
  if (NoDatabaseInUse("Unlock")) return;
  TableDescriptor& d = *CurrentTable();
  if (d.IsVirtual || d.LockState == 0) return;
  if (d.LockState == 3) {
    UnlockRec(-3);
  } else if (SharedAccess && !d.Exclusive) {
    if (d.LockState == 1) {
      ErrorCode = LockRange(true, d.DataFile.get(), LockBase + 1, WholeTableLockLength);
    } else if (d.LockState == 2) {
      ErrorCode = LockRange(true, d.DataFile.get(), LockBase + 1, 1);
    }
  }
  d.LockState = 0;
}

bool Engine::LockRec(int32_t n) {
  ErrorCode = 0;
  if (NoDatabaseInUse("LockRec")) return false;
  TableDescriptor& d = *CurrentTable();
  if (d.LockState == 1) return true;  // the whole table is held already
  if (n < 1 || d.LockState == 2 || d.LockCount == 0xFFFF) {
    ErrorCode = engerr::InvalidParameter;
    ErrorText = "[LockRec(" + std::to_string(n) + ")]";
    return false;
  }
  if (std::find(d.LockList.begin(), d.LockList.end(), n) != d.LockList.end()) return true;
  uint16_t rc = LockRange(false, d.DataFile.get(), RecordLockOffset(d, n), d.RecordLength);
  if (rc != 0) {
    ErrorCode = rc;
    ErrorText = "Record is locked elsewhere. [LockRec(" + std::to_string(n) + ")]";
    return false;
  }
  d.LockList.push_back(n);
  ++d.LockCount;
  d.LockState = 3;
  return true;
}

bool Engine::LockWhole(uint8_t state, uint32_t length, const char* tag, const char* what) {
  ErrorCode = 0;
  if (NoDatabaseInUse(tag)) return false;
  TableDescriptor& d = *CurrentTable();
  if (d.LockState == state) return true;
  if (d.LockState != 0) {
    ErrorCode = engerr::InvalidParameter;
    ErrorText = std::string("[") + tag + "]";
    return false;
  }
  // Unlock releases platform locks of shared tables only, so an exclusive
  // table records the state without taking one.
  if (SharedAccess && !d.Exclusive) {
    uint16_t rc = LockRange(false, d.DataFile.get(), LockBase + 1, length);
    if (rc != 0) {
      ErrorCode = rc;
      ErrorText = std::string(what) + " is locked elsewhere. [" + tag + "]";
      return false;
    }
  }
  d.LockState = state;
  return true;
}

bool Engine::LockHeader() { return LockWhole(2, 1, "LockHeader", "Header"); }

bool Engine::LockTable() { return LockWhole(1, WholeTableLockLength, "LockTable", "Table"); }

bool Engine::MayWriteRecord(int32_t r) {
  TableDescriptor* d = CurrentTable();
  if (!d) return false;
  return !SharedAccess || d->Exclusive || d->LockState == 1 || (d->LockState != 2 && IsLocked(r));
}

}  // namespace kestrel
