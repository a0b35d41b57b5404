// The solution-tab repaint: pixel-to-sample mapping, the x-t picture, the microscopes and
// the PNG file of the picture.
#include "interaction/refresh.h"

#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cerrno>
#include <climits>
#include <cmath>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "interaction/xt_png.h"
#include "support/canvas_count.h"
#include "support/disk_faults.h"

namespace kl {
namespace {

constexpr int kW = 400, kH = 200;  // main picture: x in [-20, 20], t in [-10, 10], 0.1 per pixel
constexpr int kFilledLevels = 200;
constexpr double kKinkCentre = 10;  // column 300 of row 100

double KinkU(double x) { return std::tanh((x - kKinkCentre) / std::sqrt(2.0)); }

class Refresh : public ::testing::Test {
 protected:
  void SetUp() override {
    SimState& s = p->sim;
    s.HalfInterval = 10;
    SetGrid(s, 256);  // dx = 0.078125, dt = 0.0639480685...
    s.MainFrame = PlotFrame{-20, 20, -10, 10};
    s.TimeNow = 5;
    s.LayerLast = 79;
    s.CurrentHalfWidth = 256;
    s.DensityMax = 1;
    s.SolutionTabShown = true;
    p->canvases.PaintBoxMain.Resize(kW, kH);
    p->canvases.PaintBoxCurrSol.Resize(kW, 60);
    p->canvases.PaintBoxCurrEnergy.Resize(kW, 60);
    // A kink at rest on every filled level; r a bump around its centre.
    for (int k = 0; k < kFilledLevels; ++k)
      for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
        const double u = KinkU(i * s.Dx);
        s.stores.History(k)[i] = FieldPoint{u, 0, 1 - u * u};
      }
  }
  RefreshResult Run(bool energy = false, WaitingText waiting = nullptr) {
    const RefreshChoice choice{energy, kColourItemCount - 1};  // 16 colours
    return RefreshSolution(*p, colours, choice, micro2, micro2Frame, nullptr, waiting);
  }
  // The x-t picture alone, as the refresh paints it with 16 colours (the text block of a
  // refresh covers the lower left corner).
  int Picture(bool energy = false) {
    BuildPalette(colours, 16, nullptr);
    BuildLevels(colours, 16, p->sim.DensityMax);
    ClearPlot(p->canvases.PaintBoxMain);
    return PaintXtPicture(p->sim, colours, energy, p->canvases.PaintBoxMain);
  }
  Rgb Main(int c, int r) const { return p->canvases.PaintBoxMain.Pixel(c, r); }

