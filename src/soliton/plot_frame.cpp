#include "soliton/plot_frame.h"

#include <algorithm>
#include <cmath>

namespace kl {

int WorldToPixel(int extent, double v, double lo, double hi) {
  if (hi == lo) return 0;
  const double q = static_cast<double>((static_cast<long double>(v) - lo) * extent /
                                       (static_cast<long double>(hi) - lo));
  if (std::isnan(q)) return 0;
  if (q >= kPixelLimit) return kPixelLimit;
  if (q <= -kPixelLimit) return -kPixelLimit;
  return static_cast<int>(std::nearbyint(q));
}

PixelMap::PixelMap(int extent, double lo, double hi) : extent_(extent), lo_(lo), hi_(hi) {
  if (hi == lo || !std::isfinite(lo) || !std::isfinite(hi)) return;
  scale_ = extent / (hi - lo);
  fast_ = std::isfinite(scale_) && scale_ != 0;
}

double PixelToWorld(int pixel, int extent, double lo, double hi) {
  if (extent == 0) return lo;
  const long double rest = static_cast<long double>(extent - pixel);
  return static_cast<double>((rest * lo + static_cast<long double>(pixel) * hi) / extent);
}

void ClearPlot(Canvas& c) {
  c.SetPenWidth(1);
  c.SetBrushColor(kWhite);
  c.SetPenColor(kBlack);
  c.Rectangle(0, 0, c.Width(), c.Height());
}

void DrawDot(Canvas& c, int px, int py, Rgb colour) {
  c.SetPenColor(colour);
  c.SetBrushColor(colour);
  c.Rectangle(px - 1, py - 1, px + 1, py + 1);
}

void DrawAxes(Canvas& c) {
  c.SetPenColor(kBlack);
  const int w = c.Width(), h = c.Height();
  c.MoveTo(w / 2, 0);
  c.LineTo(w / 2, h);
  c.MoveTo(0, h / 2);
  c.LineTo(w, h / 2);
}

double MaxOfRange(const double* values, int lo, int hi, int first, int last) {
  double best = -1.0e10;
  for (int i = std::max(first, lo); i <= std::min(last, hi); ++i)
    if (values[i] > best) best = values[i];
  return best;
}

double MinOfRange(const double* values, int lo, int hi, int first, int last) {
  double best = 1.0e10;
  for (int i = std::max(first, lo); i <= std::min(last, hi); ++i)
    if (values[i] < best) best = values[i];
  return best;
}

double MaxAbs2(double p, double q) { return std::fabs(p) > std::fabs(q) ? std::fabs(p) : std::fabs(q); }

}  // namespace kl
