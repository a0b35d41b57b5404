#pragma once
// The point update of the leapfrog step, shared by the integrator and the vectorised double
// loop: its constants, the scalar kernel (a template over the intermediate type T), and the
// loop over groups of four points that the double precision uses for the bulk of a range.
#include "engine/sim_state.h"
#include "soliton/field_model.h"
#include "soliton/potential.h"

namespace kl {

// Everything a point update needs, in the intermediate precision T.
template <class T>
struct StepConstants {
  T k;         // modulation wave number
  T c2;        // Courant number squared, formed in T
  T dt2;       // Dt squared, formed in T
  double dt;   // Dt as stored
  T twoDx;     // 2 Dx
  double leftVacuum = -1.0;            // the value points left of the cone are pinned to
  const FieldModel* model = nullptr;   // a model other than the family, evaluated in blocks
};

template <class T>
StepConstants<T> MakeConstantsFor(double dx, double dt, const Potential& pot) {
  const T c = static_cast<T>(kCourantL);
  return StepConstants<T>{static_cast<T>(pot.ModulationK), c * c, static_cast<T>(dt) * static_cast<T>(dt), dt,
                          static_cast<T>(2) * static_cast<T>(dx), ChainVacuum(pot, 0), pot.Model.get()};
}

template <class T>
StepConstants<T> MakeConstants(const SimState& sim, const Potential& pot) {
  return MakeConstantsFor<T>(sim.Dx, sim.Dt, pot);
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

// One point inside the light cone: the new value and the energy density of the current level.
struct PointUpdate {
  double next;
  double r;
  double W;  // W of the current level's value, rounded to a double
};

// The scheme's new value from the force dW/dU at the point, rounded to a double.
template <class T>
[[gnu::always_inline]] inline double NextWithForce(const StepConstants<T>& K, double uL, T tu, double uR, double uP, double f) {
  const T D = K.c2 * ((static_cast<T>(uR) - static_cast<T>(2) * tu) + uL) +
              (static_cast<T>(2) * tu - uP);
  return static_cast<double>(D - K.dt2 * f);
}

// The scheme's new value from the point's modulation (cs, sn of Modulation).
template <class T>
inline double NextFrom(const StepConstants<T>& K, double uL, T tu, double uR, double uP, T cs, T sn) {
  return NextWithForce(K, uL, tu, uR, uP, static_cast<double>(WellDW<T>(K.k, tu, cs, sn)));
}

template <class T>
inline PointUpdate UpdatePoint(const StepConstants<T>& K, double uL, double u, double uR, double uP) {
  const T tu = u;
  T cs, sn;
  Modulation<T>(K.k, tu, cs, sn);
  const double next = NextFrom(K, uL, tu, uR, uP, cs, sn);
  const double W = static_cast<double>(WellW<T>(tu, cs));
  return PointUpdate{next, DensityFrom(K, uL, uR, uP, u, W), W};
}

// The new value alone, by the same operations as UpdatePoint: for runs that read only u.
template <class T>
inline double NextValue(const StepConstants<T>& K, double uL, double u, double uR, double uP) {
  const T tu = u;
  T cs, sn;
  Modulation<T>(K.k, tu, cs, sn);
  return NextFrom(K, uL, tu, uR, uP, cs, sn);
}

// The energy of a chunk is summed in four lanes: lane j takes the points whose index i has
// (i - kWorkLo) mod 4 = j, in increasing i. The vectorised loop keeps one lane per element,
// the scalar code the same lanes one point at a time, so both give the same sums.
inline constexpr int kEnergyLanes = 4;
inline int EnergyLane(int i) { return (i - kWorkLo) & (kEnergyLanes - 1); }

// Groups of four points inside the cone, i = first .. first + 4 groups - 1, with `first` in
// lane 0: new values and densities into `next` and `density`, each density added to its lane
// and compared with `densityMax`. The same bits as UpdatePoint<double> for every point. When
// `w` is not null it gets W of every point's current value.
struct DoubleGroups {
  const FieldPoint* prev;
  const FieldPoint* cur;
  FieldPoint* next;
  double* density;
  int first;
  int groups;
  double* w = nullptr;
};
using DoubleGroupsLoop = void (*)(const StepConstants<double>& K, const DoubleGroups& g,
                                  double lanes[kEnergyLanes], double& densityMax);

// The cone's indices within a range: [first, last], first > last when none.
struct ConeRange {
  int first, last;
};

// One level's update over the points lo .. hi: inside `cone` by the scheme, outside it pinned to
// the vacuum of their side (K.leftVacuum left, `rightVacuum` right) with zero density; `density` gets
// every point's density. The range is cut into chunks fixed on the grid, each summing its
// densities in four lanes, and the chunks are added in order: the energy (the sum of the
// densities, not yet times dx) is the same bits for any thread count and for any range that
// holds the cone. `threads` threads of `pool` share the chunks. When `wOut` is not null it gets,
// for every point of lo .. hi, W of its current value (0 where pinned to a vacuum), as the
// step evaluated it: the centred energy takes it rather than evaluating the potential again.
template <class T>
struct LevelResult {
  T energy;
  double densityMax;   // -infinity when the cone holds no point
  int inFirst, inLast;  // the points updated by the scheme
};
template <class T>
LevelResult<T> UpdateLevel(const StepConstants<T>& K, const FieldPoint* prev, const FieldPoint* cur, FieldPoint* next,
                           double* density, double rightVacuum, int lo, int hi, ConeRange cone, StepPool& pool,
                           int threads, double* wOut = nullptr);

// The loop for SSE2 (every x86-64 processor) and for AVX2; both round every operation alike
// and take sine and cosine from the same deterministic routines of the vector math library.
void UpdateDoubleGroupsSse2(const StepConstants<double>& K, const DoubleGroups& g,
                            double lanes[kEnergyLanes], double& densityMax);
void UpdateDoubleGroupsAvx2(const StepConstants<double>& K, const DoubleGroups& g,
                            double lanes[kEnergyLanes], double& densityMax);
void UpdateDoubleGroupsAvx512(const StepConstants<double>& K, const DoubleGroups& g,
                              double lanes[kEnergyLanes], double& densityMax);
bool CpuHasAvx2();
bool CpuHasAvx512();
// The loop the step uses on this processor for the modulation k: the widest it has, except
// that a well without modulation (k = 0, no sine and cosine, the loop bound by memory) keeps
// AVX2, which is faster there than AVX-512 on the processors measured; KINKLAB_VECTORS (sse2,
// avx2 or avx512) caps the width, for comparing them on one machine, since all give the same
// bits.
DoubleGroupsLoop DoubleGroupsForThisCpu(double k = 1);

// The values alone on levels that hold u and nothing else (NextValue<double> for every point).
struct DoubleValueGroups {
  const double* prev;
  const double* cur;
  double* next;
  int first;
  int groups;
};
using DoubleValuesLoop = void (*)(const StepConstants<double>& K, const DoubleValueGroups& g);
void UpdateDoubleValuesSse2(const StepConstants<double>& K, const DoubleValueGroups& g);
void UpdateDoubleValuesAvx2(const StepConstants<double>& K, const DoubleValueGroups& g);
void UpdateDoubleValuesAvx512(const StepConstants<double>& K, const DoubleValueGroups& g);
DoubleValuesLoop DoubleValuesForThisCpu(double k = 1);

// One level of values alone over lo .. hi, as UpdateLevel makes them: inside `cone` by the
// scheme, outside pinned to the vacua. Levels of plain u, half the memory traffic of FieldPoint
// levels, for the runs of a scan, which read u alone.
template <class T>
void UpdateLevelValues(const StepConstants<T>& K, const double* prev, const double* cur, double* next,
                       double rightVacuum, int lo, int hi, ConeRange cone, StepPool& pool, int threads);

}  // namespace kl
