#include "data/support/errorlog.h"
#include "data/support/ini.h"
#include "data/support/programfolder.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"

#include <QAction>
#include <QDate>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTest>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

QByteArray frame(std::initializer_list<int> b) {
  QByteArray out;
  for (int v : b)
    out.append(static_cast<char>(v));
  return out;
}

// A main window on memory ports 2..5, with its message boxes answered by the test.
class Connection : public ::testing::Test {
protected:
  TempProgramFolder home{TempProgramFolder::Bare};
  MemoryPorts* ports = nullptr;
  std::unique_ptr<frmMain> window;
  QStringList messages;
  QStringList notes; // title, then text, of each note
  QMessageBox::StandardButton answer = QMessageBox::Ok;

  // `refused`: ports whose device node belongs to "dialout", a group this user is not in.
  frmMain& open(std::initializer_list<int> present = {2, 3, 4, 5},
                std::initializer_list<int> refused = {}) {
    auto p = std::make_unique<MemoryPorts>();
    ports = p.get();
    for (int n : present)
      ports->line(n);
    for (int n : refused)
      ports->line(n)->refusedGroup = QStringLiteral("dialout");
    window = std::make_unique<frmMain>(std::move(p));
    window->ask = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return answer;
    };
    window->tellNotice = [this](const QString& title, const QString& text) {
      notes << title << text;
    };
    return *window;
  }
  DeviceSlot& slot0() { return window->slot(0); }
  void click() { emit slot0().panel().ConnClick(); }
  QString logText() const { return home.mainLog(); }
};

TEST_F(Connection, FirstRunMakesTheSettingsFileAndFoldersAndSelectsPortOne) {
  open();
  EXPECT_EQ(home.read(QStringLiteral("ondrel.ini")).trimmed(),
            QByteArray(";--------Ondrel Config File----------"));
  EXPECT_TRUE(QDir(home.file(QStringLiteral("Data"))).exists());
  EXPECT_TRUE(QDir(home.file(QStringLiteral("Log"))).exists());
  EXPECT_EQ(slot0().panel().PortCnt(), 4);
  EXPECT_EQ(slot0().panel().tPort(), QStringLiteral("COM2"));
}

