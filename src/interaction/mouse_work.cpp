#include "interaction/mouse_work.h"

#include <algorithm>
#include <cmath>

#include "base/numbers.h"
#include "views/run_pictures.h"

namespace kl {

namespace {
constexpr int kInvalidLevel = -111;

int RoundIndex(long double v) {
  if (!(std::fabs(v) < 1e9L)) return v > 0 ? 1000000000 : -1000000000;
  return static_cast<int>(std::nearbyint(v));
}
}  // namespace

Probe ProbePoint(const SimState& sim, const PlotFrame& frame, int width, int height, int X, int Y) {
  Probe pr;
  pr.x = PixelToWorld(X, width, frame.xMin, frame.xMax);
  pr.t = PixelToWorld(height - Y, height, frame.yMin, frame.yMax);
  if (!(sim.Dt > 0) || !(sim.Dx > 0)) return pr;
  int k = static_cast<long double>(sim.LayerLast) * sim.Dt >= pr.t ? RoundIndex(pr.t / static_cast<long double>(sim.Dt))
                                                                  : kInvalidLevel;
  if (sim.PhaseTwo) k -= sim.WindowBase;
  const bool xValid = static_cast<long double>(sim.CurrentHalfWidth) * sim.Dx >= std::fabs(pr.x);
  pr.k = k;
  if (xValid) pr.i = std::clamp(RoundIndex(pr.x / static_cast<long double>(sim.Dx)), -kHistoryHalf, kHistoryHalf);
  // Only levels that History holds can be shown.
  pr.valid = xValid && k > 0 && k <= sim.LayerLast && k < kHistoryLevels;
  return pr;
}

std::optional<std::string> HintText(const SimState& sim, const Probe& pr) {
  if (!pr.valid) return std::nullopt;
  const FieldPoint& here = sim.stores.History(pr.k)[pr.i];
  const FieldPoint& energy = sim.stores.History(std::max(pr.k, 1))[std::clamp(pr.i, -1024, 1024)];
  return "x=" + FormatWD(pr.x, 5, 2) + "; t=" + FormatWD(pr.t, 5, 2) + "; " + " u=" + FormatWD(here.re, 7, 4) +
         "; r=" + FormatWD(energy.r, 7, 5) + ";";
}

double StripX(const SimState& sim, int width, int X) {
  return PixelToWorld(X, width, sim.SolFrame.xMin, sim.SolFrame.xMax);
}

bool OpenMark(Marks& marks, Microscopes& micro, double x) {
  if (marks.MarkCount >= kMaxMarks) return false;
  marks.MarkCount += 1;
  marks.MarkLeft[marks.MarkCount] = x;
  micro.MarkPending = true;
  return true;
}

void CloseMark(Marks& marks, Microscopes& micro, double x) {
  if (!micro.MarkPending || marks.MarkCount < 1) return;
  const int m = std::min(marks.MarkCount, kMaxMarks);
  marks.MarkRight[m] = x;
  if (marks.MarkLeft[m] > marks.MarkRight[m]) std::swap(marks.MarkLeft[m], marks.MarkRight[m]);
  micro.MarkPending = false;
}

int RemoveMarkAt(const SimState& sim, Marks& marks, Canvas& currSol, double x) {
  const int count = std::min(marks.MarkCount, kMaxMarks);
  for (int m = 1; m <= count; ++m) {
    if (marks.MarkLeft[m] <= x && x <= marks.MarkRight[m]) {
      DrawMarkBox(sim, marks, currSol, m, kWhite);
      for (int j = m; j < count; ++j) {
        marks.MarkLeft[j] = marks.MarkLeft[j + 1];
        marks.MarkRight[j] = marks.MarkRight[j + 1];
        marks.MarkPeakU[j] = marks.MarkPeakU[j + 1];
        marks.MarkWidth[j] = marks.MarkWidth[j + 1];
        marks.MarkEnergy[j] = marks.MarkEnergy[j + 1];
      }
      marks.MarkLeft[count] = marks.MarkRight[count] = 0;
      marks.MarkCount = count - 1;
      return m;
    }
  }
  return 0;
}

void RemoveAllMarks(const SimState& sim, Marks& marks, Canvas& currSol) {
  for (int m = 1; m <= std::min(marks.MarkCount, kMaxMarks); ++m) {
    DrawMarkBox(sim, marks, currSol, m, kWhite);
    marks.MarkLeft[m] = marks.MarkRight[m] = 0;
  }
  marks.MarkCount = 0;
}

void DeleteMicroLine(std::array<int, 4>& line, Canvas& main) {
  if (std::all_of(line.begin(), line.end(), [](int v) { return v == -1; })) return;
  main.SetPenColor(kSilver);
  main.MoveTo(line[0], line[1]);
  main.LineTo(line[2], line[3]);
  main.SetPenColor(kBlack);
  line.fill(-1);
}

void OutlineRect(Canvas& canvas, const std::array<int, 4>& rect, Rgb colour) {
  canvas.SetPenColor(colour);
  canvas.MoveTo(rect[0], rect[1]);
  canvas.LineTo(rect[0], rect[3]);
  canvas.LineTo(rect[2], rect[3]);
  canvas.LineTo(rect[2], rect[1]);
  canvas.LineTo(rect[0], rect[1]);
  canvas.SetPenColor(kBlack);
}

void DeleteMicroRect(std::array<int, 4>& rect, Canvas& main) {
  if (std::all_of(rect.begin(), rect.end(), [](int v) { return v == -1; })) return;
  OutlineRect(main, rect, kSilver);
  rect.fill(-1);
}

}  // namespace kl
