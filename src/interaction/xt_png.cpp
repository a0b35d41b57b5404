#include "interaction/xt_png.h"

#include <png.h>

#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/replace_file.h"
#include "interaction/refresh.h"
#include "soliton/plot_frame.h"
#include "views/canvas.h"

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

bool EncodePng(const Canvas& canvas, std::vector<uint8_t>& png, std::string& error) {
  const std::vector<uint8_t> rgb = RgbBytes(canvas);
  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  image.width = static_cast<png_uint_32>(canvas.Width());
  image.height = static_cast<png_uint_32>(canvas.Height());
  image.format = PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  // The first call measures, the second writes.
  bool ok = png_image_write_to_memory(&image, nullptr, &size, 0, rgb.data(), 0, nullptr) != 0;
  if (ok) {
    png.resize(size);
    ok = png_image_write_to_memory(&image, png.data(), &size, 0, rgb.data(), 0, nullptr) != 0;
    png.resize(size);
  }
  if (!ok) error = std::string("Cannot encode the PNG picture: ") + image.message;
  png_image_free(&image);
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
