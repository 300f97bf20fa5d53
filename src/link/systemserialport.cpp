#include "link/serialport.h"

#include "data/support/errorlog.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QSerialPort>

#ifdef Q_OS_UNIX
#include <grp.h>
#include <poll.h>
#include <unistd.h>

#include <cerrno>
#include <vector>
#endif

namespace ondrel {
namespace {

#ifdef Q_OS_UNIX
bool processInGroup(gid_t gid) {
  if (getegid() == gid || getgid() == gid)
    return true;
  const int n = getgroups(0, nullptr);
  if (n <= 0)
    return false;
  std::vector<gid_t> groups(static_cast<std::size_t>(n));
  const int got = getgroups(n, groups.data());
  for (int i = 0; i < got; ++i)
    if (groups[static_cast<std::size_t>(i)] == gid)
      return true;
  return false;
}
#endif

std::optional<QSerialPort::DataBits> toQt(int bits) {
  switch (bits) {
  case 5:
    return QSerialPort::Data5;
  case 6:
    return QSerialPort::Data6;
  case 7:
    return QSerialPort::Data7;
  case 8:
    return QSerialPort::Data8;
  default:
    return std::nullopt;
  }
}

QSerialPort::Parity toQt(Parity p) {
  switch (p) {
  case Parity::Odd:
    return QSerialPort::OddParity;
  case Parity::Even:
    return QSerialPort::EvenParity;
  case Parity::Mark:
    return QSerialPort::MarkParity;
  case Parity::Space:
    return QSerialPort::SpaceParity;
  case Parity::None:
    break;
  }
  return QSerialPort::NoParity;
}

QSerialPort::StopBits toQt(StopBits s) {
  switch (s) {
  case StopBits::OneAndHalf:
    return QSerialPort::OneAndHalfStop;
  case StopBits::Two:
    return QSerialPort::TwoStop;
  case StopBits::One:
    break;
  }
  return QSerialPort::OneStop;
}

class SystemSerialPort final : public SerialPort {
public:
  explicit SystemSerialPort(QString device) : m_device(std::move(device)) {}

  bool open(PortOpenFailure& failure) override {
    failure = {};
    failure.device = m_device;
#ifdef Q_OS_UNIX
    const QFileInfo node(m_device);
    if (!node.exists()) {
      failure.reason = OpenError::Absent;
      failure.detail = QStringLiteral("No such device");
      return false;
    }
    m_location = node.canonicalFilePath();
    const QByteArray path = QFile::encodeName(m_location);
    if (::access(path.constData(), R_OK | W_OK) != 0 && errno == EACCES) {
      failure.reason = OpenError::PermissionDenied;
      failure.group = node.group();
      failure.inGroup = processInGroup(node.groupId());
      failure.detail = QStringLiteral("Permission denied");
      return false;
    }
    m_port.setPortName(m_location);
#else
    m_location = m_device;
    m_port.setPortName(m_device);
#endif
    if (m_port.open(QIODevice::ReadWrite)) {
      m_port.clearError();
      return true;
    }
    failure.detail = m_port.errorString();
    switch (m_port.error()) {
    case QSerialPort::DeviceNotFoundError:
      failure.reason = OpenError::Absent;
      break;
    case QSerialPort::PermissionError:
      // The access check passed, so what refuses us is a lock or an exclusive open elsewhere
      // (on Windows, "access denied" is how a port in use answers).
      failure.reason = OpenError::InUse;
      break;
    default:
      failure.reason = OpenError::Other;
      break;
    }
    m_port.clearError();
    return false;
  }

  void close() override {
    if (m_port.isOpen())
      m_port.close();
    m_port.clearError();
  }

  bool isOpen() const override {
    return m_port.isOpen();
  }
  QString location() const override {
    if (m_port.isOpen())
      return m_location;
#ifdef Q_OS_UNIX
    return QFileInfo(m_device).canonicalFilePath();
#else
    return m_device;
#endif
  }

  QByteArray read(qint64 maxBytes) override {
    if (!m_port.isOpen() || maxBytes <= 0)
      return {};
    // Pulls what the driver holds into Qt's buffer without waiting; without this a read between
    // two event-loop turns would miss bytes that have arrived.
    if (m_port.bytesAvailable() < maxBytes)
      m_port.waitForReadyRead(0);
    if (!settleError())
      return {};
    if (m_port.bytesAvailable() == 0 && hungUp()) {
      // Qt reads the end of a hung-up line as "no bytes" and goes on polling it, at full speed
      // while an event loop runs; the device is gone.
      ErrLog(QStringLiteral("ErrComm"),
             QStringLiteral("Port %1 is gone: the line hung up").arg(m_location));
      m_port.close();
      return {};
    }
    return m_port.read(maxBytes);
  }

