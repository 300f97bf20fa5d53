#pragma once

#include <QPointer>
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
struct AxisRanges;
struct Preferences;

// The widgets of one device slot, laid out in the slot's frame: the panel, the curve graph, the
// result grid and the info list, and the looks they take as a whole. The slot owns one and
// handles reports; the view keeps no state of its own beyond its widgets.
class SlotView {
public:
  SlotView(QWidget* frame, const Preferences& prefs);
  ~SlotView();
  SlotView(const SlotView&) = delete;
  SlotView& operator=(const SlotView&) = delete;

  QWidget* frmDev;
  DevCtrl* panel;
  CurveGraph* graph;
  QTableWidget* gridRun;   // row 0 headings, row 1 channel 0, row 2 channel 1
  QListWidget* lstInfo;    // rows named by InfoRow
  PanelGrid* gridAutolist; // the auto test's results full size, over the panel; hidden

  // Graph 0's look from the preferences and the configured ranges: five curves with their
  // legends, colours and axes, the third hidden, grid styles and colours; the panel's readout
  // colours and the grid's swatches from the curves. The graph is cleared.
  void applyLook(const Preferences& prefs, const AxisRanges& ranges);
  // An added slot: the look of the preferences, then slot `from`'s axes, shown curves, grid
  // styles and colours.
  void copyLook(const SlotView& from, const Preferences& prefs, const AxisRanges& ranges);
  // The configured axis ranges (those present) on the graph.
  void applyRanges(const AxisRanges& ranges);
  // The panel's voltage and current readouts and the first row's swatches in the curves' colours.
  void showCurveColours();

  // Places the panel, graph, grid and info list in the frame by the design rule
  // (data/slotgeometry.h).
  void LayoutSlots();

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
  // it is double-clicked or Enter is pressed on it. It takes the focus from the panel and gives
  // it back when it closes.
  void showFullAutoList(const std::vector<QStringList>& rows);
  void hideFullAutoList();
  // Ten curves with the second channel's legends and colours, and its grid swatches.
  void SetTwoChannelLayout(const Preferences& prefs);

private:
  void showNoDeviceModes();

  QPointer<QObject> m_resizeWatch;
  QPointer<QWidget> m_focusBeforeAutoList;
};

} // namespace ondrel
