#include "e2e/endtoend.h"

#include "link/ui/frmupdate.h"
#include "support/bootloaderline.h"
#include "widgets/ucprogressbar.h"

#include <QAction>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QPushButton>
#include <QTabBar>
#include <QThread>
#include <QTimer>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::EndToEnd;

namespace {

// "Firmware Update" from the main window's menu against the simulator's boot loader on a
// pseudo-terminal: the window runs on its own timers, so here the device's clock moves with
// the events that the main window's wait lets run.
class FirmwareEndToEnd : public EndToEnd {
protected:
  bool runLive(const std::function<bool()>& done, int ms = 30000) {
    for (QDeadlineTimer limit(ms); !done();) {
      if (limit.hasExpired())
        return false;
      for (auto& d : devices)
        d->advance(5);
      QThread::usleep(300);
      QCoreApplication::processEvents();
    }
    return true;
  }
};

TEST_F(FirmwareEndToEnd, IdentifyThenUpdateWritesTheImageByteForByte) {
  const QByteArray image = ondrel::testing::randomImage(1000, 7);
  home.write(QStringLiteral("Firmware/262.bin"), image);
  sim::SimDevice& loader = device("3:boot=26,version=320");
  start();
  window->slot(0).panel().setTPort(QStringLiteral("COM3"));
  auto* tabs = window->findChild<QTabBar*>(QStringLiteral("tabDev"));

  int barAtEnd = -1, barMax = -1;
  bool tabsWhileOpen = true, driven = false;
  QTimer::singleShot(0, window.get(), [&] {
    auto* w = window->findChild<frmUpdate*>();
    if (!w)
      return;
    driven = true;
    tabsWhileOpen = tabs->isEnabled();
    w->findChild<QPushButton*>(QStringLiteral("cmdOpen"))->click();
    if (!runLive([&] { return !messages.isEmpty(); })) {
      w->close();
      return;
    }
    const QString identified = messages.last();
    if (identified != QStringLiteral("Success! Please select device type")) {
      w->close();
      return;
    }
    QObject::connect(&w->progressBar(), &ucProgressBar::ArrivedLast, [&] {
      barAtEnd = w->progressBar().Value();
      barMax = w->progressBar().Max();
    });
    w->findChild<QPushButton*>(QStringLiteral("cmdUpdate"))->click();
    runLive([&] { return messages.size() > 1; });
    runLive([&] { return !w->isVisible() && !w->session().busy(); }, 5000);
  });
  window->action(QStringLiteral("menuUpdate"))->trigger();

  ASSERT_TRUE(driven);
  EXPECT_FALSE(tabsWhileOpen);
  EXPECT_TRUE(tabs->isEnabled());
  EXPECT_EQ(messages, (QStringList{"Success! Please select device type", "Update OK"}));
  EXPECT_EQ(barAtEnd, image.size());
  EXPECT_EQ(barMax, image.size());
  EXPECT_EQ(readFile(loader.options().bootConfig.imagePath), image);
  EXPECT_FALSE(loader.inBootLoader()); // Go started the new firmware
  QStringList heard;
  for (const QJsonObject& r : loader.heard())
    if (r.contains("boot"))
      heard << r.value("boot").toString();
  EXPECT_EQ(heard.count(QStringLiteral("write")), 8);
  EXPECT_EQ(heard.count(QStringLiteral("erase")), 1);
  EXPECT_EQ(heard.last(), QStringLiteral("go"));
  EXPECT_TRUE(logText().isEmpty()) << logText().toStdString();
}

} // namespace
