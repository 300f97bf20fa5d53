#include "data/textfile.h"

#include "data/support/failure.h"
#include "support/filesizelimit.h"
#include "support/printers.h"
#include "support/tempfolder.h"

#include <QDir>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::FileSizeLimit;
using ondrel::testing::TempProgramFolder;

namespace {

TEST(TextFile, LinesAreUtf8WithCrLfAndReadBackWhateverTheLineEnds) {
  const QStringList lines = {QStringLiteral("Title:电池 7"), QString(), QStringLiteral("0,1.00")};
  const QByteArray bytes = textFileBytes(lines);
  EXPECT_EQ(bytes, QByteArray("Title:\xe7\x94\xb5\xe6\xb1\xa0 7\r\n\r\n0,1.00\r\n"));
  EXPECT_EQ(textFileLines(bytes), lines);

  const struct {
    QByteArray bytes;
    QStringList lines;
  } cases[] = {
      {"a\nb\n", {QStringLiteral("a"), QStringLiteral("b")}},
      {"a\r\nb", {QStringLiteral("a"), QStringLiteral("b")}}, // the last line had no end
      {"a\r\r\n\n", {QStringLiteral("a"), QString()}},
      {"", {}},
      // A line written on a Chinese system (GBK) next to a UTF-8 one: each reads as written.
      {"T:\xb5\xe7\xb3\xd8\r\nD:\xe7\x94\xb5\r\n",
       {QStringLiteral("T:电池"), QStringLiteral("D:电")}},
  };
  for (const auto& c : cases)
    EXPECT_EQ(textFileLines(c.bytes), c.lines) << c.bytes.toStdString();

  // Bytes that fit neither still give their line, with the readable part intact.
  const QStringList junk = textFileLines(QByteArray("S:5\xff\x80\r\nL:3\r\n"));
  ASSERT_EQ(junk.size(), 2);
  EXPECT_TRUE(junk[0].startsWith(QStringLiteral("S:5")));
  EXPECT_EQ(junk[1], QStringLiteral("L:3"));
}

TEST(TextFile, WritingReplacesTheFileOnlyWhenComplete) {
  TempProgramFolder home;
  const QString path = home.file(QStringLiteral("a.csv"));
  writeTextFile(path, {QStringLiteral("old")});
  writeTextFile(path, {QStringLiteral("x"), QStringLiteral("y")});
  EXPECT_EQ(home.read(QStringLiteral("a.csv")), QByteArray("x\r\ny\r\n"));

  const auto onlyFiles = [&] {
    return QDir(home.path()).entryList(QDir::Files | QDir::NoDotAndDotDot | QDir::Hidden);
  };
  // A full disk in the middle of the file: the old file stays whole, no temporary file remains,
  // and the failure names the file.
  const QStringList big(2000, QStringLiteral("12345,1.000,4.100"));
  try {
    FileSizeLimit full(4096);
    writeTextFile(path, big);
    ADD_FAILURE() << "no failure";
  } catch (const Failure& f) {
    EXPECT_TRUE(f.description().contains(QStringLiteral("a.csv"))) << f.what();
  }
  EXPECT_EQ(home.read(QStringLiteral("a.csv")), QByteArray("x\r\ny\r\n"));
  EXPECT_EQ(onlyFiles(), QStringList{QStringLiteral("a.csv")});

  // A folder in the way of the name, and a folder that does not exist.
  QDir(home.path()).mkdir(QStringLiteral("b.csv"));
  EXPECT_THROW(writeTextFile(home.file(QStringLiteral("b.csv")), big), Failure);
  EXPECT_THROW(writeTextFile(home.file(QStringLiteral("no/such/dir/a.csv")), {}), Failure);
  EXPECT_EQ(onlyFiles(), QStringList{QStringLiteral("a.csv")});
}

} // namespace
