#include "app/data_file.h"

#include <algorithm>

#include "interaction/colour_scale.h"

namespace kl {

SetupData SetupFromProgram(const Program& p, int colourCount) {
  SetupData s;
  s.HalfInterval = p.sim.HalfInterval;
  s.PotXMax = p.scales.PotXMax;
  s.PotYMin = p.scales.PotYMin;
  s.PotYMax = p.scales.PotYMax;
  s.PhasXMax = p.scales.PhasXMax;
  s.PhasYMax = p.scales.PhasYMax;
  s.OduYMax = p.profile.OduYMax;
  s.SolitonCount = std::clamp(p.kinks.SolitonCount, 0, kMaxSolitons);
  for (int i = 0; i < s.SolitonCount; ++i) s.Kinks[i] = {p.kinks.InitSm[i + 1], p.kinks.InitVel[i + 1]};
  s.InitMethod = p.rot.InitMethod == 1 ? 1 : 0;
  s.kF_Re = p.rot.kF_Re;
  s.kF_Im = p.rot.kF_Im;
  s.kD = p.rot.kD;
  s.kAd = p.rot.kAd;
  s.wAd = p.rot.wAd;
  s.qR = p.rot.qR;
  s.qL = p.rot.qL;
  s.ColorCount = colourCount >= kMinColourCount && colourCount <= kMaxColourCount
                     ? colourCount
                     : ListedColourCount(colourCount);
  s.ModulationK = p.pot.ModulationK;
  s.GridIndex = p.sim.GridSize == 1024 ? 0 : p.sim.GridSize == 512 ? 1 : 2;
  s.PotentialKind = p.pot.PotentialKind;
  s.Marker = kSetupMarker;
  s.LogPeriod = p.logSettings.LogPeriod;
  return s;
}

void ApplySetupToProgram(const SetupData& s, Program& p, bool adoptKind) {
  p.sim.HalfInterval = s.HalfInterval;
  p.profile.OduXMin = -s.HalfInterval;
  SolitonScales& sc = p.scales;
  sc.PotXMax = s.PotXMax;
  sc.PotXMin = -s.PotXMax;
  sc.PotYMin = s.PotYMin;
  sc.PotYMax = s.PotYMax;
  sc.PhasXMax = s.PhasXMax;
  sc.PhasXMin = -s.PhasXMax;
  sc.PhasYMax = s.PhasYMax;
  sc.PhasYMin = -s.PhasYMax;
  p.profile.OduYMax = s.OduYMax;
  p.kinks.SolitonCount = std::clamp(s.SolitonCount, 0, kMaxSolitons);
  for (int i = 1; i <= p.kinks.SolitonCount; ++i) {
    p.kinks.InitSm[i] = s.Kinks[i - 1].Displacement;
    p.kinks.InitVel[i] = s.Kinks[i - 1].Velocity;
  }
  p.rot.InitMethod = s.InitMethod;
  p.rot.kF_Re = s.kF_Re;
  p.rot.kF_Im = s.kF_Im;
  p.rot.kD = s.kD;
  p.rot.kAd = s.kAd;
  p.rot.wAd = s.wAd;
  p.rot.qR = s.qR;
  p.rot.qL = s.qL;
  const int gridSize = GridSizeFromList(s.GridIndex);
  SetGrid(p.sim, gridSize > 0 ? gridSize : p.sim.GridSize);
  if (adoptKind) ApplyPotentialKind(p.pot, s.PotentialKind);
  p.logSettings.LogPeriod = s.LogPeriod;
}

}  // namespace kl
