#pragma once

#include <QObject>

namespace ondrel {

class SlotContext;

// The single test of one slot: the panel's Start, Stop, Continue, Adjust and Monitor buttons,
// the presentation of a channel's mode and parameters, and the buttons' idle and running states.
class SingleTestController : public QObject {
  Q_OBJECT

public:
  explicit SingleTestController(SlotContext& slot, QObject* parent = nullptr);

  // Presents the channel's mode and parameters on the panel.
  void ShowParams(int channel);
  // Continues the channel's interrupted recording, if any, for a test found running.
  void ContClick(int channel);
  // The panel's buttons for an idle or running channel.
  void SetRunButtons(int channel);

signals:
  // The continue action ran for a channel.
  void continueRequested(int channel);

private:
  SlotContext& m_slot;
};

} // namespace ondrel
