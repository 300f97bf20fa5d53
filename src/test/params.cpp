#include "test/params.h"

#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "link/commands.h"

#include <cmath>

namespace ondrel {
namespace {

QString caption(const char* text) {
  return LangText(QString::fromLatin1(text));
}

double per(qint32 raw, qint16 div) {
  if (div == 0)
    throw Failure(QStringLiteral("Division by zero"));
  return static_cast<double>(raw) / div;
}

QString outOfRange() {
  return LangText(QStringLiteral("Setting value out of range!"));
}

BoxRefusal invalid() {
  return {LangText(QStringLiteral("Invalid value!")), std::nullopt};
}

BoxRefusal refused(const QString& corrected) {
  return {outOfRange(), corrected};
}

std::optional<BoxRefusal> checkVoltage(const ModelParams& m, double v) {
  if (aboveLimit(v, m.MaxVoltage))
    return refused(Format(m.MaxVoltage, u"0.00"));
  if (belowLimit(v, m.MinVoltage))
    return refused(Format(m.MinVoltage, u"0.00"));
  return std::nullopt;
}

} // namespace

bool setIsPower(const ModelParams& m, int modeNo) {
  if (modeNo != 1)
    return false;
  switch (m.caps.paramGroup) {
  case ParamGroup::ChemistryCharger:
  case ParamGroup::PowerCharger:
    return true;
  case ParamGroup::Load:
    return !m.caps.meterAtIndexOne;
  default:
    return false;
  }
}

bool limitIsCells(const ModelParams& m, int modeNo) {
  switch (m.caps.paramGroup) {
  case ParamGroup::ClassicCharger:
    return modeNo >= 1 && modeNo <= 5;
  case ParamGroup::ChemistryCharger:
    return modeNo >= 2 && modeNo <= 6;
  default:
    return false;
  }
}

ParamView showParams(const ModelParams& m, bool dev2S, const QStringList& modes,
                     const ChannelParams& p) {
  ParamView v;
  const int mode = p.ModeNo;
  v.tMode = mode >= 0 && mode < modes.size() ? modes.at(mode) : QString();
  v.lSval = caption("Test Val:");
  v.lSvalt = caption("A");
  v.lSlmtt = caption("V");
  v.lSlmt = caption(dev2S ? "Cutoff V:" : "Cutoff Volt:");
  v.lStimt = caption("M");
  v.lStim = caption(dev2S ? "Time:" : "Max Time:");
  v.tStim = Format(p.TimeRaw, u"0");

  const auto I = [&](QStringView picture) { return Format(per(p.SetRaw, m.CurDiv), picture); };
  const auto U = [&] { return Format(per(p.LimitRaw, m.VolDiv), u"0.00"); };
  const auto C = [&](QStringView picture) { return Format(per(p.TimeRaw, m.CurDiv), picture); };
  const auto P = [&] { return Format(per(p.SetRaw, m.PwrDiv), m.PwrDiv == 1 ? u"0" : u"0.0"); };
  const auto cells = [&] {
    v.tSlmt = Format(p.LimitRaw % 100, u"0");
    v.lSlmtt.clear();
    v.lSlmt = caption("Cells:");
  };
  const auto power = [&] {
    v.tSval = P();
    v.lSval = caption("Test Val:");
    v.lSvalt = caption("W");
  };
  const auto cutoffCurrent = [&](QStringView picture) {
    v.lStimt = caption("A");
    v.lStim = caption("Cutoff Curr:");
    v.tStim = C(picture);
  };
  const QStringView fine = m.caps.fineSetCurrent ? u"0.000" : u"0.00";

  switch (m.caps.paramGroup) {
  case ParamGroup::ClassicCharger:
    v.tSval = I(u"0.00");
    if (mode >= 1 && mode <= 5) {
      cells();
    } else {
      v.tSlmt = U();
      if (mode == 6)
        v.lSlmt = caption("Voltage:");
    }
    break;
  case ParamGroup::ChemistryCharger:
    if (mode == 1) {
      power();
      v.tSlmt = U();
    } else if (mode == 8) {
      v.tSval = QStringLiteral("0.00");
      v.tSlmt = QStringLiteral("0.00");
      cutoffCurrent(u"0.00");
      v.SvalEnable = v.SlmtEnable = false;
    } else {
      v.tSval = I(u"0.00");
      if (mode >= 2 && mode <= 6) {
        cells();
      } else {
        v.tSlmt = U();
        if (mode == 7) {
          v.lSlmt = caption("Voltage:");
          cutoffCurrent(u"0.00");
        }
      }
    }
    break;
  case ParamGroup::PowerCharger:
    v.tSlmt = U();
    if (mode == 1) {
      power();
    } else {
      v.tSval = I(fine);
      if (mode != 0) {
        v.lSlmt = caption("Voltage:");
        cutoffCurrent(fine);
      }
    }
    break;
  case ParamGroup::CvCharger:
    v.tSval = I(u"0.00");
    v.tSlmt = U();
    if (mode != 0) {
      v.lSlmt = caption("Voltage:");
      cutoffCurrent(u"0.00");
      if (m.caps.cvLocksSetAndLimit)
        v.SvalEnable = v.SlmtEnable = false;
    }
    break;
  case ParamGroup::MilliampCharger:
    v.tSval = I(u"0.000");
    v.tSlmt = U();
    // Its currents are milliamperes in every mode, the test's mode line included.
    v.lSvalt = caption("mA");
    if (mode == 1) {
      cutoffCurrent(u"0.000");
      v.lStimt = caption("mA");
    } else {
      v.tStim = QStringLiteral("0");
    }
    break;
  case ParamGroup::Other:
    v.tSlmt = U();
    if (mode == 1) {
      v.tSval = QStringLiteral("0.00");
      v.SvalEnable = false;
      v.lSlmt = caption("Test Val:");
    } else {
      v.tSval = I(u"0.00");
    }
    break;
  case ParamGroup::Load:
    v.tSlmt = U();
    if (mode == 1 && m.caps.meterAtIndexOne) {
      v.tSval = I(u"0.00");
      v.SlmtEnable = false;
    } else if (mode == 1) {
      power();
    } else if (mode == 2 || mode == 4) {
      v.tSval = I(u"0.00");
      v.lSval = caption("Current:");
      v.lSlmt = caption("Test Val:");
    } else if (mode == 3) {
      v.tSval = I(u"0.00");
      v.SvalEnable = v.SlmtEnable = false;
    } else {
      v.tSval = I(fine);
    }
    break;
  }
  return v;
}

ChannelParams modeDefaults(const ModelParams& m, int modeNo) {
  ChannelParams p;
  p.ModeNo = modeNo;
  if (m.ModelCode == 0)
    return p;
  p.SetRaw = setIsPower(m, modeNo)
                 ? 1
                 : static_cast<qint32>(roundHalfEven(double(m.CurDiv) * double(m.MinCurrent)));
  p.LimitRaw = limitIsCells(m, modeNo)
                   ? 1
                   : static_cast<qint32>(roundHalfEven(double(m.VolDiv) * double(m.MinVoltage)));
  return p;
}

std::optional<BoxRefusal> checkSval(const ModelParams& m, int modeNo, const QString& text) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return invalid();
  if (setIsPower(m, modeNo)) {
    if (*v > 1000.0)
      return refused(QStringLiteral("100"));
    if (*v < 0.1)
      return refused(QStringLiteral("1"));
    return std::nullopt;
  }
  if (aboveLimit(*v, m.MaxCurrent))
    return refused(Format(m.MaxCurrent, u"0.00"));
  if (belowLimit(*v, m.MinCurrent))
    return refused(Format(m.MinCurrent, u"0.00"));
  return std::nullopt;
}