  std::unique_ptr<Program> p = std::make_unique<Program>();
  ColourScale colours;
  Canvas micro2{50, 25};
  PlotFrame micro2Frame;
};

TEST(RowTime, SnapsToTheTimeGridWithTiesToEvenAndNeverBelowZero) {
  const PlotFrame f{0, 1, -8, 8};  // H = 128: row r lies at t = (64 - r) / 8
  EXPECT_EQ(RowTime(f, 128, 64, 0.25), 0.0);
  EXPECT_EQ(RowTime(f, 128, 63, 0.25), 0.0);  // 0.5 steps -> 0
  EXPECT_EQ(RowTime(f, 128, 62, 0.25), 0.25);
  EXPECT_EQ(RowTime(f, 128, 61, 0.25), 0.5);  // 1.5 steps -> 2
  EXPECT_EQ(RowTime(f, 128, 0, 0.25), 8.0);
  EXPECT_EQ(RowTime(f, 128, 128, 0.25), 0.0);  // t = -8 is held at 0
  EXPECT_EQ(RowTime(f, 128, 10, 0.0), 0.0);    // no time step yet
  EXPECT_EQ(RowTime(PlotFrame{0, 1, 3, 5}, 0, 7, 0.25), 3.0);  // a box without rows shows yMin
}

TEST_F(Refresh, PixelToIndicesInTheFirstPhaseAtZoom1And2) {
  SimState& s = p->sim;
  auto at = [&](int c, int r) { return PixelToIndices(s, s.MainFrame, kW, kH, c, r); };
  EXPECT_EQ(at(200, 100).level, 0);    // t = 0
  EXPECT_EQ(at(200, 50).level, 78);    // t = 5: 78.19 steps
  EXPECT_EQ(at(200, 199).level, 0);    // below t = 0
  EXPECT_EQ(at(250, 50).i, 64);        // x = 5
  EXPECT_EQ(at(1, 50).i, -255);        // x = -19.9: -254.72
  s.ZoomFactor = 2;
  s.MainFrame = PlotFrame{-40, 40, -10, 30};  // the second first-phase window
  EXPECT_EQ(at(0, 150).level, 0);
  EXPECT_EQ(at(0, 100).level, 156);  // t = 10: 156.38 steps
  EXPECT_EQ(at(399, 0).i, 509);      // x = 39.8: 509.44
  SetGrid(s, 1024);                  // dx = 0.01953125: x = +-40 lies beyond the store
  EXPECT_EQ(at(399, 0).i, kHistoryHalf);
  EXPECT_EQ(at(0, 0).i, -kHistoryHalf);
}

TEST_F(Refresh, PixelToIndicesInTheSecondPhaseCountFromTheWindowBase) {
  SimState& s = p->sim;
  s.PhaseTwo = true;
  s.WindowBase = 1000;
  s.Dx = 0.125;
  s.Dt = 0.0625;
  s.MainFrame = PlotFrame{-25, 25, 62.5, 142.5};  // H = 160: t = 142.5 - r / 2, levels 1000 .. 2280
  auto at = [&](int c, int r) { return PixelToIndices(s, s.MainFrame, kW, 160, c, r); };
  EXPECT_EQ(at(200, 160).level, 0);
  EXPECT_EQ(at(200, 100).level, 480);
  EXPECT_EQ(at(200, 0).level, 1280);
  EXPECT_EQ(at(300, 0).i, 100);  // x = 12.5
  // Beyond the window the level is held inside History.
  EXPECT_EQ(at(200, 170).level, 0);
  EXPECT_EQ(at(200, -10).level, kHistoryLevels - 1);
}

TEST_F(Refresh, IndicesStayInsideHistoryForExtremePixelsAndDegenerateFrames) {
  SimState& s = p->sim;
  const PlotFrame frames[] = {s.MainFrame, {3, 3, 2, 2}, {20, -20, 10, -10}, {-1e300, 1e300, -1e300, 1e300},
                              {0, INFINITY, -INFINITY, 0}};
  const int pixels[] = {INT_MIN, -1, 0, 1, 199, 200, 400, 401, INT_MAX};
  for (const bool phaseTwo : {false, true})
    for (const double dt : {s.Dt, 0.0})
      for (const PlotFrame& f : frames)
        for (const int extent : {0, 1, 200})
          for (const int c : pixels)
            for (const int r : pixels) {
              std::tie(s.PhaseTwo, s.WindowBase, s.Dt) = std::tuple(phaseTwo, phaseTwo ? 262000 : 0, dt);
              const HistoryIndex h = PixelToIndices(s, f, extent, extent, c, r);
              ASSERT_TRUE(h.level >= 0 && h.level < kHistoryLevels && std::abs(h.i) <= kHistoryHalf)
                  << h.level << " " << h.i << " at " << c << "," << r;
              PixelColor(s, colours, true, f, extent, extent, c, r);
            }
  s.MainFrame = frames[3];
  p->micro.Micro1Line = {INT_MIN, INT_MIN, INT_MAX, INT_MAX};
  p->micro.Micro2Rect = {0, 5, 7, 5};  // a rectangle without height
  Run();
}

TEST_F(Refresh, KinkAtRestIsColouredByAmplitudeFromTimeZeroUpToTimeNow) {
  const int rows = Picture();
  const Rgb vacuumColour = colours.ColorTable[4];  // u = -1 lies in [-1.0253, -0.9747)
  EXPECT_EQ(rows, 51);  // rows 100 (t = 0) .. 50 (t = 5); row 49 snaps to 5.12
  // Row r covers columns r .. W - r; u = 0 (yellow) at the kink's centre.
  EXPECT_EQ((std::array{Main(99, 100), Main(100, 100), Main(300, 100), Main(301, 100)}),
            (std::array{kWhite, vacuumColour, kYellow, kWhite}));
  EXPECT_EQ((std::array{Main(200, 101), Main(200, 50), Main(200, 49)}), (std::array{kWhite, vacuumColour, kWhite}));
  for (int r = 50; r <= 100; r += 10)
    for (int c = r; c <= kW - r; c += 7) {
      const int i = PixelToIndices(p->sim, p->sim.MainFrame, kW, kH, c, r).i;
      ASSERT_EQ(Main(c, r), AmplColor(colours, KinkU(i * p->sim.Dx))) << c << "," << r;
    }
}

TEST_F(Refresh, RefreshStartsAtTheRowOfTimeZeroForEachZoomAndRedrawsTheStrips) {
  Canvas& main = p->canvases.PaintBoxMain;
  main.Resize(kW, 185);
  p->marks.MarkCount = 2;
  p->marks.MarkLeft = {0, 5, -5};
  p->marks.MarkRight = {0, 6, -4};
  Run();
  EXPECT_LT(p->marks.MarkLeft[1], p->marks.MarkLeft[2]);  // sorted by left end
  // Without a microscope-1 line the strips show the newest level; the text block is written.
  EXPECT_GT(test::CountOf(p->canvases.PaintBoxCurrSol, kBlue), 0);
  EXPECT_GT(test::CountOf(p->canvases.PaintBoxCurrEnergy, kRed), 0);
  EXPECT_EQ(p->textBlock.Lines[11].substr(0, 8), "t=   5.0");
  EXPECT_NE(main.Pixel(200, 92), kWhite);  // round(185 / 2) = 92, ties to even
  EXPECT_EQ(main.Pixel(200, 93), kWhite);
  p->sim.ZoomFactor = 2;
  Run();
  EXPECT_NE(main.Pixel(200, 139), kWhite);  // round(185 * 3 / 4) = 139
  EXPECT_EQ(main.Pixel(200, 140), kWhite);
  main.Resize(kW, kH);
  p->sim.ZoomFactor = 1;
  p->sim.TimeNow = 0;
  p->micro.Micro2Rect = {150, 100, 250, 50};  // its bottom edge, row 25, lies at t = 0
  const RefreshResult atZero = Run();
  EXPECT_EQ(atZero.mainRows, 1);
  EXPECT_NE(Main(130, 100), kWhite);  // left of the rectangle's white outline
  EXPECT_EQ(Main(130, 99), kWhite);
  EXPECT_EQ(atZero.micro2Rows, 1);  // only the bottom edge: outlined, nothing visible painted
  EXPECT_EQ(micro2.Pixel(0, 10), kBlack);
  EXPECT_EQ(micro2.Pixel(25, 10), kWhite);
}

TEST_F(Refresh, SecondPhasePaintsAllInnerColumnsFromRowHMinus2) {
  SimState& s = p->sim;
  s.PhaseTwo = true;
  s.WindowBase = 0;
  s.MainFrame = PlotFrame{-20, 12, 0, 10};
  EXPECT_EQ(Picture(), 99);  // rows 198 (t = 0.1) .. 100 (t = 5)
  // Column W - 2 at x = 11.84: grid point 152, u = 0.87, yellow. The border stays black.
  EXPECT_EQ((std::array{Main(1, 198), Main(kW - 2, 198)}), (std::array{colours.ColorTable[4], kYellow}));
  EXPECT_EQ((std::array{Main(0, 198), Main(kW - 1, 198), Main(1, 199)}), (std::array{kBlack, kBlack, kBlack}));
}

TEST_F(Refresh, EnergyPictureUsesTheEnergyLevelsAndReadsLevelOneAtTimeZero) {
  SimState& s = p->sim;
  for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
    s.stores.History(0)[i] = FieldPoint{-1, 0, 0};
    s.stores.History(1)[i] = FieldPoint{1, 0, 0.5};  // above DensityMax / e: the top colour
  }
  s.TimeNow = 0;
  Run(true);
  EXPECT_EQ(Main(200, 100), kRed);  // colour 16 of 16 is pure red
  Run(false);
  EXPECT_EQ(Main(200, 100), colours.ColorTable[4]);  // level 0 holds u = -1
  // The energy levels follow DensityMax at each refresh.
  s.DensityMax = 100;
  Run(true);
  EXPECT_EQ(Main(200, 100), EnergyColor(colours, 0.5));
  EXPECT_NE(Main(200, 100), kRed);
}

