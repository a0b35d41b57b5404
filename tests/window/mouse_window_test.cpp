// Pointing into the solution tab after a run: hints, microscopes, marks, strip ranges.
#include <cmath>

#include "interaction/mouse_work.h"
#include "base/numbers.h"
#include "soliton/plot_frame.h"
#include "support/canvas_count.h"
#include "window_support.h"

namespace kl::test {
namespace {

// A kink at rest run on N = 1024 to the first-phase limit (t = 10), with the solution tab shown.
void RunAKink(TForm1& f) {
  Program& p = f.program();
  f.TabbedNotebook1->setCurrentIndex(2);
  QTest::qWait(30);
  p.profile.OduXMin = -10;
  SolveProfile(p.profile, p.pot, 0, 10, nullptr);
  p.kinks.SolitonCount = 1;
  p.sim.InitReady = true;
  f.ListBoxN->setCurrentRow(0);
  f.ListBoxNClick();
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  for (int k = 0; k < 5000 && p.sim.Running; ++k) QTest::qWait(1);
  ASSERT_EQ(p.sim.RunState, 3);
}

void ChooseOption(TForm1& f, int row) {
  f.ListBoxOptions->setCurrentRow(row);
  f.ListBoxOptionsClick();
}

TEST_F(WindowTest, APressOnThePictureShowsTheHintOfAComputedPoint) {
  TForm1& f = Start();
  RunAKink(f);
  const QPoint at = MainPixel(f, 0.5, 5);
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, at);
  ASSERT_TRUE(f.LabelHint2->isVisibleTo(&f));
  EXPECT_EQ(Text(f.LabelHint2).substr(0, 2), "x=");
  EXPECT_NE(Text(f.LabelHint2).find(" u="), std::string::npos);
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, at);
  EXPECT_FALSE(f.LabelHint2->isVisibleTo(&f));
  // Before the start: nothing.
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 0.5, -2));
  EXPECT_FALSE(f.LabelHint2->isVisibleTo(&f));
}

TEST_F(WindowTest, MicroscopeDragsAreStoredInOrderAndAnInvalidReleaseCollapsesThem) {
  TForm1& f = Start();
  RunAKink(f);
  Program& p = f.program();
  ChooseOption(f, 1);
  EXPECT_TRUE(f.rbCreateMicro2->isChecked());
  const QPoint a = MainPixel(f, 5, 2), b = MainPixel(f, -5, 8);
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, a);
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, b);  // right to left
  EXPECT_EQ(p.micro.Micro1Line, (std::array<int, 4>{b.x(), b.y(), a.x(), a.y()}));
  EXPECT_EQ(f.PaintBoxMain->canvas().Pixel((a.x() + b.x()) / 2, (a.y() + b.y()) / 2), kWhite);

  ChooseOption(f, 2);
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, a);
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 0, -1));  // before t = 0: invalid
  EXPECT_EQ(p.micro.Micro2Rect, (std::array<int, 4>{a.x(), a.y(), a.x(), a.y()}));
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, a);
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, b);
  EXPECT_EQ(p.micro.Micro2Rect, (std::array<int, 4>{b.x(), a.y(), a.x(), b.y()}));  // y1 the lower edge

  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);  // the magnified picture is painted
  EXPECT_GT(CountOf(f.PaintBoxMicro2->canvas(), f.colours().ColorTable[1]) +
                CountOf(f.PaintBoxMicro2->canvas(), f.colours().ColorTable[f.colours().ColorCount]),
            100);
  f.rbDeleteMicro2->click();
  EXPECT_EQ(p.micro.Micro2Rect[0], -1);
  EXPECT_NE(p.micro.Micro1Line[0], -1);  // only the current mode's microscope
  ChooseOption(f, 0);
  f.rbDeleteMicro2->click();
  EXPECT_NE(p.micro.Micro1Line[0], -1);
}

// The canvas as ClearPlot leaves it: white inside a black frame, nothing of an old picture.
bool Cleared(const Canvas& c) {
  Canvas blank(c.Width(), c.Height());
  ClearPlot(blank);
  for (int y = 0; y < c.Height(); ++y)
    for (int x = 0; x < c.Width(); ++x)
      if (c.Pixel(x, y) != blank.Pixel(x, y)) return false;
  return true;
}

