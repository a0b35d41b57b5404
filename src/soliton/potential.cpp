#include "soliton/potential.h"

#include "soliton/numbers.h"

namespace kl {

double KindModulation(int kind) {
  switch (kind) {
    case 2: return 0.9;
    case 3: return 1.1;
    case 4: return 5.0;
    default: return 0.0;
  }
}

std::string PotentialFormulaLabel(int kind) {
  if (!IsValidKind(kind)) return kDesignedFormulaLabel;
  if (kind == 1) return "P( U ) = 0.25 * ( U^2 - 1 )^2";
  return "P( U ) = 0.25 * ( U^2 - 1 )^2 * ( Cos( " + FormatWD(KindModulation(kind), 5, 1) +
         "*(U-0.3) ) + 1.5 ) / 2.5";
}

bool ApplyPotentialKind(Potential& pot, int kind) {
  if (!IsValidKind(kind)) return false;
  pot.PotentialKind = kind;
  pot.ModulationK = KindModulation(kind);
  return true;
}

double PotW(const Potential& pot, double /*a*/, double U) {
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, U, cs, sn);
  return static_cast<double>(WellW<long double>(U, cs));
}

double PotDW(const Potential& pot, double /*a*/, double U) {
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, U, cs, sn);
  return static_cast<double>(WellDW<long double>(pot.ModulationK, U, cs, sn));
}

double PotP(const Potential& pot, double a, double U) { return -PotW(pot, a, U); }

double PotCentre(const Potential& /*pot*/, double /*a*/) { return 0.0; }

double VacuumMassSquared(const Potential& pot, double /*a*/, double vacuum) {
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, vacuum, cs, sn);
  return static_cast<double>(2.0L * vacuum * vacuum * (cs + 1.5L) / 2.5L);
}

}  // namespace kl
