// The progress panel's size, font and place, without any toolkit.
#pragma once

namespace dbfclean {

constexpr int kPanelWidth = 239;
constexpr int kPanelHeight = 56;
constexpr int kPanelFontPoints = 9;  // "Arial" bold, height -12
constexpr int kDesignScreenWidth = 640;
constexpr const char* kPanelInitialText = "Initializing...";

// An edge scaled from the origin by screenWidth : 640, rounded to nearest.
int ScalePanelEdge(int edge, int screenWidth);

struct PanelGeometry {
  int width, height, fontPoints;
};
PanelGeometry ScalePanel(int screenWidth);

struct PanelPlace {
  int left, top;
};
// Centred, integer halves; never negative.
PanelPlace CentrePanel(int screenWidth, int screenHeight, int panelWidth, int panelHeight);

}  // namespace dbfclean
