#include "data/ui/frmdata.h"
#include "data/ui/frmhistory.h"
#include "data/ui/readoutwindows.h"
#include "data/ui/rescalcommands.h"
#include "support/connectedwindow.h"
#include "test/ui/devctrl.h"

#include <QAccessible>
#include <QApplication>
#include <QLabel>
#include <QMenu>
#include <QRegularExpression>
#include <QSet>
#include <QTabBar>
#include <QTest>
#include <QTimer>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::Report;

namespace {

// A name a person would not say: a control's code name ("cmdVL", "gridRun"), a class name
// ("CurveGraph"), or the widget's object name.
bool looksLikeCode(const QString& name, const QWidget* w) {
  static const QRegularExpression prefixed(
      QStringLiteral("^(cmd|txt|lbl|cmb|opt|chk|grid|lst|shp|lcd|frm|tmr|menu|fra|pic|img|tab|"
                     "pb|ucb)[A-Z0-9]"));
  static const QRegularExpression identifier(QStringLiteral("^[A-Za-z][A-Za-z0-9_:]*$"));
  static const QRegularExpression camel(QStringLiteral("[a-z][A-Z]|_|::"));
  if (name == w->objectName() || prefixed.match(name).hasMatch())
    return true;
  return name.size() > 3 && identifier.match(name).hasMatch() && camel.match(name).hasMatch();
}

// Controls a person uses or reads; containers (panes, frames, bars) are exempt, and so are the
// scroll bars of lists and tables.
bool needsName(const QAccessibleInterface* a, const QWidget* w) {
  switch (a->role()) {
  case QAccessible::PushButton:
  case QAccessible::CheckBox:
  case QAccessible::RadioButton:
  case QAccessible::ComboBox:
  case QAccessible::EditableText:
  case QAccessible::SpinBox:
  case QAccessible::Slider:
  case QAccessible::Dial:
  case QAccessible::Table:
  case QAccessible::List:
  case QAccessible::Tree:
  case QAccessible::Chart:
  case QAccessible::ProgressBar:
  case QAccessible::PageTabList:
  case QAccessible::Indicator:
  case QAccessible::Link:
  case QAccessible::ButtonMenu:
  case QAccessible::ButtonDropDown:
    return true;
  case QAccessible::StaticText:
  case QAccessible::Graphic:
  case QAccessible::Client:
    // The program's own components (readouts, swatches, the receive lamp) say something; a
    // plain label, picture or pane of Qt's says its text or nothing.
    return QString::fromLatin1(w->metaObject()->className())
               .startsWith(QLatin1String("ondrel::")) &&
           a->childCount() == 0;
  default:
    return false;
  }
}

QString roleName(QAccessible::Role role) {
  return QString::number(int(role), 16);
}

// What a screen reader finds in the windows it is shown: every top-level window a dialog or a
// window, every control named in words.
class ScreenReader {
public:
  QStringList problems;
  QSet<QString> windows; // object names of the windows read

  void readWindow(QWidget* top) {
    windows.insert(top->objectName());
    QAccessibleInterface* a = QAccessible::queryAccessibleInterface(top);
    if (!a) {
      problems << where(top, top) + QStringLiteral(": no accessibility interface");
      return;
    }
    if (a->role() != QAccessible::Dialog && a->role() != QAccessible::Window)
      problems << where(top, top) + QStringLiteral(": window role 0x") + roleName(a->role());
    const QString title = a->text(QAccessible::Name);
    if (title.trimmed().isEmpty() || looksLikeCode(title, top))
      problems << where(top, top) + QStringLiteral(": window named \"") + title + QLatin1Char('"');
    readChildren(top, a);
  }

  // Every visible top-level window not read yet.
  void readOpenWindows() {
    for (QWidget* w : QApplication::topLevelWidgets())
      if (w->isVisible() && !qobject_cast<QMenu*>(w) && !windows.contains(w->objectName()))
        readWindow(w);
  }

private:
  static QString where(const QWidget* top, const QWidget* w) {
    return QStringLiteral("\"%1\" %2").arg(top->windowTitle(), w->objectName());
  }

  static QString labelOf(QAccessibleInterface* a) {
    const auto labels = a->relations(QAccessible::Label);
    return labels.isEmpty() || !labels[0].first ? QString()
                                                : labels[0].first->text(QAccessible::Name);
  }

  void readChildren(QWidget* top, QAccessibleInterface* parent) {
    for (int i = 0; i < parent->childCount(); ++i) {
      QAccessibleInterface* a = parent->child(i);
      if (!a || !a->isValid())
        continue;
      auto* w = qobject_cast<QWidget*>(a->object());
      // Items (cells, rows, menu entries) are read with their control.
      if (!w || !w->isVisible() || w->window() != top)
        continue;
      // On some platforms a list's name is its current entry and its caption comes as the label
      // relation; elsewhere the name is the accessible name or the caption label.
      const bool list = a->role() == QAccessible::ComboBox;
      const QString name = list ? w->accessibleName() : a->text(QAccessible::Name);
      const QString label = labelOf(a);
      if (name.trimmed().isEmpty() && label.trimmed().isEmpty()) {
        if (needsName(a, w))
          problems << where(top, w) + QStringLiteral(": no name (role 0x") + roleName(a->role()) +
                          QStringLiteral(", ") + QLatin1String(w->metaObject()->className()) +
                          QLatin1Char(')');
      }
      for (const QString& said : {name, w->accessibleName(), label})
        if (!said.isEmpty() && looksLikeCode(said, w))
          problems << where(top, w) + QStringLiteral(": named \"") + said + QLatin1Char('"');
      if (w->inherits("ondrel::LCDisp") && a->text(QAccessible::Value).isEmpty())
        problems << where(top, w) + QStringLiteral(": a readout without its value");
      // A list's popup and edit field are parts of the list, which carries the name.
      if (a->role() != QAccessible::ComboBox)
        readChildren(top, a);
    }
  }
};

class Accessibility : public ConnectedWindow {
protected:
  ScreenReader reader;

