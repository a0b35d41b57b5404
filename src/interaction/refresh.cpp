#include "interaction/refresh.h"

#include <algorithm>
#include <climits>
#include <cmath>
#include <cstdlib>
#include <vector>

#include "initial/composer.h"
#include "interaction/mouse_work.h"

namespace kl {

namespace {

constexpr int kIndexLimit = 1 << 30;  // far beyond every store; keeps index arithmetic in range
constexpr double kLogFloor = -550.0;  // ln of a section value too small to show
constexpr double kStripAmplitude = 1.5;

// Nearest integer, halves to even; saturated, and 0 for a quotient that is not a number.
int RoundIndex(long double q) {
  if (std::isnan(q)) return 0;
  if (q >= kIndexLimit) return kIndexLimit;
  if (q <= -kIndexLimit) return -kIndexLimit;
  return static_cast<int>(std::nearbyint(q));
}

int ClampPixel(int v) { return std::clamp(v, -kPixelLimit, kPixelLimit); }

double ColumnX(const PlotFrame& f, int width, int c) { return PixelToWorld(ClampPixel(c), width, f.xMin, f.xMax); }
double RowT(const PlotFrame& f, int height, int r) {
  return PixelToWorld(height - ClampPixel(r), height, f.yMin, f.yMax);
}

// round(t / dt); a step that is not positive puts everything on step 0.
int TimeSteps(double t, double dt) { return dt > 0 ? RoundIndex(static_cast<long double>(t) / dt) : 0; }

int GridIndex(const SimState& sim, double x) {
  const int i = sim.Dx > 0 ? RoundIndex(static_cast<long double>(x) / sim.Dx) : 0;
  return std::clamp(i, -kHistoryHalf, kHistoryHalf);
}

// The History level of time t, at least `lowest` and never past the last level.
int LevelAt(const SimState& sim, double t, int lowest) {
  long long k = TimeSteps(t, sim.Dt);
  if (sim.PhaseTwo) k -= sim.WindowBase;
  return static_cast<int>(std::clamp<long long>(k, lowest, kHistoryLevels - 1));
}

int LowestLevel(bool energyPicture) { return energyPicture ? 1 : 0; }  // level 0 has no density

// Grid index of each visible column of a box `width` columns wide showing `frame`.
std::vector<int> ColumnIndices(const SimState& sim, const PlotFrame& frame, int width) {
  std::vector<int> columns(static_cast<size_t>(std::max(width, 0)));
  for (int c = 0; c < width; ++c) columns[c] = GridIndex(sim, ColumnX(frame, width, c));
  return columns;
}

// Columns c0 .. c1 (visible) of one canvas row, all on History level `level`. Neighbouring
// columns often name the same grid point, so its colour is looked up once.
void PaintSpan(const SimState& sim, const ColourScale& colours, bool energyPicture, int level,
               const std::vector<int>& columns, uint32_t* row, int c0, int c1) {
  const FieldPoint* samples = sim.stores.History(level);
  int lastI = INT_MIN;
  uint32_t pixel = 0;
  for (int c = c0; c <= c1; ++c) {
    const int i = columns[c];
    if (i != lastI) {
      lastI = i;
      pixel = PackRgb(energyPicture ? EnergyColor(colours, samples[i].r) : AmplColor(colours, samples[i].re));
    }
    row[c] = pixel;
  }
}

bool IsSet(const std::array<int, 4>& corners) {
  return std::any_of(corners.begin(), corners.end(), [](int v) { return v != -1; });
}

// Erases the two pixel columns of a section sample in aqua and draws its dot.
void SectionDot(Canvas& c, int px, int py, Rgb colour) {
  c.SetPenColor(kAqua);
  c.SetBrushColor(kAqua);
  c.Rectangle(px - 1, 1, px + 1, c.Height() - 1);
  DrawDot(c, px, py, colour);
}

// Column of sample s of first .. last, the samples taken as positions s * dx.
int SectionColumn(const SimState& sim, const Canvas& c, int s, int first, int last) {
  auto position = [&](int v) { return static_cast<double>(static_cast<long double>(v) * sim.Dx); };
  return WorldToPixel(c.Width(), position(s), position(first), position(last));
}

}  // namespace

double RowTime(const PlotFrame& frame, int height, int r, double dt) {
  if (!(dt > 0)) return 0.0;
  const int k = std::max(TimeSteps(RowT(frame, height, r), dt), 0);
  return static_cast<double>(static_cast<long double>(dt) * k);
}

HistoryIndex PixelToIndices(const SimState& sim, const PlotFrame& frame, int width, int height, int c, int r) {
  return HistoryIndex{LevelAt(sim, RowT(frame, height, r), 0), GridIndex(sim, ColumnX(frame, width, c))};
}

Rgb PixelColor(const SimState& sim, const ColourScale& colours, bool energyPicture, const PlotFrame& frame,
               int width, int height, int c, int r) {
  const int level = LevelAt(sim, RowT(frame, height, r), LowestLevel(energyPicture));
  const FieldPoint& p = sim.stores.History(level)[GridIndex(sim, ColumnX(frame, width, c))];
  return energyPicture ? EnergyColor(colours, p.r) : AmplColor(colours, p.re);
}

int PaintXtPicture(const SimState& sim, const ColourScale& colours, bool energyPicture, Canvas& main) {
  const int W = main.Width(), H = main.Height();
  const PlotFrame& f = sim.MainFrame;
  // t = 0 lies (2K - 1) / 2K of the way down a first-phase picture zoomed out K times.
  const long double K = std::max(sim.ZoomFactor, 1);
  const int R = sim.PhaseTwo ? H - 2 : RoundIndex(H * (2 * K - 1) / (2 * K));
  const std::vector<int> columns = ColumnIndices(sim, f, W);
  const int lowest = LowestLevel(energyPicture);
  int rows = 0;
  for (int r = R; r >= 1; --r) {
    if (RowTime(f, H, r, sim.Dt) > sim.TimeNow) break;
    ++rows;
    if (r >= H) continue;
    // The first phase follows the light cone: one column more on each side per row upward.
    const int c0 = std::max(sim.PhaseTwo ? 1 : r, 0);
    const int c1 = std::min(sim.PhaseTwo ? W - 2 : W - r, W - 1);
    if (c0 <= c1)
      PaintSpan(sim, colours, energyPicture, LevelAt(sim, RowT(f, H, r), lowest), columns, main.Row(r), c0, c1);
  }
  return rows;
}

PlotFrame Micro2FrameFor(const SimState& sim, const std::array<int, 4>& rect, int mainWidth, int mainHeight) {
  const PlotFrame& f = sim.MainFrame;
  return PlotFrame{ColumnX(f, mainWidth, rect[0]), ColumnX(f, mainWidth, rect[2]), RowT(f, mainHeight, rect[1]),
                   RowT(f, mainHeight, rect[3])};
}

int PaintMicro2(const SimState& sim, const ColourScale& colours, bool energyPicture, const PlotFrame& micro2Frame,
                Canvas& micro2) {
  const int W = micro2.Width(), H = micro2.Height();
  const std::vector<int> columns = ColumnIndices(sim, micro2Frame, W);
  const int lowest = LowestLevel(energyPicture);
  int rows = 0;
  // Row H and column W lie on the box's outer edge: they are checked but not visible.
  for (int r = H; r >= 0; --r) {
    if (RowTime(micro2Frame, H, r, sim.Dt) > sim.TimeNow) break;
    ++rows;
    if (r < H && W > 0)
      PaintSpan(sim, colours, energyPicture, LevelAt(sim, RowT(micro2Frame, H, r), lowest), columns,
                micro2.Row(r), 0, W - 1);
  }
  if (rows > 0) {
    micro2.SetPenColor(kBlack);
    micro2.MoveTo(0, 0);
    micro2.LineTo(0, H);
    micro2.LineTo(W, H);
    micro2.LineTo(W, 0);
    micro2.LineTo(0, 0);
  }
  return rows;
}

SectionRange SampleSection(SimState& sim, const std::array<int, 4>& line, int mainWidth, int mainHeight) {
  const HistoryIndex a = PixelToIndices(sim, sim.MainFrame, mainWidth, mainHeight, line[0], line[1]);
  const HistoryIndex b = PixelToIndices(sim, sim.MainFrame, mainWidth, mainHeight, line[2], line[3]);
  int k1 = a.level, i1 = a.i, k2 = b.level, i2 = b.i;
  double* sectionU = sim.stores.SectionU();
  double* sectionE = sim.stores.SectionE();
  // Both ends are inside History, so every interpolated level and index is too.
  auto densityStep = [](const FieldPoint* level, int i) {
    return std::abs(i) < kHistoryHalf ? level[i + 1].r - level[i].r : 0.0;
  };
  if (std::abs(i2 - i1) > std::abs(k2 - k1)) {
    for (int s = i1; s <= i2; ++s) {
      const long double weighted = static_cast<long double>(s - i1) * k2 + static_cast<long double>(i2 - s) * k1;
      const FieldPoint* level = sim.stores.History(RoundIndex(weighted / (i2 - i1)));
      sectionU[s] = level[s].re;
      sectionE[s] = densityStep(level, s);
    }
    return SectionRange{true, i1, i2};
  }
  // Both ends on the same sample leave no direction to sample along.
  if (k1 == k2) return SectionRange{};
  if (k1 > k2) {
    std::swap(k1, k2);
    std::swap(i1, i2);
  }
  for (int s = k1; s <= k2; ++s) {
    const long double weighted = static_cast<long double>(s - k1) * i2 + static_cast<long double>(k2 - s) * i1;
    const int i = RoundIndex(weighted / (k2 - k1));
    const FieldPoint* level = sim.stores.History(s);
    sectionU[s] = level[i].re;
    sectionE[s] = densityStep(level, i);
  }
  return SectionRange{true, k1, k2};
}

void PlotSectionU(const SimState& sim, Canvas& currSol, int first, int last) {
  const double* sectionU = sim.stores.SectionU();
  for (int s = std::max(first, kSectionLo); s <= std::min(last, kSectionHi); ++s)
    SectionDot(currSol, SectionColumn(sim, currSol, s, first, last), FrameRow(currSol, sim.SolFrame, sectionU[s]),
               kBlue);
}

void PlotSectionE(SimState& sim, Canvas& currEnergy, int first, int last) {
  double* sectionE = sim.stores.SectionE();
  const int lo = std::max(first, kSectionLo), hi = std::min(last, kSectionHi);
  for (int s = lo; s <= hi; ++s) sectionE[s] = sectionE[s] * sim.EnergyTotal / 100;
  const double floor = std::exp(kLogFloor);
  double largest = -9999999.99, smallest = 9999999.99;
  for (int s = lo; s <= hi; ++s) {
    // Zero and negative differences (and a value that is not a number) sit at the floor.
    sectionE[s] = sectionE[s] >= floor ? std::log(sectionE[s]) : kLogFloor;
    if (sectionE[s] > largest) largest = sectionE[s];
    if (sectionE[s] < smallest) smallest = sectionE[s];
  }
  if (largest - smallest > 8) smallest = largest - 8;
  if (largest - smallest < 0.02) {
    const double mid = (largest + smallest) / 2;
    largest = mid + 0.01;
    smallest = mid - 8;
  }
  sim.DensityFrame.yMax = largest;
  sim.DensityFrame.yMin = smallest;
  for (int s = lo; s <= hi; ++s)
    SectionDot(currEnergy, SectionColumn(sim, currEnergy, s, first, last),
               FrameRow(currEnergy, sim.DensityFrame, sectionE[s]), kRed);
}

RefreshResult RefreshSolution(Program& p, ColourScale& colours, const RefreshChoice& choice, Canvas& micro2,
                              PlotFrame& micro2Frame, Canvas* scaleStrip, const WaitingText& waiting) {
  SimState& sim = p.sim;
  Canvas& main = p.canvases.PaintBoxMain;
  auto showWaiting = [&](bool shown) {
    if (waiting) waiting(shown);
  };
  RefreshResult result;

  const int n = ColourCountFromList(choice.colourItem);
  BuildPalette(colours, n, scaleStrip);
  BuildLevels(colours, n, sim.DensityMax);

  Marks& marks = p.marks;
  if (marks.MarkCount >= 2)
    SortSolitons(std::min(marks.MarkCount, kMaxMarks), marks.MarkLeft.data(), marks.MarkRight.data());

  ClearPlot(main);
  sim.SolFrame.yMin = -kStripAmplitude;
  sim.SolFrame.yMax = kStripAmplitude;
  result.mainRows = PaintXtPicture(sim, colours, choice.energyPicture, main);

  ClearPlot(p.canvases.PaintBoxCurrSol);
  ClearPlot(p.canvases.PaintBoxCurrEnergy);
  const std::array<int, 4>& line = p.micro.Micro1Line;
  if (IsSet(line)) {
    showWaiting(true);
    result.section = SampleSection(sim, line, main.Width(), main.Height());
    if (result.section.sampled) {
      sim.SolFrame.yMin = -kStripAmplitude;
      sim.SolFrame.yMax = kStripAmplitude;
      PlotSectionU(sim, p.canvases.PaintBoxCurrSol, result.section.first, result.section.last);
      PlotSectionE(sim, p.canvases.PaintBoxCurrEnergy, result.section.first, result.section.last);
    }
    // Drawn again so that the line stays visible over the new picture.
    main.SetPenColor(kWhite);
    main.MoveTo(line[0], line[1]);
    main.LineTo(line[2], line[3]);
    main.SetPenColor(kBlack);
    showWaiting(false);
  } else {
    DrawCurrentSolution(sim, marks, p.logSettings, &p.log, p.canvases.PaintBoxCurrSol, sim.CurrentHalfWidth,
                        sim.LayerLast - sim.WindowBase, true);
    DrawDensityProfile(sim, p.canvases.PaintBoxCurrEnergy, sim.CurrentHalfWidth);
  }

  DrawInfoTable(sim, marks, p.textBlock, main);

  const std::array<int, 4>& rect = p.micro.Micro2Rect;
  if (IsSet(rect)) {
    showWaiting(true);
    OutlineRect(main, rect, kWhite);
    micro2Frame = Micro2FrameFor(sim, rect, main.Width(), main.Height());
    result.micro2Rows = PaintMicro2(sim, colours, choice.energyPicture, micro2Frame, micro2);
    showWaiting(false);
  }
  return result;
}

}  // namespace kl
