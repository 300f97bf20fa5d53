#include "data/ui/frmdata.h"
#include "e2e/endtoend.h"
#include "widgets/curvegraph.h"

#include <QDir>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

// A simulated discharge ends at its cutoff; its automatic data file, opened in the data viewer,
// shows the results the main window's grid showed.
TEST_F(EndToEnd, TheAutomaticDataFileOfASimulatedTestOpensInTheViewerWithTheGridsResults) {
  device("2:model=12,cap=0.05,speed=20");
  start();
  window->prefs().SAVE = true;
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  DevCtrl& p = s.panel();
  p.setTSval(0, QStringLiteral("1.00"));
  p.setTSlmt(0, QStringLiteral("3.00"));
  p.setTStim(0, QStringLiteral("0"));
  emit p.RunClick(0);
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 2000));
  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 60000));
  const QStringList data = QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files);
  ASSERT_EQ(data.size(), 1);

  window->chooseCurveType = [] { return false; };
  window->OpenData();
  frmData* viewer = window->dataViewer();
  ASSERT_TRUE(viewer);
  viewer->chooseCurveColours = [](const CurveColours& start) { return start; };
  ASSERT_TRUE(viewer->LoadFile(home.file(QStringLiteral("Data/") + data.front())))
      << viewer->statusText().toStdString();
  for (int col :
       {colDevice, colMode, colBeginVolt, colCutoffVolt, colCapacity, colEnergy, colAvgVolt})
    EXPECT_EQ(viewer->cell(1, col), s.gridText(gridRow(0), col)) << col;
  EXPECT_EQ(viewer->graph().DpCnt(0), s.graph().DpCnt(curveIndex(0, Curve::Voltage)));
}

} // namespace
