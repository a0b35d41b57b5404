// The static kink: the table against independent solutions, the three reported numbers, the
// rest mass and the drawn dots.
#include "soliton/profile.h"

#include <gtest/gtest.h>

#include <cmath>
#include <functional>

#include "base/numbers.h"
#include "soliton/static_kink.h"

namespace kl {
namespace {

struct Solved {
  ProfileState profile;
  ProfileResult result;
};

// A solve as the draw button makes it: OduXMin := -L first.
Solved SolveWell(const Potential& pot, double L, Canvas* odu = nullptr, double yMin = -1.5, double yMax = 1.5) {
  Solved s;
  s.profile.OduXMin = -L;
  s.profile.OduYMin = yMin;
  s.profile.OduYMax = yMax;
  s.result = SolveProfile(s.profile, pot, 0.0, L, odu);
  return s;
}

Solved Solve(int kind, double L, Canvas* odu = nullptr, double yMin = -1.5, double yMax = 1.5) {
  Potential pot;
  EXPECT_TRUE(ApplyPotentialKind(pot, kind));
  return SolveWell(pot, L, odu, yMin, yMax);
}

double Slope(const ProfileState& p, int k) {
  return std::fabs(p.ProfileTable[k + 1] - p.ProfileTable[k]) / p.ProfileStep;
}

TEST(SolveProfile, ReportedNumbersForEachKind) {
  // The designed height, width and energy sums taken over the true kink; the energy counts
  // the centre twice, so it lies a little above the rest mass (0.943, 0.921, 0.911, 0.707).
  struct Row {
    int kind;
    const char *height, *width, *energy;
  } rows[] = {
      {1, "0.707", "2.502", "0.945"},
      {2, "0.702", "2.468", "0.923"},
      {3, "0.700", "2.459", "0.913"},
      {4, "0.662", "1.668", "0.708"},
  };
  for (const Row& r : rows) {
    const Solved s = Solve(r.kind, 10.0);
    EXPECT_EQ(FormatWD(s.result.Height, 5, 3), r.height) << "kind " << r.kind;
    EXPECT_EQ(FormatWD(s.result.Width, 5, 3), r.width) << "kind " << r.kind;
    EXPECT_EQ(FormatWD(s.result.Energy, 5, 3), r.energy) << "kind " << r.kind;
    EXPECT_EQ(s.result.Spread, s.result.Width) << "kind " << r.kind;  // a slope of one hump
  }
  // k = 10: the slope has several humps and the centre's is not the highest. The spread spans
  // them all, as the static kink's own nodes measure it (their spacing differs from the
  // table's); the width about the steepest step is one hump's.
  Potential ten;
  ten.ModulationK = 10;
  const Solved s = SolveWell(ten, 10.0);
  EXPECT_NEAR(s.result.Spread, StaticKink(ten, 0).HalfMaxWidth(), 0.03);
  EXPECT_GT(s.result.Spread, 2 * s.result.Width);
}

// x(U) = integral from 0 to U of dU' / sqrt(2 W(U')): the kink read the other way round, by
// adaptive Simpson quadrature, independently of the solver's integration in x.
long double InverseKink(const Potential& pot, long double U) {
  auto f = [&](long double u) { return 1.0L / std::sqrt(2.0L * PotW(pot, 0, static_cast<double>(u))); };
  std::function<long double(long double, long double, long double, long double, long double, long double, int)>
      simpson = [&](long double a, long double b, long double fa, long double fm, long double fb, long double whole,
                    int depth) -> long double {
    const long double m = (a + b) / 2, lm = (a + m) / 2, rm = (m + b) / 2;
    const long double flm = f(lm), frm = f(rm);
    const long double left = (m - a) / 6 * (fa + 4 * flm + fm), right = (b - m) / 6 * (fm + 4 * frm + fb);
    if (depth > 40 || std::fabs(left + right - whole) < 1e-15L) return left + right + (left + right - whole) / 15;
    return simpson(a, m, fa, flm, fm, left, depth + 1) + simpson(m, b, fm, frm, fb, right, depth + 1);
  };
  const long double fa = f(0), fb = f(U), fm = f(U / 2);
  return simpson(0, U, fa, fm, fb, U / 6 * (fa + 4 * fm + fb), 0);
}

TEST(SolveProfile, TheTableIsTheStaticKinkAtEveryNode) {
  // Kind 1 against tanh(x / sqrt 2) at every node, from an interval far shorter than the kink
  // to one where most nodes lie in the vacua; the solver's own error is about 1e-12.
  for (double L : {1e-3, 1.0, 10.0, 40.0, 1e3, 1e6}) {
    const Solved s = Solve(1, L);
    double worst = 0;
    for (int k = 0; k <= 4100; ++k) {
      const double x = (k - 2050) * s.profile.ProfileStep;
      worst = std::max(worst, std::fabs(s.profile.ProfileTable[k] - std::tanh(x / std::sqrt(2.0))));
    }
    EXPECT_LT(worst, 1e-10) << "L " << L;
  }
  // The modulated kinds and the fastest modulation taken: at every node that is not yet within
  // 1e-4 of a vacuum the position the inverse gives for the table's value is the node's own, to
  // 1e-10 in U (x error times the slope there).
  for (double kind : {0.9, 1.1, 5.0, 20.0}) {
    Potential pot;
    pot.ModulationK = kind;
    for (double L : {10.0, 40.0}) {
      const Solved s = SolveWell(pot, L);
      const std::vector<double>& t = s.profile.ProfileTable;
      EXPECT_EQ(t[2050], 0.0);
      for (int k = 0; k < 4100; ++k) ASSERT_LE(t[k], t[k + 1]) << k;
      for (int k = 0; k <= 4100; k += 7) {
        if (std::fabs(t[k]) > 1 - 1e-4) continue;
        const long double x = (k - 2050) * static_cast<long double>(s.profile.ProfileStep);
        const long double slope = std::sqrt(2.0L * PotW(pot, 0, t[k]));
        ASSERT_LT(std::fabs(InverseKink(pot, t[k]) - x) * slope, 1e-10) << "k " << kind << " L " << L << " k " << k;
      }
    }
  }
  // The slow tail of kind 4 on its +1 side (m^2 = W''(1) = 0.45): at x = 10 the kink is still
  // 1.1e-3 below the vacuum, and the table says so; the fast side has come within 6e-6.
  const Solved four = Solve(4, 10.0);
  EXPECT_NEAR(1 - four.profile.ProfileTable[4100], 1.117e-3, 1e-6);
  EXPECT_NEAR(1 + four.profile.ProfileTable[0], 5.4e-6, 1e-7);
}

TEST(KinkMass, IsTheIntegralOfTheSlopeOverTheWell) {
  // Kind 1: 2 sqrt(2) / 3 exactly; kind 4 from an independent quadrature of the same integral.
  Potential pot;
  EXPECT_NEAR(KinkMass(pot, 0), 2 * std::sqrt(2.0) / 3, 1e-12);
  ApplyPotentialKind(pot, 4);
  EXPECT_NEAR(KinkMass(pot, 0), 0.7068606092, 1e-10);
  // Any k of the family: the same integral by adaptive Simpson over [-1, 1].
  for (double k : {2.5, 20.0}) {
    pot.ModulationK = k;
    std::function<long double(long double, long double, long double, long double, long double, int)> simpson;
    auto f = [&](long double u) { return std::sqrt(2.0L * PotW(pot, 0, static_cast<double>(u))); };
    simpson = [&](long double a, long double b, long double fa, long double fm, long double fb, int depth) {
      const long double m = (a + b) / 2, whole = (b - a) / 6 * (fa + 4 * fm + fb);
      const long double flm = f((a + m) / 2), frm = f((m + b) / 2);
      const long double parts = (m - a) / 6 * (fa + 4 * flm + fm) + (b - m) / 6 * (fm + 4 * frm + fb);
      if (depth > 30 || std::fabs(parts - whole) < 1e-14L) return parts;
      return simpson(a, m, fa, flm, fm, depth + 1) + simpson(m, b, fm, frm, fb, depth + 1);
    };
    EXPECT_NEAR(KinkMass(pot, 0), static_cast<double>(simpson(-1, 1, f(-1), f(0), f(1), 0)), 1e-10) << "k " << k;
  }
}

TEST(SolveProfile, KindOneIsAntisymmetricWithItsSteepestStepAtTheCentre) {
  const Solved s = Solve(1, 10.0);
  const ProfileState& p = s.profile;
  EXPECT_EQ(p.ProfileStartSlope, std::sqrt(0.5));
  for (int k = 0; k <= 2050; ++k) ASSERT_EQ(p.ProfileTable[2050 + k], -p.ProfileTable[2050 - k]) << k;
  // The steepest step is 2049 -> 2050 (the first of the two equal maxima); the slope falls
  // below half of it first at 1793 on the left and 2306 on the right.
  EXPECT_EQ(s.result.Height, Slope(p, 2049));
  const double half = Slope(p, 2049) / 2;
  EXPECT_GE(Slope(p, 1794), half);
  EXPECT_LT(Slope(p, 1793), half);
  EXPECT_GE(Slope(p, 2305), half);
  EXPECT_LT(Slope(p, 2306), half);
  EXPECT_DOUBLE_EQ(s.result.Width, (2306 - 1793) * p.ProfileStep);
  // The exact kink energy of this well is 2 sqrt(2) / 3; the recurrence is close to it.
  EXPECT_NEAR(s.result.Energy, 2 * std::sqrt(2.0) / 3, 0.005);
}

TEST(SolveProfile, ShortIntervalHasNoHalfWidth) {
  const Solved s = Solve(1, 1.0);
  EXPECT_EQ(s.result.Width, 0.0);
  EXPECT_EQ(FormatWD(s.result.Width, 5, 3), "0.000");
  EXPECT_GT(s.result.Height, 0.0);
  EXPECT_EQ(s.profile.ProfileTable[2050], 0.0);
}

TEST(SolveProfile, DrawsBlueDotsInTheProfileFrameWhichDoesNotChangeTheSolve) {
  Canvas odu(410, 300);
  odu.SetPenColor(kRed);
  odu.SetBrushColor(kRed);
  odu.Rectangle(0, 0, 410, 300);
  const Solved s = Solve(1, 10.0, &odu);
  EXPECT_EQ(odu.Pixel(205, 0), kBlack);  // cleared with its black border
  EXPECT_EQ(odu.Pixel(409, 299), kBlack);
  // Left end: x = -10, U = -1 -> column 0, row 300 - 50 = 250.
  EXPECT_EQ(odu.Pixel(0, 249), kBlue);
  EXPECT_EQ(odu.Pixel(0, 250), kBlue);
  // The right sweep's first dot is at x = 0 with the height of the next sample.
  const int row = 300 - WorldToPixel(300, s.profile.ProfileTable[2051], -1.5, 1.5);
  EXPECT_EQ(odu.Pixel(204, row), kBlue);
  EXPECT_EQ(odu.Pixel(205, row - 1), kBlue);
  // Right end: U = +1 -> row 50; nothing is drawn in the empty corners.
  EXPECT_EQ(odu.Pixel(408, 50), kBlue);
  EXPECT_EQ(odu.Pixel(20, 50), kWhite);
  EXPECT_EQ(odu.Pixel(390, 250), kWhite);

  Canvas other(100, 100);
  const Solved t = Solve(1, 10.0, &other, -7.0, 0.25);
  EXPECT_EQ(t.profile.ProfileTable, s.profile.ProfileTable);
  EXPECT_EQ(t.result.Height, s.result.Height);
  EXPECT_EQ(t.result.Width, s.result.Width);
  EXPECT_EQ(t.result.Energy, s.result.Energy);
}

}  // namespace
}  // namespace kl
