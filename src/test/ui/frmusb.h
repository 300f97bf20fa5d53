#pragma once

#include "test/ui/usbtriggerslot.h"
#include "test/usbtrigger.h"

#include <QTimer>
#include <QWidget>

#include <array>

class QAbstractButton;
class QButtonGroup;
class QLabel;
class QPushButton;
class QRadioButton;

namespace ondrel {

class LCDisp;

// The USB quick-charge trigger window ("USB Quick Charge"): asks the device of one slot for the
// QC2.0 levels, QC3.0 steps and ramp, and pump-express steps, and shows the voltage it measures.
// It stays bound to the slot it was opened for, so that a request never reaches a device the
// user selected meanwhile (on a running load the same frame would be an adjust to zero).
// Modeless, topmost, deleted when closed; its texts are not translated.
class frmUSB : public QWidget, private TriggerLink {
  Q_OBJECT

public:
  // Opens for `slot`: its graph draws staircases, and the voltage option follows the voltage
  // its channel 0 shows. Nothing is sent.
  explicit frmUSB(UsbTriggerSlot& slot, QWidget* parent = nullptr);
  ~frmUSB() override;

  const UsbTrigger& trigger() const { return m_trigger; }

  // Timer1 (1 s): the readout shows the voltage of the panel's channel.
  void Timer1Timer();
  // Timer2 (2 s, while the QC3.0 ramp runs): the ramp's next step.
  void Timer2Timer();
  // The slot's device was disconnected: the ramp stops.
  void deviceDisconnected();

signals:
  // The window closed; it is deleted next.
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // Timer2 as the trigger's ramp timer.
  class RampTimer : public TriggerTimer {
  public:
    QTimer timer;
    void start(int intervalMs) override { timer.start(intervalMs); }
    void stop() override { timer.stop(); }
    bool isActive() const override { return timer.isActive(); }
  };

  // TriggerLink: requests go to the bound slot's shown channel.
  void RemoteQC(int code) override;
  void RemotePE(int code) override;

  void build();
  // The options show the trigger's state; "Auto" and "Manual" are locked while the ramp runs.
  void showState();

  UsbTriggerSlot& m_slot;
  QTimer Timer1;
  RampTimer Timer2;
  UsbTrigger m_trigger;
  QString m_refusedText; // a voltage text the readout could not show, logged once

  QRadioButton *optQc2 = nullptr, *optQc3 = nullptr;
  std::array<QRadioButton*, 4> optLevel{}; // opt5V, opt9V, opt12V, opt20V
  QRadioButton *optManual = nullptr, *optAuto = nullptr;
  QPushButton *cmdQCInc = nullptr, *cmdQCDec = nullptr;
  QPushButton *cmdPEDec = nullptr, *cmdPEInc = nullptr;
  LCDisp* lcdVol = nullptr;
  QLabel* lblVolt = nullptr;
};

} // namespace ondrel
