// The POSIX platform's emulation of Windows file semantics: share modes
// between opens, byte-range locks, names without regard to case, read-only
// files, the search's attribute rules, the user's language and the OEM table.
#include <gtest/gtest.h>

#include <filesystem>

#ifndef _WIN32
#include <unistd.h>
#endif

#include "testkit.h"

namespace {

kestrel::Platform& host() { return kestrel::Platform::Default(); }

// The Windows semantics that the POSIX layer emulates are what the Win32
// layer gets from the system; the Windows build runs these cases as well, so
// both layers answer alike.

uint16_t Open(const std::string& path, uint8_t mode, std::unique_ptr<kestrel::File>& file) {
  return host().OpenFile(path, mode, &file);
}

std::string Contents(const std::string& path) {
  std::unique_ptr<kestrel::File> f;
  if (Open(path, 66, f) != 0) return "?";
  char buf[16];
  size_t got = 0;
  f->Read(buf, sizeof buf, &got);
  return std::string(buf, got);
}

TEST(PosixPlatform, ShareModesHoldBetweenOpensUntilClosed) {
  testkit::TempDir dir;
  const std::string path = dir.Write("t.dbf", "x");
  struct Case {
    uint8_t first, second;
    uint16_t result;
  };
  for (Case c : {Case{18, 18, 32}, Case{18, 66, 32}, Case{66, 18, 32}, Case{66, 66, 0}, Case{2, 66, 0}, Case{66, 2, 0},
                 Case{2, 18, 32}}) {
    SCOPED_TRACE(std::to_string(c.first) + " then " + std::to_string(c.second));
    std::unique_ptr<kestrel::File> a, b;
    ASSERT_EQ(Open(path, c.first, a), 0);
    EXPECT_EQ(Open(path, c.second, b), c.result);
    EXPECT_EQ(a->Close(), 0);
    EXPECT_EQ(a->Close(), 6);
    b.reset();
    EXPECT_EQ(Open(path, c.second, b), 0);  // the share byte went with the close
  }
}

TEST(PosixPlatform, ByteRangeLocksConflictBetweenOpens) {
  testkit::TempDir dir;
  const std::string path = dir.Write("t.dbf", "x");
  std::unique_ptr<kestrel::File> a, b;
  ASSERT_EQ(Open(path, 66, a), 0);
  ASSERT_EQ(Open(path, 66, b), 0);
  const uint32_t at = 0x40000000u + 100;
  EXPECT_EQ(a->LockRegion(at, 10), 0);
  EXPECT_EQ(b->LockRegion(at + 5, 10), 33);
  EXPECT_EQ(b->UnlockRegion(at, 10), 158);
  EXPECT_EQ(a->UnlockRegion(at, 5), 158);  // only the exact region unlocks
  EXPECT_EQ(a->UnlockRegion(at, 10), 0);
  EXPECT_EQ(b->LockRegion(at, 10), 0);
  b.reset();  // closing drops its locks
  EXPECT_EQ(a->LockRegion(at, 20), 0);
}

TEST(PosixPlatform, NamesResolveWithoutRegardToCase) {
  testkit::TempDir dir;
  std::filesystem::create_directory(dir.File("Data"));
  dir.Write("Data/cust.DBF", "cust");
  EXPECT_EQ(Contents(dir.File("DATA/CUST.dbf")), "cust");

  std::unique_ptr<kestrel::File> f;
  EXPECT_EQ(Open(dir.File("none.dbf"), 66, f), 2);
  EXPECT_EQ(Open(dir.File("none/x.dbf"), 66, f), 3);
  EXPECT_EQ(Open(dir.File("Data"), 66, f), 5);
  EXPECT_EQ(host().RemoveFile(dir.File("DATA/Cust.Dbf")), 0);
  EXPECT_FALSE(testkit::FileExists(dir.File("Data/cust.DBF")));

  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) {
    GTEST_SKIP() << "two names that differ only in case cannot both exist on Windows";
  }
  dir.Write("a.dbf", "lower");
  dir.Write("A.DBF", "upper");
  EXPECT_EQ(Contents(dir.File("a.dbf")), "lower");
  EXPECT_EQ(Contents(dir.File("A.DBF")), "upper");
  EXPECT_EQ(Contents(dir.File("a.DBF")), "upper");  // no exact match: the first in byte order
}

