// The selection dialog: an empty in-memory dialog template whose controls are
// created in pixels from the control table, so that the scaling rules (not
// dialog units) decide every size. The drive box, the directory list and the
// file list keep each other in step through the process's current directory.
#include "select_files.h"

#include <winnetwk.h>

#include <algorithm>
#include <cctype>

#include "control_ids.h"
#include "file_list.h"
#include "kestrel/engine.h"
#include "msg_panel.h"

namespace dbfclean::win32 {

namespace {

const COLORREF kNavy = RGB(0, 0, 128);
constexpr int kGlyphSpacing = 4;  // between a button's glyph and its caption

int IdOf(const char* name) {
  static const struct {
    const char* name;
    int id;
  } kIds[] = {{"Label1", kIdLabel1},   {"Label2", kIdLabel2},     {"Label3", kIdLabel3},  {"Label4", kIdLabel4},
              {"dirList", kIdDirList}, {"fileList", kIdFileList}, {"cmbDrive", kIdDrive}, {"eCurDir", kIdCurDir},
              {"btnOK", kIdOk},        {"btnCancel", kIdCancel}};
  for (const auto& entry : kIds) {
    if (std::string(entry.name) == name) return entry.id;
  }
  return 0;
}

char LowerLetter(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

std::string DriveRoot(const std::string& path) {
  if (path.size() >= 2 && path[1] == ':') return path.substr(0, 2) + "\\";
  return std::string();
}

DriveKind KindOf(UINT type) {
  switch (type) {
    case DRIVE_REMOVABLE: return DriveKind::Removable;
    case DRIVE_FIXED: return DriveKind::Fixed;
    case DRIVE_REMOTE: return DriveKind::Network;
    case DRIVE_CDROM: return DriveKind::CdRom;
    case DRIVE_RAMDISK: return DriveKind::RamDisk;
    default: return DriveKind::Other;
  }
}

// Volume information with the system's critical-error boxes suppressed, so
// that a drive without a medium answers with a failure instead of a dialog.
bool VolumeInformation(const std::string& root, std::string* label, DWORD* flags) {
  const UINT oldMode = SetErrorMode(SEM_FAILCRITICALERRORS);
  char name[MAX_PATH + 1] = "";
  DWORD fsFlags = 0;
  const BOOL ok = GetVolumeInformationA(root.c_str(), name, sizeof name, nullptr, nullptr, &fsFlags, nullptr, 0);
  SetErrorMode(oldMode);
  if (label) *label = ok ? name : "";
  if (flags) *flags = ok ? fsFlags : 0;
  return ok != FALSE;
}

kestrel::EInOutError ChangeFailure(uint16_t rc, const std::string& path) {
  return kestrel::EInOutError(rc, "I/O error " + std::to_string(rc) + " entering " + path);
}

// The dialog's frame: caption, fixed dialog border, no system menu and so no
// border icons. Its size and place are set when it is created.
std::vector<WORD> DialogTemplate() {
  std::vector<WORD> words;
  words.reserve(64);
  auto dword = [&](DWORD v) {
    words.push_back(LOWORD(v));
    words.push_back(HIWORD(v));
  };
  dword(WS_POPUP | WS_CAPTION | DS_MODALFRAME);
  dword(WS_EX_DLGMODALFRAME);
  // No items; x, y, cx, cy; no menu; the standard class.
  for (int i = 0; i < 7; ++i) words.push_back(0);
  for (const char* c = kDialogCaption; *c; ++c) words.push_back(static_cast<WORD>(static_cast<unsigned char>(*c)));
  words.push_back(0);
  return words;
}

}  // namespace

TfrmSelectFiles::TfrmSelectFiles(HINSTANCE instance, kestrel::Platform& platform)
    : instance_(instance), platform_(platform), bitmaps_(instance) {}

TfrmSelectFiles::~TfrmSelectFiles() {
  if (dialog_) DestroyWindow(dialog_);
  if (font_) DeleteObject(font_);
}

DialogResult TfrmSelectFiles::ShowModal() {
  result_ = DialogResult{};
  failure_ = nullptr;
  const std::vector<WORD> words = DialogTemplate();
  DialogBoxIndirectParamA(instance_, reinterpret_cast<LPCDLGTEMPLATEA>(words.data()), nullptr, DialogProc,
                          reinterpret_cast<LPARAM>(this));
  dialog_ = nullptr;
  if (failure_) std::rethrow_exception(failure_);
  FormClose();
  return result_;
}

INT_PTR CALLBACK TfrmSelectFiles::DialogProc(HWND dialog, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_INITDIALOG) {
    SetWindowLongPtrA(dialog, DWLP_USER, lParam);
    reinterpret_cast<TfrmSelectFiles*>(lParam)->dialog_ = dialog;
  }
  auto* self = reinterpret_cast<TfrmSelectFiles*>(GetWindowLongPtrA(dialog, DWLP_USER));
  if (!self) return FALSE;
  // No exception may unwind through the system's frames: it ends the dialog
  // and is thrown again once the dialog is gone.
  try {
    return self->Handle(message, wParam, lParam);
  } catch (...) {
    self->failure_ = std::current_exception();
    EndDialog(dialog, kIdCancel);
    return TRUE;
  }
}

template <class F>
void TfrmSelectFiles::Guarded(F&& handler) {
  try {
    handler();
  } catch (const kestrel::EInOutError& e) {
    MessageBoxA(dialog_, e.what(), kAppTitle, MB_OK | MB_ICONSTOP);
  }
}

INT_PTR TfrmSelectFiles::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: {
      HDC dc = GetDC(dialog_);
      const int ppi = GetDeviceCaps(dc, LOGPIXELSY);
      font_ = CreateFontA(DialogFontHeight(ppi), 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                          CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
      HGDIOBJ old = SelectObject(dc, font_);
      TEXTMETRICA metrics{};
      GetTextMetricsA(dc, &metrics);
      SelectObject(dc, old);
      ReleaseDC(dialog_, dc);
      if (metrics.tmHeight > 0) textHeight_ = metrics.tmHeight;
      SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
      // The program's icon on the taskbar and in Alt+Tab (the caption shows
      // none, as the dialog has no system menu).
      SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(instance_, MAKEINTRESOURCEA(1))));
      SendMessageA(
          dialog_, WM_SETICON, ICON_SMALL,
          reinterpret_cast<LPARAM>(LoadImageA(instance_, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                              GetSystemMetrics(SM_CYSMICON), LR_SHARED)));

