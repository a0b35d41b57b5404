#include "cli/scan_map.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>

#include "cli/map_axes.h"
#include "base/text_out.h"
#include "interaction/colour_scale.h"
#include "base/numbers.h"
#include "views/pixel_font.h"

namespace kl {

using namespace map_axes;

namespace {

constexpr int kMapTargetWidth = 600;  // the plot's width is the nearest whole number of pixels per velocity
constexpr int kMapRight = 120;
constexpr double kKeyLow = -2.0, kKeyHigh = 2.0;  // the colour key's range of u

}  // namespace

void PaintScanMap(const std::vector<double>& velocities, const std::vector<CollisionRun>& runs, double tMax,
                  int colourCount, const std::string& title, Canvas& canvas, const std::string& keyLabel) {
  PixelFont font(2);
  const int count = static_cast<int>(velocities.size());
  const int band = count > 0 ? std::max(1, kMapTargetWidth / count) : kMapTargetWidth;
  const int plotWidth = count > 0 ? band * count : kMapTargetWidth;
  const int x0 = kLeft, y0 = kTop, x1 = x0 + plotWidth, y1 = y0 + kPlotHeight;
  canvas.Resize(x1 + kMapRight, y1 + kBottom);
  canvas.SetTextRenderer(&font);
  Fill(canvas, 0, 0, canvas.Width(), canvas.Height(), kWhite);

  ColourScale colours;
  BuildPalette(colours, colourCount, nullptr);
  double densityMax = 1;  // the energy levels are not used here
  BuildLevels(colours, colourCount, densityMax);

  // The columns, t = 0 at the bottom row. Each column shows the velocity nearest to its own:
  // one of the grid's, or a run between them.
  auto rowTime = [&](int row) { return tMax * (kPlotHeight - row - 0.5) / kPlotHeight; };
  const double gridSpacing = count > 1 ? (velocities.back() - velocities.front()) / (count - 1) : 0.0;
  std::vector<double> shown(velocities);
  for (const CollisionRun& run : runs)
    if (count > 0 && run.v > velocities.front() - gridSpacing / 2 && run.v < velocities.back() + gridSpacing / 2)
      shown.push_back(run.v);
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  int from = 0;          // the first column of the current band
  size_t bandOf = 0;     // the index in `shown` of the velocity it shows
  for (int px = 0; px <= plotWidth && count > 0; ++px) {
    size_t nearest = shown.size();
    if (px < plotWidth) {
      const double v = velocities.front() + ((px + 0.5) / band - 0.5) * gridSpacing;
      const size_t above = static_cast<size_t>(std::lower_bound(shown.begin(), shown.end(), v) - shown.begin());
      nearest = above == shown.size() || (above > 0 && v - shown[above - 1] <= shown[above] - v) ? above - 1 : above;
    }
    if (px == 0) bandOf = nearest;
    if (px < plotWidth && nearest == bandOf) continue;
    // Columns from .. px - 1 show shown[bandOf].
    const auto it = std::lower_bound(runs.begin(), runs.end(), shown[bandOf],
                                     [](const CollisionRun& r, double v) { return r.v < v; });
    const bool ran = it != runs.end() && it->v == shown[bandOf] && !it->centre.empty();
    // A trace on the common grid gives each row the sample nearest its time, by index, so that
    // a map drawn from a record's traces is the map of the scan itself.
    const bool traced = ran && it->centre.size() == static_cast<size_t>(kTraceSamples);
    for (int row = 0; row < kPlotHeight; ++row) {
      const long sample = (static_cast<long>(kTraceSamples - 1) * (2 * (kPlotHeight - row) - 1) + kPlotHeight) /
                          (2 * kPlotHeight);
      const double u = !ran ? 0.0 : traced ? it->centre[static_cast<size_t>(sample)] : CentreAt(*it, rowTime(row));
      const Rgb c = ran ? AmplColor(colours, u) : kNotRun;
      uint32_t* line = canvas.Row(y0 + row);
      std::fill(line + x0 + from, line + x0 + px, PackRgb(c));
    }
    from = px;
    bandOf = nearest;
  }
  Frame(canvas, x0, y0, x1, y1);

  const int textHeight = font.TextHeight();
  // Time: ticks at least 40 pixels apart.
  if (tMax > 0) {
    const double step = NiceStep(40.0 * tMax / kPlotHeight);
    const int decimals = DecimalsOf(step);
    for (double t = 0; t <= tMax * (1 + 1e-9); t += step) {
      const int y = y1 - static_cast<int>(std::lround(t / tMax * kPlotHeight));
      Line(canvas, x0 - 1 - kTickLength, y, x0 - 1, y);
      const std::string text = Trim(FormatWD(t, 0, decimals));
      Label(canvas, x0 - 4 - kTickLength - font.TextWidth(text), y - textHeight / 2, text);
    }
    Label(canvas, 8, (y0 + y1) / 2 - textHeight / 2, "t");
  }
  // Velocity: ticks whose labels do not touch.
  if (count >= 1) {
    auto columnX = [&](double position) { return x0 + static_cast<int>(std::lround((position + 0.5) * band)); };
    auto tick = [&](int x, const std::string& text) {
      Line(canvas, x, y1 + 1, x, y1 + 1 + kTickLength);
      Label(canvas, x - font.TextWidth(text) / 2, y1 + 4 + kTickLength, text);
    };
    if (count == 1) {
      tick(columnX(0), Shortest(velocities[0]));
    } else {
      const double spacing = (velocities.back() - velocities.front()) / (count - 1);
      const double step = NiceStep(spacing * (font.TextWidth("-0.000") + 16) / band);
      const int decimals = DecimalsOf(step);
      for (double v = std::ceil((velocities.front() - spacing / 2) / step - 1e-9) * step;
           v <= velocities.back() + spacing / 2; v += step)
        tick(columnX((v - velocities.front()) / spacing), Trim(FormatWD(v, 0, decimals)));
    }
    Label(canvas, (x0 + x1) / 2 - font.TextWidth("v") / 2, y1 + 8 + kTickLength + textHeight, "v");
  }
  // The colour key: u from kKeyLow at the bottom to kKeyHigh at the top.
  const int kx = x1 + kKeyGap;
  for (int row = 0; row < kPlotHeight; ++row) {
    const double u = kKeyHigh - (kKeyHigh - kKeyLow) * (row + 0.5) / kPlotHeight;
    uint32_t* line = canvas.Row(y0 + row);
    std::fill(line + kx, line + kx + kKeyWidth, PackRgb(AmplColor(colours, u)));
  }
  for (int u = static_cast<int>(kKeyLow); u <= static_cast<int>(kKeyHigh); ++u) {
    const int y = y1 - static_cast<int>(std::lround((u - kKeyLow) / (kKeyHigh - kKeyLow) * kPlotHeight));
    Line(canvas, kx + kKeyWidth, y, kx + kKeyWidth + kTickLength, y);
    // An explicit sign, so that the tick before a label is not read as a minus.
    char text[8];
    std::snprintf(text, sizeof text, u == 0 ? "%d" : "%+d", u);
    Label(canvas, kx + kKeyWidth + kTickLength + 6, y - textHeight / 2, text);
  }
  Label(canvas, kx, y0 - textHeight - 8, keyLabel);
  Label(canvas, x0, 12, title);
  canvas.SetTextRenderer(nullptr);
}
}  // namespace kl
