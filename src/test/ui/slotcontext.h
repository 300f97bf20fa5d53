#pragma once

#include "data/channeldata.h"
#include "data/liveupdate.h"
#include "data/preferences.h"
#include "link/modeltable.h"
#include "test/slotmodel.h"
#include "test/ui/filesave.h"
#include "test/ui/messages.h"

#include <QStringList>

#include <vector>

namespace ondrel {

class CurveGraph;
class DevCtrl;
class SingleTestController;

// What a test feature's controller may use of its device slot: the slot's number, its model
// (what the slot knows: link, parameters, channels, results, series, clocks), the preferences,
// its widgets, the views drawn from the model and the commands it sends. The slot implements it;
// the controllers never see the slot or the main window.
class SlotContext {
public:
  virtual int slotIndex() const = 0;
  virtual SlotModel& slotModel() = 0;
  const ModelParams& model() { return slotModel().params; }
  ChannelData& channel(int c) { return slotModel().at(c).data; }
  virtual const Preferences& prefs() const = 0;
  virtual DevCtrl& panel() = 0;
  virtual CurveGraph& graph() = 0;
  virtual bool StepRunning() const = 0;
  // A step program is on, from its Start until it ends (StepRunning is its running phase only).
  virtual bool StepProgramOn() const = 0;
  virtual bool AutoRunning() const = 0;
  virtual bool temperatureShown() const = 0;

  // Views drawn from the model: a channel's result row, its monitor row, the clocks (the panel's
  // refresh timers and the slot's one-second tick).
  virtual void showRow(int c) = 0;
  virtual void showMonitor(int c) = 0;
  virtual void showClocks() = 0;
  // What the user typed into the mode list and the channel's set and limit boxes, taken into the
  // model once a command accepted it.
  virtual void takeTypedTexts(int c) = 0;

  // Start (1), Adjust (7) or Continue with the panel's texts of the channel; false when the
  // frame could not be built from them (nothing was sent).
  virtual bool SendStart(int c, int operation) = 0;
  virtual void SendStop(int c) = 0;
  // The channel's whole series onto its curves (a replayed recording), without redrawing.
  virtual void drawSeries(int c) = 0;
  // The axes fitted to the model and shown.
  virtual void FitAxes() = 0;
  // The channel's capacity and energy texts in the model and the result grid.
  virtual void ShowCapEnergy(int c) = 0;
  virtual void redrawGraph() = 0;
  // A new set current for the running test of channel c (the auto test).
  virtual void RemoteSet(int c, double current) = 0;
  // The slot's single-test rules, through which the auto test and the step program start and
  // stop the channel.
  virtual SingleTestController& singleTest() = 0;
  // The auto test's result rows shown full size over the panel and info list.
  virtual void showFullAutoList(const std::vector<QStringList>& rows) = 0;
  // The automatic data file of channel c, written now (a step program's whole run).
  virtual void saveDataFileNow(int c) = 0;
  // The user stopped channel c's test (Stop, or the auto test's or the program's own Stop): the
  // test history says so.
  virtual void noteUserStop(int c) = 0;
  // A step program ended with its channel idle: its row of the test history.
  virtual void programEnded() = 0;
  virtual QString chooseFile(bool save, const QString& title, const QString& filter,
                             const QString& name, const QString& defaultExt) = 0;
  virtual QMessageBox::StandardButton ask(QMessageBox::Icon icon, const QString& text,
                                          QMessageBox::StandardButtons buttons) = 0;

  // ask() as a MessageAsker, for what takes one.
  MessageAsker asker() {
    return [this](QMessageBox::Icon icon, const QString& text,
                  QMessageBox::StandardButtons buttons) { return ask(icon, text, buttons); };
  }

protected:
  ~SlotContext() = default;
};

} // namespace ondrel
