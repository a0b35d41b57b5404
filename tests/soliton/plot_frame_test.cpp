// World-to-pixel mapping, the shared drawing conventions and the canvas rules under them.
#include "soliton/plot_frame.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <vector>

#include "base/canvas.h"
#include "support/canvas_count.h"

namespace kl {
namespace {

using test::CountOf;

TEST(WorldToPixel, MapsFrameEdgesAndRoundsHalvesToEven) {
  EXPECT_EQ(WorldToPixel(400, 0.0, -2, 2), 200);
  EXPECT_EQ(WorldToPixel(400, -2.0, -2, 2), 0);
  EXPECT_EQ(WorldToPixel(400, 2.0, -2, 2), 400);
  EXPECT_EQ(WorldToPixel(5, 0.5, 0, 1), 2);   // 2.5
  EXPECT_EQ(WorldToPixel(7, 0.5, 0, 1), 4);   // 3.5
  EXPECT_EQ(WorldToPixel(5, -0.5, 0, 1), -2);  // -2.5
  EXPECT_EQ(WorldToPixel(9, 0.5, 0, 1), 4);   // 4.5
  EXPECT_EQ(WorldToPixel(100, 3.0, 0, 1), 300);  // outside the frame: outside the box
  EXPECT_EQ(WorldToPixel(100, 0.25, 1, 0), 75);  // a reversed frame mirrors
  // Rows grow downward: y = yMax is row 0.
  const Canvas c(300, 150);
  const PlotFrame f{-10, 10, -1.5, 1.5};
  EXPECT_EQ(FrameRow(c, f, 1.5), 0);
  EXPECT_EQ(FrameRow(c, f, -1.5), 150);
  EXPECT_EQ(FrameRow(c, f, 1.0), 25);
  EXPECT_EQ(FrameColumn(c, f, 5.0), 225);
}

TEST(WorldToPixel, GuardsDegenerateFramesAndFarValues) {
  EXPECT_EQ(WorldToPixel(400, 1.0, 3, 3), 0);
  EXPECT_EQ(WorldToPixel(400, 3.0, 3, 3), 0);
  EXPECT_EQ(WorldToPixel(400, 1e300, 0, 1), kPixelLimit);
  EXPECT_EQ(WorldToPixel(400, -1e300, 0, 1), -kPixelLimit);
  EXPECT_EQ(WorldToPixel(400, 1.0, 0, 1e-300), kPixelLimit);
  EXPECT_EQ(WorldToPixel(400, std::numeric_limits<double>::quiet_NaN(), 0, 1), 0);
  EXPECT_EQ(WorldToPixel(400, std::numeric_limits<double>::infinity(), 0, 1), kPixelLimit);
}

TEST(PixelMap, OneByOneAndManyAtOnceGiveWorldToPixelsPixel) {
  std::mt19937_64 random(11);
  std::uniform_real_distribution<double> uniform(-1, 1);
  const double inf = std::numeric_limits<double>::infinity(), nan = std::numeric_limits<double>::quiet_NaN();
  std::vector<PlotFrame> frames{{-20, 20, -1.5, 1.5}, {0, 1, 1, 0}, {-550, -542, 3, 3}, {-1e-300, 1e-300, 0, 0},
                                {-1e300, 1e300, 0, 0}, {2, 2, 0, 0}, {-inf, 1, 0, 0}, {0, nan, 0, 0}};
  for (int f = 0; f < 40; ++f) {
    const double lo = uniform(random) * std::pow(10.0, f % 7 - 3);
    frames.push_back({lo, lo + std::fabs(uniform(random)) * std::pow(10.0, f % 5 - 2) + 1e-9, 0, 0});
  }
  int halves = 0;
  for (const PlotFrame& frame : frames) {
    for (int extent : {0, 1, 300, 901, -40}) {
      const PixelMap map(extent, frame.xMin, frame.xMax);
      std::vector<double> values{0.0, -0.0, frame.xMin, frame.xMax, inf, -inf, nan, 1e300, -1e300, 5e-324};
      for (int j = 0; j < 300; ++j) values.push_back(frame.xMin + (frame.xMax - frame.xMin) * 1.5 * uniform(random));
      // Values landing on a half pixel in exact arithmetic, and their neighbours: where a
      // quick mapping would round the other way than the extended one.
      for (int k = -3; k <= std::abs(extent) + 3; k += std::max(1, std::abs(extent) / 37)) {
        if (extent == 0) break;
        const double v = static_cast<double>(frame.xMin + (k + 0.5L) / extent * (static_cast<long double>(frame.xMax) - frame.xMin));
        for (double w : {std::nextafter(v, -inf), v, std::nextafter(v, inf)}) values.push_back(w);
      }
      std::vector<int> many(values.size());
      map.Many(static_cast<int>(values.size()), [&](int j) { return values[j]; }, many.data());
      for (size_t j = 0; j < values.size(); ++j)
        ASSERT_EQ(many[j], WorldToPixel(extent, values[j], frame.xMin, frame.xMax)) << "v=" << values[j];
      for (double v : values) {
        ASSERT_EQ(map(v), WorldToPixel(extent, v, frame.xMin, frame.xMax))
            << "v=" << v << " extent " << extent << " frame " << frame.xMin << " .. " << frame.xMax;
        const long double q = (static_cast<long double>(v) - frame.xMin) * extent / (static_cast<long double>(frame.xMax) - frame.xMin);
        halves += std::fabs(std::fabs(q - std::nearbyint(q)) - 0.5L) < 1e-12L;
      }
    }
  }
  EXPECT_GT(halves, 1000);  // the hard cases were really met
}

TEST(PixelToWorld, EndsAreExactAndPixelsRoundTrip) {
  for (const PlotFrame& f : {PlotFrame{-2, 2, 0, 0}, PlotFrame{-3.7, 12.9, 0, 0}, PlotFrame{0.1, 0.3, 0, 0}}) {
    for (int w : {1, 400, 517}) {
      EXPECT_EQ(PixelToWorld(0, w, f.xMin, f.xMax), f.xMin);
      EXPECT_EQ(PixelToWorld(w, w, f.xMin, f.xMax), f.xMax);
      for (int p = 0; p <= w; ++p)
        ASSERT_EQ(WorldToPixel(w, PixelToWorld(p, w, f.xMin, f.xMax), f.xMin, f.xMax), p)
            << "pixel " << p << " of " << w;
    }
  }
  EXPECT_EQ(PixelToWorld(200, 400, -2, 2), 0.0);
  EXPECT_EQ(PixelToWorld(100, 400, -2, 2), -1.0);
  EXPECT_EQ(PixelToWorld(500, 400, -2, 2), 3.0);  // beyond the box: beyond the frame
}

TEST(RangeHelpers, MaxMinAndMaxAbs) {
  // An offset array over -3 .. 3, as the field arrays are indexed.
  std::vector<double> store = {4, -2e10, 7, 7, -1, 0, 2};
  const double* v = store.data() + 3;
  EXPECT_EQ(MaxOfRange(v, -3, 3, -3, 3), 7);
  EXPECT_EQ(MinOfRange(v, -3, 3, -3, 3), -2e10);
  EXPECT_EQ(MaxOfRange(v, -3, 3, 1, 3), 2);
  EXPECT_EQ(MinOfRange(v, -3, 3, -3, -3), 4);
  EXPECT_EQ(MaxOfRange(v, -3, 3, 2, 1), -1.0e10);  // empty range
  EXPECT_EQ(MinOfRange(v, -3, 3, 2, 1), 1.0e10);
  std::vector<double> low = {-3e10, -5e10};
  EXPECT_EQ(MaxOfRange(low.data(), 0, 1, 0, 1), -1.0e10);
  std::vector<double> high = {3e10, 5e10};
  EXPECT_EQ(MinOfRange(high.data(), 0, 1, 0, 1), 1.0e10);
  EXPECT_EQ(MaxAbs2(-3, 2), 3);
  EXPECT_EQ(MaxAbs2(2, -3), 3);
  EXPECT_EQ(MaxAbs2(-2, 2), 2);
}

TEST(CanvasRules, RectangleCoversLeftAndTopEdgesOnly) {
  Canvas c(20, 20);
  c.SetPenColor(kBlack);
  c.SetBrushColor(kRed);
  c.Rectangle(8, 10, 2, 3);  // corners in either order: columns 2..7, rows 3..9
  for (int y = 0; y < 20; ++y)
    for (int x = 0; x < 20; ++x) {
      const bool inside = x >= 2 && x <= 7 && y >= 3 && y <= 9;
      const bool outline = inside && (x == 2 || x == 7 || y == 3 || y == 9);
      ASSERT_EQ(c.Pixel(x, y), outline ? kBlack : inside ? kRed : kWhite) << x << "," << y;
    }
  c.Rectangle(-5, -5, 1, 1);  // only its covered corner pixel (0, 0) is on the canvas
  EXPECT_EQ(c.Pixel(0, 0), kBlack);
  EXPECT_EQ(c.Pixel(1, 0), kWhite);
  EXPECT_EQ(c.Pixel(0, 1), kWhite);
}

TEST(CanvasRules, LineIncludesStartAndExcludesEnd) {
  Canvas c(12, 12);
  c.SetPenColor(kBlue);
  c.MoveTo(1, 2);
  c.LineTo(6, 2);
  for (int x = 1; x <= 5; ++x) EXPECT_EQ(c.Pixel(x, 2), kBlue) << x;
  EXPECT_EQ(c.Pixel(6, 2), kWhite);
  EXPECT_EQ(c.Pixel(0, 2), kWhite);
  c.LineTo(6, 5);  // continues from the previous end, which it now includes
  EXPECT_EQ(c.Pixel(6, 2), kBlue);
  EXPECT_EQ(c.Pixel(6, 4), kBlue);
  EXPECT_EQ(c.Pixel(6, 5), kWhite);
  EXPECT_EQ(CountOf(c, kBlue), 8);
  c.LineTo(3, 5);  // backwards along a row: from the start down to the end, which it leaves out
  c.LineTo(3, 3);  // and up a column
  for (int x = 4; x <= 6; ++x) EXPECT_EQ(c.Pixel(x, 5), kBlue) << x;
  EXPECT_EQ(c.Pixel(3, 5), kBlue);
  EXPECT_EQ(c.Pixel(3, 4), kBlue);
  EXPECT_EQ(c.Pixel(3, 3), kWhite);
  EXPECT_EQ(CountOf(c, kBlue), 13);
  c.SetPenWidth(2);  // a wide pen: each pixel of the walk becomes a 2 x 2 square
  c.MoveTo(8, 8);
  c.LineTo(10, 8);
  EXPECT_EQ(CountOf(c, kBlue), 13 + 6);
  EXPECT_EQ(c.Pixel(10, 9), kBlue);

  Canvas d(12, 12);
  d.SetPenColor(kRed);
  d.MoveTo(0, 0);
  d.LineTo(5, 5);
  for (int k = 0; k <= 4; ++k) EXPECT_EQ(d.Pixel(k, k), kRed) << k;
  EXPECT_EQ(d.Pixel(5, 5), kWhite);
  EXPECT_EQ(CountOf(d, kRed), 5);
  d.MoveTo(9, 9);
  d.LineTo(9, 9);  // a line of no length draws nothing
  EXPECT_EQ(d.Pixel(9, 9), kWhite);
}

TEST(CanvasRules, FarLinesStillCrossTheBox) {
  Canvas c(30, 20);
  c.SetPenColor(kBlack);
  c.MoveTo(-kPixelLimit, 10);
  c.LineTo(kPixelLimit, 10);
  for (int x = 0; x < 30; ++x) EXPECT_EQ(c.Pixel(x, 10), kBlack) << x;
  c.MoveTo(7, kPixelLimit);
  c.LineTo(7, -kPixelLimit);
  for (int y = 0; y < 20; ++y) EXPECT_EQ(c.Pixel(7, y), kBlack) << y;
  EXPECT_EQ(CountOf(c, kBlack), 30 + 19);
}

TEST(DrawingConventions, ClearPlotDotAndAxes) {
  Canvas c(401, 301);
  c.SetPenColor(kRed);
  c.SetBrushColor(kRed);
  c.Rectangle(0, 0, 401, 301);
  ClearPlot(c);
  EXPECT_EQ(c.Pixel(0, 0), kBlack);
  EXPECT_EQ(c.Pixel(400, 150), kBlack);
  EXPECT_EQ(c.Pixel(200, 300), kBlack);
  EXPECT_EQ(c.Pixel(0, 300), kBlack);
  EXPECT_EQ(CountOf(c, kBlack), 2 * 401 + 2 * 299);
  EXPECT_EQ(CountOf(c, kWhite), 399 * 299);

  DrawDot(c, 10, 20, kGreen);
  EXPECT_EQ(c.Pixel(9, 19), kGreen);
  EXPECT_EQ(c.Pixel(10, 19), kGreen);
  EXPECT_EQ(c.Pixel(9, 20), kGreen);
  EXPECT_EQ(c.Pixel(10, 20), kGreen);
  EXPECT_EQ(CountOf(c, kGreen), 4);
  DrawDot(c, 0, 0, kGreen);  // partly outside: only (0, 0) shows
  EXPECT_EQ(CountOf(c, kGreen), 5);

  Canvas axes(401, 301);
  DrawAxes(axes);  // odd sizes: W div 2 = 200 lies left of the true centre
  for (int y = 0; y < 301; ++y) ASSERT_EQ(axes.Pixel(200, y), kBlack) << y;
  for (int x = 0; x < 401; ++x) ASSERT_EQ(axes.Pixel(x, 150), kBlack) << x;
  EXPECT_EQ(CountOf(axes, kBlack), 401 + 301 - 1);
}

}  // namespace
}  // namespace kl
