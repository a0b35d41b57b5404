#include "app/run_control.h"

#include <algorithm>
#include <cmath>

#include "engine/integrator.h"
#include "base/numbers.h"

namespace kl {

namespace {

// Fills the three slots with the vacua and no density, and forgets densities beyond the
// first-phase range, before the newest first-phase levels are copied in.
void ClearWorkLayers(SimState& sim) {
  FieldStores& st = sim.stores;
  st.ResetWorkOrder();
  for (int slot = 0; slot < 3; ++slot) {
    FieldPoint* w = st.Work(slot);
    for (int i = kWorkLo; i < 0; ++i) w[i] = FieldPoint{-1.0, 0.0, 0.0};
    for (int i = 0; i <= kWorkHi; ++i) w[i] = FieldPoint{sim.RightVacuum, 0.0, 0.0};
  }
  double* density = st.DensityNow();
  std::fill(density + kWorkLo, density - kHistoryHalf, 0.0);
  std::fill(density + kHistoryHalf + 1, density + kWorkHi + 1, 0.0);
}

void ArmSecondPhase(Program& p, RunUi& ui) {
  SimState& s = p.sim;
  s.PhaseTwoArmed = true;
  s.WindowSpan = s.MainFrame.yMax - s.MainFrame.yMin;
  s.WindowLayers = s.LayerLast - s.LayerFirst;
  // The work layers are cleared now and take the two newest levels after the arming press's
  // extra step (LoadWorkLayers), so that the second phase goes on from the level the clock
  // shows.
  s.WorkLayersPending = s.TimeNow >= s.ReachTime && s.LayerNow >= 1 && s.LayerNow + 1 < kHistoryLevels;
  if (s.WorkLayersPending) {
    ClearWorkLayers(s);
    s.WindowBase = 0;
  }
  s.ReachTime = SecondPhaseReach(s.GridSize, s.RunHalfInterval);
  ui.ShowReachTime();
}

// The second phase starts from the two newest first-phase levels.
void LoadWorkLayers(SimState& s) {
  if (!s.WorkLayersPending) return;
  s.WorkLayersPending = false;
  FieldStores& st = s.stores;
  std::copy(st.History(s.LayerNow - 1) - kHistoryHalf, st.History(s.LayerNow - 1) + kHistoryHalf + 1,
            st.Work(0) - kHistoryHalf);
  std::copy(st.History(s.LayerNow) - kHistoryHalf, st.History(s.LayerNow) + kHistoryHalf + 1,
            st.Work(1) - kHistoryHalf);
  s.ExtraWidth = 1;
}

// Halts the run, as at a window boundary with stops or a stop press.
void Halt(Program& p, RunUi& ui) {
  ui.SetRunControlsEnabled(true);
  p.sim.Stopped = true;
  p.sim.Running = false;
}

}  // namespace

void StartPress(Program& p, RunUi& ui) {
  SimState& s = p.sim;
  if (!s.InitReady) {
    ui.ShowError(kNoInitialConditions);
    return;
  }
  // A fresh run on a grid whose time step the leapfrog cannot take would only show garbage.
  if (s.TimeNow < kZeroTime && s.GridSize > 0) {
    const std::string unstable = UnstableGridMessage(p.pot, s.HalfInterval, s.GridSize);
    if (!unstable.empty()) {
      ui.ShowError(unstable);
      return;
    }
  }
  s.Running = true;
  ui.Pause(100);
  p.textBlock.Clear();
  ui.SetRunControlsEnabled(false);
  s.Stopped = false;
  ui.ShowStripTitles();
  if (p.marks.MarkCount >= 2)
    SortSolitons(std::min(p.marks.MarkCount, kMaxMarks), p.marks.MarkLeft.data(), p.marks.MarkRight.data());
  p.micro.Clear();
  if (s.PhaseTwoArmed) {
    s.PhaseTwoArmed = false;
    s.PhaseTwo = true;
  }
  if (s.RunState == 3) ArmSecondPhase(p, ui);
  RunLoop(p, ui);
}

void StopPress(Program& p, RunUi& ui) {
  p.sim.Running = false;
  ui.SetRunControlsEnabled(true);
  p.sim.Stopped = true;
}

void SliceTimerTick(Program& p, RunUi& ui) {
  if (p.sim.Running) RunLoop(p, ui);
}

void RunLoop(Program& p, RunUi& ui) {
  SimState& s = p.sim;
  RunCanvases& cv = p.canvases;
  for (;;) {
    if (s.WindowCount >= 1 && s.RunState == 4) {
      ui.SetRunControlsEnabled(true);
      return;
    }
    if (s.Stopped) return;
    if (s.TimeNow < kZeroTime) {
      PrepareRun(p, ui);
      DrawEnergyPanel(cv.PaintBoxMain);
    }
    if (s.ResumePending) {
      s.WindowCount += 1;
      AdvanceWindow(p);
      s.DensityMax = -1.0;
      if (s.PhaseTwo) s.WindowBase = s.LayerNow;
      DrawEnergyPanel(cv.PaintBoxMain);
      s.ResumePending = false;
    }
    ui.SetRunControlsEnabled(false);
    s.Stopped = false;

    for (;;) {
      if (!AdvanceStep(s, p.pot)) {
        // Only reachable if a limit below were bypassed: end the phase rather than step outside.
        s.LayerLast = kSecondPhaseLayerLimit + 1;
        s.ReachTime = s.TimeNow;
      }
      if (!(s.PhaseTwo && s.WindowBase == 0)) {
        DrawCurrentSolution(s, p.marks, p.logSettings, &p.log, cv.PaintBoxCurrSol, s.CurrentHalfWidth,
                            s.LayerNow - s.WindowBase, true, &cv.CurrSolMemory);
        if (s.SolutionTabShown) {
          DrawDensityProfile(s, cv.PaintBoxCurrEnergy, s.CurrentHalfWidth, &cv.CurrEnergyMemory);
          DrawEnergyDot(s, cv.PaintBoxMain);
          DrawInfoTable(s, p.marks, p.textBlock, cv.PaintBoxMain);
        }
      }
      ui.ShowTimeCaption("t=" + FormatWD(s.TimeNow, 6, 1));
      ui.StepMade();
      const bool limit = s.PhaseTwo
                             ? (s.LayerLast + s.WindowLayers > kSecondPhaseLayerLimit || s.TimeNow >= s.ReachTime)
                             : (s.LayerLast >= kFirstPhaseLayerLimit || s.TimeNow >= s.ReachTime);
      if (limit) {
        ui.CheckWithStop();
        s.RunState = s.PhaseTwo ? 4 : 3;
        ui.ShowRunCaption(s.RunState);
        if (s.PhaseTwo) ui.SetStartEnabled(false);
        ui.RestoreWindowCaption();
        s.Running = false;
        break;
      }
      if (s.RunState == 3) {  // the extra step of the arming press
        LoadWorkLayers(s);
        Halt(p, ui);
      }
      s.RunState = 2;
      ui.ShowRunCaption(2);
      if (!ui.ContinueAfterStep()) {
        Halt(p, ui);
        return;
      }
      if (s.LayerNow % kStepsPerSlice == 0) {
        ui.EnableSliceTimer();
        return;
      }
      if (s.TimeNow <= s.WindowEnd) continue;
      s.ResumePending = true;
      break;
    }

    if (ui.WithStopChecked()) {
      Halt(p, ui);
      return;
    }
  }
}

void PrepareRun(Program& p, RunUi& ui) {
  using T = long double;
  SimState& s = p.sim;
  FieldStores& st = s.stores;
  s.RunParamA = p.pot.ParamA;
  ui.EnableParamA();
  p.log.BeginRun();
  // The run takes the half-length typed now, with the grid, time step and reach it decides.
  s.RunHalfInterval = s.HalfInterval;
  SetGrid(s, s.GridSize);
  ui.ShowGrid();
  const int h = std::clamp(s.GridSize / 2, 0, kHistoryHalf - 1);

  ComposeInitialConditions(s, ComposeInputs{p.kinks, p.rot, p.profile, p.pot}, p.initVal);

  // Beyond the initial interval both levels hold the vacua that the composition chose.
  FieldPoint* level0 = st.History(0);
  FieldPoint* level1 = st.History(1);
  for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
    if (i >= -h && i <= h) continue;
    const double vacuum = i <= 0 ? -1.0 : s.RightVacuum;
    level0[i].re = level1[i].re = vacuum;
    level0[i].im = level1[i].im = 0.0;
  }
  for (int i = -h; i <= h; ++i) {
    const InitRecord& rec = p.initVal[i];
    level1[i].re = rec.ReU;
    level1[i].im = rec.ImU;
    level0[i].re = static_cast<double>(static_cast<T>(level1[i].re) - static_cast<T>(rec.ReDtU) * s.Dt);
    level0[i].im = static_cast<double>(static_cast<T>(level1[i].im) - static_cast<T>(rec.ImDtU) * s.Dt);
  }

