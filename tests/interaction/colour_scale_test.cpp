// The palette, the level tables, the colour lookup, the scale strip with its hint, and the
// readers of the colour and grid lists.
#include "interaction/colour_scale.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <utility>

#include "base/canvas.h"

namespace kl {
namespace {

Rgb Grey(int g) { return Rgb{static_cast<uint8_t>(g), static_cast<uint8_t>(g), static_cast<uint8_t>(g)}; }

ColourScale Built(int n, double densityMax = 1.0) {
  ColourScale s;
  BuildPalette(s, n, nullptr);
  BuildLevels(s, n, densityMax);
  return s;
}

// A strip filled with a colour the palette never uses, so undrawn rows show.
Canvas Strip(int width, int height) {
  Canvas c(width, height);
  c.SetPenColor(kAqua);
  c.SetBrushColor(kAqua);
  c.Rectangle(0, 0, width, height);
  return c;
}

TEST(ColourScaleLists, ColourItemsCountsAndGridSizes) {
  EXPECT_EQ(ColourCountFromList(0), 200);
  EXPECT_EQ(ColourCountFromList(23), 16);
  EXPECT_EQ(ColourCountFromList(-1), 208);  // no selection
  for (int item = 0; item < kColourItemCount; ++item) {
    int count = ColourCountFromList(item);
    EXPECT_EQ(ColourItemFor(count), item);
    EXPECT_EQ(count, ColourCountFromList(item));
    EXPECT_EQ(ListedColourCount(count), count);
  }
  // Between two list values: the lower item is selected and the count is kept.
  for (auto [given, item] : {std::pair{20, 23}, std::pair{207, 0}, std::pair{100, 13}}) {
    int count = given;
    EXPECT_EQ(ColourItemFor(count), item) << given;
    EXPECT_EQ(count, given);
  }
  // Out of range: reset to 16, item 23.
  for (int given : {8, 15, 0, -8, 208, 1000}) {
    int count = given;
    EXPECT_EQ(ColourItemFor(count), 23) << given;
    EXPECT_EQ(count, 16) << given;
  }
  EXPECT_EQ(ListedColourCount(20), 16);
  EXPECT_EQ(ListedColourCount(100), 96);
  EXPECT_EQ(ListedColourCount(208), 16);

  EXPECT_EQ(GridSizeFromList(0), 1024);
  EXPECT_EQ(GridSizeFromList(1), 512);
  EXPECT_EQ(GridSizeFromList(2), 256);
  EXPECT_EQ(GridSizeFromList(-1), 0);
  EXPECT_EQ(GridSizeFromList(3), 0);
}

TEST(ColourScalePalette, SixteenColours) {
  ColourScale s;
  s.ColorTable.fill(kAqua);
  BuildPalette(s, 16, nullptr);
  EXPECT_EQ(s.ColorCount, 16);
  EXPECT_EQ(s.ColorTable[1], Grey(40));
  EXPECT_EQ(s.ColorTable[2], (Rgb{17, 0, 238}));
  EXPECT_EQ(s.ColorTable[4], (Rgb{51, 0, 204}));
  EXPECT_EQ(s.ColorTable[16], kRed);
  EXPECT_EQ(s.ColorTable[8], kYellow);  // 2m, m = 4
  EXPECT_EQ(s.ColorTable[3], kWhite);   // m - 1
  EXPECT_EQ(s.ColorTable[13], kWhite);  // 3m + 1
  // Greys rise to the middle (a = 8) and fall beyond it.
  EXPECT_EQ(s.ColorTable[5], Grey(154));  // 1080 / 7
  EXPECT_EQ(s.ColorTable[7], Grey(211));  // 1480 / 7
  EXPECT_EQ(s.ColorTable[9], Grey(210));  // 1680 / 8
  EXPECT_EQ(s.ColorTable[15], Grey(60));  // 480 / 8
  for (int i = 1; i <= 16; ++i) {
    if (i == 3 || i == 8 || i == 13) continue;
    EXPECT_NE(s.ColorTable[i], kWhite) << i;
    EXPECT_NE(s.ColorTable[i], kYellow) << i;
  }
  EXPECT_EQ(s.ColorTable[0], kBlack);
  for (int i = 17; i <= 200; ++i) ASSERT_EQ(s.ColorTable[i], kBlack) << i;
}

TEST(ColourScalePalette, TwoHundredColoursAndHalvesToEven) {
  ColourScale s;
  BuildPalette(s, 200, nullptr);
  int yellow = 0, white = 0;
  for (int i = 1; i <= 200; ++i) {
    yellow += s.ColorTable[i] == kYellow;
    white += s.ColorTable[i] == kWhite;
  }
  EXPECT_EQ(yellow, 1);
  EXPECT_EQ(white, 2);
  EXPECT_EQ(s.ColorTable[100], kYellow);
  EXPECT_EQ(s.ColorTable[49], kWhite);
  EXPECT_EQ(s.ColorTable[151], kWhite);
  EXPECT_EQ(s.ColorTable[1], Grey(40));
  EXPECT_EQ(s.ColorTable[200], kRed);

  // A smaller count blackens the entries it no longer uses.
  BuildPalette(s, 64, nullptr);
  EXPECT_EQ(s.ColorTable[65], kBlack);
  EXPECT_EQ(s.ColorTable[200], kBlack);
  // Colour 33 of 64 is grey 31 * 240 / 32 = 232.5, which rounds to the even 232.
  EXPECT_EQ(s.ColorTable[33], Grey(232));
}

TEST(ColourScaleLevels, AmplitudeLevelsAreAntisymmetricAroundTheVacua) {
  const ColourScale s = Built(16);
  const double expected[] = {-1.1056, -1.0780, -1.0513, -1.0253, -0.9747, -0.9487, -0.9220, -0.8944};
  for (int k = 1; k <= 8; ++k) {
    EXPECT_NEAR(s.AmplLevels[k], expected[k - 1], 5e-5) << k;
    EXPECT_NEAR(s.AmplLevels[17 - k], -expected[k - 1], 5e-5) << k;
  }
  for (int item = 0; item < kColourItemCount; ++item) {
    const int n = ColourCountFromList(item);
    const ColourScale t = Built(n);
    for (int k = 1; k <= n; ++k) ASSERT_DOUBLE_EQ(t.AmplLevels[n + 1 - k], -t.AmplLevels[k]) << n << " " << k;
    for (int k = 2; k <= n; ++k) ASSERT_LT(t.AmplLevels[k - 1], t.AmplLevels[k]) << n << " " << k;
    // No level between the two middle ones; the first level lies below -1.
    EXPECT_LT(t.AmplLevels[n / 2], -0.86) << n;
    EXPECT_LT(t.AmplLevels[1], -1.1) << n;
  }
  // 1 - 0.25 (m + 1 - i) / (m + 1) for m = 50, i = 1: the lowest level of 200.
  EXPECT_DOUBLE_EQ(Built(200).AmplLevels[1], std::sqrt(1 - 0.25 * 50 / 51) - 2);
}

TEST(ColourScaleLevels, LinearAndEnergyLevels) {
  ColourScale s;
  double densityMax = 2.0;
  BuildLevels(s, 16, densityMax);
  EXPECT_EQ(densityMax, 2.0);
  EXPECT_EQ(s.LinearLevels[1], 0.0);
  EXPECT_DOUBLE_EQ(s.LinearLevels[6], 2.0 / 3.0);
  EXPECT_DOUBLE_EQ(s.LinearLevels[16], 2.0);
  // Through a logarithm and back: equal to a few parts in 1e15.
  EXPECT_NEAR(s.EnergyLevels[1] / (2.0 * std::exp(-10.0)), 1.0, 1e-13);
  EXPECT_NEAR(s.EnergyLevels[16] / (2.0 * std::exp(-1.0)), 1.0, 1e-13);
  for (int i = 2; i <= 16; ++i)  // nine e-folds in fifteen equal steps
    EXPECT_NEAR(s.EnergyLevels[i] / s.EnergyLevels[i - 1], std::exp(0.6), 1e-12) << i;

  for (double bad : {0.0, -3.0, std::numeric_limits<double>::quiet_NaN()}) {
    densityMax = bad;
    BuildLevels(s, 16, densityMax);
    EXPECT_EQ(densityMax, 0.0001) << bad;
    EXPECT_NEAR(s.EnergyLevels[1] / (0.0001 * std::exp(-10.0)), 1.0, 1e-13) << bad;
    EXPECT_NEAR(s.EnergyLevels[16] / (0.0001 * std::exp(-1.0)), 1.0, 1e-13) << bad;
  }

  // Rebuilding with fewer levels zeroes the rest.
  BuildLevels(s, 200, densityMax);
  BuildLevels(s, 16, densityMax);
  for (int i = 17; i <= 200; ++i) {
    ASSERT_EQ(s.AmplLevels[i], 0.0) << i;
    ASSERT_EQ(s.LinearLevels[i], 0.0) << i;
    ASSERT_EQ(s.EnergyLevels[i], 0.0) << i;
  }
}

TEST(ColourScaleLookup, AValueOnALevelTakesThatLevelsColour) {
  for (int n : {16, 104, 200}) {
    ColourScale s = Built(n, 3.5);
    const int m = n / 4;
    EXPECT_EQ(AmplColor(s, 0.0), kYellow) << n;
    // Tell the entries apart by index.
    for (int i = 1; i <= n; ++i) s.ColorTable[i] = Rgb{static_cast<uint8_t>(i), 0, 0};
    EXPECT_EQ(AmplColor(s, 0.0).r, 2 * m) << n;
    EXPECT_EQ(AmplColor(s, -50.0).r, 1) << n;
    EXPECT_EQ(AmplColor(s, 50.0).r, n) << n;
    EXPECT_EQ(EnergyColor(s, 0.0).r, 1) << n;
    EXPECT_EQ(EnergyColor(s, 1e9).r, n) << n;
    for (int k = 1; k <= n; ++k) {
      ASSERT_EQ(AmplColor(s, s.AmplLevels[k]).r, k) << n;
      ASSERT_EQ(EnergyColor(s, s.EnergyLevels[k]).r, k) << n;
      const int below = k == 1 ? 1 : k - 1;
      ASSERT_EQ(AmplColor(s, std::nextafter(s.AmplLevels[k], -1e9)).r, below) << n << " " << k;
      ASSERT_EQ(EnergyColor(s, std::nextafter(s.EnergyLevels[k], -1e9)).r, below) << n << " " << k;
    }
  }
}

TEST(ColourScaleStrip, BandsRunFromColourOneAtTheBottomToNAtTheTop) {
  // 160 rows of 16 colours: band i covers rows 160 - 10 i .. 169 - 10 i.
  ColourScale s;
  Canvas strip = Strip(30, 160);
  BuildPalette(s, 16, &strip);
  for (int i = 1; i <= 16; ++i) {
    for (int row : {160 - 10 * i, 169 - 10 * i}) {
      EXPECT_EQ(strip.Pixel(0, row), s.ColorTable[i]) << i;
      EXPECT_EQ(strip.Pixel(29, row), s.ColorTable[i]) << i;
    }
  }
  EXPECT_EQ(strip.Pixel(15, 159), Grey(40));
  EXPECT_EQ(strip.Pixel(15, 0), kRed);

  // 100 rows: bands 6.25 apart but 6 high; band 7 ends at 62.5 -> 62 and band 15 at
  // 12.5 -> 12, so rows 62 and 12 stay undrawn. Rounding halves up would close both gaps.
  Canvas uneven = Strip(10, 100);
  BuildPalette(s, 16, &uneven);
  EXPECT_EQ(uneven.Pixel(5, 99), s.ColorTable[1]);
  EXPECT_EQ(uneven.Pixel(5, 94), s.ColorTable[1]);
  EXPECT_EQ(uneven.Pixel(5, 93), s.ColorTable[2]);
  EXPECT_EQ(uneven.Pixel(5, 63), s.ColorTable[6]);
  EXPECT_EQ(uneven.Pixel(5, 62), kAqua);
  EXPECT_EQ(uneven.Pixel(5, 61), s.ColorTable[7]);
  EXPECT_EQ(uneven.Pixel(5, 56), s.ColorTable[7]);
  EXPECT_EQ(uneven.Pixel(5, 13), s.ColorTable[14]);
  EXPECT_EQ(uneven.Pixel(5, 12), kAqua);
  EXPECT_EQ(uneven.Pixel(5, 11), s.ColorTable[15]);
  EXPECT_EQ(uneven.Pixel(5, 0), s.ColorTable[16]);
}

TEST(ColourScaleHint, TextsOfTheBandsUnderAPress) {
  const ColourScale s = Built(16);
  // Top band: rows up to round(160 / 16) = 10.
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 0), " 1.1056 ...");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 10), " 1.1056 ...");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 11), " 1.0780 ..  1.1056");
  // Row 20 is shared by bands 14 and 15; the upper one wins.
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 20), " 1.0780 ..  1.1056");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 21), " 1.0513 ..  1.0780");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 155), "-1.1056 .. -1.0780");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 160), "-1.1056 .. -1.0780");
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 161), std::nullopt);
  // Middle of the strip: bands 8 and 9 around zero amplitude.
  EXPECT_EQ(ScaleHint(s.AmplLevels, 16, 160, 85), "-0.8944 ..  0.8944");

  EXPECT_EQ(ScaleHint(s.LinearLevels, 16, 160, 5), " 2.0000 ...");
  EXPECT_EQ(ScaleHint(s.LinearLevels, 16, 160, 15), " 1.8667 ..  2.0000");
}

