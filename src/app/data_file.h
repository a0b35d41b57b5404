#pragma once
// Setup files (.kq1) and the window's program: what a save takes from it and what a load changes.
#include "app/program.h"
#include "records/setup_file.h"

namespace kl {

// The setup as a save writes it. The colour count comes from the window's colour list; a
// count outside 16 .. 200 is saved as the listed count the colour list would show, any
// method other than 1 as 0 and a grid size other than 1024 or 512 as index 2 (N = 256), so
// that every saved file loads again.
SetupData SetupFromProgram(const Program& p, int colourCount);

// What a load changes in the core state: L (and OduXMin := -L), the picture scales with
// their derived minima, the kink list (slots above n keep their values), the method and the
// rotator and adiabatic parameters, the grid (GridSize, Dx, Dt, ReachTime for the new L and
// N; the run reset stays with the caller's grid choice) and the log period. The potential
// kind changes only when `adoptKind` is set (the user agreed), and then through
// ApplyPotentialKind; ModulationK is never taken from the file. The colour count belongs to
// the caller's colour scale and is left to it.
void ApplySetupToProgram(const SetupData& setup, Program& p, bool adoptKind);

}  // namespace kl
