// Speed of the solution tab's full repaint: the x-t colour picture of a 1200 x 600 main
// picture from a filled History, in both picture modes, alone and with the whole refresh.
//
// Run:  build/bench/kinklab_bench --benchmark_filter=Refresh --benchmark_repetitions=3
//       --benchmark_report_aggregates_only=true
// Measured (shared 2-core machine): the picture alone about 9 ms in either mode, the whole
// refresh about 9.5 ms; painting pixel by pixel through PixelColor and SetPixel about 175 ms.
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "app/program.h"
#include "interaction/colour_scale.h"
#include "interaction/refresh.h"
#include "soliton/plot_frame.h"
#include "base/canvas.h"

namespace {

constexpr int kWidth = 1200, kHeight = 600;  // the largest main picture of the window
constexpr double kHalfInterval = 10;        // L
constexpr int kColourItem = 0;              // 200 colours: the longest level search

// A kink and an antikink approaching each other at +-0.4; r is their energy density.
kl::FieldPoint Sample(double x, double t) {
  const double gamma = 1 / std::sqrt(1 - 0.16);
  const double u = std::tanh(gamma * (x + 15 - 0.4 * t) / std::sqrt(2.0)) *
                   -std::tanh(gamma * (x - 15 + 0.4 * t) / std::sqrt(2.0));
  return kl::FieldPoint{u, 0, 0.5 * (1 - u * u) * (1 - u * u) + 1e-6};
}

// A second-phase display window of N = 256: every row and every inner column is painted,
// which is the most the picture ever paints (about 716 000 pixels).
std::unique_ptr<kl::Program> FilledProgram() {
  auto p = std::make_unique<kl::Program>();
  kl::SimState& s = p->sim;
  s.HalfInterval = kHalfInterval;
  kl::SetGrid(s, 256);
  s.PhaseTwo = true;
  s.WindowBase = 0;
  s.LayerLast = kl::kHistoryLevels - 1;
  s.CurrentHalfWidth = kl::kHistoryHalf;
  s.TimeNow = (kl::kHistoryLevels - 1) * s.Dt;
  s.MainFrame = kl::PlotFrame{-8 * kHalfInterval, 8 * kHalfInterval, 0, s.TimeNow};
  s.SolFrame = kl::PlotFrame{-8 * kHalfInterval, 8 * kHalfInterval, -1.5, 1.5};
  s.DensityFrame = s.SolFrame;
  s.SolutionTabShown = true;
  s.DensityMax = 0.5;
  for (int k = 0; k < kl::kHistoryLevels; ++k)
    for (int i = -kl::kHistoryHalf; i <= kl::kHistoryHalf; ++i)
      s.stores.History(k)[i] = Sample(i * s.Dx, k * s.Dt);
  p->canvases.PaintBoxMain.Resize(kWidth, kHeight);
  p->canvases.PaintBoxCurrSol.Resize(kWidth, 150);
  p->canvases.PaintBoxCurrEnergy.Resize(kWidth, 150);
  return p;
}

kl::Program& Shared() {
  static const std::unique_ptr<kl::Program> program = FilledProgram();
  return *program;
}

// The x-t picture alone, row-wise through Canvas::Row.
void BM_RefreshPicture(benchmark::State& state) {
  const bool energy = state.range(0) != 0;
  kl::Program& p = Shared();
  kl::ColourScale colours;
  kl::BuildPalette(colours, kl::ColourCountFromList(kColourItem), nullptr);
  kl::BuildLevels(colours, colours.ColorCount, p.sim.DensityMax);
  for (auto _ : state) {
    kl::ClearPlot(p.canvases.PaintBoxMain);
    benchmark::DoNotOptimize(kl::PaintXtPicture(p.sim, colours, energy, p.canvases.PaintBoxMain));
  }
  state.SetLabel(energy ? "energy" : "amplitude");
}
BENCHMARK(BM_RefreshPicture)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The same picture one PixelColor and one SetPixel per pixel, for comparison.
void BM_RefreshPicturePixelByPixel(benchmark::State& state) {
  const bool energy = state.range(0) != 0;
  kl::Program& p = Shared();
  kl::Canvas& main = p.canvases.PaintBoxMain;
  kl::ColourScale colours;
  kl::BuildPalette(colours, kl::ColourCountFromList(kColourItem), nullptr);
  kl::BuildLevels(colours, colours.ColorCount, p.sim.DensityMax);
  for (auto _ : state) {
    kl::ClearPlot(main);
    for (int r = kHeight - 2; r >= 1; --r)
      for (int c = 1; c <= kWidth - 2; ++c)
        main.SetPixel(c, r, kl::PixelColor(p.sim, colours, energy, p.sim.MainFrame, kWidth, kHeight, c, r));
    benchmark::DoNotOptimize(main.Pixels().data());
  }
  state.SetLabel(energy ? "energy" : "amplitude");
}
BENCHMARK(BM_RefreshPicturePixelByPixel)->Arg(0)->Arg(1)->Unit(benchmark::kMillisecond);

// The whole "Обновить": colours, picture, current strips, text block and microscope 2
// (a quarter of the picture magnified into a 300 x 150 box); arg 1 adds a microscope-1
// line across the picture instead of the current strips.
void BM_RefreshSolution(benchmark::State& state) {
  const bool energy = state.range(0) != 0;
  kl::Program& p = Shared();
  p.micro.Micro2Rect = {300, 450, 900, 150};
  if (state.range(1) != 0) p.micro.Micro1Line = {100, 500, 1100, 100};
  else p.micro.Micro1Line.fill(-1);
  kl::ColourScale colours;
  kl::Canvas micro2(300, 150);
  kl::PlotFrame micro2Frame;
  for (auto _ : state) {
    const kl::RefreshResult result =
        kl::RefreshSolution(p, colours, kl::RefreshChoice{energy, kColourItem}, micro2, micro2Frame);
    benchmark::DoNotOptimize(result.mainRows);
  }
  p.micro.Clear();
  state.SetLabel(std::string(energy ? "energy" : "amplitude") + (state.range(1) ? ", section" : ""));
}
BENCHMARK(BM_RefreshSolution)->Args({0, 0})->Args({1, 0})->Args({0, 1})->Unit(benchmark::kMillisecond);

}  // namespace