      RECT frame{0, 0, ScaleToTextHeight(kDialogClientWidth, textHeight_),
                 ScaleToTextHeight(kDialogClientHeight, textHeight_)};
      AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                         static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
      const int width = frame.right - frame.left;
      const int height = frame.bottom - frame.top;
      SetWindowPos(dialog_, nullptr, (GetSystemMetrics(SM_CXSCREEN) - width) / 2,
                   (GetSystemMetrics(SM_CYSCREEN) - height) / 2, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
      CreateControls();

      // The linked controls start on the current directory; FormCreate then
      // takes them to the program's own.
      FillDrives();
      directory_ = platform_.CurrentDirectory();
      SelectDriveOf(directory_);
      RebuildDirItems();
      fileDirectory_ = directory_;
      ReadFileNames();
      Guarded([this] { FormCreate(); });
      SetFocus(Control(kIdDirList));
      return FALSE;
    }
    case WM_MEASUREITEM: {
      auto* item = reinterpret_cast<MEASUREITEMSTRUCT*>(lParam);
      if (item->CtlID == static_cast<UINT>(kIdDirList)) {
        item->itemHeight = ScaleToTextHeight(kDirItemHeight, textHeight_);
      } else if (item->CtlID == static_cast<UINT>(kIdDrive)) {
        const int itemHeight = DriveItemHeight(textHeight_, bitmaps_.Size("FLOPPY").cy);
        if (selectionHeight_ == 0) selectionHeight_ = itemHeight;
        item->itemHeight = item->itemID == static_cast<UINT>(-1) ? selectionHeight_ : itemHeight;
      }
      return TRUE;
    }
    case WM_DRAWITEM: {
      const auto& item = *reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
      if (item.CtlID == static_cast<UINT>(kIdDirList)) DrawDirItem(item);
      if (item.CtlID == static_cast<UINT>(kIdDrive)) DrawDriveItem(item);
      if (item.CtlType == ODT_BUTTON) DrawButton(item);
      return TRUE;
    }
    case WM_CTLCOLORSTATIC: {
      const int id = GetDlgCtrlID(reinterpret_cast<HWND>(lParam));
      if (id < kIdLabel1 || id > kIdLabel4) return FALSE;
      HDC dc = reinterpret_cast<HDC>(wParam);
      SetTextColor(dc, kNavy);
      SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
      return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_SETCURSOR:
      if (IsBusy()) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
        return TRUE;
      }
      return FALSE;
    case DM_GETDEFID: {
      // Enter presses the focused button, and OK from everywhere else.
      const int id = GetFocus() == Control(kIdCancel) ? kIdCancel : kIdOk;
      SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, MAKELONG(id, DC_HASDEFID));
      return TRUE;
    }
    case WM_COMMAND: {
      const int id = LOWORD(wParam);
      const int code = HIWORD(wParam);
      if (id == kIdOk || id == kIdCancel) {
        if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
          // The default frame follows the focus between the two buttons.
          InvalidateRect(Control(kIdOk), nullptr, FALSE);
          InvalidateRect(Control(kIdCancel), nullptr, FALSE);
          return TRUE;
        }
        if (code != BN_CLICKED) return FALSE;
        result_.ok = id == kIdOk;
        result_.directory = directory_;
        HWND list = Control(kIdFileList);
        const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
        for (int i = 0; i < count; ++i) {
          std::string name(static_cast<size_t>(SendMessageA(list, LB_GETTEXTLEN, i, 0)), '\0');
          std::vector<char> buffer(name.size() + 1);
          SendMessageA(list, LB_GETTEXT, i, reinterpret_cast<LPARAM>(buffer.data()));
          result_.entries.push_back(FileEntry{buffer.data(), SendMessageA(list, LB_GETSEL, i, 0) > 0});
        }
        EndDialog(dialog_, id);
        return TRUE;
      }
      if (id == kIdDirList && code == LBN_DBLCLK) {
        const int index = static_cast<int>(SendMessageA(Control(kIdDirList), LB_GETCURSEL, 0, 0));
        Guarded([this, index] { OpenDirItem(index); });
        return TRUE;
      }
      if (id == kIdDrive && code == CBN_SELCHANGE) {
        const int index = static_cast<int>(SendMessageA(Control(kIdDrive), CB_GETCURSEL, 0, 0));
        if (index < 0 || index >= static_cast<int>(drives_.size())) return TRUE;
        const char letter = drives_[index].root[0];
        bool changed = false;
        Guarded([&] {
          SetDrive(letter);
          changed = true;
        });
        // A drive that cannot be entered leaves the box on the drive shown.
        if (!changed) SelectDriveOf(directory_);
        return TRUE;
      }
      return FALSE;
    }
    default: return FALSE;
  }
}

