#include "test/ui/filesave.h"

#include "data/datafile.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"

#include <QDir>
#include <QFileInfo>

namespace ondrel {

QString savePathFor(const QString& chosen, const QString& extension, const MessageAsker& ask) {
  const QString path = withExtension(chosen, extension);
  if (path == chosen || !QFileInfo::exists(path))
    return path;
  const auto answer = ask(QMessageBox::Information,
                          QDir::toNativeSeparators(path) + QLatin1Char('\n') +
                              LangText(QStringLiteral("This file already exists. Replace it?")),
                          QMessageBox::Ok | QMessageBox::Cancel);
  return answer == QMessageBox::Ok ? path : QString();
}

void sayNotWritten(const MessageAsker& ask, const QString& tag) {
  const QString reason = describeCurrentException();
  ErrLog(tag, reason);
  ask(QMessageBox::Critical,
      LangText(QStringLiteral("The file could not be written.")) + QLatin1Char('\n') + reason,
      QMessageBox::Ok);
}

} // namespace ondrel
