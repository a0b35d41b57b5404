#include "soliton/profile.h"

#include <cmath>

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
  const T h2 = static_cast<T>(h) * h;
  double* table = profile.ProfileTable.data();
  double energy = 0.0;

  // Right sweep: the value stored at k is the current one; the dot shows the next one.
  double uPrev = static_cast<double>(uc - static_cast<T>(s0) * h);
  double u = uc;
  for (int k = kProfileCentre; k <= 4100; ++k) {
    double uNext = static_cast<double>(h2 * PotDW(pot, a, u) + (static_cast<T>(2) * u - uPrev));
    if ((uNext > 0.95 && u > uNext) || uNext > 1.0000000001) uNext = 1.0;
    table[k] = u;
    dot(static_cast<double>(static_cast<T>(k - kProfileCentre) * h), uNext);
    energy = static_cast<double>(static_cast<T>(energy) + static_cast<T>(h) * StaticDensity(pot, a, h, uPrev, u, uNext));
    uPrev = u;
    u = uNext;
  }
  // Left sweep: the value just computed belongs to index k itself.
  double uRight = static_cast<double>(uc + static_cast<T>(s0) * h);
  u = uc;
  for (int k = kProfileCentre - 1; k >= 0; --k) {
    double uNext = static_cast<double>(h2 * PotDW(pot, a, u) + (static_cast<T>(2) * u - uRight));
    if ((uNext < -0.95 && uNext > u) || uNext < -1.0000000001) uNext = -1.0;
    table[k] = uNext;
    dot(static_cast<double>(static_cast<T>(k - kProfileCentre) * h), uNext);
    energy = static_cast<double>(static_cast<T>(energy) + static_cast<T>(h) * StaticDensity(pot, a, h, uNext, u, uRight));
    uRight = u;
    u = uNext;
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

  ProfileResult result;
  result.Height = height;
  result.Width = static_cast<double>(static_cast<T>(right - left) * h);
  result.Energy = energy;
  return result;
}

}  // namespace kl
