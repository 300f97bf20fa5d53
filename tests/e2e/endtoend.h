#pragma once

#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "sim/simdevice.h"
#include "support/deviceslotprobe.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"

#include <QAction>
#include <QFile>
#include <QJsonObject>
#include <QMessageBox>
#include <QStringList>
#include <QThread>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <functional>
#include <map>
#include <memory>
#include <vector>

namespace ondrel::testing {

// A real main window (on the real serial-port layer) and simulated devices on pseudo-terminals in
// the same program folder. The devices' clocks move only when a test steps them, and each step is
// one tick of the program's receive timer: every device moves on 50 ms, then every slot reads its
// port once. The program's one-second timers (test clock, curve and time-readout timers) are
// real timers that never get to fire here, as no events are processed: they tick once for every
// 1000 ms stepped instead, so that test times follow the devices' clocks. The devices run their
// physics 60 times faster than their clock.
class EndToEnd : public ::testing::Test {
protected:
  TempProgramFolder home;
  std::vector<std::unique_ptr<sim::SimDevice>> devices;
  std::unique_ptr<frmMain> window;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::Ok;
  int handled = 0; // reports that passed the receive step

  sim::SimDevice& device(const char* spec) {
    sim::DeviceOptions defaults;
    defaults.reportMs = 200;
    defaults.speed = 60;
    sim::DeviceOptions o;
    QString error;
    EXPECT_TRUE(sim::parseDeviceSpec(QString::fromLatin1(spec), defaults, &o, &error))
        << error.toStdString();
    devices.push_back(std::make_unique<sim::SimDevice>(home.path(), o));
    EXPECT_TRUE(devices.back()->open(&error)) << error.toStdString();
    return *devices.back();
  }

  frmMain& start(int slotCount = 1) {
    window = std::make_unique<frmMain>();
    window->ask = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return answer;
    };
    for (int i = 1; i < slotCount; ++i)
      window->action(QStringLiteral("menuAddDev"))->trigger();
    return *window;
  }

  DeviceSlot& connect(int slot, const QString& port) {
    DeviceSlot& s = window->slot(slot);
    s.panel().setTPort(port);
    emit s.panel().ConnClick();
    return s;
  }

  void tick(int ms = 50) {
    for (auto& d : devices)
      d->advance(ms);
    // The pseudo-terminal hands bytes on through a kernel work queue: give it a moment, as the
    // real 50 ms between two reads would.
    QThread::usleep(300);
    if (!window)
      return; // the devices go on while no program runs
    for (int i = 0; i < window->slotCount(); ++i) {
      const QByteArray bytes = window->comm().ReadPort(window->comm().PortHandle[size_t(i)]);
      if (bytes.isEmpty())
        continue;
      if (!afterEachFrame) {
        handled += window->slot(i).receive(bytes).reportsHandled;
        continue;
      }
      // Hand the read on frame by frame, so that a test can look between two reports however
      // the kernel happened to batch them.
      QByteArray& carry = m_frameBegun[i];
      qsizetype begin = 0;
      for (qsizetype k = 0; k < bytes.size(); ++k) {
        if (quint8(bytes[k]) != 0xF8)
          continue;
        const QByteArray piece = bytes.mid(begin, k + 1 - begin);
        handled += window->slot(i).receive(piece).reportsHandled;
        frameSeen = (carry + piece).right(kFrameBytes);
        carry.clear();
        begin = k + 1;
        afterEachFrame();
      }
      if (begin < bytes.size()) {
        handled += window->slot(i).receive(bytes.mid(begin)).reportsHandled;
        carry = (carry + bytes.mid(begin)).right(kFrameBytes);
      }
    }
    for (m_sinceSecond += ms; m_sinceSecond >= 1000; m_sinceSecond -= 1000)
      secondTimers();
  }

  // One tick of every running one-second timer of every slot.
  void secondTimers() {
    for (int i = 0; i < window->slotCount(); ++i) {
      DeviceSlot& s = window->slot(i);
      // The auto test and step program timers first: the slot's timers follow in the order
      // they were started, and these were started before the channel reported running.
      if (s.panel().AutoTmrEnable())
        emit s.panel().AutoTimer();
      if (s.panel().StepTmrEnable())
        emit s.panel().StepTimer();
      for (int c = 0; c < 2; ++c) {
        if (s.secondTimerRunning(c))
          DeviceSlotProbe::secondTick(s, c);
        if (s.panel().TmrCurveEnable(c))
          emit s.panel().CurveTimer(c);
        if (s.panel().TmrShowEnable(c))
          emit s.panel().ShowTimer(c);
      }
    }
  }

  std::function<void()> afterEachFrame; // when set, reads are handed on one frame at a time
  QByteArray frameSeen; // for afterEachFrame: the last 19 bytes up to the frame's end byte

  // Ticks until `done` holds or `ms` of device time have passed; whether it held.
  bool runUntil(const std::function<bool()>& done, int ms, int step = 50) {
    for (int t = 0; t < ms; t += step) {
      if (done())
        return true;
      tick(step);
    }
    return done();
  }
  void run(int ms) {
    runUntil([] { return false; }, ms);
  }

  // What the device heard of one kind, in order.
  static QList<QJsonObject> heardOf(const sim::SimDevice& d, const char* cmd) {
    QList<QJsonObject> out;
    for (const QJsonObject& r : d.heard())
      if (r.value("cmd").toString() == QLatin1String(cmd))
        out << r;
    return out;
  }
  static QStringList commands(const sim::SimDevice& d) {
    QStringList out;
    for (const QJsonObject& r : d.heard())
      out << r.value("cmd").toString();
    return out;
  }
  // Drops what the device sent while no program had its port open, as the driver of a real
  // port does; the pseudo-terminal keeps it, because the simulator holds its other end open.
  static void dropWaitingInput(const sim::SimDevice& d) {
    const int fd = ::open(d.devicePath().toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::tcflush(fd, TCIFLUSH), 0);
    ::close(fd);
  }
  static QByteArray readFile(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
  }
  QString logText() const { return home.mainLog(); }

private:
  static constexpr qsizetype kFrameBytes = 19; // a report on the line, with start and end byte
  int m_sinceSecond = 0;                       // stepped time since the last one-second tick
  std::map<int, QByteArray> m_frameBegun;      // per slot: a frame's bytes from an earlier read
};

} // namespace ondrel::testing
