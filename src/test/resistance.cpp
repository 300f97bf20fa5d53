#include "test/resistance.h"

#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"

#include <algorithm>

namespace ondrel {
namespace {

QString notSingleCell() {
  return LangText(QStringLiteral("Resistance test only support single battery"));
}

} // namespace

std::optional<QString> resistanceOpenRefusal(const ModelParams& model, float volt) {
  if (model.ModelCode == 0)
    return LangText(QStringLiteral("Please connect device first"));
  if (volt > kResMaxCellVolts)
    return notSingleCell();
  return std::nullopt;
}

std::optional<QString> resistanceStartRefusal(bool running, float volt) {
  if (running)
    return LangText(QStringLiteral("Please stop other test first"));
  if (volt > kResMaxCellVolts)
    return notSingleCell();
  return std::nullopt;
}

ResBoxCheck checkResCurrent(const QString& text) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return {LangText(QStringLiteral("Invalid value!")), std::nullopt};
  if (*v < kResMinCurrentMa || *v > kResMaxCurrentMa)
    return {LangText(QStringLiteral("Setting value out of range!")), std::nullopt};
  return {std::nullopt, Format(*v, u"0")};
}

ResCurrent resistanceCurrent(const ModelParams& model, const QString& text) {
  if (const ResBoxCheck check = checkResCurrent(text); check.message)
    return {std::nullopt, *check.message};
  const double typed = *boxNumber(text);
  const double most = static_cast<double>(model.MaxCurrent) * 1000.0;
  const qint64 mA = roundHalfEven(std::min(typed, most));
  // A small device's maximum leaves less than a test may ask for: say so rather than send
  // nothing and wait.
  if (mA < kResMinCurrentMa)
    return {std::nullopt,
            LangText(QStringLiteral("The device's maximum current (%1 mA) is below the lowest "
                                    "test current (%2 mA)."))
                .arg(Format(std::max(most, 0.0), u"0"))
                .arg(kResMinCurrentMa)};
  return {static_cast<int>(mA), QString()};
}

void ResistanceWait::start(int currentMa) {
  m_waiting = currentMa > 0;
  m_currentMa = currentMa;
  m_ticks = 0;
  m_drop = 0.0f;
}

void ResistanceWait::dropSeen(float dropVolts) {
  if (m_waiting && m_drop == 0.0f && dropVolts > 0.0f)
    m_drop = dropVolts;
}

ResistanceWait::Tick ResistanceWait::tick() {
  if (!m_waiting)
    return Tick::GaveUp;
  ++m_ticks;
  if (m_drop > 0.0f) {
    // Volts over milliamperes, in milliohms.
    m_result = Format(static_cast<double>(m_drop) / m_currentMa * 1000000.0, u"0.0");
    m_waiting = false;
    return Tick::Measured;
  }
  if (m_ticks >= kResMaxTicks) {
    m_waiting = false;
    return Tick::GaveUp;
  }
  return Tick::Waiting;
}

} // namespace ondrel
