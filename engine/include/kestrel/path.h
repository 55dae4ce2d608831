// Path algebra as text, in either path style, so that both rule sets are
// used (and tested) on every host: where a path's directory ends, its root,
// joining a name to a directory, and the separators at its end.
//
// The roots, which keep what they are made of:
// - POSIX: "/";
// - Windows: "\" (the current drive's root), "C:\" (a drive's root), "C:"
//   (a drive alone: that drive's current directory) and "\\server\share"
//   (a network share; the separator after it starts what lies inside).
// On Windows "/" separates as "\" does, and the colon of a drive ends a
// directory part ("C:SALES.DBF" lies in "C:").
#pragma once

#include <cstddef>
#include <string>

namespace kestrel {

// Separator rules. Windows: "\" and "/", and ":" after a drive letter;
// POSIX: "/" only.
enum class PathStyle { Windows, Posix };

// The style of the host this binary was built for.
PathStyle HostPathStyle();

// The separator a path of `style` is built with: "\" or "/".
char PathSeparator(PathStyle style = HostPathStyle());

// Whether `c` separates the parts of a path of `style` ("\" or "/"; "/").
// The drive colon is no separator: it is a part of its root.
bool IsPathSeparator(char c, PathStyle style = HostPathStyle());

// The position of the last character that ends a directory part (a
// separator, or on Windows a colon), or npos when there is none.
size_t LastPathBreak(const std::string& path, PathStyle style = HostPathStyle());

// The length of the root `path` starts with (see above), 0 for a relative
// path.
size_t RootLength(const std::string& path, PathStyle style = HostPathStyle());

// A path cut at its last break: the directory it lies in ("" for a name
// alone; a root stays whole, separator included: "/", "C:\", "C:") and the
// name after it ("" for a root, or a path ending in a separator).
struct PathParts {
  std::string directory;
  std::string name;
};
PathParts SplitPath(const std::string& path, PathStyle style = HostPathStyle());

// `name` inside `directory`, with one separator between them: none is
// added after a root that ends in one ("/", "c:\\") or after a drive ("c:"),
// nor to an empty directory.
std::string WithinDirectory(const std::string& directory, const std::string& name, PathStyle style = HostPathStyle());

// `path` without the separators at its end; a root keeps its own ("/",
// "C:\").
std::string WithoutTrailingSeparator(const std::string& path, PathStyle style = HostPathStyle());

}  // namespace kestrel
