#include "e2e/endtoend.h"

#include "data/recording.h"
#include "data/support/ini.h"
#include "data/support/programfolder.h"
#include "link/portnames.h"
#include "support/deviceslotprobe.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QAction>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

TEST_F(EndToEnd, ConnectIdentifiesEveryKindOfDevice) {
  device("2:model=12");
  sim::SimDevice& twoChannel = device("3:model=17");
  device("4:model=5,fw=302");
  device("5:model=26,fw=320");
  start(4);
  EXPECT_EQ(window->slot(0).panel().tPort(), QStringLiteral("COM2")); // the settings default
  EXPECT_EQ(window->slot(0).panel().PortCnt(), 4);

  DeviceSlot& load = connect(0, QStringLiteral("COM2"));
  DeviceSlot& dual = connect(1, QStringLiteral("COM3"));
  DeviceSlot& charger = connect(2, QStringLiteral("COM4"));
  DeviceSlot& meter = connect(3, QStringLiteral("COM5"));
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'\n').toStdString();
  for (int i = 0; i < 4; ++i) {
    EXPECT_TRUE(window->slot(i).panel().Conn());
    EXPECT_TRUE(window->slot(i).connecting());
  }
  EXPECT_FALSE(window->action(QStringLiteral("menuUpdate"))->isEnabled());

  // The two-channel load is laid out by its channel-0 report but connected only by channel 1's.
  bool laidOutWhileConnecting = false;
  afterEachFrame = [&] {
    if (dual.panel().Dev2S() && dual.connecting())
      laidOutWhileConnecting = true;
  };
  ASSERT_TRUE(runUntil([&] { return !dual.connecting(); }, 3000));
  afterEachFrame = nullptr;
  EXPECT_TRUE(laidOutWhileConnecting);
  run(1500);

  EXPECT_FALSE(load.connecting());
  EXPECT_EQ(load.gridText(1, 0), QStringLiteral("KL-F2"));
  EXPECT_EQ(load.panel().ModeCnt(), 5);
  EXPECT_EQ(load.panel().tVol(0).toDouble() > 3.0, true) << load.panel().tVol(0).toStdString();

  EXPECT_EQ(dual.gridText(1, 0), QStringLiteral("KL-03"));
  EXPECT_TRUE(dual.panel().Dev2S());
  EXPECT_GT(dual.panel().tVol(1).toDouble(), 3.0);

  EXPECT_EQ(charger.gridText(1, 0), QStringLiteral("KC-11")); // named by its info report
  ASSERT_GT(charger.panel().ModeCnt(), 8);
  EXPECT_EQ(charger.panel().ModeTxt(8), QStringLiteral("Meter")); // and re-listed

  EXPECT_FALSE(meter.connecting());
  EXPECT_EQ(meter.gridText(1, 0), QStringLiteral("KL-10"));
  EXPECT_EQ(meter.params().FwVersion, 320);
  // "Quick Charger Test" follows the selected tab: offered for the meter only.
  window->selectSlot(0);
  EXPECT_FALSE(window->action(QStringLiteral("menuUsb"))->isVisible());
  window->selectSlot(3);
  EXPECT_TRUE(window->action(QStringLiteral("menuUsb"))->isVisible());
  window->selectSlot(0);

  for (const auto& d : devices)
    EXPECT_EQ(commands(*d).value(0), QStringLiteral("connect")) << d->portName().toStdString();
  EXPECT_EQ(IniRead(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
                    QStringLiteral("PORT2"), QString()),
            QStringLiteral("3"));
  Q_UNUSED(twoChannel);
}

