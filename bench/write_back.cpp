// The yardstick of the tree repair benchmark: the least a repair of a tree
// of damaged tables must do to the disk. For each directory it erases the
// index files (*.ndx) and flushes the directory once; then for each table
// (*.dbf) it reads the table, blanks the NUL bytes after its header, writes
// back only the 4 KiB pages that held them and flushes the table. It checks
// nothing else: no fields, no locks, no lines for the user.
//
// usage: write_back ROOT   (every directory below ROOT, ROOT included)
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <vector>

namespace {

constexpr size_t kPage = 4096;

[[noreturn]] void Fail(const std::string& what) {
  std::perror(what.c_str());
  std::exit(1);
}

bool EndsWith(const std::string& name, const char* ext) {
  const std::string e(ext);
  return name.size() > e.size() && name.compare(name.size() - e.size(), e.size(), e) == 0;
}

void RepairTable(const std::string& path, std::vector<unsigned char>& buf) {
  const int fd = open(path.c_str(), O_RDWR | O_CLOEXEC);
  if (fd < 0) Fail(path);
  struct stat st {};
  if (fstat(fd, &st) != 0) Fail(path);
  const auto size = static_cast<size_t>(st.st_size);
  buf.resize(size);
  size_t got = 0;
  while (got < size) {
    const ssize_t n = pread(fd, buf.data() + got, size - got, static_cast<off_t>(got));
    if (n <= 0) Fail(path);
    got += static_cast<size_t>(n);
  }
  const size_t header = size >= 10 ? std::min<size_t>(size, buf[8] | (buf[9] << 8)) : size;
  bool wrote = false;
  for (size_t page = header / kPage * kPage; page < size; page += kPage) {
    const size_t from = std::max(page, header);
    const size_t to = std::min(page + kPage, size);
    bool damaged = false;
    for (size_t i = from; i < to; ++i) {
      if (buf[i] == 0) {
        buf[i] = ' ';
        damaged = true;
      }
    }
    if (!damaged) continue;
    if (pwrite(fd, buf.data() + page, to - page, static_cast<off_t>(page)) != static_cast<ssize_t>(to - page))
      Fail(path);
    wrote = true;
  }
  if (wrote && fsync(fd) != 0) Fail(path);
  close(fd);
}

void RepairDirectory(const std::string& dir, std::vector<unsigned char>& buf) {
  DIR* d = opendir(dir.c_str());
  if (d == nullptr) Fail(dir);
  std::vector<std::string> tables, indexes, subdirs;
  while (const dirent* e = readdir(d)) {
    const std::string name = e->d_name;
    if (name == "." || name == "..") continue;
    bool isDir = e->d_type == DT_DIR;
    if (e->d_type == DT_UNKNOWN) {
      struct stat st {};
      isDir = lstat((dir + "/" + name).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
    }
    if (isDir)
      subdirs.push_back(name);
    else if (EndsWith(name, ".dbf"))
      tables.push_back(name);
    else if (EndsWith(name, ".ndx"))
      indexes.push_back(name);
  }
  closedir(d);
  if (!indexes.empty()) {
    for (const auto& name : indexes)
      if (unlink((dir + "/" + name).c_str()) != 0) Fail(dir + "/" + name);
    const int fd = open(dir.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0 || fsync(fd) != 0) Fail(dir);
    close(fd);
  }
  for (const auto& name : tables) RepairTable(dir + "/" + name, buf);
  for (const auto& name : subdirs) RepairDirectory(dir + "/" + name, buf);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: write_back ROOT\n");
    return 2;
  }
  std::vector<unsigned char> buf;
  RepairDirectory(argv[1], buf);
  return 0;
}
