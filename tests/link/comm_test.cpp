#include "link/comm.h"

#include "link/memoryport.h"

#include <gtest/gtest.h>

namespace ondrel {
namespace {

// A Comm on memory ports; `ports` stays reachable for the test.
struct MemoryComm {
  MemoryPorts* ports = nullptr;
  Comm comm;
  MemoryComm() : comm(makeProvider(ports)) {}
  static std::unique_ptr<PortProvider> makeProvider(MemoryPorts*& out) {
    auto p = std::make_unique<MemoryPorts>();
    out = p.get();
    return p;
  }
};

struct RecordingPanel : PortListPanel {
  QStringList list{"COM9"};
  QString tPort = "COM9";
  int clears = 0;
  void PortClr() override {
    list.clear();
    ++clears;
  }
  void PortAdd(const QString& name) override { list << name; }
  void setTPort(const QString& name) override { tPort = name; }
};

TEST(CommTest, OpenReadWriteClose) {
  MemoryComm m;
  auto line = m.ports->line(3);
  Comm::Handle h = m.comm.OpenPort(3);
  ASSERT_NE(h, 0);
  EXPECT_TRUE(line->isOpen);

  EXPECT_TRUE(m.comm.ReadPort(h).isEmpty()); // nothing buffered: at once, nothing
  line->feed(QByteArray(100, 'x'));
  EXPECT_EQ(m.comm.ReadPort(h).size(), 64);
  EXPECT_EQ(m.comm.ReadPort(h).size(), 36);

  EXPECT_EQ(m.comm.WritePort(h, QByteArray(10, 'c')), 10);
  EXPECT_EQ(m.comm.WritePort(h, QByteArray()), 0);
  EXPECT_EQ(line->writes.size(), 1);

  m.comm.ClosePort(h);
  EXPECT_EQ(h, 0);
  EXPECT_FALSE(line->isOpen);
}

TEST(CommTest, HandleZeroDoesNothing) {
  MemoryComm m;
  auto line = m.ports->line(3);
  line->feed("abc");
  EXPECT_TRUE(m.comm.ReadPort(0).isEmpty());
  EXPECT_EQ(m.comm.WritePort(0, "x"), 0);
  EXPECT_FALSE(m.comm.SetupPort(0, 9600, 8, 0, 2));
  EXPECT_FALSE(m.comm.SetPortTimeouts(0));
  EXPECT_EQ(line->settings, (LineSettings{115200, 8, StopBits::One, Parity::None}));
  Comm::Handle h = 0;
  m.comm.ClosePort(h);
  EXPECT_EQ(h, 0);
  // A closed handle behaves like 0.
  Comm::Handle stale = m.comm.OpenPort(3);
  const Comm::Handle copy = stale;
  m.comm.ClosePort(stale);
  EXPECT_TRUE(m.comm.ReadPort(copy).isEmpty());
  EXPECT_EQ(m.comm.WritePort(copy, "x"), 0);
}

TEST(CommTest, OpenFailuresGiveZeroAndKeepTheReason) {
  MemoryComm m;
  EXPECT_EQ(m.comm.OpenPort(4), 0);
  EXPECT_EQ(m.comm.lastOpenFailure().reason, OpenError::Absent);
  m.ports->line(5)->busy = true;
  EXPECT_EQ(m.comm.OpenPort(5), 0);
  EXPECT_EQ(m.comm.lastOpenFailure().reason, OpenError::InUse);
  EXPECT_EQ(m.comm.OpenPort(0), 0);
  EXPECT_EQ(m.comm.OpenPort(-3), 0);
  m.ports->line(6);
  EXPECT_NE(m.comm.OpenPort(6), 0);
  EXPECT_EQ(m.comm.lastOpenFailure().reason, OpenError::None);
}

TEST(CommTest, APortIsOpenedOnlyOnceInTheProgramUnderAnyNumber) {
  MemoryComm m;
  m.ports->line(3);
  m.ports->alias(8, 3); // two links to one device
  const Comm::Handle first = m.comm.OpenPort(3);
  ASSERT_NE(first, 0);
  EXPECT_EQ(m.comm.OpenPort(3), 0);
  EXPECT_EQ(m.comm.OpenPort(8), 0);
  EXPECT_EQ(m.comm.lastOpenFailure().reason, OpenError::InUse);
  EXPECT_EQ(m.ports->line(3)->opens, 1);
}

TEST(CommTest, SetupPortChangesTheFourLineSettingsAndTheTimeouts) {
  MemoryComm m;
  auto line = m.ports->line(3);
  const Comm::Handle h = m.comm.OpenPort(3);
  EXPECT_TRUE(m.comm.SetupPort(h, 9600, 8, 0, 2));
  EXPECT_EQ(line->settings, (LineSettings{9600, 8, StopBits::One, Parity::Even}));
  EXPECT_EQ(line->timeouts, PortTimeouts{});
  EXPECT_EQ(line->timeouts.writeTotalConstant, 100u);

  EXPECT_TRUE(m.comm.SetupPort(h, 19200, 7, 2, 1));
  EXPECT_EQ(line->settings, (LineSettings{19200, 7, StopBits::Two, Parity::Odd}));
  EXPECT_TRUE(m.comm.SetupPort(h, 9600, 8, 1, 3));
  EXPECT_EQ(line->settings, (LineSettings{9600, 8, StopBits::OneAndHalf, Parity::Mark}));
}

TEST(CommTest, RefusedSettingFailsSetupButThePortStaysUsable) {
  MemoryComm m;
  auto line = m.ports->line(3);
  line->refuseParity = true; // as a pseudo-terminal does
  const Comm::Handle h = m.comm.OpenPort(3);
  EXPECT_FALSE(m.comm.SetupPort(h, 9600, 8, 0, 2));
  EXPECT_EQ(line->settings.baud, 9600);
  EXPECT_EQ(line->timeouts, PortTimeouts{}); // time-outs are set whatever the result
  line->feed("ok");
  EXPECT_EQ(m.comm.ReadPort(h), "ok");

  // Codes outside the table are refused, the time-outs still set.
  line->timeouts = {0, 0, 0, 0, 0};
  EXPECT_FALSE(m.comm.SetupPort(h, 9600, 8, 3, 2));
  EXPECT_FALSE(m.comm.SetupPort(h, 9600, 8, 0, 5));
  EXPECT_EQ(line->timeouts, PortTimeouts{});
}

TEST(CommTest, VanishedPortReadsNothingAndWritesNothing) {
  MemoryComm m;
  auto line = m.ports->line(3);
  Comm::Handle h = m.comm.OpenPort(3);
  line->feed("late");
  EXPECT_TRUE(m.comm.isPortOpen(h));
  line->present = false; // unplugged
  EXPECT_FALSE(m.comm.isPortOpen(h));
  EXPECT_TRUE(m.comm.ReadPort(h).isEmpty());
  EXPECT_EQ(m.comm.WritePort(h, "0123456789"), 0);
  EXPECT_FALSE(m.comm.SetupPort(h, 9600, 8, 0, 2));
  m.comm.ClosePort(h);
  EXPECT_EQ(h, 0);
}

TEST(ProbePortsTest, ListsOpenablePortsInOrderAndSelectsTheFirst) {
  MemoryComm m;
  m.ports->line(7);
  m.ports->line(3);
  m.ports->line(1);  // never offered
  m.ports->line(21); // never offered
  m.ports->line(5)->busy = true;
  RecordingPanel panel;
  ProbePorts(m.comm, panel);
  EXPECT_EQ(panel.clears, 1);
  EXPECT_EQ(panel.list, (QStringList{"COM3", "COM7"}));
  EXPECT_EQ(panel.tPort, "COM3");
  // The probe closed what it opened.
  EXPECT_FALSE(m.ports->line(3)->isOpen);
  EXPECT_NE(m.comm.OpenPort(3), 0);
}

TEST(ProbePortsTest, SkipsPortsThisProgramHasOpen) {
  MemoryComm m;
  m.ports->line(3);
  m.ports->line(7);
  m.comm.PortHandle[0] = m.comm.OpenPort(3); // slot 0 is connected on COM3
  RecordingPanel panel;
  ProbePorts(m.comm, panel);
  EXPECT_EQ(panel.list, QStringList{"COM7"});
  EXPECT_EQ(panel.tPort, "COM7");
  m.ports->line(3)->feed("still mine");
  EXPECT_EQ(m.comm.ReadPort(m.comm.PortHandle[0]), "still mine");
}

TEST(ProbePortsTest, NothingOpenableLeavesTheListEmptyAndTheSelectionAlone) {
  MemoryComm m;
  RecordingPanel panel;
  ProbePorts(m.comm, panel);
  EXPECT_TRUE(panel.list.isEmpty());
  EXPECT_EQ(panel.tPort, "COM9");
}

TEST(DescribeOpenFailureTest, NamesTheGroupAUserMustJoin) {
  PortOpenFailure f;
  f.reason = OpenError::PermissionDenied;
  f.device = "/dev/ttyUSB0";
  f.group = "dialout";
  f.inGroup = false;
  const QString text = describeOpenFailure(4, f);
  EXPECT_TRUE(text.contains("COM4")) << text.toStdString();
  EXPECT_TRUE(text.contains("\"dialout\"")) << text.toStdString();
  f.inGroup = true; // already a member: no advice to join
  EXPECT_FALSE(describeOpenFailure(4, f).contains("usermod"));
  f.reason = OpenError::InUse;
  EXPECT_TRUE(describeOpenFailure(4, f).contains("in use"));
  f.reason = OpenError::Absent;
  EXPECT_TRUE(describeOpenFailure(4, f).contains("not present"));
}

} // namespace
} // namespace ondrel
