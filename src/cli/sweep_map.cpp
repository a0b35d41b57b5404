#include "cli/sweep_map.h"

#include <algorithm>
#include <cmath>
#include <numeric>

#include "cli/map_axes.h"
#include "base/text_out.h"
#include "base/numbers.h"
#include "views/pixel_font.h"

namespace kl {

using namespace map_axes;

namespace {

constexpr int kPlotWidth = 600;
constexpr int kKeyPitch = 24;         // from one key entry to the next
constexpr int kKeyTextGap = 6;        // between a key's square and its text
constexpr int kRightMargin = 12;      // after the key's widest text
constexpr int kMarkerHalf = 2;        // a point's marker is 2 * kMarkerHalf + 1 pixels square
constexpr double kLoneRowHalf = 0.5;  // the k axis of a single row: its k +- this
constexpr double kLoneSpacing = 0.1;  // the v axis's s when there is nothing to take it from

constexpr int kSlots = 3 + kSweepMapMostBounces;
constexpr int kThroughSlot = kSlots - 1;

// The colours of the classes by their place in the key: none, capture, then the escapes after
// 1, 2, ... bounces, and last a model's pair that passed through.
constexpr Rgb kSlotColours[kSlots] = {{238, 228, 200}, {25, 25, 70},    {86, 180, 233}, {230, 159, 0},
                                      {0, 158, 115},   {204, 121, 167}, {240, 228, 66}, {0, 114, 178},
                                      {213, 94, 0}};

// The key's place of a class: 0 none, 1 capture, 1 + n an escape after n bounces (n capped).
int KeySlot(const RunClass& c) {
  switch (c.kind) {
    case RunClass::Capture: return 1;
    case RunClass::Escape: return 1 + std::clamp(c.bounces, 1, kSweepMapMostBounces);
    case RunClass::Through: return kThroughSlot;
    default: return 0;
  }
}

std::string KeyText(int slot) {
  if (slot == 0) return "none";
  if (slot == 1) return "capture";
  if (slot == kThroughSlot) return "through";
  const int n = slot - 1;
  if (n >= kSweepMapMostBounces) return std::to_string(n) + "+ bounces";
  return std::to_string(n) + (n == 1 ? " bounce" : " bounces");
}

// A key entry's square: the colour inside a black outline.
void KeySquare(Canvas& c, int x, int y, Rgb colour) {
  c.SetPenColor(kBlack);
  c.SetBrushColor(colour);
  c.Rectangle(x, y, x + kKeyWidth, y + kKeyWidth);
}

}  // namespace

Rgb SweepClassColour(const RunClass& c) {
  return kSlotColours[KeySlot(c)];
}

void PaintSweepMap(const std::vector<SweepMapRow>& rows, double v0, double v1, const std::string& title,
                   const std::vector<std::pair<double, std::string>>& marks, Canvas& canvas, const std::string& axis) {
  PixelFont font(2);
  const int textHeight = font.TextHeight();
  const int x0 = kLeft, y0 = kTop, x1 = x0 + kPlotWidth, y1 = y0 + kPlotHeight;

  // The rows in increasing k, and the k of their boundaries: row i spans bounds[i] .. bounds[i + 1].
  std::vector<size_t> order(rows.size());
  std::iota(order.begin(), order.end(), size_t{0});
  std::stable_sort(order.begin(), order.end(), [&](size_t a, size_t b) { return rows[a].k < rows[b].k; });
  const size_t n = order.size();
  auto kOf = [&](size_t i) { return rows[order[i]].k; };
  std::vector<double> bounds;
  if (n == 1) {
    bounds = {kOf(0) - kLoneRowHalf, kOf(0) + kLoneRowHalf};
  } else if (n > 1) {
    bounds.push_back(kOf(0) - (kOf(1) - kOf(0)) / 2);
    for (size_t i = 1; i < n; ++i) bounds.push_back((kOf(i - 1) + kOf(i)) / 2);
    bounds.push_back(kOf(n - 1) + (kOf(n - 1) - kOf(n - 2)) / 2);
    if (!(bounds.back() > bounds.front())) {  // every row at one k
      bounds.front() -= kLoneRowHalf;
      bounds.back() += kLoneRowHalf;
    }
  }

  // The v axis: half the largest spacing of a row's velocities beyond either end of the range.
  double spacing = 0;
  for (const SweepMapRow& row : rows)
    for (size_t j = 1; j < row.runs.size(); ++j) spacing = std::max(spacing, row.runs[j].first - row.runs[j - 1].first);
  if (!(spacing > 0)) spacing = v1 > v0 ? v1 - v0 : kLoneSpacing;
  const double vLow = v0 - spacing / 2, vHigh = v1 + spacing / 2;
  const bool drawn = !rows.empty() && v1 >= v0 && std::isfinite(vLow) && std::isfinite(vHigh) &&
                     std::isfinite(bounds.front()) && std::isfinite(bounds.back());
  const double kLow = drawn ? bounds.front() : 0, kHigh = drawn ? bounds.back() : 1;

  // Pixel boundaries: the column where v begins, the row where k ends (k grows upward); and the
  // pixel that holds a value.
  auto xAt = [&](double v) {
    return x0 + static_cast<int>(std::clamp(std::lround((v - vLow) / (vHigh - vLow) * kPlotWidth), 0L,
                                            static_cast<long>(kPlotWidth)));
  };
  auto yAt = [&](double k) {
    return y1 - static_cast<int>(std::clamp(std::lround((k - kLow) / (kHigh - kLow) * kPlotHeight), 0L,
                                            static_cast<long>(kPlotHeight)));
  };
  auto pixelX = [&](double v) {
    return x0 + static_cast<int>(std::clamp(std::floor((v - vLow) / (vHigh - vLow) * kPlotWidth), 0.0,
                                            kPlotWidth - 1.0));
  };
  auto pixelY = [&](double k) {
    return y1 - 1 - static_cast<int>(std::clamp(std::floor((k - kLow) / (kHigh - kLow) * kPlotHeight), 0.0,
                                                kPlotHeight - 1.0));
  };

  // What the key will hold, and the marks that fall on the plot.
  bool present[kSlots] = {};
  bool anyPoint = false, anyEmpty = false;
  for (const SweepMapRow& row : rows) {
    for (const auto& run : row.runs) present[KeySlot(run.second)] = true;
    anyPoint = anyPoint || (row.vcLow && row.vcHigh);
    anyEmpty = anyEmpty || row.runs.empty();
  }
  std::vector<std::pair<std::string, Rgb>> key;
  if (drawn) {
    for (int slot = 0; slot < kSlots; ++slot)
      if (present[slot]) key.emplace_back(KeyText(slot), kSlotColours[slot]);
    if (anyPoint) key.emplace_back("critical v", kSweepMapCurve);
    if (anyEmpty) key.emplace_back("not run", kNotRun);
  }
  std::vector<std::pair<double, std::string>> shownMarks;
  int markWidth = 0;
  for (const auto& mark : marks)
    if (drawn && mark.first >= kLow && mark.first <= kHigh) {
      shownMarks.push_back(mark);
      markWidth = std::max(markWidth, kTickLength + 4 + font.TextWidth(mark.second));
    }
  int keyTextWidth = 0;
  for (const auto& entry : key) keyTextWidth = std::max(keyTextWidth, font.TextWidth(entry.first));
  const int kx = x1 + kKeyGap + markWidth;
  canvas.Resize(kx + kKeyWidth + kKeyTextGap + keyTextWidth + kRightMargin,
                std::max(y1 + kBottom, y0 + static_cast<int>(key.size()) * kKeyPitch));
  canvas.SetTextRenderer(&font);
  Fill(canvas, 0, 0, canvas.Width(), canvas.Height(), kWhite);

  if (drawn) {
    // The cells, over the grey of the rows that have none.
    Fill(canvas, x0, y0, x1, y1, kNotRun);
    for (size_t i = 0; i < n; ++i) {
      const auto& runs = rows[order[i]].runs;
      const int top = yAt(bounds[i + 1]), bottom = yAt(bounds[i]);
      for (size_t j = 0; j < runs.size() && top < bottom; ++j) {
        const double from = j == 0 ? vLow : (runs[j - 1].first + runs[j].first) / 2;
        const double to = j + 1 == runs.size() ? vHigh : (runs[j].first + runs[j + 1].first) / 2;
        const int left = xAt(from), right = xAt(to);
        if (left < right) Fill(canvas, left, top, right, bottom, SweepClassColour(runs[j].second));
      }
    }

    // The critical velocity: a point per row with a bracket, joined to the row below when that has one.
    std::optional<std::pair<int, int>> below;
    canvas.SetPenColor(kSweepMapCurve);
    canvas.SetPenWidth(2);
    std::vector<std::pair<int, int>> points;
    for (size_t i = 0; i < n; ++i) {
      const SweepMapRow& row = rows[order[i]];
      std::optional<std::pair<int, int>> here;
      if (row.vcLow && row.vcHigh) {
        const double vc = (*row.vcLow + *row.vcHigh) / 2;
        if (vc >= vLow && vc <= vHigh) here = std::pair{pixelX(vc), pixelY(row.k)};
      }
      if (here) points.push_back(*here);
      if (here && below) {
        canvas.MoveTo(below->first, below->second);
        canvas.LineTo(here->first, here->second);
      }
      below = here;
    }
    canvas.SetPenWidth(1);
    for (const auto& [x, y] : points)
      Fill(canvas, std::max(x - kMarkerHalf, x0), std::max(y - kMarkerHalf, y0), std::min(x + kMarkerHalf + 1, x1),
           std::min(y + kMarkerHalf + 1, y1), kSweepMapCurve);
  }
  Frame(canvas, x0, y0, x1, y1);

  if (drawn) {
    // k: ticks at least 40 pixels apart.
    const double kStep = NiceStep(40.0 * (kHigh - kLow) / kPlotHeight);
    const int kDecimals = DecimalsOf(kStep);
    for (long i = std::lround(std::ceil(kLow / kStep - 1e-9)); i * kStep <= kHigh + 1e-9 * kStep; ++i) {
      const int y = yAt(i * kStep);
      Line(canvas, x0 - 1 - kTickLength, y, x0 - 1, y);
      const std::string text = Trim(FormatWD(i * kStep, 0, kDecimals));
      Label(canvas, x0 - 4 - kTickLength - font.TextWidth(text), y - textHeight / 2, text);
    }
    Label(canvas, 8, (y0 + y1) / 2 - textHeight / 2, axis);
    // v: ticks whose labels do not touch.
    const double vStep = NiceStep((vHigh - vLow) / kPlotWidth * (font.TextWidth("-0.000") + 16));
    const int vDecimals = DecimalsOf(vStep);
    for (long i = std::lround(std::ceil(vLow / vStep - 1e-9)); i * vStep <= vHigh + 1e-9 * vStep; ++i) {
      const int x = xAt(i * vStep);
      const std::string text = Trim(FormatWD(i * vStep, 0, vDecimals));
      Line(canvas, x, y1 + 1, x, y1 + 1 + kTickLength);
      Label(canvas, x - font.TextWidth(text) / 2, y1 + 4 + kTickLength, text);
    }
    Label(canvas, (x0 + x1) / 2 - font.TextWidth("v") / 2, y1 + 8 + kTickLength + textHeight, "v");

    for (const auto& [k, text] : shownMarks) {
      const int y = yAt(k);
      Line(canvas, x1 + 1, y, x1 + 1 + kTickLength, y);
      Label(canvas, x1 + 4 + kTickLength, y - textHeight / 2, text);
    }

    // The key, from the top of the plot down; the curve's entry a stretch of the curve with its marker.
    for (size_t e = 0; e < key.size(); ++e) {
      const int y = y0 + static_cast<int>(e) * kKeyPitch;
      if (key[e].second == kSweepMapCurve) {
        const int mid = y + kKeyWidth / 2 - 1;
        Fill(canvas, kx, mid, kx + kKeyWidth, mid + 2, kSweepMapCurve);
        Fill(canvas, kx + kKeyWidth / 2 - kMarkerHalf, mid - kMarkerHalf + 1, kx + kKeyWidth / 2 + kMarkerHalf + 1,
             mid + kMarkerHalf + 2, kSweepMapCurve);
      } else {
        KeySquare(canvas, kx, y, key[e].second);
      }
      Label(canvas, kx + kKeyWidth + kKeyTextGap, y + (kKeyWidth - textHeight) / 2, key[e].first);
    }
  }
  Label(canvas, x0, 12, title);
  canvas.SetTextRenderer(nullptr);
}

}  // namespace kl
