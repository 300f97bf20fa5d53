#include "test/steps.h"

#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"
#include "test/params.h"

namespace ondrel {
namespace {

bool isCvCutoffMode(const ModelParams& m, int modeNo) {
  return modeNo == m.CvModeNo && m.CvCutoff;
}

QString invalidValue() {
  return LangText(QStringLiteral("Invalid value!"));
}

QString outOfRange() {
  return LangText(QStringLiteral("Setting value out of range!"));
}

// Each box's rule: its range and its picture, for the mode.
struct BoxRule {
  float lo, hi;
  QString picture;
  QString reset; // the text a box that holds no number gets back
};

BoxRule boxRule(const ModelParams& m, int modeNo, int modeCount, int box) {
  const bool real = modeNo < modeCount;
  const QString current = stepCurrentPicture(m);
  const QString minCurrent = Format(m.MinCurrent, current);
  switch (box) {
  case 0:
    if (real && setIsPower(m, modeNo))
      return {1, 60, stepPowerPicture(m), minCurrent};
    return {m.MinCurrent, m.MaxCurrent, current, minCurrent};
  case 1:
    return {m.MinVoltage, m.MaxVoltage,
            real && limitIsCells(m, modeNo) ? QStringLiteral("0") : stepVoltagePicture(m),
            Format(m.MinVoltage, stepVoltagePicture(m))};
  default:
    if (real && isCvCutoffMode(m, modeNo))
      return {m.MinCurrent, m.MaxCurrent, QStringLiteral("0.00"), QStringLiteral("0")};
    return {0, 9999, QStringLiteral("0"), QStringLiteral("0")};
  }
}

// A number in a box of the mode: a cell count as the panel's limit box takes it, anything else
// within the box's range.
bool boxAccepts(const ModelParams& m, int modeNo, int modeCount, int box, double v) {
  if (box == 1 && modeNo < modeCount && limitIsCells(m, modeNo))
    return !checkCells(m, modeNo, v);
  const BoxRule rule = boxRule(m, modeNo, modeCount, box);
  return withinLimits(v, rule.lo, rule.hi);
}

} // namespace

QString waitModeText() {
  return LangText(QStringLiteral("Wait"));
}

QString cycleModeText() {
  return LangText(QStringLiteral("Cycle"));
}

std::optional<int> stepModeCode(const QStringList& modes, const QString& text) {
  if (text == cycleModeText())
    return static_cast<int>(modes.size()) + 1;
  if (text == waitModeText())
    return static_cast<int>(modes.size());
  const qsizetype i = modes.indexOf(text);
  if (i < 0)
    return std::nullopt;
  return static_cast<int>(i);
}

std::optional<QString> stepValuesRefusal(const ModelParams& m, int modeNo, int modeCount,
                                         const QString& set1, const QString& set2,
                                         const QString& cutoff) {
  const QString texts[] = {set1, set2, cutoff};
  const int first = modeNo < modeCount ? 0 : 2; // "Wait" and "Cycle" take only the third
  for (int box = first; box < 3; ++box) {
    const std::optional<double> v = boxNumber(texts[box]);
    if (!v)
      return invalidValue();
    if (!boxAccepts(m, modeNo, modeCount, box, *v))
      return outOfRange();
  }
  return std::nullopt;
}

std::optional<QString> programRefusal(const ModelParams& m, const QStringList& modes,
                                      const StepTable& table) {
  const int count = static_cast<int>(modes.size());
  bool testStep = false;
  for (int r = 0; r < kStepRows && !table[r].empty(); ++r) {
    const StepRow& row = table[r];
    const QString step =
        LangText(QStringLiteral("Step")) + QString::number(r + 1) + QStringLiteral(": ");
    const std::optional<int> code = stepModeCode(modes, row.mode);
    // A program runs the modes the step editor offers: discharges and charges.
    if (!code || (*code<count&& * code> m.CvModeNo))
      return step + LangText(QStringLiteral("the device has no mode")) + QStringLiteral(" \"") +
             row.mode + QLatin1Char('"');
    if (const auto refusal = stepValuesRefusal(m, *code, count, row.set1, row.set2, row.cutoff))
      return step + *refusal;
    if (*code == count + 1) {
      if (!testStep)
        return step + LangText(QStringLiteral("a cycle needs a test step before it"));
      break;
    }
    testStep = testStep || *code < count;
  }
  return std::nullopt;
}

QString stepCurrentPicture(const ModelParams& m) {
  return m.CurDiv == 1000  ? QStringLiteral("0.000")
         : m.CurDiv == 100 ? QStringLiteral("0.00")
                           : QStringLiteral("0.0");
}

QString stepVoltagePicture(const ModelParams& m) {
  return m.VolDiv == 1000  ? QStringLiteral("0.000")
         : m.VolDiv == 100 ? QStringLiteral("0.00")
                           : QStringLiteral("0.0");
}

QString stepPowerPicture(const ModelParams& m) {
  return m.PwrDiv == 10 ? QStringLiteral("0.0") : QStringLiteral("0");
}

StepEditorView stepEditorView(const ModelParams& m, int modeNo, int modeCount) {
  StepEditorView v;
  v.lblSet = LangText(QStringLiteral("Current"));
  v.lblSett = QStringLiteral("A");
  v.lblLmt = LangText(QStringLiteral("Volt:"));
  v.lblLimit1t = QStringLiteral("V");
  v.lblLmt2 = LangText(QStringLiteral("Cutoff:"));
  v.lblLmt2t = QStringLiteral("Min");
  if (modeNo >= modeCount) {
    v.setEnabled = v.lmtEnabled = false;
    v.txtSet = v.txtLmt = QStringLiteral("0.00");
    v.txtLmt2 = QStringLiteral("1");
    if (modeNo > modeCount) {
      v.lblLmt2 = LangText(QStringLiteral("Cycle:"));
      v.lblLmt2t.clear();
    }
    return v;
  }
  v.txtLmt = QStringLiteral("1.00");
  v.txtLmt2 = QStringLiteral("0");
  v.txtSet = QStringLiteral("1.00");
  if (modeNo <= m.LastDischargeMode) {
    if (setIsPower(m, modeNo)) {
      v.lblSet = LangText(QStringLiteral("Power"));
      v.lblSett = QStringLiteral("W");
      v.txtSet = Format(10, stepPowerPicture(m));
    }
    return v;
  }
  if (isCvCutoffMode(m, modeNo)) {
    v.lblLmt2t = QStringLiteral("A");
    v.txtLmt2 = Format(m.MinCurrent, u"0.00");
  } else if (!(modeNo == m.CvModeNo && m.caps.paramGroup == ParamGroup::ClassicCharger)) {
    v.lblLmt = LangText(QStringLiteral("Cells:"));
    v.lblLimit1t.clear();
    v.txtLmt = QStringLiteral("1");
  }
  return v;
}

StepBoxCheck checkStepBox(const ModelParams& m, int modeNo, int modeCount, int box,
                          const QString& text) {
  const BoxRule rule = boxRule(m, modeNo, modeCount, box);
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return {invalidValue(), rule.reset};
  if (!boxAccepts(m, modeNo, modeCount, box, *v))
    return {outOfRange(), std::nullopt};
  return {std::nullopt, Format(*v, rule.picture)};
}

} // namespace ondrel
