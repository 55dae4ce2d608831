// The progress panel's scaling by screen width and its centring.
#include "panel_model.h"

#include "dialog_model.h"

namespace dbfclean {

int ScalePanelEdge(int edge, int screenWidth) { return MulDiv(edge, screenWidth, kDesignScreenWidth); }

PanelGeometry ScalePanel(int screenWidth) {
  // Each edge is scaled from the origin; a size is the difference of two edges.
  return PanelGeometry{ScalePanelEdge(kPanelWidth, screenWidth) - ScalePanelEdge(0, screenWidth),
                       ScalePanelEdge(kPanelHeight, screenWidth) - ScalePanelEdge(0, screenWidth),
                       MulDiv(kPanelFontPoints, screenWidth, kDesignScreenWidth)};
}

PanelPlace CentrePanel(int screenWidth, int screenHeight, int panelWidth, int panelHeight) {
  return PanelPlace{screenWidth > panelWidth ? (screenWidth - panelWidth) / 2 : 0,
                    screenHeight > panelHeight ? (screenHeight - panelHeight) / 2 : 0};
}

}  // namespace dbfclean
