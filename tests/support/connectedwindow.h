#pragma once

#include "data/slotlayout.h"
#include "data/ui/deviceslot.h"
#include "data/ui/frmmain.h"
#include "link/memoryport.h"
#include "support/deviceslotprobe.h"
#include "support/reportbuilder.h"
#include "support/tempfolder.h"
#include "test/ui/devctrl.h"

#include <QAction>
#include <QList>
#include <QStringList>

#include <gtest/gtest.h>

#include <memory>

namespace ondrel::testing {

// A file dialog the window opened, and what it was given.
struct DialogCall {
  bool save = false;
  QString title, filter, name, defaultExt;
};

// A main window in a fresh program folder whose slot 0 is connected on memory port 2 to an idle
// device of `model` (both channels of a two-channel one). Message boxes are answered with
// `answer` and kept in `messages`; file dialogs are answered with `dialogAnswer` and kept in
// `dialogs`.
class ConnectedWindow : public ::testing::Test {
protected:
  TempProgramFolder home;
  MemoryPorts* ports = nullptr;
  std::unique_ptr<frmMain> window;
  QStringList messages;
  QMessageBox::StandardButton answer = QMessageBox::Ok;
  QList<DialogCall> dialogs;
  QString dialogAnswer;
  int model = 12;

  void SetUp() override { open(12); }

  void open(int code) {
    model = code;
    auto p = std::make_unique<MemoryPorts>();
    ports = p.get();
    ports->line(2);
    window = std::make_unique<frmMain>(std::move(p));
    window->ask = [this](QMessageBox::Icon, const QString& text, QMessageBox::StandardButtons) {
      messages << text;
      return answer;
    };
    window->chooseFile = [this](bool save, const QString& title, const QString& filter,
                                const QString& name, const QString& defaultExt) {
      dialogs << DialogCall{save, title, filter, name, defaultExt};
      return dialogAnswer;
    };
    emit slot().panel().ConnClick();
    feed(idle(model, 4100));
    if (slot().dev2S())
      feed(idle(model, 4100, 1));
  }
  DeviceSlot& slot() { return window->slot(0); }
  DevCtrl& panel() { return slot().panel(); }
  ChannelData& channel(int c) { return DeviceSlotProbe::channel(slot(), c); }
  void feed(const Report& r) { slot().receive(r.wire()); }
  void trigger(const char* action) { window->action(QLatin1String(action))->trigger(); }

  static Report idle(int model, int volt, int channel = 0) {
    Report r;
    r.model = model, r.volt = volt, r.channel = channel;
    return r;
  }
  static Report running(int model, int volt, int cur, int channel = 0) {
    Report r = idle(model, volt, channel);
    r.state = 1, r.cur = cur, r.set = 100, r.limit = 300;
    return r;
  }
  void typeParams(const QString& sval, const QString& slmt, const QString& stim, int c = 0) {
    panel().setTSval(c, sval);
    panel().setTSlmt(c, slmt);
    panel().setTStim(c, stim);
  }
};

} // namespace ondrel::testing