// The picture by the rules, one pixel at a time.
void PaintByRule(const SimState& s, const ColourScale& cs, bool energy, Canvas& c) {
  const int W = c.Width(), H = c.Height(), K = s.ZoomFactor;
  const int R = s.PhaseTwo ? H - 2 : static_cast<int>(std::nearbyint(H * (2.0 * K - 1) / (2.0 * K)));
  for (int r = R; r >= 1 && RowTime(s.MainFrame, H, r, s.Dt) <= s.TimeNow; --r)
    for (int col = s.PhaseTwo ? 1 : r; col <= (s.PhaseTwo ? W - 2 : W - r); ++col)
      c.SetPixel(col, r, PixelColor(s, cs, energy, s.MainFrame, W, H, col, r));
}

TEST_F(Refresh, FastPaintingEqualsPaintingPixelByPixel) {
  SimState& s = p->sim;
  for (int k = 0; k < kFilledLevels; ++k)
    for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i)
      s.stores.History(k)[i] =
          FieldPoint{1.2 * std::sin(0.37 * i + 0.11 * k), 0, std::exp(-5 + 4 * std::sin(0.23 * i - 0.07 * k))};
  BuildPalette(colours, 64, nullptr);
  BuildLevels(colours, 64, s.DensityMax);
  // The last frame begins after TimeNow: nothing painted, no outline.
  const PlotFrame frames[] = {{-20, 20, -10, 10}, {-0.5, 0.5, -1, 3}, {-40, 40, 2, 6}, {-1, 1, 6, 8}};
  const int sizes[][2] = {{61, 37}, {20, 60}, {7, 3}};
  for (const bool energy : {false, true})
    for (const int zoom : {1, 2, 4})
      for (const bool phaseTwo : {false, true})
        for (const PlotFrame& f : frames)
          for (const auto& size : sizes) {
            s.MainFrame = f;
            std::tie(s.ZoomFactor, s.PhaseTwo, s.WindowBase) = std::tuple(zoom, phaseTwo, phaseTwo ? 7 : 0);
            Canvas fast(size[0], size[1]), slow(size[0], size[1]);
            PaintXtPicture(s, colours, energy, fast);
            PaintByRule(s, colours, energy, slow);
            ASSERT_EQ(fast.Pixels(), slow.Pixels()) << energy << zoom << phaseTwo << f.xMin << " " << size[0];
            // Microscope 2 by the rule: rows H .. 0 and columns 0 .. W, then the outline.
            const int W = size[0], H = size[1];
            PaintMicro2(s, colours, energy, f, fast);
            int r = H;
            for (; r >= 0 && RowTime(f, H, r, s.Dt) <= s.TimeNow; --r)
              for (int c = 0; c <= W; ++c) slow.SetPixel(c, r, PixelColor(s, colours, energy, f, W, H, c, r));
            const std::pair<int, int> outline[] = {{0, H}, {W, H}, {W, 0}, {0, 0}};
            slow.MoveTo(0, 0);
            if (r < H)
              for (const auto& [x, y] : outline) slow.LineTo(x, y);
            ASSERT_EQ(fast.Pixels(), slow.Pixels()) << "microscope 2 " << energy << zoom << phaseTwo;
          }
}

