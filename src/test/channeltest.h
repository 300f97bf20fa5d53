#pragma once

#include "data/recording.h"
#include "test/slotmodel.h"

#include <QDateTime>
#include <QString>

namespace ondrel {

// What beginning, continuing and ending a channel's test does to its model and its files, shared
// by the window's panel and the command-line runner, so that either can take over a test the
// other began.

// The path (without ".bak") of channel c's recording in the program folder `folder`; `slot` is
// the slot's index (0 for "Device1").
QString channelRecordingPath(const SlotModel& m, const QString& folder, int slot, int c);

// Creates the channel's recording at `path` with the header of its result row and keeps the path
// in RecPath. Throws Failure when the file cannot be written; RecWriteFailed then says so and the
// test goes on (its data file still comes from the series).
void createChannelRecording(SlotModel& m, int c, const QString& path, bool withTemperature);

// Appends the channel's present sample to its recording. `lastLineWhole` is the path this caller
// last appended to completely (emptied, then set again on success), so that the file's end is read
// only when another writer may have cut a line short. Throws Failure.
void appendChannelSample(SlotModel& m, int c, bool withTemperature, QString& lastLineWhole);

// The recording's end line; nothing when the channel has no recording or its writing failed.
// Throws Failure.
void endChannelRecording(const SlotModel& m, int c, const QDateTime& when);

// Replays a recording read back from `path` into the channel: sums, series, result row, counters
// and the fitted axes, as Continue takes them. The recording becomes the channel's (RecPath).
void replayIntoChannel(SlotModel& m, int c, const QString& path, const RecordingContent& content,
                       qint64 nowMs, bool scaleFromValues);

// A channel's data file as the end-of-test save and "Save Data" write it: the series and result
// row, the step program's rows when the curves are a finished program's.
struct ChannelFileOptions {
  QString title;               // the graph's title
  bool csv = false;            // "CSV"
  bool withTemperature = false;
  bool stepRunning = false;    // a program still running lists no step rows yet
};
void writeChannelDataFile(const SlotModel& m, int c, const QString& path,
                          const ChannelFileOptions& options);

// The end-of-test data file in "<folder>/Data", named by the time and device; the folder is made
// again when it is gone. Answers the path; throws Failure when it cannot be written.
QString writeEndOfTestFile(const SlotModel& m, int slot, int c, const QString& folder,
                           const ChannelFileOptions& options, const QDateTime& now);

} // namespace ondrel

namespace ondrel {
struct ExportTest;
// The channel's test (from its start point) as the exporters take it, begun at `start`;
// `thirdIsTemperature`: the series' third value is the temperature ("TEMP" on a model with one).
ExportTest exportTestOf(const SlotModel& m, int c, const QDateTime& start,
                        bool thirdIsTemperature);
// When channel c's test began: its first sample's arrival less that sample's test second (which
// holds for samples replayed from a recording too); invalid when the test has no samples.
QDateTime channelTestStart(const SlotModel& m, int c);
// The channel's test as Battery Data Format CSV in "<folder>/Data", named by its start (a name
// already taken gets a number). Answers the path; throws Failure when it cannot be written.
QString writeBatteryDataFormatFile(const SlotModel& m, int c, const QString& folder,
                                   const QDateTime& start, bool thirdIsTemperature);
} // namespace ondrel
