#include "widgets/application.h"

#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "data/support/langtext.h"
#include "widgets/accessibility.h"

#include <QMessageBox>
#include <QScopeGuard>
#include <QThread>
#include <QTimer>

namespace ondrel {

Application::Application(int& argc, char** argv) : QApplication(argc, argv) {
  // Windows and components describe themselves to screen readers from the first window on.
  installComponentAccessibility();
  tellUser = [](const QString& text) {
    QMessageBox box(QMessageBox::Critical, LangText(QStringLiteral("Prompt")), text,
                    QMessageBox::Ok, QApplication::activeWindow());
    box.exec();
  };
}

QString Application::failureText(const QString& description) {
  return LangText(QStringLiteral("An action failed and was stopped: ")) + description;
}

bool Application::notify(QObject* receiver, QEvent* event) {
  try {
    return QApplication::notify(receiver, event);
  } catch (...) {
    const QString description = describeCurrentException();
    ErrLog(QStringLiteral("ErrEvent"), description);
    if (QThread::currentThread() == thread())
      tellLater(failureText(description));
    return false;
  }
}

void Application::tellLater(const QString& text) {
  if (m_telling || !tellUser)
    return;
  m_telling = true;
  // Said from the event loop, not from inside the event that failed.
  QTimer::singleShot(0, this, [this, text] {
    const auto done = qScopeGuard([this] { m_telling = false; });
    if (tellUser)
      tellUser(text);
  });
}

} // namespace ondrel
