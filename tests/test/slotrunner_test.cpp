// The window-free slot against a simulated device on a pseudo-terminal, its clocks stepped by
// hand so that minutes of a step program pass in seconds.
#include "data/textfile.h"
#include "link/comm.h"
#include "sim/simdevice.h"
#include "support/tempfolder.h"
#include "test/slotrunner.h"
#include "test/stepfile.h"

#include <QDir>
#include <QRegularExpression>
#include <QThread>

#include <gtest/gtest.h>

using namespace ondrel;

namespace {

class SteppedRunner : public ::testing::Test {
protected:
  ondrel::testing::TempProgramFolder home;
  std::unique_ptr<sim::SimDevice> dev;
  Comm comm;
  std::unique_ptr<SlotRunner> runner;
  int sinceSecond = 0;

  void open(const char* spec) {
    sim::DeviceOptions defaults;
    defaults.reportMs = 200;
    defaults.speed = 60;
    sim::DeviceOptions o;
    QString error;
    ASSERT_TRUE(sim::parseDeviceSpec(QString::fromLatin1(spec), defaults, &o, &error));
    dev = std::make_unique<sim::SimDevice>(home.path(), o);
    ASSERT_TRUE(dev->open(&error)) << error.toStdString();
    SlotRunner::Settings s;
    s.folder = home.path();
    runner = std::make_unique<SlotRunner>(comm, s);
    ASSERT_TRUE(runner->open(o.port, &error)) << error.toStdString();
  }

  // 50 ms of device time, one read of the port, and the one-second timers once a second (the
  // program's timer first, as it was started before the channel ran).
  void tick() {
    dev->advance(50);
    QThread::usleep(300);
    runner->poll();
    if ((sinceSecond += 50) >= 1000) {
      sinceSecond = 0;
      runner->stepTick();
      runner->secondTick();
    }
  }
  bool runUntil(const std::function<bool()>& done, int ms) {
    for (int t = 0; t < ms; t += 50) {
      if (done())
        return true;
      tick();
    }
    return done();
  }
};

TEST_F(SteppedRunner, AProgramWithAWaitRunsTwoPassesAndSavesItsSteps) {
  open("2:model=9,cap=0.05");
  ASSERT_TRUE(runUntil([&] { return runner->ready(); }, 3000));
  const QStringList modes = runner->model().modes;
  StepTable table;
  table[0] = {"D-CC", "1.00", "3.00", "0"};
  table[1] = {"Wait", "0.00", "0.00", "1"};
  table[2] = {"C-CV", "1.00", "4.20", "0.10"};
  table[3] = {"Cycle", "0.00", "0.00", "2"};
  // Through a step file, as the command line takes it.
  const QString file = home.write("cycle.stp", textFileBytes(stepFileLines(9, table, modes)));
  const StepFileRead read = readStepFile(home.read("cycle.stp"), 9, modes);
  ASSERT_TRUE(read.sameModel) << file.toStdString();

  QString dataFile;
  int ended = 0;
  QObject::connect(runner.get(), &SlotRunner::programEnded,
                   [&](const QString& f, const QString&) { dataFile = f, ++ended; });
  QObject::connect(runner.get(), &SlotRunner::testEnded,
                   [&](int, const QString& f, const QString&) { dataFile = f, ++ended; });
  ASSERT_FALSE(runner->startProgram(read.table));
  ASSERT_TRUE(runUntil([&] { return ended > 0; }, 30 * 60 * 1000));
  EXPECT_EQ(ended, 1) << "one end for the whole program";
  EXPECT_FALSE(runner->programOn());

  int starts = 0;
  for (const QJsonObject& r : dev->heard())
    starts += r.value("cmd").toString() == "start";
  EXPECT_EQ(starts, 4) << "discharge and charge, twice";
  const std::vector<QStringList> rows = stepResultRows(runner->model());
  ASSERT_EQ(rows.size(), 7u);
  const QStringList names = {"1-1", "2-1", "3-1", "1-2", "2-2", "3-2"};
  for (int r = 1; r <= 6; ++r)
    EXPECT_EQ(rows[size_t(r)].value(0), names[r - 1]);
  EXPECT_EQ(rows[2].value(1), "Wait");

  // One data file of the whole run, listing its steps.
  ASSERT_FALSE(dataFile.isEmpty());
  const QStringList lines = textFileLines(home.read(QDir(home.path()).relativeFilePath(dataFile)));
  EXPECT_EQ(lines.filter(QRegularExpression("^\\*")).size(), 7);
  EXPECT_EQ(QDir(home.file("Data")).entryList(QDir::Files).size(), 1);
}

} // namespace
