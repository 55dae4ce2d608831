// The file-name and text utilities on arbitrary text in both path styles:
// results keep their length limits and never read or write out of bounds.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "kestrel/names.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  const size_t half = size / 2;
  const std::string a = text.substr(0, half), b = text.substr(half);
  for (kestrel::PathStyle style : {kestrel::PathStyle::Windows, kestrel::PathStyle::Posix}) {
    const kestrel::FileNameParts parts = kestrel::SplitFileName(text, style);
    if (parts.Dir.size() > 255 || parts.Name.size() > 64 || parts.Ext.size() > 64) std::abort();
    if (kestrel::DefaultExtension(text, b, style).size() > 255) std::abort();
    if (kestrel::StripExtension(text, style).size() > 255) std::abort();
    const std::string current = style == kestrel::PathStyle::Windows ? "C:\\DATA" : "/data";
    if (kestrel::ResolveFullPath(text, current, style).size() > 259) std::abort();
  }
  kestrel::MaskMatches(a, b);
  const int32_t n = size ? static_cast<int8_t>(data[0]) : 0;
  const int32_t p = kestrel::NthPos(n, a.substr(0, 4), b);
  if (p < 0 || static_cast<size_t>(p) > b.size()) std::abort();
  if (kestrel::TrimText(text).size() > size) std::abort();
  kestrel::NumberText(static_cast<int32_t>(size) - 300, size ? data[size - 1] : 0);
  return 0;
}
