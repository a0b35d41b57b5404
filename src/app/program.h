#pragma once
// All program-wide state, grouped by owner, in one aggregate that lives as long as the process.
#include <array>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "initial/composer.h"
#include "soliton/potential.h"
#include "soliton/profile.h"
#include "views/run_pictures.h"

namespace kl {

// Corner coordinates of the two microscopes (-1: none) and the pending mark press.
struct Microscopes {
  std::array<int, 4> Micro1Line{-1, -1, -1, -1};
  std::array<int, 4> Micro2Rect{-1, -1, -1, -1};
  bool MarkPending = false;
  void Clear() {
    Micro1Line.fill(-1);
    Micro2Rect.fill(-1);
  }
};

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

struct Program {
  SimState sim;
  Potential pot;
  ProfileState profile;
  KinkList kinks;
  RotatorParams rot;
  InitValues initVal;
  Marks marks;
  LogSettings logSettings;
  LogFile log;
  RunCanvases canvases;
  TextBlock textBlock;
  Microscopes micro;
  SolitonScales scales;
};

}  // namespace kl