TEST_F(EndToEnd, StartedTestIsAdoptedRecordedAndFinishedAtTheDevicesCutoff) {
  sim::SimDevice& dev = device("2:model=12");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));

  s.panel().setTSval(0, QStringLiteral("2.00"));
  s.panel().setTSlmt(0, QStringLiteral("3.70"));
  s.panel().setTStim(0, QStringLiteral("0"));
  emit s.panel().RunClick(0);
  const QString rec =
      recordingBasePath(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM2"), 0, 0);
  EXPECT_EQ(s.ch(0).RecPath, rec);
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 2000));
  const QJsonObject started = dev.heard().last();
  EXPECT_EQ(started.value("cmd").toString(), QStringLiteral("start"));
  EXPECT_EQ(started.value("set").toInt(), 200);
  EXPECT_EQ(started.value("limit").toInt(), 370);
  EXPECT_EQ(s.ch(0).SetRaw, 200);
  EXPECT_TRUE(s.panel().TmrCurveEnable(0));
  EXPECT_TRUE(s.secondTimerRunning(0));

  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 120000));
  EXPECT_FALSE(dev.logic()->channel(0).running);
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("cutoff voltage"));
  EXPECT_FALSE(s.panel().TmrShowEnable(0));
  EXPECT_TRUE(s.gridText(1, 3).endsWith(u'V')) << s.gridText(1, 3).toStdString();
  EXPECT_GT(s.graph().DpCnt(0), 10);
  EXPECT_GT(s.graph().DpCnt(1), 10);
  const QStringList lines = QString::fromLatin1(readFile(rec + ".bak")).split(u'\n');
  EXPECT_GT(lines.size(), 16) << "header and samples";
  const RecordingContent written = parseRecording(readFile(rec + ".bak"));
  EXPECT_EQ(written.device, QStringLiteral("KL-F2"));
  EXPECT_EQ(written.skippedLines, 0);
  EXPECT_TRUE(written.endedNormally);
}

TEST_F(EndToEnd, DisconnectSendsSixClosesThePortAndShowsNoDevice) {
  sim::SimDevice& dev = device("2:model=12");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  emit s.panel().ConnClick();
  EXPECT_TRUE(runUntil([&] { return commands(dev).last() == QStringLiteral("disconnect"); }, 2000));
  EXPECT_EQ(window->comm().PortHandle[0], 0);
  EXPECT_FALSE(s.panel().Conn());
  EXPECT_FALSE(DeviceSlotProbe::receiving(s));
  EXPECT_EQ(s.gridText(1, 0), QStringLiteral("No Device"));
  EXPECT_EQ(s.panel().ModeCnt(), 1);
  EXPECT_EQ(s.panel().tMode(), QStringLiteral("No Device"));
  EXPECT_EQ(s.panel().tSval(0), QStringLiteral("00.00"));
  EXPECT_TRUE(window->action(QStringLiteral("menuUpdate"))->isEnabled());
  EXPECT_FALSE(window->action(QStringLiteral("menuAdj"))->isEnabled());
  EXPECT_TRUE(messages.isEmpty());
  // The port is free again, and the settings still name it for the next start.
  Comm::Handle h = window->comm().OpenPort(2);
  EXPECT_NE(h, 0);
  window->comm().ClosePort(h);
  EXPECT_EQ(IniRead(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
                    QStringLiteral("PORT1"), QString()),
            QStringLiteral("2"));
}

TEST_F(EndToEnd, DisconnectDuringATest) {
  sim::SimDevice& dev = device("3:model=17");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM3"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  for (int c = 0; c < 2; ++c)
    ASSERT_TRUE(dev.logic()->keyStart(c, 0, 0.5, 3.0, 0));
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning && s.ch(1).ChnRunning; }, 2000));
  s.panel().setStopEnable(true); // the Start button's doing

  // Cancel: the device goes on testing; a new Connect adopts the test from its reports.
  answer = QMessageBox::Cancel;
  emit s.panel().ConnClick();
  EXPECT_EQ(messages, QStringList{QStringLiteral("Stop running?")});
  EXPECT_TRUE(runUntil([&] { return commands(dev).last() == QStringLiteral("disconnect"); }, 2000));
  EXPECT_TRUE(dev.logic()->channel(0).running);
  connect(0, QStringLiteral("COM3"));
  EXPECT_FALSE(s.ch(0).ChnRunning); // reset by Connect
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning && s.ch(1).ChnRunning; }, 2000));
  // Both recordings are continued; the device hears the continue commands.
  EXPECT_TRUE(runUntil([&] { return commands(dev).count(QStringLiteral("continue")) == 2; }, 2000));
  EXPECT_TRUE(s.panel().StopEnable());

  // OK: channel 0 is stopped, then channel 1, then the device is let go.
  answer = QMessageBox::Ok;
  dev.clearHeard();
  emit s.panel().ConnClick();
  EXPECT_TRUE(runUntil([&] { return commands(dev).size() >= 3; }, 2000));
  EXPECT_EQ(commands(dev), (QStringList{QStringLiteral("stop"), QStringLiteral("stop"),
                                        QStringLiteral("disconnect")}));
  EXPECT_EQ(dev.heard().at(0).value("channel").toInt(), 0);
  EXPECT_EQ(dev.heard().at(1).value("channel").toInt(), 1);
  EXPECT_FALSE(dev.logic()->channel(0).running);
  EXPECT_FALSE(dev.logic()->channel(1).running);
  EXPECT_FALSE(s.panel().StopEnable());
  EXPECT_FALSE(s.secondTimerRunning(0));
}

