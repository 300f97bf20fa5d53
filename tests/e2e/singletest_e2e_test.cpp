#include "e2e/endtoend.h"

#include "data/liveupdate.h"
#include "data/recording.h"
#include "data/slotlayout.h"
#include "sim/devicelogic.h"
#include "sim/simframe.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFileInfo>
#include <QPointF>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

// The recording of a channel of the first slot.
QString recordingFile(const QString& folder, const QString& device, const QString& port, int c) {
  return recordingBasePath(folder, device, port, 0, c) + QStringLiteral(".bak");
}

void typeBoxes(DevCtrl& p, int c, const char* set, const char* limit, const char* time) {
  p.setTSval(c, QString::fromLatin1(set));
  p.setTSlmt(c, QString::fromLatin1(limit));
  p.setTStim(c, QString::fromLatin1(time));
}

QList<QPointF> points(const CurveGraph& g, int curve) {
  QList<QPointF> out;
  for (qint32 n = 0; n < g.DpCnt(curve); ++n)
    out << QPointF(g.DpX(curve, n), g.DpY(curve, n));
  return out;
}

// The recording's samples as the voltage curve holds them: (test second, volts).
QList<QPointF> voltagePoints(const RecordingContent& r) {
  QList<QPointF> out;
  for (const RecordingSample& s : r.samples)
    out << QPointF(s.time, float(s.voltage));
  return out;
}

// Every line was read as sound (a time going backwards is not), and the times never fall.
void expectSoundAndInOrder(const RecordingContent& r) {
  EXPECT_EQ(r.skippedLines, 0);
  for (size_t k = 1; k < r.samples.size(); ++k)
    ASSERT_GE(r.samples[k].time, r.samples[k - 1].time) << "sample " << k;
}

void expectRunningButtons(const DevCtrl& p) {
  EXPECT_FALSE(p.RunEnable());
  EXPECT_FALSE(p.ContEnable());
  EXPECT_TRUE(p.StopEnable());
}

void expectIdleButtons(const DevCtrl& p) {
  EXPECT_TRUE(p.RunEnable());
  EXPECT_TRUE(p.ContEnable());
  EXPECT_FALSE(p.StopEnable());
  EXPECT_FALSE(p.SetEnable());
}

