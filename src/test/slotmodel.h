#pragma once

#include "data/channeldata.h"
#include "data/datafile.h"
#include "data/liveupdate.h"
#include "link/modeltable.h"
#include "test/params.h"

#include <QString>
#include <QStringList>

#include <array>
#include <deque>
#include <optional>

namespace ondrel {

// How far a slot's link has come.
enum class LinkState {
  Disconnected,
  Probing,    // the port list was read for the slot; nothing is open
  Connecting, // the port is open and the connect command repeats until a report identifies
  Identified,
};

// What a slot's run buttons show.
enum class RunButtons { None, Idle, Running };

// One point of a channel's curves as the graph and the data files take it: when it arrived (the
// slot's clock, ms), the curve second the files count in, and the values as the curves hold them
// (rounded as the readouts show them).
struct Sample {
  qint64 ms = 0;
  qint32 sec = 0;
  float volt = 0.0f;
  float cur = 0.0f;
  float third = 0.0f;
  float ah = 0.0f;
  float wh = 0.0f;
  friend bool operator==(const Sample&, const Sample&) = default;
};

// The samples of a channel's curves. A deque grows without moving what it holds, so a 100-hour
// test (360 000 samples) never copies its series to append one more.
class SampleSeries {
public:
  void append(const Sample& s) { m_samples.push_back(s); }
  qint32 size() const { return static_cast<qint32>(m_samples.size()); }
  bool empty() const { return m_samples.empty(); }
  const Sample& at(qint32 i) const { return m_samples.at(static_cast<size_t>(i)); }
  const Sample& back() const { return m_samples.back(); }
  void clear() { m_samples.clear(); }

private:
  std::deque<Sample> m_samples;
};

// A channel's row of the result grid, device name to average voltage, with their units.
struct ResultRow {
  QString device, mode, beginVolt, cutoffVolt, capacity, energy, avgVolt;
  // The seven texts in the grid's column order.
  QStringList values() const {
    return {device, mode, beginVolt, cutoffVolt, capacity, energy, avgVolt};
  }
  // The text of a grid column, colDevice (0) to colAvgVolt (6).
  const QString& column(int column) const;
};

// What the panel shows for a channel's parameters. The set and limit texts are the user's once
// typed; the slot hands them over before each report so that the mode column repeats them.
struct ChannelView {
  ParamView params;
  QString voltText; // the voltage and current readouts as last shown
  QString curText;
};

// Everything a slot knows about one of its channels.
struct ChannelModel {
  ChannelData data; // live values, counters, ChnRunning, RecPath, StartPoint, StepCurves
  ResultRow row;
  ChannelView view;
  bool monitoring = false;   // "Monitor" draws the idle channel's curves
  bool adoptPending = false; // a running test waits for the device's name to be adopted
  // The channel's clocks: the curve clock counts CurveSec, the test clock TestSec.
  bool curveClock = false;
  bool testClock = false;
  SampleSeries series; // the curves of the present test (and of a monitor before it)

  // The test was begun (or continued) by this program: its row has a begin voltage.
  bool begunHere() const { return !row.beginVolt.isEmpty(); }
  // The begin voltage of the row when it is a number ("3.700V"), else nothing.
  std::optional<float> beginVoltage() const;
};

// The graph's visible ranges as last fitted or configured (Y index 0 voltage, 1 current, 2 third).
struct GraphRanges {
  float maxX = 0.0f;
  std::array<float, 3> minY{};
  std::array<float, 3> maxY{};
};

// How a channel's clocks change.
enum class ClockChange {
  TestStarts,    // a running test: both clocks
  MonitorStarts, // the curve clock only
  Ends,          // the test clock stops, the curve clock too unless a monitor still draws
};

// What one device slot knows, free of widgets: its link, the model parameters of its device, its
// channels with their results, series and clocks, the mode list and the axis bookkeeping. Its
// panel, result grid, info list and graph draw it.
struct SlotModel {
  SlotModel();

  LinkState link = LinkState::Disconnected;
  QString port; // the port's name since Connect ("COM3"), which recordings are named by
  ModelParams params;
  std::array<ChannelModel, 2> ch;
  bool Dev2S = false;
  QStringList modes; // as the mode list shows them
  QString modeText;  // the mode the list shows
  RunButtons buttons = RunButtons::None;
  AxisExtremes axes;
  qint32 CurveEnd = 0;
  qint32 InfoCount = 0; // info reports since Connect; a 100-hour session passes 32 767
  // A channel-0 report of a two-channel model has laid out the panel and graph since Connect.
  bool twoChannelLaidOut = false;
  GraphRanges ranges;
  // The step program's result rows (step, mode, capacity, energy) as its table shows them, the
  // heading row first; `stepRow` is the row the program writes next.
  std::vector<QStringList> stepResults;
  int stepRow = 1;
  // The auto test's rows (index, current, voltage, power), the heading row first, and the row it
  // writes next.
  std::vector<QStringList> autoResults;
  int autoRow = 1;

  ChannelModel& at(int c) { return ch.at(static_cast<size_t>(c)); }
  const ChannelModel& at(int c) const { return ch.at(static_cast<size_t>(c)); }
  bool connecting() const { return link == LinkState::Connecting; }
  bool connected() const { return link == LinkState::Connecting || link == LinkState::Identified; }
  bool anyRunning() const { return ch[0].data.ChnRunning || ch[1].data.ChnRunning; }
  // The device's name is known for good (and so its recordings' names).
  bool nameFinal() const;
  // The device name on the rows (row 2 only for a two-channel device).
  void setDeviceName(const QString& name);

  // The one place a channel's clocks start and end. `keepCurve` keeps the curve clock at the end
  // of a test (an automatic test goes on drawing between its rows).
  void changeClocks(int c, ClockChange change, bool keepCurve = false);
  // One second of the slot's clock: every running clock advances; a drawing channel moves the
  // curve end. Answers per channel whether its test clock counted.
  std::array<bool, 2> secondTick();
  // One second for one channel only (what `secondTick` does for each).
  bool secondTick(int c);

  // The channel's points and result row as a data file takes them (title, step rows and the
  // separator are the caller's).
  DataFileContent dataFileContent(int c, bool withTemperature) const;
  // Empties a channel's curves.
  void clearSeries(int c) { at(c).series.clear(); }
};

// The heading rows of the auto test's and the step program's result tables, as shown.
QStringList autoResultHeadings();
QStringList stepResultHeadings();

// The step program has written a result row (its first row names a mode).
bool hasStepResults(const SlotModel& m);
// The result rows that name a mode, the heading row first; none before a first result.
std::vector<QStringList> stepResultRows(const SlotModel& m);

} // namespace ondrel
