#pragma once

namespace ondrel {

class frmMain;

// "Resistance Test": the resistance window for the selected slot's panel channel, after its
// checks. The slot tabs are disabled while it is open, and this waits (events running) until it
// closes.
void ResistanceTest(frmMain& window);

// "Parameter Calibration": the calibration window for the selected slot's panel channel. It is
// not waited for; while it is open the slot tabs, the panel's channel choice and the menu entry
// are locked, and its buttons follow that slot's run state only.
void ParameterCalibration(frmMain& window);

} // namespace ondrel
