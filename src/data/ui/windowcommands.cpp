#include "data/ui/windowcommands.h"

#include "data/datafile.h"
#include "data/support/failure.h"
#include "data/support/ini.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/support/programfolder.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QImage>

namespace ondrel {

PictureNames pictureNames(bool withGrid, const QDateTime& now, const QString& device, int slot,
                          int channel, bool twoChannel) {
  PictureNames n;
  n.title = QLatin1String(withGrid ? "Save Picture" : "Save Curve") + QStringLiteral("--Device") +
            QString::number(slot + 1);
  n.name = dataFileStem(now, device, slot, channel);
  if (twoChannel) {
    n.title += QStringLiteral("-Channel") + QString::number(channel + 1);
    n.name += QLatin1Char('-') + QString::number(channel + 1);
  }
  n.title = LangText(n.title);
  return n;
}

void SaveGraphPicture(frmMain& w, bool withGrid) {
  DeviceSlot& slot = w.slot(w.SelectedSlot());
  const int c = slot.panelChannel();
  const PictureNames names = pictureNames(withGrid, QDateTime::currentDateTime(),
                                          slot.deviceName(c), slot.index(), c, slot.dev2S());
  const QString extension = QStringLiteral("bmp");
  const QString chosen = w.chooseFile(true, names.title, QStringLiteral("bmp file(*.bmp)|*.bmp"),
                                      names.name, extension);
  if (chosen.isEmpty())
    return;
  const QString path = withExtension(chosen, extension);
  // Queued redraws first, so the picture shows the latest points.
  if (!letPendingEventsRunTwice(&slot))
    return;
  const QImage picture = slot.graphPicture(withGrid);
  if (picture.isNull() || !picture.save(path, "BMP"))
    throw Failure(QStringLiteral("cannot write ") + QDir::toNativeSeparators(path));
}

void ClearCurve(frmMain& w) {
  const auto answer = w.MsgBox(QMessageBox::Information, LangText(QStringLiteral("Clear Curve?")),
                               QMessageBox::Ok | QMessageBox::Cancel);
  if (answer == QMessageBox::Ok)
    w.slot(w.SelectedSlot()).ClearCurves();
}

void EditCurveTitle(frmMain& w, int index) {
  DeviceSlot& slot = w.slot(index < 0 ? w.SelectedSlot() : index);
  const QString answer = w.askText(LangText(QStringLiteral("Please input new title")),
                                   w.slot(w.SelectedSlot()).graph().TitleText());
  if (!answer.isEmpty())
    slot.graph().setTitleText(answer);
}

void ChangeCurveColour(frmMain& w, int index, int c, Curve curve) {
  const qint64 chosen = w.chooseColour();
  if (chosen < 0)
    return;
  const auto colour = static_cast<quint32>(chosen);
  w.slot(index).setCurveColour(c, curve, colour);
  const bool voltage = curve == Curve::Voltage;
  (voltage ? w.prefs().VCOL : w.prefs().CCOL)[c] = colour;
  IniWrite(programPath(QStringLiteral("ondrel.ini")), QStringLiteral("DATA"),
           QLatin1String(voltage ? "VCOL" : "CCOL") + QString::number(c), QString::number(colour));
}

} // namespace ondrel
