#pragma once
// The pictures of the solitons tab: the potential and the phase plane with its direction marks
// (the superposition of the listed kinks: app/superposition.h).
#include "base/canvas.h"
#include "soliton/potential.h"
#include "soliton/soliton_scales.h"

namespace kl {

void DrawPotentialGraph(Canvas& box, const Potential& pot, double a, const SolitonScales& scales);
void DrawPhasePlane(Canvas& box, const Potential& pot, double a, const SolitonScales& scales);

}  // namespace kl
