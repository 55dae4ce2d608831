// Power cuts: a platform that records every write, creation, deletion,
// rename, directory made and flush of a run, and builds from that log the
// disk a power cut at any call could leave behind, under several models of
// what a file system keeps of what was not flushed. On each such disk the
// run's promises hold (every table byte original or repaired, no index file
// beside a repaired table, a whole copy of whatever changed or went), and
// the same command run again ends well with every table repaired.
#include <gtest/gtest.h>

#include <filesystem>
#include <map>
#include <set>

#include "cli.h"
#include "testkit.h"

namespace {

namespace fs = std::filesystem;

constexpr size_t kPage = 4096;

// A path as one spelling: absolute, normal, no separator at the end.
std::string Normal(const std::string& path) {
  std::string p = fs::absolute(path).lexically_normal().string();
  while (p.size() > 1 && p.back() == '/') p.pop_back();
  return p;
}

std::string ParentOf(const std::string& path) { return fs::path(path).parent_path().string(); }

// One call that changes the disk. Data is written per page: a write over
// several pages is one entry per page, each of which may reach the disk or not.
struct Change {
  enum Kind { Create, Write, Flush, Remove, Rename, MakeDir, FlushDir } kind;
  std::string path;  // the name (Rename: the old one; Flush, Write: none)
  std::string to;    // Rename: the new name
  int inode = -1;    // Create, Write, Flush
  uint64_t offset = 0;
  std::string bytes;
};

// What a directory entry leads to: a file's inode, or a directory (-1).
using Entries = std::map<std::string, int>;

struct Disk {
  Entries entries;  // full path -> inode, directories -1
  std::map<int, std::string> inodes;
};

class CrashPlatform : public testkit::RecordingPlatform {
 public:
  // `world`: the directory under which everything the run touches lies.
  explicit CrashPlatform(const std::string& world) : world_(Normal(world)) {
    for (const auto& e : fs::recursive_directory_iterator(world_)) {
      const std::string p = Normal(e.path().string());
      if (e.is_directory()) {
        start.entries[p] = -1;
      } else {
        start.entries[p] = next_;
        start.inodes[next_++] = testkit::ReadFile(p);
      }
    }
    start.entries[world_] = -1;
    names_ = start.entries;
  }

  Disk start;
  std::vector<Change> log;

  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
    std::unique_ptr<kestrel::File> inner;
    const uint16_t rc = RecordingPlatform::OpenFile(path, mode, &inner);
    if (rc != 0) return rc;
    const auto at = names_.find(Normal(path));
    *file = std::make_unique<LoggedFile>(std::move(inner), *this, at == names_.end() ? -1 : at->second);
    return 0;
  }
  uint16_t CreateNewFile(const std::string& path, std::unique_ptr<kestrel::File>* file) override {
    std::unique_ptr<kestrel::File> inner;
    const uint16_t rc = RecordingPlatform::CreateNewFile(path, &inner);
    if (rc != 0) return rc;
    const int inode = next_++;
    names_[Normal(path)] = inode;
    log.push_back({Change::Create, Normal(path), "", inode});
    *file = std::make_unique<LoggedFile>(std::move(inner), *this, inode);
    return 0;
  }
  uint16_t RemoveFile(const std::string& path) override {
    const uint16_t rc = RecordingPlatform::RemoveFile(path);
    if (rc == 0) {
      names_.erase(Normal(path));
      log.push_back({Change::Remove, Normal(path)});
    }
    return rc;
  }
  uint16_t RenameNoReplace(const std::string& from, const std::string& to) override {
    const uint16_t rc = RecordingPlatform::RenameNoReplace(from, to);
    if (rc == 0) {
      names_[Normal(to)] = names_[Normal(from)];
      names_.erase(Normal(from));
      log.push_back({Change::Rename, Normal(from), Normal(to)});
    }
    return rc;
  }
  uint16_t MakeDirectory(const std::string& path) override {
    const uint16_t rc = RecordingPlatform::MakeDirectory(path);
    if (rc == 0) {
      names_[Normal(path)] = -1;
      log.push_back({Change::MakeDir, Normal(path)});
    }
    return rc;
  }
  uint16_t FlushDirectory(const std::string& path) override {
    const uint16_t rc = RecordingPlatform::FlushDirectory(path);
    if (rc == 0) log.push_back({Change::FlushDir, Normal(path)});
    return rc;
  }

