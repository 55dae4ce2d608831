// The selection dialog: an empty in-memory dialog template whose controls are
// created in pixels from the control table, so that the scaling rules (not
// dialog units) decide every size. What the linked controls show, and every
// change of directory, is the browsing model's; this file draws it.
#include "select_files.h"

#include <algorithm>

#include "control_ids.h"
#include "display.h"
#include "kestrel/engine.h"
#include "msg_panel.h"
#include "panel_model.h"

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

std::string ProgramDir() {
  char path[MAX_PATH];
  const DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
  return ProgramDirectory(std::string(path, n < MAX_PATH ? n : 0), PathStyle::Windows);
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

TfrmSelectFiles::TfrmSelectFiles(HINSTANCE instance, kestrel::Platform& platform, const std::string& argument)
    : instance_(instance),
      drives_(platform),
      browser_(platform, drives_,
               {.style = PathStyle::Windows,
                .programDir = ProgramDir(),
                .argument = argument,
                .busy =
                    [this](bool on) {
                      if (on) {
                        beforeBusy_ = SetCursor(LoadCursor(nullptr, IDC_WAIT));
                      } else {
                        SetCursor(beforeBusy_);
                      }
                    }}),
      bitmaps_(instance) {}

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
  // Browsing moved the current directory; closing puts it back, whatever
  // ended the dialog.
  const BrowseResult closed = browser_.FormClose();
  if (failure_) std::rethrow_exception(failure_);
  if (!closed.ok()) throw kestrel::EInOutError(closed.code, closed.error);
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

INT_PTR TfrmSelectFiles::Handle(UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_INITDIALOG: OnInitDialog(); return FALSE;  // the focus is set
    case WM_MEASUREITEM: OnMeasureItem(*reinterpret_cast<MEASUREITEMSTRUCT*>(lParam)); return TRUE;
    case WM_DRAWITEM: OnDrawItem(*reinterpret_cast<const DRAWITEMSTRUCT*>(lParam)); return TRUE;
    case WM_CTLCOLORSTATIC: return OnLabelColour(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam));
    case WM_SETCURSOR: return OnSetCursor();
    case DM_GETDEFID: OnDefaultButton(); return TRUE;
    case WM_COMMAND: return OnCommand(LOWORD(wParam), HIWORD(wParam));
    default: return FALSE;
  }
}

void TfrmSelectFiles::OnInitDialog() {
  const int ppi = ScreenPpi();
  font_ = CreateDialogFont(DialogFontHeight(ppi));
  textHeight_ = DialogTextHeight(ppi);
  SendMessageA(dialog_, WM_SETFONT, reinterpret_cast<WPARAM>(font_), FALSE);
  // The program's icon on the taskbar and in Alt+Tab (the caption shows
  // none, as the dialog has no system menu).
  SendMessageA(dialog_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(LoadIconA(instance_, MAKEINTRESOURCEA(1))));
  SendMessageA(
      dialog_, WM_SETICON, ICON_SMALL,
      reinterpret_cast<LPARAM>(LoadImageA(instance_, MAKEINTRESOURCEA(1), IMAGE_ICON, GetSystemMetrics(SM_CXSMICON),
                                          GetSystemMetrics(SM_CYSMICON), LR_SHARED)));
  PlaceFrame();
  CreateControls();
  const BrowseResult created = browser_.FormCreate();
  Show(created);
  if (created.preselected >= 0) {
    HWND files = Control(kIdFileList);
    SendMessageA(files, LB_SETSEL, TRUE, created.preselected);
    SendMessageA(files, LB_SETCARETINDEX, created.preselected, FALSE);
    SendMessageA(files, LB_SETANCHORINDEX, created.preselected, 0);
  }
  // Opened on a table, the focus is on it, so that Enter presses OK and cleans it.
  SetFocus(Control(created.preselected >= 0 ? kIdFileList : kIdDirList));
}

