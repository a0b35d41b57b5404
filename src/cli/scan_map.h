#pragma once
// The picture of a scan: u(0, t) of every run, a band of columns per velocity.
#include <string>
#include <vector>

#include "study/collision.h"
#include "base/canvas.h"

namespace kl {

// The map of u(0, t): a band of columns per velocity of the equally spaced `velocities` (those
// without a run among `runs` left grey), t upward from 0 to tMax; runs between them (those of
// a refinement) take the columns nearest to their velocity, so the axis stays linear and a
// refined run is a narrow band where it falls. Drawn in the window's amplitude colours for
// `colourCount` colours, with the time and velocity axes, a colour key and a title, its
// labels drawn in the built-in pixel font. The canvas is sized here.
// `keyLabel` names the coloured quantity ("u"; for a model's pair the scaled centre).
void PaintScanMap(const std::vector<double>& velocities, const std::vector<CollisionRun>& runs, double tMax,
                  int colourCount, const std::string& title, Canvas& canvas, const std::string& keyLabel = "u");

}  // namespace kl
