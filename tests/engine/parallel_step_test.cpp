// A step shared among threads gives the same bits as a step on one thread: the new levels, the
// densities, DensityMax, CurrentHalfWidth and EnergyTotal, in both precisions.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <memory>
#include <vector>

#include "engine/integrator.h"
#include "support/fake_run_ui.h"

namespace kl {
namespace {

// FNV-1a over the bytes of a range of doubles.
std::uint64_t Fingerprint(std::uint64_t h, const void* data, size_t bytes) {
  const auto* b = static_cast<const unsigned char*>(data);
  for (size_t k = 0; k < bytes; ++k) h = (h ^ b[k]) * 1099511628211ULL;
  return h;
}

// What a step leaves, as bits: its scalars and a fingerprint of the new level (values and
// densities over the whole store of the phase) and of DensityNow.
struct StepRecord {
  double energy, densityMax, time;
  int halfWidth, layer;
  bool phaseTwo;
  std::uint64_t level, density;
  bool operator==(const StepRecord& o) const {
    return std::memcmp(&energy, &o.energy, sizeof energy) == 0 &&
           std::memcmp(&densityMax, &o.densityMax, sizeof densityMax) == 0 && time == o.time &&
           halfWidth == o.halfWidth && layer == o.layer && phaseTwo == o.phaseTwo && level == o.level &&
           density == o.density;
  }
};

StepRecord Record(const SimState& s) {
  StepRecord r{s.EnergyTotal, s.DensityMax, s.TimeNow, s.CurrentHalfWidth, s.LayerNow, s.PhaseTwo, 0, 0};
  const std::uint64_t seed = 14695981039346656037ULL;
  if (s.PhaseTwo) {
    const int half = kHistoryHalf + s.ExtraWidth;
    const FieldPoint* newest = s.stores.Work(1);
    r.level = Fingerprint(seed, newest - half, sizeof(FieldPoint) * (2 * half + 1));
    r.density = Fingerprint(seed, s.stores.DensityNow() - half, sizeof(double) * (2 * half + 1));
  } else {
    r.level = Fingerprint(seed, s.stores.History(s.LayerNow) - kHistoryHalf, sizeof(FieldPoint) * (2 * kHistoryHalf + 1));
    r.density = Fingerprint(seed, s.stores.DensityNow() - kHistoryHalf, sizeof(double) * (2 * kHistoryHalf + 1));
  }
  return r;
}

// The run as the runner drives it: start presses without stops, again at each phase limit,
// until t reaches `until`; one record per step.
class RecordingUi : public test::FakeRunUi {
 public:
  RecordingUi(double until) : until_(until) {}
  void Attach(const Program* p) { p_ = p; }
  void StepMade() override {
    FakeRunUi::StepMade();
    records.push_back(Record(p_->sim));
  }
  bool ContinueAfterStep() override { return p_->sim.TimeNow < until_; }
  std::vector<StepRecord> records;

