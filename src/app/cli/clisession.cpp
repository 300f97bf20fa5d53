#include "cli/clisession.h"

#include "history/historywriter.h"

#include "data/settings.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/programfolder.h"
#include "data/textfile.h"
#include "link/portnames.h"
#include "test/channeltest.h"
#include "test/singletest.h"
#include "test/stepfile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QJsonArray>

namespace ondrel::cli {

FolderSettings readFolderSettings(const QString& folder, int port) {
  FolderSettings s;
  QFile f(QDir(folder).filePath(QStringLiteral("ondrel.ini")));
  if (!f.open(QIODevice::ReadOnly))
    return s;
  const IniDocument ini = IniDocument::fromText(QString::fromLocal8Bit(f.readAll()));
  const StartupSettings read = readStartupSettings(ini);
  s.temperatureData = read.prefs.TEMP;
  s.scaleFromValues = read.prefs.SCALE != 0;
  s.csv = read.prefs.CSV;
  s.mqtt = readMqttConfig(ini);
  // The slot the program last connected to this port names the recordings, so that its Continue
  // finds them.
  for (int k = 1; k <= 10; ++k)
    if (ini.value(QStringLiteral("COMM"), QStringLiteral("PORT%1").arg(k)).trimmed() ==
        QString::number(port)) {
      s.slot = k - 1;
      break;
    }
  return s;
}

MqttConfig mqttConfigOf(const Options& o, const MqttConfig& fromIni) {
  MqttConfig c = fromIni;
  if (!o.mqttUrl.isEmpty())
    c.url = o.mqttUrl;
  if (!o.mqttUser.isEmpty())
    c.user = o.mqttUser;
  if (!o.mqttPassFile.isEmpty())
    c.passFile = o.mqttPassFile;
  if (!o.mqttCaFile.isEmpty())
    c.caFile = o.mqttCaFile;
  if (!o.mqttPrefix.isEmpty())
    c.prefix = o.mqttPrefix;
  return c;
}

Session::Session(const Options& options, const FolderSettings& settings, Comm& comm,
                 Printer& out, QObject* parent)
    : QObject(parent), m_options(options), m_comm(comm), m_out(out) {
  SlotRunner::Settings s;
  s.folder = programFolder();
  s.slot = settings.slot;
  s.channel = options.channel < 0 ? 0 : options.channel;
  s.temperatureData = settings.temperatureData;
  s.scaleFromValues = settings.scaleFromValues;
  s.csv = settings.csv;
  s.dataFile = !options.noDataFile && options.format != FileFormat::Bdf;
  s.title = options.label;
  // `run` starts a test of its own: one found running is only noted.
  s.adopt = options.command != Command::Run && options.command != Command::Info;
  m_thirdIsTemperature = settings.temperatureData;
  m_slot = settings.slot;
  m_runner = std::make_unique<SlotRunner>(comm, s);
  connect(m_runner.get(), &SlotRunner::identified, this, &Session::identified);
  connect(m_runner.get(), &SlotRunner::sampleTaken, this, &Session::sample);
  connect(m_runner.get(), &SlotRunner::testStarted, this, &Session::testStarted);
  connect(m_runner.get(), &SlotRunner::testAdopted, this, &Session::testAdopted);
  connect(m_runner.get(), &SlotRunner::testEnded, this, &Session::testEnded);
  connect(m_runner.get(), &SlotRunner::programEnded, this, &Session::programEnded);
  connect(m_runner.get(), &SlotRunner::problem, this,
          [this](const QString& text) { m_out.error(m_runner->model().port, text, 0); });
  m_watchdog.setInterval(200);
  connect(&m_watchdog, &QTimer::timeout, this, &Session::watchdog);
  if (options.command != Command::Info)
    startTelemetry(mqttConfigOf(options, settings.mqtt));
}

void Session::startTelemetry(const MqttConfig& config) {
  if (!config.enabled())
    return;
  QString error;
  m_telemetry = DeviceTelemetry::make(config, portName(m_options.port), &error, this);
  if (!m_telemetry) {
    // The test goes on without telemetry; said once.
    ErrLog(QStringLiteral("ErrMqtt"), error);
    m_out.error(portName(m_options.port), QStringLiteral("MQTT: %1").arg(error), 0);
    return;
  }
  connect(m_telemetry.get(), &DeviceTelemetry::statusChanged, this,
          [this](bool up, const QString& reason) {
            m_out.line(up ? QStringLiteral("MQTT: connected")
                          : QStringLiteral("MQTT: offline (%1)").arg(reason));
            if (!up && m_out.json())
              m_out.error(portName(m_options.port), QStringLiteral("MQTT: offline (%1)").arg(reason), 0);
          });
  connect(m_telemetry.get(), &DeviceTelemetry::stopRequested, this, [this](int c) {
    if (m_done || !follows(c) || !m_runner->model().at(c).data.ChnRunning)
      return;
    m_stoppedRemotely = true;
    m_runner->stopTest(c);
  });
}

void Session::tell(const QJsonObject& object, const QString& text) {
  m_out.event(object, text);
  if (m_telemetry && object.value(QStringLiteral("event")).toString() != QLatin1String("identified"))
    m_telemetry->event(std::max(0, object.value(QStringLiteral("channel")).toInt(1) - 1), object);
}

Session::~Session() = default;

bool Session::follows(int c) const {
  return m_options.channel < 0 || m_options.channel == c;
}

void Session::start() {
  QString reason;
  if (!m_runner->open(m_options.port, &reason)) {
    fail(reason, kExitPortFailed);
    return;
  }
  m_watchdog.start();
}

void Session::watchdog() {
  if (m_done)
    return;
  const SlotModel& m = m_runner->model();
  if (m_runner->portLost()) {
    linkLost(QStringLiteral("The port %1 has gone.").arg(m.port));
    return;
  }
  if (!m_identified) {
    if (m_runner->silentMs() > kNoAnswerMs)
      fail(m_runner->reportsHeard() == 0
               ? QStringLiteral("No device answered on %1.").arg(m.port)
               : QStringLiteral("The device on %1 was not identified as a known model.")
                     .arg(m.port),
           kExitNoDevice);
    return;
  }
  if (m_runner->silentMs() > kSilentMs) {
    linkLost(QStringLiteral("The device on %1 has been silent for %2 s.")
                 .arg(m.port)
                 .arg(kSilentMs / 1000));
    return;
  }
  // A test the device never runs (a cell already below its cutoff) is no test to follow.
  if (m_options.command == Command::Run && m_startedAt.isValid() && !m_seenRunning &&
      m_startedAt.elapsed() > kStartWaitMs) {
    fail(QStringLiteral("The device on %1 did not start the test (is the cell already at its "
                        "limit?).")
             .arg(m.port),
         kExitBadArguments);
    return;
  }
  if (m_stopping && QDateTime::currentDateTimeUtc() > m_stopDeadline) {
    // The device never said it stopped: what was measured is kept all the same.
    for (int c = 0; c < 2; ++c)
      if (m_running[size_t(c)]) {
        QString problem;
        const QString file = m_options.noDataFile ? QString() : m_runner->writeDataFile(c, &problem);
        tell(endedObject(c, QStringLiteral("stopped"), file, QString()),
                    QStringLiteral("%1 channel %2: no stop confirmed; data file %3")
                        .arg(m.port)
                        .arg(c + 1)
                        .arg(file.isEmpty() ? problem : file));
      }
    fail(QStringLiteral("The device on %1 did not confirm the stop.").arg(m.port), kExitLinkLost);
  }
}

void Session::identified() {
  if (m_identified)
    return;
  m_identified = true;
  const SlotModel& m = m_runner->model();
  if (m_options.command == Command::Info && !m_out.json()) {
    for (const QString& line : infoLines(m))
      m_out.line(line);
  } else {
    m_out.event(identifiedObject(m), QStringLiteral("%1: %2, firmware %3")
                                         .arg(m.port, m.at(0).row.device, firmwareText(m.params)));
  }
  if (m_telemetry)
    m_telemetry->identified(m, identifiedObject(m));
  // The report that identified the device is not done yet: its run state (a test found running)
  // is known once it is.
  QTimer::singleShot(0, this, &Session::decide);
}

void Session::decide() {
  if (m_done)
    return;
  switch (m_options.command) {
  case Command::Info:
    finish(kExitOk);
    return;
  case Command::Run:
    startRun();
    return;
  case Command::Program:
    startProgram();
    return;
  case Command::Watch:
  case Command::Ports:
  case Command::Forget:
  case Command::History:
    if (!m_running[0] && !m_running[1])
      m_out.line(QStringLiteral("Waiting for a test on %1 ...").arg(m_runner->model().port));
    return;
  }
}

void Session::startRun() {
  const SlotModel& m = m_runner->model();
  const int c = m_options.channel;
  int modeNo = -1;
  for (int i = 0; i < m.modes.size(); ++i)
    if (m.modes.at(i).compare(m_options.mode.trimmed(), Qt::CaseInsensitive) == 0)
      modeNo = i;
  if (modeNo < 0) {
    fail(QStringLiteral("%1 is not a mode of %2. Its modes: %3.")
             .arg(m_options.mode, m.at(0).row.device, m.modes.join(QStringLiteral(", "))),
         kExitBadArguments);
    return;
  }
  if (c > (m.Dev2S ? 1 : 0)) {
    fail(QStringLiteral("%1 has one channel.").arg(m.at(0).row.device), kExitBadArguments);
    return;
  }
  if (m_runner->foundRunning(c) || m.at(c).data.ChnRunning) {
    fail(QStringLiteral("Channel %1 of %2 is running a test already; follow it with "
                        "ondrel-cli watch, or stop it first.")
             .arg(c + 1)
             .arg(m.port),
         kExitBadArguments);
    return;
  }
  if (const auto refusal =
          m_runner->startTest(c, modeNo, {m_options.set, m_options.limit, m_options.time})) {
    fail(*refusal, kExitBadArguments);
    return;
  }
}

void Session::startProgram() {
  const SlotModel& m = m_runner->model();
  QFile file(m_options.stepFile);
  if (!file.open(QIODevice::ReadOnly)) {
    fail(QStringLiteral("The step file %1 cannot be read: %2")
             .arg(QDir::toNativeSeparators(m_options.stepFile), file.errorString()),
         kExitBadArguments);
    return;
  }
  const StepFileRead read = readStepFile(file.readAll(), m.params.ModelCode, m.modes);
  if (!read.sameModel) {
    fail(QStringLiteral("%1 is not a step file of %2.")
             .arg(QDir::toNativeSeparators(m_options.stepFile), m.at(0).row.device),
         kExitBadArguments);
    return;
  }
  if (m_runner->foundRunning(0)) {
    fail(QStringLiteral("Channel 1 of %1 is running a test already.").arg(m.port),
         kExitBadArguments);
    return;
  }
  if (const auto refusal = m_runner->startProgram(read.table)) {
    fail(*refusal, kExitBadArguments);
    return;
  }
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("program"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("file"), QDir::toNativeSeparators(m_options.stepFile));
  tell(o, QStringLiteral("%1: step program %2 started")
                     .arg(m.port, QFileInfo(m_options.stepFile).fileName()));
}

void Session::sample(int c) {
  if (m_done || !follows(c) || !m_identified)
    return;
  if (m_runner->model().at(c).data.ChnRunning)
    m_seenRunning = true;
  m_out.sample(m_runner->model(), c);
  if (m_telemetry)
    m_telemetry->sample(m_runner->model(), c, m_options.label);
}

void Session::testStarted(int c) {
  const SlotModel& m = m_runner->model();
  m_running[size_t(c)] = true;
  m_startedAt.start();
  m_started[size_t(c)] = QDateTime::currentDateTime();
  QJsonObject o = startedObject(m, c, m.modeText);
  if (m_runner->programOn()) {
    o.insert(QStringLiteral("step"), m_runner->engine().StepNo());
    o.insert(QStringLiteral("pass"), m_runner->engine().CycleNo());
  }
  if (!m_options.label.isEmpty())
    o.insert(QStringLiteral("label"), m_options.label);
  o.insert(QStringLiteral("recording"),
           QDir::toNativeSeparators(m.at(c).data.RecPath + QStringLiteral(".bak")));
  tell(o, QStringLiteral("%1 channel %2: started %3").arg(m.port).arg(c + 1).arg(m.at(c).row.mode));
}

void Session::testAdopted(int c, bool continued) {
  const SlotModel& m = m_runner->model();
  m_running[size_t(c)] = true;
  m_started[size_t(c)] =
      QDateTime::currentDateTime().addSecs(-qint64(m.at(c).data.TestSec));
  if (!follows(c))
    return;
  QJsonObject o;
  o.insert(QStringLiteral("event"), QStringLiteral("adopted"));
  o.insert(QStringLiteral("port"), m.port);
  o.insert(QStringLiteral("channel"), c + 1);
  o.insert(QStringLiteral("model"), m.at(c).row.device);
  o.insert(QStringLiteral("mode"), c < 2 && m.at(c).data.ModeNo < m.modes.size()
                                       ? m.modes.at(m.at(c).data.ModeNo)
                                       : QString());
  o.insert(QStringLiteral("continued"), continued);
  o.insert(QStringLiteral("t"), m.at(c).data.TestSec);
  o.insert(QStringLiteral("recording"),
           QDir::toNativeSeparators(m.at(c).data.RecPath + QStringLiteral(".bak")));
  tell(o, continued ? QStringLiteral("%1 channel %2: running test continued in its recording")
                                 .arg(m.port)
                                 .arg(c + 1)
                           : QStringLiteral("%1 channel %2: running test recorded as a new one")
                                 .arg(m.port)
                                 .arg(c + 1));
}

QJsonObject Session::endedObject(int c, const QString& reason, const QString& dataFile,
                                 const QString& bdfFile) const {
  QJsonObject o = ondrel::endedObject(m_runner->model(), c, reason, dataFile);
  if (!bdfFile.isEmpty())
    o.insert(QStringLiteral("bdf_file"), QDir::toNativeSeparators(bdfFile));
  return o;
}

QString Session::exportBdf(int c, QString* problem) {
  try {
    return writeBatteryDataFormatFile(m_runner->model(), c, programFolder(), m_started[size_t(c)],
                                      m_thirdIsTemperature);
  } catch (...) {
    if (problem)
      *problem = describeCurrentException();
    return {};
  }
}

void Session::testEnded(int c, const QString& dataFile, const QString& problem) {
  if (!m_running[size_t(c)] && !m_runner->model().at(c).begunHere())
    return;
  m_running[size_t(c)] = false;
  if (!follows(c))
    return;
  const SlotModel& m = m_runner->model();
  m_out.status(m, c); // the line shows the channel idle
  QString bdfProblem;
  const QString bdf = (m_options.format != FileFormat::Own && !m_options.noDataFile)
                          ? exportBdf(c, &bdfProblem)
                          : QString();
  if (!problem.isEmpty())
    m_out.error(m.port, QStringLiteral("The data file was not written: %1").arg(problem), 0);
  if (!bdfProblem.isEmpty())
    m_out.error(m.port, QStringLiteral("The Battery Data Format file was not written: %1")
                            .arg(bdfProblem), 0);
  const QString reason =
      m_stopping || m_stoppedRemotely ? QStringLiteral("stopped") : QStringLiteral("device");
  addToHistory(c, kind::Test, reason, dataFile, m_runner->endedRecording(c));
  QString text = QStringLiteral("%1 channel %2: ended (%3)").arg(m.port).arg(c + 1).arg(reason);
  if (!dataFile.isEmpty())
    text += QStringLiteral("; data file ") + QDir::toNativeSeparators(dataFile);
  if (!bdf.isEmpty())
    text += QStringLiteral("; ") + QDir::toNativeSeparators(bdf);
  tell(endedObject(c, reason, dataFile, bdf), text);

  if (m_options.command == Command::Watch && m_options.keepWatching && !m_stopping)
    return;
  if (m_options.command == Command::Program && m_runner->programOn())
    return;
  if (m_running[0] && follows(0))
    return;
  if (m_running[1] && follows(1))
    return;
  finish(kExitOk);
}

void Session::programEnded(const QString& dataFile, const QString& problem) {
  const SlotModel& m = m_runner->model();
  if (!problem.isEmpty())
    m_out.error(m.port, QStringLiteral("The data file was not written: %1").arg(problem), 0);
  QJsonObject o = endedObject(0, m_stopping ? QStringLiteral("stopped") : QStringLiteral("device"),
                              dataFile, QString());
  o.insert(QStringLiteral("program"), true);
  if (hasStepResults(m))
    addToHistory(0, kind::Program, m_stopping ? endreason::Stopped : endreason::Device, dataFile,
                 m_runner->endedRecording(0));
  QJsonArray rows;
  for (const QStringList& row : stepResultRows(m))
    rows.append(QJsonArray::fromStringList(row));
  o.insert(QStringLiteral("steps"), rows);
  tell(o, QStringLiteral("%1: step program ended%2")
                     .arg(m.port, dataFile.isEmpty()
                                      ? QString()
                                      : QStringLiteral("; data file ") +
                                            QDir::toNativeSeparators(dataFile)));
  finish(kExitOk);
}

void Session::linkLost(const QString& message) {
  for (int c = 0; c < 2; ++c)
    if (m_running[size_t(c)] && follows(c)) {
      const QString rec = m_runner->model().at(c).data.RecPath;
      addToHistory(c, m_runner->programOn() ? kind::Program : kind::Test, endreason::LinkLost,
                   QString(), rec.isEmpty() ? QString() : rec + QStringLiteral(".bak"));
      tell(endedObject(c, QStringLiteral("link lost"), QString(), QString()),
                  QStringLiteral("%1 channel %2: link lost; the recording keeps the test")
                      .arg(m_runner->model().port)
                      .arg(c + 1));
      m_running[size_t(c)] = false;
    }
  fail(message, kExitLinkLost);
}

void Session::addToHistory(int c, const QString& kind, const QString& reason,
                           const QString& dataFile, const QString& recording) {
  if (!m_history)
    return;
  TestEnd end;
  end.kind = kind;
  end.endReason = reason;
  end.ended = QDateTime::currentDateTimeUtc();
  end.label = m_options.label;
  end.dataFile = dataFile;
  end.recordingFile = recording;
  end.slot = m_slot;
  logFailures(QStringLiteral("ErrHistory"), [&] {
    m_history->add(recordOfChannel(m_runner->model(), c, end,
                                   m_thirdIsTemperature && m_runner->model().params.HasTemp));
  });
}

void Session::interrupt() {
  if (m_done)
    return;
  if (m_stopping)
    return;
  m_stopping = true;
  const SlotModel& m = m_runner->model();
  if (m_options.noStop) {
    // The test goes on on the device; its recording stays open to be continued.
    for (int c = 0; c < 2; ++c)
      if (m_running[size_t(c)] && follows(c)) {
        QString problem;
        const QString file =
            m_options.noDataFile || m_options.format == FileFormat::Bdf
                ? QString()
                : m_runner->writeDataFile(c, &problem);
        QJsonObject o = endedObject(c, QStringLiteral("detached"), file, QString());
        tell(o, QStringLiteral("%1 channel %2: left running%3")
                           .arg(m.port)
                           .arg(c + 1)
                           .arg(file.isEmpty() ? QString()
                                               : QStringLiteral("; data file ") +
                                                     QDir::toNativeSeparators(file)));
      }
    finish(kExitOk);
    return;
  }
  if (m_runner->programOn()) {
    m_stopDeadline = QDateTime::currentDateTimeUtc().addMSecs(kStopWaitMs);
    m_runner->stopProgram(); // ends at the channel's idle report, or here when it is idle
    return;
  }
  bool waiting = false;
  for (int c = 0; c < 2; ++c)
    if (follows(c) && m.at(c).data.ChnRunning) {
      m_runner->stopTest(c);
      waiting = true;
    }
  if (!waiting) {
    finish(kExitOk);
    return;
  }
  m_stopDeadline = QDateTime::currentDateTimeUtc().addMSecs(kStopWaitMs);
}

void Session::fail(const QString& message, int code) {
  if (m_done)
    return;
  m_out.error(m_runner->model().port.isEmpty() ? portName(m_options.port)
                                              : m_runner->model().port,
              message, code);
  finish(code);
}

void Session::finish(int code) {
  if (m_done)
    return;
  m_done = true;
  m_watchdog.stop();
  m_out.finish();
  m_runner->close();
  if (m_telemetry)
    m_telemetry->close();
  emit finished(code);
}

} // namespace ondrel::cli