TEST_F(WindowTest, TheMagnifiedPictureGoesWheneverThePictureBelowIsCleared) {
  TForm1& f = Start();
  RunAKink(f);
  const Canvas& micro = f.PaintBoxMicro2->canvas();
  const auto magnify = [&] {
    ChooseOption(f, 2);
    QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, -4, 2));
    QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 4, 8));
    QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
    ASSERT_FALSE(Cleared(micro));
  };
  magnify();
  f.TabbedNotebook1->setCurrentIndex(1);  // the solution tab shown again
  QTest::qWait(30);
  f.TabbedNotebook1->setCurrentIndex(2);
  QTest::qWait(30);
  EXPECT_TRUE(Cleared(micro)) << "tab shown";
  magnify();
  f.rbDeleteMicro2->click();  // the rectangle deleted
  EXPECT_TRUE(Cleared(micro)) << "rectangle deleted";
  magnify();
  f.ListBoxNClick();  // a new run from t = 0
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  EXPECT_TRUE(Cleared(micro)) << "new run";
  for (int k = 0; k < 5000 && f.program().sim.Running; ++k) QTest::qWait(1);
}

TEST_F(WindowTest, MarksArePutAndRemovedOnTheCurrentSolutionStrip) {
  TForm1& f = Start();
  RunAKink(f);
  Program& p = f.program();
  const int W = f.PaintBoxCurrSol->width(), y = f.PaintBoxCurrSol->height() / 2;
  auto column = [&](double x) { return static_cast<int>(std::lround((x + 20) / 40 * W)); };
  f.rbP1->setChecked(true);
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(3), y));
  QTest::mouseRelease(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(-3), y));
  ASSERT_EQ(p.marks.MarkCount, 1);
  EXPECT_LT(p.marks.MarkLeft[1], p.marks.MarkRight[1]);
  EXPECT_NEAR(p.marks.MarkLeft[1], -3, 0.2);
  f.rbM1->setChecked(true);
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(10), y));  // outside the mark
  EXPECT_EQ(p.marks.MarkCount, 1);
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(0), y));
  EXPECT_EQ(p.marks.MarkCount, 0);

  // Marks put before a continued run follow the kink and the text block shows them.
  f.rbP1->setChecked(true);
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(-2), y));
  QTest::mouseRelease(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(2), y));
  f.rbMAll->click();
  EXPECT_EQ(p.marks.MarkCount, 0);

  f.rbScale->setChecked(true);
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(0), y));
  EXPECT_TRUE(f.GroupBoxCurrSol->isVisibleTo(&f));
  EXPECT_EQ(Text(f.EditPlantSolMin), "-1.500");
  QTest::mouseRelease(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(0), y));
  EXPECT_FALSE(f.GroupBoxCurrSol->isVisibleTo(&f));
  QTest::mousePress(f.PaintBoxCurrEnergy, Qt::LeftButton, {}, QPoint(column(0), 5));
  EXPECT_EQ(Text(f.EditPlantEnergyMax), FormatWD(p.sim.DensityFrame.yMax, 5, 3));
  QTest::mouseRelease(f.PaintBoxCurrEnergy, Qt::LeftButton, {}, QPoint(column(0), 5));
  EXPECT_FALSE(f.GroupBoxPlantEnergy->isVisibleTo(&f));
}

TEST_F(WindowTest, APressOnTheMicroscopeBoxMeansThePictureBelowUntilARectangleExists) {
  TForm1& f = Start();
  RunAKink(f);
  const Program& p = f.program();
  // The box covers the lower right of the picture, before t = 0: nothing computed there.
  const QPoint inBox(5, 5);
  const QPoint below = inBox + f.PaintBoxMicro2->pos() - f.PaintBoxMain->pos();
  EXPECT_FALSE(HintText(p.sim, ProbePoint(p.sim, p.sim.MainFrame, f.PaintBoxMain->width(), f.PaintBoxMain->height(),
                                          below.x(), below.y())));
  QTest::mousePress(f.PaintBoxMicro2, Qt::LeftButton, {}, inBox);
  EXPECT_FALSE(f.LabelHint2->isVisibleTo(&f));
  // With a rectangle over computed points, the box shows them magnified and hints on them.
  ChooseOption(f, 2);
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, -4, 2));
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 4, 8));
  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  ChooseOption(f, 0);
  QTest::mousePress(f.PaintBoxMicro2, Qt::LeftButton, {}, QPoint(f.PaintBoxMicro2->width() / 2, 5));
  ASSERT_TRUE(f.LabelHint2->isVisibleTo(&f));
  const std::string hint = Text(f.LabelHint2);
  EXPECT_EQ(hint.substr(0, 2), "x=");
  EXPECT_NE(hint.find(" u="), std::string::npos);  // a computed point of the rectangle
  QTest::mouseRelease(f.PaintBoxMicro2, Qt::LeftButton, {}, QPoint(5, 5));
  EXPECT_FALSE(f.LabelHint2->isVisibleTo(&f));
}

}  // namespace
}  // namespace kl::test