TEST(ColourScaleSafety, CountsOutsideTheListNeverReachTheTables) {
  const ColourScale sixteen = Built(16);
  for (int bad : {208, 1000, 1, 2, 0, -8, 20}) {
    ColourScale s;
    double densityMax = 1.0;
    BuildPalette(s, bad, nullptr);
    EXPECT_EQ(s.ColorCount, 16) << bad;
    BuildLevels(s, bad, densityMax);
    EXPECT_EQ(s.ColorCount, 16) << bad;
    EXPECT_EQ(s.ColorTable, sixteen.ColorTable) << bad;
    EXPECT_EQ(s.AmplLevels, sixteen.AmplLevels) << bad;
    EXPECT_EQ(s.LinearLevels, sixteen.LinearLevels) << bad;
    EXPECT_EQ(s.EnergyLevels, sixteen.EnergyLevels) << bad;
    EXPECT_EQ(ScaleHint(s.AmplLevels, bad, 160, 0), " 1.1056 ...") << bad;
  }
  // Between list values: the lower list value.
  ColourScale s;
  Canvas strip = Strip(4, 96);
  BuildPalette(s, 100, &strip);
  EXPECT_EQ(s.ColorCount, 96);
  EXPECT_EQ(s.ColorTable[96], kRed);
  EXPECT_EQ(s.ColorTable[97], kBlack);
  EXPECT_EQ(strip.Pixel(0, 0), kRed);  // 96 bands of one row each

  // A count set by hand beyond the tables is read as a list value, never past the end.
  ColourScale forced = Built(16);
  forced.ColorCount = 208;
  EXPECT_EQ(AmplColor(forced, 50.0), kRed);
  EXPECT_EQ(EnergyColor(forced, 1e9), kRed);
}

}  // namespace
}  // namespace kl
