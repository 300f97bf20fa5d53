#pragma once

#include "link/modeltable.h"

namespace ondrel::testing {

// The model parameters of a slot whose device of `code` (with firmware `fw`) was identified.
inline ModelParams identifiedModel(int code, int fw = 0) {
  ModelParams previous;
  previous.FwVersion = static_cast<qint16>(fw);
  ModelParams p = lookupModel(previous, code).params;
  p.FwVersion = static_cast<qint16>(fw);
  p.ModelCode = static_cast<qint16>(code);
  return p;
}

} // namespace ondrel::testing
