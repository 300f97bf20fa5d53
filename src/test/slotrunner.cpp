#include "test/slotrunner.h"

#include "data/recording.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"
#include "link/portnames.h"
#include "test/channeltest.h"
#include "test/params.h"
#include "test/singletest.h"

#include <QDateTime>

namespace ondrel {

SlotRunner::SlotRunner(Comm& comm, Settings settings, QObject* parent)
    : QObject(parent), m_comm(comm), m_settings(std::move(settings)) {
  m_pollTimer.setInterval(50);
  m_connTimer.setInterval(1000);
  m_tick.setInterval(1000);
  m_stepTimer.setInterval(1000);
  connect(&m_pollTimer, &QTimer::timeout, this, &SlotRunner::poll);
  connect(&m_connTimer, &QTimer::timeout, this, &SlotRunner::sendConnect);
  connect(&m_tick, &QTimer::timeout, this, &SlotRunner::secondTick);
  connect(&m_stepTimer, &QTimer::timeout, this, &SlotRunner::stepTick);
  m_lastHeard.start();
}

SlotRunner::~SlotRunner() {
  close();
}

bool SlotRunner::open(int n, QString* reason) {
  if (m_handle != 0)
    return true;
  m_handle = m_comm.OpenPort(n);
  if (m_handle == 0) {
    if (reason)
      *reason = describeOpenFailure(n, m_comm.lastOpenFailure());
    return false;
  }
  m_comm.SetupPort(m_handle, 9600, 8, 0, 2); // a pseudo-terminal refuses even parity
  m_model.port = portName(n);
  m_model.link = LinkState::Connecting;
  m_rx.reset();
  m_heard = 0;
  m_lastHeard.restart();
  m_pollTimer.start();
  m_connTimer.start();
  sendConnect();
  return true;
}

void SlotRunner::close() {
  m_pollTimer.stop();
  m_connTimer.stop();
  m_tick.stop();
  m_stepTimer.stop();
  if (m_handle == 0)
    return;
  if (m_comm.isPortOpen(m_handle))
    logFailures(QStringLiteral("ErrDconn"), [&] { writeFrame(disconnectFrame()); });
  m_comm.ClosePort(m_handle);
  m_model.link = LinkState::Disconnected;
}

bool SlotRunner::portOpen() const {
  return m_handle != 0;
}

bool SlotRunner::portLost() const {
  return m_handle != 0 && !m_comm.isPortOpen(m_handle);
}

bool SlotRunner::ready() const {
  return m_model.link == LinkState::Identified && m_model.nameFinal();
}

qint64 SlotRunner::silentMs() const {
  return m_lastHeard.elapsed();
}

void SlotRunner::poll() {
  const QByteArray bytes = m_comm.ReadPort(m_handle);
  if (!bytes.isEmpty())
    receive(bytes);
}

void SlotRunner::receive(const QByteArray& bytes) {
  m_rx.ReceiveBytes(bytes, [this](const RecBody& body) {
    ReportInputs in;
    in.ms = QDateTime::currentMSecsSinceEpoch();
    in.shownChannel = m_settings.channel;
    in.temperatureData = m_settings.temperatureData;
    in.scaleFromValues = m_settings.scaleFromValues;
    // A program writes its whole run at its end, not a file per step.
    in.saveAtEnd = m_settings.dataFile && !m_engine.StepOn();
    in.stepRunning = m_stepRunning;
    ReportStep step(m_model, [this](const SlotEffect& e) { applyEffect(e); });
    try {
      return step.take(body, in).action;
    } catch (...) {
      ErrLog(QStringLiteral("ErrReport"), describeCurrentException());
      return ReportAction::DropRest;
    }
  });
}

void SlotRunner::sendConnect() {
  logFailures(QStringLiteral("ErrConn"), [&] { writeFrame(connectFrame()); });
}

void SlotRunner::writeFrame(const CmdFrame& frame) {
  m_comm.WritePort(m_handle, QByteArray(reinterpret_cast<const char*>(frame.data()),
                                        static_cast<qsizetype>(frame.size())));
}

void SlotRunner::say(const QString& tag, const QString& text) {
  ErrLog(tag, text);
  emit problem(text);
}

void SlotRunner::applyEffect(const SlotEffect& e) {
  const int c = e.channel;
  using Kind = SlotEffect::Kind;
  switch (e.kind) {
  case Kind::Heard:
    ++m_heard;
    m_lastHeard.restart();
    break;
  case Kind::Connected:
    m_connTimer.stop();
    break;
  case Kind::Identified:
    if (ready())
      emit identified();
    break;
  case Kind::NameDue:
    // A model named by its info report is ready once named.
    if (ready())
      emit identified();
    break;
  case Kind::ButtonsIdle:
    m_model.buttons = RunButtons::Idle;
    break;
  case Kind::ButtonsRunning:
    m_model.buttons = RunButtons::Running;
    break;
  case Kind::RecordingRenamed:
    renameRecording(c);
    break;
  case Kind::TestAdopted:
    adopt(c);
    break;
  case Kind::ClocksChanged:
    followClocks();
    break;
  case Kind::SampleRejected:
    ErrLog(rejectedSampleTag(m_settings.slot, data(c), m_model.params), QString());
    break;
  case Kind::UpdateFailed:
    ErrLog(failedUpdateTag(m_settings.slot, data(c)), e.text);
    break;
  case Kind::RecordingLineDue:
    recordSample(c);
    break;
  case Kind::ChannelUpdated:
    emit sampleTaken(c);
    break;
  case Kind::RecordingEndDue:
    m_endRecording.at(size_t(c)) = data(c).RecPath.isEmpty() || data(c).RecWriteFailed
                                       ? QString()
                                       : data(c).RecPath + QStringLiteral(".bak");
    logFailures(QStringLiteral("ErrRecord"), [&] {
      endChannelRecording(m_model, c, QDateTime::currentDateTime());
    });
    break;
  case Kind::DataFileDue:
    m_endFile.at(size_t(c)) = saveDataFile(c, &m_endProblem.at(size_t(c)));
    break;
  case Kind::Finished: {
    emit sampleTaken(c); // the report that ended the test, the channel now idle
    const QString file = std::exchange(m_endFile.at(size_t(c)), QString());
    const QString fileProblem = std::exchange(m_endProblem.at(size_t(c)), QString());
    if (!m_engine.StepOn())
      emit testEnded(c, file, fileProblem);
    break;
  }
  default: // what only a window shows
    break;
  }
}

QString SlotRunner::saveDataFile(int c, QString* problem) {
  try {
    const ChannelFileOptions options{m_settings.title, m_settings.csv,
                                     m_settings.temperatureData && m_model.params.HasTemp,
                                     m_stepRunning};
    return writeEndOfTestFile(m_model, m_settings.slot, c, m_settings.folder, options,
                              QDateTime::currentDateTime());
  } catch (...) {
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrEndSave"), reason);
    if (problem)
      *problem = reason;
    return {};
  }
}

void SlotRunner::recordSample(int c) {
  ChannelData& d = data(c);
  try {
    appendChannelSample(m_model, c, m_settings.temperatureData && m_model.params.HasTemp,
                        m_recordedWhole.at(size_t(c)));
  } catch (...) {
    // A full disk fails every second: said once per test, and the test is followed on.
    if (d.RecWriteFailed)
      return;
    d.RecWriteFailed = true;
    say(failedUpdateTag(m_settings.slot, d), describeCurrentException());
  }
}

void SlotRunner::renameRecording(int c) {
  ChannelData& d = data(c);
  const QString path = channelRecordingPath(m_model, m_settings.folder, m_settings.slot, c);
  if (d.RecPath.isEmpty() || path == d.RecPath)
    return;
  logFailures(QStringLiteral("ErrRecord"), [&] {
    ondrel::renameRecording(d.RecPath, path, m_model.at(c).row.device);
    d.RecPath = path;
  });
}

void SlotRunner::followClocks() {
  const bool any = m_model.at(0).curveClock || m_model.at(1).curveClock;
  if (!any)
    m_tick.stop();
  else if (!m_tick.isActive())
    m_tick.start();
}

void SlotRunner::secondTick() {
  const std::array<bool, 2> counted = m_model.secondTick();
  // A single-channel test tells the device the elapsed time once a minute, as the window does.
  if (!m_model.Dev2S && counted[0] && sendsElapsedTime(data(0).TestSec))
    logFailures(QStringLiteral("ErrTim"),
                [&] { writeFrame(timeFrame(0, data(0).TestSec)); });
}

bool SlotRunner::sendStart(int c, int operation) {
  bool built = false;
  logFailures(QStringLiteral("ErrStart%1").arg(operation), [&] {
    ChannelData& d = data(c);
    const ParamView& v = m_model.at(c).view.params;
    const StartCommand s = startFrame(m_model.params, c, d.ModeNo, {v.tSval, v.tSlmt, v.tStim},
                                      operation);
    d.SetRaw = s.SetRaw;
    d.LimitRaw = s.LimitRaw;
    d.TimeRaw = s.TimeRaw;
    built = true;
    writeFrame(s.frame);
  });
  return built;
}

void SlotRunner::adopt(int c) {
  if (!m_settings.adopt) {
    m_foundRunning.at(size_t(c)) = true;
    return;
  }
  const QString path = channelRecordingPath(m_model, m_settings.folder, m_settings.slot, c);
  std::optional<RecordingContent> content;
  try {
    content = readRecording(path);
  } catch (...) {
    ErrLog(QStringLiteral("ErrCont%1").arg(c), describeCurrentException());
  }
  // A recording that ended normally belongs to a finished test: the running one is new.
  if (content && !content->endedNormally) {
    replayIntoChannel(m_model, c, path, *content, QDateTime::currentMSecsSinceEpoch(),
                      m_settings.scaleFromValues);
    const int operation = continuesAsStart(m_model.params) ? static_cast<int>(CmdOp::Start)
                                                           : static_cast<int>(CmdOp::Continue);
    sendStart(c, operation);
    m_model.buttons = RunButtons::Running;
    emit testAdopted(c, true);
    return;
  }
  prepareTest(m_model, c, {false, m_settings.scaleFromValues, 0.0, 0.0});
  data(c).StepCurves = false; // a test this program did not start
  // The report being handled has not reached the readout yet: its own voltage begins the test.
  const float volt = data(c).Volt;
  showTestRow(m_model, c, Format(volt, voltagePicture(volt, m_model.params)));
  beginTest(c);
  emit testAdopted(c, false);
}

void SlotRunner::beginTest(int c) {
  try {
    createChannelRecording(m_model, c,
                           channelRecordingPath(m_model, m_settings.folder, m_settings.slot, c),
                           m_settings.temperatureData && m_model.params.HasTemp);
  } catch (...) {
    // The test runs on regardless; the data file at its end still comes from the series.
    say(QStringLiteral("ErrRecord"), describeCurrentException());
  }
}

void SlotRunner::setUpValues(int c, int modeNo, const TestValues& values) {
  ChannelData& d = data(c);
  if (d.ModeNo != modeNo || m_model.at(c).view.params.tMode.isEmpty()) {
    const ChannelParams defaults = modeDefaults(m_model.params, modeNo);
    d.ModeNo = static_cast<qint16>(modeNo);
    d.SetRaw = defaults.SetRaw;
    d.LimitRaw = defaults.LimitRaw;
    d.TimeRaw = 0;
  }
  showChannelParams(m_model, c);
  ParamView& v = m_model.at(c).view.params;
  if (!values.set.isEmpty())
    v.tSval = values.set;
  if (!values.limit.isEmpty())
    v.tSlmt = values.limit;
  if (!values.time.isEmpty())
    v.tStim = values.time;
  if (modeNo >= 0 && modeNo < m_model.modes.size())
    m_model.modeText = m_model.modes.at(modeNo);
}

std::optional<QString> SlotRunner::refusal(int c, int modeNo, const TestValues& values) const {
  if (!ready())
    return LangText(QStringLiteral("No device is connected."));
  if (modeNo < 0 || modeNo >= m_model.modes.size())
    return QStringLiteral("The device has no such mode.");
  if (c < 0 || c > (m_model.Dev2S ? 1 : 0))
    return QStringLiteral("The device has no channel %1.").arg(c + 1);
  // The checks run on a copy: a refused value changes nothing.
  SlotModel probe = m_model;
  ChannelData& d = probe.at(c).data;
  const ChannelParams defaults = modeDefaults(probe.params, modeNo);
  d.ModeNo = static_cast<qint16>(modeNo);
  d.SetRaw = defaults.SetRaw;
  d.LimitRaw = defaults.LimitRaw;
  d.TimeRaw = 0;
  showChannelParams(probe, c);
  const ParamView& v = probe.at(c).view.params;
  const QString noValue = LangText(QStringLiteral("This mode takes no value here."));
  if ((!values.set.isEmpty() && !v.SvalEnable) || (!values.limit.isEmpty() && !v.SlmtEnable) ||
      (!values.time.isEmpty() && !v.StimEnable))
    return noValue;
  const auto check = [](const std::optional<BoxRefusal>& r) -> std::optional<QString> {
    if (r)
      return r->message;
    return std::nullopt;
  };
  if (!values.set.isEmpty())
    if (auto r = check(checkSval(probe.params, modeNo, values.set)))
      return r;
  if (!values.limit.isEmpty())
    if (auto r = check(checkSlmt(probe.params, modeNo, values.limit)))
      return r;
  if (!values.time.isEmpty())
    if (auto r = check(checkStim(probe.params, modeNo, values.time)))
      return r;
  const QString set = values.set.isEmpty() ? v.tSval : values.set;
  const QString limit = values.limit.isEmpty() ? v.tSlmt : values.limit;
  const QString time = values.time.isEmpty() ? v.tStim : values.time;
  try {
    startFrame(probe.params, c, modeNo, {set, limit, time}, static_cast<int>(CmdOp::Start));
  } catch (...) {
    return startRefusalMessage(set, limit, time);
  }
  return std::nullopt;
}

std::optional<QString> SlotRunner::startTest(int c, int modeNo, const TestValues& values) {
  if (auto r = refusal(c, modeNo, values))
    return r;
  if (data(c).ChnRunning)
    return QStringLiteral("Channel %1 is running a test already.").arg(c + 1);
  setUpValues(c, modeNo, values);
  beginStart(c);
  data(c).StepCurves = false;
  return std::nullopt;
}

void SlotRunner::beginStart(int c) {
  const ParamView& v = m_model.at(c).view.params;
  prepareTest(m_model, c,
              {m_stepRunning, m_settings.scaleFromValues, boxValue(v.tSlmt), boxValue(v.tSval)});
  sendStart(c, static_cast<int>(CmdOp::Start));
  m_model.buttons = RunButtons::Running;
  showTestRow(m_model, c, m_model.at(c).view.voltText);
  beginTest(c);
  emit testStarted(c);
}

void SlotRunner::stopTest(int c) {
  logFailures(QStringLiteral("ErrStop"), [&] { writeFrame(stopFrame(c)); });
  m_model.buttons = RunButtons::Idle;
}

// ---- step program ------------------------------------------------------------------------------

std::optional<QString> SlotRunner::startProgram(const StepTable& table) {
  if (!ready())
    return LangText(QStringLiteral("No device is connected."));
  if (table[0].empty())
    return QStringLiteral("The step program has no steps.");
  if (data(0).ChnRunning)
    return LangText(QStringLiteral("Please stop other test first"));
  if (auto r = programRefusal(m_model.params, m_model.modes, table))
    return r;
  m_table = table;
  m_engine.start();
  m_stepRunning = false;
  for (int c = 0; c < 2; ++c)
    m_model.clearSeries(c);
  m_model.stepResults = {stepResultHeadings()};
  m_model.stepRow = 1;
  data(0).StepCurves = true;
  m_stepTimer.start();
  return std::nullopt;
}

void SlotRunner::programOff() {
  m_engine.stop();
  m_stepRunning = false;
  m_stepTimer.stop();
}

void SlotRunner::stopProgram() {
  if (!m_engine.StepOn())
    return;
  programOff();
  ChannelData& d = data(0);
  if (m_model.buttons == RunButtons::Running)
    stopTest(0);
  else if (!d.ChnRunning)
    m_model.buttons = RunButtons::Idle;
  d.StartPoint = 0;
  m_model.changeClocks(0, ClockChange::Ends);
  followClocks();
  // A channel still running saves the whole program at its coming idle report; an idle one
  // (the program's end, or a stop during a wait) saves it here.
  if (d.ChnRunning)
    return;
  QString file, fileProblem;
  if (m_settings.dataFile && hasStepResults(m_model))
    file = saveDataFile(0, &fileProblem);
  emit programEnded(file, fileProblem);
}

void SlotRunner::stepTick() {
  if (!m_engine.StepOn())
    return;
  const ChannelData& d = data(0);
  try {
    const std::vector<StepAction> actions = m_engine.tick(
        {d.ChnRunning, m_model.buttons == RunButtons::Running}, m_table, m_model.modes,
        m_model.params);
    for (const StepAction& a : actions)
      stepAction(a);
    if (m_engine.StepOn())
      m_stepRunning = m_engine.StepRunning();
  } catch (...) {
    ErrLog(QStringLiteral("ErrStepTmrOn(%1 %2 %3)")
               .arg(m_settings.slot)
               .arg(d.ChnRunning ? QStringLiteral("True") : QStringLiteral("False"))
               .arg(m_engine.StepPhase()),
           describeCurrentException());
  }
}

void SlotRunner::setStepResult(int col, const QString& text) {
  while (int(m_model.stepResults.size()) <= m_model.stepRow)
    m_model.stepResults.push_back(QStringList(4, QString()));
  m_model.stepResults[size_t(m_model.stepRow)][col] = text;
}

void SlotRunner::stepAction(const StepAction& a) {
  ChannelData& d = data(0);
  switch (a.kind) {
  case StepAction::StopChannel:
    stopTest(0);
    break;
  case StepAction::ResultRow:
    setStepResult(0, a.text);
    setStepResult(1, a.mode);
    break;
  case StepAction::ResultValues:
    setStepResult(2, a.wait ? QStringLiteral("0") : stepResultText(d.Cap));
    setStepResult(3, a.wait ? QStringLiteral("0") : stepResultText(d.Energy));
    break;
  case StepAction::SetUpStep: {
    const StepRow& row = m_table[size_t(a.row - 1)];
    setUpValues(0, a.modeNo, {row.set1, row.set2, row.cutoff});
    m_model.modeText = row.mode;
    break;
  }
  case StepAction::PressStart: {
    // A step the device did not start gets the idle state back before the next press.
    m_model.buttons = RunButtons::Idle;
    const ParamView& v = m_model.at(0).view.params;
    try {
      startFrame(m_model.params, 0, d.ModeNo, {v.tSval, v.tSlmt, v.tStim},
                 static_cast<int>(CmdOp::Start));
    } catch (...) {
      ErrLog(QStringLiteral("ErrStart%1").arg(static_cast<int>(CmdOp::Start)),
             describeCurrentException());
      break;
    }
    beginStart(0);
    break;
  }
  case StepAction::ColourRow: // the page's colours only
    break;
  case StepAction::NextResultRow:
    ++m_model.stepRow;
    break;
  case StepAction::EndProgram:
    stopProgram();
    break;
  }
}

} // namespace ondrel
