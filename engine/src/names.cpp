// File-name and text utilities that need no engine state.
#include "kestrel/names.h"

namespace kestrel {

FileNameParts SplitFileName(const std::string& path, PathStyle style) {
  FileNameParts parts;
  size_t brk = LastPathBreak(path, style);
  std::string rest = path;
  if (brk != std::string::npos) {
    parts.Dir = path.substr(0, brk + 1);
    if (style == PathStyle::Windows && parts.Dir.back() == ':') parts.Dir += '\\';
    rest = path.substr(brk + 1);
  }
  size_t dot = rest.rfind('.');
  if (dot != std::string::npos) {
    parts.Ext = Cut(rest.substr(dot), 64);
    rest = rest.substr(0, dot);
  }
  parts.Name = Cut(rest, 64);
  parts.Dir = Cut(parts.Dir, kMaxText);
  return parts;
}

std::string DefaultExtension(const std::string& path, const std::string& ext, PathStyle style) {
  FileNameParts parts = SplitFileName(path, style);
  if (!parts.Ext.empty()) return Cut(path, kMaxText);
  return Cut(parts.Dir + TrimRightText(parts.Name) + "." + Cut(ext, 64), kMaxText);
}

std::string StripExtension(const std::string& path, PathStyle style) {
  size_t brk = LastPathBreak(path, style);
  size_t from = brk == std::string::npos ? 0 : brk + 1;
  size_t dot = path.rfind('.');
  if (dot == std::string::npos || dot < from) return Cut(path, kMaxText);
  return Cut(path.substr(0, dot), kMaxText);
}

std::string TrimLeftText(const std::string& text) {
  size_t i = 0;
  while (i < text.size() && static_cast<unsigned char>(text[i]) <= 32) ++i;
  return text.substr(i);
}

std::string TrimRightText(const std::string& text) {
  size_t n = text.size();
  while (n > 0 && static_cast<unsigned char>(text[n - 1]) <= 32) --n;
  return text.substr(0, n);
}

std::string TrimText(const std::string& text) { return TrimLeftText(TrimRightText(text)); }

std::string NumberText(int32_t value, uint8_t width) {
  std::string digits = std::to_string(value);
  if (digits.size() < width) digits.insert(0, width - digits.size(), ' ');
  return digits;
}

int32_t NthPos(int32_t n, const std::string& pattern, const std::string& text) {
  if (n < 0) {
    std::string rtext(text.rbegin(), text.rend());
    std::string rpattern(pattern.rbegin(), pattern.rend());
    int32_t p = NthPos(-static_cast<int64_t>(n) > INT32_MAX ? INT32_MAX : -n, rpattern, rtext);
    if (p == 0) return 0;
    const auto len = static_cast<int32_t>(text.size());
    if (pattern.size() == 1) return len - p + 1;
    return len - p - static_cast<int32_t>(pattern.size()) + 2;
  }
  if (text.empty() || pattern.empty() || n == 0) return 0;
  if (pattern.size() == 1) {
    int32_t count = 0;
    for (size_t i = 0; i < text.size(); ++i) {
      if (text[i] == pattern[0] && ++count == n) return static_cast<int32_t>(i + 1);
    }
    return 0;
  }
  // Each pass blots out the first character of the occurrence it found, so
  // the next pass finds the following one; occurrences may overlap.
  std::string work = text;
  size_t found = std::string::npos;
  for (int32_t pass = 0; pass < n; ++pass) {
    found = work.find(pattern);
    if (found == std::string::npos) return 0;
    // A pattern that starts with the blot character leaves the copy as it
    // was, so every later pass would find this same occurrence again.
    if (work[found] == static_cast<char>(255)) break;
    work[found] = static_cast<char>(255);
  }
  return static_cast<int32_t>(found + 1);
}

}  // namespace kestrel
