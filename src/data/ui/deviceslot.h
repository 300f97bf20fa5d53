#pragma once

#include "data/channeldata.h"
#include "data/liveupdate.h"
#include "data/settings.h"
#include "data/slotlayout.h"
#include "data/ui/slotview.h"
#include "history/testrecord.h"
#include "link/comm.h"
#include "link/frame.h"
#include "link/modeltable.h"
#include "link/receiver.h"
#include "link/reportdecode.h"
#include "test/reportstep.h"
#include "test/slotmodel.h"
#include "test/ui/autotest.h"
#include "test/ui/messages.h"
#include "test/ui/singletest.h"
#include "test/ui/slotcontext.h"
#include "test/ui/steptest.h"
#include "test/ui/usbtriggerslot.h"

#include <QImage>
#include <QObject>
#include <QTimer>

#include <array>

namespace ondrel {

struct Preferences;

// What identification means for the window's menus.
struct SlotMenus {
  bool resistanceMenu = false; // "Resistance Test" shown, else hidden
  bool showUsbMenu = false;    // "Quick Charger Test" shown (never hidden here)
  bool showTempMenu = false;   // "Temprature Data" shown (never hidden here)
};

// One device slot: its link (port handle, receive step, connect and receive-indicator timers),
// the model parameters of its device, the data of its two channels, its widgets (SlotView) and
// the controllers of its test features. It handles the device's reports and sends its commands.
// It knows nothing of the main window: what a report means for the window (menus, notices, the
// resistance window) leaves as a signal, and what it needs of the window (preferences, questions
// to the user) it is given when it is made.
class DeviceSlot : public QObject, private SlotContext, public UsbTriggerSlot {
  Q_OBJECT

public:
  DeviceSlot(int index, Comm& comm, const Preferences& prefs, MessageAsker ask,
             QWidget* frameParent);
  ~DeviceSlot() override;

  int index() const { return m_index; }

  // ---- what the window and the tests may read -------------------------------------------------
  DevCtrl& panel() override { return *m_view.panel; }
  const DevCtrl& panel() const { return *m_view.panel; }
  CurveGraph& graph() override { return *m_view.graph; }
  const CurveGraph& graph() const { return *m_view.graph; }
  QWidget* frame() const { return m_view.frmDev; }
  const ModelParams& params() const { return m_model.params; }
  // What the slot knows, free of widgets.
  const SlotModel& state() const { return m_model; }
  // The end-of-test data file last written for the channel (empty: none).
  const QString& lastDataFile(int c) const { return m_lastDataFile.at(size_t(c)); }
  // The device name of a channel's row.
  const QString& deviceName(int c) const { return m_model.at(c).row.device; }
  const Preferences& prefs() const override { return m_prefs; }
  // The third curve shows the temperature: the model has a sensor and "Temprature Data" is on.
  bool temperatureShown() const override;
  const ChannelData& ch(int c) const { return m_model.at(c).data; }
  bool connecting() const { return m_model.connecting(); }
  // Connect was pressed and the link is open (connecting or identified).
  bool connected() const { return m_model.connected(); }
  bool portOpen() const;
  bool dev2S() const;
  // The channel the panel's channel choice names (0 when "All Channel" is chosen).
  int panelChannel() const override;
  bool AutoRunning() const override { return m_auto.AutoRunning(); }
  bool StepRunning() const override { return m_step.StepRunning(); }
  bool StepProgramOn() const override { return m_step.StepOn(); }
  qint32 infoReportCount() const { return m_model.InfoCount; }
  // The channel's curve clock runs on the slot's one-second tick.
  bool secondTimerRunning(int c) const { return m_tick.isActive() && m_model.at(c).curveClock; }
  // What the grid and the info list show.
  QString gridText(int row, int col) const { return m_view.gridText(row, col); }
  QString infoRow(int row) const { return m_view.infoRow(row); }
  // The window writes the clock row and the info rows of the selected slot.
  void setInfoRow(int row, const QString& text) { m_view.setInfoRow(row, text); }
  SingleTestController& singleTest() override { return m_single; }
  AutoTestController& autoTest() { return m_auto; }
  StepController& stepTest() { return m_step; }
  // The file dialog of the slot's own commands (auto-test result, step files).
  void setFileChooser(FileChooser choose) { m_chooseFile = std::move(choose); }
  // The USB trigger window's view of the slot.
  QString voltageText(int c) const override;
  // The current readout's text of a channel.
  QString currentText(int c) const { return m_model.at(c).view.curText; }
  void showVoltageSteps() override;

