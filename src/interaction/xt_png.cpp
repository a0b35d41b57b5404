#include "interaction/xt_png.h"

#include <png.h>

#include <csetjmp>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "base/replace_file.h"
#include "base/version.h"
#include "interaction/refresh.h"
#include "soliton/plot_frame.h"
#include "base/canvas.h"

namespace kl {

namespace {

constexpr int kMaxPngSide = 16384;  // far above any screen; keeps the buffers modest

// The canvas as packed 8-bit RGB rows.
std::vector<uint8_t> RgbBytes(const Canvas& canvas) {
  std::vector<uint8_t> bytes;
  bytes.reserve(canvas.Pixels().size() * 3);
  for (uint32_t v : canvas.Pixels()) {
    const Rgb c = UnpackRgb(v);
    bytes.insert(bytes.end(), {c.r, c.g, c.b});
  }
  return bytes;
}

void AppendPngBytes(png_structp png, png_bytep data, png_size_t length) {
  auto* out = static_cast<std::vector<uint8_t>*>(png_get_io_ptr(png));
  out->insert(out->end(), data, data + length);
}

// Encodes the rows of `rgb`; libpng reports a failure by a jump back here. Nothing with a
// destructor is created between the setjmp and the writes.
bool EncodeRows(png_structp png, png_infop info, int width, int height, const std::vector<uint8_t>& rgb,
                std::vector<uint8_t>& out) {
  if (setjmp(png_jmpbuf(png))) return false;
  png_set_write_fn(png, &out, AppendPngBytes, nullptr);
  png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 8, PNG_COLOR_TYPE_RGB,
               PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
  // The program and version that made the picture, as the standard "Software" keyword.
  png_text text{};
  text.compression = PNG_TEXT_COMPRESSION_NONE;
  text.key = const_cast<char*>("Software");
  text.text = const_cast<char*>(ProgramNameAndVersion());
  png_set_text(png, info, &text, 1);
  png_write_info(png, info);
  for (int y = 0; y < height; ++y)
    png_write_row(png, rgb.data() + static_cast<size_t>(y) * static_cast<size_t>(width) * 3);
  png_write_end(png, info);
  return true;
}

bool EncodePng(const Canvas& canvas, std::vector<uint8_t>& out, std::string& error) {
  const std::vector<uint8_t> rgb = RgbBytes(canvas);
  out.clear();
  png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
  png_infop info = png ? png_create_info_struct(png) : nullptr;
  const bool ok = info && canvas.Width() > 0 && canvas.Height() > 0 &&
                  EncodeRows(png, info, canvas.Width(), canvas.Height(), rgb, out);
  png_destroy_write_struct(png ? &png : nullptr, info ? &info : nullptr);
  if (!ok) error = "Cannot encode the PNG picture.";
  return ok;
}

}  // namespace

bool WriteXtPicturePng(Program& p, ColourScale& colours, bool energyPicture, int width, int height,
                       const std::string& path, std::string& error) {
  if (width <= 0 || height <= 0 || width > kMaxPngSide || height > kMaxPngSide) {
    error = "The picture size " + std::to_string(width) + " x " + std::to_string(height) +
            " is outside 1 .. " + std::to_string(kMaxPngSide) + ".";
    return false;
  }
  const int n = colours.ColorCount;
  BuildPalette(colours, n, nullptr);
  BuildLevels(colours, n, p.sim.DensityMax);
  Canvas canvas(width, height);
  ClearPlot(canvas);
  PaintXtPicture(p.sim, colours, energyPicture, canvas);
  return WriteCanvasPng(canvas, path, error);
}

bool WriteCanvasPng(const Canvas& canvas, const std::string& path, std::string& error) {
  std::vector<uint8_t> png;
  return EncodePng(canvas, png, error) &&
         WriteFileReplacing(path, std::string(png.begin(), png.end()), error);
}

}  // namespace kl
