#pragma once
// The pictures a run draws after every step: the current profile, the log energy density,
// the E(t) panel and the text block of the marks.
#include <array>
#include <string>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "base/canvas.h"
#include "views/strip_painter.h"

namespace kl {

inline constexpr int kTextBlockLines = 11;
inline constexpr size_t kTextBlockWidth = 32;

// Lines 1 .. 11 of the text block in the lower left of the main picture.
struct TextBlock {
  std::array<std::string, kTextBlockLines + 1> Lines;
  void Clear() { Lines.fill(std::string()); }
};

// The canvases of the solution tab.
struct RunCanvases {
  Canvas PaintBoxMain;
  Canvas PaintBoxCurrSol;
  Canvas PaintBoxCurrEnergy;
  StripMemory CurrSolMemory, CurrEnergyMemory;  // what the run left on the two strips
};

// The current profile (half-width a grid points, level argument k) and the marks on it.
// `memory` lets a run repaint only what changed since its previous step.
void DrawCurrentSolution(SimState& sim, Marks& marks, const LogSettings& logSettings, LogFile* log,
                         Canvas& currSol, int a, int k, bool follow, StripMemory* memory = nullptr);
void DrawMarkBox(const SimState& sim, const Marks& marks, Canvas& currSol, int m, Rgb colour);
void DrawDensityProfile(SimState& sim, Canvas& currEnergy, int a, StripMemory* memory = nullptr);
void DrawEnergyPanel(Canvas& main);
void DrawEnergyDot(const SimState& sim, Canvas& main);
void DrawInfoTable(const SimState& sim, const Marks& marks, TextBlock& block, Canvas& main);

}  // namespace kl
