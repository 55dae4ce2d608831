// Control identifiers and window class names of dbfclean.exe, shared with the
// end-to-end driver that finds and works the controls from outside.
#pragma once

namespace dbfclean::win32 {

// The buttons carry the dialog manager's own OK and Cancel identifiers, so
// that Enter and Esc reach them the standard way.
constexpr int kIdOk = 1;
constexpr int kIdCancel = 2;
constexpr int kIdDirList = 101;
constexpr int kIdFileList = 102;
constexpr int kIdDrive = 103;
constexpr int kIdCurDir = 104;
constexpr int kIdLabel1 = 201;
constexpr int kIdLabel2 = 202;
constexpr int kIdLabel3 = 203;
constexpr int kIdLabel4 = 204;

constexpr const char* kPanelClass = "TMsgPanel";
constexpr const char* kPanelCaption = "MsgPanel";
constexpr const char* kCaptionPanelClass = "TPanel";

}  // namespace dbfclean::win32
