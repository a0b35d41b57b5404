#include "engine/integrator.h"

#include <algorithm>
#include <cmath>

namespace kl {

namespace {

// Everything a point update needs, in the intermediate precision T.
template <class T>
struct StepConstants {
  T k;         // modulation wave number
  T c2;        // Courant number squared, formed in T
  T dt2;       // Dt squared, formed in T
  double dt;   // Dt as stored
  T twoDx;     // 2 Dx
};

template <class T>
StepConstants<T> MakeConstants(const SimState& sim, const Potential& pot) {
  const T c = static_cast<T>(kCourantL);
  return StepConstants<T>{static_cast<T>(pot.ModulationK), c * c,
                          static_cast<T>(sim.Dt) * static_cast<T>(sim.Dt), sim.Dt,
                          static_cast<T>(2) * static_cast<T>(sim.Dx)};
}

// The energy density with W already evaluated (W rounded to a double, as PotW returns it).
template <class T>
inline double DensityFrom(const StepConstants<T>& K, double uL, double uR, double uP, double u,
                          double W) {
  const double A = static_cast<double>((static_cast<T>(u) - uP) / K.dt);
  const double B = static_cast<double>((static_cast<T>(uR) - uL) / K.twoDx);
  return static_cast<double>(static_cast<T>(0.5L) * (static_cast<T>(A) * A) +
                             static_cast<T>(0.5L) * (static_cast<T>(B) * B) + static_cast<T>(W));
}

// Updates the points lo .. hi of `next` from `cur` and `prev`: inside the cone by the scheme,
// outside pinned to the vacuum of their side with zero density.
template <class T>
void UpdateRange(SimState& sim, const StepConstants<T>& K, const FieldPoint* prev,
                 const FieldPoint* cur, FieldPoint* next, int lo, int hi, bool phaseTwo) {
  double* density = sim.stores.DensityNow();
  // A point left of the cone is pinned left even if it were also right of it.
  const ConeRange cone = ConeIndices(sim, lo, hi);
  const int leftLast = std::min(cone.first - 1, hi);
  for (int i = lo; i <= leftLast; ++i) {
    next[i].re = -1.0;
    next[i].r = 0.0;
    density[i] = 0.0;
  }
  const double rightVacuum = sim.RightVacuum;
  for (int i = std::max({cone.last + 1, cone.first, lo}); i <= hi; ++i) {
    next[i].re = rightVacuum;
    next[i].r = 0.0;
    density[i] = 0.0;
  }
  const int inFirst = std::max(cone.first, lo);
  const int inLast = std::min(cone.last, hi);
  if (inFirst > inLast) return;
  double energy = sim.EnergyTotal;
  double densityMax = sim.DensityMax;
  for (int i = inFirst; i <= inLast; ++i) {
    const double u = cur[i].re, uL = cur[i - 1].re, uR = cur[i + 1].re, uP = prev[i].re;
    const T tu = u;
    T cs, sn;
    Modulation<T>(K.k, tu, cs, sn);
    const double f = static_cast<double>(WellDW<T>(K.k, tu, cs, sn));
    const T D = K.c2 * ((static_cast<T>(uR) - static_cast<T>(2) * tu) + uL) +
                (static_cast<T>(2) * tu - uP);
    next[i].re = static_cast<double>(D - K.dt2 * f);
    const double W = static_cast<double>(WellW<T>(tu, cs));
    const double r = DensityFrom(K, uL, uR, uP, u, W);
    if (r > densityMax) densityMax = r;
    density[i] = r;
    next[i].r = r;
    energy = static_cast<double>(static_cast<T>(energy) + r);
  }
  sim.CurrentHalfWidth = phaseTwo ? kHistoryHalf : inLast;
  sim.EnergyTotal = energy;
  sim.DensityMax = densityMax;
}

void AdvanceClock(SimState& sim) {
  sim.TimeNow = static_cast<double>(static_cast<long double>(sim.TimeNow) + sim.Dt);
  sim.LayerNow += 1;
  sim.LayerLast = sim.LayerNow;
  sim.ExtraWidth += 1;
}

template <class T>
bool StepFirstPhase(SimState& sim, const Potential& pot) {
  const int n = sim.LayerNow;
  if (n < 1 || n + 1 >= kHistoryLevels) return false;
  FieldStores& st = sim.stores;
  FieldPoint* next = st.History(n + 1);
  next[-kHistoryHalf].re = -1.0;
  next[kHistoryHalf].re = sim.RightVacuum;
  st.DensityNow()[-kHistoryHalf] = 0.0;
  st.DensityNow()[kHistoryHalf] = 0.0;
  sim.EnergyTotal = 0.0;
  const StepConstants<T> K = MakeConstants<T>(sim, pot);
  UpdateRange<T>(sim, K, st.History(n - 1), st.History(n), next, -kHistoryHalf + 1,
                 kHistoryHalf - 1, false);
  sim.EnergyTotal = static_cast<double>(static_cast<T>(sim.EnergyTotal) * sim.Dx);
  AdvanceClock(sim);
  return true;
}

template <class T>
bool StepSecondPhase(SimState& sim, const Potential& pot) {
  const int J = sim.ExtraWidth;
  if (J < 1 || kHistoryHalf + 1 + J > kWorkHi || -kHistoryHalf - 1 - J < kWorkLo) return false;
  FieldStores& st = sim.stores;
  FieldPoint* prev = st.Work(0);
  FieldPoint* cur = st.Work(1);
  FieldPoint* next = st.Work(2);
  cur[-kHistoryHalf - J].re = -1.0;
  cur[-kHistoryHalf - 1 - J].re = -1.0;
  cur[kHistoryHalf + J].re = sim.RightVacuum;
  cur[kHistoryHalf + 1 + J].re = sim.RightVacuum;
  next[-kHistoryHalf - J].re = -1.0;
  next[kHistoryHalf + J].re = sim.RightVacuum;
  sim.EnergyTotal = 0.0;
  const StepConstants<T> K = MakeConstants<T>(sim, pot);
  UpdateRange<T>(sim, K, prev, cur, next, -kHistoryHalf + 1 - J, kHistoryHalf - 1 + J, true);
  sim.EnergyTotal = static_cast<double>(static_cast<T>(sim.EnergyTotal) * sim.Dx);
  AdvanceClock(sim);
  st.RotateWork();
  if (sim.WindowBase >= 1) {
    const int level = sim.LayerNow - 1 - sim.WindowBase;
    if (level >= 0 && level < kHistoryLevels)
      std::copy(st.Work(1) - kHistoryHalf, st.Work(1) + kHistoryHalf + 1,
                st.History(level) - kHistoryHalf);
  }
  return true;
}

}  // namespace

ConeRange ConeIndices(const SimState& sim, int lo, int hi) {
  using T = long double;
  const T t = sim.TimeNow;
  const T leftEdge = static_cast<T>(-0.5L) * sim.ConeBase - t;
  const T rightEdge = static_cast<T>(0.5L) * sim.ConeBase + t;
  auto xAt = [&](int i) { return static_cast<T>(static_cast<double>(static_cast<T>(i) * sim.Dx)); };
  auto pinnedLeft = [&](int i) { return leftEdge > xAt(i); };
  auto pinnedRight = [&](int i) { return xAt(i) > rightEdge; };
  // Both tests are monotone in i: find the boundaries by bisection.
  int a = lo, b = hi + 1;  // first index not pinned left lies in [a, b]
  while (a < b) {
    const int mid = a + (b - a) / 2;
    if (pinnedLeft(mid)) a = mid + 1; else b = mid;
  }
  const int first = a;
  a = lo - 1;
  b = hi;  // last index not pinned right lies in [a, b]
  while (a < b) {
    const int mid = a + (b - a + 1) / 2;
    if (pinnedRight(mid)) b = mid - 1; else a = mid;
  }
  return ConeRange{first, a};
}

double EnergyDensityAt(const SimState& sim, const Potential& pot, double a, double /*x*/,
                       double uL, double uR, double uP, double u) {
  const StepConstants<long double> K = MakeConstants<long double>(sim, pot);
  return DensityFrom(K, uL, uR, uP, u, PotW(pot, a, u));
}

bool AdvanceStep(SimState& sim, const Potential& pot) {
  return sim.PhaseTwo ? StepSecondPhase<long double>(sim, pot)
                      : StepFirstPhase<long double>(sim, pot);
}

}  // namespace kl
