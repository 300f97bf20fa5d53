#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>

namespace ondrel {

// The program's text files (data, parameter and recording files): UTF-8, each line ended by
// CR LF. Numbers inside them are written with a decimal point whatever the system's locale.

// The lines as the bytes of a file.
QByteArray textFileBytes(const QStringList& lines);

// One line of a file read back: UTF-8 when it is valid UTF-8, else the legacy 8-bit code page
// such files were written in elsewhere (GBK). Nothing is dropped: bytes that fit neither come
// back as replacement characters.
QString decodeTextLine(QByteArrayView bytes);

// The lines of a file's bytes, split at LF with the CRs before it removed, each decoded by
// decodeTextLine. A last line without a line end counts; an empty file has no lines.
QStringList textFileLines(const QByteArray& bytes);

// Writes `bytes` to `path`, replacing any file there only once the new one is complete: they go
// to a temporary file in the same folder, which is renamed into place. When anything fails
// nothing half-written is left and the file that was there stays as it was; the Failure thrown
// names the path and the reason.
void writeFileAtomically(const QString& path, const QByteArray& bytes);

// The lines, as textFileBytes, written by writeFileAtomically.
void writeTextFile(const QString& path, const QStringList& lines);

} // namespace ondrel
