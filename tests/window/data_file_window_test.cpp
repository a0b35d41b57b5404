// Setup files through the window: save, load, bad files and the question about the kind.
#include <cmath>
#include <cstring>

#include "app/data_file.h"
#include "window_support.h"

namespace kl::test {
namespace {

void SelectFile(TForm1& f, const char* name) {
  f.FillFolderLists();
  for (int row = 0; row < f.Files->count(); ++row)
    f.Files->item(row)->setSelected(f.Files->item(row)->text() == name);
}

// A setup made through the controls: two kinks, the rotator, N = 512, 64 colours.
void MakeSetup(TForm1& f) {
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  f.EditInitSm->setText("-3");
  f.EditInitVel->setText("0.5");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  QTest::mouseClick(f.ButtonDrawOne, Qt::LeftButton);
  f.EditInitSm->setText("3");
  f.EditInitVel->setText("-0.5");
  QTest::mouseClick(f.ButtonAdd, Qt::LeftButton);
  f.TabbedNotebook1->setCurrentIndex(1);
  QTest::qWait(30);
  f.RadioGroupInitItems[1]->click();
  f.Edit_qL->setText("0.4");
  f.Edit_kD->setText("0.7");
  QTest::mouseClick(f.ButtonInitPlants, Qt::LeftButton);
  f.ListBoxN->setCurrentRow(1);
  f.ListBoxNClick();
  f.lbNColor->setCurrentRow(17);  // 64 colours
  f.lbNColorClick();
}

TEST_F(WindowTest, ASavedSetupLoadsBackInANewWindow) {
  {
    TForm1& f = Start();
    MakeSetup(f);
    f.edMyFile->setText("pair");
    QTest::mouseClick(f.cmdPut, Qt::LeftButton);
    EXPECT_TRUE(messages.errors.empty());
    EXPECT_EQ(std::filesystem::file_size(folder / "pair.kq1"), 176u + 2 * 16);
    EXPECT_FALSE(f.Files->findItems("pair.kq1", Qt::MatchExactly).isEmpty());
    form.reset();
  }
  TForm1& g = Start();
  SelectFile(g, "pair.kq1");
  QTest::mouseClick(g.cmdGet, Qt::LeftButton);
  ASSERT_TRUE(messages.errors.empty()) << messages.errors.front();
  EXPECT_TRUE(messages.questions.empty());  // same potential kind
  const Program& p = g.program();
  EXPECT_EQ(p.kinks.SolitonCount, 2);
  EXPECT_EQ(g.ListBoxInitVal->count(), 2);
  EXPECT_EQ(g.ListBoxInitVal->item(0)->text().toStdString(), "v= 0.50, c=-3.00");
  EXPECT_TRUE(g.ListBoxInitVal->isVisibleTo(&g));
  EXPECT_EQ(Text(g.LabelSolitons), SolitonsCaption(g.kept(), 2));
  EXPECT_EQ(p.rot.InitMethod, 1);
  EXPECT_TRUE(g.RadioGroupInitItems[1]->isChecked());
  EXPECT_EQ(p.rot.qL, 0.4);
  EXPECT_EQ(p.rot.kD, 0.7);
  EXPECT_EQ(Text(g.Edit_qL), " 0.4");
  EXPECT_EQ(p.sim.GridSize, 512);
  EXPECT_EQ(g.ListBoxN->currentRow(), 1);
  EXPECT_EQ(g.colours().ColorCount, 64);
  EXPECT_EQ(g.lbNColor->currentRow(), 17);
  // The pictures were redrawn and the initial conditions are ready for a run.
  EXPECT_TRUE(p.sim.InitReady);
  EXPECT_EQ(Text(g.EditODU[5]), "0.707");
  EXPECT_EQ(p.sim.RightVacuum, -1.0);
}

TEST_F(WindowTest, ABadSetupFileIsRefusedAndNothingChanges) {
  TForm1& f = Start();
  MakeSetup(f);
  const Program& p = f.program();
  SetupData good = SetupFromProgram(p, 64);
  struct Bad {
    const char* name;
    std::string bytes;
  };
  SetupData kind7 = good;
  kind7.PotentialKind = 7;
  std::string truncated = EncodeSetup(good);
  truncated.resize(truncated.size() - 3);
  SetupData zeroL = good;
  zeroL.HalfInterval = 0;
  std::string notFinite = EncodeSetup(good);
  const double nan = std::nan("");
  std::memcpy(&notFinite[8 * 9], &nan, 8);
  const Bad bad[] = {{"kind.kq1", EncodeSetup(kind7)}, {"short.kq1", truncated},
                     {"zero.kq1", EncodeSetup(zeroL)}, {"nan.kq1", notFinite}, {"empty.kq1", ""}};
  for (const Bad& b : bad) Write(b.name, b.bytes);
  const double L = p.sim.HalfInterval;
  const int n = p.kinks.SolitonCount, items = f.ListBoxInitVal->count();
  const std::string qL = Text(f.Edit_qL);
  for (const Bad& b : bad) {
    messages.errors.clear();
    SelectFile(f, b.name);
    QTest::mouseClick(f.cmdGet, Qt::LeftButton);
    ASSERT_EQ(messages.errors.size(), 1u) << b.name;
    EXPECT_NE(messages.errors[0].find(b.name), std::string::npos) << messages.errors[0];
    EXPECT_EQ(p.sim.HalfInterval, L);
    EXPECT_EQ(p.kinks.SolitonCount, n);
    EXPECT_EQ(f.ListBoxInitVal->count(), items);
    EXPECT_EQ(Text(f.Edit_qL), qL);
    EXPECT_EQ(p.sim.GridSize, 512);
  }
  // No selection: the information box, nothing else.
  f.Files->clearSelection();
  QTest::mouseClick(f.cmdGet, Qt::LeftButton);
  ASSERT_EQ(messages.infos.size(), 1u);
  EXPECT_EQ(messages.infos[0], "No selected file. Try once again.");
}

TEST_F(WindowTest, AStoredColourCountSelectsAsTheColourListTakesIt) {
  TForm1& f = Start();
  const struct {
    double stored;
    int count, item;
  } cases[] = {{8, 16, 23}, {20, 20, 23}, {204, 204, 0}, {207, 207, 0}, {208, 16, 23}};
  for (const auto& c : cases) {
    SetupData setup = SetupFromProgram(f.program(), 64);
    std::string bytes = EncodeSetup(setup);
    std::memcpy(&bytes[8 * 16], &c.stored, 8);  // value 17: the colour count, no kinks
    Write("colours.kq1", bytes);
    f.lbNColor->setCurrentRow(5);
    SelectFile(f, "colours.kq1");
    QTest::mouseClick(f.cmdGet, Qt::LeftButton);
    EXPECT_TRUE(messages.errors.empty()) << c.stored << ": " << messages.errors.front();
    // The load selects without running the list's handler, which would take the item's count.
    EXPECT_EQ(f.colours().ColorCount, c.count) << c.stored;
    EXPECT_EQ(f.lbNColor->currentRow(), c.item) << c.stored;
    messages.errors.clear();
  }
}

TEST_F(WindowTest, AnotherPotentialKindIsAdoptedOnlyWithConsent) {
  TForm1& f = Start();
  MakeSetup(f);
  SetupData setup = SetupFromProgram(f.program(), 64);
  setup.PotentialKind = 4;
  setup.HalfInterval = 12;
  Write("kind4.kq1", EncodeSetup(setup));
  messages.answer = false;
  SelectFile(f, "kind4.kq1");
  QTest::mouseClick(f.cmdGet, Qt::LeftButton);
  ASSERT_EQ(messages.questions.size(), 1u);
  EXPECT_EQ(messages.questions[0],
            "Current version of potencial depends on the  Data.\r\nYou can get new version from the Data");
  EXPECT_EQ(f.program().pot.PotentialKind, 1);
  EXPECT_EQ(Text(f.Label8), "P( U ) = 0.25 * ( U^2 - 1 )^2");
  EXPECT_EQ(f.program().sim.HalfInterval, 12.0);  // the rest of the file is applied
  EXPECT_EQ(Text(f.lblInterv2).substr(0, 8), "[-12;12]");
  messages.answer = true;
  QTest::mouseClick(f.cmdGet, Qt::LeftButton);
  EXPECT_EQ(f.program().pot.PotentialKind, 4);
  EXPECT_EQ(f.program().pot.ModulationK, 5.0);
  EXPECT_EQ(Text(f.Label8), PotentialFormulaLabel(4));
  EXPECT_EQ(Text(f.EditODU[5]).substr(0, 4), "0.66");  // the narrow kink of kind 4 (L = 12)
}

}  // namespace
}  // namespace kl::test
