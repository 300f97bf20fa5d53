#include "data/ui/rescalcommands.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "data/support/pendingevents.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/ui/frmadj.h"
#include "test/resistance.h"
#include "test/ui/devctrl.h"
#include "test/ui/frmres.h"

#include <memory>

namespace ondrel {

void ResistanceTest(frmMain& w) {
  logFailures(QStringLiteral("ErrRes"), [&w] {
    // One window at a time: a second menu click finds the first still waiting.
    if (auto* open = w.findChild<frmRes*>()) {
      open->raise();
      return;
    }
    DeviceSlot& s = w.slot(w.SelectedSlot());
    const int c = s.panelChannel();
    if (const auto refusal = resistanceOpenRefusal(s.params(), s.ch(c).Volt)) {
      w.MsgBox(QMessageBox::Critical, *refusal);
      return;
    }
    ResChannel link{
        [&s]() -> const ModelParams& { return s.params(); },
        [&s, c] { return s.ch(c).ChnRunning; },
        [&s, c] { return s.ch(c).Volt; },
        [&s, c](const QString& mA) { s.SendResistanceTest(c, mA); },
    };
    auto window =
        std::make_unique<frmRes>(s.index(), c, s.dev2S(), std::move(link), w.msgBoxAsker(), &w);
    // The drop of this slot only: the window itself keeps only its channel's, while it waits.
    QObject::connect(&s, &DeviceSlot::resistanceDropSeen, window.get(), &frmRes::dropSeen);
    QObject::connect(window.get(), &frmRes::measured, &s,
                     [&s, c](double mohm, int mA) { s.recordResistance(c, mohm, mA); });
    w.setSlotTabsEnabled(false);
    showAndWaitUntil(window.get(), &frmRes::closed);
    w.setSlotTabsEnabled(true);
  });
}

void ParameterCalibration(frmMain& w) {
  if (w.findChild<frmAdj*>())
    return;
  w.MsgBox(QMessageBox::Information, LangText(QStringLiteral("Calibrate Parameter?")));
  DeviceSlot& s = w.slot(w.SelectedSlot());
  const int c = s.panelChannel();
  AdjChannel link{
      [&s, c] { return s.voltageText(c); },
      [&s, c] { return s.currentText(c); },
      [&s, c](int point, int value) {
        logFailures(QStringLiteral("ErrAdj"), [&] { s.SendCalibration(c, point, value); });
      },
  };
  auto* window =
      new frmAdj(s.index(), c, s.dev2S(), s.params(), std::move(link), w.msgBoxAsker(), &w);
  window->setAttribute(Qt::WA_DeleteOnClose);
  window->SetCalibButtons(!s.ch(c).ChnRunning);
  // Only the calibrated slot moves the buttons; its channel cannot change while the window is open.
  QObject::connect(&s, &DeviceSlot::calibButtonsDue, window, &frmAdj::SetCalibButtons);
  QObject::connect(window, &frmAdj::closed, &w, [&w, &s] {
    w.setCalibrationOpen(false);
    w.setSlotTabsEnabled(true);
    s.panel().setChnEnable(true);
  });
  w.setSlotTabsEnabled(false);
  s.panel().setChnEnable(false);
  window->show();
  w.setCalibrationOpen(true);
}

} // namespace ondrel
