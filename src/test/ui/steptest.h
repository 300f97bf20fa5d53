#pragma once

#include "test/stepengine.h"

#include <QObject>

namespace ondrel {

class SlotContext;

// The step and cycle program of one slot: the cycle page, its timer and its run flag. Report
// handling asks it whether it runs: a running program shows no end notice, and the info list
// keeps the program's own version line. The program runs on channel 0 (the cycle page belongs to
// one-channel panels).
class StepController : public QObject {
  Q_OBJECT

public:
  explicit StepController(SlotContext& slot, QObject* parent = nullptr);

  bool StepRunning() const { return m_running; }
  bool StepOn() const;
  void setStepRunning(bool running) { m_running = running; }
  // A program starts (on channel 0): the channel's curves are the program's until the user's
  // next Start, so that their data file lists the program's steps.
  void programStarted();
  // Hooks the cycle page's buttons and step timer to the program.
  void connectPanel();

  // The page's Start/Stop button; also the program's own end.
  void StartStepClick();
  // One tick of the panel's one-second step timer.
  void StepTimer();
  // The step editor, waited for until it closes.
  void SetStepClick();
  // Empties the step table at once.
  void ClearStepClick();
  void SaveStepClick();
  void OpenStepClick();

  // The slot's port was closed: a running program ends without a word to the device.
  void linkClosed();

  const StepEngine& engine() const { return m_engine; }
  // The panel's step table and mode list as the program reads them.
  StepTable table() const;
  QStringList modes() const;

private:
  // One cell of the present result row, in the table and in the slot model.
  void setResult(int col, const QString& text);
  // The program's page and engine back to idle, the channel left as it is.
  void programOff();
  void stopProgram();
  void startProgram();
  void act(const StepAction& a);
  void refuse(const QString& message);

  SlotContext& m_slot;
  bool m_running = false;
  StepEngine m_engine;
};

} // namespace ondrel