 private:
  class LoggedFile : public kestrel::File {
   public:
    LoggedFile(std::unique_ptr<kestrel::File> inner, CrashPlatform& owner, int inode)
        : inner_(std::move(inner)), owner_(owner), inode_(inode) {}
    uint16_t Seek(uint64_t offset) override {
      const uint16_t rc = inner_->Seek(offset);
      if (rc == 0) at_ = offset;
      return rc;
    }
    uint16_t Read(void* buffer, size_t count, size_t* got) override {
      const uint16_t rc = inner_->Read(buffer, count, got);
      at_ += *got;
      return rc;
    }
    uint16_t Write(const void* buffer, size_t count, size_t* written) override {
      const uint16_t rc = inner_->Write(buffer, count, written);
      const auto* bytes = static_cast<const char*>(buffer);
      for (size_t done = 0; done < *written;) {
        const size_t piece = static_cast<size_t>(std::min<uint64_t>(*written - done, kPage - (at_ + done) % kPage));
        owner_.log.push_back({Change::Write, "", "", inode_, at_ + done, std::string(bytes + done, piece)});
        done += piece;
      }
      at_ += *written;
      return rc;
    }
    uint16_t Size(uint64_t* size) override { return inner_->Size(size); }
    uint16_t LockRegion(uint32_t o, uint32_t l) override { return inner_->LockRegion(o, l); }
    uint16_t UnlockRegion(uint32_t o, uint32_t l) override { return inner_->UnlockRegion(o, l); }
    uint16_t Flush() override {
      const uint16_t rc = inner_->Flush();
      if (rc == 0) owner_.log.push_back({Change::Flush, "", "", inode_});
      return rc;
    }
    uint16_t ModifiedTime(kestrel::FileTime* t) override { return inner_->ModifiedTime(t); }
    uint16_t SetModifiedTime(kestrel::FileTime t) override { return inner_->SetModifiedTime(t); }
    bool IsNamedBy(const std::string& path) override { return inner_->IsNamedBy(path); }
    uint16_t Close() override { return inner_->Close(); }

   private:
    std::unique_ptr<kestrel::File> inner_;
    CrashPlatform& owner_;
    int inode_;
    uint64_t at_ = 0;
  };

  std::string world_;
  Entries names_;
  int next_ = 0;
};

// What a file system keeps of the calls before the cut.
enum class Model {
  InOrder,        // every call up to the cut, in order (a torn write keeps its first pages)
  UnflushedLost,  // only data flushed with its file, entries flushed with their directory
  DataLost,       // every directory entry, but only flushed data
  EntriesLost,    // all data, but only entries flushed with their directory
};

// The disk after a cut before call `cut` of `log`.
Disk Image(const Disk& start, const std::vector<Change>& log, size_t cut, Model model) {
  auto flushedLater = [&](size_t i, Change::Kind kind, const std::string& path, int inode) {
    for (size_t j = i + 1; j < cut; ++j) {
      if (log[j].kind == kind && (kind == Change::Flush ? log[j].inode == inode : log[j].path == path)) return true;
    }
    return false;
  };
  const bool dataKept = model == Model::InOrder || model == Model::EntriesLost;
  const bool entriesKept = model == Model::InOrder || model == Model::DataLost;
  Disk disk = start;
  for (size_t i = 0; i < cut; ++i) {
    const Change& c = log[i];
    switch (c.kind) {
      case Change::Write:
        if (dataKept || flushedLater(i, Change::Flush, "", c.inode)) {
          std::string& bytes = disk.inodes[c.inode];
          if (bytes.size() < c.offset + c.bytes.size()) bytes.resize(c.offset + c.bytes.size());
          bytes.replace(c.offset, c.bytes.size(), c.bytes);
        }
        break;
      case Change::Flush:
      case Change::FlushDir: break;
      default: {
        const std::string dir = ParentOf(c.path);
        if (!entriesKept && !flushedLater(i, Change::FlushDir, dir, -1)) break;
        if (c.kind == Change::Create) {
          disk.entries[c.path] = c.inode;
          disk.inodes.emplace(c.inode, std::string());
        } else if (c.kind == Change::MakeDir) {
          disk.entries[c.path] = -1;
        } else if (c.kind == Change::Remove) {
          disk.entries.erase(c.path);
        } else if (c.kind == Change::Rename && disk.entries.count(c.path)) {
          disk.entries[c.to] = disk.entries[c.path];
          disk.entries.erase(c.path);
        }
      }
    }
  }
  // What cannot be reached from the top is not there.
  Disk found;
  found.inodes = disk.inodes;
  for (const auto& [path, inode] : disk.entries) {
    bool reached = true;
    for (std::string up = ParentOf(path); reached && up.size() > 1 && up != ParentOf(up); up = ParentOf(up)) {
      if (start.entries.count(up) == 0 && disk.entries.count(up) == 0) break;  // above the world
      reached = disk.entries.count(up) && disk.entries.at(up) == -1;
    }
    if (reached) found.entries[path] = inode;
  }
  return found;
}