TEST_F(Connection, SettingsPickThePortOfEachSlotWhenListed) {
  IniWrite(home.file(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"), QStringLiteral("PORT1"),
           QStringLiteral("4"));
  IniWrite(home.file(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"), QStringLiteral("PORT2"),
           QStringLiteral("9"));
  open();
  EXPECT_EQ(slot0().panel().tPort(), QStringLiteral("COM4"));
  window->action(QStringLiteral("menuAddDev"))->trigger();
  EXPECT_EQ(window->slot(1).panel().tPort(), QStringLiteral("COM2")); // COM9 is not there
}

TEST_F(Connection, ConnectOpensSendsFiveAndRemembersThePort) {
  open();
  slot0().panel().setTPort(QStringLiteral("COM3"));
  DeviceSlotProbe::channel(slot0(), 0).Cap = 1.5f;
  DeviceSlotProbe::channel(slot0(), 1).ChnRunning = true;
  click();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_TRUE(slot0().panel().Conn());
  EXPECT_TRUE(slot0().connecting());
  EXPECT_TRUE(DeviceSlotProbe::receiving(slot0()));
  EXPECT_NE(window->comm().PortHandle[0], 0);
  EXPECT_EQ(ports->line(3)->writes, QList<QByteArray>{frame({0xFA, 5, 0, 0, 0, 0, 0, 0, 5, 0xF8})});
  EXPECT_EQ(ports->line(3)->settings.baud, 9600);
  EXPECT_EQ(slot0().ch(0).Cap, 0.0f);
  EXPECT_FALSE(slot0().ch(1).ChnRunning);
  EXPECT_FALSE(window->action(QStringLiteral("menuUpdate"))->isEnabled());
  EXPECT_EQ(IniRead(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("COMM"),
                    QStringLiteral("PORT1"), QString()),
            QStringLiteral("3"));
  // The connect timer repeats the command.
  DeviceSlotProbe::connectTimer(slot0()).setInterval(5);
  for (QDeadlineTimer limit(5000); ports->line(3)->writes.size() < 2 && !limit.hasExpired();)
    QTest::qWait(5);
  EXPECT_GE(ports->line(3)->writes.size(), 2);
  EXPECT_EQ(ports->line(3)->writes.last(), ports->line(3)->writes.first());
}

TEST_F(Connection, PortsThatCannotBeUsedAreSaidAndLeaveTheSlotDisconnected) {
  struct Case {
    const char* port;
    std::function<void(MemoryPorts&)> setUp;
    const char* message;
  };
  const Case cases[] = {
      {"COM", {}, "Wrong Port!"},
      {"COMx", {}, "Wrong Port!"},
      {"", {}, "Wrong Port!"},
      {"USB3", {}, "Wrong Port!"},
      {"COM7", {}, "COM7 is not present."},
      {"COM3", [](MemoryPorts& p) { p.line(3)->busy = true; },
       "COM3 is in use by another program or another device slot (memory:3)."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.port);
    open();
    if (c.setUp)
      c.setUp(*ports);
    slot0().panel().setTPort(QString::fromLatin1(c.port));
    click();
    EXPECT_EQ(messages, QStringList{QString::fromLatin1(c.message)});
    EXPECT_FALSE(slot0().panel().Conn());
    EXPECT_FALSE(DeviceSlotProbe::receiving(slot0()));
    EXPECT_FALSE(slot0().connecting());
    EXPECT_EQ(window->comm().PortHandle[0], 0);
    EXPECT_TRUE(logText().contains(QStringLiteral("Conn")));
    messages.clear();
  }
}

TEST_F(Connection, SendersWriteOnlyWhileThePortIsOpenAndSendNothingThatCannotTravel) {
  open();
  DeviceSlot& s = slot0();
  // With the port closed nothing is built, so boxes that could not travel are not even looked at.
  s.panel().setTSval(0, QStringLiteral("abc"));
  s.panel().setTStim(0, QStringLiteral("99999999"));
  s.SendConnect();
  s.SendStop(0);
  s.SendTime(0);
  s.SendStart(0, 1);
  s.RemoteQC(0, 3);
  s.RemotePE(0, 3);
  s.RemoteSet(0, 1e9);
  window->SendResistanceTest(QStringLiteral("zz"));
  window->SendCalibration(999, -5);
  EXPECT_TRUE(logText().isEmpty()) << logText().toStdString();
  EXPECT_EQ(s.panel().tSval(0), QStringLiteral("abc"));
  EXPECT_TRUE(ports->line(2)->writes.isEmpty());

  click();
  ports->line(2)->writes.clear();
  DeviceSlotProbe::channel(s, 0).TestSec = 3600;
  s.SendTime(0);
  EXPECT_EQ(ports->line(2)->writes.value(0), frame({0xFA, 10, 0, 60, 0, 0, 0, 0, 10 ^ 60, 0xF8}));
  s.panel().setTSval(0, QStringLiteral("614.40")); // 61 440 at CurDiv 100
  s.SendStart(0, 7);
  EXPECT_EQ(ports->line(2)->writes.size(), 1);
  EXPECT_TRUE(logText().contains(QStringLiteral("ErrStart7"))) << logText().toStdString();
  s.panel().setTSval(0, QStringLiteral("1.25"));
  s.panel().setTSlmt(0, QStringLiteral("3.00"));
  s.panel().setTStim(0, QStringLiteral("10"));
  s.SendStart(0, 1);
  EXPECT_EQ(ports->line(2)->writes.value(1).mid(1, 7), frame({1, 0, 125, 1, 60, 0, 10}));
  EXPECT_EQ(s.ch(0).SetRaw, 125);
  s.RemoteSet(0, 2.5);
  EXPECT_EQ(ports->line(2)->writes.value(2).mid(1, 5), frame({7, 1, 10, 1, 60}));
  EXPECT_EQ(s.panel().tSval(0), QStringLiteral("2.50"));
}

TEST_F(Connection, SearchCommPortProbesOnlyWhileDisconnected) {
  open({2});
  ports->line(5);
  window->action(QStringLiteral("com"))->trigger();
  EXPECT_EQ(messages, QStringList{QStringLiteral("Search comm port finished")});
  EXPECT_EQ(slot0().panel().PortCnt(), 2);
  ports->line(4);
  window->action(QStringLiteral("menuSearch"))->trigger();
  EXPECT_EQ(slot0().panel().PortCnt(), 3);
  EXPECT_EQ(messages.size(), 2);
  click();
  messages.clear();
  ports->line(6);
  window->action(QStringLiteral("menuSearch"))->trigger();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_EQ(slot0().panel().PortCnt(), 3);
}

#ifdef Q_OS_LINUX
// Every port refused for want of the group: one note once the window is up, in place of the
// search's own box; the settings file keeps the mark, so a later start says nothing.
TEST_F(Connection, PortsRefusedForPermissionAreExplainedOnceEver) {
  open({}, {2, 3});
  EXPECT_TRUE(notes.isEmpty()); // not from inside the constructor
  QCoreApplication::processEvents();
  ASSERT_EQ(notes.size(), 2);
  EXPECT_EQ(notes.at(0), QStringLiteral("Serial Port Access"));
  EXPECT_TRUE(notes.at(1).contains(QStringLiteral("sudo usermod -aG dialout $USER")));
  EXPECT_TRUE(messages.isEmpty());
  window->action(QStringLiteral("com"))->trigger();
  EXPECT_EQ(notes.size(), 2);
  EXPECT_EQ(messages, QStringList{QStringLiteral("Search comm port finished")});

  window.reset();
  notes.clear();
  open({}, {2, 3});
  QCoreApplication::processEvents();
  window->action(QStringLiteral("com"))->trigger();
  EXPECT_TRUE(notes.isEmpty());
  EXPECT_EQ(IniRead(home.file(QStringLiteral("ondrel.ini")), QStringLiteral("NOTICES"),
                    QStringLiteral("PortAccess"), QString()),
            QStringLiteral("1"));
}

// A search by the user that meets refusals only now (the adapter was plugged in later) shows the
// note instead of "finished".
TEST_F(Connection, SearchThatMeetsRefusalsShowsOnlyTheNote) {
  open({});
  QCoreApplication::processEvents();
  EXPECT_TRUE(notes.isEmpty()); // nothing plugged in: nothing to explain
  ports->line(4)->refusedGroup = QStringLiteral("dialout");
  window->action(QStringLiteral("com"))->trigger();
  EXPECT_EQ(notes.size(), 2);
  EXPECT_TRUE(messages.isEmpty());
}
#endif

TEST_F(Connection, DisconnectOfAPortlessSlotChangesNothing) {
  open();
  slot0().panel().setConn(true); // as a slot whose port was closed under it
  DeviceSlotProbe::setLink(slot0(), LinkState::Identified);
  slot0().panel().setStopEnable(false);
  click();
  EXPECT_TRUE(slot0().panel().Conn());
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(Connection, SecondTicksCountCurveTimeAndTestTimeWhileTheClockIsOn) {
  open();
  DeviceSlot& s = slot0();
  DeviceSlotProbe::SecondTimerStart(s, 1);
  DeviceSlotProbe::secondTick(s, 1);
  DeviceSlotProbe::TestClockOn(s, 1);
  DeviceSlotProbe::secondTick(s, 1);
  DeviceSlotProbe::secondTick(s, 1);
  EXPECT_EQ(s.ch(1).CurveSec, 3);
  EXPECT_EQ(s.ch(1).TestSec, 2);
  EXPECT_EQ(s.ch(0).CurveSec, 0);
  DeviceSlotProbe::TestClockOff(s, 1);
  DeviceSlotProbe::SecondTimerStop(s, 1);
  EXPECT_FALSE(s.secondTimerRunning(1));
}

} // namespace
