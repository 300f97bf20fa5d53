#include "test/autostepper.h"

#include "data/recording.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"

#include <algorithm>
#include <cmath>

namespace ondrel {

AutoPageLists autoPageLists(const ModelParams& model) {
  AutoPageLists l;
  // The loops run on a single float, as the lists always have: the end carries a small margin
  // so that the last value is reached despite the rounding of the additions.
  const bool fine = model.caps.fineAutoCurrents;
  const float first = fine ? 0.01f : 0.1f;
  const float margin = fine ? 0.001f : 0.01f;
  const QStringView picture = fine ? u"0.00" : u"0.0";
  for (float a = first; a <= model.MaxCurrent + margin; a += first)
    l.currents << Format(a, picture);
  for (float a = first; a <= 1.0f + margin; a += first)
    l.steps << Format(a, picture);
  for (int t = 2; t <= 100; t += 2)
    l.times << QString::number(t);
  l.current = l.step = Format(first, picture);
  l.time = QStringLiteral("2");
  return l;
}

int autoIntervalSeconds(const QString& timeText, bool seconds) {
  const double value = numberFromText(timeText);
  const qint64 s = seconds ? roundHalfEven(value) : roundHalfEven(value * 60.0);
  if (!std::isfinite(value) || s < 1 || s > 32767)
    throw Failure(QStringLiteral("step length out of range: ") + timeText);
  return static_cast<int>(s);
}

namespace {

// The step may exceed the span by no more than the rounding of its two ends: well below the
// finest step any auto page offers (0.01 A).
constexpr float kSpanTolerance = 0.0005f;

} // namespace

AutoStartCheck checkAutoStart(const ModelParams& model, const AutoPageTexts& page) {
  AutoStartCheck check;
  const std::optional<double> start = boxNumber(page.startCurrent);
  const std::optional<double> stop = boxNumber(page.stopCurrent);
  const std::optional<double> step = boxNumber(page.step);
  if (!start || !stop || !step || !boxNumber(page.time)) {
    check.refusal = LangText(QStringLiteral("Invalid value!"));
    return check;
  }
  const auto refuse = [&] {
    check.refusal = LangText(QStringLiteral("Setting value out of range!"));
    return check;
  };
  if (!withinLimits(*start, model.MinCurrent, model.MaxCurrent) ||
      !withinLimits(*stop, model.MinCurrent, model.MaxCurrent))
    return refuse();
  // Both currents are within a float's range now.
  AutoSettings& s = check.settings;
  s.startCurrent = static_cast<float>(*start);
  s.stopCurrent = static_cast<float>(*stop);
  // A step of 0 never reaches the stop current, and a negative one walks away from it.
  if (!(*step > 0.0))
    return refuse();
  const float span = std::abs(s.stopCurrent - s.startCurrent);
  if (span > 0.0f && *step > double(span + kSpanTolerance))
    return refuse();
  s.step = static_cast<float>(std::min(*step, 1.0e6));
  try {
    s.interval = autoIntervalSeconds(page.time, page.seconds);
  } catch (const Failure&) {
    return refuse();
  }
  return check;
}

int fullAutoListRows(int copiedRows) {
  return 41 + std::max(0, copiedRows - 40);
}

QStringList autoResultLines(const QString& deviceHeading, const QString& device,
                            const std::vector<QStringList>& rows, const QString& separator) {
  QStringList lines{deviceHeading + QLatin1Char(':') + device, QStringLiteral("Mode:Auto Test"),
                    QLatin1String(kBannerLine)};
  for (const QStringList& r : rows)
    lines << r.mid(0, 3).join(separator);
  return lines;
}

void AutoStepper::start(float startCurrent, float stopCurrent, float step, int intervalSeconds) {
  m_cur = startCurrent;
  m_stop = stopCurrent;
  m_step = step;
  m_up = startCurrent <= stopCurrent;
  m_tick = 0;
  m_interval = intervalSeconds;
  m_seenRunning = false;
  m_waited = 0;
}

std::vector<AutoAction> AutoStepper::tick(const AutoReading& r) {
  std::vector<AutoAction> out;
  if (!r.running) {
    if (m_seenRunning) {
      // The device ended the test (cutoff voltage, its own stop): the present row keeps the
      // step's last running reading rather than the idle readout's zero current.
      out.push_back({AutoAction::Finish});
      return out;
    }
    // The first running report has not come yet: wait for it a few ticks, then give up and
    // make sure the channel does not start later with nobody watching.
    if (++m_waited >= kStartTicks) {
      out.push_back({AutoAction::Finish});
      out.push_back({AutoAction::StopChannel});
    }
    return out;
  }
  m_seenRunning = true;
  if (m_tick == 0 && r.current != m_cur)
    out.push_back({AutoAction::SetCurrent, m_cur});
  ++m_tick;
  out.push_back({AutoAction::WriteRow});
  if (m_tick >= m_interval) {
    m_cur = m_up ? m_cur + m_step : m_cur - m_step;
    m_tick = 0;
  }
  const bool goesOn = m_up ? m_cur <= m_stop + 0.01f : !(m_stop - 0.01f > m_cur);
  if (goesOn) {
    if (m_tick == 0) {
      out.push_back({AutoAction::NextRow});
      out.push_back({AutoAction::SetCurrent, m_cur});
    }
    return out;
  }
  out.push_back({AutoAction::Finish});
  out.push_back({AutoAction::StopChannel});
  out.push_back({AutoAction::WriteRow});
  return out;
}

} // namespace ondrel
