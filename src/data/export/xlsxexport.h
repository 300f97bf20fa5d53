#pragma once

#include "data/bdfexport.h"

#include <QString>

#include <optional>

namespace ondrel {

// What the results sheet says of a test beside its samples; a value left empty is not written.
struct ExportResults {
  QString device, mode, parameters;
  std::optional<double> beginVolt, endVolt, averageVolt; // V
  std::optional<double> capacityAh, energyWh;
  std::optional<double> resistanceMilliohm;
};

// Writes the test as a spreadsheet: a sheet "Samples" with the Battery Data Format's columns as
// typed numbers (units in the headings), and a sheet "Results" with one labelled row per result,
// so that a spreadsheet in any locale sees numbers. Throws Failure when the file cannot be
// written; a file left half written is removed.
void writeXlsx(const QString& path, const ExportTest& test, const ExportResults& results);

} // namespace ondrel
