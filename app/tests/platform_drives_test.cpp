// The drive box's entries and the volumes' case rules as the platform
// reports them, on a machine of four drives, and with each of its drive
// queries failing in turn.
#include "platform_drives.h"

#include <gtest/gtest.h>

#include "testkit.h"

namespace {

using kestrel::DriveType;

// a: removable, c: fixed and labelled, d: a CD-ROM drive without a disc,
// n: a network connection.
class FourDrives : public kestrel::PlatformWrapper {
 public:
  FourDrives() : PlatformWrapper(kestrel::Platform::Default()) {}
  uint32_t LogicalDrives() override { return 1u << 0 | 1u << 2 | 1u << 3 | 1u << 13; }
  DriveType DriveTypeOf(const std::string& root) override {
    switch (root[0]) {
      case 'a': return DriveType::Removable;
      case 'c': return DriveType::Fixed;
      case 'd': return DriveType::CdRom;
      case 'n': return DriveType::Remote;
      default: return DriveType::NoRootDirectory;
    }
  }
  uint16_t VolumeInformation(const std::string& root, kestrel::VolumeInfo* info) override {
    *info = kestrel::VolumeInfo{};
    EXPECT_NE(root, "a:\\") << "a removable drive's medium was touched";
    if (root == "d:\\") return kestrel::oserr::NotReady;
    info->label = root == "c:\\" ? "Data" : "SHARE";
    info->caseSensitive = false;
    info->casePreserving = true;
    return 0;
  }
  uint16_t NetworkConnection(const std::string& drive, std::string* remote) override {
    if (drive != "n:") return kestrel::oserr::NotConnected;
    *remote = "\\\\Server\\Tables";
    return 0;
  }
};

std::vector<std::string> Texts(const std::vector<dbfclean::DriveEntry>& entries) {
  std::vector<std::string> texts;
  for (const auto& e : entries) texts.push_back(e.text + " " + e.bitmap + " " + e.root);
  return texts;
}

TEST(PlatformDrives, ListsEachDriveWithItsLabelOrNetworkPath) {
  FourDrives machine;
  dbfclean::PlatformDrives drives(machine);
  const std::vector<std::string> expected = {
      "a: FLOPPY a:", "c: [data] HARD c:", "d: [] CDROM d:", "n: \\\\server\\tables NETWORK n:"};
  EXPECT_EQ(Texts(drives.Entries()), expected);
}

TEST(PlatformDrives, AFailingQueryLeavesOutOnlyWhatItWouldHaveTold) {
  FourDrives machine;
  testkit::RecordingPlatform platform(machine);
  dbfclean::PlatformDrives drives(platform);
  // The queries in order: c:'s volume, d:'s, n:'s, n:'s connection.
  const std::vector<std::vector<std::string>> expected = {
      {"a:", "c: []", "d: []", "n: \\\\server\\tables"},
      {"a:", "c: [data]", "d: []", "n: \\\\server\\tables"},
      {"a:", "c: [data]", "d: []", "n: \\\\server\\tables"},
      {"a:", "c: [data]", "d: []", "n: [share]"},
  };
  for (size_t nth = 0; nth < expected.size(); ++nth) {
    platform.sweep = testkit::RecordingPlatform::SweepFault{testkit::RecordingPlatform::Call::Volume,
                                                            static_cast<int>(nth), kestrel::oserr::AccessDenied};
    platform.calls.clear();
    std::vector<std::string> texts;
    for (const auto& e : drives.Entries()) texts.push_back(e.text);
    EXPECT_EQ(texts, expected[nth]) << "query " << nth << " failing";
    EXPECT_EQ(platform.calls[testkit::RecordingPlatform::Call::Volume], 4);
  }
}

TEST(PlatformDrives, CaseRulesComeFromTheVolumeOrAreNoneWhenUnread) {
  FourDrives machine;
  dbfclean::PlatformDrives drives(machine);
  struct Case {
    std::string directory;
    bool sensitive, preserving;
  };
  for (const Case& c : {Case{"c:\\data", false, true}, Case{"d:\\", false, false}, Case{"/home", false, false}}) {
    const dbfclean::VolumeCase rules = drives.CaseOf(c.directory);
    EXPECT_EQ(rules.sensitive, c.sensitive) << c.directory;
    EXPECT_EQ(rules.preserving, c.preserving) << c.directory;
  }
}

}  // namespace
