#include "engine/integrator.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "support/fake_run_ui.h"

namespace kl {
namespace {

// A fresh state whose first two History levels hold `value` everywhere, at t = 0.
std::unique_ptr<SimState> UniformState(int N, double L, double value, double rightVacuum) {
  auto s = std::make_unique<SimState>();
  s->HalfInterval = L;
  SetGrid(*s, N);
  s->ConeBase = 2 * L;
  s->RightVacuum = rightVacuum;
  for (int level = 0; level <= 1; ++level)
    for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) s->stores.History(level)[i].re = value;
  s->LayerNow = 1;
  s->DensityMax = -1;
  return s;
}

TEST(Grid, StepAndReachFollowFromNAndL) {
  SimState s;
  s.HalfInterval = 10;
  SetGrid(s, 1024);
  EXPECT_EQ(s.Dx, 0.01953125);
  EXPECT_NEAR(s.Dt, 0.0159870171325, 1e-13);
  EXPECT_EQ(s.ReachTime, 10);
  SetGrid(s, 512);
  EXPECT_EQ(s.ReachTime, 30);
  SetGrid(s, 256);
  EXPECT_EQ(s.Dx, 0.078125);
  EXPECT_EQ(s.ReachTime, 70);  // Round(7.0078125) = 7
  EXPECT_EQ(SecondPhaseReach(1024, 10), 5140);  // Round(514.25) = 514
  EXPECT_EQ(SecondPhaseReach(256, 10), 20600);  // Round(2060.0078125) = 2060
}

TEST(Grid, FirstPhaseStepCountDoesNotDependOnL) {
  const int expected[3][2] = {{1024, 626}, {512, 939}, {256, 1095}};
  Potential pot;
  for (const auto& [N, steps] : expected) {
    for (double L : {1.0, 10.0, 37.5}) {
      auto s = UniformState(N, L, -1.0, -1.0);
      int made = 0;
      while (s->TimeNow < s->ReachTime) {
        ASSERT_TRUE(AdvanceStep(*s, pot));
        ++made;
      }
      EXPECT_EQ(made, steps) << "N=" << N << " L=" << L;
      EXPECT_EQ(s->LayerNow, steps + 1);
    }
  }
}

TEST(FirstPhaseStep, VacuumAtRestStaysExactlyVacuumWithoutEnergy) {
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    Potential pot;
    ASSERT_TRUE(ApplyPotentialKind(pot, kind));
    auto s = UniformState(1024, 10, -1.0, -1.0);
    for (int step = 0; step < 20; ++step) AdvanceStep(*s, pot);
    const FieldPoint* newest = s->stores.History(s->LayerNow);
    for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
      ASSERT_EQ(newest[i].re, -1.0) << "kind " << kind << " i " << i;
      ASSERT_EQ(s->stores.DensityNow()[i], 0.0);
    }
    EXPECT_EQ(s->EnergyTotal, 0.0);
    EXPECT_EQ(s->LayerNow, 21);
    EXPECT_NEAR(s->TimeNow, 20 * s->Dt, 1e-12);
  }
}

TEST(FirstPhaseStep, PointsOutsideTheLightConeArePinnedToTheirVacuum) {
  // A uniform field 0.3 is not a solution: every computed point moves, pinned points jump.
  Potential pot;
  auto s = UniformState(1024, 10, 0.3, 1.0);
  ASSERT_TRUE(AdvanceStep(*s, pot));
  const FieldPoint* next = s->stores.History(2);
  const double inside = static_cast<double>(
      (2.0L * 0.3 - 0.3) - static_cast<long double>(s->Dt) * s->Dt * PotDW(pot, 0, 0.3));
  for (int i = -1024; i <= -513; ++i) ASSERT_EQ(next[i].re, -1.0) << i;
  for (int i = -512; i <= 512; ++i) ASSERT_EQ(next[i].re, inside) << i;  // x = +-10 is on the edge
  for (int i = 513; i <= 1024; ++i) ASSERT_EQ(next[i].re, 1.0) << i;
  EXPECT_EQ(next[-1025].re, -1.0);
  EXPECT_EQ(next[1025].re, 1.0);
  EXPECT_EQ(s->CurrentHalfWidth, 512);
  // Only the cone carries energy: 1025 points of W(0.3) each.
  EXPECT_EQ(s->stores.DensityNow()[600], 0.0);
  EXPECT_NEAR(s->EnergyTotal, 1025 * PotW(pot, 0, 0.3) * s->Dx, 1e-12);
  EXPECT_EQ(s->DensityMax, s->stores.DensityNow()[0]);
  EXPECT_EQ(next[0].r, s->stores.DensityNow()[0]);
}

TEST(FirstPhaseStep, TheConeWidensByOneTimeStepPerStep) {
  Potential pot;
  auto s = UniformState(1024, 10, 0.3, 1.0);
  for (int step = 0; step < 100; ++step) AdvanceStep(*s, pot);
  // After 99 steps the current level is at t = 99 Dt: the last step computed |x| <= 10 + 99 Dt.
  const int edge = static_cast<int>(std::floor((10 + 99 * s->Dt) / s->Dx));
  EXPECT_EQ(s->CurrentHalfWidth, edge);
  EXPECT_EQ(s->stores.History(101)[edge + 1].re, 1.0);
  EXPECT_NE(s->stores.History(101)[edge].re, 1.0);
}

