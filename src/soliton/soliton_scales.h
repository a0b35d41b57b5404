#pragma once
// The world rectangles of the solitons tab's potential and phase-plane pictures.
#include "soliton/potential.h"

namespace kl {

// The world rectangles of the soliton tab's pictures.
struct SolitonScales {
  double PotXMin = 0, PotXMax = 0, PotYMin = 0, PotYMax = 0;
  double PhasXMin = 0, PhasXMax = 0, PhasYMin = 0, PhasYMax = 0;
};

// The U range of the potential and phase pictures, as wide as the profile picture's: every
// kind's P(U) stays above -0.4 on it, inside the picture's default range [-1, 1].
inline constexpr double kDefaultPotentialUMax = 1.5;

// The potential picture's upper U bound follows the kind.
inline void UpdatePotentialScale(SolitonScales& scales, const Potential& pot) {
  if (IsValidKind(pot.PotentialKind)) scales.PotXMax = kDefaultPotentialUMax;
}

}  // namespace kl
