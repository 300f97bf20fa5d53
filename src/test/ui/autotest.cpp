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
    p.AutoListClr();
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
  if (m_slot.channel(chn).ChnRunning || p.StepTmrEnable()) {
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
  p.AutoListClr();
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
  p.setTAutoList(1, Format(cur, u"0.00"));
  p.setTAutoList(2, Format(volt, u"0.00"));
  p.setTAutoList(3, Format(volt * cur, u"0.0"));
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
  const DevCtrl& p = m_slot.panel();
  std::vector<QStringList> rows;
  for (int r = 0; r < p.AutoRunCnt() && !p.tAutoRun(r, 1).isEmpty(); ++r)
    rows.push_back({p.tAutoRun(r, 0), p.tAutoRun(r, 1), p.tAutoRun(r, 2)});
  const int channelShown = p.chn().toInt();
  try {
    writeTextFile(path, autoResultLines(LangText(QStringLiteral("Device")),
                                        m_slot.slotModel().at(channelShown).row.device, rows,
                                        csv ? QStringLiteral(",") : QStringLiteral("\t")));
  } catch (...) {
    sayNotWritten(ask, QStringLiteral("ErrSaveResult"));
  }
}

void AutoTestController::AutoRunDblClick() {
  if (m_running)
    return;
  const DevCtrl& p = m_slot.panel();
  std::vector<QStringList> rows;
  for (int r = 0; r < p.AutoRunCnt() && !p.tAutoRun(r, 1).isEmpty(); ++r)
    rows.push_back({p.tAutoRun(r, 0), p.tAutoRun(r, 1), p.tAutoRun(r, 2), p.tAutoRun(r, 3)});
  m_slot.showFullAutoList(rows);
}

} // namespace ondrel
