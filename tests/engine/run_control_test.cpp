#include "app/run_control.h"

#include <gtest/gtest.h>

#include <cmath>

#include "support/fake_run_ui.h"
#include "support/kink_pair.h"

namespace kl {
namespace {

using test::FakeRunUi;
using test::MakeProgram;
using test::PressAndRun;

TEST(StartPress, WithoutInitialConditionsOnlyTellsTheUser) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 1024, {{0.0, 0.0}});
  p->sim.InitReady = false;
  const size_t captions = ui.captions.size();
  StartPress(*p, ui);
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0], "You forget to create initial conditions. Do it and try again.");
  EXPECT_FALSE(p->sim.Running);
  EXPECT_EQ(p->sim.RunState, 1);
  EXPECT_EQ(p->sim.TimeNow, 0.0);
  EXPECT_EQ(ui.steps, 0);
  EXPECT_EQ(ui.captions.size(), captions);
}

TEST(RunLoop, WorksInSlicesOfFiveLevelsResumedByTheTimer) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 1024, {{0.0, 0.0}});
  StartPress(*p, ui);
  // The prepared level is number 1; the slice ends when the level number is a multiple of 5.
  EXPECT_EQ(p->sim.LayerNow, 5);
  EXPECT_TRUE(p->sim.Running);
  EXPECT_EQ(ui.timerEnables, 1);
  EXPECT_FALSE(ui.controlsEnabled);
  EXPECT_EQ(p->sim.RunState, 2);
  SliceTimerTick(*p, ui);
  EXPECT_EQ(p->sim.LayerNow, 10);
  EXPECT_EQ(ui.windowCaption, "t=   0.1");  // 9 steps of 0.016
}

TEST(RunLoop, FirstPhaseOfN1024EndsJustPastLWithState3) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 1024, {{0.0, 0.0}});
  PressAndRun(*p, ui);
  const SimState& s = p->sim;
  EXPECT_EQ(s.RunState, 3);
  EXPECT_EQ(ui.captions.back(), 3);
  EXPECT_FALSE(s.Running);
  EXPECT_TRUE(ui.withStop);  // reaching a phase limit checks "with stops"
  EXPECT_EQ(ui.windowCaption, "***");
  EXPECT_EQ(ui.steps, 626);
  EXPECT_EQ(s.LayerNow, 627);
  EXPECT_GE(s.TimeNow, 10.0);
  EXPECT_LT(s.TimeNow, 10.0 + s.Dt);
  EXPECT_EQ(s.WindowCount, 0);

  // The arming press: the second phase's reach, one more first-phase step, a halt.
  PressAndRun(*p, ui);
  EXPECT_EQ(s.ReachTime, 5140);
  EXPECT_EQ(ui.reachShown, 1);
  EXPECT_TRUE(s.PhaseTwoArmed);
  EXPECT_FALSE(s.PhaseTwo);
  EXPECT_EQ(ui.steps, 627);
  EXPECT_EQ(s.RunState, 2);
  EXPECT_TRUE(s.Stopped);
  EXPECT_TRUE(ui.controlsEnabled);
  // WorkLayers hold the two newest levels, those of the extra step and the one before, so
  // that the second phase goes on from the level the clock shows.
  for (int i = -kHistoryHalf; i <= kHistoryHalf; i += 41) {
    EXPECT_EQ(s.stores.Work(0)[i].re, s.stores.History(627)[i].re);
    EXPECT_EQ(s.stores.Work(1)[i].re, s.stores.History(628)[i].re);
  }
  EXPECT_EQ(s.stores.Work(1)[-200000].re, -1.0);
  EXPECT_EQ(s.stores.Work(1)[200000].re, 1.0);

  // A display of the solution tab in between keeps the second phase's reach.
  PrepareSolutionTabGrid(p->sim);
  EXPECT_EQ(s.ReachTime, 5140);

  // The next press starts the second phase with a shifted window.
  ui.SelectWithoutStop();
  StartPress(*p, ui);
  EXPECT_TRUE(s.PhaseTwo);
  EXPECT_FALSE(s.PhaseTwoArmed);
  EXPECT_EQ(s.WindowCount, 1);
  EXPECT_EQ(s.WindowBase, 628);
  EXPECT_EQ(s.MainFrame.yMin, 10.0);
  EXPECT_EQ(s.MainFrame.yMax, 30.0);
  EXPECT_EQ(s.WindowEnd, 30.0);
  EXPECT_EQ(s.LayerNow, 630);
  // Levels 629 and 630 were stored at History levels 0 and 1 of the new window.
  for (int i = -kHistoryHalf; i <= kHistoryHalf; i += 37) EXPECT_EQ(s.stores.History(1)[i].re, s.stores.Work(1)[i].re);
}

