// Not a test: `make screenshots` runs this (it is disabled in test runs) to
// picture the dialog, the panel, the summary box and the halting box on the
// virtual display, each window cut from the screen into a .bmp file in the
// directory named by DBFCLEAN_SHOTS.
#include <gtest/gtest.h>
#include <windows.h>

#include <cstdlib>
#include <string>

#include "app_window.h"
#include "control_ids.h"
#include "testkit.h"

namespace {

using namespace dbfclean::win32;

// Writes the window's part of the screen to `file`; returns false when that
// part is still all black (not yet painted), writing nothing then.
bool Capture(HWND window, const std::string& file) {
  RECT r;
  GetWindowRect(window, &r);
  const int width = r.right - r.left;
  const int height = r.bottom - r.top;
  HDC screen = GetDC(nullptr);
  HDC memory = CreateCompatibleDC(screen);
  HBITMAP bitmap = CreateCompatibleBitmap(screen, width, height);
  HGDIOBJ old = SelectObject(memory, bitmap);
  BitBlt(memory, 0, 0, width, height, screen, r.left, r.top, SRCCOPY);
  SelectObject(memory, old);
  BITMAPINFOHEADER info{sizeof info, width, height, 1, 24, BI_RGB, 0, 0, 0, 0, 0};
  const int stride = (width * 3 + 3) & ~3;
  std::string pixels(static_cast<size_t>(stride) * height, '\0');
  GetDIBits(memory, bitmap, 0, height, pixels.data(), reinterpret_cast<BITMAPINFO*>(&info), DIB_RGB_COLORS);
  DeleteObject(bitmap);
  DeleteDC(memory);
  ReleaseDC(nullptr, screen);
  if (pixels.find_first_not_of('\0') == std::string::npos) return false;
  BITMAPFILEHEADER header{0x4D42, static_cast<DWORD>(sizeof header + sizeof info + pixels.size()), 0, 0,
                          static_cast<DWORD>(sizeof header + sizeof info)};
  std::string bytes(reinterpret_cast<const char*>(&header), sizeof header);
  bytes.append(reinterpret_cast<const char*>(&info), sizeof info);
  bytes += pixels;
  testkit::WriteFile(file, bytes);
  return true;
}

// Brings the window to the front and waits until the program has painted
// everything it was asked to.
void Settle(HWND window) {
  SetForegroundWindow(window);
  DWORD_PTR ignored;
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
  RedrawWindow(window, nullptr, nullptr, RDW_INVALIDATE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  SendMessageTimeoutA(window, WM_NULL, 0, 0, SMTO_NORMAL, 5000, &ignored);
}

std::string Demo(std::vector<std::string> rows, size_t copies = 1) {
  testkit::DbfLayout layout{.fields = {{"NAME", 'C', 20}, {"CITY", 'C', 12}}};
  for (size_t i = 0; i < copies; ++i) {
    for (const auto& row : rows) layout.records.push_back(testkit::Record(layout, {row, std::string("Lyon\0\0", 6)}));
  }
  return testkit::BuildDbf(layout);
}

TEST(Screenshots, DISABLED_Windows) {
  const char* out = std::getenv("DBFCLEAN_SHOTS");
  ASSERT_TRUE(out) << "DBFCLEAN_SHOTS names the output directory";
  const std::string shots = out;
  // A tidy place of its own, so that the pictures show short paths.
  const std::string dir = "C:\\Tables";
  CreateDirectoryA(dir.c_str(), nullptr);
  CreateDirectoryA((dir + "\\archive").c_str(), nullptr);
  CreateDirectoryA((dir + "\\backup").c_str(), nullptr);
  ASSERT_TRUE(CopyFileA(DBFCLEAN_EXE, (dir + "\\dbfclean.exe").c_str(), FALSE));
  testkit::WriteFile(dir + "\\CUSTOMER.DBF", Demo({"Dupont", "Martin"}, 200000));
  testkit::WriteFile(dir + "\\ORDERS.DBF", Demo({"A-100", "A-101"}));
  testkit::WriteFile(dir + "\\STOCK.DBF", Demo({"Bolts"}));
  testkit::WriteFile(dir + "\\CUSTOMER.NDX", "index");

  {
    e2e::App app(dir + "\\dbfclean.exe", "C:\\");
    HWND dialog = app.WaitWindow("Select Files to Clean Up");
    ASSERT_TRUE(dialog);
    HWND fileList = GetDlgItem(dialog, kIdFileList);
    SendMessageA(fileList, LB_SETSEL, TRUE, 0);
    SendMessageA(fileList, LB_SETSEL, TRUE, 1);
    Settle(dialog);
    Capture(dialog, shots + "\\win32-dialog.bmp");
    e2e::PostKey(fileList, VK_RETURN);
    HWND panel = nullptr;
    ASSERT_TRUE(e2e::WaitFor([&] {
      panel = app.FindOwnWindow(kPanelClass);
      return panel && IsWindowVisible(panel) &&
             e2e::Text(GetWindow(panel, GW_CHILD)) == "Cleaning CUSTOMER.DBF database...";
    }));
    // Its text is set a moment before it is painted.
    EXPECT_TRUE(e2e::WaitFor([&] { return Capture(panel, shots + "\\win32-panel.bmp"); }, 5, 1));
    HWND summary = app.WaitWindow("dbfclean", "#32770", 120);
    ASSERT_TRUE(summary);
    Settle(summary);
    Capture(summary, shots + "\\win32-summary.bmp");
    PostMessageA(summary, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(app.WaitExit(), 0);
  }
  {
    testkit::WriteFile(dir + "\\STOCK.DBF", "This is not a table at all.");
    e2e::App app(dir + "\\dbfclean.exe", "C:\\");
    HWND dialog = app.WaitWindow("Select Files to Clean Up");
    ASSERT_TRUE(dialog);
    SendMessageA(GetDlgItem(dialog, kIdFileList), LB_SETSEL, TRUE, 2);
    e2e::PostKey(dialog, VK_RETURN);
    HWND halt = app.WaitWindow("Program halted.", "#32770");
    ASSERT_TRUE(halt);
    Settle(halt);
    Capture(halt, shots + "\\win32-halt.bmp");
    PostMessageA(halt, WM_COMMAND, IDOK, 0);
    EXPECT_EQ(app.WaitExit(), 210);
  }
  for (const char* name : {"dbfclean.exe", "CUSTOMER.DBF", "ORDERS.DBF", "STOCK.DBF", "CUSTOMER.NDX"}) {
    DeleteFileA((dir + "\\" + name).c_str());
  }
  for (const char* sub : {"\\archive", "\\backup", ""}) RemoveDirectoryA((dir + sub).c_str());
}

}  // namespace
