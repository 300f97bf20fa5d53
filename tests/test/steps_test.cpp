#include "test/stepfile.h"
#include "test/steps.h"

#include "data/recording.h"
#include "data/textfile.h"
#include "support/identifiedmodel.h"
#include "support/steptable.h"
#include "test/params.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace ondrel;
using ondrel::testing::identifiedModel;
using ondrel::testing::kLoadModes;
using ondrel::testing::stepProgram;

namespace {

TEST(Steps, ModeCodesByListPosition) {
  EXPECT_EQ(stepModeCode(kLoadModes, "D-CC"), 0);
  EXPECT_EQ(stepModeCode(kLoadModes, "C-CV"), 4);
  EXPECT_EQ(stepModeCode(kLoadModes, "Wait"), 5);
  EXPECT_EQ(stepModeCode(kLoadModes, "Cycle"), 6);
  EXPECT_EQ(stepModeCode(kLoadModes, "C-Liion"), std::nullopt);
}

TEST(Steps, TheEditorsChecksOfARow) {
  const ModelParams load = identifiedModel(12); // 0.1..10 A, 0..99 V
  const ModelParams kc = identifiedModel(9);    // KC-03: cutoff-current C-CV in mode 2
  const struct {
    const ModelParams* model;
    int mode;
    const char *set, *limit, *cutoff, *refusal;
  } cases[] = {
      {&load, 0, "1.00", "3.00", "0", nullptr},
      {&load, 0, "10.01", "3.00", "0", "Setting value out of range!"},
      {&load, 0, "0.05", "3.00", "0", "Setting value out of range!"},
      {&load, 0, "1.00", "100", "0", "Setting value out of range!"},
      {&load, 0, "1.00", "3.00", "10000", "Setting value out of range!"},
      {&load, 0, "1.00", "3.00", "-1", "Setting value out of range!"},
      {&load, 0, "1a", "3.00", "0", "Invalid value!"},
      {&load, 0, "1.00", "", "0", "Invalid value!"},
      {&load, 1, "60", "3.00", "0", nullptr}, // power mode: 1..60 W
      {&load, 1, "61", "3.00", "0", "Setting value out of range!"},
      {&load, 1, "0.5", "3.00", "0", "Setting value out of range!"},
      {&kc, 2, "1.00", "4.20", "0.10", nullptr}, // a cutoff current
      {&kc, 2, "1.00", "4.20", "30", "Setting value out of range!"},
      {&load, 5, "x", "x", "10", nullptr}, // Wait: only the third value
      {&load, 6, "", "", "3", nullptr},    // Cycle
      {&load, 6, "", "", "three", "Invalid value!"},
      {&load, 5, "", "", "10000", "Setting value out of range!"},
  };
  for (const auto& c : cases) {
    const auto r = stepValuesRefusal(*c.model, c.mode, c.model == &kc ? 3 : 5, QLatin1String(c.set),
                                     QLatin1String(c.limit), QLatin1String(c.cutoff));
    EXPECT_EQ(r, c.refusal ? std::optional(QString::fromLatin1(c.refusal)) : std::nullopt)
        << c.mode << " " << c.set << " " << c.limit << " " << c.cutoff;
  }
}

// The limit of a charge-chemistry step is a number of cells, taken as the panel's limit box
// takes it for that model: whole, at least one, at most what the model charges in that mode.
TEST(Steps, CellCountsOfChargeStepsAreCheckedAsThePanelDoes) {
  const struct {
    int code, mode, modeCount;
    const char* cells;
    bool accepted;
  } cases[] = {
      {1, 3, 7, "3", true},   // KC-F1 C-Liion: up to 3
      {1, 3, 7, "4", false},  //
      {1, 3, 7, "15", false}, // within the 15 V range, but not Li-ion cells of this model
      {2, 3, 7, "4", true},   // KC-F2 C-Liion: up to 4
      {2, 1, 7, "12", true},  // KC-F2 C-NiMh: up to 12
      {1, 1, 7, "0", false},
      {1, 1, 7, "0.9", false}, // would go out as 0 cells
      {1, 1, 7, "2.5", false}, // would go out as 2
      {1, 1, 7, "1", true},
      {5, 4, 9, "0", false}, // KC-11/12 C-LiPo: no count of its own, still at least one
      {5, 4, 9, "1.5", false},
      {5, 4, 9, "6", true},
      {5, 4, 9, "31", false}, // beyond the voltage range that bounds it
      {1, 6, 7, "0.9", true}, // C-CV takes a voltage, 0.8 V and up
  };
  for (const auto& c : cases) {
    const ModelParams m = identifiedModel(c.code);
    const std::string where = std::to_string(c.code) + "/" + std::to_string(c.mode) + " " + c.cells;
    const auto row = stepValuesRefusal(m, c.mode, c.modeCount, QStringLiteral("1.00"),
                                       QLatin1String(c.cells), QStringLiteral("0"));
    EXPECT_EQ(!row, c.accepted) << where;
    const StepBoxCheck box = checkStepBox(m, c.mode, c.modeCount, 1, QLatin1String(c.cells));
    EXPECT_EQ(!box.message, c.accepted) << where;
    // The panel's own limit box agrees.
    EXPECT_EQ(!checkSlmt(m, c.mode, QLatin1String(c.cells)), c.accepted) << where;
  }
}

TEST(Steps, ProgramsThatCannotRunAreRefusedNamingTheStep) {
  const ModelParams load = identifiedModel(12);
  const struct {
    StepTable table;
    const char* refusal;
  } cases[] = {
      {stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"Cycle", "0.00", "0.00", "3"}}), nullptr},
      {stepProgram({{"Wait", "0.00", "0.00", "1"}}), nullptr},
      {stepProgram({{"Cycle", "0.00", "0.00", "3"}}), "Step1: a cycle needs a test step before it"},
      {stepProgram({{"Wait", "0.00", "0.00", "1"}, {"Cycle", "0.00", "0.00", "3"}}),
       "Step2: a cycle needs a test step before it"},
      {stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"C-Liion", "1.00", "1", "0"}}),
       "Step2: the device has no mode \"C-Liion\""},
      {stepProgram({{"D-CC", "50", "3.00", "0"}}), "Step1: Setting value out of range!"},
      // Rows after the first "Cycle" never run.
      {stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"Cycle", "", "", "2"}, {"bad", "", "", ""}}),
       nullptr},
  };
  for (const auto& c : cases)
    EXPECT_EQ(programRefusal(load, kLoadModes, c.table),
              c.refusal ? std::optional(QString::fromLatin1(c.refusal)) : std::nullopt)
        << (c.refusal ? c.refusal : "runs");
  // A mode of the device that programs do not use (beyond the charge modes).
  EXPECT_TRUE(programRefusal(load, QStringList(kLoadModes) << "Meter",
                             stepProgram({{"Meter", "1.00", "3.00", "0"}})));
}