void TfrmSelectFiles::PlaceFrame() {
  RECT frame{0, 0, ScaleToTextHeight(kDialogClientWidth, textHeight_),
             ScaleToTextHeight(kDialogClientHeight, textHeight_)};
  AdjustWindowRectEx(&frame, static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_STYLE)), FALSE,
                     static_cast<DWORD>(GetWindowLongPtrA(dialog_, GWL_EXSTYLE)));
  const int width = frame.right - frame.left;
  const int height = frame.bottom - frame.top;
  const ScreenPlace place = CentreOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), width, height);
  SetWindowPos(dialog_, nullptr, place.left, place.top, width, height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TfrmSelectFiles::OnMeasureItem(MEASUREITEMSTRUCT& item) {
  if (item.CtlID == static_cast<UINT>(kIdDirList)) {
    item.itemHeight = ScaleToTextHeight(kDirItemHeight, textHeight_);
  } else if (item.CtlID == static_cast<UINT>(kIdDrive)) {
    const int itemHeight = DriveItemHeight(textHeight_, bitmaps_.Size("FLOPPY").cy);
    if (selectionHeight_ == 0) selectionHeight_ = itemHeight;
    item.itemHeight = item.itemID == static_cast<UINT>(-1) ? selectionHeight_ : itemHeight;
  }
}

void TfrmSelectFiles::OnDrawItem(const DRAWITEMSTRUCT& item) {
  if (item.CtlID == static_cast<UINT>(kIdDirList)) DrawDirItem(item);
  if (item.CtlID == static_cast<UINT>(kIdDrive)) DrawDriveItem(item);
  if (item.CtlType == ODT_BUTTON) DrawButton(item);
}

INT_PTR TfrmSelectFiles::OnLabelColour(HDC dc, HWND control) {
  const int id = GetDlgCtrlID(control);
  if (id < kIdLabel1 || id > kIdLabel4) return FALSE;
  SetTextColor(dc, kNavy);
  SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
  return reinterpret_cast<INT_PTR>(GetSysColorBrush(COLOR_BTNFACE));
}

bool TfrmSelectFiles::OnSetCursor() {
  if (!IsBusy()) return false;
  SetCursor(LoadCursor(nullptr, IDC_WAIT));
  SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, TRUE);
  return true;
}

void TfrmSelectFiles::OnDefaultButton() {
  // Enter presses the focused button, and OK from everywhere else.
  const int id = GetFocus() == Control(kIdCancel) ? kIdCancel : kIdOk;
  SetWindowLongPtrA(dialog_, DWLP_MSGRESULT, MAKELONG(id, DC_HASDEFID));
}

bool TfrmSelectFiles::OnCommand(int id, int code) {
  if (id == kIdOk || id == kIdCancel) {
    if (code == BN_SETFOCUS || code == BN_KILLFOCUS) {
      // The default frame follows the focus between the two buttons.
      InvalidateRect(Control(kIdOk), nullptr, FALSE);
      InvalidateRect(Control(kIdCancel), nullptr, FALSE);
      return true;
    }
    if (code != BN_CLICKED) return false;
    OnButton(id);
    return true;
  }
  if (id == kIdDirList && code == LBN_DBLCLK) {
    Show(browser_.OpenItem(static_cast<int>(SendMessageA(Control(kIdDirList), LB_GETCURSEL, 0, 0))));
    return true;
  }
  if (id == kIdDrive) {
    // A drive is entered when it is chosen: the open list closed on it
    // (Enter or a click), or the arrows moved the closed box. The highlight
    // passing over the open list enters nothing, so a slow or unreadable
    // drive is not entered on the way.
    HWND box = Control(kIdDrive);
    const bool dropped = SendMessageA(box, CB_GETDROPPEDSTATE, 0, 0) != 0;
    if (code == CBN_SELENDOK || (code == CBN_SELCHANGE && !dropped)) {
      ChooseDrive();
      return true;
    }
    if (code == CBN_CLOSEUP || code == CBN_SELENDCANCEL) {
      // Closed without a choice: the box shows the drive the lists show.
      SendMessageA(box, CB_SETCURSEL, static_cast<WPARAM>(browser_.DriveIndex()), 0);
      return true;
    }
  }
  return false;
}

void TfrmSelectFiles::ChooseDrive() {
  const int chosen = static_cast<int>(SendMessageA(Control(kIdDrive), CB_GETCURSEL, 0, 0));
  // The system may tell one choice twice (the list closing, then the change).
  if (chosen < 0 || chosen == browser_.DriveIndex()) return;
  Show(browser_.ChooseDrive(chosen));
}

