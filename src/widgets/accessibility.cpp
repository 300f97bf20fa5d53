#include "widgets/accessibility.h"

#include "data/support/langtext.h"
#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"
#include "widgets/ucprogressbar.h"

#include <QAccessible>
#include <QAccessibleWidget>

#include <mutex>

namespace ondrel {

namespace {

class ComponentAccessible : public QAccessibleWidget {
public:
  ComponentAccessible(QWidget* w, QAccessible::Role role) : QAccessibleWidget(w, role) {}

  QString text(QAccessible::Text t) const override {
    if (t == QAccessible::Value) {
      if (auto* lcd = qobject_cast<LCDisp*>(widget()))
        return lcd->shownText();
      if (auto* bar = qobject_cast<ucProgressBar*>(widget()))
        return bar->accessibleValueText();
      if (auto* graph = qobject_cast<CurveGraph*>(widget()))
        return graph->accessibleValueText();
    }
    if (t == QAccessible::Name && widget()->accessibleName().isEmpty()) {
      // A graph is named by its title, or by what it shows while it has none.
      if (auto* graph = qobject_cast<CurveGraph*>(widget()))
        return graph->TitleText().isEmpty() ? LangText(QStringLiteral("Curves"))
                                            : graph->TitleText();
    }
    return QAccessibleWidget::text(t);
  }
};

// A window made of a plain widget: Qt would call it a client area ("filler" to a screen reader),
// so the reader would not find it among the program's windows.
class WindowAccessible : public QAccessibleWidget {
public:
  explicit WindowAccessible(QWidget* w) : QAccessibleWidget(w) {}

  QAccessible::Role role() const override {
    if (!widget()->isWindow())
      return QAccessibleWidget::role();
    return widget()->windowType() == Qt::Dialog ? QAccessible::Dialog : QAccessible::Window;
  }
};

// Whether Qt knows nothing more of the widget than that it is a QWidget: the nearest of its
// classes that is Qt's own is QWidget itself (a button or label made without a parent is a
// window for a moment too, and keeps Qt's interface).
bool plainWidget(const QWidget* w) {
  const QMetaObject* m = w->metaObject();
  while (m && QByteArrayView(m->className()).startsWith("ondrel::"))
    m = m->superClass();
  return m == &QWidget::staticMetaObject;
}

QAccessibleInterface* factory(const QString& className, QObject* object) {
  auto* w = qobject_cast<QWidget*>(object);
  if (!w)
    return nullptr;
  if (className == QLatin1String("ondrel::LCDisp"))
    return new ComponentAccessible(w, QAccessible::StaticText);
  if (className == QLatin1String("ondrel::ucProgressBar"))
    return new ComponentAccessible(w, QAccessible::ProgressBar);
  if (className == QLatin1String("ondrel::CurveGraph"))
    return new ComponentAccessible(w, QAccessible::Chart);
  // Asked for the object's own class first, before Qt's factory is asked for its base classes.
  if (w->isWindow() && className == QLatin1String(w->metaObject()->className()) && plainWidget(w))
    return new WindowAccessible(w);
  return nullptr;
}

} // namespace

void installComponentAccessibility() {
  static std::once_flag once;
  std::call_once(once, [] { QAccessible::installFactory(factory); });
}

void notifyAccessibleValue(QWidget* widget, const QString& value) {
  if (!QAccessible::isActive())
    return;
  QAccessibleValueChangeEvent event(widget, value);
  QAccessible::updateAccessibility(&event);
}

} // namespace ondrel
