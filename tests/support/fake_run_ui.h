#pragma once
// A stand-in for the window in run-control tests: records what the run asks of it.
#include <limits>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "app/run_control.h"

namespace kl::test {

class FakeRunUi : public RunUi {
 public:
  void ShowRunCaption(int state) override { captions.push_back(state); }
  void SetStartEnabled(bool on) override { startEnabled = on; }
  void ShowTimeCaption(const std::string& text) override { windowCaption = text; }
  void RestoreWindowCaption() override { windowCaption = "***"; }
  void ShowReachTime() override { ++reachShown; }
  void CheckWithStop() override { withStop = true; }
  void SelectWithoutStop() override { withStop = false; }
  bool WithStopChecked() const override { return withStop; }
  void SetRunControlsEnabled(bool on) override { controlsEnabled = on; }
  void EnableSliceTimer() override { ++timerEnables; }
  void ShowError(const std::string& message) override { errors.push_back(message); }
  void StepMade() override { ++steps; }

  std::vector<int> captions;
  bool startEnabled = true;
  std::string windowCaption = "***";
  int reachShown = 0;
  bool withStop = false;
  bool controlsEnabled = true;
  int timerEnables = 0;
  std::vector<std::string> errors;
  long steps = 0;
};

// A program with the kink profile of `kind` solved for half-length L, the given kinks
// (displacement, velocity) listed, N chosen and the initial conditions marked ready.
inline std::unique_ptr<Program> MakeProgram(RunUi& ui, int kind, double L, int N,
                                            const std::vector<std::pair<double, double>>& kinks,
                                            int method = 0) {
  auto p = std::make_unique<Program>();
  ApplyPotentialKind(p->pot, kind);
  p->sim.HalfInterval = L;
  p->profile.OduXMin = -L;
  SolveProfile(p->profile, p->pot, p->pot.ParamA, L, nullptr);
  p->kinks.SolitonCount = static_cast<int>(kinks.size());
  for (size_t j = 0; j < kinks.size(); ++j) {
    p->kinks.InitSm[j + 1] = kinks[j].first;
    p->kinks.InitVel[j + 1] = kinks[j].second;
  }
  p->rot.InitMethod = method;
  ChooseGrid(*p, ui, N);
  p->sim.InitReady = true;
  return p;
}

// Presses start, lets the slice timer run the run until it halts.
inline void PressAndRun(Program& p, RunUi& ui) {
  StartPress(p, ui);
  while (p.sim.Running) SliceTimerTick(p, ui);
}

// The first zero crossing of Re u at or right of index `from` on a History level, by linear
// interpolation; NaN when there is none.
inline double ZeroCrossing(const SimState& s, int level, int from = -kHistoryHalf) {
  const FieldPoint* row = s.stores.History(level);
  for (int i = from; i < kHistoryHalf; ++i) {
    const double a = row[i].re, b = row[i + 1].re;
    if ((a < 0 && b >= 0) || (a > 0 && b <= 0)) return (i + a / (a - b)) * s.Dx;
  }
  return std::numeric_limits<double>::quiet_NaN();
}

}  // namespace kl::test
