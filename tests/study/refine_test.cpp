#include "study/refine.h"

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace kl {
namespace {

const RunClass kCapture{RunClass::Capture, 0};
const RunClass kNone{RunClass::None, 0};
RunClass Escape(int bounces) { return RunClass{RunClass::Escape, bounces}; }

// A made-up collision: capture below 0.2, a two-bounce window [0.2, 0.21), capture up to
// 0.245, a narrow two-bounce window [0.245, 0.2475) that a grid of step 0.01 steps over, a
// three-bounce window [0.2475, 0.24755) nested at its upper edge, capture again up to 0.25,
// then escape after one bounce.
RunClass Classify(double v) {
  if (v < 0.2) return kCapture;
  if (v < 0.21) return Escape(2);
  if (v < 0.245) return kCapture;
  if (v < 0.2475) return Escape(2);
  if (v < 0.24755) return Escape(3);
  if (v < 0.25) return kCapture;
  return Escape(1);
}

std::vector<std::pair<double, RunClass>> Grid(double v0, double v1, double dv) {
  std::vector<std::pair<double, RunClass>> runs;
  for (int i = 0; v0 + i * dv <= v1 + 1e-12; ++i) {
    const double v = RoundToScanDigits(v0 + static_cast<long double>(i) * dv);
    runs.emplace_back(v, Classify(v));
  }
  return runs;
}

struct Counted {
  int evaluations = 0;
  std::vector<size_t> roundSizes;
  RoundRunner runner() {
    return [this](const std::vector<double>& velocities) {
      roundSizes.push_back(velocities.size());
      std::vector<std::optional<RunClass>> classes;
      for (double v : velocities) {
        ++evaluations;
        classes.push_back(Classify(v));
      }
      return classes;
    };
  }
};

TEST(Refine, FindsEveryEdgeTheGridBracketsToTheToleranceInLogarithmicallyManyRuns) {
  const double tol = 1e-5;
  const auto grid = Grid(0.18, 0.27, 0.01);
  const std::vector<ScanEdge> found = EdgesBetween(grid);
  ASSERT_EQ(found.size(), 3u);  // 0.19|0.2, 0.21|0.22 and 0.24|0.25
  Counted counted;
  const RefineResult r = RefineEdges(found, tol, counted.runner());
  EXPECT_FALSE(r.stopped);

  // Every true edge the grid bracketed, the nested windows found on the way included.
  const std::vector<std::pair<double, std::pair<RunClass, RunClass>>> truth = {
      {0.2, {kCapture, Escape(2)}},    {0.21, {Escape(2), kCapture}},  {0.245, {kCapture, Escape(2)}},
      {0.2475, {Escape(2), Escape(3)}}, {0.24755, {Escape(3), kCapture}}, {0.25, {kCapture, Escape(1)}}};
  ASSERT_EQ(r.edges.size(), truth.size());
  for (size_t k = 0; k < truth.size(); ++k) {
    const ScanEdge& e = r.edges[k];
    EXPECT_LT(e.vLow, truth[k].first) << k;
    EXPECT_GE(e.vHigh, truth[k].first) << k;
    EXPECT_LT(e.vHigh - e.vLow, tol) << k;
    EXPECT_EQ(e.low, truth[k].second.first) << k;
    EXPECT_EQ(e.high, truth[k].second.second) << k;
    EXPECT_EQ(Classify(e.vLow), e.low);
    EXPECT_EQ(Classify(e.vHigh), e.high);
  }
  // An edge 0.01 wide halves ten times to below 1e-5: 10 runs for 0.19|0.2 and for 0.21|0.22.
  // 0.24|0.25 meets the narrow window at its first midpoint, 0.245, and splits into
  // 0.24|0.245 (9 halvings) and 0.245|0.25, whose midpoint 0.2475 splits it into 0.245|0.2475
  // (8) and 0.2475|0.25, whose midpoint 0.24875 is a capture: two pieces of 7 each.
  EXPECT_EQ(counted.evaluations, 10 + 10 + 1 + 9 + 1 + 8 + 1 + 7 + 7);
  EXPECT_EQ(static_cast<int>(r.runs.size()), counted.evaluations);
  // All open edges of a round run together: as many rounds as the deepest edge needs.
  EXPECT_EQ(counted.roundSizes.front(), 3u);
  EXPECT_EQ(r.rounds, 10);
}

TEST(Refine, AMidpointOfAThirdClassSplitsThePairAndNoneIsAClassOfItsOwn) {
  Counted counted;
  // none below 0.3, capture on [0.3, 0.5), escape after one bounce above: the grid 0.2|0.6
  // sees none|escape1, the first midpoint 0.4 is a capture.
  auto classify = [](double v) { return v < 0.3 ? kNone : v < 0.5 ? kCapture : Escape(1); };
  const RoundRunner runner = [&](const std::vector<double>& vs) {
    std::vector<std::optional<RunClass>> c;
    for (double v : vs) c.push_back(classify(v)), ++counted.evaluations;
    return c;
  };
  const RefineResult r = RefineEdges({ScanEdge{0.2, 0.6, kNone, Escape(1)}}, 0.01, runner);
  ASSERT_EQ(r.edges.size(), 2u);
  EXPECT_EQ(r.edges[0].low, kNone);
  EXPECT_EQ(r.edges[0].high, kCapture);
  EXPECT_NEAR(r.edges[0].vHigh, 0.3, 0.01);
  EXPECT_EQ(r.edges[1].low, kCapture);
  EXPECT_EQ(r.edges[1].high, Escape(1));
  EXPECT_NEAR(r.edges[1].vLow, 0.5, 0.01);
  EXPECT_EQ(r.runs.front(), (std::pair<double, RunClass>{0.4, kCapture}));
}

TEST(Refine, StopsAtTheTwelfthDigitAndKeepsAnInterruptedEdgeAsNarrowedSoFar) {
  // A tolerance below the velocities' resolution ends when the midpoint rounds onto an end.
  Counted counted;
  const RefineResult fine = RefineEdges({ScanEdge{0.2, 0.21, kCapture, Escape(2)}}, 1e-14, counted.runner());
  ASSERT_EQ(fine.edges.size(), 1u);
  const double m = Midpoint(fine.edges[0].vLow, fine.edges[0].vHigh);
  EXPECT_TRUE(m == fine.edges[0].vLow || m == fine.edges[0].vHigh);
  EXPECT_LT(fine.edges[0].vHigh - fine.edges[0].vLow, 2e-12);
  EXPECT_LT(counted.evaluations, 40);

  // A round whose runs come back unfinished (a stop) ends the refinement there.
  int rounds = 0;
  const RoundRunner stopping = [&](const std::vector<double>& vs) {
    std::vector<std::optional<RunClass>> c(vs.size());
    if (++rounds < 3)
      for (size_t k = 0; k < vs.size(); ++k) c[k] = Classify(vs[k]);
    return c;
  };
  const RefineResult stopped = RefineEdges({ScanEdge{0.19, 0.2, kCapture, Escape(2)}}, 1e-5, stopping);
  EXPECT_TRUE(stopped.stopped);
  ASSERT_EQ(stopped.edges.size(), 1u);
  EXPECT_NEAR(stopped.edges[0].vHigh - stopped.edges[0].vLow, 0.0025, 1e-12);  // two halvings done
  EXPECT_EQ(stopped.runs.size(), 2u);
}

TEST(Refine, ClassNamesAndTheCriticalVelocity) {
  for (const RunClass& c : {kCapture, kNone, Escape(1), Escape(12)})
    EXPECT_EQ(ParseRunClass(RunClassName(c)), c) << RunClassName(c);
  EXPECT_EQ(RunClassName(Escape(2)), "escape2");
  for (const char* bad : {"escape", "escape0", "escape-1", "escape01", "Capture", "escape1x", ""})
    EXPECT_FALSE(ParseRunClass(bad)) << bad;

  const auto grid = Grid(0.18, 0.27, 0.01);
  const std::optional<ScanEdge> critical = CriticalEdge(grid);
  ASSERT_TRUE(critical);
  EXPECT_EQ(critical->vLow, 0.24);
  EXPECT_EQ(critical->vHigh, 0.25);
  EXPECT_FALSE(CriticalEdge(Grid(0.18, 0.23, 0.01)));  // the fastest runs are captured
  EXPECT_FALSE(CriticalEdge(Grid(0.25, 0.3, 0.01)));   // every run escapes after one bounce
}

}  // namespace
}  // namespace kl
