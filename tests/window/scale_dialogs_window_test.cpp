// The scale groups of the solitons tab: opening, OK and Cancel of each, bad and zero maxima,
// and the U range the three pictures share.
#include <cmath>

#include "window_support.h"

namespace kl::test {
namespace {

class ScaleGroupTest : public WindowTest {
 protected:
  TForm1& f() { return *form; }
  void SetUp() override {
    WindowTest::SetUp();
    Start();
  }
  void Open(PaintBox* box) { QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(5, 5)); }
  void OpenAll() {
    for (PaintBox* box : {f().PaintBoxPotEn, f().PaintBoxPhasPl, f().PaintBoxODU}) Open(box);
  }
  void Press(QPushButton* button) { QTest::mouseClick(button, Qt::LeftButton); }
  static void Type(QLineEdit* edit, const char* text) { edit->setText(text); }
  static bool OnWindowColour(const QLineEdit* e) {
    const QColor base = e->palette().color(QPalette::Base);
    return base == e->palette().color(QPalette::Window) && base != QColor(Qt::white) && !TForm1::IsYellow(e);
  }
  static std::vector<std::string> Texts(std::initializer_list<const QLineEdit*> edits) {
    std::vector<std::string> texts;
    for (const QLineEdit* e : edits) texts.push_back(Text(e));
    return texts;
  }
  // Every scale variable, to see that a refused OK changes none of them.
  std::vector<double> Scales() {
    const Program& p = f().program();
    const SolitonScales& s = p.scales;
    return {s.PotXMin, s.PotXMax, s.PotYMin, s.PotYMax, s.PhasXMin, s.PhasXMax, s.PhasYMin, s.PhasYMax,
            p.profile.OduXMin, p.sim.HalfInterval, p.profile.OduYMin, p.profile.OduYMax, p.profile.ProfileStartSlope};
  }
  void ExpectAmplitudeRange(double u) {
    const Program& p = f().program();
    EXPECT_EQ(p.scales.PotXMin, -u);
    EXPECT_EQ(p.scales.PotXMax, u);
    EXPECT_EQ(p.scales.PhasXMin, -u);
    EXPECT_EQ(p.scales.PhasXMax, u);
    EXPECT_EQ(p.profile.OduYMin, -u);
    EXPECT_EQ(p.profile.OduYMax, u);
  }
};

TEST_F(ScaleGroupTest, AClickOnAPictureOpensItsGroupWithTheScalesOnTheWindowColour) {
  for (QGroupBox* g : {f().GroupBoxPot, f().GroupBoxPhas, f().GroupBoxODU}) EXPECT_TRUE(g->isHidden());
  OpenAll();  // the three groups may be open at the same time
  for (QGroupBox* g : {f().GroupBoxPot, f().GroupBoxPhas, f().GroupBoxODU}) EXPECT_FALSE(g->isHidden());
  const auto& pot = f().EditPot;
  const auto& phas = f().EditPhas;
  const auto& odu = f().EditODU;
  EXPECT_EQ(Texts({pot[1], pot[2], pot[3], pot[4]}), (std::vector<std::string>{"-1.50", "1.50", "-1.000", "1.000"}));
  EXPECT_EQ(Texts({phas[1], phas[2], phas[3], phas[4]}), (std::vector<std::string>{"-1.50", "1.50", "-2.00", "2.00"}));
  EXPECT_EQ(Texts({odu[1], odu[2], odu[3], odu[4]}), (std::vector<std::string>{"-10.00", "10.00", "-1.50", "1.50"}));
  EXPECT_EQ(Texts({odu[5], odu[6], odu[7]}), (std::vector<std::string>{"0", "0", "0"}));  // untouched
  for (int k = 1; k <= 4; ++k) {
    EXPECT_TRUE(OnWindowColour(pot[k])) << k;
    EXPECT_TRUE(OnWindowColour(phas[k])) << k;
    EXPECT_TRUE(OnWindowColour(odu[k])) << k;
  }
  EXPECT_FALSE(OnWindowColour(odu[5]));
}

TEST_F(ScaleGroupTest, PotentialOkSetsTheURangeOfAllThreePicturesAndThePRange) {
  OpenAll();
  Type(f().EditPot[2], "3");
  Type(f().EditPot[4], "0.5");
  Press(f().Button1);
  ExpectAmplitudeRange(3);
  EXPECT_EQ(f().program().scales.PotYMin, -0.5);
  EXPECT_EQ(f().program().scales.PotYMax, 0.5);
  EXPECT_EQ(f().program().scales.PhasYMax, 2.0);
  EXPECT_EQ(Text(f().EditPot[3]), "-0.5");  // 4:1, white
  EXPECT_FALSE(TForm1::IsYellow(f().EditPot[3]));
  EXPECT_FALSE(OnWindowColour(f().EditPot[3]));
  // The typed text travels as it is, not reformatted.
  EXPECT_EQ(Text(f().EditPhas[1]), "-3");
  EXPECT_EQ(Text(f().EditPhas[2]), "3");
  EXPECT_EQ(Text(f().EditODU[4]), "3");
  EXPECT_TRUE(f().GroupBoxPot->isHidden());
  EXPECT_FALSE(f().GroupBoxPhas->isHidden());
  Open(f().PaintBoxODU);  // a group opened later shows the shared range
  EXPECT_EQ(Text(f().EditODU[3]), "-3.00");
}

TEST_F(ScaleGroupTest, PotentialOkWithLettersChangesNothingAndStaysOpen) {
  const std::vector<double> before = Scales();
  Open(f().PaintBoxPotEn);
  Type(f().EditPot[2], "three");
  Type(f().EditPot[4], "0.5");
  Press(f().Button1);
  EXPECT_TRUE(TForm1::IsYellow(f().EditPot[2]));
  EXPECT_FALSE(TForm1::IsYellow(f().EditPot[4]));
  EXPECT_EQ(Text(f().EditPot[3]), "-0.5");  // shown although the OK failed
  EXPECT_EQ(Scales(), before);
  EXPECT_FALSE(f().GroupBoxPot->isHidden());
  Open(f().PaintBoxPotEn);  // opening again refills the fields and clears the yellow
  EXPECT_TRUE(OnWindowColour(f().EditPot[2]));
  EXPECT_EQ(Text(f().EditPot[2]), "1.50");
  EXPECT_EQ(Text(f().EditPot[3]), "-1.000");
}

TEST_F(ScaleGroupTest, AZeroMaximumIsRefusedInEveryGroupButANegativeOneIsTaken) {
  const std::vector<double> before = Scales();
  OpenAll();
  Type(f().EditPot[2], "3");
  Type(f().EditPot[4], "0");
  Press(f().Button1);
  Type(f().EditPhas[2], "0.00");
  Type(f().EditPhas[4], "1");
  Press(f().Button3);
  Type(f().EditODU[4], "-0");
  Press(f().Button5);
  for (QLineEdit* e : {f().EditPot[4], f().EditPhas[2], f().EditODU[4]}) EXPECT_TRUE(TForm1::IsYellow(e));
  for (QLineEdit* e : {f().EditPot[2], f().EditPhas[4], f().EditODU[5]}) EXPECT_FALSE(TForm1::IsYellow(e));
  EXPECT_EQ(Text(f().EditPot[3]), "-1.000");  // a refused y maximum shows no minimum
  EXPECT_EQ(Scales(), before);
  for (QGroupBox* g : {f().GroupBoxPot, f().GroupBoxPhas, f().GroupBoxODU}) EXPECT_FALSE(g->isHidden());

  Type(f().EditPhas[2], "-1");  // turns the pictures over; the user asked for it
  Press(f().Button3);
  ExpectAmplitudeRange(-1);
  EXPECT_EQ(f().program().scales.PhasYMax, 1.0);
  EXPECT_EQ(Text(f().EditPot[1]), "--1");
  EXPECT_TRUE(f().GroupBoxPhas->isHidden());
}

TEST_F(ScaleGroupTest, PhaseOkSharesTheURangeAndKeepsThePotentialsPRange) {
  OpenAll();
  Type(f().EditPhas[2], " 2.5");
  Type(f().EditPhas[4], "0.8");
  Press(f().Button3);
  ExpectAmplitudeRange(2.5);
  EXPECT_EQ(f().program().scales.PhasYMin, -0.8);
  EXPECT_EQ(f().program().scales.PhasYMax, 0.8);
  EXPECT_EQ(f().program().scales.PotYMax, 1.0);
  EXPECT_EQ(Texts({f().EditPot[1], f().EditPot[2], f().EditODU[4]}),
            (std::vector<std::string>{"- 2.5", " 2.5", " 2.5"}));
  EXPECT_TRUE(f().GroupBoxPhas->isHidden());
}

TEST_F(ScaleGroupTest, ProfileOkTakesTheShownIntervalAndTheStartSlopeUntilTheNextSolve) {
  Type(f().EditFirstInterval, "7.456");
  Press(f().ButtonDrawOne);
  ASSERT_EQ(f().program().sim.HalfInterval, 7.456);
  OpenAll();
  EXPECT_EQ(Text(f().EditODU[2]), "7.46");
  Type(f().EditODU[4], "2");
  Type(f().EditODU[5], "0.8");
  Type(f().EditODU[6], "never read");
  Press(f().Button5);
  const Program& p = f().program();
  EXPECT_EQ(p.profile.ProfileStartSlope, 0.8);
  EXPECT_EQ(p.sim.HalfInterval, 7.46);  // the value as shown
  EXPECT_EQ(p.profile.OduXMin, -7.46);
  ExpectAmplitudeRange(2);
  EXPECT_EQ(Texts({f().EditPot[1], f().EditPot[2], f().EditPhas[1], f().EditPhas[2]}),
            (std::vector<std::string>{"-2", "2", "-2", "2"}));
  EXPECT_FALSE(TForm1::IsYellow(f().EditODU[6]));
  EXPECT_TRUE(f().GroupBoxODU->isHidden());
  Press(f().ButtonDrawOne);  // the solve finds its own start slope again
  EXPECT_NEAR(p.profile.ProfileStartSlope, std::sqrt(0.5), 1e-3);
}

TEST_F(ScaleGroupTest, ProfileOkWithABadStartSlopeChangesNothing) {
  const std::vector<double> before = Scales();
  Open(f().PaintBoxODU);
  Type(f().EditODU[4], "2");
  Type(f().EditODU[5], "0,8");
  Press(f().Button5);
  EXPECT_TRUE(TForm1::IsYellow(f().EditODU[5]));
  EXPECT_FALSE(TForm1::IsYellow(f().EditODU[4]));
  EXPECT_EQ(Scales(), before);
  EXPECT_FALSE(f().GroupBoxODU->isHidden());
}

TEST_F(ScaleGroupTest, ProfileCancelShowsTheStartSlopeInPlaceOfTheHeight) {
  Press(f().ButtonDrawOne);
  Open(f().PaintBoxODU);
  const std::string height = Text(f().EditODU[5]);
  Type(f().EditODU[4], "5");
  Press(f().Button6);
  EXPECT_EQ(Text(f().EditODU[5]), "0.71");
  EXPECT_NE(height, "0.71");
  EXPECT_EQ(Text(f().EditODU[4]), "1.50");
  EXPECT_EQ(f().program().profile.OduYMax, 1.5);
  EXPECT_TRUE(f().GroupBoxODU->isHidden());
  EXPECT_TRUE(OnWindowColour(f().EditODU[4]));  // Cancel leaves the backgrounds
}

TEST_F(ScaleGroupTest, CancelShowsTheCurrentScalesInFourTwoAndKeepsThem) {
  const std::vector<double> before = Scales();
  OpenAll();
  Type(f().EditPot[2], "x");
  Type(f().EditPot[4], "4");
  Press(f().Button1);  // refused: EditPot2 turns yellow
  Press(f().Button2);
  EXPECT_EQ(Texts({f().EditPot[1], f().EditPot[2], f().EditPot[3], f().EditPot[4]}),
            (std::vector<std::string>{"-1.50", "1.50", "-1.00", "1.00"}));
  EXPECT_TRUE(TForm1::IsYellow(f().EditPot[2]));
  Type(f().EditPhas[2], "9");
  Type(f().EditPhas[4], "9");
  Press(f().Button4);
  EXPECT_EQ(Texts({f().EditPhas[1], f().EditPhas[2], f().EditPhas[3], f().EditPhas[4]}),
            (std::vector<std::string>{"-1.50", "1.50", "-2.00", "2.00"}));
  EXPECT_EQ(Scales(), before);
  EXPECT_TRUE(f().GroupBoxPot->isHidden());
  EXPECT_TRUE(f().GroupBoxPhas->isHidden());
  EXPECT_FALSE(f().GroupBoxODU->isHidden());
}

}  // namespace
}  // namespace kl::test
