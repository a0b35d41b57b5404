// Models other than the family against what is known of them exactly: sine-Gordon's
// kink-antikink pair passing through, phi6's kinks, and the kink masses.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <numbers>
#include <string>
#include <vector>

#include "engine/lean_run.h"
#include "soliton/field_model.h"
#include "soliton/static_kink.h"
#include "support/kink_pair.h"

namespace kl {
namespace {

Potential ModelPotential(const std::string& text, std::vector<double> vacua) {
  Potential pot;
  pot.Model = FieldModel::Make(text, {});
  pot.Vacua = std::move(vacua);
  return pot;
}

// The sine-Gordon pair u = -4 arctan(sinh(g v (t - t0)) / (v cosh(g x))), g = 1/sqrt(1 - v^2):
// the known kink-antikink solution with its sign turned, so that the centre starts at 2 pi
// between the vacua 0 outside, as the chain 0, 2 pi, 0 is composed; t0 puts its kinks (u = pi)
// at -c and +c at t = 0. The pair meets at t0 and comes out with -2 pi between them.
double SineGordonPair(double c, double v, double t, double x) {
  const double g = 1 / std::sqrt(1 - v * v);
  const double t0 = std::asinh(v * std::cosh(g * c)) / (g * v);
  return -4 * std::atan(std::sinh(g * v * (t - t0)) / (v * std::cosh(g * x)));
}

// The largest difference from the exact pair over the computed range once the pair has passed
// through, for a grid of N parts of [-L, L].
double SineGordonError(int gridSize, double& centre) {
  constexpr double L = 30, c = 10, v = 0.5, tEnd = 40;
  const Potential pot = ModelPotential("sine-gordon", {0, 2 * std::numbers::pi, 0});
  LeanRun run(pot, StepPrecision::Double, 1, L, gridSize, tEnd);
  KinkList kinks = test::ApproachingPair(c, v);
  ProfileState profile;
  PrepareLeanRun(run, pot, kinks, test::NoRotator(), profile, gridSize);
  while (run.Time() < tEnd) EXPECT_TRUE(run.Step());
  int half = 0;
  const FieldPoint* u = run.Newest(half);
  double worst = 0;
  for (int i = -half; i <= half; ++i)
    worst = std::max(worst, std::fabs(u[i].re - SineGordonPair(c, v, run.Time(), i * run.Dx())));
  centre = u[0].re;
  return worst;
}

// The scheme is second order: the error after the pass-through falls by about four when dx
// halves. The initial kinks differ from the exact pair by e^(-2 g c), about 1e-10 here, and the
// tails beyond L by less, far below the discretisation error of these grids.
TEST(ModelPhysics, SineGordonsPairPassesThroughAsTheExactSolutionWithSecondOrderError) {
  double centre = 0;
  const double coarse = SineGordonError(512, centre);
  const double middle = SineGordonError(1024, centre);
  const double fine = SineGordonError(2048, centre);
  EXPECT_NEAR(centre, -2 * std::numbers::pi, 0.01);  // the pair has passed through
  EXPECT_LT(fine, 3e-3) << coarse << " " << middle << " " << fine;
  EXPECT_NEAR(coarse / middle, 4, 0.6) << coarse << " " << middle;
  EXPECT_NEAR(middle / fine, 4, 0.6) << middle << " " << fine;
}

// phi6's kinks are sqrt((1 + tanh x)/2) from 0 up to 1 and -sqrt((1 - tanh x)/2) from -1 up to
// 0, each through the midpoint of its vacua at x = 0 (the shift x0 puts it there).
TEST(ModelPhysics, Phi6KinksAreTheExactProfilesAndEveryMassIsTheIntegralOfRootTwoW) {
  const Potential phi6 = ModelPotential("phi6", {0, 1});
  const StaticKink upper(phi6, 0.0, 1.0), lower(phi6, -1.0, 0.0);
  const double x0 = std::atanh(-0.5), x1 = std::atanh(0.5);
  double worst = 0;
  for (double x = -12; x <= 12; x += 0.01) {
    worst = std::max(worst, std::fabs(upper.At(x) - std::sqrt((1 + std::tanh(x + x0)) / 2)));
    worst = std::max(worst, std::fabs(lower.At(x) + std::sqrt((1 - std::tanh(x + x1)) / 2)));
  }
  EXPECT_LT(worst, 1e-10);

  // The integrals of sqrt(2 W) in closed form: (u^2 - 1)/sqrt 2 over [-1, 1], u (1 - u^2) over
  // [0, 1], 2 sin(u/2) over [0, 2 pi].
  EXPECT_NEAR(KinkMass(ModelPotential("phi4", {-1, 1}), 0), 2 * std::sqrt(2.0) / 3, 1e-12);
  EXPECT_NEAR(KinkMass(phi6, 0), 0.25, 1e-12);
  EXPECT_NEAR(KinkMass(ModelPotential("sine-gordon", {0, 2 * std::numbers::pi}), 0), 8, 1e-11);
  // A formula equal to phi4 has its kink to the rounding of the table.
  const StaticKink named(ModelPotential("phi4", {-1, 1}), 0), typed(ModelPotential("(u^2-1)^2/4", {-1, 1}), 0);
  for (double x = -8; x <= 8; x += 0.5) EXPECT_NEAR(named.At(x), std::tanh(x / std::sqrt(2.0)), 1e-11) << x;
  for (double x = -8; x <= 8; x += 0.5) EXPECT_NEAR(typed.At(x), named.At(x), 1e-14) << x;
}

}  // namespace
}  // namespace kl
