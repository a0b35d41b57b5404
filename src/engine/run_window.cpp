// The run on the solution tab: start, stop and the slice timer, and the run's view of the window.
#include <QThread>

#include "app/main_window.h"
#include "base/numbers.h"

namespace kl {

void TForm1::ButtonToCalcClick() {
  // A press that starts or resumes the run deletes the microscopes (and a fresh run clears the
  // main picture), so the magnified picture goes too.
  if (p_->sim.InitReady) ClearPlot(canvases_.PaintBoxMicro2);
  StartPress(*p_, runUi_);
  UpdatePaintBoxes();
}

void TForm1::ButtonStopClick() {
  StopPress(*p_, runUi_);
}

void TForm1::TimerSeeOutsideTimer() {
  // The timer is re-armed by the run at the end of each slice.
  TimerSeeOutside->stop();
  SliceTimerTick(*p_, runUi_);
  UpdatePaintBoxes();
}

void WindowRunUi::ShowRunCaption(int runState) {
  f_.ButtonToCalc->setText(QString::fromStdString(f_.kept_.RunCaptions[std::clamp(runState, 1, 4)]));
}
void WindowRunUi::SetStartEnabled(bool on) { f_.ButtonToCalc->setEnabled(on); }
void WindowRunUi::ShowTimeCaption(const std::string& text) { f_.setWindowTitle(QString::fromStdString(text)); }
void WindowRunUi::RestoreWindowCaption() { f_.setWindowTitle(QString::fromStdString(f_.kept_.WindowCaption)); }
void WindowRunUi::ShowReachTime() { f_.ShowConcl2(); }
void WindowRunUi::ShowGrid() {
  f_.ShowConcl1();
  f_.ShowConcl2();
}
void WindowRunUi::ShowStripTitles() {
  f_.LabelNameCurrSol->setText(QString::fromStdString(f_.kept_.SolTitle));
  f_.LabelNameCurrSol->adjustSize();
  f_.LabelNameCurrEnergy->setText(QString::fromStdString(f_.kept_.EnergyTitle));
  f_.LabelNameCurrEnergy->adjustSize();
}
void WindowRunUi::EnableParamA() { f_.Par_a_Value->setEnabled(true); }
void WindowRunUi::CheckWithStop() { f_.RadioButtonWithStop->setChecked(true); }
void WindowRunUi::SelectWithoutStop() { f_.RadioButtonWithoutStop->setChecked(true); }
bool WindowRunUi::WithStopChecked() const { return f_.RadioButtonWithStop->isChecked(); }
void WindowRunUi::SetRunControlsEnabled(bool on) {
  for (QWidget* w : std::initializer_list<QWidget*>{f_.rbDeleteMicro2, f_.rbCreateMicro2, f_.rbScale, f_.rbP1, f_.rbM1,
                                                    f_.rbMAll, f_.RadioButtonAmpl, f_.RadioButtonFase,
                                                    f_.RadioButtonEnergy, f_.ButtonRefreshSol, f_.ListBoxOptions})
    w->setEnabled(on);
}
void WindowRunUi::EnableSliceTimer() { f_.TimerSeeOutside->start(); }
void WindowRunUi::ShowError(const std::string& message) { f_.messages_->Error(message); }
void WindowRunUi::Pause(int milliseconds) {
  if (f_.pauseMs_ > 0) QThread::msleep(static_cast<unsigned long>(std::min(milliseconds, f_.pauseMs_)));
}

}  // namespace kl
