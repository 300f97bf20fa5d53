#include "data/support/programfolder.h"
#include "data/ui/frmmain.h"
#include "widgets/application.h"

#include <QAbstractButton>
#include <QCommandLineParser>
#include <QTimer>

#include <csignal>

int main(int argc, char* argv[]) {
#ifdef Q_OS_UNIX
  // A broker that dies mid-write must cost a failed send, not the program and its tests.
  std::signal(SIGPIPE, SIG_IGN);
#endif
  ondrel::Application app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ondrel"));
  QApplication::setOrganizationName(QStringLiteral("Ondrel"));

  QCommandLineParser options;
  options.addHelpOption();
  options.addOption(
      {QStringLiteral("home"), QStringLiteral("Program folder to use."), QStringLiteral("DIR")});
  // For docs and checks: save a picture of the main window after a delay, then quit.
  options.addOption({QStringLiteral("screenshot"),
                     QStringLiteral("Save a picture of the window to FILE and quit."),
                     QStringLiteral("FILE")});
  options.addOption({QStringLiteral("screenshot-after"),
                     QStringLiteral("Delay before the screenshot (default 2000)."),
                     QStringLiteral("MS"), QStringLiteral("2000")});
  options.addOption({QStringLiteral("connect"),
                     QStringLiteral("Press Connect on the first device slot at start.")});
  options.process(app);

  ondrel::initProgramFolder(QApplication::arguments());

  ondrel::frmMain window;
  window.show();

  if (options.isSet(QStringLiteral("connect")))
    QTimer::singleShot(300, &window, [&window] {
      if (auto* button = window.findChild<QAbstractButton*>(QStringLiteral("cmdConn")))
        button->click();
    });

  if (options.isSet(QStringLiteral("screenshot"))) {
    const QString file = options.value(QStringLiteral("screenshot"));
    QTimer::singleShot(options.value(QStringLiteral("screenshot-after")).toInt(), &window,
                       [&window, file] {
                         window.grab().save(file);
                         // exit, not quit: quit would ask "Close software?" and wait for a user.
                         QApplication::exit(0);
                       });
  }
  return QApplication::exec();
}
