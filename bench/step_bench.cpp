// Speed of the leapfrog step, by kind, precision and thread count, and of the per-step
// drawing at the window.
//
// Run:  build/bench/kinklab_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
// Compare with the numpy peer: python3 ../shared/peer/numpy_peer.py 200000
#include <benchmark/benchmark.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <string>

#include "bench_scene.h"
#include "engine/integrator.h"
#include "engine/marks.h"
#include "engine/sim_state.h"
#include "soliton/potential.h"
#include "base/canvas.h"
#include "views/run_pictures.h"

namespace {

using kl::FieldPoint;
using kl::SimState;

using namespace bench;

kl::StepPrecision PrecisionArg(int64_t arg) {
  return arg == 0 ? kl::StepPrecision::Extended : kl::StepPrecision::Double;
}

// First phase near its end (t = L): the light cone covers all 2049 points, so each is
// advanced by the scheme. LayerNow goes back to 1 each iteration: levels 0, 1 -> 2.
// Arguments: kind, precision (0 extended, 1 double). A first-phase step stays on one thread.
void BM_StepFirstPhase(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  auto sim = std::make_unique<SimState>();
  sim->Precision = PrecisionArg(state.range(1));
  kl::Potential pot;
  kl::ApplyPotentialKind(pot, kind);
  SetClock(*sim, kHalfInterval);
  sim->PhaseTwo = false;
  const KinkChain chain{2, kChainSpacing};
  FillLevels(*sim, sim->stores.History(0), sim->stores.History(1), -kl::kHistoryHalf,
             kl::kHistoryHalf, chain);
  const double t0 = sim->TimeNow;
  for (auto _ : state) {
    sim->LayerNow = 1;
    sim->TimeNow = t0;
    if (!kl::AdvanceStep(*sim, pot)) state.SkipWithError("step refused");
    benchmark::DoNotOptimize(sim->EnergyTotal);
  }
  const int points = 2 * kl::kHistoryHalf - 1;
  state.counters["points"] = points;
  state.counters["points_per_second"] =
      benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
  state.counters["inside_cone"] = sim->CurrentHalfWidth;  // last index computed by the scheme
  state.SetLabel("kind " + std::to_string(kind) + ", " + kl::PrecisionName(sim->Precision));
}
BENCHMARK(BM_StepFirstPhase)
    ->ArgsProduct({{1, 4}, {0, 1}})
    ->ArgNames({"kind", "double"})
    ->Unit(benchmark::kMicrosecond);

// A state J steps after arming the second phase (t = L + J Dt), over 2049 + 2 J points.
// The cone [-2L - J Dt, 2L + J Dt] then holds about 82 % of them, as in a real run; the rest
// are pinned. Kinks spread over the whole light cone. One untimed step touches the pages of
// the new slot and of DensityNow (and starts the pool's workers).
struct WideStep {
  std::unique_ptr<SimState> sim = std::make_unique<SimState>();
  kl::Potential pot;
  int J = 0, layer0 = 0, members = 0, outer = 0;
  double t0 = 0;

