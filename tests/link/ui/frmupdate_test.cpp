#include "link/ui/frmupdate.h"

#include "link/memoryport.h"
#include "sim/bootloader.h"
#include "support/bootloaderline.h"
#include "support/tempfolder.h"
#include "widgets/ucprogressbar.h"

#include <QComboBox>
#include <QDeadlineTimer>
#include <QJsonObject>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace ondrel;
using ondrel::testing::randomImage;
using ondrel::testing::TempProgramFolder;

namespace {

// The window of slot 1 (port COM3) on a memory line whose far end is the simulator's boot
// loader; the test carries the bytes across while the window's timers run.
class UpdateWindow : public ::testing::Test {
protected:
  TempProgramFolder home;
  MemoryPorts ports;
  std::shared_ptr<MemoryLine> line = ports.line(3);
  std::unique_ptr<sim::BootLoader> loader;
  std::unique_ptr<frmUpdate> window;
  QStringList messages;
  QList<QMessageBox::Icon> icons;
  std::function<void(const QString&)> onMessage; // runs when a message is shown
  // Changes the loader's reply to a write; identity by default.
  std::function<QByteArray(const QByteArray& written, const QByteArray& reply)> tamper;
  bool closed = false;
  qsizetype m_carried = 0;

  void device(int type, int version, std::function<void(sim::BootConfig&)> more = {}) {
    loader = ondrel::testing::bootLoader(type, version, more);
  }

  frmUpdate& open(const QString& port = QStringLiteral("COM3")) {
    window = std::make_unique<frmUpdate>(
        1, port, ports,
        [this](QMessageBox::Icon icon, const QString& text, QMessageBox::StandardButtons) {
          messages << text;
          icons << icon;
          if (onMessage)
            onMessage(text);
          return QMessageBox::Ok;
        });
    QObject::connect(window.get(), &frmUpdate::closed, [this] { closed = true; });
    window->show();
    return *window;
  }

  template <typename T> T* child(const char* name) const {
    return window->findChild<T*>(QLatin1String(name));
  }
  QPushButton* button(const char* name) const { return child<QPushButton>(name); }
  QComboBox* types() const { return child<QComboBox>("cmbDev"); }
  QStringList typeList() const {
    QStringList out;
    for (int i = 0; i < types()->count(); ++i)
      out << types()->itemText(i);
    return out;
  }
  // Shortens the reply and pause times, for a device that does not answer.
  void quickTimers() {
    child<QTimer>("Timer1")->setInterval(40);
    child<QTimer>("Timer2")->setInterval(4);
  }

  // Carries what the window wrote to the loader and its answers back, and lets events run,
  // until `done` holds; whether it did within the bound.
  bool runUntil(const std::function<bool()>& done, int ms = 10000) {
    for (QDeadlineTimer limit(ms); !done();) {
      if (limit.hasExpired())
        return false;
      while (m_carried < line->writes.size()) {
        const QByteArray& w = line->writes[m_carried++];
        const QByteArray reply = loader->feed(w);
        line->feed(tamper ? tamper(w, reply) : reply);
      }
      QTest::qWait(1);
    }
    return true;
  }
  bool idle() const { return !window->session().busy(); }

