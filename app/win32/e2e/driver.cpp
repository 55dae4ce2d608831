// End-to-end tests of dbfclean.exe on a real window system (Wine on Xvfb,
// a 640 x 480 screen at 96 pixels per inch): the dialog's layout and
// contents, browsing, selection, the progress panel, the summary and halting
// boxes, the exit codes and the bytes of the tables afterwards.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <cstring>
#include <tuple>

#include "app_window.h"
#include "control_ids.h"
#include "testkit.h"

namespace {

using namespace dbfclean::win32;
using e2e::App;

constexpr const char* kDialog = "Select Files to Clean Up";
constexpr int kBigRecords = 3000000;

std::string Lower(std::string s) {
  for (char& c : s) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return s;
}

const testkit::DbfLayout kLayout{.fields = {{"NAME", 'C', 10}, {"CITY", 'C', 8}}};

// A table of NAME and CITY values; `repaired` gives what the repair must
// leave: every NUL byte a blank.
std::string Table(std::vector<std::vector<std::string>> rows, bool repaired) {
  testkit::DbfLayout layout = kLayout;
  for (auto& row : rows) {
    if (repaired) {
      for (auto& value : row) std::replace(value.begin(), value.end(), '\0', ' ');
    }
    layout.records.push_back(testkit::Record(kLayout, row));
  }
  return testkit::BuildDbf(layout);
}

std::string Nuls(size_t n) { return std::string(n, '\0'); }

// orders.dbf: 4 NUL bytes in 2 of its 3 records.
std::string Orders(bool repaired) {
  return Table({{"AB" + Nuls(2), "X"}, {"CLEAN", "Y"}, {Nuls(1), "Z" + Nuls(1)}}, repaired);
}
std::string Customer(bool repaired) { return Table({{"JO" + Nuls(1) + "N", Nuls(3)}}, repaired); }
// BIG.DBF: big enough (57 MB) that the panel stays up a while as it is
// cleaned; 18 NUL bytes in each record.
std::string Big(bool repaired) {
  testkit::DbfLayout layout = kLayout;
  layout.recordCount = kBigRecords;
  layout.eofMarker = false;
  const std::string record =
      testkit::Record(kLayout, {repaired ? std::string(10, ' ') : Nuls(10), Nuls(repaired ? 0 : 8)});
  std::string bytes = testkit::BuildDbf(layout);
  bytes.reserve(bytes.size() + record.size() * kBigRecords + 1);
  for (int i = 0; i < kBigRecords; ++i) bytes += record;
  return bytes + '\x1a';
}

// A directory holding a copy of dbfclean.exe, started from its parent so
// that the dialog must move to the program's directory by itself.
class Tables : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = root_.File("tables");
    ASSERT_TRUE(CreateDirectoryA(dir_.c_str(), nullptr));
    ASSERT_TRUE(CopyFileA(DBFCLEAN_EXE, Path("dbfclean.exe").c_str(), FALSE)) << DBFCLEAN_EXE;
  }
  std::string Path(const std::string& name) const { return dir_ + "\\" + name; }
  void Write(const std::string& name, const std::string& bytes) const { testkit::WriteFile(Path(name), bytes); }
  std::string Read(const std::string& name) const { return testkit::ReadFile(Path(name)); }
  bool Exists(const std::string& name) const { return testkit::FileExists(Path(name)); }
  std::unique_ptr<App> Start() { return std::make_unique<App>(Path("dbfclean.exe"), root_.path()); }

  testkit::TempDir root_;
  std::string dir_;
};

struct MessageBoxView {
  std::string text;
  bool icon = false;
  std::vector<std::string> buttons;
};

// What a message box shows: its text, whether it has an icon, its buttons.
MessageBoxView ReadMessageBox(HWND box) {
  MessageBoxView view;
  for (HWND c : e2e::Children(box)) {
    if (!IsWindowVisible(c)) continue;
    const std::string cls = e2e::ClassOf(c);
    const LONG style = GetWindowLongA(c, GWL_STYLE);
    if (cls == "Button") view.buttons.push_back(e2e::Text(c));
    if (cls == "Static" && (style & SS_TYPEMASK) == SS_ICON)
      view.icon = view.icon || SendMessageA(c, STM_GETICON, 0, 0);
    if (cls == "Static" && (style & SS_TYPEMASK) != SS_ICON && !e2e::Text(c).empty()) view.text = e2e::Text(c);
  }
  return view;
}

