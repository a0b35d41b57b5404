#include "views/pixel_font.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <string>
#include <vector>

namespace kl {
namespace {

// The set pixels of one character drawn at scale 1, row by row.
std::string Pattern(const PixelFont& font, char c) {
  Canvas canvas(PixelFont::kGlyphColumns, PixelFont::kGlyphRows);
  PixelFont(font).DrawText(canvas, 0, 0, std::string(1, c), kBlack, kWhite);
  std::string bits;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) bits += canvas.Pixel(x, y) == kBlack ? '#' : '.';
  return bits;
}

TEST(PixelFont, EveryCharacterOfTheLabelsHasAGlyphOfItsOwn) {
  const PixelFont font(1);
  const std::string labels = "0123456789.,-+=():/abcdefghijklmnopqrstuvwxyzCLN";
  std::set<std::string> patterns;
  for (char c : labels) {
    EXPECT_TRUE(font.HasGlyph(c)) << c;
    const std::string p = Pattern(font, c);
    EXPECT_NE(p.find('#'), std::string::npos) << c;
    EXPECT_TRUE(patterns.insert(p).second) << "the glyph of '" << c << "' repeats another";
  }
  EXPECT_EQ(Pattern(font, ' '), std::string(35, '.'));
  // A character without a glyph is an open box: the outline of 5 x 7 pixels.
  EXPECT_FALSE(font.HasGlyph('Q'));
  const std::string box = Pattern(font, 'Q');
  EXPECT_EQ(std::count(box.begin(), box.end(), '#'), 20);
  EXPECT_EQ(box.substr(0, 5), "#####");
  EXPECT_EQ(box.substr(5, 5), "#...#");
}

TEST(PixelFont, TextIsDrawnEnlargedOnItsBackgroundBoxThroughTheCanvas) {
  PixelFont font(2);
  EXPECT_EQ(font.TextWidth(""), 0);
  EXPECT_EQ(font.TextWidth("1"), 10);
  EXPECT_EQ(font.TextWidth("12"), 22);  // a column of two pixels between characters
  EXPECT_EQ(font.TextHeight(), 14);

  Canvas canvas(40, 30);
  canvas.SetTextRenderer(&font);
  canvas.SetBrushColor(kYellow);
  canvas.SetFontColor(kBlue);
  canvas.TextOut(3, 4, "1");
  int blue = 0, yellow = 0;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) {
      const Rgb c = canvas.Pixel(x, y);
      const bool inBox = x >= 3 && x < 13 && y >= 4 && y < 18;
      if (c == kBlue || c == kYellow) {
        EXPECT_TRUE(inBox) << x << ',' << y;
      }
      blue += c == kBlue;
      yellow += c == kYellow;
    }
  EXPECT_EQ(blue, 10 * 4);  // the ten pixels of "1", each two by two
  EXPECT_EQ(blue + yellow, 10 * 14);
  EXPECT_EQ(canvas.Pixel(3 + 4, 4), kBlue);  // the top of the stem: column 2, row 0
  ASSERT_EQ(canvas.Texts().size(), 1u);
  EXPECT_EQ(canvas.Texts()[0].text, "1");
}

}  // namespace
}  // namespace kl
