#pragma once
// A run as the user drives it: preparation, slices of five steps, display windows that halt
// or move on, stop and continue, the first phase and the armed second phase. It drives the
// window's program (its engine state, its pictures and its mark log), so it stands with the
// program; the engine below only steps, and the window, the runner and the tests each follow
// the run through RunUi (RunPrepared, StepMade).
#include <string>

#include "app/program.h"

namespace kl {

// What the run needs from the window. The headless runner and the tests supply their own.
class RunUi {
 public:
  virtual ~RunUi() = default;
  virtual void ShowRunCaption(int /*runState*/) {}           // ButtonToCalc := RunCaptions[state]
  virtual void SetStartEnabled(bool /*on*/) {}
  virtual void ShowTimeCaption(const std::string& /*text*/) {}  // window caption "t=..."
  virtual void RestoreWindowCaption() {}
  virtual void ShowReachTime() {}                            // lblConcl2 from ReachTime
  virtual void ShowGrid() {}                                 // lblConcl1 and lblConcl2 from Dx, ReachTime
  virtual void ShowStripTitles() {}                          // the two strip titles
  virtual void EnableParamA() {}
  virtual void CheckWithStop() = 0;                          // "С остановками"
  virtual void SelectWithoutStop() = 0;                      // "Без"
  virtual bool WithStopChecked() const = 0;
  virtual void SetRunControlsEnabled(bool /*on*/) {}
  virtual void EnableSliceTimer() {}                         // TimerSeeOutside on
  virtual void ShowError(const std::string& /*message*/) {}
  virtual void Pause(int /*milliseconds*/) {}
  // Told when a run has been prepared at t = 0 and after every step's drawing.
  virtual void RunPrepared() {}
  virtual void StepMade() {}
  // Asked after every step; false halts the run there as a stop press would.
  virtual bool ContinueAfterStep() { return true; }
};

inline constexpr const char* kNoInitialConditions =
    "You forget to create initial conditions. Do it and try again.";

void StartPress(Program& p, RunUi& ui);      // "Поехали"
void StopPress(Program& p, RunUi& ui);       // "СТОП"
void SliceTimerTick(Program& p, RunUi& ui);  // TimerSeeOutside
void RunLoop(Program& p, RunUi& ui);
void PrepareRun(Program& p, RunUi& ui);
void AdvanceWindow(Program& p);

// The choice of N: grid, reachable time and a reset run (RunState 1, "Без").
void ChooseGrid(Program& p, RunUi& ui, int gridSize);
// Dt and, unless the second phase is on or armed, the first-phase ReachTime again (of the
// run's own half-length while a run is in progress).
void PrepareSolutionTabGrid(SimState& sim);
// Composes InitVal from the kink list and the half-length typed, with Dx for that L, for the
// initial-condition plots. While a run is in progress its Dx, Dt and RightVacuum stay.
void ComposeForPlots(Program& p);

}  // namespace kl
