#pragma once

#include <QString>

namespace ondrel {

// What the USB trigger window uses of the device slot it was opened for. The device slot
// implements it; the window never sees the slot or the main window.
class UsbTriggerSlot {
public:
  // The channel the slot's panel shows: each request goes to the channel shown at that moment.
  virtual int panelChannel() const = 0;
  // The text of a channel's voltage readout.
  virtual QString voltageText(int c) const = 0;
  // The slot's graph draws its curves as staircases, as a charger's voltage steps.
  virtual void showVoltageSteps() = 0;
  virtual void RemoteQC(int c, int code) = 0;
  virtual void RemotePE(int c, int code) = 0;

protected:
  ~UsbTriggerSlot() = default;
};

} // namespace ondrel
