#include "test/channeltest.h"

#include "data/datafile.h"
#include "data/support/failure.h"
#include "data/support/numberformat.h"
#include "data/textfile.h"
#include "test/continuereplay.h"
#include "test/reportstep.h"

#include <QDir>
#include <QFileInfo>

namespace ondrel {

QString channelRecordingPath(const SlotModel& m, const QString& folder, int slot, int c) {
  return recordingBasePath(folder, m.at(c).row.device, m.port, slot, c);
}

void createChannelRecording(SlotModel& m, int c, const QString& path, bool withTemperature) {
  ChannelData& d = m.at(c).data;
  d.RecPath = path;
  d.RecWriteFailed = false;
  try {
    const ResultRow& row = m.at(c).row;
    createRecordingFile(path, recordingHeader(row.device, row.mode, row.beginVolt, withTemperature,
                                              m.params.caps));
  } catch (...) {
    d.RecWriteFailed = true;
    throw;
  }
}

void appendChannelSample(SlotModel& m, int c, bool withTemperature, QString& lastLineWhole) {
  const ChannelData& d = m.at(c).data;
  const std::optional<float> temp = withTemperature ? std::optional<float>(d.Temp) : std::nullopt;
  const bool whole = lastLineWhole == d.RecPath;
  lastLineWhole.clear();
  appendRecordingLine(d.RecPath, recordingLine(d.TestSec, d.Cur, d.Volt, temp, m.params.CurDiv),
                      whole);
  lastLineWhole = d.RecPath;
}

void endChannelRecording(const SlotModel& m, int c, const QDateTime& when) {
  const ChannelData& d = m.at(c).data;
  if (d.RecPath.isEmpty() || d.RecWriteFailed)
    return;
  appendRecordingEnd(d.RecPath, when);
}

void replayIntoChannel(SlotModel& m, int c, const QString& path, const RecordingContent& content,
                       qint64 nowMs, bool scaleFromValues) {
  ChannelData& d = m.at(c).data;
  d.Energy = 0.0f;
  d.VoltSum = 0.0;
  d.Cap = 0.0f;
  d.CapTick = 0;
  d.StepCurves = false; // the curves become the recording's
  // Only this channel's curves: the other channel of a two-channel device keeps its test.
  clearChannelSeries(m, c);
  d.StartPoint = 0;

  ResultRow& row = m.at(c).row;
  if (content.device)
    row.device = *content.device;
  if (content.mode)
    row.mode = *content.mode;
  if (content.beginVolt)
    row.beginVolt = *content.beginVolt;

  const ContinuePlan plan = planContinue(content);
  // A replayed sample arrived when its second says, counted back from now.
  for (const ContinuePoint& p : plan.points)
    addCurvePoint(m, c,
                  {nowMs - qint64(plan.lastTime - p.time) * 1000, p.time, p.volt, p.cur, 0.0f,
                   p.capacityAh, p.energyWh},
                  scaleFromValues);
  const qint32 points = m.at(c).series.size();
  row.avgVolt = plan.hasSamples && points > 0
                    ? Format(d.VoltSum / points, u"0.00") + QLatin1Char('V')
                    : QString();
  row.cutoffVolt.clear();
  d.CapOffset = plan.CapOffset;
  d.CapOffsetPending = true;
  if (m.params.caps.usbMeter)
    d.Cap = d.CapOffset;
  d.TestSec = d.CurveSec = plan.lastTime;
  if (m.CurveEnd < plan.lastTime)
    m.CurveEnd = plan.lastTime;
  fitAxes(m);
  d.RecPath = path;
  d.RecWriteFailed = false;
}

void writeChannelDataFile(const SlotModel& m, int c, const QString& path,
                          const ChannelFileOptions& options) {
  DataFileContent content = m.dataFileContent(c, options.withTemperature);
  if (m.at(c).data.StepCurves && !options.stepRunning)
    content.stepRows = stepResultRows(m);
  content.title = options.title;
  content.csv = options.csv;
  writeTextFile(path, dataFileLines(content));
}

namespace {

// A free name "<folder>/Data/<stem><extension>" for a file about to be written, the folder made.
// Two runners on one folder may end tests of the same model in the same second: a name that is
// taken gets a number, so that neither file replaces the other.
QString freeDataFilePath(const QString& folder, const QString& stemName, const QString& extension) {
  const QString dataFolder = QDir(folder).filePath(QStringLiteral("Data"));
  const QString stem = QDir(dataFolder).filePath(stemName);
  QString path = stem + extension;
  for (int n = 2; QFileInfo::exists(path) && n < 1000; ++n)
    path = stem + QLatin1Char('-') + QString::number(n) + extension;
  if (!QDir().mkpath(dataFolder))
    throw Failure(QStringLiteral("Cannot write %1: the folder cannot be created")
                      .arg(QDir::toNativeSeparators(path)));
  return path;
}

} // namespace

QString writeEndOfTestFile(const SlotModel& m, int slot, int c, const QString& folder,
                           const ChannelFileOptions& options, const QDateTime& now) {
  const QString path =
      freeDataFilePath(folder, dataFileStem(now, m.at(c).row.device, slot, c),
                       QLatin1Char('.') + dataFileExtension(options.csv));
  writeChannelDataFile(m, c, path, options);
  return path;
}

} // namespace ondrel

#include "data/bdfexport.h"

namespace ondrel {

ExportTest exportTestOf(const SlotModel& m, int c, const QDateTime& start,
                        bool thirdIsTemperature) {
  const ChannelModel& ch = m.at(c);
  ExportTest test;
  test.start = start;
  test.model = ch.row.device;
  test.port = m.port;
  test.channel = c;
  test.milliamps = m.params.caps.currentInMilliamps;
  const bool charging = ch.data.ModeNo > m.params.LastDischargeMode;
  const bool withTemp = thirdIsTemperature && m.params.HasTemp;
  const qint64 startMs = start.toMSecsSinceEpoch();
  for (qint32 i = std::max<qint32>(0, ch.data.StartPoint); i < ch.series.size(); ++i) {
    const Sample& s = ch.series.at(i);
    ExportSample e;
    e.ms = std::max<qint64>(0, s.ms - startMs);
    e.volt = s.volt;
    e.current = s.cur;
    e.charging = charging;
    e.capacity = s.ah;
    e.energy = s.wh;
    if (withTemp)
      e.temp = s.third;
    test.samples.push_back(e);
  }
  return test;
}

QDateTime channelTestStart(const SlotModel& m, int c) {
  const ChannelModel& ch = m.at(c);
  const qint32 first = std::max<qint32>(0, ch.data.StartPoint);
  if (first >= ch.series.size())
    return {};
  const Sample& s = ch.series.at(first);
  return QDateTime::fromMSecsSinceEpoch(s.ms - qint64(s.sec) * 1000);
}

QString writeBatteryDataFormatFile(const SlotModel& m, int c, const QString& folder,
                                   const QDateTime& start, bool thirdIsTemperature) {
  const ExportTest test = exportTestOf(m, c, start, thirdIsTemperature);
  const QString path = freeDataFilePath(folder, exportFileStem(test), QStringLiteral(".bdf.csv"));
  writeFileAtomically(path, batteryDataFormatCsv(test));
  return path;
}

} // namespace ondrel
