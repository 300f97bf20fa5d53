#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "data/ui/frmmsg.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/printers.h"
#include "support/reportbuilder.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QDate>
#include <QDir>
#include <QRandomGenerator>
#include <QStatusBar>
#include <QThread>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::Report;
using ondrel::testing::TempProgramFolder;

namespace {

// A main window on memory ports, with slot 0 connecting as after Connect.
class Slot : public ::testing::Test {
protected:
  TempProgramFolder home;
  frmMain window{std::make_unique<MemoryPorts>()};
  DeviceSlot& slot = window.slot(0);

  void SetUp() override { DeviceSlotProbe::startConnecting(slot); }
  void feed(const Report& r) { slot.receive(r.wire()); }
  // The device reports a test that runs in mode 0 with the given voltage and current.
  Report running(int model, int volt, int cur, int channel = 0) {
    Report r;
    r.model = model, r.state = 1, r.volt = volt, r.cur = cur, r.channel = channel;
    r.set = 100, r.limit = 300, r.time = 0;
    return r;
  }
  QString logText() const { return home.mainLog(); }
};

TEST_F(Slot, IdentifiesASingleChannelLoad) {
  Report r;
  r.model = 12, r.volt = 4100, r.cur = 150;
  feed(r);
  EXPECT_FALSE(slot.connecting());
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("KL-F2"));
  EXPECT_EQ(slot.params().ModelCode, 12);
  EXPECT_FLOAT_EQ(slot.params().MaxVoltage, 99.0f);
  EXPECT_FALSE(slot.panel().Dev2S());
  EXPECT_EQ(slot.panel().ModeCnt(), 5);
  EXPECT_EQ(slot.panel().ModeTxt(4), QStringLiteral("D-CV"));
  EXPECT_TRUE(window.action(QStringLiteral("menuRes"))->isVisible());
  EXPECT_TRUE(window.action(QStringLiteral("menuTemp"))->isVisible());
  EXPECT_EQ(slot.panel().tVol(0), QStringLiteral("4.100"));
  EXPECT_EQ(slot.panel().tCur(0), QStringLiteral("01.50"));
  EXPECT_EQ(slot.panel().tPwr(0), QStringLiteral("06.15"));
  EXPECT_TRUE(slot.panel().LedRecv());
  EXPECT_TRUE(window.action(QStringLiteral("menuAdj"))->isEnabled());
}

TEST_F(Slot, TwoChannelLoadConnectsOnlyOnAChannelOneReport) {
  Report r;
  r.model = 17, r.volt = 3700;
  feed(r);
  EXPECT_TRUE(slot.connecting());
  EXPECT_TRUE(slot.panel().Dev2S());
  EXPECT_EQ(slot.graph().CurveCount(), 10);
  EXPECT_EQ(slot.graph().LegendText(5), QStringLiteral("Voltage2"));
  // Both rows name the device: the second channel's files are named and headed from row 2.
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("KL-03"));
  EXPECT_EQ(slot.gridText(2, 0), QStringLiteral("KL-03"));
  r.channel = 1, r.volt = 3600;
  feed(r);
  EXPECT_FALSE(slot.connecting());
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("KL-03"));
  EXPECT_EQ(slot.gridText(2, 0), QStringLiteral("KL-03"));
  EXPECT_EQ(slot.panel().tVol(1), QStringLiteral("3.600"));
  EXPECT_EQ(slot.infoRow(1), QStringLiteral("Channel1: STOP "));
  EXPECT_EQ(slot.infoRow(2), QStringLiteral("Channel2: STOP "));
  feed(running(17, 3700, 100, 0));
  feed(running(17, 3600, 0, 1));
  DeviceSlotProbe::channel(slot, 1).ChnRunning = false; // channel 2 stays idle
  r.channel = 1;
  feed(r);
  feed(running(17, 3700, 100, 0));
  EXPECT_EQ(slot.infoRow(1), QStringLiteral("Channel1: START "));
  EXPECT_EQ(slot.infoRow(2), QStringLiteral("Channel2: STOP "));
}

