#include "data/bdfexport.h"

#include "data/filenames.h"

#include <algorithm>
#include <cmath>

namespace ondrel {

namespace {

double rounded(double v, int decimals) {
  const double scale = std::pow(10.0, decimals);
  const double r = std::round(v * scale) / scale;
  return r == 0.0 ? 0.0 : r; // no "-0.000"
}

} // namespace

ExportTable batteryDataFormatTable(const ExportTest& test) {
  const auto& s = test.samples;
  const bool steps = std::any_of(s.begin(), s.end(), [](const auto& x) { return x.step > 0; });
  const bool temp = std::any_of(s.begin(), s.end(), [](const auto& x) { return x.temp; });
  const double unit = test.milliamps ? 0.001 : 1.0;
  const bool withUnixTime = test.start.isValid();

  ExportTable t;
  auto column = [&t](const char* heading, int decimals) {
    t.headings << QLatin1String(heading);
    t.decimals.push_back(decimals);
  };
  column("Test Time / s", 3);
  column("Voltage / V", 4);
  column("Current / A", 6);
  if (withUnixTime)
    column("Unix Time / s", 3);
  if (steps) {
    column("Step Count / 1", 0);
    column("Cycle Count / 1", 0);
  }
  if (temp)
    column("Temperature T1 / degC", 1);
  for (const char* h : {"Charging Capacity / Ah", "Discharging Capacity / Ah",
                        "Charging Energy / Wh", "Discharging Energy / Wh"})
    column(h, 6);

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
    std::vector<double> row{double(x.ms) / 1000.0, x.volt,
                            (x.charging ? 1.0 : -1.0) * x.current * unit};
    if (withUnixTime)
      row.push_back(startSec + double(x.ms) / 1000.0);
    if (steps) {
      row.push_back(x.step);
      row.push_back(x.cycle);
    }
    if (temp)
      row.push_back(x.temp ? *x.temp : std::nan(""));
    for (double v : {chargeAh, dischargeAh, chargeWh, dischargeWh})
      row.push_back(v);
    for (size_t i = 0; i < row.size(); ++i)
      row[i] = rounded(row[i], t.decimals[i]);
    t.rows.push_back(std::move(row));
  }
  return t;
}

QByteArray batteryDataFormatCsv(const ExportTest& test) {
  const ExportTable t = batteryDataFormatTable(test);
  QByteArray out = t.headings.join(QLatin1Char(',')).toUtf8() + "\r\n";
  for (const std::vector<double>& row : t.rows) {
    for (size_t i = 0; i < row.size(); ++i) {
      if (i > 0)
        out += ',';
      if (!std::isnan(row[i]))
        out += QByteArray::number(row[i], 'f', t.decimals[i]);
    }
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
