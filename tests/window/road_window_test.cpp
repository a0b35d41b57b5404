// The road through the window: the profile, the kink list, the initial conditions.
#include "support/canvas_count.h"
#include "window_support.h"

namespace kl::test {
namespace {

void TypeInto(QLineEdit* e, const char* text) {
  e->setText(text);
}

TEST_F(WindowTest, OneGraphSolvesTheProfileOfTheKindAndShowsItsNumbers) {
  const char* expected[4][3] = {{"0.707", "2.502", "0.945"},
                                {"0.702", "2.468", "0.923"},
                                {"0.700", "2.459", "0.913"},
                                {"0.662", "1.668", "0.708"}};
  for (int kind = 1; kind <= 4; ++kind) {
    Write("KQ_ini.txt", std::to_string(kind) + "\n0\nKQ_log\n");
    TForm1& f = Start();
    QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
    EXPECT_EQ(Text(f.EditODU[5]), expected[kind - 1][0]) << kind;
    EXPECT_EQ(Text(f.EditODU[6]), expected[kind - 1][1]) << kind;
    EXPECT_EQ(Text(f.EditODU[7]), expected[kind - 1][2]) << kind;
    EXPECT_TRUE(f.ButtonAdd->isVisibleTo(&f));
    EXPECT_TRUE(f.ButtonAdd->isEnabled());
    EXPECT_EQ(Text(f.EditInitSm), "0.0");
    // The three pictures: a red potential, a green phase plane, a blue profile.
    EXPECT_GT(CountOf(f.PaintBoxPotEn->canvas(), kRed), 50);
    EXPECT_GT(CountOf(f.PaintBoxPhasPl->canvas(), kGreen), 50);
    EXPECT_GT(CountOf(f.PaintBoxODU->canvas(), kBlue), 50);
    form.reset();
  }
}

TEST_F(WindowTest, KinksAreAddedAfterEachProfileAndRemovedAgain) {
  TForm1& f = Start();
  Program& p = f.program();
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  TypeInto(f.EditInitSm, "10.001");  // beyond L = 10
  TypeInto(f.EditInitVel, "0.3");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  EXPECT_TRUE(TForm1::IsYellow(f.EditInitSm));
  EXPECT_FALSE(TForm1::IsYellow(f.EditInitVel));
  EXPECT_EQ(p.kinks.SolitonCount, 0);
  TypeInto(f.EditInitSm, " -4");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  ASSERT_EQ(p.kinks.SolitonCount, 1);
  EXPECT_EQ(f.ListBoxInitVal->item(0)->text().toStdString(), "v=0.3, c= -4");
  EXPECT_EQ(p.kinks.InitSm[1], -4.0);
  EXPECT_EQ(p.kinks.InitVel[1], 0.3);
  EXPECT_FALSE(f.ButtonAdd->isEnabled());  // a new profile first
  EXPECT_FALSE(f.Par_a_Value->isEnabled());
  EXPECT_TRUE(f.ButtonDrawAll->isVisibleTo(&f));

  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  EXPECT_TRUE(f.ButtonAdd->isEnabled());
  TypeInto(f.EditInitSm, "10");  // L itself is admitted
  TypeInto(f.EditInitVel, "-1");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  EXPECT_TRUE(TForm1::IsYellow(f.EditInitVel));
  TypeInto(f.EditInitVel, "-0.99");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  ASSERT_EQ(p.kinks.SolitonCount, 2);
  EXPECT_EQ(p.kinks.InitVel[2], -0.99);

  QTest::mouseClick(f.ButtonDrawAll, Qt::LeftButton);
  EXPECT_EQ(p.kinks.InitSm[1], -4.0);  // sorted by displacement: already in order
  EXPECT_GT(CountOf(f.PaintBoxODU->canvas(), kBlue), 50);

  QTest::mouseClick(f.ButtonRemove, Qt::LeftButton);  // nothing selected: nothing happens
  EXPECT_EQ(p.kinks.SolitonCount, 2);
  f.ListBoxInitVal->item(0)->setSelected(true);
  QTest::mouseClick(f.ButtonRemove, Qt::LeftButton);
  ASSERT_EQ(p.kinks.SolitonCount, 1);
  EXPECT_EQ(p.kinks.InitSm[1], 10.0);
  f.ListBoxInitVal->item(0)->setSelected(true);
  QTest::mouseClick(f.ButtonRemove, Qt::LeftButton);
  EXPECT_EQ(p.kinks.SolitonCount, 0);
  EXPECT_FALSE(f.ListBoxInitVal->isVisibleTo(&f));
  EXPECT_FALSE(f.ButtonDrawAll->isVisibleTo(&f));
  EXPECT_TRUE(f.Par_a_Value->isEnabled());
}

TEST_F(WindowTest, TheListHoldsAtMostNineKinks) {
  TForm1& f = Start();
  for (int k = 0; k < 10; ++k) {
    QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
    TypeInto(f.EditInitSm, std::to_string(k - 5).c_str());
    QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  }
  EXPECT_EQ(f.program().kinks.SolitonCount, 9);
  EXPECT_EQ(f.ListBoxInitVal->count(), 9);
  EXPECT_FALSE(TForm1::IsYellow(f.EditInitSm));
}

TEST_F(WindowTest, PlotsComposeTheInitialConditionsAndAllowARun) {
  TForm1& f = Start();
  Program& p = f.program();
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);  // one kink at rest at 0
  f.TabbedNotebook1->setCurrentIndex(1);
  Pump();
  EXPECT_TRUE(f.ButtonInitPlants->isEnabled());
  EXPECT_FALSE(p.sim.InitReady);
  QTest::mouseClick(f.ButtonInitPlants, Qt::LeftButton);
  EXPECT_TRUE(p.sim.InitReady);
  EXPECT_EQ(p.sim.RightVacuum, 1.0);
  // The kink at rest: the profile over [-1, 1], and d_t u on the zero axis (range 0.01).
  const Canvas& u = f.PaintBox_Re_u->canvas();
  const Canvas& du = f.PaintBox_dt_Re_u->canvas();
  EXPECT_GT(CountOf(u, kBlue), 100);
  // Each 2 x 2 dot straddles the axis row, drawn black over it afterwards.
  const int axis = static_cast<int>(std::nearbyint(du.Height() / 2.0));
  int onAxis = 0;
  for (int x = 0; x < du.Width(); ++x)
    onAxis += du.Pixel(x, axis - 1) == kBlue || du.Pixel(x, axis + 1) == kBlue;
  EXPECT_GT(onAxis, du.Width() / 2);
  for (int x = 1; x < du.Width() - 1; ++x) EXPECT_EQ(du.Pixel(x, axis), kBlack) << x;
  // Top-left: u = -1 lies on the bottom row of the plot, the right end on the top.
  EXPECT_EQ(u.Pixel(0, u.Height() - 1), kBlue);
  EXPECT_EQ(u.Pixel(u.Width() - 1, 0), kBlue);
}

}  // namespace
}  // namespace kl::test
