// The static kink: table layout, pinning, the three reported numbers and the drawn dots.
#include "soliton/profile.h"

#include <gtest/gtest.h>

#include <cmath>

#include "soliton/numbers.h"

namespace kl {
namespace {

struct Solved {
  ProfileState profile;
  ProfileResult result;
};

// A solve as the draw button makes it: OduXMin := -L first.
Solved Solve(int kind, double L, Canvas* odu = nullptr, double yMin = -1.5, double yMax = 1.5) {
  Potential pot;
  EXPECT_TRUE(ApplyPotentialKind(pot, kind));
  Solved s;
  s.profile.OduXMin = -L;
  s.profile.OduYMin = yMin;
  s.profile.OduYMax = yMax;
  s.result = SolveProfile(s.profile, pot, 0.0, L, odu);
  return s;
}

double Slope(const ProfileState& p, int k) {
  return std::fabs(p.ProfileTable[k + 1] - p.ProfileTable[k]) / p.ProfileStep;
}

TEST(SolveProfile, ReportedNumbersForEachKind) {
  struct Row {
    int kind;
    const char *height, *width, *energy;
  } rows[] = {
      {1, "0.707", "2.502", "0.945"},
      {2, "0.702", "2.468", "0.926"},
      {3, "0.700", "2.454", "0.918"},
      {4, "0.663", "1.663", "0.745"},
  };
  for (const Row& r : rows) {
    const Solved s = Solve(r.kind, 10.0);
    EXPECT_EQ(FormatWD(s.result.Height, 5, 3), r.height) << "kind " << r.kind;
    EXPECT_EQ(FormatWD(s.result.Width, 5, 3), r.width) << "kind " << r.kind;
    EXPECT_EQ(FormatWD(s.result.Energy, 5, 3), r.energy) << "kind " << r.kind;
  }
}

TEST(SolveProfile, TableRunsFromVacuumToVacuumThroughTheCentre) {
  for (int kind = 1; kind <= 4; ++kind) {
    const Solved s = Solve(kind, 10.0);
    const std::vector<double>& t = s.profile.ProfileTable;
    EXPECT_EQ(s.profile.ProfileStep, 20.0 / 4100);
    EXPECT_TRUE(s.profile.ProfileReady);
    EXPECT_EQ(t[2050], 0.0) << "kind " << kind;
    EXPECT_EQ(t[0], -1.0) << "kind " << kind;
    EXPECT_EQ(t[4100], 1.0) << "kind " << kind;
    const double mod = KindModulation(kind);
    EXPECT_NEAR(s.profile.ProfileStartSlope, std::sqrt(2 * 0.25 * (std::cos(0.3 * mod) + 1.5) / 2.5), 1e-15)
        << "kind " << kind;
    // Rising everywhere, and once a side reaches its vacuum it stays within 1e-10 of it.
    for (int j = 0; j < 4100; ++j) ASSERT_GE(t[j + 1], t[j]) << "kind " << kind << " k " << j;
    int k = 2049;
    while (k > 0 && t[k] != -1.0) --k;
    for (; k >= 0; --k) ASSERT_NEAR(t[k], -1.0, 1e-10) << "kind " << kind << " k " << k;
    k = 2051;
    while (k < 4100 && t[k] != 1.0) ++k;
    for (; k <= 4100; ++k) ASSERT_NEAR(t[k], 1.0, 1e-10) << "kind " << kind << " k " << k;
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
