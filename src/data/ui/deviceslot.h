#pragma once

#include "data/channeldata.h"
#include "data/liveupdate.h"
#include "link/comm.h"
#include "link/frame.h"
#include "link/modeltable.h"
#include "link/receiver.h"
#include "link/reportdecode.h"

#include <QObject>
#include <QTimer>

#include <array>

class QListWidget;
class QTableWidget;
class QWidget;

namespace ondrel {

class CurveGraph;
class DevCtrl;
class frmMain;

// One device slot of the main window: its controls (frame, panel, graph, result grid, info list),
// its timers, its receive state, the model parameters of its device and the data of its two
// channels. The main window owns the slots and reaches a slot's procedures through it; a slot
// reaches window-wide state (preferences, the selected slot, menus) through the window.
class DeviceSlot : public QObject {
  Q_OBJECT

public:
  DeviceSlot(int index, frmMain& window, Comm& comm, QWidget* frameParent);
  ~DeviceSlot() override;

  int index() const { return m_index; }

  // ---- controls -------------------------------------------------------------------------------
  QWidget* frmDev = nullptr;
  DevCtrl* panel = nullptr;
  CurveGraph* graph = nullptr;
  QTableWidget* gridRun = nullptr; // row 0 headings, row 1 channel 0, row 2 channel 1
  QListWidget* lstInfo = nullptr;  // row 0 clock, rows 1-2 run state, rows 3-4 monitor lines
  QTimer tmrComm;                  // 50 ms: the receive step
  QTimer tmrConn;                  // 1000 ms: repeats the connect command while connecting
  QTimer tmrRecv;                  // 500 ms: switches the receive indicator off

  // ---- state ----------------------------------------------------------------------------------
  ModelParams params;
  std::array<ChannelData, 2> ch{};
  ReceiveState rx;
  qint16 InfoCount = 0;
  AxisExtremes axes;
  qint32 CurveEnd = 0;
  bool AutoRunning = false;
  bool StepRunning = false;

  bool connecting() const { return tmrConn.isActive(); }
  QString gridText(int row, int col) const;
  void setGridText(int row, int col, const QString& text);
  QString infoRow(int row) const;
  void setInfoRow(int row, const QString& text);

  // ---- report handling ------------------------------------------------------------------------
  // The receive step: reads the port once and hands every intact report to HandleReport.
  void ReceiveBytes();
  // Feeds bytes as if the port had delivered them (also what ReceiveBytes does with a read).
  ReceiveOutcome receive(const QByteArray& bytes);
  ReportAction HandleReport(const RecBody& body);
  ReportAction IdentifyDevice(int channel, const RecBody& body);
  void ApplyInfoReport(int channel, const RecBody& body);

  // ---- live update ----------------------------------------------------------------------------
  void UpdateChannel(int channel);
  void ShowCapEnergy(int channel);
  void FeedCurves(int channel, qint32 x, float volt, float cur, float third);
  void ReplayPoint(int channel, qint32 x, float volt, float cur, float third);
  void FitAxes();
  void CurveTimer(int channel);
  void ShowTimer(int channel);
  void SetTwoChannelLayout();
  float ThirdValue(int channel) const;
  bool temperatureShown() const;

  // Draws the graph now if a redraw is pending (the tab became visible, or a test wants it).
  void flushGraph();

  // ---- connection ----------------------------------------------------------------------------
  // The panel's Connect button: connects when the panel is disconnected, else disconnects.
  void ConnClick();

  // ---- device commands ------------------------------------------------------------------------
  // Each builds its frame and writes it only while the slot's port is open; a frame that cannot
  // be built is logged under the sender's tag and not sent.
  void SendConnect();
  void SendDisconnect();
  void SendStop(int channel);
  void SendTime(int channel);
  // Start (1), Adjust (7) or Continue (continueOperation) with the panel's texts of the channel;
  // the channel remembers the raw values sent.
  void SendStart(int channel, int operation);
  // These take the channel from the selected slot's panel (automatic and quick-charge tests).
  void RemoteSet(double current);
  void RemoteQC(int code);
  void RemotePE(int code);
  // Writes a frame to the slot's port when one is open.
  void writeFrame(const CmdFrame& frame);

  // ---- test clock -----------------------------------------------------------------------------
  void TestClockOn(int channel) { m_counting[channel] = true; }
  void TestClockOff(int channel) { m_counting[channel] = false; }
  void SecondTimerStart(int channel);
  void SecondTimerStop(int channel);
  bool secondTimerRunning(int channel) const { return m_second[channel].isActive(); }
  void secondTick(int channel);

  // ---- procedures of later features, called at their places in report handling ----------------
  void ShowParams(int channel);
  void ContClick(int channel);
  void InitAutoPage();
  void SetRunButtons(int channel);
  void WriteDataFile(int channel, const QString& path);

signals:
  // The continue action ran for a channel: a test was adopted that this program had not begun.
  void continueRequested(int channel);

private:
  // The mode list reads "No Device" and the parameter boxes their empty values.
  void showNoDeviceModes();
  void Connect();
  void Disconnect();
  Comm::Handle& portHandle();
  void finishTest(int channel, bool& endMessage);
  void adoptTest(int channel, const ReportFields& fields, const RecBody& body);
  void scheduleGraphDraw();
  float curveValue(float value, QStringView picture) const;
  void addCurvePoints(int channel, qint32 x, float volt, float cur, float third);

  int m_index;
  frmMain& m_window;
  Comm& m_comm;
  std::array<QTimer, 2> m_second;
  std::array<bool, 2> m_counting{};
  QTimer m_drawTimer;
  bool m_drawPending = false;
  // A channel-0 report of a two-channel model has laid out the panel and graph since Connect.
  bool m_twoChannelLaidOut = false;
};

} // namespace ondrel
