#pragma once

#include <QDateTime>
#include <QString>

namespace ondrel {

class DeviceSlot;
class frmMain;

// The data-file commands of the main window's menus, and the data file of a slot's channel.

// "Save Data": the selected slot's panel channel into a file the user names, unless that channel
// runs. A name that gets the extension after the dialog and then names an existing file is
// replaced only when the user agrees; a file that cannot be written is logged and said.
void SaveDataCommand(frmMain& window);

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
