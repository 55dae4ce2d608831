// Driving dbfclean.exe from another process: start it, wait for its windows
// with bounded polls, read its controls and send it keys and clicks.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

namespace e2e {

// Polls `done` every `pollMs` milliseconds until it is true or `seconds` have
// passed.
bool WaitFor(const std::function<bool()>& done, double seconds = 20, unsigned pollMs = 10);

class App {
 public:
  // Starts `exe` with `currentDir` as its current directory, and with
  // `argument` as its one argument when it is not empty.
  App(const std::string& exe, const std::string& currentDir, const std::string& argument = "");
  ~App();
  App(const App&) = delete;
  App& operator=(const App&) = delete;

  // The first visible top-level window of this process with `caption` (and
  // `cls`, when given); nullptr when none came within the wait.
  HWND WaitWindow(const std::string& caption, const char* cls = nullptr, double seconds = 20);
  // The process's window of class `cls`, visible or not; nullptr when none.
  HWND FindOwnWindow(const char* cls);
  // The exit code, or -1 when the process did not end within the wait.
  int WaitExit(double seconds = 30);
  DWORD pid() const { return info_.dwProcessId; }

 private:
  PROCESS_INFORMATION info_{};
};

// The text the system keeps for a window; it does not wait for a busy
// program. Controls that keep their own text (edits) need ControlText.
std::string Text(HWND window);
std::string ControlText(HWND control);
std::string ClassOf(HWND window);
std::vector<std::string> ListItems(HWND listBox);
std::vector<std::string> ComboItems(HWND comboBox);
std::vector<int> SelectedItems(HWND listBox);
// The child rectangle in its parent's client coordinates.
RECT ChildRect(HWND child);
// Children in z-order (the dialog manager's tab order).
std::vector<HWND> Children(HWND parent);

// Input through the target's message queue, as the system would deliver it.
void PostKey(HWND window, UINT key);
void PostAltKey(HWND dialog, char letter);
void PostClick(HWND window, int x, int y, WPARAM keys = 0);
void PostDoubleClick(HWND window, int x, int y);

}  // namespace e2e
