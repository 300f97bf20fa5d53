#pragma once

#include <QString>

class QWidget;

namespace ondrel {

// Makes the display components describe themselves to screen readers and GUI test tools: a
// readout gives its shown text as its value, a progress bar its value and caption, the graph
// its title and visible legends; and a window made of a plain widget says it is a dialog or a
// window. Safe to call more than once.
void installComponentAccessibility();

// Tells assistive tools that a component's value text changed (no cost when none listens).
void notifyAccessibleValue(QWidget* widget, const QString& value);

} // namespace ondrel
