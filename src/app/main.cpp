#include "data/support/programfolder.h"
#include "data/ui/frmmain.h"

#include <QApplication>

int main(int argc, char* argv[]) {
  QApplication app(argc, argv);
  QApplication::setApplicationName(QStringLiteral("Ondrel"));
  QApplication::setOrganizationName(QStringLiteral("Ondrel"));
  ondrel::initProgramFolder(QApplication::arguments());

  ondrel::frmMain window;
  window.show();
  return QApplication::exec();
}