TEST_F(EndToEnd, ADeviceThatNeverAnswersStaysConnectingAndIsAskedOnceASecond) {
  sim::SimDevice& dev = device("2:model=12,silent=0");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  // Real time here: the connect timer is the program's own. A busy machine may fire it late, so
  // wait for the third command rather than for a fixed time.
  QElapsedTimer clock;
  clock.start();
  qint64 last = 0;
  while (commands(dev).size() < 3 && clock.elapsed() < 10000) {
    QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    const qint64 now = clock.elapsed();
    dev.advance(int(now - last));
    last = now;
    QThread::msleep(5);
  }
  EXPECT_TRUE(s.panel().Conn());
  EXPECT_TRUE(s.connecting());
  EXPECT_EQ(s.gridText(1, 0), QStringLiteral("No Device"));
  EXPECT_EQ(commands(dev), (QStringList{QStringLiteral("connect"), QStringLiteral("connect"),
                                        QStringLiteral("connect")}));
  // Once a second, never faster: the third command came no sooner than two seconds in.
  EXPECT_GE(clock.elapsed(), 1800);
}

TEST_F(EndToEnd, DamagedReportsAreTheOnlyLoss) {
  sim::SimDevice& dev = device("2:model=12,corrupt=0.02,split,noise=0.05,seed=7");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 3000));
  run(60000); // 300 reports
  run(400);   // let the line drain
  const qint64 sent = dev.reportsSent();
  EXPECT_GT(sent, 250);
  EXPECT_GT(dev.reportsCorrupted(), 0);
  // A bad checksum discards the rest of its read, so good reports that arrived in the same read
  // (at most 64 bytes: the rest of three frames) go with it; no other report is lost.
  EXPECT_LE(handled, sent - dev.reportsCorrupted());
  EXPECT_GE(handled, sent - 4 * dev.reportsCorrupted());
  EXPECT_EQ(s.params().ModelCode, 12);
  EXPECT_EQ(s.gridText(1, 0), QStringLiteral("KL-F2"));
}

TEST_F(EndToEnd, ADeviceThatVanishesMidTestLeavesTheRecordingIntact) {
  sim::SimDevice& dev = device("2:model=12,vanish=4");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  s.panel().setTSval(0, QStringLiteral("1.00"));
  s.panel().setTSlmt(0, QStringLiteral("2.50"));
  emit s.panel().RunClick(0);
  const QString rec =
      recordingBasePath(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM2"), 0, 0);
  ASSERT_TRUE(runUntil([&] { return dev.vanished(); }, 6000));
  const QByteArray before = readFile(rec + ".bak");
  run(2000);
  EXPECT_TRUE(s.ch(0).ChnRunning); // no idle report ever came
  EXPECT_EQ(readFile(rec + ".bak"), before);
  ASSERT_TRUE(before.endsWith('\n'));
  EXPECT_TRUE(before.startsWith(kRecordingTitleLine));
  const QList<QByteArray> lines = before.trimmed().split('\n');
  EXPECT_GT(lines.size(), 10);
  // The last line is a whole sample: as many fields as the first sample line.
  EXPECT_GE(lines.last().count('\t'), 2);
  EXPECT_EQ(lines.last().count('\t'), lines.at(lines.size() - 2).count('\t'));
  EXPECT_TRUE(logText().contains(QStringLiteral("ErrComm")));

  emit s.panel().ConnClick(); // disconnect still tidies up
  EXPECT_FALSE(s.panel().Conn());
  EXPECT_EQ(window->comm().PortHandle[0], 0);
}

} // namespace
