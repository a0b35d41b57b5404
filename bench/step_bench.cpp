// Speed of the leapfrog step and of the per-step drawing at the window.
//
// Run:  build/bench/kinklab_bench --benchmark_repetitions=3 --benchmark_report_aggregates_only=true
// Compare with the numpy peer: python3 ../shared/peer/numpy_peer.py 200000
#include <benchmark/benchmark.h>

#include <cmath>
#include <memory>
#include <string>

#include "engine/integrator.h"
#include "engine/marks.h"
#include "engine/sim_state.h"
#include "soliton/potential.h"
#include "views/canvas.h"
#include "views/run_pictures.h"

namespace {

using kl::FieldPoint;
using kl::SimState;

constexpr int kGridSize = 1024;      // N
constexpr double kHalfInterval = 10;  // L
// J of a second-phase step over 2049 + 2 J = 200 001 points.
constexpr int kWideExtra = 98976;
constexpr double kChainSpacing = 12.0;  // distance between neighbouring kinks of the chain
constexpr double kChainSpeed = 0.3;     // kinks move right, antikinks left

// A kink-antikink chain centred on x = 0: kink j sits at c_j, moving with ±kChainSpeed, and
// the vacuum changes sign across each of them. `count` is even, so both ends lie at -1.
// Returns u at position x and time t (a boosted tanh profile of the nearest member).
struct KinkChain {
  int count;
  double spacing;

  double At(double x, double t) const {
    const double first = -0.5 * spacing * (count - 1);
    int j = static_cast<int>(std::lround((x - first) / spacing));
    if (j < 0) j = 0;
    if (j > count - 1) j = count - 1;
    const double v = (j % 2 == 0) ? kChainSpeed : -kChainSpeed;
    const double gamma = 1.0 / std::sqrt(1.0 - v * v);
    const double centre = first + j * spacing + v * t;
    const double leftVacuum = (j % 2 == 0) ? -1.0 : 1.0;
    return -leftVacuum * std::tanh(gamma * (x - centre) / std::sqrt(2.0));
  }
};

// Grid, clock and cone of a run with N = 1024, L = 10 at time t.
void SetClock(SimState& sim, double t) {
  sim.HalfInterval = kHalfInterval;
  kl::SetGrid(sim, kGridSize);
  sim.ConeBase = 2 * kHalfInterval;
  sim.RightVacuum = -1.0;
  sim.TimeNow = t;
  sim.EnergyTotal = 0.0;
  sim.DensityMax = -1.0;
}

// Fills the points lo .. hi of two levels with the chain at t = -Dt and t = 0.
void FillLevels(const SimState& sim, FieldPoint* previous, FieldPoint* current, int lo, int hi,
                const KinkChain& chain) {
  for (int i = lo; i <= hi; ++i) {
    const double x = i * sim.Dx;
    previous[i] = FieldPoint{chain.At(x, -sim.Dt), 0.0, 0.0};
    current[i] = FieldPoint{chain.At(x, 0.0), 0.0, 0.0};
  }
}

// First phase near its end (t = L): the light cone covers all 2049 points, so each is
// advanced by the scheme. LayerNow goes back to 1 each iteration: levels 0, 1 -> 2.
void BM_StepFirstPhase(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  auto sim = std::make_unique<SimState>();
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
  state.SetLabel("kind " + std::to_string(kind));
}
BENCHMARK(BM_StepFirstPhase)->Arg(1)->Arg(4)->Unit(benchmark::kMicrosecond);

// Second phase J steps after arming (t = L + J Dt), over 2049 + 2 J points. The cone
// [-2L - J Dt, 2L + J Dt] then holds about 82 % of them, as in a real run; the rest are
// pinned. Each iteration is a real step on the evolving chain; only J and the clock are put
// back so the range stays the same.
void BM_StepSecondPhase(benchmark::State& state) {
  const int kind = static_cast<int>(state.range(0));
  const int J = static_cast<int>(state.range(1));
  auto sim = std::make_unique<SimState>();
  kl::Potential pot;
  kl::ApplyPotentialKind(pot, kind);
  const double t0 = kHalfInterval + J * kl::TimeStepFor(2 * kHalfInterval / kGridSize);
  SetClock(*sim, t0);
  sim->PhaseTwo = true;
  sim->WindowBase = 0;  // the level is neither stored nor drawn, as right after arming
  sim->LayerNow = 1 + J;
  // Kinks spread over the whole light cone.
  const int coneHalf = static_cast<int>((kHalfInterval + t0) / sim->Dx);
  const int members = 2 * static_cast<int>(coneHalf * sim->Dx / kChainSpacing);
  const KinkChain chain{members, kChainSpacing};
  const int outer = kl::kHistoryHalf + J + 1;
  sim->stores.ResetWorkOrder();
  FillLevels(*sim, sim->stores.Work(0), sim->stores.Work(1), -outer, outer, chain);
  const int layer0 = sim->LayerNow;
  // One untimed step touches the pages of the new slot and of DensityNow.
  sim->ExtraWidth = J;
  kl::AdvanceStep(*sim, pot);
  for (auto _ : state) {
    sim->ExtraWidth = J;
    sim->LayerNow = layer0;
    sim->TimeNow = t0;
    if (!kl::AdvanceStep(*sim, pot)) state.SkipWithError("step refused");
    benchmark::DoNotOptimize(sim->EnergyTotal);
  }
  const int points = 2 * kl::kHistoryHalf - 1 + 2 * J;
  const kl::ConeRange cone = kl::ConeIndices(*sim, -outer + 1, outer - 1);
  state.counters["points"] = points;
  state.counters["inside_cone"] = cone.last - cone.first + 1;
  state.counters["points_per_second"] =
      benchmark::Counter(points, benchmark::Counter::kIsIterationInvariantRate);
  state.SetLabel("kind " + std::to_string(kind) + ", " + std::to_string(members) + " kinks");
}
BENCHMARK(BM_StepSecondPhase)
    ->Args({1, kWideExtra})
    ->Args({4, kWideExtra})
    ->Unit(benchmark::kMillisecond);

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
  kl::RunCanvases cv{kl::Canvas(900, 500), kl::Canvas(900, 300), kl::Canvas(900, 300)};
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

}  // namespace
