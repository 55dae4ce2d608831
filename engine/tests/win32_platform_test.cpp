// The Win32 platform layer on the system's own file attributes: the search's
// attribute filter and the wildcard erase meet hidden, system, read-only and
// open files and subdirectories as Windows marks them, and masks hold to the
// real names, not to the short 8.3 ones; links are marked.
#include <gtest/gtest.h>

#include <filesystem>
#include <set>

#include "kestrel/engine.h"
#include "testkit.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace {

#ifndef _WIN32
constexpr const char* kNeedsWindows =
    "hidden and system files exist only as Windows attributes; the POSIX rules are tested in names_test.cpp";
#else
void Mark(const std::string& path, DWORD attributes) {
  ASSERT_TRUE(SetFileAttributesA(path.c_str(), attributes)) << path;
}
#endif

TEST(Win32Platform, WildcardEraseHonoursWindowsAttributes) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  testkit::TempDir dir;
  for (const char* name : {"A.NDX", "b.ndx", "c.ndx", "h.ndx", "s.ndx", "open.ndx", "x.ndxold", "keep.dbf"}) {
    dir.Write(name, name);
  }
  testkit::SetReadOnly(dir.File("c.ndx"), true);
  Mark(dir.File("h.ndx"), FILE_ATTRIBUTE_HIDDEN);
  Mark(dir.File("s.ndx"), FILE_ATTRIBUTE_SYSTEM);
  std::filesystem::create_directory(dir.File("sub.ndx"));
  std::unique_ptr<kestrel::File> held;  // another opener, who does not share deleting
  ASSERT_EQ(kestrel::Platform::Default().OpenFile(dir.File("open.ndx"), 66, &held), 0);

  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  const std::string mask = dir.path() + "\\\\*.ndx";  // a root's "C:\" + "\*.ndx": the doubled one counts once
  EXPECT_EQ(testkit::RunUntilExit([&] { engine.EraseFiles(mask); }), 5);
  ASSERT_EQ(platform.halts.size(), 1u);
  EXPECT_EQ(platform.halts[0].text, "Error # 5 (File access denied)\r\nCould not erase 2 files like " + mask);
  for (const char* gone : {"A.NDX", "b.ndx"}) EXPECT_FALSE(testkit::FileExists(dir.File(gone))) << gone;
  for (const char* kept : {"c.ndx", "h.ndx", "s.ndx", "open.ndx", "x.ndxold", "keep.dbf", "sub.ndx"}) {
    EXPECT_TRUE(testkit::FileExists(dir.File(kept))) << kept;
  }
  held.reset();
#endif
}

TEST(Win32Platform, SearchResultsForMasksThatFindNothingToErase) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  testkit::TempDir dir;
  Mark(dir.Write("h.ndx", "h"), FILE_ATTRIBUTE_HIDDEN);
  Mark(dir.Write("s.ndx", "s"), FILE_ATTRIBUTE_SYSTEM);
  std::filesystem::create_directory(dir.File("sub.ndx"));
  dir.Write("x.cdxold", "x");
  testkit::RecordingPlatform platform;
  kestrel::Engine engine(platform);
  engine.EraseFiles(dir.File("*.ndx"));
  EXPECT_EQ(engine.ErrorCode, 18);       // only entries the search leaves out
  engine.EraseFiles(dir.File("*.cdx"));  // its short name X~1.CDX matches, its name does not
  EXPECT_EQ(engine.ErrorCode, 2);
  EXPECT_EQ(engine.FindStatus, 2);
  engine.EraseFiles(dir.File("none\\*.ndx"));
  EXPECT_EQ(engine.ErrorCode, 3);
  EXPECT_TRUE(platform.halts.empty());

  // What is left out is there for a search that asks for it.
  kestrel::FoundFile found;
  EXPECT_EQ(engine.FindFirst(dir.File("*.ndx"), kestrel::attr::Hidden | kestrel::attr::System, found), 0);
  std::set<std::string> names = {found.name};
  while (engine.FindNext(found) == 0) names.insert(found.name);
  engine.FindClose();
  EXPECT_EQ(names, (std::set<std::string>{"h.ndx", "s.ndx"}));
#endif
}

// A link to a directory is found as a directory marked as a link, so that a
// walk over a tree can leave it alone.
TEST(Win32Platform, LinksAreMarked) {
#ifndef _WIN32
  GTEST_SKIP() << kNeedsWindows;
#else
  testkit::TempDir dir;
  std::filesystem::create_directory(dir.File("sub"));
  // 1: a link to a directory; 2: made without the right to make links, where
  // the system allows that.
  // (Wine answers that it made the link and makes none.)
  if (!CreateSymbolicLinkA(dir.File("link").c_str(), dir.File("sub").c_str(), 1 | 2) ||
      GetFileAttributesA(dir.File("link").c_str()) == INVALID_FILE_ATTRIBUTES) {
    GTEST_SKIP() << "this system makes no symbolic link here";
  }
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  ASSERT_EQ(kestrel::Platform::Default().FindFirst(dir.File("l*"), kestrel::attr::Directory, &search, &found), 0);
  EXPECT_EQ(found.name + ":" + std::to_string(found.attributes), "link:1040");
#endif
}

// The drive box's queries answer for the system drive and refuse a drive
// letter that is no network connection.
TEST(Win32Platform, DriveQueriesAnswerForTheSystemDrive) {
#ifndef _WIN32
  GTEST_SKIP() << "drive letters exist only on Windows; the POSIX answers are tested in platform_test.cpp";
#else
  kestrel::Platform& host = kestrel::Platform::Default();
  EXPECT_NE(host.LogicalDrives() & (1u << ('c' - 'a')), 0u);
  EXPECT_EQ(host.DriveTypeOf("c:\\"), kestrel::DriveType::Fixed);
  kestrel::VolumeInfo volume;
  EXPECT_EQ(host.VolumeInformation("c:\\", &volume), 0);
  EXPECT_TRUE(volume.casePreserving);
  std::string remote = "x";
  EXPECT_NE(host.NetworkConnection("c:", &remote), 0);
  EXPECT_EQ(remote, "");
#endif
}

}  // namespace
