#include "widgets/keyboard.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QShortcut>

namespace ondrel {

namespace {

// Remembers where the focus was when the window appeared and gives it back when it hides.
class FocusReturn : public QObject {
public:
  explicit FocusReturn(QWidget& window) : QObject(&window), m_window(window) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &m_window)
      return false;
    if (event->type() == QEvent::Show) {
      QWidget* had = QApplication::focusWidget();
      m_returnTo = had && had->window() != &m_window ? had : nullptr;
      m_window.activateWindow();
    } else if (event->type() == QEvent::Hide && !event->spontaneous()) {
      // A spontaneous hide is the desktop minimising the window: nothing to give back then.
      if (QWidget* back = m_returnTo; back && back->isVisible()) {
        back->activateWindow();
        back->setFocus(Qt::OtherFocusReason);
      }
      m_returnTo = nullptr;
    }
    return false;
  }

private:
  QWidget& m_window;
  QPointer<QWidget> m_returnTo;
};

class CellKeys : public QObject {
public:
  CellKeys(QAbstractItemView& view, QList<int> keys, std::function<bool(int, int)> action)
      : QObject(&view), m_view(view), m_keys(std::move(keys)), m_action(std::move(action)) {}

  bool eventFilter(QObject* watched, QEvent* event) override {
    if (watched != &m_view || event->type() != QEvent::KeyPress)
      return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    const auto mods = key->modifiers() & ~Qt::KeypadModifier;
    if (mods != Qt::NoModifier || !m_keys.contains(key->key()))
      return false;
    // A key an open cell editor passed on is the editor's business.
    if (const QWidget* focus = m_view.focusWidget(); focus && focus != &m_view)
      return false;
    const QModelIndex at = m_view.currentIndex();
    return m_action(at.isValid() ? at.row() : -1, at.isValid() ? at.column() : -1);
  }

private:
  QAbstractItemView& m_view;
  QList<int> m_keys;
  std::function<bool(int, int)> m_action;
};

} // namespace

void makeKeyboardWindow(QWidget& window) {
  // A window shortcut: a control that uses Escape itself (an open list, a cell being edited)
  // claims it first.
  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), &window);
  escape->setObjectName(QStringLiteral("escapeCloses"));
  QObject::connect(escape, &QShortcut::activated, &window, [w = &window] { w->close(); });
  window.installEventFilter(new FocusReturn(window));
}

void onCellKeys(QAbstractItemView& view, const QList<int>& keys,
                std::function<bool(int row, int column)> action) {
  view.installEventFilter(new CellKeys(view, keys, std::move(action)));
}

QString withoutMnemonic(const QString& caption) {
  QString plain;
  plain.reserve(caption.size());
  for (qsizetype i = 0; i < caption.size(); ++i) {
    if (caption[i] == QLatin1Char('&') && i + 1 < caption.size())
      ++i; // "&&" keeps one ampersand, "&x" keeps the x
    plain += caption[i];
  }
  return plain;
}

} // namespace ondrel
