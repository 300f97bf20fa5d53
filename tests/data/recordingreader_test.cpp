#include "data/recording.h"
#include "data/support/failure.h"
#include "support/printers.h"
#include "support/tempfolder.h"

#include <QDir>

#include <gtest/gtest.h>

#include <string>

using namespace ondrel;
using ondrel::testing::TempProgramFolder;

namespace {

// The header as the program writes it, CR LF lines.
const QByteArray kHeader = QByteArray("-----------Ondrel Tester Software------------\r\n"
                                      "Device:KL-F2\r\nMode:D-CC  1.00A  2.80V\r\n"
                                      "Begin Volt:4.10V\r\n") +
                           kBannerLine + "\r\nTime(S)\tCur(A)\tVol(V)\r\n";

std::string describe(const std::vector<RecordingSample>& samples) {
  std::string s;
  for (const RecordingSample& r : samples)
    s += std::to_string(r.time) + "/" + std::to_string(r.current) + "/" +
         std::to_string(r.voltage) + " ";
  return s;
}

TEST(RecordingReader, SoundLinesAreReadAndTheRestSkipped) {
  const struct {
    const char* what;
    QByteArray bytes;
    std::vector<RecordingSample> samples;
    int skipped;
  } cases[] = {
      {"as written",
       kHeader + "0\t01.50\t4.100\r\n1\t01.50\t4.050\r\n",
       {{0, 1.5, 4.1}, {1, 1.5, 4.05}},
       0},
      {"LF only, no header", "0\t1.5\t4.1\n1\t1.5\t4.05\n", {{0, 1.5, 4.1}, {1, 1.5, 4.05}}, 0},
      {"CR CR LF and blank lines",
       "\r\n\n5\t1.5\t4.1\r\r\n\n\n6\t1.5\t4.0\n",
       {{5, 1.5, 4.1}, {6, 1.5, 4.0}},
       0},
      {"temperature column is not read",
       "5\t1.5\t4.1\t25.0\n6\t1.5\t4.0\tjunk\n",
       {{5, 1.5, 4.1}, {6, 1.5, 4.0}},
       0},
      {"spaces around fields", "5 \t 1.5\t4.1 \n", {{5, 1.5, 4.1}}, 0},
      {"garbage lines are ignored",
       "hello\n5\t1.5\t4.1\n#\t1\t2\n Device:x\n6\t1.5\t4.0\n",
       {{5, 1.5, 4.1}, {6, 1.5, 4.0}},
       0},
      {"binary junk between samples",
       QByteArray("5\t1.5\t4.1\n\x00\xff\x7f\t\t\n", 16) + "7\x01\x02\t\x80\n8\t1.5\t4.0\n",
       {{5, 1.5, 4.1}, {8, 1.5, 4.0}},
       1},
      {"non-numeric or missing fields",
       "1\tabc\t4.1\n2\t1.5\t\n3\t1.5\n4\n5\t\t4.1\n6\t1,5\t4.1\n7\t1.5\t4.1V\n8\t1.5\t4.1\n",
       {{8, 1.5, 4.1}},
       7},
      {"signs, exponents, specials",
       "1\t-1.5\t4.1\n2\t1.5\t-4.1\n3\t+1.5\t4.1\n4\t1e2\t4.1\n5\tinf\t4.1\n6\tnan\t4.1\n"
       "7\t1.2.3\t4.1\n8\t.\t4.1\n9\t.5\t4.\n",
       {{9, 0.5, 4.0}},
       8},
      {"a time that is no whole number",
       "1.5\t1\t4\n2x\t1\t4\n0x10\t1\t4\n3\t1\t4\n",
       {{3, 1, 4}},
       3},
      {"times going back are skipped, equal ones kept",
       "10\t1\t4\n5\t1\t4\n10\t1\t3.9\n9\t1\t4\n11\t1\t3.8\n",
       {{10, 1, 4}, {10, 1, 3.9}, {11, 1, 3.8}},
       2},
      {"negative and absurd times",
       "-5\t1\t4\n+5\t1\t4\n1000000000\t1\t4\n315360001\t1\t4\n"
       "99999999999999999999999999\t1\t4\n315360000\t1\t4\n",
       {{315360000, 1, 4}},
       5},
      {"values at and beyond their bounds",
       "1\t1000\t1000\n2\t1000.001\t4\n3\t1\t1000.001\n"
       "4\t999999999999999999999999999999999999999999999999999999999999\t4\n",
       {{1, 1000, 1000}},
       3},
      {"a huge number of digits", "1\t" + QByteArray(400, '9') + "\t4\n2\t1\t4\n", {{2, 1, 4}}, 1},
      {"a truncated last line",
       "5\t1.5\t4.1\r\n6\t1.5\t4.0\r\n7\t1.5\t3.",
       {{5, 1.5, 4.1}, {6, 1.5, 4.0}},
       1},
      {"a last line cut between CR and LF", "5\t1.5\t4.1\r\n6\t1.5\t4.000\r", {{5, 1.5, 4.1}}, 1},
      {"a cut line marked by the next append",
       "5\t1.5\t3. (cut off)\r\n6\t1.5\t4.0\r\n",
       {{6, 1.5, 4.0}},
       1},
      {"empty", "", {}, 0},
  };
  for (const auto& c : cases) {
    const RecordingContent r = parseRecording(c.bytes);
    const std::vector<RecordingSample>& want = c.samples;
    bool same = r.samples.size() == want.size();
    for (size_t i = 0; same && i < want.size(); ++i)
      same = r.samples[i].time == want[i].time && r.samples[i].current == want[i].current &&
             r.samples[i].voltage == want[i].voltage;
    EXPECT_TRUE(same) << c.what << ": " << describe(r.samples) << "instead of " << describe(want);
    EXPECT_EQ(r.skippedLines, c.skipped) << c.what;
  }
}

TEST(RecordingReader, HeaderValuesAndCurrentUnit) {
  RecordingContent r = parseRecording(kHeader + "0\t01.50\t4.100\r\n");
  EXPECT_EQ(r.device, QStringLiteral("KL-F2"));
  EXPECT_EQ(r.mode, QStringLiteral("D-CC  1.00A  2.80V"));
  EXPECT_EQ(r.beginVolt, QStringLiteral("4.10V"));
  EXPECT_FALSE(r.currentInMilliamps);

  // Fewer than two characters after the colon, no colon, another case: not taken.
  r = parseRecording("Device:X\nMode D-CC\nbegin volt:4.10V\nBegin Volt:\n");
  EXPECT_FALSE(r.device);
  EXPECT_FALSE(r.mode);
  EXPECT_FALSE(r.beginVolt);

  // Mode texts in Chinese: written as UTF-8, and read from older files in GBK.
  r = parseRecording("Mode:\xe6\x94\xbe\xe7\x94\xb5 1A\r\nBegin Volt:\xb7\xc5\xb5\xe7\r\n");
  EXPECT_EQ(r.mode, QStringLiteral("放电 1A"));
  EXPECT_EQ(r.beginVolt, QStringLiteral("放电"));

  // A model that reports milliamperes: its currents may be a thousand times larger.
  const QByteArray samples = "1\t50000\t4.1\n2\t1500000\t4.1\n";
  r = parseRecording("Time(S)\tCur(mA)\tVol(V)\n" + samples);
  EXPECT_TRUE(r.currentInMilliamps);
  ASSERT_EQ(r.samples.size(), 1u);
  EXPECT_EQ(r.samples[0].current, 50000);
  r = parseRecording(kHeader + samples);
  EXPECT_FALSE(r.currentInMilliamps);
  EXPECT_TRUE(r.samples.empty());
  // Only the header's column line counts; a later one is junk.
  r = parseRecording("Time(S)\tCur(mA)\tVol(V)\nTime(S)\tCur(A)\tVol(V)\n");
  EXPECT_TRUE(r.currentInMilliamps);
}

TEST(RecordingReader, EndLineMarksAFinishedTest) {
  const QByteArray end =
      recordingEndLine(QDateTime(QDate(2026, 12, 10), QTime(14, 3, 5))).toLatin1();
  EXPECT_EQ(end, "End:2026-12-10 14:03:05");
  const struct {
    QByteArray tail;
    bool ended;
  } cases[] = {
      {"1\t1\t4\r\n" + end + "\r\n", true},
      {"1\t1\t4\r\n" + end + "\r\n\r\n\n", true},
      {"1\t1\t4\r\n" + end, true},
      {"1\t1\t4\r\n" + end + "\r\n2\t1\t4\r\n", false}, // continued by the user
      {"1\t1\t4\r\n" + end + "\r\nEnd\r\n", false},
      {"1\t1\t4\r\n", false},
  };
  for (const auto& c : cases) {
    const RecordingContent r = parseRecording(kHeader + c.tail);
    EXPECT_EQ(r.endedNormally, c.ended) << c.tail.toStdString();
    EXPECT_EQ(r.skippedLines, 0) << c.tail.toStdString();
  }
}

TEST(RecordingReader, FileIsReadBackAfterAppends) {
  TempProgramFolder home;
  const QString base = home.file(QStringLiteral("ondrel-KL-F2-COM3-1-1"));
  EXPECT_FALSE(readRecording(base));

  home.write(QStringLiteral("ondrel-KL-F2-COM3-1-1.bak"), kHeader + "1\t01.00\t4.000\r\n");
  appendRecordingLine(base, recordingLine(2, 1.0f, 3.99f, std::nullopt, 100));
  appendRecordingEnd(base, QDateTime::currentDateTime());
  std::optional<RecordingContent> r = readRecording(base);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->device, QStringLiteral("KL-F2"));
  EXPECT_EQ(r->samples.size(), 2u);
  EXPECT_TRUE(r->endedNormally);
  appendRecordingLine(base, recordingLine(3, 1.0f, 3.98f, std::nullopt, 100));
  r = readRecording(base);
  ASSERT_TRUE(r);
  EXPECT_EQ(r->samples.size(), 3u);
  EXPECT_FALSE(r->endedNormally);

