#include "test/singletest.h"

#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "link/commands.h"

#include <QRegularExpression>

#include <cmath>

namespace ondrel {

double boxValue(const QString& text) {
  static const QRegularExpression number(
      QStringLiteral("^\\s*[+-]?(\\d+\\.?\\d*|\\.\\d+)([eE][+-]?\\d+)?"));
  const QRegularExpressionMatch m = number.match(text);
  if (!m.hasMatch())
    return 0.0;
  bool ok = false;
  const double v = m.captured(0).trimmed().toDouble(&ok);
  return ok && std::isfinite(v) ? v : 0.0;
}

bool startResetsAxes(bool dev2S, qint32 channel0CurrentPoints, qint32 channel1CurrentPoints) {
  return !dev2S || (channel0CurrentPoints == 0 && channel1CurrentPoints == 0);
}

AxisExtremes startAxes(const ModelParams& model, int modeNo, bool autoScale, float volt,
                       double limitValue, double setValue) {
  AxisExtremes a;
  if (!autoScale)
    return a;
  if (modeNo > model.LastDischargeMode && modeNo <= model.CvModeNo) {
    a.max[0] = static_cast<float>(limitValue);
    a.min[0] = volt;
    a.max[1] = static_cast<float>(setValue);
  } else if (modeNo <= model.LastDischargeMode) {
    a.max[0] = volt;
    a.min[0] = static_cast<float>(limitValue);
  }
  return a;
}

QString startRefusalMessage(const QString& sval, const QString& slmt, const QString& stim) {
  for (const QString& text : {sval, slmt, stim}) {
    try {
      numberFromText(text);
    } catch (const Failure&) {
      return LangText(QStringLiteral("Invalid value!"));
    }
  }
  return LangText(QStringLiteral("Setting value out of range!"));
}

QString monitorRow(bool dev2S, int slot, int channel) {
  const QString who = dev2S ? QStringLiteral("Channel%1").arg(channel + 1)
                            : QStringLiteral("Device%1").arg(slot + 1);
  return LangText(who + QStringLiteral(": Monitor ON")) + QLatin1Char(' ');
}

} // namespace ondrel
