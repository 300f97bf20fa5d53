#pragma once

#include <QMainWindow>

namespace ondrel {

// The application window. It owns the device slots and everything per slot and per channel.
class frmMain : public QMainWindow {
  Q_OBJECT

public:
  explicit frmMain(QWidget* parent = nullptr);

  // "Ondrel Tester Software V1.0.0"
  static QString caption();
};

} // namespace ondrel
