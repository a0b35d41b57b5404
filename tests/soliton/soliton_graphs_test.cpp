#include "soliton/soliton_graphs.h"
#include "app/superposition.h"

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

#include "initial/init_plots.h"
#include "initial/kink_entries.h"
#include "support/canvas_count.h"

namespace kl {
namespace {

using test::CountOf;

SolitonScales DefaultScales() {
  SolitonScales s;
  s.PotXMin = -2, s.PotXMax = 2, s.PotYMin = -1, s.PotYMax = 1;
  s.PhasXMin = -2, s.PhasXMax = 2, s.PhasYMin = -2, s.PhasYMax = 2;
  return s;
}

bool HasDotNear(const Canvas& c, int x, int y, Rgb colour) {
  for (int dy = -1; dy <= 0; ++dy)
    for (int dx = -1; dx <= 0; ++dx)
      if (c.Pixel(x + dx, y + dy) == colour) return true;
  return false;
}

TEST(PotentialGraph, KindOneTouchesTheAxisAtTheVacuaAndIsClampedBelow) {
  Potential pot;
  Canvas box(401, 201);
  const SolitonScales s = DefaultScales();
  DrawPotentialGraph(box, pot, 0, s);
  // P(+-1) = 0: dots on the horizontal centre line; P(0) = -0.25 a quarter of the way down.
  EXPECT_TRUE(HasDotNear(box, WorldToPixel(401, 1.0, -2, 2), 201 - WorldToPixel(201, 0, -1, 1), kRed));
  EXPECT_TRUE(HasDotNear(box, WorldToPixel(401, -1.0, -2, 2), 201 - WorldToPixel(201, 0, -1, 1), kRed));
  EXPECT_TRUE(HasDotNear(box, 200, 201 - WorldToPixel(201, -0.25, -1, 1), kRed));
  // Beyond |U| = sqrt(3), P < -1 is clamped to the frame's bottom: the dots sit on row H - 1.
  EXPECT_EQ(box.Pixel(5, 200), kRed);
  EXPECT_EQ(box.Pixel(395, 200), kRed);
  // Nothing above the axis: P <= 0 everywhere.
  for (int y = 0; y < 99; ++y)
    for (int x = 1; x < 400; ++x) ASSERT_NE(box.Pixel(x, y), kRed) << x << "," << y;
  EXPECT_EQ(box.Pixel(200, 50), kBlack);  // the vertical axis
}

TEST(PhasePlane, TheCurvePassesSqrtHalfAtTheCentreAndMissesTheVacua) {
  Potential pot;
  Canvas box(400, 400);
  const SolitonScales s = DefaultScales();
  DrawPhasePlane(box, pot, 0, s);
  const int r = WorldToPixel(400, std::sqrt(0.5), -2, 2);
  EXPECT_TRUE(HasDotNear(box, 200, r, kGreen));
  EXPECT_TRUE(HasDotNear(box, 200, 400 - r, kGreen));
  // Marks beyond the frame collapse onto the border lines: green on the edges.
  int edge = 0;
  for (int y = 0; y < 400; ++y) edge += box.Pixel(399, y) == kGreen;
  EXPECT_GT(edge, 0);
  EXPECT_GT(CountOf(box, kGreen), 1000);
}

TEST(Superposition, OneKinkAtRestRedrawsTheProfileWithThickLinesToTheEdges) {
  auto p = std::make_unique<Program>();
  p->sim.HalfInterval = 10;
  p->profile.OduXMin = -10;
  SolveProfile(p->profile, p->pot, 0, 10, nullptr);
  p->kinks.SolitonCount = 1;
  Canvas box(300, 150);
  DrawSuperposition(box, *p);
  // Sampled at every second table point: SectionU[i] is table point 2 (i + 1025).
  for (int i = -1025 + 205; i <= 1025 - 205; i += 205)
    EXPECT_DOUBLE_EQ(p->sim.stores.SectionU()[i], p->profile.ProfileTable[2 * (i + 1025)]) << i;
  // The lookup takes the interval's ends as the vacua.
  EXPECT_EQ(p->sim.stores.SectionU()[-1025], -1.0);
  EXPECT_EQ(p->sim.stores.SectionU()[1025], 1.0);
  // The right end is +1 at x = 10 + ...: a thick blue line from there to the right edge.
  const PlotFrame f{-10, 10, -1.5, 1.5};
  const int top = FrameRow(box, f, 1.0);
  EXPECT_EQ(box.Pixel(299, top), kBlue);
  EXPECT_EQ(box.Pixel(0, FrameRow(box, f, -1.0)), kBlue);
}

TEST(InitPlots, RangesComeFromBothComponentsWithAFloor) {
  InitValues init{};
  init[-3].ReU = -0.6;
  init[2].ImU = 0.8;
  init[7].ReU = 5.0;  // outside the range asked for
  EXPECT_EQ(MaxAbsInit(init, -4, 4, 1), 0.6);
  EXPECT_EQ(MaxAbsInit(init, 4, -4, 1), 0.0);
  InitFrames frames{};
  SetInitFrames(frames, init, 4);
  EXPECT_DOUBLE_EQ(frames[0].yMax, 1.0);  // sqrt(0.6^2 + 0.8^2), maxima at different points
  EXPECT_EQ(frames[2].yMin, -frames[0].yMax);
  EXPECT_EQ(frames[3].yMax, 0.01);  // d_t u is zero
}

TEST(InitPlots, EachColumnIsErasedBeforeItsDotAndTheAxisComesLast) {
  InitValues init{};
  for (int i = -4; i <= 4; ++i) init[i].ReU = i / 4.0;
  Canvas box(80, 41);
  box.SetPenColor(kRed);
  box.SetBrushColor(kRed);
  box.Rectangle(0, 0, 80, 41);  // an old picture
  PlotInitColumn(box, PlotFrame{0, 0, -1, 1}, init, 0.5, -4, 4, 1);
  EXPECT_EQ(box.Pixel(0, 40), kBlue);   // u = -1 at the left: bottom row
  EXPECT_EQ(box.Pixel(79, 0), kBlue);   // u = +1 at the right: top row
  EXPECT_EQ(box.Pixel(10, 20), kBlack); // the zero axis, row round(41 / 2) = 20
  EXPECT_EQ(box.Pixel(9, 5), kWhite);   // an erased column
  EXPECT_EQ(box.Pixel(75, 0), kRed);    // the border rows are not erased
}

TEST(KinkEntries, TextsAsTypedParseBack) {
  EXPECT_EQ(SolitonEntryText("+0.5", "  -3"), "v=+0.5, c=  -3");
  double v = 9, c = 9;
  ASSERT_TRUE(ParseSolitonEntry("v=+0.5, c=  -3", v, c));
  EXPECT_EQ(v, 0.5);
  EXPECT_EQ(c, -3.0);
  ASSERT_TRUE(ParseSolitonEntry("v= 0.10, c= 4.00", v, c));
  EXPECT_EQ(c, 4.0);
  v = c = 9;
  EXPECT_FALSE(ParseSolitonEntry("v=0.5 c=3", v, c));
  EXPECT_FALSE(ParseSolitonEntry("v=x, c=3", v, c));
  EXPECT_EQ(v, 9.0);
}

}  // namespace
}  // namespace kl
