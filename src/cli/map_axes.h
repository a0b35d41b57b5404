#pragma once
// The common look of the runner's map pictures (the map of a scan, the outcome map of a sweep):
// their margins, ticks and labels, drawn in the built-in pixel font on a white canvas.
#include <cmath>
#include <string>

#include "base/canvas.h"

namespace kl::map_axes {

inline constexpr int kPlotHeight = 500;
inline constexpr int kLeft = 84, kTop = 44, kBottom = 70;  // the margins around the plot
inline constexpr int kKeyGap = 24, kKeyWidth = 16;        // the key: this far right of the plot, this wide
inline constexpr int kTickLength = 5;
inline constexpr Rgb kNotRun{205, 205, 205};               // a velocity (or k) without a run

// The smallest of 1, 2, 5 times a power of ten that is at least `least`.
inline double NiceStep(double least) {
  if (!(least > 0)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(least)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= least * (1 - 1e-9)) return m * p;
  return 10 * p;
}

// The decimals that a multiple of `step` needs.
inline int DecimalsOf(double step) {
  int d = 0;
  while (d < 12 && std::fabs(step * std::pow(10.0, d) - std::nearbyint(step * std::pow(10.0, d))) > 1e-6) ++d;
  return d;
}

// Columns x1 .. x2-1 of rows y1 .. y2-1 in one colour.
inline void Fill(Canvas& c, int x1, int y1, int x2, int y2, Rgb colour) {
  c.SetPenColor(colour);
  c.SetBrushColor(colour);
  c.Rectangle(x1, y1, x2, y2);
}

// Black text on white with its top-left corner at (x, y).
inline void Label(Canvas& c, int x, int y, const std::string& text) {
  c.SetBrushColor(kWhite);
  c.SetFontColor(kBlack);
  c.TextOut(x, y, text);
}

inline void Line(Canvas& c, int x1, int y1, int x2, int y2) {
  c.SetPenColor(kBlack);
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

// A black frame just outside the plot of columns x0 .. x1-1 and rows y0 .. y1-1.
inline void Frame(Canvas& c, int x0, int y0, int x1, int y1) {
  c.SetPenColor(kBlack);
  c.MoveTo(x0 - 1, y0 - 1);
  c.LineTo(x1, y0 - 1);
  c.LineTo(x1, y1);
  c.LineTo(x0 - 1, y1);
  c.LineTo(x0 - 1, y0 - 1);
}

}  // namespace kl::map_axes