void ExpectCentred(HWND window) {
  RECT r;
  GetWindowRect(window, &r);
  EXPECT_EQ(r.left, (GetSystemMetrics(SM_CXSCREEN) - (r.right - r.left)) / 2);
  EXPECT_EQ(r.top, (GetSystemMetrics(SM_CYSCREEN) - (r.bottom - r.top)) / 2);
}

TEST_F(Tables, DialogOpensOnTheProgramsDirectoryBrowsesSelectsAndCleans) {
  Write("BIG.DBF", Big(false));
  Write("CUSTOMER.DBF", Customer(false));
  Write("orders.dbf", Orders(false));
  Write("hidden.dbf", Orders(false));
  SetFileAttributesA(Path("hidden.dbf").c_str(), FILE_ATTRIBUTE_HIDDEN);
  Write("readme.txt", "not a table");
  Write("a.ndx", "index");
  Write("B.NDX", "index");
  ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
  ASSERT_TRUE(CreateDirectoryA(Path("archive").c_str(), nullptr));
  Write("sub\\inner.dbf", Orders(false));
  Write("sub\\inner.ndx", "index");

  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);

  // Frame and layout at 96 pixels per inch.
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, 360);
  EXPECT_EQ(client.bottom, 266);
  const LONG style = GetWindowLongA(dialog, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_FALSE(style & (WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX));
  ExpectCentred(dialog);
  struct Expected {
    int id;
    const char* cls;
    RECT rect;
    const char* text;
  };
  const Expected controls[] = {
      {kIdLabel1, "Static", {11, 4, 85, 17}, "Directory name:"},
      {kIdLabel2, "Static", {10, 46, 63, 59}, "Directories:"},
      {kIdLabel3, "Static", {189, 190, 222, 203}, "Drives:"},
      {kIdLabel4, "Static", {189, 46, 244, 59}, "Files: (*.dbf)"},
      {kIdDirList, "ListBox", {11, 64, 176, 225}, nullptr},
      {kIdFileList, "ListBox", {189, 64, 354, 185}, nullptr},
      {kIdDrive, "ComboBox", {189, 206, 354, 225}, nullptr},
      {kIdCurDir, "Edit", {11, 21, 354, 42}, nullptr},
      {kIdOk, "Button", {88, 235, 177, 261}, "&OK"},
      {kIdCancel, "Button", {188, 235, 277, 261}, "&Cancel"},
  };
  for (const Expected& c : controls) {
    HWND control = GetDlgItem(dialog, c.id);
    ASSERT_TRUE(control) << c.id;
    const RECT r = e2e::ChildRect(control);
    EXPECT_EQ(std::vector<LONG>({r.left, r.top, r.right, r.bottom}),
              std::vector<LONG>({c.rect.left, c.rect.top, c.rect.right, c.rect.bottom}))
        << c.id;
    EXPECT_EQ(e2e::ClassOf(control), c.cls) << c.id;
    if (c.text) {
      EXPECT_EQ(e2e::Text(control), c.text);
    }
  }
  // Tab order: the labels first without tab stops, then the six controls.
  std::vector<int> order;
  std::vector<int> tabStops;
  for (HWND c : e2e::Children(dialog)) {
    order.push_back(GetDlgCtrlID(c));
    if (GetWindowLongA(c, GWL_STYLE) & WS_TABSTOP) tabStops.push_back(GetDlgCtrlID(c));
  }
  EXPECT_EQ(order, std::vector<int>({kIdLabel1, kIdLabel2, kIdLabel3, kIdLabel4, kIdDirList, kIdFileList, kIdDrive,
                                     kIdCurDir, kIdOk, kIdCancel}));
  EXPECT_EQ(tabStops, std::vector<int>({kIdDirList, kIdFileList, kIdDrive, kIdCurDir, kIdOk, kIdCancel}));
  HWND dirList = GetDlgItem(dialog, kIdDirList);
  HWND fileList = GetDlgItem(dialog, kIdFileList);
  HWND drives = GetDlgItem(dialog, kIdDrive);
  HWND curDir = GetDlgItem(dialog, kIdCurDir);
  EXPECT_EQ(SendMessageA(dirList, LB_GETITEMHEIGHT, 0, 0), 16);
  EXPECT_EQ(SendMessageA(fileList, LB_GETITEMHEIGHT, 0, 0), 13);
  EXPECT_EQ(SendMessageA(drives, CB_GETITEMHEIGHT, 0, 0), 13);
  EXPECT_TRUE(GetWindowLongA(fileList, GWL_STYLE) & LBS_EXTENDEDSEL);

  // Contents: the program's directory, its tables sorted without the hidden
  // one, its drive chosen in the drive box.
  EXPECT_EQ(e2e::ControlText(curDir), dir_);
  std::vector<std::string> expectedDirs = {Lower(dir_.substr(0, 3))};
  for (size_t from = 3, to; from < dir_.size(); from = to + 1) {
    to = std::min(dir_.find('\\', from), dir_.size());
    expectedDirs.push_back(dir_.substr(from, to - from));
  }
  const int current = static_cast<int>(expectedDirs.size()) - 1;
  expectedDirs.insert(expectedDirs.end(), {"archive", "sub"});
  std::vector<std::string> shownDirs = e2e::ListItems(dirList);
  for (auto* list : {&shownDirs, &expectedDirs}) std::transform(list->begin(), list->end(), list->begin(), Lower);
  EXPECT_EQ(shownDirs, expectedDirs);
  EXPECT_EQ(SendMessageA(dirList, LB_GETCURSEL, 0, 0), current);
  EXPECT_EQ(e2e::ListItems(fileList), std::vector<std::string>({"BIG.DBF", "CUSTOMER.DBF", "orders.dbf"}));
  char label[MAX_PATH + 1] = "";
  GetVolumeInformationA(dir_.substr(0, 3).c_str(), label, sizeof label, nullptr, nullptr, nullptr, nullptr, 0);
  const std::vector<std::string> driveItems = e2e::ComboItems(drives);
  const LRESULT chosen = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  ASSERT_GE(chosen, 0);
  EXPECT_EQ(driveItems[chosen], Lower(dir_.substr(0, 2)) + " [" + Lower(label) + "]");
  EXPECT_TRUE(std::is_sorted(driveItems.begin(), driveItems.end()));

  // Enter on a subdirectory opens it; a double-click on an ancestor goes back.
  SendMessageA(dirList, LB_SETCURSEL, current + 2, 0);
  e2e::PostKey(dirList, VK_RETURN);
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::ControlText(curDir) == dir_ + "\\sub"; })) << e2e::ControlText(curDir);
  EXPECT_EQ(e2e::ListItems(fileList), std::vector<std::string>({"inner.dbf"}));
  EXPECT_EQ(e2e::ListItems(dirList).size(), static_cast<size_t>(current + 2));
  EXPECT_EQ(SendMessageA(dirList, LB_GETCURSEL, 0, 0), current + 1);
  e2e::PostDoubleClick(dirList, 40, current * 16 + 8);
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::ControlText(curDir) == dir_; })) << e2e::ControlText(curDir);
  EXPECT_EQ(e2e::ListItems(fileList), std::vector<std::string>({"BIG.DBF", "CUSTOMER.DBF", "orders.dbf"}));

  // Click, Ctrl+click and Shift+click select as in any extended list.
  e2e::PostClick(fileList, 20, 1 * 13 + 6);
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::SelectedItems(fileList) == std::vector<int>{1}; }));
  e2e::PostClick(fileList, 20, 0 * 13 + 6, MK_SHIFT);
  ASSERT_TRUE(e2e::WaitFor([&] { return e2e::SelectedItems(fileList) == std::vector<int>{0, 1}; }));
  e2e::PostClick(fileList, 20, 2 * 13 + 6, MK_CONTROL);
  e2e::PostClick(fileList, 20, 1 * 13 + 6, MK_CONTROL);
  ASSERT_TRUE(e2e::WaitFor([&] {
    return e2e::SelectedItems(fileList) == std::vector<int>{0, 2};
  })) << e2e::SelectedItems(fileList).size();

  // Enter presses OK; the panel names each table while it is cleaned. Its
  // text is polled every millisecond: the big table is done in a few tenths
  // of a second.
  e2e::PostKey(fileList, VK_RETURN);
  HWND panel = nullptr;
  HWND caption = nullptr;
  ASSERT_TRUE(e2e::WaitFor(
      [&] {
        panel = app->FindOwnWindow(kPanelClass);
        caption = panel ? GetWindow(panel, GW_CHILD) : nullptr;
        return caption && IsWindowVisible(panel) && e2e::Text(caption) == "Cleaning BIG.DBF database...";
      },
      20, 1))
      << (caption ? e2e::Text(caption) : "no panel");
  ASSERT_EQ(GetSystemMetrics(SM_CXSCREEN), 640) << "the e2e tests run on a 640 x 480 screen";
  RECT panelRect;
  GetWindowRect(panel, &panelRect);
  EXPECT_EQ(std::vector<LONG>({panelRect.left, panelRect.top, panelRect.right, panelRect.bottom}),
            std::vector<LONG>({200, 212, 200 + 239, 212 + 56}));
  EXPECT_EQ(e2e::Text(panel), kPanelCaption);
  EXPECT_FALSE(GetWindowLongA(panel, GWL_STYLE) & (WS_CAPTION | WS_BORDER | WS_THICKFRAME));
  EXPECT_NE(GetForegroundWindow(), panel);

  HWND summary = app->WaitWindow("dbfclean", "#32770", 60);
  ASSERT_TRUE(summary);
  const MessageBoxView view = ReadMessageBox(summary);
  EXPECT_EQ(view.text, "Database(s) are cleaned up! Fixed " + std::to_string(18 * kBigRecords + 4) + " zeroes in " +
                           std::to_string(kBigRecords + 2) + " records");
  EXPECT_FALSE(view.icon);
  EXPECT_EQ(view.buttons, std::vector<std::string>({"OK"}));
  ExpectCentred(summary);
  EXPECT_FALSE(IsWindowVisible(panel));
  PostMessageA(summary, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(app->WaitExit(), 0);

  EXPECT_TRUE(Read("BIG.DBF") == Big(true));
  EXPECT_EQ(Read("orders.dbf"), Orders(true));
  EXPECT_EQ(Read("CUSTOMER.DBF"), Customer(false));
  EXPECT_EQ(Read("hidden.dbf"), Orders(false));
  EXPECT_EQ(Read("sub\\inner.dbf"), Orders(false));
  EXPECT_FALSE(Exists("a.ndx"));
  EXPECT_FALSE(Exists("B.NDX"));
  EXPECT_TRUE(Exists("sub\\inner.ndx"));
}