TEST(StartPress, AGridTooCoarseForTheLeapfrogStartsNoRun) {
  // L = 130 on N = 256 gives dt = 0.83, beyond kind 1's bound 2 sqrt(1 - c^2) / sqrt(2) = 0.81.
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 130, 256, {{0.0, 0.0}});
  StartPress(*p, ui);
  ASSERT_EQ(ui.errors.size(), 1u);
  EXPECT_EQ(ui.errors[0].find("The grid is unstable: dt = 0.831"), 0u) << ui.errors[0];
  EXPECT_FALSE(p->sim.Running);
  EXPECT_EQ(p->sim.TimeNow, 0.0);
  EXPECT_EQ(ui.steps, 0);
  // A stable L typed afterwards runs.
  p->sim.HalfInterval = 100;
  StartPress(*p, ui);
  EXPECT_EQ(ui.errors.size(), 1u);
  EXPECT_GT(ui.steps, 0);
}

TEST(RunLoop, WithoutStopsN256PassesTheWindowEndsAndHaltsAt70) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 256, {{-2.0, 0.2}});
  PressAndRun(*p, ui);
  const SimState& s = p->sim;
  EXPECT_EQ(s.RunState, 3);
  EXPECT_EQ(ui.steps, 1095);
  EXPECT_GE(s.TimeNow, 70.0);
  EXPECT_EQ(s.WindowCount, 2);
  EXPECT_EQ(s.ZoomFactor, 4);
  EXPECT_EQ(s.MainFrame.xMin, -80.0);
  EXPECT_EQ(s.MainFrame.xMax, 80.0);
  EXPECT_EQ(s.MainFrame.yMin, -10.0);
  EXPECT_EQ(s.MainFrame.yMax, 70.0);
  EXPECT_EQ(s.SolFrame.xMax, 80.0);
  EXPECT_EQ(s.DensityFrame.xMin, -80.0);
  EXPECT_EQ(s.WindowStart, 30.0);
  EXPECT_EQ(s.EnergyTimeFrame.yMin, 30.0);
  EXPECT_EQ(s.EnergyTimeFrame.yMax, 70.0);
}

TEST(RunLoop, WithStopsHaltsAtEveryWindowEndAndContinuesFromThere) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 256, {{0.0, 0.0}});
  ui.CheckWithStop();
  PressAndRun(*p, ui);
  const SimState& s = p->sim;
  EXPECT_EQ(s.RunState, 2);
  EXPECT_TRUE(s.Stopped);
  EXPECT_TRUE(s.ResumePending);
  EXPECT_GT(s.TimeNow, 10.0);
  EXPECT_LT(s.TimeNow, 10.0 + s.Dt);
  const int layer = s.LayerNow;
  PressAndRun(*p, ui);  // advances the window first, then runs to t = 30
  EXPECT_EQ(s.WindowCount, 1);
  EXPECT_EQ(s.MainFrame.xMax, 40.0);
  EXPECT_EQ(s.LayerFirst, layer);
  EXPECT_GT(s.TimeNow, 30.0);
  EXPECT_EQ(s.RunState, 2);
}

