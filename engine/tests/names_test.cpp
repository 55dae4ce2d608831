// File-name and text utilities in both path styles, the full-path and
// wildcard rules, the keyword remover and the wildcard erase on real files.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "testkit.h"

using kestrel::PathStyle;

namespace {

constexpr PathStyle kWin = PathStyle::Windows;
constexpr PathStyle kPosix = PathStyle::Posix;

std::string Split(const std::string& path, PathStyle style) {
  auto p = kestrel::SplitFileName(path, style);
  return p.Dir + "|" + p.Name + "|" + p.Ext;
}

TEST(PathNames, SplitDefaultAndStripInBothStyles) {
  EXPECT_EQ(Split("C:\\DATA\\SALES.DBF", kWin), "C:\\DATA\\|SALES|.DBF");
  EXPECT_EQ(Split("C:SALES.DBF", kWin), "C:\\|SALES|.DBF");
  EXPECT_EQ(Split("SALES.DBF", kWin), "|SALES|.DBF");
  EXPECT_EQ(Split("DIR.X\\SALES", kWin), "DIR.X\\|SALES|");
  EXPECT_EQ(Split("/data/x.y/sales.dbf", kPosix), "/data/x.y/|sales|.dbf");
  EXPECT_EQ(Split("C:a\\b.dbf", kPosix), "|C:a\\b|.dbf");
  EXPECT_EQ(Split(std::string(70, 'n') + "." + std::string(70, 'e'), kPosix),
            "|" + std::string(64, 'n') + "|." + std::string(63, 'e'));

  EXPECT_EQ(kestrel::DefaultExtension("C:SALES", "dbf", kWin), "C:\\SALES.dbf");
  EXPECT_EQ(kestrel::DefaultExtension("SALES.DBF", "dbf", kWin), "SALES.DBF");
  EXPECT_EQ(kestrel::DefaultExtension("DIR.X\\SALES", "dbf", kWin), "DIR.X\\SALES.dbf");
  EXPECT_EQ(kestrel::DefaultExtension("SALES.", "dbf", kWin), "SALES.");
  EXPECT_EQ(kestrel::DefaultExtension("SALES  ", "dbf", kWin), "SALES.dbf");
  EXPECT_EQ(kestrel::DefaultExtension("/d.x/sales", "dbf", kPosix), "/d.x/sales.dbf");
  EXPECT_EQ(kestrel::DefaultExtension("/d/" + std::string(70, 's'), "dbf", kPosix),
            "/d/" + std::string(64, 's') + ".dbf");
  EXPECT_EQ(kestrel::DefaultExtension("/" + std::string(300, 'd') + "/x", "dbf", kPosix), "/" + std::string(254, 'd'));

  EXPECT_EQ(kestrel::StripExtension("C:\\A.B\\C.DBF", kWin), "C:\\A.B\\C");
  EXPECT_EQ(kestrel::StripExtension("C:\\A.B\\C", kWin), "C:\\A.B\\C");
  EXPECT_EQ(kestrel::StripExtension("X.Y.Z", kWin), "X.Y");
}

TEST(PathNames, FullPathRules) {
  auto win = [](const std::string& p) { return kestrel::ResolveFullPath(p, "C:\\DATA", kWin); };
  EXPECT_EQ(win("SALES.DBF"), "C:\\DATA\\SALES.DBF");
  EXPECT_EQ(win("C:SALES"), "C:\\DATA\\SALES");
  EXPECT_EQ(win("D:SALES"), "D:\\SALES");
  EXPECT_EQ(win("\\ROOT\\X"), "C:\\ROOT\\X");
  EXPECT_EQ(win("..\\..\\X\\.\\Y"), "C:\\X\\Y");
  EXPECT_EQ(win("C:\\A\\\\B//C\\"), "C:\\A\\B\\C\\");
  EXPECT_EQ(win("\\\\SERVER\\SHARE\\..\\X"), "\\\\SERVER\\SHARE\\X");
  EXPECT_EQ(win("C:\\" + std::string(256, 'a')).size(), 259u);
  EXPECT_EQ(win("C:\\" + std::string(257, 'a')), "");

  auto posix = [](const std::string& p) { return kestrel::ResolveFullPath(p, "/home/u", kPosix); };
  EXPECT_EQ(posix("x.dbf"), "/home/u/x.dbf");
  EXPECT_EQ(posix("../v//w/./x"), "/home/v/w/x");
  EXPECT_EQ(posix("//a/b/"), "/a/b/");

  kestrel::Engine engine;
  EXPECT_EQ(engine.FullPathName("t.dbf"), (std::filesystem::current_path() / "t.dbf").string());
}

TEST(TextUtilities, UpperLettersTrimNumbersAndMasks) {
  kestrel::Engine engine;
  EXPECT_EQ(engine.UpperText("abc Xyz1_"), "ABC XYZ1_");
  EXPECT_TRUE(engine.StartsWithLetter("a1"));
  EXPECT_FALSE(engine.StartsWithLetter("1a") || engine.StartsWithLetter("_") || engine.StartsWithLetter(""));

  EXPECT_EQ(kestrel::TrimText(" \t\r\n "), "");
  EXPECT_EQ(kestrel::TrimText("\x01 a b\x1f"), "a b");
  EXPECT_EQ(kestrel::TrimText("\xA0x\xFF"), "\xA0x\xFF");  // high bytes are characters, not blanks
  EXPECT_EQ(kestrel::TrimLeftText(" a ") + kestrel::TrimRightText(" a "), "a  a");

  EXPECT_EQ(kestrel::NumberText(42, 5), "   42");
  EXPECT_EQ(kestrel::NumberText(-7, 0), "-7");
  EXPECT_EQ(kestrel::NumberText(INT32_MIN, 12), " -2147483648");

  EXPECT_TRUE(kestrel::MaskMatches("*.ndx", "X.NDX"));
  EXPECT_FALSE(kestrel::MaskMatches("*.ndx", "x.ndxx"));
  EXPECT_TRUE(kestrel::MaskMatches("a*b*c", "aXbYbc"));
  EXPECT_TRUE(kestrel::MaskMatches("*.*", "noext"));
}

TEST(TextUtilities, NthPosCountsFromEitherEnd) {
  EXPECT_EQ(kestrel::NthPos(2, "A", "BANANA"), 4);
  EXPECT_EQ(kestrel::NthPos(-1, "A", "BANANA"), 6);
  EXPECT_EQ(kestrel::NthPos(-1, "AN", "BANANA"), 4);
  EXPECT_EQ(kestrel::NthPos(-2, "AN", "BANANA"), 2);
  EXPECT_EQ(kestrel::NthPos(4, "A", "BANANA"), 0);
  EXPECT_EQ(kestrel::NthPos(-3, "AN", "BANANA"), 0);
  EXPECT_EQ(kestrel::NthPos(2, "AA", "AAA"), 2);
  EXPECT_EQ(kestrel::NthPos(0, "A", "BANANA"), 0);
  EXPECT_EQ(kestrel::NthPos(1, "", "BANANA"), 0);
  EXPECT_EQ(kestrel::NthPos(INT32_MIN, "A", "BANANA"), 0);
}

TEST(TextUtilities, RemoveKeywordTakesOnlyWholeWords) {
  kestrel::Engine engine;
  auto remove = [&](const std::string& key, std::string text) {
    bool removed = engine.RemoveKeyword(key, text);
    return (removed ? "+" : "-") + text;
  };
  EXPECT_EQ(remove(" EXCLUSIVE", "c:\\data\\x.dbf exclusive"), "+C:\\DATA\\X.DBF");
  EXPECT_EQ(remove(" EXCLUSIVE", "c:\\x.dbf exclusive2"), "-C:\\X.DBF EXCLUSIVE2");
  EXPECT_EQ(remove(" EXCLUSIVE", "c:\\x.dbf exclusive_"), "-C:\\X.DBF EXCLUSIVE_");
  EXPECT_EQ(remove(" EXCLUSIVE", "c:\\x.dbf exclusive\\y"), "-C:\\X.DBF EXCLUSIVE\\Y");
  EXPECT_EQ(remove(" exclusive", "x exclusive2 exclusive alias a"), "+X EXCLUSIVE2 ALIAS A");
  EXPECT_EQ(remove(" EXCLUSIVE", "x exclusive exclusive"), "+X");
  EXPECT_EQ(remove("", "  abc\t"), "-ABC");
}

// The names of everything in a directory.
std::set<std::string> Names(const testkit::TempDir& dir) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(dir.path())) names.insert(e.path().filename().string());
  return names;
}