TEST_F(Slot, TwoChannelLoadWhoseChannelOneReportsFirstWaitsForChannelZero) {
  Report r;
  r.model = 17, r.channel = 1, r.volt = 3600;
  feed(r);
  EXPECT_TRUE(slot.connecting());
  r.channel = 0;
  feed(r);
  EXPECT_TRUE(slot.connecting());
  r.channel = 1;
  feed(r);
  EXPECT_FALSE(slot.connecting());
  EXPECT_EQ(slot.panel().ModeCnt(), 2);
  EXPECT_EQ(slot.panel().ModeTxt(1), QStringLiteral("D-CP"));
  EXPECT_EQ(slot.graph().CurveCount(), 10);
  feed(running(17, 3600, 100, 1));
  EXPECT_EQ(slot.graph().DpCnt(5), 2);
  EXPECT_FALSE(logText().contains(QStringLiteral("ErrData")));
}

TEST_F(Slot, TwoChannelLayoutKeepsTheFirstChannelsColours) {
  const quint32 green = 0x00C000, orange = 0x0080FF;
  slot.graph().setCurveLineColor(0, green);
  slot.graph().setCurveLineColor(1, orange);
  slot.graph().setCurveLineColor(2, orange);
  Report r;
  r.model = 17, r.volt = 3700;
  feed(r);
  ASSERT_EQ(slot.graph().CurveCount(), 10);
  EXPECT_EQ(slot.graph().CurveLineColor(0), green);
  EXPECT_EQ(slot.graph().CurveLineColor(1), orange);
  EXPECT_EQ(slot.graph().CurveLineColor(2), orange);
}

TEST_F(Slot, MeterIdentifiedByItsInfoReport) {
  Report info;
  info.model = 26, info.info = 1, info.set = 320, info.limit = 2100, info.time = 4000;
  feed(info);
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("KL-10"));
  EXPECT_EQ(slot.params().FwVersion, 320);
  EXPECT_TRUE(window.action(QStringLiteral("menuUsb"))->isVisible());
  // A running report: a load would take its capacity, the meter never does.
  Report r;
  r.model = 26, r.mode = 1, r.state = 1, r.volt = 5100, r.cur = 12345, r.cap = 600, r.temp = 2700;
  feed(r);
  EXPECT_FLOAT_EQ(slot.ch(0).Cur, 1.234f);
  EXPECT_FLOAT_EQ(slot.ch(0).MeterCur, 1.2345f);
  EXPECT_FLOAT_EQ(slot.ch(0).DPlus, 0.6f);
  EXPECT_FLOAT_EQ(slot.ch(0).DMinus, 2.7f);
  EXPECT_EQ(slot.ch(0).Temp, 0.0f);
  EXPECT_EQ(slot.ch(0).Cap, 0.0f); // the meter's capacity is never taken from reports
  EXPECT_EQ(window.versionText(), QStringLiteral("V3.20"));
}

TEST_F(Slot, ChargerNamedAndRelistedByItsInfoReport) {
  Report r;
  r.model = 5, r.volt = 4000;
  feed(r);
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("No Device")); // no name until the info report
  EXPECT_EQ(slot.panel().ModeTxt(8), QStringLiteral("DC5V"));
  Report info = r;
  info.info = 1, info.set = 302, info.limit = 3000, info.time = 5000;
  feed(info);
  EXPECT_EQ(slot.gridText(1, 0), QStringLiteral("KC-11"));
  EXPECT_EQ(slot.panel().ModeTxt(8), QStringLiteral("Meter"));
  EXPECT_FLOAT_EQ(slot.params().MinCurrent, 0.01f);
}

