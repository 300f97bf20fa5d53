#include "data/bdfexport.h"

#include "data/filenames.h"

#include <algorithm>

namespace ondrel {

QByteArray batteryDataFormatCsv(const ExportTest& test) {
  const auto& s = test.samples;
  const bool steps = std::any_of(s.begin(), s.end(), [](const auto& x) { return x.step > 0; });
  const bool temp = std::any_of(s.begin(), s.end(), [](const auto& x) { return x.temp; });
  const double unit = test.milliamps ? 0.001 : 1.0;
  const bool withUnixTime = test.start.isValid();

  QByteArray out = "Test Time / s,Voltage / V,Current / A";
  if (withUnixTime)
    out += ",Unix Time / s";
  if (steps)
    out += ",Step Count / 1,Cycle Count / 1";
  if (temp)
    out += ",Temperature T1 / degC";
  out += ",Charging Capacity / Ah,Discharging Capacity / Ah,Charging Energy / Wh,"
         "Discharging Energy / Wh\r\n";

  const double startSec = withUnixTime ? double(test.start.toMSecsSinceEpoch()) / 1000.0 : 0.0;
  // The device counts each step from zero: a count that falls starts a new step, and the totals
  // keep what the steps before it reached.
  double chargeAh = 0, dischargeAh = 0, chargeWh = 0, dischargeWh = 0;
  double lastCap = 0, lastEnergy = 0;
  qint64 lastMs = -1;
  for (const ExportSample& x : s) {
    double dCap = x.capacity - lastCap, dEnergy = x.energy - lastEnergy;
    if (dCap < 0 || dEnergy < 0)
      dCap = x.capacity, dEnergy = x.energy;
    lastCap = x.capacity, lastEnergy = x.energy;
    (x.charging ? chargeAh : dischargeAh) += dCap * unit;
    (x.charging ? chargeWh : dischargeWh) += dEnergy * unit;
    if (x.ms <= lastMs)
      continue;
    lastMs = x.ms;
    const double amps = (x.charging ? 1.0 : -1.0) * x.current * unit;
    out += QByteArray::number(double(x.ms) / 1000.0, 'f', 3);
    out += ',' + QByteArray::number(x.volt, 'f', 4);
    out += ',' + QByteArray::number(amps == 0.0 ? 0.0 : amps, 'f', 6);
    if (withUnixTime)
      out += ',' + QByteArray::number(startSec + double(x.ms) / 1000.0, 'f', 3);
    if (steps)
      out += ',' + QByteArray::number(x.step) + ',' + QByteArray::number(x.cycle);
    if (temp)
      out += ',' + (x.temp ? QByteArray::number(*x.temp, 'f', 1) : QByteArray());
    for (double v : {chargeAh, dischargeAh, chargeWh, dischargeWh})
      out += ',' + QByteArray::number(v, 'f', 6);
    out += "\r\n";
  }
  return out;
}

QString exportFileStem(const ExportTest& test) {
  return test.start.toLocalTime().toString(QStringLiteral("yyyy-MM-ddTHH-mm-ss")) +
         QLatin1Char('_') + fileNameSafe(test.model) + QLatin1Char('_') + fileNameSafe(test.port) +
         QStringLiteral("_ch%1").arg(test.channel + 1);
}

} // namespace ondrel