TEST(Steps, EditorViewByMode) {
  const ModelParams load = identifiedModel(12);
  const StepEditorView cc = stepEditorView(load, 0, 5);
  EXPECT_EQ(cc.lblSet, QStringLiteral("Current"));
  EXPECT_EQ(cc.lblSett, QStringLiteral("A"));
  EXPECT_EQ(cc.txtSet, QStringLiteral("1.00"));
  EXPECT_EQ(cc.lblLmt, QStringLiteral("Volt:"));
  EXPECT_EQ(cc.txtLmt, QStringLiteral("1.00"));
  EXPECT_EQ(cc.lblLmt2, QStringLiteral("Cutoff:"));
  EXPECT_EQ(cc.lblLmt2t, QStringLiteral("Min"));
  EXPECT_EQ(cc.txtLmt2, QStringLiteral("0"));
  const StepEditorView cp = stepEditorView(load, 1, 5);
  EXPECT_EQ(cp.lblSet, QStringLiteral("Power"));
  EXPECT_EQ(cp.lblSett, QStringLiteral("W"));
  EXPECT_EQ(cp.txtSet, QStringLiteral("10"));
  EXPECT_EQ(stepEditorView(identifiedModel(17), 1, 2).txtSet, QStringLiteral("10.0")); // PwrDiv 10

  const StepEditorView wait = stepEditorView(load, 5, 5);
  EXPECT_FALSE(wait.setEnabled);
  EXPECT_FALSE(wait.lmtEnabled);
  EXPECT_TRUE(wait.lmt2Enabled);
  EXPECT_EQ(wait.txtSet, QStringLiteral("0.00"));
  EXPECT_EQ(wait.txtLmt2, QStringLiteral("1"));
  EXPECT_EQ(wait.lblLmt2t, QStringLiteral("Min"));
  const StepEditorView cycle = stepEditorView(load, 6, 5);
  EXPECT_EQ(cycle.lblLmt2, QStringLiteral("Cycle:"));
  EXPECT_EQ(cycle.lblLmt2t, QString());

  const StepEditorView cvCutoff = stepEditorView(identifiedModel(9), 2, 3);
  EXPECT_EQ(cvCutoff.lblLmt2t, QStringLiteral("A"));
  EXPECT_EQ(cvCutoff.txtLmt2, QStringLiteral("0.10"));
  EXPECT_EQ(cvCutoff.lblLmt, QStringLiteral("Volt:"));
  const StepEditorView classicCv = stepEditorView(identifiedModel(1), 6, 7);
  EXPECT_EQ(classicCv.lblLmt, QStringLiteral("Volt:"));
  EXPECT_EQ(classicCv.txtLmt, QStringLiteral("1.00"));
  EXPECT_EQ(classicCv.txtLmt2, QStringLiteral("0"));
  const StepEditorView cells = stepEditorView(identifiedModel(1), 3, 7);
  EXPECT_EQ(cells.lblLmt, QStringLiteral("Cells:"));
  EXPECT_EQ(cells.lblLimit1t, QString());
  EXPECT_EQ(cells.txtLmt, QStringLiteral("1"));
}

