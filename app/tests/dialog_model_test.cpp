// The dialog and panel models: drive texts, directory items, scaling, centring.
#include "dialog_model.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "file_list.h"
#include "panel_model.h"
#include "testkit.h"

namespace {

using dbfclean::DirItemKind;
using dbfclean::DriveKind;

TEST(DriveEntries, WindowsTextsAndBitmapsPerKind) {
  struct Case {
    char letter;
    DriveKind kind;
    const char* label;
    const char* net;
    const char* text;
    const char* bitmap;
  };
  const Case cases[] = {
      {'A', DriveKind::Removable, "IGNORED", "", "a:", "FLOPPY"},
      {'C', DriveKind::Fixed, "", "", "c: []", "HARD"},
      {'D', DriveKind::Fixed, "DATA Disk", "", "d: [data disk]", "HARD"},
      {'E', DriveKind::CdRom, "CD1", "", "e: [cd1]", "CDROM"},
      {'R', DriveKind::RamDisk, "RAM", "", "r: [ram]", "RAM"},
      {'X', DriveKind::Network, "LBL", "\\\\Server\\Share", "x: \\\\server\\share", "NETWORK"},
      {'Y', DriveKind::Network, "LBL", "", "y: [lbl]", "NETWORK"},
  };
  for (const Case& c : cases) {
    auto entry = dbfclean::WindowsDriveEntry(c.letter, c.kind, c.label, c.net);
    ASSERT_TRUE(entry) << c.text;
    EXPECT_EQ(entry->text, c.text);
    EXPECT_EQ(entry->bitmap, c.bitmap);
    EXPECT_EQ(entry->root, std::string(c.text, 2));
  }
  EXPECT_FALSE(dbfclean::WindowsDriveEntry('Z', DriveKind::Other, "", ""));
  EXPECT_EQ(dbfclean::DriveItemHeight(13), 13);
  EXPECT_EQ(dbfclean::DriveItemHeight(8), 11);
}

TEST(DriveEntries, LinuxVolumesSortedFilteredAndFound) {
  const std::vector<dbfclean::MountedVolume> volumes = {
      {"nfs4", "/srv/nfs", "server:/export", ""},
      {"cifs", "/srv/smb", "", "share"},
      {"ext4", "/home", "/dev/sda2", "Home"},
      {"ext4", "/", "/dev/sda1", ""},
      {"vfat", "/run/media/ann/USB", "/dev/sdb1", "USB"},
      {"vfat", "/media/Stick", "/dev/sdc1", "STICK"},
      {"iso9660", "/mnt/cd", "/dev/sr0", "Disc"},
      {"tmpfs", "/tmp", "tmpfs", ""},
      {"tmpfs", "/run/user/1000", "tmpfs", ""},
      {"proc", "/proc", "proc", ""},
      {"ext4", "/sys/x", "", ""},
      {"devtmpfs", "/dev", "", ""},
      {"overlay", "/var/lib/docker/overlay2/m", "", ""},
      {"squashfs", "/snap/core/1", "", ""},
      {"cgroup2", "/cgroupx", "", ""},
  };
  const auto entries = dbfclean::LinuxDriveEntries(volumes);
  std::vector<std::string> texts, bitmaps;
  for (const auto& e : entries) {
    texts.push_back(e.text);
    bitmaps.push_back(e.bitmap);
  }
  EXPECT_EQ(texts,
            (std::vector<std::string>{"/ []", "/home [Home]", "/media/Stick", "/mnt/cd [Disc]", "/run/media/ann/USB",
                                      "/srv/nfs server:/export", "/srv/smb [share]", "/tmp []"}));
  EXPECT_EQ(bitmaps,
            (std::vector<std::string>{"HARD", "HARD", "FLOPPY", "CDROM", "FLOPPY", "NETWORK", "NETWORK", "RAM"}));
  EXPECT_EQ(dbfclean::LinuxEntryFor(entries, "/home/ann/data"), 1);
  EXPECT_EQ(dbfclean::LinuxEntryFor(entries, "/home"), 1);
  EXPECT_EQ(dbfclean::LinuxEntryFor(entries, "/homework"), 0);
  EXPECT_EQ(dbfclean::LinuxEntryFor(entries, "/"), 0);
  EXPECT_EQ(dbfclean::LinuxEntryFor({}, "/x"), -1);
}

struct ItemView {
  DirItemKind kind;
  std::string text, bitmap;
  int indent;
  std::string path;
  bool operator==(const ItemView&) const = default;
};
std::vector<ItemView> View(const std::vector<dbfclean::DirItem>& items) {
  std::vector<ItemView> out;
  for (const auto& i : items) out.push_back({i.kind, i.text, i.bitmap, i.indent, i.path});
  return out;
}

TEST(DirectoryItems, WindowsPathWithAncestorsAndSubdirectories) {
  const auto items = dbfclean::DirectoryItems("C:\\Data\\Sub", {"zeta", ".", "..", "Alpha", "beta"},
                                              kestrel::PathStyle::Windows, true);
  const std::vector<ItemView> expected = {
      {DirItemKind::Root, "c:\\", "OPENFOLDER", 2, "C:\\"},
      {DirItemKind::Ancestor, "data", "OPENFOLDER", 6, "C:\\Data"},
      {DirItemKind::Current, "sub", "CURRENTFOLDER", 10, "C:\\Data\\Sub"},
      {DirItemKind::Subdirectory, "alpha", "CLOSEDFOLDER", 14, "C:\\Data\\Sub\\Alpha"},
      {DirItemKind::Subdirectory, "beta", "CLOSEDFOLDER", 14, "C:\\Data\\Sub\\beta"},
      {DirItemKind::Subdirectory, "zeta", "CLOSEDFOLDER", 14, "C:\\Data\\Sub\\zeta"},
  };
  EXPECT_EQ(View(items), expected);
  EXPECT_EQ(dbfclean::CurrentItemIndex(items), 2);
}

TEST(DirectoryItems, RootsHoldOneItemMarkedCurrent) {
  EXPECT_EQ(View(dbfclean::DirectoryItems("c:\\", {"Dbf"}, kestrel::PathStyle::Windows, false)),
            (std::vector<ItemView>{{DirItemKind::Current, "c:\\", "CURRENTFOLDER", 2, "c:\\"},
                                   {DirItemKind::Subdirectory, "Dbf", "CLOSEDFOLDER", 10, "c:\\Dbf"}}));
  EXPECT_EQ(View(dbfclean::DirectoryItems("/", {"home"}, kestrel::PathStyle::Posix, false)),
            (std::vector<ItemView>{{DirItemKind::Current, "/", "CURRENTFOLDER", 2, "/"},
                                   {DirItemKind::Subdirectory, "home", "CLOSEDFOLDER", 10, "/home"}}));
}

TEST(DirectoryItems, PosixPathKeepsCase) {
  EXPECT_EQ(View(dbfclean::DirectoryItems("/home/Ann", {"B", "a"}, kestrel::PathStyle::Posix, false)),
            (std::vector<ItemView>{{DirItemKind::Root, "/", "OPENFOLDER", 2, "/"},
                                   {DirItemKind::Ancestor, "home", "OPENFOLDER", 6, "/home"},
                                   {DirItemKind::Current, "Ann", "CURRENTFOLDER", 10, "/home/Ann"},
                                   {DirItemKind::Subdirectory, "a", "CLOSEDFOLDER", 14, "/home/Ann/a"},
                                   {DirItemKind::Subdirectory, "B", "CLOSEDFOLDER", 14, "/home/Ann/B"}}));
}

TEST(DirectoryItems, CaseRulesAndProgramDirectory) {
  EXPECT_TRUE(dbfclean::ShowsLowerCase(false, false));
  EXPECT_FALSE(dbfclean::ShowsLowerCase(false, true));
  EXPECT_FALSE(dbfclean::ShowsLowerCase(true, false));
  EXPECT_TRUE(dbfclean::SamePath("C:\\Data", "c:\\data", false));
  EXPECT_FALSE(dbfclean::SamePath("/Data", "/data", true));
  EXPECT_EQ(dbfclean::ProgramDirectory("C:\\Tools\\dbfclean.exe", kestrel::PathStyle::Windows), "C:\\Tools\\");
  EXPECT_EQ(dbfclean::ProgramDirectory("c:dbfclean.exe", kestrel::PathStyle::Windows), "c:");
  EXPECT_EQ(dbfclean::ProgramDirectory("/opt/x/dbfclean", kestrel::PathStyle::Posix), "/opt/x/");
}

TEST(Scaling, DialogByPpiAndTextHeight) {
  EXPECT_EQ(dbfclean::MulDiv(-11, 120, 96), -14);  // -13.75
  EXPECT_EQ(dbfclean::MulDiv(5, 3, 2), 8);         // 7.5 rounds away from zero
  EXPECT_EQ(dbfclean::MulDiv(-5, 3, 2), -8);
  EXPECT_EQ(dbfclean::DialogFontHeight(96), -11);
  EXPECT_EQ(dbfclean::DialogFontHeight(144), -17);  // -16.5
  const auto& controls = dbfclean::DialogControls();
  ASSERT_EQ(controls.size(), 10u);
  const auto* ok = dbfclean::FindControl("btnOK");
  ASSERT_TRUE(ok);
  EXPECT_EQ(dbfclean::ScaleControl(*ok, 13), (dbfclean::Rect{88, 235, 89, 26}));
  EXPECT_EQ(dbfclean::ScaleControl(*ok, 16), (dbfclean::Rect{108, 289, 110, 32}));
  EXPECT_EQ(dbfclean::ScaleToTextHeight(dbfclean::kDialogClientWidth, 16), 443);
  EXPECT_EQ(dbfclean::FindControl("nope"), nullptr);
}

TEST(Scaling, PanelByTextHeightThenScreenWidthAndCentring) {
  EXPECT_EQ(dbfclean::ScalePanel(640, 13).width, 239);
  const auto wide = dbfclean::ScalePanel(1280, 13);
  EXPECT_EQ(wide.width, 478);
  EXPECT_EQ(wide.height, 112);
  EXPECT_EQ(wide.fontPoints, 18);
  const auto odd = dbfclean::ScalePanel(800, 13);  // 298.75, 70, 11.25
  EXPECT_EQ(odd.width, 299);
  EXPECT_EQ(odd.height, 70);
  EXPECT_EQ(odd.fontPoints, 11);
  // 144 pixels per inch: a 20-pixel text height first (368 x 86, 14 points),
  // then a 1024-pixel screen.
  const auto dense = dbfclean::ScalePanel(1024, 20);
  EXPECT_EQ(dense.width, 589);
  EXPECT_EQ(dense.height, 138);
  EXPECT_EQ(dense.fontPoints, 22);
  EXPECT_EQ(dbfclean::CentreOnScreen(640, 480, 239, 56).left, 200);
  EXPECT_EQ(dbfclean::CentreOnScreen(640, 480, 239, 56).top, 212);
  EXPECT_EQ(dbfclean::CentreOnScreen(200, 40, 239, 56).left, 0);
  EXPECT_EQ(dbfclean::CentreOnScreen(200, 40, 239, 56).top, 0);

  // The text height is the toolkit's for the dialog's font of the display,
  // or the design's when it cannot tell.
  int asked = 0;
  EXPECT_EQ(dbfclean::DisplayTextHeight(144, [&](int fontHeight) { return asked = fontHeight, 20; }), 20);
  EXPECT_EQ(asked, -17);
  EXPECT_EQ(dbfclean::DisplayTextHeight(96, [](int) { return 0; }), 13);
}

TEST(ReadFileList, BusyCursorWhenANameLandsAtPosition100) {
  std::vector<std::string> names;
  char name[16];
  for (int i = 99; i >= 0; --i) {
    std::snprintf(name, sizeof name, "T%03d.dbf", i);
    EXPECT_EQ(dbfclean::InsertListBoxName(&names, name), 0);
  }
  EXPECT_EQ(dbfclean::InsertListBoxName(&names, "t050.dbf"), 51);  // after T050.dbf: ties by bytes
  EXPECT_EQ(dbfclean::InsertListBoxName(&names, "T050.dbf"), -1);
  EXPECT_EQ(dbfclean::InsertListBoxName(&names, "zz.dbf"), 101);
  names.resize(100);
  EXPECT_EQ(dbfclean::InsertListBoxName(&names, "zz.dbf"), 100);

  // Fewer than 101 tables never reach the busy position.
  testkit::TempDir dir;
  for (int i = 0; i < 100; ++i) {
    std::snprintf(name, sizeof name, "t%03d.dbf", i);
    dir.Write(name, "x");
  }
  int busy = 0;
  ASSERT_EQ(
      dbfclean::ReadFileList(kestrel::Platform::Default(), dir.path(), dbfclean::kTableMask, &names, [&] { ++busy; }),
      0);
  EXPECT_EQ(names.size(), 100u);
  EXPECT_EQ(busy, 0);
}

}  // namespace

