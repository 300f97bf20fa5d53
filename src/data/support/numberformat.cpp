#include "data/support/numberformat.h"

#include "data/support/failure.h"

#include <QVarLengthArray>

#include <algorithm>
#include <charconv>
#include <cmath>
#include <limits>
#include <string>

namespace ondrel {
namespace {

struct Picture {
  int intDigits = 0;
  int decimals = 0;
  bool percent = false;
};

Picture parsePicture(QStringView picture) {
  Picture p;
  bool afterPoint = false;
  for (QChar c : picture) {
    if (c == QLatin1Char('.'))
      afterPoint = true;
    else if (c == QLatin1Char('%'))
      p.percent = true;
    else if (c == QLatin1Char('0'))
      (afterPoint ? p.decimals : p.intDigits) += 1;
  }
  return p;
}

// Characters of a formatted number; long enough that no ordinary picture allocates.
using Chars = QVarLengthArray<char, 64>;

// Rounds the decimal text "[-]digits[.digits]" and lays it out by the picture into `out`.
void layout(std::string_view text, const Picture& p, Chars& out) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  const std::string_view whole = text.substr(0, point);
  std::string_view frac =
      point == std::string_view::npos ? std::string_view{} : text.substr(point + 1);

  // The integer digits, then exactly `decimals` digits of the fraction.
  Chars digits;
  digits.append(whole.data(), static_cast<qsizetype>(whole.size()));
  if (p.percent) { // move the point two places right: exact, no binary multiplication
    for (size_t i = 0; i < 2; ++i)
      digits.append(i < frac.size() ? frac[i] : '0');
    frac.remove_prefix(std::min<size_t>(2, frac.size()));
  }
  const auto decimals = static_cast<size_t>(p.decimals);
  const bool roundUp = frac.size() > decimals && frac[decimals] >= '5';
  const size_t kept = std::min(frac.size(), decimals);
  digits.append(frac.data(), static_cast<qsizetype>(kept));
  for (size_t i = kept; i < decimals; ++i)
    digits.append('0');
  auto wholeCount = static_cast<size_t>(digits.size()) - decimals;

  if (roundUp) {
    qsizetype i = digits.size() - 1;
    for (; i >= 0; --i) {
      if (digits[i] == '9') {
        digits[i] = '0';
      } else {
        ++digits[i];
        break;
      }
    }
    if (i < 0) {
      digits.insert(digits.begin(), '1');
      ++wholeCount;
    }
  }

  const bool zero = std::all_of(digits.begin(), digits.end(), [](char c) { return c == '0'; });
  size_t firstNonZero = 0;
  while (firstNonZero < wholeCount && digits[static_cast<qsizetype>(firstNonZero)] == '0')
    ++firstNonZero;
  const size_t intLength = wholeCount - firstNonZero;

  out.clear();
  if (negative && !zero)
    out.append('-');
  for (size_t i = intLength; i < static_cast<size_t>(p.intDigits); ++i)
    out.append('0');
  out.append(digits.data() + firstNonZero, static_cast<qsizetype>(intLength));
  if (p.decimals > 0) {
    out.append('.');
    out.append(digits.data() + wholeCount, static_cast<qsizetype>(decimals));
  }
  if (p.percent)
    out.append('%');
}

void assign(Chars& out, std::string_view text) {
  out.clear();
  out.append(text.data(), static_cast<qsizetype>(text.size()));
}

// The characters Format gives.
template <typename F> void formatShortest(F value, QStringView picture, Chars& out) {
  if (std::isnan(value))
    return assign(out, "NaN");
  if (std::isinf(value))
    return assign(out, value < 0 ? "-Inf" : "Inf");
  char buf[512];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (res.ec != std::errc{})
    return assign(out, "NaN");
  layout(std::string_view(buf, static_cast<size_t>(res.ptr - buf)), parsePicture(picture), out);
}

template <typename F> QString formatText(F value, QStringView picture) {
  Chars out;
  formatShortest(value, picture, out);
  return QString::fromLatin1(out.data(), out.size());
}

template <typename F> double formattedNumber(F value, QStringView picture) {
  Chars out;
  formatShortest(value, picture, out);
  double number = 0;
  const auto res = std::from_chars(out.data(), out.data() + out.size(), number);
  return res.ec == std::errc{} ? number : 0.0;
}

} // namespace

QString Format(double value, QStringView picture) {
  return formatText(value, picture);
}
QString Format(float value, QStringView picture) {
  return formatText(value, picture);
}

double formattedValue(double value, QStringView picture) {
  return formattedNumber(value, picture);
}
double formattedValue(float value, QStringView picture) {
  return formattedNumber(value, picture);
}

qint64 roundHalfEven(double value) {
  if (std::isnan(value))
    return 0;
  constexpr double lo = static_cast<double>(std::numeric_limits<qint64>::min());
  constexpr double hi = 9223372036854774784.0; // the largest double below 2^63
  const double r = std::nearbyint(value);      // the default rounding mode: to nearest, ties even
  if (r <= lo)
    return std::numeric_limits<qint64>::min();
  if (r >= hi)
    return static_cast<qint64>(hi);
  return static_cast<qint64>(r);
}

qint32 toInt32(double value) {
  const double r = std::isnan(value) ? value : std::nearbyint(value);
  if (!(r >= std::numeric_limits<qint32>::min() && r <= std::numeric_limits<qint32>::max()))
    throw Failure(QStringLiteral("Overflow"));
  return static_cast<qint32>(r);
}

} // namespace ondrel
