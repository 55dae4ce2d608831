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

std::string FitBoxText(const std::string& text) {
  NONCLIENTMETRICSA metrics{};
  metrics.cbSize = sizeof metrics;
  HFONT font = SystemParametersInfoA(SPI_GETNONCLIENTMETRICS, sizeof metrics, &metrics, 0)
                   ? CreateFontIndirectA(&metrics.lfMessageFont)
                   : nullptr;
  HDC dc = GetDC(nullptr);
  HGDIOBJ old = SelectObject(dc, font ? font : GetStockObject(DEFAULT_GUI_FONT));
  const std::string fitted = WrapToWidth(
      text, GetSystemMetrics(SM_CXSCREEN) / 2,
      [dc](std::string_view piece) {
        SIZE size{};
        GetTextExtentPoint32A(dc, piece.data(), static_cast<int>(piece.size()), &size);
        return static_cast<int>(size.cx);
      },
      "\r\n");
  SelectObject(dc, old);
  ReleaseDC(nullptr, dc);
  if (font) DeleteObject(font);
  return fitted;
}

}  // namespace dbfclean::win32
