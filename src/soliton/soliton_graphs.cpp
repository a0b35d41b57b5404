#include "soliton/soliton_graphs.h"

#include <algorithm>
#include <cmath>

#include "soliton/plot_frame.h"

namespace kl {

namespace {

// White picture with a black border, then pen and brush in the curve's colour.
void StartPicture(Canvas& box, Rgb colour) {
  ClearPlot(box);
  box.SetPenColor(colour);
  box.SetBrushColor(colour);
}

}  // namespace

void DrawPotentialGraph(Canvas& box, const Potential& pot, double a, const SolitonScales& s) {
  using T = long double;
  StartPicture(box, kRed);
  const PlotFrame frame{s.PotXMin, s.PotXMax, s.PotYMin, s.PotYMax};
  for (int i = 0; i <= 1025; ++i) {
    const double U = static_cast<double>((static_cast<T>(s.PotXMax) - s.PotXMin) * i / 1025 + s.PotXMin);
    const double y = std::clamp(PotP(pot, a, U), std::min(s.PotYMin, s.PotYMax), std::max(s.PotYMin, s.PotYMax));
    DrawDot(box, FrameColumn(box, frame, U), FrameRow(box, frame, y), kRed);
  }
  DrawAxes(box);
}

void DrawPhasePlane(Canvas& box, const Potential& pot, double a, const SolitonScales& s) {
  using T = long double;
  StartPicture(box, kGreen);
  const int W = box.Width(), H = box.Height();
  const double dX = s.PhasXMax - s.PhasXMin, dY = s.PhasYMax - s.PhasYMin;
  // The curve U' = +-sqrt(-2 P(U)), sampled over [-dX, dX].
  for (int i = -1025; i <= 1025; ++i) {
    const double U = static_cast<double>(static_cast<T>(dX) * i / 1025);
    const int column = WorldToPixel(W, U, s.PhasXMin, s.PhasXMax);
    const double q = static_cast<double>(-2.0L * PotP(pot, a, U));
    if (q > 0) {
      const int r = WorldToPixel(H, std::sqrt(q), s.PhasYMin, s.PhasYMax);
      DrawDot(box, column, r, kGreen);
      DrawDot(box, column, H - r, kGreen);
    }
  }
  // Direction marks of the trajectories, computed in one quadrant and mirrored.
  box.SetPenColor(kGreen);
  box.SetBrushColor(kGreen);
  const int n = 20;
  const double lx = static_cast<double>(5.0L / W * dX), ly = static_cast<double>(5.0L / H * dY);
  for (int i = 0; i <= n; ++i) {
    for (int j = 1; j <= n; ++j) {
      const double U = static_cast<double>(static_cast<T>(dX) * i / n);
      const double v = static_cast<double>(static_cast<T>(dY) * j / n);
      const int px = WorldToPixel(W, U, s.PhasXMin, s.PhasXMax);
      const int py = H - WorldToPixel(H, v, s.PhasYMin, s.PhasYMax);
      const double theta = std::atan(static_cast<double>(static_cast<T>(PotDW(pot, a, U)) / v));
      int x1 = WorldToPixel(W, static_cast<double>(U - std::cos(static_cast<T>(theta)) * lx), s.PhasXMin, s.PhasXMax);
      int y1 = H - WorldToPixel(H, static_cast<double>(v - std::sin(static_cast<T>(theta)) * ly), s.PhasYMin, s.PhasYMax);
      int x2 = 2 * px - x1, y2 = 2 * py - y1;
      x1 = std::clamp(x1, 0, W);
      x2 = std::clamp(x2, 0, W);
      y1 = std::clamp(y1, 0, H);
      y2 = std::clamp(y2, 0, H);
      const int ends[4][4] = {{x1, y1, x2, y2},
                              {W - x1, y1, W - x2, y2},
                              {W - x1, H - y1, W - x2, H - y2},
                              {x1, H - y1, x2, H - y2}};
      for (const auto& e : ends) {
        box.MoveTo(e[0], e[1]);
        box.LineTo(e[2], e[3]);
      }
    }
  }
  DrawAxes(box);
}

}  // namespace kl
