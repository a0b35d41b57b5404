// The per-step drawing as the window does it: the same run pictures, with the text block
// written through the window's Qt text renderer on the offscreen platform.
//
// Run:  build/bench/kinklab_window_bench
#include <benchmark/benchmark.h>

#include <QApplication>

#include "bench_scene.h"
#include "views/paint_box_window.h"

namespace {

void BM_WindowStepDrawing(benchmark::State& state) {
  bench::SecondPhaseDrawing scene;
  for (kl::Canvas* c : {&scene.cv.PaintBoxMain, &scene.cv.PaintBoxCurrSol, &scene.cv.PaintBoxCurrEnergy})
    c->SetTextRenderer(&kl::SharedTextRenderer());
  for (auto _ : state) {
    scene.Draw(true);
    benchmark::DoNotOptimize(scene.cv.PaintBoxMain.Pixels().data());
    benchmark::ClobberMemory();
  }
  state.SetLabel("second phase, half-width 1025, text through Qt");
}
BENCHMARK(BM_WindowStepDrawing)->Unit(benchmark::kMicrosecond);

// The text block alone: eleven lines written over a white box.
void BM_WindowInfoTable(benchmark::State& state) {
  bench::SecondPhaseDrawing scene;
  scene.cv.PaintBoxMain.SetTextRenderer(&kl::SharedTextRenderer());
  for (auto _ : state) {
    scene.sim->TimeNow += 0.01;  // the time line changes every step
    kl::DrawInfoTable(*scene.sim, scene.marks, scene.block, scene.cv.PaintBoxMain);
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_WindowInfoTable)->Unit(benchmark::kMicrosecond);

}  // namespace

int main(int argc, char** argv) {
  if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
  QApplication app(argc, argv);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
