#include "link/portaccess.h"

#include "data/support/ini.h"

namespace ondrel {
namespace {

const QString kSection = QStringLiteral("NOTICES");
const QString kKey = QStringLiteral("PortAccess");

} // namespace

bool portAccessNoticeDue(const ProbeSummary& probe, const PortAccessContext& context) {
#ifdef Q_OS_LINUX
  return !context.alreadyShown && !context.testRunning && !context.portOpen &&
         probe.opened == 0 && probe.refused > 0 && !probe.inGroup && !probe.group.isEmpty();
#else
  // The advice is Linux's (usermod); elsewhere the per-port message says what it can.
  Q_UNUSED(probe);
  Q_UNUSED(context);
  return false;
#endif
}

QString portAccessNoticeTitle() {
  return QStringLiteral("Serial Port Access");
}

QString portAccessNoticeText(const QString& group) {
  return QStringLiteral(
             "No serial port could be opened: the ports belong to the group \"%1\", and your user "
             "is not in it.\n\n"
             "To allow it, run once in a terminal:\n\n"
             "    sudo usermod -aG %1 $USER\n\n"
             "then log out and log in again (or restart the computer). The ports are then "
             "listed.\n\n"
             "This note is not shown again.")
      .arg(group);
}

bool portAccessNoticeShown(const QString& settingsFile) {
  return IniRead(settingsFile, kSection, kKey, QString()) == QLatin1String("1");
}

void notePortAccessNoticeShown(const QString& settingsFile) {
  IniWrite(settingsFile, kSection, kKey, QStringLiteral("1"));
}

} // namespace ondrel
