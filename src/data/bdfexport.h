#pragma once

#include <QByteArray>
#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ondrel {

// One sample of a test as the exporters take it: what the device reported, in its own units.
struct ExportSample {
  qint64 ms = 0;              // arrival, milliseconds since the test's start
  double volt = 0.0;          // V
  double current = 0.0;       // as the device reports it: a magnitude, A (mA on milliampere models)
  bool charging = false;      // the sample's step charges the cell
  double capacity = 0.0;      // the device's count for the present step: Ah (mAh on mA models)
  double energy = 0.0;        // Wh (mWh on mA models)
  std::optional<double> temp; // degrees Celsius, where the model has a sensor
  int step = 0, cycle = 0;    // step programs: 1-based step and pass, 0 elsewhere
};

struct ExportTest {
  QDateTime start; // the test's start (any time zone; written as Unix time)
  QString model, port;
  int channel = 0;        // 0-based
  bool milliamps = false; // currents, capacities and energies come in mA, mAh, mWh
  std::vector<ExportSample> samples;
};

// The test's samples as the Battery Data Format's columns: headings with their units, each
// column's decimals, and the rows as numbers rounded to them (NaN: no value).
struct ExportTable {
  QStringList headings;
  std::vector<int> decimals;
  std::vector<std::vector<double>> rows;
};
ExportTable batteryDataFormatTable(const ExportTest& test);

// The test as Battery Data Format CSV: UTF-8, comma separated, decimal point, one header row
// naming each column with its unit, then one row per sample. Currents are amperes with the
// format's sign (charge positive, discharge negative); capacity and energy are split into
// charging and discharging totals that grow across steps. Samples whose time does not move on
// are left out, so the time column strictly increases. Step, cycle and temperature columns are
// there only when some sample has them.
QByteArray batteryDataFormatCsv(const ExportTest& test);

// "2026-12-10T14-03-07_KL-F2_COM2_ch1" for the test's start in local time: names that sort by
// date. The caller adds ".bdf.csv" or ".xlsx".
QString exportFileStem(const ExportTest& test);

} // namespace ondrel
