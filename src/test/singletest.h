#pragma once

#include "data/liveupdate.h"
#include "link/modeltable.h"

#include <QString>

namespace ondrel {

// The number a parameter box holds for arithmetic that must not fail: the leading number of the
// text, or 0 when it starts with none (as the boxes are checked when the user leaves them).
double boxValue(const QString& text);

// Start resets the slot's axis extremes unless the other channel of a two-channel panel already
// draws: both channels share one graph and one set of extremes.
bool startResetsAxes(bool dev2S, qint32 channel0CurrentPoints, qint32 channel1CurrentPoints);

// The axis extremes a test starts from. With automatic scaling ("SCALE") a charge mode starts
// the voltage axis at the present voltage up to the charge voltage and the current axis at 0 up
// to the set current; a discharge mode starts the voltage axis at the cutoff up to the present
// voltage. Other modes, and every mode without automatic scaling, start from nothing (0..0), and
// so does axis 2 always.
AxisExtremes startAxes(const ModelParams& model, int modeNo, bool autoScale, float volt,
                       double limitValue, double setValue);

// The message for a start, adjust or continue command that cannot be built from the boxes:
// "Invalid value!" when a box holds no number, else "Setting value out of range!".
QString startRefusalMessage(const QString& sval, const QString& slmt, const QString& stim);

// The info-list row of a monitored channel.
QString monitorRow(bool dev2S, int slot, int channel);

} // namespace ondrel
