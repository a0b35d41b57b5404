// Canvas text drawn through Qt: the box it fills, and the copies it reuses.
#include <gtest/gtest.h>

#include "views/paint_box_window.h"
#include "window_support.h"

namespace kl::test {
namespace {

// The pixels of the box from (x, y), width w and height h.
std::vector<uint32_t> Box(const Canvas& c, int x, int y, int w, int h) {
  std::vector<uint32_t> out;
  for (int row = y; row < y + h; ++row)
    for (int col = x; col < x + w; ++col) out.push_back(c.Pixels()[static_cast<size_t>(row) * c.Width() + col]);
  return out;
}

// Some pixel of the box is mostly the colour's one primary (red 0, blue 2): ink of that colour.
bool Inked(const std::vector<uint32_t>& pixels, int primary) {
  for (uint32_t p : pixels) {
    const int c[3] = {static_cast<int>(p >> 16 & 255), static_cast<int>(p >> 8 & 255), static_cast<int>(p & 255)};
    if (c[primary] > c[(primary + 1) % 3] + 60 && c[primary] > c[(primary + 2) % 3] + 60) return true;
  }
  return false;
}

TEST(QtTextRenderer, TextFillsItsBoxAloneWhateverWasUnderIt) {
  App();
  QtTextRenderer renderer;
  const std::string text = "t= 123.4; E=2.828";
  const auto [width, height] = renderer.BoxOf(text);
  ASSERT_GT(width, 40);
  ASSERT_GE(height, 8);
  ASSERT_LE(5 + height, 30);
  Canvas white(120, 30), black(120, 30);
  for (Canvas* c : {&white, &black}) {
    c->SetPenColor(c == &white ? kWhite : kBlack);
    c->SetBrushColor(c->PenColor());
    c->Rectangle(0, 0, 120, 30);
    c->SetTextRenderer(&renderer);
    c->SetBrushColor(kYellow);
    c->SetFontColor(kRed);
    c->TextOut(10, 5, text);
  }
  // The box is the same over either picture and holds the text; nothing beyond it changed.
  EXPECT_EQ(Box(white, 10, 5, width, height), Box(black, 10, 5, width, height));
  EXPECT_TRUE(Inked(Box(white, 10, 5, width, height), 0));
  EXPECT_EQ(black.Pixel(10, 5), kYellow);
  for (int row = 0; row < 30; ++row)
    for (int col = 0; col < 120; ++col) {
      const bool inBox = row >= 5 && row < 5 + height && col >= 10 && col < 10 + width;
      if (!inBox) {
        ASSERT_EQ(black.Pixel(col, row), kBlack) << col << "," << row;
      }
    }
}

TEST(QtTextRenderer, RepeatedTextIsTheSameAndColoursAreKeptApart) {
  App();
  QtTextRenderer renderer;
  Canvas c(200, 40);
  c.SetTextRenderer(&renderer);
  c.SetBrushColor(kWhite);
  c.SetFontColor(kBlue);
  c.TextOut(0, 0, "u = 0.50");
  const std::vector<uint32_t> first = Box(c, 0, 0, 200, 20);
  EXPECT_TRUE(Inked(first, 2));
  c.SetFontColor(kRed);
  c.TextOut(0, 0, "u = 0.50");  // the same text in another colour: no blue is left
  EXPECT_TRUE(Inked(Box(c, 0, 0, 200, 20), 0));
  EXPECT_FALSE(Inked(Box(c, 0, 0, 200, 20), 2));
  c.SetFontColor(kBlue);
  c.TextOut(0, 0, "u = 0.50");
  EXPECT_EQ(Box(c, 0, 0, 200, 20), first);
  // Text running over the canvas's edges is cut there; the rest of its box is drawn.
  c.SetBrushColor(kYellow);
  c.TextOut(-7, -3, "edge");
  c.TextOut(190, 35, "edge");
  EXPECT_NE(c.Pixel(0, 0), kWhite);
  EXPECT_NE(c.Pixel(199, 39), kWhite);
  EXPECT_EQ(c.Pixel(189, 39), kWhite);
}

}  // namespace
}  // namespace kl::test
