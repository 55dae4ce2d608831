// TfrmSelectFiles: the modal dialog "Select Files to Clean Up", a view of the
// browsing model: it draws the drive box, the directory list, the file list
// and the edit box, forwards the user's acts, and shows a failure in a box.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "file_browser.h"
#include "kestrel/platform.h"
#include "platform_drives.h"
#include "run.h"

namespace dbfclean::win32 {

class TfrmSelectFiles {
 public:
  // `argument`: the program's argument, a directory or a table's path; empty: none.
  TfrmSelectFiles(HINSTANCE instance, kestrel::Platform& platform, const std::string& argument);
  ~TfrmSelectFiles();
  TfrmSelectFiles(const TfrmSelectFiles&) = delete;
  TfrmSelectFiles& operator=(const TfrmSelectFiles&) = delete;

  // Shows the dialog modally; returns OK or Cancel with the directory list's
  // directory and the file list's entries as they were when it closed.
  // Closing always puts the program's directory back; a failure to do so is
  // thrown.
  DialogResult ShowModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK DirListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK FileListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  // A Shift+click on the file list, by the browsing model's rule.
  void RangeClick(HWND list, int index, bool ctrl);
  // Enters the drive box's chosen entry, unless the lists show it already.
  void ChooseDrive();
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  // The messages the dialog answers.
  void OnInitDialog();
  void OnMeasureItem(MEASUREITEMSTRUCT& item);
  void OnDrawItem(const DRAWITEMSTRUCT& item);
  INT_PTR OnLabelColour(HDC dc, HWND control);
  bool OnSetCursor();
  void OnDefaultButton();
  bool OnCommand(int id, int code);
  void OnButton(int id);

  // The frame, scaled and centred, and the controls in pixels.
  void PlaceFrame();
  void CreateControls();

  // Draws what `result` changed and shows its failure in a box.
  void Show(const BrowseResult& result);
  void FillDrives();
  void FillDirItems();
  void FillFiles();
  void dirListChange();

  void DrawDirItem(const DRAWITEMSTRUCT& item);
  void DrawDriveItem(const DRAWITEMSTRUCT& item);
  void DrawButton(const DRAWITEMSTRUCT& item);
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }

  HINSTANCE instance_;
  PlatformDrives drives_;
  FileBrowser browser_;
  Bitmaps bitmaps_;
  HWND dialog_ = nullptr;
  HFONT font_ = nullptr;
  int textHeight_ = kDesignTextHeight;
  int selectionHeight_ = 0;  // the drive box's selection field
  WNDPROC dirListDefault_ = nullptr;
  WNDPROC fileListDefault_ = nullptr;
  HCURSOR beforeBusy_ = nullptr;

  DialogResult result_;
  std::exception_ptr failure_;
};

}  // namespace dbfclean::win32
