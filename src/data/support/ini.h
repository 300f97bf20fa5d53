#pragma once

#include <QString>
#include <QStringList>

namespace ondrel {

// An INI text read the way the classic profile-string functions read it: section and key names
// match case-insensitively and are trimmed, values are trimmed, the first matching section and
// key win. Writing changes one line in place and keeps every other line as it stood.
class IniDocument {
public:
  IniDocument() = default;
  static IniDocument fromText(const QString& text);

  // The value of the key, or a null string when the section or key is missing.
  QString value(const QString& section, const QString& key) const;
  void setValue(const QString& section, const QString& key, const QString& value);

  // Lines joined by CR LF, with a final CR LF.
  QString toText() const;
  const QStringList& lines() const { return m_lines; }

private:
  struct Range {
    qsizetype header = -1; // line index of "[section]", -1 when missing
    qsizetype end = 0;     // one past the section's last line
  };
  Range findSection(const QString& section) const;
  qsizetype findKey(const Range& range, const QString& key) const;

  QStringList m_lines;
};

// Longest value IniRead returns: the classic call reads into a 255-character buffer.
inline constexpr qsizetype kIniMaxValueLength = 254;

// The key's value (at most 254 characters), or `defaultValue` when the file, section or key is
// missing, the value is empty, or the file cannot be read.
QString IniRead(const QString& file, const QString& section, const QString& key,
                const QString& defaultValue);

// Writes the key, creating file, section or key as needed. The file is replaced atomically, so a
// crash leaves either the old or the new settings. Failures are ignored.
void IniWrite(const QString& file, const QString& section, const QString& key,
              const QString& value);

} // namespace ondrel