TEST(RunLoop, AnLEditedDuringARunWaitsForTheNextRun) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 256, {{0.0, 0.0}});
  SimState& s = p->sim;
  const double dx = s.Dx, dt = s.Dt;
  ui.CheckWithStop();
  PressAndRun(*p, ui);  // halts at the window end t = 10
  const double e10 = s.EnergyTotal;
  StartPress(*p, ui);
  while (s.Running && s.TimeNow < 20) SliceTimerTick(*p, ui);
  StopPress(*p, ui);
  ASSERT_GE(s.TimeNow, 20.0);

  // L = 20 typed, the initial conditions plotted again and the solution tab shown.
  s.HalfInterval = 20;
  ComposeForPlots(*p);
  PrepareSolutionTabGrid(s);
  EXPECT_EQ(s.ReachTime, 70.0);
  EXPECT_EQ(s.Dx, dx);
  EXPECT_EQ(s.Dt, dt);
  EXPECT_EQ(s.RightVacuum, 1.0);

  for (int presses = 0; s.RunState != 3 && presses < 10; ++presses) PressAndRun(*p, ui);
  ASSERT_EQ(s.RunState, 3);  // the first phase ends at its own limit, t = 7 L of L = 10
  EXPECT_GE(s.TimeNow, 70.0);
  EXPECT_LT(s.TimeNow, 70.0 + s.Dt);
  EXPECT_NEAR(test::ZeroCrossing(s, s.LayerNow), 0.0, 0.01);  // the kink at rest stayed put
  EXPECT_EQ(s.stores.History(s.LayerNow)[kHistoryHalf].re, 1.0);

  const long steps = ui.steps;
  PressAndRun(*p, ui);  // arming: one more first-phase step
  EXPECT_EQ(ui.steps, steps + 1);
  EXPECT_TRUE(s.PhaseTwoArmed);
  EXPECT_EQ(s.ReachTime, SecondPhaseReach(256, 10.0));
  PrepareSolutionTabGrid(s);
  ui.SelectWithoutStop();
  StartPress(*p, ui);
  for (int ticks = 0; s.Running && ticks < 100; ++ticks) SliceTimerTick(*p, ui);
  StopPress(*p, ui);
  EXPECT_TRUE(s.PhaseTwo);
  EXPECT_FALSE(s.PhaseTwoArmed);
  EXPECT_EQ(s.RunState, 2);
  EXPECT_GT(ui.steps, steps + 400);
  EXPECT_NEAR(s.EnergyTotal, e10, 1e-4 * e10);  // no reflection from a pinned store edge

  // The next run takes the new half-length.
  ChooseGrid(*p, ui, 256);
  s.HalfInterval = 20;
  ui.CheckWithStop();
  PressAndRun(*p, ui);
  EXPECT_EQ(s.Dx, 40.0 / 256);
  EXPECT_EQ(s.ReachTime, 140.0);
  EXPECT_GT(s.TimeNow, 20.0);  // the first window ends at t = L
}

TEST(RunLoop, StopHaltsBetweenSlicesAndStartContinuesWhereItStood) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 512, {{0.0, 0.3}});
  StartPress(*p, ui);
  StopPress(*p, ui);
  EXPECT_FALSE(p->sim.Running);
  EXPECT_TRUE(p->sim.Stopped);
  EXPECT_TRUE(ui.controlsEnabled);
  const double t = p->sim.TimeNow;
  SliceTimerTick(*p, ui);
  RunLoop(*p, ui);
  EXPECT_EQ(p->sim.TimeNow, t);
  StartPress(*p, ui);  // no fresh preparation: the clock goes on
  EXPECT_EQ(p->sim.LayerNow, 10);
  EXPECT_GT(p->sim.TimeNow, t);
}

TEST(RunLoop, SecondPhaseLimitDisablesTheStartButton) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 1024, {{0.0, 0.0}});
  PressAndRun(*p, ui);  // first phase
  PressAndRun(*p, ui);  // arming
  p->sim.WindowLayers = kSecondPhaseLayerLimit;  // the next step passes the level limit
  PressAndRun(*p, ui);
  EXPECT_EQ(p->sim.RunState, 4);
  EXPECT_EQ(ui.captions.back(), 4);
  EXPECT_FALSE(ui.startEnabled);
  EXPECT_FALSE(p->sim.Running);
  const double t = p->sim.TimeNow;
  StartPress(*p, ui);  // nothing more is computed
  EXPECT_EQ(p->sim.TimeNow, t);
  EXPECT_TRUE(ui.controlsEnabled);
}

