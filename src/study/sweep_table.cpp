#include "study/sweep_table.h"

#include <limits>

namespace kl {

size_t EscapeWindowsBelow(const std::vector<CollisionRun>& runs, double v) {
  size_t windows = 0;
  std::optional<RunClass> previous;
  for (const CollisionRun& run : runs) {
    if (!(run.v < v)) break;
    const RunClass c = ClassOf(run);
    if (c.kind == RunClass::Escape && !(previous && *previous == c)) ++windows;
    previous = c;
  }
  return windows;
}

SweepRow SweepRowOf(double k, const std::vector<CollisionRun>& finest, const std::vector<ScanEdge>* refinedEdges,
                    const std::vector<ConvergedEdge>* extrapolated) {
  SweepRow row;
  row.k = k;
  if (extrapolated) {
    const std::vector<ConvergedEdge>& edges = *extrapolated;
    for (const ConvergedEdge& edge : edges) row.edges += edge.extrapolated ? 1 : 0;
    if (const std::optional<size_t> c = CriticalConvergedEdge(edges); c && edges[*c].extrapolated) {
      row.vcLow = *edges[*c].extrapolated - *edges[*c].error;
      row.vcHigh = *edges[*c].extrapolated + *edges[*c].error;
    }
  } else {
    const auto classes = ClassesOf(finest);
    row.edges = refinedEdges ? refinedEdges->size() : EdgesBetween(classes).size();
    if (const std::optional<ScanEdge> c = CriticalEdge(classes)) {
      row.vcLow = c->vLow;
      row.vcHigh = c->vHigh;
    }
  }
  row.windows = EscapeWindowsBelow(finest, row.vcLow.value_or(std::numeric_limits<double>::infinity()));
  return row;
}

}  // namespace kl
