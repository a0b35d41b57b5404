#include "study/converge.h"

#include <gtest/gtest.h>

#include <vector>

namespace kl {
namespace {

const RunClass kCapture{RunClass::Capture, 0};
const RunClass kEscape1{RunClass::Escape, 1};
const RunClass kEscape2{RunClass::Escape, 2};

// A bracket 2^-19 wide around v: its middle is v exactly.
ScanEdge Edge(double v, RunClass low, RunClass high) {
  const double h = 0x1p-20;
  return ScanEdge{v - h, v + h, low, high};
}

// Made-up edges that lie at v(N) = v* + m * 3/4096 * (1024/N)^2. Every value is a short
// binary fraction, and the extrapolation (v_f - v_c) * N_c^2 / (N_f^2 - N_c^2) multiplies by a
// power of two and divides a multiple of 3 by 3 * 2^k, so all of it is exact and compared with
// ==. N = 1024, 2048, 4096: v* + m * {3/4096, 3/16384, 3/65536}.
TEST(Converge, MatchesEachEdgeAcrossTheGridsAndExtrapolatesItToTheContinuum) {
  const double d1024 = 3.0 / 4096, d2048 = 3.0 / 16384, d4096 = 3.0 / 65536;
  struct True {
    double v;
    int m;
    RunClass low, high;
  };
  // Two capture|escape2 and two escape2|capture edges, and the critical edge.
  const std::vector<True> truth = {{0.1875, 1, kCapture, kEscape2},
                                   {0.1953125, -1, kEscape2, kCapture},
                                   {0.25, 2, kCapture, kEscape2},
                                   {0.265625, 1, kEscape2, kCapture},
                                   {0.75, 1, kCapture, kEscape1}};
  std::vector<std::vector<ScanEdge>> lists(3);
  for (const True& t : truth) {
    lists[0].push_back(Edge(t.v + t.m * d1024 + (t.v == 0.265625 ? 3.0 / 1024 : 0.0), t.low, t.high));
    lists[1].push_back(Edge(t.v + t.m * d2048, t.low, t.high));
    lists[2].push_back(Edge(t.v + t.m * d4096, t.low, t.high));
  }
  // A narrow escape2 window that only the finest grid finds, just below 0.25: its
  // capture|escape2 edge lies within the window of 0.01 of the 0.25 edge on 2048 (0.0072 away)
  // and is the second of its class pair on 4096, as the 0.25 edge is on 2048 and 1024. It must
  // take none of the 0.25 edge's partners.
  lists[2].insert(lists[2].begin() + 2,
                  {Edge(0.2431640625, kCapture, kEscape2), Edge(0.244140625, kEscape2, kCapture)});

  const std::vector<int> grids = {1024, 2048, 4096};
  const std::vector<ConvergedEdge> rows = ConvergeEdges(grids, lists, 0.01);
  ASSERT_EQ(rows.size(), 7u);
  // Pure dx^2 errors: the extrapolation is v*, both pairs agree, the error is the last
  // correction m * 3/65536.
  EXPECT_EQ(rows[0].extrapolated, 0.1875);
  EXPECT_EQ(rows[0].error, 3.0 / 65536);
  EXPECT_EQ(rows[1].extrapolated, 0.1953125);
  EXPECT_EQ(rows[1].error, 3.0 / 65536);
  // The window's edges: found on 4096 only, neither extrapolated.
  EXPECT_FALSE(rows[2].extrapolated || rows[2].error || rows[3].extrapolated || rows[3].error);
  EXPECT_EQ(rows[4].extrapolated, 0.25);
  EXPECT_EQ(rows[4].error, 6.0 / 65536);
  // 0.265625 carries 3/1024 more at 1024: the check from 1024 and 2048 is lower by a third of
  // it, 1/1024, which exceeds the correction 3/65536 and becomes the error.
  EXPECT_EQ(rows[5].extrapolated, 0.265625);
  EXPECT_EQ(rows[5].error, 1.0 / 1024);

  EXPECT_EQ(ConvergedEdgesCsv(grids, rows),
            "class_low,class_high,v_1024,v_2048,v_4096,v_extrapolated,error\n"
            "capture,escape2,0.188232421875,0.18768310546875,0.1875457763671875,0.1875,4.57763671875e-05\n"
            "escape2,capture,0.194580078125,0.19512939453125,0.1952667236328125,0.1953125,4.57763671875e-05\n"
            "capture,escape2,,,0.2431640625,,\n"
            "escape2,capture,,,0.244140625,,\n"
            "capture,escape2,0.25146484375,0.2503662109375,0.250091552734375,0.25,9.1552734375e-05\n"
            "escape2,capture,0.269287109375,0.26580810546875,0.2656707763671875,0.265625,0.0009765625\n"
            "capture,escape1,0.750732421875,0.75018310546875,0.7500457763671875,0.75,4.57763671875e-05\n");
  EXPECT_EQ(CriticalConvergedEdge(rows), 6u);
  EXPECT_EQ(CriticalVelocityLine(rows), "critical velocity (extrapolated): 0.75 +- 4.6e-05");
}

TEST(Converge, LeavesWhatItCannotMatchOrExtrapolateEmpty) {
  // 2048 misses the critical edge and has a capture|escape2 edge 0.03125 away from the others,
  // beyond the window of 0.01: a row of its own. 1024 has a second capture|escape2 edge
  // 0.005859375 above the first, within the window but nearer to it than to the row: a row of
  // its own too. The other 1024 edges still find their 4096 rows.
  std::vector<int> grids = {1024, 2048, 4096};
  std::vector<ConvergedEdge> rows =
      ConvergeEdges(grids,
                    {{Edge(0.3125, kCapture, kEscape2), Edge(0.318359375, kCapture, kEscape2),
                      Edge(0.75, kCapture, kEscape1)},
                     {Edge(0.34375, kCapture, kEscape2)},
                     {Edge(0.3125, kCapture, kEscape2), Edge(0.75, kCapture, kEscape1)}},
                    0.01);
  EXPECT_EQ(ConvergedEdgesCsv(grids, rows),
            "class_low,class_high,v_1024,v_2048,v_4096,v_extrapolated,error\n"
            "capture,escape2,0.3125,,0.3125,,\n"
            "capture,escape2,0.318359375,,,,\n"
            "capture,escape2,,0.34375,,,\n"
            "capture,escape1,0.75,,0.75,,\n");
  EXPECT_EQ(CriticalConvergedEdge(rows), 3u);
  EXPECT_EQ(CriticalVelocityLine(rows), "critical velocity (extrapolated): none");

  // The same grid twice: nothing to extrapolate from.
  grids = {2048, 2048};
  rows = ConvergeEdges(grids, {{Edge(0.75, kCapture, kEscape1)}, {Edge(0.75, kCapture, kEscape1)}}, 0.01);
  EXPECT_EQ(ConvergedEdgesCsv(grids, rows),
            "class_low,class_high,v_2048,v_2048,v_extrapolated,error\n"
            "capture,escape1,0.75,0.75,,\n");
  EXPECT_EQ(CriticalVelocityLine(rows), "critical velocity (extrapolated): none");

  // The fastest runs escape after two bounces: no critical velocity, though an edge below
  // leads to escape1.
  grids = {2048, 4096};
  const std::vector<ScanEdge> both = {Edge(0.75, kCapture, kEscape1), Edge(0.8, kEscape1, kEscape2)};
  rows = ConvergeEdges(grids, {both, both}, 0.01);
  ASSERT_EQ(rows.size(), 2u);
  EXPECT_EQ(rows[0].extrapolated, 0.75);
  EXPECT_EQ(CriticalConvergedEdge(rows), std::nullopt);
  EXPECT_EQ(CriticalVelocityLine(rows), "critical velocity (extrapolated): none");
}

}  // namespace
}  // namespace kl