TEST_F(Slot, AdoptsARunningTestAndDrawsItsFirstPoints) {
  // A test this program began (so adoption starts nothing anew) while the curve clock ran.
  DeviceSlotProbe::setGridText(slot, 1, colBeginVolt, QStringLiteral("4.20V"));
  DeviceSlotProbe::channel(slot, 0).CurveSec = 5;
  feed(running(12, 4100, 100));
  const ChannelData& d = slot.ch(0);
  EXPECT_TRUE(d.ChnRunning);
  EXPECT_TRUE(slot.panel().TmrCurveEnable(0));
  EXPECT_TRUE(slot.panel().TmrShowEnable(0));
  EXPECT_TRUE(slot.secondTimerRunning(0));
  // The first sample of a test with empty curves: a start point at X = 0 and the sample at
  // CurveSec; capacity and energy get both their points at CurveSec.
  const CurveGraph& g = slot.graph();
  EXPECT_EQ(g.DpCnt(0), 2);
  EXPECT_EQ(g.DpX(0, 0), 0.0f);
  EXPECT_FLOAT_EQ(g.DpY(0, 0), 4.2f); // the begin voltage of the grid
  EXPECT_EQ(g.DpX(0, 1), 5.0f);
  EXPECT_FLOAT_EQ(g.DpY(0, 1), 4.1f);
  for (int curve : {curveIndex(0, Curve::Capacity), curveIndex(0, Curve::Energy)}) {
    ASSERT_EQ(g.DpCnt(curve), 2);
    EXPECT_EQ(g.DpX(curve, 0), 5.0f);
    EXPECT_EQ(g.DpX(curve, 1), 5.0f);
  }
  EXPECT_EQ(slot.infoRow(1), QStringLiteral("Device1: START "));
  // The average counts the points drawn before this sample.
  EXPECT_EQ(slot.gridText(1, 6), QString());
  feed(running(12, 3900, 100));
  EXPECT_EQ(slot.gridText(1, 6), QStringLiteral("4.15V"));
  EXPECT_EQ(slot.graph().DpCnt(0), 3);
}

TEST_F(Slot, AdoptingContinuesOnlyATestThisProgramDidNotBegin) {
  const struct {
    QString beginVolt;
    int continues;
  } cases[] = {{QString(), 1}, {QStringLiteral("4.20V"), 0}};
  for (const auto& c : cases) {
    int continues = 0;
    const auto connection = QObject::connect(&slot, &DeviceSlot::continueRequested,
                                             [&](int channel) { continues += channel == 0; });
    DeviceSlotProbe::channel(slot, 0).ChnRunning = false;
    DeviceSlotProbe::setGridText(slot, 1, 2, c.beginVolt);
    feed(running(12, 4100, 100));
    feed(running(12, 4100, 100)); // already running: adopted once only
    QObject::disconnect(connection);
    EXPECT_TRUE(slot.ch(0).ChnRunning);
    EXPECT_EQ(continues, c.continues) << c.beginVolt.toStdString();
  }
}

TEST_F(Slot, ContinuedCapacityKeepsOrDropsTheOffset) {
  feed(running(12, 4100, 100));
  const struct {
    int capRaw;
    float shown;
  } cases[] = {{1050, 1.05f}, {20, 1.02f}};
  for (const auto& c : cases) {
    DeviceSlotProbe::channel(slot, 0).CapOffset = 1.0f;
    DeviceSlotProbe::channel(slot, 0).CapOffsetPending = true;
    Report r = running(12, 4100, 100);
    r.cap = c.capRaw;
    feed(r);
    EXPECT_FLOAT_EQ(slot.ch(0).Cap, c.shown) << c.capRaw;
  }
}

TEST_F(Slot, InfoReportWhileRunningRefreshesRangesNotParameters) {
  feed(running(12, 4100, 100));
  Report info = running(12, 4100, 100);
  info.info = 1, info.set = 305, info.limit = 5000, info.time = 800;
  feed(info);
  EXPECT_EQ(slot.params().FwVersion, 305);
  EXPECT_FLOAT_EQ(slot.params().MaxVoltage, 50.0f);
  EXPECT_FLOAT_EQ(slot.params().MaxCurrent, 8.0f);
  EXPECT_EQ(slot.ch(0).SetRaw, 100);
  EXPECT_EQ(slot.ch(0).LimitRaw, 300);
}

