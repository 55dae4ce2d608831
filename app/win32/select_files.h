// TfrmSelectFiles: the modal dialog "Select Files to Clean Up" with its linked
// drive box, directory list and file list.
#pragma once

#include <windows.h>

#include <exception>
#include <string>
#include <vector>

#include "bitmaps.h"
#include "dialog_model.h"
#include "kestrel/platform.h"
#include "run.h"

namespace dbfclean::win32 {

class TfrmSelectFiles {
 public:
  TfrmSelectFiles(HINSTANCE instance, kestrel::Platform& platform);
  ~TfrmSelectFiles();
  TfrmSelectFiles(const TfrmSelectFiles&) = delete;
  TfrmSelectFiles& operator=(const TfrmSelectFiles&) = delete;

  // Shows the dialog modally; returns OK or Cancel with the directory list's
  // directory and the file list's entries as they were when it closed.
  // FormClose's failure to restore the current directory is thrown.
  DialogResult ShowModal();

 private:
  static INT_PTR CALLBACK DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam);
  static LRESULT CALLBACK DirListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam);
  INT_PTR Handle(UINT message, WPARAM wParam, LPARAM lParam);

  void CreateControls();
  void FormCreate();
  void dirListChange();
  void FormClose();

  // The linked controls. Each may throw kestrel::EInOutError.
  void SetDirectory(const std::string& path);  // the directory list's directory
  void SetDrive(char letter);                  // the drive box's choice
  void SetFileListDirectory(const std::string& path);
  void OpenDirItem(int index);
  void RebuildDirItems();
  void ReadFileNames();
  void FillDrives();
  void SelectDriveOf(const std::string& path);
  bool CaseSensitive(const std::string& path, bool* lowerCase = nullptr);
  std::string ProgramDir();
  // Runs a handler; an I/O failure is reported in a box while the dialog stays.
  template <class F>
  void Guarded(F&& handler);

  void DrawDirItem(const DRAWITEMSTRUCT& item);
  void DrawDriveItem(const DRAWITEMSTRUCT& item);
  void DrawButton(const DRAWITEMSTRUCT& item);
  HWND Control(int id) const { return GetDlgItem(dialog_, id); }

  HINSTANCE instance_;
  kestrel::Platform& platform_;
  Bitmaps bitmaps_;
  HWND dialog_ = nullptr;
  HFONT font_ = nullptr;
  HBRUSH face_ = nullptr;
  int textHeight_ = kDesignTextHeight;
  int selectionHeight_ = 0;  // the drive box's selection field
  WNDPROC dirListDefault_ = nullptr;

  std::string directory_;  // the directory list's directory
  std::vector<DirItem> dirItems_;
  std::string fileDirectory_;  // the file list's directory
  std::vector<DriveEntry> drives_;
  char drive_ = 0;

  DialogResult result_;
  std::exception_ptr failure_;
};

}  // namespace dbfclean::win32
