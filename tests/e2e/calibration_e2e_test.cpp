#include "e2e/endtoend.h"

#include "data/ui/rescalcommands.h"
#include "link/ui/frmadj.h"

#include <QJsonObject>
#include <QLineEdit>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

TEST_F(EndToEnd, ACalibrationPointFromTheWindowIsWhatTheDeviceHears) {
  sim::SimDevice& dev = device("2:model=12");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting() && !s.panel().tVol(0).isEmpty(); }, 2000));
  run(500);

  ParameterCalibration(*window);
  auto* w = window->findChild<frmAdj*>();
  ASSERT_NE(w, nullptr) << messages.join(u'|').toStdString();
  // A value close to what the panel shows, in the box's own picture.
  const double shown = s.panel().tVol(0).toDouble();
  const int millivolts = static_cast<int>(shown * 1000.0) + 5;
  w->findChild<QLineEdit*>(QStringLiteral("txtVL"))
      ->setText(QString::number(millivolts / 1000.0, 'f', 3));
  w->calibrate(CalibPoint::LowVolt);
  ASSERT_TRUE(runUntil(
      [&] {
        const QList<QJsonObject> heard = dev.heard();
        return !heard.isEmpty() && heard.last().value("cmd").toString() == "calibration";
      },
      1000));
  const QJsonObject heard = dev.heard().last();
  EXPECT_EQ(heard.value("point").toInt(), 0);
  EXPECT_EQ(heard.value("value").toInt(), millivolts);
  EXPECT_EQ(heard.value("channel").toInt(), 0);
  w->close();
}

} // namespace
