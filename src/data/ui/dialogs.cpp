#include "data/ui/dialogs.h"

#include "data/support/dialogfilter.h"
#include "widgets/colour.h"

#include <QColorDialog>
#include <QElapsedTimer>
#include <QFileDialog>
#include <QSystemTrayIcon>

namespace ondrel {
namespace {

QString runFileDialog(QWidget* owner, bool save, const QString& title, const QStringList& filters,
                      const QString& name, const QString& defaultExt, const QString& folder) {
  QFileDialog dialog(owner, title, folder);
  dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
  dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
  dialog.setOption(QFileDialog::ReadOnly, false);
  if (!filters.isEmpty()) {
    dialog.setNameFilters(filters);
    dialog.selectNameFilter(filters.first());
  }
  if (!defaultExt.isEmpty())
    dialog.setDefaultSuffix(defaultExt.startsWith(QLatin1Char('.')) ? defaultExt.mid(1)
                                                                    : defaultExt);
  if (!name.isEmpty())
    dialog.selectFile(name);
  if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
    return {};
  QString path = dialog.selectedFiles().first();
  const qsizetype nul = path.indexOf(QChar(0));
  return nul < 0 ? path : path.left(nul);
}

QString trayName(int id) {
  return QStringLiteral("trayIcon%1").arg(id);
}

} // namespace

QString FileDialog(QWidget* owner, bool save, const QString& title, const QString& filter,
                   const QString& name, const QString& defaultExt, const QString& folder) {
  const QStringList filters = nameFiltersFromPairs(filter);
  return FileDialogWith(
      [&](const QString& proposed) {
        QElapsedTimer shown;
        shown.start();
        QString path = runFileDialog(owner, save, title, filters, proposed, defaultExt, folder);
        return FileDialogAnswer{path, shown.elapsed()};
      },
      name);
}

QString FileDialogWith(const FileDialogRunner& run, const QString& name) {
  if (name.size() > kMaxProposedNameLength)
    return {};
  const FileDialogAnswer first = run(name);
  // A dialog that came back at once refused the proposed name: offer it again without one.
  if (first.path.isEmpty() && first.elapsedMs < 20)
    return run(QString()).path;
  return first.path;
}

qint64 ChooseColour(QWidget* owner) {
  for (int i = 0; i < QColorDialog::customCount(); ++i)
    QColorDialog::setCustomColor(i, Qt::black);
  const QColor c = QColorDialog::getColor(QColor(), owner);
  if (!c.isValid())
    return -1;
  return static_cast<qint64>(fromQColor(c));
}

bool TrayIconAdd(QWidget* window, const QString& tip, const QIcon& icon, int id,
                 std::function<void()> onLeftClick) {
  if (!window || !QSystemTrayIcon::isSystemTrayAvailable())
    return false;
  TrayIconRemove(window, id);
  auto* tray = new QSystemTrayIcon(icon, window);
  tray->setObjectName(trayName(id));
  tray->setToolTip(tip.left(63));
  QObject::connect(
      tray, &QSystemTrayIcon::activated, tray,
      [cb = std::move(onLeftClick)](QSystemTrayIcon::ActivationReason reason) {
        if (cb && (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick))
          cb();
      });
  tray->show();
  return true;
}

bool TrayIconRemove(QWidget* window, int id) {
  if (!window)
    return false;
  auto* tray = window->findChild<QSystemTrayIcon*>(trayName(id), Qt::FindDirectChildrenOnly);
  if (!tray)
    return false;
  tray->hide();
  delete tray;
  return true;
}

} // namespace ondrel
