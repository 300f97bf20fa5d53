#pragma once

#include "cli/cliargs.h"
#include "cli/clioutput.h"
#include "data/telemetry/devicetelemetry.h"
#include "data/telemetry/mqttconfig.h"
#include "link/comm.h"
#include "test/slotrunner.h"

namespace ondrel {
class HistoryWriter;
}

#include <QDateTime>
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>

#include <array>
#include <memory>

namespace ondrel::cli {

// What the runner takes from the program folder's settings.
struct FolderSettings {
  int slot = 0;                 // the slot whose port setting names the port, else Device1
  bool temperatureData = false; // "TEMP"
  bool scaleFromValues = false; // "SCALE"
  bool csv = true;              // "CSV"
  MqttConfig mqtt;              // [MQTT]
};
// Reads "ondrel.ini" of the program folder for port n; defaults when it is missing or unusable.
FolderSettings readFolderSettings(const QString& folder, int port);
// The telemetry settings: the command line's over the INI's.
MqttConfig mqttConfigOf(const Options& options, const MqttConfig& fromIni);

// One command on one port (info, run, watch, program) from connecting to its exit code.
class Session : public QObject {
  Q_OBJECT
public:
  Session(const Options& options, const FolderSettings& settings, Comm& comm, Printer& out,
          QObject* parent = nullptr);
  ~Session() override;

  void start();
  // Ctrl-C or SIGTERM: the followed tests are stopped (unless --no-stop), their data files
  // written, and the session ends.
  void interrupt();

  const SlotRunner& runner() const { return *m_runner; }
  // Where ended tests are added to the test history (none: not recorded there).
  void setHistory(HistoryWriter* history) { m_history = history; }

  // How long a device may stay silent, and how long a stop may wait for its confirmation.
  static constexpr qint64 kSilentMs = 10'000;
  static constexpr qint64 kNoAnswerMs = 6'000;
  static constexpr qint64 kStopWaitMs = 5'000;
  static constexpr qint64 kStartWaitMs = 8'000;

signals:
  void finished(int exitCode);

private:
  bool follows(int c) const;
  void watchdog();
  void identified();
  void decide();
  void startRun();
  void startProgram();
  void sample(int c);
  void testStarted(int c);
  void testAdopted(int c, bool continued);
  void testEnded(int c, const QString& dataFile, const QString& problem);
  void programEnded(const QString& dataFile, const QString& problem);
  void linkLost(const QString& message);
  QJsonObject endedObject(int c, const QString& reason, const QString& dataFile,
                          const QString& bdfFile) const;
  QString exportBdf(int c, QString* problem);
  void fail(const QString& message, int code);
  // An event on the output and, when telemetry is on, on the broker.
  void tell(const QJsonObject& object, const QString& text);
  void startTelemetry(const MqttConfig& config);
  void addToHistory(int c, const QString& kind, const QString& reason, const QString& dataFile,
                    const QString& recording);
  void finish(int code);

  Options m_options;
  Comm& m_comm;
  Printer& m_out;
  std::unique_ptr<SlotRunner> m_runner;
  std::unique_ptr<DeviceTelemetry> m_telemetry;
  bool m_stoppedRemotely = false;
  bool m_seenRunning = false;
  QElapsedTimer m_startedAt;
  HistoryWriter* m_history = nullptr;
  QTimer m_watchdog;
  bool m_thirdIsTemperature = false;
  int m_slot = 0;
  bool m_identified = false;
  bool m_done = false;
  bool m_stopping = false;
  QDateTime m_stopDeadline;
  std::array<bool, 2> m_running{};     // a followed test runs on the channel
  std::array<QDateTime, 2> m_started{}; // when the channel's test began
};

} // namespace ondrel::cli
