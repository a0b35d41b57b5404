// Pixels and texts of the pictures a run draws after every step.
#include "views/run_pictures.h"

#include <gtest/gtest.h>

#include <cmath>
#include <utility>

#include "soliton/plot_frame.h"
#include "support/canvas_count.h"

namespace kl {
namespace {

using test::CountOf;

Canvas Filled(int w, int h, Rgb c) {
  Canvas canvas(w, h);
  canvas.SetPenColor(c);
  canvas.SetBrushColor(c);
  canvas.Rectangle(0, 0, w, h);
  return canvas;
}

class RunPictures : public ::testing::Test {
 protected:
  static void SetUpTestSuite() { sim_ = new SimState; }
  static void TearDownTestSuite() { delete sim_; }
  void SetUp() override {
    SimState& s = *sim_;
    s.HalfInterval = 10.0;
    SetGrid(s, 256);  // dx = 0.078125: on a 1024-pixel box of [-10, 10] points are 4 columns apart
    s.SolFrame = PlotFrame{-10, 10, 0, 1};
    s.DensityFrame = PlotFrame{-10, 10, 0, 1};
    s.PhaseTwo = false;
    s.SolutionTabShown = true;
  }
  void TearDown() override {
    for (int i = -20; i <= 20; ++i) {
      sim_->stores.DensityNow()[i] = 0;
      for (int level = 3; level <= 4; ++level) sim_->stores.History(level)[i] = FieldPoint{};
    }
  }
  void DrawSolution(Canvas& c, int a, int k) {
    DrawCurrentSolution(*sim_, marks_, settings_, nullptr, c, a, k, true);
  }

