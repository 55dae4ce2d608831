// USE: opening a table in the current work area from a dBASE-style command
// ("name [EXCLUSIVE] [ALIAS name]"), or closing it with an empty command.
#include <algorithm>
#include <cstring>

#include "kestrel/engine.h"
#include "read_window.h"

namespace kestrel {

uint32_t Engine::CalcAppRecordSize(const TableDescriptor& d) {
  uint32_t size = 1;
  for (size_t k = 1; k < d.Fields.size(); ++k) {
    const FieldEntry& f = d.Fields[k];
    switch (f.Type) {
      case 'C': size += f.Length + 1u; break;
      case 'D': size += f.Length + 3u; break;
      case 'F':
      case 'N': size += f.Decimals > 0 ? 6u : 4u; break;
      case 'M': size += 4; break;
      case 'L': size += 1; break;
      default: break;
    }
  }
  return size;
}

void Engine::USE(const std::string& command, void* buffer, uint16_t size) {
  ErrorCode = 0;
  std::string alias;
  CloseArea();
  std::string cmd = TrimText(command);
  if (cmd.empty()) return;
  const std::string spelled = cmd + " ";
  cmd = UpperText(cmd) + " ";
  // A text shows the command upper-cased, as the engine reads it; where case
  // tells files apart it shows the caller's spelling of the same characters,
  // which names the file meant.
  auto named = [&](const std::string& upper) {
    if (HostPathStyle() == PathStyle::Posix && upper.size() <= spelled.size() &&
        UpperText(spelled.substr(0, upper.size())) == upper) {
      return spelled.substr(0, upper.size());
    }
    return upper;
  };

  if (cmd.find("LINKED LIST") != std::string::npos || cmd.find("VIRTUAL FILE") != std::string::npos) {
    SetError(engerr::NoVirtualFiles, "[USE(" + named(cmd) + ",<@Buffer>,<size>)]");
    return;
  }
  if ((buffer == nullptr) != (size == 0)) {
    SetError(engerr::InvalidParameter, "Buffer is NIL or size is zero, attempting to open " + named(cmd) + " [USE]");
    return;
  }

  bool exclusive = RemoveKeyword(" EXCLUSIVE", cmd);
  size_t p = UpperText(cmd).find(" ALIAS ");
  if (p != std::string::npos) {
    alias = Cut(cmd.substr(p + 7), 64);
    size_t blank = alias.find(' ');
    if (blank != std::string::npos) alias = alias.substr(0, blank);
    cmd = cmd.substr(0, p);
  }
  cmd = TrimText(cmd);

  TableDescriptor scratch;
  scratch.FileName = Cut(FullPathName(cmd), kMaxText);
  if (alias.empty()) alias = SplitFileName(cmd).Name;
  alias = Cut(UpperText(alias), 64);
  scratch.FileName = DefaultExtension(scratch.FileName, "dbf");
  // The file-name part as the caller spelled it: the options were taken off
  // its end, so it is the same length as `cmd` and differs only in case.
  // Where an option stood inside the name, only the upper-cased text is left.
  if (UpperText(spelled.substr(0, std::min(cmd.size(), spelled.size()))) == cmd) {
    scratch.OpenName = Cut(FullPathName(spelled.substr(0, cmd.size())), kMaxText);
  }

  if (DefaultOpenMode == openmode::Exclusive) exclusive = true;
  uint8_t mode = exclusive ? openmode::Exclusive : static_cast<uint8_t>(DefaultOpenMode & 0xFF);
  if (!SharedAccess) {
    exclusive = true;
    mode = openmode::Compatible;
  }
  if (ForcedOpenMode != openmode::NoneForced) mode = static_cast<uint8_t>(ForcedOpenMode & 0xFF);
  const uint8_t savedMode = FileMode;
  FileMode = mode;
  scratch.OemTranslate = !AnsiData;
  try {
    OpenDbf(scratch);
  } catch (...) {
    FileMode = savedMode;
    throw;
  }
  FileMode = savedMode;
  if (ErrorCode != 0) return;

  areas_[current_] = std::make_unique<TableDescriptor>(std::move(scratch));
  TableDescriptor& d = *areas_[current_];
  d.Alias = alias;
  d.IsVirtual = false;
  d.Exclusive = exclusive;
  // Nobody else can change a table held exclusively, so its reads may be
  // served from a window of the file. A table asked for exclusively but
  // opened for reading only (a caller that only looks, and lets others go on
  // working) is read through the window too: nothing is written from what it
  // holds, and what it shows is the file as it was a moment before.
  d.Window->Enable(exclusive && (mode == openmode::Exclusive || (mode & 0x0F) == openmode::Read));

  const uint32_t needed = CalcAppRecordSize(d);
  if (buffer == nullptr && needed <= 0xFFFF) {
    d.OwnedAppRecord.assign(needed, 0);
    buffer = d.OwnedAppRecord.data();
    size = static_cast<uint16_t>(needed);
    d.OwnsAppRecord = true;
  }
  if (needed != size) {
    CloseArea();
    SetError(engerr::InvalidSize, "Database record/buffer size mismatch: " + named(cmd) + " [USE()]" + "\n\r" +
                      "Record Size=" + std::to_string(needed) + ", Buffer Size=" + std::to_string(size));
    return;
  }
  d.AppRecord = static_cast<uint8_t*>(buffer);
  d.AppRecordSize = size;

  for (uint8_t a = 1; a <= kUserAreas; ++a) {
    if (a == current_ || !areas_[a]) continue;
    if (areas_[a]->Alias == alias) {
      CloseArea();
      SetError(engerr::InvalidParameter, "Alias name \"" + alias + "\" already in use. [USE]");
      return;
    }
  }

  if (d.RecordCount >= 1) {
    GoTop();
  } else {
    std::memset(d.AppRecord, 0, d.AppRecordSize);
    ClearRecord();
    d.AtBof = true;
    d.AtEof = true;
  }
  // The table may have been closed by a report that returned.
  if (TableDescriptor* t = CurrentTable()) t->SpareRecord.assign(t->AppRecordSize, 0);
}

}  // namespace kestrel
