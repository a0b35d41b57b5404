#pragma once
// The colour scale of the x-t pictures: the palette, the three level tables, the colour
// lookup, the scale strip with its hint, and the readers of the colour and grid lists.
#include <array>
#include <optional>
#include <string>

#include "base/canvas.h"

namespace kl {

// The colour list holds the counts 200, 192, ..., 16; item j stands for 200 - 8 j.
inline constexpr int kMinColourCount = 16;
inline constexpr int kMaxColourCount = 200;
inline constexpr int kColourItemCount = 24;

// Tables are indexed 1 .. ColorCount; index 0 and the entries above ColorCount stay
// black / 0.
struct ColourScale {
  int ColorCount = 16;
  std::array<Rgb, 201> ColorTable{};
  std::array<double, 201> AmplLevels{}, LinearLevels{}, EnergyLevels{};
};

// Colour count shown by item `itemIndex` of the colour list; no selection (-1) gives 208.
int ColourCountFromList(int itemIndex);
// The item of the colour list to select for `count` (0 .. 23). A count outside the list's
// range is reset to 16 (item 23); one between two list values keeps its value and selects
// the next lower one (20 selects "16").
int ColourItemFor(int& count);
// The count of the item that ColourItemFor selects: n itself for a list value, otherwise
// the next lower list value, or 16 when n is outside 16 .. 207.
int ListedColourCount(int n);
// Grid size N for item 0, 1, 2 of the grid list (1024, 512, 256); 0 for any other index.
int GridSizeFromList(int itemIndex);

// Fills ColorTable for n colours: odd entries a grey ramp (dark - light - dark), even
// entries a blue-to-red ramp, yellow at 2m and white at m - 1 and 3m + 1 (m = n / 4).
// When `strip` is given, draws the bands on it, colour 1 at the bottom and n at the top.
// n goes through ListedColourCount first, and the count used is stored in ColorCount.
void BuildPalette(ColourScale& scale, int n, Canvas* strip);
// Fills AmplLevels, LinearLevels and EnergyLevels for n levels (n as in BuildPalette). A
// densityMax that is not positive (or not a number) is replaced by 0.0001 and kept so.
void BuildLevels(ColourScale& scale, int n, double& densityMax);

// ColorTable[k] for a value in [levels[k], levels[k + 1]); colour 1 below levels[2] and
// colour ColorCount from its top level on.
Rgb AmplColor(const ColourScale& scale, double v);
Rgb EnergyColor(const ColourScale& scale, double v);

// The hint for a press at row y of a scale strip `stripHeight` rows high showing `levels`
// for n colours: "top ..." on the top band, "low .. high" (7:4 numbers) on a lower band,
// the upper band winning where two bands meet; nullopt where no band lies.
std::optional<std::string> ScaleHint(const std::array<double, 201>& levels, int n, int stripHeight,
                                     int y);

}  // namespace kl
