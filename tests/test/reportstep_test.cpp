// Report handling over a slot model, without a window: links only the core libraries.
#include "data/datafile.h"
#include "data/recording.h"
#include "support/reportbuilder.h"
#include "test/reportstep.h"
#include "test/slotmodel.h"

#include <gtest/gtest.h>

#include <vector>

using namespace ondrel;
using ondrel::testing::Report;
using Kind = SlotEffect::Kind;

namespace {

RecBody bodyOf(const Report& r) {
  const auto b = r.body();
  RecBody body{};
  std::copy(b.begin(), b.end(), body.begin());
  return body;
}

Report idle(int model, int volt, int channel = 0) {
  Report r;
  r.model = model, r.volt = volt, r.channel = channel;
  return r;
}

Report running(int model, int volt, int cur, int channel = 0) {
  Report r = idle(model, volt, channel);
  r.state = 1, r.cur = cur, r.set = 100, r.limit = 300;
  return r;
}

std::vector<Kind> kinds(const std::vector<SlotEffect>& effects) {
  std::vector<Kind> k;
  for (const SlotEffect& e : effects)
    k.push_back(e.kind);
  return k;
}

// A slot model that has just connected, and the reports it hears.
struct Slot {
  SlotModel m;
  ReportInputs in;
  std::vector<SlotEffect> heard; // every effect, in order, across reports
  std::vector<int> adopted;      // the channels whose running test the "slot" adopted

