#include "app/scale_dialogs.h"

#include "base/numbers.h"

namespace kl {

bool ReadScaleMaximum(std::string_view text, double& value) {
  double read = 0;
  if (!ParseNumber(text, read) || read == 0) return false;
  value = read;
  return true;
}

void SetAmplitudeRange(Program& p, double u) {
  p.scales.PotXMin = -u;
  p.scales.PotXMax = u;
  p.scales.PhasXMin = -u;
  p.scales.PhasXMax = u;
  p.profile.OduYMin = -u;
  p.profile.OduYMax = u;
}

void ApplyPotentialScales(Program& p, double u, double pMax) {
  SetAmplitudeRange(p, u);
  p.scales.PotYMin = -pMax;
  p.scales.PotYMax = pMax;
}

void ApplyPhaseScales(Program& p, double u, double slopeMax) {
  SetAmplitudeRange(p, u);
  p.scales.PhasYMin = -slopeMax;
  p.scales.PhasYMax = slopeMax;
}

void ApplyProfileScales(Program& p, double halfInterval, double u, double startSlope) {
  SetAmplitudeRange(p, u);
  p.sim.HalfInterval = halfInterval;
  p.profile.OduXMin = -halfInterval;
  p.profile.ProfileStartSlope = startSlope;
}

}  // namespace kl
