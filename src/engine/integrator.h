#pragma once
// The leapfrog step of u_tt - u_xx = -dW/du inside the light cone of the initial interval.
#include <string>

#include "engine/sim_state.h"
#include "engine/step_kernel.h"
#include "soliton/potential.h"

namespace kl {

// Energy density at a point from its neighbours on the current level (uL, uR), its value
// on the previous level (uP) and on the current level (u). x is not used.
double EnergyDensityAt(const SimState& sim, const Potential& pot, double a, double x, double uL,
                       double uR, double uP, double u);

// One step in the storage mode given by PhaseTwo, then the clock. Returns false, changing
// nothing, when the step would leave its store (the run's limits never let that happen).
bool AdvanceStep(SimState& sim, const Potential& pot);

// The time-centred discrete energy between the two newest levels n and n + 1,
//   dx * sum_i [ ((u_i^{n+1} - u_i^n) / dt)^2 / 2 + (u_{i+1}^{n+1} - u_i^{n+1}) (u_{i+1}^n - u_i^n) / (2 dx^2)
//                + (W(u_i^{n+1}) + W(u_i^n)) / 2 ],
// over the computed range. The leapfrog conserves it exactly for a quadratic W and to O(dx^2)
// otherwise, whereas EnergyTotal, whose kinetic term is a backward difference, swings by O(dx)
// while kinks collide. Needs a prepared run (levels 0 and 1 at least).
double CentredEnergy(const SimState& sim, const Potential& pot);
// The same for two levels over i = -half .. half, both holding the vacua at -half - 1 and
// half + 1; `a` is the potential's parameter. `wNewer` and `wOlder`, when given, hold W of the
// levels' values as the steps evaluated them (UpdateLevel's wOut), taken instead of PotW: the
// same bits in extended precision, the step's own W in double.
double CentredEnergyOf(const FieldPoint* newer, const FieldPoint* older, int half, double dx, double dt,
                       const Potential& pot, double a, const double* wNewer = nullptr,
                       const double* wOlder = nullptr);

// The leapfrog with the fixed Courant number c is stable on the linearised equation about a
// value U, u_tt = u_xx - m^2 u with m^2 = W''(U), while 4 c^2 + m^2 dt^2 <= 4:
// dt <= 2 sqrt(1 - c^2) / m, with m^2 the largest W'' between the vacua (at a vacuum unless the
// modulation is fast). Beyond it the run blows up within a few steps.
double StableTimeStepBound(const Potential& pot);
// Empty when the grid of half-length L and N parts gives a stable dt; otherwise a sentence
// naming dt and the bound.
std::string UnstableGridMessage(const Potential& pot, double halfInterval, int gridSize);

// The indices i of lo .. hi that lie inside the light cone at time t: [first, last];
// first > last when none does. The cone is [-base/2 - t, base/2 + t] (base = 2L).
ConeRange ConeIndices(const SimState& sim, int lo, int hi);
ConeRange ConeIndicesAt(double time, double coneBase, double dx, int lo, int hi);

}  // namespace kl