  const double L = s.HalfInterval;
  s.SolFrame = PlotFrame{-2 * L, 2 * L, -1.5, 1.5};

  s.EnergyTotal = 0.0;
  double rmax = -1.0e10;
  double* density = st.DensityNow();
  for (int i = -h + 1; i <= h - 1; ++i) {
    const double r = EnergyDensityAt(s, p.pot, s.RunParamA, static_cast<double>(static_cast<T>(i) * s.Dx),
                                     level1[i - 1].re, level1[i + 1].re, level0[i].re, level1[i].re);
    density[i] = r;
    level1[i].r = r;  // the level at t = 0 carries its density, as every later level does
    if (r > rmax) rmax = r;
    s.EnergyTotal = static_cast<double>(static_cast<T>(s.EnergyTotal) + r);
  }
  s.EnergyTotal = static_cast<double>(static_cast<T>(s.EnergyTotal) * s.Dx);

  s.DensityFrame.xMin = -2 * L;
  s.DensityFrame.xMax = 2 * L;
  // A field at rest in a vacuum has no positive density: use the colour scale's floor.
  s.DensityFrame.yMax = std::log(rmax > 0 ? rmax : 0.0001) + 1;

  s.ConeBase = 2 * L;
  s.MainFrame = PlotFrame{-2 * L, 2 * L, -L, L};
  s.WindowStart = 0.0;
  s.WindowEnd = L;
  s.TimeNow = 0.0;
  s.LayerFirst = 1;
  s.EnergyTimeFrame = PlotFrame{0.0, 2 * s.EnergyTotal, s.WindowStart, s.WindowEnd};