  WideStep(int kind, int extra, kl::StepPrecision precision, int threads, int parallelFrom)
      : J(extra) {
    kl::ApplyPotentialKind(pot, kind);
    sim->Precision = precision;
    sim->StepThreads = threads;
    sim->ParallelFrom = parallelFrom;
    t0 = kHalfInterval + J * kl::TimeStepFor(2 * kHalfInterval / kGridSize);
    SetClock(*sim, t0);
    sim->PhaseTwo = true;
    sim->WindowBase = 0;  // the level is neither stored nor drawn, as right after arming
    sim->LayerNow = 1 + J;
    const int coneHalf = static_cast<int>((kHalfInterval + t0) / sim->Dx);
    members = std::max(2, 2 * static_cast<int>(coneHalf * sim->Dx / kChainSpacing));
    outer = kl::kHistoryHalf + J + 1;
    sim->stores.ResetWorkOrder();
    FillLevels(*sim, sim->stores.Work(0), sim->stores.Work(1), -outer, outer, KinkChain{members, kChainSpacing});
    layer0 = sim->LayerNow;
    Step();
  }
  // A real step on the evolving chain; only J and the clock are put back so the range stays.
  bool Step() {
    sim->ExtraWidth = J;
    sim->LayerNow = layer0;
    sim->TimeNow = t0;
    return kl::AdvanceStep(*sim, pot);
  }
  int Points() const { return 2 * kl::kHistoryHalf - 1 + 2 * J; }
  int InsideCone() const {
    const kl::ConeRange cone = kl::ConeIndices(*sim, -outer + 1, outer - 1);
    return cone.last - cone.first + 1;
  }
};

// Arguments: kind, precision (0 extended, 1 double), threads. The step of the table:
// about 200 000 points, shared by `threads` threads.
void BM_StepSecondPhase(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(2));
  WideStep w(kind, kWideExtra, PrecisionArg(state.range(1)), threads, 0);
  for (auto _ : state) {
    if (!w.Step()) state.SkipWithError("step refused");
    benchmark::DoNotOptimize(w.sim->EnergyTotal);
  }
  state.counters["points"] = w.Points();
  state.counters["inside_cone"] = w.InsideCone();
  state.counters["points_per_second"] =
      benchmark::Counter(w.Points(), benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel("kind " + std::to_string(kind) + ", " + kl::PrecisionName(w.sim->Precision) + ", " +
                 std::to_string(threads) + " thread" + (threads > 1 ? "s, " : ", ") +
                 std::to_string(w.members) + " kinks");
}
BENCHMARK(BM_StepSecondPhase)
    ->ArgsProduct({{1, 4}, {0, 1}, {1, 2}})
    ->ArgNames({"kind", "double", "threads"})
    ->Unit(benchmark::kMillisecond)
    ->UseRealTime();

// Where sharing a step starts to pay: second-phase steps of 2049 + 2 J points on one thread
// and on two with the pool forced on. Arguments: J, precision, threads. The crossings set
// kParallelFromExtended and kParallelFromDouble.
void BM_StepSecondPhaseNarrow(benchmark::State& state) {
  const int J = static_cast<int>(state.range(0));
  const int threads = static_cast<int>(state.range(2));
  WideStep w(1, J, PrecisionArg(state.range(1)), threads, 1);
  for (auto _ : state) {
    if (!w.Step()) state.SkipWithError("step refused");
    benchmark::DoNotOptimize(w.sim->EnergyTotal);
  }
  state.counters["points"] = w.Points();
  state.counters["points_per_second"] =
      benchmark::Counter(w.Points(), benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StepSecondPhaseNarrow)
    ->ArgsProduct({{512, 1024, 2048, 4096, 8192}, {0, 1}, {1, 2}})
    ->ArgNames({"J", "double", "threads"})
    ->Unit(benchmark::kMicrosecond)
    ->UseRealTime();

// The cos and sin of the modulation alone, for the values of the second-phase field above:
// the part of a kind-4 point update that the standard library does, and so the highest
// rate a kind-4 step can reach while it keeps calling it.
void BM_ModulationOnly(benchmark::State& state) {
  const int J = kWideExtra;
  auto sim = std::make_unique<SimState>();
  kl::Potential pot;
  kl::ApplyPotentialKind(pot, static_cast<int>(state.range(0)));
  SetClock(*sim, kHalfInterval + J * kl::TimeStepFor(2 * kHalfInterval / kGridSize));
  const int members = 2 * static_cast<int>((kHalfInterval + sim->TimeNow) / kChainSpacing);
  const KinkChain chain{members, kChainSpacing};
  const int outer = kl::kHistoryHalf + J;
  FillLevels(*sim, sim->stores.Work(0), sim->stores.Work(1), -outer, outer, chain);
  const FieldPoint* cur = sim->stores.Work(1);
  const long double k = pot.ModulationK;
  for (auto _ : state) {
    long double sum = 0;
    for (int i = -outer + 1; i <= outer - 1; ++i) {
      long double cs, sn;
      kl::Modulation<long double>(k, cur[i].re, cs, sn);
      sum += cs + sn;
    }
    benchmark::DoNotOptimize(sum);
  }
  const int points = 2 * outer - 1;
  state.counters["points_per_second"] =
      benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel("kind " + std::to_string(state.range(0)));
}
BENCHMARK(BM_ModulationOnly)->Arg(4)->Unit(benchmark::kMillisecond);

// The drawing after a first-phase step with the solution tab shown: the current profile and
// the marks on it, the log energy density, the E(t) dot and the text block, over the full
// half-width 1024, on canvases of the window's size. Two marks are tracked, no log file.
void BM_StepDrawing(benchmark::State& state) {
  auto sim = std::make_unique<SimState>();
  kl::Potential pot;
  kl::ApplyPotentialKind(pot, 1);
  SetClock(*sim, kHalfInterval);
  sim->SolutionTabShown = true;
  const KinkChain chain{2, kChainSpacing};
  FillLevels(*sim, sim->stores.History(0), sim->stores.History(1), -kl::kHistoryHalf,
             kl::kHistoryHalf, chain);
  sim->LayerNow = 1;
  kl::AdvanceStep(*sim, pot);
  const double L = kHalfInterval;
  sim->MainFrame = kl::PlotFrame{-2 * L, 2 * L, -L, L};
  sim->SolFrame = kl::PlotFrame{-2 * L, 2 * L, -1.5, 1.5};
  sim->DensityFrame = kl::PlotFrame{-2 * L, 2 * L, -8, 0};
  sim->EnergyTimeFrame = kl::PlotFrame{0, 2 * sim->EnergyTotal, -L, L};

  kl::Marks marks;
  marks.MarkCount = 2;
  marks.MarkLeft[1] = -0.5 * kChainSpacing - 3;
  marks.MarkRight[1] = -0.5 * kChainSpacing + 3;
  marks.MarkLeft[2] = 0.5 * kChainSpacing - 3;
  marks.MarkRight[2] = 0.5 * kChainSpacing + 3;
  const kl::LogSettings logSettings;
  kl::RunCanvases cv{kl::Canvas(900, 500), kl::Canvas(900, 300), kl::Canvas(900, 300), {}, {}};
  kl::TextBlock block;
  const int half = sim->CurrentHalfWidth;
  for (auto _ : state) {
    kl::DrawCurrentSolution(*sim, marks, logSettings, nullptr, cv.PaintBoxCurrSol, half,
                            sim->LayerNow, false);
    kl::DrawDensityProfile(*sim, cv.PaintBoxCurrEnergy, half);
    kl::DrawEnergyDot(*sim, cv.PaintBoxMain);
    kl::DrawInfoTable(*sim, marks, block, cv.PaintBoxMain);
    benchmark::DoNotOptimize(cv.PaintBoxCurrSol.Pixels().data());
    benchmark::ClobberMemory();
  }
  state.counters["half_width"] = half;
  state.counters["points_per_second"] =
      benchmark::Counter(2 * half + 1, benchmark::Counter::kIsIterationInvariantRate);
}
BENCHMARK(BM_StepDrawing)->Unit(benchmark::kMicrosecond);

// The drawing after every second-phase step (see SecondPhaseDrawing). Argument: 1 draws as
// the run loop does, with the strips' memory of the previous step; 0 without that memory.
void BM_StepDrawingSecondPhase(benchmark::State& state) {
  const bool withMemory = state.range(0) != 0;
  SecondPhaseDrawing scene;
  for (auto _ : state) {
    scene.Draw(withMemory);
    benchmark::DoNotOptimize(scene.cv.PaintBoxCurrSol.Pixels().data());
    benchmark::ClobberMemory();
  }
  state.counters["half_width"] = scene.sim->CurrentHalfWidth;
  state.SetLabel(withMemory ? "with strip memory, as the run loop draws" : "without strip memory");
}
BENCHMARK(BM_StepDrawingSecondPhase)->Arg(0)->Arg(1)->Unit(benchmark::kMicrosecond);

}  // namespace
