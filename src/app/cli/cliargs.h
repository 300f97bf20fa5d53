#pragma once

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel::cli {

// Exit codes, as scripts rely on them.
enum ExitCode {
  kExitOk = 0,           // the test ended (by the device, or stopped on Ctrl-C)
  kExitLinkLost = 1,     // the port vanished or the device fell silent
  kExitBadArguments = 2, // bad arguments or a value the device's checks refuse
  kExitPortFailed = 3,   // the port could not be opened
  kExitNoDevice = 4,     // no known device answered
  kExitInterrupted = 130 // a second Ctrl-C: out at once
};

enum class Command { Ports, Info, Run, Watch, Program, Forget, History };

enum class FileFormat { Own, Bdf, Both };

// A command line taken apart. Values stay texts where the device's checks read them.
struct Options {
  Command command = Command::Ports;
  bool help = false;
  QString home;
  bool json = false;
  int port = 0; // COMn; 0 = not given
  QString mode, set, limit, time;
  int channel = 0;      // 0-based; -1 = every channel (watch without --channel)
  QString label;
  bool noStop = false;
  bool noDataFile = false;
  bool keepWatching = false; // --forever
  FileFormat format = FileFormat::Own;
  QString stepFile;
  // history: the filters
  QString model, since;
  // Telemetry
  QString mqttUrl, mqttUser, mqttPassFile, mqttCaFile, mqttPrefix;
};

struct Parsed {
  std::optional<Options> options;
  QString error; // why the command line was refused
};

// `arguments` without the program's name.
Parsed parseArguments(const QStringList& arguments);

// The help text of a command (or of the program, for none).
QString helpText(std::optional<Command> command);
QString commandName(Command command);

} // namespace ondrel::cli
