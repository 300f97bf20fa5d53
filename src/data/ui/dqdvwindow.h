#pragma once

#include "data/analysis.h"

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QSpinBox;
class QTableWidget;

namespace ondrel {

// The dQ/dV curves of the shown files, each in its own colour (x: voltage, y: Ah/V).
class DqDvPlot : public QWidget {
  Q_OBJECT

public:
  explicit DqDvPlot(QWidget* parent = nullptr);
  void setCurves(std::vector<std::vector<DqDvPoint>> curves, std::vector<quint32> colours);
  const std::vector<std::vector<DqDvPoint>>& curves() const { return m_curves; }

protected:
  void paintEvent(QPaintEvent* event) override;

private:
  std::vector<std::vector<DqDvPoint>> m_curves;
  std::vector<quint32> m_colours; // 0x00BBGGRR
};

// "dQ/dV": the shown files' dQ/dV curves with their smoothing, and the capacity each reached
// at the voltages typed. It reads the files through `files` whenever it redraws.
class DqDvWindow : public QWidget {
  Q_OBJECT

public:
  struct Source {
    std::function<std::vector<AnalysisFile>()> files;
    std::function<std::vector<quint32>()> colours;
  };
  DqDvWindow(QWidget* owner, Source source);

  // Reads the files again and redraws the curves and the table.
  void refresh();

  QSpinBox* smoothing() const { return m_smoothing; }
  QLineEdit* voltages() const { return m_voltages; }
  QTableWidget* table() const { return m_table; }
  DqDvPlot* plot() const { return m_plot; }
  QString note() const;

private:
  void redrawCurves();
  void fillTable();

  Source m_source;
  std::vector<AnalysisFile> m_files;
  DqDvPlot* m_plot;
  QSpinBox* m_smoothing;
  QLineEdit* m_voltages;
  QLabel* m_note;
  QTableWidget* m_table;
};

} // namespace ondrel
