#include "cli/cliargs.h"

#include "link/portnames.h"

#include <QDate>

#include <map>

namespace ondrel::cli {
namespace {

const std::map<QString, Command>& commands() {
  static const std::map<QString, Command> all{{QStringLiteral("ports"), Command::Ports},
                                              {QStringLiteral("info"), Command::Info},
                                              {QStringLiteral("run"), Command::Run},
                                              {QStringLiteral("watch"), Command::Watch},
                                              {QStringLiteral("program"), Command::Program},
                                              {QStringLiteral("forget"), Command::Forget},
                                              {QStringLiteral("history"), Command::History}};
  return all;
}

// Which options each command takes.
bool takes(Command c, const QString& option) {
  static const QStringList common{QStringLiteral("home"), QStringLiteral("json"),
                                  QStringLiteral("help")};
  static const QStringList device{QStringLiteral("port")};
  static const QStringList mqtt{QStringLiteral("mqtt"), QStringLiteral("mqtt-user"),
                                QStringLiteral("mqtt-passfile"), QStringLiteral("mqtt-cafile"),
                                QStringLiteral("mqtt-prefix")};
  static const QStringList following{QStringLiteral("label"), QStringLiteral("no-stop"),
                                     QStringLiteral("no-data-file"), QStringLiteral("format")};
  if (common.contains(option))
    return true;
  switch (c) {
  case Command::Ports:
    return false;
  case Command::Info:
    return device.contains(option);
  case Command::Forget:
    return device.contains(option) || mqtt.contains(option);
  case Command::Run:
    return device.contains(option) || following.contains(option) || mqtt.contains(option) ||
           QStringList{QStringLiteral("mode"), QStringLiteral("set"), QStringLiteral("limit"),
                       QStringLiteral("time"), QStringLiteral("channel")}
               .contains(option);
  case Command::Watch:
    return device.contains(option) || following.contains(option) || mqtt.contains(option) ||
           option == QLatin1String("channel") || option == QLatin1String("forever");
  case Command::Program:
    return device.contains(option) || following.contains(option) || mqtt.contains(option);
  case Command::History:
    return QStringList{QStringLiteral("label"), QStringLiteral("model"), QStringLiteral("since")}
        .contains(option);
  }
  return false;
}

bool isFlag(const QString& option) {
  static const QStringList flags{QStringLiteral("json"), QStringLiteral("help"),
                                 QStringLiteral("no-stop"), QStringLiteral("no-data-file"),
                                 QStringLiteral("forever")};
  return flags.contains(option);
}

} // namespace

QString commandName(Command command) {
  for (const auto& [name, c] : commands())
    if (c == command)
      return name;
  return {};
}

Parsed parseArguments(const QStringList& arguments) {
  Parsed out;
  Options o;
  if (arguments.isEmpty())
    return {std::nullopt, QStringLiteral("No command given. Commands: ports, info, run, watch, "
                                         "program, forget, history (ondrel-cli --help).")};
  QStringList args = arguments;
  const QString first = args.takeFirst();
  if (first == QLatin1String("--help") || first == QLatin1String("-h") ||
      first == QLatin1String("help")) {
    o.help = true;
    o.command = Command::Ports;
    if (!args.isEmpty() && commands().count(args.first()))
      o.command = commands().at(args.first());
    out.options = o;
    return out;
  }
  if (!commands().count(first))
    return {std::nullopt, QStringLiteral("Unknown command \"%1\". Commands: ports, info, run, "
                                         "watch, program, forget, history.")
                              .arg(first)};
  o.command = commands().at(first);
  bool channelGiven = false;
  QStringList positional;
  for (qsizetype i = 0; i < args.size(); ++i) {
    QString arg = args.at(i);
    if (arg == QLatin1String("-h"))
      arg = QStringLiteral("--help");
    if (!arg.startsWith(QLatin1String("--")) || arg == QLatin1String("--")) {
      positional << arg;
      continue;
    }
    QString name = arg.mid(2);
    std::optional<QString> value;
    if (const qsizetype eq = name.indexOf(QLatin1Char('=')); eq >= 0) {
      value = name.mid(eq + 1);
      name = name.left(eq);
    }
    if (!takes(o.command, name))
      return {std::nullopt, QStringLiteral("%1 takes no option --%2 (ondrel-cli %1 --help).")
                                .arg(first, name)};
    if (isFlag(name)) {
      if (value)
        return {std::nullopt, QStringLiteral("--%1 takes no value.").arg(name)};
    } else if (!value) {
      if (i + 1 >= args.size())
        return {std::nullopt, QStringLiteral("--%1 needs a value.").arg(name)};
      value = args.at(++i);
    }
    if (name == QLatin1String("help"))
      o.help = true;
    else if (name == QLatin1String("json"))
      o.json = true;
    else if (name == QLatin1String("no-stop"))
      o.noStop = true;
    else if (name == QLatin1String("no-data-file"))
      o.noDataFile = true;
    else if (name == QLatin1String("forever"))
      o.keepWatching = true;
    else if (name == QLatin1String("home"))
      o.home = *value;
    else if (name == QLatin1String("port")) {
      const std::optional<int> n = portNumber(*value);
      if (!n)
        return {std::nullopt,
                QStringLiteral("\"%1\" is not a port; ports are named COM2 to COM20.").arg(*value)};
      o.port = *n;
    } else if (name == QLatin1String("mode"))
      o.mode = *value;
    else if (name == QLatin1String("set"))
      o.set = *value;
    else if (name == QLatin1String("limit"))
      o.limit = *value;
    else if (name == QLatin1String("time"))
      o.time = *value;
    else if (name == QLatin1String("label"))
      o.label = *value;
    else if (name == QLatin1String("model"))
      o.model = *value;
    else if (name == QLatin1String("since")) {
      if (!QDate::fromString(value->left(10), Qt::ISODate).isValid())
        return {std::nullopt, QStringLiteral("--since is a date such as 2026-12-01.")};
      o.since = value->left(10);
    } else if (name == QLatin1String("channel")) {
      if (*value != QLatin1String("1") && *value != QLatin1String("2"))
        return {std::nullopt, QStringLiteral("--channel is 1 or 2.")};
      o.channel = value->toInt() - 1;
      channelGiven = true;
    } else if (name == QLatin1String("format")) {
      if (*value == QLatin1String("own"))
        o.format = FileFormat::Own;
      else if (*value == QLatin1String("bdf"))
        o.format = FileFormat::Bdf;
      else if (*value == QLatin1String("both"))
        o.format = FileFormat::Both;
      else
        return {std::nullopt, QStringLiteral("--format is own, bdf or both.")};
    } else if (name == QLatin1String("mqtt"))
      o.mqttUrl = *value;
    else if (name == QLatin1String("mqtt-user"))
      o.mqttUser = *value;
    else if (name == QLatin1String("mqtt-passfile"))
      o.mqttPassFile = *value;
    else if (name == QLatin1String("mqtt-cafile"))
      o.mqttCaFile = *value;
    else if (name == QLatin1String("mqtt-prefix"))
      o.mqttPrefix = *value;
  }
  if (o.help) {
    out.options = o;
    return out;
  }
  if (o.command == Command::Program) {
    if (positional.size() != 1)
      return {std::nullopt, QStringLiteral("program needs one step file (FILE.stp).")};
    o.stepFile = positional.first();
  } else if (!positional.isEmpty()) {
    return {std::nullopt, QStringLiteral("Unexpected argument \"%1\".").arg(positional.first())};
  }
  if (o.command != Command::Ports && o.command != Command::History && o.port == 0)
    return {std::nullopt, QStringLiteral("%1 needs --port COMn.").arg(first)};
  if (o.command == Command::Run && o.mode.isEmpty())
    return {std::nullopt, QStringLiteral("run needs --mode (the mode as the panel lists it, "
                                         "such as D-CC).")};
  if (o.command == Command::Watch && !channelGiven)
    o.channel = -1;
  out.options = o;
  return out;
}

QString helpText(std::optional<Command> command) {
  const QString common =
      QStringLiteral("  --home DIR       program folder (settings, ports/, recordings, Data/, logs)\n"
                     "  --json           one JSON object per line (also when output is no terminal)\n"
                     "  --help           this text\n");
  const QString following =
      QStringLiteral("  --label TEXT     the data file's title\n"
                     "  --no-stop        Ctrl-C leaves the test running on the device\n"
                     "  --no-data-file   no data file at the test's end\n"
                     "  --format F       data file: own (default), bdf (Battery Data Format CSV) or both\n");
  const QString mqtt = QStringLiteral(
      "  --mqtt URL       publish live values and events to a broker (mqtt://host:port or\n"
      "                   mqtts://host:port); over [MQTT] URL of ondrel.ini\n"
      "  --mqtt-user U    --mqtt-passfile FILE (the password's file)  --mqtt-cafile FILE\n"
      "  --mqtt-prefix P  (default ondrel)\n");
  if (!command)
    return QStringLiteral(
               "Usage: ondrel-cli COMMAND [OPTIONS]\n\n"
               "Identify, run, follow and record battery tests without a screen.\n\n"
               "Commands:\n"
               "  ports     the ports COM2..COM20 and whether they can be opened\n"
               "  info      identify the device on a port\n"
               "  run       start a test and follow it to its end\n"
               "  watch     follow whatever the device does\n"
               "  program   run a step program from a step file\n"
               "  forget    remove a device's Home Assistant entities from the broker\n"
               "  history   list the test history\n\n"
               "ondrel-cli COMMAND --help shows a command's options.\n\n"
               "Exit codes: 0 the test ended, 1 link lost or device silent, 2 bad arguments or a\n"
               "refused value, 3 the port could not be opened, 4 no known device answered.\n");
  switch (*command) {
  case Command::Ports:
    return QStringLiteral("Usage: ondrel-cli ports [--home DIR] [--json]\n\n"
                          "The ports COM2..COM20, what stands behind each and why one cannot be "
                          "opened.\n\n") +
           common;
  case Command::Info:
    return QStringLiteral("Usage: ondrel-cli info --port COMn [--home DIR] [--json]\n\n"
                          "Connects, identifies the device and prints its model, firmware, ranges,\n"
                          "channels and modes.\n\n") +
           common;
  case Command::Run:
    return QStringLiteral(
               "Usage: ondrel-cli run --port COMn --mode MODE [--set X] [--limit Y] [--time T]\n"
               "                      [--channel 1|2] [OPTIONS]\n\n"
               "Starts a test, records it and follows it until the device ends it. MODE is a mode\n"
               "as the panel lists it (D-CC, C-Liion, ...); X, Y and T are in the panel's units\n"
               "for that mode; a value left out keeps the mode's default.\n\n"
               "  --port COMn      the device's port\n"
               "  --channel 1|2    the channel of a two-channel device (default 1)\n") +
           following + mqtt + common;
  case Command::Watch:
    return QStringLiteral(
               "Usage: ondrel-cli watch --port COMn [--channel 1|2] [--forever] [OPTIONS]\n\n"
               "Follows the device: a running test is continued in its recording, a test started\n"
               "on the device's keys is recorded as a new one. Ends when that test ends.\n\n"
               "  --port COMn      the device's port\n"
               "  --channel 1|2    follow one channel only (default: every channel)\n"
               "  --forever        keep watching after a test ends\n") +
           following + mqtt + common;
  case Command::Forget:
    return QStringLiteral("Usage: ondrel-cli forget --port COMn [--mqtt URL ...] [--home DIR]\n\n"
                          "Removes the Home Assistant discovery configs of the device on the port\n"
                          "from the broker (empty retained messages).\n\n") +
           mqtt + common;
  case Command::Program:
    return QStringLiteral(
               "Usage: ondrel-cli program --port COMn FILE.stp [OPTIONS]\n\n"
               "Runs the step program of a step file on channel 1, as the Cycle Test page does.\n\n"
               "  --port COMn      the device's port\n") +
           following + mqtt + common;
  case Command::History:
    return QStringLiteral(
               "Usage: ondrel-cli history [--label TEXT] [--model M] [--since DATE] [OPTIONS]\n\n"
               "Lists the tests of the test history (the lab store when [ARCHIVE] URL names one,\n"
               "else ondrel.db in the program folder), newest first. Opens no port.\n\n"
               "  --label TEXT     tests whose label contains TEXT (any case)\n"
               "  --model M        tests of models whose name contains M\n"
               "  --since DATE     tests begun on or after DATE (yyyy-mm-dd, UTC)\n") +
           common;
  }
  return {};
}

} // namespace ondrel::cli
