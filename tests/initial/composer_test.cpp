// Composition of u(0, x) and d_t u(0, x) from the kink list and the rotator.
#include "initial/composer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <utility>
#include <vector>

#include "soliton/static_kink.h"
#include "support/kink_pair.h"

namespace kl {
namespace {

constexpr double kPi = 3.141592653589793;

class Composer : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    sim_ = new SimState;
    init_ = new InitValues;
    profile_ = new ProfileState;
    profile_->OduXMin = -10.0;
    SolveProfile(*profile_, pot_, 0.0, 10.0, nullptr);
  }
  static void TearDownTestSuite() {
    delete sim_;
    delete init_;
    delete profile_;
  }
  void SetUp() override {
    sim_->HalfInterval = 10.0;
    SetGrid(*sim_, 256);  // dx = 0.078125, half = 128
    rot_.InitMethod = 0;
  }

  void Add(double c, double v) {
    ++kinks_.SolitonCount;
    kinks_.InitSm[kinks_.SolitonCount] = c;
    kinks_.InitVel[kinks_.SolitonCount] = v;
  }
  void Compose() { ComposeInitialConditions(*sim_, ComposeInputs{kinks_, rot_, *profile_, pot_}, *init_); }
  static double K(int k) { return profile_->ProfileTable[k]; }
  static double Lookup(double xi) { return KinkProfileAt(*profile_, sim_->HalfInterval, xi); }
  static InitRecord& At(int i) { return (*init_)[i]; }

  static inline SimState* sim_ = nullptr;
  static inline InitValues* init_ = nullptr;
  static inline ProfileState* profile_ = nullptr;
  static inline const Potential pot_{};
  KinkList kinks_;
  RotatorParams rot_;
};

TEST_F(Composer, KinkAtRestIsTheProfile) {
  At(200) = InitRecord{7, 7, 7, 7, 7, 7};  // outside -N/2 .. N/2: must stay as it is
  At(5).ImU = 3;                            // inside: leftovers are overwritten
  Add(0.0, 0.0);
  Compose();
  EXPECT_DOUBLE_EQ(sim_->Dt, 0.818535277187 * sim_->Dx);
  EXPECT_EQ(sim_->RightVacuum, 1.0);
  // Grid points that fall on table nodes: x = 0, +-5 are nodes 2050, 3075, 1025.
  EXPECT_EQ(At(0).ReU, K(2050));
  EXPECT_DOUBLE_EQ(At(64).ReU, K(3075));
  EXPECT_DOUBLE_EQ(At(-64).ReU, K(1025));
  EXPECT_EQ(At(-128).ReU, -1.0);
  EXPECT_EQ(At(128).ReU, 1.0);
  for (int i = -128; i <= 128; ++i) {
    ASSERT_EQ(At(i).ReDtU, 0.0) << i;
    ASSERT_EQ(At(i).ImU, 0.0) << i;
    ASSERT_EQ(At(i).ImDtU, 0.0) << i;
    ASSERT_EQ(At(i).AbsU, std::fabs(At(i).ReU)) << i;
    ASSERT_EQ(At(i).AbsDtU, 0.0) << i;
    if (i > -128) {
      ASSERT_GE(At(i).ReU, At(i - 1).ReU) << i;
    }
  }
  EXPECT_EQ(At(200).ReU, 7.0);
  EXPECT_EQ(At(200).AbsDtU, 7.0);
}

