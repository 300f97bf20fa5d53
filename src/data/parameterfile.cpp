#include "data/parameterfile.h"

#include "data/datafile.h"
#include "data/filenames.h"
#include "data/recording.h"
#include "data/textfile.h"

#include "data/support/failure.h"
#include "link/commands.h"

namespace ondrel {
namespace {

// A number by the rule a command reads the panel's boxes with.
bool isNumber(const QString& text) {
  try {
    numberFromText(text);
    return true;
  } catch (const Failure&) {
    return false;
  }
}

} // namespace

QStringList parameterFileLines(const ParameterFileValues& v) {
  return {QLatin1String(kParameterTitleLine), QStringLiteral("D:") + v.device,
          QStringLiteral("T:") + v.title,     QStringLiteral("S:") + v.sval,
          QStringLiteral("L:") + v.slmt,      QStringLiteral("M:") + v.time,
          QLatin1String(kBannerLine)};
}

QString parameterFileStem(const QDateTime& when, const QString& device) {
  return dateTimeStem(when) + QLatin1Char('-') + fileNameSafe(device);
}

ParameterFileContent parseParameterFile(const QByteArray& bytes, const QString& device) {
  static constexpr struct {
    QLatin1StringView prefix;
    ParameterKey key;
  } kKeys[] = {{QLatin1StringView("T:"), ParameterKey::Title},
               {QLatin1StringView("S:"), ParameterKey::Sval},
               {QLatin1StringView("L:"), ParameterKey::Slmt},
               {QLatin1StringView("M:"), ParameterKey::Time}};
  ParameterFileContent content;
  const QStringList lines = textFileLines(bytes);
  for (int n = 1; n < lines.size(); ++n) {
    const QString& line = lines.at(n);
    if (line.size() <= 3)
      continue;
    if (!content.deviceMatched) {
      content.deviceMatched = line.startsWith(QLatin1StringView("D:")) && line.mid(2) == device;
      continue;
    }
    for (const auto& k : kKeys) {
      if (!line.startsWith(k.prefix))
        continue;
      const QString value = line.mid(2);
      if (k.key == ParameterKey::Title)
        content.settings.push_back({k.key, value, n + 1, line});
      else if (isNumber(value))
        content.settings.push_back({k.key, value.trimmed(), n + 1, line});
      break;
    }
  }
  return content;
}

} // namespace ondrel
