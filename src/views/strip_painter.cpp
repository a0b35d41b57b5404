#include "views/strip_painter.h"

#include <algorithm>

namespace kl {

const int* StripColumns(StripMemory& m, const Canvas& c, const PlotFrame& frame, double dx, int half) {
  if (m.half != half || m.columnsWidth != c.Width() || m.xMin != frame.xMin || m.xMax != frame.xMax || m.dx != dx) {
    m.columns.resize(static_cast<size_t>(2 * half + 1));
    for (int i = -half; i <= half; ++i)
      m.columns[i + half] = FrameColumn(c, frame, static_cast<double>(static_cast<long double>(i) * dx));
    m.half = half;
    m.columnsWidth = c.Width();
    m.xMin = frame.xMin;
    m.xMax = frame.xMax;
    m.dx = dx;
  }
  return m.columns.data();
}

void PaintColumnDots(Canvas& c, StripMemory& m, const int* px, const int* py, int count, Rgb colour) {
  const int W = c.Width(), H = c.Height();
  if (W <= 0 || H <= 0) return;
  if (m.version != c.Version() || m.width != W || m.height != H) {
    // Someone else drew: nothing is known about the columns.
    m.width = W;
    m.height = H;
    m.known.assign(W, 0);
    m.rows.resize(W);
    for (auto& r : m.rows) r.clear();
    m.listed.assign(static_cast<size_t>(W) * H, 0);
    m.lastPoint.assign(W, -1);
  }
  const uint32_t ink = PackRgb(colour), white = PackRgb(kWhite);
  uint32_t* pixels = c.Row(0);
  auto at = [&](int x, int y) -> uint32_t& { return pixels[static_cast<size_t>(y) * W + x]; };
  // Each point erases and dots the same two columns, so a column ends white but for the dot
  // of the last point that touched it. The border rows are never erased: every dot on them stays.
  for (int j = 0; j < count; ++j) {
    const bool onBorder = py[j] <= 1 || py[j] >= H - 1;  // the dot reaches row 0 or H - 1
    for (int col = px[j] - 1; col <= px[j]; ++col) {
      if (col < 0 || col >= W) continue;
      m.lastPoint[col] = j;
      if (!onBorder) continue;
      for (int row = py[j] - 1; row <= py[j]; ++row)
        if ((row == 0 || row == H - 1) && row >= 0 && row < H) at(col, row) = ink;
    }
  }
  for (int col = 0; col < W; ++col) {
    const int j = m.lastPoint[col];
    if (j < 0) continue;
    m.lastPoint[col] = -1;
    std::vector<int>& rows = m.rows[col];
    uint8_t* listed = m.listed.data() + static_cast<size_t>(col) * H;
    if (m.known[col]) {
      for (int row : rows) {
        at(col, row) = white;
        listed[row] = 0;
      }
    } else {
      for (int row = 1; row <= H - 2; ++row) at(col, row) = white;
      m.known[col] = 1;
    }
    rows.clear();
    for (int row = py[j] - 1; row <= py[j]; ++row) {
      if (row >= 1 && row <= H - 2) {
        at(col, row) = ink;
        if (!listed[row]) {
          listed[row] = 1;
          rows.push_back(row);
        }
      }
    }
  }
  Seal(m, c);
}

void NoteOutline(StripMemory& m, const Canvas& c, int x1, int y1, int x2, int y2) {
  if (m.width != c.Width() || m.height != c.Height()) return;
  const int H = m.height;
  auto note = [&](int col, int row) {
    if (col < 0 || col >= m.width || row < 1 || row > H - 2 || !m.known[col]) return;
    uint8_t& listed = m.listed[static_cast<size_t>(col) * H + row];
    if (!listed) {
      listed = 1;
      m.rows[col].push_back(row);
    }
  };
  for (int col = std::max(std::min(x1, x2), 0); col <= std::min(std::max(x1, x2), m.width - 1); ++col) {
    note(col, y1);
    note(col, y2);
  }
  for (int col : {x1, x2})
    for (int row = std::max(std::min(y1, y2), 1); row <= std::min(std::max(y1, y2), H - 2); ++row) note(col, row);
}

}  // namespace kl
