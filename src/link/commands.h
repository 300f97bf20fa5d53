#pragma once

#include "link/frame.h"
#include "link/modeltable.h"

#include <QString>

#include <optional>

namespace ondrel {

// Command frames, PC to device, as pure functions: the senders of the device slots build a frame
// here and write it only when their port is open. A value that cannot travel (a text that is no
// number, a raw value beyond a base-240 pair, a byte that would reach the delimiters) throws
// Failure, and the sender then logs its tag and sends nothing.

// Operation codes in the low nibble of a channel command byte.
enum class CmdOp : int {
  Start = 1,
  Stop = 2,
  Calibration = 4,
  Adjust = 7, // also set value, quick-charge and pump-express requests
  Continue = 8,
  Resistance = 9,
  Time = 10,
};

// (channel x 10 + mode) x 16 + operation.
quint8 commandByte(int channel, int mode, int operation);

// v as high = v div 240, low = v mod 240. It never clamps: a negative value or one above
// kMaxPairValue would put a byte of 240 or more (perhaps a delimiter) on the wire, so it throws
// Failure("Overflow").
ValuePair checkedPair(qint64 value);

// A box text as a number: decimal point, optional sign, surrounding spaces allowed. Anything else
// (empty, letters, "1,5") throws Failure.
double numberFromText(const QString& text);
// The same, for checks that only ask: nullopt where numberFromText refuses.
std::optional<double> boxNumber(const QString& text);

CmdFrame connectFrame();
CmdFrame disconnectFrame();
CmdFrame stopFrame(int channel);
// The elapsed test time in whole minutes.
CmdFrame timeFrame(int channel, qint32 testSec);

// What a start-type command reads from the panel for its channel.
struct StartTexts {
  QString Sval; // set value: current, power, or the resistance
  QString Slmt; // limit: voltage, or cells for the charge chemistry modes
  QString Stim; // minutes, or a cutoff current
};

// A start, adjust or continue frame and the raw values it carries, which the channel remembers.
struct StartCommand {
  CmdFrame frame{};
  qint32 SetRaw = 0;
  qint32 LimitRaw = 0;
  qint32 TimeRaw = 0;
};
StartCommand startFrame(const ModelParams& params, int channel, int modeNo, const StartTexts& texts,
                        int operation);

// Continue is operation 8, except where the model's firmware takes a start instead.
int continueOperation(const ModelParams& params);

// A new set current for a running test (automatic test): `curDiv` is the selected slot's scale.
CmdFrame remoteSetFrame(int channel, qint16 curDiv, double current, qint32 limitRaw);
CmdFrame remoteQCFrame(int channel, int code);
CmdFrame remotePEFrame(int channel, int code);
CmdFrame calibrationFrame(int channel, int point, int value);
// The requested resistance-test current in mA, capped at the model's maximum; sent in 10 mA units
// when the model's CurDiv is 100. A request outside 200..30000 mA, or a cap that leaves none,
// throws.
CmdFrame resistanceFrame(int channel, const ModelParams& params, const QString& currentText);

} // namespace ondrel
