#pragma once
// The pictures of the solitons tab: the potential, the phase plane with its direction marks,
// and the superposition of the listed kinks.
#include "app/program.h"

namespace kl {

void DrawPotentialGraph(Canvas& box, const Potential& pot, double a, const SolitonScales& scales);
void DrawPhasePlane(Canvas& box, const Potential& pot, double a, const SolitonScales& scales);

// Sorts the kink list, samples the chain at twice the profile step into SectionU
// (i = -1025 .. 1025) and draws it on the profile picture with thick lines to the edges.
void DrawSuperposition(Canvas& box, Program& p);

}  // namespace kl