  s.ZoomFactor = 1;
  p.marks.MarkCount = 0;
  p.micro.MarkPending = false;
  s.ResumePending = s.PhaseTwoArmed = s.PhaseTwo = false;
  s.LayerNow = 1;
  s.LayerLast = 1;
  s.WindowBase = 0;
  s.DensityMax = -1.0;
  s.ExtraWidth = 1;
  s.WorkLayersPending = false;
  ui.RunPrepared();
}

void AdvanceWindow(Program& p) {
  SimState& s = p.sim;
  const double X = 2 * s.MainFrame.xMax;
  const double T = s.MainFrame.yMax + s.MainFrame.xMax;
  if (!s.PhaseTwo) {
    s.MainFrame.xMax = X;
    s.MainFrame.xMin = -X;
    s.MainFrame.yMax = T;
  } else {
    s.MainFrame.yMin += s.WindowSpan;
    s.MainFrame.yMax += s.WindowSpan;
  }
  s.SolFrame.xMin = s.DensityFrame.xMin = s.MainFrame.xMin;
  s.SolFrame.xMax = s.DensityFrame.xMax = s.MainFrame.xMax;
  ClearPlot(p.canvases.PaintBoxCurrSol);
  ClearPlot(p.canvases.PaintBoxCurrEnergy);
  s.WindowStart = s.WindowEnd;
  s.WindowEnd = T;
  s.LayerFirst = s.LayerLast;
  s.EnergyTimeFrame.yMin = s.WindowStart;
  s.EnergyTimeFrame.yMax = s.WindowEnd;
  if (!s.PhaseTwo) s.ZoomFactor *= 2;
}

void ChooseGrid(Program& p, RunUi& ui, int gridSize) {
  SimState& s = p.sim;
  SetGrid(s, gridSize);
  s.RunState = 1;
  ui.ShowRunCaption(1);
  ui.SetStartEnabled(true);
  ui.SelectWithoutStop();
  s.WindowCount = 0;
  s.TimeNow = 0.0;
  s.PhaseTwoArmed = s.PhaseTwo = false;
  p.textBlock.Clear();
  ClearPlot(p.canvases.PaintBoxCurrSol);
  ClearPlot(p.canvases.PaintBoxCurrEnergy);
  p.log.AppendLine(" ");
}

void PrepareSolutionTabGrid(SimState& sim) {
  sim.Dt = TimeStepFor(sim.Dx);
  if (!sim.PhaseTwo && !sim.PhaseTwoArmed) sim.ReachTime = FirstPhaseReach(sim.GridSize, GridHalfInterval(sim));
}

void ComposeForPlots(Program& p) {
  SimState& s = p.sim;
  const double dx = s.Dx, dt = s.Dt, vacuum = s.RightVacuum;
  if (s.GridSize > 0) s.Dx = static_cast<double>(2.0L * s.HalfInterval / s.GridSize);
  ComposeInitialConditions(s, ComposeInputs{p.kinks, p.rot, p.profile, p.pot}, p.initVal);
  if (RunInProgress(s)) {
    // The plots show what the next run will start from; the run in progress keeps its grid.
    s.Dx = dx;
    s.Dt = dt;
    s.RightVacuum = vacuum;
  }
}

}  // namespace kl
