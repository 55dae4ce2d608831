// The selection dialog's browsing model, on a file system held in memory in
// either path style, whose directory changes and searches can be made to fail.
#include "file_browser.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cctype>
#include <map>
#include <set>

// The options name only what differs from the defaults; GCC before 14 warns
// about every member left out.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace {

using dbfclean::BrowseResult;
using dbfclean::FileBrowser;
using kestrel::PathStyle;
namespace changed = dbfclean::changed;

class ListSearch : public kestrel::DirSearch {
 public:
  explicit ListSearch(std::vector<kestrel::FoundFile> rest) : rest_(std::move(rest)) {}
  int32_t Next(kestrel::FoundFile* found) override {
    if (rest_.empty()) return kestrel::oserr::NoMoreFiles;
    *found = rest_.front();
    rest_.erase(rest_.begin());
    return 0;
  }

 private:
  std::vector<kestrel::FoundFile> rest_;
};

// Directories and files by full path, the current directory and each drive's
// (C:\ style), and failures of entering a path or of one search pattern.
class MemoryPlatform : public kestrel::PlatformWrapper {
 public:
  explicit MemoryPlatform(PathStyle style)
      : PlatformWrapper(kestrel::Platform::Default()), style_(style), sep_(style == PathStyle::Windows ? '\\' : '/') {}

  void Dir(const std::string& path) {
    for (std::string p = path; !p.empty(); p = Parent(p)) dirs_.insert(p);
  }
  void Files(const std::string& dir, const std::vector<std::string>& names) {
    Dir(dir);
    for (const std::string& name : names) files_.insert(Join(dir, name));
  }

  std::map<std::string, uint16_t> enterFails;  // by the directory's path
  std::map<std::string, int32_t> searchFails;  // by the whole pattern
  std::string cwd;

  uint16_t ChangeDirectory(const std::string& path) override {
    std::string target = path;
    if (style_ == PathStyle::Windows && path.size() == 2 && path[1] == ':') {
      const auto at = driveDirs_.find(Upper(path[0]));
      target = at != driveDirs_.end() ? at->second : std::string{Upper(path[0]), ':', '\\'};
    }
    target = Trim(target);
    if (const auto fail = enterFails.find(target); fail != enterFails.end()) return fail->second;
    if (!dirs_.count(target)) return kestrel::oserr::PathNotFound;
    cwd = target;
    if (style_ == PathStyle::Windows) driveDirs_[Upper(target[0])] = target;
    return 0;
  }
  std::string CurrentDirectory() override { return cwd; }
  std::string FullPath(const std::string& path) override {
    const bool absolute = style_ == PathStyle::Windows ? path.size() > 2 && path[1] == ':' : path[0] == '/';
    return absolute ? Trim(path) : Join(cwd, path);
  }
  int32_t FindFirst(const std::string& pattern, uint32_t attributes, std::unique_ptr<kestrel::DirSearch>* search,
                    kestrel::FoundFile* found) override {
    if (const auto fail = searchFails.find(pattern); fail != searchFails.end()) return fail->second;
    const size_t cut = pattern.rfind(sep_);
    const std::string dir = Trim(pattern.substr(0, cut + 1));
    const std::string mask = pattern.substr(cut + 1);
    if (!dirs_.count(dir)) return kestrel::oserr::PathNotFound;
    std::vector<kestrel::FoundFile> hits;
    bool named = false;
    for (const auto* set : {&dirs_, &files_}) {
      const uint32_t kind = set == &dirs_ ? kestrel::attr::Directory : kestrel::attr::Archive;
      for (const std::string& path : *set) {
        const std::string name = path.substr(path.rfind(sep_) + 1);
        if (path == dir || Parent(path) != dir || !kestrel::MaskMatches(mask, name)) continue;
        named = true;
        if (kind == kestrel::attr::Archive || (attributes & kind)) hits.push_back({name, kind, 0});
      }
    }
    if (hits.empty()) return named ? kestrel::oserr::NoMoreFiles : kestrel::oserr::FileNotFound;
    std::sort(hits.begin(), hits.end(), [](const auto& a, const auto& b) { return a.name < b.name; });
    *found = hits.front();
    *search = std::make_unique<ListSearch>(std::vector<kestrel::FoundFile>(hits.begin() + 1, hits.end()));
    return 0;
  }

