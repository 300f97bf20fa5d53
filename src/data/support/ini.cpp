#include "data/support/ini.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace ondrel {
namespace {

// "[name]" → name; a line that is not a section header gives a null string.
QString sectionName(const QString& line) {
  const QString t = line.trimmed();
  if (!t.startsWith(QLatin1Char('[')))
    return {};
  const qsizetype close = t.indexOf(QLatin1Char(']'));
  return (close < 0 ? t.mid(1) : t.mid(1, close - 1)).trimmed();
}

bool isComment(const QString& trimmed) {
  return trimmed.startsWith(QLatin1Char(';'));
}

bool sameName(const QString& a, const QString& b) {
  return a.compare(b, Qt::CaseInsensitive) == 0;
}

// A value must stay on its own line, whatever the caller hands in.
QString oneLine(QString text) {
  text.replace(QLatin1Char('\r'), QLatin1Char(' '));
  text.replace(QLatin1Char('\n'), QLatin1Char(' '));
  return text;
}

} // namespace

IniDocument IniDocument::fromText(const QString& text) {
  IniDocument doc;
  QString normalised = text;
  normalised.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
  normalised.replace(QLatin1Char('\r'), QLatin1Char('\n'));
  doc.m_lines = normalised.split(QLatin1Char('\n'));
  if (!doc.m_lines.isEmpty() && doc.m_lines.last().isEmpty())
    doc.m_lines.removeLast(); // the final line end does not open another line
  return doc;
}

IniDocument::Range IniDocument::findSection(const QString& section) const {
  Range r;
  const QString wanted = section.trimmed();
  for (qsizetype i = 0; i < m_lines.size(); ++i) {
    const QString name = sectionName(m_lines.at(i));
    if (name.isNull())
      continue;
    if (r.header >= 0) {
      r.end = i;
      return r;
    }
    if (sameName(name, wanted))
      r.header = i;
  }
  r.end = m_lines.size();
  return r;
}

qsizetype IniDocument::findKey(const Range& range, const QString& key) const {
  const QString wanted = key.trimmed();
  for (qsizetype i = range.header + 1; i < range.end; ++i) {
    const QString& line = m_lines.at(i);
    const qsizetype eq = line.indexOf(QLatin1Char('='));
    if (eq < 0 || isComment(line.trimmed()))
      continue;
    if (sameName(line.left(eq).trimmed(), wanted))
      return i;
  }
  return -1;
}

QString IniDocument::value(const QString& section, const QString& key) const {
  const Range r = findSection(section);
  if (r.header < 0)
    return {};
  const qsizetype i = findKey(r, key);
  if (i < 0)
    return {};
  const QString& line = m_lines.at(i);
  QString v = line.mid(line.indexOf(QLatin1Char('=')) + 1).trimmed();
  if (v.isNull())
    v = QLatin1String("");
  return v;
}

void IniDocument::setValue(const QString& section, const QString& key, const QString& value) {
  const QString entry = key.trimmed() + QLatin1Char('=') + oneLine(value);
  Range r = findSection(section);
  if (r.header < 0) {
    m_lines.append(QLatin1Char('[') + section.trimmed() + QLatin1Char(']'));
    m_lines.append(entry);
    return;
  }
  const qsizetype i = findKey(r, key);
  if (i >= 0) {
    m_lines[i] = entry;
    return;
  }
  // New keys go after the section's last non-blank line, before any blank separator.
  qsizetype at = r.end;
  while (at - 1 > r.header && m_lines.at(at - 1).trimmed().isEmpty())
    --at;
  m_lines.insert(at, entry);
}

QString IniDocument::toText() const {
  QString out;
  for (const QString& line : m_lines) {
    out += line;
    out += QStringLiteral("\r\n");
  }
  return out;
}

QString IniRead(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue) {
  QFile f(file);
  if (!f.open(QIODevice::ReadOnly))
    return defaultValue;
  const QString v = IniDocument::fromText(QString::fromLocal8Bit(f.readAll())).value(section, key);
  if (v.isEmpty())
    return defaultValue;
  return v.left(kIniMaxValueLength);
}

void IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value) {
  IniDocument doc;
  {
    QFile f(file);
    if (f.exists()) {
      // A file the user made read-only stays as it is, as the classic call leaves it.
      if (!QFileInfo(file).isWritable() || !f.open(QIODevice::ReadOnly))
        return; // never replace a file we could not read: that would lose its other keys
      doc = IniDocument::fromText(QString::fromLocal8Bit(f.readAll()));
    }
  }
  doc.setValue(section, key, value);
  QSaveFile out(file);
  // A writable file in a read-only folder cannot get a temporary sibling; write it in place.
  out.setDirectWriteFallback(true);
  if (!out.open(QIODevice::WriteOnly))
    return;
  out.write(doc.toText().toLocal8Bit());
  out.commit();
}

} // namespace ondrel
