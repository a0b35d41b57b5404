#pragma once
// The strips of a run redraw every point's two pixel columns at every step. Done literally
// that is two full-height columns per point; this painter gives the same pixels while writing
// only what changed, by remembering which pixels of each column it left non-white.
#include <cstdint>
#include <vector>

#include "soliton/plot_frame.h"
#include "views/canvas.h"

namespace kl {

struct StripMemory {
  uint64_t version = UINT64_MAX;  // the canvas's version after the last paint
  int width = -1, height = -1;
  std::vector<uint8_t> known;             // column c is white in rows 1 .. H-2 but for rows[c]
  std::vector<std::vector<int>> rows;     // rows 1 .. H-2 of a column that may be non-white
  std::vector<uint8_t> listed;            // W x H: the row is in rows[c] already
  std::vector<int> lastPoint;             // scratch: the last point that erased a column
  // The columns of the points, kept while the frame, the width and the grid stay.
  double xMin = 0, xMax = 0, dx = 0;
  int half = -1, columnsWidth = -1;
  std::vector<int> columns;
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
