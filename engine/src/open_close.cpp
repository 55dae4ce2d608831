// Opening a table file into a descriptor, closing it, closing the table of
// the current work area with everything it owns, and the two whole-file
// operations on an open table: writing it to the disk and copying it.
#include "kestrel/engine.h"
#include "read_window.h"

namespace kestrel {

void Engine::OpenDbf(TableDescriptor& d) {
  d.FileName = DefaultExtension(d.FileName, "dbf");
  const std::string openName = d.OpenName.empty() ? d.FileName : DefaultExtension(d.OpenName, "dbf");
  // Where case tells files apart, a text that names the table names the file
  // opened, spelled as it is on disk; an upper-cased path would be another.
  if (HostPathStyle() == PathStyle::Posix && !d.OpenName.empty()) d.FileName = platform_.PathOnDisk(openName);
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
  d.Window->Release();
  if (ErrorCode != 0) SetError(ErrorCode, "File:  " + d.FileName + " [CloseDbf(" + d.FileName + ")]");
}

void Engine::Commit() {
  ErrorCode = 0;
  if (NoDatabaseInUse("Commit")) return;
  TableDescriptor& d = *CurrentTable();
  if (d.IsVirtual || !d.DataFile) return;
  ErrorCode = d.DataFile->Flush();
  if (ErrorCode != 0) SetError(ErrorCode, "File:  " + d.FileName + " [Commit]");
}

uint16_t Engine::CopyTableFile(File& to) {
  TableDescriptor* t = CurrentTable();
  if (!t || t->IsVirtual || !t->DataFile) return oserr::FileNotOpen;
  // Every read of the table sets its own position first, so reading the
  // file through the engine's handle here changes nothing for them.
  return CopyWholeFile(*t->DataFile, to);
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