std::optional<BoxRefusal> checkSlmt(const ModelParams& m, int modeNo, const QString& text) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return invalid();
  if (limitIsCells(m, modeNo))
    return checkCells(m, modeNo, *v);
  return checkVoltage(m, *v);
}

std::optional<BoxRefusal> checkCells(const ModelParams& m, int modeNo, double cells) {
  const int most = m.caps.paramGroup == ParamGroup::ClassicCharger
                       ? m.caps.maxCells.at(static_cast<size_t>(modeNo - 1))
                       : 0;
  if (most > 0 && cells > most)
    return refused(Format(most, u"0"));
  // No cells is no charge, and fewer cannot be sent.
  if (cells < 1.0)
    return refused(QStringLiteral("1"));
  // The device takes whole cells: 2.5 would be sent as 2.
  if (cells != std::floor(cells))
    return refused(Format(std::floor(cells), u"0"));
  if (most > 0)
    return std::nullopt;
  // Without a count of its own the model bounds the cells by its voltage range.
  return checkVoltage(m, cells);
}

std::optional<BoxRefusal> checkStim(const ModelParams& m, int modeNo, const QString& text) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return invalid();
  if (modeNo == m.CvModeNo && m.CvCutoff) {
    if (!withinLimits(*v, m.MinCurrent, m.MaxCurrent))
      return refused(Format(m.MinCurrent, u"0.00"));
    return std::nullopt;
  }
  if (*v > 999.0)
    return refused(QStringLiteral("999"));
  return std::nullopt;
}

std::optional<BoxRefusal> checkVolAuto(const ModelParams& m, const QString& text) {
  const std::optional<double> v = boxNumber(text);
  if (!v)
    return invalid();
  if (!withinLimits(*v, m.MinVoltage, m.MaxVoltage))
    return refused(Format(m.MinVoltage, u"0.00"));
  return std::nullopt;
}

} // namespace ondrel
