#pragma once

#include <QMessageBox>

#include <functional>

namespace ondrel {

// Asks the user with a message box titled "Prompt" and answers the button pressed. The main
// window shows the box; its slots and tests are given one of these instead of the window.
using MessageAsker = std::function<QMessageBox::StandardButton(
    QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons buttons)>;

} // namespace ondrel
