// Host-independent pieces of the platform layer: the Windows full-path and
// wildcard rules as plain text functions, the OEM to ANSI table, the mapping
// from POSIX locale names to Windows language identifiers, and the copy of a
// file's bytes. Both implementations use them, and the tests run them on
// every host.
#include <algorithm>
#include <cctype>
#include <vector>

#include "kestrel/platform.h"

namespace kestrel {

int ExitStatusOf(int code) {
#ifdef _WIN32
  return code;
#else
  return code < 0 || code > 255 ? 255 : code;
#endif
}

char FoldCase(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

bool EqualNoCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (FoldCase(a[i]) != FoldCase(b[i])) return false;
  }
  return true;
}

std::string WithNewlines(const std::string& text) {
  std::string lines;
  lines.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const bool pair =
        i + 1 < text.size() && ((text[i] == '\r' && text[i + 1] == '\n') || (text[i] == '\n' && text[i + 1] == '\r'));
    if (pair) {
      lines += '\n';
      ++i;
    } else {
      lines += text[i];
    }
  }
  return lines;
}

namespace {

bool IsDriveLetter(const std::string& s) {
  return s.size() >= 2 && s[1] == ':' && std::isalpha(static_cast<unsigned char>(s[0]));
}

}  // namespace

uint16_t CopyWholeFile(File& from, File& to) {
  uint64_t size = 0;
  uint16_t rc = from.Size(&size);
  std::vector<char> buffer(std::min<uint64_t>(size, 256 * 1024));
  for (uint64_t at = 0; rc == 0 && at < size;) {
    const auto want = static_cast<size_t>(std::min<uint64_t>(buffer.size(), size - at));
    size_t got = 0;
    size_t written = 0;
    rc = from.Seek(at);
    if (rc == 0) rc = from.Read(buffer.data(), want, &got);
    if (rc == 0 && got == 0) rc = oserr::DiskReadError;  // it ended before its size
    if (rc == 0) rc = to.Write(buffer.data(), got, &written);
    if (rc == 0 && written < got) rc = oserr::DiskWriteError;
    at += written;
  }
  FileTime time = 0;
  if (rc == 0) rc = from.ModifiedTime(&time);
  if (rc == 0) rc = to.SetModifiedTime(time);
  return rc;
}

std::string ResolveFullPath(const std::string& path, const std::string& currentDir, PathStyle style) {
  const char sep = PathSeparator(style);
  std::string root;  // "C:\", "\\server\share\" or "/"
  std::string rest;  // what follows the root, still to be normalised
  if (style == PathStyle::Windows) {
    std::string cur = currentDir;
    std::string curRoot = IsDriveLetter(cur) ? cur.substr(0, 2) : std::string("C:");
    if (path.size() >= 2 && IsPathSeparator(path[0], style) && IsPathSeparator(path[1], style)) {
      // UNC name: \\server\share stays the root.
      size_t p = 2;
      int parts = 0;
      while (p < path.size() && parts < 2) {
        size_t q = p;
        while (q < path.size() && !IsPathSeparator(path[q], style)) ++q;
        root += "\\" + path.substr(p, q - p);
        ++parts;
        p = q < path.size() ? q + 1 : q;
      }
      root = "\\" + root + "\\";
      rest = p < path.size() ? path.substr(p) : "";
    } else if (IsDriveLetter(path)) {
      // The drive letter keeps the case it was typed in, as GetFullPathNameA
      // keeps it; only a path relative to the current drive takes the
      // current directory's spelling.
      const std::string drive = path.substr(0, 2);
      const std::string after = path.substr(2);
      const bool onCurrentDrive =
          std::toupper(static_cast<unsigned char>(drive[0])) == std::toupper(static_cast<unsigned char>(curRoot[0]));
      root = drive + "\\";
      if (!after.empty() && IsPathSeparator(after[0], style)) {
        rest = after;
      } else if (onCurrentDrive) {
        root = curRoot + "\\";
        rest = cur.substr(2) + "\\" + after;
      } else {
        // Another drive's root: no per-drive directories are kept here.
        rest = "\\" + after;
      }
    } else if (!path.empty() && IsPathSeparator(path[0], style)) {
      root = curRoot + "\\";
      rest = path;
    } else {
      root = curRoot + "\\";
      rest = cur.substr(IsDriveLetter(cur) ? 2 : 0) + "\\" + path;
    }
  } else {
    root = "/";
    rest = (!path.empty() && path[0] == '/') ? path : currentDir + "/" + path;
  }

  std::vector<std::string> parts;
  size_t i = 0;
  while (i <= rest.size()) {
    size_t j = i;
    while (j < rest.size() && !IsPathSeparator(rest[j], style)) ++j;
    std::string part = rest.substr(i, j - i);
    if (part.empty() || part == ".") {
      // doubled separator or "this directory": nothing to add
    } else if (part == "..") {
      if (!parts.empty()) parts.pop_back();
    } else {
      parts.push_back(part);
    }
    i = j + 1;
  }
  if (style == PathStyle::Windows && !parts.empty()) {
    // Windows drops trailing full stops and blanks of the last name
    // ("SALES." is SALES), unless nothing else is left of it.
    std::string& last = parts.back();
    const size_t keep = last.find_last_not_of(". ");
    if (keep != std::string::npos) last.erase(keep + 1);
  }
  std::string result = root;
  for (size_t k = 0; k < parts.size(); ++k) {
    if (k) result += sep;
    result += parts[k];
  }
  const bool trailing = !path.empty() && IsPathSeparator(path.back(), style);
  if (trailing && !parts.empty()) result += sep;
  if (result.size() > 259) return std::string();
  return result;
}

