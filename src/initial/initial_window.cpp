// The initial-conditions tab: composing and plotting u(0, x) and d_t u(0, x).
#include <algorithm>

#include "app/main_window.h"
#include "app/run_control.h"

namespace kl {

void TForm1::ButtonInitPlantsClick() {
  Program& p = *p_;
  p.sim.InitReady = true;
  ReadEditNumber(Edit_kAdiabat, p.rot.kAd);
  ReadEditNumber(Edit_wAdiabat, p.rot.wAd);
  ReadHalfInterval();
  ReadEditNumber(Edit_kF1, p.rot.kF_Re);
  ReadEditNumber(Edit_kF2, p.rot.kF_Im);
  ReadEditNumber(Edit_kD, p.rot.kD);
  ReadEditNumber(Edit_qR, p.rot.qR);
  ReadEditNumber(Edit_qL, p.rot.qL);
  ComposeForPlots(p);
  const int half = p.sim.GridSize / 2;
  const double dx = static_cast<double>(2.0L * p.sim.HalfInterval / std::max(p.sim.GridSize, 1));
  SetInitFrames(initFrames_, p.initVal, half);
  PlotInitColumn(canvases_.PaintBox_Re_u, initFrames_[0], p.initVal, dx, -half, half, 1);
  PlotInitColumn(canvases_.PaintBox_dt_Re_u, initFrames_[3], p.initVal, dx, -half, half, 4);
  UpdatePaintBoxes();
}

}  // namespace kl
