#include "data/support/ini.h"
#include "support/tempfolder.h"

#include <QFile>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

const QString kHeader = QStringLiteral(";--------Ondrel Config File----------");

class Ini : public ::testing::Test {
protected:
  TempProgramFolder home{TempProgramFolder::Bare};
  QString path = home.file(QStringLiteral("ondrel.ini"));

  void setFile(const QByteArray& bytes) { home.write(QStringLiteral("ondrel.ini"), bytes); }
  QByteArray fileBytes() const { return home.read(QStringLiteral("ondrel.ini")); }
  QString read(const char* section, const char* key, const char* def = "dflt") const {
    return IniRead(path, QString::fromLatin1(section), QString::fromLatin1(key),
                   QString::fromLatin1(def));
  }
};

TEST_F(Ini, ReadsLikeTheProfileApi) {
  setFile("; comment\r\n"
          "[COMM]\r\n"
          "  PORT1 =  5  \r\n"
          "port1=9\r\n" // duplicate key: the first wins
          "EMPTY=\r\n"
          "garbage line without equals\r\n"
          "=value without key\r\n"
          "[ auto ]\r\n"
          "SAVE=True\r\n"
          "[COMM]\r\n" // duplicate section: the first wins
          "PORT2=7\n"  // LF only
          "[LAST]\r"   // CR only
          "KEY=no trailing newline");
  const struct {
    const char *section, *key, *expected;
  } cases[] = {
      {"COMM", "PORT1", "5"},
      {"comm", "port1", "5"},
      {" COMM ", " PORT1 ", "5"},
      {"COMM", "EMPTY", "dflt"},
      {"COMM", "MISSING", "dflt"},
      {"NOSECTION", "PORT1", "dflt"},
      {"AUTO", "SAVE", "True"},
      {"COMM", "PORT2", "dflt"},
      {"LAST", "KEY", "no trailing newline"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(read(c.section, c.key), QString::fromLatin1(c.expected)) << c.section << "/" << c.key;
}

TEST_F(Ini, MissingOrUnreadableFileGivesTheDefault) {
  EXPECT_EQ(read("COMM", "PORT1", "2"), QStringLiteral("2"));
  QDir().mkpath(path); // a folder where the file should be
  EXPECT_EQ(read("COMM", "PORT1", "2"), QStringLiteral("2"));
}

TEST_F(Ini, LongValuesAreCutTo254) {
  setFile("[A]\r\nK=" + QByteArray(10000, 'x') + "\r\nNEXT=1\r\n");
  EXPECT_EQ(read("A", "K").size(), kIniMaxValueLength);
  EXPECT_EQ(read("A", "NEXT"), QStringLiteral("1"));
}

TEST_F(Ini, WriteKeepsEveryOtherLine) {
  setFile((kHeader + "\n[COMM]\nPORT1=2\n; keep me\n\n[ZZZ]\nunknown = stays\n").toLatin1());
  IniWrite(path, QStringLiteral("comm"), QStringLiteral("PORT1"), QStringLiteral("4"));
  IniWrite(path, QStringLiteral("COMM"), QStringLiteral("PORT2"), QStringLiteral("6"));
  IniWrite(path, QStringLiteral("AUTO"), QStringLiteral("SAVE"), QStringLiteral("True"));
  EXPECT_EQ(fileBytes(), (kHeader + "\r\n[COMM]\r\nPORT1=4\r\n; keep me\r\nPORT2=6\r\n\r\n"
                                    "[ZZZ]\r\nunknown = stays\r\n[AUTO]\r\nSAVE=True\r\n")
                             .toLatin1());
}

TEST_F(Ini, WriteCreatesTheFileAndReadsBack) {
  IniWrite(path, QStringLiteral("COMM"), QStringLiteral("PORT1"), QStringLiteral("3"));
  EXPECT_EQ(fileBytes(), QByteArray("[COMM]\r\nPORT1=3\r\n"));
  EXPECT_EQ(read("COMM", "PORT1"), QStringLiteral("3"));
}

TEST_F(Ini, WrittenValueStaysOnOneLine) {
  IniWrite(path, QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("x\r\n[B]\r\nY=1"));
  EXPECT_EQ(read("B", "Y"), QStringLiteral("dflt"));
  EXPECT_EQ(read("A", "K"), QStringLiteral("x  [B]  Y=1"));
}

TEST_F(Ini, WriteIntoReadOnlyFolderLeavesTheFileAlone) {
  setFile("[A]\r\nK=1\r\n");
  QFile::setPermissions(path, QFileDevice::ReadOwner);
  IniWrite(path, QStringLiteral("A"), QStringLiteral("K"), QStringLiteral("2"));
  QFile::setPermissions(path, QFileDevice::ReadOwner | QFileDevice::WriteOwner);
  // Root may write anyway; either the old or the new value, never a broken file.
  const QString v = read("A", "K");
  EXPECT_TRUE(v == QStringLiteral("1") || v == QStringLiteral("2")) << v.toStdString();
}

TEST(IniDocument, KeyLinesBeforeAnySectionAreNotFound) {
  const auto doc = IniDocument::fromText(QStringLiteral("K=1\r\n[A]\r\n"));
  EXPECT_TRUE(doc.value(QStringLiteral("A"), QStringLiteral("K")).isNull());
  EXPECT_TRUE(doc.value(QString(), QStringLiteral("K")).isNull());
}

} // namespace
