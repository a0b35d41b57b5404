// The whole road of a session, through the controls only: profile, kinks, initial
// conditions, N, a run to the first-phase limit, the refresh, a saved and reloaded setup.
#include <cmath>

#include "interaction/colour_scale.h"
#include "support/canvas_count.h"
#include "window_support.h"

namespace kl::test {
namespace {

TEST_F(WindowTest, ASessionFromTheFirstPictureToTheRefreshedRun) {
  TForm1& f = Start();
  const Program& p = f.program();
  AddKink(f, "-6", "0.2");
  AddKink(f, "6", "-0.2");
  ASSERT_EQ(p.kinks.SolitonCount, 2);

  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  f.RadioGroupInitItems[0]->click();  // kinks and antikinks only
  QTest::mouseClick(f.ButtonInitPlants, Qt::LeftButton);
  ASSERT_TRUE(p.sim.InitReady);

  f.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  ClickRow(f.ListBoxN, 0);
  ASSERT_EQ(p.sim.GridSize, 1024);
  PressStartAndWait(f);
  ASSERT_EQ(p.sim.RunState, 3);
  EXPECT_GE(p.sim.TimeNow, 10.0);

  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  // The picture spans x in [-20, 20] and t in [-10, 10]. Two points in the band above the
  // text block (its 156 rows at the bottom left), near t = 9: between the pair (x = 0, the
  // vacuum +1) and left of it (x = -12, the vacuum -1). A pixel shows the level and grid point
  // nearest to its world point.
  const Canvas& main = f.PaintBoxMain->canvas();
  const int W = main.Width(), H = main.Height();
  ASSERT_GT(H, 160);
  const int row = (H - 156) / 2;
  const double t = -10.0 + 20.0 * (H - row) / H;
  const int level = static_cast<int>(std::nearbyint(t / p.sim.Dt));
  for (double wanted : {0.0, -12.0}) {
    const int column = static_cast<int>(std::nearbyint((wanted + 20.0) / 40.0 * W));
    const double x = -20.0 + 40.0 * column / W;
    const double u = p.sim.stores.History(level)[static_cast<int>(std::nearbyint(x / p.sim.Dx))].re;
    EXPECT_NEAR(u, wanted == 0.0 ? 1.0 : -1.0, 0.05);
    EXPECT_EQ(main.Pixel(column, row), AmplColor(f.colours(), u)) << "x=" << x << " u=" << u;
  }
  EXPECT_NE(AmplColor(f.colours(), 1.0), AmplColor(f.colours(), -1.0));

  // The energy picture of the same run.
  f.RadioButtonEnergy->setChecked(true);
  QTest::mouseClick(f.ButtonRefreshSol, Qt::LeftButton);
  int coloured = 0;
  for (int k = 1; k <= f.colours().ColorCount; ++k) coloured += CountOf(main, f.colours().ColorTable[k]);
  EXPECT_GT(coloured, W * H / 4);

  // Save the setup, start afresh, load it and run again to the same numbers.
  const double energy = p.sim.EnergyTotal, reached = p.sim.TimeNow;
  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  f.edMyFile->setText("session");
  QTest::mouseClick(f.cmdPut, Qt::LeftButton);
  form.reset();
  TForm1& g = Start();
  g.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  g.Files->findItems("session.kq1", Qt::MatchExactly).front()->setSelected(true);
  QTest::mouseClick(g.cmdGet, Qt::LeftButton);
  ASSERT_TRUE(messages.errors.empty());
  g.TabbedNotebook1->setCurrentIndex(2);
  Pump();
  PressStartAndWait(g);
  EXPECT_EQ(g.program().sim.TimeNow, reached);
  EXPECT_EQ(g.program().sim.EnergyTotal, energy);
}

TEST_F(WindowTest, TheDirectoryListChangesTheWorkingFolder) {
  TForm1& f = Start();
  std::filesystem::create_directories(folder / "setups");
  f.FillFolderLists();
  const auto found = f.Directory->findItems("setups", Qt::MatchExactly);
  ASSERT_EQ(found.size(), 1);
  f.DirectoryClick(f.Directory->row(found.front()));
  EXPECT_EQ(std::filesystem::current_path(), folder / "setups");
  f.edMyFile->setText("here");
  QTest::mouseClick(f.cmdPut, Qt::LeftButton);
  EXPECT_TRUE(std::filesystem::exists(folder / "setups" / "here.kq1"));
  EXPECT_EQ(f.Files->count(), 1);
}

}  // namespace
}  // namespace kl::test
