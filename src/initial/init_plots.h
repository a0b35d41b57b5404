#pragma once
// The plots of the initial conditions: one component of InitVal per picture.
#include <array>

#include "initial/composer.h"
#include "soliton/plot_frame.h"

namespace kl {

// Frames of the six pictures: Re u, Im u, |u|, Re d_t u, Im d_t u, |d_t u|.
using InitFrames = std::array<PlotFrame, 6>;

// Largest |component| of InitVal over first .. last (0 for an empty range).
double MaxAbsInit(const InitValues& init, int first, int last, int component);
// Draws a component over first .. last column by column, then the zero axis.
void PlotInitColumn(Canvas& box, const PlotFrame& frame, const InitValues& init, double dx, int first, int last,
                    int component);
// The symmetric ranges of u and of d_t u over -half .. half (a floor of 0.01 for zero fields).
void SetInitFrames(InitFrames& frames, const InitValues& init, int half);

}  // namespace kl
