#pragma once

#include "data/preferences.h"
#include "data/settings.h"
#include "link/comm.h"
#include "test/ui/messages.h"

#include <QMainWindow>
#include <QMessageBox>
#include <QPointer>
#include <QTimer>

#include <array>
#include <functional>
#include <memory>
#include <vector>

class QAction;
class QStackedWidget;
class QTabBar;
class QToolBar;
class QUrl;

class QLabel;

namespace ondrel {

class WindowTelemetry;

class DeviceSlot;
class frmAbout;
class frmData;
class frmHistory;
class HistoryWriter;
class frmDisp;
class frmMeter;
class frmMsg;
class frmUSB;

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
  // The settings file, "ondrel.ini" in the program folder.
  QString settingsFile() const { return m_settingsFile; }
  WindowTelemetry& telemetry() { return *m_telemetry; }
  // The axis ranges of the settings (start-up, "Coordinate Settings") that added slots take.
  AxisRanges& axisRanges() { return m_ranges; }
  // The tick of "Temprature Data" and the preference behind it (nothing written).
  void setTemperatureTicked(bool on);
  // Messages of the coordinate dialog ("提示"); empty: the dialog's own box. Tests replace it.
  std::function<void(const QString& text)> tellCoordinateError;
  // The device tabs; a sub-window that works on the selected slot locks them while it is open.
  void setSlotTabsEnabled(bool on);
  // The calibration window is open: reports do not enable its menu entry meanwhile.
  bool calibrationOpen() const { return m_calibrationOpen; }
  void setCalibrationOpen(bool open);
  QString versionText() const { return m_versionText; }
  // The USB trigger window is open (the meter window then hides the data-line voltages).
  bool UsbWinOpen() const { return !m_usbWin.isNull(); }
  frmUSB* usbWindow() const;
  // Row 0 of the selected slot's info list: " date time  version".
  void showClock();
  // The notice window with `text`, when the "MSG" preference is on.
  void ShowNotice(const QString& text);
  frmMsg* noticeWindow() const { return m_msg; }
  // The big readout and USB meter windows, null until first needed (the meter's pointer is the
  // window-wide "meter window loaded" flag).
  frmDisp* dispWindow() const { return m_disp; }
  frmMeter* meterWindow() const { return m_meter; }
  // Puts the notification-area icon up with its tip and click action; false when the desktop has
  // none. Replaceable in tests.
  std::function<bool(const QString& tip, std::function<void()> onClick)> addTrayIcon;
  // Opens a web address or file in the default browser; false when nothing could. Replaceable in
  // tests.
  std::function<bool(const QUrl&)> openUrl;
  // A note with its own title and an OK button (the port-permission note). Replaceable in tests.
  std::function<void(const QString& title, const QString& text)> tellNotice;
  // After a port search: the one-time note on how to get permission for the serial ports, when
  // it is due (portAccessNoticeDue); answers whether it was shown.
  bool explainPortAccessIfDue(const ProbeSummary& probe);
  // "Open Data": the data viewer (after its curve-type question), or the open one to the front.
  void OpenData();
  frmData* dataViewer() const;
  // "Test History": opens (or raises) the window; nothing while the window closes.
  frmHistory* showHistory();
  frmHistory* historyWindow() const;
  // The writer of the test history (a thread of its own).
  HistoryWriter& history() { return *m_history; }
  // Opens the data viewer (as "Open Data" does) and loads the files into it.
  void openDataFiles(const QStringList& files);
  // A folder chooser: the folder, "" when cancelled. Replaceable in tests.
  std::function<QString(const QString& title)> chooseFolder;
  // The viewer's curve-type question: true for capacity on the X axis. Replaceable in tests.
  std::function<bool()> chooseCurveType;
  // "Help": the program's user guide in the default browser.
  void OpenHelp();
  // "About": the About box (made on first use, centred).
  void ShowAbout();
  frmAbout* aboutWindow() const;
  // A left click on the notification icon: the window back, the big readout hidden.
  void trayIconClicked();

  // ---- messages -------------------------------------------------------------------------------
  // A message box titled "Prompt"; the answer is the button pressed. `ask` shows it, and tests
  // replace it to answer without a user.
  MessageAsker ask;
  QMessageBox::StandardButton MsgBox(QMessageBox::Icon icon, const QString& text,
                                     QMessageBox::StandardButtons buttons = QMessageBox::Ok);
  // MsgBox as an asker for the slots and windows this window makes: it reaches `ask` as it is
  // when a box is shown, so a replaced `ask` answers for them too.
  MessageAsker msgBoxAsker();

  // The open (save = false) or save dialog of FileDialog, owned by the window: the chosen path, or
  // "" when cancelled. Tests replace it to answer without a user.
  using FileChooser = std::function<QString(bool save, const QString& title, const QString& filter,
                                            const QString& name, const QString& defaultExt)>;
  FileChooser chooseFile;
  // An input box titled "Prompt": the typed text, "" when cancelled. Replaceable in tests.
  std::function<QString(const QString& prompt, const QString& text)> askText;
  // The colour chooser (ChooseColour): 0x00BBGGRR, or -1 when cancelled. Replaceable in tests.
  std::function<qint64()> chooseColour;

