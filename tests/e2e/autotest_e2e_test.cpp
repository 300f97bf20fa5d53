#include "e2e/endtoend.h"

#include "data/textfile.h"
#include "data/ui/frmmsg.h"
#include "sim/devicelogic.h"
#include "test/ui/devctrl.h"

#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

void page(DevCtrl& p, const char* from, const char* to, const char* step, const char* time,
          const char* volt) {
  p.setTAutoC1(QLatin1String(from));
  p.setTAutoC2(QLatin1String(to));
  p.setTAutoStep(QLatin1String(step));
  p.setTAutoTime(QLatin1String(time));
  p.setTAutoVol(QLatin1String(volt));
}

QList<int> setValues(const QList<QJsonObject>& records) {
  QList<int> out;
  for (const QJsonObject& r : records)
    out << r.value("set").toInt();
  return out;
}

TEST_F(EndToEnd, AnAutoTestStepsTheCurrentToItsStopAndItsResultFileHoldsTheRows) {
  sim::SimDevice& dev = device("2:model=12,cap=20");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  EXPECT_EQ(s.panel().tAutoC1(), QStringLiteral("0.1"));

  page(s.panel(), "0.5", "1.5", "0.5", "2", "2.50");
  dev.clearHeard();
  emit s.panel().StartAutoClick();
  ASSERT_TRUE(s.AutoRunning());
  ASSERT_TRUE(runUntil([&] { return !s.AutoRunning(); }, 20000));
  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 2000));

  const QList<QJsonObject> starts = heardOf(dev, "start");
  ASSERT_EQ(starts.size(), 1);
  EXPECT_EQ(starts[0].value("mode").toInt(), 0);
  EXPECT_EQ(starts[0].value("set").toInt(), 50);
  EXPECT_EQ(starts[0].value("limit").toInt(), 250);
  // One set-value command per later step, with the step's current in device units.
  EXPECT_EQ(setValues(heardOf(dev, "adjust")), (QList<int>{100, 150}));
  EXPECT_EQ(heardOf(dev, "stop").size(), 1);
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("stop command"));

  const QStringList currents = {"0.50", "1.00", "1.50"};
  for (int r = 1; r <= 3; ++r) {
    EXPECT_EQ(s.panel().tAutoRun(r, 0), QString::number(r));
    EXPECT_EQ(s.panel().tAutoRun(r, 1), currents[r - 1]) << r;
    const double volts = s.panel().tAutoRun(r, 2).toDouble();
    EXPECT_GT(volts, 3.0) << r;
    EXPECT_LT(volts, 4.3) << r;
  }
  EXPECT_TRUE(s.panel().tAutoRun(4, 1).isEmpty());

  window->chooseFile = [&](bool, const QString&, const QString&, const QString&, const QString&) {
    return home.file(QStringLiteral("result"));
  };
  emit s.panel().SaveClick();
  const QStringList lines = textFileLines(home.read(QStringLiteral("result.csv")));
  ASSERT_EQ(lines.size(), 3 + 4);
  EXPECT_EQ(lines[0], QStringLiteral("Device:KL-F2"));
  EXPECT_EQ(lines[3], QStringLiteral("Index,Curr(A),Volt(V)"));
  for (int r = 1; r <= 3; ++r)
    EXPECT_EQ(
        lines[3 + r],
        QStringLiteral("%1,%2,%3").arg(r).arg(s.panel().tAutoRun(r, 1), s.panel().tAutoRun(r, 2)));
}

TEST_F(EndToEnd, ADeviceStoppingAtItsCutoffMidWayEndsTheAutoTestWithTheRowsSoFar) {
  sim::SimDevice& dev = device("2:model=12,cap=0.05");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  page(s.panel(), "1.0", "5.0", "1.0", "2", "3.00");
  emit s.panel().StartAutoClick();
  ASSERT_TRUE(runUntil([&] { return !s.AutoRunning(); }, 20000));
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("cutoff voltage"));
  EXPECT_FALSE(s.ch(0).ChnRunning);
  EXPECT_TRUE(heardOf(dev, "stop").isEmpty());
  EXPECT_EQ(s.panel().AutoCmd(), QStringLiteral("Start"));
  EXPECT_FALSE(s.panel().AutoTmrEnable());
  EXPECT_FALSE(s.panel().TmrCurveEnable(0));
  EXPECT_TRUE(s.panel().RunEnable());
  // Rows of the steps that ran, each with a running reading; none beyond.
  int rows = 0;
  while (!s.panel().tAutoRun(rows + 1, 1).isEmpty())
    ++rows;
  ASSERT_GE(rows, 1);
  EXPECT_LT(rows, 5);
  for (int r = 1; r <= rows; ++r)
    EXPECT_EQ(s.panel().tAutoRun(r, 1), QStringLiteral("%1.00").arg(r)) << r;
  EXPECT_TRUE(window->noticeWindow() == nullptr || !window->noticeWindow()->isVisible());
}

} // namespace
