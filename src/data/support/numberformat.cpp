#include "data/support/numberformat.h"

#include "data/support/failure.h"

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

// Rounds the decimal text "[-]digits[.digits]" and lays it out by the picture.
QString layout(std::string_view text, const Picture& p) {
  bool negative = false;
  if (!text.empty() && text.front() == '-') {
    negative = true;
    text.remove_prefix(1);
  }
  const auto point = text.find('.');
  std::string whole(text.substr(0, point));
  std::string frac(point == std::string_view::npos ? std::string_view{} : text.substr(point + 1));

  if (p.percent) { // move the point two places right: exact, no binary multiplication
    frac.append(2 > frac.size() ? 2 - frac.size() : 0, '0');
    whole += frac.substr(0, 2);
    frac.erase(0, 2);
  }

  bool roundUp = false;
  if (static_cast<int>(frac.size()) > p.decimals) {
    roundUp = frac[static_cast<size_t>(p.decimals)] >= '5';
    frac.resize(static_cast<size_t>(p.decimals));
  }
  frac.append(static_cast<size_t>(p.decimals) - frac.size(), '0');

  std::string digits = whole + frac;
  if (roundUp) {
    int i = static_cast<int>(digits.size()) - 1;
    for (; i >= 0; --i) {
      if (digits[static_cast<size_t>(i)] == '9') {
        digits[static_cast<size_t>(i)] = '0';
      } else {
        ++digits[static_cast<size_t>(i)];
        break;
      }
    }
    if (i < 0)
      digits.insert(digits.begin(), '1');
  }

  std::string intPart = digits.substr(0, digits.size() - frac.size());
  const std::string fracPart = digits.substr(digits.size() - frac.size());
  const auto firstNonZero = intPart.find_first_not_of('0');
  intPart = firstNonZero == std::string::npos ? std::string{} : intPart.substr(firstNonZero);
  if (static_cast<int>(intPart.size()) < p.intDigits)
    intPart.insert(0, static_cast<size_t>(p.intDigits) - intPart.size(), '0');

  const bool zero = digits.find_first_not_of('0') == std::string::npos;
  std::string out;
  if (negative && !zero)
    out += '-';
  out += intPart;
  if (p.decimals > 0) {
    out += '.';
    out += fracPart;
  }
  if (p.percent)
    out += '%';
  return QString::fromLatin1(out.data(), static_cast<qsizetype>(out.size()));
}

template <typename F> QString formatShortest(F value, QStringView picture) {
  if (std::isnan(value))
    return QStringLiteral("NaN");
  if (std::isinf(value))
    return value < 0 ? QStringLiteral("-Inf") : QStringLiteral("Inf");
  char buf[512];
  const auto res = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
  if (res.ec != std::errc{})
    return QStringLiteral("NaN");
  return layout(std::string_view(buf, static_cast<size_t>(res.ptr - buf)), parsePicture(picture));
}

} // namespace

QString Format(double value, QStringView picture) {
  return formatShortest(value, picture);
}
QString Format(float value, QStringView picture) {
  return formatShortest(value, picture);
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
