// Agreement between the two platform layers: the POSIX layer's code page
// table, its ASCII character rules and the Windows path rules it applies as
// text must give what the Windows API itself gives. Runs in the Windows build
// (under Wine here), where Platform::Default() is the Win32 layer.
#include <gtest/gtest.h>

#include <cstdio>
#include <string>
#include <vector>

#include "kestrel/names.h"
#include "kestrel/platform.h"

namespace {

using kestrel::Platform;

#ifndef _WIN32
constexpr const char* kNeedsWindows =
    "compares with the Windows API itself (OemToCharBuffA, CharUpperBuffA, IsCharAlphaA, GetFullPathNameA); "
    "runs in the Windows build";
#endif

TEST(Win32Agreement, OemTableIsWhatOemToCharBuffAGives) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  uint8_t bytes[256];
  for (int i = 0; i < 256; ++i) bytes[i] = static_cast<uint8_t>(i);
  Platform::Default().OemToAnsi(bytes, sizeof bytes);  // one run, in place, as records are translated
  std::string differences;
  for (int i = 0; i < 256; ++i) {
    if (bytes[i] != kestrel::kOem437ToAnsi1252[i]) {
      char line[48];
      std::snprintf(line, sizeof line, " %02X: table %02X, Windows %02X;", i, kestrel::kOem437ToAnsi1252[i], bytes[i]);
      differences += line;
    }
  }
  EXPECT_EQ(differences, "") << "(the OEM code page must be 437 and the ANSI one 1252)";
#endif
}

TEST(Win32Agreement, UpperCaseAndLettersAgreeWithTheCLocaleOnAscii) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  Platform& windows = Platform::Default();
  char all[128];
  for (int c = 0; c < 128; ++c) all[c] = static_cast<char>(c);
  windows.UpperBytes(all, sizeof all);  // a whole run, NUL included, as UpperText passes it
  for (int c = 0; c < 128; ++c) {
    const bool lower = c >= 'a' && c <= 'z';
    const bool letter = lower || (c >= 'A' && c <= 'Z');
    char one = static_cast<char>(c);
    windows.UpperBytes(&one, 1);
    EXPECT_EQ(one, lower ? c - 32 : c) << "byte " << c;
    EXPECT_EQ(all[c], lower ? c - 32 : c) << "byte " << c << " in a run";
    EXPECT_EQ(windows.IsLetter(static_cast<uint8_t>(c)), letter) << "byte " << c;
  }
#endif
}

TEST(Win32Agreement, FullPathRulesAsTextMatchGetFullPathNameA) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  Platform& windows = Platform::Default();
  const std::string cwd = windows.CurrentDirectory();
  ASSERT_EQ(cwd.substr(1, 2), ":\\");
  const std::string drive = cwd.substr(0, 2);
  const std::string other = drive == "Q:" ? "r:" : "q:";
  const std::string lowerDrive = std::string(1, static_cast<char>(drive[0] | 0x20)) + ":";
  // clang-format off
  std::vector<std::string> paths = {
      "SALES.DBF", "sub\\x.dbf", "..\\x.dbf", ".\\a\\..\\b.dbf", "\\x.dbf", "/dir/x.dbf", "C:\\DATA\\SALES.DBF",
      "c:\\data\\\\sales.dbf", "C:\\\\*.ndx", "C:\\DATA\\", "SALES.", "sub\\x.dbf. .",
      "\\\\server\\share\\dir\\x.dbf"};
  // clang-format on
  // Drive-relative names on the current drive and on another one, and the
  // last lengths that fit (259) and do not (260).
  for (const char* tail : {"SALES", "\\x\\..\\y.dbf"}) paths.insert(paths.end(), {drive + tail, other + tail});
  paths.push_back(lowerDrive + "x");
  paths.push_back("C:\\" + std::string(300, 'n'));
  paths.push_back("C:\\" + std::string(252, 'a') + ".dbf");
  paths.push_back("C:\\" + std::string(253, 'a') + ".dbf");
  for (const std::string& path : paths) {
    EXPECT_EQ(kestrel::ResolveFullPath(path, cwd, kestrel::PathStyle::Windows), windows.FullPath(path))
        << "path " << path;
  }
  // The splitting rules on what the real service gave.
  const kestrel::FileNameParts parts = kestrel::SplitFileName(windows.FullPath(drive + "SALES.DBF"));
  EXPECT_EQ(parts.Dir, cwd.back() == '\\' ? cwd : cwd + "\\");
  EXPECT_EQ(parts.Name + parts.Ext, "SALES.DBF");
  EXPECT_EQ(kestrel::DefaultExtension(windows.FullPath("C:\\DIR.X\\SALES"), "dbf"), "C:\\DIR.X\\SALES.dbf");
#endif
}

}  // namespace