bool MaskMatches(const std::string& mask, const std::string& name) {
  if (mask == "*.*" || mask == "*") return true;
  // Iterative glob with one backtrack point for the last "*".
  size_t m = 0, n = 0, starM = std::string::npos, starN = 0;
  while (n < name.size()) {
    if (m < mask.size() && (mask[m] == '?' || FoldCase(mask[m]) == FoldCase(name[n]))) {
      ++m;
      ++n;
    } else if (m < mask.size() && mask[m] == '*') {
      starM = m++;
      starN = n;
    } else if (starM != std::string::npos) {
      m = starM + 1;
      n = ++starN;
    } else {
      return false;
    }
  }
  while (m < mask.size() && mask[m] == '*') ++m;
  return m == mask.size();
}

const uint8_t kOem437ToAnsi1252[256] = {
    0x00, 0x01, 0x02, 0x03, 0x04, 0x05, 0x06, 0x07, 0x08, 0x09, 0x0A, 0x0B, 0x0C, 0x0D, 0x0E, 0x0F, 0x10, 0x11, 0x12,
    0x13, 0x14, 0x15, 0x16, 0x17, 0x18, 0x19, 0x1A, 0x1B, 0x1C, 0x1D, 0x1E, 0x1F, 0x20, 0x21, 0x22, 0x23, 0x24, 0x25,
    0x26, 0x27, 0x28, 0x29, 0x2A, 0x2B, 0x2C, 0x2D, 0x2E, 0x2F, 0x30, 0x31, 0x32, 0x33, 0x34, 0x35, 0x36, 0x37, 0x38,
    0x39, 0x3A, 0x3B, 0x3C, 0x3D, 0x3E, 0x3F, 0x40, 0x41, 0x42, 0x43, 0x44, 0x45, 0x46, 0x47, 0x48, 0x49, 0x4A, 0x4B,
    0x4C, 0x4D, 0x4E, 0x4F, 0x50, 0x51, 0x52, 0x53, 0x54, 0x55, 0x56, 0x57, 0x58, 0x59, 0x5A, 0x5B, 0x5C, 0x5D, 0x5E,
    0x5F, 0x60, 0x61, 0x62, 0x63, 0x64, 0x65, 0x66, 0x67, 0x68, 0x69, 0x6A, 0x6B, 0x6C, 0x6D, 0x6E, 0x6F, 0x70, 0x71,
    0x72, 0x73, 0x74, 0x75, 0x76, 0x77, 0x78, 0x79, 0x7A, 0x7B, 0x7C, 0x7D, 0x7E, 0x7F, 0xC7, 0xFC, 0xE9, 0xE2, 0xE4,
    0xE0, 0xE5, 0xE7, 0xEA, 0xEB, 0xE8, 0xEF, 0xEE, 0xEC, 0xC4, 0xC5, 0xC9, 0xE6, 0xC6, 0xF4, 0xF6, 0xF2, 0xFB, 0xF9,
    0xFF, 0xD6, 0xDC, 0xA2, 0xA3, 0xA5, 0x50, 0x83, 0xE1, 0xED, 0xF3, 0xFA, 0xF1, 0xD1, 0xAA, 0xBA, 0xBF, 0xAC, 0xAC,
    0xBD, 0xBC, 0xA1, 0xAB, 0xBB, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0xA6, 0x2B, 0x2B, 0xA6, 0xA6, 0x2B, 0x2B, 0x2B,
    0x2B, 0x2B, 0x2B, 0x2D, 0x2D, 0x2B, 0x2D, 0x2B, 0xA6, 0xA6, 0x2B, 0x2B, 0x2D, 0x2D, 0xA6, 0x2D, 0x2B, 0x2D, 0x2D,
    0x2D, 0x2D, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0x2B, 0xA6, 0x5F, 0xA6, 0xA6, 0xAF, 0x61, 0xDF, 0x47, 0x70,
    0x53, 0x73, 0xB5, 0x74, 0x46, 0x54, 0x4F, 0x64, 0x38, 0x66, 0x65, 0x6E, 0x3D, 0xB1, 0x3D, 0x3D, 0x28, 0x29, 0xF7,
    0x98, 0xB0, 0xB7, 0xB7, 0x76, 0x6E, 0xB2, 0xA6, 0xA0,
};

