#include "cli/sweep_map.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>
#include <string>
#include <vector>

#include "cli/map_axes.h"

namespace kl {
namespace {

const RunClass kNone{RunClass::None, 0}, kCapture{RunClass::Capture, 0};
RunClass Escape(int bounces) { return RunClass{RunClass::Escape, bounces}; }

// The plot's corners, read off the frame: its top edge is the black row just above the plot.
struct Plot {
  int x0 = map_axes::kLeft, y0 = map_axes::kTop, x1 = 0, y1 = map_axes::kTop + map_axes::kPlotHeight;
  explicit Plot(const Canvas& c) {
    for (x1 = x0; c.Pixel(x1, y0 - 1) == kBlack; ++x1) {}
    --x1;
  }
  // The pixel of (v, k) on axes over [vLow, vHigh] and [kLow, kHigh].
  int X(double v, double vLow, double vHigh) const {
    return x0 + static_cast<int>((v - vLow) / (vHigh - vLow) * (x1 - x0));
  }
  int Y(double k, double kLow, double kHigh) const {
    return y1 - 1 - static_cast<int>((k - kLow) / (kHigh - kLow) * (y1 - y0));
  }
};

std::vector<std::string> KeyColumn(const Canvas& c, const std::string& first) {
  int x = -1;
  std::vector<std::string> texts;
  for (const CanvasText& t : c.Texts())
    if (t.text == first) x = t.x;
  for (const CanvasText& t : c.Texts())
    if (t.x == x) texts.push_back(t.text);
  return texts;
}

TEST(SweepMap, RunsAreCellsOfTheirClassUnderTheCriticalCurveWithKeyAndMarks) {
  // Every class, the curve and "not run" have colours of their own.
  std::set<uint32_t> colours = {PackRgb(kSweepMapCurve), PackRgb(map_axes::kNotRun), PackRgb(kWhite),
                                PackRgb(kBlack)};
  for (const RunClass& c : {kNone, kCapture, Escape(1), Escape(2), Escape(3), Escape(4), Escape(5), Escape(6)})
    colours.insert(PackRgb(SweepClassColour(c)));
  EXPECT_EQ(colours.size(), 12u);
  EXPECT_EQ(SweepClassColour(Escape(9)), SweepClassColour(Escape(kSweepMapMostBounces)));

  // Rows k = 0, 0.5, 1 on the grid 0.1, 0.2, 0.3, the middle one refined at 0.25, the top one
  // without a bracket. The axes: v over [0.05, 0.35], k over [-0.25, 1.25].
  std::vector<SweepMapRow> rows(3);
  rows[0] = {0.0, {{0.1, kNone}, {0.2, kCapture}, {0.3, Escape(1)}}, 0.2, 0.3};
  rows[1] = {0.5, {{0.1, kCapture}, {0.2, Escape(2)}, {0.25, kCapture}, {0.3, Escape(1)}}, 0.25, 0.3};
  rows[2] = {1.0, {{0.1, Escape(3)}, {0.2, Escape(7)}, {0.3, Escape(1)}}, std::nullopt, std::nullopt};
  Canvas map;
  PaintSweepMap(rows, 0.1, 0.3, "sweep", {{0.9, "kind 2"}, {2.0, "far"}, {-0.3, "low"}}, map);
  const Plot p(map);
  ASSERT_EQ(p.x1 - p.x0, 600);
  auto x = [&](double v) { return p.X(v, 0.05, 0.35); };
  auto y = [&](double k) { return p.Y(k, -0.25, 1.25); };

  for (const SweepMapRow& row : rows) {
    for (size_t j = 0; j < row.runs.size(); ++j) {
      const double from = j == 0 ? 0.05 : (row.runs[j - 1].first + row.runs[j].first) / 2;
      const double to = j + 1 == row.runs.size() ? 0.35 : (row.runs[j].first + row.runs[j + 1].first) / 2;
      EXPECT_EQ(map.Pixel(x((from + to) / 2), y(row.k + 0.2)), SweepClassColour(row.runs[j].second))
          << row.k << " " << row.runs[j].first;
    }
  }
  // The cells tile the plot: no pixel is left as if not run.
  int gaps = 0;
  for (int py = p.y0; py < p.y1; ++py)
    for (int px = p.x0; px < p.x1; ++px) gaps += map.Pixel(px, py) == map_axes::kNotRun;
  EXPECT_EQ(gaps, 0);
  // The refined run's cell, (0.225, 0.275), is narrower than its neighbours': a row of the
  // middle row's upper half, which the curve does not reach.
  auto width = [&](double v) {
    const int at = y(0.7), mid = x(v);
    int left = mid, right = mid;
    while (map.Pixel(left - 1, at) == map.Pixel(mid, at)) --left;
    while (map.Pixel(right + 1, at) == map.Pixel(mid, at)) ++right;
    return right - left + 1;
  };
  EXPECT_NEAR(width(0.25), 100, 1);
  EXPECT_NEAR(width(0.1875), 150, 1);
  EXPECT_NEAR(width(0.3125), 150, 1);

  // The curve: points at v_c = 0.25 and 0.275 of the lower rows, a line between them, none above.
  EXPECT_EQ(map.Pixel(x(0.25), y(0.0)), kSweepMapCurve);
  EXPECT_EQ(map.Pixel(x(0.275), y(0.5)), kSweepMapCurve);
  int onBoundary = 0, above = 0;
  for (int px = p.x0; px < p.x1; ++px) {
    onBoundary += map.Pixel(px, y(0.25)) == kSweepMapCurve;
    for (int py = p.y0; py < y(0.5) - 3; ++py) above += map.Pixel(px, py) == kSweepMapCurve;
  }
  EXPECT_GE(onBoundary, 2);
  EXPECT_LE(onBoundary, 4);
  EXPECT_EQ(above, 0);

  // The key lists the classes that occur, in order; each square is its class's colour.
  const std::vector<std::string> key = KeyColumn(map, "none");
  EXPECT_EQ(key, (std::vector<std::string>{"none", "capture", "1 bounce", "2 bounces", "3 bounces", "6+ bounces",
                                          "critical v"}));
  for (const CanvasText& t : map.Texts()) {
    if (t.text == "3 bounces") {
      EXPECT_EQ(map.Pixel(t.x - 14, t.y + 7), SweepClassColour(Escape(3)));
    }
  }

  // Only the mark within k's range, beside its k on the right; the axes' labels and the title.
  std::set<std::string> texts;
  for (const CanvasText& t : map.Texts()) {
    texts.insert(t.text);
    if (t.text == "kind 2") {
      EXPECT_GT(t.x, p.x1);
      EXPECT_NEAR(t.y + 7, y(0.9), 2);
    }
  }
  for (const char* expected : {"kind 2", "sweep", "v", "k", "0.10", "0.35", "-0.2", "1.2"})
    EXPECT_TRUE(texts.count(expected)) << expected;
  EXPECT_FALSE(texts.count("far") || texts.count("low"));
}

TEST(SweepMap, ARowWithoutRunsIsNotRunAndNothingToShowIsAnEmptyFrame) {
  // k = 0.1 and 0.3 ran, 0.2 did not: its third of the plot is grey, the curve broken across it
  // into two lone points. The axes: v over [0, 0.4], k over [0.05, 0.35].
  std::vector<SweepMapRow> rows = {{0.1, {{0.1, kCapture}, {0.3, Escape(1)}}, 0.1, 0.3},
                                   {0.2, {}, std::nullopt, std::nullopt},
                                   {0.3, {{0.1, Escape(1)}, {0.3, Escape(1)}}, 0.1, 0.3}};
  Canvas map;
  PaintSweepMap(rows, 0.1, 0.3, "", {}, map);
  const Plot p(map);
  int notGrey = 0;
  for (int py = p.Y(0.25, 0.05, 0.35) + 1; py < p.Y(0.15, 0.05, 0.35); ++py)
    for (int px = p.x0; px < p.x1; ++px) notGrey += map.Pixel(px, py) != map_axes::kNotRun;
  EXPECT_EQ(notGrey, 0);
  EXPECT_EQ(map.Pixel(p.X(0.1, 0, 0.4), p.Y(0.3, 0.05, 0.35)), SweepClassColour(Escape(1)));
  EXPECT_EQ(map.Pixel(p.X(0.1, 0, 0.4), p.Y(0.1, 0.05, 0.35)), SweepClassColour(kCapture));
  for (double k : {0.1, 0.3}) EXPECT_EQ(map.Pixel(p.X(0.2, 0, 0.4), p.Y(k, 0.05, 0.35)), kSweepMapCurve) << k;
  EXPECT_EQ(KeyColumn(map, "capture"), (std::vector<std::string>{"capture", "1 bounce", "critical v", "not run"}));

  // No rows, or a range upside down: the frame and the title only.
  for (const bool none : {true, false}) {
    Canvas empty;
    PaintSweepMap(none ? std::vector<SweepMapRow>{} : rows, 0.3, none ? 0.4 : 0.1, "t", {{0.2, "m"}}, empty);
    const Plot q(empty);
    EXPECT_EQ(q.x1 - q.x0, 600);
    EXPECT_EQ(empty.Pixel(q.x0 - 1, q.y1), kBlack);
    ASSERT_EQ(empty.Texts().size(), 1u);
    EXPECT_EQ(empty.Texts()[0].text, "t");
  }
}

}  // namespace
}  // namespace kl
