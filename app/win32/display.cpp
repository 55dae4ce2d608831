// The dialog font and its measured text height.
#include "display.h"

#include "dialog_model.h"
#include "panel_model.h"

namespace dbfclean::win32 {

int ScreenPpi() {
  HDC screen = GetDC(nullptr);
  const int ppi = GetDeviceCaps(screen, LOGPIXELSY);
  ReleaseDC(nullptr, screen);
  return ppi;
}

HFONT CreateDialogFont(int fontHeight) {
  return CreateFontA(fontHeight, 0, 0, 0, FW_NORMAL, 0, 0, 0, ANSI_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS,
                     DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "MS Sans Serif");
}

int DialogTextHeight(int ppi) {
  return DisplayTextHeight(ppi, [](int fontHeight) {
    HDC screen = GetDC(nullptr);
    HFONT font = CreateDialogFont(fontHeight);
    HGDIOBJ old = SelectObject(screen, font);
    TEXTMETRICA metrics{};
    GetTextMetricsA(screen, &metrics);
    SelectObject(screen, old);
    DeleteObject(font);
    ReleaseDC(nullptr, screen);
    return static_cast<int>(metrics.tmHeight);
  });
}

}  // namespace dbfclean::win32
