#include "link/modeltable.h"

#include "data/support/failure.h"
#include "support/reportbuilder.h"

#include <QStringList>

#include <algorithm>
#include <ostream>
#include <vector>

#include <gtest/gtest.h>

namespace ondrel {

void PrintTo(const ModelCaps& k, std::ostream* os) {
  *os << "{packing " << int(k.startPacking) << ", twoChannels " << k.twoChannels << ", usbMeter "
      << k.usbMeter << ", fineLowVoltage " << k.fineLowVoltage << ", currentInMilliamps "
      << k.currentInMilliamps << ", twoDecimalsFrom10A " << k.twoDecimalsFrom10A
      << ", fineCurrentSteps " << k.fineCurrentSteps << ", fineAutoCurrents " << k.fineAutoCurrents
      << ", milliampAxis " << k.milliampAxis << ", tenthMilliampsFromFw " << k.tenthMilliampsFromFw
      << ", continueAsStartFromFw " << k.continueAsStartFromFw << ", paramGroup "
      << int(k.paramGroup) << ", fineSetCurrent " << k.fineSetCurrent << ", cvLocksSetAndLimit "
      << k.cvLocksSetAndLimit << ", meterAtIndexOne " << k.meterAtIndexOne << ", maxCells "
      << int(k.maxCells[0]) << "/" << int(k.maxCells[2]) << "}";
}

namespace {

// The model table as the product documentation lists it; a name "-" is written by info reports.
// code fw name MaxCurrent MinCurrent MaxVoltage MinVoltage CurDiv VolDiv PwrDiv LastDis CvMode
// CvCutoff
const char* const kModelTable = R"(
1 0 KC-F1 5 0.1 15 0.8 100 100 1 0 6 false
2 0 KC-F2 5 0.1 20 0.8 100 100 1 0 6 false
3 0 KC-F3 10 0.1 15 0.8 100 100 1 0 6 false
4 0 KC-F4 10 0.1 30 0.8 100 100 1 0 6 false
5 0 - 5 0.06 30 0 1000 100 10 1 7 true
6 0 - 10 0.05 30 0 100 100 1 1 7 true
7 0 KC-01 10 0.1 30 0 100 100 1 1 2 true
8 0 KC-02 10 0.1 20 0.8 100 100 1 0 1 true
9 0 KC-03 20 0.1 30 0 100 100 1 1 2 true
10 0 KC-04 40 0.1 5 0.8 100 100 1 1 2 true
11 0 KL-F1 10 0.1 30 0 100 100 1 4 4 false
12 0 KL-F2 10 0.1 99 0 100 100 1 4 4 false
13 0 KL-F3 30 0.2 30 0.8 100 100 1 4 4 false
14 0 KL-F4 30 0.2 60 0.8 100 100 1 4 4 false
15 0 KL-01 10 0.1 30 0 100 100 1 4 4 false
16 0 KL-02 15 0.2 30 0 100 100 1 4 4 false
17 0 KL-03 2.5 0.03 15 0 1000 1000 10 1 1 false
18 0 KL-04 5 0.05 15 0 1000 1000 10 1 1 false
19 0 KL-05 20 0.1 30 0 100 100 1 1 1 false
20 0 - 10 0.1 30 0 100 100 1 1 1 false
21 0 KL-06 10 0.5 100 2 100 100 1 0 0 false
22 0 KL-07 15 0.5 70 2 100 100 1 0 0 false
23 0 KL-08 10 0.5 88 2 100 100 1 0 0 false
24 0 KL-09 2.5 0.1 15 0.1 1000 100 1 0 0 false
25 0 - 3 0.05 20 0.1 1000 100 1 0 0 false
26 320 KL-10 4 0.01 21 0 1000 100 1 0 0 false
26 999 KL-10 4 0.01 21 0 1000 100 1 0 0 false
26 319 KL-11 4 0.03 13.5 0 1000 100 1 0 0 false
26 0 KL-11 4 0.03 13.5 0 1000 100 1 0 0 false
27 0 KL-12 20 0.5 90 2 100 100 1 0 0 false
28 0 KC-05 20 0.1 90 2 100 100 1 0 1 true
29 0 KC-06 50 0.1 20 0.8 100 100 1 0 1 true
30 0 KL-13 40 0.5 90 2 100 100 1 0 0 false
31 0 KL-14 50 0.1 30 0 100 100 1 0 0 false
32 0 KL-15 40 0.1 30 0 100 100 1 0 0 false
33 0 KL-16 30 0.1 60 0 100 100 1 0 0 false
34 0 KL-17 100 2 150 0.8 100 100 1 0 0 false
35 0 KL-18 1 0.001 30 0 1000 100 10 1 1 false
36 0 KC-07 1 0.001 30 0 1000 100 10 1 2 true
37 0 KC-08 100 0.1 5 0.8 100 100 1 1 2 true
38 0 KL-19 100 0.1 20 0.1 100 100 1 1 1 false
39 0 KC-09 30 0.1 90 2 100 100 1 0 1 true
40 0 KC-10 50 0.001 30 0 1000 100 1 0 1 true
41 0 KL-20 5 0.1 100 0 1000 100 1 2 0 false
42 0 KL-F5 3 0.1 14 0.01 1000 100 1 0 0 false
)";

// codes | modes | tabs | resistance | HasTemp | two channels
const char* const kLayoutTable = R"(
1,2,3,4|D-CC C-NiMh C-NiCD C-Liion C-LiFe C-VRLA C-CV|key1 key2 key3|1|1|0
5|D-CC D-CP C-NiMh C-NiCD C-LiPo C-LiFe C-PB C-CV DC5V|key1 key2 key3|1|0|0
6|D-CC D-CP C-NiMh C-NiCD C-LiPo C-LiFe C-PB C-CV|key1 key2 key3|1|0|0
7|D-CC D-CP C-CV|key1 key2 key3|1|0|0
8|D-CC C-CV|key1 key3|1|0|0
9,10|D-CC D-CP C-CV|key1 key3|1|0|0
11,12,13,14,15,16|D-CC D-CP C-CV Meter D-CV|key1 key2|1|1|0
17,18|D-CC D-CP|key1 key2|1|0|1
19,20,35|D-CC D-CP|key1 key2|1|0|0
21,22,23|D-CC|key1|0|0|0
24,25|D-CC|key1 key2|1|0|0
26|D-CC Meter|key1 key2|0|0|0
27,30,31,32,33,34,38|D-CC|key1|0|0|0
28,29,39,40|D-CC C-CV|key1 key3|0|0|0
36|D-CC D-CP C-CV|key1 key2 key3|1|0|0
37|D-CC D-CP C-CV|key1 key3|0|1|0
41|D-CC D-CV|key1 key2|0|0|0
42|D-CC|key1 key2|0|1|0
51|Meter|key1|0|0|0
43,44,50,52,55,99|D-CC|key1|0|0|0
)";

