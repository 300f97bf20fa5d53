// ondrel-sim: simulated testers on pseudo-terminals, registered in a program folder's "ports".
#include "simdevice.h"
#include "simoptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QSocketNotifier>
#include <QTextStream>

#include <csignal>
#include <cstdio>
#include <unistd.h>

namespace {

int g_signalPipe[2] = {-1, -1};

void onSignal(int) {
  const char c = 1;
  [[maybe_unused]] const ssize_t n = ::write(g_signalPipe[1], &c, 1);
}

QString usage() {
  return QStringLiteral(
             "usage: ondrel-sim --home DIR --device PORT[:key=value,...] [--device ...]\n"
             "                  [--report-ms MS] [--speed N] [--seed N] [--log FILE]\n"
             "\n"
             "Each device gets a pseudo-terminal linked as DIR/ports/COM<PORT>.\n"
             "  --home DIR       program folder (default: the current folder)\n"
             "  --device SPEC    a device, e.g. 2:model=12  3:model=17  4:model=26,fw=320\n"
             "                   5:boot=26,version=320\n"
             "  --report-ms MS   default report interval of every device (1000)\n"
             "  --speed N        default physics speed-up of every device (1)\n"
             "  --seed N         default seed of the fault dice (1)\n"
             "  --log FILE       one JSON line per command the devices hear\n"
             "\n"
             "Keys of --device:\n") +
         ondrel::sim::deviceSpecHelp() +
         QStringLiteral("\nOn standard input: start PORT [MODE [SET [LIMIT [TIME [CHANNEL]]]]], "
                        "stop PORT [CHANNEL], status, quit.\n");
}

} // namespace

int main(int argc, char** argv) {
  QCoreApplication app(argc, argv);
  QTextStream err(stderr);
  QTextStream out(stdout);
  const QStringList args = app.arguments();

  QString home = QDir::currentPath();
  QString logPath;
  QStringList specs;
  ondrel::sim::DeviceOptions defaults;
  for (int i = 1; i < args.size(); ++i) {
    const QString& a = args[i];
    const auto value = [&]() -> QString {
      if (i + 1 >= args.size()) {
        err << "ondrel-sim: " << a << " needs a value\n";
        std::exit(2);
      }
      return args[++i];
    };
    bool ok = true;
    if (a == "--help" || a == "-h") {
      out << usage();
      return 0;
    } else if (a == "--home") {
      home = value();
    } else if (a == "--device") {
      specs.append(value());
    } else if (a == "--log") {
      logPath = value();
    } else if (a == "--report-ms") {
      defaults.reportMs = value().toInt(&ok);
      ok = ok && defaults.reportMs > 0;
    } else if (a == "--speed") {
      defaults.speed = value().toDouble(&ok);
      ok = ok && defaults.speed > 0;
    } else if (a == "--seed") {
      defaults.seed = value().toUInt(&ok);
    } else {
      err << "ondrel-sim: unknown option " << a << "\n\n" << usage();
      return 2;
    }
    if (!ok) {
      err << "ondrel-sim: bad value for " << a << "\n";
      return 2;
    }
  }
  if (specs.isEmpty()) {
    err << usage();
    return 2;
  }
  QDir().mkpath(home);
  home = QDir(home).absolutePath();

  // SIGINT/SIGTERM end the event loop, so that the devices remove their links on the way out.
  // The handlers are in place before the first link exists.
  if (::pipe(g_signalPipe) != 0)
    return 1;
  struct sigaction sa {};
  sa.sa_handler = onSignal;
  sigemptyset(&sa.sa_mask);
  ::sigaction(SIGINT, &sa, nullptr);
  ::sigaction(SIGTERM, &sa, nullptr);
  ::sigaction(SIGHUP, &sa, nullptr);
  QSocketNotifier signalNotifier(g_signalPipe[0], QSocketNotifier::Read);
  QObject::connect(&signalNotifier, &QSocketNotifier::activated, &app, [&] {
    char c;
    [[maybe_unused]] const ssize_t n = ::read(g_signalPipe[0], &c, 1);
    app.quit();
  });

  ondrel::sim::Simulator sim;
  if (!logPath.isEmpty())
    sim.setLogFile(QDir(home).absoluteFilePath(logPath));
  for (const QString& spec : specs) {
    ondrel::sim::DeviceOptions options;
    QString error;
    if (!ondrel::sim::parseDeviceSpec(spec, defaults, &options, &error) ||
        !sim.add(home, options, &error)) {
      err << "ondrel-sim: " << error << "\n";
      return 2;
    }
  }
  for (ondrel::sim::SimDevice* d : sim.devices()) {
    out << d->portName() << " -> " << d->devicePath() << " ("
        << (d->logic()
                ? QStringLiteral("model %1, fw %2")
                      .arg(d->logic()->model().code)
                      .arg(d->logic()->model().firmware)
                : QStringLiteral("boot loader, type %1").arg(d->options().bootConfig.deviceType))
        << ")\n";
  }
  out.flush();

  // Control lines on standard input; end of input leaves the devices running.
  QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
  QByteArray pending;
  QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
    char buf[256];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
      input.setEnabled(false);
      return;
    }
    pending.append(buf, static_cast<int>(n));
    qsizetype nl;
    while ((nl = pending.indexOf('\n')) >= 0) {
      const QString line = QString::fromLocal8Bit(pending.left(nl));
      pending.remove(0, nl + 1);
      bool quit = false;
      const QString answer = sim.control(line, &quit);
      if (!answer.isEmpty())
        out << answer << "\n";
      out.flush();
      if (quit)
        app.quit();
    }
  });

  sim.start();
  const int rc = app.exec();
  sim.closeAll();
  return rc;
}
