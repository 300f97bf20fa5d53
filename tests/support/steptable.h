#pragma once

#include "test/steps.h"

#include <initializer_list>

namespace ondrel::testing {

// The mode list of an electronic load with a constant-voltage charge: modes 0 to 3 discharge,
// mode 4 the charge.
inline const QStringList kLoadModes = {"D-CC", "D-CP", "D-CV", "D-CR", "C-CV"};

// A step table of the given rows from row 1 on; the rest empty.
inline StepTable stepProgram(std::initializer_list<StepRow> rows) {
  StepTable t;
  int i = 0;
  for (const StepRow& r : rows)
    t[i++] = r;
  return t;
}

} // namespace ondrel::testing