TEST_F(Slot, FinishesATestTheDeviceEnded) {
  window.prefs().MSG = true;
  feed(running(12, 4100, 100));
  DeviceSlotProbe::channel(slot, 0).StartPoint = 1;
  Report idle = running(12, 3000, 0);
  idle.state = 0;
  feed(idle);
  EXPECT_FALSE(slot.ch(0).ChnRunning);
  EXPECT_EQ(slot.gridText(1, 3), QStringLiteral("3.000V"));
  EXPECT_FALSE(slot.panel().TmrShowEnable(0));
  EXPECT_FALSE(slot.panel().TmrCurveEnable(0));
  EXPECT_FALSE(slot.secondTimerRunning(0));
  EXPECT_EQ(slot.ch(0).StartPoint, 0);
  EXPECT_TRUE(slot.graph().Size());
  ASSERT_TRUE(window.noticeWindow());
  EXPECT_EQ(window.noticeWindow()->message(), QStringLiteral("STOP"));
}

TEST_F(Slot, NoEndMessageWhileAnAutomaticTestOwnsTheSlot) {
  window.prefs().MSG = true;
  DeviceSlotProbe::setAutoRunning(slot, true);
  feed(running(12, 4100, 100));
  Report idle = running(12, 3000, 0);
  idle.state = 0;
  feed(idle);
  EXPECT_FALSE(slot.ch(0).ChnRunning);
  EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
  EXPECT_TRUE(slot.panel().TmrCurveEnable(0)); // the automatic test keeps its curve running
}

TEST_F(Slot, TwoChannelEndShowsNoMessage) {
  window.prefs().MSG = true;
  feed(running(17, 3700, 100, 1));
  Report idle = running(17, 3000, 0, 1);
  idle.state = 0;
  feed(idle);
  EXPECT_FALSE(slot.ch(1).ChnRunning);
  EXPECT_TRUE(window.statusBar()->currentMessage().isEmpty());
}

TEST_F(Slot, EndOfTestSaveOnlyWithSaveOnAndMakesAMissingDataFolderAgain) {
  const struct {
    bool save;
    bool dataFolder;
    int files;
  } cases[] = {{true, true, 1}, {false, true, 0}, {true, false, 1}};
  for (const auto& c : cases) {
    QDir data(home.file(QStringLiteral("Data")));
    data.removeRecursively();
    if (c.dataFolder)
      QDir().mkpath(data.path());
    window.prefs().SAVE = c.save;
    window.prefs().CSV = false;
    DeviceSlotProbe::startConnecting(slot);
    feed(running(12, 4100, 100));
    DeviceSlotProbe::channel(slot, 0).RecPath = home.file(QStringLiteral("rec"));
    Report idle = running(12, 3000, 0);
    idle.state = 0;
    feed(idle);
    const QStringList files = data.entryList({QStringLiteral("*.dat")}, QDir::Files);
    ASSERT_EQ(files.size(), c.files) << c.save << c.dataFolder;
    EXPECT_TRUE(slot.ch(0).RecPath.isEmpty());
    if (c.files) {
      EXPECT_TRUE(files[0].endsWith(QStringLiteral("-KL-F2-1-1.dat"))) << files[0].toStdString();
      const QByteArray text = home.read(QStringLiteral("Data/") + files[0]);
      EXPECT_TRUE(text.contains("Device:KL-F2\r\n"));
      EXPECT_TRUE(text.contains("Cutoff Volt:3.000V\r\n"));
      EXPECT_TRUE(text.contains("Time(S)\tCur(A)\tVol(V)\r\n0\t1.00\t4.100\r\n"));
    }
  }
}

