// USE on arbitrary command texts, in a scratch directory that holds one
// table: options, aliases, keywords and names of any shape end in an open
// table or a recorded report, and the area is empty again after USE("").
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "fuzz_common.h"
#include "testkit.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const bool ready = [] {
    testkit::DbfLayout layout;
    layout.fields = {{"NAME", 'C', 4}};
    layout.records = {" abcd"};
    testkit::WriteFile(fuzz::ScratchDir() + "/T.DBF", testkit::BuildDbf(layout));
    return true;
  }();
  if (!ready || size > 600) return 0;
  testkit::RecordingPlatform platform;
  platform.language = 0x0409;
  kestrel::Engine engine(platform);
  testkit::ReportLog log(engine);
  try {
    // Relative to the scratch directory: the text follows its path.
    engine.USE(fuzz::ScratchDir() + "/" + std::string(reinterpret_cast<const char*>(data), size));
    if (engine.CurrentTable() && engine.CurrentTable()->Alias.size() > 64) std::abort();
  } catch (const kestrel::EInOutError&) {
  }
  engine.USE("");
  if (engine.CurrentTable() != nullptr) std::abort();
  return 0;
}
