#include "e2e/endtoend.h"

#include "data/ui/rescalcommands.h"
#include "test/ui/frmres.h"

#include <QLineEdit>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

TEST_F(EndToEnd, ResistanceOfASimulatedCellComesOutAsItsInternalResistance) {
  device("2:model=12,res=80");
  start();
  DeviceSlot& s = connect(0, QStringLiteral("COM2"));
  ASSERT_TRUE(runUntil([&] { return !s.connecting(); }, 2000));

  QString result;
  QTimer::singleShot(0, window.get(), [&] {
    auto* w = window->findChild<frmRes*>();
    if (!w)
      return;
    auto* res = w->findChild<QLineEdit*>(QStringLiteral("txtRes"));
    w->cmdTest_Click(); // 1000 mA
    // The device shows the drop in its idle reports for a few seconds after the pulse.
    for (int second = 0; second < 4 && res->text().isEmpty(); ++second) {
      run(1000);
      w->Timer1_Timer();
    }
    result = res->text();
    w->close();
  });
  ResistanceTest(*window);
  bool numeric = false;
  const double milliohms = result.toDouble(&numeric);
  ASSERT_TRUE(numeric) << result.toStdString();
  // The drop travels in whole millivolts: at 1 A that is a milliohm either way.
  EXPECT_NEAR(milliohms, 80.0, 1.0) << result.toStdString();
  EXPECT_TRUE(messages.isEmpty()) << messages.join(u'|').toStdString();
}

} // namespace
