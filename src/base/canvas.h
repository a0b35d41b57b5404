#pragma once
// A Qt-free RGB raster with the drawing rules of the program's paint boxes: a filled
// rectangle covers its left and top edges but not its right and bottom edges; a line
// includes its start pixel and excludes its end pixel; pens of width 1 or 2.
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kl {

struct Rgb {
  uint8_t r = 0, g = 0, b = 0;
  friend bool operator==(const Rgb&, const Rgb&) = default;
};

inline constexpr Rgb kWhite{255, 255, 255};
inline constexpr Rgb kBlack{0, 0, 0};
inline constexpr Rgb kRed{255, 0, 0};
inline constexpr Rgb kGreen{0, 128, 0};
inline constexpr Rgb kBlue{0, 0, 255};
inline constexpr Rgb kNavy{0, 0, 128};
inline constexpr Rgb kYellow{255, 255, 0};
inline constexpr Rgb kAqua{0, 255, 255};

class Canvas;

// Draws text into a canvas's pixels; the window supplies one built on its painter.
class TextRenderer {
 public:
  virtual ~TextRenderer() = default;
  virtual void DrawText(Canvas& canvas, int x, int y, std::string_view text, Rgb colour,
                        Rgb background) = 0;
};

// A text as written at a point; the canvas keeps the visible ones for reading back.
struct CanvasText {
  int x = 0, y = 0;
  std::string text;
};

class Canvas {
 public:
  Canvas() = default;
  Canvas(int width, int height) { Resize(width, height); }

  void Resize(int width, int height);
  int Width() const { return width_; }
  int Height() const { return height_; }

  void SetPenColor(Rgb c) { pen_ = c; }
  void SetPenWidth(int w) { penWidth_ = w < 2 ? 1 : 2; }
  void SetBrushColor(Rgb c) { brush_ = c; }
  void SetFontColor(Rgb c) { font_ = c; }
  Rgb PenColor() const { return pen_; }
  Rgb BrushColor() const { return brush_; }

  // Outline in the pen colour, inside in the brush colour, over columns x1 .. x2-1 and
  // rows y1 .. y2-1 (reversed corners are swapped first).
  void Rectangle(int x1, int y1, int x2, int y2);
  void MoveTo(int x, int y) { curX_ = x; curY_ = y; }
  void LineTo(int x, int y);
  void SetPixel(int x, int y, Rgb c);
  // Writes text in the font colour with its top-left corner at (x, y) on the brush colour.
  void TextOut(int x, int y, std::string_view text);

  Rgb Pixel(int x, int y) const;
  bool Inside(int x, int y) const { return x >= 0 && y >= 0 && x < width_ && y < height_; }
  const std::vector<uint32_t>& Pixels() const { return pixels_; }  // 0xFFRRGGBB, row-major
  // Raw access for fast painters; counts as a change of the picture.
  uint32_t* Row(int y) {
    ++version_;
    return pixels_.data() + static_cast<size_t>(y) * width_;
  }
  const uint32_t* ConstRow(int y) const { return pixels_.data() + static_cast<size_t>(y) * width_; }
  // Grows with every change of the pixels, so a painter can tell whether anyone else drew.
  uint64_t Version() const { return version_; }

  void SetTextRenderer(TextRenderer* r) { text_ = r; }
  // The texts written and not painted over since, in writing order.
  const std::vector<CanvasText>& Texts() const { return texts_; }

 private:
  void FillSpan(int x1, int x2, int y, Rgb c);  // columns x1 .. x2-1, clipped
  void Plot(int x, int y);                      // one pen point, honouring the pen width

  int width_ = 0, height_ = 0;
  std::vector<uint32_t> pixels_;
  Rgb pen_ = kBlack, brush_ = kWhite, font_ = kBlack;
  int penWidth_ = 1;
  int curX_ = 0, curY_ = 0;
  TextRenderer* text_ = nullptr;
  uint64_t version_ = 0;
  std::vector<CanvasText> texts_;
};

// Opaque 0xFFRRGGBB, the layout of a 32-bit RGB image in the window.
inline uint32_t PackRgb(Rgb c) { return 0xFF000000u | (uint32_t{c.r} << 16) | (uint32_t{c.g} << 8) | c.b; }
inline Rgb UnpackRgb(uint32_t v) {
  return Rgb{static_cast<uint8_t>(v >> 16), static_cast<uint8_t>(v >> 8), static_cast<uint8_t>(v)};
}

}  // namespace kl
