// The colour scale and the choice of N on the solution tab.
#include "app/main_window.h"
#include "base/numbers.h"

namespace kl {

void TForm1::lbNColorClick() {
  const int row = lbNColor->currentRow();
  if (row < 0 || row > 23) return;  // only the list's own counts reach the palette
  colours_.ColorCount = ColourCountFromList(row);
  BuildPalette(colours_, colours_.ColorCount, &canvases_.PaintBoxScaleColor);
  BuildLevels(colours_, colours_.ColorCount, p_->sim.DensityMax);
  UpdatePaintBoxes();
}

void TForm1::ListBoxNClick() {
  const int n = GridSizeFromList(ListBoxN->currentRow());
  if (n == 0) return;
  ChooseGrid(*p_, runUi_, n);
  ShowConcl1();
  ShowConcl2();
  UpdatePaintBoxes();
}

void TForm1::PrepareSolutionTab() {
  Program& p = *p_;
  PrepareSolutionTabGrid(p.sim);
  ShowConcl1();
  ShowConcl2();
  if (p.sim.TimeNow < kZeroTime) {
    RadioButtonAmpl->setChecked(true);
    RadioButtonWithoutStop->setChecked(true);
    rbScale->setChecked(true);
    rbDeleteMicro2->setChecked(true);
  }
  TimerSeeOutside->stop();
  if (ListBoxN->currentItem()) ListBoxN->scrollToItem(ListBoxN->currentItem());
  if (lbNColor->currentItem()) lbNColor->scrollToItem(lbNColor->currentItem());
  ListBoxOptions->setCurrentRow(0);
}

void TForm1::PaintBoxScaleColorMouseDown(int y) {
  if (p_->sim.Running) return;
  const auto& levels = RadioButtonEnergy->isChecked() ? colours_.EnergyLevels
                       : RadioButtonFase->isChecked() ? colours_.LinearLevels
                                                      : colours_.AmplLevels;
  const auto text = ScaleHint(levels, colours_.ColorCount, PaintBoxScaleColor->height(), y);
  if (!text) return;
  LabelColorScaleHint->setText(QString::fromStdString(*text));
  LabelColorScaleHint->adjustSize();
  LabelColorScaleHint->move(PaintBoxScaleColor->x() + PaintBoxScaleColor->width() - LabelColorScaleHint->width(),
                            LabelColorScaleHint->y());
  LabelColorScaleHint->setVisible(true);
}

void TForm1::PaintBoxScaleColorMouseUp() { LabelColorScaleHint->setVisible(false); }

}  // namespace kl
