#pragma once

#include <QString>
#include <QWidget>

#include <array>
#include <functional>

class QLabel;

namespace ondrel {

class LCDisp;
enum class LcdPreset;

// A borderless, rounded, topmost window of five big readouts under a title, 200/255 opaque.
// Dragging the title moves it; a double click on the title picks the colour of the title and its
// rules, one on a unit label the colour of that readout and label.
class ReadoutWindow : public QWidget {
  Q_OBJECT

public:
  void setTitle(const QString& title);
  QString title() const;
  void setReadout(int i, const QString& text);
  QString readout(int i) const;
  LCDisp* lcd(int i) const { return m_lcd.at(size_t(i)); }
  // Lit segments and unit label of readout i in `colour` (0x00BBGGRR).
  void setReadoutColour(int i, quint32 colour);
  // The colour chooser; replaceable in tests. -1 when cancelled.
  std::function<qint64()> chooseColour;

protected:
  struct Readout {
    const char* name;
    const char* spoken; // the readout's accessible name
    LcdPreset preset;
    const char* unit;
  };
  // `caption`: the window's title while no model name is shown.
  ReadoutWindow(QWidget* owner, const QString& name, const QString& caption,
                const std::array<Readout, 5>& readouts);
  bool eventFilter(QObject* watched, QEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

private:
  void pickColour(int readoutIndex); // -1: the title

  QString m_caption;
  QLabel* lblTitle;
  std::array<QWidget*, 2> m_rules{};
  std::array<LCDisp*, 5> m_lcd{};
  std::array<QLabel*, 5> m_unit{};
  QPoint m_dragOffset;
  bool m_dragging = false;
};

// The big readout window: current, voltage, power, capacity and energy of the selected slot.
class frmDisp : public ReadoutWindow {
  Q_OBJECT
public:
  enum : int { Cur = 0, Vol = 1, Pwr = 2, Cap = 3, Energy = 4 };
  explicit frmDisp(QWidget* owner);
};

// The USB meter window: current, voltage, power and the data lines' voltages.
class frmMeter : public ReadoutWindow {
  Q_OBJECT
public:
  enum : int { Cur = 0, Vol = 1, Pwr = 2, DPlus = 3, DMinus = 4 };
  explicit frmMeter(QWidget* owner);
};

// The text of the big readout's capacity and energy: "000.0" above 100, "00.00" above 10, else
// "0.000".
QString bigReadoutText(float value);

} // namespace ondrel