TEST_F(Composer, SolitonsAreSortedAndAlternateKinkAntikink) {
  Add(3.0, 0.25);
  Add(-3.0, -0.5);
  Compose();
  EXPECT_EQ(kinks_.InitSm[1], -3.0);
  EXPECT_EQ(kinks_.InitVel[1], -0.5);
  EXPECT_EQ(kinks_.InitSm[2], 3.0);
  EXPECT_EQ(kinks_.InitVel[2], 0.25);
  EXPECT_EQ(sim_->RightVacuum, -1.0);
  EXPECT_NEAR(At(-128).ReU, -1.0, 1e-3);
  EXPECT_NEAR(At(128).ReU, -1.0, 1e-3);
  EXPECT_GT(At(0).ReU, 0.9);  // between the kink and the antikink

  // At rest, a kink at -3 and an antikink at +3 of the symmetric well form an even bump.
  kinks_.InitVel = {};
  Compose();
  for (int i = 0; i <= 128; ++i) ASSERT_NEAR(At(i).ReU, At(-i).ReU, 1e-12) << i;
  EXPECT_NEAR(At(0).ReU, Lookup(3.0) - Lookup(-3.0) - 1, 1e-15);

  // Three solitons: kink, antikink, kink, ending at +1.
  Add(5.0, 0.0);
  kinks_.InitSm[1] = 0.0;
  kinks_.InitSm[2] = -5.0;
  Compose();
  EXPECT_EQ(kinks_.InitSm[1], -5.0);
  EXPECT_EQ(kinks_.InitSm[2], 0.0);
  EXPECT_EQ(sim_->RightVacuum, 1.0);
  EXPECT_NEAR(At(-128).ReU, -1.0, 3e-3);  // a kink's tail 5 units from its centre
  EXPECT_GT(At(-32).ReU, 0.8);   // x = -2.5, between kink and antikink
  EXPECT_LT(At(32).ReU, -0.8);   // x = 2.5, between antikink and kink
  EXPECT_NEAR(At(128).ReU, 1.0, 3e-3);
}

TEST_F(Composer, MovingKinkHasLorentzContractedProfileAndBackwardDifferenceVelocity) {
  const double g = std::sqrt(0.75);
  for (double v : {0.5, -0.5}) {
    kinks_ = KinkList{};
    Add(0.0, v);
    Compose();
    for (int i = -30; i <= 30; i += 5) {
      const double x = i * sim_->Dx;
      const double delta = 0.01;
      const double slope = (Lookup(x / g + delta) - Lookup(x / g - delta)) / (2 * delta);
      EXPECT_NEAR(At(i).ReU, Lookup(x / g), 1e-12) << "v " << v << " i " << i;
      EXPECT_NEAR(At(i).ReDtU, -v * slope / g, 6e-3) << "v " << v << " i " << i;
      EXPECT_EQ(std::signbit(At(i).ReDtU), v > 0) << "v " << v << " i " << i;
      EXPECT_EQ(At(i).AbsDtU, std::fabs(At(i).ReDtU));
    }
  }
  EXPECT_NEAR(At(0).ReDtU, 0.5 * std::sqrt(0.5) / g, 2e-3);
}

TEST_F(Composer, UltrarelativisticSolitonIsAStepAtTheCentre) {
  for (double v : {0.99999999995, -0.99999999995, 0.9999999999}) {
    kinks_ = KinkList{};
    Add(4.0, v);
    Compose();
    EXPECT_EQ(At(0).ReU, K(2050)) << v;
    for (int i = 1; i <= 128; ++i) {
      ASSERT_EQ(At(-i).ReU, -1.0) << v << " " << i;
      ASSERT_EQ(At(i).ReU, 1.0) << v << " " << i;
    }
    for (int i = -128; i <= 128; ++i) ASSERT_EQ(At(i).ReDtU, 0.0) << v << " " << i;
  }
  const KinkArgs fast = KinkArguments(-3, 4.0, 0.9999999998, 0.5, 0.1);
  EXPECT_LT(fast.xi0, fast.xi1);
  EXPECT_LT(fast.xi0, -2e5);  // (x - c) / g with g about 2e-5
}

