#include "test/ui/steptest.h"

#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/textfile.h"
#include "test/stepfile.h"
#include "test/ui/devctrl.h"
#include "test/ui/filesave.h"
#include "test/ui/frmstep.h"
#include "test/ui/singletest.h"
#include "test/ui/slotcontext.h"
#include "widgets/curvegraph.h"

#include <QFile>
#include <QPointer>

namespace ondrel {

StepController::StepController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

void StepController::programStarted() {
  m_slot.channel(0).StepCurves = true;
}

void StepController::connectPanel() {
  DevCtrl& p = m_slot.panel();
  connect(&p, &DevCtrl::StartStepClick, this, &StepController::StartStepClick);
  connect(&p, &DevCtrl::StepTimer, this, &StepController::StepTimer);
  connect(&p, &DevCtrl::SetStepClick, this, &StepController::SetStepClick);
  connect(&p, &DevCtrl::ClearStepClick, this, &StepController::ClearStepClick);
  connect(&p, &DevCtrl::SaveStepClick, this, &StepController::SaveStepClick);
  connect(&p, &DevCtrl::OpenStepClick, this, &StepController::OpenStepClick);
}

StepTable StepController::table() const {
  const DevCtrl& p = m_slot.panel();
  StepTable t;
  for (int r = 0; r < kStepRows; ++r)
    t[r] = {p.tStepSet(r + 1, 1), p.tStepSet(r + 1, 2), p.tStepSet(r + 1, 3), p.tStepSet(r + 1, 4)};
  return t;
}

QStringList StepController::modes() const {
  const DevCtrl& p = m_slot.panel();
  QStringList list;
  for (int i = 0; i < p.ModeCnt(); ++i)
    list << p.ModeTxt(i);
  return list;
}

void StepController::refuse(const QString& message) {
  m_slot.ask(QMessageBox::Critical, message, QMessageBox::Ok);
}

void StepController::StartStepClick() {
  if (m_engine.StepOn()) {
    m_slot.noteUserStop(0);
    stopProgram();
  } else
    startProgram();
}

void StepController::setResult(int col, const QString& text) {
  m_slot.panel().setTStepList(col, text);
  SlotModel& m = m_slot.slotModel();
  while (int(m.stepResults.size()) <= m.stepRow)
    m.stepResults.push_back(QStringList(4, QString()));
  m.stepResults[size_t(m.stepRow)][col] = text;
}

bool StepController::StepOn() const {
  return m_engine.StepOn();
}

void StepController::programOff() {
  DevCtrl& p = m_slot.panel();
  m_engine.stop();
  m_running = false;
  for (int r = 1; r <= kColouredStepRows; ++r)
    p.setStepColor(r, kStepFaceColour);
  p.setStepTmrEnable(false);
  p.setStepCmd(LangText(QStringLiteral("Start")));
  p.setStepEnable(true);
}

void StepController::stopProgram() {
  programOff();
  ChannelData& d = m_slot.channel(0);
  if (m_slot.slotModel().buttons == RunButtons::Running)
    m_slot.singleTest().StopClick(0);
  else if (!d.ChnRunning)
    m_slot.singleTest().SetRunButtons(true); // the mode list, Monitor and menus the steps kept
  d.StartPoint = 0;
  m_slot.slotModel().changeClocks(0, ClockChange::Ends);
  m_slot.showClocks();
  // A channel still running saves the whole program at its coming idle report; an idle one
  // (the program's natural end, or a stop during a wait) saves it here. Each step's own file
  // was written as it ended.
  if (!d.ChnRunning && m_slot.prefs().SAVE && hasStepResults(m_slot.slotModel()))
    m_slot.saveDataFileNow(0);
  if (!d.ChnRunning)
    m_slot.programEnded();
}

void StepController::linkClosed() {
  if (m_engine.StepOn())
    programOff();
}

void StepController::startProgram() {
  DevCtrl& p = m_slot.panel();
  const StepTable t = table();
  if (t[0].empty())
    return;
  // The channel belongs to one test at a time.
  if (m_slot.channel(0).ChnRunning || m_slot.AutoRunning()) {
    refuse(LangText(QStringLiteral("Please stop other test first")));
    return;
  }
  if (const auto refusal = programRefusal(m_slot.model(), modes(), t)) {
    refuse(*refusal);
    return;
  }
  p.setStepTmrEnable(true);
  p.setStepCmd(LangText(QStringLiteral("Stop")));
  m_engine.start();
  m_running = false;
  p.setStepEnable(false);
  CurveGraph& g = m_slot.graph();
  for (int i = 0; i < g.CurveCount(); ++i)
    g.Clear(i);
  for (int c = 0; c < 2; ++c)
    m_slot.slotModel().clearSeries(c);
  p.StepListClr();
  SlotModel& m = m_slot.slotModel();
  m.stepResults = {stepResultHeadings()};
  m.stepRow = 1;
  programStarted();
}

void StepController::StepTimer() {
  if (!m_engine.StepOn())
    return;
  const ChannelData& d = m_slot.channel(0);
  try {
    const std::vector<StepAction> actions =
        m_engine.tick({d.ChnRunning, m_slot.slotModel().buttons == RunButtons::Running}, table(),
                      modes(), m_slot.model());
    for (const StepAction& a : actions)
      act(a);
    if (m_engine.StepOn())
      m_running = m_engine.StepRunning();
  } catch (...) {
    ErrLog(QStringLiteral("ErrStepTmrOn(%1 %2 %3)")
               .arg(m_slot.slotIndex())
               .arg(d.ChnRunning ? QStringLiteral("True") : QStringLiteral("False"))
               .arg(m_engine.StepPhase()),
           describeCurrentException());
  }
}

void StepController::act(const StepAction& a) {
  DevCtrl& p = m_slot.panel();
  ChannelData& d = m_slot.channel(0);
  switch (a.kind) {
  case StepAction::StopChannel:
    m_slot.singleTest().StopClick(0);
    break;
  case StepAction::ResultRow:
    setResult(0, a.text);
    setResult(1, a.mode);
    break;
  case StepAction::ResultValues:
    setResult(2, a.wait ? QStringLiteral("0") : stepResultText(d.Cap));
    setResult(3, a.wait ? QStringLiteral("0") : stepResultText(d.Energy));
    break;
  case StepAction::SetUpStep: {
    const StepRow& row = table()[a.row - 1];
    p.setTMode(row.mode);
    d.ModeNo = static_cast<qint16>(a.modeNo);
    m_slot.singleTest().ShowParams(0); // the mode's captions and units
    p.setTSval(0, row.set1);
    p.setTSlmt(0, row.set2);
    p.setTStim(0, row.cutoff);
    break;
  }
  case StepAction::PressStart:
    // Start stays disabled after a press until a report says the channel runs: a step the
    // device did not start gets an idle panel again before the next press.
    if (!p.RunEnable())
      m_slot.singleTest().SetRunButtons(true);
    m_slot.singleTest().ProgramRunClick(0);
    break;
  case StepAction::ColourRow:
    p.setStepColor(a.row, a.colour);
    break;
  case StepAction::NextResultRow:
    p.StepListAdd();
    ++m_slot.slotModel().stepRow;
    break;
  case StepAction::EndProgram:
    stopProgram();
    break;
  }
}

void StepController::SetStepClick() {
  // A window of the main window, so that closing the main window closes it too; it deletes
  // itself when closed.
  QPointer<frmStep> editor =
      new frmStep(m_slot.model(), m_slot.panel(), m_slot.asker(), m_slot.panel().window());
  editor->setAttribute(Qt::WA_DeleteOnClose);
  editor->show();
  waitUntilClosed([&editor] { return editor.isNull() || !editor->isVisible(); });
}

void StepController::ClearStepClick() {
  m_slot.panel().StepSetClr();
}

void StepController::SaveStepClick() {
  const MessageAsker ask = m_slot.asker();
  const QString extension = QLatin1String(kStepFileExtension);
  const QString chosen = m_slot.chooseFile(true, LangText(QStringLiteral("Save Step")),
                                           QLatin1String(kStepFileFilter), QString(), extension);
  if (chosen.isEmpty())
    return;
  QStringList lines;
  try {
    lines = stepFileLines(m_slot.model().ModelCode, table(), modes());
  } catch (...) {
    // A table with a mode this device does not have: nothing is written.
    const QString reason = describeCurrentException();
    ErrLog(QStringLiteral("ErrSaveStep"), reason);
    refuse(reason);
    return;
  }
  const QString path = savePathFor(chosen, extension, ask);
  if (path.isEmpty())
    return;
  try {
    writeTextFile(path, lines);
  } catch (...) {
    sayNotWritten(ask, QStringLiteral("ErrSaveStep"));
  }
}

void StepController::OpenStepClick() {
  const QString path = m_slot.chooseFile(false, LangText(QStringLiteral("Open Step")),
                                         QLatin1String(kStepFileFilter), QString(), QString());
  if (path.isEmpty() || path.right(3) != QLatin1String(kStepFileExtension))
    return;
  DevCtrl& p = m_slot.panel();
  p.StepSetClr();
  QFile file(path);
  if (!file.open(QIODevice::ReadOnly)) {
    ErrLog(QStringLiteral("ErrOpenStep"), path + QStringLiteral(": ") + file.errorString());
    refuse(LangText(QStringLiteral("The file could not be read.")) + QLatin1Char('\n') +
           file.errorString());
    return;
  }
  const StepFileRead read = readStepFile(file.readAll(), m_slot.model().ModelCode, modes());
  if (!read.sameModel) {
    ErrLog(QStringLiteral("ErrOpenStep"), path + QStringLiteral(": not a step file of model ") +
                                              QString::number(m_slot.model().ModelCode));
    return;
  }
  // Rows go in only as the step editor would let them in, and a program goes in whole or not
  // at all: a part of it would run another program than the file holds.
  if (const auto refusal = programRefusal(m_slot.model(), modes(), read.table)) {
    refuse(*refusal + QLatin1Char('\n') +
           LangText(QStringLiteral("The step file was not loaded.")));
    return;
  }
  // Up to the first empty row, as the program ends there.
  for (int r = 0; r < kStepRows && !read.table[r].empty(); ++r) {
    const StepRow& row = read.table[r];
    const QString cells[] = {row.mode, row.set1, row.set2, row.cutoff};
    for (int c = 0; c < 4; ++c)
      p.setTStepSet(r + 1, c + 1, cells[c]);
  }
}

} // namespace ondrel
