#pragma once

#include "link/modeltable.h"

#include <QString>
#include <QStringList>

#include <optional>

namespace ondrel {

// What a channel's mode and parameters look like on its panel: the mode text, the captions and
// units of the three boxes, their texts and whether they can be edited.
struct ParamView {
  QString tMode;
  QString lSval, lSvalt, tSval;
  QString lSlmt, lSlmtt, tSlmt;
  QString lStim, lStimt, tStim;
  bool SvalEnable = true, SlmtEnable = true, StimEnable = true;
  friend bool operator==(const ParamView&, const ParamView&) = default;
};

// The channel's parameters in device units.
struct ChannelParams {
  int ModeNo = 0;
  qint32 SetRaw = 0;
  qint32 LimitRaw = 0;
  qint32 TimeRaw = 0;
};

// The panel's view of a channel, by the model's parameter group and the mode. `modes` is the
// panel's mode list; a mode number outside it shows an empty mode. Throws Failure for a zero
// divisor. Captions pass through LangText.
ParamView showParams(const ModelParams& model, bool dev2S, const QStringList& modes,
                     const ChannelParams& p);

// The set value of the mode is a power (D-CP), not a current.
bool setIsPower(const ModelParams& model, int modeNo);
// The limit box of the mode holds a number of cells, not a voltage.
bool limitIsCells(const ModelParams& model, int modeNo);

// The parameters a newly chosen mode starts with (the time is 0).
ChannelParams modeDefaults(const ModelParams& model, int modeNo);

// A box left by the user: nullopt when its text stands, else the message to show and the text
// that replaces it afterwards (none for a text that is no number).
struct BoxRefusal {
  QString message;
  std::optional<QString> corrected;
  friend bool operator==(const BoxRefusal&, const BoxRefusal&) = default;
};
std::optional<BoxRefusal> checkSval(const ModelParams& model, int modeNo, const QString& text);
std::optional<BoxRefusal> checkSlmt(const ModelParams& model, int modeNo, const QString& text);
std::optional<BoxRefusal> checkStim(const ModelParams& model, int modeNo, const QString& text);
// A cell count of a charge-chemistry mode (where limitIsCells), as the limit box takes it.
std::optional<BoxRefusal> checkCells(const ModelParams& model, int modeNo, double cells);
// The auto test's voltage box.
std::optional<BoxRefusal> checkVolAuto(const ModelParams& model, const QString& text);

} // namespace ondrel
