#include "widgets/componenterror.h"
#include "widgets/progressmath.h"
#include "widgets/ucprogressbar.h"

#include <QAccessible>

#include <gtest/gtest.h>

using namespace ondrel;

TEST(ProgressMath, FillRoundsHalvesToEven) {
  EXPECT_EQ(progressFillWidth(50, 0, 100, 233), 116); // 116.5
  EXPECT_EQ(progressFillWidth(100, 0, 100, 233), 233);
  EXPECT_EQ(progressFillWidth(0, 0, 100, 233), 0);
  EXPECT_EQ(progressFillTop(50, 0, 100, 25), 12); // 12.5
  EXPECT_EQ(progressFillTop(100, 0, 100, 25), 0);
}

TEST(ProgressMath, Captions) {
  struct Case {
    int code, value, min, max;
    const char* caption;
  } cases[] = {
      {0, 50, 0, 100, ""},    {1, 42, 0, 100, "42"},        {2, 50, 0, 100, "50%"},
      {3, 1, 0, 3, "33.3%"},  {4, 1, 0, 3, "33.33%"},       {6, 60, 10, 110, "50.0%"},
      {5, 10, 10, 110, "0%"}, {7, 110, 10, 110, "100.00%"}, {42, 5, 0, 10, ""},
  };
  for (const Case& k : cases)
    EXPECT_EQ(progressCaption(k.code, k.value, k.min, k.max, {}), QString::fromLatin1(k.caption))
        << k.code;
  EXPECT_EQ(progressCaption(99, 1, 0, 2, QStringLiteral("Sending")), QStringLiteral("Sending"));
  EXPECT_EQ(progressCaptionPos(QSize(233, 25), QSize(30, 13)), QPoint(101, 6));
}

TEST(ucProgressBar, EventsInOrderAndOnlyOnChange) {
  ucProgressBar bar;
  QStringList events;
  QObject::connect(&bar, &ucProgressBar::Change, [&] { events << "Change"; });
  QObject::connect(&bar, &ucProgressBar::ArrivedLast, [&] { events << "ArrivedLast"; });
  QObject::connect(&bar, &ucProgressBar::ArrivedFirst, [&] { events << "ArrivedFirst"; });
  bar.setValue(100);
  EXPECT_EQ(events, QStringList({"Change", "ArrivedLast"}));
  events.clear();
  bar.setValue(100);
  EXPECT_TRUE(events.isEmpty());
  bar.setValue(0);
  EXPECT_EQ(events, QStringList({"Change", "ArrivedFirst"}));
  events.clear();
  bar.setMax(10); // the firmware window's use: units to send, then back to 0
  bar.setValue(5);
  bar.setMin(0);
  EXPECT_EQ(events, QStringList({"Change", "Change", "ArrivedFirst"}));
}

TEST(ucProgressBar, RejectedValuesChangeNothing) {
  ucProgressBar bar;
  bar.setValue(40);
  auto code = [](auto f) {
    try {
      f();
    } catch (const ComponentError& e) {
      return e.code();
    }
    return 0;
  };
  EXPECT_EQ(code([&] { bar.setValue(101); }), 380);
  EXPECT_EQ(code([&] { bar.setValue(-1); }), 380);
  EXPECT_EQ(code([&] { bar.setMax(0); }), 380);
  EXPECT_EQ(code([&] { bar.setMin(100); }), 380);
  EXPECT_EQ(bar.Value(), 40);
  EXPECT_EQ(bar.Min(), 0);
  EXPECT_EQ(bar.Max(), 100);
}

TEST(ucProgressBar, PaintsTheForegroundPortion) {
  QImage fore(233, 25, QImage::Format_RGB32);
  fore.fill(Qt::green);
  ucProgressBar bar;
  bar.setBarPictureFore(fore);
  bar.setValue(50);
  QImage img = bar.grabImage();
  EXPECT_EQ(img.pixelColor(115, 12), QColor(Qt::green));
  EXPECT_NE(img.pixelColor(116, 12), QColor(Qt::green));

  bar.setOrientation(1);
  img = bar.grabImage();
  EXPECT_EQ(img.pixelColor(200, 12), QColor(Qt::green));
  EXPECT_NE(img.pixelColor(200, 11), QColor(Qt::green));

  QImage back(100, 20, QImage::Format_RGB32);
  back.fill(Qt::gray);
  bar.setBarPictureBack(back);
  EXPECT_EQ(bar.size(), QSize(100, 20));
}

TEST(ucProgressBar, FirmwarePictureAndAccessibleValue) {
  const QImage fw = firmwareBarPicture();
  EXPECT_EQ(fw.size(), QSize(233, 25));
  const QColor mid = fw.pixelColor(7, 12);
  EXPECT_GT(mid.green(), mid.red() + 50);
  ucProgressBar bar;
  bar.setCaptionFormat(1);
  bar.setValue(50);
  QAccessibleInterface* a = QAccessible::queryAccessibleInterface(&bar);
  ASSERT_NE(a, nullptr);
  EXPECT_EQ(a->text(QAccessible::Value), QStringLiteral("50% (50)"));
  EXPECT_EQ(a->role(), QAccessible::ProgressBar);
}
