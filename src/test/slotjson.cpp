#include "test/slotjson.h"

#include "test/singletest.h"

#include <QDir>
#include <QJsonArray>

#include <cmath>

namespace ondrel {

double jsonNumber(double v, int decimals) {
  const double f = std::pow(10.0, decimals);
  const double r = std::round(v * f) / f;
  return r == 0.0 ? 0.0 : r; // no "-0"
}

double toBaseUnits(const SlotModel& m) {
  return m.params.caps.currentInMilliamps ? 0.001 : 1.0;
}

QString firmwareText(const ModelParams& params) {
  return QString::number(params.FwVersion / 100) + QLatin1Char('.') +
         QStringLiteral("%1").arg(params.FwVersion % 100, 2, 10, QLatin1Char('0'));
}

QString runState(const SlotModel& m, int c) {
  return m.at(c).data.ChnRunning ? QStringLiteral("running") : QStringLiteral("idle");
}

QJsonObject sampleObject(const SlotModel& m, int c) {
  const ChannelData& d = m.at(c).data;
  const double unit = toBaseUnits(m);
  QJsonObject o;
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("channel"), c + 1);
  o.insert(QStringLiteral("t"), d.TestSec);
  o.insert(QStringLiteral("state"), runState(m, c));
  o.insert(QStringLiteral("mode"), d.ModeNo >= 0 && d.ModeNo < m.modes.size()
                                       ? m.modes.at(d.ModeNo)
                                       : QString());
  o.insert(QStringLiteral("v"), jsonNumber(d.Volt, 3));
  o.insert(QStringLiteral("a"), jsonNumber(d.Cur * unit, 4));
  o.insert(QStringLiteral("w"), jsonNumber(d.Pwr * unit, 3));
  o.insert(QStringLiteral("ah"), jsonNumber(d.Cap * unit, 4));
  o.insert(QStringLiteral("wh"), jsonNumber(d.Energy * unit, 4));
  if (m.params.HasTemp)
    o.insert(QStringLiteral("temp_c"), jsonNumber(d.Temp, 1));
  return o;
}

QJsonObject identifiedObject(const SlotModel& m) {
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("identified"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("model"), m.at(0).row.device);
  o.insert(QStringLiteral("firmware"), firmwareText(m.params));
  o.insert(QStringLiteral("channels"), m.Dev2S ? 2 : 1);
  o.insert(QStringLiteral("modes"), QJsonArray::fromStringList(m.modes));
  o.insert(QStringLiteral("max_v"), jsonNumber(m.params.MaxVoltage, 3));
  o.insert(QStringLiteral("min_v"), jsonNumber(m.params.MinVoltage, 3));
  o.insert(QStringLiteral("max_a"), jsonNumber(m.params.MaxCurrent * toBaseUnits(m), 4));
  o.insert(QStringLiteral("min_a"), jsonNumber(m.params.MinCurrent * toBaseUnits(m), 4));
  o.insert(QStringLiteral("temperature"), m.params.HasTemp);
  return o;
}

QJsonObject startedObject(const SlotModel& m, int c, const QString& mode) {
  const ParamView& v = m.at(c).view.params;
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("started"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("channel"), c + 1);
  o.insert(QStringLiteral("model"), m.at(c).row.device);
  o.insert(QStringLiteral("mode"), mode);
  o.insert(QStringLiteral("set"), boxValue(v.tSval));
  o.insert(QStringLiteral("limit"), boxValue(v.tSlmt));
  o.insert(QStringLiteral("time"), boxValue(v.tStim));
  return o;
}

QJsonObject endedObject(const SlotModel& m, int c, const QString& reason, const QString& dataFile) {
  const ChannelData& d = m.at(c).data;
  const double unit = toBaseUnits(m);
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("ended"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("channel"), c + 1);
  o.insert(QStringLiteral("reason"), reason);
  o.insert(QStringLiteral("t"), d.TestSec);
  o.insert(QStringLiteral("capacity_ah"), jsonNumber(d.Cap * unit, 4));
  o.insert(QStringLiteral("energy_wh"), jsonNumber(d.Energy * unit, 4));
  o.insert(QStringLiteral("data_file"), dataFile.isEmpty()
                                            ? QJsonValue(QJsonValue::Null)
                                            : QJsonValue(QDir::toNativeSeparators(dataFile)));
  return o;
}

} // namespace ondrel