 private:
  static char Upper(char c) { return static_cast<char>(std::toupper(static_cast<unsigned char>(c))); }
  bool IsRoot(const std::string& p) const { return style_ == PathStyle::Windows ? p.size() == 3 : p == "/"; }
  std::string Trim(std::string p) const {
    while (p.size() > 1 && p.back() == sep_ && !IsRoot(p)) p.pop_back();
    return p;
  }
  std::string Parent(const std::string& p) const {
    if (IsRoot(p)) return "";
    const size_t cut = p.rfind(sep_);
    return p.substr(0, IsRoot(p.substr(0, cut + 1)) ? cut + 1 : cut);
  }
  std::string Join(const std::string& dir, const std::string& name) const {
    return dir.back() == sep_ ? dir + name : dir + sep_ + name;
  }

  PathStyle style_;
  char sep_;
  std::set<std::string> dirs_, files_;
  std::map<char, std::string> driveDirs_;
};

struct FakeDrives : dbfclean::DriveSource {
  std::vector<dbfclean::DriveEntry> entries;
  std::vector<dbfclean::DriveEntry> Entries() override { return entries; }
  dbfclean::VolumeCase CaseOf(const std::string&) override { return {false, true}; }
};

std::vector<std::string> ItemTexts(const FileBrowser& browser) {
  std::vector<std::string> texts;
  for (const auto& item : browser.Items()) texts.push_back(item.text);
  return texts;
}

const unsigned kEverything =
    changed::Drives | changed::Drive | changed::Directories | changed::Files | changed::EditText;

TEST(FileBrowser, WindowsOpensOnTheProgramsDirectoryAndBrowsesDirectoriesAndDrives) {
  MemoryPlatform fs(PathStyle::Windows);
  fs.Files("C:\\Tools", {"b.dbf", "A.DBF", "notes.txt"});
  fs.Dir("C:\\Tools\\Sub");
  std::vector<std::string> many;
  for (int i = 0; i < 101; ++i) many.push_back("t" + std::to_string(1000 + i) + ".dbf");
  fs.Files("Q:\\", many);
  fs.ChangeDirectory("C:\\");
  FakeDrives drives;
  drives.entries = {{"c: []", "HARD", "c:"}, {"q:", "FLOPPY", "q:"}};
  std::vector<bool> busy;
  FileBrowser browser(fs, drives, {.style = PathStyle::Windows, .programDir = "C:\\Tools\\", .busy = [&](bool on) {
                                     busy.push_back(on);
                                   }});

  BrowseResult r = browser.FormCreate();
  EXPECT_EQ(r.error, "");
  EXPECT_EQ(r.changed, kEverything);
  EXPECT_EQ(browser.Directory(), "C:\\Tools");
  EXPECT_EQ(browser.EditText(), "C:\\Tools");
  EXPECT_EQ(ItemTexts(browser), (std::vector<std::string>{"C:\\", "Tools", "Sub"}));
  EXPECT_EQ(browser.Files(), (std::vector<std::string>{"A.DBF", "b.dbf"}));
  EXPECT_EQ(browser.DriveIndex(), 0);

  r = browser.OpenItem(2);
  EXPECT_EQ(r.changed, changed::Directories | changed::Files | changed::EditText);
  EXPECT_EQ(browser.Directory(), "C:\\Tools\\Sub");
  EXPECT_EQ(browser.Files(), std::vector<std::string>{});
  EXPECT_EQ(fs.cwd, "C:\\Tools\\Sub");
  // The directory shown, opened again: its items are read again, its names not.
  EXPECT_EQ(browser.OpenItem(2).changed, changed::Directories | changed::EditText);
  EXPECT_EQ(browser.OpenItem(99).changed, 0u);

  // A drive is entered at its current directory; reading a long list of
  // names shows the busy cursor until it is read.
  r = browser.ChooseDrive(1);
  EXPECT_EQ(r.changed, changed::Drive | changed::Directories | changed::Files | changed::EditText);
  EXPECT_EQ(browser.Directory(), "Q:\\");
  EXPECT_EQ(browser.Files().size(), 101u);
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(browser.DriveIndex(), 1);
  EXPECT_EQ(browser.ChooseDrive(0).error, "");
  EXPECT_EQ(browser.Directory(), "C:\\Tools\\Sub");

  EXPECT_EQ(browser.FormClose().error, "");
  EXPECT_EQ(fs.cwd, "C:\\Tools");
}

