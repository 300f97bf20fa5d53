#include "data/slotgeometry.h"

#include <algorithm>
#include <cmath>

namespace ondrel {
namespace {

int toTwips(int pixels) {
  return pixels * kTwipsPerPixel;
}
int toPixels(double twips) {
  return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}
int nonNegative(double twips) {
  return static_cast<int>(std::max(0.0, twips));
}
QRect pixelRect(int left, int top, int width, int height) {
  return QRect(toPixels(left), toPixels(top), toPixels(width), toPixels(height));
}

} // namespace

SlotGeometry layoutSlot(QSize area, const SlotParts& parts) {
  QSize panelSize = parts.panel;
  const int roomForPanel = area.height() - parts.infoMinimum - toPixels(100);
  if (panelSize.height() > roomForPanel)
    panelSize.setHeight(std::max(parts.panelMinimum.height(), roomForPanel));
  const int gridHeight = parts.gridHeight;

  // The design's frame is 100 twips narrower than the window's client area; the tab headers
  // above it are outside `area` here, so its height is the area's.
  const int frameW = nonNegative(toTwips(area.width()) - 100);
  const int frameH = nonNegative(toTwips(area.height()));
  const int panelW = toTwips(panelSize.width());
  const int panelH = toTwips(panelSize.height());
  const int gridH = toTwips(gridHeight);

  const int graphLeft = 50, graphTop = 0;
  const int graphW = nonNegative(frameW - panelW - 100);
  const int graphH = nonNegative(frameH - gridH - 150);
  const int gridTop = graphTop + graphH + 100;
  const int panelLeft = graphLeft + graphW + 100, panelTop = 0;
  const int infoTop = panelTop + panelH + 100;
  const int infoW = nonNegative(panelW - 100);
  const int infoH = nonNegative(frameH - infoTop);

  SlotGeometry g;
  g.graph = pixelRect(graphLeft, graphTop, graphW, graphH);
  g.grid = pixelRect(graphLeft, gridTop, graphW, gridH);
  g.panel = QRect(toPixels(panelLeft), toPixels(panelTop), panelSize.width(), panelSize.height());
  g.info = pixelRect(panelLeft, infoTop, infoW, infoH);

  // Device 1300, the mode 2.5 shares, five value columns a share each, two 750-twip swatches.
  const double share = std::max(0.0, std::round((graphW - 2800) / 7.5));
  g.gridColumns = {toPixels(1300), toPixels(2.5 * share), 0, 0, 0, 0, 0,
                   toPixels(750),  toPixels(750)};
  for (int c = 2; c <= 6; ++c)
    g.gridColumns[size_t(c)] = toPixels(share);

  const int listW = infoW;
  g.autoList = pixelRect(panelLeft, panelTop, listW, gridTop + gridH);
  const double autoColumn = std::max(0.0, std::round((listW - 650 - 300) / 3.0));
  g.autoColumns = {toPixels(650), toPixels(autoColumn), toPixels(autoColumn), toPixels(autoColumn)};
  return g;
}

} // namespace ondrel