  // The graph and panel look of the preferences (slot 0 at start-up), or of slot `from` (an added
  // slot).
  void applyLook(const Preferences& prefs, const AxisRanges& ranges) {
    m_view.applyLook(prefs, ranges);
    takeGraphRanges();
  }
  void copyLook(const DeviceSlot& from, const Preferences& prefs, const AxisRanges& ranges) {
    m_view.copyLook(from.m_view, prefs, ranges);
    takeGraphRanges();
  }
  // The configured axis ranges on the graph (drawn with the next redraw).
  void applyRanges(const AxisRanges& ranges) {
    m_view.applyRanges(ranges);
    takeGraphRanges();
  }

  // ---- the receive step -----------------------------------------------------------------------
  // Reads the port once and hands every intact report to report handling.
  void ReceiveBytes();
  // Feeds bytes as if the port had delivered them (also what ReceiveBytes does with a read).
  ReceiveOutcome receive(const QByteArray& bytes);

  // ---- user actions ---------------------------------------------------------------------------
  // The panel's Connect button: connects when the panel is disconnected, else disconnects.
  void ConnClick();
  // Lists the ports for this slot unless it is connected; answers whether it listed them.
  bool SearchPorts();
  // What the last port search met (the first-start note on port permissions reads it).
  const ProbeSummary& lastProbe() const { return m_lastProbe; }
  // Selects the port "COM" + n when the port list offers it.
  void selectPort(int n);
  // Draws the graph now if a redraw is pending (the tab became visible, or a test wants it).
  void flushGraph();
  // "Clear Curve": empty graph, curve clocks, start points, axis extremes and curve end.
  void ClearCurves();
  // A new colour for a channel's voltage or current curve, its grid swatch and, from channel 0's
  // curves, the panel's readout colours.
  void setCurveColour(int channel, Curve curve, quint32 colour);
  // The graph, or the graph with the result grid below it, rendered from the widgets (so a
  // covered or minimised window gives the same picture as a visible one).
  QImage graphPicture(bool withGrid);

  // ---- closing --------------------------------------------------------------------------------
  // Ends both channels' clocks.
  void stopClocks();
  bool anyChannelRunning() const { return m_model.anyRunning(); }
  // Stop for every running channel; channel 1 only after two rounds of pending events, and only
  // if the slot survived them.
  void stopRunningChannels();
  // The disconnect command, then the port closed and the receive timers stopped.
  void closeLink();

  // ---- device commands ------------------------------------------------------------------------
  // Each sends only while the slot's port is open, and then builds its frame; a frame that
  // cannot be built is logged under the sender's tag and not sent.
  void SendConnect();
  void SendDisconnect();
  void SendStop(int c) override;
  // A resistance test of channel c answered: its history row.
  void recordResistance(int c, double mohm, int currentMa);
  void SendTime(int c);
  // Start (1), Adjust (7) or Continue (continueOperation) with the panel's texts of the channel;
  // the channel remembers the raw values sent. False when the frame could not be built.
  bool SendStart(int c, int operation) override;
  // Automatic and quick-charge tests: a new current, a QC request, a pump-express request.
  void RemoteSet(int c, double current) override;
  void RemoteQC(int c, int code) override;
  void RemotePE(int c, int code) override;
  // One calibration value; a failure reaches the caller (the calibration window).
  void SendCalibration(int c, int point, int value);
  // A resistance measurement at the given current text (mA).
  void SendResistanceTest(int c, const QString& currentText);

signals:
  // Every report that passed its checks.
  void deviceHeard();
  // Identification set the model-dependent menus.
  void identified(const ondrel::SlotMenus& menus);
  // The device is identified and the slot no longer connecting.
  void deviceConnected();
  // The port was opened by Connect (true) or closed by Disconnect (false).
  void connectionChanged(bool open);
  // The calibration window's buttons for an idle or running channel.
  void calibButtonsDue(bool idle);
  // The main menus that a running test locks: enabled or not, and the parameter-file entries.
  void mainMenusDue(bool enabled, bool parameterFiles);
  // A test runs but is not recorded (or no longer): the user should know why.
  void recordingProblem(int channel, const QString& reason);
  // The automatic data file of a finished test could not be written, for `reason`; `recording`
  // is the test's recording file that still holds its data (empty when it could not be written
  // either).
  void dataFileNotWritten(int channel, const QString& reason, const QString& recording);
  // The device ended a test; `notice` is the text to show, empty when none is due.
  void testFinished(int channel, const QString& notice);
  // An idle report of `channel` carried a resistance-test voltage drop.
  void resistanceDropSeen(int channel, float drop);
  // A sample reached the readouts: the info rows are due (they describe the selected slot).
  void sampleShown(int channel);
  // A sample was shown everywhere in the slot (the window's big readout and meter follow it).
  void channelUpdated(int channel);
  // The continue action ran for a channel: a test was adopted that this program had not begun.
  void continueRequested(int channel);
  // The user pressed a channel's curve colour swatch in the result grid.
  void swatchPressed(int channel, ondrel::Curve curve);
  // A test ended (by the device, a Stop, a program's or auto test's end, a lost link) or a
  // resistance test answered: its row for the test history.
  void testRecorded(const ondrel::TestRecord& row);

private:
  friend class DeviceSlotProbe; // tests

