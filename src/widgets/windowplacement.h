#pragma once

class QWidget;

namespace ondrel {

// Moves a top-level window, already at its size, to the middle of the primary screen's free
// area; without a screen it stays where it is.
void centreOnScreen(QWidget& window);

} // namespace ondrel
