// The four double wells: values, vacua, the force as the slope of the well, kind selection.
#include "soliton/potential.h"

#include "engine/integrator.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

namespace kl {
namespace {

Potential OfKind(int kind) {
  Potential pot;
  EXPECT_TRUE(ApplyPotentialKind(pot, kind));
  return pot;
}

TEST(Potential, KindOneValues) {
  const Potential pot = OfKind(1);
  EXPECT_EQ(pot.ModulationK, 0.0);
  EXPECT_EQ(PotW(pot, 0, 0.0), 0.25);
  EXPECT_EQ(PotP(pot, 0, 0.0), -0.25);
  EXPECT_EQ(PotDW(pot, 0, 0.0), 0.0);
  EXPECT_EQ(PotW(pot, 0, 2.0), 2.25);
  EXPECT_EQ(PotDW(pot, 0, 2.0), 6.0);  // U (U^2 - 1)
  EXPECT_EQ(PotCentre(pot, 0), 0.0);
}

TEST(Potential, ModulatedKindsAtTheModulationPhase) {
  // At U = 0.3 the cosine is 1, so every kind has the plain quartic value there.
  for (int kind = 1; kind <= 4; ++kind)
    EXPECT_NEAR(PotW(OfKind(kind), 0, 0.3), 0.207025, 1e-15) << "kind " << kind;
  // Away from it kind 4 is damped: at U = 0 the factor is (cos(1.5) + 1.5) / 2.5.
  EXPECT_NEAR(PotW(OfKind(4), 0, 0.0), 0.25 * (std::cos(1.5) + 1.5) / 2.5, 1e-15);
  EXPECT_NEAR(PotW(OfKind(2), 0, 0.0), 0.25 * (std::cos(0.27) + 1.5) / 2.5, 1e-15);
}

TEST(Potential, VacuaAreEquilibriaOfEveryKind) {
  for (int kind = 1; kind <= 4; ++kind) {
    const Potential pot = OfKind(kind);
    for (double u : {-1.0, 1.0}) {
      EXPECT_EQ(PotW(pot, 0, u), 0.0) << "kind " << kind << " U " << u;
      EXPECT_EQ(PotDW(pot, 0, u), 0.0) << "kind " << kind << " U " << u;
      EXPECT_EQ(PotP(pot, 0, u), 0.0) << "kind " << kind << " U " << u;
    }
  }
}

TEST(Potential, ForceIsTheSlopeOfTheWellAndTheWellIsBounded) {
  for (int kind = 1; kind <= 4; ++kind) {
    const Potential pot = OfKind(kind);
    for (double u = -2.0; u <= 2.0; u += 0.0625) {
      const double h = 1e-5;
      const double slope = (PotW(pot, 0, u + h) - PotW(pot, 0, u - h)) / (2 * h);
      EXPECT_NEAR(PotDW(pot, 0, u), slope, 1e-8) << "kind " << kind << " U " << u;
      const double quartic = 0.25 * (u * u - 1) * (u * u - 1);
      EXPECT_GE(PotW(pot, 0, u), 0.2 * quartic - 1e-15);
      EXPECT_LE(PotW(pot, 0, u), quartic + 1e-15);
      EXPECT_EQ(PotP(pot, 0, u), -PotW(pot, 0, u));
    }
  }
}

TEST(Potential, ParameterAChangesNothing) {
  for (int kind = 1; kind <= 4; ++kind) {
    Potential pot = OfKind(kind);
    for (double u : {-1.7, -0.4, 0.0, 0.3, 0.9, 1.6}) {
      const double w = PotW(pot, 0, u), dw = PotDW(pot, 0, u);
      pot.ParamA = 3.5;
      EXPECT_EQ(PotW(pot, -12.0, u), w);
      EXPECT_EQ(PotDW(pot, 7.25, u), dw);
      EXPECT_EQ(PotCentre(pot, 9.0), 0.0);
      pot.ParamA = 0;
    }
  }
}

TEST(Potential, KindTableAndInvalidKindsRefused) {
  const double expectedK[] = {0.0, 0.9, 1.1, 5.0};
  for (int kind = 1; kind <= 4; ++kind) EXPECT_EQ(OfKind(kind).ModulationK, expectedK[kind - 1]);

  Potential pot = OfKind(3);
  for (int bad : {0, 5, -1, 100}) {
    EXPECT_FALSE(ApplyPotentialKind(pot, bad));
    EXPECT_EQ(pot.PotentialKind, 3);
    EXPECT_EQ(pot.ModulationK, 1.1);
    EXPECT_EQ(PotentialFormulaLabel(bad), "V( U ) = U^6 - a * U^4");
  }
}

TEST(Potential, FormulaLabels) {
  EXPECT_EQ(PotentialFormulaLabel(1), "P( U ) = 0.25 * ( U^2 - 1 )^2");
  EXPECT_EQ(PotentialFormulaLabel(2), "P( U ) = 0.25 * ( U^2 - 1 )^2 * ( Cos(   0.9*(U-0.3) ) + 1.5 ) / 2.5");
  EXPECT_EQ(PotentialFormulaLabel(3), "P( U ) = 0.25 * ( U^2 - 1 )^2 * ( Cos(   1.1*(U-0.3) ) + 1.5 ) / 2.5");
  EXPECT_EQ(PotentialFormulaLabel(4), "P( U ) = 0.25 * ( U^2 - 1 )^2 * ( Cos(   5.0*(U-0.3) ) + 1.5 ) / 2.5");
}

TEST(Potential, VacuumMassesAndTheStabilityBound) {
  // W'' at each vacuum against a central difference of the force, for every kind and a fast
  // modulation; the bound 2 sqrt(1 - c^2) / m with m^2 the largest W'' over [-1, 1], found here
  // by central differences on a fine grid (which is within 1e-6 of the maximum for k <= 20).
  // For kind 1 (m^2 = 2 at the vacua) it is 0.8124; for k = 20, W'' reaches about 38 inside
  // the kink, far above its vacua's 0.9.
  for (const double k : {0.0, 0.9, 1.1, 5.0, 20.0}) {
    Potential pot;
    pot.ModulationK = k;
    double largest = 0;
    const double h = 1e-5;
    for (double vacuum : {-1.0, 1.0}) {
      const double difference = (PotDW(pot, 0, vacuum + h) - PotDW(pot, 0, vacuum - h)) / (2 * h);
      // The difference's own error grows as k^2 (h^2 W'''' / 6 with W'''' ~ k^4 / 10).
      EXPECT_NEAR(VacuumMassSquared(pot, 0, vacuum), difference, 1e-8 * (1 + k * k / 4)) << "k " << k << " at "
                                                                                      << vacuum;
    }
    for (int j = 0; j <= 40000; ++j) {
      const double U = -1 + j / 20000.0;
      largest = std::max(largest, (PotDW(pot, 0, U + h) - PotDW(pot, 0, U - h)) / (2 * h));
    }
    const double c = 0.818535277187;
    EXPECT_NEAR(StableTimeStepBound(pot), 2 * std::sqrt(1 - c * c) / std::sqrt(largest), 2e-7) << "k " << k;
    if (k == 20) {
      EXPECT_GT(largest, 20 * std::max(VacuumMassSquared(pot, 0, -1.0), VacuumMassSquared(pot, 0, 1.0)));
    }
  }
  Potential one;
  EXPECT_NEAR(StableTimeStepBound(one), 0.812404, 1e-6);
  Potential four;
  ApplyPotentialKind(four, 4);
  EXPECT_NEAR(VacuumMassSquared(four, 0, 1.0), 0.4508, 1e-4);  // the slow tail of kind 4
}

}  // namespace
}  // namespace kl
