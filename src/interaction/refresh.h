#pragma once
// The full repaint of the solution tab: the x-t colour picture of the amplitude or of the
// energy density from History, the current strips or the microscope-1 section, the text
// block and microscope 2.
#include <array>
#include <functional>

#include "app/program.h"
#include "interaction/colour_scale.h"
#include "soliton/plot_frame.h"
#include "base/canvas.h"

namespace kl {

// What the picture-content radio buttons and the colour list say at the press.
struct RefreshChoice {
  bool energyPicture = false;                 // "Энергия" checked; otherwise "Амплитуда"
  int colourItem = kColourItemCount - 1;      // selected item of the colour list (16 colours)
};

// Shows (true) or hides (false) the waiting text before and after the slow parts: the
// section sampling and microscope 2. The window puts the text into its hint label and
// repaints the label at once; null means no waiting text.
using WaitingText = std::function<void(bool shown)>;

// A History level and a grid index named by a pixel; always inside History.
struct HistoryIndex {
  int level = 0;  // 0 .. 1281
  int i = 0;      // -1025 .. 1025
};

// The samples of the microscope-1 line: SectionU / SectionE [first .. last].
struct SectionRange {
  bool sampled = false;  // false: no line, or both ends give the same sample
  int first = 0, last = -1;
};

struct RefreshResult {
  int mainRows = 0;    // rows of the x-t picture reached before one lay later than TimeNow
  int micro2Rows = 0;  // the same for microscope 2 (its bottom edge row included)
  SectionRange section;
};

// t of row r of a box `height` rows high showing `frame`, snapped to the time grid:
// dt * max(round(t / dt), 0). A step that is not positive snaps every row to 0.
double RowTime(const PlotFrame& frame, int height, int r, double dt);

// Level and grid index of pixel (c, r) of a width x height box showing `frame`:
// level max(round(t / dt), 0), less WindowBase in the second phase, kept within
// 0 .. 1281; i = round(x / dx) within -1025 .. 1025.
HistoryIndex PixelToIndices(const SimState& sim, const PlotFrame& frame, int width, int height,
                            int c, int r);

// Colour of pixel (c, r): AmplColor of Re u, or EnergyColor of r (from level 1 on) at the
// sample the pixel names.
Rgb PixelColor(const SimState& sim, const ColourScale& colours, bool energyPicture,
               const PlotFrame& frame, int width, int height, int c, int r);

// Paints the x-t picture into `main` with MainFrame, from the row of t = 0 upward (the
// second phase: from row H - 2) until a row lies later than TimeNow; the first phase
// widens by one column on each side per row. Returns the number of rows reached.
int PaintXtPicture(const SimState& sim, const ColourScale& colours, bool energyPicture, Canvas& main);

// World rectangle of a microscope-2 rectangle (pixels of the main picture, y1 the lower
// edge) in MainFrame, unsnapped.
PlotFrame Micro2FrameFor(const SimState& sim, const std::array<int, 4>& rect, int mainWidth,
                         int mainHeight);
// Paints microscope 2 into its own canvas from its bottom row upward until a row lies
// later than TimeNow, then outlines it in black unless no row was reached; the rows above
// keep what they held. Returns the number of rows reached, counting the edge row H.
int PaintMicro2(const SimState& sim, const ColourScale& colours, bool energyPicture,
                const PlotFrame& micro2Frame, Canvas& micro2);

// Samples Re u and the energy-density difference to the right neighbour along the
// microscope-1 line (pixels of a mainWidth x mainHeight picture) into SectionU / SectionE:
// by grid index for a line more horizontal than vertical in index space, else by level.
SectionRange SampleSection(SimState& sim, const std::array<int, 4>& line, int mainWidth, int mainHeight);
// SectionU[first .. last] as blue dots over the SolFrame amplitude range.
void PlotSectionU(const SimState& sim, Canvas& currSol, int first, int last);
// SectionE[first .. last] scaled by EnergyTotal / 100, on a log scale spanning at most 8
// below its largest value (written into DensityFrame's y range), as red dots.
void PlotSectionE(SimState& sim, Canvas& currEnergy, int first, int last);

// The whole repaint of the solution tab ("Обновить"). `scaleStrip` receives the colour
// scale (may be null); microscope 2 is painted into `micro2` and its world rectangle is
// stored in `micro2Frame`, both only while a rectangle exists.
RefreshResult RefreshSolution(Program& p, ColourScale& colours, const RefreshChoice& choice,
                              Canvas& micro2, PlotFrame& micro2Frame, Canvas* scaleStrip = nullptr,
                              const WaitingText& waiting = nullptr);

}  // namespace kl