  static inline SimState* sim_ = nullptr;
  Marks marks_;
  LogSettings settings_;
};

TEST_F(RunPictures, CurrentSolutionErasesColumnPairsAndDrawsBlueDots) {
  for (int i = -3; i <= 3; ++i) sim_->stores.History(3)[i].re = i / 3.0;
  for (int i = -3; i <= 3; ++i) sim_->stores.History(4)[i].re = 0.9;
  Canvas c = Filled(1024, 120, kBlack);
  DrawSolution(c, 3, 3);
  EXPECT_EQ(sim_->SolFrame.yMin, -1.5);
  EXPECT_EQ(sim_->SolFrame.yMax, 1.5);
  for (int i = -3; i <= 3; ++i) {
    const int px = 512 + 4 * i;
    for (int x : {px - 1, px}) {
      EXPECT_EQ(c.Pixel(x, 0), kBlack) << i;  // the erased columns keep the border rows
      EXPECT_EQ(c.Pixel(x, 119), kBlack) << i;
      int blue = 0, firstBlue = -1;
      for (int y = 1; y <= 118; ++y) {
        const Rgb p = c.Pixel(x, y);
        EXPECT_TRUE(p == kWhite || p == kBlue) << i << " " << y;
        if (p == kBlue && firstBlue < 0) firstBlue = y;
        blue += p == kBlue;
      }
      EXPECT_EQ(blue, 2) << i;
      EXPECT_EQ(c.Pixel(x, firstBlue + 1), kBlue) << i;
    }
    EXPECT_EQ(c.Pixel(px + 1, 60), kBlack) << i;  // between the points nothing changes
    EXPECT_EQ(c.Pixel(px + 2, 60), kBlack) << i;
  }
  // u = -1, 0, 1 at rows 100, 60, 20 of the frame [-1.5, 1.5].
  EXPECT_EQ(c.Pixel(499, 99), kBlue);
  EXPECT_EQ(c.Pixel(500, 100), kBlue);
  EXPECT_EQ(c.Pixel(511, 59), kBlue);
  EXPECT_EQ(c.Pixel(512, 60), kBlue);
  EXPECT_EQ(c.Pixel(523, 19), kBlue);
  EXPECT_EQ(c.Pixel(524, 20), kBlue);
  EXPECT_EQ(c.Pixel(498, 60), kBlack);

  // In the second phase the level argument counts one past the stored level.
  sim_->PhaseTwo = true;
  Canvas second = Filled(1024, 120, kBlack);
  DrawSolution(second, 3, 4);
  EXPECT_EQ(second.Pixels(), c.Pixels());
}

TEST_F(RunPictures, MarksAreTrackedEvenWhenTheTabIsHiddenAndBoxedWhenShown) {
  sim_->stores.DensityNow()[7] = 2.0;
  sim_->stores.History(3)[7].re = 0.8;
  marks_.MarkCount = 1;
  marks_.MarkLeft[1] = -1.0;  // grid points -13 .. 13
  marks_.MarkRight[1] = 1.0;
  sim_->SolutionTabShown = false;
  Canvas c = Filled(1024, 120, kBlack);
  DrawSolution(c, 3, 3);
  EXPECT_EQ(marks_.MarkPeakU[1], 0.8);
  EXPECT_EQ(CountOf(c, kBlack), 1024 * 120);
  EXPECT_EQ(sim_->SolFrame.yMax, 1.0);

  sim_->SolutionTabShown = true;
  DrawSolution(c, 3, 3);
  // Re-centred on the peak at 7: grid points -6 .. 20, columns 488 .. 592; rows 30 .. 90.
  EXPECT_EQ(c.Pixel(488, 30), kNavy);
  EXPECT_EQ(c.Pixel(488, 60), kNavy);
  EXPECT_EQ(c.Pixel(540, 90), kNavy);
  EXPECT_EQ(c.Pixel(592, 89), kNavy);
  EXPECT_EQ(c.Pixel(540, 91), kBlack);
}

TEST_F(RunPictures, MarkBoxOutline) {
  marks_.MarkLeft[2] = -5.0;
  marks_.MarkRight[2] = 5.0;
  Canvas c(1024, 122);  // 0.25 H = 30.5 and 0.75 H = 91.5 round to the even rows 30 and 92
  DrawMarkBox(*sim_, marks_, c, 2, kRed);
  EXPECT_EQ(CountOf(c, kRed), 512 + 62 + 512 + 62);
  for (auto [x, y] : {std::pair{256, 30}, {767, 30}, {768, 30}, {768, 91}, {768, 92}, {257, 92},
                      {256, 92}, {256, 31}})
    EXPECT_EQ(c.Pixel(x, y), kRed) << x << "," << y;
  for (auto [x, y] : {std::pair{255, 30}, {769, 30}, {500, 60}, {256, 93}, {256, 29}, {768, 29}})
    EXPECT_EQ(c.Pixel(x, y), kWhite) << x << "," << y;

  marks_.MarkLeft[3] = 20.0;  // right of the frame: drawn outside the box
  marks_.MarkRight[3] = 30.0;
  Canvas outside(1024, 122);
  DrawMarkBox(*sim_, marks_, outside, 3, kNavy);
  DrawMarkBox(*sim_, marks_, outside, 10, kNavy);  // no such mark
  EXPECT_EQ(CountOf(outside, kWhite), 1024 * 122);
}

TEST_F(RunPictures, DensityProfileOnALogScale) {
  double* density = sim_->stores.DensityNow();
  double* section = sim_->stores.SectionE();
  section[4] = 123.0;  // beyond the drawn half-width: untouched
  Canvas c = Filled(1024, 100, kBlack);
  DrawDensityProfile(*sim_, c, 3);  // all densities 0
  EXPECT_EQ(sim_->DensityFrame.yMax, -550.0);
  EXPECT_EQ(sim_->DensityFrame.yMin, -558.0);
  for (int i = -3; i <= 3; ++i) {
    const int px = 512 + 4 * i;
    EXPECT_EQ(section[i], -550.0);
    EXPECT_EQ(c.Pixel(px - 1, 0), kRed) << i;
    EXPECT_EQ(c.Pixel(px, 0), kRed) << i;
    EXPECT_EQ(c.Pixel(px, 1), kWhite) << i;
    EXPECT_EQ(c.Pixel(px, 98), kWhite) << i;
    EXPECT_EQ(c.Pixel(px, 99), kBlack) << i;
  }
  EXPECT_EQ(section[4], 123.0);

  density[-3] = std::exp(-551.0);
  density[-2] = 1e-300;
  density[-1] = std::exp(-20.0);
  density[0] = 1.0;
  density[1] = std::exp(-4.0);
  density[2] = std::exp(-500.0);
  c = Filled(1024, 100, kBlack);
  DrawDensityProfile(*sim_, c, 3);
  EXPECT_EQ(sim_->DensityFrame.yMax, 0.0);
  EXPECT_EQ(sim_->DensityFrame.yMin, -8.0);
  EXPECT_EQ(section[-3], -550.0);
  EXPECT_EQ(section[-2], -550.0);
  EXPECT_NEAR(section[-1], -20.0, 1e-12);
  EXPECT_NEAR(section[2], -500.0, 1e-10);
  EXPECT_EQ(c.Pixel(511, 0), kRed);  // the top: row 0
  EXPECT_EQ(c.Pixel(512, 1), kWhite);
  EXPECT_EQ(c.Pixel(515, 49), kRed);  // 4 units down: the middle row 50
  EXPECT_EQ(c.Pixel(516, 50), kRed);
  for (int i : {-3, -2, -1, 2, 3})  // more than 8 units below the top: erased, not drawn
    for (int y = 1; y <= 98; ++y) ASSERT_EQ(c.Pixel(512 + 4 * i, y), kWhite) << i << " " << y;
}

TEST_F(RunPictures, EnergyPanelAndDotsOnOddSizedBox) {
  // W = 401, H = 301: the quarters and halves are 100.25, 300.75 and 150.5, 200.5.
  Canvas main(401, 301);
  DrawEnergyPanel(main);
  EXPECT_EQ(CountOf(main, kYellow), (301 - 100) * 150);
  EXPECT_EQ(main.Pixel(100, 0), kYellow);
  EXPECT_EQ(main.Pixel(300, 149), kYellow);
  EXPECT_EQ(main.Pixel(99, 0), kWhite);
  EXPECT_EQ(main.Pixel(301, 0), kWhite);
  EXPECT_EQ(main.Pixel(100, 150), kWhite);

  SimState* sim = sim_;
  sim->EnergyTimeFrame = PlotFrame{0, 1.8, 5, 15};  // E from 0 to twice E0 = 0.9; one window of t
  sim->EnergyTotal = 0.9;
  for (double t : {5.0, 10.0, 15.0}) {
    sim->TimeNow = t;
    DrawEnergyDot(*sim, main);
  }
  sim->EnergyTotal = 0.0;
  sim->TimeNow = 10.0;
  DrawEnergyDot(*sim, main);
  EXPECT_EQ(CountOf(main, kRed), 4 + 4 + 2 + 4);
  for (auto [x, y] : {std::pair{199, 149}, {200, 150}, {199, 74}, {200, 75}, {199, 0}, {200, 0},
                      {99, 74}, {100, 75}})
    EXPECT_EQ(main.Pixel(x, y), kRed) << x << "," << y;
}

TEST_F(RunPictures, InfoTableHeaderMarkLinesAndClock) {
  SimState* sim = sim_;
  Marks marks;
  TextBlock block;
  Canvas main = Filled(200, 300, kBlack);
  sim->TimeNow = 12.25;
  sim->EnergyTotal = 1.0625;
  DrawInfoTable(*sim, marks, block, main);
  const char* header = "   u        w       e =";
  ASSERT_EQ(main.Texts().size(), 11u);
  for (int j = 1; j <= 11; ++j) {
    EXPECT_EQ(main.Texts()[j - 1].x, 1);
    EXPECT_EQ(main.Texts()[j - 1].y, 144 + 13 * (j - 1));
    EXPECT_EQ(main.Texts()[j - 1].text, block.Lines[j]);
    if (j >= 2 && j <= 10) {
      EXPECT_EQ(block.Lines[j], "") << j;
    }
  }
  EXPECT_EQ(block.Lines[1], header);
  EXPECT_EQ(block.Lines[11], "t=  12.3; E=1.063");
  EXPECT_EQ(main.Pixel(1, 144), kWhite);
  EXPECT_EQ(main.Pixel(116, 298), kWhite);
  EXPECT_EQ(main.Pixel(117, 200), kBlack);
  EXPECT_EQ(main.Pixel(0, 200), kBlack);
  EXPECT_EQ(main.Pixel(50, 299), kBlack);
  EXPECT_EQ(main.Pixel(50, 143), kBlack);

  marks.MarkCount = 2;
  marks.MarkPeakU[1] = 0.5;
  marks.MarkWidth[1] = 2.125;
  marks.MarkEnergy[1] = 0.9375;
  marks.MarkPeakU[2] = -0.125;
  marks.MarkWidth[2] = 0.0;
  marks.MarkEnergy[2] = 1e13;
  sim->TimeNow = 123456.78;
  sim->EnergyTotal = -2.5;
  DrawInfoTable(*sim, marks, block, main);
  EXPECT_EQ(block.Lines[2], " 0.50    2.13   0.938");
  EXPECT_EQ(block.Lines[3], "-0.13    0.00  10000000000000.00");  // cut at 32 characters
  EXPECT_EQ(block.Lines[4], "");
  EXPECT_EQ(block.Lines[11], "t=123456.8; E=-2.500");
  ASSERT_EQ(main.Texts().size(), 11u);  // the white block hides the previous texts
  EXPECT_EQ(main.Texts()[2].text, block.Lines[3]);

  marks.MarkCount = 0;
  DrawInfoTable(*sim, marks, block, main);
  EXPECT_EQ(block.Lines[2], "");
  EXPECT_EQ(block.Lines[3], "");
}

}  // namespace
}  // namespace kl
