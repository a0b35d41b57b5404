// A realistic session from start-up to a reloaded setup, as a new user would go through it.
#include <cmath>
#include <regex>

#include "support/canvas_count.h"
#include "window_support.h"

namespace kl::test {
namespace {

void DragMark(TForm1& f, double from, double to) {
  const PlotFrame& s = f.program().sim.SolFrame;
  const int W = f.PaintBoxCurrSol->width(), y = f.PaintBoxCurrSol->height() / 2;
  auto column = [&](double x) { return static_cast<int>(std::lround((x - s.xMin) / (s.xMax - s.xMin) * W)); };
  QTest::mousePress(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(from), y));
  QTest::mouseRelease(f.PaintBoxCurrSol, Qt::LeftButton, {}, QPoint(column(to), y));
}

TEST_F(WindowTest, ANewUsersSessionFromTheProfileToAReloadedRun) {
  Write("KQ_ini.txt", "1 plain double well\n10 levels between log records\nsession_log\n");
  TForm1& f = Start();
  const Program& p = f.program();
  ASSERT_TRUE(messages.errors.empty());

  // The profile, then a kink and an antikink approaching each other.
  AddKink(f, "-5", "0.2");
  AddKink(f, "5", "-0.2");
  ASSERT_EQ(p.kinks.SolitonCount, 2);
  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  f.RadioGroupInitItems[0]->click();
  QTest::mouseClick(f.ButtonInitPlants, Qt::LeftButton);

  // N = 1024, with stops: the first press runs to the first-phase limit at t = 10.
  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  f.ListBoxN->setCurrentRow(0);
  f.ListBoxNClick();
  f.RadioButtonWithStop->setChecked(true);
  PressStartAndWait(f);
  ASSERT_EQ(p.sim.RunState, 3);
  const double firstT = p.sim.TimeNow, firstE = p.sim.EnergyTotal;
  EXPECT_NEAR(firstE, 2 * 0.945 / std::sqrt(1 - 0.04), 0.02);

  // Two marks around the kinks, now at -3 and +3, before the run goes on.
  f.rbP1->setChecked(true);
  DragMark(f, -5, -1);
  DragMark(f, 5, 1);  // dragged from right to left
  ASSERT_EQ(p.marks.MarkCount, 2);
  PressStartAndWait(f);  // arms the second phase: one more step, then a halt
  EXPECT_TRUE(p.sim.PhaseTwoArmed);
  f.RadioButtonWithoutStop->setChecked(true);
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);  // the second phase
  for (int k = 0; k < 20000 && p.sim.Running && p.sim.TimeNow < 14; ++k) QTest::qWait(1);
  QTest::mouseClick(f.ButtonStop, Qt::LeftButton);
  EXPECT_FALSE(p.sim.Running);
  ASSERT_GE(p.sim.TimeNow, 14.0);
  EXPECT_TRUE(p.sim.PhaseTwo);
  EXPECT_TRUE(f.ButtonRefreshSol->isEnabled());
  // The marks followed the kinks as they approached.
  EXPECT_GT(p.marks.MarkLeft[1], -5.0);
  EXPECT_LT(p.marks.MarkRight[2], 5.0);

  // The log: the header, the blank line of the N choice, and one record a mark every ten levels.
  const std::vector<std::string> log = Lines("session_log.txt");
  ASSERT_GE(log.size(), 4u);
  EXPECT_EQ(log[0], kLogHeader);
  EXPECT_EQ(log[1], " ");
  const std::regex field("( *-?[0-9]+,[0-9]{10}; ){6}");
  size_t records = 0;
  for (size_t k = 2; k < log.size(); ++k) {
    if (log[k] == " ") continue;
    ++records;
    EXPECT_TRUE(std::regex_match(log[k], field)) << log[k];
  }
  EXPECT_EQ(records % 2, 0u);
  EXPECT_EQ(log[2].substr(0, 17), log[3].substr(0, 17));  // the two marks of a step share t
  EXPECT_EQ(log[2].substr(5 * 17), log[3].substr(5 * 17));  // and E

  // Refresh in both modes.
  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  const Canvas& main = f.PaintBoxMain->canvas();
  const int amplitudeColoured = CountOf(main, f.colours().ColorTable[1]);
  f.RadioButtonEnergy->setChecked(true);
  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  EXPECT_NE(CountOf(main, f.colours().ColorTable[1]), amplitudeColoured);

  // Both microscopes, and the hints on them.
  // The second phase's window shows t from 10 on; the run stands at t = 14.
  const double tMid = (p.sim.MainFrame.yMin + p.sim.TimeNow) / 2;
  ASSERT_EQ(p.sim.MainFrame.yMin, 10.0);
  f.ListBoxOptions->setCurrentRow(1);
  f.ListBoxOptionsClick();
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, -6, tMid - 1));
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 6, tMid + 1));
  EXPECT_NE(p.micro.Micro1Line[0], -1);
  f.ListBoxOptions->setCurrentRow(2);
  f.ListBoxOptionsClick();
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, -4, tMid - 1.5));
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 4, tMid + 1.5));
  EXPECT_NE(p.micro.Micro2Rect[0], -1);
  f.RadioButtonAmpl->setChecked(true);
  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  EXPECT_GT(CountOf(f.PaintBoxCurrSol->canvas(), kAqua), 10);  // the section along the line
  f.ListBoxOptions->setCurrentRow(0);
  f.ListBoxOptionsClick();
  QTest::mousePress(f.PaintBoxMicro2, Qt::LeftButton, {}, QPoint(f.PaintBoxMicro2->width() / 2, f.PaintBoxMicro2->height() / 2));
  ASSERT_TRUE(f.LabelHint2->isVisibleTo(&f));
  EXPECT_NE(Text(f.LabelHint2).find(" u="), std::string::npos);
  QTest::mouseRelease(f.PaintBoxMicro2, Qt::LeftButton, {}, QPoint(1, 1));
  QTest::mousePress(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 0.5, tMid));
  EXPECT_NE(Text(f.LabelHint2).find(" u="), std::string::npos);
  QTest::mouseRelease(f.PaintBoxMain, Qt::LeftButton, {}, MainPixel(f, 0.5, tMid));

  // The second phase runs on after the stop.
  const double stoppedAt = p.sim.TimeNow;
  QTest::mouseClick(f.ButtonToCalc, Qt::LeftButton);
  for (int k = 0; k < 10 && p.sim.Running; ++k) QTest::qWait(5);
  QTest::mouseClick(f.ButtonStop, Qt::LeftButton);
  EXPECT_GT(p.sim.TimeNow, stoppedAt);

  // Save, start a new window, load, and run again to the same numbers.
  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  f.edMyFile->setText("session");
  QTest::mouseClick(f.cmdPut, Qt::LeftButton);
  form.reset();
  TForm1& g = Start();
  g.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  const auto found = g.Files->findItems("session.kq1", Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1);
  found.front()->setSelected(true);
  QTest::mouseClick(g.cmdGet, Qt::LeftButton);
  ASSERT_TRUE(messages.errors.empty());
  g.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  g.RadioButtonWithStop->setChecked(true);
  PressStartAndWait(g);
  EXPECT_EQ(g.program().sim.RunState, 3);
  EXPECT_EQ(g.program().sim.TimeNow, firstT);
  EXPECT_EQ(g.program().sim.EnergyTotal, firstE);
}

}  // namespace
}  // namespace kl::test
