#include "test/slotmodel.h"

#include "data/support/langtext.h"

#include <algorithm>

namespace ondrel {

const QString& ResultRow::column(int column) const {
  const QString* const columns[] = {&device,   &mode,   &beginVolt, &cutoffVolt,
                                    &capacity, &energy, &avgVolt};
  return *columns[std::clamp(column, 0, 6)];
}

std::optional<float> ChannelModel::beginVoltage() const {
  const QString& cell = row.beginVolt;
  if (cell.isEmpty())
    return std::nullopt;
  bool numeric = false;
  const float volt = cell.left(cell.size() - 1).toFloat(&numeric);
  if (!numeric)
    return std::nullopt;
  return volt;
}

SlotModel::SlotModel() {
  // No device yet: a neutral model so that nothing divides by zero.
  params.MaxCurrent = 10.0f;
  params.MaxVoltage = 60.0f;
}

bool SlotModel::nameFinal() const {
  return !params.caps.namedByInfoReport || InfoCount > 0;
}

void SlotModel::setDeviceName(const QString& name) {
  ch[0].row.device = name;
  // Both rows name the device: the second channel's recording and data files take their name
  // from row 2.
  if (Dev2S)
    ch[1].row.device = name;
}

void SlotModel::changeClocks(int c, ClockChange change, bool keepCurve) {
  ChannelModel& m = at(c);
  switch (change) {
  case ClockChange::TestStarts:
    m.curveClock = m.testClock = true;
    break;
  case ClockChange::MonitorStarts:
    m.curveClock = true;
    break;
  case ClockChange::Ends:
    m.testClock = false;
    if (!keepCurve && !m.monitoring)
      m.curveClock = false;
    break;
  }
}

bool SlotModel::secondTick(int c) {
  ChannelModel& m = at(c);
  if (m.curveClock) {
    ++m.data.CurveSec;
    CurveEnd = std::max(CurveEnd, m.data.CurveSec);
  }
  if (m.testClock)
    ++m.data.TestSec;
  return m.testClock;
}

std::array<bool, 2> SlotModel::secondTick() {
  return {secondTick(0), secondTick(1)};
}

DataFileContent SlotModel::dataFileContent(int c, bool withTemperature) const {
  const ChannelModel& m = at(c);
  DataFileContent content;
  content.resultValues = m.row.values();
  content.withTemperature = withTemperature;
  content.caps = params.caps;
  content.curDiv = params.CurDiv;
  const qint32 count = m.series.size();
  content.points.reserve(static_cast<size_t>(std::max(count - m.data.StartPoint, 0)));
  for (qint32 n = std::max(m.data.StartPoint, 0); n < count; ++n) {
    const Sample& s = m.series.at(n);
    content.points.push_back({static_cast<float>(s.sec), s.cur, s.volt, s.third});
  }
  return content;
}

QStringList autoResultHeadings() {
  return {LangText(QStringLiteral("Index")), LangText(QStringLiteral("Curr(A)")),
          LangText(QStringLiteral("Volt(V)")), LangText(QStringLiteral("Pwr(W)"))};
}

QStringList stepResultHeadings() {
  return {LangText(QStringLiteral("Step")), LangText(QStringLiteral("Mode")),
          LangText(QStringLiteral("Capacity")), LangText(QStringLiteral("Energy"))};
}

bool hasStepResults(const SlotModel& m) {
  return m.stepResults.size() > 1 && !m.stepResults[1].value(1).isEmpty();
}

std::vector<QStringList> stepResultRows(const SlotModel& m) {
  std::vector<QStringList> rows;
  if (!hasStepResults(m))
    return rows;
  for (const QStringList& row : m.stepResults)
    if (!row.value(1).isEmpty())
      rows.push_back(row);
  return rows;
}

} // namespace ondrel
