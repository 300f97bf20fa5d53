#include "data/liveupdate.h"

#include "data/support/langtext.h"
#include "data/support/numberformat.h"

#include <charconv>
#include <cmath>

namespace ondrel {
namespace {

// Round(x, 1) of the classic runtime: halves to even.
double roundOneDecimal(double x) {
  return static_cast<double>(roundHalfEven(x * 10.0)) / 10.0;
}

} // namespace

QString shortestText(float value) {
  char buf[64];
  const auto res = std::to_chars(buf, buf + sizeof buf, value);
  return QString::fromLatin1(buf, static_cast<qsizetype>(res.ptr - buf));
}

bool sampleAccepted(const ChannelData& ch, const ModelParams& params) {
  return ch.Volt <= params.MaxVoltage && ch.Cur <= params.MaxCurrent && ch.Temp <= 100.0f;
}

QString rejectedSampleTag(int slot, const ChannelData& ch, const ModelParams& params) {
  return QStringLiteral("ErrData%1 %2-%3 %4-%5")
      .arg(slot)
      .arg(shortestText(ch.Volt), shortestText(params.MaxVoltage), shortestText(ch.Cur),
           shortestText(params.MaxCurrent));
}

QString failedUpdateTag(int slot, const ChannelData& ch) {
  return QStringLiteral("ErrData%1 %2 %3 %4")
      .arg(slot)
      .arg(shortestText(ch.Volt), shortestText(ch.Cur), shortestText(ch.Temp));
}

QString voltagePicture(float volt, const ModelParams& params) {
  if (volt < 9.999f && (params.VolDiv == 1000 || params.caps.usbMeter))
    return QStringLiteral("0.000");
  if (volt < 4.5f && params.caps.fineLowVoltage)
    return QStringLiteral("0.000");
  if (volt >= 100.0f)
    return QStringLiteral("000.0");
  return QStringLiteral("00.00");
}

QString currentPicture(float cur, const ModelParams& params) {
  if (params.caps.twoDecimalsFrom10A)
    return cur >= 10.0f ? QStringLiteral("0.00") : QStringLiteral("0.000");
  return params.CurDiv == 100 ? QStringLiteral("00.00") : QStringLiteral("0.000");
}

QString powerPicture(float pwr) {
  if (pwr >= 1000.0f)
    return QStringLiteral("0000");
  if (pwr >= 100.0f)
    return QStringLiteral("000.0");
  return QStringLiteral("00.00");
}

QString curveCurrentPicture(const ModelParams& params) {
  return params.CurDiv == 100 ? QStringLiteral("0.00") : QStringLiteral("0.000");
}

namespace {

// Three decimals below 10, two from 10 on, as the step results show them. A float is shown by
// its own shortest text, as the readouts show it.
template <typename Real> QString milliText(Real value, QLatin1StringView unit) {
  return Format(value, value < Real(10) ? u"0.000" : u"0.00") + unit;
}

} // namespace

QString milliampHourText(double mAh) {
  return milliText(mAh, QLatin1StringView("mAh"));
}

QString milliwattHourText(double mWh) {
  return milliText(mWh, QLatin1StringView("mWh"));
}

QString capacityText(float cap, const ModelCaps& caps) {
  if (caps.currentInMilliamps)
    return milliText(cap, QLatin1StringView("mAh"));
  if (cap < 10.0f)
    return Format(static_cast<double>(cap) * 1000.0, u"0") + QStringLiteral("mAh");
  return Format(cap, u"0.00") + QStringLiteral("Ah");
}

QString energyText(float energy, const ModelCaps& caps) {
  if (caps.currentInMilliamps)
    return milliText(energy, QLatin1StringView("mWh"));
  if (energy < 10.0f)
    return Format(static_cast<double>(energy) * 1000.0, u"0") + QStringLiteral("mWh");
  return Format(energy, u"0.00") + QStringLiteral("Wh");
}

QString testTimeText(qint32 testSec) {
  return Format(testSec / 3600, u"00") + QLatin1Char(':') + Format((testSec % 3600) / 60, u"00") +
         QLatin1Char(':') + Format(testSec % 60, u"00");
}

bool sendsElapsedTime(qint32 testSec) {
  return testSec % 60 == 0 && testSec > 0 && testSec < 65530;
}

void widenAxis(AxisExtremes& axes, int axis, float value) {
  const double margin = axis == 2 ? 1.0 : 0.1;
  const double v = value;
  if (v + margin > axes.max[axis])
    axes.max[axis] = static_cast<float>(roundOneDecimal(v + margin));
  if (v <= margin)
    axes.min[axis] = 0.0f;
  else if (v - margin < axes.min[axis])
    axes.min[axis] = static_cast<float>(roundOneDecimal(v - margin));
}

double fitMaxX(double maxX, qint32 curveEnd) {
  const double t = curveEnd;
  if (maxX < t + 5)
    maxX = t + 30;
  if (maxX > t + 30)
    maxX = t + 30;
  return maxX;
}

std::pair<double, double> fitVoltageRange(float min, float max) {
  const double lo = min, hi = max;
  const qint64 m = roundHalfEven((hi - lo) / 0.05) % 10;
  if (m == 0)
    return {lo, hi};
  const double steps = static_cast<double>(10 - m);
  if (lo <= 0.5)
    return {lo, hi + steps * 0.05};
  return {lo - steps * 0.025, hi + steps * 0.025};
}

std::pair<double, double> fitCurrentRange(float min, float max, const ModelCaps& caps) {
  const double s = caps.fineCurrentSteps ? 0.05 : 0.5;
  const double lo = min, hi = max;
  const qint64 m = roundHalfEven((hi - lo) / (s / 10.0)) % 10;
  if (m == 0)
    return {lo, hi};
  const double steps = static_cast<double>(10 - m);
  if (lo > s)
    return {lo - steps * s / 20.0, hi + steps * s / 20.0};
  return {lo, hi + steps * s / 10.0};
}

double averageVoltage(const ChannelData& ch, qint32 voltagePoints) {
  const qint32 n = voltagePoints - ch.StartPoint;
  return n > 0 ? ch.VoltSum / n : -1.0;
}

void growEnergy(ChannelData& ch, double average) {
  const double candidate = average * static_cast<double>(ch.Cap);
  if (candidate > ch.Energy)
    ch.Energy = static_cast<float>(candidate);
}

void integrateMeterCapacity(ChannelData& ch) {
  if (ch.CapTick < ch.TestSec) {
    ch.Cap += static_cast<float>(static_cast<double>(ch.Cur) * (ch.TestSec - ch.CapTick) / 3600.0);
    ch.CapTick = ch.TestSec;
  }
}

QString runStateRow(const QString& who, int number, bool running) {
  return LangText(who + QString::number(number) + QStringLiteral(": ") +
                  (running ? QStringLiteral("START") : QStringLiteral("STOP"))) +
         QLatin1Char(' ');
}

QString temperatureRow(int slot, float temp) {
  return LangText(QStringLiteral("Temp") + QString::number(slot + 1) + QStringLiteral(": ") +
                  Format(temp, u"0.0") + QStringLiteral(" ℃")) +
         QLatin1Char(' ');
}

QString dataLineText(float volts, bool usbWinOpen) {
  return usbWinOpen ? QStringLiteral("-.---") : Format(volts, u"0.000");
}

QString versionText(qint16 fwVersion) {
  if (fwVersion == 0)
    return {};
  return QLatin1Char('V') + Format(fwVersion * 0.01, u"0.00");
}

} // namespace ondrel
