#pragma once
// All program-wide state, grouped by owner, in one aggregate that lives as long as the process.
#include <array>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "initial/composer.h"
#include "soliton/potential.h"
#include "soliton/profile.h"
#include "soliton/soliton_scales.h"
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
