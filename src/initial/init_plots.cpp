#include "initial/init_plots.h"

#include <algorithm>
#include <cmath>

namespace kl {

double MaxAbsInit(const InitValues& init, int first, int last, int component) {
  double best = 0;
  for (int i = std::max(first, -kHistoryHalf); i <= std::min(last, kHistoryHalf); ++i)
    best = std::max(best, std::fabs(init[i].Component(component)));
  return best;
}

void PlotInitColumn(Canvas& box, const PlotFrame& frame, const InitValues& init, double dx, int first, int last,
                    int component) {
  using T = long double;
  const int W = box.Width(), H = box.Height();
  const double left = static_cast<double>(static_cast<T>(first) * dx);
  const double right = static_cast<double>(static_cast<T>(last) * dx);
  for (int i = std::max(first, -kHistoryHalf); i <= std::min(last, kHistoryHalf); ++i) {
    const int px = WorldToPixel(W, static_cast<double>(static_cast<T>(i) * dx), left, right);
    box.SetPenColor(kWhite);
    box.SetBrushColor(kWhite);
    box.Rectangle(px - 1, 1, px + 1, H - 1);
    DrawDot(box, px, H - WorldToPixel(H, init[i].Component(component), frame.yMin, frame.yMax), kBlue);
  }
  box.SetPenColor(kBlack);
  const int axis = static_cast<int>(std::nearbyint(H / 2.0));
  box.MoveTo(0, axis);
  box.LineTo(W, axis);
}

void SetInitFrames(InitFrames& frames, const InitValues& init, int half) {
  auto range = [&](int a, int b) {
    const double m = std::sqrt(static_cast<double>(static_cast<long double>(MaxAbsInit(init, -half, half, a)) *
                                                       MaxAbsInit(init, -half, half, a) +
                                                   static_cast<long double>(MaxAbsInit(init, -half, half, b)) *
                                                       MaxAbsInit(init, -half, half, b)));
    return m < 1e-10 ? 0.01 : m;
  };
  const double mu = range(1, 2), md = range(4, 5);
  for (int k = 0; k < 3; ++k) {
    frames[k].yMin = -mu;
    frames[k].yMax = mu;
    frames[k + 3].yMin = -md;
    frames[k + 3].yMax = md;
  }
}

}  // namespace kl
