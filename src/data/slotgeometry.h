#pragma once

#include <QRect>
#include <QSize>

#include <array>

namespace ondrel {

// Where the parts of one device slot sit in the area the window gives the slot, by the window's
// design rule. The rule is written in twips (15 to a device-independent pixel at 96 dpi); inputs
// and results are device-independent pixels. A window too small for the rule gets empty (never
// negative) sizes; the panel keeps its own size.
struct SlotGeometry {
  QRect graph;
  QRect grid;     // the result grid below the graph
  QRect panel;    // the device panel right of the graph
  QRect info;     // the info list below the panel
  QRect autoList; // the automatic-test list, over the panel
  std::array<int, 9> gridColumns{};
  std::array<int, 4> autoColumns{};
};

inline constexpr int kTwipsPerPixel = 15;

// The sizes the slot's parts ask for: the panel's own size and the least it can show its
// controls in, the result grid's three rows, and the info list's five rows.
struct SlotParts {
  QSize panel;
  QSize panelMinimum;
  int gridHeight = 0;
  int infoMinimum = 0;
};

// `area`: the slot's frame area below the tab strip. On a low window the panel gives up its own
// spare height (down to its minimum) so the info list keeps its rows.
SlotGeometry layoutSlot(QSize area, const SlotParts& parts);

} // namespace ondrel