TEST_F(Tables, CancelAndEscChangeNothing) {
  Write("orders.dbf", Orders(false));
  Write("a.ndx", "index");
  for (bool esc : {false, true}) {
    auto app = Start();
    HWND dialog = app->WaitWindow(kDialog);
    ASSERT_TRUE(dialog);
    HWND fileList = GetDlgItem(dialog, kIdFileList);
    SendMessageA(fileList, LB_SETSEL, TRUE, -1);
    if (esc) {
      e2e::PostKey(fileList, VK_ESCAPE);
    } else {
      e2e::PostAltKey(dialog, 'c');
    }
    EXPECT_EQ(app->WaitExit(), 0) << (esc ? "Esc" : "Alt+C");
    EXPECT_EQ(Read("orders.dbf"), Orders(false));
    EXPECT_TRUE(Exists("a.ndx"));
  }
}

TEST_F(Tables, OkWithNothingSelectedErasesTheIndexFilesAndCountsNothing) {
  Write("orders.dbf", Orders(false));
  Write("a.ndx", "index");
  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  e2e::PostAltKey(dialog, 'o');
  HWND summary = app->WaitWindow("dbfclean", "#32770");
  ASSERT_TRUE(summary);
  EXPECT_EQ(ReadMessageBox(summary).text, "Database(s) are cleaned up! Fixed 0 zeroes in 0 records");
  PostMessageA(summary, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(app->WaitExit(), 0);
  EXPECT_EQ(Read("orders.dbf"), Orders(false));
  EXPECT_FALSE(Exists("a.ndx"));
}

TEST_F(Tables, ADriveThatCannotBeEnteredIsReportedWhileTheDialogStays) {
  // The test script maps a drive letter to a directory that the test
  // removes while the dialog is open, as a medium taken out of its drive.
  const char* drive = std::getenv("DBFCLEAN_E2E_DRIVE");
  const char* media = std::getenv("DBFCLEAN_E2E_MEDIA");
  if (!drive || !media) GTEST_SKIP() << "needs a drive letter mapped by scripts/test-windows.sh";
  const char letter = static_cast<char>(std::tolower(static_cast<unsigned char>(drive[0])));
  Write("orders.dbf", Orders(false));

  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  HWND drives = GetDlgItem(dialog, kIdDrive);
  const std::vector<std::string> items = e2e::ComboItems(drives);
  const LRESULT before = SendMessageA(drives, CB_GETCURSEL, 0, 0);
  const auto ours = std::find_if(items.begin(), items.end(), [&](const std::string& t) { return t[0] == letter; });
  ASSERT_NE(ours, items.end());
  ASSERT_TRUE(RemoveDirectoryA(media));
  SendMessageA(drives, CB_SETCURSEL, ours - items.begin(), 0);
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(kIdDrive, CBN_SELCHANGE), reinterpret_cast<LPARAM>(drives));
  HWND box = app->WaitWindow("dbfclean", "#32770");
  ASSERT_TRUE(box);
  const std::string text = ReadMessageBox(box).text;
  EXPECT_EQ(text.substr(0, 10), "I/O error ");
  EXPECT_EQ(text.substr(text.size() - 12), std::string(" entering ") + letter + ":");
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  // The dialog stays on the directory and drive it showed.
  ASSERT_TRUE(e2e::WaitFor([&] { return SendMessageA(drives, CB_GETCURSEL, 0, 0) == before; }));
  EXPECT_TRUE(IsWindowVisible(dialog));
  EXPECT_EQ(e2e::ControlText(GetDlgItem(dialog, kIdCurDir)), dir_);
  EXPECT_EQ(e2e::ListItems(GetDlgItem(dialog, kIdFileList)), std::vector<std::string>({"orders.dbf"}));
  e2e::PostKey(dialog, VK_ESCAPE);
  EXPECT_EQ(app->WaitExit(), 0);
}

