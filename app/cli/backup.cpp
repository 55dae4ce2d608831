// dbfclean-cli --backup: every call goes through the platform, so that a
// test platform's failures reach the copies as they reach the repair.
#include "backup.h"

#include <algorithm>

#include "run.h"

namespace dbfclean {

namespace {

// The engine's words for a number ("Error # 5 (File access denied)"), and
// plain words for what the copy itself finds.
std::string Reason(uint16_t code) {
  if (code == kestrel::oserr::DiskReadError) return "the file ended before its size";
  return kestrel::Engine::ErrorMessage(code);
}

// Whether `path` names a directory.
bool IsDirectory(kestrel::Platform& platform, const std::string& path) {
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  const uint32_t all = kestrel::attr::Directory | kestrel::attr::Hidden | kestrel::attr::System;
  // Searching in a file is searching in a directory that is not there.
  const int32_t rc = platform.FindFirst(kestrel::WithinDirectory(path, "*"), all, &search, &found);
  return rc == 0 || rc == kestrel::oserr::FileNotFound || rc == kestrel::oserr::NoMoreFiles;
}

// Makes `path` and every missing directory above it; 0 or the first failure.
uint16_t MakeDirectories(kestrel::Platform& platform, const std::string& path, std::vector<std::string>* made) {
  uint16_t rc = platform.MakeDirectory(path);
  const std::string parent = kestrel::SplitPath(path).directory;
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
    : platform_(platform), directory_(kestrel::WithoutTrailingSeparator(directory)) {}

void Backup::SaveTable(kestrel::Engine& engine, const std::string& tableDir, const std::string& name,
                       const std::string& stopped) {
  // Where the table's fields lie, as the engine that repairs it reads them.
  TableLayout layout;
  if (const kestrel::TableDescriptor* t = engine.CurrentTable()) {
    layout.headerLength = static_cast<uint16_t>(t->HeaderLength);
    layout.recordLength = t->RecordLength;
    layout.records = t->RecordCount > 0 ? static_cast<uint64_t>(t->RecordCount) : 0;
    layout.inField.assign(t->RecordLength, false);
    if (countsMayDiffer_) {
      const bool dbase2 = t->Prolog[0] == 0x02;
      layout.countFrom = dbase2 ? 1 : 4;
      layout.countSize = dbase2 ? 2 : 4;
    }
    for (uint8_t f = 1; f != 0 && f <= engine.FieldCount(); ++f) {
      uint16_t offset = 0, size = 0;
      engine.FieldPlace(f, offset, size);
      for (uint16_t i = offset; i < offset + size && i < t->RecordLength; ++i) layout.inField[i] = true;
    }
  }
  Save(
      kestrel::WithinDirectory(tableDir, name), name, stopped,
      [&engine](kestrel::File& to) { return engine.CopyTableFile(to); }, &layout);
}

void Backup::SaveIndexes(const std::string& dir, const std::vector<std::string>& names, const std::string& stopped) {
  for (const std::string& name : names) SaveFile(dir, name, stopped);
}

void Backup::SaveTableFile(const std::string& tableDir, const std::string& name, const std::string& stopped) {
  SaveFile(tableDir, name, stopped);
}

void Backup::SaveFile(const std::string& dir, const std::string& name, const std::string& stopped) {
  const std::string source = kestrel::WithinDirectory(dir, name);
  std::unique_ptr<kestrel::File> from;
  // Read access, sharing everything: a read-only file is copied too.
  const uint16_t rc = platform_.OpenFile(source, kestrel::openmode::Inspect, &from);
  if (rc != 0) throw RunHalted("cannot back up " + source + ": " + Reason(rc) + stopped, kExitBackupIo);
  Save(
      source, name, stopped, [&from](kestrel::File& to) { return kestrel::CopyWholeFile(*from, to); }, nullptr);
  from->Close();
}

void Backup::MakeDirectory(const std::string& stopped) {
  if (made_) return;
  std::vector<std::string> made;
  uint16_t rc = MakeDirectories(platform_, directory_, &made);
  // A directory made is found again after a power cut only once the
  // directory above it is on the disk too: the current one for a relative
  // name. The backup directory's own entry is flushed also when it was
  // there already: a run cut short may have made it without that.
  std::vector<std::string> parents;
  if (made.empty() || made.back() != directory_) made.push_back(directory_);
  for (auto it = made.rbegin(); it != made.rend(); ++it) {
    std::string parent = kestrel::SplitPath(*it).directory;
    if (parent.empty()) parent = ".";
    if (std::find(parents.begin(), parents.end(), parent) == parents.end()) parents.push_back(parent);
  }
  for (const std::string& parent : parents) {
    if (rc == 0) rc = platform_.FlushDirectory(parent);
  }
  if (rc != 0) {
    const std::string why = rc == kestrel::oserr::AlreadyExists ? "a file of that name is in the way" : Reason(rc);
    throw RunHalted("cannot create the backup directory " + directory_ + ": " + why + stopped, kExitCannotCreate);
  }
  made_ = true;
}

namespace {

// Takes the bytes of the original as CopyWholeFile writes them and compares
// them with a copy already in the backup directory, without writing: the
// copy is the original when every byte is the same, or, with a table's
// `layout`, where the table now holds a blank inside a field and the copy the
// NUL the repair made it from, and in the record count where the layout
// allows it (--fix-count). The rest of the header, the deletion flags and
// whatever lies outside the records stay byte for byte.
class CompareWithCopy : public kestrel::File {
 public:
  CompareWithCopy(kestrel::File& copy, const TableLayout* layout) : copy_(copy), layout_(layout) {}

  // Whether every byte agreed and the copy ended where the original did.
  bool Same() {
    uint64_t size = 0;
    return same_ && copy_.Size(&size) == 0 && size == at_;
  }

  uint16_t Write(const void* buffer, size_t count, size_t* written) override {
    *written = count;
    if (!same_) return 0;
    buffer_.resize(count);
    size_t got = 0;
    if (copy_.Read(buffer_.data(), count, &got) != 0 || got != count) {
      same_ = false;
      return 0;
    }
    const auto* now = static_cast<const uint8_t*>(buffer);
    for (size_t i = 0; i < count && same_; ++i, ++at_) {
      if (now[i] == buffer_[i]) continue;
      same_ = layout_ && ((now[i] == ' ' && buffer_[i] == 0 && InField(at_)) ||
                          (at_ >= layout_->countFrom && at_ < layout_->countFrom + layout_->countSize));
    }
    return 0;
  }

  uint16_t Seek(uint64_t) override { return 0; }
  uint16_t Read(void*, size_t, size_t* got) override {
    *got = 0;
    return kestrel::oserr::AccessDenied;
  }
  uint16_t Size(uint64_t* size) override {
    *size = at_;
    return 0;
  }
  uint16_t LockRegion(uint32_t, uint32_t) override { return 0; }
  uint16_t UnlockRegion(uint32_t, uint32_t) override { return 0; }
  uint16_t Flush() override { return 0; }
  uint16_t ModifiedTime(kestrel::FileTime* time) override {
    *time = 0;
    return 0;
  }
  uint16_t SetModifiedTime(kestrel::FileTime) override { return 0; }
  bool IsNamedBy(const std::string&) override { return false; }
  uint16_t Close() override { return 0; }

 private:
  // Whether byte `at` of the table lies inside a field of a record.
  bool InField(uint64_t at) const {
    const TableLayout& t = *layout_;
    if (t.recordLength == 0 || at < t.headerLength) return false;
    const uint64_t offset = at - t.headerLength;
    if (offset / t.recordLength >= t.records) return false;
    const uint64_t in = offset % t.recordLength;
    return in < t.inField.size() && t.inField[in];
  }

  kestrel::File& copy_;
  const TableLayout* layout_;
  bool same_ = true;
  uint64_t at_ = 0;
  std::vector<uint8_t> buffer_;
};

// The name a copy is written under until it is whole: hidden, and with an
// ending that no table or index search matches.
std::string PartialName(const std::string& name) { return ".dbfclean-" + name + ".partial"; }

}  // namespace

void Backup::Save(const std::string& source, const std::string& name, const std::string& stopped,
                  const std::function<uint16_t(kestrel::File& to)>& copy, const TableLayout* layout) {
  MakeDirectory(stopped);
  const std::string target = kestrel::WithinDirectory(directory_, name);
  auto exists = [&] {
    return RunHalted("the backup " + target + " exists already, and a backup never replaces a file" + stopped,
                     kExitCannotCreate);
  };
  auto flushed = [&] {
    const uint16_t rc = platform_.FlushDirectory(directory_);
    if (rc != 0) {
      throw RunHalted("cannot write the backup directory " + directory_ + " to the disk: " + Reason(rc) + stopped,
                      kExitBackupIo);
    }
  };
  // A file there already is this original's copy when a run cut short took
  // it: the same command run again goes on with it. Anything else there (a
  // link, a directory, another file) stops the run.
  std::unique_ptr<kestrel::File> there;
  uint16_t rc = platform_.OpenFile(target, kestrel::openmode::Inspect, &there);
  if (rc != kestrel::oserr::FileNotFound) {
    bool same = false;
    if (rc == 0 && there->IsNamedBy(target)) {
      CompareWithCopy compare(*there, layout);
      same = copy(compare) == 0 && compare.Same() && there->IsNamedBy(target);
    }
    if (there) there->Close();
    if (!same) throw exists();
    flushed();
    return;
  }

  // Written and flushed under a hidden name first, then named without
  // replacing anything: under its own name a copy is whole or not there,
  // whenever the power goes. A partial copy a cut left behind is removed.
  const std::string partial = kestrel::WithinDirectory(directory_, PartialName(name));
  std::unique_ptr<kestrel::File> to;
  rc = platform_.CreateNewFile(partial, &to);
  if (rc == kestrel::oserr::FileExists || rc == kestrel::oserr::AlreadyExists) {
    rc = platform_.RemoveFile(partial);
    if (rc == 0) rc = platform_.CreateNewFile(partial, &to);
  }
  if (rc != 0) throw RunHalted("cannot create the backup " + target + ": " + Reason(rc) + stopped, kExitCannotCreate);

  // Written through the descriptor its creation gave: whatever takes the
  // name meanwhile is never written to.
  rc = copy(*to);
  if (rc == 0) rc = to->Flush();
  const bool ours = to->IsNamedBy(partial);
  const uint16_t closed = to->Close();
  if (rc == 0) rc = closed;
  if (rc != 0) {
    // A partial copy is no backup.
    if (ours) platform_.RemoveFile(partial);
    throw RunHalted("cannot back up " + source + " to " + target + ": " + Reason(rc) + stopped, kExitBackupIo);
  }
  if (!ours) {
    throw RunHalted("the backup " + target + " was replaced by another file while it was written" + stopped,
                    kExitCannotCreate);
  }
  rc = platform_.RenameNoReplace(partial, target);
  if (rc != 0) {
    platform_.RemoveFile(partial);
    if (rc == kestrel::oserr::FileExists || rc == kestrel::oserr::AlreadyExists) throw exists();
    throw RunHalted("cannot create the backup " + target + ": " + Reason(rc) + stopped, kExitCannotCreate);
  }
  flushed();
}

}  // namespace dbfclean
