#include "pty.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ondrel::sim {

namespace {
// About two seconds of the line.
constexpr int kStaleBytes = 2048;
} // namespace

Pty::~Pty() {
  close();
}

bool Pty::open(const QString& linkPath, QString* error) {
  close();
  const auto fail = [&](const QString& what) {
    if (error)
      *error = QStringLiteral("%1: %2").arg(what, QString::fromLocal8Bit(std::strerror(errno)));
    close();
    return false;
  };
  // Close-on-exec: a program the simulator's process starts must not keep the line up.
  m_master = ::posix_openpt(O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_master < 0)
    return fail(QStringLiteral("posix_openpt"));
  if (::grantpt(m_master) != 0 || ::unlockpt(m_master) != 0)
    return fail(QStringLiteral("grantpt/unlockpt"));
  char name[128] = {};
  if (::ptsname_r(m_master, name, sizeof name) != 0)
    return fail(QStringLiteral("ptsname"));
  m_slavePath = QString::fromLocal8Bit(name);
  m_slave = ::open(name, O_RDWR | O_NOCTTY | O_CLOEXEC);
  if (m_slave < 0)
    return fail(QStringLiteral("open ") + m_slavePath);
  // Raw on the slave: no byte may be translated (0x0D, 0x11, 0x13 ...) and nothing echoed.
  termios t{};
  if (::tcgetattr(m_slave, &t) != 0)
    return fail(QStringLiteral("tcgetattr"));
  ::cfmakeraw(&t);
  ::cfsetispeed(&t, B9600);
  ::cfsetospeed(&t, B9600);
  if (::tcsetattr(m_slave, TCSANOW, &t) != 0)
    return fail(QStringLiteral("tcsetattr"));
  const int flags = ::fcntl(m_master, F_GETFL);
  if (flags < 0 || ::fcntl(m_master, F_SETFL, flags | O_NONBLOCK) != 0)
    return fail(QStringLiteral("fcntl"));

  QDir().mkpath(QFileInfo(linkPath).absolutePath());
  const QFileInfo existing(linkPath);
  if (existing.isSymLink() || existing.exists())
    QFile::remove(linkPath);
  if (!QFile::link(m_slavePath, linkPath)) {
    errno = EEXIST;
    return fail(QStringLiteral("link ") + linkPath);
  }
  m_linkPath = linkPath;
  return true;
}

void Pty::close() {
  if (!m_linkPath.isEmpty()) {
    // Another simulator may have taken the name since; leave its link alone.
    if (QFileInfo(m_linkPath).symLinkTarget() == QFileInfo(m_slavePath).absoluteFilePath() ||
        QFile::symLinkTarget(m_linkPath) == m_slavePath)
      QFile::remove(m_linkPath);
    m_linkPath.clear();
  }
  if (m_slave >= 0)
    ::close(m_slave);
  if (m_master >= 0)
    ::close(m_master);
  m_slave = m_master = -1;
}

QByteArray Pty::readAvailable() {
  QByteArray all;
  if (m_master < 0)
    return all;
  char buf[512];
  for (;;) {
    const ssize_t n = ::read(m_master, buf, sizeof buf);
    if (n > 0) {
      all.append(buf, static_cast<int>(n));
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    break; // EAGAIN: nothing more
  }
  return all;
}

int Pty::write(const char* data, int size) {
  if (m_master < 0 || size <= 0)
    return 0;
  // Bytes waiting longer than a couple of seconds mean nobody reads the line. A real serial
  // line keeps nothing while the port is closed, so drop them rather than hand them to the
  // next reader as old reports.
  int queued = 0;
  if (::ioctl(m_slave, FIONREAD, &queued) == 0 && queued > kStaleBytes)
    ::tcflush(m_slave, TCIFLUSH);
  int written = 0;
  bool flushed = false;
  while (written < size) {
    const ssize_t n = ::write(m_master, data + written, static_cast<size_t>(size - written));
    if (n > 0) {
      written += static_cast<int>(n);
      continue;
    }
    if (n < 0 && errno == EINTR)
      continue;
    if (flushed)
      break;
    ::tcflush(m_slave, TCIFLUSH);
    flushed = true;
  }
  return written;
}

} // namespace ondrel::sim
