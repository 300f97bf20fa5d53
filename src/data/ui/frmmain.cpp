#include "data/ui/frmmain.h"

#include "data/support/version.h"

#include <QGuiApplication>
#include <QScreen>

namespace ondrel {

frmMain::frmMain(QWidget* parent) : QMainWindow(parent) {
  setObjectName(QStringLiteral("frmMain"));
  setWindowTitle(caption());
  resize(1024, 700);
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->availableGeometry().center() - rect().center());
}

QString frmMain::caption() {
  return QLatin1String(kProductTitle) + QStringLiteral(" V") + QLatin1String(kVersionText);
}

} // namespace ondrel