// A body of an ordinary report from a model code and channel (intactness does not matter here).
RecBody report(int code, int channel = 0) {
  RecBody b{};
  b[15] = static_cast<quint8>(channel * 100 + code);
  return b;
}

RecBody infoBody(int code, int fwVersion, int volts, int amps) {
  testing::Report r;
  r.info = 1, r.model = code, r.set = fwVersion, r.limit = volts, r.time = amps;
  return r.body();
}

TEST(ModelTableTest, EveryRowGivesItsNameRangesAndScales) {
  const QStringList lines = QString::fromLatin1(kModelTable).split('\n', Qt::SkipEmptyParts);
  ASSERT_EQ(lines.size(), 45);
  for (const QString& line : lines) {
    SCOPED_TRACE(line.toStdString());
    const QStringList f = line.split(' ');
    ASSERT_EQ(f.size(), 13);
    ModelParams previous;
    previous.FwVersion = static_cast<qint16>(f[1].toInt());
    previous.MaxCurrent = 777; // every row overwrites the maximums
    previous.MaxVoltage = 777;
    const ModelLookup got = lookupModel(previous, f[0].toInt());
    if (f[2] == "-")
      EXPECT_FALSE(got.name.has_value());
    else
      EXPECT_EQ(got.name.value_or("(none)"), f[2]);
    EXPECT_EQ(got.params.MaxCurrent, f[3].toFloat());
    EXPECT_EQ(got.params.MinCurrent, f[4].toFloat());
    EXPECT_EQ(got.params.MaxVoltage, f[5].toFloat());
    EXPECT_EQ(got.params.MinVoltage, f[6].toFloat());
    EXPECT_EQ(got.params.CurDiv, f[7].toInt());
    EXPECT_EQ(got.params.VolDiv, f[8].toInt());
    EXPECT_EQ(got.params.PwrDiv, f[9].toInt());
    EXPECT_EQ(got.params.LastDischargeMode, f[10].toInt());
    EXPECT_EQ(got.params.CvModeNo, f[11].toInt());
    EXPECT_EQ(got.params.CvCutoff, f[12] == "true");
    EXPECT_EQ(got.params.FwVersion, previous.FwVersion);
  }
}

