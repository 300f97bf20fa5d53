#pragma once

#include <QObject>

namespace ondrel {

class SlotContext;

// The stepped-current automatic test of one slot: its page on the panel, its timer and its run
// flag. Report handling asks it whether it runs, because a running auto test keeps the curves
// going between its steps and shows no end notice.
class AutoTestController : public QObject {
  Q_OBJECT

public:
  explicit AutoTestController(SlotContext& slot, QObject* parent = nullptr);

  bool AutoRunning() const { return m_running; }
  void setAutoRunning(bool running) { m_running = running; }
  // Sets up the auto-test page for the identified model.
  void InitAutoPage();

private:
  SlotContext& m_slot;
  bool m_running = false;
};

} // namespace ondrel
