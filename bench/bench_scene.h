#pragma once
// The run the benchmarks step and draw: a chain of boosted kinks and antikinks on the grid of
// N = 1024, L = 10, and the drawing the run loop does after a second-phase step.
#include <cmath>
#include <memory>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "base/canvas.h"
#include "views/run_pictures.h"

namespace bench {

inline constexpr int kGridSize = 1024;      // N
inline constexpr double kHalfInterval = 10;  // L
// J of a second-phase step over 2049 + 2 J = 200 001 points.
inline constexpr int kWideExtra = 98976;
inline constexpr double kChainSpacing = 12.0;  // distance between neighbouring kinks of the chain
inline constexpr double kChainSpeed = 0.3;     // kinks move right, antikinks left

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
inline void SetClock(kl::SimState& sim, double t) {
  sim.HalfInterval = kHalfInterval;
  kl::SetGrid(sim, kGridSize);
  sim.ConeBase = 2 * kHalfInterval;
  sim.RightVacuum = -1.0;
  sim.TimeNow = t;
  sim.EnergyTotal = 0.0;
  sim.DensityMax = -1.0;
}

// Fills the points lo .. hi of two levels with the chain at t = -Dt and t = 0.
inline void FillLevels(const kl::SimState& sim, kl::FieldPoint* previous, kl::FieldPoint* current, int lo, int hi,
                       const KinkChain& chain) {
  for (int i = lo; i <= hi; ++i) {
    const double x = i * sim.Dx;
    previous[i] = kl::FieldPoint{chain.At(x, -sim.Dt), 0.0, 0.0};
    current[i] = kl::FieldPoint{chain.At(x, 0.0), 0.0, 0.0};
  }
}

// The drawing after every second-phase step once a display window has begun, with the
// solution tab shown: the run draws the half-width 1025 of the History level it stored,
// whatever the width of the step. Successive draws show two different levels in turn, as
// successive steps do. Two marks are tracked, no log file.
struct SecondPhaseDrawing {
  std::unique_ptr<kl::SimState> sim = std::make_unique<kl::SimState>();
  kl::Marks marks;
  kl::LogSettings logSettings;
  kl::RunCanvases cv{kl::Canvas(900, 500), kl::Canvas(900, 300), kl::Canvas(900, 300), {}, {}};
  kl::TextBlock block;
  int step = 0;

  SecondPhaseDrawing() {
    SetClock(*sim, 1000.0);
    sim->SolutionTabShown = true;
    sim->PhaseTwo = true;
    const KinkChain chain{4, kChainSpacing};
    FillLevels(*sim, sim->stores.History(0), sim->stores.History(1), -kl::kHistoryHalf, kl::kHistoryHalf, chain);
    for (int level = 0; level <= 1; ++level)
      for (int i = -kl::kHistoryHalf; i <= kl::kHistoryHalf; ++i)
        sim->stores.History(level)[i].r = 0.5 / std::cosh(i * sim->Dx) + 1e-6;
    const double L = kHalfInterval;
    sim->WindowBase = 5000;
    sim->LayerNow = sim->WindowBase + 1;
    sim->CurrentHalfWidth = kl::kHistoryHalf;
    sim->EnergyTotal = 4.0;
    sim->MainFrame = kl::PlotFrame{-2 * L, 2 * L, 990.0, 1010.0};
    sim->SolFrame = kl::PlotFrame{-2 * L, 2 * L, -1.5, 1.5};
    sim->DensityFrame = kl::PlotFrame{-2 * L, 2 * L, -8, 0};
    sim->EnergyTimeFrame = kl::PlotFrame{0, 8.0, 990.0, 1010.0};
    marks.MarkCount = 2;
    marks.MarkLeft[1] = -1.5 * kChainSpacing - 3;
    marks.MarkRight[1] = -1.5 * kChainSpacing + 3;
    marks.MarkLeft[2] = 0.5 * kChainSpacing - 3;
    marks.MarkRight[2] = 0.5 * kChainSpacing + 3;
  }

  // One step's drawing; without memory every strip point erases its two columns in full.
  void Draw(bool withMemory) {
    const int level = step++ & 1;  // History level 0 or 1; the density strip reads that level's
    sim->LayerNow = sim->WindowBase + 1 + level;
    const int half = sim->CurrentHalfWidth;
    for (int i = -half; i <= half; ++i) sim->stores.DensityNow()[i] = sim->stores.History(level)[i].r;
    kl::DrawCurrentSolution(*sim, marks, logSettings, nullptr, cv.PaintBoxCurrSol, half, sim->LayerNow - sim->WindowBase,
                            false, withMemory ? &cv.CurrSolMemory : nullptr);
    kl::DrawDensityProfile(*sim, cv.PaintBoxCurrEnergy, half, withMemory ? &cv.CurrEnergyMemory : nullptr);
    kl::DrawEnergyDot(*sim, cv.PaintBoxMain);
    kl::DrawInfoTable(*sim, marks, block, cv.PaintBoxMain);
  }
};

}  // namespace bench
