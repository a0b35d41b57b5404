// The scale groups of the solitons tab: a click on a picture opens its group, OK takes the
// typed maxima over, Cancel shows the current scales again.
#include <QPalette>

#include "app/main_window.h"
#include "base/numbers.h"
#include "app/scale_dialogs.h"

namespace kl {

namespace {

using ScaleFields = std::array<QLineEdit*, 4>;  // xMin, xMax, yMin, yMax

QString WD(double value, int width, int decimals) { return QString::fromStdString(FormatWD(value, width, decimals)); }

// x in 4:2, y in the given format.
void ShowScales(const ScaleFields& fields, const std::array<double, 4>& values, int yWidth = 4, int yDecimals = 2) {
  for (int k = 0; k < 4; ++k)
    fields[k]->setText(k < 2 ? WD(values[k], 4, 2) : WD(values[k], yWidth, yDecimals));
}

// The fields and buttons of a group that Tab visits, in their order.
QList<QWidget*> TabStops(QGroupBox* group) {
  QList<QWidget*> stops;
  for (QWidget* w : group->findChildren<QWidget*>(Qt::FindDirectChildrenOnly))
    if (w->isEnabled() && w->isVisibleTo(group) && (w->focusPolicy() & Qt::TabFocus)) stops << w;
  return stops;
}

// An opened group shows its scales on the window colour (not the white of a read field). It
// lies above the picture and the buttons under it, and takes the keyboard at its first field.
void OpenGroup(QGroupBox* group, const ScaleFields& fields) {
  for (QLineEdit* e : fields) {
    QPalette pal = e->palette();
    pal.setColor(QPalette::Base, pal.color(QPalette::Window));
    e->setPalette(pal);
  }
  group->raise();
  group->setVisible(true);
  if (const QList<QWidget*> stops = TabStops(group); !stops.isEmpty()) stops.front()->setFocus(Qt::OtherFocusReason);
}

bool ReadMaximum(QLineEdit* edit, double& value) {
  const bool ok = ReadScaleMaximum(edit->text().toStdString(), value);
  TForm1::SetFieldValid(edit, ok);
  return ok;
}

// The U maximum as typed, copied into another group's fields (the minimum gets a "-" put before it).
void CopyAmplitudeText(const QString& text, QLineEdit* minField, QLineEdit* maxField) {
  minField->setText("-" + text);
  maxField->setText(text);
}

}  // namespace

void TForm1::ConnectScaleDialogs() {
  connect(PaintBoxPotEn, &PaintBox::mousePressed, this, [this] { PaintBoxPotEnClick(); });
  connect(PaintBoxPhasPl, &PaintBox::mousePressed, this, [this] { PaintBoxPhasPlClick(); });
  connect(PaintBoxODU, &PaintBox::mousePressed, this, [this] { PaintBoxODUClick(); });
  connect(Button1, &QPushButton::clicked, this, [this] { Button1Click(); });
  connect(Button2, &QPushButton::clicked, this, [this] { Button2Click(); });
  connect(Button3, &QPushButton::clicked, this, [this] { Button3Click(); });
  connect(Button4, &QPushButton::clicked, this, [this] { Button4Click(); });
  connect(Button5, &QPushButton::clicked, this, [this] { Button5Click(); });
  connect(Button6, &QPushButton::clicked, this, [this] { Button6Click(); });
}

// Tab and Shift+Tab go round the open group that holds the keyboard, never to the fields behind it.
bool TForm1::focusNextPrevChild(bool next) {
  QWidget* focus = focusWidget();
  for (QGroupBox* group : {GroupBoxPot, GroupBoxPhas, GroupBoxODU}) {
    if (!focus || !group->isVisible() || !group->isAncestorOf(focus)) continue;
    const QList<QWidget*> stops = TabStops(group);
    if (stops.isEmpty()) break;
    const qsizetype at = stops.indexOf(focus), n = stops.size();
    stops[at < 0 ? 0 : (at + (next ? 1 : n - 1)) % n]->setFocus(next ? Qt::TabFocusReason : Qt::BacktabFocusReason);
    return true;
  }
  return QWidget::focusNextPrevChild(next);
}

void TForm1::PaintBoxPotEnClick() {
  const SolitonScales& s = p_->scales;
  const ScaleFields fields{EditPot[1], EditPot[2], EditPot[3], EditPot[4]};
  ShowScales(fields, {s.PotXMin, s.PotXMax, s.PotYMin, s.PotYMax}, 5, 3);
  OpenGroup(GroupBoxPot, fields);
}

void TForm1::PaintBoxPhasPlClick() {
  const SolitonScales& s = p_->scales;
  const ScaleFields fields{EditPhas[1], EditPhas[2], EditPhas[3], EditPhas[4]};
  ShowScales(fields, {s.PhasXMin, s.PhasXMax, s.PhasYMin, s.PhasYMax});
  OpenGroup(GroupBoxPhas, fields);
}

void TForm1::PaintBoxODUClick() {
  const Program& p = *p_;
  const ScaleFields fields{EditODU[1], EditODU[2], EditODU[3], EditODU[4]};
  ShowScales(fields, {p.profile.OduXMin, p.sim.HalfInterval, p.profile.OduYMin, p.profile.OduYMax});
  OpenGroup(GroupBoxODU, fields);
}

void TForm1::Button1Click() {
  double u = 0, pMax = 0;
  const bool uRead = ReadMaximum(EditPot[2], u);
  const bool pRead = ReadMaximum(EditPot[4], pMax);
  if (pRead) ShowEditNumber(EditPot[3], -pMax);
  if (!uRead || !pRead) return;
  ApplyPotentialScales(*p_, u, pMax);
  CopyAmplitudeText(EditPot[2]->text(), EditPhas[1], EditPhas[2]);
  EditODU[4]->setText(EditPot[2]->text());
  GroupBoxPot->setVisible(false);
}

void TForm1::Button3Click() {
  double u = 0, slopeMax = 0;
  const bool uRead = ReadMaximum(EditPhas[2], u);
  const bool slopeRead = ReadMaximum(EditPhas[4], slopeMax);
  if (!uRead || !slopeRead) return;
  ApplyPhaseScales(*p_, u, slopeMax);
  CopyAmplitudeText(EditPhas[2]->text(), EditPot[1], EditPot[2]);
  EditODU[4]->setText(EditPhas[2]->text());
  GroupBoxPhas->setVisible(false);
}

void TForm1::Button5Click() {
  Program& p = *p_;
  // The half-length shows the current L (2 decimals) and cannot be edited, so it never
  // blocks; a shown 0 (an L under 0.005) keeps the L there is.
  double L = p.sim.HalfInterval, u = 0, slope = 0;
  ReadMaximum(EditODU[2], L);
  const bool uRead = ReadMaximum(EditODU[4], u);
  const bool slopeRead = ParseNumber(EditODU[5]->text().toStdString(), slope);
  SetFieldValid(EditODU[5], slopeRead);
  if (!uRead || !slopeRead) return;
  ApplyProfileScales(p, L, u, slope);
  CopyAmplitudeText(EditODU[4]->text(), EditPot[1], EditPot[2]);
  CopyAmplitudeText(EditODU[4]->text(), EditPhas[1], EditPhas[2]);
  GroupBoxODU->setVisible(false);
}

// Cancel shows every scale in 4:2, the potential's y range too; the backgrounds stay.
void TForm1::Button2Click() {
  const SolitonScales& s = p_->scales;
  ShowScales({EditPot[1], EditPot[2], EditPot[3], EditPot[4]}, {s.PotXMin, s.PotXMax, s.PotYMin, s.PotYMax});
  GroupBoxPot->setVisible(false);
}

void TForm1::Button4Click() {
  const SolitonScales& s = p_->scales;
  ShowScales({EditPhas[1], EditPhas[2], EditPhas[3], EditPhas[4]}, {s.PhasXMin, s.PhasXMax, s.PhasYMin, s.PhasYMax});
  GroupBoxPhas->setVisible(false);
}

void TForm1::Button6Click() {
  const Program& p = *p_;
  ShowScales({EditODU[1], EditODU[2], EditODU[3], EditODU[4]},
             {p.profile.OduXMin, p.sim.HalfInterval, p.profile.OduYMin, p.profile.OduYMax});
  EditODU[5]->setText(WD(p.profile.ProfileStartSlope, 4, 2));
  GroupBoxODU->setVisible(false);
}

}  // namespace kl
