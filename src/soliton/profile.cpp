#include "soliton/profile.h"

#include <cmath>

#include "soliton/static_kink.h"

namespace kl {

namespace {

// Static energy density around c with neighbours l and r.
double StaticDensity(const Potential& pot, double a, double h, double l, double c, double r) {
  const long double slope = (static_cast<long double>(r) - l) / (2.0L * h);
  return static_cast<double>(0.5L * (slope * slope) + PotW(pot, a, c));
}

}  // namespace

ProfileResult SolveProfile(ProfileState& profile, const Potential& pot, double a,
                           double halfInterval, Canvas* odu) {
  using T = long double;
  if (odu) ClearPlot(*odu);
  const PlotFrame frame{profile.OduXMin, halfInterval, profile.OduYMin, profile.OduYMax};
  auto dot = [&](double x, double u) {
    if (odu) DrawDot(*odu, FrameColumn(*odu, frame, x), FrameRow(*odu, frame, u), kBlue);
  };

  const double uc = PotCentre(pot, a);
  const double s0 = std::sqrt(static_cast<double>(2.0L * PotW(pot, a, uc)));
  profile.ProfileStartSlope = s0;
  profile.ProfileReady = true;
  const double h = static_cast<double>((static_cast<T>(halfInterval) - profile.OduXMin) / 4100);
  profile.ProfileStep = h;
  double* table = profile.ProfileTable.data();

  // The table holds the kink itself at every node; one node beyond the right end serves the
  // energy sum's last neighbour.
  const StaticKink kink(pot, a);
  auto nodeX = [&](int k) { return static_cast<double>(static_cast<T>(k - kProfileCentre) * h); };
  for (int k = 0; k <= 4100; ++k) table[k] = kink.At(nodeX(k));
  const double beyond = kink.At(nodeX(4101));
  // The vacua are reached from within, so these guards hold the table at a vacuum from the
  // first node that rounds to it.
  for (int k = kProfileCentre + 1; k <= 4100; ++k)
    if ((table[k] > 0.95 && table[k - 1] > table[k]) || table[k] > 1.0000000001) table[k] = 1.0;
  for (int k = kProfileCentre - 1; k >= 0; --k)
    if ((table[k] < -0.95 && table[k] > table[k + 1]) || table[k] < -1.0000000001) table[k] = -1.0;

  // The energy sums the static density over both halves from the centre outward, each half
  // starting with the centre and a neighbour on the centre's tangent (so the centre counts
  // twice). The dots show what a sweep outward from the centre meets: on the right the value
  // one node further out.
  double energy = 0.0;
  auto add = [&](double l, double c, double r) {
    energy = static_cast<double>(static_cast<T>(energy) + static_cast<T>(h) * StaticDensity(pot, a, h, l, c, r));
  };
  for (int k = kProfileCentre; k <= 4100; ++k) {
    const double prev = k == kProfileCentre ? static_cast<double>(uc - static_cast<T>(s0) * h) : table[k - 1];
    const double next = k == 4100 ? beyond : table[k + 1];
    dot(nodeX(k), next);
    add(prev, table[k], next);
  }
  for (int k = kProfileCentre - 1; k >= 0; --k) {
    const double right = k == kProfileCentre - 1 ? static_cast<double>(uc + static_cast<T>(s0) * h) : table[k + 2];
    dot(nodeX(k), table[k]);
    add(table[k], table[k + 1], right);
  }

  // Height: the steepest step away from the vacua; the first maximum wins.
  auto slopeAt = [&](int k) { return std::fabs(static_cast<T>(table[k + 1]) - table[k]) / h; };
  double height = -1.0e10;
  int steepest = 0;
  for (int k = 0; k < 4100; ++k) {
    const T d = slopeAt(k);
    if (d > height && std::fabs(table[k]) < 0.95) {
      height = static_cast<double>(d);
      steepest = k;
    }
  }
  // Width: where the slope first falls below half the maximum on either side.
  const T half = 0.5L * height;
  int right = 0, left = 0;
  for (int k = steepest; k < 4100; ++k)
    if (slopeAt(k) < half) { right = k; break; }
  for (int k = steepest - 1; k >= 0; --k)
    if (slopeAt(k) < half) { left = k; break; }

  // Spread: between the outermost points where the slope reaches half the maximum, which for a
  // fast modulation (a slope of several humps) spans the whole kink rather than one hump.
  int first = 0, last = 4099;
  while (first < 4099 && slopeAt(first) < half) ++first;
  while (last > first && slopeAt(last) < half) --last;

  ProfileResult result;
  result.Height = height;
  result.Width = static_cast<double>(static_cast<T>(right - left) * h);
  result.Spread = static_cast<double>(static_cast<T>(last + 1 - (first - 1)) * h);
  result.Energy = energy;
  return result;
}

}  // namespace kl
