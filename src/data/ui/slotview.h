#pragma once

#include <QString>
#include <QStringList>

#include <vector>

class QListWidget;
class QTableWidget;
class QWidget;

namespace ondrel {

class CurveGraph;
class DevCtrl;
class PanelGrid;
struct Preferences;

// The widgets of one device slot, laid out in the slot's frame: the panel, the curve graph, the
// result grid and the info list, and the looks they take as a whole. The slot owns one and
// handles reports; the view keeps no state of its own beyond its widgets.
class SlotView {
public:
  SlotView(QWidget* frame, const Preferences& prefs);

  QWidget* frmDev;
  DevCtrl* panel;
  CurveGraph* graph;
  QTableWidget* gridRun;   // row 0 headings, row 1 channel 0, row 2 channel 1
  QListWidget* lstInfo;    // rows named by InfoRow
  PanelGrid* gridAutolist; // the auto test's results full size, over the panel; hidden

  QString gridText(int row, int col) const;
  void setGridText(int row, int col, const QString& text);
  QString infoRow(int row) const;
  void setInfoRow(int row, const QString& text);

  // The device's name in the grid: row 1, and row 2 as well on a two-channel panel.
  void setDeviceName(const QString& name);
  // The look of a slot without a device: "No Device" in the grid and the mode list, empty
  // results and info rows, default parameter texts, no test buttons, only the "Single Test" page.
  void showNoDevice();
  // The auto test's result rows in gridAutolist, shown instead of the panel and info list until
  // it is double-clicked.
  void showFullAutoList(const std::vector<QStringList>& rows);
  // Ten curves with the second channel's legends and colours, and its grid swatches.
  void SetTwoChannelLayout(const Preferences& prefs);

private:
  void showNoDeviceModes();
};

} // namespace ondrel
