#pragma once

#include <QColor>
#include <QPalette>
#include <QtGlobal>

namespace ondrel {

// Colours travel through the program (settings, grids, graphs) as 32-bit values with red in the
// low byte, green in the middle byte and blue in the high byte (255 is red, 0xFF0000 blue).
// Values with the high bit set (0x80000000 | index) name a system colour, resolved through the
// platform palette. These two functions are the only crossing into QColor.
QColor toQColor(quint32 value, const QPalette& palette = QPalette());
quint32 fromQColor(const QColor& colour);

// The palette colour that stands in for a system colour index (15 button face, 18 button text…).
QColor systemColour(int index, const QPalette& palette = QPalette());

} // namespace ondrel
