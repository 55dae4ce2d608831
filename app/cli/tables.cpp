// Which tables a call of dbfclean-cli names.
#include "tables.h"

#include <memory>

#include "cli.h"
#include "file_list.h"

namespace dbfclean {

namespace {

// The entry that the operand `table` names: the exact spelling first, then
// without regard to case, as the file system would open it; a name without
// an extension means NAME.dbf, as the engine reads it.
FileEntry* Match(std::vector<FileEntry>& entries, const std::string& table) {
  for (const std::string& name : {table, table + ".dbf"}) {
    for (auto& e : entries) {
      if (e.name == name) return &e;
    }
    for (auto& e : entries) {
      if (kestrel::EqualNoCase(e.name, name)) return &e;
    }
    if (table.find('.') != std::string::npos) break;
  }
  return nullptr;
}

}  // namespace

bool SplitTablePath(kestrel::Platform& platform, const std::string& path, std::string* dir, std::string* name) {
  const kestrel::PathParts parts = kestrel::SplitPath(path);
  const std::string& file = parts.name;
  if (file.size() < 4 || !kestrel::EqualNoCase(file.substr(file.size() - 4), ".dbf")) return false;
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  const uint32_t files = kestrel::attr::Archive | kestrel::attr::ReadOnly | kestrel::attr::Hidden;
  if (platform.FindFirst(path, files, &search, &found) != 0 || (found.attributes & kestrel::attr::Directory)) {
    return false;
  }
  *name = file;
  // "/t.dbf" and "c:\t.dbf" lie in a root, which keeps its separator.
  *dir = parts.directory.empty() ? std::string(".") : parts.directory;
  return true;
}

std::optional<int> ReadTables(kestrel::Platform& platform, const std::string& directory, const std::string& cleanDir,
                              const std::vector<std::string>& wanted, std::vector<FileEntry>* entries,
                              Reporter& reporter) {
  std::vector<std::string> names;
  const int rc = cleanDir.empty() ? kestrel::oserr::PathNotFound : ReadFileList(platform, cleanDir, kTableMask, &names);
  // A directory that is there but cannot be listed is not "missing".
  if (rc == kestrel::oserr::AccessDenied) {
    reporter.UsageError("cannot read directory " + Printable(directory) + ": access denied");
    return kExitUsage;
  }
  if (rc != 0) {
    reporter.UsageError("no such directory: " + Printable(directory));
    return kExitUsage;
  }
  for (const auto& n : names) entries->push_back(FileEntry{n, wanted.empty()});
  for (const std::string& table : wanted) {
    FileEntry* match = Match(*entries, table);
    if (!match) {
      reporter.UsageError("no table " + Printable(table) + " in " + Printable(directory));
      return kExitUsage;
    }
    match->selected = true;
  }
  return std::nullopt;
}

}  // namespace dbfclean