  // Opens a window with `open` (which may wait for it to close), reads it while it is shown and
  // closes it.
  void readWhileOpen(const char* name, const std::function<void()>& open) {
    const QString objectName = QLatin1String(name);
    bool read = false;
    auto readIt = [this, objectName, &read] {
      for (QWidget* w : QApplication::topLevelWidgets())
        if (w->isVisible() && w->objectName() == objectName) {
          reader.readWindow(w);
          read = true;
          w->close();
          return;
        }
    };
    QTimer::singleShot(0, window.get(), readIt);
    open();
    if (!read)
      QTRY_VERIFY(read);
    EXPECT_TRUE(read) << name;
  }

  // The main window with each page of the panel in turn, then the full-size auto test results.
  void readMainWindow() {
    window->show();
    auto* pages = panel().findChild<QTabBar*>(QStringLiteral("tabDev"));
    ASSERT_TRUE(pages);
    for (int i = 0; i < pages->count(); ++i) {
      pages->setCurrentIndex(i);
      reader.readWindow(window.get());
    }
    pages->setCurrentIndex(0);
    emit panel().AutoRunDblClick();
    reader.readWindow(window.get());
  }
};

TEST_F(Accessibility, EveryWindowAndControlIsNamedInWords) {
  readMainWindow(); // a one-channel load
  // A two-channel load: both channels' boxes, the resistance test and calibration.
  window.reset();
  open(17);
  feed(idle(model, 3700));
  feed(idle(model, 3700, 1));
  readMainWindow();
  readWhileOpen("frmSw", [this] { trigger("menuSoft"); });
  readWhileOpen("frmNet", [this] { trigger("menuNet"); });
  readWhileOpen("frmShow", [this] { trigger("menuDisp"); });
  readWhileOpen("frmCurve", [this] { trigger("menuCurve"); });
  readWhileOpen("frmRes", [this] { ResistanceTest(*window); });
  readWhileOpen("frmAdj", [this] { ParameterCalibration(*window); });
  readWhileOpen("frmStep", [this] { emit panel().SetStepClick(); });
  readWhileOpen("frmAbout", [this] { trigger("menuAbout"); });
  window->prefs().MSG = true;
  window->ShowNotice(QStringLiteral("STOP"));
  window->prefs().DISP = true;
  window->setWindowState(Qt::WindowMinimized);
  reader.readOpenWindows();
  window->setWindowState(Qt::WindowNoState);

  // The data viewer with its questions.
  readWhileOpen("frmType", [this] { trigger("menuOpenData"); });
  frmData* viewer = window->dataViewer();
  ASSERT_TRUE(viewer);
  viewer->show();
  const QString file =
      home.write(QStringLiteral("a.csv"), "Device:KL-F2\r\n0,1,4.2\r\n1,1,4.1\r\n2,1,4.0\r\n");
  readWhileOpen("frmColor", [&] { viewer->LoadFile(file); });
  viewer->findChild<QAction*>(QStringLiteral("menuCurve"))->trigger();
  reader.readOpenWindows();
  viewer->findChild<QAction*>(QStringLiteral("menuDqDv"))->trigger();
  reader.readOpenWindows();
  viewer->close();

  // The test history and the pack matching.
  readWhileOpen("frmHistory", [this] { trigger("menuHistory"); });
  readWhileOpen("frmMatch", [this] {
    auto* m = new frmMatch({{QStringLiteral("cell 1"), 2.0, 30.0, 1}}, {}, window.get());
    m->setAttribute(Qt::WA_DeleteOnClose);
    m->match();
    m->show();
  });

  // Firmware update wants a disconnected slot.
  emit panel().ConnClick();
  readWhileOpen("frmUpdate", [this] { trigger("menuUpdate"); });

  // A USB meter: the quick-charge window and the meter window.
  window.reset();
  open(26);
  Report info = idle(26, 5000);
  info.info = 1, info.set = 320, info.limit = 2100, info.time = 4000;
  feed(info);
  feed(info);
  Report sample = idle(26, 5100);
  sample.mode = 1, sample.state = 1, sample.cur = 12345;
  feed(sample);
  trigger("menuUsb");
  reader.readOpenWindows();

  for (const char* name :
       {"frmMain",  "frmSw", "frmNet", "frmShow", "frmCurve", "frmRes",     "frmAdj",   "frmStep",
        "frmAbout", "frmMsg",    "frmDisp", "frmType",  "frmData",    "frmColor", "frmCurve2",
        "frmDqDv",  "frmUpdate", "frmUSB",  "frmMeter", "frmHistory", "frmMatch"})
    EXPECT_TRUE(reader.windows.contains(QLatin1String(name))) << name << " was not read";
  reader.problems.removeDuplicates();
  EXPECT_TRUE(reader.problems.isEmpty()) << reader.problems.join(QLatin1Char('\n')).toStdString();
}

} // namespace