TEST_F(Composer, RotatorAddsItsWindowedTermsToTheChain) {
  Add(-8.0, 0.0);
  Compose();
  const std::unique_ptr<InitValues> chain = std::make_unique<InitValues>(*init_);
  rot_.InitMethod = 1;
  Compose();
  const InitValues& base = *chain;
  // Inside [-pi, pi] the window is 1: u gains kF, d_t u gains i kD exp(-i q x).
  for (int i : {-32, 0, 32, 40}) {  // x = -2.5, 0, 2.5, 3.125
    const double x = i * sim_->Dx;
    const double q = x > 0 ? rot_.qR : rot_.qL;
    EXPECT_NEAR(At(i).ReU - base[i].ReU, rot_.kF_Re, 1e-15) << i;
    EXPECT_NEAR(At(i).ImU, rot_.kF_Im, 1e-15) << i;
    EXPECT_NEAR(At(i).ReDtU - base[i].ReDtU, rot_.kD * std::sin(q * x), 1e-15) << i;
    EXPECT_NEAR(At(i).ImDtU, rot_.kD * std::cos(q * x), 1e-15) << i;
    EXPECT_NEAR(At(i).AbsU, std::hypot(At(i).ReU, At(i).ImU), 1e-15) << i;
    EXPECT_NEAR(At(i).AbsDtU, std::hypot(At(i).ReDtU, At(i).ImDtU), 1e-15) << i;
  }
  EXPECT_EQ(At(0).ImDtU, rot_.kD);
  // Outside it the window falls to 0 at +-L, where nothing is added.
  double last = 1.0;
  for (int i = 41; i <= 128; ++i) {
    const double w = At(i).ImU / rot_.kF_Im;
    ASSERT_LT(w, last) << i;
    ASSERT_NEAR(At(-i).ImU / rot_.kF_Im, w, 1e-12) << i;
    last = w;
  }
  for (int i : {-128, 128}) {
    EXPECT_EQ(At(i).ReU, base[i].ReU);
    EXPECT_EQ(At(i).ImU, 0.0);
    EXPECT_EQ(At(i).ReDtU, base[i].ReDtU);
    EXPECT_EQ(At(i).ImDtU, 0.0);
  }
  // Any other method value leaves only the base fill.
  rot_.InitMethod = 2;
  Compose();
  EXPECT_EQ(At(-10).ReU, -1.0);
  EXPECT_EQ(At(10).ReU, 1.0);
  EXPECT_EQ(At(10).ImU, 0.0);
}

TEST_F(Composer, EmptyListOnShortIntervalIsVacuumWithFullRotatorWindow) {
  kinks_.InitSm[1] = 0.0;  // a stale slot above the count is not a soliton
  kinks_.InitVel[1] = 0.5;
  sim_->HalfInterval = 3.0;  // shorter than pi
  SetGrid(*sim_, 256);
  Compose();
  EXPECT_EQ(sim_->RightVacuum, -1.0);
  for (int i = -128; i <= 128; ++i) {
    ASSERT_EQ(At(i).ReU, -1.0) << i;
    ASSERT_EQ(At(i).ReDtU, 0.0) << i;
    ASSERT_EQ(At(i).AbsU, 1.0) << i;
  }
  rot_.InitMethod = 1;
  Compose();
  for (int i = -127; i <= 127; ++i) {
    ASSERT_NEAR(At(i).ReU, -1.0 + rot_.kF_Re, 1e-15) << i;
    ASSERT_EQ(At(i).ImU, rot_.kF_Im) << i;
  }
  for (int i : {-128, 128}) {
    EXPECT_EQ(At(i).ReU, -1.0);
    EXPECT_EQ(At(i).ImU, 0.0);
    EXPECT_EQ(At(i).ImDtU, 0.0);
  }
}

// The chain of `kinks` (displacement, velocity) composed for a kind on N parts of [-L, L]:
// u and d_t u at i = -N/2 .. N/2.
struct Chain {
  std::vector<double> u, ut;
  double dx;
};
Chain ComposeChain(int kind, double L, int N, const std::vector<std::pair<double, double>>& kinks,
                   bool plainNegatedAntikink = false) {
  auto sim = std::make_unique<SimState>();
  auto init = std::make_unique<InitValues>();
  ProfileState profile;
  Potential pot;
  ApplyPotentialKind(pot, kind);
  profile.OduXMin = -L;
  SolveProfile(profile, pot, 0.0, L, nullptr);
  sim->HalfInterval = L;
  SetGrid(*sim, N);
  KinkList list;
  list.SolitonCount = static_cast<int>(kinks.size());
  for (size_t j = 0; j < kinks.size(); ++j) {
    list.InitSm[j + 1] = kinks[j].first;
    list.InitVel[j + 1] = kinks[j].second;
  }
  RotatorParams rot;
  rot.InitMethod = 0;
  ComposeInitialConditions(*sim, ComposeInputs{list, rot, profile, pot}, *init);
  Chain chain{{}, {}, sim->Dx};
  for (int i = -N / 2; i <= N / 2; ++i) {
    if (!plainNegatedAntikink) {
      chain.u.push_back((*init)[i].ReU);
      chain.ut.push_back((*init)[i].ReDtU);
      continue;
    }
    // The antikink as the kink turned upside down, -K(xi), written out plainly.
    using T = long double;
    auto K = [&](double xi) { return KinkProfileAt(profile, L, xi); };
    KinkArgs a = KinkArguments(i, list.InitSm[1], list.InitVel[1], sim->Dx, sim->Dt);
    double u0 = K(a.xi0), u1 = K(a.xi1);
    for (int j = 2; j <= list.SolitonCount; ++j) {
      a = KinkArguments(i, list.InitSm[j], list.InitVel[j], sim->Dx, sim->Dt);
      const T sign = j % 2 == 1 ? 1 : -1;
      u0 = static_cast<double>(static_cast<T>(u0) + sign * K(a.xi0) + sign);
      u1 = static_cast<double>(static_cast<T>(u1) + sign * K(a.xi1) + sign);
    }
    chain.u.push_back(u0);
    chain.ut.push_back(static_cast<double>((static_cast<T>(u0) - u1) / sim->Dt));
  }
  return chain;
}

