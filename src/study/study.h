#pragma once
// A whole study on one machine: the scan of a range of velocities (plain or refined) at every
// grid of a converged scan and at every value of a swept quantity, each value's edges matched
// across the grids and extrapolated to dx -> 0, and each value's row of the sweep's table.
#include <atomic>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "study/collision.h"
#include "study/converge.h"
#include "study/refine.h"
#include "study/sweep_table.h"

namespace kl {

struct StudyRequest {
  // The collision at each value of the swept quantity, in the order of `values` (a study that
  // sweeps nothing has one value, 0); each scan runs it at its grid.
  std::vector<CollisionSetup> setups;
  std::vector<double> values;
  std::vector<int> grids;          // the grid sizes, coarsest first (one for a single grid)
  std::vector<double> velocities;  // increasing
  double tolerance = 0;            // the refinement's; 0 for none
  double window = 0;               // how far an edge may move between grids (the velocity step)
  size_t jobs = 1;
  bool keepTraces = true;
};

// One scan: the runs of one grid at one value, in velocity order, with its edges (as narrowed
// by the refinement).
struct StudyScan {
  double value = 0;
  int grid = 0;
  std::vector<CollisionRun> runs;
  std::vector<ScanEdge> edges;
  bool complete = false;  // not cut short by a stop or a failed run
};

// What one value's scans tell, once all its grids are complete.
struct StudyValue {
  double value = 0;
  std::optional<std::vector<ConvergedEdge>> converged;  // refined at two grids or more
  SweepRow row;
};

struct StudyResult {
  std::vector<StudyScan> scans;    // value by value, grid by grid, as far as the study went
  std::vector<StudyValue> values;  // the values whose every grid is complete
  std::string error;               // a run that failed
};

// Told the runs finished and the runs queued so far (the refinement's rounds add to the queue).
using StudyProgress = std::function<void(size_t done, size_t queued)>;

// Runs the scans in turn until `stop` turns true or a run fails.
StudyResult RunStudy(const StudyRequest& request, const std::atomic<bool>& stop, const StudyProgress& progress = {});

}  // namespace kl
