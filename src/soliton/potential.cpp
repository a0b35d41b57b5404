#include "soliton/potential.h"

#include <algorithm>

#include "soliton/field_model.h"
#include "base/numbers.h"

namespace kl {

double KindModulation(int kind) {
  switch (kind) {
    case 2: return 0.9;
    case 3: return 1.1;
    case 4: return 5.0;
    default: return 0.0;
  }
}

int KindOfModulation(double k) {
  for (int kind = kMinKind; kind <= kMaxKind; ++kind)
    if (KindModulation(kind) == k) return kind;
  return 0;
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

double ChainVacuum(const Potential& pot, int j) {
  if (pot.Vacua.empty()) return j % 2 == 0 ? -1.0 : 1.0;
  return pot.Vacua[static_cast<size_t>(std::clamp(j, 0, static_cast<int>(pot.Vacua.size()) - 1))];
}

double ChainLow(const Potential& pot) {
  return pot.Vacua.empty() ? -1.0 : *std::min_element(pot.Vacua.begin(), pot.Vacua.end());
}

double ChainHigh(const Potential& pot) {
  return pot.Vacua.empty() ? 1.0 : *std::max_element(pot.Vacua.begin(), pot.Vacua.end());
}

double PotW(const Potential& pot, double /*a*/, double U) {
  if (pot.Model) return pot.Model->W(U);
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, U, cs, sn);
  return static_cast<double>(WellW<long double>(U, cs));
}

double PotDW(const Potential& pot, double /*a*/, double U) {
  if (pot.Model) return pot.Model->DW(U);
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, U, cs, sn);
  return static_cast<double>(WellDW<long double>(pot.ModulationK, U, cs, sn));
}

double PotP(const Potential& pot, double a, double U) { return -PotW(pot, a, U); }

double PotCentre(const Potential& /*pot*/, double /*a*/) { return 0.0; }

double PotD2W(const Potential& pot, double U) {
  if (pot.Model) return pot.Model->D2W(U);
  long double cs, sn;
  const long double k = pot.ModulationK, u = U;
  Modulation<long double>(pot.ModulationK, u, cs, sn);
  const long double w = u * u - 1, g = (cs + 1.5L) / 2.5L, g1 = -k * sn / 2.5L, g2 = -k * k * cs / 2.5L;
  return static_cast<double>((3 * u * u - 1) * g + 2 * u * w * g1 + 0.25L * w * w * g2);
}

double VacuumMassSquared(const Potential& pot, double /*a*/, double vacuum) {
  if (pot.Model) return pot.Model->D2W(vacuum);
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, vacuum, cs, sn);
  return static_cast<double>(2.0L * vacuum * vacuum * (cs + 1.5L) / 2.5L);
}

double LargestCurvature(const Potential& pot, double a) {
  // W = 0.25 w^2 g with w = U^2 - 1 and g = (cos z + 1.5) / 2.5, z = k (U - 0.3):
  // W'' = (3 U^2 - 1) g + 2 U w g' + 0.25 w^2 g''. Sampled finely enough that the largest
  // sample lies within 1e-6 of the maximum for k up to 20, then the vacua themselves.
  constexpr int samples = 20000;
  if (pot.Model) {
    const double lo = ChainLow(pot), hi = ChainHigh(pot);
    double most = std::max(pot.Model->D2W(lo), pot.Model->D2W(hi));
    for (int j = 1; j < samples; ++j) most = std::max(most, pot.Model->D2W(lo + (hi - lo) * j / samples));
    return most;
  }
  const long double k = pot.ModulationK;
  long double most = std::max(VacuumMassSquared(pot, a, -1.0), VacuumMassSquared(pot, a, 1.0));
  for (int j = 1; j < samples; ++j) {
    const long double U = -1.0L + 2.0L * j / samples;
    long double cs, sn;
    Modulation<long double>(k, U, cs, sn);
    const long double w = U * U - 1, g = (cs + 1.5L) / 2.5L, g1 = -k * sn / 2.5L, g2 = -k * k * cs / 2.5L;
    most = std::max(most, (3 * U * U - 1) * g + 2 * U * w * g1 + 0.25L * w * w * g2);
  }
  return static_cast<double>(most);
}

}  // namespace kl