TEST_F(Slot, RecordsEveryAcceptedSample) {
  feed(running(12, 4100, 100));
  DeviceSlotProbe::channel(slot, 0).RecPath = home.file(QStringLiteral("rec"));
  DeviceSlotProbe::channel(slot, 0).TestSec = 7;
  feed(running(12, 4000, 100));
  EXPECT_EQ(home.read(QStringLiteral("rec.bak")), QByteArray("7\t01.00\t4.000\r\n"));
}

TEST_F(Slot, RejectsSamplesBeyondTheModelsLimits) {
  Report r;
  r.model = 42, r.volt = 4000; // KL-F5: 14 V at most
  feed(r);
  EXPECT_EQ(slot.panel().tVol(0), QStringLiteral("04.00"));
  r.volt = 14001;
  feed(r);
  EXPECT_EQ(slot.panel().tVol(0), QStringLiteral("04.00"));
  EXPECT_TRUE(logText().contains(QStringLiteral(":[ErrData0 14.001-14 0-3]")));
}

TEST_F(Slot, CorruptionBetweenReportsLosesOnlyTheDamagedOnes) {
  feed(running(12, 4100, 100));
  const qint32 before = slot.graph().DpCnt(0);
  QRandomGenerator rng(7);
  int intact = 0;
  for (int i = 0; i < 400; ++i) {
    QByteArray frame = running(12, 3000 + i, 100).wire();
    const bool damage = rng.bounded(4) == 0;
    if (damage)
      frame[1 + rng.bounded(17)] = char(rng.bounded(240)); // may leave it intact by chance
    QByteArray noise;
    for (int n = rng.bounded(5); n > 0; --n)
      noise.append(char(rng.bounded(240)));
    const ReceiveOutcome out = slot.receive(noise + frame);
    intact += out.reportsHandled;
  }
  EXPECT_EQ(slot.graph().DpCnt(0) - before, intact);
  EXPECT_GT(intact, 250);
  // Every accepted point carries a voltage that was sent.
  for (qint32 i = before; i < slot.graph().DpCnt(0); ++i) {
    const float v = slot.graph().DpY(0, i);
    EXPECT_GE(v, 3.0f);
    EXPECT_LE(v, 3.4f);
  }
}

TEST_F(Slot, ReceiveLampFlashesWhileReportsKeepComing) {
  Report r;
  r.model = 12, r.volt = 4100;
  feed(r);
  EXPECT_TRUE(slot.panel().LedRecv());
  ASSERT_TRUE(DeviceSlotProbe::receiveLampTimerRunning(slot));
  // A report 100 ms later must not restart the 500 ms timer, or the lamp would never go out.
  QThread::msleep(100);
  feed(r);
  EXPECT_LT(DeviceSlotProbe::receiveLampTimerLeft(slot), 480);
}

TEST_F(Slot, AReportWithoutAModelLeavesTheSlotWithoutOne) {
  Report r;
  r.model = 12, r.volt = 4100;
  feed(r);
  ASSERT_EQ(slot.params().ModelCode, 12);
  DeviceSlotProbe::startConnecting(slot);
  Report none = r;
  none.model = 0;
  Report next = r;
  next.volt = 3900;
  const ReceiveOutcome out = slot.receive(none.wire() + next.wire());
  EXPECT_EQ(slot.params().ModelCode, 0);
  EXPECT_TRUE(out.abandoned); // the rest of the bytes read with it is dropped
  EXPECT_EQ(slot.panel().tVol(0), QStringLiteral("4.100"));
}

TEST_F(Slot, InfoReportsKeepCountingPastSixteenBits) {
  Report r;
  r.model = 12, r.volt = 4100;
  feed(r);
  DeviceSlotProbe::setInfoCount(slot, 32767);
  Report info = r;
  info.info = 1, info.set = 305, info.limit = 9900, info.time = 1000;
  feed(info);
  EXPECT_EQ(DeviceSlotProbe::infoCount(slot), 32768);
}

} // namespace
