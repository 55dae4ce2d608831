// Path algebra as text, in either path style.
#include "kestrel/path.h"

#include <algorithm>

namespace kestrel {

PathStyle HostPathStyle() {
#ifdef _WIN32
  return PathStyle::Windows;
#else
  return PathStyle::Posix;
#endif
}

char PathSeparator(PathStyle style) { return style == PathStyle::Windows ? '\\' : '/'; }

bool IsPathSeparator(char c, PathStyle style) { return c == '/' || (style == PathStyle::Windows && c == '\\'); }

namespace {

bool EndsDirectoryPart(char c, PathStyle style) {
  return IsPathSeparator(c, style) || (style == PathStyle::Windows && c == ':');
}

bool IsDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

}  // namespace

size_t LastPathBreak(const std::string& path, PathStyle style) {
  for (size_t i = path.size(); i > 0; --i) {
    if (EndsDirectoryPart(path[i - 1], style)) return i - 1;
  }
  return std::string::npos;
}

size_t RootLength(const std::string& path, PathStyle style) {
  if (path.empty()) return 0;
  if (style == PathStyle::Posix) return path[0] == '/' ? 1 : 0;
  if (path.size() >= 2 && path[1] == ':' && IsDriveLetter(path[0])) {
    return path.size() >= 3 && IsPathSeparator(path[2], style) ? 3 : 2;
  }
  if (!IsPathSeparator(path[0], style)) return 0;
  const bool share = path.size() >= 3 && IsPathSeparator(path[1], style) && !IsPathSeparator(path[2], style);
  if (!share) return 1;
  // "\\server\share": the server's name, a separator and the share's name.
  auto partEnd = [&](size_t from) {
    while (from < path.size() && !IsPathSeparator(path[from], style)) ++from;
    return from;
  };
  const size_t server = partEnd(2);
  return server < path.size() ? partEnd(server + 1) : server;
}

PathParts SplitPath(const std::string& path, PathStyle style) {
  const size_t root = RootLength(path, style);
  if (path.size() <= root) return {path, std::string()};
  const size_t at = LastPathBreak(path, style);
  if (at == std::string::npos) return {std::string(), path};
  // A root keeps its separator ("/x" lies in "/"); a share's root has
  // none of its own ("\\server\share\x" lies in "\\server\share").
  return {path.substr(0, std::max(at, root)), path.substr(at + 1)};
}

std::string WithinDirectory(const std::string& directory, const std::string& name, PathStyle style) {
  if (directory.empty() || EndsDirectoryPart(directory.back(), style)) return directory + name;
  return directory + PathSeparator(style) + name;
}

std::string WithoutTrailingSeparator(const std::string& path, PathStyle style) {
  const size_t keep = std::max<size_t>(RootLength(path, style), 1);
  size_t end = path.size();
  while (end > keep && IsPathSeparator(path[end - 1], style)) --end;
  return path.substr(0, end);
}

}  // namespace kestrel
