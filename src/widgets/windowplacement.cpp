#include "widgets/windowplacement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>

namespace ondrel {

void centreOnScreen(QWidget& window) {
  if (const QScreen* screen = QGuiApplication::primaryScreen())
    window.move(screen->availableGeometry().center() - window.rect().center());
}

} // namespace ondrel
