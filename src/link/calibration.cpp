#include "link/calibration.h"

#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"
#include "link/frame.h"

namespace ondrel {
namespace {

QString invalid() {
  return LangText(QStringLiteral("Invalid value!"));
}

QString outOfRange() {
  return LangText(QStringLiteral("Setting value out of range!"));
}

} // namespace

QString calibCurrentPicture(float scale) {
  if (scale == 100.0f)
    return QStringLiteral("0.00");
  if (scale == 1000.0f)
    return QStringLiteral("0.000");
  return QStringLiteral("0.0000");
}

CalibBoxCheck checkCalibBox(const QString& text, float most, QStringView picture) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return {invalid(), text};
  if (*v < 0 || aboveLimit(*v, most))
    return {outOfRange(), text};
  return {std::nullopt, Format(*v, picture)};
}

CalibValue calibrationValue(const QString& text, float most, const QString& shown, float scale) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return {invalid()};
  if (*v < 0 || aboveLimit(*v, most))
    return {outOfRange()};
  // A panel that shows no number gives nothing to compare with.
  const std::optional<double> s = boxNumber(shown);
  if (!s || *v < 0.9 * *s || *v > 1.1 * *s)
    return {outOfRange()};
  const qint64 raw = roundHalfEven(*v * static_cast<double>(scale));
  if (raw > kMaxPairValue)
    return {outOfRange()};
  return {std::nullopt, static_cast<int>(raw)};
}

} // namespace ondrel
