// kinklab-screenshots: pictures of the real window, for the documentation.
// Run it in a folder with the side files: kinklab-screenshots OUTPUT_FOLDER
//
// The window opens maximised, as the program opens it, on a virtual 1920 x 1080 screen of
// Qt's offscreen platform (set up here, whatever QT_QPA_PLATFORM says).
//
// It writes tab0.png .. tab3.png (the four tabs, for docs/window.md) and then drives the
// window through the session of docs/user-guide.md with its own controls, saving one
// picture per step worth showing (guide-01-*.png .. guide-11-*.png). The session saves the
// setup "collision.kq1" into the current folder (and removes it at the end), and prints the
// marks, the hints and the log file on standard output.
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QPixmap>
#include <QTest>
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <memory>
#include <string>

#include "app/main_window.h"

namespace {

using kl::TForm1;

// The session's message boxes: printed, and a question is answered with Yes, so that no
// modal box waits for a click that never comes.
class PrintedMessages : public kl::MessageBoxes {
 public:
  void Error(const std::string& text) override { std::printf("error box: %s\n", text.c_str()); }
  void Information(const std::string& text) override { std::printf("information box: %s\n", text.c_str()); }
  bool AskYesNo(const std::string& text) override {
    std::printf("question box (answered Yes): %s\n", text.c_str());
    return true;
  }
};

constexpr int kScreenWidth = 1920, kScreenHeight = 1080;

// Shows the window maximised and waits until it is laid out for that size.
void OpenMaximized(TForm1& form) {
  form.showMaximized();
  for (int k = 0; k < 5000 && !form.Created(); ++k) QTest::qWait(1);
}

// The four tabs as docs/window.md shows them.
void TabPictures(const QString& out) {
  kl::TForm1 form(nullptr, 100, TForm1::Opening::Maximized);
  OpenMaximized(form);
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
}

// ---- The session of the user guide ----------------------------------------------------

class Session {
 public:
  explicit Session(QString out) : out_(std::move(out)) {}

  void Run();

 private:
  TForm1& Start() {
    form_ = std::make_unique<TForm1>(&messages_, 100, TForm1::Opening::Maximized);
    OpenMaximized(*form_);
    Pump(100);
    return *form_;
  }
  static void Pump(int ms = 60) { QTest::qWait(ms); }
  // The notebook with the language and close buttons beside it.
  void Save(const char* name) {
    TForm1& f = *form_;
    Pump(30);
    const QRect nb = f.TabbedNotebook1->geometry();
    const int right = std::max(f.cmdLang->geometry().right(), f.cmdExit->geometry().right()) + 6;
    const QRect area(0, std::max(nb.y() - 2, 0), right, nb.height() + 4);
    const QString path = QStringLiteral("%1/guide-%2.png").arg(out_, QString::fromLatin1(name));
    f.grab(area).save(path);
    std::printf("picture %s: t=%.4f RunState=%d caption \"%s\"\n", qPrintable(path), f.program().sim.TimeNow,
                f.program().sim.RunState, qPrintable(f.ButtonToCalc->text()));
  }
  void Tab(int page) {
    form_->TabbedNotebook1->setCurrentIndex(page);
    Pump(80);
  }
  static void ClickRow(QListWidget* list, int row) {
    list->setCurrentRow(row);
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(list->item(row)).center());
  }
  static void Click(QAbstractButton* b) { QTest::mouseClick(b, Qt::LeftButton); }
  // Lets the slice timer run until the run halts (or until t reaches `until`).
  void RunWhile(double until = 1e9) {
    const kl::SimState& s = form_->program().sim;
    for (int k = 0; k < 200000 && s.Running && s.TimeNow < until; ++k) QTest::qWait(1);
  }
  // The pixel of the world point (x, t) on the main picture, through its current frame.
  QPoint MainPixel(double x, double t) const {
    const kl::PlotFrame& f = form_->program().sim.MainFrame;
    const int W = form_->PaintBoxMain->width(), H = form_->PaintBoxMain->height();
    return QPoint(static_cast<int>(std::lround((x - f.xMin) / (f.xMax - f.xMin) * W)),
                  H - static_cast<int>(std::lround((t - f.yMin) / (f.yMax - f.yMin) * H)));
  }
  // The pixel of x on the current-solution strip (the middle row).
  QPoint StripPixel(double x) const {
    const kl::PlotFrame& f = form_->program().sim.SolFrame;
    const int W = form_->PaintBoxCurrSol->width(), H = form_->PaintBoxCurrSol->height();
    return QPoint(static_cast<int>(std::lround((x - f.xMin) / (f.xMax - f.xMin) * W)), H / 2);
  }
  void Drag(QWidget* box, QPoint from, QPoint to) {
    QTest::mousePress(box, Qt::LeftButton, {}, from);
    QTest::mouseRelease(box, Qt::LeftButton, {}, to);
    Pump(20);
  }
  void PrintLog() {
    TForm1& f = *form_;
    const QString path = QString::fromStdString(f.StartFolder + "/" + f.program().logSettings.LogFileName + ".txt");
    QFile log(path);
    if (!log.open(QIODevice::ReadOnly)) return;
    std::printf("---- %s ----\n%s---- end of the log ----\n", qPrintable(path), log.readAll().constData());
  }
  void PrintMarks() {
    const kl::Marks& m = form_->program().marks;
    for (int k = 1; k <= m.MarkCount; ++k)
      std::printf("mark %d: [%.3f, %.3f] u=%.3f w=%.3f e=%.3f\n", k, m.MarkLeft[k], m.MarkRight[k], m.MarkPeakU[k],
                  m.MarkWidth[k], m.MarkEnergy[k]);
  }