TEST(KinkChain, AntikinksAreTheMirroredKink) {
  // The symmetric well: the mirror image is the kink turned upside down, to the bit.
  const std::vector<std::pair<double, double>> chain = {{-4.2, 0.3}, {1.1, -0.55}, {6.0, 0.0}};
  const Chain mirrored = ComposeChain(1, 10, 512, chain), negated = ComposeChain(1, 10, 512, chain, true);
  EXPECT_EQ(mirrored.u, negated.u);
  EXPECT_EQ(mirrored.ut, negated.ut);
  // Kind 4: a kink at -5 and an antikink at +5 at rest are K(x + 5) + K(5 - x) - 1, with K the
  // static kink; -K(x - 5) would be off by up to 0.1 where the modulated kink is lopsided.
  Potential four;
  ApplyPotentialKind(four, 4);
  const StaticKink kink(four, 0);
  const Chain pair = ComposeChain(4, 10, 1024, {{-5, 0}, {5, 0}});
  // Between the two, where both arguments lie within the table (the lookup takes its end as
  // the vacuum); the linear interpolation in it (h = 0.005) errs by up to h^2 / 8 |U''|.
  for (int i = -255; i <= 255; ++i) {
    const double x = i * pair.dx;
    ASSERT_NEAR(pair.u[static_cast<size_t>(i + 512)], kink.At(x + 5) + kink.At(5 - x) - 1, 5e-6) << "x " << x;
  }
}

TEST(KinkChain, TheSameKinkOnTheSameGridWhateverTheInterval) {
  // N = 512 on [-20, 20] and N = 1024 on [-40, 40] share dx = 0.078 and every point of the
  // smaller grid: a moving kink-antikink pair composes the same there, for every kind, to the
  // tables' interpolation error (h = 0.01 and 0.02: up to 2e-5 in u, and that over dt = 0.064
  // in the backward difference of d_t u).
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    const std::vector<std::pair<double, double>> pair = {{-7.3, 0.4}, {6.1, -0.2}};
    const Chain a = ComposeChain(kind, 20, 512, pair), b = ComposeChain(kind, 40, 1024, pair);
    for (size_t k = 0; k < a.u.size(); ++k) {
      ASSERT_NEAR(a.u[k], b.u[k + 256], 1e-4) << "kind " << kind << " k " << k;
      ASSERT_NEAR(a.ut[k], b.ut[k + 256], 5e-4) << "kind " << kind << " k " << k;
    }
  }
}

TEST(KinkChain, AboveTheWindowsGridsTheKinksAreTheExactSeparatrix) {
  // N = 4096 on [-20, 20]: the static kink evaluated at every point. For kind 1 the boosted
  // pair is tanh(xi1 / sqrt 2) - tanh(xi2 / sqrt 2) - 1 exactly; the composition must not stand
  // between a fine grid and the continuum, so it agrees to 1e-8 at every point, at t = 0 and
  // t = -dt (the integration itself is good to about 1e-12).
  Potential pot;
  ApplyPotentialKind(pot, 1);
  ProfileState profile;
  profile.OduXMin = -20;
  SolveProfile(profile, pot, pot.ParamA, 20, nullptr);
  const StaticKink exact(pot, pot.ParamA);
  KinkList kinks = test::ApproachingPair(6.5, 0.3);
  const RotatorParams rot = test::NoRotator();
  const int n = 4096;
  InitRecords init(n / 2);
  EXPECT_EQ(ComposeOnGrid(20, n, ComposeInputs{kinks, rot, profile, pot}, &exact, init), -1.0);
  const long double dx = 40.0L / n, dt = TimeStepFor(static_cast<double>(dx)), g = std::sqrt(1 - 0.09L);
  auto pair = [&](long double x, long double t) {
    return std::tanh((x + 6.5L - 0.3L * t) / (g * std::sqrt(2.0L))) -
           std::tanh((x - 6.5L + 0.3L * t) / (g * std::sqrt(2.0L))) - 1;
  };
  double worst = 0, worstBefore = 0;
  for (int i = -n / 2; i <= n / 2; ++i) {
    const long double x = i * dx;
    worst = std::max(worst, static_cast<double>(std::fabs(init[i].ReU - pair(x, 0))));
    // Level 0 as the run forms it from the backward difference.
    const long double before = static_cast<long double>(init[i].ReU) - static_cast<long double>(init[i].ReDtU) * dt;
    worstBefore = std::max(worstBefore, static_cast<double>(std::fabs(before - pair(x, -dt))));
  }
  EXPECT_LT(worst, 1e-8);
  EXPECT_LT(worstBefore, 1e-8);
}

