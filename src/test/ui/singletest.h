#pragma once

#include "data/recording.h"

#include <QObject>

#include <optional>

namespace ondrel {

class SlotContext;

// The single test of one slot: the panel's Start, Stop, Continue, Adjust and Monitor buttons,
// the recording of a running test, the presentation of a channel's mode and parameters, and the
// buttons' idle and running states. Window-wide effects leave as signals.
class SingleTestController : public QObject {
  Q_OBJECT

public:
  explicit SingleTestController(SlotContext& slot, QObject* parent = nullptr);

  // The user's Start: the channel's curves are no longer a step program's. False when the boxes
  // could not make the command (the user was told, nothing started).
  bool RunClick(int channel);
  // Start pressed by a step program: the same, and the curves stay the program's.
  bool ProgramRunClick(int channel);
  void StopClick(int channel);
  void SetClick(int channel);
  void ContClick(int channel);
  void MonitorClick(int channel);

  // A test found running on the device that this program did not begin: continues the
  // interrupted recording, or starts a new one.
  void adoptRunningTest(int channel);
  // At the device's end of a test: the recording gets its end line.
  void endRecording(int channel);
  // The device was named after the channel's recording began: the file takes the new name.
  void deviceRenamed(int channel);

  // Presents the channel's mode and parameters on the panel.
  void ShowParams(int channel);
  // The channel's parameter view of the model on the panel (and its row in the grid).
  void renderParams(int channel);
  // The user picked a mode: channel 0 (and channel 1 of a two-channel panel) take its defaults.
  void ModeClick();
  // The user left a parameter box of a channel, or the auto test's voltage box.
  void SvalChange(int channel);
  void SlmtChange(int channel);
  void StimChange(int channel);
  void VolAutoChange();
  // The panel's buttons for an idle or a running channel.
  void SetRunButtons(bool idle);

signals:
  // The continue action ran for a channel.
  void continueRequested(int channel);
  // The main menus that a running test locks: enabled or not, and the parameter-file entries.
  void mainMenusDue(bool enabled, bool parameterFiles);
  // The calibration window's buttons for an idle or running channel.
  void calibButtonsDue(bool idle);
  // A test runs but is not recorded (or no longer): the user should know why.
  void recordingProblem(int channel, const QString& reason);

private:
  // Start: false when the boxes cannot make the command (the user was told).
  bool startTest(int channel);
  // Start's PC side without the command: curves, axes, counters, grid row and recording.
  void prepareTest(int channel);
  void CreateRecording(int channel);
  // Whether the boxes make the command (a refusal is logged).
  bool canBuild(int channel, int operation);
  // Refuses a command the boxes cannot make, with the matching message; true when it can go.
  bool commandPossible(int channel, int operation);
  // Grid row of a started test: begin voltage, no cutoff yet, mode and parameters.
  void showTestRow(int channel, const QString& beginVolt);
  // The channel's five curves (and a one-channel panel's stale second block).
  void clearChannelCurves(int channel);
  void clearGraphCurves(int channel);
  std::optional<RecordingContent> readRecordingOf(int channel, const QString& path);
  // Rebuilds curves, grid and counters from the recording and sends the continue command.
  void replayRecording(int channel, const QString& path, const RecordingContent& content,
                       bool userAsked);
  QString recordingPath(int channel);
  // Shows a check's refusal first, then writes its corrected text.
  template <typename Check, typename Write> void checkBox(const Check& check, const Write& write);

  SlotContext& m_slot;
};

} // namespace ondrel
