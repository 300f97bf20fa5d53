#pragma once

#include "link/frame.h"
#include "link/modeltable.h"
#include "link/receiver.h"
#include "link/reportdecode.h"
#include "test/slotmodel.h"

#include <QString>

#include <functional>
#include <optional>
#include <vector>

namespace ondrel {

// What handling one report asks of the slot beyond its model, in the order it is due.
struct SlotEffect {
  enum class Kind {
    Heard,            // a report passed its checks
    Connected,        // identification complete: the connect command stops repeating
    Identified,       // `id`: the layout, mode list, tabs, menus and name of the model
    ParamsDue,        // the channel's parameters (model view) go to the panel
    ButtonsIdle,      // the run buttons of the shown channel become idle
    ButtonsRunning,   // ... running
    CalibButtons,     // `flag`: the calibration buttons of an idle (true) or running channel
    ModesDue,         // an info report replaced the mode list (the channel's mode reselected)
    NameDue,          // an info report named the device (`text`)
    RecordingRenamed, // the channel's recording follows the new name
    ResistanceDrop,   // `value`: the voltage drop of a resistance test
    TestAdopted,      // a running test this program did not begin: the caller reads its recording
    ClocksChanged,    // the channel's clocks started or ended
    SampleRejected,   // the sample is beyond the model's ranges (logged, not shown)
    SampleShown,      // readouts of the channel
    ResultRowDue,     // mode and average voltage columns of a running channel
    PointsAdded,      // `count` samples appended to the series (graph and axes follow)
    RecordingLineDue, // `text`: a line for the channel's recording
    CapEnergyDue,     // capacity and energy columns
    ChannelUpdated,   // the sample was shown everywhere in the slot
    UpdateFailed,     // `text`: why the live update failed (logged)
    RecordingEndDue,  // the recording gets its end line
    DataFileDue,      // the end-of-test data file is written (from the model as it is now)
    TestEnded,        // the channel is idle again (graph back to its size)
    Finished,         // the device ended the test; `text` is the notice to show, or empty
  };
  SlotEffect(Kind k, int c = 0) : kind(k), channel(c) {}

  Kind kind;
  int channel = 0;
  bool flag = false;
  float value = 0.0f;
  int count = 0;
  QString text;
  std::optional<Identification> id;
};

// What a report step is told besides the report: the time and what the slot's window and other
// features decide.
struct ReportInputs {
  qint64 ms = 0;                // the slot's clock when the report arrived
  int shownChannel = 0;         // the channel the panel's channel choice names
  bool temperatureData = false; // "Temprature Data": the third curve shows the temperature
  bool scaleFromValues = false; // axes start at the first values, else at the graph's ranges
  bool saveAtEnd = false;       // "SAVE": a data file at the end of every test
  bool autoRunning = false;
  bool stepRunning = false;
};

// Handles one report over a slot model: decodes it, identifies the device, counts info reports,
// adopts a running test, finishes one, updates the channel's values, series and clocks, and
// answers what the slot must do beyond the model, in order.
//
// Some effects feed back into the model before the report is done (an adopted test replays its
// recording; a renamed recording changes its path): a slot that applies effects gives a sink,
// which hears each effect the moment it is due and may change the model before the step goes on.
// Without a sink the effects are answered as a list.
class ReportStep {
public:
  using Sink = std::function<void(const SlotEffect&)>;

  ReportStep(SlotModel& model, Sink sink = {}) : m(model), m_sink(std::move(sink)) {}

  struct Result {
    ReportAction action = ReportAction::Continue;
    std::vector<SlotEffect> effects;
  };
  // One report body. A firmware version beyond 16 bits throws Failure; the effects heard until
  // then stay applied.
  Result take(const RecBody& body, const ReportInputs& in);

  // The live update of a channel from its values: readouts, result row, series, recording.
  // Also what a report step runs for every report.
  void UpdateChannel(int c);
  // The channel's parameters from the model into its view (ParamsDue).
  void ShowParams(int c);

private:
  void emitEffect(SlotEffect e);
  void emitEffect(SlotEffect::Kind kind, int c) { emitEffect(SlotEffect(kind, c)); }
  void emitFlag(SlotEffect::Kind kind, int c, bool flag);
  ReportAction IdentifyDevice(int c, const RecBody& body);
  void ApplyInfoReport(int c, const RecBody& body);
  bool adoptTest(int c, const ReportFields& f, const RecBody& body);
  void adoptPendingTests();
  void finishTest(int c, bool& endMessage);
  void showConnected(int c, bool reportRunning);
  float ThirdValue(int c) const;

  SlotModel& m;
  Sink m_sink;
  ReportInputs m_in;
  std::vector<SlotEffect>* m_effects = nullptr;
};

// The axes fitted to the model's extremes and curve end, into the model's graph ranges.
void fitAxes(SlotModel& model);
// A point of channel c's curves (values as measured; voltage, current and third value are
// rounded as the curves hold them): widens the axis extremes, adds to the voltage sum and
// appends to the series.
void addCurvePoint(SlotModel& model, int c, const Sample& point, bool scaleFromValues);
// The channel's parameter view from the model (false, and nothing changed, without a device),
// with its capacity and energy texts.
bool showChannelParams(SlotModel& model, int c);
// The channel's capacity and energy texts of the result row.
void showCapEnergy(SlotModel& model, int c);

// A channel's curves emptied; a one-channel slot empties channel 1's as well.
void clearChannelSeries(SlotModel& model, int c);
// What a test's start resets: the curves and curve clock (unless a step program goes on), the
// axis extremes (unless the other channel draws), the test clock, the sums, and the start point.
// `limit` and `set` are the boxes' values.
struct TestStart {
  bool stepRunning = false;
  bool scaleFromValues = false;
  double limit = 0.0;
  double set = 0.0;
};
void prepareTest(SlotModel& model, int c, const TestStart& start);
// The result row of a test begun now: its begin voltage, no cutoff yet, and the mode column
// from the channel's view.
void showTestRow(SlotModel& model, int c, const QString& beginVolt);
// The mode column: mode, set value and limit with their units.
QString modeColumn(const SlotModel& model, int c);

} // namespace ondrel
