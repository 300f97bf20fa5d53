#pragma once

#include "test/ui/messages.h"

#include <QString>

#include <functional>

namespace ondrel {

// The open (save = false) or save dialog: the chosen path, or "" when cancelled. The main window
// shows it; its slots and tests are given one of these.
using FileChooser = std::function<QString(bool save, const QString& title, const QString& filter,
                                          const QString& name, const QString& defaultExt)>;

// The path a save command writes: the chosen name by the extension rule. The dialog asked before
// replacing the name it returned; a name that the extension changed is asked about here. ""
// when the user declines.
QString savePathFor(const QString& chosen, const QString& extension, const MessageAsker& ask);

// A file the user asked for and did not get: the failure being handled is logged under `tag`
// and said.
void sayNotWritten(const MessageAsker& ask, const QString& tag);

} // namespace ondrel
