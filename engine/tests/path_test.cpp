// Path algebra in both styles: the split at the last break, the roots, the
// join and the separators at the end.
#include "kestrel/path.h"

#include <gtest/gtest.h>

using kestrel::PathStyle;

namespace {

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

struct Case {
  PathStyle style;
  std::string path;
  std::string expected;
};

TEST(Path, SplitKeepsARootWholeAndCutsElsewhereBeforeTheLastBreak) {
  const Case cases[] = {
      {kPosix, "/a/b/c.dbf", "/a/b|c.dbf"},
      {kPosix, "/c.dbf", "/|c.dbf"},
      {kPosix, "c.dbf", "|c.dbf"},
      {kPosix, "a/", "a|"},
      {kPosix, "/", "/|"},
      {kPosix, "//x", "/|x"},
      {kPosix, "a\\b:c", "|a\\b:c"},
      {kWin, "C:\\DATA\\T.DBF", "C:\\DATA|T.DBF"},
      {kWin, "C:/DATA/T.DBF", "C:/DATA|T.DBF"},
      {kWin, "C:\\T.DBF", "C:\\|T.DBF"},
      {kWin, "C:T.DBF", "C:|T.DBF"},
      {kWin, "\\T.DBF", "\\|T.DBF"},
      {kWin, "C:\\", "C:\\|"},
      {kWin, "C:", "C:|"},
      {kWin, "\\\\SERVER\\SHARE\\T.DBF", "\\\\SERVER\\SHARE|T.DBF"},
      {kWin, "\\\\SERVER\\SHARE", "\\\\SERVER\\SHARE|"},
      {kWin, "DATA\\", "DATA|"},
  };
  for (const Case& c : cases) {
    const kestrel::PathParts parts = kestrel::SplitPath(c.path, c.style);
    EXPECT_EQ(parts.directory + "|" + parts.name, c.expected) << c.path;
  }
}

TEST(Path, RootLengths) {
  const std::pair<Case, size_t> cases[] = {
      {{kPosix, "/home", ""}, 1}, {{kPosix, "home", ""}, 0},
      {{kPosix, "C:/x", ""}, 0},  {{kWin, "C:\\x", ""}, 3},
      {{kWin, "c:/x", ""}, 3},    {{kWin, "C:x", ""}, 2},
      {{kWin, "\\x", ""}, 1},     {{kWin, "\\\\srv\\share\\x", ""}, 11},
      {{kWin, "\\\\srv", ""}, 5}, {{kWin, "1:\\x", ""}, 0},
      {{kWin, "x", ""}, 0},
  };
  for (const auto& [c, length] : cases) EXPECT_EQ(kestrel::RootLength(c.path, c.style), length) << c.path;
}

TEST(Path, JoinPutsOneSeparatorBetween) {
  const Case cases[] = {
      {kPosix, "/a", "/a/n"}, {kPosix, "/", "/n"},         {kPosix, "", "n"},
      {kPosix, "a/", "a/n"},  {kWin, "C:\\A", "C:\\A\\n"}, {kWin, "C:\\", "C:\\n"},
      {kWin, "C:", "C:n"},    {kWin, "C:/A/", "C:/A/n"},   {kWin, "\\\\S\\H", "\\\\S\\H\\n"},
  };
  for (const Case& c : cases) EXPECT_EQ(kestrel::WithinDirectory(c.path, "n", c.style), c.expected) << c.path;
}

TEST(Path, TrailingSeparatorsGoButARootKeepsItsOwn) {
  const Case cases[] = {
      {kPosix, "/a/b//", "/a/b"},       {kPosix, "///", "/"},   {kPosix, "a\\", "a\\"}, {kWin, "C:\\A\\/", "C:\\A"},
      {kWin, "C:\\\\", "C:\\"},         {kWin, "C:/", "C:/"},   {kWin, "C:", "C:"},     {kWin, "\\\\", "\\"},
      {kWin, "\\\\S\\H\\", "\\\\S\\H"}, {kWin, "A:B:", "A:B:"},
  };
  for (const Case& c : cases) EXPECT_EQ(kestrel::WithoutTrailingSeparator(c.path, c.style), c.expected) << c.path;
}

TEST(Path, TheLastBreakOnWindowsIsAnySeparatorOrADriveColon) {
  EXPECT_EQ(kestrel::LastPathBreak("C:T", kWin), 1u);
  EXPECT_EQ(kestrel::LastPathBreak("A\\B/C", kWin), 3u);
  EXPECT_EQ(kestrel::LastPathBreak("A\\B:C", kPosix), std::string::npos);
}

}  // namespace