#ifndef _WIN32
// A relative name against a current directory that is gone has no full path.
TEST(PosixPlatform, RelativeNamesNeedACurrentDirectory) {
  const auto saved = std::filesystem::current_path();
  {
    testkit::TempDir dir;
    std::filesystem::create_directory(dir.File("gone"));
    std::filesystem::current_path(dir.File("gone"));
    std::filesystem::remove(dir.File("gone"));
    EXPECT_EQ(host().FullPath("t.dbf"), "");
    EXPECT_EQ(host().FullPath("/x/../t.dbf"), "/t.dbf");
    std::filesystem::current_path(saved);
  }
}
#endif

TEST(PosixPlatform, ReadOnlyAndOpenFilesCannotBeChanged) {
  testkit::TempDir dir;
  const std::string path = dir.Write("t.dbf", "x");
  testkit::SetReadOnly(path, true);  // refused also when the tests run as root
  std::unique_ptr<kestrel::File> f;
  EXPECT_EQ(Open(path, 66, f), 5);
  EXPECT_EQ(host().RemoveFile(path), 5);
  testkit::SetReadOnly(path, false);
  ASSERT_EQ(Open(path, 66, f), 0);
  EXPECT_EQ(host().RemoveFile(path), 32);
  f.reset();
  EXPECT_EQ(host().RemoveFile(path), 0);
}

TEST(PosixPlatform, SearchFiltersByAttributes) {
  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) {
    GTEST_SKIP() << "dot files are hidden on POSIX hosts only; Windows attributes: Win32Platform tests";
  }
  testkit::TempDir dir;
  dir.Write("b.ndx", "b");
  dir.Write("A.NDX", "a");
  dir.Write(".h.ndx", "h");
  std::filesystem::create_directory(dir.File("sub.ndx"));
  auto find = [&](const std::string& mask, uint32_t attributes) {
    std::unique_ptr<kestrel::DirSearch> search;
    kestrel::FoundFile found;
    int32_t rc = host().FindFirst(dir.File(mask), attributes, &search, &found);
    std::string names = std::to_string(rc);
    for (; rc == 0; rc = search->Next(&found)) names += " " + found.name + ":" + std::to_string(found.attributes);
    return names;
  };
  EXPECT_EQ(find("*.NDX", kestrel::attr::Archive), "0 A.NDX:32 b.ndx:32");
  EXPECT_EQ(find("*.ndx", kestrel::attr::Archive | kestrel::attr::Hidden), "0 .h.ndx:34 A.NDX:32 b.ndx:32");
  EXPECT_EQ(find("s*", kestrel::attr::Directory), "0 sub.ndx:16");
  EXPECT_EQ(find("s*", kestrel::attr::Archive), "18");
  EXPECT_EQ(find("*.cdx", kestrel::attr::Archive), "2");
  EXPECT_EQ(find("none/*.ndx", kestrel::attr::Archive), "3");
  // Links are found as what they lead to, marked as links; one that leads
  // nowhere is not found.
  std::filesystem::create_directory_symlink(dir.File("sub.ndx"), dir.File("l1"));
  std::filesystem::create_symlink(dir.File("b.ndx"), dir.File("l2"));
  std::filesystem::create_symlink(dir.File("gone"), dir.File("l3"));
  EXPECT_EQ(find("l*", kestrel::attr::Archive | kestrel::attr::Directory), "0 l1:1040 l2:1056");
  testkit::SetReadOnly(dir.File("b.ndx"), true);
  EXPECT_EQ(find("b.*", kestrel::attr::Archive), "0 b.ndx:33");
}