  qint64 write(const QByteArray& bytes) override {
    if (!m_port.isOpen() || bytes.isEmpty())
      return 0;
    if (m_port.write(bytes) < 0) {
      settleError();
      return 0;
    }
    const qint64 limit = qint64(m_timeouts.writeTotalConstant) +
                         qint64(m_timeouts.writeTotalMultiplier) * bytes.size();
    QElapsedTimer clock;
    clock.start();
    while (m_port.isOpen() && m_port.bytesToWrite() > 0) {
      const qint64 left = limit - clock.elapsed();
      if (left <= 0 || !m_port.waitForBytesWritten(int(left)))
        break;
    }
    if (!settleError())
      return 0;
    const qint64 pending = m_port.bytesToWrite();
    if (pending > 0) {
      // What did not go out in time is dropped, so that it cannot arrive late in front of the
      // next command.
      m_port.clear(QSerialPort::Output);
      m_port.clearError();
    }
    return bytes.size() - qMin(pending, qint64(bytes.size()));
  }

  std::optional<LineSettings> lineSettings() const override {
    if (!m_port.isOpen())
      return std::nullopt;
    LineSettings s;
    s.baud = m_port.baudRate();
    s.dataBits = int(m_port.dataBits());
    switch (m_port.stopBits()) {
    case QSerialPort::OneAndHalfStop:
      s.stopBits = StopBits::OneAndHalf;
      break;
    case QSerialPort::TwoStop:
      s.stopBits = StopBits::Two;
      break;
    default:
      s.stopBits = StopBits::One;
      break;
    }
    switch (m_port.parity()) {
    case QSerialPort::OddParity:
      s.parity = Parity::Odd;
      break;
    case QSerialPort::EvenParity:
      s.parity = Parity::Even;
      break;
    case QSerialPort::MarkParity:
      s.parity = Parity::Mark;
      break;
    case QSerialPort::SpaceParity:
      s.parity = Parity::Space;
      break;
    default:
      s.parity = Parity::None;
      break;
    }
    return s;
  }

  bool setLineSettings(const LineSettings& s) override {
    if (!m_port.isOpen())
      return false;
    const auto bits = toQt(s.dataBits);
    if (!bits || s.baud <= 0)
      return false;
    // Each setting is tried even when an earlier one failed: a pseudo-terminal refuses even
    // parity (an unsupported-operation error) but takes the rest and stays usable.
    bool ok = applied(m_port.setBaudRate(s.baud));
    ok = applied(m_port.setDataBits(*bits)) && ok;
    ok = applied(m_port.setParity(toQt(s.parity))) && ok;
    ok = applied(m_port.setStopBits(toQt(s.stopBits))) && ok;
    return ok;
  }

  std::optional<PortTimeouts> timeouts() const override {
    if (!m_port.isOpen())
      return std::nullopt;
    return m_timeouts;
  }

  bool setTimeouts(const PortTimeouts& t) override {
    if (!m_port.isOpen())
      return false;
    // Reads never wait here whatever the read values say; only the write bound is used.
    m_timeouts = t;
    return true;
  }

private:
  bool applied(bool setterResult) {
    const bool ok = setterResult && m_port.error() == QSerialPort::NoError;
    settleError();
    return ok;
  }

  // The other end of the line has gone (an unplugged adapter, a closed pseudo-terminal).
  bool hungUp() {
#ifdef Q_OS_UNIX
    pollfd p{static_cast<int>(m_port.handle()), POLLIN, 0};
    return ::poll(&p, 1, 0) == 1 && (p.revents & POLLHUP) != 0;
#else
    return false;
#endif
  }

  // Clears a passing error so the port stays usable; closes the port when the device has gone
  // (unplugged adapter, closed pseudo-terminal). Returns whether the port is still open.
  bool settleError() {
    const auto e = m_port.error();
    if (e == QSerialPort::ResourceError || e == QSerialPort::DeviceNotFoundError) {
      ErrLog(QStringLiteral("ErrComm"),
             QStringLiteral("Port %1 is gone: %2").arg(m_location, m_port.errorString()));
      m_port.close();
    }
    m_port.clearError();
    return m_port.isOpen();
  }

  QString m_device;
  QString m_location;
  QSerialPort m_port;
  PortTimeouts m_timeouts;
};

} // namespace

std::unique_ptr<SerialPort> makeSystemSerialPort(const QString& device) {
  return std::make_unique<SystemSerialPort>(device);
}

} // namespace ondrel
