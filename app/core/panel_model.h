// How the desktop programs fit the display: the text height that scales the
// dialog and the panel, the panel's size and font, and a window's place in
// the middle of the screen. Both programs take these from here.
#pragma once

#include <functional>

namespace dbfclean {

constexpr int kPanelWidth = 239;
constexpr int kPanelHeight = 56;
constexpr int kPanelFontPoints = 9;  // "Arial" bold, height -12
constexpr int kDesignScreenWidth = 640;
constexpr const char* kPanelInitialText = "Initializing...";

// The text height of the dialog's font (DialogFontHeight(ppi)) on a display
// of `ppi` pixels per inch, as `measure` finds it for a font of that height;
// the design's 13 when the toolkit cannot tell (0 or less).
int DisplayTextHeight(int ppi, const std::function<int(int fontHeight)>& measure);

// An edge scaled from the origin by screenWidth : 640, rounded to nearest.
int ScalePanelEdge(int edge, int screenWidth);

struct PanelGeometry {
  int width, height, fontPoints;
};
// Scaled first by the display's text height : 13, as the dialog is, then by
// screen width : 640.
PanelGeometry ScalePanel(int screenWidth, int textHeight);

struct ScreenPlace {
  int left, top;
};
// A window of the given outer size in the middle of the screen: integer
// halves, never negative.
ScreenPlace CentreOnScreen(int screenWidth, int screenHeight, int width, int height);

}  // namespace dbfclean
