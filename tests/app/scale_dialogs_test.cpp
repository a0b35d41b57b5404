// The scale groups' rules: which maxima are taken, and the U range the three pictures share.
#include "app/scale_dialogs.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>

namespace kl {
namespace {

TEST(ReadScaleMaximum, TakesNumbersAndNegativesButRefusesBadTextAndZero) {
  double v = -777.0;
  EXPECT_TRUE(ReadScaleMaximum(" 2.5", v));
  EXPECT_EQ(v, 2.5);
  EXPECT_TRUE(ReadScaleMaximum("-1e-1", v));  // a frame turned over, but not an empty one
  EXPECT_EQ(v, -0.1);
  for (const std::string text : {"0", "0.00", "-0", ".", "1e-400", "abc", "", "3 ", "1,5"}) {
    v = -777.0;
    EXPECT_FALSE(ReadScaleMaximum(text, v)) << '"' << text << '"';
    EXPECT_EQ(v, -777.0) << '"' << text << '"';
  }
}

struct ScaleGroupOk : ::testing::Test {
  std::unique_ptr<Program> owned = std::make_unique<Program>();
  Program& p = *owned;
  void SetUp() override {
    p.scales = {-2, 2, -1, 1, -2, 2, -2, 2};
    p.profile.OduXMin = -10;
    p.profile.OduYMin = -1.5;
    p.profile.OduYMax = 1.5;
    p.profile.ProfileStartSlope = 1.0;
    p.sim.HalfInterval = 10;
  }
  void ExpectAmplitudeRange(double u) {
    EXPECT_EQ(p.scales.PotXMin, -u);
    EXPECT_EQ(p.scales.PotXMax, u);
    EXPECT_EQ(p.scales.PhasXMin, -u);
    EXPECT_EQ(p.scales.PhasXMax, u);
    EXPECT_EQ(p.profile.OduYMin, -u);
    EXPECT_EQ(p.profile.OduYMax, u);
  }
};

TEST_F(ScaleGroupOk, PotentialOkSetsTheSharedRangeAndOnlyThePotentialsYRange) {
  ApplyPotentialScales(p, 3, 0.5);
  ExpectAmplitudeRange(3);
  EXPECT_EQ(p.scales.PotYMin, -0.5);
  EXPECT_EQ(p.scales.PotYMax, 0.5);
  EXPECT_EQ(p.scales.PhasYMin, -2);
  EXPECT_EQ(p.scales.PhasYMax, 2);
  EXPECT_EQ(p.sim.HalfInterval, 10);
}

TEST_F(ScaleGroupOk, PhaseOkSetsTheSharedRangeAndOnlyThePhasePlanesYRange) {
  ApplyPhaseScales(p, 1.25, 0.75);
  ExpectAmplitudeRange(1.25);
  EXPECT_EQ(p.scales.PhasYMin, -0.75);
  EXPECT_EQ(p.scales.PhasYMax, 0.75);
  EXPECT_EQ(p.scales.PotYMin, -1);
  EXPECT_EQ(p.scales.PotYMax, 1);
}

TEST_F(ScaleGroupOk, ProfileOkSetsTheSharedRangeTheIntervalAndTheStartSlope) {
  ApplyProfileScales(p, 12.5, -4, 0.8);  // a negative maximum is taken as it is
  ExpectAmplitudeRange(-4);
  EXPECT_EQ(p.sim.HalfInterval, 12.5);
  EXPECT_EQ(p.profile.OduXMin, -12.5);
  EXPECT_EQ(p.profile.ProfileStartSlope, 0.8);
  EXPECT_EQ(p.scales.PotYMax, 1);
  EXPECT_EQ(p.scales.PhasYMax, 2);
}

}  // namespace
}  // namespace kl
