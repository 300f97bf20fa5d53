#include "data/recording.h"
#include "data/support/failure.h"
#include "support/tempfolder.h"

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

TEST(Recording, LinesAndHeadings) {
  EXPECT_EQ(recordingLine(12, 1.5f, 4.1234f, std::nullopt, 100),
            QStringLiteral("12\t01.50\t4.123"));
  EXPECT_EQ(recordingLine(0, 0.25f, 3.7f, 25.04f, 1000), QStringLiteral("0\t0.250\t3.700\t25.0"));
  EXPECT_EQ(columnHeadings(false, modelCaps(40)).join(QLatin1Char(',')),
            QStringLiteral("Time(S),Cur(mA),Vol(V)"));
  EXPECT_EQ(columnHeadings(true, modelCaps(40)).join(QLatin1Char(',')),
            QStringLiteral("Time(S),Cur(A),Vol(V),Temp(C)"));
  EXPECT_EQ(QString::fromLatin1(kBannerLine).size(), 41);
}

TEST(Recording, FileIsCreatedAnewAndAppended) {
  TempProgramFolder home;
  const QString base =
      recordingBasePath(home.path(), QStringLiteral("KL-F2"), QStringLiteral("COM3"), 0, 1);
  EXPECT_TRUE(base.endsWith(QStringLiteral("/ondrel-KL-F2-COM3-1-2")));
  home.write(QStringLiteral("ondrel-KL-F2-COM3-1-2.bak"), "old test\r\n");
  createRecordingFile(base, recordingHeader(QStringLiteral("KL-F2"), QStringLiteral("D-CC  1.00A"),
                                            QStringLiteral("4.10V"), false, modelCaps(12)));
  appendRecordingLine(base, recordingLine(1, 1.0f, 4.0f, std::nullopt, 100));
  EXPECT_EQ(home.read(QStringLiteral("ondrel-KL-F2-COM3-1-2.bak")),
            QByteArray("-----------Ondrel Tester Software------------\r\n"
                       "Device:KL-F2\r\nMode:D-CC  1.00A\r\nBegin Volt:4.10V\r\n") +
                kBannerLine + "\r\nTime(S)\tCur(A)\tVol(V)\r\n1\t01.00\t4.000\r\n");
}

TEST(Recording, UnwritableFileIsAFailure) {
  TempProgramFolder home;
  const QString base = home.file(QStringLiteral("missing/folder/ondrel-x"));
  EXPECT_THROW(appendRecordingLine(base, QStringLiteral("1\t1\t1")), Failure);
}

} // namespace