// One failure of each step, on each system: the lists, the edit box, the
// drive box and the current directory stay as they were, and the failure
// reads the same on both systems.
TEST(FileBrowser, AFailureChangesNothingAndReadsTheSameOnBothSystems) {
  struct Case {
    PathStyle style;
    const char* failing;  // the path that cannot be entered, or the search that fails
    int32_t code;
    const char* error;
  };
  const Case cases[] = {
      {PathStyle::Posix, "/data/sub", 3, "I/O error 3 entering /data/sub"},
      {PathStyle::Posix, "/data/sub/*.*", 5, "I/O error 5 reading /data/sub"},
      {PathStyle::Posix, "/data/sub/*.dbf", 3, "I/O error 3 reading /data/sub"},
      {PathStyle::Windows, "C:\\Data\\Sub", 5, "I/O error 5 entering C:\\Data\\Sub"},
      // Windows names a missing last directory "file not found": one number on both.
      {PathStyle::Windows, "C:\\Data\\Sub", 2, "I/O error 3 entering C:\\Data\\Sub"},
      {PathStyle::Windows, "C:\\Data\\Sub\\*.*", 5, "I/O error 5 reading C:\\Data\\Sub"},
      {PathStyle::Windows, "C:\\Data\\Sub\\*.dbf", 3, "I/O error 3 reading C:\\Data\\Sub"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.failing);
    const bool windows = c.style == PathStyle::Windows;
    const std::string data = windows ? "C:\\Data" : "/data";
    const std::string program = windows ? "C:\\Program\\" : "/opt/dbfclean/";
    MemoryPlatform fs(c.style);
    fs.Files(data, {"t.dbf"});
    fs.Files(data + (windows ? "\\Sub" : "/sub"), {"u.dbf"});
    fs.Dir(program.substr(0, program.size() - 1));
    fs.Dir(windows ? "E:\\" : "/mnt/e");
    FakeDrives drives;
    drives.entries = windows ? std::vector<dbfclean::DriveEntry>{{"c: []", "HARD", "c:"}, {"e:", "FLOPPY", "e:"}}
                             : std::vector<dbfclean::DriveEntry>{{"/ []", "HARD", "/"}, {"/mnt/e", "FLOPPY", "/mnt/e"}};
    FileBrowser browser(fs, drives, {.style = c.style, .programDir = program, .argument = data});
    ASSERT_EQ(browser.FormCreate().error, "");
    const auto items = ItemTexts(browser);
    const int sub = static_cast<int>(items.size()) - 1;

    if (std::string(c.failing).find('*') == std::string::npos) {
      fs.enterFails[c.failing] = static_cast<uint16_t>(c.code);
    } else {
      fs.searchFails[c.failing] = c.code;
    }
    const BrowseResult r = browser.OpenItem(sub);
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.code, c.code == 2 ? 3 : c.code);
    EXPECT_EQ(r.changed, 0u);
    EXPECT_EQ(browser.Directory(), data);
    EXPECT_EQ(browser.EditText(), data);
    EXPECT_EQ(ItemTexts(browser), items);
    EXPECT_EQ(browser.Files(), std::vector<std::string>{"t.dbf"});
    EXPECT_EQ(browser.DriveIndex(), 0);
    EXPECT_EQ(fs.cwd, data);

    // A drive that cannot be entered asks for the drive box to be drawn again.
    fs.enterFails[windows ? "E:\\" : "/mnt/e"] = 21;
    const BrowseResult drive = browser.ChooseDrive(1);
    EXPECT_EQ(drive.error, windows ? "I/O error 21 entering e:" : "I/O error 21 entering /mnt/e");
    EXPECT_EQ(drive.changed, changed::Drive);
    EXPECT_EQ(browser.DriveIndex(), 0);

    // Closing puts the program's directory back after any failure, or names its own.
    EXPECT_EQ(browser.FormClose().error, "");
    EXPECT_EQ(fs.cwd, program.substr(0, program.size() - 1));
    fs.enterFails[program.substr(0, program.size() - 1)] = 3;
    EXPECT_EQ(browser.FormClose().error, "I/O error 3 entering " + program);
  }
}

