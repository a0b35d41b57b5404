// The physics a run must get right: rest, motion at the boosted speed, energy conservation,
// the attraction of a kink and an antikink, and the scheme itself across the phase switch.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <limits>
#include <utility>
#include <vector>

#include "study/collision.h"
#include "engine/integrator.h"
#include "engine/lean_run.h"

#include "support/fake_run_ui.h"

namespace kl {
namespace {

using test::FakeRunUi;
using test::MakeProgram;
using test::PressAndRun;
using test::ZeroCrossing;

// Records the total energy after every step.
class EnergyWatch : public FakeRunUi {
 public:
  explicit EnergyWatch(const Program*& p) : p_(p) {}
  void StepMade() override {
    FakeRunUi::StepMade();
    const double e = p_->sim.EnergyTotal;
    if (e0 == 0) e0 = e;
    drift = std::max(drift, std::fabs(e - e0) / e0);
  }
  double e0 = 0, drift = 0;

 private:
  const Program*& p_;
};

// Runs on through the phase limits, as the runner does, until t reaches `target`; `onStep`
// sees the program after every step.
class RunTo : public FakeRunUi {
 public:
  RunTo(double target, std::function<void(const Program&)> onStep = {}) : target_(target), onStep_(std::move(onStep)) {}
  void Attach(const Program& p) { p_ = &p; }
  void StepMade() override {
    FakeRunUi::StepMade();
    if (onStep_) onStep_(*p_);
  }
  void RunPrepared() override {
    if (onPrepared) onPrepared(*p_);
  }
  bool ContinueAfterStep() override { return p_->sim.TimeNow < target_; }
  void Run(Program& p) {
    Attach(p);
    while (p.sim.TimeNow < target_ && p.sim.RunState != 4) {
      SelectWithoutStop();
      PressAndRun(p, *this);
    }
  }
  std::function<void(const Program&)> onPrepared;

