#pragma once

#include <QIcon>
#include <QString>

#include <functional>

class QWidget;

namespace ondrel {

// The platform's open or save dialog. `filter` lists "description|pattern" pairs (the first is
// preselected); `name`, `defaultExt` and `folder` may be empty. Returns the chosen path, or ""
// when cancelled or when the proposed name is longer than 260 characters.
QString FileDialog(QWidget* owner, bool save, const QString& title, const QString& filter,
                   const QString& name, const QString& defaultExt, const QString& folder);

// The dialog step of FileDialog, replaceable in tests: shows one dialog with the proposed
// name and answers the chosen path ("" when cancelled) and how long the dialog was up.
struct FileDialogAnswer {
  QString path;
  qint64 elapsedMs = 0;
};
using FileDialogRunner = std::function<FileDialogAnswer(const QString& proposedName)>;
QString FileDialogWith(const FileDialogRunner& run, const QString& name);

// The colour dialog: the chosen colour as 0x00BBGGRR, or -1 when cancelled.
qint64 ChooseColour(QWidget* owner = nullptr);

// A notification-area icon for `window`; `onLeftClick` runs when the user clicks it.
// The tip is cut to 63 characters. Returns false when the desktop has no notification area.
bool TrayIconAdd(QWidget* window, const QString& tip, const QIcon& icon, int id,
                 std::function<void()> onLeftClick);
bool TrayIconRemove(QWidget* window, int id);

} // namespace ondrel