// Where the dialog opens: the argument's directory (a table's directory with
// the table selected), else the program's directory on Windows and the
// current directory on Linux. The run gets the names as the disk has them.
TEST(FileBrowser, StartsOnTheArgumentOrWhereTheSystemsRuleSays) {
  struct Case {
    PathStyle style;
    const char* argument;
    const char* directory;
    const char* preselected;  // the name selected, "" for none
    const char* error;
    const char* notice = "";
  };
  const char* const notListed =
      " is not in the list of tables: it lists the directory's *.dbf files that are not hidden.";
  const Case cases[] = {
      {PathStyle::Posix, "", "/home/ann", "", ""},
      {PathStyle::Posix, "/data", "/data", "", ""},
      {PathStyle::Posix, "sub", "/home/ann/sub", "", ""},
      {PathStyle::Posix, "/data/customer.dbf", "/data", "CUSTOMER.DBF", ""},
      {PathStyle::Posix, "/data/Customer.dbf", "/data", "Customer.dbf", ""},
      {PathStyle::Posix, "/data/caf\xE9.dbf", "/data", "caf\xE9.dbf", ""},  // not UTF-8
      {PathStyle::Posix, "/data/notes.txt", "/data", "", "", "notes.txt"},
      {PathStyle::Posix, "/gone/x.dbf", "/home/ann", "", "I/O error 3 entering /gone/x.dbf"},
      {PathStyle::Windows, "", "C:\\Tools", "", ""},
      {PathStyle::Windows, "C:\\Data\\ORDERS.DBF", "C:\\Data", "orders.dbf", ""},
      {PathStyle::Windows, "C:\\Gone", "C:\\Tools", "", "I/O error 3 entering C:\\Gone"},
      {PathStyle::Windows, "C:\\Data\\NOTES.TXT", "C:\\Data", "", "", "notes.txt"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.argument);
    const bool windows = c.style == PathStyle::Windows;
    MemoryPlatform fs(c.style);
    fs.Files(windows ? "C:\\Data" : "/data",
             {"CUSTOMER.DBF", "Customer.dbf", "caf\xE9.dbf", "orders.dbf", "notes.txt"});
    fs.Files(windows ? "C:\\Tools" : "/home/ann/sub", {});
    fs.ChangeDirectory(windows ? "C:\\Data" : "/home/ann");
    FakeDrives drives;
    FileBrowser browser(
        fs, drives, {.style = c.style, .programDir = windows ? "C:\\Tools\\" : "/usr/bin/", .argument = c.argument});
    const BrowseResult r = browser.FormCreate();
    EXPECT_EQ(r.error, c.error);
    EXPECT_EQ(r.notice, *c.notice ? c.notice + std::string(notListed) : "");
    EXPECT_EQ(browser.Directory(), c.directory);
    EXPECT_EQ(browser.EditText(), c.directory);
    EXPECT_EQ(fs.cwd, c.directory);
    std::vector<bool> selected(browser.Files().size());
    if (r.preselected >= 0) selected[r.preselected] = true;
    std::string chosen;
    for (const dbfclean::FileEntry& e : browser.Result(true, selected).entries) chosen += e.selected ? e.name : "";
    EXPECT_EQ(chosen, c.preselected);
  }

  // A path that is the directory the lists start on changes nothing; the
  // edit box names it all the same, a root too.
  MemoryPlatform fs(PathStyle::Windows);
  fs.Files("C:\\", {"a.dbf"});
  fs.ChangeDirectory("C:\\");
  FakeDrives drives;
  FileBrowser browser(fs, drives, {.style = PathStyle::Windows, .programDir = "C:\\"});
  EXPECT_EQ(browser.FormCreate().error, "");
  EXPECT_EQ(browser.Directory(), "C:\\");
  EXPECT_EQ(browser.EditText(), "C:\\");
  EXPECT_EQ(browser.Files(), std::vector<std::string>{"a.dbf"});
}

}  // namespace
