#include "test/ui/singletest.h"

#include "data/recording.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/support/programfolder.h"
#include "link/commands.h"
#include "test/channeltest.h"
#include "test/params.h"
#include "test/reportstep.h"
#include "test/singletest.h"
#include "test/ui/devctrl.h"
#include "test/ui/slotcontext.h"
#include "widgets/curvegraph.h"

#include <QDateTime>

namespace ondrel {

SingleTestController::SingleTestController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

QString SingleTestController::recordingPath(int c) {
  return channelRecordingPath(m_slot.slotModel(), programFolder(), m_slot.slotIndex(), c);
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
  CurveGraph& g = m_slot.graph();
  const DevCtrl& p = m_slot.panel();
  const bool stepRunning = m_slot.StepRunning();
  if (!stepRunning) {
    clearGraphCurves(c);
    g.setMinX(0);
  }
  ondrel::prepareTest(
      m_slot.slotModel(), c,
      {stepRunning, m_slot.prefs().SCALE != 0, boxValue(p.tSlmt(c)), boxValue(p.tSval(c))});
  g.setYStep(false);
  if (g.Large())
    g.setLarge(false);
  g.setSize(false);
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
  showTestRow(c, m_slot.slotModel().at(c).view.voltText);
  CreateRecording(c);
  return true;
}

void SingleTestController::showTestRow(int c, const QString& beginVolt) {
  // The boxes' texts were accepted by the command: the mode column repeats them.
  m_slot.takeTypedTexts(c);
  ondrel::showTestRow(m_slot.slotModel(), c, beginVolt);
  m_slot.showRow(c);
}

void SingleTestController::CreateRecording(int c) {
  try {
    createChannelRecording(m_slot.slotModel(), c, recordingPath(c), m_slot.temperatureShown());
  } catch (...) {
    // The test runs on regardless; the data file at its end still comes from the curves.
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrRecord"), reason);
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
  clearGraphCurves(c);
  clearChannelSeries(m_slot.slotModel(), c);
}

void SingleTestController::clearGraphCurves(int c) {
  CurveGraph& g = m_slot.graph();
  for (int k = 0; k < kCurvesPerChannel; ++k)
    g.Clear(curveIndex(c, Curve(k)));
  if (!m_slot.slotModel().Dev2S && g.CurveCount() == 2 * kCurvesPerChannel)
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

  CurveGraph& g = m_slot.graph();
  if (g.Large())
    g.setLarge(false);
  g.setSize(false);
  clearGraphCurves(c);
  SlotModel& m = m_slot.slotModel();
  replayIntoChannel(m, c, path, content, QDateTime::currentMSecsSinceEpoch(),
                    m_slot.prefs().SCALE != 0);
  m_slot.drawSeries(c);
  m_slot.showRow(c);
  m_slot.FitAxes();
  m_slot.redrawGraph();
  if (sendable)
    m_slot.SendStart(c, operation);
  SetRunButtons(false);
  emit calibButtonsDue(false);
}

void SingleTestController::endRecording(int c) {
  logFailures(QStringLiteral("ErrRecord"), [&] {
    endChannelRecording(m_slot.slotModel(), c, QDateTime::currentDateTime());
  });
}

void SingleTestController::deviceRenamed(int c) {
  ChannelData& d = m_slot.channel(c);
  const QString path = recordingPath(c);
  if (d.RecPath.isEmpty() || path == d.RecPath)
    return;
  logFailures(QStringLiteral("ErrRecord"), [&] {
    renameRecording(d.RecPath, path, m_slot.slotModel().at(c).row.device);
    d.RecPath = path;
  });
}

void SingleTestController::MonitorClick(int c) {
  SlotModel& m = m_slot.slotModel();
  if (m.buttons != RunButtons::Idle || m.InfoCount <= 1)
    return;
  ChannelModel& ch = m.at(c);
  if (ch.monitoring) {
    ch.monitoring = false;
    m.changeClocks(c, ClockChange::Ends);
  } else {
    // The curve goes on from its last point.
    ch.data.CurveSec = ch.series.empty() ? 0 : ch.series.back().sec;
    ch.monitoring = true;
    m.changeClocks(c, ClockChange::MonitorStarts);
  }
  m_slot.showClocks();
  m_slot.showMonitor(c);
}

void SingleTestController::ShowParams(int c) {
  if (showChannelParams(m_slot.slotModel(), c))
    renderParams(c);
}

void SingleTestController::renderParams(int c) {
  DevCtrl& p = m_slot.panel();
  const ParamView& v = m_slot.slotModel().at(c).view.params;
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
  m_slot.showRow(c);
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
    if (m_slot.slotModel().Dev2S) {
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
  SlotModel& m = m_slot.slotModel();
  m.buttons = idle ? RunButtons::Idle : RunButtons::Running;
  if (idle) {
    p.setRunEnable(true);
    p.setStopEnable(false);
    p.setContEnable(true);
    p.setSetEnable(false);
    if (m_slot.StepRunning())
      return;
    p.setModeEnable(true);
    p.setMonitorEnable(true);
    emit mainMenusDue(true, m.connected());
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
