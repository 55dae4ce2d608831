// The dialog's file list, shared by the desktop programs and the CLI.
#include "file_list.h"

#include <algorithm>
#include <cctype>

namespace dbfclean {

bool ListBoxLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    int ca = std::tolower(static_cast<unsigned char>(a[i]));
    int cb = std::tolower(static_cast<unsigned char>(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

int ReadFileList(kestrel::Platform& platform, const std::string& directory, const std::string& masks,
                 std::vector<std::string>* names) {
  names->clear();
  const char separator = kestrel::HostPathStyle() == kestrel::PathStyle::Windows ? '\\' : '/';
  std::string dir = directory;
  if (!dir.empty() && dir.back() != separator && !(separator == '\\' && dir.back() == ':')) dir += separator;
  size_t from = 0;
  int status = 0;
  while (from <= masks.size()) {
    size_t to = masks.find(';', from);
    if (to == std::string::npos) to = masks.size();
    const std::string mask = masks.substr(from, to - from);
    from = to + 1;
    if (mask.empty()) continue;
    std::unique_ptr<kestrel::DirSearch> search;
    kestrel::FoundFile found;
    int32_t rc = platform.FindFirst(dir + mask, kestrel::attr::Archive | kestrel::attr::ReadOnly, &search, &found);
    if (rc == kestrel::oserr::PathNotFound) status = rc;
    while (rc == 0) {
      if (std::find(names->begin(), names->end(), found.name) == names->end()) names->push_back(found.name);
      rc = search->Next(&found);
    }
  }
  std::sort(names->begin(), names->end(), ListBoxLess);
  return status;
}

}  // namespace dbfclean
