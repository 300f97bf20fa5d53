#pragma once

#include <QApplication>

#include <functional>

namespace ondrel {

// The program's application object. An exception that leaves an event handler or a slot stops
// here instead of ending the program: it is written to the main log under "ErrEvent" and said to
// the user once the failed event has unwound.
class Application : public QApplication {
  Q_OBJECT

public:
  Application(int& argc, char** argv);

  bool notify(QObject* receiver, QEvent* event) override;

  // Says a failure to the user; by default a message box. Tests replace it. While one is being
  // said, later failures are only logged, so a failing timer cannot stack boxes.
  std::function<void(const QString& text)> tellUser;

  // The text said for a failure with `description`.
  static QString failureText(const QString& description);

private:
  void tellLater(const QString& text);

  bool m_telling = false;
};

} // namespace ondrel
