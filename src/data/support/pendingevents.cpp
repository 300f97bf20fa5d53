#include "data/support/pendingevents.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QPointer>

namespace ondrel {

bool letPendingEventsRunTwice(const QObject* guard) {
  const QPointer<const QObject> alive(guard);
  QCoreApplication::processEvents();
  QCoreApplication::processEvents();
  return !alive.isNull();
}

void waitUntilClosed(const std::function<bool()>& closed) {
  // A short wait for more events between rounds keeps the loop from spinning a core.
  while (!closed())
    QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
}

} // namespace ondrel
