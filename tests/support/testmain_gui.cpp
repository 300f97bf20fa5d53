#include "widgets/application.h"

#include <gtest/gtest.h>

int main(int argc, char** argv) {
  // Widget tests never need a screen.
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
    qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  ondrel::Application app(argc, argv);
  // A failure that escapes an event handler fails the running test instead of waiting for a
  // user; a test that expects one replaces this.
  app.tellUser = [](const QString& text) { ADD_FAILURE() << text.toStdString(); };
  return RUN_ALL_TESTS();
}
