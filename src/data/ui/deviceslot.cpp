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
#include "test/ui/devctrl.h"
#include "widgets/colour.h"
#include "widgets/curvegraph.h"

#include <QDateTime>
#include <QPixmap>
#include <QStringBuilder>
#include <QTableWidget>

namespace ondrel {
namespace {

// The parameter echo b9..b14 of a non-info report becomes the channel's parameters.
void takeParams(ChannelData& d, const RecBody& body) {
  const ParamEchoValues p = decodeParams(body);
  d.SetRaw = p.SetRaw;
  d.LimitRaw = p.LimitRaw;
  d.TimeRaw = p.TimeRaw;
}

} // namespace

DeviceSlot::DeviceSlot(int index, Comm& comm, const Preferences& prefs, MessageAsker ask,
                       QWidget* frameParent)
    : m_index(index), m_comm(comm), m_prefs(prefs), m_ask(std::move(ask)),
      m_view(frameParent, prefs), m_single(*this), m_auto(*this), m_step(*this) {
  // The slot starts with no device: a neutral model so that nothing divides by zero.
  m_params.MaxCurrent = 10.0f;
  m_params.MaxVoltage = 60.0f;

  m_tmrComm.setInterval(50);
  m_tmrConn.setInterval(1000);
  m_tmrRecv.setInterval(500);
  connect(&m_tmrComm, &QTimer::timeout, this, &DeviceSlot::ReceiveBytes);
  connect(&m_tmrConn, &QTimer::timeout, this, &DeviceSlot::SendConnect);
  connect(&m_tmrRecv, &QTimer::timeout, this, [this] {
    panel().setLedRecv(false);
    m_tmrRecv.stop();
  });
  for (int c = 0; c < 2; ++c) {
    m_second[c].setInterval(1000);
    connect(&m_second[c], &QTimer::timeout, this, [this, c] { secondTick(c); });
  }
  DevCtrl* p = m_view.panel;
  connect(p, &DevCtrl::ConnClick, this, &DeviceSlot::ConnClick);
  connect(p, &DevCtrl::CurveTimer, this, &DeviceSlot::CurveTimer);
  connect(p, &DevCtrl::ShowTimer, this, &DeviceSlot::ShowTimer);
  connect(p, &DevCtrl::RunClick, &m_single, &SingleTestController::RunClick);
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
  return m_view.panel->Dev2S();
}

int DeviceSlot::panelChannel() const {
  return m_view.panel->chn().toInt();
}

QString DeviceSlot::voltageText(int c) const {
  return panel().tVol(c);
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
  const ReportFields f = reportFields(body);
  if (f.channel > 1)
    return ReportAction::DropRest; // no such channel: a damaged report that passed its checksum
  const int c = f.channel;
  ChannelData& d = channel(c);

  emit deviceHeard();

  if (connecting()) {
    if (!m_params.caps.usbMeter)
      d.takeDeviceCapacity(decodeCapacity(body));
    d.ModeNo = static_cast<qint16>(f.mode);
    if (f.info != 0) {
      m_params.FwVersion = reportFirmwareVersion(body);
      ++InfoCount;
    } else {
      takeParams(d, body);
    }
    if (IdentifyDevice(c, body) == ReportAction::DropRest)
      return ReportAction::DropRest;
    if (!connecting())
      showConnected(c, f.running());
  }

  if (f.info == 1) {
    ApplyInfoReport(c, body);
    ++InfoCount;
    adoptPendingTests();
  }

  d.Cur = decodeCurrent(body, m_params);
  if (hasMeterCurrent(m_params))
    d.MeterCur = decodeMeterCurrent(body);
  d.Volt = decodeVoltage(body);

  if (!d.ChnRunning) {
    const float x = decodeResistanceDrop(body);
    if (x != d.Cap && x > 0.0f)
      emit resistanceDropSeen(c, x);
  }

  if (d.ChnRunning && !m_params.caps.usbMeter)
    d.takeDeviceCapacity(decodeCapacity(body));

  d.Temp = decodeTemperature(body, dev2S(), m_params.caps);
  if (m_params.caps.usbMeter) {
    d.DPlus = decodeDPlus(body);
    d.DMinus = decodeDMinus(body);
  }

  bool endMessage = false;
  bool finished = false;
  if (!f.running()) {
    UpdateChannel(c);
    if (d.ChnRunning) {
      finishTest(c, endMessage);
      finished = true;
    }
  } else {
    if (!d.ChnRunning && !adoptTest(c, f, body)) {
      UpdateChannel(c);
      return ReportAction::Continue;
    }
    d.ChnRunning = true;
    if (d.ParamEcho > 0) {
      if (f.info == 0) {
        takeParams(d, body);
        m_single.ShowParams(c);
        ++d.ParamEcho;
      }
      if (d.ParamEcho == 3)
        d.ParamEcho = 0;
    }
    if (panelChannel() == c)
      m_single.SetRunButtons(false);
    emit calibButtonsDue(!ch(panelChannel()).ChnRunning);
    panel().setTmrShowEnable(c, true);
    panel().setTmrCurveEnable(c, true);
    m_clock[c].TestClockOn();
    SecondTimerStart(c);
    UpdateChannel(c);
  }

  if (finished) {
    const bool notice = endMessage && !AutoRunning() && !StepRunning();
    emit testFinished(c, notice ? QStringLiteral("STOP") : QString());
  }
  return ReportAction::Continue;
}

void DeviceSlot::finishTest(int c, bool& endMessage) {
  ChannelData& d = channel(c);
  m_view.setGridText(gridRow(c), colCutoffVolt, panel().tVol(c) + QLatin1Char('V'));
  endMessage = !dev2S();

  m_single.endRecording(c);
  if (!d.RecPath.isEmpty() && m_prefs.SAVE)
    saveAtTestEnd(c);
  d.RecPath.clear();

  panel().setTmrShowEnable(c, false);
  m_clock[c].TestClockOff();
  if (!AutoRunning()) {
    if (infoRow(infoMonitorRow(c)).isEmpty()) {
      panel().setTmrCurveEnable(c, false);
      SecondTimerStop(c);
    }
    d.StartPoint = 0;
  }
  graph().setSize(true);
  d.ChnRunning = false;
  if (panelChannel() == c)
    m_single.SetRunButtons(true);
  // The calibration buttons follow the panel's channel, whichever channel reported.
  emit calibButtonsDue(!ch(panelChannel()).ChnRunning);
}

void DeviceSlot::showConnected(int c, bool reportRunning) {
  // Nothing else says when Start first becomes usable: an idle channel shows its idle buttons at
  // once, so a Disconnect and a new Connect never leave Start disabled. A running report goes on
  // to adopt the test, which shows the running buttons.
  const int shown = panelChannel();
  const bool running = shown == c ? reportRunning : ch(shown).ChnRunning;
  if (!running)
    m_single.SetRunButtons(true);
}

bool DeviceSlot::adoptTest(int c, const ReportFields& f, const RecBody& body) {
  const bool begunHere = !gridText(gridRow(c), colBeginVolt).isEmpty();
  // An info report has the device's ranges where the test's parameters would be: a test this
  // window did not begin waits for the next report, so that the panel, the recording and a
  // continue command carry the device's own parameters, not zeros or an older test's.
  if (f.info != 0 && !begunHere)
    return false;
  ChannelData& d = channel(c);
  d.ModeNo = static_cast<qint16>(f.mode);
  if (f.info != 0) {
    takeInfoRanges(m_params, body);
    ++InfoCount;
    // An info report carries no parameters: the next reports' echo shows them, or the boxes
    // would read 0 and an Adjust would send that.
    d.ParamEcho = 1;
  } else {
    takeParams(d, body);
  }
  m_single.ShowParams(c);
  if (begunHere)
    return true;
  // The recording is found by the device's name: a model named by its first info report waits.
  if (nameFinal())
    m_single.adoptRunningTest(c);
  else
    m_adoptPending[c] = true;
  return true;
}

bool DeviceSlot::nameFinal() const {
  return !m_params.caps.namedByInfoReport || InfoCount > 0;
}

void DeviceSlot::adoptPendingTests() {
  if (!nameFinal())
    return;
  for (int c = 0; c < 2; ++c) {
    if (!m_adoptPending[c])
      continue;
    m_adoptPending[c] = false;
    if (ch(c).ChnRunning && gridText(gridRow(c), colBeginVolt).isEmpty())
      m_single.adoptRunningTest(c);
  }
}

ReportAction DeviceSlot::IdentifyDevice(int c, const RecBody& body) {
  const Identification id = identifyReport(body, m_params);
  if (id.ignored) {
    // A report without a model still says so: the slot has no identified device.
    if (reportModelCode(body) == 0) {
      m_params.ModelCode = 0;
      m_params.caps = modelCaps(0);
    }
    return ReportAction::DropRest;
  }
  if (id.modes)
    m_twoChannelLaidOut = id.rebuildTwoChannelLegends;
  // Either channel of a two-channel model may report first; connecting on channel 1 before
  // channel 0 has laid out the slot would leave it without modes, tabs and second-channel curves.
  const bool connected = id.connected && (!id.Dev2S || m_twoChannelLaidOut);
  if (connected) {
    m_tmrConn.stop();
    emit deviceConnected();
  }
  graph().setAxesY1Txt(id.currentAxisCaption);
  panel().setDev2S(id.Dev2S);
  if (id.modes) {
    panel().ModeClr();
    for (const QString& m : *id.modes)
      panel().ModeAdd(LangText(m));
  }
  emit identified(SlotMenus{id.resistanceMenu, id.showUsbMenu, id.showTempMenu});
  if (id.tabs) {
    panel().TabClear();
    for (int i = 0; i < id.tabs->size(); ++i)
      panel().TabAdd(i + 1, id.tabs->at(i));
  }
  if (id.rebuildTwoChannelLegends)
    m_view.SetTwoChannelLayout(m_prefs);
  m_params = id.params;
  if (id.name)
    m_view.setDeviceName(*id.name);
  if (id.initAutoPage)
    m_auto.InitAutoPage();
  m_single.ShowParams(c);
  return ReportAction::Continue;
}

void DeviceSlot::ApplyInfoReport(int c, const RecBody& body) {
  QStringList modes;
  for (int i = 0; i < panel().ModeCnt(); ++i)
    modes << panel().ModeTxt(i);
  const InfoReport info = infoReport(body, m_params, modes);
  m_params = info.params;
  if (info.modes) {
    panel().ModeClr();
    for (const QString& m : *info.modes)
      panel().ModeAdd(LangText(m));
    const int mode = channel(c).ModeNo;
    if (mode >= 0 && mode < panel().ModeCnt())
      panel().setTMode(panel().ModeTxt(mode));
  }
  if (info.name && *info.name != gridText(gridRow(0), colDevice)) {
    m_view.setDeviceName(*info.name);
    // A test started before the name was known records under the old name: it follows.
    for (int channel = 0; channel < 2; ++channel)
      if (!ch(channel).RecPath.isEmpty())
        m_single.deviceRenamed(channel);
  }
}

// ---- live update -------------------------------------------------------------------------------

bool DeviceSlot::temperatureShown() const {
  return m_params.HasTemp && m_prefs.TEMP;
}

float DeviceSlot::ThirdValue(int c) const {
  const ChannelData& d = ch(c);
  return temperatureShown() ? d.Temp : d.Pwr;
}

void DeviceSlot::UpdateChannel(int c) {
  ChannelData& d = channel(c);
  if (!sampleAccepted(d, m_params)) {
    ErrLog(rejectedSampleTag(m_index, d, m_params), QString());
    return;
  }
  try {
    panel().setTVol(c, Format(d.Volt, voltagePicture(d.Volt, m_params)));
    panel().setTCur(c, Format(d.Cur, currentPicture(d.Cur, m_params)));
    d.Pwr = d.Cur * d.Volt;
    panel().setTPwr(c, Format(d.Pwr, powerPicture(d.Pwr)));

    emit sampleShown(c);

    const int row = gridRow(c);
    const int voltCurve = curveIndex(c, Curve::Voltage);
    if (d.ChnRunning) {
      // Built in one piece: this runs for every report.
      const DevCtrl& p = panel();
      m_view.setGridText(
          row, colMode,
          QString(p.tMode() % u"  " % p.tSval(c) % p.lSvalt(c) % u"  " % p.tSlmt(c) % p.lSlmtt(c)));
      const double average = averageVoltage(d, graph().DpCnt(voltCurve));
      if (average >= 0.0)
        m_view.setGridText(row, colAvgVolt, Format(average, u"0.00") + QLatin1Char('V'));
      if (m_params.caps.usbMeter)
        integrateMeterCapacity(d);
      if (average >= 0.0)
        growEnergy(d, average);
    }

    if (panel().TmrCurveEnable(c)) {
      const int capCurve = curveIndex(c, Curve::Capacity);
      const int energyCurve = curveIndex(c, Curve::Energy);
      if (graph().DpCnt(voltCurve) == 0 && d.ChnRunning) {
        float begin = d.Volt;
        const QString cell = gridText(row, colBeginVolt);
        bool numeric = false;
        const float typed = cell.left(cell.size() - 1).toFloat(&numeric);
        if (!cell.isEmpty() && numeric)
          begin = typed;
        FeedCurves(c, 0, begin, d.Cur, ThirdValue(c));
        graph().AddXY(capCurve, static_cast<float>(d.CurveSec), curveValue(d.Cap, u"0.000"));
        graph().AddXY(energyCurve, static_cast<float>(d.CurveSec), curveValue(d.Energy, u"0.000"));
      }
      FeedCurves(c, d.CurveSec, d.Volt, d.Cur, ThirdValue(c));
      graph().AddXY(capCurve, static_cast<float>(d.CurveSec), curveValue(d.Cap, u"0.000"));
      graph().AddXY(energyCurve, static_cast<float>(d.CurveSec), curveValue(d.Energy, u"0.000"));
      if (!d.RecPath.isEmpty() && d.ChnRunning)
        recordSample(c);
    }

    ShowCapEnergy(c);
    emit channelUpdated(c);
  } catch (...) {
    ErrLog(failedUpdateTag(m_index, d), describeCurrentException());
  }
}

void DeviceSlot::recordSample(int c) {
  ChannelData& d = channel(c);
  const std::optional<float> temp =
      temperatureShown() ? std::optional<float>(d.Temp) : std::nullopt;
  // The file's end is looked at only when this slot did not write its last line: a recording
  // begun, continued or renamed elsewhere may end inside a line cut short by a crash.
  QString& wholeAt = m_recordedWhole[static_cast<size_t>(c)];
  try {
    const bool whole = wholeAt == d.RecPath;
    wholeAt.clear();
    appendRecordingLine(d.RecPath, recordingLine(d.TestSec, d.Cur, d.Volt, temp, m_params.CurDiv),
                        whole);
    wholeAt = d.RecPath;
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
  logFailures(QStringLiteral("ErrCap"), [&] {
    const ChannelData& d = ch(c);
    m_view.setGridText(gridRow(c), colCapacity, capacityText(d.Cap, m_params.caps));
    m_view.setGridText(gridRow(c), colEnergy, energyText(d.Energy, m_params.caps));
  });
}

float DeviceSlot::curveValue(float value, QStringView picture) const {
  // Curves hold the value as the readout shows it: rounded to the picture.
  return static_cast<float>(formattedValue(value, picture));
}

void DeviceSlot::addCurvePoints(int c, qint32 x, float volt, float cur, float third) {
  const float values[3] = {volt, cur, third};
  for (int a = 0; a < 3; ++a) {
    if (m_axes.unset(a)) {
      if (m_prefs.SCALE != 0) {
        m_axes.max[a] = m_axes.min[a] = values[a];
      } else {
        m_axes.max[a] = graph().MaxY(a);
        m_axes.min[a] = graph().MinY(a);
      }
    }
    widenAxis(m_axes, a, values[a]);
  }
  channel(c).VoltSum += volt;
  const float fx = static_cast<float>(x);
  graph().AddXY(curveIndex(c, Curve::Voltage), fx, curveValue(volt, u"0.000"));
  graph().AddXY(curveIndex(c, Curve::Current), fx, curveValue(cur, curveCurrentPicture(m_params)));
  graph().AddXY(curveIndex(c, Curve::Third), fx, curveValue(third, u"0.0"));
}

void DeviceSlot::FeedCurves(int c, qint32 x, float volt, float cur, float third) {
  logFailures(QStringLiteral("ErrCurve"), [&] {
    addCurvePoints(c, x, volt, cur, third);
    FitAxes();
    scheduleGraphDraw();
  });
}

void DeviceSlot::ReplayPoint(int c, qint32 x, float volt, float cur, float third) {
  logFailures(QStringLiteral("ErrCurve2"), [&] { addCurvePoints(c, x, volt, cur, third); });
}

void DeviceSlot::FitAxes() {
  CurveGraph& g = graph();
  g.setMaxX(static_cast<float>(fitMaxX(g.MaxX(), CurveEnd)));
  const auto [vMin, vMax] = fitVoltageRange(m_axes.min[0], m_axes.max[0]);
  const auto [cMin, cMax] = fitCurrentRange(m_axes.min[1], m_axes.max[1], m_params.caps);
  const float fitted[2][2] = {{static_cast<float>(vMin), static_cast<float>(vMax)},
                              {static_cast<float>(cMin), static_cast<float>(cMax)}};
  for (int a = 0; a < 2; ++a) {
    if (g.MinY(a) != fitted[a][0])
      g.setMinY(a, fitted[a][0]);
    if (g.MaxY(a) != fitted[a][1])
      g.setMaxY(a, fitted[a][1]);
  }
  g.setMinY(2, m_axes.min[2]);
  g.setMaxY(2, m_axes.max[2]);
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
  for (ChannelData& d : m_ch) {
    d.CurveSec = 0;
    d.StartPoint = 0;
  }
  for (int axis : {0, 1}) {
    m_axes.max[axis] = 0.0f;
    m_axes.min[axis] = 0.0f;
  }
  CurveEnd = 0;
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
    m_clock[c].TestClockOff();
    SecondTimerStop(c);
  }
}

void DeviceSlot::stopRunningChannels() {
  if (m_ch[0].ChnRunning)
    m_single.StopClick(0);
  if (dev2S() && m_ch[1].ChnRunning && letPendingEventsRunTwice(this))
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

void DeviceSlot::CurveTimer(int c) {
  const qint32 sec = ch(c).CurveSec;
  if (CurveEnd < sec)
    CurveEnd = sec;
}

void DeviceSlot::ShowTimer(int c) {
  logFailures(QStringLiteral("ErrTmrShow"), [&] {
    const qint32 sec = ch(c).TestSec;
    panel().setTTime(c, testTimeText(sec));
    if (!dev2S() && sendsElapsedTime(sec))
      SendTime(c);
  });
}

void DeviceSlot::saveAtTestEnd(int c) {
  try {
    saveDataFileAtTestEnd(*this, c, QDateTime::currentDateTime());
  } catch (...) {
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrEndSave"), reason);
    const ChannelData& d = ch(c);
    emit dataFileNotWritten(c, reason,
                            d.RecWriteFailed ? QString() : d.RecPath + QStringLiteral(".bak"));
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
  if (panel().Conn())
    return false;
  ProbePorts(m_comm, panel());
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
    if (panel().Conn())
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

  for (ChannelData& d : m_ch) {
    d.Volt = d.Cur = d.MeterCur = d.Cap = d.CapOffset = d.Energy = 0.0f;
    d.CurveSec = 0;
    d.CapOffsetPending = false;
    d.ChnRunning = false;
  }
  m_ch[0].CapTick = 0;
  m_params.FwVersion = 0;
  InfoCount = 0;
  m_rx.reset();
  m_twoChannelLaidOut = false;
  m_adoptPending = {};

  m_tmrConn.start();
  SendConnect();
  emit connectionChanged(true);
  panel().setConn(true);
}

void DeviceSlot::Disconnect() {
  if (panel().StopEnable()) {
    const auto answer = m_ask(QMessageBox::Information, LangText(QStringLiteral("Stop running?")),
                              QMessageBox::Ok | QMessageBox::Cancel);
    if (answer == QMessageBox::Ok) {
      m_single.StopClick(0);
      if (dev2S() && letPendingEventsRunTwice(m_view.panel))
        m_single.StopClick(1);
    }
  }
  if (portHandle() == 0)
    return;
  closeLink();

  for (int c = 0; c < 2; ++c) {
    panel().setTmrCurveEnable(c, false);
    panel().setTmrShowEnable(c, false);
  }
  stopClocks();
  m_auto.linkClosed();
  m_step.linkClosed();
  m_view.showNoDevice();
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
      const StartCommand s = startFrame(
          m_params, c, d.ModeNo, {panel().tSval(c), panel().tSlmt(c), panel().tStim(c)}, operation);
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
    writeFrame(remoteSetFrame(c, m_params.CurDiv, current, ch(c).LimitRaw));
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
              [&] { sendFrame([&] { return resistanceFrame(c, m_params, currentText); }); });
}

// ---- test clock --------------------------------------------------------------------------------

void DeviceSlot::SecondTimerStart(int c) {
  if (!m_second[c].isActive())
    m_second[c].start();
}

void DeviceSlot::SecondTimerStop(int c) {
  m_second[c].stop();
}

void DeviceSlot::secondTick(int c) {
  m_clock[c].tick(channel(c));
}

} // namespace ondrel
