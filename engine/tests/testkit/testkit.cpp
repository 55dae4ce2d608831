// Test helpers; see testkit.h.
#include "testkit.h"

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>

#include "kestrel/dbf_versions.h"

namespace testkit {

namespace fs = std::filesystem;

namespace {

void Put16(std::string& s, size_t at, uint16_t v) {
  s[at] = static_cast<char>(v & 0xFF);
  s[at + 1] = static_cast<char>(v >> 8);
}
void Put32(std::string& s, size_t at, uint32_t v) {
  for (int i = 0; i < 4; ++i) s[at + static_cast<size_t>(i)] = static_cast<char>((v >> (8 * i)) & 0xFF);
}

uint16_t FieldBytes(const DbfLayout& layout) {
  unsigned sum = 1;
  for (const auto& f : layout.fields) sum += f.length;
  return static_cast<uint16_t>(sum);
}

}  // namespace

std::string Record(const DbfLayout& layout, const std::vector<std::string>& values, bool deleted) {
  std::string rec(1, deleted ? '*' : ' ');
  for (size_t i = 0; i < layout.fields.size(); ++i) {
    std::string v = i < values.size() ? values[i] : std::string();
    v.resize(layout.fields[i].length, ' ');
    rec += v;
  }
  return rec;
}

std::string BuildDbf(const DbfLayout& layout) {
  const uint16_t recordLength = layout.recordLength.value_or(FieldBytes(layout));
  const uint32_t recordCount = layout.recordCount.value_or(static_cast<uint32_t>(layout.records.size()));
  std::string out;
  if (layout.version == 0x02) {
    // dBASE II: 8 prolog bytes, 32 slots of 16 bytes, a byte for a final
    // terminator; records from offset 521.
    out.assign(521, '\0');
    out[0] = 0x02;
    Put16(out, 1, static_cast<uint16_t>(recordCount));
    out[3] = 1;
    out[4] = 2;
    out[5] = 3;
    Put16(out, 6, recordLength);
    size_t at = 8;
    for (const auto& f : layout.fields) {
      std::string name = f.name.substr(0, 11);
      std::memcpy(&out[at], name.data(), name.size());
      out[at + 11] = f.type;
      out[at + 12] = static_cast<char>(f.length);
      out[at + 15] = static_cast<char>(f.decimals);
      at += 16;
    }
    if (layout.terminator && at < 521) out[at] = 0x0D;
  } else {
    // A version the engine refuses is written in the 32-byte layout.
    const kestrel::DbfVersion* format = kestrel::FindDbfVersion(layout.version);
    const bool extended = format != nullptr && format->slotSize == 48;
    const size_t slot = format != nullptr ? format->slotSize : 32;
    const size_t prolog = format != nullptr ? format->prologSize : 32;
    std::string header(prolog, '\0');
    header[0] = static_cast<char>(layout.version);
    header[1] = 126;
    header[2] = 12;
    header[3] = 9;
    for (const auto& f : layout.fields) {
      std::string d(slot, '\0');
      std::string name = f.name.substr(0, extended ? 32 : 11);
      std::memcpy(&d[0], name.data(), name.size());
      if (extended) {
        d[32] = f.type;
        d[33] = static_cast<char>(f.length);
        d[34] = static_cast<char>(f.decimals);
      } else {
        d[11] = f.type;
        d[16] = static_cast<char>(f.length);
        d[17] = static_cast<char>(f.decimals);
      }
      header += d;
    }
    if (layout.terminator) header += '\x0D';
    header += layout.slack;
    const uint16_t headerLength = layout.headerLength.value_or(static_cast<uint16_t>(header.size()));
    Put32(header, 4, recordCount);
    Put16(header, 8, headerLength);
    Put16(header, 10, recordLength);
    // A given header length pads the header up to it; a smaller one than
    // what was written leaves the records right after the written bytes.
    out = header;
    if (header.size() < headerLength) out += std::string(headerLength - header.size(), '\0');
  }
  for (const auto& r : layout.records) {
    std::string rec = r;
    if (rec.size() < recordLength) rec.resize(recordLength, ' ');
    out += rec;
  }
  if (layout.eofMarker) out += '\x1A';
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

void WriteFile(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

bool FileExists(const std::string& path) {
  std::error_code ec;
  return fs::exists(path, ec);
}

void SetReadOnly(const std::string& path, bool readOnly) {
  std::error_code ec;
  auto perms = fs::status(path, ec).permissions();
  const auto write = fs::perms::owner_write | fs::perms::group_write | fs::perms::others_write;
  fs::permissions(path, readOnly ? (perms & ~write) : (perms | fs::perms::owner_write), ec);
}

TempDir::TempDir() {
  static std::atomic<unsigned> counter{0};
  std::random_device rd;
  fs::path base = fs::temp_directory_path();
  for (;;) {
    fs::path p = base / ("kestrel-test-" + std::to_string(rd()) + "-" + std::to_string(counter++));
    std::error_code ec;
    if (fs::create_directory(p, ec)) {
      path_ = p.string();
      break;
    }
  }
}

TempDir::~TempDir() {
  std::error_code ec;
  // Read-only files would survive on Windows; make everything writable first.
  for (auto& e : fs::recursive_directory_iterator(path_, ec)) {
    fs::permissions(e.path(), fs::perms::owner_all, fs::perm_options::add, ec);
  }
  fs::remove_all(path_, ec);
}

std::string EngineText(const std::string& path) {
  std::string s = path;
  if (kestrel::HostPathStyle() != kestrel::PathStyle::Windows) return s;
  for (auto& c : s) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return s;
}

std::string TempDir::File(const std::string& name) const { return (fs::path(path_) / name).string(); }

std::string TempDir::Write(const std::string& name, const std::string& bytes) const {
  std::string p = File(name);
  WriteFile(p, bytes);
  return p;
}

namespace {

// A file that fails as the platform's fault settings say.
class FaultyFile : public kestrel::File {
 public:
  FaultyFile(std::unique_ptr<kestrel::File> inner, RecordingPlatform& owner)
      : inner_(std::move(inner)), owner_(owner) {}
  uint16_t Seek(uint64_t offset) override {
    if (owner_.SweepDue(Call::Seek)) return owner_.sweep->code;
    auto& f = owner_.faults;
    if (f.seek && owner_.seeks++ >= f.seekAfter) return *f.seek;
    const uint16_t rc = inner_->Seek(offset);
    if (rc == 0) at_ = offset;
    return rc;
  }
  uint16_t Read(void* buffer, size_t count, size_t* got) override {
    const bool fail = owner_.SweepDue(Call::Read);
    const bool shortRead = owner_.SweepDue(Call::ShortRead);
    if (fail) {
      *got = 0;
      return owner_.sweep->code;
    }
    if (shortRead) {
      uint16_t rc = inner_->Read(buffer, count, got);
      if (rc == 0 && *got > 0) --*got;
      return rc;
    }
    auto& f = owner_.faults;
    const bool due = owner_.reads++ >= f.readAfter;
    if (due && f.read) {
      *got = 0;
      return *f.read;
    }
    uint16_t rc = inner_->Read(buffer, count, got);
    if (due && f.shortReadBy && rc == 0) *got = *got > *f.shortReadBy ? *got - *f.shortReadBy : 0;
    return rc;
  }
  uint16_t Write(const void* buffer, size_t count, size_t* written) override {
    const bool fail = owner_.SweepDue(Call::Write);
    const bool shortWrite = owner_.SweepDue(Call::ShortWrite);
    if (fail) {
      ++owner_.writes;
      *written = 0;
      return owner_.sweep->code;
    }
    if (shortWrite) {
      ++owner_.writes;
      return inner_->Write(buffer, count > 0 ? count - 1 : 0, written);
    }
    auto& f = owner_.faults;
    ++owner_.writes;
    if (f.badByte && at_ <= *f.badByte && *f.badByte < at_ + count) {
      // A bad spot of the disk: the bytes before it are written (when the
      // fault is a short write), nothing from it on.
      if (!f.badByteShort) {
        *written = 0;
        return f.badByteCode;
      }
      const uint16_t rc = inner_->Write(buffer, static_cast<size_t>(*f.badByte - at_), written);
      at_ += *written;
      return rc;
    }
    if (f.write) {
      *written = 0;
      return *f.write;
    }
    if (f.shortWriteBy) {
      size_t n = count > *f.shortWriteBy ? count - *f.shortWriteBy : 0;
      return inner_->Write(buffer, n, written);
    }
    const uint16_t rc = inner_->Write(buffer, count, written);
    at_ += *written;
    return rc;
  }
  uint16_t Size(uint64_t* size) override {
    if (owner_.SweepDue(Call::Size)) return owner_.sweep->code;
    if (owner_.faults.size) return *owner_.faults.size;
    return inner_->Size(size);
  }
  uint16_t LockRegion(uint32_t offset, uint32_t length) override {
    if (owner_.SweepDue(Call::Lock)) return owner_.sweep->code;
    return inner_->LockRegion(offset, length);
  }
  uint16_t UnlockRegion(uint32_t offset, uint32_t length) override { return inner_->UnlockRegion(offset, length); }
  uint16_t Flush() override {
    if (owner_.SweepDue(Call::Flush)) return owner_.sweep->code;
    if (owner_.faults.flush) return *owner_.faults.flush;
    return inner_->Flush();
  }
  uint16_t ModifiedTime(kestrel::FileTime* time) override {
    if (owner_.SweepDue(Call::Time)) return owner_.sweep->code;
    return inner_->ModifiedTime(time);
  }
  uint16_t SetModifiedTime(kestrel::FileTime time) override {
    if (owner_.SweepDue(Call::Time)) return owner_.sweep->code;
    return inner_->SetModifiedTime(time);
  }
  bool IsNamedBy(const std::string& path) override { return inner_->IsNamedBy(path); }
  uint16_t Close() override {
    uint16_t rc = inner_->Close();
    if (owner_.SweepDue(Call::Close)) return owner_.sweep->code;
    if (owner_.faults.close) return *owner_.faults.close;
    return rc;
  }

 private:
  std::unique_ptr<kestrel::File> inner_;
  RecordingPlatform& owner_;
  uint64_t at_ = 0;  // the file position, as far as the writes need it
  using Call = RecordingPlatform::Call;
};

}  // namespace

RecordingPlatform::RecordingPlatform() : PlatformWrapper(kestrel::Platform::Default()) {}
RecordingPlatform::RecordingPlatform(kestrel::Platform& target) : PlatformWrapper(target) {}

bool RecordingPlatform::SweepDue(Call kind) {
  const int index = calls[kind]++;
  return sweep && sweep->call == kind && sweep->nth == index;
}

int32_t RecordingPlatform::FindFirst(const std::string& pattern, uint32_t attributes,
                                     std::unique_ptr<kestrel::DirSearch>* search, kestrel::FoundFile* found) {
  if (SweepDue(Call::Search)) return sweep->code;
  return target().FindFirst(pattern, attributes, search, found);
}

uint16_t RecordingPlatform::OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) {
  if (SweepDue(Call::Open)) return sweep->code;
  if (faults.open) return *faults.open;
  std::unique_ptr<kestrel::File> inner;
  uint16_t rc = target().OpenFile(path, mode, &inner);
  if (rc != 0) return rc;
  *file = std::make_unique<FaultyFile>(std::move(inner), *this);
  return 0;
}

uint16_t RecordingPlatform::CreateNewFile(const std::string& path, std::unique_ptr<kestrel::File>* file) {
  if (SweepDue(Call::Create)) return sweep->code;
  if (faults.create) return *faults.create;
  std::unique_ptr<kestrel::File> inner;
  const uint16_t rc = target().CreateNewFile(path, &inner);
  if (rc != 0) return rc;
  if (afterCreate) afterCreate(path);
  *file = std::make_unique<FaultyFile>(std::move(inner), *this);
  return 0;
}

uint16_t RecordingPlatform::MakeDirectory(const std::string& path) {
  if (SweepDue(Call::MakeDir)) return sweep->code;
  return target().MakeDirectory(path);
}

uint16_t RecordingPlatform::RenameNoReplace(const std::string& from, const std::string& to) {
  if (SweepDue(Call::Rename)) return sweep->code;
  return target().RenameNoReplace(from, to);
}

uint16_t RecordingPlatform::RemoveFile(const std::string& path) {
  if (SweepDue(Call::Remove)) return sweep->code;
  if (faults.remove) return *faults.remove;
  return target().RemoveFile(path);
}

uint16_t RecordingPlatform::VolumeInformation(const std::string& root, kestrel::VolumeInfo* info) {
  if (SweepDue(Call::Volume)) {
    *info = kestrel::VolumeInfo{};
    return sweep->code;
  }
  return target().VolumeInformation(root, info);
}

uint16_t RecordingPlatform::NetworkConnection(const std::string& drive, std::string* remote) {
  if (SweepDue(Call::Volume)) {
    remote->clear();
    return sweep->code;
  }
  return target().NetworkConnection(drive, remote);
}

uint16_t RecordingPlatform::UserLanguage() { return language ? *language : target().UserLanguage(); }

void RecordingPlatform::ShowHaltBox(const std::string& text, const std::string& caption) {
  halts.push_back({text, caption});
}

void RecordingPlatform::ExitProcess(int code) {
  exits.push_back(code);
  throw ProcessExit{code};
}

ReportLog::ReportLog(kestrel::Engine& engine) : engine_(engine) {
  engine.ErrorHook = [this] { entries.push_back({engine_.ErrorCode, engine_.ErrorText}); };
}

ReportLog::~ReportLog() { engine_.ErrorHook = nullptr; }

std::optional<int> RunUntilExit(const std::function<void()>& fn) {
  try {
    fn();
  } catch (const ProcessExit& e) {
    return e.code;
  }
  return std::nullopt;
}

std::string WithoutLinesContaining(const std::string& text, const std::string& part) {
  std::string kept;
  for (size_t from = 0; from < text.size();) {
    size_t end = text.find('\n', from);
    end = end == std::string::npos ? text.size() : end + 1;
    const std::string line = text.substr(from, end - from);
    if (line.find(part) == std::string::npos) kept += line;
    from = end;
  }
  return kept;
}

}  // namespace testkit
