#pragma once
// The x-t colour picture written as a PNG file.
#include <string>

#include "app/program.h"
#include "interaction/colour_scale.h"

namespace kl {

// Paints the x-t picture of the amplitude (or of the energy density) on a white width x
// height canvas with a black border, as the refresh paints the main picture (the colour
// tables are rebuilt for colours.ColorCount and the current DensityMax first), and writes it
// as an 8-bit RGB PNG to `path` through a temporary file and a rename. On failure returns
// false with `error` saying what failed, with the system's error text for I/O errors; the
// file at `path` is then left as it was.
bool WriteXtPicturePng(Program& p, ColourScale& colours, bool energyPicture, int width, int height,
                       const std::string& path, std::string& error);

// Writes a canvas as an 8-bit RGB PNG to `path` through a temporary file and a rename; on
// failure returns false with `error` set and leaves the file at `path` as it was.
bool WriteCanvasPng(const Canvas& canvas, const std::string& path, std::string& error);

}  // namespace kl
