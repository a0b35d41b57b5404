// "Обновить": the x-t colour picture, the strips, the text block and the microscopes.
#include "app/main_window.h"
#include "interaction/refresh.h"

namespace kl {

void TForm1::ButtonRefreshSolClick() {
  RefreshChoice choice;
  choice.energyPicture = RadioButtonEnergy->isChecked();
  choice.colourItem = lbNColor->currentRow() >= 0 ? lbNColor->currentRow() : choice.colourItem;
  RefreshSolution(*p_, colours_, choice, canvases_.PaintBoxMicro2, micro2Frame_, &canvases_.PaintBoxScaleColor,
                  [this](bool shown) {
                    LabelHint2->setText(QString::fromStdString(kept_.WaitingText));
                    LabelHint2->adjustSize();
                    LabelHint2->setVisible(shown);
                    if (shown) LabelHint2->repaint();
                  });
  UpdatePaintBoxes();
}

}  // namespace kl
