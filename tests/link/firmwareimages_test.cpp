#include "link/firmwareimages.h"

#include "data/support/failure.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

TEST(FirmwareImages, IdentifyOffersAnImageByDeviceTypeAndVersion) {
  struct Case {
    int type, version;
    const char* offered; // nullptr: the firmware is the latest
  } cases[] = {
      {5, 302, "KC-11"},  {5, 0, nullptr},    {6, 0, "KC-14"},    {9, 999, "KC-03"},
      {10, 1, "KC-16"},   {10, 0, nullptr},   {19, 5, "KL-26"},   {19, 0, nullptr},
      {20, 310, "KL-24"}, {20, 311, nullptr}, {25, 315, "KL-22"}, {25, 316, nullptr},
      {26, 320, "KL-10"}, {26, 321, nullptr}, {28, 306, "KC-17"}, {28, 307, "KC-18"},
      {28, 308, nullptr}, {36, 0, "KC-07"},   {7, 302, nullptr},  {0, 0, nullptr},
  };
  for (const Case& c : cases) {
    const auto offered = offeredImage(c.type, c.version);
    if (c.offered)
      EXPECT_EQ(offered, QString::fromLatin1(c.offered)) << c.type << " " << c.version;
    else
      EXPECT_EQ(offered, std::nullopt) << c.type << " " << c.version;
  }
}

TEST(FirmwareImages, TheTypeTextNamesTheImageElseTheDeviceTypeDoes) {
  struct Case {
    const char* text;
    int type, id;
  } cases[] = {
      {"KL-10", 26, 262}, {"KC-11", 5, 51},   {"KC-16", 10, 101}, {"KL-26", 19, 191},
      {"KL-24", 20, 201}, {"KL-28", 0, 231},  {"KL-22", 25, 252}, {"KL-29", 0, 271},
      {"KC-17", 28, 283}, {"KC-18", 28, 284}, {"KC-15", 0, 391},  {"KC-14", 6, 6},
      {"KC-03", 9, 9},    {"KC-07", 36, 36},  {"", 9, 9},         {"kl-10", 26, 26},
  };
  for (const Case& c : cases)
    EXPECT_EQ(imageId(QString::fromLatin1(c.text), c.type), c.id) << c.text;
}

TEST(FirmwareImages, ImagesAreFilesOfTheFirmwareFolder) {
  TempProgramFolder home;
  EXPECT_EQ(firmwareImagePath(262), home.file(QStringLiteral("Firmware/262.bin")));
  EXPECT_FALSE(firmwareImagePresent(262));
  try {
    readFirmwareImage(262);
    ADD_FAILURE() << "a missing image was read";
  } catch (const Failure& f) {
    EXPECT_TRUE(f.description().contains(QStringLiteral("262.bin"))) << f.what();
  }
  home.write(QStringLiteral("Firmware/262.bin"), QByteArray("\x00\x01\xFF", 3));
  EXPECT_TRUE(firmwareImagePresent(262));
  EXPECT_EQ(readFirmwareImage(262), QByteArray("\x00\x01\xFF", 3));
}

} // namespace