TEST(Steps, LeavingABoxRewritesItInTheSlotsFormat) {
  const ModelParams load = identifiedModel(12);
  const ModelParams fine = identifiedModel(17); // CurDiv and VolDiv 1000
  EXPECT_EQ(checkStepBox(load, 0, 5, 0, "1.5").text, QStringLiteral("1.50"));
  EXPECT_EQ(checkStepBox(fine, 0, 2, 0, "1.5").text, QStringLiteral("1.500"));
  EXPECT_EQ(checkStepBox(fine, 0, 2, 1, "3").text, QStringLiteral("3.000"));
  EXPECT_EQ(checkStepBox(load, 0, 5, 2, "2.4").text, QStringLiteral("2"));
  const StepBoxCheck letters = checkStepBox(load, 0, 5, 0, "abc");
  EXPECT_EQ(letters.message, QStringLiteral("Invalid value!"));
  EXPECT_EQ(letters.text, QStringLiteral("0.10"));                          // MinCurrent
  EXPECT_EQ(checkStepBox(load, 0, 5, 1, "x").text, QStringLiteral("0.00")); // MinVoltage
  EXPECT_EQ(checkStepBox(load, 0, 5, 2, "x").text, QStringLiteral("0"));
  const StepBoxCheck high = checkStepBox(load, 0, 5, 0, "11");
  EXPECT_EQ(high.message, QStringLiteral("Setting value out of range!"));
  EXPECT_EQ(high.text, std::nullopt);
}

// ---- step files ---------------------------------------------------------------------------------

TEST(StepFile, TwoFilledRowsMakeEightValueLines) {
  const StepTable t = stepProgram({{"D-CC", "1.00", "3.00", "0"}, {"Wait", "0.00", "0.00", "1"}});
  EXPECT_EQ(stepFileLines(12, t, {"D-CC", "D-CP", "D-CV"}),
            (QStringList{QLatin1String(kBannerLine), "DEV:12", "011:0", "012:1.00", "013:3.00",
                         "014:0", "021:3", "022:0.00", "023:0.00", "024:1"}));
  StepTable ten;
  for (StepRow& r : ten)
    r = {"Cycle", "", "", "2"};
  const QStringList lines = stepFileLines(12, ten, kLoadModes);
  EXPECT_EQ(lines.size(), 2 + 40);
  EXPECT_EQ(lines.last(), QStringLiteral("104:2"));
  EXPECT_EQ(lines.at(lines.size() - 4), QStringLiteral("101:6"));
  // A mode the device does not have is refused, naming its step.
  try {
    stepFileLines(12, stepProgram({{"D-CC", "1", "3", "0"}, {"C-Liion", "1", "1", "0"}}),
                  kLoadModes);
    ADD_FAILURE() << "no refusal";
  } catch (const std::exception& e) {
    EXPECT_TRUE(QString::fromUtf8(e.what()).contains(QStringLiteral("Step2"))) << e.what();
  }
}

