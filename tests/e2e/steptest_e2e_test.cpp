#include "e2e/endtoend.h"

#include "data/textfile.h"
#include "sim/devicelogic.h"
#include "test/stepengine.h"
#include "test/ui/devctrl.h"

#include <QDir>
#include <QJsonObject>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

void row(DevCtrl& p, int r, const char* mode, const char* set1, const char* set2,
         const char* cutoff) {
  const char* cells[] = {mode, set1, set2, cutoff};
  for (int c = 0; c < 4; ++c)
    p.setTStepSet(r, c + 1, QLatin1String(cells[c]));
}

TEST_F(EndToEnd, ADischargeWaitChargeProgramCycledTwiceRunsToItsEndOnACharger) {
  sim::SimDevice& dev = device("2:model=9,cap=0.05");
  start();
  window->prefs().SAVE = true;
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  DevCtrl& p = s.panel();
  ASSERT_EQ(p.ModeTxt(2), QStringLiteral("C-CV"));

  row(p, 1, "D-CC", "1.00", "3.00", "0");
  row(p, 2, "Wait", "0.00", "0.00", "1");
  row(p, 3, "C-CV", "1.00", "4.20", "0.10");
  row(p, 4, "Cycle", "0.00", "0.00", "2");
  dev.clearHeard();
  emit p.StartStepClick();
  ASSERT_TRUE(p.StepTmrEnable());

  // The wait is timed by the program: the device is idle for a minute between its tests.
  qint64 waitedFrom = -1;
  int waits = 0;
  ASSERT_TRUE(runUntil(
      [&] {
        const bool waiting =
            s.stepTest().engine().StepOn() && s.stepTest().engine().StepModeNo() == p.ModeCnt();
        if (waiting && waitedFrom < 0) {
          waitedFrom = heardOf(dev, "start").size();
          ++waits;
        } else if (!waiting && waitedFrom >= 0) {
          EXPECT_EQ(heardOf(dev, "start").size(), waitedFrom) << "no start during the wait";
          waitedFrom = -1;
        }
        return !s.stepTest().engine().StepOn();
      },
      30 * 60 * 1000));
  EXPECT_EQ(waits, 2);

  // Each start in order: discharge, charge, discharge, charge.
  const QList<QJsonObject> starts = heardOf(dev, "start");
  ASSERT_EQ(starts.size(), 4);
  for (int k = 0; k < 4; ++k) {
    const bool charge = k % 2 == 1;
    EXPECT_EQ(starts[k].value("mode").toInt(), charge ? 2 : 0) << k;
    EXPECT_EQ(starts[k].value("set").toInt(), 100) << k;
    EXPECT_EQ(starts[k].value("limit").toInt(), charge ? 420 : 300) << k;
    EXPECT_EQ(starts[k].value("time").toInt(), charge ? 10 : 0) << k;
  }
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("cutoff current"));
  EXPECT_TRUE(heardOf(dev, "stop").isEmpty()) << "every step was ended by the device";

  // The result list: one row per step and pass.
  const QStringList names = {"1-1", "2-1", "3-1", "1-2", "2-2", "3-2"};
  for (int r = 1; r <= names.size(); ++r)
    EXPECT_EQ(p.tStepRun(r, 0), names[r - 1]) << r;
  EXPECT_EQ(p.tStepRun(2, 2), QStringLiteral("0"));
  EXPECT_GT(p.tStepRun(1, 2).toDouble(), 0.01);
  EXPECT_GT(p.tStepRun(3, 2).toDouble(), 0.03);
  EXPECT_TRUE(p.tStepRun(7, 0).isEmpty());
  EXPECT_EQ(p.StepCmd(), QStringLiteral("Start"));
  EXPECT_TRUE(p.RunEnable());
  EXPECT_TRUE(p.ModeEnable());

  // The automatic data file of the whole program lists its steps.
  const QStringList files = QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files);
  QStringList stepLines;
  for (const QString& f : files) {
    const QStringList lines = textFileLines(home.read(QStringLiteral("Data/") + f));
    if (lines.value(1).startsWith(u'*'))
      stepLines = lines.filter(QRegularExpression(QStringLiteral("^\\*")));
  }
  ASSERT_EQ(stepLines.size(), 7) << files.join(u' ').toStdString();
  EXPECT_EQ(stepLines[0], QStringLiteral("*Step,Mode,Capacity,Energy"));
  EXPECT_TRUE(stepLines[1].startsWith(QStringLiteral("*1-1,D-CC,")));
  EXPECT_EQ(stepLines[2], QStringLiteral("*2-1,Wait,0,0"));
  EXPECT_TRUE(stepLines[6].startsWith(QStringLiteral("*3-2,C-CV,")));
}

} // namespace
