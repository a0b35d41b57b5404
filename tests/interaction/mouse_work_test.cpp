#include "interaction/mouse_work.h"

#include <gtest/gtest.h>

#include <memory>

#include "base/numbers.h"
#include "support/canvas_count.h"

namespace kl {
namespace {

// A first-phase state with 100 levels computed, half-width 500 points, a field u = i / 1000.
class MouseWorkTest : public ::testing::Test {
 protected:
  void SetUp() override {
    p = std::make_unique<Program>();
    SimState& s = p->sim;
    s.HalfInterval = 10;
    SetGrid(s, 1024);
    s.LayerLast = 100;
    s.CurrentHalfWidth = 500;
    s.MainFrame = PlotFrame{-20, 20, -10, 10};
    s.SolFrame = PlotFrame{-20, 20, -1.5, 1.5};
    for (int k = 0; k <= 100; ++k)
      for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) s.stores.History(k)[i] = {i / 1000.0, 0, k / 100.0};
  }
  std::unique_ptr<Program> p;
};

TEST_F(MouseWorkTest, AProbeIsValidOnlyInsideTheComputedPart) {
  const SimState& s = p->sim;
  // 400 x 200 pixels for x in [-20, 20] and t in [-10, 10]: column 200 is x = 0, row 100 is t = 0.
  Probe pr = ProbePoint(s, s.MainFrame, 400, 200, 200, 100);
  EXPECT_EQ(pr.t, 0.0);
  EXPECT_FALSE(pr.valid);  // level 0 is before the first computed level
  pr = ProbePoint(s, s.MainFrame, 400, 200, 205, 99);  // x = 0.5, t = 0.1
  ASSERT_TRUE(pr.valid);
  EXPECT_EQ(pr.k, static_cast<int>(std::nearbyint(0.1 / s.Dt)));
  EXPECT_EQ(pr.i, static_cast<int>(std::nearbyint(0.5 / s.Dx)));
  EXPECT_FALSE(ProbePoint(s, s.MainFrame, 400, 200, 305, 99).valid);  // x = 10.5 beyond 500 points
  EXPECT_FALSE(ProbePoint(s, s.MainFrame, 400, 200, 205, 80).valid);  // t = 2 is later than level 100
  p->sim.PhaseTwo = true;
  p->sim.WindowBase = 3;
  pr = ProbePoint(s, s.MainFrame, 400, 200, 205, 99);
  EXPECT_EQ(pr.k, static_cast<int>(std::nearbyint(0.1 / s.Dt)) - 3);
}

TEST_F(MouseWorkTest, TheHintShowsThePointAndItsValues) {
  const SimState& s = p->sim;
  const Probe pr = ProbePoint(s, s.MainFrame, 400, 200, 205, 99);
  const auto text = HintText(s, pr);
  ASSERT_TRUE(text);
  const std::string u = FormatWD(pr.i / 1000.0, 7, 4), r = FormatWD(pr.k / 100.0, 7, 5);
  EXPECT_EQ(*text, "x= 0.50; t= 0.10;  u=" + u + "; r=" + r + ";");
  EXPECT_FALSE(HintText(s, ProbePoint(s, s.MainFrame, 400, 200, 200, 100)));
}

TEST_F(MouseWorkTest, MarksOpenCloseInOrderAndAreRemovedWhereTheyAre) {
  Marks& m = p->marks;
  Microscopes& micro = p->micro;
  Canvas strip(400, 100);
  ASSERT_TRUE(OpenMark(m, micro, 5.0));
  CloseMark(m, micro, 2.0);  // dragged from right to left
  EXPECT_EQ(m.MarkLeft[1], 2.0);
  EXPECT_EQ(m.MarkRight[1], 5.0);
  EXPECT_FALSE(micro.MarkPending);
  OpenMark(m, micro, -6.0);
  CloseMark(m, micro, -4.0);
  EXPECT_EQ(RemoveMarkAt(p->sim, m, strip, 0.0), 0);  // between the marks
  EXPECT_EQ(m.MarkCount, 2);
  EXPECT_EQ(RemoveMarkAt(p->sim, m, strip, 3.0), 1);
  ASSERT_EQ(m.MarkCount, 1);
  EXPECT_EQ(m.MarkLeft[1], -6.0);  // the second mark moved down
  EXPECT_EQ(m.MarkLeft[2], 0.0);
  for (int k = 0; k < 9; ++k) OpenMark(m, micro, 0.0);
  EXPECT_EQ(m.MarkCount, 9);
  EXPECT_FALSE(OpenMark(m, micro, 0.0));
  RemoveAllMarks(p->sim, m, strip);
  EXPECT_EQ(m.MarkCount, 0);
  RemoveAllMarks(p->sim, m, strip);  // with no marks: nothing
  EXPECT_EQ(m.MarkCount, 0);
}

TEST_F(MouseWorkTest, DeletingAMicroscopeLeavesASilverTrace) {
  Canvas main(400, 200);
  std::array<int, 4> line{10, 50, 110, 50};
  DeleteMicroLine(line, main);
  EXPECT_EQ(line, (std::array<int, 4>{-1, -1, -1, -1}));
  EXPECT_EQ(main.Pixel(60, 50), kSilver);
  EXPECT_EQ(test::CountOf(main, kSilver), 100);
  DeleteMicroLine(line, main);  // none left: nothing drawn
  EXPECT_EQ(test::CountOf(main, kSilver), 100);
  std::array<int, 4> rect{20, 80, 60, 40};
  DeleteMicroRect(rect, main);
  EXPECT_EQ(main.Pixel(20, 60), kSilver);
  EXPECT_EQ(main.Pixel(40, 40), kSilver);
  EXPECT_EQ(rect[0], -1);
}

}  // namespace
}  // namespace kl