void TfrmSelectFiles::OnButton(int id) {
  // The list holds the model's names in its order; only the selection is the list's.
  HWND list = Control(kIdFileList);
  std::vector<bool> selected(static_cast<size_t>(SendMessageA(list, LB_GETCOUNT, 0, 0)));
  for (size_t i = 0; i < selected.size(); ++i) selected[i] = SendMessageA(list, LB_GETSEL, i, 0) > 0;
  result_ = browser_.Result(id == kIdOk, selected);
  EndDialog(dialog_, id);
}

void TfrmSelectFiles::CreateControls() {
  // Creation order is the tab order: the labels (no tab stop) first, then
  // the controls by their tab position.
  std::vector<ControlPlace> controls = DialogControls();
  std::stable_sort(controls.begin(), controls.end(),
                   [](const ControlPlace& a, const ControlPlace& b) { return a.tabOrder < b.tabOrder; });
  HDC dc = GetDC(dialog_);
  HGDIOBJ oldFont = SelectObject(dc, font_);
  for (const ControlPlace& c : controls) {
    const Rect r = ScaleControl(c, textHeight_);
    const char* cls = "STATIC";
    DWORD style = WS_CHILD | WS_VISIBLE;
    DWORD exStyle = 0;
    int width = r.width;
    int height = r.height;
    switch (c.cls) {
      case ControlClass::Label: {
        style |= SS_LEFT | SS_NOPREFIX;
        // A label is as wide as its text, never narrower than designed: the
        // font of another display need not keep the design's proportions.
        SIZE text{};
        GetTextExtentPoint32A(dc, c.text, static_cast<int>(std::string(c.text).size()), &text);
        width = std::max(width, static_cast<int>(text.cx));
        break;
      }
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
        // It names the directory the lists show; a path typed into it would
        // go nowhere, so it takes none (it can still be selected and copied).
        style |= WS_TABSTOP | ES_AUTOHSCROLL | ES_READONLY;
        exStyle = WS_EX_CLIENTEDGE;
        break;
      case ControlClass::Button:
        cls = "BUTTON";
        style |= WS_TABSTOP | BS_OWNERDRAW | BS_NOTIFY;
        break;
    }
    const int id = IdOf(c.name);
    HWND control = CreateWindowExA(exStyle, cls, c.text, style, r.left, r.top, width, height, dialog_,
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
      // Shift+click takes the browsing model's rule, which both programs share.
      SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      fileListDefault_ =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(FileListProc)));
    }
    if (c.cls == ControlClass::DirectoryList) {
      // Enter opens the selected directory instead of pressing OK.
      SetWindowLongPtrA(control, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
      dirListDefault_ =
          reinterpret_cast<WNDPROC>(SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(DirListProc)));
    }
  }
  SelectObject(dc, oldFont);
  ReleaseDC(dialog_, dc);
}

LRESULT CALLBACK TfrmSelectFiles::DirListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TfrmSelectFiles*>(GetWindowLongPtrA(list, GWLP_USERDATA));
  if (message == WM_GETDLGCODE && lParam && wParam == VK_RETURN &&
      reinterpret_cast<const MSG*>(lParam)->message == WM_KEYDOWN) {
    return DLGC_WANTALLKEYS | CallWindowProcA(self->dirListDefault_, list, message, wParam, lParam);
  }
  if (message == WM_KEYDOWN && wParam == VK_RETURN) {
    try {
      self->Show(self->browser_.OpenItem(static_cast<int>(SendMessageA(list, LB_GETCURSEL, 0, 0))));
    } catch (...) {
      self->failure_ = std::current_exception();
      EndDialog(self->dialog_, kIdCancel);
    }
    return 0;
  }
  if (message == WM_CHAR && wParam == '\r') return 0;
  return CallWindowProcA(self->dirListDefault_, list, message, wParam, lParam);
}

