#pragma once
// What a sweep tells at each value of the swept quantity: the critical velocity's bracket, the
// edges located and the escape windows below the critical velocity.
#include <cstddef>
#include <optional>
#include <vector>

#include "study/collision.h"
#include "study/converge.h"
#include "study/refine.h"

namespace kl {

// The escape windows among runs in velocity order below v: each longest stretch of neighbouring
// runs that escape after the same number of bounces counts once.
size_t EscapeWindowsBelow(const std::vector<CollisionRun>& runs, double v);

// A row of the sweep's table: the critical velocity's final bracket (for a converged scan the
// extrapolated velocity +- its error), the edges located (extrapolated), and the escape windows
// below the critical velocity (on the finest grid).
struct SweepRow {
  double k = 0;
  std::optional<double> vcLow, vcHigh;
  size_t edges = 0, windows = 0;
};

// The row of one scan of the sweep at `k`: `finest` holds the runs of its (finest) grid in
// velocity order; `refinedEdges` that grid's edges when the scan was refined (null otherwise);
// `extrapolated` its edges matched across the grids when it is a refined converged scan (null
// otherwise).
SweepRow SweepRowOf(double k, const std::vector<CollisionRun>& finest, const std::vector<ScanEdge>* refinedEdges,
                    const std::vector<ConvergedEdge>* extrapolated);

}  // namespace kl