void TfrmSelectFiles::CreateControls() {
  // Creation order is the tab order: the labels (no tab stop) first, then
  // the controls by their tab position.
  std::vector<ControlPlace> controls = DialogControls();
  std::stable_sort(controls.begin(), controls.end(),
                   [](const ControlPlace& a, const ControlPlace& b) { return a.tabOrder < b.tabOrder; });
  for (const ControlPlace& c : controls) {
    const Rect r = ScaleControl(c, textHeight_);
    const char* cls = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    int height = r.height;
    switch (c.cls) {
      case ControlClass::Label: style |= SS_LEFT | SS_NOPREFIX; break;
      case ControlClass::DirectoryList:
        cls = "LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_OWNERDRAWFIXED | LBS_HASSTRINGS | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlClass::FileList:
        cls = "LISTBOX";
        style |= WS_TABSTOP | WS_VSCROLL | LBS_NOTIFY | LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlClass::DriveCombo:
        cls = "COMBOBOX";
        style |= WS_TABSTOP | WS_VSCROLL | CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS;
        height = r.height * 10;  // with the list dropped down; closed it is the item height's
        break;
      case ControlClass::Edit:
        cls = "EDIT";
        style |= WS_TABSTOP | ES_AUTOHSCROLL;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlClass::Button:
        cls = "BUTTON";
        style |= WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY;
        break;
    }
    const int id = IdOf(c.name);
    HWND control = CreateWindowExA(exStyle, cls, c.text, style, r.left, r.top, r.width, height, dialog_,
                                   reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance_, nullptr);
    SendMessageA(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
    if (c.cls == ControlClass::DriveCombo) {
      // The closed box is as high as the table says. Systems differ in the
      // border they add to the selection field, and in whether a set height
      // is measured again, so the field is corrected until the box fits.
      for (int attempt = 0; attempt < 3; ++attempt) {
        RECT closed;
        GetWindowRect(control, &closed);
        const int excess = (closed.bottom - closed.top) - r.height;
        if (excess == 0) break;
        selectionHeight_ -= excess;
        SendMessageA(control, CB_SETITEMHEIGHT, static_cast<WPARAM>(-1), selectionHeight_);
      }
    }
    if (c.cls == ControlClass::FileList) {
      SendMessageA(control, LB_SETITEMHEIGHT, 0, ScaleToTextHeight(kFileItemHeight, textHeight_));
    }
    if (c.cls == ControlClass::DirectoryList) {
      // Enter opens the selected directory instead of pressing OK.
      SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      dirListDefault_ =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DirListProc)));
    }
  }
}

