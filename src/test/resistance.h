#pragma once

#include "link/modeltable.h"

#include <QString>

#include <optional>

namespace ondrel {

// The resistance test: a current pulse asked of an idle single cell, the voltage drop the device
// reports, drop / current shown in milliohms. The decisions live here; the window asks and shows.

inline constexpr int kResMinCurrentMa = 200;
inline constexpr int kResMaxCurrentMa = 30000;
// Above this a channel holds more than one cell, and the pulse would not say anything useful.
inline constexpr float kResMaxCellVolts = 4.5f;
// Ticks of the one-second timer after which an unanswered test gives up.
inline constexpr int kResMaxTicks = 4;

// Why the window may not open, or a test may not start: the message to show, none when it may.
std::optional<QString> resistanceOpenRefusal(const ModelParams& model, float volt);
std::optional<QString> resistanceStartRefusal(bool running, float volt);

// The test-current box left by the user: a number in range and the text it becomes, or the
// message after which the box keeps its text and takes the focus back to be mended.
struct ResBoxCheck {
  std::optional<QString> message;
  std::optional<QString> text;
};
ResBoxCheck checkResCurrent(const QString& text);

// The current a test runs with, in mA: the typed current capped at the model's maximum. None,
// with the message that says why, when the text is no number or outside 200..30000 mA, or when
// the model's maximum caps it below 200 mA: the device is never asked for less, and the result
// divides by it.
struct ResCurrent {
  std::optional<int> mA;
  QString refusal;
};
ResCurrent resistanceCurrent(const ModelParams& model, const QString& text);

// One test's wait for its answer. The first drop seen after start() is kept; tick() runs every
// second and tells when the wait is over.
class ResistanceWait {
public:
  enum class Tick { Waiting, Measured, GaveUp };

  void start(int currentMa);
  bool waiting() const { return m_waiting; }
  // A drop reported by the tested channel; ignored unless a test waits for it.
  void dropSeen(float dropVolts);
  Tick tick();
  // The last result's text in milliohms ("50.0"), valid after tick() answered Measured.
  QString resultText() const { return m_result; }
  // The current of the last test, mA.
  int currentMa() const { return m_currentMa; }

private:
  bool m_waiting = false;
  int m_currentMa = 0;
  int m_ticks = 0;
  float m_drop = 0.0f;
  QString m_result;
};

} // namespace ondrel
