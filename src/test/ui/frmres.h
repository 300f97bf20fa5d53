#pragma once

#include "link/modeltable.h"
#include "test/resistance.h"
#include "test/ui/messages.h"

#include <QTimer>
#include <QWidget>

#include <functional>

class QLabel;
class QPushButton;

namespace ondrel {

class PanelBox;

// What the resistance window needs of the slot and channel it tests, read afresh at each use.
struct ResChannel {
  std::function<const ModelParams&()> model;
  std::function<bool()> running;
  std::function<float()> volt;
  // Sends the test command with the current in mA as text.
  std::function<void(const QString&)> send;
};

// The resistance-test window of one slot's channel: "Test" asks the device for a current pulse,
// the one-second Timer1 waits up to four seconds for the voltage drop, and the result shows in
// milliohms. The drop comes only through dropSeen() of its own channel, and only while it waits.
class frmRes : public QWidget {
  Q_OBJECT

public:
  frmRes(int slot, int channel, bool twoChannels, ResChannel link, MessageAsker ask,
         QWidget* parent = nullptr);
  ~frmRes() override;

  int channel() const { return m_channel; }
  // A drop the slot saw in an idle report of `channel`; the slot's resistanceDropSeen.
  void dropSeen(int channel, float drop);

  // The user's actions, as the controls run them.
  void cmdTest_Click();
  void txtCap_Leave();
  // One tick of Timer1.
  void Timer1_Timer();

  bool waiting() const { return m_wait.waiting(); }

signals:
  // The window has closed; the main window's wait ends.
  void closed();
  // A test answered: milliohms, measured with `currentMa`.
  void measured(double mohm, int currentMa);

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  int m_channel;
  ResChannel m_link;
  MessageAsker m_ask;
  ResistanceWait m_wait;
  bool m_closed = false;

  QLabel* lblCap = nullptr;
  PanelBox* txtCap = nullptr;
  QLabel* lblRes = nullptr;
  PanelBox* txtRes = nullptr;
  QPushButton* cmdTest = nullptr;
  QTimer Timer1;
};

} // namespace ondrel