LRESULT CALLBACK TfrmSelectFiles::DirListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TfrmSelectFiles*>(GetWindowLongPtrA(list, GWLP_USERDATA));
  if (message == WM_GETDLGCODE && lParam && wParam == VK_RETURN &&
      reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN) {
    return DLGC_WANTALLKEYS | CallWindowProcA(self->dirListDefault_, list, message, wParam, lParam);
  }
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    const int index = static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0));
    try {
      self->Guarded([self, index] { self->OpenDirItem(index); });
    } catch (...) {
      self->failure_ = std::current_exception();
      EndDialog(self->dialog_, kIdCancel);
    }
    return 0;
  }
  if (message == WM_CHAR && wParam == '\r') return 0;
  return CallWindowProcA(self->dirListDefault_, list, message, wParam, lParam);
}

std::string TfrmSelectFiles::ProgramDir() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return ProgramDirectory(std::string(path, n < MAX_PATH ? n : 0), PathStyle::Windows);
}

bool TfrmSelectFiles::CaseSensitive(const std::string& path, bool* lowerCase) {
  DWORD flags = 0;
  VolumeInformation(DriveRoot(path), nullptr, &flags);
  const bool sensitive = (flags & FILE_CASE_SENSITIVE_SEARCH) != 0;
  if (lowerCase) *lowerCase = ShowsLowerCase(sensitive, (flags & FILE_CASE_PRESERVED_NAMES) != 0);
  return sensitive;
}

void TfrmSelectFiles::FormCreate() {
  // Apply the program's directory as a path: nothing when the directory list
  // shows it already; its drive first when that differs.
  const std::string programDir = ProgramDir();
  if (programDir.empty() || SamePath(programDir, directory_, CaseSensitive(directory_))) return;
  const std::string root = DriveRoot(programDir);
  if (!root.empty() && LowerLetter(root[0]) != drive_) {
    SelectDriveOf(programDir);
    SetDrive(LowerLetter(root[0]));
  }
  SetDirectory(programDir);
}

void TfrmSelectFiles::dirListChange() { SetWindowTextA(Control(kIdCurDir), directory_.c_str()); }

void TfrmSelectFiles::FormClose() {
  const std::string programDir = ProgramDir();
  const uint16_t rc = platform_.ChangeDirectory(programDir);
  if (rc != 0) throw ChangeFailure(rc, programDir);
}

void TfrmSelectFiles::SetDirectory(const std::string& path) {
  if (!directory_.empty()) platform_.ChangeDirectory(directory_);  // a failure here is of no matter
  const uint16_t rc = platform_.ChangeDirectory(path);
  if (rc != 0) throw ChangeFailure(rc, path);
  directory_ = platform_.CurrentDirectory();
  RebuildDirItems();
  SetFileListDirectory(directory_);
  dirListChange();
}

void TfrmSelectFiles::SetDrive(char letter) {
  const std::string drive = {letter, ':'};
  const uint16_t rc = platform_.ChangeDirectory(drive);
  if (rc != 0) throw ChangeFailure(rc, drive);
  drive_ = LowerLetter(letter);
  directory_ = platform_.CurrentDirectory();
  RebuildDirItems();
  SetFileListDirectory(directory_);
  dirListChange();
}

