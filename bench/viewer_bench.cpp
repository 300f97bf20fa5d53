// Loading ten data files of 360 000 lines each (100 hours at one line a second) into the data
// viewer, with the curves drawn: the time of the whole load, and the memory it keeps.
#include "data/ui/frmdata.h"
#include "widgets/curvegraph.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <fstream>

using namespace ondrel;

namespace {

constexpr int kFiles = 10;
constexpr int kLines = 360000;

// Ten files as the program writes them: a result block, the banner, the column line and the
// samples of a slow discharge.
const QStringList& files() {
  static QTemporaryDir dir;
  static QStringList paths;
  if (!paths.isEmpty())
    return paths;
  for (int f = 0; f < kFiles; ++f) {
    const QString path = dir.filePath(QStringLiteral("long%1.csv").arg(f));
    QByteArray b = "Device:KL-F2\r\nMode:D-CC  1.00A  3.00V\r\nBegin Volt:4.200V\r\n"
                   "Title:long test\r\nTime(S),Cur(A),Vol(V)\r\n";
    b.reserve(kLines * 16);
    for (int t = 0; t < kLines; ++t) {
      b += QByteArray::number(t);
      b += ",1.00,";
      b += QByteArray::number(4.2 - 1.2 * t / kLines + 0.001 * f, 'f', 3);
      b += "\r\n";
    }
    QFile out(path);
    out.open(QIODevice::WriteOnly);
    out.write(b);
    paths << path;
  }
  return paths;
}

long residentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  long value = 0;
  while (status >> key) {
    if (key == "VmRSS:") {
      status >> value;
      return value;
    }
    status.ignore(1 << 12, '\n');
  }
  return 0;
}

void BM_ViewerLoadsTenLongFiles(benchmark::State& state) {
  const QStringList& paths = files();
  CurveGraph look;
  long grown = 0;
  for (auto _ : state) {
    const long before = residentKiB();
    frmData viewer(nullptr, false, look, ViewerServices{});
    viewer.chooseCurveColours = nullptr;
    viewer.resize(1200, 800);
    viewer.setAttribute(Qt::WA_DontShowOnScreen);
    viewer.show(); // on screen, so every load draws its curves
    for (const QString& p : paths)
      if (!viewer.LoadFile(p))
        state.SkipWithError("a file did not load");
    benchmark::DoNotOptimize(viewer.graph().DpCnt(0));
    grown = residentKiB() - before;
  }
  state.counters["kept_MB"] = double(grown) / 1024.0;
  state.counters["lines"] = double(kFiles) * kLines;
}
BENCHMARK(BM_ViewerLoadsTenLongFiles)->Unit(benchmark::kMillisecond)->Iterations(1)->Repetitions(5);

} // namespace
