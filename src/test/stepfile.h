#pragma once

#include "test/steps.h"

#include <QByteArray>
#include <QStringList>

namespace ondrel {

// Step files (".stp"): the step table of a panel, tied to the device model because the modes
// are stored as positions in the model's mode list. A banner line, "DEV:" and the model code,
// then one line per filled cell: a three-digit key (row in two digits, column in one) ":" value.

inline constexpr char kStepFileExtension[] = "stp";
inline constexpr char kStepFileFilter[] = "step file(*.stp)|*.stp";

// The file's lines for the rows up to the first empty one. Throws Failure naming the step when a
// mode is none of the panel's modes (`modes`), "Wait" or "Cycle".
QStringList stepFileLines(int modelCode, const StepTable& table, const QStringList& modes);

// A step file read back for a panel of `modelCode` with `modes`.
struct StepFileRead {
  bool sameModel = false; // the "DEV:" line names this model; nothing is read otherwise
  StepTable table;
  int skippedLines = 0; // lines that were not a cell of the table
};
StepFileRead readStepFile(const QByteArray& bytes, int modelCode, const QStringList& modes);

} // namespace ondrel