  Slot() { m.link = LinkState::Connecting; }
  // The report's effects, as the sink heard them.
  ReportStep::Result feed(const Report& r) {
    std::vector<SlotEffect> now;
    ReportStep step(m, [&](const SlotEffect& e) {
      heard.push_back(e);
      now.push_back(e);
      if (e.kind == Kind::TestAdopted)
        adopted.push_back(e.channel);
    });
    ReportStep::Result result = step.take(bodyOf(r), in);
    result.effects = std::move(now);
    return result;
  }
  bool saw(Kind k, int c = 0) const {
    return std::any_of(heard.begin(), heard.end(),
                       [&](const SlotEffect& e) { return e.kind == k && e.channel == c; });
  }
};

TEST(SlotModel, ClocksStartAndEndInOnePlace) {
  const struct {
    const char* what;
    bool monitoring, keepCurve;
    ClockChange change;
    bool curve, test;
  } cases[] = {
      {"a test starts both", false, false, ClockChange::TestStarts, true, true},
      {"a monitor draws only", false, false, ClockChange::MonitorStarts, true, false},
      {"an end stops both", false, false, ClockChange::Ends, false, false},
      {"a monitor keeps drawing after the end", true, false, ClockChange::Ends, true, false},
      {"an automatic test keeps drawing", false, true, ClockChange::Ends, true, false},
  };
  for (const auto& k : cases) {
    SlotModel m;
    m.changeClocks(0, ClockChange::TestStarts);
    if (k.change != ClockChange::Ends)
      m.changeClocks(0, ClockChange::Ends);
    m.at(0).monitoring = k.monitoring;
    m.changeClocks(0, k.change, k.keepCurve);
    EXPECT_EQ(m.at(0).curveClock, k.curve) << k.what;
    EXPECT_EQ(m.at(0).testClock, k.test) << k.what;
  }
}

TEST(SlotModel, OneTickAdvancesTheRunningClocksOfBothChannelsAndTheCurveEnd) {
  SlotModel m;
  m.changeClocks(0, ClockChange::TestStarts);
  m.changeClocks(1, ClockChange::MonitorStarts);
  m.at(1).data.CurveSec = 40;
  EXPECT_EQ(m.secondTick(), (std::array<bool, 2>{true, false}));
  m.secondTick();
  EXPECT_EQ(m.at(0).data.CurveSec, 2);
  EXPECT_EQ(m.at(0).data.TestSec, 2);
  EXPECT_EQ(m.at(1).data.CurveSec, 42);
  EXPECT_EQ(m.at(1).data.TestSec, 0);
  EXPECT_EQ(m.CurveEnd, 42);
  m.changeClocks(0, ClockChange::Ends);
  m.secondTick();
  EXPECT_EQ(m.at(0).data.CurveSec, 2);
}

TEST(SlotModel, TheSeriesKeepsItsSamplesWhereTheyAreAsItGrows) {
  SampleSeries s;
  s.append({1000, 0, 4.1f, 1.0f, 25.0f, 0.0f, 0.0f});
  const Sample* first = &s.at(0);
  for (int i = 1; i < 100000; ++i)
    s.append({1000 + i * 1000LL, i, 4.0f, 1.0f, 25.0f, 0.0f, 0.0f});
  EXPECT_EQ(&s.at(0), first);
  EXPECT_EQ(s.size(), 100000);
  EXPECT_EQ(s.back().sec, 99999);
}

TEST(ReportStep, ConnectsAndIdentifiesOnTheFirstReport) {
  Slot s;
  const ReportStep::Result r = s.feed(idle(12, 4100));
  EXPECT_EQ(r.action, ReportAction::Continue);
  EXPECT_EQ(kinds(r.effects),
            (std::vector<Kind>{Kind::Heard, Kind::Connected, Kind::Identified, Kind::ParamsDue,
                               Kind::ButtonsIdle, Kind::SampleShown, Kind::CapEnergyDue,
                               Kind::ChannelUpdated}));
  EXPECT_EQ(s.m.link, LinkState::Identified);
  EXPECT_EQ(s.m.params.ModelCode, 12);
  EXPECT_EQ(s.m.at(0).row.device, QStringLiteral("KL-F2"));
  EXPECT_EQ(s.m.modes.size(), 5);
  EXPECT_EQ(s.m.at(0).view.voltText, QStringLiteral("4.100"));
  EXPECT_FALSE(s.m.at(0).curveClock);
  // Without a sink the step answers the same list.
  SlotModel fresh;
  fresh.link = LinkState::Connecting;
  EXPECT_EQ(kinds(ReportStep(fresh).take(bodyOf(idle(12, 4100)), s.in).effects), kinds(r.effects));
  // Identified: the next report is a plain sample.
  EXPECT_EQ(kinds(s.feed(idle(12, 4000)).effects),
            (std::vector<Kind>{Kind::Heard, Kind::SampleShown, Kind::CapEnergyDue,
                               Kind::ChannelUpdated}));
}

TEST(ReportStep, AModelNamedByItsInfoReportIsNamedWhenTheReportComes) {
  const struct {
    const char* what;
    std::vector<Report> reports;
    QString name;
    qint32 infoCount;
    bool renamed; // named by the info report after identification
  } cases[] = {
      {"identified by an info report",
       {[] {
         Report r;
         r.model = 26, r.info = 1, r.set = 320, r.limit = 2100, r.time = 4000;
         return r;
       }()},
       QStringLiteral("KL-10"),
       2,
       false},
      {"a plain report first, the info report after",
       {idle(5, 4000),
        [] {
          Report r = idle(5, 4000);
          r.info = 1, r.set = 302, r.limit = 3000, r.time = 5000;
          return r;
        }()},
       QStringLiteral("KC-11"),
       1,
       true},
  };
  for (const auto& k : cases) {
    Slot s;
    for (const Report& r : k.reports)
      s.feed(r);
    EXPECT_EQ(s.m.link, LinkState::Identified) << k.what;
    EXPECT_EQ(s.m.at(0).row.device, k.name) << k.what;
    EXPECT_EQ(s.m.InfoCount, k.infoCount) << k.what;
    EXPECT_EQ(s.saw(Kind::NameDue), k.renamed) << k.what;
  }
}

TEST(ReportStep, ATwoChannelModelConnectsOnItsSecondChannelsReport) {
  Slot s;
  s.feed(idle(17, 3700));
  EXPECT_TRUE(s.m.connecting());
  EXPECT_TRUE(s.m.Dev2S);
  EXPECT_FALSE(s.saw(Kind::Connected));
  EXPECT_EQ(s.m.at(1).row.device, QStringLiteral("KL-03"));
  s.feed(idle(17, 3600, 1));
  EXPECT_TRUE(s.saw(Kind::Connected, 1));
  EXPECT_EQ(s.m.link, LinkState::Identified);
  // Each channel keeps its own values and clocks.
  s.feed(running(17, 3500, 100, 1));
  EXPECT_TRUE(s.m.at(1).data.ChnRunning);
  EXPECT_FALSE(s.m.at(0).data.ChnRunning);
  EXPECT_TRUE(s.m.at(1).testClock);
  EXPECT_FALSE(s.m.at(0).testClock);
  EXPECT_FLOAT_EQ(s.m.at(0).data.Volt, 3.7f);
  EXPECT_FLOAT_EQ(s.m.at(1).data.Volt, 3.5f);
  // The panel shows channel 0, which is idle: no running buttons, idle calibration buttons.
  EXPECT_FALSE(s.saw(Kind::ButtonsRunning, 1));
  EXPECT_TRUE(s.heard.back().kind == Kind::ChannelUpdated);
}

TEST(ReportStep, ARunningTestFoundAtConnectIsAdoptedBeforeItsFirstSample) {
  Slot s;
  const ReportStep::Result r = s.feed(running(12, 4000, 100));
  const std::vector<Kind> k = kinds(r.effects);
  const auto at = [&](Kind kind) { return std::find(k.begin(), k.end(), kind) - k.begin(); };
  EXPECT_EQ(s.adopted, (std::vector<int>{0}));
  EXPECT_LT(at(Kind::TestAdopted), at(Kind::ButtonsRunning));
  EXPECT_LT(at(Kind::ClocksChanged), at(Kind::SampleShown));
  EXPECT_LT(at(Kind::SampleShown), at(Kind::PointsAdded));
  EXPECT_TRUE(s.m.at(0).data.ChnRunning);
  EXPECT_EQ(s.m.at(0).data.SetRaw, 100);
  // A test begun here (its row has a begin voltage) is not adopted again.
  Slot t;
  t.feed(idle(12, 4100));
  t.m.at(0).row.beginVolt = QStringLiteral("4.100V");
  t.feed(running(12, 4000, 100));
  EXPECT_TRUE(t.adopted.empty());
  // The first point carries the begin voltage at second 0.
  ASSERT_EQ(t.m.at(0).series.size(), 2);
  EXPECT_FLOAT_EQ(t.m.at(0).series.at(0).volt, 4.1f);
  EXPECT_FLOAT_EQ(t.m.at(0).series.at(1).volt, 4.0f);
}

TEST(ReportStep, TheUsbMeterIntegratesItsOwnCapacityAndReadsItsDataLines) {
  Slot s;
  Report info;
  info.model = 26, info.info = 1, info.set = 320, info.limit = 2100, info.time = 4000;
  s.feed(info);
  Report r;
  r.model = 26, r.mode = 1, r.state = 1, r.volt = 5100, r.cur = 12345, r.cap = 600, r.temp = 2700;
  s.feed(r);
  const ChannelData& d = s.m.at(0).data;
  EXPECT_FLOAT_EQ(d.Cur, 1.234f);
  EXPECT_FLOAT_EQ(d.MeterCur, 1.2345f);
  EXPECT_FLOAT_EQ(d.DPlus, 0.6f);
  EXPECT_FLOAT_EQ(d.DMinus, 2.7f);
  EXPECT_EQ(d.Cap, 0.0f);
  s.m.secondTick();
  s.feed(r);
  EXPECT_GT(s.m.at(0).data.Cap, 0.0f); // one second at 1.234 A, integrated here
}

TEST(ReportStep, AGarbledModelOrChannelIsDroppedWithTheRestOfTheBlock) {
  const struct {
    const char* what;
    Report report;
    bool heard;
  } cases[] = {
      {"model code 0", idle(0, 4100), true},
      {"a channel digit of 2", idle(12, 4100, 2), false},
  };
  for (const auto& k : cases) {
    Slot s;
    s.m.params.ModelCode = 12;
    const ReportStep::Result r = s.feed(k.report);
    EXPECT_EQ(r.action, ReportAction::DropRest) << k.what;
    EXPECT_EQ(s.saw(Kind::Heard), k.heard) << k.what;
    EXPECT_FALSE(s.saw(Kind::Connected)) << k.what;
    EXPECT_TRUE(s.m.connecting()) << k.what;
    EXPECT_FALSE(s.saw(Kind::SampleShown)) << k.what;
  }
  Slot s;
  s.m.params.ModelCode = 12;
  s.feed(idle(0, 4100));
  EXPECT_EQ(s.m.params.ModelCode, 0); // the slot has no identified device
}

// A whole test from report bytes: connect, identify, start, samples, the device's end. The data
// file is what the program writes for the same bytes.
TEST(ReportStep, AWholeTestEndsInItsDataFile) {
  Slot s;
  s.in.saveAtEnd = true;
  std::optional<QStringList> file;
  std::vector<Kind> order;
  const auto feed = [&](const Report& r) {
    ReportStep step(s.m, [&](const SlotEffect& e) {
      order.push_back(e.kind);
      if (e.kind != Kind::DataFileDue)
        return;
      DataFileContent content = s.m.dataFileContent(e.channel, false);
      content.title = QStringLiteral("Cell 7");
      content.csv = true;
      file = dataFileLines(content);
    });
    step.take(bodyOf(r), s.in);
  };
  feed(idle(12, 4100));
  // The user types the set value and limit, and presses Start.
  s.m.at(0).view.params.tSval = QStringLiteral("1.00");
  s.m.at(0).view.params.tSlmt = QStringLiteral("3.00");
  prepareTest(s.m, 0, {false, false, 3.0, 1.0});
  showTestRow(s.m, 0, s.m.at(0).view.voltText);
  s.m.at(0).data.RecPath = QStringLiteral("recording");
  feed(running(12, 4000, 100)); // the begin voltage and the first sample, both at 0 s
  s.m.secondTick();
  feed(running(12, 3990, 100));
  s.m.secondTick();
  feed(running(12, 3980, 100));
  order.clear();
  feed(idle(12, 3000));
  ASSERT_TRUE(file);
  EXPECT_EQ(
      *file,
      (QStringList{QLatin1String(kDataTitleLine), QStringLiteral("Device:KL-F2"),
                   QStringLiteral("Mode:D-CC  1.00A  3.00V"), QStringLiteral("Begin Volt:4.100V"),
                   QStringLiteral("Cutoff Volt:3.000V"), QStringLiteral("Capacity:0mAh"),
                   QStringLiteral("Energy:0mWh"), QStringLiteral("Avg Volt:4.02V"),
                   QStringLiteral("Title:Cell 7"), QLatin1String(kBannerLine),
                   QStringLiteral("Time(S),Cur(A),Vol(V)"), QStringLiteral("0,1.00,4.100"),
                   QStringLiteral("0,1.00,4.000"), QStringLiteral("1,1.00,3.990"),
                   QStringLiteral("2,1.00,3.980"), QStringLiteral("2,0.00,3.000")}));
  // The end in the order the slot applies it: the last sample, the recording's end, the data
  // file, the clocks, the idle buttons and the notice last.
  EXPECT_EQ(order, (std::vector<Kind>{Kind::Heard, Kind::SampleShown, Kind::ResultRowDue,
                                      Kind::PointsAdded, Kind::RecordingLineDue, Kind::CapEnergyDue,
                                      Kind::ChannelUpdated, Kind::RecordingEndDue,
                                      Kind::DataFileDue, Kind::ClocksChanged, Kind::TestEnded,
                                      Kind::ButtonsIdle, Kind::CalibButtons, Kind::Finished}));
  EXPECT_EQ(s.heard.size(), 0u); // the step's own sink was used here
  EXPECT_FALSE(s.m.at(0).data.ChnRunning);
  EXPECT_TRUE(s.m.at(0).data.RecPath.isEmpty());
  EXPECT_FALSE(s.m.at(0).curveClock);
  EXPECT_EQ(s.m.at(0).data.StartPoint, 0);
}

TEST(ReportStep, AResistanceDropOfAnIdleChannelIsSeen) {
  Slot s;
  s.feed(idle(12, 4100));
  Report r = idle(12, 4100);
  r.cap = 150;
  s.feed(r);
  const auto drop = std::find_if(s.heard.begin(), s.heard.end(), [](const SlotEffect& e) {
    return e.kind == Kind::ResistanceDrop;
  });
  ASSERT_NE(drop, s.heard.end());
  EXPECT_GT(drop->value, 0.0f);
}

} // namespace
