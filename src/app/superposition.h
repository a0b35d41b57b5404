#pragma once
// The solitons tab's picture of the listed kinks together, drawn from the program's kink list,
// profile table and grid.
#include "app/program.h"

namespace kl {

// Sorts the kink list, samples the chain at twice the profile step into SectionU
// (i = -1025 .. 1025) and draws it on the profile picture with thick lines to the edges.
void DrawSuperposition(Canvas& box, Program& p);

}  // namespace kl