  QDir(home.path()).mkdir(QStringLiteral("ondrel-x.bak"));
  EXPECT_THROW(readRecording(home.file(QStringLiteral("ondrel-x"))), Failure);
}

TEST(RecordingReader, LineCutShortStaysRefusedAfterTheNextAppend) {
  // The program ended while it wrote line 7; the continued test appends line 8.
  TempProgramFolder home;
  const QString base = home.file(QStringLiteral("ondrel-cut"));
  for (const QByteArray cut : {"7", "7\t1.0", "7\t1.000\t3.", "7\t1.000\t3.900\r"}) {
    home.write(QStringLiteral("ondrel-cut.bak"), kHeader + "6\t1.000\t4.000\r\n" + cut);
    ASSERT_EQ(readRecording(base)->samples.size(), 1u) << cut.toStdString();
    appendRecordingLine(base, recordingLine(8, 1.0f, 3.8f, std::nullopt, 1000));
    const RecordingContent r = *readRecording(base);
    ASSERT_EQ(r.samples.size(), 2u) << cut.toStdString();
    EXPECT_EQ(r.samples[1].time, 8);
    EXPECT_EQ(r.samples[1].voltage, 3.8);
    EXPECT_EQ(r.skippedLines, 1);
    EXPECT_TRUE(home.read(QStringLiteral("ondrel-cut.bak")).endsWith("\r\n8\t1.000\t3.800\r\n"));
  }
}

} // namespace
