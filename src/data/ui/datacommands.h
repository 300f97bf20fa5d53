#pragma once

#include <QDateTime>
#include <QString>

namespace ondrel {

class DeviceSlot;

// Data files of a slot's channel: the file itself, and where the end of a test puts it.

// Writes the data file of one channel of a slot from its result grid row (or, for a step
// program's curves, the step result table), its graph's title and points from the test's start
// point on, and the model's column rules. The file at `path` is replaced only once the new one is
// complete. Throws Failure, naming the file, when it cannot be written.
void WriteDataFile(const DeviceSlot& slot, int channel, const QString& path);

// The data file of a channel whose test has just ended: "Data/<stem>.<csv or dat>" in the program
// folder, named by `now`. A "Data" folder removed since start-up is made again. Returns the path;
// throws Failure when the folder or the file cannot be written.
QString saveDataFileAtTestEnd(const DeviceSlot& slot, int channel, const QDateTime& now);

} // namespace ondrel
