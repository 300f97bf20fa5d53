#include "cli/cliargs.h"
#include "cli/clihistory.h"
#include "cli/clioutput.h"
#include "cli/clisession.h"
#include "cli/ports.h"
#include "data/support/programfolder.h"
#include "history/historywriter.h"
#include "link/portnames.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QTimer>
#include <QJsonArray>
#include <QSocketNotifier>

#include <csignal>
#include <cstdio>

#ifdef Q_OS_UNIX
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

using namespace ondrel;
using namespace ondrel::cli;

void print(std::FILE* f, const QString& text) {
  const QByteArray bytes = text.toUtf8();
  std::fwrite(bytes.constData(), 1, size_t(bytes.size()), f);
  std::fflush(f);
}

#ifdef Q_OS_UNIX
int g_signalPipe[2] = {-1, -1};
volatile std::sig_atomic_t g_signals = 0;

// The first Ctrl-C or SIGTERM is handed to the event loop, which stops the test and writes the
// data file; a second one leaves at once. Every recording line is written whole, so nothing of
// the recording is lost either way.
void onSignal(int) {
  if (g_signals != 0)
    _exit(kExitInterrupted);
  g_signals = 1;
  const char byte = 1;
  [[maybe_unused]] const auto written = ::write(g_signalPipe[0], &byte, 1);
}

void catchSignals(QObject* parent, const std::function<void()>& handler) {
  if (::socketpair(AF_UNIX, SOCK_STREAM, 0, g_signalPipe) != 0)
    return;
  auto* notifier = new QSocketNotifier(g_signalPipe[1], QSocketNotifier::Read, parent);
  QObject::connect(notifier, &QSocketNotifier::activated, parent, [handler] {
    char byte = 0;
    [[maybe_unused]] const auto got = ::read(g_signalPipe[1], &byte, 1);
    handler();
  });
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  sa.sa_flags = SA_RESTART;
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
}
#endif

bool outputIsTerminal() {
#ifdef Q_OS_UNIX
  return ::isatty(STDOUT_FILENO) == 1;
#else
  return true;
#endif
}

int listPortsCommand(const Options& o) {
  Comm comm;
  const std::vector<PortReport> ports = listPorts(comm, portsFolder());
  const bool json = o.json || !outputIsTerminal();
  Printer out(json);
  for (const PortReport& r : ports)
    out.event(portObject(r), portText(r));
  if (ports.empty() && !json)
    out.line(QStringLiteral("No ports found in COM2..COM20 (%1).").arg(portsFolder()));
  return kExitOk;
}

// Clears the device's Home Assistant configs on the broker.
int forgetCommand(const Options& o) {
  const FolderSettings settings = readFolderSettings(programFolder(), o.port);
  const MqttConfig config = mqttConfigOf(o, settings.mqtt);
  if (!config.enabled()) {
    print(stderr, QStringLiteral("ondrel-cli: no broker: give --mqtt URL or set [MQTT] URL in "
                                 "ondrel.ini.\n"));
    return kExitBadArguments;
  }
  QString error;
  std::unique_ptr<DeviceTelemetry> t = DeviceTelemetry::make(config, portName(o.port), &error);
  if (!t) {
    print(stderr, QStringLiteral("ondrel-cli: MQTT: %1\n").arg(error));
    return kExitBadArguments;
  }
  QEventLoop loop;
  QString reason;
  QObject::connect(t.get(), &DeviceTelemetry::statusChanged, &loop,
                   [&](bool up, const QString& why) {
                     reason = why;
                     if (up)
                       loop.quit();
                   });
  QTimer::singleShot(10000, &loop, &QEventLoop::quit);
  loop.exec();
  if (!t->connected()) {
    print(stderr, QStringLiteral("ondrel-cli: MQTT: the broker did not answer (%1).\n").arg(reason));
    return kExitLinkLost;
  }
  t->forget();
  t->close();
  print(stdout, QStringLiteral("The Home Assistant entities of %1 were removed.\n")
                    .arg(portName(o.port)));
  return kExitOk;
}

} // namespace

int main(int argc, char* argv[]) {
#ifdef Q_OS_UNIX
  // A broker that dies mid-write must cost a failed send, not the process (and its test).
  std::signal(SIGPIPE, SIG_IGN);
#endif
  QCoreApplication app(argc, argv);
  // The same name as the window program: both share the per-user program folder.
  QCoreApplication::setApplicationName(QStringLiteral("Ondrel"));
  QCoreApplication::setOrganizationName(QStringLiteral("Ondrel"));

  const Parsed parsed = parseArguments(QCoreApplication::arguments().mid(1));
  if (!parsed.options) {
    print(stderr, QStringLiteral("ondrel-cli: %1\n").arg(parsed.error));
    return kExitBadArguments;
  }
  const Options& o = *parsed.options;
  if (o.help) {
    const bool general = QCoreApplication::arguments().size() <= 2 &&
                         QCoreApplication::arguments().value(1).startsWith(QLatin1Char('-'));
    print(stdout, helpText(general ? std::nullopt : std::optional<Command>(o.command)));
    return kExitOk;
  }

  initProgramFolder(QCoreApplication::arguments());
  // As the window program does on a first run: the folders for data files and logs.
  for (const char* folder : {"Data", "Log"})
    QDir().mkpath(programPath(QLatin1String(folder)));
  if (o.command == Command::Ports)
    return listPortsCommand(o);
  if (o.command == Command::Forget)
    return forgetCommand(o);
  if (o.command == Command::History) {
    Printer out(o.json || !outputIsTerminal());
    return listHistory(o, programFolder(), out);
  }

  Printer out(o.json || !outputIsTerminal());
  Comm comm;
  // A new program folder (a service's first start) has no port links yet: the plugged adapters
  // are numbered as `ports` and the window program's port search number them.
  comm.numberNewAdapters();
  // Declared before the session: it outlives it, and writes what is queued before the exit.
  HistoryWriter history(readHistoryConfig(programFolder()));
  QObject::connect(&history, &HistoryWriter::unavailable, &app, [&out](const QString& reason) {
    out.error(
        QString(),
        QStringLiteral("The test history cannot be written now; its rows are kept: ") + reason, 0);
  });
  Session session(o, readFolderSettings(programFolder(), o.port), comm, out);
  session.setHistory(o.command == Command::Info ? nullptr : &history);
  int exitCode = kExitOk;
  QObject::connect(&session, &Session::finished, &app, [&](int code) {
    exitCode = code;
    QCoreApplication::exit(code);
  });
#ifdef Q_OS_UNIX
  catchSignals(&app, [&session] { session.interrupt(); });
#endif
  QMetaObject::invokeMethod(&session, &Session::start, Qt::QueuedConnection);
  QCoreApplication::exec();
  return exitCode;
}