TEST(EraseFiles, SingleFileIsErasedOrReported) {
  testkit::TempDir dir;
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  testkit::ReportLog log(engine);
  const std::string path = dir.Write("a.ndx", "x");
  engine.EraseFiles(path);
  EXPECT_EQ(engine.ErrorCode, 0);
  EXPECT_FALSE(testkit::FileExists(path));
  engine.EraseFiles(path);
  EXPECT_EQ(log.entries, (std::vector<testkit::ReportLog::Entry>{{2, "Error erasing " + path}}));
}

// Hidden files are dot files and a doubled "/" is one only on POSIX hosts;
// the Windows attributes have their own tests in win32_platform_test.cpp.
constexpr const char* kPosixAttributes =
    "POSIX attributes (dot files are hidden); Windows ones: Win32Platform.WildcardEraseHonoursWindowsAttributes";

TEST(EraseFiles, WildcardErasesWhatItCanAndCountsTheRest) {
  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) GTEST_SKIP() << kPosixAttributes;
  testkit::TempDir dir;
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  dir.Write("A.NDX", "a");
  dir.Write("b.ndx", "b");
  testkit::SetReadOnly(dir.Write("c.ndx", "c"), true);
  dir.Write(".hidden.ndx", "h");
  std::filesystem::create_directory(dir.File("sub.ndx"));
  dir.Write("keep.dbf", "k");
  const std::string mask = dir.path() + "//*.ndx";  // the doubled separator counts as one
  auto code = testkit::RunUntilExit([&] { engine.EraseFiles(mask); });
  EXPECT_EQ(code, 5);
  ASSERT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.halts[0].text, "Error # 5 (File access denied)\r\nCould not erase 1 files like " + mask);
  EXPECT_EQ(Names(dir), (std::set<std::string>{".hidden.ndx", "c.ndx", "keep.dbf", "sub.ndx"}));
}

