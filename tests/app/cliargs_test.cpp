#include "cli/cliargs.h"
#include "cli/clioutput.h"

#include <QJsonDocument>

#include <gtest/gtest.h>

#include <cstdio>

using namespace ondrel;
using namespace ondrel::cli;

namespace {

QStringList words(const char* line) {
  return QString::fromLatin1(line).split(' ', Qt::SkipEmptyParts);
}

TEST(CliArguments, RefusedCommandLinesSayWhy) {
  const struct {
    const char* line;
    const char* says;
  } cases[] = {
      {"", "No command"},
      {"frobnicate", "Unknown command"},
      {"info", "needs --port"},
      {"info --port", "needs a value"},
      {"info --port COMx", "not a port"},
      {"run --port COM2", "needs --mode"},
      {"run --port COM2 --mode D-CC --channel 3", "1 or 2"},
      {"info --port COM2 --mode D-CC", "takes no option --mode"},
      {"ports --port COM2", "takes no option --port"},
      {"watch --port COM2 --json=yes", "takes no value"},
      {"program --port COM2", "one step file"},
      {"program --port COM2 a.stp b.stp", "one step file"},
      {"run --port COM2 --mode D-CC stray", "Unexpected"},
      {"run --port COM2 --mode D-CC --format xml", "own, bdf or both"},
      {"history --port COM2", "takes no option --port"},
      {"history --since yesterday", "a date"},
  };
  for (const auto& c : cases) {
    const Parsed p = parseArguments(words(c.line));
    EXPECT_FALSE(p.options) << c.line;
    EXPECT_TRUE(p.error.contains(QLatin1String(c.says))) << c.line << ": " << p.error.toStdString();
  }
}

TEST(CliArguments, ACommandTakesItsOptionsInEitherSpelling) {
  const Parsed q = parseArguments(
      {"run", "--port=com3", "--mode", "D-CC", "--set", "1.5", "--limit=3.0", "--time", "10",
       "--channel", "2", "--label", "cell 7", "--no-stop", "--no-data-file", "--format", "both",
       "--home", "/tmp/x", "--json"});
  ASSERT_TRUE(q.options) << q.error.toStdString();
  const Options& o = *q.options;
  EXPECT_EQ(o.command, Command::Run);
  EXPECT_EQ(o.port, 3);
  EXPECT_EQ(o.mode, "D-CC");
  EXPECT_EQ(o.set, "1.5");
  EXPECT_EQ(o.limit, "3.0");
  EXPECT_EQ(o.time, "10");
  EXPECT_EQ(o.channel, 1);
  EXPECT_EQ(o.label, "cell 7");
  EXPECT_TRUE(o.noStop && o.noDataFile && o.json);
  EXPECT_EQ(o.format, FileFormat::Both);
  EXPECT_EQ(o.home, "/tmp/x");

  // watch follows every channel unless one is named; program takes its file.
  EXPECT_EQ(parseArguments({"watch", "--port", "COM2"}).options->channel, -1);
  EXPECT_EQ(parseArguments({"watch", "--port", "COM2", "--channel", "1"}).options->channel, 0);
  EXPECT_EQ(parseArguments({"program", "--port", "COM2", "cycle.stp"}).options->stepFile,
            "cycle.stp");
  // history needs no port and takes its filters.
  const Parsed h = parseArguments(
      {"history", "--label", "cell", "--model", "A20", "--since", "2026-12-01", "--json"});
  ASSERT_TRUE(h.options) << h.error.toStdString();
  EXPECT_EQ(h.options->command, Command::History);
  EXPECT_EQ(h.options->port, 0);
  EXPECT_EQ(h.options->label, "cell");
  EXPECT_EQ(h.options->model, "A20");
  EXPECT_EQ(h.options->since, "2026-12-01");
  // --help needs nothing else.
  EXPECT_TRUE(parseArguments({"run", "--help"}).options->help);
  EXPECT_TRUE(parseArguments({"--help"}).options->help);
}

TEST(CliOutput, SamplesAreNumbersInAmperesOnEveryModel) {
  SlotModel m;
  m.port = "COM2";
  m.modes = QStringList{"D-CC"};
  ChannelData& d = m.at(0).data;
  d.Volt = 3.9119999f, d.Cur = 1500.0f, d.Pwr = 5868.0f, d.Cap = 12.5f, d.Energy = 48.9f;
  d.TestSec = 12, d.ChnRunning = true;
  m.params.caps.currentInMilliamps = true; // this model reports mA, mAh and mWh
  const QJsonObject o = sampleObject(m, 0);
  EXPECT_EQ(QJsonDocument(o).toJson(QJsonDocument::Compact),
            R"({"a":1.5,"ah":0.0125,"channel":1,"mode":"D-CC","port":"COM2","state":"running",)"
            R"("t":12,"v":3.912,"w":5.868,"wh":0.0489})");
  m.params.HasTemp = true;
  d.Temp = 31.25f;
  EXPECT_EQ(sampleObject(m, 0).value("temp_c").toDouble(), 31.3);
}

TEST(CliOutput, StatusLinesAreRewrittenInPlaceAndEventsPrintAboveThem) {
  char* buffer = nullptr;
  size_t size = 0;
  std::FILE* f = open_memstream(&buffer, &size);
  {
    Printer out(false, f, f);
    SlotModel m;
    m.port = "COM3";
    m.Dev2S = true;
    out.sample(m, 0);
    out.sample(m, 1);
    out.line("event");
    out.finish();
  }
  std::fclose(f);
  const QString text = QString::fromUtf8(buffer, qsizetype(size));
  std::free(buffer);
  // Two status lines; the event clears both (cursor up once), prints, and draws them again.
  EXPECT_TRUE(text.contains("\r\x1b[K\x1b[1A\r\x1b[Kevent\nCOM3 ch1")) << text.toStdString();
  EXPECT_TRUE(text.endsWith("idle\n"));
}

} // namespace
