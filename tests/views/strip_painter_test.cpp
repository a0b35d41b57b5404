#include "views/strip_painter.h"

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace kl {
namespace {

// The literal way: for each point, erase its two columns, then draw its dot.
void LiteralColumnDots(Canvas& c, const std::vector<int>& px, const std::vector<int>& py, Rgb colour) {
  for (size_t j = 0; j < px.size(); ++j) {
    c.SetPenColor(kWhite);
    c.SetBrushColor(kWhite);
    c.Rectangle(px[j] - 1, 1, px[j] + 1, c.Height() - 1);
    DrawDot(c, px[j], py[j], colour);
  }
}

void Outline(Canvas& c, int x1, int y1, int x2, int y2, Rgb colour) {
  c.SetPenColor(colour);
  c.MoveTo(x1, y1);
  c.LineTo(x2, y1);
  c.LineTo(x2, y2);
  c.LineTo(x1, y2);
  c.LineTo(x1, y1);
}

TEST(StripPainter, StepAfterStepGivesTheLiteralPixels) {
  std::mt19937 random(7);
  for (const auto& [W, H] : {std::pair{90, 40}, std::pair{37, 9}, std::pair{200, 3}}) {
    Canvas literal(W, H), fast(W, H);
    ClearPlot(literal);
    ClearPlot(fast);
    StripMemory memory;
    std::vector<int> px, py;
    for (int step = 0; step < 60; ++step) {
      if (step % 3 == 0 || px.empty()) {
        // Points rising in x (more of them than columns), at rows anywhere, borders and beyond.
        const int count = 1 + static_cast<int>(random() % (3 * W));
        px.assign(count, 0);
        py.assign(count, 0);
        int x = static_cast<int>(random() % 5) - 3;
        for (int j = 0; j < count; ++j) {
          x += static_cast<int>(random() % 3 == 0);
          px[j] = x;
          py[j] = static_cast<int>(random() % (H + 4)) - 2;
        }
      } else {
        // The same points, a few of them moved: most columns keep their dot.
        for (int k = 0; k < 3; ++k) py[random() % py.size()] = static_cast<int>(random() % (H + 4)) - 2;
      }
      const int count = static_cast<int>(px.size());
      LiteralColumnDots(literal, px, py, kBlue);
      PaintColumnDots(fast, memory, px.data(), py.data(), count, kBlue);
      if (step % 4 == 1) {  // a mark box drawn by the run, noted
        const int x1 = static_cast<int>(random() % W), x2 = x1 + static_cast<int>(random() % 30) - 10;
        Outline(literal, x1, H / 4, x2, 3 * H / 4, kNavy);
        Outline(fast, x1, H / 4, x2, 3 * H / 4, kNavy);
        NoteOutline(memory, fast, x1, H / 4, x2, 3 * H / 4);
        Seal(memory, fast);
      }
      if (step % 7 == 5) {  // someone else draws: the painter must notice
        for (Canvas* c : {&literal, &fast}) {
          c->SetPenColor(kAqua);
          c->SetBrushColor(kAqua);
          c->Rectangle(W / 3, 0, W / 2, H);
        }
      }
      ASSERT_EQ(literal.Pixels(), fast.Pixels()) << W << "x" << H << " step " << step;
    }
  }
}

TEST(StripPainter, AnOutlineOverAnUnchangedDotIsPaintedOver) {
  Canvas literal(30, 20), fast(30, 20);
  ClearPlot(literal);
  ClearPlot(fast);
  StripMemory memory;
  std::vector<int> px, py;
  for (int x = 0; x <= 30; ++x) {
    px.push_back(x);
    py.push_back(5);  // a flat line: every column keeps its dot from step to step
  }
  for (int step = 0; step < 3; ++step) {
    LiteralColumnDots(literal, px, py, kBlue);
    PaintColumnDots(fast, memory, px.data(), py.data(), static_cast<int>(px.size()), kBlue);
    ASSERT_EQ(literal.Pixels(), fast.Pixels()) << "step " << step;
    if (step == 0) {  // a flat box lying right on the dots
      Outline(literal, 8, 4, 20, 5, kNavy);
      Outline(fast, 8, 4, 20, 5, kNavy);
      NoteOutline(memory, fast, 8, 4, 20, 5);
      Seal(memory, fast);
      ASSERT_EQ(fast.Pixel(12, 5), kNavy);
    }
  }
  EXPECT_EQ(fast.Pixel(12, 5), kBlue);
  // The same points in another colour: every dot takes it.
  PaintColumnDots(fast, memory, px.data(), py.data(), static_cast<int>(px.size()), kRed);
  EXPECT_EQ(fast.Pixel(12, 5), kRed);
}

TEST(StripPainter, ColumnsAreComputedOnceForAFrame) {
  Canvas c(100, 10);
  StripMemory m;
  const PlotFrame f{-2, 2, -1, 1};
  const int* a = StripColumns(m, c, f, 0.5, 4);
  EXPECT_EQ(a[0], 0);   // x = -2
  EXPECT_EQ(a[4], 50);  // x = 0
  EXPECT_EQ(a[8], 100); // x = 2
  const int* b = StripColumns(m, c, PlotFrame{-4, 4, -1, 1}, 0.5, 4);
  EXPECT_EQ(b[4], 50);
  EXPECT_EQ(b[0], 25);  // the frame changed: recomputed
}

}  // namespace
}  // namespace kl