// The calls a backup is made with: a new file is never one that was there
// (nor a link at its name), directories are made one level at a time, the
// copy keeps the original's time, and a file knows whether a name still
// leads to it. Run by both layers.
TEST(PosixPlatform, NewFilesDirectoriesCopiesAndTimes) {
  testkit::TempDir dir;
  const std::string old = dir.Write("old.ndx", "index");
  std::unique_ptr<kestrel::File> file;
  EXPECT_EQ(host().CreateNewFile(old, &file), kestrel::oserr::FileExists);
  EXPECT_EQ(Contents(old), "index");
  EXPECT_EQ(host().CreateNewFile(dir.File("nowhere") + "/x", &file), kestrel::oserr::PathNotFound);
  const std::string sub = dir.File("sub");
  EXPECT_EQ(host().MakeDirectory(sub + "/deeper"), kestrel::oserr::PathNotFound);
  EXPECT_EQ(host().MakeDirectory(sub), 0);
  EXPECT_EQ(host().MakeDirectory(sub), kestrel::oserr::AlreadyExists);
  EXPECT_EQ(host().MakeDirectory(old), kestrel::oserr::AlreadyExists);

  std::unique_ptr<kestrel::File> from;
  ASSERT_EQ(Open(old, kestrel::openmode::Inspect, from), 0);
  const kestrel::FileTime then = 1234567890LL * 1000000000;
  std::unique_ptr<kestrel::File> stamp;
  ASSERT_EQ(Open(old, kestrel::openmode::Shared, stamp), 0);
  ASSERT_EQ(stamp->SetModifiedTime(then), 0);
  stamp.reset();
  const std::string copy = sub + "/old.ndx";
  ASSERT_EQ(host().CreateNewFile(copy, &file), 0);
  EXPECT_EQ(kestrel::CopyWholeFile(*from, *file), 0);
  EXPECT_EQ(file->Flush(), 0);
  EXPECT_TRUE(file->IsNamedBy(copy));
  EXPECT_FALSE(file->IsNamedBy(old));
  kestrel::FileTime time = 0;
  EXPECT_EQ(file->ModifiedTime(&time), 0);
  EXPECT_EQ(time, then);
  EXPECT_EQ(file->Close(), 0);
  EXPECT_EQ(host().FlushDirectory(sub), 0);
  EXPECT_EQ(Contents(copy), "index");
  // A copy made under one name is given another, never over a file there.
  const std::string named = sub + "/named.ndx";
  EXPECT_EQ(host().RenameNoReplace(copy, named), 0);
  EXPECT_EQ(Contents(named), "index");
  EXPECT_FALSE(testkit::FileExists(copy));
  EXPECT_EQ(host().RenameNoReplace(named, copy), 0);
  const std::string other = dir.Write("other.ndx", "other");
  EXPECT_EQ(host().RenameNoReplace(other, old), kestrel::oserr::FileExists);
  EXPECT_EQ(Contents(other) + Contents(old), "otherindex");
  EXPECT_EQ(host().RenameNoReplace(dir.File("missing"), dir.File("x")), kestrel::oserr::FileNotFound);
#ifndef _WIN32
  EXPECT_EQ(host().RenameNoReplace(other, dir.File("OLD.NDX")), kestrel::oserr::FileExists);
  // A name that differs only in case is the same name to a Windows program,
  // and a link at the name is never followed, not even one to nowhere.
  EXPECT_EQ(host().CreateNewFile(dir.File("OLD.NDX"), &file), kestrel::oserr::FileExists);
  std::filesystem::create_symlink(dir.File("absent"), dir.File("link"));
  EXPECT_EQ(host().CreateNewFile(dir.File("link"), &file), kestrel::oserr::FileExists);
  EXPECT_FALSE(testkit::FileExists(dir.File("absent")));
  EXPECT_EQ(host().RenameNoReplace(other, dir.File("link")), kestrel::oserr::FileExists);
  EXPECT_TRUE(std::filesystem::is_symlink(dir.File("link")));
  EXPECT_FALSE(testkit::FileExists(dir.File("absent")));
  EXPECT_EQ(host().PathOnDisk(dir.File("SUB") + "/OLD.ndx"), copy);
  EXPECT_EQ(host().PathOnDisk(dir.File("SUB") + "/new.ndx"), sub + "/new.ndx");
#endif
}

