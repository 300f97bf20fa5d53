#include "link/comm.h"
#include "link/portnames.h"

#include "support/tempfolder.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <poll.h>
#include <stdlib.h>
#include <unistd.h>

namespace ondrel {
namespace {

// How long to wait for bytes on their way through the kernel; a loaded machine may hold them up,
// and a passing run never waits this long.
constexpr qint64 kPatienceMs = 10000;

// A pseudo-terminal: the test holds the master side, the program opens the slave as a port.
class Pty {
public:
  Pty() {
    m_master = posix_openpt(O_RDWR | O_NOCTTY);
    if (m_master < 0 || grantpt(m_master) != 0 || unlockpt(m_master) != 0)
      return;
    if (const char* name = ptsname(m_master))
      m_slave = QString::fromLocal8Bit(name);
  }
  ~Pty() { closeMaster(); }
  Pty(const Pty&) = delete;
  Pty& operator=(const Pty&) = delete;

  bool ok() const { return m_master >= 0 && !m_slave.isEmpty(); }
  const QString& slave() const { return m_slave; }

  void closeMaster() {
    if (m_master >= 0)
      ::close(m_master);
    m_master = -1;
  }

  void write(const QByteArray& bytes) {
    ASSERT_EQ(::write(m_master, bytes.constData(), size_t(bytes.size())), bytes.size());
  }

  // Reads until `count` bytes came or the patience ran out.
  QByteArray read(qsizetype count) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < kPatienceMs) {
      pollfd p{m_master, POLLIN, 0};
      if (::poll(&p, 1, 50) <= 0)
        continue;
      char buf[256];
      const ssize_t n = ::read(m_master, buf, sizeof buf);
      if (n <= 0)
        break;
      got.append(buf, n);
    }
    return got;
  }

private:
  int m_master = -1;
  QString m_slave;
};

struct PtyFixture : ::testing::Test {
  testing::TempProgramFolder folder;
  Comm comm{std::make_unique<SystemPorts>([] { return QStringList(); })};

  void SetUp() override { QDir().mkpath(portsFolder()); }

  void link(int n, const QString& device) {
    ASSERT_TRUE(QFile::link(device, portDevice(n, portsFolder())));
  }

  // Reads through the port until `count` bytes came or the patience ran out; each read at most 64.
  QByteArray readPort(Comm::Handle h, qsizetype count) {
    QByteArray got;
    QElapsedTimer clock;
    clock.start();
    while (got.size() < count && clock.elapsed() < kPatienceMs) {
      const QByteArray part = comm.ReadPort(h);
      EXPECT_LE(part.size(), 64);
      if (part.isEmpty())
        QThread::msleep(5);
      got += part;
    }
    return got;
  }
};

TEST_F(PtyFixture, ExchangesBytesThroughAPortsFolderLink) {
  Pty pty;
  if (!pty.ok())
    GTEST_SKIP() << "no pseudo-terminals here";
  link(5, pty.slave());
  Comm::Handle h = comm.OpenPort(5);
  ASSERT_NE(h, 0) << describeOpenFailure(5, comm.lastOpenFailure()).toStdString();

  // A pseudo-terminal cannot keep even parity: the setup may answer false, the port must work.
  comm.SetupPort(h, 9600, 8, 0, 2);

  EXPECT_TRUE(comm.ReadPort(h).isEmpty());
  QByteArray all;
  for (int i = 0; i < 256; ++i)
    all += char(i); // every byte value passes unchanged: CR, LF, XON/XOFF, 0xFA, 0xF8, ...
  pty.write(all);
  EXPECT_EQ(readPort(h, all.size()), all);

  const QByteArray frame("\xFA\x05\x0A\x0D\x11\x13\x00\x00\x04\xF8", 10);
  EXPECT_EQ(comm.WritePort(h, frame), 10);
  EXPECT_EQ(pty.read(10), frame);

  comm.ClosePort(h);
  EXPECT_EQ(h, 0);
}

TEST_F(PtyFixture, AbsentPortsGiveZero) {
  Comm::Handle h = comm.OpenPort(6); // no link
  EXPECT_EQ(h, 0);
  EXPECT_EQ(comm.lastOpenFailure().reason, OpenError::Absent);
  link(8, folder.file("gone/ttyUSB9")); // a dangling link: adapter unplugged
  EXPECT_EQ(comm.OpenPort(8), 0);
  EXPECT_EQ(comm.lastOpenFailure().reason, OpenError::Absent);
}

TEST_F(PtyFixture, ProbeListsOpenablePortsAndSkipsOnesInUse) {
  Pty a, b;
  if (!a.ok() || !b.ok())
    GTEST_SKIP() << "no pseudo-terminals here";
  link(7, b.slave());
  link(3, a.slave());
  link(4, folder.file("gone/ttyUSB9"));

  struct Panel : PortListPanel {
    QStringList list;
    QString tPort = "COM12";
    void PortClr() override { list.clear(); }
    void PortAdd(const QString& name) override { list << name; }
    void setTPort(const QString& name) override { tPort = name; }
  } panel;

  ProbePorts(comm, panel);
  EXPECT_EQ(panel.list, (QStringList{"COM3", "COM7"}));
  EXPECT_EQ(panel.tPort, "COM3");

  // Slot 0 connects on COM3; a probe for another slot does not offer it.
  comm.PortHandle[0] = comm.OpenPort(3);
  ASSERT_NE(comm.PortHandle[0], 0);
  ProbePorts(comm, panel);
  EXPECT_EQ(panel.list, QStringList{"COM7"});
  EXPECT_EQ(panel.tPort, "COM7");
  // Another program cannot have it either.
  Comm other{std::make_unique<SystemPorts>([] { return QStringList(); })};
  EXPECT_EQ(other.OpenPort(3), 0);
  EXPECT_EQ(other.lastOpenFailure().reason, OpenError::InUse)
      << describeOpenFailure(3, other.lastOpenFailure()).toStdString();

  // Once closed it is offered again (no stale lock is left behind).
  comm.ClosePort(comm.PortHandle[0]);
  ProbePorts(comm, panel);
  EXPECT_EQ(panel.list, (QStringList{"COM3", "COM7"}));
}

TEST_F(PtyFixture, VanishedPortReadsNothingAndWritesNothing) {
  Pty pty;
  if (!pty.ok())
    GTEST_SKIP() << "no pseudo-terminals here";
  link(9, pty.slave());
  Comm::Handle h = comm.OpenPort(9);
  ASSERT_NE(h, 0);
  comm.SetupPort(h, 9600, 8, 0, 2);
  EXPECT_TRUE(comm.isPortOpen(h));
  pty.closeMaster(); // the device end goes away
  for (int i = 0; i < 3; ++i) {
    EXPECT_TRUE(comm.ReadPort(h).isEmpty());
    EXPECT_EQ(comm.WritePort(h, QByteArray(10, '\x01')), 0);
  }
  EXPECT_FALSE(comm.isPortOpen(h));
  const QStringList logs = QDir(folder.file("Log")).entryList(QDir::Files);
  ASSERT_EQ(logs.size(), 1);
  const QByteArray log = folder.read("Log/" + logs.first());
  EXPECT_TRUE(log.contains("[ErrComm]Port ")) << log.constData();
  EXPECT_EQ(log.count('\n'), 1); // logged once, not on every tick
  comm.SetupPort(h, 9600, 8, 0, 2);
  comm.ClosePort(h);
  EXPECT_EQ(h, 0);
}

} // namespace
} // namespace ondrel