TEST_F(Refresh, Microscope1SamplesAHorizontalLineAndPlotsIt) {
  SimState& s = p->sim;
  p->micro.Micro1Line = {100, 100, 300, 100};  // t = 0, x = -10 .. 10
  std::vector<bool> waits;
  const RefreshResult result = Run(false, [&](bool shown) { waits.push_back(shown); });
  EXPECT_EQ(waits, (std::vector<bool>{true, false}));
  ASSERT_TRUE(result.section.sampled);
  EXPECT_EQ(std::pair(result.section.first, result.section.last), std::pair(-128, 128));
  for (int i = -128; i <= 128; ++i) ASSERT_EQ(s.stores.SectionU()[i], s.stores.History(0)[i].re) << i;
  // Sample 0 at column 200; u = -1 at row 60 - round(0.5 * 60 / 3) = 50: a blue 2 x 2 dot.
  const Canvas& sol = p->canvases.PaintBoxCurrSol;
  EXPECT_EQ((std::array{sol.Pixel(199, 49), sol.Pixel(200, 50), sol.Pixel(200, 30)}),
            (std::array{kBlue, kBlue, kAqua}));  // the rest of the sample's columns erased in aqua
  EXPECT_GT(test::CountOf(p->canvases.PaintBoxCurrEnergy, kRed), 0);
  EXPECT_EQ(Main(150, 100), kWhite);  // the line drawn again over the picture
  EXPECT_EQ(Main(150, 99), colours.ColorTable[4]);
  // Energy differences to the right neighbour; none at the edge of the store.
  s.stores.History(0)[kHistoryHalf - 1].r = 0.5;
  s.stores.History(0)[kHistoryHalf].r = 2;
  p->micro.Micro1Line = {100, 100, 5000, 100};
  const SectionRange wide = SampleSection(s, p->micro.Micro1Line, kW, kH);
  EXPECT_EQ(wide.last, kHistoryHalf);
  EXPECT_EQ(s.stores.SectionE()[0], s.stores.History(0)[1].r - s.stores.History(0)[0].r);
  EXPECT_EQ(s.stores.SectionE()[kHistoryHalf - 1], 1.5);
  EXPECT_EQ(s.stores.SectionE()[kHistoryHalf], 0.0);
}