void TfrmSelectFiles::SetFileListDirectory(const std::string& path) {
  if (SamePath(path, fileDirectory_, false)) return;
  platform_.ChangeDirectory(fileDirectory_);
  const uint16_t rc = platform_.ChangeDirectory(path);
  if (rc != 0) throw ChangeFailure(rc, path);
  fileDirectory_ = platform_.CurrentDirectory();
  ReadFileNames();
}

void TfrmSelectFiles::OpenDirItem(int index) {
  if (index < 0 || index >= static_cast<int>(dirItems_.size())) return;
  SetDirectory(dirItems_[index].path);
}

void TfrmSelectFiles::RebuildDirItems() {
  bool lowerCase = false;
  CaseSensitive(directory_, &lowerCase);
  std::vector<std::string> subdirectories;
  std::string pattern = directory_;
  if (!pattern.empty() && pattern.back() != '\\') pattern += '\\';
  std::unique_ptr<kestrel::DirSearch> search;
  kestrel::FoundFile found;
  int32_t rc = platform_.FindFirst(pattern + "*.*", kestrel::attr::Directory, &search, &found);
  while (rc == 0) {
    if (found.attributes & kestrel::attr::Directory) subdirectories.push_back(found.name);
    rc = search->Next(&found);
  }
  dirItems_ = DirectoryItems(directory_, subdirectories, PathStyle::Windows, lowerCase);

  HWND list = Control(kIdDirList);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const DirItem& item : dirItems_)
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
  SendMessageA(list, LB_SETCURSEL, CurrentItemIndex(dirItems_), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TfrmSelectFiles::ReadFileNames() {
  HCURSOR before = nullptr;
  bool busyShown = false;
  std::vector<std::string> names;
  ReadFileList(platform_, fileDirectory_, kTableMask, &names, [&] {
    HCURSOR previous = SetCursor(LoadCursor(nullptr, IDC_WAIT));
    if (!busyShown) before = previous;
    busyShown = true;
  });
  HWND list = Control(kIdFileList);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : names) SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
  if (busyShown) SetCursor(before);
}

void TfrmSelectFiles::FillDrives() {
  drives_.clear();
  const DWORD present = GetLogicalDrives();
  for (int i = 0; i < 26; ++i) {
    if (!(present & (1u << i))) continue;
    const char letter = static_cast<char>('a' + i);
    const std::string root = {letter, ':', '\\'};
    const DriveKind kind = KindOf(GetDriveTypeA(root.c_str()));
    std::string label;
    std::string networkPath;
    // A removable drive's medium is never touched.
    if (kind != DriveKind::Removable && kind != DriveKind::Other) VolumeInformation(root, &label, nullptr);
    if (kind == DriveKind::Network) {
      char remote[MAX_PATH];
      DWORD size = sizeof remote;
      const std::string local = {letter, ':'};
      if (WNetGetConnectionA(local.c_str(), remote, &size) == NO_ERROR) networkPath = remote;
    }
    if (auto entry = WindowsDriveEntry(letter, kind, label, networkPath)) drives_.push_back(*entry);
  }
  HWND box = Control(kIdDrive);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (const DriveEntry& entry : drives_)
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
}

void TfrmSelectFiles::SelectDriveOf(const std::string& path) {
  if (path.empty()) return;
  const char letter = LowerLetter(path[0]);
  for (size_t i = 0; i < drives_.size(); ++i) {
    if (drives_[i].root[0] == letter) {
      SendMessageA(Control(kIdDrive), CB_SETCURSEL, i, 0);
      drive_ = letter;
      return;
    }
  }
}

