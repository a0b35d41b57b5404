#pragma once
// The picture of a sweep: the outcome of every run in the (v, k) plane, a scan per row.
//
// The plot is 600 x 500 pixels with the margins of the scan's map (84 left, 44 top, 70 below);
// right of it the labels of the marks, then the key. v runs to the right, k upward.
//
// Rows. The rows are taken in increasing k, the first at the bottom. A row spans in k from
// halfway to the row below to halfway to the row above; the first and the last reach as far
// beyond their own k as halfway to their one neighbour, so the k axis is linear over
// [k_first - h_first, k_last + h_last]; a single row fills the height, over k +- 0.5. Row
// boundaries are rounded to whole pixels, so the rows tile the plot without gaps or overlaps.
//
// Cells. Within a row a run's cell spans from halfway to its left neighbour's v to halfway to
// its right neighbour's; the first reaches the left end of the axis, the last its right end.
// The v axis covers [v0 - s/2, v1 + s/2], s the largest spacing of consecutive velocities in
// any row: the grid's spacing when the rows hold a grid and runs of its refinement, which
// only split grid spacings and so show as narrower cells. Without two velocities in any row
// s is v1 - v0, or 0.1 when v0 = v1. A row without runs (a k not run yet) is left in the
// "not run" grey of the scan's map, 205 205 205.
//
// Colours (colour-blind safe, after Okabe and Ito): none pale sand 238 228 200, capture
// near-black navy 25 25 70; escapes after 1 bounce sky blue 86 180 233, 2 orange 230 159 0,
// 3 bluish green 0 158 115, 4 reddish purple 204 121 167, 5 yellow 240 228 66, 6 or more
// blue 0 114 178.
//
// The critical velocity. A row with a bracket has a point at v = (vcLow + vcHigh) / 2 and its
// own k, marked by a 5 x 5 square; the points of neighbouring rows are joined by a line 2
// pixels wide, and a row without a bracket breaks it. Curve and markers are pure red, a colour
// no class has.
//
// Axes, key and marks. v ticks below and k ticks on the left, at 1, 2 or 5 times a power of
// ten and far enough apart that their labels do not touch; the title above. The key lists, in
// this order, the classes that occur (none, capture, 1 bounce, 2 bounces, ..., 6+ bounces),
// then "critical v" when the curve has a point and "not run" when a row has no runs. A mark
// is a short tick right of the plot at its k with its text beside it, drawn only when its k
// lies in the plotted range.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "study/refine.h"
#include "base/canvas.h"

namespace kl {

// One k of a sweep: its runs' classes in velocity order and the critical velocity's bracket.
struct SweepMapRow {
  double k = 0;
  std::vector<std::pair<double, RunClass>> runs;  // (v, class), increasing v
  std::optional<double> vcLow, vcHigh;            // the critical velocity's bracket, if any
};

// The colour of a class on the map (and its key): none, capture, escape after 1, 2, 3, ... bounces;
// escapes after kSweepMapMostBounces or more share one colour.
inline constexpr int kSweepMapMostBounces = 6;
Rgb SweepClassColour(const RunClass& c);

// The colour of the v_c(k) curve and its markers.
inline constexpr Rgb kSweepMapCurve{255, 0, 0};

// The outcome map of a sweep in the (v, k) plane: v to the right over [v0, v1], k upward over the rows'
// range; each run a cell coloured by its class; the v_c(k) curve over it; axes, a key of the classes
// and a title; `marks` are named values of k (e.g. {0.9, "kind 2"}) labelled on the right edge where
// they lie in the rows' range; `axis` names the vertical axis (a formula's parameter). The canvas is sized here. Without rows, or with v1 < v0, the plot is
// an empty frame under the title.
void PaintSweepMap(const std::vector<SweepMapRow>& rows, double v0, double v1, const std::string& title,
                   const std::vector<std::pair<double, std::string>>& marks, Canvas& canvas,
                   const std::string& axis = "k");

}  // namespace kl
