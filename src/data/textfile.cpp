#include "data/textfile.h"

#include "data/support/failure.h"

#include <QDir>
#include <QSaveFile>
#include <QStringDecoder>

namespace ondrel {

QByteArray textFileBytes(const QStringList& lines) {
  QByteArray bytes;
  for (const QString& line : lines)
    bytes += line.toUtf8() + "\r\n";
  return bytes;
}

QString decodeTextLine(QByteArrayView bytes) {
  QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
  QString text = utf8(bytes);
  if (!utf8.hasError())
    return text;
  // Files written on a Chinese system hold GBK; where the platform cannot decode it, the
  // system's own 8-bit code page is the best guess left.
  QStringDecoder legacy("GBK", QStringConverter::Flag::Stateless);
  if (!legacy.isValid())
    legacy = QStringDecoder(QStringConverter::System, QStringConverter::Flag::Stateless);
  return legacy(bytes);
}

QStringList textFileLines(const QByteArray& bytes) {
  QStringList lines;
  qsizetype pos = 0;
  while (pos < bytes.size()) {
    const qsizetype lf = bytes.indexOf('\n', pos);
    const qsizetype next = lf < 0 ? bytes.size() : lf + 1;
    qsizetype end = lf < 0 ? bytes.size() : lf;
    while (end > pos && bytes.at(end - 1) == '\r')
      --end;
    lines << decodeTextLine(QByteArrayView(bytes).sliced(pos, end - pos));
    pos = next;
  }
  return lines;
}

void writeFileAtomically(const QString& path, const QByteArray& bytes) {
  QSaveFile file(path);
  // QSaveFile writes beside the target and renames at commit; one that is not committed removes
  // its temporary file, so a failure anywhere leaves the folder as it was.
  if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size() || !file.commit())
    throw Failure(QStringLiteral("Cannot write %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString()));
}

void writeTextFile(const QString& path, const QStringList& lines) {
  writeFileAtomically(path, textFileBytes(lines));
}

} // namespace ondrel
