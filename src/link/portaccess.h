#pragma once

#include "link/comm.h"

#include <QString>

namespace ondrel {

// The one-time note on how to get at the serial devices: on Linux a new user is usually not in the
// group that owns them, and every port then looks refused. The window program says what to do
// once, and remembers in ondrel.ini that it did.

// Where the program stands when a port search ends.
struct PortAccessContext {
  bool alreadyShown = false; // the settings file's mark, or shown earlier in this run
  bool testRunning = false;  // a dialog must not sit over a running test; a later search shows it
  bool portOpen = false;     // a slot holds a port, so ports can be opened after all
};

// Whether the note is due after a port search: no port opened, at least one was refused for
// permission, the process is not in the owning group, and the context allows it.
bool portAccessNoticeDue(const ProbeSummary& probe, const PortAccessContext& context);

QString portAccessNoticeTitle();
// What to do, with the group the device nodes belong to (dialout on Debian and Ubuntu).
QString portAccessNoticeText(const QString& group);

// The note's mark in the settings file: [NOTICES] PortAccess=1.
bool portAccessNoticeShown(const QString& settingsFile);
void notePortAccessNoticeShown(const QString& settingsFile);

} // namespace ondrel
