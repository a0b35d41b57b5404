#include "initial/composer.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <utility>

namespace kl {

namespace {
constexpr double kPiDouble = 3.141592653589793;
constexpr long double kPiExtended = 3.1415926535897932385L;
constexpr double kStepVelocity = 0.9999999999;
}  // namespace

double InitRecord::Component(int c) const {
  switch (c) {
    case 1: return ReU;
    case 2: return ImU;
    case 3: return AbsU;
    case 4: return ReDtU;
    case 5: return ImDtU;
    case 6: return AbsDtU;
    default: return 0.0;
  }
}

namespace {

// The table's linear interpolation at the position of xi on [-L, L], read forwards (the kink)
// or backwards from the mirrored nodes with the same weights (its mirror image). Left of the
// table's first interval the shape is at its left vacuum, from the table's end on at its right.
double TableAt(const ProfileState& profile, double halfInterval, double xi, bool mirrored) {
  using T = long double;
  const T L = halfInterval;
  const T b = (static_cast<T>(xi) - (-L)) * 4100 / (L - (-L));
  const T c = std::floor(b);
  const double sign = mirrored ? -1.0 : 1.0;
  if (!(c > 0)) return -sign;  // also a position that is not a number
  if (c >= 4100) return sign;
  const int ci = static_cast<int>(c);
  const double* K = profile.ProfileTable.data();
  const double lower = mirrored ? K[4100 - ci] : K[ci], upper = mirrored ? K[4099 - ci] : K[ci + 1];
  return static_cast<double>((c + 1 - b) * lower + (b - c) * upper);
}

}  // namespace

double KinkProfileAt(const ProfileState& profile, double halfInterval, double xi) {
  return TableAt(profile, halfInterval, xi, false);
}

// The mirrored table read with the weights KinkProfileAt gives xi: on a table that is odd
// about its centre this is exactly -KinkProfileAt(xi).
double AntikinkProfileAt(const ProfileState& profile, double halfInterval, double xi) {
  return TableAt(profile, halfInterval, xi, true);
}

double SmoothWindow(double xLeft, double a, double x, double b, double xRight) {
  using T = long double;
  if (x <= xLeft || x >= xRight) return 0.0;
  if (a <= x && x <= b) return 1.0;
  if (x < a)
    return static_cast<double>(
        (std::cos((static_cast<T>(x) - a) * kPiExtended / (static_cast<T>(a) - xLeft)) + 1) * 0.5L);
  return static_cast<double>(
      (std::cos((static_cast<T>(x) - b) * kPiExtended / (static_cast<T>(xRight) - b)) + 1) * 0.5L);
}

KinkArgs KinkArguments(int i, double c, double v, double h, double dt) {
  using T = long double;
  const double x = static_cast<double>(static_cast<T>(i) * h);
  if (std::fabs(v) < kStepVelocity) {
    const double g = static_cast<double>(std::sqrt(1.0L - static_cast<T>(v) * v));
    return KinkArgs{static_cast<double>((static_cast<T>(x) - c) / g),
                    static_cast<double>((static_cast<T>(x) - c + static_cast<T>(v) * dt) / g)};
  }
  // An ultra-relativistic soliton is a step at the grid centre.
  const double edge = static_cast<double>(static_cast<T>(kHistoryHalf) * h);
  if (i < 0) return KinkArgs{-edge, -edge};
  if (i > 0) return KinkArgs{edge, edge};
  return KinkArgs{0.0, 0.0};
}

void SortSolitons(int count, double* keys, double* companions) {
  bool swapped = true;
  while (swapped) {
    swapped = false;
    for (int j = 1; j <= count - 1; ++j) {
      if (keys[j] > keys[j + 1]) {
        std::swap(keys[j], keys[j + 1]);
        std::swap(companions[j], companions[j + 1]);
        swapped = true;
      }
    }
  }
}

namespace {

// What composition needs of the grid.
struct ComposeGrid {
  double halfInterval, dx, dt;
  int half;  // the records cover i = -half .. half
};

template <class Records, class Kink, class Mirror>
void ChainInto(const ComposeGrid& g, const ComposeInputs& in, Records& init, Kink K, Mirror Mirror_) {
  using T = long double;
  in.profile.ProfileStartSlope =
      std::sqrt(static_cast<double>(2.0L * PotW(in.pot, in.pot.ParamA, PotCentre(in.pot, in.pot.ParamA))));
  in.profile.ProfileReady = true;
  KinkList& list = in.kinks;
  const int count = std::clamp(list.SolitonCount, 0, kMaxSolitons);
  SortSolitons(count, list.InitSm.data(), list.InitVel.data());
  if (count == 0) return;  // no kinks: the base fill stands
  const int half = g.half;
  for (int i = -half; i <= half; ++i) {
    KinkArgs args = KinkArguments(i, list.InitSm[1], list.InitVel[1], g.dx, g.dt);
    double u0 = K(args.xi0), u1 = K(args.xi1);
    for (int j = 2; j <= count; ++j) {
      args = KinkArguments(i, list.InitSm[j], list.InitVel[j], g.dx, g.dt);
      if (j % 2 == 1) {
        u0 = static_cast<double>(static_cast<T>(u0) + K(args.xi0) + 1);
        u1 = static_cast<double>(static_cast<T>(u1) + K(args.xi1) + 1);
      } else {
        u0 = static_cast<double>(static_cast<T>(u0) + Mirror_(args.xi0) - 1);
        u1 = static_cast<double>(static_cast<T>(u1) + Mirror_(args.xi1) - 1);
      }
    }
    init[i].ReU = u0;
    init[i].ReDtU = u1;
  }
  for (int i = -half; i <= half; ++i)
    init[i].ReDtU = static_cast<double>((static_cast<T>(init[i].ReU) - init[i].ReDtU) / g.dt);
}

template <class Records>
void RotatorInto(const ComposeGrid& g, const RotatorParams& rot, Records& init, bool add) {
  using T = long double;
  const int half = g.half;
  const double edge = static_cast<double>(static_cast<T>(half) * g.dx);
  for (int i = -half; i <= half; ++i) {
    const double x = static_cast<double>(static_cast<T>(i) * g.dx);
    const double w = SmoothWindow(-edge, -kPiDouble, x, kPiDouble, edge);
    InitRecord& rec = init[i];
    const double q = x > 0 ? rot.qR : rot.qL;
    const T reU = static_cast<T>(rot.kF_Re) * w;
    const T imU = static_cast<T>(rot.kF_Im) * w;
    const T reDt = static_cast<T>(rot.kD) * std::sin(static_cast<T>(q) * x) * w;
    const T imDt = static_cast<T>(rot.kD) * std::cos(static_cast<T>(q) * x) * w;
    const T keep = add ? 1 : 0;  // adding to the chain, or replacing it
    rec.ReU = static_cast<double>(keep * rec.ReU + reU);
    rec.ImU = static_cast<double>(keep * rec.ImU + imU);
    rec.ReDtU = static_cast<double>(keep * rec.ReDtU + reDt);
    rec.ImDtU = static_cast<double>(keep * rec.ImDtU + imDt);
  }
}

// The base fill (the vacua), the chain (`chain(init)`) and the rotator as the method asks; the
// right vacuum.
template <class Records, class Chain>
double ComposeWith(const ComposeGrid& g, const ComposeInputs& in, Records& init, Chain chain) {
  using T = long double;
  const int half = g.half;
  const double rightVacuum = ChainVacuum(in.pot, std::clamp(in.kinks.SolitonCount, 0, kMaxSolitons));
  for (int i = -half; i <= half; ++i) init[i] = InitRecord{};
  for (int i = -half; i <= 0; ++i) init[i].ReU = ChainVacuum(in.pot, 0);
  for (int i = 0; i <= half; ++i) init[i].ReU = rightVacuum;
  if (in.rot.InitMethod == 0) {
    chain(init);
  } else if (in.rot.InitMethod == 1) {
    chain(init);
    RotatorInto(g, in.rot, init, true);
  }
  for (int i = -half; i <= half; ++i) {
    InitRecord& rec = init[i];
    rec.AbsU = static_cast<double>(std::sqrt(static_cast<T>(rec.ReU) * rec.ReU + static_cast<T>(rec.ImU) * rec.ImU));
    rec.AbsDtU = static_cast<double>(
        std::sqrt(static_cast<T>(rec.ReDtU) * rec.ReDtU + static_cast<T>(rec.ImDtU) * rec.ImDtU));
  }
  return rightVacuum;
}

template <class Records, class Kink, class Mirror>
double ComposeInto(const ComposeGrid& g, const ComposeInputs& in, Records& init, Kink K, Mirror Mirror_) {
  return ComposeWith(g, in, init, [&](Records& r) { ChainInto(g, in, r, K, Mirror_); });
}

// A model's chain: kink j (in the sorted list) climbs from V(j-1) to V(j), or is the mirror
// image of the kink from V(j) up to V(j-1) where the chain descends, and each adds its step
// from V(j-1) to the field: u = V0 + sum_j (K_j - V(j-1)).
void ModelChainInto(const ComposeGrid& g, const ComposeInputs& in, InitRecords& init) {
  using T = long double;
  KinkList& list = in.kinks;
  const int count = std::clamp(list.SolitonCount, 0, kMaxSolitons);
  SortSolitons(count, list.InitSm.data(), list.InitVel.data());
  if (count == 0) return;
  std::vector<std::shared_ptr<const StaticKink>> shapeOf(static_cast<size_t>(count) + 1);
  for (int j = 1; j <= count; ++j) {
    const double from = ChainVacuum(in.pot, j - 1), to = ChainVacuum(in.pot, j);
    shapeOf[static_cast<size_t>(j)] = SharedModelKink(in.pot, std::min(from, to), std::max(from, to));
  }
  for (int i = -g.half; i <= g.half; ++i) {
    T u0 = ChainVacuum(in.pot, 0), u1 = u0;
    for (int j = 1; j <= count; ++j) {
      const double from = ChainVacuum(in.pot, j - 1), to = ChainVacuum(in.pot, j);
      const StaticKink& shape = *shapeOf[static_cast<size_t>(j)];
      const KinkArgs args = KinkArguments(i, list.InitSm[j], list.InitVel[j], g.dx, g.dt);
      const double k0 = to > from ? shape.At(args.xi0) : shape.MirrorAt(args.xi0);
      const double k1 = to > from ? shape.At(args.xi1) : shape.MirrorAt(args.xi1);
      u0 += static_cast<T>(k0) - from;
      u1 += static_cast<T>(k1) - from;
    }
    init[i].ReU = static_cast<double>(u0);
    init[i].ReDtU = static_cast<double>(u1);
  }
  for (int i = -g.half; i <= g.half; ++i)
    init[i].ReDtU = static_cast<double>((static_cast<T>(init[i].ReU) - init[i].ReDtU) / g.dt);
}

ComposeGrid GridOf(const SimState& sim, int half) { return ComposeGrid{sim.HalfInterval, sim.Dx, sim.Dt, half}; }

}  // namespace

void ComposeKinkChain(const SimState& sim, const ComposeInputs& in, InitValues& init, int half) {
  const double L = sim.HalfInterval;
  ChainInto(GridOf(sim, half), in, init, [&](double xi) { return KinkProfileAt(in.profile, L, xi); },
            [&](double xi) { return AntikinkProfileAt(in.profile, L, xi); });
}

void AddRotator(const SimState& sim, const RotatorParams& rot, InitValues& init, int half, bool add) {
  RotatorInto(GridOf(sim, half), rot, init, add);
}

void ComposeInitialConditions(SimState& sim, const ComposeInputs& in, InitValues& init) {
  sim.Dt = TimeStepFor(sim.Dx);
  const int half = std::clamp(static_cast<int>(std::nearbyint(sim.GridSize / 2.0)), 0, kHistoryHalf - 1);
  const double L = sim.HalfInterval;
  sim.RightVacuum = ComposeInto(GridOf(sim, half), in, init, [&](double xi) { return KinkProfileAt(in.profile, L, xi); },
                                [&](double xi) { return AntikinkProfileAt(in.profile, L, xi); });
}

InitRecords::InitRecords(int half) : records_(2 * static_cast<size_t>(std::max(half, 0)) + 1), half_(std::max(half, 0)) {}

double ComposeOnGrid(double halfInterval, int gridSize, const ComposeInputs& in, const StaticKink* exact,
                     InitRecords& init) {
  const double dx = static_cast<double>(2.0L * halfInterval / gridSize);
  const ComposeGrid g{halfInterval, dx, TimeStepFor(dx), init.Half()};
  if (in.pot.Model) return ComposeWith(g, in, init, [&](InitRecords& r) { ModelChainInto(g, in, r); });
  if (exact)
    return ComposeInto(g, in, init, [exact](double xi) { return exact->At(xi); },
                       [exact](double xi) { return exact->MirrorAt(xi); });
  return ComposeInto(g, in, init, [&](double xi) { return KinkProfileAt(in.profile, halfInterval, xi); },
                     [&](double xi) { return AntikinkProfileAt(in.profile, halfInterval, xi); });
}

}  // namespace kl
