#pragma once

#include "link/bootsession.h"
#include "link/comm.h"
#include "link/serialport.h"

#include <QMessageBox>
#include <QWidget>

#include <functional>
#include <memory>

class QComboBox;
class QLabel;
class QPushButton;
class QTimer;

namespace ondrel {

class ucProgressBar;

// The firmware-update window of one device slot: "Identify" finds the device waiting in its
// boot loader and offers the image for it, "Update" writes the image. It drives the boot-loader
// session over a serial port object of its own on the slot's port, with the reply and pause
// timers and a timer that polls the port; all waits are timer-driven, so the window and the
// rest of the program stay responsive. While a job runs, "Identify", "Update" and closing are
// locked.
class frmUpdate : public QWidget, private BootLink {
  Q_OBJECT

public:
  // Asks the user with a message box titled "Prompt"; the main window's MsgBox.
  using Asker = std::function<QMessageBox::StandardButton(
      QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;

  // `portText` is the slot panel's port ("COM3"); the port opens at the first "Identify".
  frmUpdate(int slot, QString portText, PortProvider& ports, Asker ask, QWidget* parent = nullptr);
  ~frmUpdate() override;

  // "Identify" and "Update", as the buttons run them.
  void cmdOpen_Click();
  void cmdUpdate_Click();

  const BootSession& session() const { return m_session; }
  bool portOpen() const { return m_port && m_port->isOpen(); }
  ucProgressBar& progressBar() const { return *pbFw; }

signals:
  // The window has closed; the main window's wait ends.
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;

private:
  // BootLink
  bool write(const QByteArray& bytes) override;
  void startReplyTimer() override;
  void stopReplyTimer() override;
  void startPause() override;

  bool openPort();
  void closePort();
  void pollPort();
  void replyTimeUp();
  // The image names whose files are in the firmware folder.
  void fillTypeList();
  void showBusy();
  void identifyFinished(BootSession::IdentifyResult result);
  void updateFinished(bool ok);
  // Hides the window, says `text` and closes the window.
  void finish(QMessageBox::Icon icon, const QString& text);

  int m_slot;
  QString m_portText;
  PortProvider& m_ports;
  Asker m_ask;
  std::unique_ptr<SerialPort> m_port;
  BootSession m_session{*this};
  bool m_updateAllowed = false;

  QLabel* lblDev = nullptr;
  QComboBox* cmbDev = nullptr;
  QPushButton* cmdOpen = nullptr;
  QPushButton* cmdUpdate = nullptr;
  QLabel* lblProg = nullptr;
  ucProgressBar* pbFw = nullptr;
  QTimer* Timer1 = nullptr;  // the reply time
  QTimer* Timer2 = nullptr;  // the pause between synchronisation tries
  QTimer* tmrPoll = nullptr; // reads the port while a reply is awaited
};

} // namespace ondrel