TEST_F(EndToEnd, ADischargeFromThePanelIsWatchedRecordedAndEndedByTheDeviceAtItsCutoff) {
  sim::SimDevice& dev = device("2:model=12,cap=0.2");
  start();
  window->prefs().SAVE = true;
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  expectIdleButtons(s.panel());

  typeBoxes(s.panel(), 0, "1.00", "3.00", "0");
  emit s.panel().RunClick(0);
  expectRunningButtons(s.panel());
  EXPECT_TRUE(s.panel().SetEnable()); // constant current may be adjusted
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 2000));
  const QJsonObject started = dev.heard().last();
  EXPECT_EQ(started.value("cmd").toString(), QStringLiteral("start"));
  EXPECT_EQ(started.value("mode").toInt(), 0);
  EXPECT_EQ(started.value("set").toInt(), 100);
  EXPECT_EQ(started.value("limit").toInt(), 300);

  // Watched: readouts, grid row, curves and recording follow the reports.
  const QString rec =
      recordingFile(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM2"), 0);
  const int volt = curveIndex(0, Curve::Voltage);
  run(3000);
  EXPECT_EQ(s.panel().tCur(0), QStringLiteral("01.00"));
  const double shownVolts = s.panel().tVol(0).toDouble();
  EXPECT_GT(shownVolts, 3.0);
  EXPECT_LT(shownVolts, 4.2);
  EXPECT_GT(s.ch(0).TestSec, 0);
  EXPECT_EQ(s.panel().tTime(0), testTimeText(s.ch(0).TestSec));
  const int row = gridRow(0);
  EXPECT_EQ(s.gridText(row, colDevice), QStringLiteral("KL-F2"));
  EXPECT_EQ(s.gridText(row, colMode), QStringLiteral("D-CC  1.00A  3.00V"));
  EXPECT_EQ(s.gridText(row, colBeginVolt), QStringLiteral("4.200V"));
  EXPECT_TRUE(s.gridText(row, colCutoffVolt).isEmpty());
  EXPECT_GT(s.ch(0).Cap, 0.0f);
  EXPECT_EQ(s.gridText(row, colCapacity), capacityText(s.ch(0).Cap, modelCaps(12)));
  const QByteArray early = readFile(rec);
  const RecordingContent earlyContent = parseRecording(early);
  ASSERT_GT(earlyContent.samples.size(), 10u);
  // The voltage curve: the begin voltage at 0 s, then each recorded sample.
  const QList<QPointF> curve = points(s.graph(), volt);
  ASSERT_FALSE(curve.isEmpty());
  EXPECT_EQ(curve.front(), QPointF(0, 4.2f));
  EXPECT_EQ(curve.mid(1), voltagePoints(earlyContent));
  for (const Curve k : {Curve::Current, Curve::Third, Curve::Capacity, Curve::Energy})
    EXPECT_EQ(s.graph().DpCnt(curveIndex(0, k)), curve.size()) << int(k);

  const float earlyCap = s.ch(0).Cap;
  run(3000);
  const QByteArray later = readFile(rec);
  EXPECT_TRUE(later.startsWith(early)) << "lines are appended, never rewritten";
  EXPECT_GT(parseRecording(later).samples.size(), earlyContent.samples.size());
  EXPECT_GT(s.graph().DpCnt(volt), curve.size());
  EXPECT_GT(s.ch(0).Cap, earlyCap);

  // Ended by the device.
  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 60000));
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("cutoff voltage"));
  expectIdleButtons(s.panel());
  EXPECT_FALSE(s.panel().TmrShowEnable(0));
  EXPECT_FALSE(s.secondTimerRunning(0));
  EXPECT_TRUE(s.ch(0).RecPath.isEmpty());
  const QString cutoff = s.gridText(row, colCutoffVolt);
  EXPECT_EQ(cutoff, s.panel().tVol(0) + u'V');
  const double cutoffVolts = cutoff.chopped(1).toDouble();
  EXPECT_GE(cutoffVolts, 3.0);
  EXPECT_LT(cutoffVolts, 3.3); // the battery rests a little above the cutoff
  EXPECT_NEAR(s.ch(0).Cap, dev.logic()->channel(0).capacityAh, 0.001);

  // The recording: header, the samples in order, the end line.
  const QByteArray bytes = readFile(rec);
  EXPECT_TRUE(bytes.startsWith(early));
  const QStringList lines = QString::fromLatin1(bytes).split(QStringLiteral("\r\n"));
  ASSERT_GT(lines.size(), 7);
  EXPECT_EQ(
      lines.mid(0, 6),
      (QStringList{QLatin1String(kRecordingTitleLine), QStringLiteral("Device:KL-F2"),
                   QStringLiteral("Mode:D-CC  1.00A  3.00V"), QStringLiteral("Begin Volt:4.200V"),
                   QLatin1String(kBannerLine), QStringLiteral("Time(S)\tCur(A)\tVol(V)")}));
  EXPECT_EQ(lines.last(), QString()) << "the file ends with a line end";
  EXPECT_TRUE(lines.at(lines.size() - 2).startsWith(QStringLiteral("End:")));
  const RecordingContent finished = parseRecording(bytes);
  expectSoundAndInOrder(finished);
  EXPECT_TRUE(finished.endedNormally);
  EXPECT_EQ(int(finished.samples.size()), lines.size() - 6 - 2);
  EXPECT_EQ(points(s.graph(), volt).mid(1), voltagePoints(finished));

  // The data file of a finished test, with the grid's results and every curve point.
  const QStringList data = QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files);
  ASSERT_EQ(data.size(), 1);
  EXPECT_TRUE(data.front().endsWith(QStringLiteral("-KL-F2-1-1.csv")))
      << data.front().toStdString();
  const QStringList dataLines =
      QString::fromLatin1(home.read(QStringLiteral("Data/") + data.front()))
          .split(QStringLiteral("\r\n"), Qt::SkipEmptyParts);
  EXPECT_TRUE(dataLines.contains(QStringLiteral("Cutoff Volt:") + cutoff));
  EXPECT_TRUE(dataLines.contains(QStringLiteral("Capacity:") + s.gridText(row, colCapacity)));
  const qsizetype heading = dataLines.indexOf(QStringLiteral("Time(S),Cur(A),Vol(V)"));
  ASSERT_GE(heading, 0);
  EXPECT_EQ(dataLines.size() - heading - 1, s.graph().DpCnt(volt));
}

