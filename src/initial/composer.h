#pragma once
// u(0, x) and d_t u(0, x) from a chain of Lorentz-boosted kinks, optionally with a rotator.
#include <array>
#include <vector>

#include "engine/sim_state.h"
#include "soliton/potential.h"
#include "soliton/profile.h"
#include "soliton/static_kink.h"

namespace kl {

inline constexpr int kMaxSolitons = 9;

// The listed solitons, slots 1 .. SolitonCount (slot 0 unused).
struct KinkList {
  int SolitonCount = 0;
  std::array<double, kMaxSolitons + 1> InitSm{};   // displacement c
  std::array<double, kMaxSolitons + 1> InitVel{};  // velocity v, |v| < 1
};

struct RotatorParams {
  int InitMethod = 1;  // 0 kinks-antikinks, 1 kinks + rotator
  double kF_Re = 0.5;
  double kF_Im = 0.2;
  double kD = 0.1;
  double qL = 0.3;
  double qR = 2.0;
  double kAd = 0.0;  // kept and saved; no computation uses them
  double wAd = 0.0;
};

// One record of the initial conditions; components 1 .. 6 in this order.
struct InitRecord {
  double ReU, ImU, AbsU, ReDtU, ImDtU, AbsDtU;
  double Component(int c) const;
};

// InitVal over i = -1025 .. 1025.
class InitValues {
 public:
  InitRecord& operator[](int i) { return records_[i + kHistoryHalf]; }
  const InitRecord& operator[](int i) const { return records_[i + kHistoryHalf]; }

 private:
  std::array<InitRecord, 2 * kHistoryHalf + 1> records_{};
};

// What composition reads besides the grid.
struct ComposeInputs {
  KinkList& kinks;
  const RotatorParams& rot;
  ProfileState& profile;
  const Potential& pot;
};

// Sets Dt and RightVacuum, fills InitVal over -N/2 .. N/2 and sorts the kink list.
// An empty list composes the kinkless vacuum: -1 everywhere, at rest.
void ComposeInitialConditions(SimState& sim, const ComposeInputs& in, InitValues& init);

// Initial values over i = -half .. half, for a grid of any size.
class InitRecords {
 public:
  explicit InitRecords(int half);
  InitRecord& operator[](int i) { return records_[static_cast<size_t>(i + half_)]; }
  const InitRecord& operator[](int i) const { return records_[static_cast<size_t>(i + half_)]; }
  int Half() const { return half_; }

 private:
  std::vector<InitRecord> records_;
  int half_;
};

// The composition on a grid of half-length L and N parts over the records' range, returning
// the chain's right vacuum; the kink list is sorted. A model's kinks are always its static
// kinks between the chain's vacua, evaluated at every argument. With `exact` the profile is the static
// kink evaluated at every argument; without, the profile table read as the window reads it,
// which gives the window's own initial values.
double ComposeOnGrid(double halfInterval, int gridSize, const ComposeInputs& in, const StaticKink* exact,
                     InitRecords& init);

void ComposeKinkChain(const SimState& sim, const ComposeInputs& in, InitValues& init, int half);
void AddRotator(const SimState& sim, const RotatorParams& rot, InitValues& init, int half, bool add);

// The profile at xi, the table mapped onto [-L, L]: -1 left of it, +1 right of it.
double KinkProfileAt(const ProfileState& profile, double halfInterval, double xi);
// The antikink at xi: the kink's mirror image K(-xi), +1 left of the interval, -1 right of
// it. Only for a symmetric well (W(U) = W(-U)) is it -K(xi).
double AntikinkProfileAt(const ProfileState& profile, double halfInterval, double xi);
// 1 on [a, b], a raised cosine down to 0 at xLeft and xRight, 0 outside.
double SmoothWindow(double xLeft, double a, double x, double b, double xRight);

// The profile's arguments at t = 0 and t = -dt for grid index i of spacing h.
struct KinkArgs {
  double xi0, xi1;
};
KinkArgs KinkArguments(int i, double c, double v, double h, double dt);

// Ascending bubble sort of keys[1 .. count], companions moving along; equal keys keep order.
void SortSolitons(int count, double* keys, double* companions);

}  // namespace kl
