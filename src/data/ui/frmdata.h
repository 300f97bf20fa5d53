#pragma once

#include "data/ui/dqdvwindow.h"
#include "data/viewerfile.h"
#include "test/ui/messages.h"

#include <QMainWindow>

#include <QPointer>

#include <functional>

class QAction;
class QLabel;
class QTableWidget;

namespace ondrel {

class CurveGraph;

// What the viewer asks of the program's dialogs; the main window hands its own (replaceable in
// tests) so a test answers for both windows.
struct ViewerServices {
  // Open (save = false) or save dialog: the chosen path, "" when cancelled.
  std::function<QString(bool save, const QString& title, const QString& filter, const QString& name,
                        const QString& defaultExt)>
      chooseFile;
  // Input box titled "Prompt": the typed text, "" when cancelled.
  std::function<QString(const QString& prompt, const QString& text)> askText;
  // Colour chooser: 0x00BBGGRR or -1.
  std::function<qint64()> chooseColour;
  MessageAsker ask;
  // Messages of the coordinate dialog ("提示"); empty: the dialog's own box.
  std::function<void(const QString& text)> tellCoordinateError;
};

// The "Curve Color" choice for one file's curves.
struct CurveColours {
  quint32 volt = 0, cur = 0;
  QString legend;
};

// "Curve Type": true for "V--A--mAh", false for "V--A--Second" (also when closed otherwise). The
// caller waits for it with events running.
bool askCurveType(QWidget* owner);

// The data viewer "Curve Data": up to ten data files' voltage and current curves in one graph,
// their result rows in a grid. It never writes to the files. A file that cannot be read changes
// nothing shown and is named in the status line.
class frmData : public QMainWindow {
  Q_OBJECT

public:
  static constexpr int kMaxFiles = 10;

  // `look`: slot 0's graph, whose colours, line and grid the viewer takes.
  frmData(QWidget* owner, bool volCap, const CurveGraph& look, ViewerServices services);

  // "Open Data": the open dialog, then LoadFile.
  void LoadDataFile();
  // Loads one chosen file; false when it was refused or could not be read (the status line
  // says why).
  bool LoadFile(const QString& path);
  // "Clear" (after its question).
  void ClearFiles();
  // A file is being opened or loaded, or "Clear" is being asked: further loads and "Clear" are
  // refused until it ends.
  bool busy() const { return m_busy; }

  // The "Curve Color" step: the choice, or nothing when cancelled. Replaceable in tests; by
  // default the dialog, waited for.
  std::function<std::optional<CurveColours>(const CurveColours& start)> chooseCurveColours;

  int fileCount() const { return m_files; }
  bool VolCap() const { return m_volCap; }
  CurveGraph& graph() const { return *m_graph; }
  QTableWidget* grid() const { return gridRun; }
  QString statusText() const;
  QString cell(int row, int col) const;
  const ViewerExtremes& extremes() const { return m_ext; }
  // The picture of the graph (and the grid), rendered from the widgets.
  QImage picture(bool withGrid);
  // The shown files' voltage and capacity, named by their grid titles.
  std::vector<AnalysisFile> analysisFiles() const;
  // "dQ/dV…": opens (or raises) the window; it follows files loaded and cleared.
  DqDvWindow* showDqDv();
  DqDvWindow* dqdvWindow() const { return m_dqdv; }

signals:
  void closed();

protected:
  void closeEvent(QCloseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void buildMenus();
  void layoutParts();
  void placeOnScreen();
  enum class PictureFormat { Bmp, Png, Svg };
  void savePicture(bool withGrid, PictureFormat format = PictureFormat::Bmp);
  // Writes the graph and grid as SVG; false when the file could not be written.
  bool writeSvg(const QString& path);
  void toggleCurrent();
  void toggleLabel();
  // The input box through the window's services; "" when cancelled or when the viewer was
  // closed meanwhile.
  QString askText(const QString& prompt, const QString& text);
  void editTitle();
  void editLegend(int index);
  void editTitleCell(int row, int col);
  void coordinateSettings();
  void showLegends();
  int gridHeight() const;

  // Marks the viewer busy for its lifetime, and tells whether the viewer still exists.
  class BusyScope;

  ViewerServices m_services;
  bool m_busy = false;
  bool m_volCap;
  int m_files = 0;
  ViewerExtremes m_ext;
  bool m_smallCurrent = false;
  CurveGraph* m_graph;
  QTableWidget* gridRun;
  QAction *menuCurrent = nullptr, *menuLabel = nullptr;
  // Each shown file's samples for the analysis views, in load order.
  std::vector<AnalysisFile> m_analysis;
  QPointer<DqDvWindow> m_dqdv;
};

} // namespace ondrel
