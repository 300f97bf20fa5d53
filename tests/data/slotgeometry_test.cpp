#include "data/slotgeometry.h"

#include <gtest/gtest.h>

#include <numeric>

using namespace ondrel;

namespace {

// Worked by hand from the design rule in twips: a 1000 x 600 area, a 300 x 400 panel, a grid of
// 60 pixels.
TEST(SlotGeometry, DesignRuleInTwips) {
  const SlotGeometry g = layoutSlot({1000, 600}, {{300, 400}, {300, 300}, 60, 100});
  EXPECT_EQ(g.graph, QRect(3, 0, 687, 530));
  EXPECT_EQ(g.grid, QRect(3, 537, 687, 60));
  EXPECT_EQ(g.panel, QRect(697, 0, 300, 400));
  EXPECT_EQ(g.info, QRect(697, 407, 293, 193));
  EXPECT_EQ(g.autoList, QRect(697, 0, 293, 597));
  EXPECT_EQ(g.gridColumns, (std::array<int, 9>{87, 167, 67, 67, 67, 67, 67, 50, 50}));
  EXPECT_EQ(g.autoColumns, (std::array<int, 4>{43, 77, 77, 77}));
}

// From a tiny window to a 4K screen (1920 x 1080 device-independent pixels at 200 %): nothing
// negative, nothing overlapping, the panel inside the area whenever the area can hold it.
TEST(SlotGeometry, SizesNeverNegativeAndPartsApart) {
  const QSize panel(320, 470), panelMinimum(320, 400);
  const int gridHeight = 80;
  const QSize areas[] = {{0, 0},      {50, 40},     {330, 480},  {640, 480},
                         {1272, 640}, {1912, 1000}, {3832, 2080}};
  for (const QSize area : areas) {
    SCOPED_TRACE(::testing::Message() << area.width() << "x" << area.height());
    const SlotGeometry g = layoutSlot(area, {panel, panelMinimum, gridHeight, 90});
    for (const QRect& r : {g.graph, g.grid, g.panel, g.info, g.autoList}) {
      EXPECT_GE(r.width(), 0);
      EXPECT_GE(r.height(), 0);
    }
    for (int w : g.gridColumns)
      EXPECT_GE(w, 0);
    for (int w : g.autoColumns)
      EXPECT_GE(w, 0);
    EXPECT_EQ(g.panel.width(), panel.width());
    EXPECT_LE(g.panel.height(), panel.height());
    EXPECT_GE(g.panel.height(), panelMinimum.height());
    EXPECT_LE(g.graph.left() + g.graph.width(), g.panel.left());
    EXPECT_GE(g.grid.top(), g.graph.top() + g.graph.height());
    EXPECT_GE(g.info.top(), g.panel.top() + g.panel.height());
    if (area.width() >= panel.width() + 20 && area.height() >= panelMinimum.height() + 100) {
      EXPECT_LE(g.panel.left() + g.panel.width(), area.width());
      EXPECT_EQ(g.info.top() + g.info.height(), area.height());
      EXPECT_LE(g.grid.top() + g.grid.height(), area.height());
    }
    if (g.grid.width() > 200) {
      // The columns fill the grid within the rounding of nine columns.
      const int sum = std::accumulate(g.gridColumns.begin(), g.gridColumns.end(), 0);
      EXPECT_NEAR(sum, g.grid.width(), 5);
      EXPECT_NEAR(g.gridColumns[1], 2.5 * g.gridColumns[2], 2);
    }
  }
}

// A low window: the panel gives up its spare height for the info list's rows, never below its
// minimum.
TEST(SlotGeometry, LowWindowKeepsTheInfoRows) {
  const SlotParts parts{{320, 600}, {320, 450}, 80, 100};
  EXPECT_EQ(layoutSlot({1200, 800}, parts).panel.height(), 600); // room enough: its own size
  const SlotGeometry low = layoutSlot({1200, 650}, parts);
  EXPECT_EQ(low.panel.height(), 650 - 100 - 7);
  EXPECT_EQ(low.info.height(), 100);
  EXPECT_EQ(layoutSlot({1200, 400}, parts).panel.height(), 450);
}

} // namespace