TEST(ModelTableTest, CodesWithoutARowGetTheDefaultsAndKeepTheMaximums) {
  ModelParams previous = lookupModel({}, 5).params; // CurDiv 1000, MinCurrent 0.06, ...
  previous.MaxCurrent = 12.5f;
  previous.MaxVoltage = 33.0f;
  for (int code : {0, 43, 51, 55, 99}) {
    SCOPED_TRACE(code);
    const ModelLookup got = lookupModel(previous, code);
    EXPECT_FALSE(got.name.has_value());
    ModelParams expected = previous;
    expected.MinCurrent = 0.1f;
    expected.MinVoltage = 0.8f;
    expected.CurDiv = 100;
    expected.VolDiv = 100;
    expected.PwrDiv = 1;
    expected.LastDischargeMode = 0;
    expected.CvModeNo = 0;
    expected.CvCutoff = false;
    expected.caps = modelCaps(code); // not code 5's
    EXPECT_EQ(got.params, expected);
  }
}

TEST(ModelTableTest, EveryCodeGetsItsModesTabsAndMenus) {
  const QStringList lines = QString::fromLatin1(kLayoutTable).split('\n', Qt::SkipEmptyParts);
  QList<int> seen;
  for (const QString& line : lines) {
    const QStringList f = line.split('|');
    ASSERT_EQ(f.size(), 6);
    for (const QString& c : f[0].split(',')) {
      const int code = c.toInt();
      SCOPED_TRACE(code);
      seen << code;
      const ModelLayout got = modelLayout(code);
      EXPECT_EQ(got.modes, f[1].split(' '));
      EXPECT_EQ(got.tabs, f[2].split(' '));
      EXPECT_EQ(got.resistanceMenu, f[3] == "1");
      EXPECT_EQ(got.HasTemp, f[4] == "1");
      EXPECT_EQ(got.twoChannels, f[5] == "1");
      EXPECT_EQ(got.usbMenu, code == 26);
      EXPECT_EQ(got.currentAxisCaption, code == 51 ? "[mA]" : "[A]");
    }
  }
  for (int code = 1; code <= 42; ++code)
    EXPECT_TRUE(seen.contains(code)) << code;
}