TEST_F(Tables, OpensOnAFolderOrATableGivenToIt) {
  ASSERT_TRUE(CreateDirectoryA(Path("sub").c_str(), nullptr));
  Write("sub\\inner.dbf", Orders(false));
  Write("sub\\OTHER.DBF", Orders(false));
  struct Case {
    std::string argument;
    std::vector<int> selected;
  };
  // A folder dropped onto the program, and a table named in another case.
  for (const Case& c : {Case{Path("sub"), {}}, Case{Path("sub\\other.dbf"), {1}}}) {
    App app(Path("dbfclean.exe"), root_.path(), c.argument);
    HWND dialog = app.WaitWindow(kDialog);
    ASSERT_TRUE(dialog) << c.argument;
    EXPECT_EQ(e2e::ControlText(GetDlgItem(dialog, kIdCurDir)), Path("sub"));
    HWND files = GetDlgItem(dialog, kIdFileList);
    EXPECT_EQ(e2e::ListItems(files), std::vector<std::string>({"inner.dbf", "OTHER.DBF"}));
    EXPECT_EQ(e2e::SelectedItems(files), c.selected) << c.argument;
    // The focus is on the table given, in the file list, so that Enter cleans it.
    GUITHREADINFO gui{sizeof gui};
    ASSERT_TRUE(e2e::WaitFor(
        [&] { return GetGUIThreadInfo(GetWindowThreadProcessId(dialog, nullptr), &gui) && gui.hwndFocus; }));
    EXPECT_EQ(gui.hwndFocus, c.selected.empty() ? GetDlgItem(dialog, kIdDirList) : files) << c.argument;
    if (c.selected.empty()) {
      e2e::PostKey(dialog, VK_ESCAPE);
    } else {
      e2e::PostKey(gui.hwndFocus, VK_RETURN);
      HWND summary = app.WaitWindow("dbfclean", "#32770");
      ASSERT_TRUE(summary);
      EXPECT_EQ(ReadMessageBox(summary).text, "Database(s) are cleaned up! Fixed 4 zeroes in 2 records");
      PostMessageA(summary, WM_COMMAND, IDOK, 0);
    }
    EXPECT_EQ(app.WaitExit(), 0);
  }
  EXPECT_EQ(Read("sub\\OTHER.DBF"), Orders(true));
  EXPECT_EQ(Read("sub\\inner.dbf"), Orders(false));
}

