#pragma once

namespace ondrel {

class frmMain;
struct CoordinateTexts;
struct DisplayChoice;

// The settings commands of the main window's "Setting" menu.

// "Temprature Data": the tick toggled and written (AUTO/TEMP); the next samples follow it.
void TemperatureData(frmMain& window);
// "Software Setting": its window, opened without waiting.
void SoftwareSetting(frmMain& window);
// "Network Setting": the broker the live values go to.
void NetworkSetting(frmMain& window);
// "Display Setting": its window; the main window waits (events running) until it closes.
void DisplaySetting(frmMain& window);
// "Coordinate Settings": its window; the main window waits until it closes.
void CoordinateSettings(frmMain& window);

// OK of "Display Setting": every slot's graph and panel, the keys and preferences, in the
// dialog's order.
void ApplyDisplaySetting(frmMain& window, const DisplayChoice& choice);
// OK of "Coordinate Settings": the keys written with the box texts, every slot's ranges.
void ApplyCoordinates(frmMain& window, const CoordinateTexts& texts);

} // namespace ondrel
