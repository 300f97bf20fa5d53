#pragma once

#include <QObject>

namespace ondrel {

class SlotContext;

// The step and cycle program of one slot: the cycle page, its timer and its run flag. Report
// handling asks it whether it runs: a running program shows no end notice, and the info list
// keeps the program's own version line.
class StepController : public QObject {
  Q_OBJECT

public:
  explicit StepController(SlotContext& slot, QObject* parent = nullptr);

  bool StepRunning() const { return m_running; }
  void setStepRunning(bool running) { m_running = running; }
  // A program starts (on channel 0): the channel's curves are the program's until the user's
  // next Start, so that their data file lists the program's steps.
  void programStarted();
  // Hooks the cycle page's buttons and step timer to the program.
  void connectPanel();

private:
  SlotContext& m_slot;
  bool m_running = false;
};

} // namespace ondrel