namespace {

std::string Flags(const dbfclean::ListSelection& s) {
  std::string flags;
  for (bool on : s.selected) flags += on ? '1' : '0';
  return flags;
}

}  // namespace

// The mouse's rule of the file list, as the Windows list box with extended
// selection has it: Shift measures from the last plain or Ctrl click and
// drops what lies outside; Ctrl+Shift adds the range to what is selected.
TEST(ListSelection, ClicksFollowTheExtendedListBoxRule) {
  struct Click {
    int index;
    bool ctrl, shift;
  };
  struct Case {
    const char* name;
    std::vector<Click> clicks;
    const char* selected;
    int anchor;
  };
  const Case cases[] = {
      {"click", {{2, false, false}}, "00100", 2},
      {"click then click", {{2, false, false}, {4, false, false}}, "00001", 4},
      {"ctrl toggles and anchors", {{0, false, false}, {3, true, false}, {0, true, false}}, "00010", 0},
      // ORDERS.DBF, Ctrl+"with space.dbf", Shift+orders.dbf: the two from the anchor.
      {"shift after ctrl", {{0, false, false}, {2, true, false}, {1, false, true}}, "01100", 2},
      {"shift twice keeps the anchor", {{1, false, false}, {4, false, true}, {0, false, true}}, "11000", 1},
      {"shift without an anchor", {{3, false, true}}, "00010", 3},
      {"ctrl+shift adds the range", {{0, false, false}, {4, true, false}, {2, true, true}}, "10111", 4},
      {"ctrl+shift over a ctrl-cleared anchor",
       {{1, false, false}, {3, true, false}, {3, true, false}, {4, true, true}},
       "01011",
       3},
      {"outside the list", {{1, false, false}, {5, false, false}, {-1, true, true}}, "01000", 1},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    dbfclean::ListSelection s;
    s.selected.assign(5, false);
    for (const Click& k : c.clicks) dbfclean::ClickItem(&s, k.index, k.ctrl, k.shift);
    EXPECT_EQ(Flags(s), c.selected);
    EXPECT_EQ(s.anchor, c.anchor);
  }
}

