#include "data/recording.h"
#include "data/textfile.h"
#include "support/connectedwindow.h"
#include "support/filesizelimit.h"
#include "support/printers.h"
#include "widgets/curvegraph.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>

#include <optional>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::FileSizeLimit;

namespace {

// Tests that end on the device while "SAVE" is on, and the data files they leave.
class DataFiles : public ConnectedWindow {
protected:
  void SetUp() override {
    ConnectedWindow::SetUp();
    window->prefs().SAVE = true;
  }
  // A running sample one second later on the channel's curve and test clocks.
  void sample(int volt, int cur, int c = 0) {
    ++channel(c).CurveSec;
    ++channel(c).TestSec;
    feed(running(model, volt, cur, c));
  }
  void end(int volt, int c = 0) { feed(idle(model, volt, c)); }
  QStringList dataFiles() const {
    return QDir(home.file(QStringLiteral("Data"))).entryList(QDir::Files | QDir::Hidden);
  }
  // The one data file there is, as lines; the folder is emptied for the next one.
  QStringList takeDataFile(const QString& nameEnd) {
    const QStringList files = dataFiles();
    EXPECT_EQ(files.size(), 1) << files.join(u' ').toStdString();
    if (files.size() != 1)
      return {};
    EXPECT_TRUE(files[0].endsWith(nameEnd)) << files[0].toStdString();
    const QString path = QStringLiteral("Data/") + files[0];
    const QStringList lines = textFileLines(home.read(path));
    QFile::remove(home.file(path));
    return lines;
  }
  // The result block the channel's grid row makes.
  QStringList resultBlock(int c) {
    QStringList lines;
    const char* const keys[] = {"Device",   "Mode",   "Begin Volt", "Cutoff Volt",
                                "Capacity", "Energy", "Avg Volt"};
    for (int col = 0; col < 7; ++col)
      lines << QLatin1String(keys[col]) + QLatin1Char(':') + slot().gridText(gridRow(c), col);
    return lines;
  }
  QStringList header(const QStringList& block, const QString& title, const QString& sep) {
    return QStringList{QLatin1String(kDataTitleLine)} + block +
           QStringList{QStringLiteral("Title:") + title, QLatin1String(kBannerLine),
                       QStringList{QStringLiteral("Time(S)"), QStringLiteral("Cur(A)"),
                                   QStringLiteral("Vol(V)")}
                           .join(sep)};
  }
};

TEST_F(DataFiles, TheEndOfATestSavesTheGraphsPointsWithTheTestsResults) {
  const struct {
    bool csv;
    const char *ext, *sep;
  } cases[] = {{true, ".csv", ","}, {false, ".dat", "\t"}};
  for (const auto& c : cases) {
    window->prefs().CSV = c.csv;
    slot().graph().setTitleText(QStringLiteral("Cell 7"));
    typeParams(QStringLiteral("1.00"), QStringLiteral("3.00"), QStringLiteral("0"));
    feed(idle(12, 4100));
    emit panel().RunClick(0);
    feed(running(12, 4000, 100)); // the begin voltage and the first sample, both at 0 s
    sample(3990, 100);
    sample(3980, 100);
    end(3000);
    const QStringList lines = takeDataFile(QStringLiteral("-KL-F2-1-1") + QLatin1String(c.ext));
    const QString sep = QString::fromLatin1(c.sep);
    EXPECT_EQ(
        resultBlock(0).mid(0, 4),
        (QStringList{QStringLiteral("Device:KL-F2"), QStringLiteral("Mode:D-CC  1.00A  3.00V"),
                     QStringLiteral("Begin Volt:4.100V"), QStringLiteral("Cutoff Volt:3.000V")}));
    QStringList points = {QStringLiteral("0,1.00,4.100"), QStringLiteral("0,1.00,4.000"),
                          QStringLiteral("1,1.00,3.990"), QStringLiteral("2,1.00,3.980"),
                          QStringLiteral("2,0.00,3.000")};
    points.replaceInStrings(QStringLiteral(","), sep);
    EXPECT_EQ(lines, header(resultBlock(0), QStringLiteral("Cell 7"), sep) + points);
  }
}

TEST_F(DataFiles, ATestStartedOnANonEmptyGraphCountsItsTimeFromItsStart) {
  emit panel().RunClick(0);
  feed(running(12, 4100, 100));
  sample(4090, 100);
  end(4000);
  takeDataFile(QStringLiteral(".csv"));
  // A step program's next step keeps the curves; its file holds only its own points.
  DeviceSlotProbe::setStepRunning(slot(), true);
  slot().singleTest().ProgramRunClick(0);
  channel(0).CurveSec = 10;
  feed(running(12, 4050, 100));
  sample(4040, 100);
  end(3500);
  const QStringList lines = takeDataFile(QStringLiteral(".csv"));
  EXPECT_EQ(lines.mid(11),
            (QStringList{QStringLiteral("0,1.00,4.050"), QStringLiteral("1,1.00,4.040"),
                         QStringLiteral("1,0.00,3.500")}));
}

TEST_F(DataFiles, AContinuedTestsFileHoldsTheRecordedAndTheNewPoints) {
  home.write(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"),
             "-----------Ondrel Tester Software------------\r\nDevice:KL-F2\r\n"
             "Mode:D-CC  1.50A  3.00V\r\nBegin Volt:4.150V\r\n"
             "-------------www.ondrel.com--------------\r\nTime(S)\tCur(A)\tVol(V)\r\n"
             "0\t1.50\t4.150\r\n60\t1.50\t3.800\r\n");
  typeParams(QStringLiteral("1.50"), QStringLiteral("3.00"), QStringLiteral("0"));
  emit panel().ContClick(0);
  feed(running(12, 3790, 150));
  sample(3780, 150);
  end(3000);
  const QStringList lines = takeDataFile(QStringLiteral("-KL-F2-1-1.csv"));
  EXPECT_EQ(lines.value(3), QStringLiteral("Begin Volt:4.150V"));
  EXPECT_EQ(lines.mid(11),
            (QStringList{QStringLiteral("0,1.50,4.150"), QStringLiteral("60,1.50,3.800"),
                         QStringLiteral("60,1.50,3.790"), QStringLiteral("61,1.50,3.780"),
                         QStringLiteral("61,0.00,3.000")}));
}

TEST_F(DataFiles, TheSecondChannelEndingWhileTheFirstRunsSavesItsOwnFile) {
  open(17);
  window->prefs().SAVE = true;
  typeParams(QStringLiteral("0.50"), QStringLiteral("3.00"), QStringLiteral("0"), 0);
  typeParams(QStringLiteral("0.20"), QStringLiteral("2.50"), QStringLiteral("0"), 1);
  emit panel().RunClick(0);
  emit panel().RunClick(1);
  feed(running(17, 3700, 50, 0));
  feed(running(17, 3600, 20, 1));
  sample(3690, 50, 0);
  sample(3590, 20, 1);
  end(3000, 1);
  EXPECT_TRUE(slot().ch(0).ChnRunning);
  EXPECT_FALSE(slot().ch(0).RecPath.isEmpty());
  const QStringList lines = takeDataFile(QStringLiteral("-KL-03-1-2.csv"));
  EXPECT_EQ(lines.mid(1, 2), resultBlock(1).mid(0, 2));
  EXPECT_EQ(lines.value(4), QStringLiteral("Cutoff Volt:3.000V"));
  EXPECT_EQ(lines.mid(11),
            (QStringList{QStringLiteral("0,0.020,4.100"), QStringLiteral("0,0.020,3.600"),
                         QStringLiteral("1,0.020,3.590"), QStringLiteral("1,0.000,3.000")}));
}

TEST_F(DataFiles, AStepProgramsCurvesListItsStepsUntilTheUsersNextStart) {
  panel().StepListClr();
  const char* const rows[][4] = {{"1-1", "D-CC", "0.500", "1.850"}, {"2-1", "Wait", "0", "0"}};
  for (const auto& row : rows) {
    for (int col = 0; col < 4; ++col)
      panel().setTStepList(col, QString::fromLatin1(row[col]));
    panel().StepListAdd();
  }
  DeviceSlotProbe::stepProgramStarted(slot());
  const struct {
    bool program;
    QStringList block;
  } cases[] = {
      {true,
       {QStringLiteral("*Step,Mode,Capacity,Energy"), QStringLiteral("*1-1,D-CC,0.500,1.850"),
        QStringLiteral("*2-1,Wait,0,0")}},
      {false, {QStringLiteral("Device:KL-F2")}}, // the same table, but the user started this test
  };
  for (const auto& c : cases) {
    if (c.program)
      slot().singleTest().ProgramRunClick(0);
    else
      emit panel().RunClick(0);
    feed(running(12, 4000, 100));
    end(3000);
    const QStringList lines = takeDataFile(QStringLiteral(".csv"));
    EXPECT_EQ(lines.mid(1, c.block.size()), c.block) << c.program;
    EXPECT_EQ(lines.value(1 + (c.program ? 3 : 7)),
              QStringLiteral("Title:") + slot().graph().TitleText())
        << c.program;
  }
}

TEST_F(DataFiles, AnAutomaticFileThatCannotBeWrittenIsSaidAndTheRecordingKeepsTheData) {
  const QString recording = home.file(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"));
  const struct {
    const char* what;
    bool diskFull;
  } cases[] = {{"a file where the Data folder belongs", false}, {"a full disk", true}};
  for (const auto& c : cases) {
    messages.clear();
    QDir(home.file(QStringLiteral("Data"))).removeRecursively();
    if (!c.diskFull)
      home.write(QStringLiteral("Data"), "not a folder");
    else
      QDir(home.path()).mkdir(QStringLiteral("Data"));
    slot().graph().setTitleText(QString(c.diskFull ? 20000 : 1, QLatin1Char('x')));
    emit panel().RunClick(0);
    feed(running(12, 4000, 100));
    sample(3990, 100);
    {
      std::optional<FileSizeLimit> full;
      if (c.diskFull)
        full.emplace(8192);
      end(3000);
    }
    EXPECT_TRUE(messages.isEmpty()) << "not inside the report's handling";
    QCoreApplication::processEvents();
    ASSERT_EQ(messages.size(), 1) << c.what;
    EXPECT_TRUE(messages[0].contains(QStringLiteral("could not be written"))) << c.what;
    EXPECT_TRUE(messages[0].contains(recording)) << messages[0].toStdString();
    EXPECT_TRUE(
        home.read(QStringLiteral("ondrel-KL-F2-COM2-1-1.bak")).contains("1\t01.00\t3.990\r\n"));
    EXPECT_TRUE(slot().ch(0).RecPath.isEmpty());
    EXPECT_TRUE(panel().RunEnable());
    if (c.diskFull) {
      EXPECT_TRUE(dataFiles().isEmpty()) << dataFiles().join(u' ').toStdString();
    }
  }
  EXPECT_EQ(home.mainLog().count(QStringLiteral("ErrEndSave")), 2) << home.mainLog().toStdString();
}

} // namespace
