#pragma once
// A scan's runs: its velocities, a share of them, and running them several at once.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "study/collision.h"
#include "cli/options.h"
#include "study/scan_grid.h"

namespace kl {


struct ScanProgress {
  size_t done = 0, total = 0;
  double elapsedSeconds = 0;
};
struct ScanCallbacks {
  // Each finished run, in velocity order: a run is reported once every run before it has
  // finished, and at the end (after a stop) the finished runs that still wait, in order.
  std::function<void(const CollisionRun&)> finished;
  std::function<void(const ScanProgress&)> progress;
};

// The collision every run of the scan makes: its model (with the pair's vacua), grid, pair and
// time limit as the options give them.
CollisionSetup CollisionSetupOf(const ScanOptions& options);

// Runs the part's velocities, `options.jobs` at once, each in a Program of its own, so that
// a run's result does not depend on how many run together. Returns the finished runs in
// velocity order; a run that fails (for instance for want of memory) stops the others from
// starting and leaves its message in `error`.
struct ScanResult {
  std::vector<CollisionRun> runs;
  std::string error;
};
ScanResult RunScan(const ScanOptions& options, const std::atomic<bool>& stop, const ScanCallbacks& callbacks);
// The same for the given velocities (any order is run as given; the results come in it).
ScanResult RunVelocities(const ScanOptions& options, const std::vector<double>& velocities,
                         const std::atomic<bool>& stop, const ScanCallbacks& callbacks);

}  // namespace kl