// The disk written out under `to` in the place of `from`.
void Lay(const Disk& disk, const std::string& from, const std::string& to) {
  for (const auto& [path, inode] : disk.entries) {
    if (path.rfind(from, 0) != 0) continue;
    const std::string at = to + path.substr(from.size());
    if (inode < 0) {
      fs::create_directories(at);
    } else {
      fs::create_directories(ParentOf(at));
      testkit::WriteFile(at, disk.inodes.at(inode));
    }
  }
}

testkit::DbfLayout Layout(std::vector<std::string> records) {
  testkit::DbfLayout layout;
  layout.fields = {{"NAME", 'C', 4}, {"QTY", 'N', 3, 1}};
  layout.records = std::move(records);
  return layout;
}

// The bytes of the index file `name`.
std::string Index(const std::string& name) { return name + " holds keys"; }

// A directory of tables: two damaged (one over three pages, so that its
// repair writes pages apart), one clean, and two index files.
void FillTables(const std::string& dir) {
  fs::create_directories(dir);
  std::vector<std::string> many;
  for (int r = 0; r < 1600; ++r) many.push_back(r % 500 == 7 ? std::string(" \0b\0\0  1", 8) : " none 2");
  testkit::WriteFile(dir + "/big.dbf", testkit::BuildDbf(Layout(many)));
  testkit::WriteFile(dir + "/clean.dbf", testkit::BuildDbf(Layout({" okay  1"})));
  testkit::WriteFile(dir + "/small.dbf", testkit::BuildDbf(Layout({std::string("*x\0\0\0\0\0\0", 8)})));
  for (const char* index : {"orders.ndx", "parts.ndx"}) testkit::WriteFile(dir + "/" + index, Index(index));
}

// A directory of tables whose headers count other records than their files
// hold: an append cut short (its hidden records damaged), one that ends
// inside a record (damaged before), a clean one, and two index files.
void FillMiscounted(const std::string& dir) {
  fs::create_directories(dir);
  testkit::DbfLayout append = Layout({});
  for (int r = 0; r < 20; ++r) append.records.push_back(r < 15 ? " none 2" : std::string(" \0b\0\0  1", 8));
  append.recordCount = 15;
  testkit::WriteFile(dir + "/orders.dbf", testkit::BuildDbf(append));
  testkit::DbfLayout early = Layout({" none 2", std::string("*x\0\0\0\0\0\0", 8), " none 3"});
  early.recordCount = 5;
  early.eofMarker = false;
  testkit::WriteFile(dir + "/short.dbf", testkit::BuildDbf(early) + " no");
  testkit::WriteFile(dir + "/clean.dbf", testkit::BuildDbf(Layout({" okay  1"})));
  for (const char* index : {"orders.ndx", "parts.ndx"}) testkit::WriteFile(dir + "/" + index, Index(index));
}

struct Command {
  const char* what;
  std::vector<std::string> args;       // after the program's name
  std::vector<std::string> tableDirs;  // relative to the world
  std::string backup;                  // the backup directory of each table directory, or none
  std::vector<std::string> backupDirs;
  void (*fill)(const std::string& dir) = FillTables;
};

// dbfclean-cli in this process, in `cwd`: its exit status.
int RunCli(kestrel::Platform& platform, const std::string& cwd, const std::vector<std::string>& given) {
  std::vector<std::string> args = {"dbfclean-cli", "-q"};
  args.insert(args.end(), given.begin(), given.end());
  std::vector<char*> argv;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  const fs::path back = fs::current_path();
  fs::current_path(cwd);
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const std::optional<int> exit = testkit::RunUntilExit([&] {
    const int code = dbfclean::CliMain(static_cast<int>(args.size()), argv.data(), platform);
    if (code != 0) throw testkit::ProcessExit{code};
  });
  testing::internal::GetCapturedStdout();
  const std::string err = testkit::WithoutLinesContaining(testing::internal::GetCapturedStderr(), ": the header count");
  fs::current_path(back);
  EXPECT_TRUE(err.empty()) << err;
  return exit.value_or(0);
}

std::vector<std::string> Files(const std::string& dir, const std::string& ending) {
  std::vector<std::string> names;
  if (!fs::is_directory(dir)) return names;
  for (const auto& e : fs::directory_iterator(dir)) {
    const std::string name = e.path().filename().string();
    if (name.size() > ending.size() && name.compare(name.size() - ending.size(), ending.size(), ending) == 0) {
      names.push_back(name);
    }
  }
  return names;
}

