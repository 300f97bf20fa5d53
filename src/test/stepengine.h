#pragma once

#include "test/steps.h"

#include <QString>

#include <vector>

namespace ondrel {

// Row colours of the step table (colour values, 0x00BBGGRR; the face colour is the system's).
inline constexpr quint32 kStepDischargeColour = 0x00C000; // RGB(0, 192, 0)
inline constexpr quint32 kStepChargeColour = 0x0000FF;    // RGB(255, 0, 0)
inline constexpr quint32 kStepWaitColour = 0x00C0C0;      // RGB(192, 192, 0)
inline constexpr quint32 kStepFaceColour = 0x8000000F;    // the system's button face
// Only the first rows of the table are coloured.
inline constexpr int kColouredStepRows = 5;

// Capacity or energy of a step in the step result list: "0.000" below 10, "0.00" from 10 on.
QString stepResultText(float value);

// What the step timer sees of channel 0 at a tick.
struct StepInput {
  bool running = false;     // ChnRunning
  bool stopEnabled = false; // the channel's Stop button
};

// One thing the controller does at a tick, in the order given.
struct StepAction {
  enum Kind {
    StopChannel,   // stop the channel (the step's time limit)
    ResultRow,     // columns 0 and 1 of the present result row: `text` ("2-1") and `mode`
    ResultValues,  // columns 2 and 3: "0" for a wait (`wait`), else the channel's Cap, Energy
    SetUpStep,     // the step's mode (`modeNo`) and values of table row `row` into the panel
    PressStart,    // the panel back to idle, then Start pressed for the step
    ColourRow,     // the table row `row` (1 to 5) gets `colour`
    NextResultRow, // a new row in the result list
    EndProgram     // the program is over: everything off, as the Stop button does
  };
  Kind kind = StopChannel;
  int row = 0;
  int modeNo = 0;
  bool wait = false;
  quint32 colour = 0;
  QString text, mode;

  static StepAction of(Kind kind) {
    StepAction a;
    a.kind = kind;
    return a;
  }
  static StepAction resultRow(const QString& text, const QString& mode) {
    StepAction a = of(ResultRow);
    a.text = text;
    a.mode = mode;
    return a;
  }
  static StepAction resultValues(bool wait) {
    StepAction a = of(ResultValues);
    a.wait = wait;
    return a;
  }
  static StepAction setUpStep(int row, int modeNo) {
    StepAction a = of(SetUpStep);
    a.row = row;
    a.modeNo = modeNo;
    return a;
  }
  static StepAction colourRow(int row, quint32 colour) {
    StepAction a = of(ColourRow);
    a.row = row;
    a.colour = colour;
    return a;
  }
  friend bool operator==(const StepAction&, const StepAction&) = default;
};

// The step and cycle program of one slot: runs the rows of a step table one after the other on
// channel 0, each as a single test, then again for each pass of a "Cycle" row. Driven by the
// one-second step timer; it decides, the controller acts.
class StepEngine {
public:
  // Start presses a step may take (in phase 0 and the next ticks) before it counts as ended.
  static constexpr int kRetryTicks = 4;

  // A program begins at step 1, pass 1.
  void start();
  // The program is over (the Stop button, or its end).
  void stop();
  // One tick of the step timer. `modes` is the panel's mode list.
  std::vector<StepAction> tick(const StepInput& in, const StepTable& table,
                               const QStringList& modes, const ModelParams& model);

  bool StepOn() const { return m_on; }
  bool StepRunning() const { return m_running; }
  int StepNo() const { return m_stepNo; }
  int StepPhase() const { return m_phase; }
  int StepSec() const { return m_sec; }
  int StepLimitSec() const { return m_limitSec; }
  int StepModeNo() const { return m_modeNo; }
  int StepTries() const { return m_tries; }
  int CycleNo() const { return m_cycleNo; }

private:
  void setUp(std::vector<StepAction>& out, const StepTable& table, const QStringList& modes,
             const ModelParams& model);
  void next(std::vector<StepAction>& out, const StepTable& table, const QStringList& modes);
  bool isWait(const QStringList& modes) const { return m_modeNo == modes.size(); }

  bool m_on = false;
  bool m_running = false;
  int m_stepNo = 1;
  int m_phase = 0;
  int m_sec = 0;
  int m_limitSec = 0;
  int m_modeNo = 0;
  int m_tries = 0;
  int m_cycleNo = 1;
};

} // namespace ondrel