// The clicks of the file list follow the rule the Linux program shares:
// Shift measures from the last plain or Ctrl click and drops the rest,
// Ctrl+Shift adds the range; OK then cleans exactly the tables selected.
TEST_F(Tables, SelectionClicksFollowTheOneRule) {
  for (const char* name : {"a.dbf", "b.dbf", "c.dbf"}) Write(name, Orders(false));
  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  HWND files = GetDlgItem(dialog, kIdFileList);
  ASSERT_EQ(e2e::ListItems(files), std::vector<std::string>({"a.dbf", "b.dbf", "c.dbf"}));
  struct Click {
    int item;
    WPARAM keys;
  };
  const WPARAM ctrl = MK_CONTROL, shift = MK_SHIFT;
  const struct {
    std::vector<Click> clicks;
    std::vector<int> selected;
  } steps[] = {
      {{{0, 0}, {2, ctrl}, {1, shift}}, {1, 2}},
      {{{0, shift}}, {0, 1, 2}},
      {{{0, 0}, {2, ctrl}, {2, ctrl}, {1, ctrl | shift}}, {0, 1, 2}},
      {{{1, ctrl}, {0, ctrl | shift}}, {0, 1, 2}},
      {{{1, 0}, {0, ctrl}, {2, ctrl | shift}}, {0, 1, 2}},
      {{{2, 0}, {0, ctrl}, {1, shift}}, {0, 1}},
  };
  for (const auto& step : steps) {
    for (const Click& c : step.clicks) e2e::PostClick(files, 20, c.item * 13 + 6, c.keys);
    EXPECT_TRUE(e2e::WaitFor([&] { return e2e::SelectedItems(files) == step.selected; }, 5))
        << e2e::SelectedItems(files).size() << " selected after " << step.clicks.size() << " clicks";
  }
  e2e::PostKey(files, VK_RETURN);
  HWND summary = app->WaitWindow("dbfclean", "#32770");
  ASSERT_TRUE(summary);
  EXPECT_EQ(ReadMessageBox(summary).text, "Database(s) are cleaned up! Fixed 8 zeroes in 4 records");
  PostMessageA(summary, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(app->WaitExit(), 0);
  EXPECT_EQ(Read("a.dbf"), Orders(true));
  EXPECT_EQ(Read("b.dbf"), Orders(true));
  EXPECT_EQ(Read("c.dbf"), Orders(false));
}

// Arrowing through the open drive list enters nothing, not even a drive
// that cannot be entered on the way; Enter enters the drive chosen.
TEST_F(Tables, TheOpenDriveListEntersTheDriveChosenOnly) {
  Write("orders.dbf", Orders(false));
  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  HWND drives = GetDlgItem(dialog, kIdDrive);
  HWND edit = GetDlgItem(dialog, kIdCurDir);
  const std::vector<std::string> items = e2e::ComboItems(drives);
  const int before = static_cast<int>(SendMessageA(drives, CB_GETCURSEL, 0, 0));
  const int z = static_cast<int>(
      std::find_if(items.begin(), items.end(), [](const std::string& t) { return t[0] == 'z'; }) - items.begin());
  ASSERT_LT(z, static_cast<int>(items.size()));
  ASSERT_GT(z, before);
  SendMessageA(drives, CB_SHOWDROPDOWN, TRUE, 0);
  for (int i = before; i < z; ++i) e2e::PostKey(drives, VK_DOWN);
  ASSERT_TRUE(e2e::WaitFor([&] { return SendMessageA(drives, CB_GETCURSEL, 0, 0) == z; }, 5));
  Sleep(300);
  EXPECT_EQ(app->WaitWindow("dbfclean", "#32770", 0.2), nullptr);
  EXPECT_EQ(e2e::ControlText(edit), dir_);
  EXPECT_EQ(e2e::ListItems(GetDlgItem(dialog, kIdFileList)), std::vector<std::string>({"orders.dbf"}));
  e2e::PostKey(drives, VK_RETURN);
  EXPECT_TRUE(e2e::WaitFor([&] { return Lower(e2e::ControlText(edit)).substr(0, 2) == "z:"; }, 5))
      << e2e::ControlText(edit);
  EXPECT_TRUE(IsWindowVisible(dialog));
  e2e::PostKey(dialog, VK_ESCAPE);
  EXPECT_EQ(app->WaitExit(), 0);
}

// The edit box names the directory, a root too, and takes no typing; a
// path that is not there reads "I/O error 3" as on Linux; a file named that
// the list does not offer is said in a box.
TEST_F(Tables, TheArgumentsWordsAndTheReadOnlyEditBox) {
  Write("orders.dbf", Orders(false));
  Write("notes.txt", "x");
  Write("hidden.dbf", Orders(false));
  SetFileAttributesA(Path("hidden.dbf").c_str(), FILE_ATTRIBUTE_HIDDEN);
  {
    App app(Path("dbfclean.exe"), root_.path(), "C:\\.");  // "C:\" would end in an escaped quote
    HWND dialog = app.WaitWindow(kDialog);
    ASSERT_TRUE(dialog);
    HWND edit = GetDlgItem(dialog, kIdCurDir);
    EXPECT_EQ(e2e::ControlText(edit), "C:\\");
    EXPECT_TRUE(GetWindowLongA(edit, GWL_STYLE) & ES_READONLY);
    PostMessageA(edit, WM_CHAR, 'x', 1);
    Sleep(100);
    EXPECT_EQ(e2e::ControlText(edit), "C:\\");
    e2e::PostKey(dialog, VK_ESCAPE);
    EXPECT_EQ(app.WaitExit(), 0);
  }
  const std::string notListed =
      " is not in the list of tables: it lists the directory's *.dbf files that are not hidden.";
  const struct {
    std::string argument, text;
    bool icon;
  } cases[] = {
      {Path("gone"), "I/O error 3 entering " + Path("gone"), true},
      {Path("gone\\deeper"), "I/O error 3 entering " + Path("gone\\deeper"), true},
      {Path("notes.txt"), "notes.txt" + notListed, true},
      {Path("HIDDEN.DBF"), "hidden.dbf" + notListed, true},
  };
  for (const auto& c : cases) {
    App app(Path("dbfclean.exe"), root_.path(), c.argument);
    HWND box = app.WaitWindow("dbfclean", "#32770");
    ASSERT_TRUE(box) << c.argument;
    // A word too wide for the box (the path) is broken; nothing else changes.
    std::string text = ReadMessageBox(box).text;
    for (size_t at; (at = text.find("\r\n")) != std::string::npos;) text.erase(at, 2);
    EXPECT_EQ(text, c.text);
    PostMessageA(box, WM_COMMAND, IDOK, 0);
    HWND dialog = app.WaitWindow(kDialog);
    ASSERT_TRUE(dialog);
    EXPECT_TRUE(e2e::SelectedItems(GetDlgItem(dialog, kIdFileList)).empty());
    e2e::PostKey(dialog, VK_ESCAPE);
    EXPECT_EQ(app.WaitExit(), 0);
  }
}

// A table whose path is longer than the engine's 255 characters: the run
// refuses it with 66 in a box that fits the screen.
TEST_F(Tables, ATooLongPathIsRefusedInABoxThatFitsTheScreen) {
  std::string dir = dir_ + "\\";
  dir += std::string(247 - dir.size(), 'd');
  ASSERT_TRUE(CreateDirectoryA(dir.c_str(), nullptr)) << dir.size();
  const std::string table = dir + "\\ttttt.dbf";
  ASSERT_GT(table.size(), 255u);
  testkit::WriteFile(table, Orders(false));
  App app(Path("dbfclean.exe"), root_.path(), dir);
  HWND dialog = app.WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  SendMessageA(GetDlgItem(dialog, kIdFileList), LB_SETSEL, TRUE, -1);
  e2e::PostKey(dialog, VK_RETURN);
  HWND box = app.WaitWindow("dbfclean", "#32770");
  ASSERT_TRUE(box);
  RECT r;
  GetWindowRect(box, &r);
  EXPECT_GE(r.left, 0);
  EXPECT_LE(r.right, GetSystemMetrics(SM_CXSCREEN));
  // The text as the run gives it, with line breaks where a line would not fit.
  std::string text = ReadMessageBox(box).text;
  auto squeeze = [](std::string t) {
    t.erase(std::remove_if(t.begin(), t.end(), [](char c) { return c == '\r' || c == '\n'; }), t.end());
    return t;
  };
  EXPECT_NE(text.find("\r\n"), std::string::npos);
  EXPECT_EQ(squeeze(text),
            squeeze("Cannot clean " + table +
                    ": the path is longer than the table engine's 255 characters. No table was touched."));
  PostMessageA(box, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(app.WaitExit(), 66);
  EXPECT_EQ(testkit::ReadFile(table), Orders(false));
}

TEST_F(Tables, AtOneHundredTwentyPixelsPerInchTheLabelsHoldTheirTexts) {
  // Programs started from now on see a display of 120 pixels per inch.
  HKEY desktop = nullptr;
  ASSERT_EQ(RegCreateKeyExA(HKEY_CURRENT_USER, "Control Panel\\Desktop", 0, nullptr, 0, KEY_SET_VALUE, nullptr,
                            &desktop, nullptr),
            ERROR_SUCCESS);
  const DWORD ppi = 120;
  RegSetValueExA(desktop, "LogPixels", 0, REG_DWORD, reinterpret_cast<const BYTE*>(&ppi), sizeof ppi);
  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  RegDeleteValueA(desktop, "LogPixels");
  RegCloseKey(desktop);
  ASSERT_TRUE(dialog);

  // The dialog's font at 120 pixels per inch, measured here.
  HFONT font = CreateFontA(MulDiv(-11, 120, 96), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                           CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font);
  TEXTMETRICA metrics{};
  GetTextMetricsA(dc, &metrics);
  const int textHeight = metrics.tmHeight;
  RECT client;
  GetClientRect(dialog, &client);
  EXPECT_EQ(client.right, MulDiv(360, textHeight, 13));
  EXPECT_EQ(client.bottom, MulDiv(266, textHeight, 13));
  // The two labels whose texts are wider than designed in this font.
  for (const auto& [id, text, designWidth] :
       {std::tuple{kIdLabel1, "Directory name:", 74}, std::tuple{kIdLabel4, "Files: (*.dbf)", 55}}) {
    SIZE extent{};
    GetTextExtentPoint32A(dc, text, static_cast<int>(strlen(text)), &extent);
    const RECT r = e2e::ChildRect(GetDlgItem(dialog, id));
    EXPECT_EQ(r.right - r.left, std::max<int>(MulDiv(designWidth, textHeight, 13), extent.cx)) << text;
    EXPECT_GT(extent.cx, MulDiv(designWidth, textHeight, 13)) << text;
  }
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  DeleteObject(font);
  e2e::PostKey(dialog, VK_ESCAPE);
  EXPECT_EQ(app->WaitExit(), 0);
}

TEST_F(Tables, ABadTableHaltsWithTheEngineReportAndItsCode) {
  Write("BAD.DBF", std::string(40, 'x'));
  Write("good.dbf", Orders(false));
  Write("a.ndx", "index");
  auto app = Start();
  HWND dialog = app->WaitWindow(kDialog);
  ASSERT_TRUE(dialog);
  SendMessageA(GetDlgItem(dialog, kIdFileList), LB_SETSEL, TRUE, -1);
  e2e::PostKey(dialog, VK_RETURN);
  HWND halt = app->WaitWindow("Program halted.", "#32770");
  ASSERT_TRUE(halt);
  // The panel named the table that halted; it is gone before the box.
  HWND panel = app->FindOwnWindow(kPanelClass);
  EXPECT_TRUE(panel && !IsWindowVisible(panel));
  const MessageBoxView view = ReadMessageBox(halt);
  // The engine names the table by its full path in upper case.
  std::string upperPath = Path("BAD.DBF");
  for (char& c : upperPath) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  EXPECT_EQ(view.text, "Error # 210 (Not a dBASE data file)\r\n" + upperPath +
                           " is not a dBASE database.(Invalid version byte)+ [USE/OpenDBF]");
  EXPECT_TRUE(view.icon);
  EXPECT_EQ(view.buttons, std::vector<std::string>({"OK"}));
  PostMessageA(halt, WM_COMMAND, IDOK, 0);
  EXPECT_EQ(app->WaitExit(), 210);
  // The tables after the bad one are not cleaned, no index file is erased.
  EXPECT_EQ(Read("good.dbf"), Orders(false));
  EXPECT_TRUE(Exists("a.ndx"));
}

}  // namespace
