#include "base/canvas.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>

namespace kl {

void Canvas::Resize(int width, int height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  pixels_.assign(static_cast<size_t>(width_) * height_, PackRgb(kWhite));
  ++version_;
  texts_.clear();
}

void Canvas::FillSpan(int x1, int x2, int y, Rgb c) {
  if (y < 0 || y >= height_) return;
  x1 = std::max(x1, 0);
  x2 = std::min(x2, width_);
  if (x1 >= x2) return;
  std::fill(Row(y) + x1, Row(y) + x2, PackRgb(c));
}

void Canvas::Rectangle(int x1, int y1, int x2, int y2) {
  ++version_;
  if (x1 > x2) std::swap(x1, x2);
  if (y1 > y2) std::swap(y1, y2);
  if (x1 == x2 || y1 == y2) return;
  const int t = penWidth_;
  const int top = std::max(y1, 0), bottom = std::min(y2, height_);
  const int left = std::max(x1, 0), right = std::min(x2, width_);
  if (top < bottom && left < right) {
    // Solid: the same colour inside and on the outline, or too narrow to have an inside.
    const bool solid = pen_ == brush_ || x2 - x1 <= 2 * t;
    const uint32_t penPixel = PackRgb(pen_);
    for (int y = top; y < bottom; ++y) {
      if (solid || y < y1 + t || y >= y2 - t) {
        std::fill(Row(y) + left, Row(y) + right, penPixel);
      } else {
        FillSpan(x1, x1 + t, y, pen_);
        FillSpan(x1 + t, x2 - t, y, brush_);
        FillSpan(x2 - t, x2, y, pen_);
      }
    }
  }
  // Painting over a text's anchor hides it.
  if (!texts_.empty())
    std::erase_if(texts_, [&](const CanvasText& s) { return s.x >= x1 && s.x < x2 && s.y >= y1 && s.y < y2; });
}

void Canvas::SetPixel(int x, int y, Rgb c) {
  ++version_;
  if (Inside(x, y)) Row(y)[x] = PackRgb(c);
}

void Canvas::Plot(int x, int y) {
  SetPixel(x, y, pen_);
  if (penWidth_ == 2) {
    SetPixel(x + 1, y, pen_);
    SetPixel(x, y + 1, pen_);
    SetPixel(x + 1, y + 1, pen_);
  }
}

namespace {

// Bresenham walk from (x0, y0) towards (x1, y1), leaving out the end point.
template <class PlotFn>
void WalkLine(long x0, long y0, long x1, long y1, PlotFn plot) {
  const long dx = std::labs(x1 - x0), dy = -std::labs(y1 - y0);
  const int sx = x0 < x1 ? 1 : -1, sy = y0 < y1 ? 1 : -1;
  long err = dx + dy;
  while (!(x0 == x1 && y0 == y1)) {
    plot(x0, y0);
    const long e2 = 2 * err;
    if (e2 >= dy) { err += dy; x0 += sx; }
    if (e2 <= dx) { err += dx; y0 += sy; }
  }
}

// Cuts the segment to the box [lo, hi] x [lo2, hi2] (Liang-Barsky); false when it misses.
bool ClipSegment(double& x0, double& y0, double& x1, double& y1, double xlo, double xhi,
                 double ylo, double yhi) {
  double t0 = 0, t1 = 1;
  const double dx = x1 - x0, dy = y1 - y0;
  const double p[4] = {-dx, dx, -dy, dy};
  const double q[4] = {x0 - xlo, xhi - x0, y0 - ylo, yhi - y0};
  for (int k = 0; k < 4; ++k) {
    if (p[k] == 0) {
      if (q[k] < 0) return false;
    } else {
      const double t = q[k] / p[k];
      if (p[k] < 0) t0 = std::max(t0, t);
      else t1 = std::min(t1, t);
    }
  }
  if (t0 > t1) return false;
  const double nx0 = x0 + t0 * dx, ny0 = y0 + t0 * dy, nx1 = x0 + t1 * dx, ny1 = y0 + t1 * dy;
  x0 = nx0; y0 = ny0; x1 = nx1; y1 = ny1;
  return true;
}

}  // namespace

void Canvas::LineTo(int x, int y) {
  ++version_;
  if (penWidth_ == 1 && (x == curX_ || y == curY_)) {
    // Along a row or a column: the walk's pixels are the run from the start up to the end.
    const bool along = y == curY_;
    const long from = along ? curX_ : curY_, to = along ? x : y;
    const long at = along ? curY_ : curX_;
    const long first = to > from ? from : to + 1, last = to > from ? to - 1 : from;  // empty when to == from
    const long size = along ? width_ : height_, across = along ? height_ : width_;
    const uint32_t pixel = PackRgb(pen_);
    if (at >= 0 && at < across) {
      for (long k = std::max(first, 0L); k <= std::min(last, size - 1); ++k) {
        if (along) Row(static_cast<int>(at))[k] = pixel;
        else Row(static_cast<int>(k))[at] = pixel;
      }
    }
    curX_ = x;
    curY_ = y;
    return;
  }
  auto plot = [this](long px, long py) {
    if (px >= -2 && py >= -2 && px <= width_ + 1 && py <= height_ + 1)
      Plot(static_cast<int>(px), static_cast<int>(py));
  };
  const long reach = 4L * (static_cast<long>(width_) + height_) + 64;
  const bool nearBox = std::labs(curX_) <= reach && std::labs(curY_) <= reach &&
                       std::labs(static_cast<long>(x)) <= reach &&
                       std::labs(static_cast<long>(y)) <= reach;
  if (nearBox) {
    WalkLine(curX_, curY_, x, y, plot);
  } else {
    // A segment reaching far outside: walk only its part near the canvas.
    double x0 = curX_, y0 = curY_, x1 = x, y1 = y;
    if (ClipSegment(x0, y0, x1, y1, -reach, reach, -reach, reach))
      WalkLine(std::lround(x0), std::lround(y0), std::lround(x1), std::lround(y1), plot);
  }
  curX_ = x;
  curY_ = y;
}

void Canvas::TextOut(int x, int y, std::string_view text) {
  ++version_;
  std::erase_if(texts_, [&](const CanvasText& s) { return s.x == x && s.y == y; });
  texts_.push_back(CanvasText{x, y, std::string(text)});
  if (text_) text_->DrawText(*this, x, y, text, font_, brush_);
}

Rgb Canvas::Pixel(int x, int y) const {
  if (!Inside(x, y)) return kWhite;
  return UnpackRgb(pixels_[static_cast<size_t>(y) * width_ + x]);
}

}  // namespace kl
