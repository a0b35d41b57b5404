#include "interaction/colour_scale.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "base/numbers.h"

namespace kl {

namespace {

constexpr double kDensityFloor = 0.0001;  // stands in for a density maximum not yet met
constexpr int kHintWidth = 7, kHintDecimals = 4;

int RoundHalfEven(double x) { return static_cast<int>(std::nearbyint(x)); }

uint8_t Channel(double x) { return static_cast<uint8_t>(RoundHalfEven(x)); }

// Band i of a strip H rows high: drawn over rows bottom - height .. bottom - 1; a press
// counts as on the band for rows bottom - height .. bottom.
struct Band {
  int bottom = 0, height = 0;
};

Band ScaleBand(int stripHeight, int n, int i) {
  const double H = stripHeight;
  const double unit = H / n;
  return Band{RoundHalfEven((unit * (i - 1) + H * (n - i)) / (n - 1)),
              std::max(RoundHalfEven(unit), 1)};
}

// Colour i of n: even entries run from blue to red, odd ones are greys rising from 40 to
// 240 up to the middle a and falling back to 40 above it.
Rgb PaletteEntry(int n, int i) {
  const int a = n / 2;
  const int m = RoundHalfEven(n / 4.0);
  if (i == 2 * m) return kYellow;  // the middle band, around zero amplitude
  if (i == m - 1 || i == 3 * m + 1) return kWhite;  // next to the vacua -1 and +1
  if (i % 2 == 0) {
    return Rgb{Channel((i - 1) * 255.0 / (n - 1)), 0, Channel((n - i) * 255.0 / (n - 1))};
  }
  const uint8_t g = i <= a ? Channel(((a - i) * 40.0 + (i - 1) * 240.0) / (a - 1))
                           : Channel(((n - i) * 240.0 + (i - a - 1) * 40.0) / (n - a));
  return Rgb{g, g, g};
}

// Index of the colour for v: the largest k with levels[k] <= v, at least 1 and at most n.
// The levels rise with k, so bisection finds the first level above v.
int LevelIndex(const std::array<double, 201>& levels, int n, double v) {
  const auto first = levels.begin() + 2, last = levels.begin() + n + 1;
  return static_cast<int>(std::upper_bound(first, last, v) - levels.begin()) - 1;
}

std::string Hint(double v) { return FormatWD(v, kHintWidth, kHintDecimals); }

}  // namespace

int ColourCountFromList(int itemIndex) { return (25 - itemIndex) * 8; }

int ColourItemFor(int& count) {
  const int item = 25 - count / 8;  // truncates towards zero
  if (item >= 0 && item < kColourItemCount) return item;
  count = kMinColourCount;
  return kColourItemCount - 1;
}

// The tables hold 200 entries and the palette divides by n - 1, n / 2 - 1 and n - n / 2,
// so a count that is not a list value must never reach them (the colour list without a
// selection reads as 208). Rather than refuse, every count is taken to the item the colour
// list would select for it: a list value stays, 20 becomes 16, 100 becomes 96, and 208,
// 8, 1 or a negative count become 16. The tables are then always complete for the count
// they record in ColorCount, and no count below 16 (no n = 1 or n / 2 = 1) is ever used.
int ListedColourCount(int n) { return ColourCountFromList(ColourItemFor(n)); }

int GridSizeFromList(int itemIndex) {
  switch (itemIndex) {
    case 0: return 1024;
    case 1: return 512;
    case 2: return 256;
    default: return 0;
  }
}

void BuildPalette(ColourScale& scale, int n, Canvas* strip) {
  n = ListedColourCount(n);
  scale.ColorCount = n;
  scale.ColorTable.fill(kBlack);
  for (int i = 1; i <= n; ++i) {
    const Rgb c = PaletteEntry(n, i);
    scale.ColorTable[i] = c;
    if (strip == nullptr) continue;
    const Band band = ScaleBand(strip->Height(), n, i);
    strip->SetPenColor(c);
    strip->SetBrushColor(c);
    strip->Rectangle(0, band.bottom - band.height, strip->Width(), band.bottom);
  }
}

void BuildLevels(ColourScale& scale, int n, double& densityMax) {
  n = ListedColourCount(n);
  scale.ColorCount = n;
  scale.AmplLevels.fill(0.0);
  scale.LinearLevels.fill(0.0);
  scale.EnergyLevels.fill(0.0);

  // Four quarters of m levels each, packed most densely next to the vacua -1 and +1 and
  // leaving the stretch between the two middle levels (about +-0.9) without a level.
  const int m = RoundHalfEven(n / 4.0);  // exact: n is a multiple of 8
  const double q = m + 1.0;
  for (int i = 1; i <= m; ++i) {
    const double outer = std::sqrt(1.0 - 0.25 * (m + 1 - i) / q);
    const double inner = std::sqrt(1.0 - 0.25 * i / q);
    scale.AmplLevels[i] = outer - 2.0;
    scale.AmplLevels[m + i] = -inner;
    scale.AmplLevels[2 * m + i] = outer;
    scale.AmplLevels[3 * m + i] = 2.0 - inner;
  }

  for (int i = 1; i <= n; ++i) scale.LinearLevels[i] = 2.0 * (i - 1) / (n - 1);

  // Nine e-folds of density below DensityMax / e, evenly spaced on a logarithmic scale.
  if (!(densityMax > 0.0)) densityMax = kDensityFloor;
  const double e = std::log(densityMax) - 1.0;
  const double f = e - 9.0;
  for (int i = 1; i <= n; ++i) scale.EnergyLevels[i] = std::exp(((i - 1) * e + (n - i) * f) / (n - 1));
}

Rgb AmplColor(const ColourScale& scale, double v) {
  const int n = ListedColourCount(scale.ColorCount);
  return scale.ColorTable[LevelIndex(scale.AmplLevels, n, v)];
}

Rgb EnergyColor(const ColourScale& scale, double v) {
  const int n = ListedColourCount(scale.ColorCount);
  return scale.ColorTable[LevelIndex(scale.EnergyLevels, n, v)];
}

std::optional<std::string> ScaleHint(const std::array<double, 201>& levels, int n, int stripHeight,
                                     int y) {
  n = ListedColourCount(n);
  if (y <= RoundHalfEven(static_cast<double>(stripHeight) / n)) return Hint(levels[n]) + " ...";
  // Neighbouring bands share a boundary row; searching from the top lets the upper one win.
  for (int i = n - 1; i >= 1; --i) {
    const Band band = ScaleBand(stripHeight, n, i);
    if (y >= band.bottom - band.height && y <= band.bottom)
      return Hint(levels[i]) + " .. " + Hint(levels[i + 1]);
  }
  return std::nullopt;
}

}  // namespace kl
