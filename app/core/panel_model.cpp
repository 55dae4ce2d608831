// The display's text height, the panel's scaling and centring on the screen.
#include "panel_model.h"

#include "dialog_model.h"

namespace dbfclean {

int DisplayTextHeight(int ppi, const std::function<int(int fontHeight)>& measure) {
  const int height = measure(DialogFontHeight(ppi));
  return height > 0 ? height : kDesignTextHeight;
}

int ScalePanelEdge(int edge, int screenWidth) { return MulDiv(edge, screenWidth, kDesignScreenWidth); }

PanelGeometry ScalePanel(int screenWidth, int textHeight) {
  // Each edge is scaled from the origin; a size is the difference of two edges.
  auto edge = [&](int value) { return ScalePanelEdge(ScaleToTextHeight(value, textHeight), screenWidth); };
  return PanelGeometry{edge(kPanelWidth) - edge(0), edge(kPanelHeight) - edge(0),
                       MulDiv(ScaleToTextHeight(kPanelFontPoints, textHeight), screenWidth, kDesignScreenWidth)};
}

ScreenPlace CentreOnScreen(int screenWidth, int screenHeight, int width, int height) {
  return ScreenPlace{screenWidth > width ? (screenWidth - width) / 2 : 0,
                     screenHeight > height ? (screenHeight - height) / 2 : 0};
}

}  // namespace dbfclean
