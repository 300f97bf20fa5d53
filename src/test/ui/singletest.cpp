#include "test/ui/singletest.h"

#include "data/recording.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/support/programfolder.h"
#include "link/commands.h"
#include "test/continuereplay.h"
#include "test/params.h"
#include "test/singletest.h"
#include "test/ui/devctrl.h"
#include "test/ui/slotcontext.h"
#include "widgets/curvegraph.h"

#include <QDateTime>

namespace ondrel {

SingleTestController::SingleTestController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

QString SingleTestController::recordingPath(int c) {
  return recordingBasePath(programFolder(), m_slot.gridText(gridRow(c), colDevice),
                           m_slot.panel().tPort(), m_slot.slotIndex(), c);
}

bool SingleTestController::canBuild(int c, int operation) {
  const DevCtrl& p = m_slot.panel();
  try {
    startFrame(m_slot.model(), c, m_slot.channel(c).ModeNo, {p.tSval(c), p.tSlmt(c), p.tStim(c)},
               operation);
    return true;
  } catch (...) {
    ErrLog(QStringLiteral("ErrStart%1").arg(operation), describeCurrentException());
    return false;
  }
}

bool SingleTestController::commandPossible(int c, int operation) {
  if (canBuild(c, operation))
    return true;
  const DevCtrl& p = m_slot.panel();
  m_slot.ask(QMessageBox::Critical, startRefusalMessage(p.tSval(c), p.tSlmt(c), p.tStim(c)),
             QMessageBox::Ok);
  return false;
}

void SingleTestController::prepareTest(int c) {
  ChannelData& d = m_slot.channel(c);
  CurveGraph& g = m_slot.graph();
  DevCtrl& p = m_slot.panel();
  if (!m_slot.StepRunning()) {
    clearChannelCurves(c);
    const auto points = [&](int channel) {
      const int curve = curveIndex(channel, Curve::Current);
      return curve < g.CurveCount() ? g.DpCnt(curve) : 0;
    };
    if (startResetsAxes(p.Dev2S(), points(0), points(1))) {
      m_slot.axisExtremes() = startAxes(m_slot.model(), d.ModeNo, m_slot.prefs().SCALE != 0, d.Volt,
                                        boxValue(p.tSlmt(c)), boxValue(p.tSval(c)));
      m_slot.curveEnd() = 0;
    }
    g.setMinX(0);
    d.CurveSec = 0;
  }
  d.TestSec = 0;
  d.Energy = 0.0f;
  d.VoltSum = 0.0;
  d.Cap = 0.0f;
  d.CapTick = 0;
  d.CapOffset = 0.0f;
  d.CapOffsetPending = false;
  g.setYStep(false);
  if (g.Large())
    g.setLarge(false);
  g.setSize(false);
  d.StartPoint = g.DpCnt(curveIndex(c, Curve::Current));
}

bool SingleTestController::RunClick(int c) {
  if (!startTest(c))
    return false;
  m_slot.channel(c).StepCurves = false;
  return true;
}

bool SingleTestController::ProgramRunClick(int c) {
  return startTest(c);
}

bool SingleTestController::startTest(int c) {
  if (!commandPossible(c, static_cast<int>(CmdOp::Start)))
    return false;
  prepareTest(c);
  m_slot.SendStart(c, static_cast<int>(CmdOp::Start));
  SetRunButtons(false);
  emit calibButtonsDue(false);
  showTestRow(c, m_slot.panel().tVol(c));
  CreateRecording(c);
  return true;
}

void SingleTestController::showTestRow(int c, const QString& beginVolt) {
  const DevCtrl& p = m_slot.panel();
  const int row = gridRow(c);
  m_slot.setGridText(row, colBeginVolt, beginVolt + QLatin1Char('V'));
  m_slot.setGridText(row, colCutoffVolt, QString());
  m_slot.setGridText(row, colMode,
                     p.tMode() + QStringLiteral("  ") + p.tSval(c) + p.lSvalt(c) +
                         QStringLiteral("  ") + p.tSlmt(c) + p.lSlmtt(c));
}

void SingleTestController::CreateRecording(int c) {
  ChannelData& d = m_slot.channel(c);
  d.RecPath = recordingPath(c);
  d.RecWriteFailed = false;
  try {
    const int row = gridRow(c);
    createRecordingFile(d.RecPath, recordingHeader(m_slot.gridText(row, colDevice),
                                                   m_slot.gridText(row, colMode),
                                                   m_slot.gridText(row, colBeginVolt),
                                                   m_slot.temperatureShown(), m_slot.model().caps));
  } catch (...) {
    // The test runs on regardless; the data file at its end still comes from the curves.
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrRecord"), reason);
    d.RecWriteFailed = true;
    emit recordingProblem(c, reason);
  }
}

void SingleTestController::StopClick(int c) {
  m_slot.SendStop(c);
  SetRunButtons(true);
  emit calibButtonsDue(true);
}

void SingleTestController::SetClick(int c) {
  if (!commandPossible(c, static_cast<int>(CmdOp::Adjust)))
    return;
  m_slot.SendStart(c, static_cast<int>(CmdOp::Adjust));
  m_slot.channel(c).ParamEcho = 1;
}

std::optional<RecordingContent> SingleTestController::readRecordingOf(int c, const QString& path) {
  try {
    return readRecording(path);
  } catch (...) {
    ErrLog(QStringLiteral("ErrCont%1").arg(c), describeCurrentException());
    return std::nullopt;
  }
}

void SingleTestController::ContClick(int c) {
  emit continueRequested(c);
  const QString path = recordingPath(c);
  const std::optional<RecordingContent> content = readRecordingOf(c, path);
  if (content)
    replayRecording(c, path, *content, true);
}

void SingleTestController::adoptRunningTest(int c) {
  emit continueRequested(c);
  const QString path = recordingPath(c);
  const std::optional<RecordingContent> content = readRecordingOf(c, path);
  // A recording that ended normally belongs to a finished test: the running one is new.
  if (content && !content->endedNormally) {
    replayRecording(c, path, *content, false);
    return;
  }
  prepareTest(c);
  m_slot.channel(c).StepCurves = false; // a test this program did not start
  // The report being handled has not reached the readout yet: its own voltage begins the test.
  const float volt = m_slot.channel(c).Volt;
  showTestRow(c, Format(volt, voltagePicture(volt, m_slot.model())));
  CreateRecording(c);
}

void SingleTestController::clearChannelCurves(int c) {
  CurveGraph& g = m_slot.graph();
  for (int k = 0; k < kCurvesPerChannel; ++k)
    g.Clear(curveIndex(c, Curve(k)));
  if (!m_slot.panel().Dev2S() && g.CurveCount() == 2 * kCurvesPerChannel)
    for (int k = 0; k < kCurvesPerChannel; ++k)
      g.Clear(curveIndex(1, Curve(k)));
}

void SingleTestController::replayRecording(int c, const QString& path,
                                           const RecordingContent& content, bool userAsked) {
  const int operation = continuesAsStart(m_slot.model()) ? static_cast<int>(CmdOp::Start)
                                                         : static_cast<int>(CmdOp::Continue);
  // Asked from a report (adoption), a message box would stop the reports behind it: the
  // refusal is only logged there, and the test is followed without a command.
  const bool sendable = userAsked ? commandPossible(c, operation) : canBuild(c, operation);
  if (userAsked && !sendable)
    return;

  ChannelData& d = m_slot.channel(c);
  CurveGraph& g = m_slot.graph();
  d.Energy = 0.0f;
  d.VoltSum = 0.0;
  d.Cap = 0.0f;
  d.CapTick = 0;
  d.StepCurves = false; // the curves become the recording's
  if (g.Large())
    g.setLarge(false);
  g.setSize(false);
  // Only this channel's curves: the other channel of a two-channel device keeps its test.
  clearChannelCurves(c);
  d.StartPoint = 0;

  const int row = gridRow(c);
  if (content.device)
    m_slot.setGridText(row, colDevice, *content.device);
  if (content.mode)
    m_slot.setGridText(row, colMode, *content.mode);
  if (content.beginVolt)
    m_slot.setGridText(row, colBeginVolt, *content.beginVolt);

  const ContinuePlan plan = planContinue(content);
  const int capCurve = curveIndex(c, Curve::Capacity);
  const int energyCurve = curveIndex(c, Curve::Energy);
  for (const ContinuePoint& p : plan.points) {
    m_slot.ReplayPoint(c, p.time, p.volt, p.cur, 0.0f);
    g.AddXY(capCurve, static_cast<float>(p.time), p.capacityAh);
    g.AddXY(energyCurve, static_cast<float>(p.time), p.energyWh);
  }
  const qint32 points = g.DpCnt(curveIndex(c, Curve::Voltage));
  m_slot.setGridText(row, colAvgVolt,
                     plan.hasSamples && points > 0
                         ? Format(d.VoltSum / points, u"0.00") + QLatin1Char('V')
                         : QString());
  m_slot.setGridText(row, colCutoffVolt, QString());
  d.CapOffset = plan.CapOffset;
  d.CapOffsetPending = true;
  if (m_slot.model().caps.usbMeter)
    d.Cap = d.CapOffset;
  d.TestSec = d.CurveSec = plan.lastTime;
  if (m_slot.curveEnd() < plan.lastTime)
    m_slot.curveEnd() = plan.lastTime;
  m_slot.FitAxes();
  m_slot.redrawGraph();
  d.RecPath = path;
  d.RecWriteFailed = false;
  if (sendable)
    m_slot.SendStart(c, operation);
  SetRunButtons(false);
  emit calibButtonsDue(false);
}

void SingleTestController::endRecording(int c) {
  const ChannelData& d = m_slot.channel(c);
  if (d.RecPath.isEmpty() || d.RecWriteFailed)
    return;
  logFailures(QStringLiteral("ErrRecord"),
              [&] { appendRecordingEnd(d.RecPath, QDateTime::currentDateTime()); });
}

void SingleTestController::deviceRenamed(int c) {
  ChannelData& d = m_slot.channel(c);
  const QString path = recordingPath(c);
  if (d.RecPath.isEmpty() || path == d.RecPath)
    return;
  logFailures(QStringLiteral("ErrRecord"), [&] {
    renameRecording(d.RecPath, path, m_slot.gridText(gridRow(c), colDevice));
    d.RecPath = path;
  });
}

void SingleTestController::MonitorClick(int c) {
  DevCtrl& p = m_slot.panel();
  if (!p.RunEnable() || m_slot.infoReportCount() <= 1)
    return;
  const int row = infoMonitorRow(c);
  if (!m_slot.infoRow(row).isEmpty()) {
    p.setTmrCurveEnable(c, false);
    m_slot.SecondTimerStop(c);
    m_slot.setInfoRow(row, QString());
    return;
  }
  const CurveGraph& g = m_slot.graph();
  const int volt = curveIndex(c, Curve::Voltage);
  const qint32 points = g.DpCnt(volt);
  m_slot.channel(c).CurveSec = points > 0 ? static_cast<qint32>(g.DpX(volt, points - 1)) : 0;
  p.setTmrCurveEnable(c, true);
  m_slot.SecondTimerStart(c);
  m_slot.setInfoRow(row, monitorRow(p.Dev2S(), m_slot.slotIndex(), c));
}

void SingleTestController::ShowParams(int c) {
  const ModelParams& m = m_slot.model();
  if (m.ModelCode == 0)
    return;
  DevCtrl& p = m_slot.panel();
  QStringList modes;
  for (int i = 0; i < p.ModeCnt(); ++i)
    modes << p.ModeTxt(i);
  const ChannelData& d = m_slot.channel(c);
  const ParamView v = showParams(m, p.Dev2S(), modes, {d.ModeNo, d.SetRaw, d.LimitRaw, d.TimeRaw});
  p.setTMode(v.tMode);
  p.setLSval(c, v.lSval);
  p.setLSvalt(c, v.lSvalt);
  p.setTSval(c, v.tSval);
  p.setLSlmt(c, v.lSlmt);
  p.setLSlmtt(c, v.lSlmtt);
  p.setTSlmt(c, v.tSlmt);
  p.setLStim(c, v.lStim);
  p.setLStimt(c, v.lStimt);
  p.setTStim(c, v.tStim);
  p.setSvalEnable(c, v.SvalEnable);
  p.setSlmtEnable(c, v.SlmtEnable);
  p.setStimEnable(c, v.StimEnable);
  m_slot.ShowCapEnergy(c);
}

void SingleTestController::ModeClick() {
  logFailures(QStringLiteral("ErrMode"), [&] {
    DevCtrl& p = m_slot.panel();
    const int mode = p.ModeIdx();
    ChannelData& d0 = m_slot.channel(0);
    if (mode < 0 || mode == d0.ModeNo)
      return;
    const ChannelParams defaults = modeDefaults(m_slot.model(), mode);
    d0.ModeNo = static_cast<qint16>(mode);
    d0.SetRaw = defaults.SetRaw;
    d0.LimitRaw = defaults.LimitRaw;
    d0.TimeRaw = 0;
    ShowParams(0);
    if (p.Dev2S()) {
      ChannelData& d1 = m_slot.channel(1);
      d1.ModeNo = static_cast<qint16>(mode);
      d1.SetRaw = d1.LimitRaw = d1.TimeRaw = 0;
      ShowParams(1);
    }
  });
}

template <typename Check, typename Write>
void SingleTestController::checkBox(const Check& check, const Write& write) {
  if (m_slot.model().ModelCode == 0)
    return;
  const std::optional<BoxRefusal> refusal = check();
  if (!refusal)
    return;
  m_slot.ask(QMessageBox::Critical, refusal->message, QMessageBox::Ok);
  if (refusal->corrected)
    write(*refusal->corrected);
}

void SingleTestController::SvalChange(int c) {
  DevCtrl& p = m_slot.panel();
  checkBox([&] { return checkSval(m_slot.model(), m_slot.channel(c).ModeNo, p.tSval(c)); },
           [&](const QString& text) { p.setTSval(c, text); });
}

void SingleTestController::SlmtChange(int c) {
  DevCtrl& p = m_slot.panel();
  checkBox([&] { return checkSlmt(m_slot.model(), m_slot.channel(c).ModeNo, p.tSlmt(c)); },
           [&](const QString& text) { p.setTSlmt(c, text); });
}

void SingleTestController::StimChange(int c) {
  DevCtrl& p = m_slot.panel();
  checkBox([&] { return checkStim(m_slot.model(), m_slot.channel(c).ModeNo, p.tStim(c)); },
           [&](const QString& text) { p.setTStim(c, text); });
}

void SingleTestController::VolAutoChange() {
  DevCtrl& p = m_slot.panel();
  checkBox([&] { return checkVolAuto(m_slot.model(), p.tAutoVol()); },
           [&](const QString& text) { p.setTAutoVol(text); });
}

void SingleTestController::SetRunButtons(bool idle) {
  DevCtrl& p = m_slot.panel();
  if (idle) {
    p.setRunEnable(true);
    p.setStopEnable(false);
    p.setContEnable(true);
    p.setSetEnable(false);
    if (m_slot.StepRunning())
      return;
    p.setModeEnable(true);
    p.setMonitorEnable(true);
    emit mainMenusDue(true, p.Conn());
    return;
  }
  p.setRunEnable(false);
  p.setContEnable(false);
  p.setStopEnable(true);
  p.setSetEnable(m_slot.channel(p.chn().toInt()).ModeNo == 0 && !m_slot.StepRunning());
  p.setModeEnable(false);
  p.setMonitorEnable(false);
  emit mainMenusDue(false, false);
}

} // namespace ondrel
