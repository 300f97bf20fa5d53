#pragma once

#include "bootloader.h"
#include "devicelogic.h"
#include "pty.h"
#include "simoptions.h"

#include <QElapsedTimer>
#include <QJsonObject>
#include <QList>
#include <QObject>
#include <QTimer>

#include <memory>
#include <random>

namespace ondrel::sim {

// Bytes per millisecond at 9600 baud with 8 data bits, even parity and a stop bit (11 bits).
constexpr double kLineBytesPerMs = 9600.0 / 11.0 / 1000.0;

// One simulated device on its own pseudo-terminal, registered as ports/COM<n> in a program
// folder. Its clock moves only through advance(), so tests step it by hand; a Simulator drives
// it in real time.
class SimDevice : public QObject {
  Q_OBJECT
public:
  SimDevice(const QString& home, const DeviceOptions& options, QObject* parent = nullptr);
  ~SimDevice() override;

  // Creates the pseudo-terminal and the link; false with a reason on error.
  bool open(QString* error = nullptr);
  // Removes the link and closes the pseudo-terminal (also done on destruction).
  void close();

  // Moves the device clock on: reads what the program sent, acts on it, runs the physics,
  // sends the reports that are due, at no more than the line rate.
  void advance(int ms);

  QString portName() const { return QStringLiteral("COM%1").arg(m_options.port); }
  QString linkPath() const;
  QString devicePath() const { return m_pty.slavePath(); }
  const DeviceOptions& options() const { return m_options; }
  qint64 clockMs() const { return static_cast<qint64>(m_clockMs); }
  bool isOpen() const { return m_pty.isOpen(); }
  // The simulator's end of the pseudo-terminal (-1 when closed), for tests that wait until the
  // kernel has handed their bytes across.
  int lineFd() const { return m_pty.masterFd(); }
  bool vanished() const { return m_vanished; }
  bool inBootLoader() const { return m_boot != nullptr; }

  DeviceLogic* logic() { return m_logic.get(); }
  BootLoader* bootLoader() { return m_boot.get(); }

  // What the device heard, decoded: one record per command, as in the --log file.
  const QList<QJsonObject>& heard() const { return m_heard; }
  void clearHeard() { m_heard.clear(); }
  // Appends every record as a JSON line to this file (empty: no file).
  void setLogFile(const QString& path) { m_logPath = path; }

  // Bytes written to the line so far, and the report frames among them.
  qint64 bytesSent() const { return m_bytesSent; }
  qint64 reportsSent() const { return m_reportsSent; }
  // Reports sent with a wrong checksum on purpose (corrupt=SHARE).
  qint64 reportsCorrupted() const { return m_reportsCorrupted; }

  // The device's own keys.
  bool keyStart(const KeyStartOption& start, QString* error = nullptr);
  void keyStop(int channel);

signals:
  void commandHeard(const QJsonObject& record);

private:
  void step(double ms);
  void takeInput();
  void queueReport(QByteArray frame);
  void pump(double ms);
  void note(QJsonObject record);
  bool silentNow() const;

  QString m_home;
  DeviceOptions m_options;
  Pty m_pty;
  std::unique_ptr<DeviceLogic> m_logic;
  std::unique_ptr<BootLoader> m_boot;
  CommandSplitter m_splitter;
  QByteArray m_out;
  double m_credit = 0;
  double m_clockMs = 0;
  double m_nextReportMs = 0;
  bool m_wasConnected = false;
  bool m_vanished = false;
  qint64 m_bytesSent = 0;
  qint64 m_reportsSent = 0;
  qint64 m_reportsCorrupted = 0;
  std::mt19937 m_random;
  QList<QJsonObject> m_heard;
  QString m_logPath;
};

// Several devices in one process, driven in real time by a timer, or stepped together by hand.
class Simulator : public QObject {
  Q_OBJECT
public:
  explicit Simulator(QObject* parent = nullptr);
  ~Simulator() override;

  // Creates and opens a device; nullptr with a reason on error (a port used twice, no pty).
  SimDevice* add(const QString& home, const DeviceOptions& options, QString* error = nullptr);
  QList<SimDevice*> devices() const { return m_devices; }
  SimDevice* device(int port) const;
  void setLogFile(const QString& path);

  void start(int tickMs = 10); // real time
  void stop();
  void advance(int ms);
  void closeAll();

  // One control line as typed on the standard input of ondrel-sim:
  //   start PORT [MODE [SET [LIMIT [TIME [CHANNEL]]]]] | stop PORT [CHANNEL] | status | quit
  // Returns the answer to print; sets *quit for "quit".
  QString control(const QString& line, bool* quit = nullptr);

private:
  void tick();

  QList<SimDevice*> m_devices;
  QString m_logPath;
  QTimer m_timer;
  QElapsedTimer m_elapsed;
  qint64 m_lastMs = 0;
};

} // namespace ondrel::sim
