#include "test/ui/autotest.h"

#include "data/datafile.h"
#include "data/recording.h"
#include "data/slotlayout.h"
#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/numberformat.h"
#include "data/textfile.h"
#include "link/commands.h"
#include "test/singletest.h"
#include "test/ui/devctrl.h"
#include "test/ui/filesave.h"
#include "test/ui/singletest.h"
#include "test/ui/slotcontext.h"
#include "widgets/curvegraph.h"

namespace ondrel {

AutoTestController::AutoTestController(SlotContext& slot, QObject* parent)
    : QObject(parent), m_slot(slot) {}

void AutoTestController::InitAutoPage() {
  logFailures(QStringLiteral("ErrAutoInit"), [&] {
    DevCtrl& p = m_slot.panel();
    const AutoPageLists l = autoPageLists(m_slot.model());
    p.AutoC1Clr();
    p.AutoC2Clr();
    p.AutoStepClr();
    p.AutoTimeClr();
    for (const QString& a : l.currents) {
      p.AutoC1Add(a);
      p.AutoC2Add(a);
    }
    for (const QString& s : l.steps)
      p.AutoStepAdd(s);
    p.setTAutoC1(l.current);
    p.setTAutoC2(l.current);
    p.setTAutoStep(l.step);
    for (const QString& t : l.times)
      p.AutoTimeAdd(t);
    p.setTAutoTime(l.time);
    p.AutoModeClr();
    p.AutoModeAdd(LangText(QStringLiteral("D-CC")));
    p.setTAutoMode(LangText(QStringLiteral("D-CC")));
    p.setTAutoVol(Format(numberFromText(p.tAutoVol()), u"0.00"));
    clearRows();
  });
}

void AutoTestController::StartAutoClick() {
  logFailures(QStringLiteral("ErrAutoClick"), [&] {
    if (m_running)
      stopAuto();
    else
      startAuto();
  });
}

void AutoTestController::stopAuto() {
  DevCtrl& p = m_slot.panel();
  p.setAutoTmrEnable(false);
  p.setTSval(m_chn, Format(m_stepper.AutoCur(), u"0.00"));
  m_slot.noteUserStop(m_chn);
  m_slot.singleTest().StopClick(m_chn);
  p.setAutoCmd(LangText(QStringLiteral("Start")));
  m_running = false;
}

void AutoTestController::startAuto() {
  DevCtrl& p = m_slot.panel();
  const int chn = p.chn().toInt();
  if (p.ModeCnt() < 1)
    return;
  // The whole page first: one that cannot make a test starts nothing and sends nothing.
  const AutoStartCheck check = checkAutoStart(
      m_slot.model(), {p.tAutoC1(), p.tAutoC2(), p.tAutoStep(), p.tAutoTime(), p.AutoOptSec()});
  if (check.refusal) {
    m_slot.ask(QMessageBox::Critical, *check.refusal, QMessageBox::Ok);
    return;
  }
  const AutoSettings& settings = check.settings;
  // The channel belongs to one test at a time.
  if (m_slot.channel(chn).ChnRunning || m_slot.StepProgramOn()) {
    m_slot.ask(QMessageBox::Critical, LangText(QStringLiteral("Please stop other test first")),
               QMessageBox::Ok);
    return;
  }

  p.setTMode(p.ModeTxt(0));
  ChannelData& d = m_slot.channel(chn);
  if (d.ModeNo != 0) {
    d.ModeNo = 0;
    m_slot.singleTest().ShowParams(chn); // the captions of D-CC
  }
  p.setTSval(chn, Format(settings.startCurrent, u"0.00"));
  p.setTSlmt(chn, p.tAutoVol());
  p.setTStim(chn, QStringLiteral("0"));
  if (!m_slot.singleTest().RunClick(chn))
    return; // refused with its message

  m_chn = chn;
  m_stepper.start(settings.startCurrent, settings.stopCurrent, settings.step, settings.interval);
  p.setAutoTmrEnable(true);
  p.setAutoCmd(LangText(QStringLiteral("Stop")));
  clearRows();
  m_running = true;
  m_slot.graph().setYStep(true);
}

void AutoTestController::AutoTimer() {
  logFailures(QStringLiteral("ErrAutoTimer"), [&] {
    if (!m_running)
      return;
    DevCtrl& p = m_slot.panel();
    const AutoReading reading{m_slot.channel(m_chn).ChnRunning,
                              static_cast<float>(boxValue(p.tCur(m_chn)))};
    for (const AutoAction& a : m_stepper.tick(reading)) {
      switch (a.kind) {
      case AutoAction::SetCurrent:
        m_slot.RemoteSet(m_chn, a.current);
        break;
      case AutoAction::WriteRow:
        writeRow();
        break;
      case AutoAction::NextRow:
        p.AutoListAdd();
        ++m_slot.slotModel().autoRow;
        break;
      case AutoAction::Finish:
        finish();
        break;
      case AutoAction::StopChannel:
        m_slot.singleTest().StopClick(m_chn);
        break;
      }
    }
  });
}

void AutoTestController::writeRow() {
  DevCtrl& p = m_slot.panel();
  const double cur = boxValue(p.tCur(m_chn));
  const double volt = boxValue(p.tVol(m_chn));
  const QStringList cells = {Format(cur, u"0.00"), Format(volt, u"0.00"),
                             Format(volt * cur, u"0.0")};
  SlotModel& m = m_slot.slotModel();
  while (int(m.autoResults.size()) <= m.autoRow)
    m.autoResults.push_back(QStringList(4, QString()));
  QStringList& row = m.autoResults[size_t(m.autoRow)];
  row[0] = QString::number(m.autoRow);
  for (int col = 1; col <= 3; ++col) {
    p.setTAutoList(col, cells[col - 1]);
    row[col] = cells[col - 1];
  }
}

void AutoTestController::clearRows() {
  m_slot.panel().AutoListClr();
  SlotModel& m = m_slot.slotModel();
  m.autoResults = {autoResultHeadings()};
  m.autoRow = 1;
}

std::vector<QStringList> AutoTestController::rows(int columns) const {
  // The heading row and every written row, as far as the rows go without a gap.
  std::vector<QStringList> out;
  for (const QStringList& row : m_slot.slotModel().autoResults) {
    if (row.value(1).isEmpty())
      break;
    out.push_back(row.mid(0, columns));
  }
  return out;
}

void AutoTestController::autoOff() {
  DevCtrl& p = m_slot.panel();
  p.setAutoTmrEnable(false);
  p.setAutoCmd(LangText(QStringLiteral("Start")));
  m_running = false;
}

void AutoTestController::finish() {
  autoOff();
  ChannelData& d = m_slot.channel(m_chn);
  if (d.ChnRunning)
    return; // the device's idle report ends the channel's timers
  m_slot.slotModel().changeClocks(m_chn, ClockChange::Ends);
  m_slot.showClocks();
  d.StartPoint = 0;
}

void AutoTestController::linkClosed() {
  if (m_running)
    autoOff();
}

void AutoTestController::SaveClick() {
  const bool csv = m_slot.prefs().CSV;
  const QString extension = dataFileExtension(csv);
  const QString chosen = m_slot.chooseFile(true, LangText(QStringLiteral("Save Result")),
                                           dataFileFilter(csv), QString(), extension);
  if (chosen.isEmpty())
    return;
  const MessageAsker ask = m_slot.asker();
  const QString path = savePathFor(chosen, extension, ask);
  if (path.isEmpty())
    return;
  const int channelShown = m_slot.panel().chn().toInt();
  try {
    writeTextFile(path, autoResultLines(LangText(QStringLiteral("Device")),
                                        m_slot.slotModel().at(channelShown).row.device, rows(3),
                                        csv ? QStringLiteral(",") : QStringLiteral("\t")));
  } catch (...) {
    sayNotWritten(ask, QStringLiteral("ErrSaveResult"));
  }
}

void AutoTestController::AutoRunDblClick() {
  if (m_running)
    return;
  m_slot.showFullAutoList(rows(4));
}

} // namespace ondrel
