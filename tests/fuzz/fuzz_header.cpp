// The header reader on arbitrary bytes: a table file of any content is opened
// and closed; every rejection is a recorded report, never a crash.
#include <cstddef>
#include <cstdint>

#include "fuzz_common.h"
#include "testkit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = fuzz::ScratchDir() + "/h.dbf";
  testkit::WriteFile(path, std::string(reinterpret_cast<const char*>(data), size));
  testkit::RecordingPlatform platform;
  platform.language = 0x0409;
  kestrel::Engine engine(platform);
  testkit::ReportLog log(engine);
  try {
    engine.USE(path);
    if (engine.CurrentTable() != nullptr) {
      const kestrel::TableDescriptor& d = *engine.CurrentTable();
      if (d.FieldCount != d.Fields.size() - 1 || d.RecordBuffer.size() != d.RecordLength) std::abort();
    }
    engine.USE("");
  } catch (const kestrel::EInOutError&) {
  }
  return 0;
}
