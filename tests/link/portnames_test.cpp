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
  for (auto [text, n] : {std::pair{"COM3", 3},
                         {"COM12", 12},
                         {"com3", 3},
                         {"Com3", 3},
                         {"COM03", 3},
                         {"COM 3", 3},
                         {"COM99999", 99999},
                         {"COM0000012", 12}})
    EXPECT_EQ(portNumber(text), n) << text;
  for (const char* bad : {"COM", "COMx", "COM0", "COM00", "COM3x", "XCOM3", "", "COM-1", "COM3.0",
                          "COM 3 4", "COM100000", "CO3", "COM0x3", "USB3", "COM99999999999"})
    EXPECT_FALSE(portNumber(bad).has_value()) << bad;

  // Links in the ports folder open by their exact name, so only that counts there.
  EXPECT_EQ(linkPortNumber("COM12"), 12);
  for (const char* loose : {"com3", "COM03", "COM 3", "COM3 ", "COM"})
    EXPECT_FALSE(linkPortNumber(loose).has_value()) << loose;
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

TEST_F(AdapterFixture, LooselyNamedLinksTakeNoNumber) {
  QDir().mkpath(portsFolder());
  const QString a = dev("usb-A");
  // "COM02" and "com3" would not be opened for ports 2 and 3, so those numbers are still free
  // and the adapter they reach is still unnumbered.
  ASSERT_TRUE(QFile::link(a, folder.file("ports/COM02")));
  ASSERT_TRUE(QFile::link(dev("usb-B"), folder.file("ports/com3")));
  EXPECT_EQ(numberNewAdapters(portsFolder(), {a}), QList<int>{2});
  EXPECT_EQ(target(2), a);
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