TEST_F(Refresh, Microscope1SamplesASteepLineByLevelWithItsEndsExchanged) {
  SimState& s = p->sim;
  for (int k = 0; k <= 80; ++k)
    for (int i = -20; i <= 20; ++i) s.stores.History(k)[i] = FieldPoint{k + i / 100.0, 0, k * 100.0 + i * i};
  // (190, 50) is level 78, grid point -13; (210, 100) level 0, grid point 13.
  const SectionRange range = SampleSection(s, {190, 50, 210, 100}, kW, kH);
  ASSERT_TRUE(range.sampled);
  EXPECT_EQ(std::pair(range.first, range.last), std::pair(0, 78));
  const double* u = s.stores.SectionU();
  // Level s at grid point round(13 - s / 3).
  EXPECT_EQ((std::array{u[0], u[3], u[39], u[78]}), (std::array{0.13, 3 + 12 / 100.0, 39.0, 78 - 0.13}));
  EXPECT_EQ(s.stores.SectionE()[39], 1.0);  // (i + 1)^2 - i^2 at i = 0
}

TEST_F(Refresh, Microscope1LineOnASingleSampleIsSkipped) {
  SimState& s = p->sim;
  s.stores.SectionU()[0] = 42;
  for (const std::array<int, 4> line : {std::array{200, 100, 200, 100}, std::array{200, 100, 200, 101}}) {
    p->micro.Micro1Line = line;
    const RefreshResult result = Run();
    EXPECT_FALSE(result.section.sampled);
    EXPECT_EQ(s.stores.SectionU()[0], 42);
    for (const Canvas* strip : {&p->canvases.PaintBoxCurrSol, &p->canvases.PaintBoxCurrEnergy})
      EXPECT_EQ(test::CountOf(*strip, kWhite) + test::CountOf(*strip, kBlack), kW * 60);
  }
}

TEST_F(Refresh, SectionEnergyRangeIsAtMost8AndAtLeastAHundredth) {
  SimState& s = p->sim;
  s.EnergyTotal = 100;  // values are taken as they are
  for (int i = 0; i <= 10; ++i) s.stores.SectionE()[i] = i == 5 ? -3.0 : 0.0;
  PlotSectionE(s, p->canvases.PaintBoxCurrEnergy, 0, 10);
  EXPECT_EQ(s.DensityFrame.yMax, -549.99);
  EXPECT_EQ(s.DensityFrame.yMin, -558.0);
  s.EnergyTotal = 100 * std::exp(3.0);  // scales every value by e^3
  for (int i = 0; i <= 10; ++i) s.stores.SectionE()[i] = std::exp(-2.0 * i);
  PlotSectionE(s, p->canvases.PaintBoxCurrEnergy, 0, 10);
  EXPECT_NEAR(s.DensityFrame.yMax, 3.0, 1e-12);
  EXPECT_NEAR(s.DensityFrame.yMin, -5.0, 1e-12);
  EXPECT_NEAR(s.stores.SectionE()[10], -17.0, 1e-12);
}

