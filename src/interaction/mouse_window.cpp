// Presses and drags on the solution tab: hints, microscopes, marks and the strips' ranges.
#include "app/main_window.h"
#include "interaction/mouse_work.h"
#include "base/numbers.h"

namespace kl {

namespace {

bool Absent(const std::array<int, 4>& coords) {
  return std::all_of(coords.begin(), coords.end(), [](int v) { return v == -1; });
}

void ShowRange(QLineEdit* lo, QLineEdit* hi, const PlotFrame& frame, QGroupBox* group) {
  lo->setText(QString::fromStdString(FormatWD(frame.yMin, 5, 3)));
  hi->setText(QString::fromStdString(FormatWD(frame.yMax, 5, 3)));
  for (QLineEdit* e : {lo, hi}) {
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    e->setPalette(pal);
  }
  group->raise();
  group->setVisible(true);
}

}  // namespace

void TForm1::ConnectMouseHandlers() {
  connect(PaintBoxMain, &PaintBox::mousePressed, this, [this](int, int x, int y) { PaintBoxMainMouseDown(x, y); });
  connect(PaintBoxMain, &PaintBox::mouseReleased, this, [this](int, int x, int y) { PaintBoxMainMouseUp(x, y); });
  connect(PaintBoxCurrSol, &PaintBox::mousePressed, this, [this](int, int x, int y) { PaintBoxCurrSolMouseDown(x, y); });
  connect(PaintBoxCurrSol, &PaintBox::mouseReleased, this, [this](int, int x, int y) { PaintBoxCurrSolMouseUp(x, y); });
  connect(PaintBoxCurrEnergy, &PaintBox::mousePressed, this, [this] { PaintBoxCurrEnergyMouseDown(); });
  connect(PaintBoxCurrEnergy, &PaintBox::mouseReleased, this, [this] { PaintBoxCurrEnergyMouseUp(); });
  connect(PaintBoxMicro2, &PaintBox::mousePressed, this, [this](int, int x, int y) { PaintBoxMicro2MouseDown(x, y); });
  connect(PaintBoxMicro2, &PaintBox::mouseReleased, this, [this] { PaintBoxMicro2MouseUp(); });
  connect(rbMAll, &QRadioButton::clicked, this, [this] { rbMAllClick(); });
  connect(rbDeleteMicro2, &QRadioButton::clicked, this, [this] { rbDeleteMicro2Click(); });
}

void TForm1::ShowHint(const std::optional<std::string>& text) {
  if (!text) return;
  LabelHint2->setText(QString::fromStdString(*text));
  LabelHint2->adjustSize();
  LabelHint2->setVisible(true);
}

void TForm1::PaintBoxMainMouseDown(int x, int y) {
  Program& p = *p_;
  if (p.sim.Running) return;
  const Probe pr = ProbePoint(p.sim, p.sim.MainFrame, PaintBoxMain->width(), PaintBoxMain->height(), x, y);
  if (OptionMode == 0) {
    ShowHint(HintText(p.sim, pr));
    return;
  }
  if (!pr.valid) return;
  Canvas& main = p.canvases.PaintBoxMain;
  if (OptionMode == 1) {
    DeleteMicroLine(p.micro.Micro1Line, main);
    Micro1Dragging = true;
    p.micro.Micro1Line[0] = x;
    p.micro.Micro1Line[1] = y;
  } else if (OptionMode == 2) {
    DeleteMicroRect(p.micro.Micro2Rect, main);
    ClearPlot(canvases_.PaintBoxMicro2);
    Micro2Dragging = true;
    p.micro.Micro2Rect[0] = x;
    p.micro.Micro2Rect[1] = y;
  }
  UpdatePaintBoxes();
}

void TForm1::PaintBoxMainMouseUp(int x, int y) {
  Program& p = *p_;
  LabelHint2->setVisible(false);
  const bool line = OptionMode == 1 && Micro1Dragging, rect = OptionMode == 2 && Micro2Dragging;
  Micro1Dragging = Micro2Dragging = false;
  if (!line && !rect) return;
  std::array<int, 4>& c = line ? p.micro.Micro1Line : p.micro.Micro2Rect;
  const Probe pr = ProbePoint(p.sim, p.sim.MainFrame, PaintBoxMain->width(), PaintBoxMain->height(), x, y);
  if (!pr.valid) {  // the drag collapses to its start point
    c[2] = c[0];
    c[3] = c[1];
    return;
  }
  c[2] = x;
  c[3] = y;
  Canvas& main = p.canvases.PaintBoxMain;
  main.SetPenColor(kWhite);
  if (line) {
    if (c[2] < c[0]) {
      std::swap(c[0], c[2]);
      std::swap(c[1], c[3]);
    }
    main.MoveTo(c[0], c[1]);
    main.LineTo(c[2], c[3]);
  } else {
    if (c[2] < c[0]) std::swap(c[0], c[2]);
    if (c[1] < c[3]) std::swap(c[1], c[3]);  // y1 is the lower edge
    OutlineRect(main, c, kWhite);
  }
  main.SetPenColor(kBlack);
  UpdatePaintBoxes();
}

void TForm1::PaintBoxCurrSolMouseDown(int x, int) {
  Program& p = *p_;
  const double worldX = StripX(p.sim, PaintBoxCurrSol->width(), x);
  if (rbScale->isChecked()) {
    ShowRange(EditPlantSolMin, EditPlantSolMax, p.sim.SolFrame, GroupBoxCurrSol);
  } else if (rbP1->isChecked()) {
    OpenMark(p.marks, p.micro, worldX);
  } else if (rbM1->isChecked() && p.marks.MarkCount > 0) {
    RemoveMarkAt(p.sim, p.marks, p.canvases.PaintBoxCurrSol, worldX);
    UpdatePaintBoxes();
  }
}

void TForm1::PaintBoxCurrSolMouseUp(int x, int) {
  Program& p = *p_;
  if (rbScale->isChecked()) {
    GroupBoxCurrSol->setVisible(false);
  } else if (rbP1->isChecked() && p.micro.MarkPending) {
    CloseMark(p.marks, p.micro, StripX(p.sim, PaintBoxCurrSol->width(), x));
    DrawMarkBox(p.sim, p.marks, p.canvases.PaintBoxCurrSol, p.marks.MarkCount, kBlack);
    UpdatePaintBoxes();
  }
}

void TForm1::PaintBoxCurrEnergyMouseDown() {
  ShowRange(EditPlantEnergyMin, EditPlantEnergyMax, p_->sim.DensityFrame, GroupBoxPlantEnergy);
}

void TForm1::PaintBoxCurrEnergyMouseUp() { GroupBoxPlantEnergy->setVisible(false); }

void TForm1::rbMAllClick() {
  Program& p = *p_;
  RemoveAllMarks(p.sim, p.marks, p.canvases.PaintBoxCurrSol);
  UpdatePaintBoxes();
}

void TForm1::ListBoxOptionsClick() {
  int mode = -1;
  for (int row = 0; row < ListBoxOptions->count(); ++row)
    if (ListBoxOptions->item(row)->isSelected()) mode = row;
  if (mode < 0) return;
  OptionMode = mode;
  if (OptionMode == 1 || OptionMode == 2) rbCreateMicro2->setChecked(true);
}

void TForm1::DeleteMicro1() {
  DeleteMicroLine(p_->micro.Micro1Line, p_->canvases.PaintBoxMain);
  UpdatePaintBoxes();
}

void TForm1::DeleteMicro2() {
  DeleteMicroRect(p_->micro.Micro2Rect, p_->canvases.PaintBoxMain);
  ClearPlot(canvases_.PaintBoxMicro2);  // no magnified picture without its rectangle
  UpdatePaintBoxes();
}

void TForm1::rbDeleteMicro2Click() {
  if (OptionMode == 1) DeleteMicro1();
  else if (OptionMode == 2) DeleteMicro2();
}

void TForm1::PaintBoxMicro2MouseDown(int x, int y) {
  Program& p = *p_;
  if (p.sim.Running || OptionMode != 0) return;
  Probe pr;
  if (Absent(p.micro.Micro2Rect)) {
    // No rectangle yet: the press means the main picture under the box.
    const QPoint shift = PaintBoxMicro2->pos() - PaintBoxMain->pos();
    pr = ProbePoint(p.sim, p.sim.MainFrame, PaintBoxMain->width(), PaintBoxMain->height(), x + shift.x(),
                    y + shift.y());
  } else {
    pr = ProbePoint(p.sim, micro2Frame_, PaintBoxMicro2->width(), PaintBoxMicro2->height(), x, y);
  }
  ShowHint(HintText(p.sim, pr));
}

void TForm1::PaintBoxMicro2MouseUp() { LabelHint2->setVisible(false); }

}  // namespace kl