TEST(EraseFiles, NoMatchIsQuiet) {
  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) GTEST_SKIP() << kPosixAttributes;
  testkit::TempDir dir;
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  testkit::ReportLog log(engine);
  dir.Write(".hidden.ndx", "h");
  std::filesystem::create_directory(dir.File("sub.ndx"));
  engine.EraseFiles(dir.File("*.ndx"));
  EXPECT_EQ(engine.ErrorCode, 18);  // only entries the search skips
  engine.EraseFiles(dir.File("*.cdx"));
  EXPECT_EQ(engine.ErrorCode, 2);
  EXPECT_EQ(engine.FindStatus, 2);
  engine.EraseFiles(dir.File("none/*.ndx"));
  EXPECT_EQ(engine.ErrorCode, 3);
  EXPECT_TRUE(log.entries.empty());
  EXPECT_EQ(Names(dir).size(), 2u);
}

// The blot character 255 cannot move a search on when the pattern starts
// with it: both searches must still end, and at once.
TEST(TextUtilities, PatternsStartingWithByte255End) {
  EXPECT_EQ(kestrel::NthPos(INT32_MAX, "\xFF\xFF", "\xFF\xFF\xFF"), 1);
  kestrel::Engine engine;
  const std::string word = std::string(2, '\xFF') + "A";
  std::string text = word;
  EXPECT_FALSE(engine.RemoveKeyword("\xFF\xFF", text));
  EXPECT_EQ(text, engine.UpperText(word));  // Windows' code page 1252 upper-cases 0xFF to 0x9F
}

}  // namespace
