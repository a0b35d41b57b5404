#pragma once
// A small built-in bitmap font, so pictures written without the window (the runner's PNG
// files) can carry readable labels. Glyphs are 5 x 7 pixels, drawn `scale` times enlarged.
#include <string_view>

#include "base/canvas.h"

namespace kl {

class PixelFont : public TextRenderer {
 public:
  explicit PixelFont(int scale = 2) : scale_(scale < 1 ? 1 : scale) {}

  // Fills the text's box with the background colour and sets the glyphs' pixels in `colour`.
  // Digits, lower-case letters, a few capitals and the usual signs have glyphs; any other
  // character is drawn as an open box.
  void DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour, Rgb background) override;

  int TextWidth(std::string_view text) const;  // pixels; the box DrawText fills
  int TextHeight() const { return kGlyphRows * scale_; }
  bool HasGlyph(char c) const;

  static constexpr int kGlyphColumns = 5;
  static constexpr int kGlyphRows = 7;

 private:
  int Advance() const { return (kGlyphColumns + 1) * scale_; }
  int scale_;
};

}  // namespace kl
