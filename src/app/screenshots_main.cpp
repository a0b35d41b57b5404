// kinklab-screenshots: pictures of the four tabs of the real window, for the documentation.
// Run it in a folder with the side files: kinklab-screenshots OUTPUT_FOLDER
#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTest>

#include "app/main_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  kl::TForm1 form;
  form.resize(640, 560);
  form.show();
  // The solution tab shows a run: a kink and an antikink at -4 and +4 approaching at 0.3,
  // halted at the end of the first display window.
  kl::Program& p = form.program();
  p.profile.OduXMin = -p.sim.HalfInterval;
  kl::SolveProfile(p.profile, p.pot, p.pot.ParamA, p.sim.HalfInterval, nullptr);
  p.kinks.SolitonCount = 2;
  p.kinks.InitSm[1] = -4;
  p.kinks.InitVel[1] = 0.3;
  p.kinks.InitSm[2] = 4;
  p.kinks.InitVel[2] = -0.3;
  p.rot.InitMethod = 0;
  p.sim.InitReady = true;
  for (int page = 0; page < 4; ++page) {
    form.TabbedNotebook1->setCurrentIndex(page);
    QTest::qWait(100);
    if (page == 2) {
      form.RadioButtonWithStop->setChecked(true);
      form.ButtonToCalcClick();
      for (int k = 0; k < 5000 && p.sim.Running; ++k) QTest::qWait(1);
    }
    form.grab().save(QStringLiteral("%1/tab%2.png").arg(out).arg(page));
  }
  return 0;
}
