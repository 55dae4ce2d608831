// The dialog's file list: which directory entries it shows and in what order.
#include "file_list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "testkit.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

TEST(ReadFileList, ShowsOrdinaryTablesSortedByNameWithoutRegardToCase) {
  testkit::TempDir dir;
  for (const char* name :
       {"orders.dbf", "CUSTOMER.DBF", "b.Dbf", "_first.dbf", "ro.dbf", "notes.txt", "x.dbfx", "a.ndx", ".hidden.dbf"}) {
    dir.Write(name, "x");
  }
  testkit::SetReadOnly(dir.File("ro.dbf"), true);
  std::filesystem::create_directory(dir.File("sub.dbf"));
#ifdef _WIN32
  SetFileAttributesA(dir.File(".hidden.dbf").c_str(), FILE_ATTRIBUTE_HIDDEN);
#endif
  std::vector<std::string> names;
  ASSERT_EQ(dbfclean::ReadFileList(kestrel::Platform::Default(), dir.path(), dbfclean::kTableMask, &names), 0);
  const std::vector<std::string> expected = {"_first.dbf", "b.Dbf", "CUSTOMER.DBF", "orders.dbf", "ro.dbf"};
  EXPECT_EQ(names, expected);

  // Several masks, each name once.
  ASSERT_EQ(dbfclean::ReadFileList(kestrel::Platform::Default(), dir.path(), "*.ndx;*.txt;*.NDX", &names), 0);
  EXPECT_EQ(names, (std::vector<std::string>{"a.ndx", "notes.txt"}));
}

TEST(ReadFileList, AnEmptyOrMissingDirectory) {
  testkit::TempDir dir;
  std::vector<std::string> names{"stale"};
  EXPECT_EQ(dbfclean::ReadFileList(kestrel::Platform::Default(), dir.path(), dbfclean::kTableMask, &names), 0);
  EXPECT_TRUE(names.empty());
  EXPECT_EQ(dbfclean::ReadFileList(kestrel::Platform::Default(), dir.File("gone"), dbfclean::kTableMask, &names),
            kestrel::oserr::PathNotFound);
  EXPECT_TRUE(names.empty());
}

TEST(ListBoxLess, IgnoresCaseAndBreaksTiesByBytes) {
  std::vector<std::string> names = {"b", "B", "a_b", "ab", "A", "abc", "Ab"};
  std::sort(names.begin(), names.end(), dbfclean::ListBoxLess);
  EXPECT_EQ(names, (std::vector<std::string>{"A", "a_b", "Ab", "ab", "abc", "B", "b"}));
}

}  // namespace
