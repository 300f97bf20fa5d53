#pragma once

#include "link/comm.h"
#include "link/frame.h"
#include "link/receiver.h"
#include "test/reportstep.h"
#include "test/slotmodel.h"
#include "test/stepengine.h"
#include "test/steps.h"

#include <QElapsedTimer>
#include <QObject>
#include <QString>
#include <QTimer>

#include <array>
#include <optional>

namespace ondrel {

// One device slot without a window: the port, the receive step, the slot model, the clocks, the
// recording and the end-of-test file, driven by the same report step and engines as the window's
// slot. The command-line runner follows tests with it; its files are the window's, so either
// program can continue what the other began.
class SlotRunner : public QObject {
  Q_OBJECT
public:
  struct Settings {
    QString folder;               // the program folder: recordings, "Data", logs
    int slot = 0;                 // the slot index files are named by (0 for Device1)
    int channel = 0;              // the channel followed, as the panel's channel choice
    bool temperatureData = false; // "TEMP": the third value and files carry the temperature
    bool scaleFromValues = false; // "SCALE"
    bool csv = false;             // "CSV": the data file's kind
    bool dataFile = true;         // an end-of-test data file
    QString title;                // the data file's title
    bool adopt = true;            // a test found running is taken over; else only noted
  };

  SlotRunner(Comm& comm, Settings settings, QObject* parent = nullptr);
  ~SlotRunner() override;

  // Opens port n and begins connecting. False with the reason when the port does not open.
  bool open(int n, QString* reason);
  // The disconnect command and the port closed; clocks and timers stop. Recordings stay as they
  // are.
  void close();
  bool portOpen() const;
  // The port has gone (an unplugged adapter) since it was opened.
  bool portLost() const;

  const SlotModel& model() const { return m_model; }
  // The recording file of channel c's test that ended last (empty when it had none).
  const QString& endedRecording(int c) const { return m_endRecording.at(size_t(c)); }
  // The device is identified and named for good: its tests may be started and recorded.
  bool ready() const;
  // Reports handled since the port opened, and the milliseconds since the last one (or since the
  // port opened).
  int reportsHeard() const { return m_heard; }
  qint64 silentMs() const;
  // A running test was found on the channel while adoption is off.
  bool foundRunning(int c) const { return m_foundRunning.at(size_t(c)); }

  // Why the values cannot start a test of `modeNo` on channel c, as the panel's boxes and Start
  // refuse them; nothing when they can. An empty text leaves the mode's default.
  struct TestValues {
    QString set, limit, time;
  };
  std::optional<QString> refusal(int c, int modeNo, const TestValues& values) const;
  // Starts a test as the panel's Start does (checked first: the refusal, and nothing sent).
  std::optional<QString> startTest(int c, int modeNo, const TestValues& values);
  // The stop command, as the panel's Stop.
  void stopTest(int c);

  // A step program on channel 0, as the "Cycle Test" page runs it. The refusal when it cannot
  // start.
  std::optional<QString> startProgram(const StepTable& table);
  void stopProgram();
  bool programOn() const { return m_engine.StepOn(); }
  const StepEngine& engine() const { return m_engine; }

  // The channel's data file now, as the end-of-test save writes it (a test left running when the
  // runner lets go of it). The path, or empty with the reason in `problem`.
  QString writeDataFile(int c, QString* problem) { return saveDataFile(c, problem); }

  // Reads what the port has received and handles it (the poll timer's job).
  void poll();
  // Feeds received bytes.
  void receive(const QByteArray& bytes);
  // One second of the slot's clock (the tick timer's job).
  void secondTick();
  // One tick of the step program (its timer's job).
  void stepTick();

signals:
  void identified();
  // A report of channel c was taken (values, counters and series of the model are new).
  void sampleTaken(int c);
  void testStarted(int c);
  // A running test was taken over: `continued` when its recording went on.
  void testAdopted(int c, bool continued);
  // The device ended the channel's test; the data file's path (empty when none was written) and
  // why it was not.
  void testEnded(int c, const QString& dataFile, const QString& fileProblem);
  // The step program is over; its data file as for testEnded.
  void programEnded(const QString& dataFile, const QString& fileProblem);
  // Something the user should hear of that does not stop the test (a recording that cannot be
  // written, a rejected sample); logged as well.
  void problem(const QString& text);

private:
  void sendConnect();
  void applyEffect(const SlotEffect& e);
  void adopt(int c);
  void renameRecording(int c);
  void recordSample(int c);
  void followClocks();
  void writeFrame(const CmdFrame& frame);
  bool sendStart(int c, int operation);
  void setUpValues(int c, int modeNo, const TestValues& values);
  void beginTest(int c);
  void beginStart(int c);
  void stepAction(const StepAction& a);
  void setStepResult(int col, const QString& text);
  void programOff();
  QString saveDataFile(int c, QString* problem);
  void say(const QString& tag, const QString& text);
  ChannelData& data(int c) { return m_model.at(c).data; }

  Comm& m_comm;
  Settings m_settings;
  Comm::Handle m_handle = 0;
  SlotModel m_model;
  ReceiveState m_rx;
  QTimer m_pollTimer, m_connTimer, m_tick, m_stepTimer;
  QElapsedTimer m_lastHeard;
  int m_heard = 0;
  std::array<bool, 2> m_foundRunning{};
  std::array<QString, 2> m_recordedWhole; // per channel: the recording last appended to whole
  std::array<QString, 2> m_endFile, m_endProblem, m_endRecording;
  StepEngine m_engine;
  StepTable m_table;
  bool m_stepRunning = false;
};

} // namespace ondrel