  // ---- commands of the selected slot ----------------------------------------------------------
  // "Search Comm Port": probes the ports for the selected slot unless it is connected.
  void SearchCommPort();
  // One calibration value for the selected slot's panel channel; a failure reaches the caller
  // (the calibration window).
  void SendCalibration(int point, int value);
  // Starts a resistance measurement on the selected slot's panel channel with the current text
  // of the resistance window (mA).
  void SendResistanceTest(const QString& currentText);
  // "Quick Charger Test": opens the USB trigger window for the selected slot when it holds a USB
  // meter (else offers the connected meter, or says why not), or brings the open one to the
  // front. A window open for another meter is closed first.
  void showUsbWindow();
  // The slot the USB trigger window drives (meaningful while it is open).
  int usbWindowSlot() const { return m_usbSlot; }

  // "Firmware Update": the update window for the selected slot, which must be disconnected. The
  // slot tabs are disabled while it is open, and this waits (events running) until it closes.
  void FirmwareUpdate();

  // A menu or toolbar entry by objectName, e.g. "menuRes" or "com".
  QAction* action(const QString& name) const;

protected:
  void closeEvent(QCloseEvent* event) override;
  void changeEvent(QEvent* event) override;

private:
  void buildMenus();
  // The entries a running test locks follow the selected slot: what its buttons last said,
  // whichever slot's buttons changed.
  void refreshRunMenus();
  // Model-specific entries that follow the selected slot ("Quick Charger Test").
  void showModelMenus();
  bool isUsbMeterSlot(int index) const;
  // "Device2 KM001 (COM3)": how a message or caption names a slot.
  QString slotCaption(int index) const;
  // Closing: the clocks stopped, running channels stopped when the user agrees, every slot
  // disconnected and every other window of the program closed.
  void shutDown();
  void buildToolbar();
  void addSlot();
  // Lists the slot's ports and selects the one its settings key ("PORT" & slot + 1) names.
  void selectSavedPort(DeviceSlot& slot);
  // Reads the settings file into the preferences (start-up).
  void ReadSettings();
  // The window's size within the screen, centred on it.
  void placeOnScreen();
  void connectSlot(DeviceSlot& slot);
  void toolbarAction(const QString& key, const std::function<void()>& action);
  void toolbarCommand(const QString& key);
  // The info rows of `slot` describe the selected slot, whichever slot showed a sample.
  void showInfoRows(DeviceSlot& slot, int channel);
  // The big readout and USB meter windows follow the selected slot's channel 0.
  void updateDisplayWindows(DeviceSlot& slot, int channel);

  Comm m_comm;
  Preferences m_prefs;
  QString m_settingsFile;
  AxisRanges m_ranges;
  std::vector<std::unique_ptr<DeviceSlot>> m_slots;
  int m_selectedSlot = 0;
  bool m_calibrationOpen = false; // the calibration window is open
  bool m_updateOpen = false;      // the firmware-update window is open
  QPointer<frmUSB> m_usbWin;
  int m_usbSlot = -1;
  int m_meterSlot = -1; // the slot whose reports loaded the meter window
  // Minimising hid the meter window ("DISP" off): restoring shows it again.
  bool m_meterHiddenByMinimise = false;
  QString m_versionText;
  QTabBar* tabDev = nullptr;
  QStackedWidget* m_frames = nullptr;
  QToolBar* m_toolbar = nullptr;
  QTimer Timer1; // the info list's clock row
  bool m_closing = false;
  frmMsg* m_msg = nullptr; // made on first use
  frmDisp* m_disp = nullptr;
  frmMeter* m_meter = nullptr;
  QPointer<frmAbout> m_about;
  QPointer<frmData> m_viewer;
  std::unique_ptr<HistoryWriter> m_history;
  QPointer<frmHistory> m_historyWin;
  bool m_askingCurveType = false; // "Open Data" waits for the curve-type question
  bool m_minimised = false;       // the big readout may be up because the window is minimised
  bool m_trayShown = false;
  bool m_portNoticeShown = false; // in this run, also when the settings file cannot be written
  void windowMinimised();
  void windowRestored();
  // Per slot, what its buttons last said of the entries a running test locks.
  struct RunMenus {
    bool enabled = true;
    bool parameterFiles = false;
  };
  std::array<RunMenus, kMaxSlots> m_runMenus{};

  QAction *menuOpenPara = nullptr, *menuSavePara = nullptr, *menuOpenData = nullptr,
          *menuSaveData = nullptr, *menuSaveCurve = nullptr, *menuSavePic = nullptr, *menuExport = nullptr,
          *menuExit = nullptr;
  QAction *menuAddDev = nullptr, *menuAdj = nullptr, *menuUpdate = nullptr;
  QAction *menuClear = nullptr, *menuSearch = nullptr, *menuRes = nullptr, *menuUsb = nullptr;
  QAction *menuTitle = nullptr, *menuCurve = nullptr, *menuDisp = nullptr, *menuTemp = nullptr,
          *menuSoft = nullptr, *menuNet = nullptr;
  // Live values and events on a broker; its state in the status bar.
  WindowTelemetry* m_telemetry = nullptr;
  QLabel* m_mqttStatus = nullptr;
  QAction *menuHelp = nullptr, *menuAbout = nullptr;
  QAction *menuHistory = nullptr, *menuImport = nullptr, *menuMatch = nullptr;
};

} // namespace ondrel
