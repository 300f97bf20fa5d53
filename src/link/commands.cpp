#include "link/commands.h"

#include "data/support/failure.h"
#include "data/support/numberformat.h"

#include <QLocale>

#include <cmath>

namespace ondrel {
namespace {

Failure overflow() {
  return Failure(QStringLiteral("Overflow"));
}

// A single parameter byte; like a pair digit it must stay below the delimiters.
quint8 checkedByte(qint64 value) {
  if (value < 0 || value >= 240)
    throw overflow();
  return static_cast<quint8>(value);
}

qint32 roundedRaw(double value) {
  return toInt32(static_cast<double>(roundHalfEven(value)));
}

void putPair(std::array<quint8, 6>& p, std::size_t first, qint64 value) {
  const ValuePair v = checkedPair(value);
  p[first] = v.high;
  p[first + 1] = v.low;
}

CmdFrame channelFrame(int channel, int mode, int operation, const std::array<quint8, 6>& p) {
  return buildCmdFrame(commandByte(channel, mode, operation), p);
}

} // namespace

quint8 commandByte(int channel, int mode, int operation) {
  if (channel < 0 || channel > 1 || mode < 0 || operation < 0 || operation > 15)
    throw overflow();
  return checkedByte((qint64{channel} * 10 + mode) * 16 + operation);
}

ValuePair checkedPair(qint64 value) {
  if (value < 0 || value > kMaxPairValue)
    throw overflow();
  return {static_cast<quint8>(value / 240), static_cast<quint8>(value % 240)};
}

double numberFromText(const QString& text) {
  bool ok = false;
  const double v = QLocale::c().toDouble(text.trimmed(), &ok);
  if (!ok || !std::isfinite(v))
    throw Failure(QStringLiteral("Type mismatch: \"%1\"").arg(text));
  return v;
}

std::optional<double> boxNumber(const QString& text) {
  try {
    return numberFromText(text);
  } catch (const Failure&) {
    return std::nullopt;
  }
}

CmdFrame connectFrame() {
  return buildCmdFrame(5, {});
}

CmdFrame disconnectFrame() {
  return buildCmdFrame(6, {});
}

CmdFrame stopFrame(int channel) {
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Stop), {});
}

CmdFrame timeFrame(int channel, qint32 testSec) {
  std::array<quint8, 6> p{};
  putPair(p, 0, testSec / 60);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Time), p);
}

StartCommand startFrame(const ModelParams& params, int channel, int m, const StartTexts& texts,
                        int operation) {
  StartCommand out;
  const quint8 command = commandByte(channel, m, operation);
  const double sval = numberFromText(texts.Sval);
  const double slmt = numberFromText(texts.Slmt);
  const double stim = numberFromText(texts.Stim);
  std::array<quint8, 6> p{};

  out.SetRaw = roundedRaw(sval * params.CurDiv);
  out.LimitRaw = roundedRaw(slmt * params.VolDiv);
  auto powerSet = [&] { out.SetRaw = roundedRaw(sval * params.PwrDiv); };
  auto cellsInByte5 = [&] {
    if (params.VolDiv == 0)
      throw Failure(QStringLiteral("Division by zero"));
    // Whole cells, at least one: dividing 0.9 or 2.5 down would charge another number of cells.
    if (out.LimitRaw < params.VolDiv || out.LimitRaw % params.VolDiv != 0)
      throw Failure(QStringLiteral("Not a number of cells: \"%1\"").arg(texts.Slmt));
    return checkedByte(out.LimitRaw / params.VolDiv);
  };
  enum class Limit { Pair, Cells, Zero } limit = Limit::Pair;
  bool zeroSet = false;

  const StartPacking packing = params.caps.startPacking;
  switch (packing) {
  case StartPacking::AsTyped:
    break;
  case StartPacking::Load:
    if (m == 1) {
      powerSet();
    } else if (m == 3) {
      zeroSet = true;
      limit = Limit::Zero;
    }
    break;
  case StartPacking::PowerInMode1:
    if (m == 1)
      powerSet();
    break;
  case StartPacking::Charger:
  case StartPacking::ChargerCvMode2:
    if (m == 0 || m == 7 || (packing == StartPacking::ChargerCvMode2 && m == 2))
      break;
    if (m == 1) {
      powerSet();
    } else if (m > 6) {
      zeroSet = true;
      limit = Limit::Zero;
    } else {
      limit = Limit::Cells;
    }
    break;
  case StartPacking::CellCounts:
    if (m >= 1 && m <= 5)
      limit = Limit::Cells;
    break;
  }

  if (!zeroSet)
    putPair(p, 0, out.SetRaw);
  if (limit == Limit::Pair)
    putPair(p, 2, out.LimitRaw);
  else if (limit == Limit::Cells)
    p[3] = cellsInByte5();

  // The time box holds a cutoff current where the mode ends on one, else minutes.
  const bool cutoff = m == 8 || (m == params.CvModeNo && params.CvCutoff);
  out.TimeRaw = cutoff ? roundedRaw(stim * params.CurDiv) : roundedRaw(stim);
  putPair(p, 4, out.TimeRaw);

  out.frame = buildCmdFrame(command, p);
  return out;
}

int continueOperation(const ModelParams& params) {
  if (continuesAsStart(params))
    return static_cast<int>(CmdOp::Start);
  return static_cast<int>(CmdOp::Continue);
}

CmdFrame remoteSetFrame(int channel, qint16 curDiv, double current, qint32 limitRaw) {
  const qint64 value = roundHalfEven(curDiv * current);
  if (value < -32768 || value > 32767)
    throw overflow();
  std::array<quint8, 6> p{};
  putPair(p, 0, value);
  putPair(p, 2, limitRaw);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Adjust), p);
}

CmdFrame remoteQCFrame(int channel, int code) {
  std::array<quint8, 6> p{};
  p[5] = checkedByte((qint64{code} + 10) % 240);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Adjust), p);
}

CmdFrame remotePEFrame(int channel, int code) {
  std::array<quint8, 6> p{};
  p[5] = checkedByte((qint64{code} + 20) % 240);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Adjust), p);
}

CmdFrame calibrationFrame(int channel, int point, int value) {
  std::array<quint8, 6> p{};
  p[0] = checkedByte(point);
  putPair(p, 1, value);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Calibration), p);
}

CmdFrame resistanceFrame(int channel, const ModelParams& params, const QString& currentText) {
  const double requested = numberFromText(currentText);
  // The result divides by this current: a test without one is not asked for.
  if (requested < 200 || requested > 30000)
    throw Failure(QStringLiteral("Resistance test current out of range"));
  const double most = static_cast<double>(params.MaxCurrent) * 1000.0;
  qint64 mA = most > requested ? roundHalfEven(requested) : roundHalfEven(most);
  if (mA <= 0)
    throw Failure(QStringLiteral("No resistance test current"));
  if (params.CurDiv == 100)
    mA /= 10;
  std::array<quint8, 6> p{};
  putPair(p, 0, mA);
  return channelFrame(channel, 0, static_cast<int>(CmdOp::Resistance), p);
}

} // namespace ondrel
