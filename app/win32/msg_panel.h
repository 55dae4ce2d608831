// TMsgPanel: the small borderless yellow window that names the table being
// repaired. Never modal, never activated, takes no input.
#pragma once

#include <windows.h>

#include <string>

namespace dbfclean::win32 {

class TMsgPanel {
 public:
  // Creates the panel hidden, scaled for the display (FormCreate).
  explicit TMsgPanel(HINSTANCE instance);
  ~TMsgPanel();
  TMsgPanel(const TMsgPanel&) = delete;
  TMsgPanel& operator=(const TMsgPanel&) = delete;

  void ShowProgress(const std::string& text);
  void HideProgress();
  HWND handle() const { return window_; }

 private:
  void FormCreate();
  static LRESULT CALLBACK PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK CaptionPanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);

  HWND window_ = nullptr;
  HWND captionPanel_ = nullptr;
  HFONT font_ = nullptr;
};

// Processes every pending window event once.
void ProcessPendingEvents();

// The busy cursor as a program-wide setting: while it is on, the program's
// windows show it whatever the mouse is over.
void SetBusy(bool busy);
bool IsBusy();

}  // namespace dbfclean::win32
