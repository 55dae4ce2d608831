// The dialog's file list, shared by the desktop programs and the CLI.
#include "file_list.h"

#include <algorithm>

namespace dbfclean {

bool ListBoxLess(const std::string& a, const std::string& b) {
  const size_t n = std::min(a.size(), b.size());
  for (size_t i = 0; i < n; ++i) {
    const auto ca = static_cast<unsigned char>(kestrel::FoldCase(a[i]));
    const auto cb = static_cast<unsigned char>(kestrel::FoldCase(b[i]));
    if (ca != cb) return ca < cb;
  }
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

int InsertListBoxName(std::vector<std::string>* names, const std::string& name) {
  auto at = std::lower_bound(names->begin(), names->end(), name, ListBoxLess);
  if (at != names->end() && *at == name) return -1;
  const int position = static_cast<int>(at - names->begin());
  names->insert(at, name);
  return position;
}

int ReadFileList(kestrel::Platform& platform, const std::string& directory, const std::string& masks,
                 std::vector<std::string>* names, const std::function<void()>& onBusy, kestrel::PathStyle style) {
  names->clear();
  std::vector<std::string> each;
  for (size_t from = 0; from <= masks.size();) {
    size_t to = masks.find(';', from);
    if (to == std::string::npos) to = masks.size();
    if (to > from) each.push_back(masks.substr(from, to - from));
    from = to + 1;
  }
  // Several masks are matched in one listing of the directory: the search
  // matches a mask by the same rule on every system, and one pass over a
  // directory costs a fraction of one per mask.
  const bool several = each.size() > 1;
  auto wanted = [&](const std::string& name) {
    return !several || std::any_of(each.begin(), each.end(), [&](const auto& m) { return kestrel::MaskMatches(m, name); });
  };
  int status = 0;
  for (const std::string& mask : several ? std::vector<std::string>{"*"} : each) {
    std::unique_ptr<kestrel::DirSearch> search;
    kestrel::FoundFile found;
    int32_t rc = platform.FindFirst(kestrel::WithinDirectory(directory, mask, style),
                                    kestrel::attr::Archive | kestrel::attr::ReadOnly, &search, &found);
    if (rc == kestrel::oserr::PathNotFound || rc == kestrel::oserr::AccessDenied) status = rc;
    while (rc == 0) {
      // Kept sorted as it grows, as a sorted list box inserts.
      if (wanted(found.name) && InsertListBoxName(names, found.name) == 100 && onBusy) onBusy();
      rc = search->Next(&found);
    }
  }
  return status;
}

}  // namespace dbfclean
