#include "views/run_pictures.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "soliton/plot_frame.h"

namespace kl {

namespace {

constexpr double kLogFloor = -550.0;  // ln r of a density too small to show

int Round(long double v) { return static_cast<int>(std::nearbyint(v)); }

}  // namespace

void DrawCurrentSolution(SimState& sim, Marks& marks, const LogSettings& logSettings, LogFile* log,
                         Canvas& currSol, int a, int k, bool follow, StripMemory* memory) {
  const int level = sim.PhaseTwo ? k - 1 : k;
  StripMemory fresh;
  StripMemory& m = memory ? *memory : fresh;
  const bool drawn = sim.SolutionTabShown && level >= 0 && level < kHistoryLevels;
  if (drawn) {
    sim.SolFrame.yMin = -1.5;
    sim.SolFrame.yMax = 1.5;
    const FieldPoint* row = sim.stores.History(level);
    const int half = std::clamp(a, 0, kHistoryHalf);
    const int* px = StripColumns(m, currSol, sim.SolFrame, sim.Dx, half);
    std::array<int, 2 * kHistoryHalf + 1> rows;
    const int H = currSol.Height();
    const PixelMap map(H, sim.SolFrame.yMin, sim.SolFrame.yMax);
    map.Many(2 * half + 1, [row, half](int j) { return row[j - half].re; }, rows.data());
    for (int j = 0; j <= 2 * half; ++j) rows[j] = H - rows[j];
    PaintColumnDots(currSol, m, px, rows.data(), 2 * half + 1, kBlue);
  }
  TrackMarks(sim, marks, logSettings, log, level, follow);
  if (sim.SolutionTabShown) {
    for (int mark = 1; mark <= std::min(marks.MarkCount, kMaxMarks); ++mark) {
      DrawMarkBox(sim, marks, currSol, mark, kNavy);
      const int H = currSol.Height();
      NoteOutline(m, currSol, FrameColumn(currSol, sim.SolFrame, marks.MarkLeft[mark]), Round(0.25L * H),
                  FrameColumn(currSol, sim.SolFrame, marks.MarkRight[mark]), Round(0.75L * H));
    }
    if (drawn) Seal(m, currSol);
  }
}

void DrawMarkBox(const SimState& sim, const Marks& marks, Canvas& currSol, int m, Rgb colour) {
  if (m < 1 || m > kMaxMarks) return;
  const int H = currSol.Height();
  currSol.SetPenColor(colour);
  const int y1 = Round(0.25L * H), y2 = Round(0.75L * H);
  const int x1 = FrameColumn(currSol, sim.SolFrame, marks.MarkLeft[m]);
  const int x2 = FrameColumn(currSol, sim.SolFrame, marks.MarkRight[m]);
  currSol.MoveTo(x1, y1);
  currSol.LineTo(x2, y1);
  currSol.LineTo(x2, y2);
  currSol.LineTo(x1, y2);
  currSol.LineTo(x1, y1);
}

void DrawDensityProfile(SimState& sim, Canvas& currEnergy, int a, StripMemory* memory) {
  StripMemory fresh;
  StripMemory& m = memory ? *memory : fresh;
  const int half = std::clamp(a, 0, kHistoryHalf);
  const double* density = sim.stores.DensityNow();
  double* logDensity = sim.stores.SectionE();
  const double floor = std::exp(kLogFloor);
  for (int i = -half; i <= half; ++i) {
    const double r = density[i];
    logDensity[i] = r < floor ? kLogFloor : std::log(r);
  }
  const double top = MaxOfRange(logDensity, kSectionLo, kSectionHi, -half, half);
  sim.DensityFrame.yMax = top;
  sim.DensityFrame.yMin = top - 8;
  const int* px = StripColumns(m, currEnergy, sim.DensityFrame, sim.Dx, half);
  std::array<int, 2 * kHistoryHalf + 1> rows;
  const int H = currEnergy.Height();
  const PixelMap map(H, sim.DensityFrame.yMin, sim.DensityFrame.yMax);
  map.Many(2 * half + 1, [logDensity, half](int j) { return logDensity[j - half]; }, rows.data());
  for (int j = 0; j <= 2 * half; ++j) rows[j] = H - rows[j];
  PaintColumnDots(currEnergy, m, px, rows.data(), 2 * half + 1, kRed);
}

void DrawEnergyPanel(Canvas& main) {
  main.SetPenColor(kYellow);
  main.SetBrushColor(kYellow);
  main.Rectangle(Round(0.25L * main.Width()), 0, Round(0.75L * main.Width()), Round(0.5L * main.Height()));
}

void DrawEnergyDot(const SimState& sim, Canvas& main) {
  const int halfW = Round(0.5L * main.Width()), halfH = Round(0.5L * main.Height());
  const PlotFrame& f = sim.EnergyTimeFrame;
  const int px = WorldToPixel(halfW, sim.EnergyTotal, f.xMin, f.xMax) + Round(0.25L * main.Width());
  const int py = halfH - WorldToPixel(halfH, sim.TimeNow, f.yMin, f.yMax);
  DrawDot(main, px, py, kRed);
}

void DrawInfoTable(const SimState& sim, const Marks& marks, TextBlock& block, Canvas& main) {
  block.Lines[1] = "   u        w       e =";
  for (int j = 2; j <= 10; ++j) block.Lines[j].clear();
  for (int m = 1; m <= std::min(marks.MarkCount, kMaxMarks); ++m)
    block.Lines[m + 1] = FormatWD(marks.MarkPeakU[m], 5, 2) + "   " + FormatWD(marks.MarkWidth[m], 5, 2) +
                         "  " + FormatWD(marks.MarkEnergy[m], 6, 3);
  block.Lines[11] = "t=" + FormatWD(sim.TimeNow, 6, 1) + "; E=" + FormatWD(sim.EnergyTotal, 5, 3);
  for (std::string& line : block.Lines)
    if (line.size() > kTextBlockWidth) line.resize(kTextBlockWidth);
  const int H = main.Height();
  main.SetPenColor(kWhite);
  main.SetBrushColor(kWhite);
  main.Rectangle(1, H - 156, 117, H - 1);
  for (int j = 1; j <= kTextBlockLines; ++j) main.TextOut(1, H - 156 + 13 * (j - 1), block.Lines[j]);
}

}  // namespace kl