TEST(PosixPlatform, LanguageAndOemTable) {
  EXPECT_EQ(kestrel::LanguageFromLocaleName("de_DE.UTF-8"), 0x0407);
  EXPECT_EQ(kestrel::LanguageFromLocaleName("en_GB"), 0x0809);
  EXPECT_EQ(kestrel::LanguageFromLocaleName("fr_CA.ISO-8859-1@x"), 0x0C0C);
  EXPECT_EQ(kestrel::LanguageFromLocaleName("ja_JP"), 0x0411);
  for (const char* english : {"C", "POSIX", "", "C.UTF-8", "en_US"}) {
    EXPECT_EQ(kestrel::LanguageFromLocaleName(english), 0x0409) << english;
  }

  uint8_t bytes[] = {0x41, 0x80, 0xE1, 0xC4, 0x81, 0xFF};
  host().OemToAnsi(bytes, sizeof bytes);
  EXPECT_EQ(std::vector<uint8_t>(bytes, bytes + sizeof bytes),
            (std::vector<uint8_t>{0x41, 0xC7, 0xDF, 0x2D, 0xFC, 0xA0}));
}

#ifndef _WIN32
TEST(PosixPlatformDeathTest, ADirectoryThatCanBeEnteredButNotReadIsAccessDenied) {
  testkit::TempDir dir;
  const std::string locked = dir.File("locked");
  std::filesystem::create_directory(locked);
  std::filesystem::permissions(dir.path(), std::filesystem::perms(0755));
  std::filesystem::permissions(locked, std::filesystem::perms(0311));
  // In a child that is no superuser (who may read any directory): the exit
  // status is the search's result once the directory was entered.
  EXPECT_EXIT(
      {
        if (geteuid() == 0 && setuid(65534) != 0) std::_Exit(99);
        if (host().ChangeDirectory(locked) != 0) std::_Exit(98);
        std::unique_ptr<kestrel::DirSearch> search;
        kestrel::FoundFile found;
        std::_Exit(host().FindFirst(locked + "/*.*", kestrel::attr::Directory, &search, &found));
      },
      testing::ExitedWithCode(5), "");
}

TEST(PosixPlatformDeathTest, ExitStatusKeepsEightBits) {
  // POSIX keeps 8 bits of a status: larger engine codes end the process with 255.
  EXPECT_EXIT(host().ExitProcess(212), testing::ExitedWithCode(212), "");
  EXPECT_EXIT(host().ExitProcess(1202), testing::ExitedWithCode(255), "");
}
#endif

}  // namespace

// Linux has no drive letters; its volumes answer by their mount points.
TEST(PosixPlatform, DriveQueriesAnswerForMountPoints) {
  if (kestrel::HostPathStyle() == kestrel::PathStyle::Windows) GTEST_SKIP() << "drive letters: Win32 layer";
  testkit::TempDir dir;
  EXPECT_EQ(host().LogicalDrives(), 0u);
  EXPECT_EQ(host().DriveTypeOf(dir.File("missing")), kestrel::DriveType::NoRootDirectory);
  kestrel::VolumeInfo volume;
  EXPECT_EQ(host().VolumeInformation(dir.path(), &volume), 0);
  EXPECT_EQ(volume.label, "");
  EXPECT_EQ(host().VolumeInformation(dir.File("missing"), &volume), kestrel::oserr::FileNotFound);
  std::string remote = "x";
  EXPECT_EQ(host().NetworkConnection("/", &remote), kestrel::oserr::NotConnected);
  EXPECT_EQ(remote, "");
}
