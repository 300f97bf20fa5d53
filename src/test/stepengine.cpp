#include "test/stepengine.h"

#include "data/support/numberformat.h"
#include "link/commands.h"

namespace ondrel {

QString stepResultText(float value) {
  return Format(value, value < 10.0f ? u"0.000" : u"0.00");
}

void StepEngine::start() {
  m_sec = 0;
  m_stepNo = 1;
  m_cycleNo = 1;
  m_phase = 0;
  m_tries = 0;
  m_on = true;
  m_running = false;
}

void StepEngine::stop() {
  m_running = false;
  m_on = false;
}

std::vector<StepAction> StepEngine::tick(const StepInput& in, const StepTable& table,
                                         const QStringList& modes, const ModelParams& model) {
  std::vector<StepAction> out;
  if (!m_on)
    return out;
  if (in.running) {
    ++m_sec;
    if (m_sec >= m_limitSec && m_limitSec > 0 && in.stopEnabled)
      out.push_back(StepAction::of(StepAction::StopChannel));
    out.push_back(StepAction::resultValues(false));
    m_phase = 2;
    return out;
  }
  switch (m_phase) {
  case 0:
    setUp(out, table, modes, model);
    break;
  case 1:
    if (isWait(modes)) {
      if (++m_sec >= m_limitSec)
        m_phase = 2;
      break;
    }
    // The step has not started. Every tick presses Start again (the panel put back to idle
    // first, as no report has come to do it), and after the last try the step counts as ended.
    out.push_back(StepAction::of(StepAction::PressStart));
    if (m_tries >= kRetryTicks - 1) {
      m_phase = 2;
      m_tries = 0;
    } else {
      ++m_tries;
    }
    break;
  default:
    next(out, table, modes);
    break;
  }
  return out;
}

void StepEngine::setUp(std::vector<StepAction>& out, const StepTable& table,
                       const QStringList& modes, const ModelParams& model) {
  const StepRow& row = table[m_stepNo - 1];
  if (const std::optional<int> code = stepModeCode(modes, row.mode); code && *code <= modes.size())
    m_modeNo = *code;
  m_limitSec =
      m_modeNo == model.CvModeNo && model.CvCutoff
          ? 0
          : toInt32(static_cast<double>(roundHalfEven(boxNumber(row.cutoff).value_or(0.0) * 60.0)));
  out.push_back(StepAction::resultRow(
      QString::number(m_stepNo) + QLatin1Char('-') + QString::number(m_cycleNo), row.mode));
  if (isWait(modes)) {
    out.push_back(StepAction::resultValues(true));
  } else {
    out.push_back(StepAction::setUpStep(m_stepNo, m_modeNo));
    out.push_back(StepAction::of(StepAction::PressStart));
    out.push_back(StepAction::resultValues(false));
  }
  m_running = true;
  m_phase = 1;
  m_tries = 0;
  const quint32 colour = isWait(modes)                         ? kStepWaitColour
                         : m_modeNo <= model.LastDischargeMode ? kStepDischargeColour
                                                               : kStepChargeColour;
  for (int r = 1; r <= kColouredStepRows; ++r)
    out.push_back(StepAction::colourRow(r, r == m_stepNo ? colour : kStepFaceColour));
}

void StepEngine::next(std::vector<StepAction>& out, const StepTable& table,
                      const QStringList& modes) {
  out.push_back(StepAction::resultValues(isWait(modes)));
  const int n = m_stepNo + 1;
  bool end = n > kStepRows || table[n - 1].empty();
  if (!end && table[n - 1].mode == cycleModeText()) {
    if (boxNumber(table[n - 1].cutoff).value_or(0.0) > m_cycleNo) {
      ++m_cycleNo;
      m_stepNo = 1;
    } else {
      end = true;
    }
  } else if (!end) {
    m_stepNo = n;
  }
  out.push_back(StepAction::of(end ? StepAction::EndProgram : StepAction::NextResultRow));
  m_phase = 0;
  m_sec = 0;
}

} // namespace ondrel
