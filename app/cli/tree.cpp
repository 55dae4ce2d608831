// The walk of dbfclean-cli --recursive, through the platform's directory
// search like every other listing of the programs.
#include "tree.h"

#include <algorithm>

#include "file_list.h"

namespace dbfclean {

namespace {

bool Windows() { return kestrel::HostPathStyle() == kestrel::PathStyle::Windows; }

}  // namespace

TreeWalk::TreeWalk(kestrel::Platform& platform, const std::string& root) : platform_(platform) {
  pending_.push_back({root, std::string()});
}

void TreeWalk::LeaveOut(const std::string& path) { leftOut_.push_back(path); }

bool TreeWalk::LeftOut(const std::string& path) const {
  return std::any_of(leftOut_.begin(), leftOut_.end(),
                     [&](const std::string& out) { return Windows() ? kestrel::EqualNoCase(out, path) : out == path; });
}

int32_t TreeWalk::Next(TreeDirectory* dir) {
  while (!pending_.empty()) {
    Pending next = std::move(pending_.back());
    pending_.pop_back();
    if (!next.relative.empty() && LeftOut(next.path)) continue;
    dir->path = next.path;
    dir->relative = next.relative;
    dir->tables.clear();

    // One search gives the tables and the directories: a directory is read
    // once, whatever it holds.
    std::unique_ptr<kestrel::DirSearch> search;
    kestrel::FoundFile found;
    const uint32_t wanted = kestrel::attr::Directory | kestrel::attr::Archive | kestrel::attr::ReadOnly;
    int32_t rc = platform_.FindFirst(kestrel::WithinDirectory(next.path, "*"), wanted, &search, &found);
    // 2 and 18: nothing, or nothing but what is left out.
    if (rc == kestrel::oserr::FileNotFound || rc == kestrel::oserr::NoMoreFiles) return 0;
    if (rc != 0) return rc;
    std::vector<std::string> below;
    for (; rc == 0; rc = search->Next(&found)) {
      if (found.name == "." || found.name == "..") continue;  // Windows lists them
      if (found.attributes & kestrel::attr::Directory) {
        if (!(found.attributes & kestrel::attr::Link)) InsertListBoxName(&below, found.name);
      } else if (kestrel::MaskMatches(kTableMask, found.name)) {
        InsertListBoxName(&dir->tables, found.name);
      }
    }
    // Pushed last to first, so that the first comes off the stack next.
    for (auto it = below.rbegin(); it != below.rend(); ++it) {
      pending_.push_back({kestrel::WithinDirectory(next.path, *it),
                          next.relative.empty() ? *it : kestrel::WithinDirectory(next.relative, *it)});
    }
    return 0;
  }
  return kestrel::oserr::NoMoreFiles;
}

}  // namespace dbfclean
