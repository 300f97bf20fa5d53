#include "link/portnames.h"

#include "support/tempfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <gtest/gtest.h>

namespace ondrel {
namespace {

TEST(PortNameTest, NumbersAndNamesConvertBothWays) {
  EXPECT_EQ(portName(3), "COM3");
  EXPECT_EQ(portName(12), "COM12");
  EXPECT_EQ(portNumber("COM3"), 3);
  EXPECT_EQ(portNumber("COM12"), 12);
  for (const char* bad : {"COM", "COM0", "COM03", "com3", "COM3x", "XCOM3", "", "COM-1"})
    EXPECT_FALSE(portNumber(bad).has_value()) << bad;
}

TEST(PortNameTest, PortsLiveInTheProgramFolder) {
  testing::TempProgramFolder folder;
  EXPECT_EQ(portsFolder(), folder.file("ports"));
#ifndef Q_OS_WIN
  EXPECT_EQ(portDevice(5, portsFolder()), folder.file("ports/COM5"));
#endif
}

#ifndef Q_OS_WIN
// Stand-ins for device nodes: plain files in a temporary folder.
struct AdapterFixture : ::testing::Test {
  testing::TempProgramFolder folder;
  QString dev(const QString& name) { return folder.write("dev/" + name, "node"); }
  QString target(int n) { return QFileInfo(folder.file("ports/" + portName(n))).symLinkTarget(); }
};

TEST_F(AdapterFixture, NewAdaptersGetTheLowestFreeNumbersFromTwo) {
  const QString a = dev("usb-FTDI_A"), b = dev("usb-FTDI_B");
  EXPECT_EQ(numberNewAdapters(portsFolder(), {a, b}), (QList<int>{2, 3}));
  EXPECT_EQ(target(2), a);
  EXPECT_EQ(target(3), b);
  // Next probe: both already numbered.
  EXPECT_TRUE(numberNewAdapters(portsFolder(), {a, b}).isEmpty());
}

TEST_F(AdapterFixture, UnpluggedAdapterKeepsItsNumber) {
  const QString a = dev("usb-A"), b = dev("usb-B");
  numberNewAdapters(portsFolder(), {a, b});
  QFile::remove(a); // unplugged: its link dangles
  const QString c = dev("usb-C");
  EXPECT_EQ(numberNewAdapters(portsFolder(), {b, c}), QList<int>{4});
  dev("usb-A"); // plugged back in
  EXPECT_TRUE(numberNewAdapters(portsFolder(), {a, b, c}).isEmpty());
  EXPECT_EQ(target(2), a);
}

TEST_F(AdapterFixture, LinksMadeByHandAreRespected) {
  const QString a = dev("ttyUSB0");
  QDir().mkpath(portsFolder());
  ASSERT_TRUE(QFile::link(a, folder.file("ports/COM7")));              // the user's own number
  ASSERT_TRUE(QFile::link(dev("pts-sim"), folder.file("ports/COM2"))); // the simulator's
  // The same device under another path (as a by-id link would be) is not numbered twice.
  ASSERT_TRUE(QFile::link(a, folder.file("dev/usb-by-id-A")));
  EXPECT_TRUE(numberNewAdapters(portsFolder(), {folder.file("dev/usb-by-id-A")}).isEmpty());
  EXPECT_EQ(numberNewAdapters(portsFolder(), {dev("ttyUSB1")}), QList<int>{3});
}

TEST_F(AdapterFixture, NoNumberAbove20IsHandedOut) {
  QStringList many;
  for (int i = 0; i < 22; ++i)
    many << dev(QStringLiteral("usb-%1").arg(i));
  const QList<int> got = numberNewAdapters(portsFolder(), many);
  ASSERT_EQ(got.size(), 19);
  EXPECT_EQ(got.first(), 2);
  EXPECT_EQ(got.last(), 20);
  EXPECT_FALSE(QFileInfo::exists(folder.file("ports/COM21")));
}

TEST_F(AdapterFixture, NothingToNumberCreatesNoFolder) {
  EXPECT_TRUE(numberNewAdapters(portsFolder(), {}).isEmpty());
  EXPECT_FALSE(QFileInfo::exists(portsFolder()));
}
#endif

} // namespace
} // namespace ondrel
