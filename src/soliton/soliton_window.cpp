// The solitons tab: the three pictures, the profile's numbers and the list of kinks.
#include "app/main_window.h"
#include "base/numbers.h"
#include "initial/kink_entries.h"
#include "soliton/soliton_graphs.h"
#include "app/superposition.h"

namespace kl {

// Both draw buttons: "a" and L from their fields, then the potential and the phase plane.
void TForm1::DrawPotentialPictures() {
  Program& p = *p_;
  ReadEditNumber(Par_a_Value, p.pot.ParamA);
  ReadHalfInterval();
  DrawPotentialGraph(canvases_.PaintBoxPotEn, p.pot, p.pot.ParamA, p.scales);
  DrawPhasePlane(canvases_.PaintBoxPhasPl, p.pot, p.pot.ParamA, p.scales);
}

void TForm1::ButtonDrawOneClick() {
  Program& p = *p_;
  DrawPotentialPictures();
  const ProfileResult r = SolveProfile(p.profile, p.pot, p.pot.ParamA, p.sim.HalfInterval, &canvases_.PaintBoxODU);
  EditODU[5]->setText(QString::fromStdString(FormatWD(r.Height, 5, 3)));
  EditODU[6]->setText(QString::fromStdString(FormatWD(r.Width, 5, 3)));
  EditODU[7]->setText(QString::fromStdString(FormatWD(r.Energy, 5, 3)));
  for (QWidget* w : std::initializer_list<QWidget*>{LabelAdd, ButtonAdd, LabelInitSm, EditInitSm, LabelInitVel, EditInitVel})
    w->setVisible(true);
  DrawAxes(canvases_.PaintBoxODU);
  for (QWidget* w : std::initializer_list<QWidget*>{ButtonAdd, LabelInitSm, EditInitSm, LabelInitVel, EditInitVel})
    w->setEnabled(p.profile.ProfileReady);
  for (QLineEdit* e : {EditInitSm, EditInitVel}) {
    e->setText("0.0");
    SetFieldValid(e, true);
  }
  UpdatePaintBoxes();
}

void TForm1::ButtonDrawAllClick() {
  DrawPotentialPictures();
  DrawSuperposition(canvases_.PaintBoxODU, *p_);
  UpdatePaintBoxes();
}

void TForm1::ButtonAddClick() {
  Program& p = *p_;
  double c = 0, v = 0;
  const bool cRead = ParseNumber(EditInitSm->text().toStdString(), c);
  const bool vRead = ParseNumber(EditInitVel->text().toStdString(), v);
  const bool cGood = cRead && std::fabs(c) <= p.sim.HalfInterval;
  const bool vGood = vRead && std::fabs(v) < 1;
  SetFieldValid(EditInitSm, cGood);
  SetFieldValid(EditInitVel, vGood);
  if (!cGood || !vGood || p.kinks.SolitonCount >= kMaxSolitons) return;
  ListBoxInitVal->addItem(QString::fromStdString(
      SolitonEntryText(EditInitVel->text().toStdString(), EditInitSm->text().toStdString())));
  p.kinks.SolitonCount += 1;
  p.kinks.InitSm[p.kinks.SolitonCount] = c;
  p.kinks.InitVel[p.kinks.SolitonCount] = v;
  for (QWidget* w : std::initializer_list<QWidget*>{ButtonAdd, LabelInitSm, EditInitSm, LabelInitVel, EditInitVel,
                                                    Par_a_Value})
    w->setEnabled(false);
  for (QWidget* w : std::initializer_list<QWidget*>{ListBoxInitVal, LabelRemove, ButtonRemove, ButtonDrawAll})
    w->setVisible(true);
  RebuildSolitonList();
}

void TForm1::ButtonRemoveClick() {
  Program& p = *p_;
  for (int row = 0; row < ListBoxInitVal->count(); ++row) {
    if (ListBoxInitVal->item(row)->isSelected()) {
      delete ListBoxInitVal->takeItem(row);
      p.kinks.SolitonCount -= 1;
      RebuildSolitonList();
      break;
    }
  }
  if (p.kinks.SolitonCount == 0) {
    for (QWidget* w : std::initializer_list<QWidget*>{ListBoxInitVal, LabelRemove, ButtonRemove, ButtonDrawAll})
      w->setVisible(false);
    Par_a_Value->setEnabled(true);
  }
}

void TForm1::RebuildSolitonList() {
  Program& p = *p_;
  p.kinks.InitSm.fill(0.0);
  p.kinks.InitVel.fill(0.0);
  const int count = std::min({p.kinks.SolitonCount, ListBoxInitVal->count(), kMaxSolitons});
  for (int j = 1; j <= count; ++j) {
    double v = 0, c = 0;
    if (ParseSolitonEntry(ListBoxInitVal->item(j - 1)->text().toStdString(), v, c)) {
      p.kinks.InitVel[j] = v;
      p.kinks.InitSm[j] = c;
    }
  }
}

}  // namespace kl
