#include "views/strip_painter.h"

#include <algorithm>

namespace kl {

namespace {

// For each column 0 .. W-1 that some dot covers, the last point whose dot covers it: each
// point erases its two columns and dots them, so that point alone decides the column.
void LastOfColumns(StripMemory& m, int W, const int* px, int count, std::vector<std::pair<int, int>>& out) {
  m.lastPoint.assign(W, -1);
  for (int j = 0; j < count; ++j)
    for (int col = px[j] - 1; col <= px[j]; ++col)
      if (col >= 0 && col < W) m.lastPoint[col] = j;
  out.clear();
  for (int col = 0; col < W; ++col)
    if (m.lastPoint[col] >= 0) out.emplace_back(col, m.lastPoint[col]);
}

}  // namespace

const int* StripColumns(StripMemory& m, const Canvas& c, const PlotFrame& frame, double dx, int half) {
  if (m.half != half || m.columnsWidth != c.Width() || m.xMin != frame.xMin || m.xMax != frame.xMax || m.dx != dx) {
    m.columns.resize(static_cast<size_t>(2 * half + 1));
    const PixelMap column(c.Width(), frame.xMin, frame.xMax);
    for (int i = -half; i <= half; ++i)
      m.columns[i + half] = column(static_cast<double>(static_cast<long double>(i) * dx));
    LastOfColumns(m, c.Width(), m.columns.data(), 2 * half + 1, m.lastOfColumns);
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
  const uint32_t ink = PackRgb(colour), white = PackRgb(kWhite);
  if (m.version != c.Version() || m.width != W || m.height != H || m.colour != ink) {
    // Someone else drew: nothing is known about the columns.
    m.width = W;
    m.height = H;
    m.colour = ink;
    m.ink.assign(W, ColumnInk{});
  }
  const std::vector<std::pair<int, int>>* last = &m.lastOfColumns;
  if (px != m.columns.data() || count != static_cast<int>(m.columns.size()) || m.columnsWidth != W) {
    LastOfColumns(m, W, px, count, m.scratch);
    last = &m.scratch;
  }
  uint32_t* pixels = c.Row(0);
  auto at = [&](int x, int y) -> uint32_t& { return pixels[static_cast<size_t>(y) * W + x]; };
  // The border rows are never erased: every dot that reaches row 0 or H - 1 leaves its mark there.
  // Only a dot at row 0, 1, H - 1 or H reaches one; blocks of points are looked through
  // without branches first, as such dots are few.
  auto reaches = [H](int row) {
    return static_cast<unsigned>(row) <= 1u || static_cast<unsigned>(row - (H - 1)) <= 1u;
  };
  constexpr int kBlock = 64;
  for (int start = 0; start < count; start += kBlock) {
    const int end = std::min(start + kBlock, count);
    int any = 0;
    for (int j = start; j < end; ++j) any |= reaches(py[j]);
    if (!any) continue;
    for (int j = start; j < end; ++j) {
      if (!reaches(py[j])) continue;
      for (int col = std::max(px[j] - 1, 0); col <= std::min(px[j], W - 1); ++col)
        for (int row = py[j] - 1; row <= py[j]; ++row)
          if (row == 0 || row == H - 1) at(col, row) = ink;
    }
  }
  // Every other row of a covered column ends white but for the dot of its last point.
  for (const auto& [col, j] : *last) {
    ColumnInk& inked = m.ink[col];
    const int from = std::max(py[j] - 1, 1), to = std::min(py[j], H - 2);
    // A column left with this very dot and nothing over it is right as it is.
    if (inked.known && !inked.drawnOver && inked.lo > inked.hi && inked.count == std::max(to - from + 1, 0) &&
        (inked.count == 0 || inked.rows[0] == from))
      continue;
    if (inked.known) {
      for (int k = 0; k < inked.count; ++k) at(col, inked.rows[k]) = white;
      for (int row = inked.lo; row <= inked.hi; ++row) at(col, row) = white;
    } else {
      for (int row = 1; row <= H - 2; ++row) at(col, row) = white;
    }
    inked = ColumnInk{};
    inked.known = true;
    for (int row = from; row <= to; ++row) {
      at(col, row) = ink;
      inked.rows[inked.count++] = row;
    }
  }
  Seal(m, c);
}

void NoteOutline(StripMemory& m, const Canvas& c, int x1, int y1, int x2, int y2) {
  if (m.width != c.Width() || m.height != c.Height()) return;
  const int H = m.height;
  auto note = [&](int col, int row) {
    if (col >= 0 && col < m.width && row >= 1 && row <= H - 2) m.ink[col].Note(row);
  };
  for (int col = std::max(std::min(x1, x2), 0); col <= std::min(std::max(x1, x2), m.width - 1); ++col) {
    note(col, y1);
    note(col, y2);
  }
  for (int col : {x1, x2})
    if (col >= 0 && col < m.width)
      m.ink[col].NoteRun(std::max(std::min(y1, y2), 1), std::min(std::max(y1, y2), H - 2));
}

}  // namespace kl