TEST(SecondPhaseStep, AgreesBitForBitWithTheFirstPhaseWhileTheConeFits) {
  Potential pot;
  ApplyPotentialKind(pot, 4);
  test::FakeRunUi ui;
  auto first = test::MakeProgram(ui, 4, 10, 1024, {{-2.0, 0.3}, {3.0, -0.4}, {5.0, 0.1}});
  PrepareRun(*first, ui);
  SimState& a = first->sim;
  auto second = std::make_unique<SimState>();
  SimState& b = *second;
  b.HalfInterval = 10;
  SetGrid(b, 1024);
  b.ConeBase = a.ConeBase;
  b.RightVacuum = a.RightVacuum;
  b.DensityMax = a.DensityMax;
  for (int slot = 0; slot < 3; ++slot)
    for (int i = kWorkLo; i <= kWorkHi; ++i) b.stores.Work(slot)[i] = {i < 0 ? -1.0 : b.RightVacuum, 0, 0};
  for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
    b.stores.Work(0)[i] = a.stores.History(0)[i];
    b.stores.Work(1)[i] = a.stores.History(1)[i];
  }
  b.PhaseTwo = true;
  b.ExtraWidth = 1;
  b.WindowBase = 0;
  for (int step = 1; step <= 60; ++step) {
    ASSERT_TRUE(AdvanceStep(a, first->pot));
    ASSERT_TRUE(AdvanceStep(b, first->pot));
    const FieldPoint* fa = a.stores.History(a.LayerNow);
    const FieldPoint* fb = b.stores.Work(1);
    for (int i = -1024; i <= 1024; ++i) {
      ASSERT_EQ(fa[i].re, fb[i].re) << "step " << step << " i " << i;
      ASSERT_EQ(fa[i].r, fb[i].r) << "step " << step << " i " << i;
    }
    ASSERT_EQ(a.EnergyTotal, b.EnergyTotal) << step;
    ASSERT_EQ(a.DensityMax, b.DensityMax) << step;
    ASSERT_EQ(a.TimeNow, b.TimeNow);
  }
  EXPECT_EQ(b.ExtraWidth, 61);
  EXPECT_EQ(b.CurrentHalfWidth, kHistoryHalf);
}

TEST(SecondPhaseStep, StoresItsLevelInHistoryOnlyOnceAWindowHasBegun) {
  Potential pot;
  auto s = std::make_unique<SimState>();
  s->HalfInterval = 10;
  SetGrid(*s, 1024);
  s->ConeBase = 20;
  s->TimeNow = 10;
  s->PhaseTwo = true;
  s->LayerNow = 700;
  for (int slot = 0; slot < 3; ++slot)
    for (int i = kWorkLo; i <= kWorkHi; ++i) s->stores.Work(slot)[i].re = 0.25;
  for (int level = 0; level < 3; ++level)
    for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) s->stores.History(level)[i].re = 7.0;
  s->WindowBase = 0;
  AdvanceStep(*s, pot);
  for (int level = 0; level < 3; ++level) EXPECT_EQ(s->stores.History(level)[0].re, 7.0);
  s->WindowBase = s->LayerNow;  // a new display window starts here
  AdvanceStep(*s, pot);
  const FieldPoint* stored = s->stores.History(0);
  const FieldPoint* newest = s->stores.Work(1);
  for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
    ASSERT_EQ(stored[i].re, newest[i].re) << i;
    ASSERT_EQ(stored[i].r, newest[i].r) << i;
  }
  EXPECT_EQ(s->stores.History(1)[0].re, 7.0);
}

TEST(SecondPhaseStep, RefusesAStepThatWouldLeaveTheStore) {
  Potential pot;
  auto s = std::make_unique<SimState>();
  s->HalfInterval = 10;
  SetGrid(*s, 1024);
  s->PhaseTwo = true;
  s->ExtraWidth = kWorkHi - kHistoryHalf;  // the outer boundary point would be past the end
  const double t = s->TimeNow;
  EXPECT_FALSE(AdvanceStep(*s, pot));
  EXPECT_EQ(s->TimeNow, t);
  EXPECT_EQ(s->ExtraWidth, kWorkHi - kHistoryHalf);
  s->PhaseTwo = false;
  s->LayerNow = kHistoryLevels - 1;
  EXPECT_FALSE(AdvanceStep(*s, pot));
}

TEST(ConeIndices, EdgesBelongToTheInside) {
  auto s = std::make_unique<SimState>();
  s->HalfInterval = 10;
  SetGrid(*s, 1024);
  s->ConeBase = 20;
  s->TimeNow = 0;
  ConeRange r = ConeIndices(*s, -1024, 1024);
  EXPECT_EQ(r.first, -512);
  EXPECT_EQ(r.last, 512);
  r = ConeIndices(*s, -100, 100);  // the whole range inside
  EXPECT_EQ(r.first, -100);
  EXPECT_EQ(r.last, 100);
  r = ConeIndices(*s, 600, 700);  // the whole range right of the cone
  EXPECT_GT(r.first, r.last);
}

}  // namespace
}  // namespace kl
