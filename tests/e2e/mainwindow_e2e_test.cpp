#include "e2e/endtoend.h"

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

// Ten testers side by side: each slot connects, runs a short discharge, and closing the program
// tells every device that it goes.
TEST_F(EndToEnd, TenSlotsRunSideBySideAndClosingDisconnectsEveryDevice) {
  for (int port = 2; port < 12; ++port)
    device(QStringLiteral("%1:model=12,cap=0.2").arg(port).toLatin1().constData());
  start(10);
  ASSERT_EQ(window->slotCount(), 10);
  EXPECT_FALSE(window->action(QStringLiteral("menuAddDev"))->isEnabled());
  for (int s = 0; s < 10; ++s)
    connect(s, QStringLiteral("COM%1").arg(s + 2));
  auto all = [&](const std::function<bool(DeviceSlot&)>& holds) {
    for (int s = 0; s < 10; ++s)
      if (!holds(window->slot(s)))
        return false;
    return true;
  };
  ASSERT_TRUE(runUntil([&] { return all([](DeviceSlot& s) { return !s.connecting(); }); }, 3000));

  for (int s = 0; s < 10; ++s) {
    DevCtrl& p = window->slot(s).panel();
    p.setTSval(0, QStringLiteral("1.00"));
    p.setTSlmt(0, QStringLiteral("3.00"));
    p.setTStim(0, QStringLiteral("0"));
    emit p.RunClick(0);
  }
  ASSERT_TRUE(
      runUntil([&] { return all([](DeviceSlot& s) { return s.ch(0).ChnRunning; }); }, 3000));
  run(2000);
  for (int s = 0; s < 10; ++s)
    EXPECT_EQ(window->slot(s).panel().tCur(0), QStringLiteral("01.00")) << "slot " << s;

  EXPECT_TRUE(window->close());
  EXPECT_EQ(messages,
            (QStringList{QStringLiteral("Close software?"), QStringLiteral("Stop running?")}));
  for (int i = 0; i < 20; ++i)
    tick();
  for (size_t d = 0; d < devices.size(); ++d) {
    const QStringList heard = commands(*devices[d]);
    EXPECT_TRUE(heard.contains(QStringLiteral("stop"))) << "device " << d;
    EXPECT_EQ(heard.value(heard.size() - 1), QStringLiteral("disconnect")) << "device " << d;
  }
}

} // namespace