TEST(PowerCut, EveryDiskACutCanLeaveKeepsThePromisesAndTheSameCommandFinishes) {
  const std::vector<Command> commands = {
      {"a plain run", {"data"}, {"data"}, "", {""}},
      {"--backup into a new relative directory", {"-b", "bk", "data"}, {"data"}, "bk", {"bk"}},
      {"-r over two directories", {"-r", "tree"}, {"tree/a", "tree/b"}, "", {"", ""}},
      {"-r with --backup", {"-r", "-b", "bk", "tree"}, {"tree/a", "tree/b"}, "bk", {"bk/a", "bk/b"}},
      // A count's fix is on the disk before the scrub: after a cut the
      // header holds the old count or the new one.
      {"--fix-count", {"--fix-count", "data"}, {"data"}, "", {""}, FillMiscounted},
      {"--fix-count with --backup", {"--fix-count", "-b", "bk", "data"}, {"data"}, "bk", {"bk"}, FillMiscounted},
  };
  int images = 0;
  for (const Command& command : commands) {
    SCOPED_TRACE(command.what);
    testkit::TempDir world;
    for (const auto& dir : command.tableDirs) command.fill(world.File(dir));
    CrashPlatform recorder(world.path());
    const Disk start = recorder.start;
    ASSERT_EQ(RunCli(recorder, world.path(), command.args), 0);
    // The bytes each table has once repaired.
    std::map<std::string, std::string> original, repaired;
    for (const auto& dir : command.tableDirs) {
      for (const auto& name : Files(world.File(dir), ".dbf")) {
        const std::string path = dir + "/" + name;
        original[path] = start.inodes.at(start.entries.at(Normal(world.File(path))));
        repaired[path] = testkit::ReadFile(world.File(path));
      }
    }
    for (const Model model : {Model::InOrder, Model::UnflushedLost, Model::DataLost, Model::EntriesLost}) {
      for (size_t cut = 0; cut <= recorder.log.size(); ++cut) {
        SCOPED_TRACE("model " + std::to_string(static_cast<int>(model)) + ", cut before call " + std::to_string(cut) +
                     " of " + std::to_string(recorder.log.size()));
        ++images;
        testkit::TempDir after;
        Lay(Image(start, recorder.log, cut, model), Normal(world.path()), after.path());
        for (size_t d = 0; d < command.tableDirs.size(); ++d) {
          const std::string dir = command.tableDirs[d];
          const std::string copies = command.backupDirs[d];
          bool changed = false;
          for (const auto& name : Files(world.File(dir), ".dbf")) {
            const std::string path = dir + "/" + name;
            const std::string now = testkit::ReadFile(after.File(path));
            ASSERT_EQ(now.size(), original[path].size()) << path;
            for (size_t i = 0; i < now.size(); ++i) {
              if (now[i] != original[path][i] && now[i] != repaired[path][i]) {
                ADD_FAILURE() << path << " byte " << i << " neither original nor repaired";
                break;
              }
            }
            const bool touched = now != original[path];
            changed = changed || touched;
            if (!copies.empty()) {
              const std::string copy = after.File(copies + "/" + name);
              if (touched || testkit::FileExists(copy)) {
                EXPECT_TRUE(testkit::FileExists(copy) && testkit::ReadFile(copy) == original[path])
                    << "no whole copy of " << path;
              }
            }
          }
          for (const auto& index : {"orders.ndx", "parts.ndx"}) {
            const bool there = testkit::FileExists(after.File(dir + "/" + index));
            EXPECT_FALSE(changed && there) << dir << "/" << index << " beside a repaired table";
            if (!copies.empty() && (!there || testkit::FileExists(after.File(copies + "/" + index)))) {
              const std::string copy = after.File(copies + "/" + index);
              EXPECT_TRUE(testkit::FileExists(copy) && testkit::ReadFile(copy) == Index(index))
                  << "no whole copy of " << dir << "/" << index;
            }
          }
        }
        // The same command again finishes the job.
        testkit::RecordingPlatform again;
        EXPECT_EQ(RunCli(again, after.path(), command.args), 0);
        for (const auto& [path, bytes] : repaired) {
          EXPECT_EQ(testkit::ReadFile(after.File(path)), bytes) << path << " after the same command again";
        }
        for (const auto& dir : command.tableDirs) {
          EXPECT_TRUE(Files(after.File(dir), ".ndx").empty()) << dir;
        }
        if (testing::Test::HasFailure()) return;  // one image's story is enough to read
      }
    }
  }
  EXPECT_GT(images, 200);
}

}  // namespace
