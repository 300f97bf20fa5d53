#pragma once

#include "data/preferences.h"
#include "link/comm.h"
#include "test/ui/messages.h"

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
  Preferences& prefs() { return m_prefs; }
  // The device tabs; a sub-window that works on the selected slot locks them while it is open.
  void setSlotTabsEnabled(bool on);
  // The calibration window is open: reports do not enable its menu entry meanwhile.
  bool calibrationOpen() const { return m_calibrationOpen; }
  void setCalibrationOpen(bool open);
  QString versionText() const { return m_versionText; }
  // Row 0 of the selected slot's info list: " date time  version".
  void showClock();
  void ShowNotice(const QString& text);

  // ---- messages -------------------------------------------------------------------------------
  // A message box titled "Prompt"; the answer is the button pressed. `ask` shows it, and tests
  // replace it to answer without a user.
  MessageAsker ask;
  QMessageBox::StandardButton MsgBox(QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);

  // The open (save = false) or save dialog of FileDialog, owned by the window: the chosen path, or
  // "" when cancelled. Tests replace it to answer without a user.
  using FileChooser = std::function<QString(bool save, const QString& title, const QString& filter,
                                            const QString& name, const QString& defaultExt)>;
  FileChooser chooseFile;

  // ---- commands of the selected slot ----------------------------------------------------------
  // "Search Comm Port": probes the ports for the selected slot unless it is connected.
  void SearchCommPort();
  // One calibration value for the selected slot's panel channel; a failure reaches the caller
  // (the calibration window).
  void SendCalibration(int point, int value);
  // Starts a resistance measurement on the selected slot's panel channel with the current text
  // of the resistance window (mA).
  void SendResistanceTest(const QString& currentText);

  // "Firmware Update": the update window for the selected slot, which must be disconnected. The
  // slot tabs are disabled while it is open, and this waits (events running) until it closes.
  void FirmwareUpdate();

  // A menu or toolbar entry by objectName, e.g. "menuRes" or "com".
  QAction* action(const QString& name) const;

private:
  void buildMenus();
  void buildToolbar();
  void addSlot();
  void connectSlot(DeviceSlot& slot);
  void toolbarAction(const QString& key, const std::function<void()>& action);
  // The info rows of `slot` describe the selected slot, whichever slot showed a sample.
  void showInfoRows(DeviceSlot& slot, int channel);
  // The big readout and USB meter windows follow the selected slot's channel 0.
  void updateDisplayWindows(DeviceSlot& slot, int channel);

  Comm m_comm;
  Preferences m_prefs;
  std::vector<std::unique_ptr<DeviceSlot>> m_slots;
  int m_selectedSlot = 0;
  bool m_calibrationOpen = false; // the calibration window is open
  bool m_updateOpen = false;      // the firmware-update window is open
  QString m_versionText;
  QTabBar* tabDev = nullptr;
  QStackedWidget* m_frames = nullptr;
  QToolBar* m_toolbar = nullptr;
  QTimer Timer1; // the info list's clock row

  QAction *menuOpenPara = nullptr, *menuSavePara = nullptr, *menuOpenData = nullptr,
          *menuSaveData = nullptr, *menuSaveCurve = nullptr, *menuSavePic = nullptr,
          *menuExit = nullptr;
  QAction *menuAddDev = nullptr, *menuAdj = nullptr, *menuUpdate = nullptr;
  QAction *menuClear = nullptr, *menuSearch = nullptr, *menuRes = nullptr, *menuUsb = nullptr;
  QAction *menuTitle = nullptr, *menuCurve = nullptr, *menuDisp = nullptr, *menuTemp = nullptr,
          *menuSoft = nullptr;
  QAction *menuHelp = nullptr, *menuAbout = nullptr;
};

} // namespace ondrel