 private:
  double target_;
  std::function<void(const Program&)> onStep_;
  const Program* p_ = nullptr;
};

// The zero of Re u on the newest level nearest to x, by linear interpolation.
double ZeroNear(const SimState& s, double x) {
  int half;
  const FieldPoint* u = NewestLevel(s, half);
  double best = std::numeric_limits<double>::quiet_NaN();
  for (int i = -half; i < half; ++i) {
    const double a = u[i].re, b = u[i + 1].re;
    if ((a < 0) == (b < 0)) continue;
    const double zero = (i + a / (a - b)) * s.Dx;
    if (!(std::fabs(zero - x) >= std::fabs(best - x))) best = zero;
  }
  return best;
}

TEST(Physics, AKinkAtRestStaysWhereItIs) {
  // The composed kink is the static solution up to the table's interpolation, so it stays:
  // measured drifts are below 1e-4 to t = 200 on every interval, for every kind.
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    for (double L : {10.0, 20.0, 40.0}) {
      double worst = 0;
      RunTo ui(200, [&](const Program& p) {
        if (p.sim.LayerNow % 50 == 0) worst = std::max(worst, std::fabs(ZeroNear(p.sim, 0.0)));
      });
      auto p = MakeProgram(ui, kind, L, 1024, {{0.0, 0.0}});
      p->sim.Precision = StepPrecision::Double;
      ui.Run(*p);
      ASSERT_GE(p->sim.TimeNow, 200.0);
      EXPECT_LT(worst, 1e-3) << "kind " << kind << " L " << L;
    }
  }
}

TEST(Physics, AKinkAndItsMirroredAntikinkAtRestStayPut) {
  // Kind 4's well is lopsided: only the mirrored kink is its antikink. Far apart (20 units),
  // the pair attracts only through its slow tails: measured 0.008 in 100 time units.
  RunTo ui(100);
  auto p = MakeProgram(ui, 4, 20, 1024, {{-10.0, 0.0}, {10.0, 0.0}});
  p->sim.Precision = StepPrecision::Double;
  ui.Run(*p);
  EXPECT_NEAR(ZeroNear(p->sim, -10), -10, 0.01);
  EXPECT_NEAR(ZeroNear(p->sim, 10), 10, 0.01);
}

TEST(Physics, TheSecondPhaseGoesOnFromTheLevelItsClockShows) {
  // The same scheme written plainly, on one wide array with the light cone's pinning, from the
  // run's own first two levels: across the phase switch the run control's newest level is the
  // plain one of the same step count, and its clock is that level's time. One level of lag
  // would differ by u_t dt, about 5e-3.
  std::vector<double> older, newer;
  const int wide = kHistoryHalf + 1200;
  RunTo ui(80);
  ui.onPrepared = [&](const Program& p) {
    older.assign(2 * wide + 1, -1.0);
    newer.assign(2 * wide + 1, -1.0);
    for (int i = -wide; i <= wide; ++i) {
      const double vacuum = i <= 0 ? -1.0 : p.sim.RightVacuum;
      const bool stored = std::abs(i) <= kHistoryHalf;
      older[i + wide] = stored ? p.sim.stores.History(0)[i].re : vacuum;
      newer[i + wide] = stored ? p.sim.stores.History(1)[i].re : vacuum;
    }
  };
  auto p = MakeProgram(ui, 1, 10, 256, {{-4.0, 0.35}, {4.0, -0.35}});
  ui.Run(*p);
  const SimState& s = p->sim;
  ASSERT_TRUE(s.PhaseTwo);  // the first phase of N = 256 ends at t = 70
  using T = long double;
  const T c2 = kCourantL * kCourantL, dt2 = static_cast<T>(s.Dt) * s.Dt;
  std::vector<double> next(older.size());
  const int steps = s.LayerNow - 1;
  double t = 0;
  for (int n = 0; n < steps; ++n) {
    next.front() = newer.front();
    next.back() = newer.back();
    for (int i = -wide + 1; i < wide; ++i) {
      const size_t k = static_cast<size_t>(i + wide);
      const T x = static_cast<double>(static_cast<T>(i) * s.Dx);
      if (x < -10 - static_cast<T>(t) || x > 10 + static_cast<T>(t)) {
        next[k] = i <= 0 ? -1.0 : s.RightVacuum;
        continue;
      }
      const T u = newer[k];
      const T D = c2 * ((static_cast<T>(newer[k + 1]) - 2 * u) + newer[k - 1]) + (2 * u - older[k]);
      next[k] = static_cast<double>(D - dt2 * PotDW(p->pot, 0, newer[k]));
    }
    older.swap(newer);
    newer.swap(next);
    t = static_cast<double>(static_cast<T>(t) + s.Dt);
  }
  EXPECT_EQ(s.TimeNow, t);
  int half;
  const FieldPoint* u = NewestLevel(s, half);
  double worst = 0;
  for (int i = -half; i <= half; ++i) worst = std::max(worst, std::fabs(u[i].re - newer[i + wide]));
  EXPECT_LT(worst, 1e-15);
}

TEST(LeanRun, GivesTheRunControlsBitsAtEveryStepOnTheWindowsGrids) {
  // A pair that collides, run on the window's three grids in both precisions into the second
  // phase: after every step the lean run's newest level, its energy, and the scan's trace
  // (u(0, t) and the kinks' half distance) are the run control's, bit for bit; a lean run
  // without densities, as a scan makes it, has the same values.
  for (const int N : {256, 512, 1024})
    for (const StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
      const double L = 5, target = FirstPhaseReach(N, L) + 6;
      std::unique_ptr<LeanRun> lean, values;
      long compared = 0, differing = 0;
      RunTo ui(target, [&](const Program& p) {
        ASSERT_TRUE(lean->Step());
        ASSERT_TRUE(values->Step());
        const SimState& s = p.sim;
        int half, leanHalf;
        const FieldPoint* u = NewestLevel(s, half);
        const FieldPoint* v = lean->Newest(leanHalf);
        // Beyond the lean run's levels the run control holds the vacua.
        bool same = lean->Time() == s.TimeNow && lean->Energy() == s.EnergyTotal && u[0].re == v[0].re;
        for (int i = -half; i <= half && same; ++i)
          same = std::abs(i) <= leanHalf ? u[i].re == v[i].re && u[i].r == v[i].r
                                         : u[i].re == (i < 0 ? -1.0 : s.RightVacuum) && u[i].r == 0;
        int valuesHalf;
        const double* w = values->NewestValues(valuesHalf);
        same = same && valuesHalf == leanHalf;
        for (int i = -leanHalf; i <= leanHalf && same; ++i) same = w[i] == v[i].re;
        const auto a = LocatePair(u, half, s.Dx), b = LocatePair(w, valuesHalf, lean->Dx());
        same = same && a.has_value() == b.has_value() && (!a || (a->left == b->left && a->right == b->right));
        ++compared;
        differing += !same;
      });
      auto p = MakeProgram(ui, 1, L, N, {{-2.0, 0.3}, {2.0, -0.3}});
      p->sim.Precision = precision;
      ui.onPrepared = [&](const Program& prepared) {
        lean = std::make_unique<LeanRun>(prepared.pot, precision, 0, L, N, target);
        KinkList kinks = prepared.kinks;
        RotatorParams rot = prepared.rot;
        ProfileState profile = prepared.profile;
        PrepareLeanRun(*lean, prepared.pot, kinks, rot, profile, N);
        values = std::make_unique<LeanRun>(prepared.pot, precision, 0, L, N, target);
        values->SetDensities(false);
        PrepareLeanRun(*values, prepared.pot, kinks, rot, profile, N);
        EXPECT_EQ(lean->Energy(), prepared.sim.EnergyTotal);
      };
      ui.Run(*p);
      EXPECT_TRUE(p->sim.PhaseTwo) << N;
      EXPECT_GT(compared, 50) << N;
      EXPECT_EQ(differing, 0) << "N = " << N << ", " << PrecisionName(precision);
    }
}

TEST(Physics, TheCentredEnergyIsConservedToSecondOrderThroughACollision) {
  // A kink-antikink pair at v = 0.26 meets at t = 33. The designed energy, whose kinetic term
  // is a backward difference, swings by O(dx) then (3.4 % at dx = 0.039); the time-centred
  // energy stays within O(dx^2): halving dx must cut its largest drift about four times.
  double centred[2], designed[2];
  int k = 0;
  for (int N : {512, 1024}) {
    double e0 = 0, c0 = 0, worstE = 0, worstC = 0;
    RunTo ui(45, [&](const Program& p) {
      worstE = std::max(worstE, std::fabs(p.sim.EnergyTotal - e0) / e0);
      worstC = std::max(worstC, std::fabs(CentredEnergy(p.sim, p.pot) - c0) / c0);
    });
    ui.onPrepared = [&](const Program& p) {
      e0 = p.sim.EnergyTotal;
      c0 = CentredEnergy(p.sim, p.pot);
    };
    auto p = MakeProgram(ui, 1, 20, N, {{-10.0, 0.26}, {10.0, -0.26}});
    p->sim.Precision = StepPrecision::Double;
    ui.Run(*p);
    centred[k] = worstC;
    designed[k] = worstE;
    ++k;
  }
  EXPECT_GT(designed[1], 0.02);
  EXPECT_LT(centred[1], designed[1] / 20);
  EXPECT_GT(centred[0] / centred[1], 3.0);
  EXPECT_LT(centred[0] / centred[1], 5.0);
}

TEST(Physics, ABoostedKinkMovesAtItsVelocity) {
  // Measured: the centre after t = 30 lies within 0.005 of c + v t on this grid.
  for (double v : {0.5, -0.3}) {
    FakeRunUi ui;
    auto p = MakeProgram(ui, 1, 10, 512, {{-5.0 * v / 0.5, v}});
    PressAndRun(*p, ui);
    const double t = p->sim.TimeNow;
    const double start = -5.0 * v / 0.5;
    EXPECT_NEAR(ZeroCrossing(p->sim, p->sim.LayerNow), start + v * t, 0.01) << "v " << v;
    // Halfway through, too: the motion is uniform.
    const int mid = 1 + (p->sim.LayerNow - 1) / 2;
    EXPECT_NEAR(ZeroCrossing(p->sim, mid), start + v * (mid - 1) * p->sim.Dt, 0.01);
  }
}

TEST(Physics, TheTotalEnergyOfAMovingKinkIsConserved) {
  // Measured largest |E - E0| / E0 for kind 1: 4.4e-7 over the first phase of N = 1024
  // (t = 10) and 2.7e-6 over N = 256 to t = 70; 3.6e-8 for kind 2 and 2.1e-5 for the narrow
  // kink of kind 4 over N = 1024.
  struct Case {
    int kind, N;
    double c, tolerance;
  };
  for (const Case& k : {Case{1, 1024, -2.0, 1e-6}, Case{1, 256, -5.0, 1e-5}, Case{2, 1024, -2.0, 1e-7},
                        Case{4, 1024, -2.0, 5e-5}}) {
    const Program* watched = nullptr;
    EnergyWatch ui(watched);
    auto p = MakeProgram(ui, k.kind, 10, k.N, {{k.c, 0.5}});
    watched = p.get();
    PressAndRun(*p, ui);
    EXPECT_LT(ui.drift, k.tolerance) << "kind " << k.kind << " N " << k.N;
    if (k.kind == 1) {
      EXPECT_NEAR(ui.e0, 0.945 / std::sqrt(0.75), 0.01);  // the Lorentz factor
    }
  }
}

TEST(Physics, AKinkAndAnAntikinkAtRestAttractAndAnnihilate) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 256, {{-3.0, 0.0}, {3.0, 0.0}});
  PressAndRun(*p, ui);  // to t = 70
  const SimState& s = p->sim;
  EXPECT_NEAR(ZeroCrossing(s, 1), -3.0, 0.01);
  EXPECT_NEAR(ZeroCrossing(s, 1, 0), 3.0, 0.01);
  // Their separation shrinks until no vacuum +1 is left between them.
  int gone = -1;
  for (int level = 1; level <= s.LayerNow; ++level) {
    if (s.stores.History(level)[0].re < -0.5) {
      gone = level;
      break;
    }
  }
  ASSERT_GT(gone, 0) << "the pair never met";
  const double meetTime = (gone - 1) * s.Dt;
  EXPECT_GT(meetTime, 3.0);
  EXPECT_LT(meetTime, 40.0);
  // Afterwards they stay bound: the middle never returns to the vacuum +1, and whenever the
  // pair opens up again its kink stays within 2.5 of the centre (it started at -3).
  for (int level = gone; level <= s.LayerNow; ++level) {
    EXPECT_LT(s.stores.History(level)[0].re, 0.9) << "level " << level;
    const double kink = ZeroCrossing(s, level);
    if (!std::isnan(kink)) {
      EXPECT_GT(kink, -2.5) << "level " << level;
    }
  }
}

}  // namespace
}  // namespace kl
