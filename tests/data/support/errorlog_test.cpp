#include "data/support/errorlog.h"
#include "data/support/failure.h"
#include "support/tempfolder.h"

#include <QDate>
#include <QDir>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

TEST(ErrorLog, FileNameHasNoLeadingZeros) {
  EXPECT_EQ(mainLogFileName(QDate(2024, 3, 5)), QStringLiteral("ondrel-202435.log"));
  // 12 January and 2 November share a name: the form keeps no separators.
  EXPECT_EQ(mainLogFileName(QDate(2024, 1, 12)), mainLogFileName(QDate(2024, 11, 2)));
  EXPECT_EQ(mainLogFileName(QDate(2024, 12, 31)), QStringLiteral("ondrel-20241231.log"));
}

TEST(ErrorLog, LineForms) {
  const QDateTime when(QDate(2024, 3, 5), QTime(7, 8, 9));
  EXPECT_EQ(mainLogLine(when, QStringLiteral("ErrComm"), QStringLiteral("boom")),
            QStringLiteral("2024-03-05 07:08:09 V1.0.0:[ErrComm]boom"));
  EXPECT_EQ(viewerLogLine(when, QStringLiteral("ErrTitle2"), QStringLiteral("x")),
            QStringLiteral("2024-03-05 07:08:09:[ErrTitle2]x"));
}

TEST(ErrorLog, AppendsLinesToTheDaysFile) {
  TempProgramFolder home;
  ErrLog(QStringLiteral("ErrConn"), QStringLiteral("first"));
  ErrLog(QStringLiteral("ErrStop"), QStringLiteral("second"));
  const QByteArray text = home.read(QStringLiteral("Log/") + mainLogFileName(QDate::currentDate()));
  const QList<QByteArray> lines = text.split('\n');
  ASSERT_EQ(lines.size(), 3); // two lines and the empty rest after the last line end
  EXPECT_TRUE(lines[0].endsWith(":[ErrConn]first\r"));
  EXPECT_TRUE(lines[1].endsWith(":[ErrStop]second\r"));
}

TEST(ErrorLog, NoLogFolderMeansNothingLogged) {
  TempProgramFolder home(TempProgramFolder::Bare);
  ErrLog(QStringLiteral("ErrConn"), QStringLiteral("lost"));
  EXPECT_TRUE(QDir(home.path()).entryList(QDir::NoDotAndDotDot | QDir::AllEntries).isEmpty());

  home.write(QStringLiteral("Log"), "a file, not a folder");
  ErrLog(QStringLiteral("ErrConn"), QStringLiteral("lost"));
  EXPECT_EQ(home.read(QStringLiteral("Log")), QByteArray("a file, not a folder"));
}

TEST(ErrorLog, ViewerLogIsOneFile) {
  TempProgramFolder home(TempProgramFolder::Bare);
  ViewerErrLog(QStringLiteral("ErrSavePic"), QStringLiteral("disk full"));
  EXPECT_TRUE(home.read(QStringLiteral("ondrel.log")).endsWith(":[ErrSavePic]disk full\r\n"));
}

TEST(LogFailures, CatchesLogsAndGoesOn) {
  TempProgramFolder home;
  EXPECT_FALSE(logFailures(QStringLiteral("ErrSaveData"),
                           [] { throw Failure(QStringLiteral("Disk full")); }));
  EXPECT_FALSE(logFailures(QStringLiteral("ErrCap"), [] { throw std::runtime_error("range"); }));
  EXPECT_FALSE(logFailures(QStringLiteral("ErrCurve"), [] { throw 42; }));
  EXPECT_TRUE(logFailures(QStringLiteral("ErrNone"), [] {}));
  const QByteArray text = home.read(QStringLiteral("Log/") + mainLogFileName(QDate::currentDate()));
  EXPECT_TRUE(text.contains("[ErrSaveData]Disk full\r\n"));
  EXPECT_TRUE(text.contains("[ErrCap]range\r\n"));
  EXPECT_TRUE(text.contains("[ErrCurve]unknown failure\r\n"));
  EXPECT_FALSE(text.contains("ErrNone"));
}

} // namespace
