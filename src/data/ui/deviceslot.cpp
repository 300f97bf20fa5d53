#include "data/ui/deviceslot.h"

#include "data/preferences.h"
#include "data/recording.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/support/pendingevents.h"
#include "data/support/programfolder.h"
#include "data/ui/datacommands.h"
#include "link/commands.h"
#include "link/portnames.h"
#include "test/channeltest.h"
#include "test/singletest.h"
#include "test/ui/devctrl.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"
#include "widgets/keyboard.h"

#include <QDateTime>
#include <QPixmap>
#include <QStringBuilder>
#include <QTableWidget>

namespace ondrel {
DeviceSlot::DeviceSlot(int index, Comm& comm, const Preferences& prefs, MessageAsker ask,
                       QWidget* frameParent)
    : m_index(index), m_comm(comm), m_prefs(prefs), m_ask(std::move(ask)),
      m_view(frameParent, prefs), m_single(*this), m_auto(*this), m_step(*this) {
  // The slot starts as its view shows it: no device.
  for (int c = 0; c < 2; ++c) {
    m_model.at(c).row.device = m_view.gridText(gridRow(c), colDevice);
    m_model.at(c).view.voltText = m_view.panel->tVol(c);
    m_model.at(c).view.curText = m_view.panel->tCur(c);
  }
  takeGraphRanges();

  m_tmrComm.setInterval(50);
  m_tmrConn.setInterval(1000);
  m_tmrRecv.setInterval(500);
  connect(&m_tmrComm, &QTimer::timeout, this, &DeviceSlot::ReceiveBytes);
  connect(&m_tmrConn, &QTimer::timeout, this, &DeviceSlot::SendConnect);
  connect(&m_tmrRecv, &QTimer::timeout, this, [this] {
    panel().setLedRecv(false);
    m_tmrRecv.stop();
  });
  m_tick.setInterval(1000);
  connect(&m_tick, &QTimer::timeout, this, qOverload<>(&DeviceSlot::secondTick));
  DevCtrl* p = m_view.panel;
  connect(p, &DevCtrl::ConnClick, this, &DeviceSlot::ConnClick);
  // The panel's one-second timers only refresh what the slot's clock counted.
  connect(p, &DevCtrl::ShowTimer, this, &DeviceSlot::ShowTimer);
  connect(p, &DevCtrl::RunClick, &m_single, &SingleTestController::RunClick);
  connect(p, &DevCtrl::StopClick, this, [this](int c) { noteUserStop(c); });
  connect(p, &DevCtrl::StopClick, &m_single, &SingleTestController::StopClick);
  connect(p, &DevCtrl::SetClick, &m_single, &SingleTestController::SetClick);
  connect(p, &DevCtrl::ContClick, &m_single, &SingleTestController::ContClick);
  connect(p, &DevCtrl::MonitorClick, &m_single, &SingleTestController::MonitorClick);
  connect(p, &DevCtrl::ModeClick, &m_single, &SingleTestController::ModeClick);
  connect(p, &DevCtrl::SvalChange, &m_single, &SingleTestController::SvalChange);
  connect(p, &DevCtrl::SlmtChange, &m_single, &SingleTestController::SlmtChange);
  connect(p, &DevCtrl::StimChange, &m_single, &SingleTestController::StimChange);
  connect(p, &DevCtrl::VolAutoChange, &m_single, &SingleTestController::VolAutoChange);
  connect(p, &DevCtrl::StartAutoClick, &m_auto, &AutoTestController::StartAutoClick);
  connect(p, &DevCtrl::AutoTimer, &m_auto, &AutoTestController::AutoTimer);
  connect(p, &DevCtrl::SaveClick, &m_auto, &AutoTestController::SaveClick);
  connect(p, &DevCtrl::AutoRunDblClick, &m_auto, &AutoTestController::AutoRunDblClick);
  m_step.connectPanel();
  connect(&m_single, &SingleTestController::continueRequested, this,
          &DeviceSlot::continueRequested);
  connect(&m_single, &SingleTestController::mainMenusDue, this, &DeviceSlot::mainMenusDue);
  connect(&m_single, &SingleTestController::calibButtonsDue, this, &DeviceSlot::calibButtonsDue);
  connect(&m_single, &SingleTestController::recordingProblem, this, &DeviceSlot::recordingProblem);

  connect(m_view.gridRun, &QTableWidget::cellPressed, this, [this](int row, int column) {
    const SwatchTarget target = swatchAt(row, column, dev2S());
    if (target.valid())
      emit swatchPressed(target.channel, target.curve);
  });
  // A swatch cell reached with the arrow keys opens the chooser as a click does.
  onCellKeys(*m_view.gridRun, {Qt::Key_Space, Qt::Key_Return, Qt::Key_Enter},
             [this](int row, int column) {
               const SwatchTarget target = swatchAt(row, column, dev2S());
               if (target.valid())
                 emit swatchPressed(target.channel, target.curve);
               return target.valid();
             });

  // Curve redraws are coalesced: a burst of reports shares one picture, and a graph that cannot
  // be seen draws when its tab is shown.
  m_drawTimer.setSingleShot(true);
  m_drawTimer.setInterval(30);
  connect(&m_drawTimer, &QTimer::timeout, this, &DeviceSlot::flushGraph);
}

DeviceSlot::~DeviceSlot() = default;

bool DeviceSlot::portOpen() const {
  return portHandle() != 0;
}

bool DeviceSlot::dev2S() const {
  return m_model.Dev2S;
}

int DeviceSlot::panelChannel() const {
  return m_view.panel->chn().toInt();
}

QString DeviceSlot::voltageText(int c) const {
  return m_model.at(c).view.voltText;
}

void DeviceSlot::showVoltageSteps() {
  graph().setYStep(true);
  scheduleGraphDraw();
}

// ---- receive step ------------------------------------------------------------------------------

void DeviceSlot::ReceiveBytes() {
  const QByteArray bytes = m_comm.ReadPort(portHandle());
  if (!bytes.isEmpty())
    receive(bytes);
}

ReceiveOutcome DeviceSlot::receive(const QByteArray& bytes) {
  const ReceiveOutcome outcome =
      m_rx.ReceiveBytes(bytes, [this](const RecBody& body) { return HandleReport(body); });
  if (outcome.sawStart)
    showReceiving();
  return outcome;
}

void DeviceSlot::showReceiving() {
  panel().setLedRecv(true);
  // Enabling a running timer does not restart it: while reports keep coming the lamp goes out
  // every 500 ms and flashes, instead of staying lit.
  if (!m_tmrRecv.isActive())
    m_tmrRecv.start();
}

// ---- report handling ---------------------------------------------------------------------------

ReportAction DeviceSlot::HandleReport(const RecBody& body) {
  // What the user typed stays the boxes' own; a running test's mode column repeats it.
  if (m_model.anyRunning())
    for (int c = 0; c < (dev2S() ? 2 : 1); ++c)
      if (ch(c).ChnRunning)
        takeTypedTexts(c);
  ReportInputs in;
  in.ms = QDateTime::currentMSecsSinceEpoch();
  in.shownChannel = panelChannel();
  in.temperatureData = m_prefs.TEMP;
  in.scaleFromValues = m_prefs.SCALE != 0;
  in.saveAtEnd = m_prefs.SAVE;
  in.autoRunning = AutoRunning();
  in.stepRunning = StepRunning();
  ReportStep step(m_model, [this](const SlotEffect& e) { applyEffect(e); });
  return step.take(body, in).action;
}

void DeviceSlot::applyEffect(const SlotEffect& e) {
  const int c = e.channel;
  using Kind = SlotEffect::Kind;
  switch (e.kind) {
  case Kind::Heard:
    emit deviceHeard();
    break;
  case Kind::Connected:
    m_tmrConn.stop();
    emit deviceConnected();
    break;
  case Kind::Identified:
    applyIdentification(*e.id);
    break;
  case Kind::ParamsDue:
    m_single.renderParams(c);
    break;
  case Kind::ButtonsIdle:
    m_single.SetRunButtons(true);
    break;
  case Kind::ButtonsRunning:
    m_single.SetRunButtons(false);
    break;
  case Kind::CalibButtons:
    emit calibButtonsDue(e.flag);
    break;
  case Kind::ModesDue: {
    showModes();
    const int mode = ch(c).ModeNo;
    if (mode >= 0 && mode < m_model.modes.size())
      panel().setTMode(m_model.modes.at(mode));
    break;
  }
  case Kind::NameDue:
    m_view.setDeviceName(e.text);
    break;
  case Kind::RecordingRenamed:
    m_single.deviceRenamed(c);
    break;
  case Kind::ResistanceDrop:
    emit resistanceDropSeen(c, e.value);
    break;
  case Kind::TestAdopted:
    m_single.adoptRunningTest(c);
    break;
  case Kind::ClocksChanged:
    showClocks();
    break;
  case Kind::SampleRejected:
    ErrLog(rejectedSampleTag(m_index, ch(c), m_model.params), QString());
    break;
  case Kind::SampleShown: {
    const ChannelData& d = ch(c);
    panel().setTVol(c, m_model.at(c).view.voltText);
    panel().setTCur(c, m_model.at(c).view.curText);
    panel().setTPwr(c, Format(d.Pwr, powerPicture(d.Pwr)));
    emit sampleShown(c);
    break;
  }
  case Kind::ResultRowDue: {
    const ResultRow& row = m_model.at(c).row;
    m_view.setGridText(gridRow(c), colMode, row.mode);
    m_view.setGridText(gridRow(c), colAvgVolt, row.avgVolt);
    break;
  }
  case Kind::PointsAdded:
    showPoints(c, e.count);
    break;
  case Kind::RecordingLineDue:
    recordSample(c);
    break;
  case Kind::CapEnergyDue: {
    const ResultRow& row = m_model.at(c).row;
    m_view.setGridText(gridRow(c), colCapacity, row.capacity);
    m_view.setGridText(gridRow(c), colEnergy, row.energy);
    break;
  }
  case Kind::ChannelUpdated:
    if (m_auto.AutoRunning())
      m_autoSeen.at(size_t(c)) = true;
    emit channelUpdated(c);
    break;
  case Kind::UpdateFailed:
    ErrLog(failedUpdateTag(m_index, ch(c)), e.text);
    break;
  case Kind::RecordingEndDue:
    if (!ch(c).RecPath.isEmpty() && !ch(c).RecWriteFailed)
      m_endRecording.at(size_t(c)) = ch(c).RecPath + QStringLiteral(".bak");
    m_view.setGridText(gridRow(c), colCutoffVolt, m_model.at(c).row.cutoffVolt);
    m_single.endRecording(c);
    break;
  case Kind::DataFileDue:
    saveAtTestEnd(c);
    break;
  case Kind::TestEnded:
    graph().setSize(true);
    break;
  case Kind::Finished:
    // A step of a running program is no test of its own: the program gets one row at its end.
    if (!m_step.StepOn())
      recordTest(c,
                 m_autoSeen.at(size_t(c)) ? kind::Auto
                 : ch(c).StepCurves       ? kind::Program
                                          : kind::Test,
                 m_userStop.at(size_t(c)) ? endreason::Stopped : endreason::Device);
    emit testFinished(c, e.text);
    break;
  }
}

void DeviceSlot::applyIdentification(const Identification& id) {
  graph().setAxesY1Txt(id.currentAxisCaption);
  panel().setDev2S(id.Dev2S);
  if (id.modes)
    showModes();
  emit identified(SlotMenus{id.resistanceMenu, id.showUsbMenu, id.showTempMenu});
  if (id.tabs) {
    panel().TabClear();
    for (int i = 0; i < id.tabs->size(); ++i)
      panel().TabAdd(i + 1, id.tabs->at(i));
  }
  if (id.rebuildTwoChannelLegends)
    m_view.SetTwoChannelLayout(m_prefs);
  if (id.name)
    m_view.setDeviceName(*id.name);
  if (id.initAutoPage)
    m_auto.InitAutoPage();
}

void DeviceSlot::showModes() {
  panel().ModeClr();
  for (const QString& m : m_model.modes)
    panel().ModeAdd(m);
}

void DeviceSlot::showRow(int c) {
  const ResultRow& row = m_model.at(c).row;
  for (int col = colDevice; col <= colAvgVolt; ++col)
    m_view.setGridText(gridRow(c), col, row.column(col));
}

void DeviceSlot::showMonitor(int c) {
  m_view.setInfoRow(infoMonitorRow(c),
                    m_model.at(c).monitoring ? monitorRow(dev2S(), m_index, c) : QString());
}

void DeviceSlot::showClocks() {
  bool any = false;
  for (int c = 0; c < 2; ++c) {
    const ChannelModel& m = m_model.at(c);
    panel().setTmrShowEnable(c, m.testClock);
    panel().setTmrCurveEnable(c, m.curveClock);
    any = any || m.curveClock;
  }
  if (!any)
    m_tick.stop();
  else if (!m_tick.isActive())
    m_tick.start();
}

void DeviceSlot::takeTypedTexts(int c) {
  const DevCtrl& p = panel();
  ParamView& v = m_model.at(c).view.params;
  v.tSval = p.tSval(c);
  v.tSlmt = p.tSlmt(c);
  m_model.modeText = p.tMode();
}

void DeviceSlot::takeGraphRanges() {
  const CurveGraph& g = graph();
  GraphRanges& r = m_model.ranges;
  r.maxX = g.MaxX();
  for (int a = 0; a < 3; ++a) {
    r.minY[a] = g.MinY(a);
    r.maxY[a] = g.MaxY(a);
  }
}

void DeviceSlot::showNoDevice() {
  m_view.showNoDevice();
  for (int c = 0; c < 2; ++c) {
    ChannelModel& m = m_model.at(c);
    m.row = ResultRow{};
    m.monitoring = false;
  }
  m_model.setDeviceName(m_view.gridText(gridRow(0), colDevice));
  m_model.modes = QStringList{QStringLiteral("No Device")};
  m_model.modeText = QStringLiteral("No Device");
  m_model.buttons = RunButtons::None;
}

// ---- live update -------------------------------------------------------------------------------

bool DeviceSlot::temperatureShown() const {
  return m_model.params.HasTemp && m_prefs.TEMP;
}

void DeviceSlot::recordSample(int c) {
  ChannelData& d = channel(c);
  // The file's end is looked at only when this slot did not write its last line: a recording
  // begun, continued or renamed elsewhere may end inside a line cut short by a crash.
  try {
    appendChannelSample(m_model, c, temperatureShown(), m_recordedWhole[static_cast<size_t>(c)]);
  } catch (...) {
    // A full disk fails every second: said once per test, and the live update goes on.
    if (d.RecWriteFailed)
      return;
    d.RecWriteFailed = true;
    const QString reason = describeCurrentException();
    ErrLog(failedUpdateTag(m_index, d), reason);
    emit recordingProblem(c, reason);
  }
}

void DeviceSlot::ShowCapEnergy(int c) {
  showCapEnergy(m_model, c);
  const ResultRow& row = m_model.at(c).row;
  m_view.setGridText(gridRow(c), colCapacity, row.capacity);
  m_view.setGridText(gridRow(c), colEnergy, row.energy);
}

void DeviceSlot::addGraphPoint(int c, const Sample& s, qint32 capX) {
  CurveGraph& g = graph();
  const float x = static_cast<float>(s.sec);
  g.AddXY(curveIndex(c, Curve::Voltage), x, s.volt);
  g.AddXY(curveIndex(c, Curve::Current), x, s.cur);
  g.AddXY(curveIndex(c, Curve::Third), x, s.third);
  g.AddXY(curveIndex(c, Curve::Capacity), static_cast<float>(capX), s.ah);
  g.AddXY(curveIndex(c, Curve::Energy), static_cast<float>(capX), s.wh);
}

void DeviceSlot::showPoints(int c, int count) {
  logFailures(QStringLiteral("ErrCurve"), [&] {
    const SampleSeries& series = m_model.at(c).series;
    // Capacity and energy are drawn at the report's curve second, the begin point's too.
    const qint32 capX = series.back().sec;
    for (qint32 i = series.size() - count; i < series.size(); ++i)
      addGraphPoint(c, series.at(i), capX);
    showGraphRanges();
    scheduleGraphDraw();
  });
}

void DeviceSlot::drawSeries(int c) {
  logFailures(QStringLiteral("ErrCurve2"), [&] {
    // A replayed point draws its capacity and energy at its own second.
    const SampleSeries& series = m_model.at(c).series;
    for (qint32 i = 0; i < series.size(); ++i)
      addGraphPoint(c, series.at(i), series.at(i).sec);
  });
}

void DeviceSlot::FitAxes() {
  fitAxes(m_model);
  showGraphRanges();
}

void DeviceSlot::showGraphRanges() {
  CurveGraph& g = graph();
  const GraphRanges& r = m_model.ranges;
  g.setMaxX(r.maxX);
  for (int a = 0; a < 2; ++a) {
    if (g.MinY(a) != r.minY[a])
      g.setMinY(a, r.minY[a]);
    if (g.MaxY(a) != r.maxY[a])
      g.setMaxY(a, r.maxY[a]);
  }
  g.setMinY(2, r.minY[2]);
  g.setMaxY(2, r.maxY[2]);
}

void DeviceSlot::scheduleGraphDraw() {
  m_drawPending = true;
  if (graph().isVisible() && !m_drawTimer.isActive())
    m_drawTimer.start();
}

void DeviceSlot::flushGraph() {
  m_drawTimer.stop();
  if (!m_drawPending)
    return;
  m_drawPending = false;
  graph().DrawCurve();
}

void DeviceSlot::ClearCurves() {
  graph().ClearAll();
  for (int c = 0; c < 2; ++c) {
    ChannelData& d = channel(c);
    d.CurveSec = 0;
    d.StartPoint = 0;
    m_model.clearSeries(c);
  }
  for (int axis : {0, 1}) {
    m_model.axes.max[axis] = 0.0f;
    m_model.axes.min[axis] = 0.0f;
  }
  m_model.CurveEnd = 0;
  scheduleGraphDraw();
}

void DeviceSlot::setCurveColour(int c, Curve curve, quint32 colour) {
  CurveGraph& g = graph();
  g.setCurveLineColor(curveIndex(c, curve), colour);
  const bool voltage = curve == Curve::Voltage;
  m_view.gridRun->item(gridRow(c), voltage ? colVoltSwatch : colCurSwatch)
      ->setBackground(toQColor(colour));
  if (voltage)
    panel().setVolColor(g.CurveLineColor(curveIndex(0, Curve::Voltage)));
  else
    panel().setCurColor(g.CurveLineColor(curveIndex(0, Curve::Current)));
  scheduleGraphDraw();
}

QImage DeviceSlot::graphPicture(bool withGrid) {
  flushGraph();
  const QRect g = m_view.graph->geometry();
  const QRect grid = m_view.gridRun->geometry();
  const int height = withGrid ? grid.bottom() + 1 - g.top() : g.height();
  const QPixmap picture = m_view.frmDev->grab(QRect(g.topLeft(), QSize(g.width(), height)));
  return picture.toImage();
}

void DeviceSlot::stopClocks() {
  for (int c = 0; c < 2; ++c) {
    ChannelModel& m = m_model.at(c);
    m.testClock = m.curveClock = false;
  }
  showClocks();
}

void DeviceSlot::stopRunningChannels() {
  if (ch(0).ChnRunning)
    m_single.StopClick(0);
  if (dev2S() && ch(1).ChnRunning && letPendingEventsRunTwice(this))
    m_single.StopClick(1);
}

void DeviceSlot::closeLink() {
  if (portHandle() == 0)
    return;
  SendDisconnect();
  m_comm.ClosePort(portHandle());
  m_tmrComm.stop();
  m_tmrConn.stop();
}

void DeviceSlot::ShowTimer(int c) {
  logFailures(QStringLiteral("ErrTmrShow"),
              [&] { panel().setTTime(c, testTimeText(ch(c).TestSec)); });
}

void DeviceSlot::recordTest(int c, const QString& kind, const QString& reason) {
  const auto i = size_t(c);
  TestEnd end;
  end.kind = kind;
  end.endReason = reason;
  end.ended = QDateTime::currentDateTimeUtc();
  end.label = graph().TitleText();
  end.dataFile = std::exchange(m_endData.at(i), QString());
  end.recordingFile = std::exchange(m_endRecording.at(i), QString());
  end.slot = m_index;
  m_userStop.at(i) = m_autoSeen.at(i) = false;
  logFailures(QStringLiteral("ErrHistory"),
              [&] { emit testRecorded(recordOfChannel(m_model, c, end, temperatureShown())); });
}

void DeviceSlot::programEnded() {
  if (hasStepResults(m_model))
    recordTest(0, kind::Program, m_userStop[0] ? endreason::Stopped : endreason::Device);
}

void DeviceSlot::recordResistance(int c, double mohm, int currentMa) {
  logFailures(QStringLiteral("ErrHistory"), [&] {
    TestRecord r = resistanceRecord(m_model, c, mohm, currentMa / 1000.0, m_index,
                                    QDateTime::currentDateTimeUtc());
    r.label = graph().TitleText();
    emit testRecorded(r);
  });
}

void DeviceSlot::saveAtTestEnd(int c) {
  m_lastDataFile.at(size_t(c)).clear();
  const auto notWritten = [this, c] {
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrEndSave"), reason);
    const ChannelData& d = ch(c);
    emit dataFileNotWritten(c, reason,
                            d.RecWriteFailed ? QString() : d.RecPath + QStringLiteral(".bak"));
  };
  try {
    m_endData.at(size_t(c)) = saveDataFileAtTestEnd(*this, c, QDateTime::currentDateTime());
    m_lastDataFile.at(size_t(c)) = m_endData.at(size_t(c));
  } catch (...) {
    notWritten();
  }
  if (!m_prefs.BDF)
    return;
  try {
    saveBdfFileAtTestEnd(*this, c);
  } catch (...) {
    notWritten();
  }
}

// ---- connection --------------------------------------------------------------------------------

Comm::Handle& DeviceSlot::portHandle() {
  return m_comm.PortHandle[static_cast<size_t>(m_index)];
}

const Comm::Handle& DeviceSlot::portHandle() const {
  return m_comm.PortHandle[static_cast<size_t>(m_index)];
}

bool DeviceSlot::SearchPorts() {
  if (m_model.connected())
    return false;
  m_model.link = LinkState::Probing;
  m_lastProbe = ProbePorts(m_comm, panel());
  return true;
}

void DeviceSlot::selectPort(int n) {
  const QString name = portName(n);
  for (int i = 0; i < panel().PortCnt(); ++i)
    if (panel().PortList(i) == name)
      panel().setTPort(name);
}

void DeviceSlot::ConnClick() {
  try {
    if (m_model.connected())
      Disconnect();
    else
      Connect();
  } catch (...) {
    ErrLog(QStringLiteral("Conn"), describeCurrentException());
    m_ask(QMessageBox::Critical, LangText(QStringLiteral("Wrong Port!")), QMessageBox::Ok);
  }
}

void DeviceSlot::Connect() {
  if (portHandle() != 0)
    return;
  const QString text = panel().tPort().trimmed();
  const std::optional<int> n = portNumber(text);
  if (!n)
    throw Failure(QStringLiteral("Not a port: \"%1\"").arg(text));
  // The port's own name from here on: files and settings never see "com 3".
  panel().setTPort(portName(*n));

  // A port that does not open is said at once, with the reason; the slot stays disconnected
  // instead of connecting forever without a port.
  portHandle() = m_comm.OpenPort(*n);
  if (portHandle() == 0) {
    const QString reason = describeOpenFailure(*n, m_comm.lastOpenFailure());
    ErrLog(QStringLiteral("Conn"), reason);
    m_ask(QMessageBox::Critical, reason, QMessageBox::Ok);
    return;
  }
  m_comm.SetupPort(portHandle(), 9600, 8, 0, 2); // a pseudo-terminal refuses even parity
  m_tmrComm.start();
  IniWrite(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
           QStringLiteral("PORT%1").arg(m_index + 1), QString::number(*n));

  for (int c = 0; c < 2; ++c) {
    ChannelData& d = channel(c);
    d.Volt = d.Cur = d.MeterCur = d.Cap = d.CapOffset = d.Energy = 0.0f;
    d.CurveSec = 0;
    d.CapOffsetPending = false;
    d.ChnRunning = false;
    m_model.at(c).adoptPending = false;
  }
  channel(0).CapTick = 0;
  m_model.params.FwVersion = 0;
  m_model.InfoCount = 0;
  m_rx.reset();
  m_model.twoChannelLaidOut = false;
  m_model.port = portName(*n);

  m_model.link = LinkState::Connecting;
  m_tmrConn.start();
  SendConnect();
  emit connectionChanged(true);
  panel().setConn(true);
}

void DeviceSlot::Disconnect() {
  if (m_model.buttons == RunButtons::Running) {
    const auto answer = m_ask(QMessageBox::Information, LangText(QStringLiteral("Stop running?")),
                              QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
      noteUserStop(0);
      noteUserStop(1);
      m_single.StopClick(0);
      if (dev2S() && letPendingEventsRunTwice(m_view.panel))
        m_single.StopClick(1);
    }
  }
  if (portHandle() == 0)
    return;
  // A test of this program's that no idle report will end: its row is written now.
  for (int c = 0; c < 2; ++c)
    if (ch(c).ChnRunning && m_model.at(c).begunHere())
      recordTest(c,
                 m_auto.AutoRunning() || m_autoSeen.at(size_t(c)) ? kind::Auto
                 : ch(c).StepCurves                               ? kind::Program
                                                                  : kind::Test,
                 m_userStop.at(size_t(c)) ? endreason::Stopped : endreason::LinkLost);
  closeLink();

  m_model.link = LinkState::Disconnected;
  stopClocks();
  m_auto.linkClosed();
  m_step.linkClosed();
  showNoDevice();
  emit connectionChanged(false);
  panel().setConn(false);
}

// ---- device commands ---------------------------------------------------------------------------

void DeviceSlot::writeFrame(const CmdFrame& frame) {
  m_comm.WritePort(portHandle(), QByteArray(reinterpret_cast<const char*>(frame.data()),
                                            static_cast<qsizetype>(frame.size())));
}

template <typename Build> void DeviceSlot::sendFrame(const Build& build) {
  if (portHandle() != 0)
    writeFrame(build());
}

void DeviceSlot::SendConnect() {
  logFailures(QStringLiteral("ErrConn"), [&] { sendFrame([] { return connectFrame(); }); });
}

void DeviceSlot::SendDisconnect() {
  logFailures(QStringLiteral("ErrDconn"), [&] { sendFrame([] { return disconnectFrame(); }); });
}

void DeviceSlot::SendStop(int c) {
  logFailures(QStringLiteral("ErrStop"), [&] { sendFrame([c] { return stopFrame(c); }); });
}

void DeviceSlot::SendTime(int c) {
  logFailures(QStringLiteral("ErrTim"),
              [&] { sendFrame([&] { return timeFrame(c, ch(c).TestSec); }); });
}

bool DeviceSlot::SendStart(int c, int operation) {
  bool built = true;
  logFailures(QStringLiteral("ErrStart%1").arg(operation), [&] {
    built = false;
    sendFrame([&] {
      ChannelData& d = channel(c);
      const StartCommand s =
          startFrame(m_model.params, c, d.ModeNo,
                     {panel().tSval(c), panel().tSlmt(c), panel().tStim(c)}, operation);
      d.SetRaw = s.SetRaw;
      d.LimitRaw = s.LimitRaw;
      d.TimeRaw = s.TimeRaw;
      return s.frame;
    });
    built = true;
  });
  return built;
}

void DeviceSlot::RemoteSet(int c, double current) {
  logFailures(QStringLiteral("ErrSet"), [&] {
    if (portHandle() == 0)
      return;
    writeFrame(remoteSetFrame(c, m_model.params.CurDiv, current, ch(c).LimitRaw));
    panel().setTSval(c, Format(current, u"0.00"));
  });
}

void DeviceSlot::RemoteQC(int c, int code) {
  logFailures(QStringLiteral("ErrQC"), [&] { sendFrame([&] { return remoteQCFrame(c, code); }); });
}

void DeviceSlot::RemotePE(int c, int code) {
  logFailures(QStringLiteral("ErrPE"), [&] { sendFrame([&] { return remotePEFrame(c, code); }); });
}

void DeviceSlot::SendCalibration(int c, int point, int value) {
  sendFrame([&] { return calibrationFrame(c, point, value); });
}

void DeviceSlot::SendResistanceTest(int c, const QString& currentText) {
  logFailures(QStringLiteral("ErrRes"),
              [&] { sendFrame([&] { return resistanceFrame(c, m_model.params, currentText); }); });
}

// ---- the slot's clock ---------------------------------------------------------------------------

void DeviceSlot::secondTick() {
  const std::array<bool, 2> counted = m_model.secondTick();
  for (int c = 0; c < 2; ++c)
    showTestTime(c, counted[c]);
}

void DeviceSlot::secondTick(int c) {
  showTestTime(c, m_model.secondTick(c));
}

void DeviceSlot::showTestTime(int c, bool counted) {
  if (!counted)
    return;
  logFailures(QStringLiteral("ErrTmrShow"), [&] {
    const qint32 sec = ch(c).TestSec;
    panel().setTTime(c, testTimeText(sec));
    // A single-channel test tells the device the elapsed time once a minute.
    if (!dev2S() && sendsElapsedTime(sec))
      SendTime(c);
  });
}

} // namespace ondrel
