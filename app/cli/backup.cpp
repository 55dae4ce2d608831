// dbfclean-cli --backup: every call goes through the platform, so that a
// test platform's failures reach the copies as they reach the repair.
#include "backup.h"

#include "run.h"

namespace dbfclean {

namespace {

// The engine's words for a number ("Error # 5 (File access denied)"), and
// plain words for what the copy itself finds.
std::string Reason(uint16_t code) {
  if (code == kestrel::oserr::DiskReadError) return "the file ended before its size";
  return kestrel::Engine::ErrorMessage(code);
}

// The directory a path lies in ("" for a name alone), and whether `path`
// names a directory.
std::string Parent(const std::string& path) {
  const bool windows = kestrel::HostPathStyle() == kestrel::PathStyle::Windows;
  const size_t at = windows ? path.find_last_of("\\/:") : path.rfind('/');
  if (at == std::string::npos) return std::string();
  if (at == 0 || (windows && (path[at] == ':' || (at == 2 && path[1] == ':')))) return path.substr(0, at + 1);
  return path.substr(0, at);
}

bool IsDirectory(kestrel::Platform& platform, const std::string& path) {
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  const uint32_t all = kestrel::attr::Directory | kestrel::attr::Hidden | kestrel::attr::System;
  // Searching in a file is searching in a directory that is not there.
  const int32_t rc = platform.FindFirst(JoinPath(path, "*"), all, &search, &found);
  return rc == 0 || rc == kestrel::oserr::FileNotFound || rc == kestrel::oserr::NoMoreFiles;
}

// Makes `path` and every missing directory above it; 0 or the first failure.
uint16_t MakeDirectories(kestrel::Platform& platform, const std::string& path, std::vector<std::string>* made) {
  uint16_t rc = platform.MakeDirectory(path);
  const std::string parent = Parent(path);
  if (rc == kestrel::oserr::PathNotFound && !parent.empty() && parent != path) {
    rc = MakeDirectories(platform, parent, made);
    if (rc == 0) rc = platform.MakeDirectory(path);
  }
  if (rc == 0) {
    made->push_back(path);
    return 0;
  }
  if ((rc == kestrel::oserr::AlreadyExists || rc == kestrel::oserr::AccessDenied) && IsDirectory(platform, path)) {
    return 0;
  }
  return rc;
}

}  // namespace

Backup::Backup(kestrel::Platform& platform, std::string directory)
    : platform_(platform), directory_(std::move(directory)) {
  while (directory_.size() > 1 && directory_.back() == kestrel::PathSeparator() &&
         !(kestrel::HostPathStyle() == kestrel::PathStyle::Windows && directory_.size() == 3 && directory_[1] == ':')) {
    directory_.pop_back();
  }
}

void Backup::SaveTable(kestrel::Engine& engine, const std::string& tableDir, const std::string& name,
                       const std::string& stopped) {
  Save(JoinPath(tableDir, name), name, stopped, [&engine](kestrel::File& to) { return engine.CopyTableFile(to); });
}

void Backup::SaveIndexes(const std::string& dir, const std::vector<std::string>& names, const std::string& stopped) {
  for (const std::string& name : names) {
    const std::string source = JoinPath(dir, name);
    std::unique_ptr<kestrel::File> from;
    // Read access, sharing everything: a read-only index file is copied too.
    const uint16_t rc = platform_.OpenFile(source, kestrel::openmode::Inspect, &from);
    if (rc != 0) throw RunHalted("cannot back up " + source + ": " + Reason(rc) + stopped, kExitBackupIo);
    Save(source, name, stopped, [&from](kestrel::File& to) { return kestrel::CopyWholeFile(*from, to); });
    from->Close();
  }
}

void Backup::MakeDirectory(const std::string& stopped) {
  if (made_) return;
  std::vector<std::string> made;
  uint16_t rc = MakeDirectories(platform_, directory_, &made);
  // A directory made is found again after a power cut only once the
  // directory above it is on the disk too.
  for (auto it = made.rbegin(); rc == 0 && it != made.rend(); ++it) {
    const std::string parent = Parent(*it);
    if (!parent.empty()) rc = platform_.FlushDirectory(parent);
  }
  if (rc != 0) {
    const std::string why = rc == kestrel::oserr::AlreadyExists ? "a file of that name is in the way" : Reason(rc);
    throw RunHalted("cannot create the backup directory " + directory_ + ": " + why + stopped, kExitCannotCreate);
  }
  made_ = true;
}

void Backup::Save(const std::string& source, const std::string& name, const std::string& stopped,
                  const std::function<uint16_t(kestrel::File& to)>& copy) {
  MakeDirectory(stopped);
  const std::string target = JoinPath(directory_, name);
  std::unique_ptr<kestrel::File> to;
  uint16_t rc = platform_.CreateNewFile(target, &to);
  if (rc == kestrel::oserr::FileExists || rc == kestrel::oserr::AlreadyExists) {
    throw RunHalted("the backup " + target + " exists already, and a backup never replaces a file" + stopped,
                    kExitCannotCreate);
  }
  if (rc != 0) throw RunHalted("cannot create the backup " + target + ": " + Reason(rc) + stopped, kExitCannotCreate);

  // Written through the descriptor its creation gave: whatever takes the
  // name meanwhile is never written to.
  rc = copy(*to);
  if (rc == 0) rc = to->Flush();
  const bool ours = to->IsNamedBy(target);
  const uint16_t closed = to->Close();
  if (rc == 0) rc = closed;
  if (rc != 0) {
    // A partial copy is no backup, and would stand in the way of the next.
    if (ours) platform_.RemoveFile(target);
    throw RunHalted("cannot back up " + source + " to " + target + ": " + Reason(rc) + stopped, kExitBackupIo);
  }
  if (!ours) {
    throw RunHalted("the backup " + target + " was replaced by another file while it was written" + stopped,
                    kExitCannotCreate);
  }
  rc = platform_.FlushDirectory(directory_);
  if (rc != 0) {
    throw RunHalted("cannot write the backup directory " + directory_ + " to the disk: " + Reason(rc) + stopped,
                    kExitBackupIo);
  }
}

}  // namespace dbfclean
