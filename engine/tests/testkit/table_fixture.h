// What the table tests share: a temporary directory to write tables into, a
// recording platform that also notes the open mode of every file it opens,
// and an engine on it whose reports are recorded instead of halting.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "testkit.h"

namespace testkit {

class ModeRecordingPlatform : public RecordingPlatform {
 public:
  ModeRecordingPlatform() { language = 0x0409; }  // English (US): dates as MM/DD/YY
  std::vector<uint8_t> openModes;
  uint16_t OpenFile(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>* file) override {
    openModes.push_back(mode);
    return RecordingPlatform::OpenFile(path, mode, file);
  }
};

struct TableFixture {
  TableFixture() { engine.AutoReport = false; }

  // Writes `name`.dbf (name may hold subdirectories, which are created) and
  // returns its path without the extension, the way a USE command names it.
  std::string Make(const std::string& name, const DbfLayout& layout) const {
    std::filesystem::path p = std::filesystem::path(dir.path()) / std::filesystem::path(name).make_preferred();
    std::filesystem::create_directories(p.parent_path());
    WriteFile(p.string() + ".dbf", BuildDbf(layout));
    return p.string();
  }

  // The last error as "code text", and the position as "RecNo[ eof][ bof]":
  // one comparison each.
  std::string Err() const { return std::to_string(engine.ErrorCode) + " " + engine.ErrorText; }
  std::string Pos() {
    return std::to_string(engine.RecNo()) + (engine.dEOF() ? " eof" : "") + (engine.dBOF() ? " bof" : "");
  }

  kestrel::TableDescriptor& Table() { return *engine.CurrentTable(); }
  // Bytes of the application record and of the record buffer.
  std::string App(size_t from, size_t n) { return std::string(reinterpret_cast<char*>(Table().AppRecord) + from, n); }
  int32_t Int32(size_t from) {
    uint32_t v = 0;
    for (size_t i = 0; i < 4; ++i) v |= static_cast<uint32_t>(Table().AppRecord[from + i]) << (8 * i);
    return static_cast<int32_t>(v);
  }
  std::string Raw() { return std::string(Table().RecordBuffer.begin(), Table().RecordBuffer.end()); }

  TempDir dir;
  ModeRecordingPlatform platform;
  kestrel::Engine engine{platform};
};

// A version 0x03 table of these fields and whole records.
inline DbfLayout Layout(std::vector<FieldSpec> fields, std::vector<std::string> records = {}) {
  DbfLayout layout;
  layout.fields = std::move(fields);
  layout.records = std::move(records);
  return layout;
}

// The file name as the engine's texts show it for a command naming `path`
// (without extension), with the default extension.
inline std::string EngineName(const std::string& path) { return EngineText(path) + ".dbf"; }

}  // namespace testkit
