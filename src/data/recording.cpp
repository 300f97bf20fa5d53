#include "data/recording.h"

#include "data/filenames.h"
#include "data/support/failure.h"
#include "data/support/numberformat.h"
#include "data/textfile.h"

#include <QDir>
#include <QFile>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <string_view>

namespace ondrel {
namespace {

void writeLines(const QString& path, QIODevice::OpenMode mode, const QStringList& lines) {
  QFile file(path);
  if (!file.open(QIODevice::WriteOnly | mode))
    throw Failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
  const QByteArray bytes = textFileBytes(lines);
  if (file.write(bytes) != bytes.size() || !file.flush())
    throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

// A file whose last line was cut short (the program ended in mid-write) has no line end at its
// close. A line appended to it must start a line of its own, not complete the cut one; and the cut
// line gets this mark, so that a reader still refuses it once a line end follows it (a cut
// "12<TAB>1.5<TAB>3." must not read as 3 V).
constexpr char kCutMark[] = " (cut off)";

// `file` is open for appending, so its position is its end.
bool endsInsideALine(QFile& file) {
  const qint64 size = file.pos();
  char last = 0;
  return size > 0 && !(file.seek(size - 1) && file.getChar(&last) && last == '\n');
}

bool isDigit(char c) {
  return c >= '0' && c <= '9';
}

std::string_view trimmed(std::string_view s) {
  const auto space = [](char c) { return c == ' ' || c == '\r' || c == '\v' || c == '\f'; };
  while (!s.empty() && space(s.front()))
    s.remove_prefix(1);
  while (!s.empty() && space(s.back()))
    s.remove_suffix(1);
  return s;
}

// The next TAB-separated field of `rest`, which is left after the TAB.
std::string_view nextField(std::string_view& rest) {
  const auto tab = rest.find('\t');
  const std::string_view field = rest.substr(0, tab);
  rest = tab == std::string_view::npos ? std::string_view() : rest.substr(tab + 1);
  return trimmed(field);
}

// A whole number of seconds as the writer puts it: digits only.
std::optional<qint32> plainSeconds(std::string_view field) {
  qint64 value = 0;
  if (field.empty() || !std::all_of(field.begin(), field.end(), isDigit))
    return std::nullopt;
  const auto [end, error] = std::from_chars(field.data(), field.data() + field.size(), value);
  if (error != std::errc() || end != field.data() + field.size() || value > kMaxRecordingSeconds)
    return std::nullopt;
  return static_cast<qint32>(value);
}

// A non-negative decimal as the writer puts it: digits with at most one point, no sign, no
// exponent, so neither "1e308" nor "inf" nor "nan" passes.
std::optional<double> plainDecimal(std::string_view field, double most) {
  if (field.empty() || std::count(field.begin(), field.end(), '.') > 1 ||
      !std::all_of(field.begin(), field.end(), [](char c) { return isDigit(c) || c == '.'; }) ||
      !std::any_of(field.begin(), field.end(), isDigit))
    return std::nullopt;
  double value = 0;
  const auto [end, error] =
      std::from_chars(field.data(), field.data() + field.size(), value, std::chars_format::fixed);
  if (error != std::errc() || end != field.data() + field.size() || !std::isfinite(value) ||
      value > most)
    return std::nullopt;
  return value;
}

bool startsWith(std::string_view line, std::string_view prefix) {
  return line.substr(0, prefix.size()) == prefix;
}

} // namespace

QStringList columnHeadings(bool withTemperature, const ModelCaps& caps) {
  const QString cur = (!withTemperature && caps.currentInMilliamps) ? QStringLiteral("Cur(mA)")
                                                                    : QStringLiteral("Cur(A)");
  QStringList h{QStringLiteral("Time(S)"), cur, QStringLiteral("Vol(V)")};
  if (withTemperature)
    h << QStringLiteral("Temp(C)");
  return h;
}

QString recordingBasePath(const QString& folder, const QString& deviceName, const QString& port,
                          int slot, int channel) {
  // One arg() for all four parts, so that a "%1" inside a name stays text.
  return QDir(folder).filePath(QStringLiteral("ondrel-%1-%2-%3-%4")
                                   .arg(fileNameSafe(deviceName), fileNameSafe(port),
                                        QString::number(slot + 1), QString::number(channel + 1)));
}

QStringList recordingHeader(const QString& device, const QString& mode, const QString& beginVolt,
                            bool withTemperature, const ModelCaps& caps) {
  return {QLatin1String(kRecordingTitleLine),
          QStringLiteral("Device:") + device,
          QStringLiteral("Mode:") + mode,
          QStringLiteral("Begin Volt:") + beginVolt,
          QLatin1String(kBannerLine),
          columnHeadings(withTemperature, caps).join(QLatin1Char('\t'))};
}

QString recordingLine(qint32 testSec, float cur, float volt, std::optional<float> temp,
                      int curDiv) {
  QString line = QString::number(testSec) + QLatin1Char('\t') +
                 Format(cur, curDiv == 100 ? u"00.00" : u"0.000") + QLatin1Char('\t') +
                 Format(volt, u"0.000");
  if (temp)
    line += QLatin1Char('\t') + Format(*temp, u"0.0");
  return line;
}

void createRecordingFile(const QString& basePath, const QStringList& header) {
  const QString path = basePath + QStringLiteral(".bak");
  if (QFile::exists(path) && !QFile::remove(path))
    throw Failure(QStringLiteral("Cannot replace %1").arg(path));
  writeLines(path, QIODevice::NewOnly, header);
}

void appendRecordingLine(const QString& basePath, const QString& line, bool endsWithWholeLine) {
  const QString path = basePath + QStringLiteral(".bak");
  // Every sample opens the file once: a look at its last byte shares that open, and the line goes
  // out in one unbuffered write.
  QFile file(path);
  if (!file.open(QIODevice::ReadWrite | QIODevice::Append | QIODevice::Unbuffered))
    throw Failure(QStringLiteral("Cannot open %1: %2").arg(path, file.errorString()));
  QByteArray bytes;
  if (!endsWithWholeLine && endsInsideALine(file))
    bytes = QByteArray(kCutMark) + "\r\n";
  bytes += line.toUtf8();
  bytes += "\r\n";
  if (file.write(bytes) != bytes.size())
    throw Failure(QStringLiteral("Cannot write %1: %2").arg(path, file.errorString()));
}

void renameRecording(const QString& fromBase, const QString& toBase, const QString& device) {
  const QString from = fromBase + QStringLiteral(".bak");
  const QString to = toBase + QStringLiteral(".bak");
  QFile in(from);
  if (!in.open(QIODevice::ReadOnly))
    throw Failure(QStringLiteral("Cannot read %1: %2").arg(from, in.errorString()));
  QByteArray bytes = in.readAll();
  in.close();
  // The header names the device as well: its line (the second) takes the new name.
  const qsizetype first = bytes.indexOf('\n');
  const qsizetype second = first < 0 ? -1 : bytes.indexOf('\n', first + 1);
  if (second > first && bytes.mid(first + 1).startsWith("Device:")) {
    const QByteArray line = (QStringLiteral("Device:") + device).toUtf8() + "\r";
    bytes.replace(first + 1, second - first - 1, line);
  }
  writeFileAtomically(to, bytes);
  if (!QFile::remove(from))
    throw Failure(QStringLiteral("Cannot remove %1").arg(from));
}

QString recordingEndLine(const QDateTime& when) {
  return QStringLiteral("End:") + when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

void appendRecordingEnd(const QString& basePath, const QDateTime& when) {
  appendRecordingLine(basePath, recordingEndLine(when));
}

RecordingContent parseRecording(const QByteArray& bytes) {
  static constexpr std::string_view kEndKey = "End:";
  static constexpr std::string_view kColumnKey = "Time(S)";
  static constexpr struct {
    std::string_view key; // with its colon
    std::optional<QString> RecordingContent::*value;
  } kHeaderKeys[] = {{"Device:", &RecordingContent::device},
                     {"Mode:", &RecordingContent::mode},
                     {"Begin Volt:", &RecordingContent::beginVolt}};

  RecordingContent content;
  std::optional<bool> milliamps; // fixed by the first column line
  bool lastIsEnd = false;
  const std::string_view all(bytes.constData(), static_cast<size_t>(bytes.size()));
  size_t pos = 0;
  while (pos < all.size()) {
    const size_t lf = all.find('\n', pos);
    const bool whole = lf != std::string_view::npos;
    std::string_view line = all.substr(pos, whole ? lf - pos : std::string_view::npos);
    pos = whole ? lf + 1 : all.size();
    while (!line.empty() && line.back() == '\r')
      line.remove_suffix(1);
    if (line.empty())
      continue;
    lastIsEnd = startsWith(line, kEndKey);

    if (isDigit(line.front())) {
      std::string_view rest = line;
      const auto time = plainSeconds(nextField(rest));
      const double most =
          milliamps.value_or(false) ? kMaxRecordingCurrent * 1000.0 : kMaxRecordingCurrent;
      const auto current = plainDecimal(nextField(rest), most);
      const auto voltage = plainDecimal(nextField(rest), kMaxRecordingVoltage);
      const bool inOrder =
          time && (content.samples.empty() || *time >= content.samples.back().time);
      if (whole && inOrder && current && voltage)
        content.samples.push_back({*time, *current, *voltage});
      else
        ++content.skippedLines;
      continue;
    }
    // A signed number where a time belongs: a sample line, but never a sound one.
    if ((line.front() == '-' || line.front() == '+') && line.size() > 1 && isDigit(line[1])) {
      ++content.skippedLines;
      continue;
    }
    if (startsWith(line, kColumnKey)) {
      if (!milliamps) {
        std::string_view rest = line;
        nextField(rest);
        milliamps = nextField(rest) == "Cur(mA)";
      }
      continue;
    }
    for (const auto& h : kHeaderKeys) {
      if (startsWith(line, h.key)) {
        const std::string_view text = line.substr(h.key.size());
        const QString value =
            decodeTextLine(QByteArrayView(text.data(), static_cast<qsizetype>(text.size())));
        if (value.size() >= 2)
          content.*h.value = value;
        break;
      }
    }
  }
  content.currentInMilliamps = milliamps.value_or(false);
  content.endedNormally = lastIsEnd;
  return content;
}

std::optional<RecordingContent> readRecording(const QString& basePath) {
  QFile file(basePath + QStringLiteral(".bak"));
  if (!file.exists())
    return std::nullopt;
  if (!file.open(QIODevice::ReadOnly))
    throw Failure(QStringLiteral("Cannot open %1: %2").arg(file.fileName(), file.errorString()));
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw Failure(QStringLiteral("Cannot read %1: %2").arg(file.fileName(), file.errorString()));
  return parseRecording(bytes);
}

} // namespace ondrel
