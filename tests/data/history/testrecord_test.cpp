#include "history/testrecord.h"

#include <gtest/gtest.h>

using namespace ondrel;

TEST(TestRecord, ChannelRowTakesResultsAndTheTestsOwnPoints) {
  SlotModel m;
  m.port = QStringLiteral("COM4");
  ChannelModel& ch = m.at(1);
  ch.row.device = QStringLiteral("EBC-A20");
  ch.row.beginVolt = QStringLiteral("4.100V");
  ch.row.cutoffVolt = QStringLiteral("2.800V");
  ch.data.Cap = 2.95f; // float values the catalogue keeps as the numbers they were
  ch.data.Energy = 10.95f;
  ch.data.TestSec = 3600;
  ch.data.StartPoint = 1;
  // A monitor's point before the test is no part of it.
  ch.series.append({0, 0, 9.0f, 0, 80.0f, 0, 0});
  ch.series.append({1, 1, 4.0f, 1, 25.0f, 0, 0});
  ch.series.append({2, 2, 3.0f, 1, 31.1f, 0, 0});
  TestEnd end;
  end.kind = kind::Program;
  end.endReason = endreason::Stopped;
  end.ended = QDateTime(QDate(2026, 12, 1), QTime(11, 0), Qt::UTC);
  end.label = QStringLiteral("cell 7");
  end.slot = 2;
  const TestRecord r = recordOfChannel(m, 1, end, true);
  EXPECT_EQ(r.startedUtc, QStringLiteral("2026-12-01T10:00:00Z"));
  EXPECT_EQ(r.endedUtc, QStringLiteral("2026-12-01T11:00:00Z"));
  EXPECT_EQ(r.kind, kind::Program);
  EXPECT_EQ(r.endReason, endreason::Stopped);
  EXPECT_EQ(r.port, QStringLiteral("COM4"));
  EXPECT_EQ(r.channel, 1);
  EXPECT_EQ(r.slot, 2);
  EXPECT_NEAR(*r.beginV, 4.1, 1e-6);
  EXPECT_NEAR(*r.endV, 2.8, 1e-6);
  EXPECT_NEAR(*r.avgV, 3.5, 1e-6);
  EXPECT_EQ(*r.capacityAh, 2.95);
  EXPECT_EQ(*r.energyWh, 10.95);
  EXPECT_EQ(*r.maxTempC, 31.1);
  EXPECT_FALSE(r.resistanceMohm.has_value());
  EXPECT_FALSE(r.uid.isEmpty());
  EXPECT_NE(recordOfChannel(m, 1, end, true).uid, r.uid);
  EXPECT_FALSE(recordOfChannel(m, 1, end, false).maxTempC.has_value());

  // The side file's line gives back the same row.
  EXPECT_EQ(recordFromJson(toJson(r)), r);
  EXPECT_FALSE(recordFromJson(QJsonObject{{QStringLiteral("label"), QStringLiteral("x")}}));
}
