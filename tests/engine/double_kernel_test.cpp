// The vectorised double loop computes the scalar kernel's formulas in the same order: the same
// bits point for point (the new values, the densities and W), on SSE2, AVX2 and AVX-512, and
// the same lane sums and largest density.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "engine/step_kernel.h"

namespace kl {
namespace {

bool SameBits(double a, double b) { return std::memcmp(&a, &b, sizeof a) == 0; }

// Two levels of `count` points (plus a neighbour on each side) around the values a run meets:
// both vacua, the kink's core, overshoots, and U = 0.3 exactly, where the modulation's argument
// is a signed zero and the library is not called for that element.
struct Levels {
  std::vector<FieldPoint> prev, cur;
  explicit Levels(int count, unsigned seed) : prev(count + 2), cur(count + 2) {
    std::mt19937_64 random(seed);
    std::uniform_real_distribution<double> value(-1.6, 1.6);
    std::uniform_int_distribution<int> pick(0, 9);
    for (int i = 0; i < count + 2; ++i) {
      double u = value(random);
      switch (pick(random)) {
        case 0: u = -1.0; break;
        case 1: u = 1.0; break;
        case 2: u = 0.3; break;
        case 3: u = -1.0 + 1e-9 * value(random); break;
        default: break;
      }
      cur[i].re = u;
      prev[i].re = pick(random) == 0 ? u : u + 0.01 * value(random);
    }
  }
};

StepConstants<double> Constants(int kind) {
  SimState sim;
  sim.HalfInterval = 10;
  SetGrid(sim, 1024);
  Potential pot;
  ApplyPotentialKind(pot, kind);
  return MakeConstants<double>(sim, pot);
}

void ExpectLoopMatchesScalarKernel(DoubleGroupsLoop loop, const char* name) {
  constexpr int kGroups = 501;  // odd: AVX-512 takes the last group four points wide
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    const StepConstants<double> K = Constants(kind);
    const Levels in(4 * kGroups, 1000u + static_cast<unsigned>(kind));
    std::vector<FieldPoint> next(4 * kGroups + 2, FieldPoint{7, 7, 7});
    std::vector<double> density(4 * kGroups + 2, 7), w(4 * kGroups + 2, 7);
    // Index 1 is lane 0 here: the loop does not care where the store's lanes begin.
    double lanes[kEnergyLanes] = {0.5, 0, 0.25, 0};
    double densityMax = -std::numeric_limits<double>::infinity();
    loop(K, DoubleGroups{in.prev.data(), in.cur.data(), next.data(), density.data(), 1, kGroups, w.data()}, lanes,
         densityMax);

    double expectedLanes[kEnergyLanes] = {0.5, 0, 0.25, 0};
    double expectedMax = -std::numeric_limits<double>::infinity();
    for (int i = 1; i <= 4 * kGroups; ++i) {
      const PointUpdate p = UpdatePoint<double>(K, in.cur[i - 1].re, in.cur[i].re, in.cur[i + 1].re, in.prev[i].re);
      ASSERT_TRUE(SameBits(next[i].re, p.next)) << name << " kind " << kind << " i " << i << ": "
                                               << next[i].re << " vs " << p.next;
      ASSERT_TRUE(SameBits(next[i].r, p.r)) << name << " kind " << kind << " i " << i;
      ASSERT_TRUE(SameBits(density[i], p.r)) << name << " kind " << kind << " i " << i;
      ASSERT_TRUE(SameBits(w[i], p.W)) << name << " kind " << kind << " i " << i;
      ASSERT_EQ(next[i].im, 7) << "Im u is not written";
      expectedLanes[(i - 1) % 4] += p.r;
      if (p.r > expectedMax) expectedMax = p.r;
    }
    EXPECT_EQ(next[0].re, 7);  // nothing outside the groups
    EXPECT_EQ(next[4 * kGroups + 1].re, 7);
    EXPECT_EQ(density[4 * kGroups + 1], 7);
    for (int j = 0; j < kEnergyLanes; ++j) EXPECT_TRUE(SameBits(lanes[j], expectedLanes[j])) << name << " lane " << j;
    EXPECT_EQ(densityMax, expectedMax) << name;
  }
}

TEST(DoubleKernel, TheSse2LoopGivesTheScalarKernelsBits) {
  ExpectLoopMatchesScalarKernel(UpdateDoubleGroupsSse2, "SSE2");
}

TEST(DoubleKernel, TheAvx2LoopGivesTheScalarKernelsBits) {
  if (!CpuHasAvx2()) GTEST_SKIP() << "this processor has no AVX2";
  ExpectLoopMatchesScalarKernel(UpdateDoubleGroupsAvx2, "AVX2");
  if (!CpuHasAvx512()) EXPECT_EQ(DoubleGroupsForThisCpu(), &UpdateDoubleGroupsAvx2);
}

TEST(DoubleKernel, TheAvx512LoopGivesTheScalarKernelsBits) {
  if (!CpuHasAvx512()) GTEST_SKIP() << "this processor has no AVX-512";
  ExpectLoopMatchesScalarKernel(UpdateDoubleGroupsAvx512, "AVX-512");
  if (!std::getenv("KINKLAB_VECTORS")) {
    EXPECT_EQ(DoubleGroupsForThisCpu(0.9), &UpdateDoubleGroupsAvx512);
    EXPECT_EQ(DoubleGroupsForThisCpu(0), &UpdateDoubleGroupsAvx2);  // no sine: bound by memory
  }
}

// The loops of values alone (a scan's runs) give NextValue's bits at every width.
TEST(DoubleKernel, TheValuesLoopsGiveTheScalarKernelsBits) {
  constexpr int kGroups = 501;
  std::vector<std::pair<DoubleValuesLoop, const char*>> loops = {{UpdateDoubleValuesSse2, "SSE2"}};
  if (CpuHasAvx2()) loops.emplace_back(UpdateDoubleValuesAvx2, "AVX2");
  if (CpuHasAvx512()) loops.emplace_back(UpdateDoubleValuesAvx512, "AVX-512");
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    const StepConstants<double> K = Constants(kind);
    const Levels in(4 * kGroups, 2000u + static_cast<unsigned>(kind));
    std::vector<double> prev, cur;
    for (const FieldPoint& p : in.prev) prev.push_back(p.re);
    for (const FieldPoint& p : in.cur) cur.push_back(p.re);
    for (const auto& [loop, name] : loops) {
      std::vector<double> next(cur.size(), 7);
      loop(K, DoubleValueGroups{prev.data(), cur.data(), next.data(), 1, kGroups});
      for (int i = 1; i <= 4 * kGroups; ++i)
        ASSERT_TRUE(SameBits(next[i], NextValue<double>(K, cur[i - 1], cur[i], cur[i + 1], prev[i])))
            << name << " kind " << kind << " i " << i;
      EXPECT_EQ(next[4 * kGroups + 1], 7) << name;
    }
  }
}

TEST(DoubleKernel, ScalarDoubleStaysCloseToExtended) {
  // The same point in both precisions: the rounding of the intermediates alone differs.
  for (int kind = kMinKind; kind <= kMaxKind; ++kind) {
    const StepConstants<double> D = Constants(kind);
    SimState sim;
    sim.HalfInterval = 10;
    SetGrid(sim, 1024);
    Potential pot;
    ApplyPotentialKind(pot, kind);
    const StepConstants<long double> E = MakeConstants<long double>(sim, pot);
    const Levels in(400, 77u);
    for (int i = 1; i <= 400; ++i) {
      const double uL = in.cur[i - 1].re, u = in.cur[i].re, uR = in.cur[i + 1].re, uP = in.prev[i].re;
      const PointUpdate d = UpdatePoint<double>(D, uL, u, uR, uP);
      const PointUpdate e = UpdatePoint<long double>(E, uL, u, uR, uP);
      // A few units in the last place of values of order one.
      ASSERT_NEAR(d.next, e.next, 2e-15) << "kind " << kind << " u " << u;
      ASSERT_NEAR(d.r, e.r, 4e-15 * (1 + e.r)) << "kind " << kind << " u " << u;
    }
  }
}

}  // namespace
}  // namespace kl