TEST_F(Refresh, Microscope2PaintsItsRectangleUpToTimeNow) {
  SimState& s = p->sim;
  micro2.SetPenColor(kGreen);
  micro2.SetBrushColor(kGreen);
  micro2.Rectangle(0, 0, 50, 25);
  p->micro.Micro2Rect = {150, 100, 250, 50};
  s.TimeNow = 2.5;
  std::vector<bool> waits;
  const RefreshResult result = Run(false, [&](bool shown) { waits.push_back(shown); });
  EXPECT_EQ(waits, (std::vector<bool>{true, false}));
  const PlotFrame& f = micro2Frame;
  EXPECT_EQ((std::array{f.xMin, f.xMax, f.yMin, f.yMax}), (std::array{-5.0, 5.0, 0.0, 5.0}));
  EXPECT_EQ(result.micro2Rows, 13);  // rows 25 .. 13 (t = 2.4); row 12 (t = 2.6) snaps past 2.5
  EXPECT_EQ(micro2.Pixel(25, 20), AmplColor(colours, KinkU(0)));            // x = 0
  EXPECT_EQ(micro2.Pixel(49, 13), AmplColor(colours, KinkU(61 * s.Dx)));  // x = 4.8: 61.44
  EXPECT_EQ(micro2.Pixel(25, 12), kGreen);  // later rows keep what they held
  EXPECT_EQ((std::array{micro2.Pixel(0, 20), micro2.Pixel(25, 0)}), (std::array{kBlack, kBlack}));  // outline
  // The rectangle drawn again on the main picture.
  EXPECT_EQ((std::array{Main(150, 75), Main(200, 50)}), (std::array{kWhite, kWhite}));
}

// An empty folder for the PNG files, one per test: tests may run side by side.
std::filesystem::path PngDir() {
  const std::filesystem::path dir = std::filesystem::path(::testing::TempDir()) /
                                    (std::string("kinklab_xt_png_") +
                                     ::testing::UnitTest::GetInstance()->current_test_info()->name());
  std::filesystem::remove_all(dir);
  std::filesystem::create_directories(dir);
  return dir;
}

TEST_F(Refresh, PngHoldsThePaintedPictureAndReplacesTheOldFile) {
  const std::filesystem::path dir = PngDir();
  const std::string path = (dir / "xt.png").string();
  std::ofstream(path) << "old";
  std::string error;
  ASSERT_TRUE(WriteXtPicturePng(*p, colours, false, 40, 30, path, error)) << error;
  EXPECT_TRUE(test::TemporariesOf(path).empty());
  Canvas expected(40, 30);
  ClearPlot(expected);
  PaintXtPicture(p->sim, colours, false, expected);
  EXPECT_GT(test::CountOf(expected, colours.ColorTable[4]), 100);

  png_image image{};
  image.version = PNG_IMAGE_VERSION;
  ASSERT_TRUE(png_image_begin_read_from_file(&image, path.c_str())) << image.message;
  EXPECT_EQ(std::pair(image.width, image.height), std::pair(40u, 30u));
  image.format = PNG_FORMAT_RGB;
  std::vector<uint8_t> rgb(PNG_IMAGE_SIZE(image));
  ASSERT_TRUE(png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr)) << image.message;
  for (size_t k = 0; k < expected.Pixels().size(); ++k)
    ASSERT_EQ((Rgb{rgb[3 * k], rgb[3 * k + 1], rgb[3 * k + 2]}), UnpackRgb(expected.Pixels()[k])) << k;
  std::filesystem::remove_all(dir);
}

TEST_F(Refresh, PngReportsFailuresWithTheSystemTextAndKeepsTheTarget) {
  const std::filesystem::path dir = PngDir();
  std::string error;
  EXPECT_FALSE(WriteXtPicturePng(*p, colours, true, 40, 30, (dir / "none" / "xt.png").string(), error));
  EXPECT_NE(error.find(std::strerror(ENOENT)), std::string::npos) << error;
  const std::filesystem::path busy = dir / "busy.png";  // a folder where the file should go
  std::filesystem::create_directory(busy);
  EXPECT_FALSE(WriteXtPicturePng(*p, colours, true, 40, 30, busy.string(), error));
  EXPECT_NE(error.find(std::strerror(EISDIR)), std::string::npos) << error;
  EXPECT_TRUE(std::filesystem::is_directory(busy));
  EXPECT_TRUE(test::TemporariesOf(busy.string()).empty());
  error.clear();
  EXPECT_FALSE(WriteXtPicturePng(*p, colours, true, 0, 30, (dir / "empty.png").string(), error));
  EXPECT_FALSE(error.empty());
  EXPECT_FALSE(std::filesystem::exists(dir / "empty.png"));
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace kl
