#include "simdevice.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTextStream>

#include <algorithm>
#include <cmath>

namespace ondrel::sim {

namespace {

// Longest stretch handled in one piece, so that pacing and physics stay fine-grained when a
// test jumps the clock.
constexpr double kStepMs = 10.0;

} // namespace

SimDevice::SimDevice(const QString& home, const DeviceOptions& options, QObject* parent)
    : QObject(parent), m_home(home), m_options(options), m_random(options.seed) {
  if (m_options.boot) {
    if (m_options.bootConfig.imagePath.isEmpty())
      m_options.bootConfig.imagePath =
          QDir(home).filePath(QStringLiteral("sim-image-COM%1.bin").arg(m_options.port));
    m_boot = std::make_unique<BootLoader>(m_options.bootConfig);
  } else {
    m_logic = std::make_unique<DeviceLogic>(m_options.device);
  }
}

SimDevice::~SimDevice() {
  close();
}

QString SimDevice::linkPath() const {
  return QDir(m_home).filePath(QStringLiteral("ports/COM%1").arg(m_options.port));
}

bool SimDevice::open(QString* error) {
  if (!m_pty.open(linkPath(), error))
    return false;
  m_vanished = false;
  if (m_options.keyStart && m_logic)
    return keyStart(*m_options.keyStart, error);
  return true;
}

void SimDevice::close() {
  m_pty.close();
}

bool SimDevice::keyStart(const KeyStartOption& s, QString* error) {
  if (!m_logic) {
    if (error)
      *error = QStringLiteral("%1 is in its boot loader").arg(portName());
    return false;
  }
  return m_logic->keyStart(s.channel, s.mode, s.set, s.limit, s.time, error);
}

void SimDevice::keyStop(int channel) {
  if (m_logic)
    m_logic->keyStop(channel);
}

void SimDevice::advance(int ms) {
  double left = ms;
  while (left > 0) {
    const double dt = std::min(left, kStepMs);
    step(dt);
    left -= dt;
  }
}

bool SimDevice::silentNow() const {
  return m_options.silentAfterS >= 0 && m_clockMs >= m_options.silentAfterS * 1000.0;
}

void SimDevice::step(double ms) {
  m_clockMs += ms;
  if (m_vanished || !m_pty.isOpen())
    return;
  if (m_options.vanishAfterS >= 0 && m_clockMs >= m_options.vanishAfterS * 1000.0) {
    m_vanished = true;
    m_pty.close();
    note({{"event", QStringLiteral("vanished")}});
    return;
  }
  takeInput();
  if (m_logic) {
    m_logic->advance(ms / 1000.0, m_options.speed);
    if (m_logic->connected() && !m_wasConnected)
      m_nextReportMs = m_clockMs; // the first report follows the connect command at once
    m_wasConnected = m_logic->connected();
    if (m_wasConnected && m_clockMs >= m_nextReportMs && m_out.size() < kReportLength &&
        !silentNow()) {
      for (QByteArray& frame : m_logic->reportFrames())
        queueReport(std::move(frame));
      m_nextReportMs += m_options.reportMs;
      if (m_nextReportMs <= m_clockMs)
        m_nextReportMs = m_clockMs + m_options.reportMs;
    }
  }
  pump(ms);
}

void SimDevice::takeInput() {
  const QByteArray in = m_pty.readAvailable();
  if (in.isEmpty())
    return;
  if (m_boot) {
    const QByteArray reply = m_boot->feed(in);
    for (QJsonObject& r : m_boot->takeRecords())
      note(std::move(r));
    if (!silentNow())
      m_out.append(reply);
    if (m_boot->started() && m_options.bootConfig.deviceType >= 1 &&
        m_options.bootConfig.deviceType <= 99) {
      // Go starts the new firmware: from now on the device is the model it was built for.
      DeviceConfig config = m_options.device;
      config.model = m_options.bootConfig.deviceType;
      config.firmware = m_options.bootConfig.version;
      config.batteryGiven = false;
      m_logic = std::make_unique<DeviceLogic>(config);
      m_boot.reset();
    }
    return;
  }
  for (const QByteArray& frame : m_splitter.feed(in)) {
    const Command command = decodeCommand(frame);
    note(commandRecord(command));
    m_logic->handle(command);
  }
}

void SimDevice::queueReport(QByteArray frame) {
  std::uniform_real_distribution<double> dice(0.0, 1.0);
  if (m_options.noiseShare > 0 && dice(m_random) < m_options.noiseShare) {
    static constexpr char kNoise[] = {char(0xF8), char(0xFA), char(0x00), char(0x55),
                                      char(0xEF), char(0xF0), char(0xFF)};
    std::uniform_int_distribution<int> count(1, 4), pick(0, int(sizeof kNoise) - 1);
    for (int n = count(m_random); n > 0; --n)
      m_out.append(kNoise[pick(m_random)]);
  }
  if (m_options.corruptShare > 0 && dice(m_random) < m_options.corruptShare) {
    const auto sum = static_cast<std::uint8_t>(frame[17]);
    frame[17] = static_cast<char>((sum + 1) % 240);
    ++m_reportsCorrupted;
  }
  m_out.append(frame);
  ++m_reportsSent;
}

void SimDevice::pump(double ms) {
  // Credit never piles up beyond one step's worth: after a pause the line starts at its rate
  // again instead of bursting.
  m_credit = std::min(m_credit + ms * kLineBytesPerMs, ms * kLineBytesPerMs + 1.0);
  if (m_out.isEmpty())
    return;
  int n = std::min(static_cast<int>(m_credit), static_cast<int>(m_out.size()));
  if (m_options.split) {
    std::uniform_int_distribution<int> chunk(1, 6);
    n = std::min(n, chunk(m_random));
  }
  if (n <= 0)
    return;
  // Whatever the pty does not take is lost, as on a line nobody reads.
  m_pty.write(m_out.constData(), n);
  m_out.remove(0, n);
  m_credit -= n;
  m_bytesSent += n;
}

void SimDevice::note(QJsonObject record) {
  record["t"] = static_cast<qint64>(m_clockMs);
  record["port"] = portName();
  m_heard.append(record);
  if (!m_logPath.isEmpty()) {
    QJsonObject line = record;
    line["wall"] = QDateTime::currentDateTime().toString(Qt::ISODateWithMs);
    QFile f(m_logPath);
    if (f.open(QIODevice::Append))
      f.write(QJsonDocument(line).toJson(QJsonDocument::Compact) + '\n');
  }
  emit commandHeard(record);
}

Simulator::Simulator(QObject* parent) : QObject(parent) {
  m_timer.setTimerType(Qt::PreciseTimer);
  connect(&m_timer, &QTimer::timeout, this, &Simulator::tick);
}

Simulator::~Simulator() {
  closeAll();
}

SimDevice* Simulator::add(const QString& home, const DeviceOptions& options, QString* error) {
  if (device(options.port)) {
    if (error)
      *error = QStringLiteral("COM%1 is given twice").arg(options.port);
    return nullptr;
  }
  auto* d = new SimDevice(home, options, this);
  d->setLogFile(m_logPath);
  if (!d->open(error)) {
    delete d;
    return nullptr;
  }
  m_devices.append(d);
  return d;
}

SimDevice* Simulator::device(int port) const {
  for (SimDevice* d : m_devices)
    if (d->options().port == port)
      return d;
  return nullptr;
}

void Simulator::setLogFile(const QString& path) {
  m_logPath = path;
  for (SimDevice* d : m_devices)
    d->setLogFile(path);
}

void Simulator::start(int tickMs) {
  m_elapsed.start();
  m_lastMs = 0;
  m_timer.start(tickMs);
}

void Simulator::stop() {
  m_timer.stop();
}

void Simulator::tick() {
  const qint64 now = m_elapsed.elapsed();
  const qint64 dt = now - m_lastMs;
  if (dt <= 0)
    return;
  m_lastMs = now;
  advance(static_cast<int>(std::min<qint64>(dt, 1000)));
}

void Simulator::advance(int ms) {
  for (SimDevice* d : m_devices)
    d->advance(ms);
}

void Simulator::closeAll() {
  m_timer.stop();
  qDeleteAll(m_devices);
  m_devices.clear();
}

QString Simulator::control(const QString& line, bool* quit) {
  const QStringList w = line.simplified().split(QLatin1Char(' '), Qt::SkipEmptyParts);
  if (quit)
    *quit = false;
  if (w.isEmpty())
    return {};
  const QString verb = w[0].toLower();
  if (verb == "quit" || verb == "exit") {
    if (quit)
      *quit = true;
    return QStringLiteral("bye");
  }
  if (verb == "status") {
    QStringList lines;
    for (SimDevice* d : m_devices) {
      QJsonObject o{{"port", d->portName()}, {"link", d->linkPath()}, {"pty", d->devicePath()}};
      if (d->logic()) {
        DeviceLogic& l = *d->logic();
        o["model"] = l.model().code;
        o["fw"] = l.model().firmware;
        o["connected"] = l.connected();
        QJsonArray channels;
        for (int ch = 0; ch < l.channelCount(); ++ch) {
          const ChannelState& c = l.channel(ch);
          channels.append(
              QJsonObject{{"running", c.running},
                          {"mode", c.mode},
                          {"volts", std::round(c.voltage * 1000) / 1000},
                          {"amps", std::round(c.current * 1000) / 1000},
                          {"ah", std::round(c.capacityAh * 1000) / 1000},
                          {"soc", std::round(l.battery(ch).stateOfCharge() * 1000) / 10},
                          {"ended", c.endReason}});
        }
        o["channels"] = channels;
      } else {
        o["boot"] = true;
      }
      lines.append(QString::fromUtf8(QJsonDocument(o).toJson(QJsonDocument::Compact)));
    }
    return lines.join(QLatin1Char('\n'));
  }
  if ((verb == "start" || verb == "stop") && w.size() >= 2) {
    SimDevice* d = device(w[1].toInt());
    if (!d)
      return QStringLiteral("no device on COM%1").arg(w[1]);
    // Words left out take their defaults; a word that is not a number is an error.
    QString badWord;
    const auto num = [&](int i, double fallback) {
      if (i >= w.size())
        return fallback;
      bool ok = false;
      const double v = w[i].toDouble(&ok);
      if (!ok || !std::isfinite(v))
        badWord = w[i];
      return v;
    };
    const auto whole = [&](int i) {
      if (i >= w.size())
        return 0;
      bool ok = false;
      const int v = w[i].toInt(&ok);
      if (!ok)
        badWord = w[i];
      return v;
    };
    const auto bad = [&] { return QStringLiteral("not a number: '%1'").arg(badWord); };
    if (verb == "stop") {
      const int channel = whole(2);
      if (!badWord.isNull())
        return bad();
      d->keyStop(channel);
      return QStringLiteral("%1 stopped").arg(d->portName());
    }
    KeyStartOption s;
    s.mode = whole(2);
    s.set = num(3, 1.0);
    s.limit = num(4, 0.0);
    s.time = num(5, 0.0);
    s.channel = whole(6);
    if (!badWord.isNull())
      return bad();
    QString error;
    if (!d->keyStart(s, &error))
      return error;
    return QStringLiteral("%1 started").arg(d->portName());
  }
  return QStringLiteral("commands: start PORT [MODE [SET [LIMIT [TIME [CHANNEL]]]]], "
                        "stop PORT [CHANNEL], status, quit");
}

} // namespace ondrel::sim
