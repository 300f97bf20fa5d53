#pragma once

#include <QtGlobal>

namespace ondrel {

// Window-wide preferences of the main window, with the defaults of a fresh settings file
// ("ondrel.ini"). data/settings.h reads them at start-up; each is written the moment it changes.
struct Preferences {
  // [AUTO]
  bool SAVE = false; // save the data file automatically at the end of a test
  bool MSG = false;  // show notices
  bool HIDE = false; // minimising hides the window behind a notification icon
  bool DISP = false; // minimising shows the big readout window
  bool CSV = true;   // ".csv" with "," separators, else ".dat" with TAB
  bool TEMP = false; // "Temprature Data" ticked: the third curve shows the temperature
  bool BDF = false;  // the end-of-test save also writes Battery Data Format CSV
  // [DATA]
  quint32 VCOL[2] = {16711680, 16711680}; // voltage curve of channel 0 / 1
  quint32 CCOL[2] = {255, 255};           // current curve of channel 0 / 1
  quint32 PCOL = 32896;                   // panel power readout
  quint32 TCOL = 8421504;                 // panel time readout
  int MDOT = 0;                           // major grid lines dotted
  int SDOT = 1;                           // minor grid lines dotted
  quint32 BCOL = 16777215;                // graph background
  quint32 GCOL = 8421504;                 // grid
  quint32 ACOL = 0;                       // axes
  int LINE = 2;                           // curve line width
  int SLA = 0;                            // 1 = legends shown
  int SCALE = 1;                          // axis fitting starts from the first sample
  bool XTIME = true;                      // the display dialog's X unit: time, else capacity
  int SAH = 0;                            // the display dialog's "容量" tick
  int SWH = 0;                            // the display dialog's "能量" tick

  friend bool operator==(const Preferences&, const Preferences&) = default;
};

} // namespace ondrel
