#include "test/stepfile.h"

#include "data/recording.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/textfile.h"

namespace ondrel {
namespace {

// All ASCII digits, at least one.
bool digitsOnly(QStringView text) {
  if (text.isEmpty())
    return false;
  for (const QChar c : text)
    if (c < u'0' || c > u'9')
      return false;
  return true;
}

} // namespace

QStringList stepFileLines(int modelCode, const StepTable& table, const QStringList& modes) {
  QStringList lines{QLatin1String(kBannerLine),
                    QStringLiteral("DEV:") + QString::number(modelCode)};
  for (int r = 0; r < kStepRows && !table[r].empty(); ++r) {
    const StepRow& row = table[r];
    const std::optional<int> code = stepModeCode(modes, row.mode);
    if (!code)
      throw Failure(LangText(QStringLiteral("Step")) + QString::number(r + 1) +
                    QStringLiteral(": ") + LangText(QStringLiteral("the device has no mode")) +
                    QStringLiteral(" \"") + row.mode + QLatin1Char('"'));
    const QString key = QStringLiteral("%1").arg(r + 1, 2, 10, QLatin1Char('0'));
    lines << key + QStringLiteral("1:") + QString::number(*code)
          << key + QStringLiteral("2:") + row.set1 << key + QStringLiteral("3:") + row.set2
          << key + QStringLiteral("4:") + row.cutoff;
  }
  return lines;
}

StepFileRead readStepFile(const QByteArray& bytes, int modelCode, const QStringList& modes) {
  StepFileRead read;
  const QStringList lines = textFileLines(bytes);
  if (lines.size() < 2)
    return read;
  const QString dev = lines[1].trimmed();
  if (!dev.startsWith(QStringLiteral("DEV:")) || !digitsOnly(QStringView(dev).mid(4)) ||
      QStringView(dev).mid(4).toInt() != modelCode)
    return read;
  read.sameModel = true;
  for (qsizetype i = 2; i < lines.size(); ++i) {
    const QString& line = lines[i];
    // Exactly a three-digit key and its colon; row 1 to 10, column 1 to 4. Anything else would
    // write into the heading row, the step numbers or past the table.
    const QStringView key = QStringView(line).left(3);
    if (line.size() < 4 || !digitsOnly(key) || line[3] != u':') {
      ++read.skippedLines;
      continue;
    }
    const int row = key.left(2).toInt();
    const int col = key.mid(2).toInt();
    if (row < 1 || row > kStepRows || col < 1 || col > 4) {
      ++read.skippedLines;
      continue;
    }
    const QString value = line.mid(4);
    StepRow& r = read.table[row - 1];
    if (col == 1) {
      if (!digitsOnly(value) || value.size() > 6) {
        ++read.skippedLines;
        continue;
      }
      const int m = value.toInt();
      r.mode = m < modes.size() ? modes[m] : m == modes.size() ? waitModeText() : cycleModeText();
    } else {
      (col == 2 ? r.set1 : col == 3 ? r.set2 : r.cutoff) = value;
    }
  }
  return read;
}

} // namespace ondrel
