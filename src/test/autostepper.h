#pragma once

#include "link/modeltable.h"

#include <QString>
#include <QStringList>

#include <optional>
#include <vector>

namespace ondrel {

// The lists of the auto-test page for an identified model: start and stop currents, current
// steps and step lengths, with the texts the boxes start from.
struct AutoPageLists {
  QStringList currents; // start and stop current lists
  QStringList steps;
  QStringList times;
  QString current; // start and stop boxes
  QString step;
  QString time;
};
AutoPageLists autoPageLists(const ModelParams& model);

// The auto test's step length in seconds from the page's time text: seconds as they stand,
// minutes × 60. Throws Failure for a text that is no number or a length outside 1..32767 s.
int autoIntervalSeconds(const QString& timeText, bool seconds);

// What Start reads of the auto-test page.
struct AutoPageTexts {
  QString startCurrent, stopCurrent, step, time;
  bool seconds = true; // the time is in seconds, else minutes
};
// What an auto test runs with.
struct AutoSettings {
  float startCurrent = 0.0f;
  float stopCurrent = 0.0f;
  float step = 0.0f;
  int interval = 1; // seconds
};
// The page checked at Start with the panel's messages: "Invalid value!" for a text that is no
// number, "Setting value out of range!" for a start or stop current outside the model's range, a
// step that is not above 0 or is more than the span between them (a test at one current takes
// any step), or a step length outside 1..32767 s. Nothing may be sent while `refusal` is set.
struct AutoStartCheck {
  std::optional<QString> refusal;
  AutoSettings settings;
};
AutoStartCheck checkAutoStart(const ModelParams& model, const AutoPageTexts& page);

// Rows of the full-size auto-test table that shows `copiedRows` rows of the result table: 41,
// and one more for every copied row past row 39.
int fullAutoListRows(int copiedRows);

// The lines of an auto-test result file: the device's heading and name, "Mode:Auto Test", the
// banner, then each row's index, current and voltage joined by `separator` (the heading row
// first; the power column is not written).
QStringList autoResultLines(const QString& deviceHeading, const QString& device,
                            const std::vector<QStringList>& rows, const QString& separator);

// What the auto timer reads of its channel at a tick.
struct AutoReading {
  bool running = false; // the channel's run state as the device reports it
  float current = 0.0f; // the current readout, A
};

// One thing the controller does at a tick, in the order given.
struct AutoAction {
  enum Kind {
    SetCurrent, // send the new set current (`current`) to the running channel
    WriteRow,   // the readings into the present row of the result table
    NextRow,    // advance to the next row
    Finish,     // the auto test is over: timer off, caption "Start", not running
    StopChannel // stop the channel
  };
  Kind kind;
  float current = 0.0f;
  friend bool operator==(const AutoAction&, const AutoAction&) = default;
};

// The stepped-current discharge: the current changes by `step` every `interval` seconds from
// the start current to the stop current, rising or falling. Comparisons are in single
// precision with a 0.01 A margin that absorbs the rounding of the repeated additions.
class AutoStepper {
public:
  // Ticks a started channel may take to report that it runs before the auto test gives up on
  // it (and stops it, in case it starts later).
  static constexpr int kStartTicks = 5;

  void start(float startCurrent, float stopCurrent, float step, int intervalSeconds);
  // One tick of the one-second auto timer.
  std::vector<AutoAction> tick(const AutoReading& reading);

  float AutoCur() const { return m_cur; }
  float AutoStop() const { return m_stop; }
  bool AutoUp() const { return m_up; }
  int AutoTick() const { return m_tick; }
  int AutoInterval() const { return m_interval; }

private:
  float m_cur = 0.0f;
  float m_stop = 0.0f;
  float m_step = 0.0f;
  bool m_up = true;
  int m_tick = 0;
  int m_interval = 1;
  bool m_seenRunning = false;
  int m_waited = 0;
};

} // namespace ondrel
