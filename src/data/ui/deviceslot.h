#pragma once

#include "data/channeldata.h"
#include "data/liveupdate.h"
#include "data/settings.h"
#include "data/slotlayout.h"
#include "data/ui/slotview.h"
#include "link/comm.h"
#include "link/frame.h"
#include "link/modeltable.h"
#include "link/receiver.h"
#include "link/reportdecode.h"
#include "test/testclock.h"
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
  const ModelParams& params() const { return m_params; }
  const Preferences& prefs() const override { return m_prefs; }
  // The third curve shows the temperature: the model has a sensor and "Temprature Data" is on.
  bool temperatureShown() const override;
  const ChannelData& ch(int c) const { return m_ch.at(static_cast<size_t>(c)); }
  bool connecting() const { return m_tmrConn.isActive(); }
  bool portOpen() const;
  bool dev2S() const;
  // The channel the panel's channel choice names (0 when "All Channel" is chosen).
  int panelChannel() const override;
  bool AutoRunning() const override { return m_auto.AutoRunning(); }
  bool StepRunning() const override { return m_step.StepRunning(); }
  qint32 infoReportCount() const override { return InfoCount; }
  bool secondTimerRunning(int c) const { return m_second.at(static_cast<size_t>(c)).isActive(); }
  QString gridText(int row, int col) const override { return m_view.gridText(row, col); }
  QString infoRow(int row) const override { return m_view.infoRow(row); }
  // The window writes the clock row and the info rows of the selected slot.
  void setInfoRow(int row, const QString& text) override { m_view.setInfoRow(row, text); }
  SingleTestController& singleTest() override { return m_single; }
  AutoTestController& autoTest() { return m_auto; }
  StepController& stepTest() { return m_step; }
  // The file dialog of the slot's own commands (auto-test result, step files).
  void setFileChooser(FileChooser choose) { m_chooseFile = std::move(choose); }
  // The USB trigger window's view of the slot.
  QString voltageText(int c) const override;
  void showVoltageSteps() override;

  // The graph and panel look of the preferences (slot 0 at start-up), or of slot `from` (an added
  // slot).
  void applyLook(const Preferences& prefs, const AxisRanges& ranges) {
    m_view.applyLook(prefs, ranges);
  }
  void copyLook(const DeviceSlot& from, const Preferences& prefs, const AxisRanges& ranges) {
    m_view.copyLook(from.m_view, prefs, ranges);
  }
  // The configured axis ranges on the graph (drawn with the next redraw).
  void applyRanges(const AxisRanges& ranges) { m_view.applyRanges(ranges); }

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
  // Stops both channels' test clocks and one-second timers.
  void stopClocks();
  bool anyChannelRunning() const { return m_ch[0].ChnRunning || m_ch[1].ChnRunning; }
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

private:
  friend class DeviceSlotProbe; // tests

  // SlotContext
  int slotIndex() const override { return m_index; }
  const ModelParams& model() const override { return m_params; }
  ChannelData& channel(int c) override { return m_ch.at(static_cast<size_t>(c)); }
  AxisExtremes& axisExtremes() override { return m_axes; }
  qint32& curveEnd() override { return CurveEnd; }
  void setGridText(int row, int col, const QString& text) override {
    m_view.setGridText(row, col, text);
  }
  void redrawGraph() override { scheduleGraphDraw(); }
  void showFullAutoList(const std::vector<QStringList>& rows) override {
    m_view.showFullAutoList(rows);
  }
  void saveDataFileNow(int c) override { saveAtTestEnd(c); }
  QString chooseFile(bool save, const QString& title, const QString& filter, const QString& name,
                     const QString& defaultExt) override {
    return m_chooseFile ? m_chooseFile(save, title, filter, name, defaultExt) : QString();
  }
  QMessageBox::StandardButton ask(QMessageBox::Icon icon, const QString& text,
                                  QMessageBox::StandardButtons buttons) override {
    return m_ask(icon, text, buttons);
  }

  // Report handling.
  ReportAction HandleReport(const RecBody& body);
  ReportAction IdentifyDevice(int channel, const RecBody& body);
  void ApplyInfoReport(int channel, const RecBody& body);
  void finishTest(int channel, bool& endMessage);
  // Identification completed on this report: an idle panel channel gets its idle buttons.
  void showConnected(int channel, bool reportRunning);
  // A running report for an idle channel; false when the test is left for a later report.
  bool adoptTest(int channel, const ReportFields& fields, const RecBody& body);
  // The device's name is known for good (and so its recordings' names).
  bool nameFinal() const;
  // Adopts the tests that waited for the device's name.
  void adoptPendingTests();
  void showReceiving();

  // Live update.
  void UpdateChannel(int channel);
  void ShowCapEnergy(int channel) override;
  // Appends the sample to the channel's recording.
  void recordSample(int channel);
  void FeedCurves(int channel, qint32 x, float volt, float cur, float third);
  void ReplayPoint(int channel, qint32 x, float volt, float cur, float third) override;
  void FitAxes() override;
  void CurveTimer(int channel);
  void ShowTimer(int channel);
  float ThirdValue(int channel) const;
  void scheduleGraphDraw();
  float curveValue(float value, QStringView picture) const;
  void addCurvePoints(int channel, qint32 x, float volt, float cur, float third);
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

  // Test clock.
  void SecondTimerStart(int channel) override;
  void SecondTimerStop(int channel) override;
  void secondTick(int channel);

  int m_index;
  Comm& m_comm;
  const Preferences& m_prefs;
  MessageAsker m_ask;
  FileChooser m_chooseFile;
  SlotView m_view;

  ModelParams m_params;
  std::array<ChannelData, 2> m_ch{};
  std::array<TestClock, 2> m_clock{};
  ReceiveState m_rx;
  qint32 InfoCount = 0; // info reports since Connect; a 100-hour session passes 32 767
  AxisExtremes m_axes;
  qint32 CurveEnd = 0;
  // A channel-0 report of a two-channel model has laid out the panel and graph since Connect.
  bool m_twoChannelLaidOut = false;
  // A running test waits for the device's name before it is adopted.
  std::array<bool, 2> m_adoptPending{};
  // Per channel, the recording whose last line this slot appended whole (empty: none known).
  std::array<QString, 2> m_recordedWhole;

  QTimer m_tmrComm; // 50 ms: the receive step
  QTimer m_tmrConn; // 1000 ms: repeats the connect command while connecting
  QTimer m_tmrRecv; // 500 ms: switches the receive indicator off
  std::array<QTimer, 2> m_second;
  QTimer m_drawTimer;
  bool m_drawPending = false;

  SingleTestController m_single;
  AutoTestController m_auto;
  StepController m_step;
};

} // namespace ondrel
