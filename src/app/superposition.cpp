#include "app/superposition.h"

#include <algorithm>
#include <cmath>
#include <utility>

namespace kl {

void DrawSuperposition(Canvas& box, Program& p) {
  using T = long double;
  KinkList& list = p.kinks;
  const int count = std::clamp(list.SolitonCount, 0, kMaxSolitons);
  SortSolitons(count, list.InitSm.data(), list.InitVel.data());
  const double s = static_cast<double>(2.0L * p.profile.ProfileStep);
  const double L = p.sim.HalfInterval;
  double* S = p.sim.stores.SectionU();
  for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
    double sum = KinkProfileAt(p.profile, L, KinkArguments(i, list.InitSm[1], list.InitVel[1], s, p.sim.Dt).xi0);
    for (int j = 2; j <= count; ++j) {
      const double xi = KinkArguments(i, list.InitSm[j], list.InitVel[j], s, p.sim.Dt).xi0;
      sum = static_cast<double>(j % 2 == 0 ? static_cast<T>(sum) + AntikinkProfileAt(p.profile, L, xi) - 1
                                           : static_cast<T>(sum) + KinkProfileAt(p.profile, L, xi) + 1);
    }
    S[i] = sum;
  }
  ClearPlot(box);
  const PlotFrame frame{p.profile.OduXMin, L, p.profile.OduYMin, p.profile.OduYMax};
  auto point = [&](int i) {
    const double x = static_cast<double>(static_cast<T>(i + kHistoryHalf) * s + p.profile.OduXMin);
    return std::pair{FrameColumn(box, frame, x), FrameRow(box, frame, S[i])};
  };
  auto edgeLine = [&](int i, int column) {
    const auto [px, py] = point(i);
    box.SetPenColor(kBlue);
    box.SetPenWidth(2);
    box.MoveTo(px, py);
    box.LineTo(column, py);
    box.SetPenWidth(1);
  };
  for (int i = 0; i <= kHistoryHalf; ++i) {
    const auto [px, py] = point(i);
    DrawDot(box, px, py, kBlue);
  }
  edgeLine(kHistoryHalf, box.Width());
  for (int i = -1; i >= -kHistoryHalf; --i) {
    const auto [px, py] = point(i);
    DrawDot(box, px, py, kBlue);
  }
  edgeLine(-kHistoryHalf, 0);
  DrawAxes(box);
}

}  // namespace kl
