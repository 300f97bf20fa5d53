#pragma once

#include "test/autostepper.h"

#include <QObject>

namespace ondrel {

class SlotContext;

// The stepped-current automatic test of one slot: its page on the panel, its timer and its run
// flag. Report handling asks it whether it runs, because a running auto test keeps the curves
// going between its steps and shows no end notice. A test acts on its own slot and on the
// channel it was started on, whichever channel the panel shows later.
class AutoTestController : public QObject {
  Q_OBJECT

public:
  explicit AutoTestController(SlotContext& slot, QObject* parent = nullptr);

  bool AutoRunning() const { return m_running; }
  void setAutoRunning(bool running) { m_running = running; }
  // Sets up the auto-test page for the identified model.
  void InitAutoPage();
  // The page's Start/Stop button.
  void StartAutoClick();
  // One tick of the panel's one-second auto timer.
  void AutoTimer();
  // The page's Save button: the result table into a csv or dat file.
  void SaveClick();
  // Double click on the result table: the table full size over the panel.
  void AutoRunDblClick();

  // The slot's port was closed: a running auto test ends without a word to the device.
  void linkClosed();

  const AutoStepper& stepper() const { return m_stepper; }
  int channel() const { return m_chn; }

private:
  // Empties the result rows, in the table and in the slot model.
  void clearRows();
  // The result rows with their first `columns` cells, the heading row first.
  std::vector<QStringList> rows(int columns) const;
  void startAuto();
  void stopAuto();
  void writeRow();
  // Timer off, caption "Start", not running.
  void autoOff();
  // The auto test is over: timer off, caption, flag; a channel the device has stopped also
  // gets its idle timers, as a single test's end gives them.
  void finish();

  SlotContext& m_slot;
  bool m_running = false;
  int m_chn = 0;
  AutoStepper m_stepper;
};

} // namespace ondrel
