#include "widgets/accessibility.h"

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
      if (auto* graph = qobject_cast<CurveGraph*>(widget()))
        return graph->TitleText();
    }
    return QAccessibleWidget::text(t);
  }
};

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
