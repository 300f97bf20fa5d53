#pragma once

#include "link/modeltable.h"

#include <QString>
#include <QStringList>

#include <array>
#include <optional>

namespace ondrel {

// One row of a step program: the mode text and the texts of "Set1", "Set2" and "Cutoff". A row
// without a mode is empty and ends the program.
struct StepRow {
  QString mode, set1, set2, cutoff;
  bool empty() const { return mode.isEmpty(); }
  friend bool operator==(const StepRow&, const StepRow&) = default;
};
inline constexpr int kStepRows = 10;
// Rows 1 to 10 of the step table at indices 0 to 9.
using StepTable = std::array<StepRow, kStepRows>;

// The two modes of a program that are not the device's: their texts as the user reads them.
QString waitModeText();
QString cycleModeText();

// A step's mode as a number: the index of `text` in the panel's mode list `modes`; the list's
// length for "Wait", the length + 1 for "Cycle"; nullopt for a text that is none of them.
std::optional<int> stepModeCode(const QStringList& modes, const QString& text);

// The step editor's check of a row's three values ("Add"), for the device's ranges: nullopt when
// they may go into the table, else "Invalid value!" or "Setting value out of range!". `modeNo`
// is the mode's index, or the list length (`modeCount`) and beyond for "Wait" and "Cycle".
std::optional<QString> stepValuesRefusal(const ModelParams& model, int modeNo, int modeCount,
                                         const QString& set1, const QString& set2,
                                         const QString& cutoff);

// Why the program in `table` cannot run on a device with `modes`, naming the step: a mode that
// is not the device's (or not one a program may use), values the editor would refuse, a
// "Cycle" with no test step before it. Nothing when it can run. Rows after the first "Cycle"
// never run and are not looked at.
std::optional<QString> programRefusal(const ModelParams& model, const QStringList& modes,
                                      const StepTable& table);

// The number pictures of the slot for the step editor's boxes.
QString stepCurrentPicture(const ModelParams& model);
QString stepVoltagePicture(const ModelParams& model);
QString stepPowerPicture(const ModelParams& model);

// What the step editor shows for a chosen mode: captions, units, default texts and which boxes
// can be edited. `modeNo` as for stepValuesRefusal.
struct StepEditorView {
  QString lblSet, lblSett, txtSet;
  QString lblLmt, lblLimit1t, txtLmt;
  QString lblLmt2, lblLmt2t, txtLmt2;
  bool setEnabled = true, lmtEnabled = true, lmt2Enabled = true;
  friend bool operator==(const StepEditorView&, const StepEditorView&) = default;
};
StepEditorView stepEditorView(const ModelParams& model, int modeNo, int modeCount);

// A box of the step editor left by the user: its text rewritten in the slot's format, or the
// message to show and, for a text that is no number, the text it is reset to. `box` is 0 for
// the set value, 1 the limit, 2 the cutoff.
struct StepBoxCheck {
  std::optional<QString> message;
  std::optional<QString> text;
};
StepBoxCheck checkStepBox(const ModelParams& model, int modeNo, int modeCount, int box,
                          const QString& text);

} // namespace ondrel
