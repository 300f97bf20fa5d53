#pragma once

#include <QList>
#include <QString>

#include <functional>

class QAbstractItemView;
class QWidget;

namespace ondrel {

// A sub-window for the keyboard: Escape closes it as its close button would (a closeEvent that
// refuses, as during a firmware write, refuses Escape too), it takes the keyboard focus when it
// is shown, and when it hides the focus goes back to the control that had it before. Call once
// per window, after its flags are set.
void makeKeyboardWindow(QWidget& window);

// `action(row, column)` for the view's current cell (-1, -1 when there is none) when one of
// `keys` is pressed on `view` without modifiers and no cell is being edited. The action answers
// whether it used the key; when it did not, the view handles the key as usual.
void onCellKeys(QAbstractItemView& view, const QList<int>& keys,
                std::function<bool(int row, int column)> action);

// A caption as it is seen and compared, without its mnemonic marker: "Sa&ve Data" is
// "Save Data", "&&" an ampersand.
QString withoutMnemonic(const QString& caption);

} // namespace ondrel
