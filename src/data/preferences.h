#pragma once

#include <QtGlobal>

namespace ondrel {

// Window-wide preferences of the main window, with the defaults of a fresh settings file.
// Reading them from "ondrel.ini" and the dialogs that change them come with the settings code.
struct Preferences {
  bool SAVE = false; // save the data file automatically at the end of a test
  bool MSG = false;  // show notices
  bool HIDE = false;
  bool DISP = false;
  bool CSV = true;   // ".csv" with "," separators, else ".dat" with TAB
  bool TEMP = false; // "Temprature Data" ticked: the third curve shows the temperature
  int SLA = 0;       // 1 = legends shown
  int SCALE = 1;     // axis fitting starts from the first sample
  quint32 VCOL[2] = {16711680, 16711680};
  quint32 CCOL[2] = {255, 255};
  quint32 PCOL = 32896;
  quint32 TCOL = 8421504;
  int LINE = 2;
};

} // namespace ondrel
