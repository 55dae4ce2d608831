#include "field_names.h"

#include <memory>

#include "kestrel/dbf_versions.h"

namespace dbfclean {

std::vector<std::string> SpelledFieldNames(kestrel::Platform& platform, const std::string& path) {
  std::unique_ptr<kestrel::File> file;
  if (platform.OpenFile(path, kestrel::openmode::Inspect, &file) != 0 || !file) return {};
  // The largest header the engine opens: 32767 bytes.
  std::vector<uint8_t> header(32767);
  size_t got = 0;
  const bool read = file->Read(header.data(), header.size(), &got) == 0;
  file->Close();
  const kestrel::DbfVersion* version = got > 0 ? kestrel::FindDbfVersion(header[0]) : nullptr;
  if (!read || !version) return {};
  std::vector<std::string> names(1);
  // dBASE II has room for 32 slots; later versions as many as the header
  // length leaves, up to the terminator.
  size_t end = version->slotSize == 16 ? version->prologSize + 32u * 16u
                                       : (got >= 10 ? static_cast<size_t>(header[8] | (header[9] << 8)) : 0);
  if (end > got) end = got;
  for (size_t at = version->prologSize; at + version->slotSize <= end && header[at] != 0x0D; at += version->slotSize) {
    std::string name;
    for (size_t i = 0; i < 10 && (i == 0 || header[at + i] != 0); ++i) name += static_cast<char>(header[at + i]);
    names.push_back(name);
  }
  return names;
}

}  // namespace dbfclean
