#include "support/tempfolder.h"
#include "widgets/application.h"
#include "widgets/componenterror.h"

#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

// Failures leaving a timer's slot and a button's slot (inside the widget's own mouse handling)
// stop at the application: logged, said once, and the program goes on.
TEST(Application, AFailureLeavingASlotIsLoggedAndSaid) {
  TempProgramFolder home;
  auto* app = qobject_cast<Application*>(qApp);
  ASSERT_TRUE(app);
  const auto previous = app->tellUser;
  QStringList told;
  app->tellUser = [&told](const QString& text) { told << text; };

  QTimer::singleShot(0, [] { throw Failure(QStringLiteral("timer went wrong")); });
  QTRY_COMPARE(told.size(), 1);
  EXPECT_EQ(told[0], Application::failureText(QStringLiteral("timer went wrong")));

  QPushButton button(QStringLiteral("Go"));
  int clicks = 0;
  const auto failing = QObject::connect(&button, &QPushButton::clicked, [&clicks] {
    ++clicks;
    throw ComponentError::subscriptOutOfRange();
  });
  button.show();
  // Two failures before the first is said: one message, both logged.
  QTest::mouseClick(&button, Qt::LeftButton);
  QTest::mouseClick(&button, Qt::LeftButton);
  QTRY_COMPARE(told.size(), 2);
  QTest::qWait(20);
  EXPECT_EQ(told.size(), 2);
  EXPECT_EQ(clicks, 2);
  EXPECT_TRUE(told[1].contains(QLatin1String("Subscript out of range")));

  const QString log = home.mainLog();
  EXPECT_TRUE(log.contains(QLatin1String("[ErrEvent]timer went wrong"))) << log.toStdString();
  EXPECT_EQ(log.count(QLatin1String("[ErrEvent]Subscript out of range")), 2);

  // The button still works once the failure is past.
  QObject::disconnect(failing);
  bool clicked = false;
  QObject::connect(&button, &QPushButton::clicked, [&clicked] { clicked = true; });
  QTest::mouseClick(&button, Qt::LeftButton);
  EXPECT_TRUE(clicked);
  app->tellUser = previous;
}

} // namespace