namespace {

// The common look of an owner-drawn item: highlight when selected, the
// bitmap at `bitmapLeft` centred vertically, the text `textGap` after it.
void DrawItemWithBitmap(Bitmaps& bitmaps, const DRAWITEMSTRUCT& item, const std::string& bitmap,
                        const std::string& text, int bitmapLeft, int textGap) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool selected = (item.itemState & ODS_SELECTED) != 0;
  FillRect(dc, &r, GetSysColorBrush(selected ? COLOR_HIGHLIGHT : COLOR_WINDOW));
  const SIZE size = bitmaps.Size(bitmap);
  bitmaps.Draw(dc, bitmap, r.left + bitmapLeft, r.top + (r.bottom - r.top - size.cy) / 2);
  RECT textRect = r;
  textRect.left = r.left + bitmapLeft + size.cx + textGap;
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(selected ? COLOR_HIGHLIGHTTEXT : COLOR_WINDOWTEXT));
  DrawTextA(dc, text.c_str(), static_cast<int>(text.size()), &textRect, DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
  if ((item.itemState & ODS_FOCUS) && !(item.itemState & ODS_NOFOCUSRECT)) DrawFocusRect(dc, &r);
}

}  // namespace

void TfrmSelectFiles::DrawDirItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID >= dirItems_.size()) return;
  const DirItem& d = dirItems_[item.itemID];
  DrawItemWithBitmap(bitmaps_, item, d.bitmap, d.text, d.indent, 4);
}

void TfrmSelectFiles::DrawDriveItem(const DRAWITEMSTRUCT& item) {
  if (item.itemID >= drives_.size()) return;
  const DriveEntry& d = drives_[item.itemID];
  DrawItemWithBitmap(bitmaps_, item, d.bitmap, d.text, 2, 4);
}

void TfrmSelectFiles::DrawButton(const DRAWITEMSTRUCT& item) {
  HDC dc = item.hDC;
  RECT r = item.rcItem;
  const bool isOk = item.CtlID == static_cast<UINT>(kIdOk);
  const bool pressed = (item.itemState & ODS_SELECTED) != 0;
  const bool disabled = (item.itemState & ODS_DISABLED) != 0;
  const bool focused = (item.itemState & ODS_FOCUS) != 0;
  const bool isDefault = isOk ? GetFocus() != Control(kIdCancel) : focused;

  FillRect(dc, &r, GetSysColorBrush(COLOR_BTNFACE));
  if (isDefault) {
    FrameRect(dc, &r, static_cast<HBRUSH>(GetStockObject(BLACK_BRUSH)));
    InflateRect(&r, -1, -1);
  }
  DrawFrameControl(dc, &r, DFC_BUTTON, DFCS_BUTTONPUSH | (pressed ? DFCS_PUSHED | DFCS_FLAT : 0));
  if (pressed) {
    FrameRect(dc, &r, GetSysColorBrush(COLOR_BTNSHADOW));
  }

  // Glyph and caption side by side, centred together as one group.
  const std::string glyph = isOk ? "BBOK" : "BBCANCEL";
  const SIZE glyphSize = bitmaps_.Size(glyph);
  const int glyphWidth = glyphSize.cx / 2;
  char text[64];
  const int n = GetWindowTextA(item.hwndItem, text, sizeof text);
  RECT measure{0, 0, 0, 0};
  DrawTextA(dc, text, n, &measure, DT_SINGLELINE | DT_CALCRECT);
  const int groupWidth = glyphWidth + kGlyphSpacing + (measure.right - measure.left);
  const int shift = pressed ? 1 : 0;
  const int left = item.rcItem.left + (item.rcItem.right - item.rcItem.left - groupWidth) / 2 + shift;
  const int middle = item.rcItem.top + (item.rcItem.bottom - item.rcItem.top) / 2 + shift;
  bitmaps_.Draw(dc, glyph, left, middle - glyphSize.cy / 2, disabled ? glyphWidth : 0, glyphWidth);
  RECT textRect{left + glyphWidth + kGlyphSpacing, item.rcItem.top + shift,
                left + glyphWidth + kGlyphSpacing + (measure.right - measure.left) + 1, item.rcItem.bottom + shift};
  SetBkMode(dc, TRANSPARENT);
  SetTextColor(dc, GetSysColor(disabled ? COLOR_GRAYTEXT : COLOR_BTNTEXT));
  DrawTextA(dc, text, n, &textRect, DT_SINGLELINE | DT_VCENTER);
  if (focused) {
    RECT focus = item.rcItem;
    InflateRect(&focus, -4, -4);
    DrawFocusRect(dc, &focus);
  }
}

}  // namespace dbfclean::win32
