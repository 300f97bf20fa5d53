#pragma once

#include <QDateTime>
#include <QString>

namespace ondrel {

class DeviceSlot;
class frmMain;

// The data-file and parameter-file commands of the main window's menus, and the data file of a
// slot's channel. The commands act on the selected slot and its panel's channel.

// "Save Data": the selected slot's panel channel into a file the user names, unless that channel
// runs. A name that gets the extension after the dialog and then names an existing file is
// replaced only when the user agrees; a file that cannot be written is logged and said.
void SaveDataCommand(frmMain& window);

// "Save Parameter": the device name, the graph's title, the channel's set value and limit boxes
// and its time readout into a ".cfg" file the user names. Only while the slot is connected to an
// identified device and the channel is idle; a file that cannot be written is logged and said.
void SaveParameter(frmMain& window);

// "Open Parameter": a ".cfg" file written for the same model sets the graph's title and, for the
// channel, its time readout and the set value and limit that pass the checks a typed value gets
// in the channel's present mode; the lines refused are said. A file of another model changes
// nothing. Only while connected and idle, as Save Parameter. Throws Failure when the file cannot
// be read.
void OpenParameter(frmMain& window);

// Writes the data file of one channel of a slot from its result grid row (or, for a step
// program's curves, the step result table), its graph's title and points from the test's start
// point on, and the model's column rules. The file at `path` is replaced only once the new one is
// complete. Throws Failure, naming the file, when it cannot be written.
void WriteDataFile(const DeviceSlot& slot, int channel, const QString& path);

// The data file of a channel whose test has just ended: "Data/<stem>.<csv or dat>" in the program
// folder, named by `now`. A "Data" folder removed since start-up is made again. Returns the path;
// throws Failure when the folder or the file cannot be written.
QString saveDataFileAtTestEnd(const DeviceSlot& slot, int channel, const QDateTime& now);

// The Battery Data Format CSV of a channel whose test has just ended, into the same "Data"
// folder, named by the test's start. Returns the path; throws Failure when it cannot be written.
QString saveBdfFileAtTestEnd(const DeviceSlot& slot, int channel);

// "Export Data…": the selected slot's panel channel as Battery Data Format CSV or, when the
// chosen name ends in ".xlsx", as a spreadsheet with a results sheet. A running test is exported
// as far as it has come. A channel without samples is said, not exported; a file that cannot be
// written is logged and said.
void ExportDataCommand(frmMain& window);

} // namespace ondrel
