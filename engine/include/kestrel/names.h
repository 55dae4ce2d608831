// File-name and text utilities that need no engine state: splitting paths,
// default extensions, trimming, number text and the n-th occurrence search.
// The path functions take the path style so that both rule sets can be used
// (and tested) on every host.
#pragma once

#include <cstdint>
#include <string>

#include "kestrel/platform.h"

namespace kestrel {

// Engine texts are length-prefixed strings of at most 255 characters.
constexpr size_t kMaxText = 255;

// The first `n` characters of `s`.
inline std::string Cut(const std::string& s, size_t n) { return s.size() > n ? s.substr(0, n) : s; }

struct FileNameParts {
  std::string Dir;   // up to and including the last separator
  std::string Name;  // without extension, at most 64 characters
  std::string Ext;   // from the last full stop, at most 64 characters
};

FileNameParts SplitFileName(const std::string& path, PathStyle style = HostPathStyle());
std::string DefaultExtension(const std::string& path, const std::string& ext, PathStyle style = HostPathStyle());
std::string StripExtension(const std::string& path, PathStyle style = HostPathStyle());

// Remove characters with codes up to 32 from both ends, the start or the end.
std::string TrimText(const std::string& text);
std::string TrimLeftText(const std::string& text);
std::string TrimRightText(const std::string& text);

// Decimal text of `value`, padded on the left with blanks to `width`.
std::string NumberText(int32_t value, uint8_t width);

// 1-based position of the n-th occurrence of `pattern` in `text` (from the end
// when n is negative); 0 when there is none.
int32_t NthPos(int32_t n, const std::string& pattern, const std::string& text);

}  // namespace kestrel