TEST(StepFile, ReadBackForTheSameModelOnly) {
  const StepTable t = stepProgram({{"D-CC", "1.00", "3.00", "0"},
                                   {"Wait", "0.00", "0.00", "1"},
                                   {"Cycle", "0.00", "0.00", "3"}});
  const QByteArray bytes = textFileBytes(stepFileLines(12, t, kLoadModes));
  const StepFileRead same = readStepFile(bytes, 12, kLoadModes);
  EXPECT_TRUE(same.sameModel);
  EXPECT_EQ(same.table, t);
  EXPECT_EQ(same.skippedLines, 0);
  const StepFileRead other = readStepFile(bytes, 13, kLoadModes);
  EXPECT_FALSE(other.sameModel);
  EXPECT_EQ(other.table, StepTable{});
}

TEST(StepFile, LinesThatAreNoCellAreSkipped) {
  const auto read = [](const char* lines) {
    return readStepFile(QByteArray("----\r\nDEV:12\r\n") + lines, 12, kLoadModes);
  };
  EXPECT_EQ(read("104:30\r\n").table[9].cutoff, QStringLiteral("30"));
  const struct {
    const char* line;
  } skipped[] = {{"114:30"}, {"001:0"}, {"010:5"},   {"015:1"},          {"991:0"},
                 {"1a1:0"},  {"01:0"},  {"011=0"},   {"011:-1"},         {"011:x"},
                 {"011:"},   {"x"},     {"  011:0"}, {"011:99999999999"}};
  for (const auto& s : skipped) {
    const StepFileRead r = read(s.line);
    EXPECT_EQ(r.table, StepTable{}) << s.line;
    EXPECT_EQ(r.skippedLines, 1) << s.line;
  }
  EXPECT_EQ(read("011:5").table[0].mode, QStringLiteral("Wait"));
  EXPECT_EQ(read("011:6").table[0].mode, QStringLiteral("Cycle"));
  EXPECT_EQ(read("011:77").table[0].mode, QStringLiteral("Cycle"));
  EXPECT_EQ(read("011:4").table[0].mode, QStringLiteral("C-CV"));
  EXPECT_EQ(read("012:a:b").table[0].set1, QStringLiteral("a:b"));
  // Without a "DEV:" line of this model nothing is read.
  for (const char* bad : {"", "----", "----\r\nDEV:\r\n011:0", "----\r\nDEV:12x\r\n011:0",
                          "----\r\nDEV12\r\n011:0", "----\r\n011:0\r\nDEV:12"})
    EXPECT_FALSE(readStepFile(QByteArray(bad), 12, kLoadModes).sameModel) << bad;
}

// Mutated files never put anything but a cell of rows 1..10, columns 1..4 into the table, and
// every mode read is the device's, "Wait" or "Cycle".
TEST(StepFile, FuzzedFilesStayInsideTheTable) {
  const StepTable t = stepProgram({{"D-CC", "1.00", "3.00", "0"},
                                   {"Wait", "0.00", "0.00", "1"},
                                   {"C-CV", "1.00", "4.20", "5"},
                                   {"Cycle", "0.00", "0.00", "3"}});
  const QByteArray seed = textFileBytes(stepFileLines(12, t, kLoadModes));
  QRandomGenerator rng(1234);
  QStringList allowed = kLoadModes;
  allowed << "Wait"
          << "Cycle" << QString();
  for (int i = 0; i < 20000; ++i) {
    QByteArray b = seed;
    const int edits = 1 + int(rng.bounded(8));
    for (int e = 0; e < edits; ++e) {
      const int at = int(rng.bounded(b.size() + 1));
      switch (rng.bounded(4)) {
      case 0:
        if (!b.isEmpty())
          b[at % b.size()] = char(rng.bounded(256));
        break;
      case 1:
        b.insert(at, char(rng.bounded(256)));
        break;
      case 2:
        b.remove(at, int(rng.bounded(4)));
        break;
      default:
        b.insert(at, QByteArray(int(rng.bounded(3000)), char('0' + rng.bounded(10))));
        break;
      }
    }
    const StepFileRead r = readStepFile(b, 12, kLoadModes);
    if (!r.sameModel) {
      EXPECT_EQ(r.table, StepTable{});
      continue;
    }
    for (const StepRow& row : r.table)
      ASSERT_TRUE(allowed.contains(row.mode)) << row.mode.toStdString();
  }
}

} // namespace
