#include "history/testrecord.h"

#include "test/params.h"

#include <QJsonValue>
#include <QSysInfo>
#include <QUuid>

#include <algorithm>
#include <cmath>

namespace ondrel {

std::optional<double> resultNumber(QString text) {
  text = text.trimmed();
  double scale = 1.0;
  if (text.endsWith(QLatin1String("mAh"), Qt::CaseInsensitive) ||
      text.endsWith(QLatin1String("mWh"), Qt::CaseInsensitive))
    scale = 0.001;
  while (!text.isEmpty() && !text.back().isDigit())
    text.chop(1);
  bool ok = false;
  const double v = text.toDouble(&ok);
  if (!ok || !std::isfinite(v))
    return std::nullopt;
  return v * scale;
}

QString isoUtc(const QDateTime& t) {
  return t.toUTC().toString(Qt::ISODate);
}

QString newTestUid() {
  return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

namespace {

// A device value kept as float, as the number it was: 4.2f widened is 4.199999809..., which
// the catalogue, its exports and `history --json` would show as such.
std::optional<double> finite(float v) {
  if (!std::isfinite(v))
    return std::nullopt;
  return QString::number(v, 'g', 7).toDouble();
}

QString firmwareText(qint16 fw) {
  if (fw <= 0)
    return {};
  return QStringLiteral("%1.%2").arg(fw / 100).arg(fw % 100, 2, 10, QLatin1Char('0'));
}

} // namespace

TestRecord recordOfChannel(const SlotModel& m, int c, const TestEnd& end,
                           bool thirdIsTemperature) {
  const ChannelModel& ch = m.at(c);
  const ChannelData& d = ch.data;
  TestRecord r;
  r.uid = newTestUid();
  r.kind = end.kind;
  const QDateTime ended = end.ended.isValid() ? end.ended : QDateTime::currentDateTimeUtc();
  r.endedUtc = isoUtc(ended);
  r.startedUtc = isoUtc(ended.addSecs(-qMax<qint32>(0, d.TestSec)));
  r.host = QSysInfo::machineHostName();
  r.port = m.port;
  r.slot = end.slot;
  r.channel = c;
  r.model = ch.row.device.isEmpty() ? m.at(0).row.device : ch.row.device;
  r.firmware = firmwareText(m.params.FwVersion);
  try {
    const ParamView v =
        showParams(m.params, m.Dev2S, m.modes, {d.ModeNo, d.SetRaw, d.LimitRaw, d.TimeRaw});
    r.mode = v.tMode;
    r.setValue = resultNumber(v.tSval);
    r.limitValue = resultNumber(v.tSlmt);
    r.timeValue = resultNumber(v.tStim);
  } catch (...) {
    // A model without its divisors yet: the row keeps the results without the parameters.
  }
  if (r.mode.isEmpty())
    r.mode = ch.view.params.tMode;
  r.label = end.label;

  // The test's own points: from its start point on.
  double sum = 0;
  qint32 n = 0;
  std::optional<double> maxTemp;
  for (qint32 i = qMax<qint32>(0, d.StartPoint); i < ch.series.size(); ++i) {
    const Sample& s = ch.series.at(i);
    sum += s.volt;
    ++n;
    if (thirdIsTemperature)
      maxTemp = std::max(maxTemp.value_or(-1e9), *finite(s.third));
  }
  r.beginV = ch.beginVoltage() ? finite(float(*ch.beginVoltage()))
                               : (n > 0 ? finite(ch.series.at(qMax(0, d.StartPoint)).volt)
                                        : std::nullopt);
  r.endV = resultNumber(ch.row.cutoffVolt);
  if (!r.endV && n > 0)
    r.endV = finite(ch.series.back().volt);
  if (n > 0)
    r.avgV = std::round(sum / n * 1000.0) / 1000.0;
  r.capacityAh = finite(d.Cap);
  r.energyWh = finite(d.Energy);
  r.maxTempC = maxTemp;
  r.endReason = end.endReason;
  r.dataFile = end.dataFile;
  r.recordingFile = end.recordingFile;
  return r;
}

TestRecord resistanceRecord(const SlotModel& m, int c, double mohm, double currentA, int slot,
                            const QDateTime& when) {
  TestRecord r;
  r.uid = newTestUid();
  r.kind = kind::Resistance;
  r.startedUtc = r.endedUtc = isoUtc(when);
  r.host = QSysInfo::machineHostName();
  r.port = m.port;
  r.slot = slot;
  r.channel = c;
  r.model = m.at(c).row.device.isEmpty() ? m.at(0).row.device : m.at(c).row.device;
  r.firmware = firmwareText(m.params.FwVersion);
  r.mode = QStringLiteral("Resistance");
  r.setValue = finite(currentA);
  r.beginV = finite(m.at(c).data.Volt);
  r.resistanceMohm = finite(mohm);
  r.endReason = endreason::Device;
  return r;
}

namespace {

void putNumber(QJsonObject& o, const char* key, const std::optional<double>& v) {
  o.insert(QLatin1String(key), v ? QJsonValue(*v) : QJsonValue());
}
std::optional<double> getNumber(const QJsonObject& o, const char* key) {
  const QJsonValue v = o.value(QLatin1String(key));
  return v.isDouble() ? std::optional<double>(v.toDouble()) : std::nullopt;
}

} // namespace

QJsonObject toJson(const TestRecord& r) {
  QJsonObject o;
  if (r.id > 0)
    o.insert(QStringLiteral("id"), r.id);
  o.insert(QStringLiteral("uid"), r.uid);
  o.insert(QStringLiteral("kind"), r.kind);
  o.insert(QStringLiteral("started_utc"), r.startedUtc);
  o.insert(QStringLiteral("ended_utc"), r.endedUtc);
  o.insert(QStringLiteral("host"), r.host);
  o.insert(QStringLiteral("port"), r.port);
  o.insert(QStringLiteral("slot"), r.slot);
  o.insert(QStringLiteral("channel"), r.channel);
  o.insert(QStringLiteral("model"), r.model);
  o.insert(QStringLiteral("firmware"), r.firmware);
  o.insert(QStringLiteral("mode"), r.mode);
  putNumber(o, "set_value", r.setValue);
  putNumber(o, "limit_value", r.limitValue);
  putNumber(o, "time_value", r.timeValue);
  o.insert(QStringLiteral("label"), r.label);
  putNumber(o, "begin_v", r.beginV);
  putNumber(o, "end_v", r.endV);
  putNumber(o, "avg_v", r.avgV);
  putNumber(o, "capacity_ah", r.capacityAh);
  putNumber(o, "energy_wh", r.energyWh);
  putNumber(o, "max_temp_c", r.maxTempC);
  putNumber(o, "resistance_mohm", r.resistanceMohm);
  o.insert(QStringLiteral("end_reason"), r.endReason);
  o.insert(QStringLiteral("data_file"), r.dataFile);
  o.insert(QStringLiteral("recording_file"), r.recordingFile);
  if (!r.dataHash.isEmpty())
    o.insert(QStringLiteral("data_hash"), r.dataHash);
  return o;
}

std::optional<TestRecord> recordFromJson(const QJsonObject& o) {
  TestRecord r;
  r.uid = o.value(QStringLiteral("uid")).toString();
  r.kind = o.value(QStringLiteral("kind")).toString();
  if (r.uid.isEmpty() || r.kind.isEmpty())
    return std::nullopt;
  r.id = o.value(QStringLiteral("id")).toInteger();
  r.startedUtc = o.value(QStringLiteral("started_utc")).toString();
  r.endedUtc = o.value(QStringLiteral("ended_utc")).toString();
  r.host = o.value(QStringLiteral("host")).toString();
  r.port = o.value(QStringLiteral("port")).toString();
  r.slot = o.value(QStringLiteral("slot")).toInt();
  r.channel = o.value(QStringLiteral("channel")).toInt();
  r.model = o.value(QStringLiteral("model")).toString();
  r.firmware = o.value(QStringLiteral("firmware")).toString();
  r.mode = o.value(QStringLiteral("mode")).toString();
  r.setValue = getNumber(o, "set_value");
  r.limitValue = getNumber(o, "limit_value");
  r.timeValue = getNumber(o, "time_value");
  r.label = o.value(QStringLiteral("label")).toString();
  r.beginV = getNumber(o, "begin_v");
  r.endV = getNumber(o, "end_v");
  r.avgV = getNumber(o, "avg_v");
  r.capacityAh = getNumber(o, "capacity_ah");
  r.energyWh = getNumber(o, "energy_wh");
  r.maxTempC = getNumber(o, "max_temp_c");
  r.resistanceMohm = getNumber(o, "resistance_mohm");
  r.endReason = o.value(QStringLiteral("end_reason")).toString();
  r.dataFile = o.value(QStringLiteral("data_file")).toString();
  r.recordingFile = o.value(QStringLiteral("recording_file")).toString();
  r.dataHash = o.value(QStringLiteral("data_hash")).toString();
  return r;
}

} // namespace ondrel