TEST_F(EndToEnd, StopIsHeardAndTheChannelGoesIdleOnTheDevicesNextIdleReport) {
  sim::SimDevice& dev = device("2:model=12,cap=0.2");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));
  typeBoxes(s.panel(), 0, "0.50", "3.00", "0");
  emit s.panel().RunClick(0);
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 2000));
  run(2000);
  const QString rec =
      recordingFile(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM2"), 0);

  dev.clearHeard();
  emit s.panel().StopClick(0);
  expectIdleButtons(s.panel());
  // The device is the master of its test: until it reports idle, the channel runs.
  EXPECT_TRUE(s.ch(0).ChnRunning);
  EXPECT_FALSE(parseRecording(readFile(rec)).endedNormally);

  // Each report in turn: a running one keeps the test, the first idle one ends it.
  int idleReports = 0;
  afterEachFrame = [&] {
    sim::ReportFields f;
    if (!sim::parseReport(frameSeen, &f) || f.channel != 0)
      return;
    if (f.state != 0) {
      EXPECT_TRUE(s.ch(0).ChnRunning) << "a running report after the stop";
    } else if (++idleReports == 1) {
      EXPECT_FALSE(s.ch(0).ChnRunning) << "the first idle report";
    }
  };
  ASSERT_TRUE(runUntil([&] { return idleReports > 0; }, 2000));
  afterEachFrame = nullptr;

  EXPECT_EQ(commands(dev), QStringList{QStringLiteral("stop")});
  EXPECT_EQ(dev.heard().front().value("channel").toInt(), 0);
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("stop command"));
  expectIdleButtons(s.panel());
  EXPECT_FALSE(s.secondTimerRunning(0));
  EXPECT_EQ(s.gridText(gridRow(0), colCutoffVolt), s.panel().tVol(0) + u'V');
  EXPECT_TRUE(parseRecording(readFile(rec)).endedNormally);
  // Nothing more is recorded once the test is over.
  const QByteArray ended = readFile(rec);
  run(1000);
  EXPECT_EQ(readFile(rec), ended);
}

// The program's window is destroyed mid-test without an orderly shutdown, and a new one is
// started on the same program folder. The reports the device sent meanwhile either still wait in
// the port, or are lost (as with a real port nobody holds open): the new window's first report is
// then the device's answer to Connect, an info report, which carries no test parameters.
class AfterACrash : public EndToEnd, public ::testing::WithParamInterface<bool> {};

TEST_P(AfterACrash, TheRunningTestIsAdoptedAndGoesOnInItsOwnRecording) {
  const bool reportsWaiting = GetParam();
  sim::SimDevice& dev = device("2:model=12,cap=0.2");
  start();
  DeviceSlot* s = &connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s->connecting(); }, 2000));
  typeBoxes(s->panel(), 0, "0.50", "3.00", "0");
  emit s->panel().RunClick(0);
  ASSERT_TRUE(runUntil([&] { return s->ch(0).ChnRunning; }, 2000));
  run(4000);
  const QString rec =
      recordingFile(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM2"), 0);
  const int volt = curveIndex(0, Curve::Voltage);
  const QByteArray before = readFile(rec);
  const RecordingContent beforeContent = parseRecording(before);
  ASSERT_GT(beforeContent.samples.size(), 10u);
  // The live curve: the begin voltage, then one point per recorded sample.
  const QList<QPointF> oldPoints = points(s->graph(), volt).mid(1);
  ASSERT_EQ(oldPoints, voltagePoints(beforeContent));
  const float capBefore = s->ch(0).Cap;

  window.reset();
  s = nullptr;
  run(2000);
  ASSERT_TRUE(dev.logic()->channel(0).running);
  EXPECT_EQ(readFile(rec), before);
  if (!reportsWaiting)
    dropWaitingInput(dev);

  dev.clearHeard();
  start();
  DeviceSlot& again = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return again.ch(0).ChnRunning && !again.connecting(); }, 2000));
  ASSERT_TRUE(runUntil([&] { return commands(dev).contains(QStringLiteral("continue")); }, 2000));
  EXPECT_FALSE(commands(dev).contains(QStringLiteral("start")));
  // The device's own test goes on: the continue command carries its parameters.
  const QJsonObject continued = dev.heard().at(commands(dev).indexOf(QStringLiteral("continue")));
  EXPECT_EQ(continued.value("channel").toInt(), 0);
  EXPECT_EQ(continued.value("mode").toInt(), 0);
  EXPECT_EQ(continued.value("set").toInt(), 50);
  EXPECT_EQ(continued.value("limit").toInt(), 300);
  EXPECT_EQ(again.panel().tSval(0), QStringLiteral("0.50"));
  EXPECT_EQ(again.panel().tSlmt(0), QStringLiteral("3.00"));
  expectRunningButtons(again.panel());
  EXPECT_EQ(again.gridText(gridRow(0), colBeginVolt), QStringLiteral("4.200V"));
  EXPECT_EQ(again.gridText(gridRow(0), colMode), QStringLiteral("D-CC  0.50A  3.00V"));

  // The old points are back; the capacity goes on from the device's count, never counted twice.
  EXPECT_EQ(points(again.graph(), volt).mid(0, oldPoints.size()), oldPoints);
  run(1000);
  EXPECT_GE(again.ch(0).Cap, capBefore);
  EXPECT_LE(again.ch(0).Cap, dev.logic()->channel(0).capacityAh + 0.001);

  ASSERT_TRUE(runUntil([&] { return !again.ch(0).ChnRunning; }, 60000));
  EXPECT_EQ(dev.logic()->channel(0).endReason, QStringLiteral("cutoff voltage"));
  EXPECT_NEAR(again.ch(0).Cap, dev.logic()->channel(0).capacityAh, 0.001);
  EXPECT_EQ(again.gridText(gridRow(0), colCapacity), capacityText(again.ch(0).Cap, modelCaps(12)));

  // One recording: the old lines as they were, then the new ones, one header, times in order.
  const QByteArray after = readFile(rec);
  EXPECT_TRUE(after.startsWith(before));
  EXPECT_EQ(after.count(kRecordingTitleLine), 1);
  const RecordingContent all = parseRecording(after);
  expectSoundAndInOrder(all);
  EXPECT_GT(all.samples.size(), beforeContent.samples.size() + 10);
  EXPECT_TRUE(all.endedNormally);
  EXPECT_EQ(points(again.graph(), volt), voltagePoints(all));
  const QStringList recordings =
      QDir(home.path()).entryList({QStringLiteral("*.bak")}, QDir::Files);
  EXPECT_EQ(recordings, QStringList{QFileInfo(rec).fileName()});
}

