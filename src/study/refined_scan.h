#pragma once
// A scan whose edges are then bisected: the grid's runs (or runs made before, with those of the
// grid still missing), the edges between neighbours of different class, and each edge (or the
// share of them asked for) narrowed to the tolerance, every run kept.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "study/collision.h"
#include "study/refine.h"

namespace kl {

struct RefinedScanRequest {
  CollisionSetup setup;
  std::vector<CollisionRun> made;   // runs made before (read from a file), in any order
  std::vector<double> velocities;   // runs still to make before the bisection
  double tolerance = 0;
  size_t jobs = 1;                  // runs at once, at most
  bool keepTraces = false;
  int part = 1, parts = 1;          // bisect the part-th of `parts` interleaved shares of the edges
};

// What a refinement is told as it goes: the runs queued (the velocities to make first, `grid`,
// or a round's midpoints), and the runs finished so far; `done` counts the runs this
// refinement has finished.
struct RefineObserver {
  std::function<void(size_t queued, bool grid, size_t done)> queued;
  std::function<void(size_t done)> progress;
};

// What a refinement found: every run in velocity order, the edges as narrowed.
struct Refinement {
  std::vector<CollisionRun> runs;
  std::vector<double> grid;  // the velocities of the map's grid, when the caller sets them
  std::vector<ScanEdge> edges;
  size_t refinedCount = 0;   // the runs of the bisection
  size_t runsDone = 0;       // the runs this refinement made
  int rounds = 0;
  double seconds = 0;        // the time the refinement took
  std::string error;         // a run that failed
};

// Makes the runs to make, finds the edges, and bisects them while `stop` is false and no run
// has failed.
Refinement RefineScan(const RefinedScanRequest& request, const std::atomic<bool>& stop,
                      const RefineObserver& observer = {});

}  // namespace kl
