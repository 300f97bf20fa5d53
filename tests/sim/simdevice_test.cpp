#include "sim/simdevice.h"

#include "support/tempfolder.h"

#include <QDeadlineTimer>
#include <QFile>
#include <QFileInfo>
#include <QJsonDocument>
#include <QProcess>

#include <gtest/gtest.h>

#include <cerrno>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace ondrel::sim {
namespace {

// The kernel hands bytes across a pseudo-terminal asynchronously, later on a busy machine. The
// device's clock does not move with real time, so tests wait (in real time, bounded) for the
// bytes rather than assume that they have arrived by the next step.
bool waitFor(const std::function<bool()>& done) {
  QDeadlineTimer deadline(10000);
  while (!done()) {
    if (deadline.hasExpired())
      return false;
    ::usleep(100);
  }
  return true;
}

int queuedAt(int fd) {
  int n = 0;
  return fd >= 0 && ::ioctl(fd, FIONREAD, &n) == 0 ? n : 0;
}

// The program's end of the line: opens ports/COM<n> the way the program does.
class LineEnd {
public:
  explicit LineEnd(const QString& path) {
    m_fd = ::open(QFile::encodeName(path).constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    if (m_fd >= 0) {
      termios t{};
      ::tcgetattr(m_fd, &t);
      ::cfmakeraw(&t);
      ::tcsetattr(m_fd, TCSANOW, &t);
    }
  }
  ~LineEnd() {
    if (m_fd >= 0)
      ::close(m_fd);
  }
  bool isOpen() const { return m_fd >= 0; }
  void send(const QByteArray& bytes) {
    ASSERT_EQ(::write(m_fd, bytes.constData(), bytes.size()), bytes.size());
  }
  // Sends and waits until the device's side of the line holds the bytes, so that the device's
  // next step reads them.
  void sendTo(const SimDevice& d, const QByteArray& bytes) {
    send(bytes);
    ASSERT_TRUE(waitFor([&] { return queuedAt(d.lineFd()) >= bytes.size(); }))
        << "the line did not deliver " << bytes.toHex(' ').constData();
  }
  // Everything the device has written so far, waiting for what is still on its way.
  QByteArray takeSent(const SimDevice& d) {
    QByteArray all = take();
    waitFor([&] {
      all += take();
      return m_received >= d.bytesSent();
    });
    EXPECT_EQ(m_received, d.bytesSent()) << "bytes lost on the line";
    return all;
  }
  // Everything that has arrived; *hungUp when the other side has gone.
  QByteArray take(bool* hungUp = nullptr) {
    QByteArray all;
    char buf[1024];
    for (;;) {
      const ssize_t n = ::read(m_fd, buf, sizeof buf);
      if (n > 0) {
        all.append(buf, int(n));
        m_received += n;
        continue;
      }
      if (hungUp)
        *hungUp = n == 0 || (n < 0 && errno == EIO);
      return all;
    }
  }

private:
  int m_fd = -1;
  qint64 m_received = 0;
};

// Cuts received bytes into intact 19-byte reports.
QList<ReportFields> reports(const QByteArray& bytes, int* bad = nullptr) {
  QList<ReportFields> out;
  int broken = 0;
  for (qsizetype i = bytes.indexOf(char(0xFA)); i >= 0 && i + 19 <= bytes.size();
       i = bytes.indexOf(char(0xFA), i + 1)) {
    ReportFields f;
    if (parseReport(bytes.mid(i, 19), &f))
      out.append(f);
    else
      ++broken;
  }
  if (bad)
    *bad = broken;
  return out;
}

DeviceOptions options(const QString& spec) {
  DeviceOptions o;
  QString error;
  EXPECT_TRUE(parseDeviceSpec(spec, DeviceOptions{}, &o, &error)) << error.toStdString();
  return o;
}

TEST(SimDevice, RegistersItsPortAndRemovesItOnClose) {
  testing::TempProgramFolder home;
  QString linkPath;
  {
    SimDevice d(home.path(), options("7:model=12"));
    QString error;
    ASSERT_TRUE(d.open(&error)) << error.toStdString();
    linkPath = home.file("ports/COM7");
    EXPECT_EQ(d.linkPath(), linkPath);
    EXPECT_EQ(QFileInfo(linkPath).symLinkTarget(), d.devicePath());
    EXPECT_TRUE(d.devicePath().startsWith("/dev/pts/"));
  }
  EXPECT_FALSE(QFileInfo(linkPath).isSymLink());
}

TEST(SimDevice, AnswersConnectAtTheLineRateAndKeepsARecordOfWhatItHeard) {
  testing::TempProgramFolder home;
  SimDevice d(home.path(), options("2:model=12,report-ms=1"));
  ASSERT_TRUE(d.open());
  QList<QJsonObject> signalled;
  QObject::connect(&d, &SimDevice::commandHeard,
                   [&](const QJsonObject& r) { signalled.append(r); });
  d.setLogFile(home.file("heard.jsonl"));
  LineEnd line(d.linkPath());
  ASSERT_TRUE(line.isOpen());
  d.advance(100);
  EXPECT_TRUE(line.take().isEmpty()); // nothing before connect

  line.sendTo(d, buildCommand(5));
  QByteArray got;
  for (int i = 0; i < 100; ++i) { // one second
    d.advance(10);
    got += line.takeSent(d);
  }
  const QList<ReportFields> r = reports(got);
  // 9600 baud 8E1 carries at most 872 bytes, 45.9 reports, a second.
  EXPECT_LE(got.size(), 873);
  EXPECT_GE(r.size(), 44);
  EXPECT_LE(r.size(), 46);
  EXPECT_TRUE(r.first().info);
  EXPECT_EQ(r.first().model, 12);

  // The program may close and reopen its side; the line stays up.
  {
    LineEnd again(d.linkPath());
    again.sendTo(d, buildCommand(0x01, 150, 300, 0));
  }
  d.advance(10);
  EXPECT_TRUE(d.logic()->channel(0).running);

  ASSERT_EQ(d.heard().size(), 2);
  EXPECT_EQ(d.heard()[0]["cmd"].toString(), "connect");
  EXPECT_EQ(d.heard()[1]["cmd"].toString(), "start");
  EXPECT_EQ(d.heard()[1]["set"].toInt(), 150);
  EXPECT_EQ(d.heard()[1]["port"].toString(), "COM2");
  EXPECT_EQ(signalled, d.heard());
  QFile log(home.file("heard.jsonl"));
  ASSERT_TRUE(log.open(QIODevice::ReadOnly));
  const QList<QByteArray> lines = log.readAll().trimmed().split('\n');
  ASSERT_EQ(lines.size(), 2);
  EXPECT_EQ(QJsonDocument::fromJson(lines[1]).object()["limit"].toInt(), 300);
}

TEST(SimDevice, NothingStalePilesUpWhileNobodyReads) {
  testing::TempProgramFolder home;
  SimDevice d(home.path(), options("2:model=12,report-ms=1"));
  ASSERT_TRUE(d.open());
  {
    LineEnd line(d.linkPath());
    line.send(buildCommand(5));
  }
  // A minute of reports with the port closed. The kernel moves pty bytes on asynchronously, so
  // give it a moment per simulated second, as real time would.
  for (int s = 0; s < 60; ++s) {
    d.advance(1000);
    ::usleep(1000);
  }
  LineEnd line(d.linkPath());
  d.advance(10);
  const QByteArray got = line.take();
  // At most the 2 KiB kept plus what the kernel had not yet moved when the level was read (a
  // loaded machine moves pty bytes late); without the flush it would be the whole minute.
  EXPECT_LT(got.size(), 4096);
  const qint64 before = d.bytesSent();
  for (int i = 0; i < 100; ++i)
    d.advance(10);
  EXPECT_GT(d.bytesSent() - before, 850); // the line runs at its rate again
  QByteArray fresh;
  waitFor([&] {
    fresh += line.take();
    return reports(fresh).size() >= 44;
  });
  EXPECT_GE(reports(fresh).size(), 44);
}

TEST(SimDevice, RawLinePassesControlCharactersUntouched) {
  testing::TempProgramFolder home;
  SimDevice d(home.path(), options("2:model=12"));
  ASSERT_TRUE(d.open());
  LineEnd line(d.linkPath());
  // 0x11 0x13 (XON/XOFF), 0x0D (CR) and 0x0A as parameter bytes.
  line.sendTo(d, buildCommandBytes({0x11, 0x13, 0x0D, 0x0A, 0x03, 0x7F}, 0x01));
  d.advance(10);
  ASSERT_EQ(d.heard().size(), 1);
  EXPECT_TRUE(d.heard()[0]["checksumOk"].toBool());
  EXPECT_EQ(d.heard()[0]["set"].toInt(), 0x11 * 240 + 0x13);
  EXPECT_EQ(d.heard()[0]["limit"].toInt(), 0x0D * 240 + 0x0A);
}

TEST(SimDevice, FaultOptionsDoWhatTheySay) {
  testing::TempProgramFolder home;
  const auto run = [&](const QString& spec, int ms, bool* hungUp = nullptr) {
    SimDevice d(home.path(), options(spec));
    EXPECT_TRUE(d.open());
    LineEnd line(d.linkPath());
    line.sendTo(d, buildCommand(5));
    QByteArray got;
    for (int t = 0; t < ms; t += 10) {
      d.advance(10);
      if (!d.isOpen())
        break;
      got += line.takeSent(d);
    }
    if (hungUp) {
      EXPECT_TRUE(waitFor([&] {
        got += line.take(hungUp);
        return *hungUp;
      }));
    }
    return got;
  };
  int bad = 0;
  // Every report with a wrong checksum.
  QByteArray got = run("2:report-ms=100,corrupt=1", 1000);
  EXPECT_TRUE(reports(got, &bad).isEmpty());
  EXPECT_GE(bad, 9);
  // About half of them.
  got = run("2:report-ms=50,corrupt=0.5,seed=3", 2000);
  const qsizetype good = reports(got, &bad).size();
  EXPECT_GT(good, 8);
  EXPECT_GT(bad, 8);
  // Noise between frames, stray frame markers included, but the reports stay intact.
  got = run("2:report-ms=50,noise=1", 1000);
  EXPECT_GE(reports(got).size(), 15);
  EXPECT_GT(got.size(), reports(got).size() * 19);
  // Split writes still carry whole reports, just more slowly.
  got = run("2:report-ms=100,split", 1000);
  EXPECT_GE(reports(got).size(), 5);
  // Silent after half a second; never from the start.
  got = run("2:report-ms=100,silent=0.5", 1000);
  EXPECT_LE(reports(got).size(), 6);
  EXPECT_TRUE(run("2:silent=0", 1000).isEmpty());
  // Vanishing closes the line and removes the link.
  bool hungUp = false;
  got = run("2:report-ms=100,vanish=0.5", 1000, &hungUp);
  EXPECT_TRUE(hungUp);
  EXPECT_FALSE(QFileInfo(home.file("ports/COM2")).isSymLink());
}

TEST(SimDevice, BootLoaderOverTheLineWritesTheImageAndGoStartsTheFirmware) {
  testing::TempProgramFolder home;
  SimDevice d(home.path(), options("5:boot=26,version=320"));
  ASSERT_TRUE(d.open());
  LineEnd line(d.linkPath());
  const auto exchange = [&](const QByteArray& out, int wantBytes) {
    line.sendTo(d, out);
    QByteArray in;
    for (int t = 0; t < 2000 && in.size() < wantBytes; t += 10) {
      d.advance(10);
      in += line.takeSent(d);
    }
    return in;
  };
  const char ack = char(kBootAck);
  EXPECT_EQ(exchange(QByteArray(1, 0x7F), 1), QByteArray(1, ack));
  EXPECT_EQ(exchange(QByteArray("\x43\xBC", 2), 1), QByteArray(1, ack));
  EXPECT_EQ(exchange(QByteArray("\xFF\x00", 2), 1), QByteArray(1, ack));
  QByteArray image;
  for (int i = 0; i < 200; ++i)
    image.append(char(i ^ 0x5A));
  for (int o = 0; o < image.size(); o += 128) {
    const QByteArray block = image.mid(o, 128);
    EXPECT_EQ(exchange(QByteArray("\x31\xCE", 2), 1), QByteArray(1, ack));
    const int a = 0x8C00 + o;
    EXPECT_EQ(exchange(QByteArray() + char(0) + char(0) + char(a >> 8) + char(a & 0xFF) +
                           char((a >> 8) ^ (a & 0xFF)),
                       1),
              QByteArray(1, ack));
    std::uint8_t sum = std::uint8_t(block.size() - 1);
    for (char c : block)
      sum ^= std::uint8_t(c) ^ kBootKey;
    EXPECT_EQ(exchange(char(block.size() - 1) + block + char(sum), 1), QByteArray(1, ack));
  }
  EXPECT_EQ(exchange(QByteArray("\x21\xDE", 2), 1), QByteArray(1, ack));
  EXPECT_EQ(exchange(QByteArray("\x00\x00\x8C\x00\x8C", 5), 1), QByteArray(1, ack));
  QFile f(home.file("sim-image-COM5.bin"));
  ASSERT_TRUE(f.open(QIODevice::ReadOnly));
  EXPECT_EQ(f.readAll(), image);
  // The new firmware runs: the device now answers connect as a code-26 meter.
  ASSERT_FALSE(d.inBootLoader());
  const QList<ReportFields> r = reports(exchange(buildCommand(5), 19));
  ASSERT_FALSE(r.isEmpty());
  EXPECT_EQ(r[0].model, 26);
  EXPECT_EQ(r[0].value9, 320);
  EXPECT_EQ(d.heard().first()["boot"].toString(), "sync");
}

TEST(Simulator, ControlLinesStartAndStopTestsFromTheKeys) {
  testing::TempProgramFolder home;
  Simulator sim;
  QString error;
  ASSERT_TRUE(sim.add(home.path(), options("2:model=12"), &error)) << error.toStdString();
  ASSERT_TRUE(sim.add(home.path(), options("3:model=17"), &error));
  EXPECT_EQ(sim.add(home.path(), options("3:model=12"), &error), nullptr);
  EXPECT_TRUE(error.contains("COM3"));

  EXPECT_EQ(sim.control("start 2 0 1.5 3.0 0"), "COM2 started");
  EXPECT_TRUE(sim.device(2)->logic()->channel(0).running);
  EXPECT_EQ(sim.device(2)->logic()->channel(0).setRaw, 150);
  EXPECT_EQ(sim.control("start 3 1 2 2.5 10 1"), "COM3 started");
  EXPECT_EQ(sim.device(3)->logic()->channel(1).setRaw, 20); // 2 W with PwrDiv 10
  EXPECT_EQ(sim.device(3)->logic()->channel(1).limitRaw, 2500);
  sim.advance(1000);
  EXPECT_TRUE(sim.control("status").contains("\"running\":true"));
  EXPECT_EQ(sim.control("stop 2"), "COM2 stopped");
  EXPECT_FALSE(sim.device(2)->logic()->channel(0).running);
  EXPECT_EQ(sim.device(2)->logic()->channel(0).endReason, "stop key");
  EXPECT_TRUE(sim.control("start 9").contains("no device"));
  // Numbers that are no numbers, or too large for a frame, start nothing.
  for (const char* bad : {"start 2 0 nan", "start 2 0 1 inf", "start 2 1e99", "start 2 0 1e12",
                          "start 2 0 1 3 0 1e99", "start 2 x", "stop 2 1e99"}) {
    const QString answer = sim.control(bad);
    EXPECT_FALSE(answer.endsWith("started")) << bad;
    EXPECT_FALSE(answer.endsWith("stopped")) << bad;
    EXPECT_FALSE(sim.device(2)->logic()->channel(0).running) << bad;
  }
  bool quit = false;
  sim.control("quit", &quit);
  EXPECT_TRUE(quit);
  sim.closeAll();
  EXPECT_FALSE(QFileInfo(home.file("ports/COM2")).isSymLink());
}

TEST(SimOptions, DeviceSpecs) {
  DeviceOptions o;
  QString error;
  ASSERT_TRUE(parseDeviceSpec("COM4:model=9,chem=life,cells=4,cap=10,res=20,soc=30,speed=60,"
                              "start=0/2/10/0,corrupt=0.1,noise=0.2,split,vanish=5",
                              DeviceOptions{}, &o, &error));
  EXPECT_EQ(o.port, 4);
  EXPECT_EQ(o.device.model, 9);
  EXPECT_TRUE(o.device.batteryGiven);
  EXPECT_EQ(o.device.battery.chemistry, Chemistry::LiFe);
  EXPECT_EQ(o.device.battery.cells, 4);
  EXPECT_DOUBLE_EQ(o.device.battery.resistanceOhm, 0.02);
  EXPECT_DOUBLE_EQ(o.device.battery.stateOfCharge, 0.3);
  EXPECT_DOUBLE_EQ(o.speed, 60);
  ASSERT_TRUE(o.keyStart.has_value());
  EXPECT_DOUBLE_EQ(o.keyStart->limit, 10);
  EXPECT_TRUE(o.split);
  EXPECT_DOUBLE_EQ(o.vanishAfterS, 5);

  ASSERT_TRUE(parseDeviceSpec("5:boot=26,version=320,sync-on=2,reject-block=3", DeviceOptions{}, &o,
                              &error));
  EXPECT_TRUE(o.boot);
  EXPECT_EQ(o.bootConfig.answerSync, 2);

  for (const char* bad :
       {"x:model=12", "2:model=0", "2:chem=lithium", "2:frobnicate=1", "2:start=1/2", "2:corrupt=2",
        "0", "2:start=1e99/1/0/0", "2:start=0/nan/0/0", "2:start=0/1/inf/0", "2:start=0/1/0/0/1e99",
        "2:start=0.5/1/0/0"}) {
    EXPECT_FALSE(parseDeviceSpec(bad, DeviceOptions{}, &o, &error)) << bad;
    EXPECT_FALSE(error.isEmpty());
  }
}

TEST(OndrelSim, ExecutableRegistersDevicesAndCleansUpOnSigterm) {
  testing::TempProgramFolder home;
  QProcess p;
  p.start(QStringLiteral(ONDREL_SIM_PATH),
          {"--home", home.path(), "--device", "2:model=12", "--device", "3:model=17"});
  ASSERT_TRUE(p.waitForStarted());
  ASSERT_TRUE(p.waitForReadyRead(20000));
  // Generous bounds: a sanitized build starting on a busy machine can take seconds.
  const QDeadlineTimer linked(20000);
  while (!QFileInfo(home.file("ports/COM3")).isSymLink() && !linked.hasExpired())
    p.waitForReadyRead(100);
  EXPECT_TRUE(QFileInfo(home.file("ports/COM2")).isSymLink());
  EXPECT_TRUE(QFileInfo(home.file("ports/COM3")).isSymLink());
  ::kill(static_cast<pid_t>(p.processId()), SIGTERM);
  ASSERT_TRUE(p.waitForFinished(20000));
  EXPECT_EQ(p.exitStatus(), QProcess::NormalExit);
  EXPECT_EQ(p.exitCode(), 0);
  EXPECT_FALSE(QFileInfo(home.file("ports/COM2")).isSymLink());
  EXPECT_FALSE(QFileInfo(home.file("ports/COM3")).isSymLink());
}

} // namespace
} // namespace ondrel::sim