INSTANTIATE_TEST_SUITE_P(EndToEnd, AfterACrash, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& info) {
                           return info.param ? "ReportsWaitingInThePort" : "ReportsLost";
                         });

TEST_F(EndToEnd, StartingTheSecondChannelOfATwoChannelLoadLeavesTheFirstIdle) {
  sim::SimDevice& dev = device("3:model=17,cap=0.2");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM3"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 3000));
  ASSERT_TRUE(s.panel().Dev2S());
  typeBoxes(s.panel(), 1, "0.500", "3.000", "0");
  emit s.panel().RunClick(1);
  ASSERT_TRUE(runUntil([&] { return s.ch(1).ChnRunning; }, 2000));
  const QJsonObject started = dev.heard().last();
  EXPECT_EQ(started.value("cmd").toString(), QStringLiteral("start"));
  EXPECT_EQ(started.value("channel").toInt(), 1);
  EXPECT_EQ(started.value("set").toInt(), 500);
  EXPECT_EQ(started.value("limit").toInt(), 3000);
  EXPECT_TRUE(s.ch(1).RecPath.endsWith(QStringLiteral("-1-2"))) << s.ch(1).RecPath.toStdString();

  // Channel 0 is no part of it, on the device or in the program.
  const auto expectFirstChannelIdle = [&](const char* when) {
    EXPECT_FALSE(dev.logic()->channel(0).running) << when;
    EXPECT_FALSE(s.ch(0).ChnRunning) << when;
    EXPECT_TRUE(s.ch(0).RecPath.isEmpty()) << when;
    EXPECT_EQ(s.graph().DpCnt(curveIndex(0, Curve::Voltage)), 0) << when;
    EXPECT_TRUE(s.gridText(gridRow(0), colBeginVolt).isEmpty()) << when;
    EXPECT_TRUE(s.gridText(gridRow(0), colCutoffVolt).isEmpty()) << when;
  };
  run(2000);
  ASSERT_TRUE(s.ch(1).ChnRunning);
  EXPECT_GT(s.graph().DpCnt(curveIndex(1, Curve::Voltage)), 5);
  expectFirstChannelIdle("while channel 1 runs");

  ASSERT_TRUE(runUntil([&] { return !s.ch(1).ChnRunning; }, 60000));
  EXPECT_EQ(dev.logic()->channel(1).endReason, QStringLiteral("cutoff voltage"));
  EXPECT_EQ(s.gridText(gridRow(1), colCutoffVolt), s.panel().tVol(1) + u'V');
  expectFirstChannelIdle("after channel 1 ended");
  for (const QJsonObject& heard : dev.heard()) {
    if (heard.value("cmd").toString() != QStringLiteral("connect")) {
      EXPECT_EQ(heard.value("channel").toInt(), 1) << heard.value("cmd").toString().toStdString();
    }
  }

  const QStringList recordings =
      QDir(home.path()).entryList({QStringLiteral("*.bak")}, QDir::Files);
  ASSERT_EQ(recordings.size(), 1);
  EXPECT_TRUE(recordings.front().endsWith(QStringLiteral("-1-2.bak")))
      << recordings.front().toStdString();
  const RecordingContent r = parseRecording(home.read(recordings.front()));
  expectSoundAndInOrder(r);
  EXPECT_GT(r.samples.size(), 10u);
  EXPECT_TRUE(r.endedNormally);
}

} // namespace