  void identify() {
    button("cmdOpen")->click();
    ASSERT_TRUE(runUntil([this] { return idle(); }));
  }
  int heard(const char* what) {
    int n = 0;
    for (const QJsonObject& r : m_records)
      n += r.value("boot").toString() == QLatin1String(what);
    return n;
  }
  void collect() { m_records += loader->takeRecords(); }
  QList<QJsonObject> m_records;
};

TEST_F(UpdateWindow, OpensWithItsCaptionControlsAndTheImagesPresent) {
  home.write(QStringLiteral("Firmware/51.bin"), "x");
  home.write(QStringLiteral("Firmware/262.bin"), "x");
  home.write(QStringLiteral("Firmware/9.bin"), "x");
  home.write(QStringLiteral("Firmware/readme.txt"), "x");
  open();
  EXPECT_EQ(window->windowTitle(), QStringLiteral("Firmware Update--Device2"));
  EXPECT_EQ(typeList(), (QStringList{"KL-10", "KC-11", "KC-03"}));
  EXPECT_TRUE(button("cmdOpen")->isEnabled());
  EXPECT_EQ(button("cmdOpen")->text(), QStringLiteral("Identify"));
  EXPECT_FALSE(button("cmdUpdate")->isEnabled());
  EXPECT_EQ(button("cmdUpdate")->text(), QStringLiteral("Update"));
  EXPECT_EQ(window->progressBar().Min(), 0);
  EXPECT_EQ(window->progressBar().Value(), 0);
  EXPECT_EQ(child<QLabel>("lblDev")->text(), QStringLiteral("Type:"));
  EXPECT_EQ(child<QLabel>("lblDev")->buddy(), types());
  EXPECT_EQ(child<QLabel>("lblProg")->text(), QStringLiteral("Prog:"));
  EXPECT_EQ(child<QLabel>("lblProg")->buddy(), &window->progressBar());
  EXPECT_FALSE(window->portOpen()); // not before "Identify"
  EXPECT_FALSE(window->session().Synced());
}

TEST_F(UpdateWindow, IdentifyOffersTheImageAndUpdateWritesItAndStartsIt) {
  const QByteArray image = randomImage(301);
  home.write(QStringLiteral("Firmware/262.bin"), image);
  device(26, 320);
  open();
  identify();
  EXPECT_EQ(messages, QStringList{"Success! Please select device type"});
  EXPECT_EQ(icons, QList{QMessageBox::Information});
  EXPECT_EQ(types()->currentText(), QStringLiteral("KL-10"));
  EXPECT_TRUE(button("cmdUpdate")->isEnabled());
  EXPECT_EQ(line->settings.baud, 9600);
  EXPECT_EQ(line->settings.parity, Parity::Even);
  // A whole block may take its time on the line.
  EXPECT_GE(line->timeouts.writeTotalConstant + 131 * line->timeouts.writeTotalMultiplier, 150u);

  QList<int> values;
  QObject::connect(&window->progressBar(), &ucProgressBar::Change,
                   [&] { values << window->progressBar().Value(); });
  int shownAtEnd = -1;
  onMessage = [&](const QString&) { shownAtEnd = window->progressBar().Value(); };
  button("cmdUpdate")->click();
  EXPECT_FALSE(button("cmdUpdate")->isEnabled());
  EXPECT_FALSE(button("cmdOpen")->isEnabled());
  EXPECT_EQ(window->progressBar().Max(), 301);
  ASSERT_TRUE(runUntil([this] { return closed; }));
  EXPECT_EQ(messages.last(), QStringLiteral("Update OK"));
  EXPECT_EQ(icons.last(), QMessageBox::Information);
  EXPECT_EQ(values, (QList<int>{128, 256, 301}));
  EXPECT_EQ(shownAtEnd, 301);
  EXPECT_EQ(loader->image(), image);
  EXPECT_TRUE(loader->started());
  EXPECT_FALSE(line->isOpen);
  EXPECT_FALSE(window->isVisible());
}

TEST_F(UpdateWindow, IdentifySaysWhatItFound) {
  struct Case {
    const char* what;
    int type, version;
    std::function<void(sim::BootConfig&)> loader;
    QStringList messages;
    bool updateEnabled, windowClosed;
  } cases[] = {
      {"latest", 7, 302, {}, {"Firmware is the latest:7"}, false, false},
      {"latest version", 26, 321, {}, {"Firmware is the latest:26"}, false, false},
      {"offered", 5, 302, {}, {"Success! Please select device type"}, true, false},
      {"no answer",
       26,
       320,
       [](sim::BootConfig& c) { c.silent = true; },
       {"Failed! Please check TTL cable"},
       false,
       true},
      {"third sync",
       26,
       320,
       [](sim::BootConfig& c) { c.answerSync = 3; },
       {"Success! Please select device type"},
       true,
       false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    messages.clear();
    closed = false;
    m_carried = 0;
    line->writes.clear();
    line->incoming.clear();
    device(c.type, c.version, c.loader);
    open();
    quickTimers();
    identify();
    EXPECT_EQ(messages, c.messages);
    EXPECT_EQ(button("cmdUpdate")->isEnabled(), c.updateEnabled);
    EXPECT_EQ(closed, c.windowClosed);
    EXPECT_EQ(window->portOpen(), !c.windowClosed);
    window.reset();
  }
}

TEST_F(UpdateWindow, AFailedGetSaysNothingAndIdentifyMayBeTriedAgain) {
  device(9, 302);
  open();
  quickTimers();
  tamper = [](const QByteArray& w, const QByteArray& r) {
    return w == QByteArray("\x00\xFF", 2) ? r.left(8) : r; // the Get reply cut to 8 bytes
  };
  identify();
  EXPECT_TRUE(messages.isEmpty());
  EXPECT_TRUE(button("cmdOpen")->isEnabled());
  EXPECT_FALSE(button("cmdUpdate")->isEnabled());
  EXPECT_TRUE(home.mainLog().contains(QStringLiteral("[ErrGT]"))) << home.mainLog().toStdString();
  tamper = nullptr;
  identify();
  EXPECT_EQ(messages, QStringList{"Success! Please select device type"});
}

TEST_F(UpdateWindow, EveryIdentifyStartsTheTypeListAfresh) {
  home.write(QStringLiteral("Firmware/51.bin"), "x");
  device(26, 320); // KL-10 offered, its image not there
  open();
  identify();
  identify();
  EXPECT_EQ(typeList(), (QStringList{"KC-11", "KL-10"}));
  EXPECT_EQ(types()->currentText(), QStringLiteral("KL-10"));
  // The second one did not synchronise again.
  collect();
  EXPECT_EQ(heard("sync"), 1);
  EXPECT_EQ(heard("get"), 2);
}

TEST_F(UpdateWindow, UpdateFailsCleanlyBeforeErasing) {
  struct Case {
    const char* what;
    const char* file; // written to the firmware folder
    int bytes;
    const char* pick; // the type text chosen before "Update"
    const char* logged;
  } cases[] = {
      {"image missing", nullptr, 0, "KL-10", "262.bin"},
      {"named image missing", "Firmware/262.bin", 300, "KL-24", "201.bin"},
      {"empty image", "Firmware/262.bin", 0, "KL-10", "The image is empty"},
      {"image too long", "Firmware/262.bin", 0x7401, "KL-10",
       "An image of 29697 bytes from 0x8C00 runs past 0x10000"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TempProgramFolder own;
    if (c.file)
      own.write(QLatin1String(c.file), randomImage(c.bytes));
    messages.clear();
    closed = false;
    m_carried = 0;
    line->writes.clear();
    device(26, 320);
    open();
    identify();
    if (types()->findText(QLatin1String(c.pick)) < 0)
      types()->addItem(QLatin1String(c.pick));
    types()->setCurrentText(QLatin1String(c.pick));
    const qsizetype before = line->writes.size();
    button("cmdUpdate")->click();
    ASSERT_TRUE(runUntil([this] { return closed; }));
    EXPECT_EQ(messages.last(), QStringLiteral("Update failed"));
    EXPECT_EQ(icons.last(), QMessageBox::Critical);
    EXPECT_EQ(line->writes.size(), before); // nothing sent, so nothing erased
    EXPECT_TRUE(own.mainLog().contains(QLatin1String(c.logged))) << own.mainLog().toStdString();
    EXPECT_TRUE(own.mainLog().contains(QStringLiteral("[ErrUPD]")));
    window.reset();
  }
}

TEST_F(UpdateWindow, ARefusedBlockSaysUpdateFailed) {
  home.write(QStringLiteral("Firmware/51.bin"), randomImage(500));
  device(5, 302, [](sim::BootConfig& c) { c.rejectBlock = 3; });
  open();
  identify();
  EXPECT_EQ(types()->currentText(), QStringLiteral("KC-11"));
  button("cmdUpdate")->click();
  ASSERT_TRUE(runUntil([this] { return closed; }));
  EXPECT_EQ(messages.last(), QStringLiteral("Update failed"));
  EXPECT_EQ(window->progressBar().Value(), 256);
  EXPECT_FALSE(loader->started());
  EXPECT_FALSE(line->isOpen);
}

// While a job waits for the device, a close or another "Identify" would nest the waits and take
// the port from under the job.
TEST_F(UpdateWindow, ClosingAndTheButtonsAreLockedWhileAJobWaits) {
  home.write(QStringLiteral("Firmware/262.bin"), randomImage(1000));
  device(26, 320);
  open();
  identify();
  button("cmdUpdate")->click();
  ASSERT_TRUE(runUntil([this] { return window->progressBar().Value() >= 256; }));
  ASSERT_TRUE(window->session().busy());
  EXPECT_FALSE(window->close());
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(closed);
  window->activateWindow(); // Escape is refused as the close is
  ASSERT_TRUE(QTest::qWaitForWindowActive(window.get()));
  QTest::keyClick(window.get(), Qt::Key_Escape);
  EXPECT_TRUE(window->isVisible());
  EXPECT_FALSE(closed);
  EXPECT_FALSE(button("cmdOpen")->isEnabled());
  EXPECT_FALSE(button("cmdUpdate")->isEnabled());
  window->cmdOpen_Click(); // even when reached without the button
  window->cmdUpdate_Click();
  EXPECT_TRUE(window->portOpen());
  ASSERT_TRUE(runUntil([this] { return closed; }));
  EXPECT_EQ(messages.last(), QStringLiteral("Update OK"));
  collect();
  EXPECT_EQ(heard("get"), 2); // Identify's and Update's own
  EXPECT_EQ(heard("erase"), 1);
}

TEST_F(UpdateWindow, APortThatCannotBeUsedIsSaid) {
  struct Case {
    const char* port;
    const char* message;
  } cases[] = {
      {"", "Wrong Port!"},
      {"COM", "Wrong Port!"},
      {"COM7", "COM7 is not present."},
  };
  for (const Case& c : cases) {
    messages.clear();
    open(QLatin1String(c.port));
    button("cmdOpen")->click();
    EXPECT_EQ(messages, QStringList{QLatin1String(c.message)}) << c.port;
    EXPECT_FALSE(window->portOpen());
    EXPECT_TRUE(button("cmdOpen")->isEnabled());
    window.reset();
  }
}

} // namespace
