// Numeric fields: reading, showing, and the key handlers that take typed values over.
#include <QKeyEvent>
#include <QPalette>

#include "app/main_window.h"
#include "base/numbers.h"

namespace kl {

namespace {
const QColor kFieldYellow(255, 255, 0);

void SetFieldColour(QLineEdit* edit, QColor c) {
  QPalette pal = edit->palette();
  pal.setColor(QPalette::Base, c);
  edit->setPalette(pal);
}
}  // namespace

void TForm1::ReadEditNumber(QLineEdit* edit, double& value) {
  SetFieldColour(edit, Qt::white);
  if (!ParseNumber(edit->text().toStdString(), value)) SetFieldColour(edit, kFieldYellow);
}

void TForm1::ShowEditNumber(QLineEdit* edit, double value) {
  SetFieldColour(edit, Qt::white);
  edit->setText(QString::fromStdString(FormatWD(value, 4, 1)));
}

void TForm1::SetFieldValid(QLineEdit* edit, bool valid) { SetFieldColour(edit, valid ? QColor(Qt::white) : kFieldYellow); }

bool TForm1::IsYellow(const QLineEdit* edit) { return edit->palette().color(QPalette::Base) == kFieldYellow; }

// Returns whether the field is one whose colour tells if its text is a number.
bool TForm1::FieldKeyPress(QLineEdit* edit, int key) {
  Program& p = *p_;
  double dropped = 0;
  if (edit == Par_a_Value) {
    if (key == Qt::Key_Return || key == Qt::Key_Enter) {
      ReadEditNumber(Par_a_Value, p.pot.ParamA);
      UpdatePotentialScale(p.scales, p.pot);
    }
    return false;  // its colour changes only with Enter, which leaves the text as it is
  }
  if (edit == EditFirstInterval) {
    ReadHalfInterval();
    return true;
  }
  // The rotator and adiabatic fields take their value over at every key; the fields of
  // the soliton to add are only checked.
  const std::pair<QLineEdit*, double*> fields[] = {
      {Edit_kF1, &p.rot.kF_Re}, {Edit_kF2, &p.rot.kF_Im},     {Edit_kD, &p.rot.kD},
      {Edit_kAdiabat, &p.rot.kAd}, {Edit_wAdiabat, &p.rot.wAd}, {Edit_qR, &p.rot.qR},
      {Edit_qL, &p.rot.qL},     {EditInitSm, &dropped},       {EditInitVel, &dropped}};
  for (const auto& [field, variable] : fields)
    if (edit == field) {
      ReadEditNumber(edit, *variable);
      return true;
    }
  return false;
}

void TForm1::ReadHalfInterval() {
  // A half-length outside the range a run can take is refused like a bad text.
  Program& p = *p_;
  double L = p.sim.HalfInterval;
  ReadEditNumber(EditFirstInterval, L);
  if (IsUsableHalfInterval(L)) p.sim.HalfInterval = L;
  else SetFieldColour(EditFirstInterval, kFieldYellow);
  p.profile.OduXMin = -p.sim.HalfInterval;
}

// The colour of a field after a key: judged from the text the key left, as the user sees it,
// with the rule its handler reads by (a number; for the interval, one a run can take).
void TForm1::ColourFieldAfterKey(QLineEdit* edit) {
  double value = 0;
  bool valid = ParseNumber(edit->text().toStdString(), value);
  if (edit == EditFirstInterval) valid = valid && IsUsableHalfInterval(value);
  SetFieldValid(edit, valid);
}

bool TForm1::eventFilter(QObject* watched, QEvent* event) {
  // The handler takes its value from the text as it stood before the key: it runs before the
  // field does. The field then applies the key, and its colour is judged from what it shows.
  if (event->type() == QEvent::KeyPress)
    if (auto* edit = qobject_cast<QLineEdit*>(watched))
      if (FieldKeyPress(edit, static_cast<QKeyEvent*>(event)->key())) {
        static_cast<QObject*>(edit)->event(event);
        ColourFieldAfterKey(edit);
        return true;  // delivered; a key the field ignores still goes on to its parents
      }
  return QWidget::eventFilter(watched, event);
}

}  // namespace kl