TEST(KinkProfileAt, InterpolatesTheTableMappedOntoTheInterval) {
  ProfileState ramp;
  for (int k = 0; k <= 4100; ++k) ramp.ProfileTable[k] = k;  // a table whose value is its index
  const double L = 8.0078125, h = 2 * L / 4100;                // h = 1/256, exact
  EXPECT_EQ(KinkProfileAt(ramp, L, 0.0), 2050.0);
  EXPECT_EQ(KinkProfileAt(ramp, L, 0.25 * h), 2050.25);
  EXPECT_EQ(KinkProfileAt(ramp, L, -L + 1.5 * h), 1.5);
  EXPECT_EQ(KinkProfileAt(ramp, L, -L + h), 1.0);
  EXPECT_EQ(KinkProfileAt(ramp, L, -L + 0.75 * h), -1.0);  // first cell: the left vacuum
  EXPECT_EQ(KinkProfileAt(ramp, L, -L), -1.0);
  EXPECT_EQ(KinkProfileAt(ramp, L, -1e300), -1.0);
  EXPECT_EQ(KinkProfileAt(ramp, L, L - 0.5 * h), 4099.5);
  EXPECT_EQ(KinkProfileAt(ramp, L, L), 1.0);
  EXPECT_EQ(KinkProfileAt(ramp, L, 1e300), 1.0);
  // The same table read with another half-length is stretched onto that interval.
  EXPECT_EQ(KinkProfileAt(ramp, 2 * L, 2 * (-L + 1.5 * h)), 1.5);
}

TEST(SmoothWindow, FlatTopAndRaisedCosineFlanks) {
  EXPECT_EQ(SmoothWindow(-4, -1, 0.0, 1, 4), 1.0);
  EXPECT_EQ(SmoothWindow(-4, -1, -1.0, 1, 4), 1.0);
  EXPECT_EQ(SmoothWindow(-4, -1, 1.0, 1, 4), 1.0);
  EXPECT_EQ(SmoothWindow(-4, -1, -4.0, 1, 4), 0.0);
  EXPECT_EQ(SmoothWindow(-4, -1, 4.0, 1, 4), 0.0);
  EXPECT_EQ(SmoothWindow(-4, -1, 9.0, 1, 4), 0.0);
  EXPECT_NEAR(SmoothWindow(-4, -1, -2.5, 1, 4), 0.5, 1e-15);
  EXPECT_NEAR(SmoothWindow(-4, -1, 3.0, 1, 5), 0.5, 1e-15);  // flanks of their own widths
  EXPECT_NEAR(SmoothWindow(-4, -1, 2.0, 1, 6), (std::cos(kPi / 5) + 1) / 2, 1e-15);
}

TEST(SortSolitons, StableAscendingWithCompanions) {
  double keys[] = {0, 2, 1, 2, -4, 99};
  double vel[] = {0, 0.1, 0.2, 0.3, 0.4, 0.5};
  SortSolitons(4, keys, vel);
  const double sortedKeys[] = {0, -4, 1, 2, 2, 99};
  const double movedVel[] = {0, 0.4, 0.2, 0.1, 0.3, 0.5};
  for (int j = 0; j < 6; ++j) {
    EXPECT_EQ(keys[j], sortedKeys[j]) << j;
    EXPECT_EQ(vel[j], movedVel[j]) << j;
  }
}

}  // namespace
}  // namespace kl
