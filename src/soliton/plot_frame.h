#pragma once
// World rectangles shown by paint boxes and the one mapping between world and pixels.
#include <cmath>

#include "base/canvas.h"

namespace kl {

struct PlotFrame {
  double xMin = 0, xMax = 0, yMin = 0, yMax = 0;
};

// Pixels beyond this are treated as "far outside"; keeps later pixel arithmetic in 32 bits.
inline constexpr int kPixelLimit = 1 << 28;

// Nearest integer (halves to even) to (v - lo) * extent / (hi - lo), evaluated in extended
// precision and stored as a double first. A frame of zero extent maps everything to 0;
// results beyond +-kPixelLimit (or not a number) are clamped.
int WorldToPixel(int extent, double v, double lo, double hi);
double PixelToWorld(int pixel, int extent, double lo, double hi);

// WorldToPixel for many values of one frame, at the cost of a subtraction and a product:
// the value is mapped in double, which lies within a few units in the last place of the
// extended result, and only a value that lands that close to a half pixel takes the
// extended path. The result is always WorldToPixel's.
class PixelMap {
 public:
  PixelMap(int extent, double lo, double hi);
  int operator()(double v) const {
    if (fast_) {
      const double q = (v - lo_) * scale_, n = Nearest(q);
      if (Settled(q, n)) return static_cast<int>(n);
    }
    return WorldToPixel(extent_, v, lo_, hi_);
  }
  // out[j] = (*this)(value(j)) for j = 0 .. count-1, in a first pass without branches (which
  // the compiler can vectorise) and a second one for the values it could not settle.
  template <class Value>
  void Many(int count, Value value, int* out) const {
    if (fast_) {
      for (int j = 0; j < count; ++j) {
        const double q = (value(j) - lo_) * scale_, n = Nearest(q);
        out[j] = static_cast<int>(Settled(q, n) ? n : double{kUnsettled});
      }
      int unsettled = 0;
      for (int j = 0; j < count; ++j) unsettled |= out[j] == kUnsettled;
      if (!unsettled) return;
    }
    for (int j = 0; j < count; ++j)
      if (!fast_ || out[j] == kUnsettled) out[j] = (*this)(value(j));
  }

 private:
  // Adding and taking away 1.5 * 2^52 rounds to an integer as nearbyint does, inline.
  static double Nearest(double q) { return (q + 0x1.8p52) - 0x1.8p52; }
  // n is WorldToPixel's pixel for sure: q is in range (not a NaN) and further from a half
  // pixel than the two mappings can differ. q - n is exact, so its distance to +-0.5 is how
  // close q came to a half pixel. Written without branches, for the vectorised pass.
  static bool Settled(double q, double n) {
    const double a = std::fabs(q);
    return (a < 0x1p26) & (std::fabs(std::fabs(q - n) - 0.5) > 0x1p-50 * (a + 1));
  }
  static constexpr int kUnsettled = -(1 << 30);  // beyond any pixel WorldToPixel gives
  int extent_;
  double lo_, hi_, scale_ = 0;
  bool fast_ = false;
};

// Column and row of a world point in a frame drawn on a canvas (rows grow downward).
inline int FrameColumn(const Canvas& c, const PlotFrame& f, double x) {
  return WorldToPixel(c.Width(), x, f.xMin, f.xMax);
}
inline int FrameRow(const Canvas& c, const PlotFrame& f, double y) {
  return c.Height() - WorldToPixel(c.Height(), y, f.yMin, f.yMax);
}

// White picture with a one-pixel black border.
void ClearPlot(Canvas& c);
// The 2 x 2 dot: columns px-1, px and rows py-1, py.
void DrawDot(Canvas& c, int px, int py, Rgb colour);
// Black cross through the middle of the box.
void DrawAxes(Canvas& c);

// Largest / smallest of values[first .. last] (an offset array: values[i] valid for
// i in lo .. hi); indices outside lo .. hi are not read. Empty range: -1e10 / +1e10.
double MaxOfRange(const double* values, int lo, int hi, int first, int last);
double MinOfRange(const double* values, int lo, int hi, int first, int last);
double MaxAbs2(double p, double q);

}  // namespace kl