// The capabilities as the code lists outside the table gave them before the table held them.
ModelCaps capsOfTheOldCodeLists(int c) {
  const auto in = [c](std::initializer_list<int> codes) {
    return std::find(codes.begin(), codes.end(), c) != codes.end();
  };
  ModelCaps k;
  const bool load = c >= 11 && c <= 39 && !in({36, 37});
  if (load && !in({25, 26, 29, 39}))
    k.startPacking = StartPacking::Load;
  else if (in({9, 10}))
    k.startPacking = StartPacking::PowerInMode1;
  else if (in({5, 6}))
    k.startPacking = StartPacking::Charger;
  else if (in({7, 36, 37}))
    k.startPacking = StartPacking::ChargerCvMode2;
  else if (c >= 1 && c <= 4)
    k.startPacking = StartPacking::CellCounts;
  k.twoChannels = in({17, 18});
  k.usbMeter = c == 26;
  k.fineLowVoltage =
      in({5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16, 19, 20, 24, 25, 32, 35, 36, 37, 40});
  k.currentInMilliamps = c == 40;
  k.twoDecimalsFrom10A = c == 40;
  k.fineCurrentSteps = c == 35;
  k.fineAutoCurrents = c == 35;
  k.milliampAxis = c == 51;
  if (c == 26) {
    k.tenthMilliampsFromFw = 320;
    k.continueAsStartFromFw = 320;
  }
  // The parameter boxes' groups, as the parameter rules listed them.
  if (c >= 1 && c <= 4)
    k.paramGroup = ParamGroup::ClassicCharger;
  else if (in({5, 6}))
    k.paramGroup = ParamGroup::ChemistryCharger;
  else if (in({7, 9, 10, 36, 37}))
    k.paramGroup = ParamGroup::PowerCharger;
  else if (in({8, 28, 29, 39}))
    k.paramGroup = ParamGroup::CvCharger;
  else if (c == 40)
    k.paramGroup = ParamGroup::MilliampCharger;
  else if (c >= 11 && c <= 38)
    k.paramGroup = ParamGroup::Load;
  k.fineSetCurrent = in({35, 36});
  k.cvLocksSetAndLimit = c == 28;
  k.meterAtIndexOne = in({25, 26});
  k.meterWindowFromFw = c == 26 ? 320 : 0;
  k.namedByInfoReport = in({5, 6, 20, 25, 26});
  k.calibCurrentTimes10 = in({6, 7, 9, 10, 19, 20, 31, 32, 33, 35, 36, 38});
  k.calibTimes10FromFw = c == 26 ? 320 : 0;
  k.calibTimes10AtFw = c == 5 ? 310 : 0;
  if (in({1, 3}))
    k.maxCells = {8, 8, 3, 4, 6};
  else if (in({2, 4}))
    k.maxCells = {12, 12, 4, 4, 8};
  return k;
}

TEST(ModelTableTest, EveryCodeKeepsTheCapabilitiesOfTheOldCodeLists) {
  std::vector<int> codes{0, 51, 55, 99};
  for (int code = 1; code <= 42; ++code)
    codes.push_back(code);
  for (int code : codes) {
    SCOPED_TRACE(code);
    const ModelCaps expected = capsOfTheOldCodeLists(code);
    EXPECT_EQ(modelCaps(code), expected);
    // Every row of the code (26 has one per firmware range), and identification, carry them.
    for (int fw : {0, 320}) {
      ModelParams previous = lookupModel({}, 5).params;
      previous.FwVersion = static_cast<qint16>(fw);
      EXPECT_EQ(lookupModel(previous, code).params.caps, expected) << fw;
    }
    if (code != 0) {
      EXPECT_EQ(identifyReport(report(code), {}).params.caps, expected);
    }
  }
}

TEST(ModelTableTest, FirmwareQuirksFollowTheVersionLearntAfterIdentification) {
  // Identified from an ordinary report (version 0), then an info report brings the version.
  const Identification id = identifyReport(report(26), {});
  EXPECT_FALSE(reportsTenthMilliamps(id.params));
  EXPECT_FALSE(continuesAsStart(id.params));
  for (auto [fw, quirks] : {std::pair{319, false}, {320, true}, {400, true}}) {
    SCOPED_TRACE(fw);
    const InfoReport info = infoReport(infoBody(26, fw, 2100, 4000), id.params, *id.modes);
    EXPECT_EQ(reportsTenthMilliamps(info.params), quirks);
    EXPECT_EQ(continuesAsStart(info.params), quirks);
  }
  // A model without the quirks never has them, whatever its version.
  ModelParams load = identifyReport(report(12), {}).params;
  load.FwVersion = 400;
  EXPECT_FALSE(reportsTenthMilliamps(load));
  EXPECT_FALSE(continuesAsStart(load));
}

