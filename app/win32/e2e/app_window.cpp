// Process start, window search and control access for the driver.
#include "app_window.h"

#include <gtest/gtest.h>

namespace e2e {

bool WaitFor(const std::function<bool()>& done, double seconds, unsigned pollMs) {
  const ULONGLONG until = GetTickCount64() + static_cast<ULONGLONG>(seconds * 1000);
  for (;;) {
    if (done()) return true;
    if (GetTickCount64() > until) return false;
    Sleep(pollMs);
  }
}

App::App(const std::string& exe, const std::string& currentDir, const std::string& argument) {
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::string command = "\"" + exe + "\"";
  if (!argument.empty()) command += " \"" + argument + "\"";
  if (!CreateProcessA(exe.c_str(), command.data(), nullptr, nullptr, FALSE, 0, nullptr, currentDir.c_str(), &startup,
                      &info_)) {
    ADD_FAILURE() << "cannot start " << exe << ": error " << GetLastError();
  }
}

App::~App() {
  if (!info_.hProcess) return;
  // A test that failed half-way must not leave the program behind.
  if (WaitForSingleObject(info_.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(info_.hProcess, 99);
    WaitForSingleObject(info_.hProcess, 5000);
  }
  CloseHandle(info_.hThread);
  CloseHandle(info_.hProcess);
}

namespace {

struct Search {
  DWORD pid;
  std::string caption;
  const char* cls;
  bool visibleOnly;
  HWND found = nullptr;
};

BOOL CALLBACK Visit(HWND window, LPARAM param) {
  auto* s = reinterpret_cast<Search*>(param);
  DWORD pid = 0;
  GetWindowThreadProcessId(window, &pid);
  if (pid != s->pid || (s->visibleOnly && !IsWindowVisible(window))) return TRUE;
  if (!s->caption.empty() && Text(window) != s->caption) return TRUE;
  if (s->cls && ClassOf(window) != s->cls) return TRUE;
  s->found = window;
  return FALSE;
}

}  // namespace

HWND App::WaitWindow(const std::string& caption, const char* cls, double seconds) {
  Search s{info_.dwProcessId, caption, cls, true};
  WaitFor(
      [&] {
        EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
        return s.found != nullptr;
      },
      seconds);
  return s.found;
}

HWND App::FindOwnWindow(const char* cls) {
  Search s{info_.dwProcessId, "", cls, false};
  EnumWindows(Visit, reinterpret_cast<LPARAM>(&s));
  return s.found;
}

int App::WaitExit(double seconds) {
  if (WaitForSingleObject(info_.hProcess, static_cast<DWORD>(seconds * 1000)) != WAIT_OBJECT_0) return -1;
  DWORD code = 0;
  GetExitCodeProcess(info_.hProcess, &code);
  return static_cast<int>(code);
}

std::string Text(HWND window) {
  // GetWindowText does not wait for a busy program: it reads the text the
  // system keeps for the window.
  char buffer[1024];
  const int n = GetWindowTextA(window, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? n : 0);
}

std::string ClassOf(HWND window) {
  char buffer[256];
  const int n = GetClassNameA(window, buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? n : 0);
}

namespace {

// Texts cross the process boundary as UTF-16 whatever the program's own
// character set; the driver asks for them so and converts them back.
std::string Narrow(const wchar_t* text) {
  char buffer[2048] = "";
  WideCharToMultiByte(CP_ACP, 0, text, -1, buffer, sizeof buffer, nullptr, nullptr);
  return buffer;
}

std::vector<std::string> Items(HWND control, UINT countMessage, UINT textMessage) {
  std::vector<std::string> items;
  const LRESULT count = SendMessageW(control, countMessage, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    wchar_t buffer[1024] = L"";
    SendMessageW(control, textMessage, i, reinterpret_cast<LPARAM>(buffer));
    items.push_back(Narrow(buffer));
  }
  return items;
}

}  // namespace

std::string ControlText(HWND control) {
  wchar_t buffer[1024] = L"";
  SendMessageW(control, WM_GETTEXT, 1024, reinterpret_cast<LPARAM>(buffer));
  return Narrow(buffer);
}

std::vector<std::string> ListItems(HWND listBox) { return Items(listBox, LB_GETCOUNT, LB_GETTEXT); }

std::vector<std::string> ComboItems(HWND comboBox) { return Items(comboBox, CB_GETCOUNT, CB_GETLBTEXT); }

std::vector<int> SelectedItems(HWND listBox) {
  std::vector<int> selected;
  const LRESULT count = SendMessageA(listBox, LB_GETCOUNT, 0, 0);
  for (LRESULT i = 0; i < count; ++i) {
    if (SendMessageA(listBox, LB_GETSEL, i, 0) > 0) selected.push_back(static_cast<int>(i));
  }
  return selected;
}

RECT ChildRect(HWND child) {
  RECT r;
  GetWindowRect(child, &r);
  MapWindowPoints(nullptr, GetParent(child), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

std::vector<HWND> Children(HWND parent) {
  std::vector<HWND> children;
  for (HWND c = GetWindow(parent, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) children.push_back(c);
  return children;
}

void PostKey(HWND window, UINT key) {
  PostMessageA(window, WM_KEYDOWN, key, 1);
  PostMessageA(window, WM_KEYUP, key, 0xC0000001);
}

void PostAltKey(HWND dialog, char letter) {
  // What TranslateMessage makes of Alt+letter.
  PostMessageA(dialog, WM_SYSCHAR, static_cast<WPARAM>(letter), 0x20000001);
}

void PostClick(HWND window, int x, int y, WPARAM keys) {
  PostMessageA(window, WM_LBUTTONDOWN, MK_LBUTTON | keys, MAKELPARAM(x, y));
  PostMessageA(window, WM_LBUTTONUP, keys, MAKELPARAM(x, y));
}

void PostDoubleClick(HWND window, int x, int y) {
  PostClick(window, x, y);
  PostMessageA(window, WM_LBUTTONDBLCLK, MK_LBUTTON, MAKELPARAM(x, y));
  PostMessageA(window, WM_LBUTTONUP, 0, MAKELPARAM(x, y));
}

}  // namespace e2e
