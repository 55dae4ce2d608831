// The progress panel: scaled by screen width : 640 when created, centred on
// the screen at every ShowProgress, drawn as a raised yellow panel with its
// text centred in bold Arial.
#include "msg_panel.h"

#include "control_ids.h"
#include "dialog_model.h"
#include "display.h"
#include "panel_model.h"

namespace dbfclean::win32 {

namespace {

const COLORREF kYellow = RGB(255, 255, 0);
bool busy = false;

// A raised bevel: light top and left edges, dark bottom and right.
void Bevel(HDC dc, RECT& r) {
  HPEN light = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNHIGHLIGHT));
  HPEN dark = CreatePen(PS_SOLID, 1, GetSysColor(COLOR_BTNSHADOW));
  HGDIOBJ old = SelectObject(dc, light);
  MoveToEx(dc, r.left, r.bottom - 1, nullptr);
  LineTo(dc, r.left, r.top);
  LineTo(dc, r.right - 1, r.top);
  SelectObject(dc, dark);
  LineTo(dc, r.right - 1, r.bottom - 1);
  LineTo(dc, r.left - 1, r.bottom - 1);
  SelectObject(dc, old);
  DeleteObject(light);
  DeleteObject(dark);
  InflateRect(&r, -1, -1);
}

void RegisterClasses(HINSTANCE instance, WNDPROC panelProc, WNDPROC captionProc) {
  WNDCLASSA wc{};
  wc.hInstance = instance;
  wc.hCursor = LoadCursor(nullptr, IDC_ARROW);
  wc.lpfnWndProc = panelProc;
  wc.hbrBackground = CreateSolidBrush(kYellow);
  wc.lpszClassName = kPanelClass;
  RegisterClassA(&wc);
  wc.lpfnWndProc = captionProc;
  wc.hbrBackground = nullptr;
  wc.lpszClassName = kCaptionPanelClass;
  RegisterClassA(&wc);
}

}  // namespace

void SetBusy(bool on) {
  busy = on;
  SetCursor(LoadCursor(nullptr, on ? IDC_WAIT : IDC_ARROW));
}

bool IsBusy() { return busy; }

void ProcessPendingEvents() {
  MSG msg;
  while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
    TranslateMessage(&msg);
    DispatchMessageA(&msg);
  }
}

TMsgPanel::TMsgPanel(HINSTANCE instance) {
  static bool registered = false;
  if (!registered) {
    RegisterClasses(instance, PanelProc, CaptionPanelProc);
    registered = true;
  }
  // A tool window keeps the panel off the taskbar; it is never activated.
  window_ = CreateWindowExA(WS_EX_TOOLWINDOW | WS_EX_NOACTIVATE, kPanelClass, kPanelCaption, WS_POPUP, 178, 121,
                            kPanelWidth, kPanelHeight, nullptr, nullptr, instance, nullptr);
  captionPanel_ = CreateWindowExA(0, kCaptionPanelClass, kPanelInitialText, WS_CHILD | WS_VISIBLE, 0, 0, kPanelWidth,
                                  kPanelHeight, window_, nullptr, instance, nullptr);
  FormCreate();
}

TMsgPanel::~TMsgPanel() {
  if (window_) DestroyWindow(window_);
  if (font_) DeleteObject(font_);
}

void TMsgPanel::FormCreate() {
  // First the display's text height, as for the dialog; then every edge by
  // screen width : 640, rounded from the origin.
  const int ppi = ScreenPpi();
  const PanelGeometry g = ScalePanel(GetSystemMetrics(SM_CXSCREEN), DialogTextHeight(ppi));
  font_ = CreateFontA(-MulDiv(g.fontPoints, ppi, 72), 0, 0, 0, FW_BOLD, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                      CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, VARIABLE_PITCH | FF_SWISS, "Arial");
  SetWindowLongPtrA(captionPanel_, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(font_));
  SetWindowPos(window_, nullptr, 0, 0, g.width, g.height, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  SetWindowPos(captionPanel_, nullptr, 0, 0, g.width, g.height, SWP_NOZORDER | SWP_NOACTIVATE);
}

void TMsgPanel::ShowProgress(const std::string& text) {
  RECT r;
  GetWindowRect(window_, &r);
  const ScreenPlace place =
      CentreOnScreen(GetSystemMetrics(SM_CXSCREEN), GetSystemMetrics(SM_CYSCREEN), r.right - r.left, r.bottom - r.top);
  SetWindowPos(window_, HWND_TOP, place.left, place.top, 0, 0, SWP_NOSIZE | SWP_NOACTIVATE | SWP_SHOWWINDOW);
  SetWindowTextA(captionPanel_, text.c_str());
  InvalidateRect(captionPanel_, nullptr, TRUE);
  UpdateWindow(captionPanel_);
  ProcessPendingEvents();
}

void TMsgPanel::HideProgress() {
  ShowWindow(window_, SW_HIDE);
  ProcessPendingEvents();
}

LRESULT CALLBACK TMsgPanel::PanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_MOUSEACTIVATE: return MA_NOACTIVATE;
    case WM_SETCURSOR:
      if (IsBusy()) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

LRESULT CALLBACK TMsgPanel::CaptionPanelProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
  switch (message) {
    case WM_ERASEBKGND: return 1;
    case WM_SETCURSOR:
      if (IsBusy()) {
        SetCursor(LoadCursor(nullptr, IDC_WAIT));
        return TRUE;
      }
      break;
    case WM_PAINT: {
      PAINTSTRUCT ps;
      HDC dc = BeginPaint(window, &ps);
      RECT r;
      GetClientRect(window, &r);
      HBRUSH yellow = CreateSolidBrush(kYellow);
      FillRect(dc, &r, yellow);
      DeleteObject(yellow);
      Bevel(dc, r);  // outer, raised
      Bevel(dc, r);  // inner, raised
      char text[512];
      const int n = GetWindowTextA(window, text, sizeof text);
      HGDIOBJ oldFont = SelectObject(dc, reinterpret_cast<HFONT>(GetWindowLongPtrA(window, GWLP_USERDATA)));
      SetBkMode(dc, TRANSPARENT);
      SetTextColor(dc, RGB(0, 0, 0));
      // A text wider than the panel stays centred and is cut at both sides.
      DrawTextA(dc, text, n, &r, DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
      SelectObject(dc, oldFont);
      EndPaint(window, &ps);
      return 0;
    }
    default: break;
  }
  return DefWindowProcA(window, message, wParam, lParam);
}

}  // namespace dbfclean::win32
