#include "data/support/programfolder.h"
#include "support/connectedwindow.h"
#include "support/printers.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QStatusBar>

using namespace ondrel;
using ondrel::testing::Report;

namespace {

// A connected window (slot 0 on memory port 2) whose port holds only what the test made it send.
class SingleTest : public ondrel::testing::ConnectedWindow {
protected:
  void SetUp() override { open(12); }
  void open(int code) {
    ConnectedWindow::open(code);
    writes().clear();
  }
  QList<QByteArray>& writes() { return ports->line(2)->writes; }
  QString recording(int c = 0) const {
    return home.file(QStringLiteral("ondrel-KL-F2-COM2-1-%1.bak").arg(c + 1));
  }
};

TEST_F(SingleTest, IdentifiedIdleDeviceCanBeStartedAndAgainAfterReconnecting) {
  for (int round = 0; round < 2; ++round) {
    EXPECT_TRUE(panel().RunEnable()) << round;
    EXPECT_TRUE(panel().ContEnable());
    EXPECT_FALSE(panel().StopEnable());
    emit panel().ConnClick(); // disconnect
    EXPECT_FALSE(panel().RunEnable());
    emit panel().ConnClick();
    feed(idle(12, 4100));
  }
}

TEST_F(SingleTest, StartSendsTheBoxesAndRecordsTheTest) {
  typeParams(QStringLiteral("1.25"), QStringLiteral("3.00"), QStringLiteral("10"));
  emit panel().RunClick(0);
  ASSERT_EQ(writes().size(), 1);
  EXPECT_EQ(writes()[0].mid(1, 7), QByteArray("\x01\x00\x7d\x01\x3c\x00\x0a", 7));
  EXPECT_FALSE(panel().RunEnable());
  EXPECT_TRUE(panel().StopEnable());
  EXPECT_TRUE(panel().SetEnable()); // mode 0
  EXPECT_FALSE(panel().ModeEnable());
  EXPECT_FALSE(window->action(QStringLiteral("menuSaveData"))->isEnabled());
  EXPECT_EQ(slot().gridText(1, colBeginVolt), QStringLiteral("4.100V"));
  EXPECT_EQ(slot().gridText(1, colMode), QStringLiteral("D-CC  1.25A  3.00V"));
  const ChannelData& d = slot().ch(0);
  EXPECT_EQ(d.RecPath + QStringLiteral(".bak"), recording());
  const QByteArray text = home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"));
  EXPECT_TRUE(text.startsWith("-----------Ondrel Tester Software------------\r\nDevice:KL-F2\r\n"
                              "Mode:D-CC  1.25A  3.00V\r\nBegin Volt:4.100V\r\n"));
  EXPECT_TRUE(text.endsWith("Time(S)\tCur(A)\tVol(V)\r\n"));

  // The device confirms, samples are recorded; Stop sends the command and shows idle buttons.
  feed(running(12, 4000, 125));
  DeviceSlotProbe::channel(slot(), 0).TestSec = 1;
  feed(running(12, 3990, 125));
  EXPECT_TRUE(
      home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak")).endsWith("1\t01.25\t3.990\r\n"));
  writes().clear();
  emit panel().StopClick(0);
  ASSERT_EQ(writes().size(), 1);
  EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 2);
  EXPECT_TRUE(panel().RunEnable());
  EXPECT_TRUE(window->action(QStringLiteral("menuSaveData"))->isEnabled());

  // The device's end closes the recording with an end line.
  Report end = running(12, 3000, 0);
  end.state = 0;
  feed(end);
  const QList<QByteArray> lines =
      home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak")).split('\n');
  EXPECT_TRUE(lines.value(lines.size() - 2).startsWith("End:")) << lines.join('|').toStdString();
}

TEST_F(SingleTest, CommandsThatCannotBeBuiltLeaveTheChannelIdle) {
  const struct {
    const char* sval;
    const char* message;
  } cases[] = {{"abc", "Invalid value!"}, {"614.40", "Setting value out of range!"}};
  for (const auto& c : cases) {
    messages.clear();
    typeParams(QString::fromLatin1(c.sval), QStringLiteral("3.00"), QStringLiteral("0"));
    emit panel().RunClick(0);
    EXPECT_EQ(messages, QStringList{QString::fromLatin1(c.message)}) << c.sval;
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_TRUE(panel().RunEnable());
    EXPECT_TRUE(slot().gridText(1, colBeginVolt).isEmpty());
    EXPECT_TRUE(slot().ch(0).RecPath.isEmpty());
    EXPECT_FALSE(QFile::exists(recording()));
  }
  // Adjust of a running test likewise: no command, no parameter echo awaited.
  feed(running(12, 4000, 100));
  panel().setTSval(0, QStringLiteral("614.40"));
  messages.clear();
  emit panel().SetClick(0);
  EXPECT_EQ(messages.size(), 1);
  EXPECT_TRUE(writes().isEmpty());
  EXPECT_EQ(slot().ch(0).ParamEcho, 0);
}

TEST_F(SingleTest, AdjustTakesTheDevicesEchoOfTheNewParameters) {
  feed(running(12, 4000, 100));
  typeParams(QStringLiteral("2.00"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().SetClick(0);
  ASSERT_EQ(writes().size(), 1);
  EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 7);
  EXPECT_EQ(slot().ch(0).ParamEcho, 1);
  Report echo = running(12, 4000, 200);
  echo.set = 200;
  feed(echo);
  EXPECT_EQ(slot().ch(0).SetRaw, 200);
  feed(echo);
  EXPECT_EQ(slot().ch(0).ParamEcho, 0);
}

TEST_F(SingleTest, MonitorOnlyWhileIdleAndAfterTwoInfoReports) {
  emit panel().MonitorClick(0);
  EXPECT_FALSE(panel().TmrCurveEnable(0)); // no info report yet
  Report info = idle(12, 4100);
  info.info = 1, info.set = 305, info.limit = 9900, info.time = 1000;
  feed(info);
  feed(info);
  emit panel().MonitorClick(0);
  EXPECT_TRUE(panel().TmrCurveEnable(0));
  EXPECT_TRUE(slot().secondTimerRunning(0));
  EXPECT_EQ(slot().infoRow(infoMonitor1), QStringLiteral("Device1: Monitor ON "));
  emit panel().MonitorClick(0);
  EXPECT_FALSE(panel().TmrCurveEnable(0));
  EXPECT_FALSE(slot().secondTimerRunning(0));
  EXPECT_TRUE(slot().infoRow(infoMonitor1).isEmpty());
  // While running, Monitor does nothing.
  feed(running(12, 4000, 100));
  emit panel().MonitorClick(0);
  EXPECT_TRUE(slot().infoRow(infoMonitor1).isEmpty());
}

TEST_F(SingleTest, StartDuringAStepProgramKeepsTheCurvesAndTheCurveClock) {
  feed(running(12, 4000, 100));
  Report end = running(12, 3900, 0);
  end.state = 0;
  feed(end);
  const qint32 points = slot().graph().DpCnt(0);
  ASSERT_GT(points, 0);
  DeviceSlotProbe::setStepRunning(slot(), true);
  DeviceSlotProbe::channel(slot(), 0).CurveSec = 42;
  DeviceSlotProbe::channel(slot(), 0).TestSec = 42;
  DeviceSlotProbe::channel(slot(), 0).Cap = 1.0f;
  emit panel().RunClick(0);
  EXPECT_EQ(slot().graph().DpCnt(0), points);
  EXPECT_EQ(slot().ch(0).CurveSec, 42);
  EXPECT_EQ(slot().ch(0).TestSec, 0);
  EXPECT_EQ(slot().ch(0).Cap, 0.0f);
  EXPECT_EQ(slot().ch(0).StartPoint, slot().graph().DpCnt(1));
}

TEST_F(SingleTest, SecondChannelStartLeavesTheSharedAxesWhileTheFirstDraws) {
  open(17);
  emit panel().RunClick(0);
  feed(running(17, 3700, 100, 0));
  ASSERT_GT(slot().graph().DpCnt(curveIndex(0, Curve::Current)), 0);
  const AxisExtremes before = DeviceSlotProbe::axes(slot());
  panel().setTSlmt(1, QStringLiteral("1.00"));
  emit panel().RunClick(1);
  EXPECT_EQ(DeviceSlotProbe::axes(slot()).max, before.max);
  EXPECT_EQ(DeviceSlotProbe::axes(slot()).min, before.min);
}

TEST_F(SingleTest, StopRunningOnDisconnectStopsThroughTheStopButton) {
  feed(running(12, 4000, 100));
  emit panel().ConnClick();
  EXPECT_EQ(messages, QStringList{QStringLiteral("Stop running?")});
  ASSERT_GE(writes().size(), 2);
  EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 2); // stop, then disconnect
  EXPECT_EQ(static_cast<quint8>(writes()[1][1]), 6);
}

TEST_F(SingleTest, AnUnwritableRecordingIsSaidOnceAndTheTestRunsOn) {
  // A folder where the recording file would be: it can be neither replaced nor appended to.
  QDir().mkpath(recording());
  emit panel().RunClick(0);
  EXPECT_EQ(writes().size(), 1); // the test starts regardless
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_TRUE(window->statusBar()->currentMessage().contains(QStringLiteral("not being recorded")));
  window->statusBar()->clearMessage();
  for (int i = 0; i < 3; ++i)
    feed(running(12, 4000 - i, 100));
  EXPECT_TRUE(window->statusBar()->currentMessage().isEmpty()); // said once per test
  EXPECT_EQ(home.mainLog().count(QStringLiteral("ErrRecord")), 1) << home.mainLog().toStdString();
  EXPECT_FALSE(home.mainLog().contains(QStringLiteral("ErrData")));
  EXPECT_EQ(slot().gridText(1, colCapacity), QStringLiteral("0mAh")); // the live update goes on
}

// A recording as an earlier run of the program left it.
QByteArray recordingText(const QByteArray& samples, const QByteArray& device = "KL-F2") {
  return "-----------Ondrel Tester Software------------\r\nDevice:" + device +
         "\r\nMode:D-CC  1.50A  3.00V\r\nBegin Volt:4.150V\r\n"
         "-------------www.ondrel.com--------------\r\nTime(S)\tCur(A)\tVol(V)\r\n" +
         samples;
}

TEST_F(SingleTest, ContinueReplaysTheRecordingAndGoesOnInTheSameFile) {
  home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"), recordingText("120\t1.50\t3.700\r\n"));
  typeParams(QStringLiteral("1.50"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().ContClick(0);
  const ChannelData& d = slot().ch(0);
  EXPECT_FLOAT_EQ(d.CapOffset, 0.050f); // 180 000 mAs are 50 mAh
  EXPECT_TRUE(d.CapOffsetPending);
  EXPECT_EQ(d.TestSec, 120);
  EXPECT_EQ(d.CurveSec, 120);
  EXPECT_EQ(slot().gridText(1, colBeginVolt), QStringLiteral("4.150V"));
  EXPECT_EQ(slot().gridText(1, colMode), QStringLiteral("D-CC  1.50A  3.00V"));
  EXPECT_EQ(slot().gridText(1, colAvgVolt), QStringLiteral("3.70V"));
  EXPECT_EQ(slot().graph().DpCnt(curveIndex(0, Curve::Capacity)), 1);
  EXPECT_FLOAT_EQ(slot().graph().DpY(curveIndex(0, Curve::Capacity), 0), 0.05f);
  ASSERT_EQ(writes().size(), 1);
  EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 8); // continue
  EXPECT_TRUE(panel().StopEnable());
  // New samples follow the old ones.
  feed(running(12, 3690, 150));
  DeviceSlotProbe::channel(slot(), 0).TestSec = 121;
  feed(running(12, 3680, 150));
  EXPECT_TRUE(home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"))
                  .endsWith("120\t1.50\t3.700\r\n120\t01.50\t3.690\r\n121\t01.50\t3.680\r\n"));
}

// A recording cut short by a crash in mid-line: the first sample of the continued test starts a
// line of its own and marks the cut one; the samples after it, written by this slot, follow as
// whole lines.
TEST_F(SingleTest, ContinuingACutRecordingStartsItsFirstSampleOnALineOfItsOwn) {
  home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"),
             recordingText("120\t1.50\t3.700\r\n121\t1.50\t3.6"));
  typeParams(QStringLiteral("1.50"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().ContClick(0);
  feed(running(12, 3690, 150));
  DeviceSlotProbe::channel(slot(), 0).TestSec = 121;
  feed(running(12, 3680, 150));
  EXPECT_TRUE(home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"))
                  .endsWith("120\t1.50\t3.700\r\n121\t1.50\t3.6 (cut off)\r\n"
                            "120\t01.50\t3.690\r\n121\t01.50\t3.680\r\n"));
}

TEST_F(SingleTest, ContinueWithoutARecordingOrWithAnEmptyOne) {
  emit panel().ContClick(0);
  EXPECT_TRUE(writes().isEmpty());
  EXPECT_TRUE(panel().RunEnable());
  // Header only, and lines that are no samples: nothing to average, no 0/0.
  home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"), recordingText("12x\t1\t1\r\n\x01\x02"));
  emit panel().ContClick(0);
  EXPECT_EQ(slot().gridText(1, colAvgVolt), QString());
  EXPECT_EQ(slot().ch(0).TestSec, 0);
  EXPECT_EQ(writes().size(), 1);
}

TEST_F(SingleTest, ContinuingTheSecondChannelKeepsTheFirstChannelsCurves) {
  open(17);
  emit panel().RunClick(0);
  feed(running(17, 3700, 100, 0));
  feed(running(17, 3690, 100, 0));
  const qint32 first = slot().graph().DpCnt(curveIndex(0, Curve::Voltage));
  ASSERT_GT(first, 0);
  home.write(QStringLiteral("ondrel-KL-03-COM2-1-2.bak"),
             recordingText("10\t0.100\t3.600\r\n20\t0.100\t3.590\r\n"));
  emit panel().ContClick(1);
  EXPECT_EQ(slot().graph().DpCnt(curveIndex(0, Curve::Voltage)), first);
  EXPECT_EQ(slot().graph().DpCnt(curveIndex(1, Curve::Voltage)), 2);
  EXPECT_EQ(slot().ch(1).TestSec, 20);
}

TEST_F(SingleTest, AdoptionContinuesAnInterruptedRecordingButNotAFinishedOne) {
  const struct {
    QByteArray tail;
    bool continued;
  } cases[] = {{"60\t1.00\t3.900\r\n", true},
               {"60\t1.00\t3.900\r\nEnd:2026-12-10 10:00:00\r\n", false}};
  for (const auto& c : cases) {
    open(12);
    home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"), recordingText(c.tail));
    feed(running(12, 3850, 100)); // the device runs a test this window did not begin
    EXPECT_TRUE(slot().ch(0).ChnRunning);
    const QByteArray text = home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"));
    if (c.continued) {
      EXPECT_EQ(slot().ch(0).TestSec, 60);
      ASSERT_EQ(writes().size(), 1);
      EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 8);
      EXPECT_TRUE(text.contains("60\t1.00\t3.900\r\n"));
    } else {
      EXPECT_EQ(slot().ch(0).TestSec, 0);
      EXPECT_TRUE(writes().isEmpty());
      EXPECT_FALSE(text.contains("End:")); // a new recording
      EXPECT_EQ(slot().gridText(1, colBeginVolt), QStringLiteral("3.850V"));
    }
    EXPECT_TRUE(panel().StopEnable());
  }
}

TEST_F(SingleTest, AChargerNamedByItsInfoReportIsAdoptedAndRecordedUnderItsName) {
  Report info = running(5, 4000, 100);
  info.info = 1, info.set = 302, info.limit = 3000, info.time = 5000;
  // Adoption waits for the name: the recording to continue carries it.
  open(5);
  ASSERT_EQ(slot().gridText(1, colDevice), QStringLiteral("No Device"));
  home.write(QStringLiteral("ondrel-KC-11-COM2-1-1.bak"),
             recordingText("30\t1.00\t3.900\r\n", "KC-11"));
  feed(running(5, 4000, 100));
  EXPECT_TRUE(writes().isEmpty());
  feed(info);
  EXPECT_EQ(slot().gridText(1, colDevice), QStringLiteral("KC-11"));
  EXPECT_EQ(slot().ch(0).TestSec, 30);
  ASSERT_EQ(writes().size(), 1);
  EXPECT_EQ(static_cast<quint8>(writes()[0][1]), 8);

  // A test started before the name is known: its recording takes the name when it comes.
  open(5);
  typeParams(QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().RunClick(0);
  const QString unnamed = QStringLiteral("ondrel-No Device-COM2-1-1.bak");
  ASSERT_TRUE(QFile::exists(home.file(unnamed)));
  feed(running(5, 4000, 100));
  feed(info);
  EXPECT_FALSE(QFile::exists(home.file(unnamed)));
  EXPECT_TRUE(slot().ch(0).RecPath.endsWith(QStringLiteral("ondrel-KC-11-COM2-1-1")));
  const QByteArray text = home.read(QStringLiteral("ondrel-KC-11-COM2-1-1.bak"));
  EXPECT_TRUE(text.contains("\r\nDevice:KC-11\r\nMode:")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("\t4.000\r\n")); // and it goes on being recorded
}

TEST_F(SingleTest, ATestFoundRunningIsAdoptedFromAReportWithItsParametersNotFromAnInfoReport) {
  // A new window's first report is often an info report: firmware and ranges where a running
  // report has the test's set value, limit and time.
  for (const bool interrupted : {true, false}) {
    open(12);
    QFile::remove(recording());
    if (interrupted)
      home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"), recordingText("60\t1.00\t3.900\r\n"));
    Report info = running(12, 3850, 100);
    info.info = 1, info.set = 305, info.limit = 9900, info.time = 1000;
    feed(info);
    EXPECT_FALSE(slot().ch(0).ChnRunning) << interrupted;
    EXPECT_TRUE(writes().isEmpty());
    EXPECT_EQ(panel().tVol(0), QStringLiteral("3.850"));

    feed(running(12, 3840, 100));
    EXPECT_TRUE(slot().ch(0).ChnRunning);
    EXPECT_EQ(panel().tSval(0), QStringLiteral("1.00"));
    EXPECT_EQ(panel().tSlmt(0), QStringLiteral("3.00"));
    EXPECT_EQ(slot().gridText(1, colMode), QStringLiteral("D-CC  1.00A  3.00V"));
    if (interrupted) {
      ASSERT_EQ(writes().size(), 1);
      EXPECT_EQ(writes()[0].mid(1, 7), QByteArray("\x08\x00\x64\x01\x3c\x00\x00", 7));
    } else {
      EXPECT_TRUE(writes().isEmpty());
      EXPECT_TRUE(home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"))
                      .contains("Mode:D-CC  1.00A  3.00V\r\n"));
    }
  }
}

} // namespace
