// Speed of a collision scan's run, on the lean engine's levels of plain u: one whole run, and
// the cost of the narrow early steps.
//
// Run:  build/bench/kinklab_bench --benchmark_filter='ScanRun|LeanSteps'
// Against the numpy peer of the same collision, in one call: bench/scan_vs_numpy.sh
#include <benchmark/benchmark.h>

#include <atomic>

#include "study/collision.h"
#include "cli/options.h"
#include "cli/scan_runs.h"
#include "engine/lean_run.h"
#include "soliton/profile.h"

namespace {

// One run of a kind-1 scan: the pair at -10 and +10 meeting at v = 0.25, L = 20, to t = 200,
// double precision, one thread, as a scan with --jobs 1 runs each velocity. Argument: N.
void BM_ScanRun(benchmark::State& state) {
  kl::ScanOptions o;
  o.run.kind = 1;
  o.run.halfInterval = 20;
  o.run.gridSize = static_cast<int>(state.range(0));
  o.run.untilTime = 200;
  o.run.precision = kl::StepPrecision::Double;
  o.run.threads = 1;
  o.separation = 10;
  std::atomic<bool> stop{false};
  long steps = 0;
  for (auto _ : state) {
    const kl::CollisionRun run = kl::RunCollision(kl::CollisionSetupOf(o), 0.25, stop);
    steps = static_cast<long>(run.time.size());
    benchmark::DoNotOptimize(run.bounces);
  }
  state.counters["steps"] = static_cast<double>(steps);
}
BENCHMARK(BM_ScanRun)->Arg(1024)->Arg(2048)->Unit(benchmark::kMillisecond);

// The first 64 steps of that run (a range of about 1 050 points, the cone of [-L, L]), with
// the pair's zeros located after each as a scan does: the cost of a narrow step.
void BM_LeanStepsNarrow(benchmark::State& state) {
  kl::Potential pot;
  kl::ApplyPotentialKind(pot, 1);
  kl::ProfileState profile;
  profile.OduXMin = -20;
  kl::SolveProfile(profile, pot, pot.ParamA, 20, nullptr);
  kl::KinkList kinks;
  kinks.SolitonCount = 2;
  kinks.InitSm[1] = -10;
  kinks.InitVel[1] = 0.25;
  kinks.InitSm[2] = 10;
  kinks.InitVel[2] = -0.25;
  kl::RotatorParams rot;
  rot.InitMethod = 0;
  constexpr int kSteps = 64;
  for (auto _ : state) {
    state.PauseTiming();
    kl::LeanRun run(pot, kl::StepPrecision::Double, 1, 20, 1024, 200);
    run.SetDensities(false);
    kl::PrepareLeanRun(run, pot, kinks, rot, profile, 1024);
    state.ResumeTiming();
    for (int n = 0; n < kSteps; ++n) {
      run.Step();
      int half;
      benchmark::DoNotOptimize(kl::LocatePair(run.NewestValues(half), half, run.Dx()));
    }
  }
  state.SetItemsProcessed(state.iterations() * kSteps);
}
BENCHMARK(BM_LeanStepsNarrow)->Unit(benchmark::kMicrosecond);

}  // namespace
