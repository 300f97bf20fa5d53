#include "data/support/programfolder.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>
#include <unistd.h>

using namespace ondrel;

namespace {

TEST(ProgramFolder, HomeOptionWins) {
  QTemporaryDir tmp;
  const QString home = QDir(tmp.path()).filePath(QStringLiteral("new/home"));
  EXPECT_EQ(resolveProgramFolder(home, tmp.path(), tmp.path()), home);
  EXPECT_TRUE(QDir(home).exists());
}

TEST(ProgramFolder, WritableExecutableFolderIsPortableUse) {
  QTemporaryDir exe, user;
  EXPECT_EQ(resolveProgramFolder(QString(), exe.path(), user.path()), exe.path());
}

TEST(ProgramFolder, UnwritableExecutableFolderFallsBackToUserData) {
  if (geteuid() == 0)
    GTEST_SKIP() << "root writes everywhere";
  QTemporaryDir exe, user;
  QFile::setPermissions(exe.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
  EXPECT_EQ(resolveProgramFolder(QString(), exe.path(), user.path()), user.path());
  QFile::setPermissions(exe.path(),
                        QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
}

// An installed program run as root could write to prefix/bin; its files go to the user's data
// folder instead. A build tree's bin (no share/ beside it) is still portable use.
TEST(ProgramFolder, InstalledExecutableFolderIsNeverTheProgramFolder) {
  QTemporaryDir prefix, user;
  const QDir root(prefix.path());
  ASSERT_TRUE(root.mkpath(QStringLiteral("bin")));
  const QString bin = root.filePath(QStringLiteral("bin"));
  EXPECT_EQ(resolveProgramFolder(QString(), bin, user.path()), bin);
  for (const QString& marker : {QStringLiteral("share/doc/ondrel"),
                                QStringLiteral("share/applications")}) {
    QTemporaryDir installed;
    const QDir r(installed.path());
    ASSERT_TRUE(r.mkpath(QStringLiteral("bin")));
    ASSERT_TRUE(r.mkpath(marker));
    if (marker.endsWith(QLatin1String("applications"))) {
      QFile entry(r.filePath(marker + QStringLiteral("/io.github.ondrel.Ondrel.desktop")));
      ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
    }
    EXPECT_EQ(resolveProgramFolder(QString(), r.filePath(QStringLiteral("bin")), user.path()),
              user.path())
        << marker.toStdString();
  }
}

TEST(ProgramFolder, MissingExecutableFolderFallsBack) {
  QTemporaryDir user;
  EXPECT_EQ(resolveProgramFolder(QString(), QStringLiteral("/nonexistent/ondrel"), user.path()),
            user.path());
}

TEST(ProgramFolder, HomeOptionForms) {
  const QString app = QStringLiteral("ondrel");
  EXPECT_EQ(homeOption({app, QStringLiteral("--home"), QStringLiteral("/x")}),
            QStringLiteral("/x"));
  EXPECT_EQ(homeOption({app, QStringLiteral("--home=/y")}), QStringLiteral("/y"));
  EXPECT_EQ(homeOption({app, QStringLiteral("--home")}), QString());
  EXPECT_EQ(homeOption({app}), QString());
}

TEST(ProgramFolder, PathsJoinPortably) {
  const QString before = programFolder();
  setProgramFolder(QStringLiteral("/srv/ondrel"));
  EXPECT_EQ(programPath(QStringLiteral("Log/ondrel-202435.log")),
            QStringLiteral("/srv/ondrel/Log/ondrel-202435.log"));
  setProgramFolder(before);
}

} // namespace
