#include "data/ui/datacommands.h"

#include "data/bdfexport.h"
#include "data/datafile.h"
#include "data/export/xlsxexport.h"
#include "history/testrecord.h"
#include "data/parameterfile.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/programfolder.h"
#include "data/textfile.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "test/channeltest.h"
#include "test/params.h"
#include "test/ui/devctrl.h"
#include "test/ui/filesave.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <optional>

namespace ondrel {
namespace {

ChannelFileOptions fileOptions(const DeviceSlot& slot) {
  return {slot.graph().TitleText(), slot.prefs().CSV, slot.temperatureShown(), slot.StepRunning()};
}

QString finalSavePath(frmMain& w, const QString& chosen, const QString& extension) {
  return savePathFor(chosen, extension, w.msgBoxAsker());
}

void sayNotWritten(frmMain& w, const QString& tag) {
  ondrel::sayNotWritten(w.msgBoxAsker(), tag);
}

// "-Channel2" on a two-channel panel's dialog title, "-2" on its proposed name.
void addChannel(const DeviceSlot& slot, int c, QString& title, QString& name) {
  if (!slot.dev2S())
    return;
  title += QStringLiteral("-Channel") + QString::number(c + 1);
  name += QLatin1Char('-') + QString::number(c + 1);
}

const QString kParameterFilter = QStringLiteral("config file(*.cfg)|*.cfg");
const QString kParameterExtension = QStringLiteral("cfg");

// The parameter entries are for a connected, identified device whose shown channel is idle.
bool parametersUsable(const DeviceSlot& slot, int c) {
  return slot.state().connected() && slot.params().ModelCode != 0 && !slot.ch(c).ChnRunning;
}

// Why a box may not take `value` from a file, as it would refuse it typed; nothing when it may.
std::optional<QString> boxRefusal(const DeviceSlot& slot, int c, ParameterKey key,
                                  const QString& value) {
  const int mode = slot.ch(c).ModeNo;
  const ParamView& view = slot.state().at(c).view.params;
  const bool enabled = key == ParameterKey::Sval ? view.SvalEnable : view.SlmtEnable;
  if (!enabled)
    return LangText(QStringLiteral("This mode takes no value here."));
  const std::optional<BoxRefusal> refusal = key == ParameterKey::Sval
                                                ? checkSval(slot.params(), mode, value)
                                                : checkSlmt(slot.params(), mode, value);
  if (refusal)
    return refusal->message;
  return std::nullopt;
}

} // namespace

void SaveDataCommand(frmMain& w) {
  const DeviceSlot& slot = w.slot(w.SelectedSlot());
  const int c = slot.panelChannel();
  if (slot.ch(c).ChnRunning)
    return;
  const bool csv = w.prefs().CSV;
  QString title = LangText(QStringLiteral("Save Data--Device") + QString::number(slot.index() + 1));
  QString name = dataFileStem(QDateTime::currentDateTime(), slot.deviceName(c), slot.index(), c);
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

void SaveParameter(frmMain& w) {
  const DeviceSlot& slot = w.slot(w.SelectedSlot());
  const int c = slot.panelChannel();
  if (!parametersUsable(slot, c))
    return;
  QString title =
      LangText(QStringLiteral("Save Parameter--Device") + QString::number(slot.index() + 1));
  QString name = parameterFileStem(QDateTime::currentDateTime(), slot.deviceName(c));
  addChannel(slot, c, title, name);
  const QString chosen = w.chooseFile(true, title, kParameterFilter, name, kParameterExtension);
  if (chosen.isEmpty())
    return;
  const QString path = finalSavePath(w, chosen, kParameterExtension);
  if (path.isEmpty())
    return;
  const DevCtrl& p = slot.panel();
  try {
    writeTextFile(path, parameterFileLines({slot.deviceName(0), slot.graph().TitleText(),
                                            p.tSval(c), p.tSlmt(c), p.tTime(c)}));
  } catch (...) {
    sayNotWritten(w, QStringLiteral("ErrSaveCfg"));
  }
}

void OpenParameter(frmMain& w) {
  DeviceSlot& slot = w.slot(w.SelectedSlot());
  if (!parametersUsable(slot, slot.panelChannel()))
    return;
  const QString path = w.chooseFile(false, LangText(QStringLiteral("Open Parameter")),
                                    kParameterFilter, QString(), QString());
  if (path.right(3) != kParameterExtension)
    return;
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly))
    throw Failure(QStringLiteral("Cannot open %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString()));
  const QByteArray bytes = file.readAll();
  if (file.error() != QFileDevice::NoError)
    throw Failure(QStringLiteral("Cannot read %1: %2")
                      .arg(QDir::toNativeSeparators(path), file.errorString()));
  file.close();

  const ParameterFileContent content = parseParameterFile(bytes, slot.deviceName(0));
  DevCtrl& p = slot.panel();
  QStringList refused;
  for (const ParameterSetting& s : content.settings) {
    const int c = slot.panelChannel();
    switch (s.key) {
    case ParameterKey::Title:
      slot.graph().setTitleText(s.value);
      break;
    case ParameterKey::Time:
      p.setTTime(c, s.value);
      break;
    case ParameterKey::Sval:
    case ParameterKey::Slmt:
      if (const std::optional<QString> why = boxRefusal(slot, c, s.key, s.value)) {
        refused << LangText(QStringLiteral("Line %1").arg(s.line)) + QStringLiteral(" \"") +
                       s.text + QStringLiteral("\": ") + *why;
      } else if (s.key == ParameterKey::Sval) {
        p.setTSval(c, s.value);
      } else {
        p.setTSlmt(c, s.value);
      }
      break;
    }
  }
  if (!refused.isEmpty())
    w.MsgBox(QMessageBox::Critical,
             LangText(QStringLiteral("These lines of the parameter file were not applied:")) +
                 QLatin1Char('\n') + refused.join(QLatin1Char('\n')));
}

void WriteDataFile(const DeviceSlot& slot, int c, const QString& path) {
  // Points and results from the channel's series and result row; the title is the user's.
  writeChannelDataFile(slot.state(), c, path, fileOptions(slot));
}

QString saveDataFileAtTestEnd(const DeviceSlot& slot, int c, const QDateTime& now) {
  return writeEndOfTestFile(slot.state(), slot.index(), c, programFolder(), fileOptions(slot), now);
}

QString saveBdfFileAtTestEnd(const DeviceSlot& slot, int c) {
  return writeBatteryDataFormatFile(slot.state(), c, programFolder(),
                                    channelTestStart(slot.state(), c), slot.temperatureShown());
}

namespace {

// The results sheet of a channel's test: what its catalogue row says.
ExportResults exportResultsOf(const DeviceSlot& slot, int c) {
  TestEnd end;
  end.ended = QDateTime::currentDateTime();
  const TestRecord r = recordOfChannel(slot.state(), c, end, slot.temperatureShown());
  ExportResults results;
  results.device = r.model + QLatin1Char(' ') + r.port +
                   (slot.dev2S() ? QStringLiteral(" channel %1").arg(c + 1) : QString());
  results.mode = r.mode;
  QStringList parameters;
  const auto add = [&](const char* name, const std::optional<double>& v) {
    if (v)
      parameters << QStringLiteral("%1 %2").arg(QLatin1String(name)).arg(*v);
  };
  add("set", r.setValue);
  add("limit", r.limitValue);
  add("time", r.timeValue);
  results.parameters = parameters.join(QStringLiteral(", "));
  results.beginVolt = r.beginV;
  results.endVolt = r.endV;
  results.averageVolt = r.avgV;
  results.capacityAh = r.capacityAh;
  results.energyWh = r.energyWh;
  results.resistanceMilliohm = r.resistanceMohm;
  return results;
}

const QString kExportFilter =
    QStringLiteral("Battery Data Format CSV (*.bdf.csv)|*.bdf.csv|Excel workbook (*.xlsx)|*.xlsx");

} // namespace

void ExportDataCommand(frmMain& w) {
  const DeviceSlot& slot = w.slot(w.SelectedSlot());
  const int c = slot.panelChannel();
  const QDateTime start = channelTestStart(slot.state(), c);
  if (!start.isValid()) {
    w.MsgBox(QMessageBox::Information, LangText(QStringLiteral("There are no data to export.")));
    return;
  }
  const ExportTest test = exportTestOf(slot.state(), c, start, slot.temperatureShown());
  QString title = LangText(QStringLiteral("Export Data--Device") + QString::number(slot.index() + 1));
  QString unused;
  addChannel(slot, c, title, unused);
  const QString chosen = w.chooseFile(true, title, kExportFilter,
                                      exportFileStem(test) + QStringLiteral(".bdf.csv"),
                                      QStringLiteral("bdf.csv"));
  if (chosen.isEmpty())
    return;
  const bool xlsx = chosen.endsWith(QLatin1String(".xlsx"), Qt::CaseInsensitive);
  QString path = chosen;
  // A name typed without an extension gets the CSV's; the dialog did not ask about that name.
  if (!xlsx && !chosen.endsWith(QLatin1String(".csv"), Qt::CaseInsensitive)) {
    path = chosen + QStringLiteral(".bdf.csv");
    if (QFileInfo::exists(path) &&
        w.MsgBox(QMessageBox::Information,
                 QDir::toNativeSeparators(path) + QLatin1Char('\n') +
                     LangText(QStringLiteral("This file already exists. Replace it?")),
                 QMessageBox::Ok | QMessageBox::Cancel) != QMessageBox::Ok)
      return;
  }
  try {
    if (xlsx)
      writeXlsx(path, test, exportResultsOf(slot, c));
    else
      writeFileAtomically(path, batteryDataFormatCsv(test));
  } catch (...) {
    sayNotWritten(w, QStringLiteral("ErrExport"));
  }
}

} // namespace ondrel
