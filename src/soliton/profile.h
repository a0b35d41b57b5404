#pragma once
// The static kink sampled on the profile table, with its height, width and energy.
#include <vector>

#include "soliton/plot_frame.h"
#include "soliton/potential.h"

namespace kl {

inline constexpr int kProfileSamples = 4101;    // indices 0 .. 4100, centre 2050
inline constexpr int kProfileCentre = 2050;
inline constexpr int kProfileTableSize = 58570;

struct ProfileState {
  double OduXMin = -10.0;
  double OduYMin = -1.5;
  double OduYMax = 1.5;
  double ProfileStep = 0.0;
  std::vector<double> ProfileTable = std::vector<double>(kProfileTableSize, 0.0);
  double ProfileStartSlope = 1.0;
  bool ProfileReady = false;
};

struct ProfileResult {
  double Height = 0.0;  // largest slope where |U| < 0.95
  double Width = 0.0;   // full width of the slope at half its maximum, about the steepest step
  double Spread = 0.0;  // the same between the outermost half-maximum points: Width for a kink
                        // whose slope has one hump, the whole kink for a fast modulation's
  double Energy = 0.0;  // static energy of the kink
};

// Solves the profile over [OduXMin, halfInterval] into ProfileTable and reports its three
// numbers. When `odu` is given, it is cleared and the profile is drawn on it as blue dots
// in the frame x = [OduXMin, halfInterval], U = [OduYMin, OduYMax].
ProfileResult SolveProfile(ProfileState& profile, const Potential& pot, double a,
                           double halfInterval, Canvas* odu);

}  // namespace kl