 private:
  const Program* p_ = nullptr;
  double until_;
};

struct RecordedRun {
  std::unique_ptr<Program> program;
  std::vector<StepRecord> records;
};

RecordedRun RunTo(double until, StepPrecision precision, int threads, int parallelFrom) {
  RecordingUi ui(until);
  // Three kinks, two of them moving: the densities and the kinks' vacua change across chunks.
  RecordedRun run{test::MakeProgram(ui, 2, 10, 1024, {{-4.0, 0.6}, {0.5, 0.0}, {5.0, -0.3}}), {}};
  Program& p = *run.program;
  ui.Attach(&p);
  p.sim.Precision = precision;
  p.sim.StepThreads = threads;
  p.sim.ParallelFrom = parallelFrom;
  while (p.sim.TimeNow < until && p.sim.RunState != 4) {
    const long before = ui.steps;
    ui.SelectWithoutStop();
    StartPress(p, ui);
    while (p.sim.Running) SliceTimerTick(p, ui);
    if (ui.steps == before) break;
  }
  run.records = std::move(ui.records);
  return run;
}

TEST(ParallelStep, SeveralThreadsGiveTheBitsOfOneThreadOverARunIntoTheSecondPhase) {
  for (StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    SCOPED_TRACE(PrecisionName(precision));
    // t = 14: the first phase (626 steps) and about 250 second-phase steps, with a window
    // boundary on the way. ParallelFrom 1 shares every step, the first phase included.
    const RecordedRun one = RunTo(14, precision, 1, 0);
    ASSERT_EQ(one.program->sim.PhaseTwo, true);
    ASSERT_GT(one.records.size(), 850u);
    for (int threads : {2, 3}) {
      const RecordedRun many = RunTo(14, precision, threads, 1);
      EXPECT_EQ(many.program->sim.pool.Workers(), threads - 1);
      ASSERT_EQ(many.records.size(), one.records.size()) << threads;
      for (size_t k = 0; k < one.records.size(); ++k)
        ASSERT_TRUE(many.records[k] == one.records[k]) << threads << " threads differ at step " << k + 1
                                                     << ", t = " << one.records[k].time;
      // The stores as a whole, History's display window included.
      const FieldStores& a = one.program->sim.stores;
      const FieldStores& b = many.program->sim.stores;
      for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(std::memcmp(a.Work(slot) + kWorkLo, b.Work(slot) + kWorkLo,
                              sizeof(FieldPoint) * FieldStores::kWorkWidth), 0) << "slot " << slot;
      for (int level = 0; level < kHistoryLevels; ++level)
        ASSERT_EQ(std::memcmp(a.History(level) - kHistoryHalf, b.History(level) - kHistoryHalf,
                              sizeof(FieldPoint) * FieldStores::kHistoryWidth), 0) << "level " << level;
    }
  }
}

// A second-phase step of about 160 000 points: a chain of kinks over the whole cone, kind 4.
std::unique_ptr<SimState> ChainState(StepPrecision precision, int threads) {
  auto s = std::make_unique<SimState>();
  s->HalfInterval = 10;
  SetGrid(*s, 1024);
  s->ConeBase = 20;
  s->RightVacuum = -1;
  s->Precision = precision;
  s->StepThreads = threads;
  s->PhaseTwo = true;
  s->ExtraWidth = 80000;
  s->TimeNow = 10 + 80000 * s->Dt;
  s->LayerNow = 80001;
  s->DensityMax = -1;
  const int outer = kHistoryHalf + s->ExtraWidth + 1;
  for (int slot = 0; slot < 2; ++slot) {
    for (int i = -outer; i <= outer; ++i) {
      const double x = i * s->Dx - 0.3 * slot * s->Dt;
      s->stores.Work(slot)[i].re = std::cos(0.5 * x) * std::tanh(std::sin(0.37 * x) * 3);
    }
  }
  return s;
}

TEST(ParallelStep, AWideStepIsTheSameOnOneTwoAndFiveThreads) {
  Potential pot;
  ApplyPotentialKind(pot, 4);
  for (StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    auto one = ChainState(precision, 1);
    for (int step = 0; step < 3; ++step) ASSERT_TRUE(AdvanceStep(*one, pot));
    for (int threads : {2, 5}) {
      auto many = ChainState(precision, threads);
      for (int step = 0; step < 3; ++step) ASSERT_TRUE(AdvanceStep(*many, pot));
      EXPECT_EQ(many->pool.Workers(), threads - 1);
      EXPECT_TRUE(Record(*many) == Record(*one)) << PrecisionName(precision) << ", " << threads << " threads";
      for (int slot = 0; slot < 3; ++slot)
        EXPECT_EQ(std::memcmp(one->stores.Work(slot) + kWorkLo, many->stores.Work(slot) + kWorkLo,
                              sizeof(FieldPoint) * FieldStores::kWorkWidth), 0);
    }
    EXPECT_GT(one->EnergyTotal, 0);
    EXPECT_EQ(one->CurrentHalfWidth, kHistoryHalf);
  }
}

TEST(ParallelStep, NarrowStepsStayOnTheCallingThread) {
  Potential pot;
  for (StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    auto s = ChainState(precision, 4);
    s->PhaseTwo = false;  // a first-phase step: 2049 points
    s->LayerNow = 1;
    s->TimeNow = 10;
    ASSERT_TRUE(AdvanceStep(*s, pot));
    EXPECT_EQ(s->pool.Workers(), 0) << PrecisionName(precision);
    s->PhaseTwo = true;  // 2049 + 2 J points, narrower than either precision shares
    s->ExtraWidth = 900;
    ASSERT_TRUE(AdvanceStep(*s, pot));
    EXPECT_EQ(s->pool.Workers(), 0) << PrecisionName(precision);
    s->ExtraWidth = 20000;
    ASSERT_TRUE(AdvanceStep(*s, pot));
    EXPECT_EQ(s->pool.Workers(), 3) << PrecisionName(precision);
  }
}

TEST(ParallelStep, TheEnergyIsTheSumOfTheDensitiesTimesDx) {
  // The ordered partial sums change only the rounding of the sum, not what is summed.
  Potential pot;
  ApplyPotentialKind(pot, 4);
  for (StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    auto s = ChainState(precision, 2);
    ASSERT_TRUE(AdvanceStep(*s, pot));
    long double sum = 0;
    double largest = -1;
    const int half = kHistoryHalf + s->ExtraWidth - 1;
    for (int i = -half; i <= half; ++i) {
      sum += s->stores.DensityNow()[i];
      largest = std::max(largest, s->stores.DensityNow()[i]);
    }
    EXPECT_NEAR(s->EnergyTotal, static_cast<double>(sum * s->Dx), 1e-12 * s->EnergyTotal);
    EXPECT_EQ(s->DensityMax, largest);
  }
}

}  // namespace
}  // namespace kl
