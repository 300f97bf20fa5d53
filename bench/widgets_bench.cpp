#include "widgets/curvegraph.h"
#include "widgets/lcdisp.h"

#include <QCoreApplication>
#include <QMouseEvent>
#include <QScrollBar>

#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>

using namespace ondrel;

namespace {

// Five curves of a million points each on a 1000 x 600 surface. `dense` makes every curve
// swing across most of the plot a few pixels apart, so that the lines fill whole areas: the
// worst case for the pixel work. Otherwise they follow a discharge: slow drift and some noise.
CurveGraph& bigGraph(bool dense) {
  static CurveGraph* graphs[2] = {};
  CurveGraph*& graph = graphs[dense ? 1 : 0];
  if (graph)
    return *graph;
  graph = [dense] {
    auto* g = new CurveGraph;
    g->resize(1000, 600);
    g->setShowAxesY2(true);
    g->setMaxX(1000000);
    for (int c = 0; c < 5; ++c) {
      g->setShowCurve(c, true);
      g->setCurveAxesY(c, c % 3);
      for (int i = 0; i < 1000000; ++i)
        g->AddXY(c, static_cast<float>(i),
                 dense ? 5 + 4 * std::sin(i * 0.001f + c)
                       : 8 - 3.0f * i / 1000000 +
                             0.05f * static_cast<float>((qint64{i} * 7919) % 13));
    }
    g->DrawCurve();
    return g;
  }();
  return *graph;
}

void BM_DrawCurve_5x1M(benchmark::State& state) {
  CurveGraph& g = bigGraph(false);
  for (auto _ : state)
    g.DrawCurve();
}
BENCHMARK(BM_DrawCurve_5x1M)->Unit(benchmark::kMillisecond);

void BM_DrawCurve_5x1M_Dense(benchmark::State& state) {
  CurveGraph& g = bigGraph(true);
  for (auto _ : state)
    g.DrawCurve();
}
BENCHMARK(BM_DrawCurve_5x1M_Dense)->Unit(benchmark::kMillisecond);

// The frame, labels and grids alone: what every redraw pays before the first curve.
void BM_DrawEmptyFrame(benchmark::State& state) {
  CurveGraph g;
  g.resize(1000, 600);
  g.setShowAxesY2(true);
  g.DrawCurve();
  for (auto _ : state)
    g.DrawCurve();
}
BENCHMARK(BM_DrawEmptyFrame)->Unit(benchmark::kMillisecond);

// A pointer event on the plot surface, as the mouse gives it.
void pointer(CurveGraph& g, QEvent::Type type, Qt::MouseButton button, QPoint pos) {
  QWidget* plot = g.findChild<QWidget*>(QStringLiteral("picGraph"));
  const Qt::MouseButtons held = type == QEvent::MouseButtonRelease ? Qt::NoButton : button;
  QMouseEvent e(type, pos, plot->mapToGlobal(pos),
                type == QEvent::MouseMove ? Qt::NoButton : button, held, Qt::NoModifier);
  QCoreApplication::sendEvent(plot, &e);
}

// The right button held and moved across five million points: the readout of four curves is
// recomputed at every move, so it must cost far less than a frame.
void BM_CursorMove_5x1M(benchmark::State& state) {
  CurveGraph& g = bigGraph(false);
  pointer(g, QEvent::MouseButtonPress, Qt::RightButton, {100, 300});
  int x = 100;
  for (auto _ : state) {
    x = x >= 800 ? 100 : x + 7;
    pointer(g, QEvent::MouseMove, Qt::RightButton, {x, 300});
  }
  pointer(g, QEvent::MouseButtonRelease, Qt::RightButton, {x, 300});
}
BENCHMARK(BM_CursorMove_5x1M)->Unit(benchmark::kMicrosecond);

// Dragging the scroll bar of a zoomed view of five million points: one redraw per position.
void BM_Pan_5x1M(benchmark::State& state) {
  CurveGraph& g = bigGraph(false);
  g.setSize(true);
  pointer(g, QEvent::MouseButtonPress, Qt::LeftButton, {300, 100});
  pointer(g, QEvent::MouseMove, Qt::LeftButton, {400, 400});
  pointer(g, QEvent::MouseButtonRelease, Qt::LeftButton, {400, 400});
  auto* scroll = g.findChild<QScrollBar*>(QStringLiteral("HScroll1"));
  int position = 0;
  for (auto _ : state) {
    position = position >= scroll->maximum() ? 0 : position + 1;
    scroll->setValue(position);
  }
  g.setLarge(false); // back to the full view for the other benchmarks
  g.setSize(false);
  g.DrawCurve();
}
BENCHMARK(BM_Pan_5x1M)->Unit(benchmark::kMillisecond);

void BM_AddXY(benchmark::State& state) {
  const int n = static_cast<int>(state.range(0));
  for (auto _ : state) {
    state.PauseTiming();
    auto g = std::make_unique<CurveGraph>();
    state.ResumeTiming();
    for (int i = 0; i < n; ++i)
      g->AddXY(0, static_cast<float>(i), 1.0f);
    benchmark::DoNotOptimize(g->DpCnt(0));
    state.PauseTiming();
    g.reset(); // releasing the storage is not part of appending
    state.ResumeTiming();
  }
  state.SetItemsProcessed(state.iterations() * n);
}
BENCHMARK(BM_AddXY)->Arg(1000000)->Unit(benchmark::kMillisecond);

void BM_LcdValueChange(benchmark::State& state) {
  LCDisp d(LcdPreset::DevCtrlVol);
  int i = 0;
  for (auto _ : state)
    d.setValue(QString::number(10 + (i++ % 10) * 0.01, 'f', 2)); // last cell changes
}
BENCHMARK(BM_LcdValueChange)->Unit(benchmark::kMicrosecond);

} // namespace