TEST(EscapedName, KeepsUtf8AndEscapesEveryOtherByte) {
  const std::pair<std::string, std::string> cases[] = {
      {"orders.dbf", "orders.dbf"},
      {"caf\xC3\xA9.dbf", "caf\xC3\xA9.dbf"},    // UTF-8 é
      {"caf\xE9.dbf", "caf\\xE9.dbf"},           // Latin-1 é
      {"\xF0\x9F\x98\x80", "\xF0\x9F\x98\x80"},  // four bytes
      {"\xC0\xAF", "\\xC0\\xAF"},                // overlong "/"
      {"\xED\xA0\x80", "\\xED\\xA0\\x80"},       // a surrogate
      {"end\xE2\x82", "end\\xE2\\x82"},          // cut short
      {"\xFF\xC3\xA9", "\\xFF\xC3\xA9"},
  };
  for (const auto& [bytes, shown] : cases) EXPECT_EQ(dbfclean::EscapedName(bytes), shown) << shown;
}

// Every character 1 wide: words over 10 break after the last separator
// that fits, else at 10; blanks and line ends stay the box's to break at.
TEST(WrapToWidth, BreaksWordsTooWideForTheBox) {
  const auto width = [](std::string_view piece) { return static_cast<int>(piece.size()); };
  const std::pair<std::string, std::string> cases[] = {
      {"short", "short"},
      {"0123456789", "0123456789"},
      {"a sentence of words that are all short stays as it is",
       "a sentence of words that are all short stays as it is"},
      {"Cannot clean C:\\data\\x.dbf: no", "Cannot clean C:\\data\\|x.dbf: no"},
      {"/aaaa/bbbbbbbbbbbbbbb/c", "/aaaa/|bbbbbbbbbb|bbbbb/c"},
      {"Error # 5\r\nabcdefghijklm  x", "Error # 5\r\nabcdefghij|klm  x"},
  };
  for (const auto& [text, wrapped] : cases) EXPECT_EQ(dbfclean::WrapToWidth(text, 10, width, "|"), wrapped) << text;
}
