#include "data/ui/datacommands.h"

#include "data/datafile.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/programfolder.h"
#include "data/textfile.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "test/ui/devctrl.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace ondrel {
namespace {

// The step result table's rows with a mode, the heading row first, when the channel's curves are
// a finished step program's.
std::vector<QStringList> stepRows(const DeviceSlot& slot, int c) {
  const DevCtrl& p = slot.panel();
  std::vector<QStringList> rows;
  if (!slot.ch(c).StepCurves || slot.StepRunning() || p.StepListCnt() < 2 ||
      p.tStepRun(1, 1).isEmpty())
    return rows;
  for (int r = 0; r < p.StepListCnt(); ++r) {
    if (!p.tStepRun(r, 1).isEmpty())
      rows.push_back({p.tStepRun(r, 0), p.tStepRun(r, 1), p.tStepRun(r, 2), p.tStepRun(r, 3)});
  }
  return rows;
}

// The chosen name with the command's extension. The dialog asked before replacing the name it
// returned; a name that the extension changed is asked about here. "" when the user declines.
QString finalSavePath(frmMain& w, const QString& chosen, const QString& extension) {
  const QString path = withExtension(chosen, extension);
  if (path == chosen || !QFileInfo::exists(path))
    return path;
  const auto answer =
      w.MsgBox(QMessageBox::Information,
               QDir::toNativeSeparators(path) + QLatin1Char('\n') +
                   LangText(QStringLiteral("This file already exists. Replace it?")),
               QMessageBox::Ok | QMessageBox::Cancel);
  return answer == QMessageBox::Ok ? path : QString();
}

// A file the user asked for and did not get: logged under the command's tag and said.
void sayNotWritten(frmMain& w, const QString& tag) {
  const QString reason = describeCurrentException();
  ErrLog(tag, reason);
  w.MsgBox(QMessageBox::Critical,
           LangText(QStringLiteral("The file could not be written.")) + QLatin1Char('\n') + reason);
}

// "-Channel2" on a two-channel panel's dialog title, "-2" on its proposed name.
void addChannel(const DeviceSlot& slot, int c, QString& title, QString& name) {
  if (!slot.dev2S())
    return;
  title += QStringLiteral("-Channel") + QString::number(c + 1);
  name += QLatin1Char('-') + QString::number(c + 1);
}

} // namespace

void SaveDataCommand(frmMain& w) {
  const DeviceSlot& slot = w.slot(w.SelectedSlot());
  const int c = slot.panelChannel();
  if (slot.ch(c).ChnRunning)
    return;
  const bool csv = w.prefs().CSV;
  QString title = LangText(QStringLiteral("Save Data--Device") + QString::number(slot.index() + 1));
  QString name = dataFileStem(QDateTime::currentDateTime(), slot.gridText(gridRow(c), colDevice),
                              slot.index(), c);
  addChannel(slot, c, title, name);
  const QString extension = dataFileExtension(csv);
  const QString chosen = w.chooseFile(true, title, dataFileFilter(csv), name, extension);
  if (chosen.isEmpty())
    return;
  const QString path = finalSavePath(w, chosen, extension);
  if (path.isEmpty())
    return;
  try {
    WriteDataFile(slot, c, path);
  } catch (...) {
    sayNotWritten(w, QStringLiteral("ErrSaveData"));
  }
}

void WriteDataFile(const DeviceSlot& slot, int c, const QString& path) {
  DataFileContent content;
  content.stepRows = stepRows(slot, c);
  for (int col = colDevice; col <= colAvgVolt; ++col)
    content.resultValues << slot.gridText(gridRow(c), col);
  const CurveGraph& g = slot.graph();
  content.title = g.TitleText();
  content.withTemperature = slot.temperatureShown();
  content.caps = slot.params().caps;
  content.curDiv = slot.params().CurDiv;
  content.csv = slot.prefs().CSV;
  const int v = curveIndex(c, Curve::Voltage), i = curveIndex(c, Curve::Current),
            t = curveIndex(c, Curve::Third);
  // The three curves grow together; the shortest bounds the lines all the same.
  const qint32 count = std::min({g.DpCnt(v), g.DpCnt(i), g.DpCnt(t)});
  for (qint32 n = std::max(slot.ch(c).StartPoint, 0); n < count; ++n)
    content.points.push_back({g.DpX(v, n), g.DpY(i, n), g.DpY(v, n), g.DpY(t, n)});
  writeTextFile(path, dataFileLines(content));
}

QString saveDataFileAtTestEnd(const DeviceSlot& slot, int c, const QDateTime& now) {
  const QString folder = programPath(QStringLiteral("Data"));
  const QString path = QDir(folder).filePath(
      dataFileStem(now, slot.gridText(gridRow(c), colDevice), slot.index(), c) + QLatin1Char('.') +
      dataFileExtension(slot.prefs().CSV));
  if (!QDir().mkpath(folder))
    throw Failure(QStringLiteral("Cannot write %1: the folder cannot be created")
                      .arg(QDir::toNativeSeparators(path)));
  WriteDataFile(slot, c, path);
  return path;
}

} // namespace ondrel