uint16_t LanguageFromLocaleName(const std::string& locale) {
  struct Lang {
    const char* code;
    uint16_t primary;
  };
  static const Lang kLanguages[] = {
      {"ar", 0x01}, {"bg", 0x02}, {"ca", 0x03}, {"zh", 0x04}, {"cs", 0x05}, {"da", 0x06}, {"de", 0x07}, {"el", 0x08},
      {"en", 0x09}, {"es", 0x0A}, {"fi", 0x0B}, {"fr", 0x0C}, {"he", 0x0D}, {"hu", 0x0E}, {"is", 0x0F}, {"it", 0x10},
      {"ja", 0x11}, {"ko", 0x12}, {"nl", 0x13}, {"nb", 0x14}, {"nn", 0x14}, {"no", 0x14}, {"pl", 0x15}, {"pt", 0x16},
      {"ro", 0x18}, {"ru", 0x19}, {"hr", 0x1A}, {"sk", 0x1B}, {"sq", 0x1C}, {"sv", 0x1D}, {"th", 0x1E}, {"tr", 0x1F},
      {"id", 0x21}, {"uk", 0x22}, {"be", 0x23}, {"sl", 0x24}, {"et", 0x25}, {"lv", 0x26}, {"lt", 0x27}, {"vi", 0x2A},
      {"eu", 0x2D}, {"af", 0x36}, {"hi", 0x39}, {"ga", 0x3C}, {"ms", 0x3E}, {"sw", 0x41}, {"gl", 0x56},
  };
  struct Sub {
    uint16_t primary;
    const char* country;
    uint16_t sub;
  };
  static const Sub kSublanguages[] = {
      {0x09, "US", 1},  {0x09, "GB", 2},  {0x09, "AU", 3},  {0x09, "CA", 4},  {0x09, "NZ", 5},  {0x09, "IE", 6},
      {0x09, "ZA", 7},  {0x09, "JM", 8},  {0x09, "BZ", 10}, {0x09, "TT", 11}, {0x09, "ZW", 12}, {0x09, "PH", 13},
      {0x09, "IN", 16}, {0x09, "MY", 17}, {0x09, "SG", 18}, {0x0C, "FR", 1},  {0x0C, "BE", 2},  {0x0C, "CA", 3},
      {0x0C, "CH", 4},  {0x0C, "LU", 5},  {0x0C, "MC", 6},  {0x07, "DE", 1},  {0x07, "CH", 2},  {0x07, "AT", 3},
      {0x07, "LU", 4},  {0x07, "LI", 5},  {0x0A, "ES", 3},  {0x0A, "MX", 2},  {0x10, "IT", 1},  {0x10, "CH", 2},
      {0x16, "BR", 1},  {0x16, "PT", 2},  {0x13, "NL", 1},  {0x13, "BE", 2},  {0x1D, "SE", 1},  {0x1D, "FI", 2},
      {0x04, "TW", 1},  {0x04, "CN", 2},  {0x04, "HK", 3},  {0x04, "SG", 4},
  };
  // ll[_CC][.encoding][@modifier]
  std::string name = locale.substr(0, locale.find_first_of(".@"));
  if (name.empty() || name == "C" || name == "POSIX") return 0x0409;
  std::string lang = name.substr(0, name.find('_'));
  std::string country = name.find('_') == std::string::npos ? "" : name.substr(name.find('_') + 1);
  for (auto& c : lang) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (auto& c : country) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  uint16_t primary = 0;
  for (const auto& l : kLanguages) {
    if (lang == l.code) primary = l.primary;
  }
  if (primary == 0) return 0;    // neutral: a language the table does not know
  uint16_t sub = 1;              // the language's default sublanguage
  if (lang == "nn") sub = 2;     // Norwegian Nynorsk is Norwegian's second form
  if (primary == 0x04) sub = 2;  // Chinese without a country: simplified (China)
  for (const auto& s : kSublanguages) {
    if (s.primary == primary && country == s.country) sub = s.sub;
  }
  return static_cast<uint16_t>((sub << 10) | primary);
}

}  // namespace kestrel