TEST(ModelTableTest, InfoReportNamesFollowTheFirmwareVersion) {
  struct Case {
    int code;
    const char* v302;
    const char* v310;
    const char* v315;
    const char* other;
  };
  const Case cases[] = {{5, "KC-11", "KC-12", "KC-12", "KC-12"},
                        {6, "KC-14", "KC-13", "KC-14", "KC-14"},
                        {20, "KL-25", "KL-24", "KL-25", "KL-25"},
                        {25, "KL-23", "KL-21", "KL-22", "KL-23"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    EXPECT_EQ(infoReportName(c.code, 302), c.v302);
    EXPECT_EQ(infoReportName(c.code, 310), c.v310);
    EXPECT_EQ(infoReportName(c.code, 315), c.v315);
    EXPECT_EQ(infoReportName(c.code, 0), c.other);
    EXPECT_EQ(infoReportName(c.code, 320), c.other);
  }
  EXPECT_FALSE(infoReportName(26, 302).has_value());
  EXPECT_FALSE(infoReportName(1, 302).has_value());
}

TEST(IdentifyReportTest, SingleChannelModelConnectsAndGetsItsWholeSetUp) {
  ModelParams before;
  const Identification id = identifyReport(report(1), before);
  EXPECT_FALSE(id.ignored);
  EXPECT_TRUE(id.connected);
  EXPECT_EQ(id.params.ModelCode, 1);
  EXPECT_EQ(id.name, "KC-F1");
  EXPECT_EQ(id.modes, modelLayout(1).modes);
  EXPECT_EQ(id.tabs, (QStringList{"key1", "key2", "key3"}));
  EXPECT_TRUE(id.resistanceMenu);
  EXPECT_TRUE(id.params.HasTemp);
  EXPECT_TRUE(id.showTempMenu);
  EXPECT_FALSE(id.Dev2S);
  EXPECT_EQ(id.currentAxisCaption, "[A]");
  EXPECT_TRUE(id.initAutoPage);
  EXPECT_EQ(id.params.MaxVoltage, 15.0f);
}

TEST(IdentifyReportTest, TwoChannelModelWaitsForChannelOne) {
  const Identification ch0 = identifyReport(report(17, 0), {});
  EXPECT_FALSE(ch0.connected); // a device whose channel 1 never reports stays connecting
  EXPECT_TRUE(ch0.Dev2S);
  EXPECT_TRUE(ch0.modes.has_value());
  EXPECT_TRUE(ch0.rebuildTwoChannelLegends);
  EXPECT_TRUE(ch0.initAutoPage);
  EXPECT_EQ(ch0.name, "KL-03");

  const Identification ch1 = identifyReport(report(17, 1), ch0.params);
  EXPECT_TRUE(ch1.connected);
  EXPECT_TRUE(ch1.Dev2S);
  EXPECT_EQ(ch1.channel, 1);
  EXPECT_FALSE(ch1.modes.has_value()); // modes and tabs stay as channel 0 set them
  EXPECT_FALSE(ch1.tabs.has_value());
  EXPECT_FALSE(ch1.rebuildTwoChannelLegends);
  EXPECT_FALSE(ch1.initAutoPage);
  EXPECT_TRUE(ch1.resistanceMenu);
  EXPECT_FALSE(ch1.params.HasTemp);
  EXPECT_EQ(ch1.params.CurDiv, 1000);

  // A single-channel model reporting channel 1 connects as usual.
  EXPECT_TRUE(identifyReport(report(19, 1), {}).connected);
}

TEST(IdentifyReportTest, ReportsNamingNoModelOrChannelAreIgnored) {
  ModelParams before = lookupModel({}, 7).params;
  before.ModelCode = 7;
  for (const RecBody& body : {report(0), report(0, 1), report(12, 2)}) {
    const Identification id = identifyReport(body, before);
    EXPECT_TRUE(id.ignored);
    EXPECT_FALSE(id.connected);
    EXPECT_EQ(id.params, before);
  }
}

TEST(IdentifyReportTest, Code26IsNamedByTheVersionKnownAtThatMoment) {
  // An ordinary first report: version 0, so KL-11.
  const Identification plain = identifyReport(report(26), {});
  EXPECT_EQ(plain.name, "KL-11");
  EXPECT_EQ(plain.params.MaxVoltage, 13.5f);
  EXPECT_EQ(plain.params.MinCurrent, 0.03f);
  EXPECT_TRUE(plain.showUsbMenu);
  EXPECT_EQ(plain.modes, (QStringList{"D-CC", "Meter"}));
  // A later info report updates the version and the maximums, and names the model by its
  // version: its recordings and files must not carry the name of the other firmware.
  const InfoReport later = infoReport(infoBody(26, 320, 2100, 4000), plain.params, *plain.modes);
  EXPECT_EQ(later.params.FwVersion, 320);
  EXPECT_EQ(later.params.MaxVoltage, 21.0f);
  EXPECT_EQ(later.params.MaxCurrent, 4.0f);
  EXPECT_EQ(later.params.MinCurrent, 0.03f);
  EXPECT_EQ(later.name, "KL-10");
  EXPECT_FALSE(later.modes.has_value());
  EXPECT_EQ(infoReport(infoBody(26, 310, 1350, 4000), plain.params, *plain.modes).name, "KL-11");

  // First an info report with version 320 (report handling stores FwVersion before identifying).
  ModelParams known;
  known.FwVersion = 320;
  const Identification first = identifyReport(report(26), known);
  EXPECT_EQ(first.name, "KL-10");
  EXPECT_EQ(first.params.MaxVoltage, 21.0f);
  EXPECT_EQ(first.params.MinCurrent, 0.01f);
}

TEST(IdentifyReportTest, Code5IsNamedOnlyByItsInfoReport) {
  const Identification id = identifyReport(report(5), {});
  EXPECT_FALSE(id.name.has_value());
  ASSERT_TRUE(id.modes.has_value());
  EXPECT_EQ(id.modes->value(8), "DC5V");

  const InfoReport v302 = infoReport(infoBody(5, 302, 3000, 5000), id.params, *id.modes);
  EXPECT_EQ(v302.name, "KC-11");
  ASSERT_TRUE(v302.modes.has_value());
  EXPECT_EQ(*v302.modes, (QStringList{"D-CC", "D-CP", "C-NiMh", "C-NiCD", "C-Liion", "C-LiFe",
                                      "C-VRLA", "C-CV", "Meter"}));
  EXPECT_EQ(v302.params.MinCurrent, 0.01f);
  EXPECT_EQ(v302.params.MaxVoltage, 30.0f);
  EXPECT_EQ(v302.params.MaxCurrent, 5.0f); // 5000 / CurDiv 1000

  // Once replaced ("Meter" in place of "DC5V") a second info report changes nothing more.
  const InfoReport again = infoReport(infoBody(5, 302, 3000, 5000), v302.params, *v302.modes);
  EXPECT_FALSE(again.modes.has_value());
  EXPECT_EQ(again.name, "KC-11");

  const InfoReport v310 = infoReport(infoBody(5, 310, 3000, 5000), id.params, *id.modes);
  EXPECT_EQ(v310.name, "KC-12");
  EXPECT_FALSE(v310.modes.has_value());
  EXPECT_EQ(v310.params.MinCurrent, 0.06f);
}

TEST(IdentifyReportTest, Code25GetsTheMeterModeFromVersion310) {
  const Identification id = identifyReport(report(25), {});
  const InfoReport v310 = infoReport(infoBody(25, 310, 2000, 3000), id.params, *id.modes);
  EXPECT_EQ(v310.name, "KL-21");
  EXPECT_EQ(v310.modes, (QStringList{"D-CC", "Meter"}));
  EXPECT_EQ(v310.params.MinCurrent, 0.01f);
  const InfoReport v315 = infoReport(infoBody(25, 315, 2000, 3000), id.params, *id.modes);
  EXPECT_EQ(v315.name, "KL-22");
  EXPECT_FALSE(v315.modes.has_value());
}

TEST(IdentifyReportTest, UnknownCode55LeavesOnlyDischargeAndTheSingleTestTab) {
  ModelParams before = lookupModel({}, 12).params;
  const Identification id = identifyReport(report(55), before);
  EXPECT_TRUE(id.connected);
  EXPECT_EQ(id.modes, QStringList{"D-CC"});
  EXPECT_EQ(id.tabs, QStringList{"key1"});
  EXPECT_FALSE(id.resistanceMenu);
  EXPECT_FALSE(id.name.has_value());
  EXPECT_EQ(id.params.MaxVoltage, before.MaxVoltage);

  EXPECT_EQ(identifyReport(report(51), {}).currentAxisCaption, "[mA]");
}

TEST(InfoReportTest, VersionBeyondSixteenBitsIsAFailure) {
  EXPECT_THROW(infoReport(infoBody(7, 40000, 0, 0), lookupModel({}, 7).params, {}), Failure);
}

} // namespace
} // namespace ondrel
