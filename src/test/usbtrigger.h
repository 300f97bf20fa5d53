#pragma once

#include <QString>

namespace ondrel {

// The request codes that RemoteQC and RemotePE pack into byte 7 (code + 10, code + 20).
namespace qc {
constexpr int Level5V = 0;
constexpr int Level9V = 1;
constexpr int Level12V = 2;
constexpr int Level20V = 3;
constexpr int EnterQc3 = 4;
constexpr int StepUp = 5;
constexpr int StepDown = 6;
} // namespace qc
namespace pe {
constexpr int Down = 0;
constexpr int Up = 1;
} // namespace pe

enum class QcProtocol { Qc2, Qc3 };
enum class QcStepping { Manual, Auto };

// Where the trigger's requests go: the device slot its window was opened for.
class TriggerLink {
public:
  virtual void RemoteQC(int code) = 0;
  virtual void RemotePE(int code) = 0;

protected:
  ~TriggerLink() = default;
};

// The ramp's repeating timer. The window gives it a QTimer; tests a clock they step by hand.
class TriggerTimer {
public:
  virtual void start(int intervalMs) = 0;
  virtual void stop() = 0;
  virtual bool isActive() const = 0;

protected:
  ~TriggerTimer() = default;
};

// The QC2.0 level a trigger opens with, from the voltage the device shows: 20 V above 18 V,
// 12 V above 10 V, 9 V above 8 V, else 5 V. A text that is no number (no device yet) counts as
// 5 V.
int openingLevel(const QString& voltageText);

// The decisions of the USB quick-charge trigger: which request a choice or a button sends, the
// QC2.0 level, and the QC3.0 ramp that steps every two seconds until "+" or "-" stops it.
// Nothing is sent when the trigger itself moves the level's option (at opening, by "+" or "-" in
// QC2.0): the request that moved it was the only one due.
class UsbTrigger {
public:
  static constexpr int kRampMs = 2000;

  UsbTrigger(TriggerLink& link, TriggerTimer& ramp, int level);

  int QcLevel() const { return m_level; }
  bool RampUp() const { return m_rampUp; }
  QcProtocol protocol() const { return m_protocol; }
  QcStepping stepping() const { return m_stepping; }
  bool rampRunning() const { return m_ramp.isActive(); }

  // The user's choices. A level or protocol chosen again is requested again.
  void chooseLevel(int level);
  void chooseProtocol(QcProtocol protocol);
  // Refused while the ramp runs: "Auto" and "Manual" are locked then.
  void chooseStepping(QcStepping stepping);

  // "+" and "-" of the QC frame.
  void increase() { step(+1); }
  void decrease() { step(-1); }
  // "+" and "-" of the pump-express frame.
  void pumpExpressUp() { m_link.RemotePE(pe::Up); }
  void pumpExpressDown() { m_link.RemotePE(pe::Down); }

  // The ramp's timer fired: one QC3.0 step in the ramp's direction.
  void rampTick();
  // The window closes, or its device is gone: no further step.
  void stopRamp() { m_ramp.stop(); }

private:
  void step(int direction);

  TriggerLink& m_link;
  TriggerTimer& m_ramp;
  int m_level;
  bool m_rampUp = true;
  QcProtocol m_protocol = QcProtocol::Qc2;
  QcStepping m_stepping = QcStepping::Manual;
};

} // namespace ondrel