LRESULT CALLBACK TfrmSelectFiles::FileListProc(HWND list, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* self = reinterpret_cast<TfrmSelectFiles*>(GetWindowLongPtrA(list, GWLP_USERDATA));
  // A plain or Ctrl click is the list box's own, which the rule follows;
  // a Shift click is the rule's range from the anchor.
  if ((message == WM_LBUTTONDOWN || message == WM_LBUTTONDBLCLK) && (wParam & MK_SHIFT)) {
    const LRESULT hit = SendMessageA(list, LB_ITEMFROMPOINT, 0, lParam);
    const int index = LOWORD(hit);
    if (HIWORD(hit) == 0 && index < SendMessageA(list, LB_GETCOUNT, 0, 0)) {
      SetFocus(list);
      self->RangeClick(list, index, (wParam & MK_CONTROL) != 0);
      return 0;
    }
  }
  return CallWindowProcA(self->fileListDefault_, list, message, wParam, lParam);
}

void TfrmSelectFiles::RangeClick(HWND list, int index, bool ctrl) {
  ListSelection selection;
  const int count = static_cast<int>(SendMessageA(list, LB_GETCOUNT, 0, 0));
  for (int i = 0; i < count; ++i) selection.selected.push_back(SendMessageA(list, LB_GETSEL, i, 0) > 0);
  const int anchor = static_cast<int>(SendMessageA(list, LB_GETANCHORINDEX, 0, 0));
  selection.anchor = anchor >= 0 && anchor < count ? anchor : -1;
  ClickItem(&selection, index, ctrl, true);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  for (int i = 0; i < count; ++i) {
    if ((SendMessageA(list, LB_GETSEL, i, 0) > 0) != selection.selected[i])
      SendMessageA(list, LB_SETSEL, selection.selected[i], i);
  }
  // Setting a selection moves the anchor and the caret; they go back to where
  // the rule puts them.
  SendMessageA(list, LB_SETANCHORINDEX, selection.anchor, 0);
  SendMessageA(list, LB_SETCARETINDEX, index, FALSE);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TfrmSelectFiles::Show(const BrowseResult& result) {
  if (result.changed & changed::Drives) FillDrives();
  if (result.changed & (changed::Drives | changed::Drive)) {
    SendMessageA(Control(kIdDrive), CB_SETCURSEL, static_cast<WPARAM>(browser_.DriveIndex()), 0);
  }
  if (result.changed & changed::Directories) FillDirItems();
  if (result.changed & changed::Files) FillFiles();
  if (result.changed & changed::EditText) dirListChange();
  if (!result.ok()) MessageBoxA(dialog_, FitBoxText(result.error).c_str(), kAppTitle, MB_OK | MB_ICONSTOP);
  if (!result.notice.empty())
    MessageBoxA(dialog_, FitBoxText(result.notice).c_str(), kAppTitle, MB_OK | MB_ICONINFORMATION);
}

void TfrmSelectFiles::FillDrives() {
  HWND box = Control(kIdDrive);
  SendMessageA(box, CB_RESETCONTENT, 0, 0);
  for (const DriveEntry& entry : browser_.Drives())
    SendMessageA(box, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(entry.text.c_str()));
}

void TfrmSelectFiles::FillDirItems() {
  HWND list = Control(kIdDirList);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const DirItem& item : browser_.Items())
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.text.c_str()));
  SendMessageA(list, LB_SETCURSEL, CurrentItemIndex(browser_.Items()), 0);
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TfrmSelectFiles::FillFiles() {
  HWND list = Control(kIdFileList);
  SendMessageA(list, WM_SETREDRAW, FALSE, 0);
  SendMessageA(list, LB_RESETCONTENT, 0, 0);
  for (const std::string& name : browser_.Files())
    SendMessageA(list, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(name.c_str()));
  SendMessageA(list, WM_SETREDRAW, TRUE, 0);
  InvalidateRect(list, nullptr, TRUE);
}

void TfrmSelectFiles::dirListChange() { SetWindowTextA(Control(kIdCurDir), browser_.EditText().c_str()); }

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
  const std::vector<DirItem>& items = browser_.Items();
  if (item.itemID >= items.size()) return;
  const DirItem& d = items[item.itemID];
  DrawItemWithBitmap(bitmaps_, item, d.bitmap, d.text, d.indent, 4);
}

void TfrmSelectFiles::DrawDriveItem(const DRAWITEMSTRUCT& item) {
  const std::vector<DriveEntry>& drives = browser_.Drives();
  if (item.itemID >= drives.size()) return;
  const DriveEntry& d = drives[item.itemID];
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
