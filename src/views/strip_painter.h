#pragma once
// The strips of a run redraw every point's two pixel columns at every step. Done literally
// that is two full-height columns per point; this painter gives the same pixels while writing
// only what changed, by remembering which pixels of each column it left non-white.
#include <climits>
#include <cstdint>
#include <vector>

#include "soliton/plot_frame.h"
#include "base/canvas.h"

namespace kl {

// Rows 1 .. H-2 of one column that may be non-white: a few single rows and one run. Holding
// more rows than are really inked is harmless, as a repaint whitens the whole column anyway.
struct ColumnInk {
  static constexpr int kRows = 4;
  bool known = false;  // false: nothing is known, the whole column may be inked
  bool drawnOver = false;  // something was drawn over the column since its dot
  int count = 0;
  int rows[kRows] = {};
  int lo = INT_MAX, hi = INT_MIN;  // the run lo .. hi, empty when lo > hi

  void Note(int row) {
    drawnOver = true;
    if (row >= lo && row <= hi) return;
    for (int k = 0; k < count; ++k)
      if (rows[k] == row) return;
    if (count < kRows) {
      rows[count++] = row;
    } else {
      lo = row < lo ? row : lo;
      hi = row > hi ? row : hi;
    }
  }
  void NoteRun(int from, int to) {
    if (from > to) return;
    drawnOver = true;
    lo = from < lo ? from : lo;
    hi = to > hi ? to : hi;
  }
};

struct StripMemory {
  uint64_t version = UINT64_MAX;  // the canvas's version after the last paint
  int width = -1, height = -1;
  uint32_t colour = 0;  // of the dots
  std::vector<ColumnInk> ink;  // a column each
  // The columns of the points, kept while the frame, the width and the grid stay, and for
  // each column the last of those points whose dot covers it.
  double xMin = 0, xMax = 0, dx = 0;
  int half = -1, columnsWidth = -1;
  std::vector<int> columns;
  std::vector<std::pair<int, int>> lastOfColumns;  // (column, point), by column
  std::vector<std::pair<int, int>> scratch;        // the same for points given from outside
  std::vector<int> lastPoint;                      // a column each, -1 where no point reaches
};

// The columns of the points i = -half .. half (index i + half) in the frame's x range.
const int* StripColumns(StripMemory& m, const Canvas& c, const PlotFrame& frame, double dx, int half);

// For the points in order, erases columns px-1 and px (rows 1 .. H-2) and draws the 2 x 2 dot
// at (px, py): the same pixels as doing it point by point.
void PaintColumnDots(Canvas& c, StripMemory& m, const int* px, const int* py, int count, Rgb colour);

// A rectangle outline drawn since, from (x1, y1) to (x2, y2): its pixels may be non-white.
void NoteOutline(StripMemory& m, const Canvas& c, int x1, int y1, int x2, int y2);
// The picture now is what the memory describes.
inline void Seal(StripMemory& m, const Canvas& c) { m.version = c.Version(); }

}  // namespace kl