  QString out_;
  PrintedMessages messages_;
  std::unique_ptr<TForm1> form_;
};

void Session::Run() {
  TForm1& f = Start();
  const kl::Program& p = f.program();

  // Solitons: the profile, then a kink at -6 moving right at 0.3 ...
  Tab(0);
  Click(f.ButtonDrawOne);
  f.EditInitSm->setText("-6");
  f.EditInitVel->setText("0.3");
  Save("01-one-kink");
  Click(f.ButtonAdd);
  // ... and, after a new profile, an antikink at +6 moving left at 0.3; the chain of both.
  Click(f.ButtonDrawOne);
  f.EditInitSm->setText("6");
  f.EditInitVel->setText("-0.3");
  Click(f.ButtonAdd);
  Click(f.ButtonDrawAll);
  Save("02-kink-list");

  // Initial conditions: kinks and antikinks, plotted.
  Tab(1);
  f.RadioGroupInitItems[0]->click();
  Click(f.ButtonInitPlants);
  Save("03-initial-conditions");

  // Solution: N = 1024, with stops, start: the run halts at the first-phase limit t = L.
  Tab(2);
  ClickRow(f.ListBoxN, 0);
  f.RadioButtonWithStop->click();
  Click(f.ButtonToCalc);
  RunWhile();
  Save("04-first-phase-limit");

  // Marks on the kink (near x = -3) and the antikink (near x = +3): "+1" drags on the strip.
  f.rbP1->click();
  Drag(f.PaintBoxCurrSol, StripPixel(-5.5), StripPixel(-0.5));
  Drag(f.PaintBoxCurrSol, StripPixel(0.5), StripPixel(5.5));
  PrintMarks();

  // The first press arms the second phase: one more step, in which the marks are measured,
  // then a halt.
  Click(f.ButtonToCalc);
  RunWhile();
  std::printf("after the arming press: t=%.4f caption \"%s\" title \"%s\"\n", p.sim.TimeNow,
              qPrintable(f.ButtonToCalc->text()), qPrintable(f.windowTitle()));
  PrintMarks();
  Save("05-marks-armed");

  // The second press runs the second phase on to the end of its first display window
  // (t = 30), where it halts by itself ("With stops").
  Click(f.ButtonToCalc);
  std::printf("while running: caption \"%s\"\n", qPrintable(f.ButtonToCalc->text()));
  RunWhile();
  std::printf("halted: t=%.4f caption \"%s\" title \"%s\"\n", p.sim.TimeNow, qPrintable(f.ButtonToCalc->text()),
              qPrintable(f.windowTitle()));
  PrintMarks();
  PrintLog();

  // Refresh: the x-t picture of the amplitude, then of the energy density with 32 colours;
  // the press on the colour scale shows the values of a band.
  Click(f.ButtonRefreshSol);
  Save("06-refresh-amplitude");
  ClickRow(f.lbNColor, 21);  // 200 - 8 * 21 = 32 colours
  f.RadioButtonEnergy->click();
  Click(f.ButtonRefreshSol);
  const QPoint band(f.PaintBoxScaleColor->width() / 2, f.PaintBoxScaleColor->height() / 4);
  QTest::mousePress(f.PaintBoxScaleColor, Qt::LeftButton, {}, band);
  std::printf("colour scale hint: %s\n", qPrintable(f.LabelColorScaleHint->text()));
  Save("07-refresh-energy");
  QTest::mouseRelease(f.PaintBoxScaleColor, Qt::LeftButton, {}, band);

  // Both microscopes, back in the amplitude picture with 16 colours: a line across the pair
  // at t = 13 and a rectangle round the collision.
  ClickRow(f.lbNColor, 23);
  f.RadioButtonAmpl->click();
  ClickRow(f.ListBoxOptions, 1);
  Drag(f.PaintBoxMain, MainPixel(-7, 13), MainPixel(7, 13));
  ClickRow(f.ListBoxOptions, 2);
  Drag(f.PaintBoxMain, MainPixel(-2.5, 15.5), MainPixel(2.5, 20.5));
  Click(f.ButtonRefreshSol);
  std::printf("energy strip range after the section: %.3f .. %.3f\n", p.sim.DensityFrame.yMin, p.sim.DensityFrame.yMax);

  // Hints: press and hold on the picture, on the kink near t = 14; the picture shows the
  // microscopes too.
  ClickRow(f.ListBoxOptions, 0);
  const QPoint onKink = MainPixel(-1.8, 14);
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, onKink);
  std::printf("hint: %s\n", qPrintable(f.LabelHint2->text()));
  Save("08-microscopes-hint");
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, onKink);

  // The second phase goes on: the next display window, t = 30 .. 50, refreshed.
  Click(f.ButtonToCalc);
  RunWhile();
  Save("09-next-window-halted");
  Click(f.ButtonRefreshSol);
  PrintMarks();
  Save("09-next-window");
  PrintLog();

  // Save the setup, restart, load it.
  Tab(1);
  f.edMyFile->setText("collision");
  Click(f.cmdPut);
  form_.reset();
  TForm1& g = Start();
  Tab(1);
  const auto found = g.Files->findItems("collision.kq1", Qt::MatchExactly);
  if (!found.isEmpty()) found.front()->setSelected(true);
  Click(g.cmdGet);
  Save("10-loaded");

  Tab(3);
  Save("11-help");

  // Leave the folder as it was found, so that tab1.png shows no setup file next time.
  form_.reset();
  QFile::remove(QStringLiteral("collision.kq1"));
}

}  // namespace

int main(int argc, char** argv) {
  const QString config = QDir::temp().filePath(QStringLiteral("kinklab_screenshots_screen.json"));
  QFile screen(config);
  if (screen.open(QIODevice::WriteOnly))
    screen.write(QStringLiteral(R"({"windowFrameMargins": false, "screens": [{"name": "screen", "x": 0, "y": 0, )"
                                R"("width": %1, "height": %2}]})")
                     .arg(kScreenWidth)
                     .arg(kScreenHeight)
                     .toUtf8());
  screen.close();
  qputenv("QT_QPA_PLATFORM", ("offscreen:configfile=" + config).toLocal8Bit());
  QApplication app(argc, argv);
  const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
  QDir().mkpath(out);
  TabPictures(out);
  Session(out).Run();
  return 0;
}
