#pragma once
// The leapfrog step of u_tt - u_xx = -dW/du inside the light cone of the initial interval.
#include "engine/sim_state.h"
#include "soliton/potential.h"

namespace kl {

// Energy density at a point from its neighbours on the current level (uL, uR), its value
// on the previous level (uP) and on the current level (u). x is not used.
double EnergyDensityAt(const SimState& sim, const Potential& pot, double a, double x, double uL,
                       double uR, double uP, double u);

// One step in the storage mode given by PhaseTwo, then the clock. Returns false, changing
// nothing, when the step would leave its store (the run's limits never let that happen).
bool AdvanceStep(SimState& sim, const Potential& pot);

// The indices i of lo .. hi that lie inside the light cone at time t: [first, last];
// first > last when none does.
struct ConeRange {
  int first, last;
};
ConeRange ConeIndices(const SimState& sim, int lo, int hi);

}  // namespace kl