  // SlotContext
  int slotIndex() const override { return m_index; }
  SlotModel& slotModel() override { return m_model; }
  void showRow(int c) override;
  void showMonitor(int c) override;
  void showClocks() override;
  void takeTypedTexts(int c) override;
  void redrawGraph() override { scheduleGraphDraw(); }
  void showFullAutoList(const std::vector<QStringList>& rows) override {
    m_view.showFullAutoList(rows);
  }
  void saveDataFileNow(int c) override { saveAtTestEnd(c); }
  void noteUserStop(int c) override { m_userStop.at(size_t(c)) = true; }
  void programEnded() override;
  QString chooseFile(bool save, const QString& title, const QString& filter, const QString& name,
                     const QString& defaultExt) override {
    return m_chooseFile ? m_chooseFile(save, title, filter, name, defaultExt) : QString();
  }
  QMessageBox::StandardButton ask(QMessageBox::Icon icon, const QString& text,
                                  QMessageBox::StandardButtons buttons) override {
    return m_ask(icon, text, buttons);
  }

  // Report handling: one step over the model, its effects applied as they come.
  ReportAction HandleReport(const RecBody& body);
  void applyEffect(const SlotEffect& e);
  void applyIdentification(const Identification& id);
  void showModes();
  void showPoints(int channel, int count);
  void showReceiving();
  // The configured ranges the graph shows, as the model's start for its axes.
  void takeGraphRanges();
  // The "No Device" look, and the model without a device.
  void showNoDevice();

  // Live update.
  void ShowCapEnergy(int channel) override;
  // Appends the sample to the channel's recording.
  void recordSample(int channel);
  void drawSeries(int channel) override;
  void addGraphPoint(int channel, const Sample& s, qint32 capX);
  void FitAxes() override;
  void showGraphRanges();
  void ShowTimer(int channel);
  void scheduleGraphDraw();
  // The automatic data file of a channel whose test ended.
  void saveAtTestEnd(int channel);

  // Connection.
  void Connect();
  void Disconnect();
  Comm::Handle& portHandle();
  const Comm::Handle& portHandle() const;
  // Builds and writes a frame only while the port is open: a closed port sends and logs nothing.
  // Answers false when the frame could not be built (logged by the caller's tag).
  template <typename Build> void sendFrame(const Build& build);
  void writeFrame(const CmdFrame& frame);

  // The slot's one-second tick: the model's clocks, then the time readouts they drive.
  void secondTick();
  void secondTick(int channel);
  void showTestTime(int channel, bool counted);

  int m_index;
  Comm& m_comm;
  ProbeSummary m_lastProbe;
  const Preferences& m_prefs;
  MessageAsker m_ask;
  FileChooser m_chooseFile;
  SlotView m_view;

  SlotModel m_model;
  ReceiveState m_rx;
  // Per channel, the recording whose last line this slot appended whole (empty: none known).
  std::array<QString, 2> m_recordedWhole;
  std::array<QString, 2> m_lastDataFile;
  // Per channel, for the test's history row: its files, whether the user stopped it, whether it
  // ran as an auto test.
  std::array<QString, 2> m_endData, m_endRecording;
  std::array<bool, 2> m_userStop{}, m_autoSeen{};
  void recordTest(int c, const QString& kind, const QString& reason);

  QTimer m_tmrComm; // 50 ms: the receive step
  QTimer m_tmrConn; // 1000 ms: repeats the connect command while connecting
  QTimer m_tmrRecv; // 500 ms: switches the receive indicator off
  QTimer m_tick;    // 1000 ms: the channels' clocks
  QTimer m_drawTimer;
  bool m_drawPending = false;

  SingleTestController m_single;
  AutoTestController m_auto;
  StepController m_step;
};

} // namespace ondrel
