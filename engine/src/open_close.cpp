// Opening a table file into a descriptor, closing it, and closing the table
// of the current work area with everything it owns.
#include "kestrel/engine.h"

namespace kestrel {

void Engine::OpenDbf(TableDescriptor& d) {
  d.FileName = DefaultExtension(d.FileName, "dbf");
  const std::string openName = d.OpenName.empty() ? d.FileName : DefaultExtension(d.OpenName, "dbf");
  ErrorCode = platform_.OpenFile(openName, FileMode, &d.DataFile);
  if (ErrorCode != 0) {
    d.DataFile.reset();
    SetError(ErrorCode, "Failure to open " + d.FileName + " [USE/OpenDbf]");
    return;
  }
  uint64_t size = 0;
  uint16_t rc = d.DataFile->Size(&size);
  if (rc != 0) throw EInOutError(rc, "I/O error " + std::to_string(rc) + " reading " + d.FileName);
  ErrorCode = 0;
  if (!ReadHeader(d, size)) return;
  // The count is the header's; it is not checked against the file size.
  if (d.RecordCount >= 1) {
    d.CurrentRecord = 1;
    d.AtEof = false;
    d.AtBof = false;
  } else {
    d.CurrentRecord = 0;
    d.AtEof = true;
    d.AtBof = true;
  }
}

void Engine::CloseDbf(TableDescriptor& d) {
  ErrorCode = 0;
  if (d.DataFile) {
    ErrorCode = d.DataFile->Close();
    d.DataFile.reset();
  } else {
    ErrorCode = oserr::FileNotOpen;
  }
  d.State = 0;
  std::vector<uint8_t>().swap(d.RecordBuffer);
  std::vector<FieldEntry>().swap(d.Fields);
  d.FieldIndex.clear();
  d.Window.Valid = false;
  std::vector<uint8_t>().swap(d.Window.Bytes);
  if (ErrorCode != 0) SetError(ErrorCode, "File:  " + d.FileName + " [CloseDbf(" + d.FileName + ")]");
}

void Engine::CloseArea() {
  if (!areas_[current_]) return;
  Unlock();
  // The slot is emptied before the file is closed, so that a close failure
  // that halts the program does not meet this table again on the way out.
  std::unique_ptr<TableDescriptor> d = std::move(areas_[current_]);
  std::vector<uint8_t>().swap(d->SpareRecord);
  CloseDbf(*d);
  if (d->OwnsAppRecord) {
    std::vector<uint8_t>().swap(d->OwnedAppRecord);
    d->AppRecord = nullptr;
  }
}

}  // namespace kestrel
