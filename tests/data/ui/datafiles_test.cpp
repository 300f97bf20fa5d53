#include "data/recording.h"
#include "data/textfile.h"
#include "data/viewerfile.h"
#include "support/connectedwindow.h"
#include "support/filesizelimit.h"
#include "support/printers.h"
#include "widgets/curvegraph.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QRadioButton>
#include <QRegularExpression>

#include <optional>

using namespace ondrel;
using ondrel::testing::ConnectedWindow;
using ondrel::testing::DialogCall;
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

// A milliampere model (KC-10) counts its current in mA and its capacity in mAh: the grid, the
// mode line and the result block say so, as the samples' "Cur(mA)" column does, and the viewer
// reads the file back as written.
TEST_F(DataFiles, AMilliampereModelsResultsAreInItsOwnUnit) {
  open(40);
  window->prefs().SAVE = true;
  typeParams(QStringLiteral("40.000"), QStringLiteral("3.00"), QStringLiteral("0"));
  feed(idle(40, 3600));
  emit panel().RunClick(0);
  // 40 mA, and the device's count of 0.999 mAh.
  const auto report = [](int volt, bool running) {
    ondrel::testing::Report r =
        running ? ConnectedWindow::running(40, volt, 40000) : idle(40, volt);
    r.cap = 999;
    r.set = 40000;
    r.limit = 300;
    return r;
  };
  feed(report(3548, true));
  for (int s = 0; s < 2; ++s) {
    ++channel(0).CurveSec;
    ++channel(0).TestSec;
    feed(report(3548, true));
  }
  const QString mode = QStringLiteral("D-CC  40.000mA  3.00V");
  EXPECT_EQ(slot().gridText(1, colMode), mode);
  EXPECT_EQ(slot().gridText(1, colCapacity), QStringLiteral("0.999mAh"));
  // The average voltage (about 3.56 V) times 0.999 mAh.
  const QRegularExpression energy(QStringLiteral("^3\\.5\\d\\dmWh$"));
  EXPECT_TRUE(energy.match(slot().gridText(1, colEnergy)).hasMatch())
      << slot().gridText(1, colEnergy).toStdString();
  feed(report(3540, false));
  const QStringList lines = takeDataFile(QStringLiteral("-KC-10-1-1.csv"));
  ASSERT_GE(lines.size(), 13);
  EXPECT_EQ(lines.mid(1, 6), resultBlock(0).mid(0, 6));
  EXPECT_EQ(lines[2], QStringLiteral("Mode:") + mode);
  EXPECT_EQ(lines[5], QStringLiteral("Capacity:0.999mAh"));
  EXPECT_TRUE(energy.match(lines[6].mid(7)).hasMatch()) << lines[6].toStdString();
  EXPECT_EQ(lines[10], QStringLiteral("Time(S),Cur(mA),Vol(V)"));
  EXPECT_EQ(lines[12], QStringLiteral("0,40.000,3.548"));

  const ViewerFile shown =
      readViewerFile(lines.join(QStringLiteral("\r\n")).toLatin1(), ',', false);
  EXPECT_EQ(shown.cells[1], mode);
  EXPECT_EQ(shown.cells[4], QStringLiteral("0.999mAh"));
  EXPECT_EQ(shown.cells[5], lines[6].mid(7));
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
  SlotModel& m = DeviceSlotProbe::model(slot());
  m.stepResults = {{QStringLiteral("Step"), QStringLiteral("Mode"), QStringLiteral("Capacity"),
                    QStringLiteral("Energy")}};
  for (const auto& row : rows) {
    QStringList cells;
    for (int col = 0; col < 4; ++col) {
      panel().setTStepList(col, QString::fromLatin1(row[col]));
      cells << QString::fromLatin1(row[col]);
    }
    m.stepResults.push_back(cells);
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

// "Save Data" on a slot whose test has ended (no automatic file).
class SaveData : public DataFiles {
protected:
  void SetUp() override {
    DataFiles::SetUp();
    window->prefs().SAVE = false;
    runTest();
  }
  void runTest(int c = 0) {
    emit panel().RunClick(c);
    feed(running(model, 4000, 100, c));
    sample(3990, 100, c);
    end(3000, c);
  }
  QString saved(const QString& name) { return QString::fromUtf8(home.read(name)); }
};

TEST_F(SaveData, TheDialogProposesTheAutomaticNameAndTheExtensionIsAdded) {
  const struct {
    bool csv;
    const char *typed, *written;
  } cases[] = {
      {true, "run1", "run1.csv"},           {true, "run1.csv", "run1.csv"},
      {false, "run1", "run1.dat"},          {false, "run1.csv", "run1.csv.dat"},
      {true, "cell_3.7V", "cell_3.7V.csv"}, {true, "RUN2.CSV", "RUN2.CSV.csv"},
  };
  for (const auto& c : cases) {
    window->prefs().CSV = c.csv;
    dialogs.clear();
    dialogAnswer = home.file(QLatin1String(c.typed));
    trigger("menuSaveData");
    ASSERT_EQ(dialogs.size(), 1);
    const DialogCall& d = dialogs[0];
    EXPECT_TRUE(d.save);
    EXPECT_EQ(d.title, QStringLiteral("Save Data--Device1"));
    EXPECT_EQ(d.filter, c.csv ? QStringLiteral("csv file(*.csv)|*.csv")
                              : QStringLiteral("data file(*.dat)|*.dat"));
    EXPECT_EQ(d.defaultExt, c.csv ? QStringLiteral("csv") : QStringLiteral("dat"));
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^\\d{4}(-\\d{1,2}){5}-KL-F2-1-1$"))
                    .match(d.name)
                    .hasMatch())
        << d.name.toStdString();
    const QString text = saved(QLatin1String(c.written));
    EXPECT_TRUE(text.startsWith(QLatin1String(kDataTitleLine))) << c.written;
    EXPECT_TRUE(text.endsWith(c.csv ? QStringLiteral("\r\n1,0.00,3.000\r\n")
                                    : QStringLiteral("\r\n1\t0.00\t3.000\r\n")))
        << text.toStdString();
    QFile::remove(home.file(QLatin1String(c.written)));
  }
  // The toolbar button is the same command; Cancel writes nothing.
  dialogs.clear();
  dialogAnswer.clear();
  window->action(QStringLiteral("savedat"))->trigger();
  EXPECT_EQ(dialogs.size(), 1);
  EXPECT_TRUE(QDir(home.path()).entryList({QStringLiteral("run*")}).isEmpty());
}

TEST_F(SaveData, TheSecondChannelOfATwoChannelDeviceIsNamedAsSuch) {
  open(17);
  panel().findChild<QRadioButton*>(QStringLiteral("optChn1"))->setChecked(true);
  runTest(1);
  dialogAnswer = home.file(QStringLiteral("two"));
  trigger("menuSaveData");
  ASSERT_EQ(dialogs.size(), 1);
  EXPECT_EQ(dialogs[0].title, QStringLiteral("Save Data--Device1-Channel2"));
  EXPECT_TRUE(dialogs[0].name.endsWith(QStringLiteral("-KL-03-1-2-2")))
      << dialogs[0].name.toStdString();
  EXPECT_TRUE(saved(QStringLiteral("two.csv")).contains(QStringLiteral("\r\n1,0.000,3.000\r\n")));
}

TEST_F(SaveData, NothingWhileTheShownChannelRuns) {
  emit panel().RunClick(0);
  feed(running(12, 4000, 100));
  dialogAnswer = home.file(QStringLiteral("run1"));
  window->action(QStringLiteral("savedat"))->trigger();
  EXPECT_TRUE(dialogs.isEmpty());
  EXPECT_FALSE(QFile::exists(home.file(QStringLiteral("run1.csv"))));
}

TEST_F(SaveData, AFileTheDialogDidNotAskAboutIsReplacedOnlyWhenTheUserAgrees) {
  home.write(QStringLiteral("cell_3.7V.csv"), "earlier test");
  dialogAnswer = home.file(QStringLiteral("cell_3.7V"));
  for (const auto reply : {QMessageBox::Cancel, QMessageBox::Ok}) {
    messages.clear();
    answer = reply;
    trigger("menuSaveData");
    ASSERT_EQ(messages.size(), 1);
    EXPECT_TRUE(messages[0].contains(QStringLiteral("cell_3.7V.csv")));
    EXPECT_TRUE(messages[0].contains(QStringLiteral("Replace")));
    EXPECT_EQ(saved(QStringLiteral("cell_3.7V.csv")) == QStringLiteral("earlier test"),
              reply == QMessageBox::Cancel);
  }
  // The name the dialog returned is its own to ask about: nothing more is asked.
  messages.clear();
  dialogAnswer = home.file(QStringLiteral("cell_3.7V.csv"));
  trigger("menuSaveData");
  EXPECT_TRUE(messages.isEmpty());
}

TEST_F(SaveData, AFileThatCannotBeWrittenIsSaidAndThePreviousOneStays) {
  home.write(QStringLiteral("run1.csv"), "earlier test");
  QDir(home.path()).mkdir(QStringLiteral("folder.csv"));
  const struct {
    const char* name;
    bool diskFull;
  } cases[] = {{"folder.csv", false}, {"run1.csv", true}, {"no/such/folder/run1.csv", false}};
  for (const auto& c : cases) {
    messages.clear();
    dialogAnswer = home.file(QLatin1String(c.name));
    slot().graph().setTitleText(QString(c.diskFull ? 20000 : 1, QLatin1Char('x')));
    {
      std::optional<FileSizeLimit> full;
      if (c.diskFull)
        full.emplace(8192);
      trigger("menuSaveData");
    }
    ASSERT_EQ(messages.size(), 1) << c.name;
    EXPECT_TRUE(messages[0].contains(QStringLiteral("could not be written")));
    EXPECT_TRUE(messages[0].contains(QLatin1String(c.name))) << messages[0].toStdString();
  }
  EXPECT_EQ(home.read(QStringLiteral("run1.csv")), QByteArray("earlier test"));
  // The test history's catalogue (and its journal) is the only other file there.
  QStringList files = QDir(home.path()).entryList(QDir::Files | QDir::Hidden);
  files.removeIf([](const QString& f) { return f.startsWith(QLatin1String("ondrel.db")); });
  EXPECT_EQ(files, (QStringList{QStringLiteral("ondrel-KL-F2-COM2-1-1.bak"),
                                QStringLiteral("ondrel.ini"), QStringLiteral("run1.csv")}));
  EXPECT_EQ(home.mainLog().count(QStringLiteral("ErrSaveData")), 3);
  // Nothing else broke: the next save works.
  slot().graph().setTitleText(QStringLiteral("t"));
  dialogAnswer = home.file(QStringLiteral("run2"));
  trigger("menuSaveData");
  EXPECT_TRUE(saved(QStringLiteral("run2.csv")).contains(QStringLiteral("Title:t\r\n")));
}

} // namespace
