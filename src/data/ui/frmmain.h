#pragma once

#include "data/preferences.h"
#include "link/comm.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QTimer>

#include <functional>
#include <memory>
#include <vector>

class QAction;
class QStackedWidget;
class QTabBar;
class QToolBar;

namespace ondrel {

class DeviceSlot;

// The application window. It owns the port layer, the device slots (each with everything per
// slot and per channel), the menus and toolbar, and the window-wide preferences and flags.
class frmMain : public QMainWindow {
  Q_OBJECT

public:
  static constexpr int kMaxSlots = 10;

  explicit frmMain(std::unique_ptr<PortProvider> ports = std::make_unique<SystemPorts>(),
                   QWidget* parent = nullptr);
  ~frmMain() override;

  // "Ondrel Tester Software V1.0.0"
  static QString caption();

  Comm& comm() { return m_comm; }
  DeviceSlot& slot(int index) const { return *m_slots.at(static_cast<size_t>(index)); }
  int slotCount() const { return static_cast<int>(m_slots.size()); }
  int SelectedSlot() const { return m_selectedSlot; }
  void selectSlot(int index);

  // ---- window-wide state ----------------------------------------------------------------------
  Preferences prefs;
  float ResDrop = 0.0f;         // voltage drop the resistance test waits for; 0 = none yet
  bool calibrationOpen = false; // the calibration window is open
  bool UsbWinOpen = false;      // the USB trigger window is open
  QString versionText() const { return m_versionText; }
  void setVersionText(const QString& text) { m_versionText = text; }
  // Row 0 of the selected slot's info list: " date time  version".
  void showClock();

  // ---- called by the slots --------------------------------------------------------------------
  // A slot's device was identified: "Add Device" is offered while fewer than ten slots exist.
  void slotConnected();
  void ShowNotice(const QString& text);
  void SetCalibButtons();
  // The big readout and USB meter windows follow the selected slot's channel 0.
  void updateDisplayWindows(DeviceSlot& slot, int channel);

  // ---- messages -------------------------------------------------------------------------------
  // A message box titled "Prompt"; the answer is the button pressed. `ask` shows it, and tests
  // replace it to answer without a user.
  using Asker = std::function<QMessageBox::StandardButton(
      QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;
  Asker ask;
  QMessageBox::StandardButton MsgBox(QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);

  // ---- commands of the selected slot ----------------------------------------------------------
  // "Search Comm Port": probes the ports for the selected slot unless it is connected.
  void SearchCommPort();
  // One calibration value; a failure reaches the caller (the calibration window).
  void SendCalibration(int point, int value);
  // Starts a resistance measurement with the current text of the resistance window (mA).
  void SendResistanceTest(const QString& currentText);

  // ---- menus and toolbar ----------------------------------------------------------------------
  QAction* action(const QString& name) const; // by objectName, e.g. "menuRes" or "com"

  QAction *menuOpenPara = nullptr, *menuSavePara = nullptr, *menuOpenData = nullptr,
          *menuSaveData = nullptr, *menuSaveCurve = nullptr, *menuSavePic = nullptr,
          *menuExit = nullptr;
  QAction *menuAddDev = nullptr, *menuAdj = nullptr, *menuUpdate = nullptr;
  QAction *menuClear = nullptr, *menuSearch = nullptr, *menuRes = nullptr, *menuUsb = nullptr;
  QAction *menuTitle = nullptr, *menuCurve = nullptr, *menuDisp = nullptr, *menuTemp = nullptr,
          *menuSoft = nullptr;
  QAction *menuHelp = nullptr, *menuAbout = nullptr;

  QTabBar* tabDev = nullptr;

private:
  void buildMenus();
  void buildToolbar();
  void addSlot();
  void toolbarAction(const QString& key, const std::function<void()>& action);

  Comm m_comm;
  std::vector<std::unique_ptr<DeviceSlot>> m_slots;
  int m_selectedSlot = 0;
  QString m_versionText;
  QStackedWidget* m_frames = nullptr;
  QToolBar* m_toolbar = nullptr;
  QTimer Timer1; // the info list's clock row
};

} // namespace ondrel
