// The pool that shares a wide step: every chunk exactly once, workers started once and reused,
// and steps that allocate nothing.
#include "engine/step_pool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <cstdlib>
#include <memory>
#include <new>
#include <vector>

#include "engine/integrator.h"
#include "engine/lean_run.h"
#include "engine/sim_state.h"
#include "soliton/profile.h"
#include "support/kink_pair.h"

// Counts every allocation through the global operator new in this test program (the array,
// nothrow and aligned forms of the library end up here too), from any thread.
namespace {
std::atomic<long> g_allocations{0};
}  // namespace

void* operator new(std::size_t size) {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  if (void* p = std::malloc(size == 0 ? 1 : size)) return p;
  throw std::bad_alloc();
}
void operator delete(void* p) noexcept { std::free(p); }
void operator delete(void* p, std::size_t) noexcept { std::free(p); }
// The nothrow pair is replaced as well (std::stable_sort's buffer uses it): where a sanitizer
// supplies its own nothrow new, the replaced delete above would otherwise free its blocks.
void* operator new(std::size_t size, const std::nothrow_t&) noexcept {
  g_allocations.fetch_add(1, std::memory_order_relaxed);
  return std::malloc(size == 0 ? 1 : size);
}
void operator delete(void* p, const std::nothrow_t&) noexcept { std::free(p); }

namespace kl {
namespace {

TEST(StepPool, RunsEveryChunkExactlyOnceWhateverTheThreadCount) {
  StepPool pool;
  for (int threads : {1, 2, 3, 8}) {
    for (int count : {0, 1, 2, 7, 64, 515}) {
      std::vector<std::atomic<int>> calls(static_cast<size_t>(count));
      for (auto& c : calls) c = 0;
      auto task = [&](int chunk) {
        ASSERT_GE(chunk, 0);
        ASSERT_LT(chunk, count);
        calls[static_cast<size_t>(chunk)].fetch_add(1);
      };
      pool.ForEach(threads, count, task);
      for (int c = 0; c < count; ++c)
        ASSERT_EQ(calls[static_cast<size_t>(c)].load(), 1) << threads << " threads, chunk " << c << " of " << count;
    }
  }
}

TEST(StepPool, StartsItsWorkersOnceAndRestartsThemOnlyForANewThreadCount) {
  StepPool pool;
  std::atomic<long> sum{0};
  auto task = [&](int chunk) { sum.fetch_add(chunk); };
  pool.ForEach(1, 100, task);  // one thread: the caller alone
  EXPECT_EQ(pool.Workers(), 0);
  EXPECT_EQ(pool.StartedThreads(), 0);
  for (int round = 0; round < 200; ++round) pool.ForEach(3, 100, task);
  EXPECT_EQ(pool.Workers(), 2);
  EXPECT_EQ(pool.StartedThreads(), 2);
  EXPECT_EQ(sum.load(), 201 * 4950L);
  pool.ForEach(2, 10, task);
  EXPECT_EQ(pool.Workers(), 1);
  EXPECT_EQ(pool.StartedThreads(), 3);
  pool.ForEach(1, 10, task);  // the caller alone again; the worker keeps sleeping
  EXPECT_EQ(pool.Workers(), 1);
}

// A second-phase state far out (J = 60 000, about 122 000 points), field a smooth bump.
std::unique_ptr<SimState> WideState(StepPrecision precision, int threads) {
  auto s = std::make_unique<SimState>();
  s->HalfInterval = 10;
  SetGrid(*s, 1024);
  s->ConeBase = 20;
  s->RightVacuum = -1;
  s->Precision = precision;
  s->StepThreads = threads;
  s->PhaseTwo = true;
  s->ExtraWidth = 60000;
  s->TimeNow = 10 + 60000 * s->Dt;
  s->LayerNow = 60001;
  s->WindowBase = s->LayerNow - 3;  // levels are stored in History, as in a display window
  const int outer = kHistoryHalf + s->ExtraWidth + 1;
  for (int slot = 0; slot < 2; ++slot)
    for (int i = -outer; i <= outer; ++i)
      s->stores.Work(slot)[i].re = -1 + 0.5 / std::cosh(0.001 * i + 0.01 * slot);
  return s;
}

TEST(StepPool, WideStepsAllocateNothingOnceTheWorkersRun) {
  Potential pot;
  ApplyPotentialKind(pot, 4);
  for (StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    auto s = WideState(precision, 2);
    ASSERT_TRUE(AdvanceStep(*s, pot));  // starts the worker
    ASSERT_EQ(s->pool.Workers(), 1);
    const long before = g_allocations.load();
    for (int step = 0; step < 5; ++step) ASSERT_TRUE(AdvanceStep(*s, pot));
    EXPECT_EQ(g_allocations.load() - before, 0) << PrecisionName(precision);
    EXPECT_EQ(s->pool.StartedThreads(), 1);
  }
}

}  // namespace
}  // namespace kl

namespace kl {
namespace {

// A scan's run keeps three levels of plain u as wide as its light cone, allocated once: under
// 5 MB for N = 1024, L = 20 to t = 200 (about 0.3 MB), under 60 MB for N = 8192, and its steps
// allocate nothing.
TEST(LeanRunMemory, LevelsAsWideAsTheConeAllocatedOnce) {
  Potential pot;
  ApplyPotentialKind(pot, 1);
  ProfileState profile;
  profile.OduXMin = -20;
  SolveProfile(profile, pot, pot.ParamA, 20, nullptr);
  for (const int n : {1024, 8192}) {
    KinkList kinks = test::ApproachingPair(10, 0.3);
    const RotatorParams rot = test::NoRotator();
    LeanRun run(pot, StepPrecision::Double, 1, 20, n, 200);
    run.SetDensities(false);
    PrepareLeanRun(run, pot, kinks, rot, profile, n);
    EXPECT_LT(run.LevelBytes(), n == 1024 ? 5u << 20 : 60u << 20) << n;
    const long before = g_allocations.load();
    for (int k = 0; k < 300; ++k) ASSERT_TRUE(run.Step());
    EXPECT_EQ(g_allocations.load(), before) << n;
  }
}

}  // namespace
}  // namespace kl
