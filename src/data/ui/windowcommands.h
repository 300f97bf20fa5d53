#pragma once

#include "data/slotlayout.h"

#include <QDateTime>
#include <QString>

namespace ondrel {

class frmMain;

// The main window's own commands on the selected slot: pictures of the graph, clearing the
// curves, the graph's title and the curve colours of the result grid's swatches.

// The save dialog's title and proposed name of a picture of a slot's graph.
struct PictureNames {
  QString title;
  QString name;
};
// "Save Curve--Device1" or "Save Picture--Device1" (with "-Channel2" on a two-channel slot), and
// Y-M-D-h-m-s-device-slot-channel (with "-2" on a two-channel slot), numbers counted from 1.
PictureNames pictureNames(bool withGrid, const QDateTime& now, const QString& device, int slot,
                          int channel, bool twoChannel);

// "Save Curve" (the graph) and "Save Picture" (the graph with the result grid): a ".bmp" file
// the user names. A cancelled dialog ends it; a file that cannot be written throws Failure.
void SaveGraphPicture(frmMain& window, bool withGrid);

// "Clear Curve": after the user agrees, the selected slot's curves, curve clocks and axes.
void ClearCurve(frmMain& window);

// "Curve Title": the title of graph `slot` (-1: the selected slot's) from an input box; an empty
// answer or a cancel keeps it.
void EditCurveTitle(frmMain& window, int slot = -1);

// A swatch of slot `slot`'s grid was pressed: the chosen colour becomes the curve's, the
// swatch's and the preference's ("VCOL"/"CCOL" & channel). Cancelling the chooser changes
// nothing.
void ChangeCurveColour(frmMain& window, int slot, int channel, Curve curve);

} // namespace ondrel