namespace {

// The rows of a CSV file with a header row: the header's cells, then each row's cells.
QList<QStringList> csvRows(const QByteArray& bytes) {
  QList<QStringList> rows;
  for (const QString& line : QString::fromUtf8(bytes).split(u'\n', Qt::SkipEmptyParts))
    rows << line.trimmed().split(u',');
  return rows;
}

TEST_F(EndToEnd, BatteryDataFormatAtTheTestsEndAndFromExportData) {
  device("2:model=12,cap=0.05,speed=60");
  start();
  window->prefs().SAVE = true;
  window->prefs().BDF = true;
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));

  // Nothing to export yet: said, no file dialog.
  bool asked = false;
  QString answer;
  window->chooseFile = [&](bool, const QString&, const QString&, const QString&, const QString&) {
    asked = true;
    return answer;
  };
  window->action(QStringLiteral("menuExport"))->trigger();
  EXPECT_FALSE(asked);

  typeBoxes(s.panel(), 0, "1.00", "3.00", "0");
  const qint64 pressed = QDateTime::currentSecsSinceEpoch();
  emit s.panel().RunClick(0);
  ASSERT_TRUE(runUntil([&] { return s.ch(0).ChnRunning; }, 2000));
  ASSERT_TRUE(runUntil([&] { return !s.ch(0).ChnRunning; }, 60000));
  run(500);

  const QDir data(home.file(QStringLiteral("Data")));
  const QStringList bdf = data.entryList({QStringLiteral("*.bdf.csv")}, QDir::Files);
  ASSERT_EQ(bdf.size(), 1) << data.entryList().join(u' ').toStdString();
  EXPECT_TRUE(bdf.front().endsWith(QStringLiteral("_KL-F2_COM2_ch1.bdf.csv")))
      << bdf.front().toStdString();
  const QByteArray atEnd = readFile(data.filePath(bdf.front()));
  const QList<QStringList> rows = csvRows(atEnd);
  ASSERT_GT(rows.size(), 5);
  const QStringList& head = rows.front();
  const qsizetype time = head.indexOf(QStringLiteral("Test Time / s"));
  const qsizetype volt = head.indexOf(QStringLiteral("Voltage / V"));
  const qsizetype cur = head.indexOf(QStringLiteral("Current / A"));
  const qsizetype unix = head.indexOf(QStringLiteral("Unix Time / s"));
  ASSERT_TRUE(time >= 0 && volt >= 0 && cur >= 0 && unix >= 0) << head.join(u',').toStdString();
  // The test began when Run was pressed; a discharge's current is negative.
  EXPECT_NEAR(rows.at(1).at(unix).toDouble(), double(pressed), 5.0);
  EXPECT_LT(rows.at(1).at(time).toDouble(), 5.0);
  EXPECT_NEAR(rows.at(1).at(cur).toDouble(), -1.0, 0.01);
  for (qsizetype r = 2; r < rows.size(); ++r)
    ASSERT_GT(rows.at(r).at(time).toDouble(), rows.at(r - 1).at(time).toDouble()) << r;

  // Export Data: a name without an extension gets the CSV's, and the file equals the one saved
  // at the end; a ".xlsx" name gets a workbook.
  answer = home.file(QStringLiteral("cell 7"));
  window->action(QStringLiteral("menuExport"))->trigger();
  EXPECT_TRUE(asked);
  EXPECT_EQ(readFile(answer + QStringLiteral(".bdf.csv")), atEnd);
  answer = home.file(QStringLiteral("cell 7.xlsx"));
  window->action(QStringLiteral("menuExport"))->trigger();
  EXPECT_TRUE(readFile(answer).startsWith("PK")) << "a zip container";
}

} // namespace