TEST(ChooseGrid, ResetsTheRunAndKeepsTheStores) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 1024, {{0.0, 0.0}});
  PressAndRun(*p, ui);
  const double stored = p->sim.stores.History(300)[5].re;
  ui.CheckWithStop();
  p->textBlock.Lines[3] = "x";
  ChooseGrid(*p, ui, 512);
  const SimState& s = p->sim;
  EXPECT_EQ(s.RunState, 1);
  EXPECT_EQ(ui.captions.back(), 1);
  EXPECT_FALSE(ui.withStop);
  EXPECT_EQ(s.TimeNow, 0.0);
  EXPECT_EQ(s.WindowCount, 0);
  EXPECT_EQ(s.Dx, 0.0390625);
  EXPECT_EQ(s.ReachTime, 30.0);
  EXPECT_TRUE(p->textBlock.Lines[3].empty());
  EXPECT_EQ(s.stores.History(300)[5].re, stored);
}

TEST(PrepareRun, FillsBothLevelsWithTheComposedFieldAndTheVacuaBeyond) {
  FakeRunUi ui;
  // Two kinks: the right vacuum is -1; an earlier run with one kink left +1 beyond N/2.
  auto p = MakeProgram(ui, 1, 10, 256, {{0.0, 0.0}});
  PressAndRun(*p, ui);
  p->kinks = test::ApproachingPair(3, 0.5);
  ChooseGrid(*p, ui, 256);
  PrepareRun(*p, ui);
  const SimState& s = p->sim;
  EXPECT_EQ(s.RightVacuum, -1.0);
  for (int i : {129, 500, 1025}) {
    EXPECT_EQ(s.stores.History(0)[i].re, -1.0) << i;
    EXPECT_EQ(s.stores.History(1)[i].re, -1.0) << i;
  }
  for (int i = -128; i <= 128; ++i) {
    EXPECT_EQ(s.stores.History(1)[i].re, p->initVal[i].ReU);
    EXPECT_DOUBLE_EQ(s.stores.History(0)[i].re, p->initVal[i].ReU - p->initVal[i].ReDtU * s.Dt);
  }
  EXPECT_NEAR(s.EnergyTotal, 2 * 0.945 / std::sqrt(0.75), 0.02);
  EXPECT_EQ(s.EnergyTimeFrame.xMax, 2 * s.EnergyTotal);
  EXPECT_EQ(s.MainFrame.yMin, -10.0);
  EXPECT_EQ(s.MainFrame.xMax, 20.0);
  EXPECT_EQ(s.LayerNow, 1);
  EXPECT_EQ(p->marks.MarkCount, 0);
}

TEST(PrepareRun, AFieldAtRestInTheVacuumGetsAFiniteDensityFrame) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 256, {});
  PrepareRun(*p, ui);
  EXPECT_EQ(p->sim.EnergyTotal, 0.0);
  EXPECT_TRUE(std::isfinite(p->sim.DensityFrame.yMax));
  PressAndRun(*p, ui);  // and the run goes on in the vacuum
  EXPECT_EQ(p->sim.RunState, 3);
  EXPECT_EQ(p->sim.stores.History(p->sim.LayerNow)[0].re, -1.0);
}

TEST(StartPress, SortsTheMarksAndClearsTheMicroscopes) {
  FakeRunUi ui;
  auto p = MakeProgram(ui, 1, 10, 512, {{0.0, 0.0}});
  StartPress(*p, ui);
  StopPress(*p, ui);
  p->marks.MarkCount = 3;
  p->marks.MarkLeft = {0, 4, -6, 1};
  p->marks.MarkRight = {0, 7, -4, 2};
  p->micro.Micro2Rect = {1, 2, 3, 4};
  StartPress(*p, ui);
  EXPECT_EQ(p->micro.Micro2Rect[0], -1);
  // Sorted by left end, each right end moving along; the run then follows every mark,
  // keeping its width, so the widths tell which mark went where.
  const double dx = p->sim.Dx;
  EXPECT_NEAR(p->marks.MarkRight[1] - p->marks.MarkLeft[1], 2.0, 2 * dx);
  EXPECT_NEAR(p->marks.MarkRight[2] - p->marks.MarkLeft[2], 1.0, 2 * dx);
  EXPECT_NEAR(p->marks.MarkRight[3] - p->marks.MarkLeft[3], 3.0, 2 * dx);
}

}  // namespace
}  // namespace kl
