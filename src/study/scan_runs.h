#pragma once
// Running a scan's collisions several at once: each on a lean engine of its own, so that a run's
// result does not depend on how many run together, the finished ones reported in velocity order.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "study/collision.h"

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

// The runs to make: the collision, the velocities (run as given; the results come in their
// order), how many at once (never more than one per velocity), and whether each run keeps its
// trace u(0, t), resampled onto the common time grid of maps and records (without, its series
// are dropped: a scan keeps thousands).
struct ScanRequest {
  CollisionSetup setup;
  std::vector<double> velocities;
  size_t jobs = 1;
  bool keepTraces = false;
};

// The finished runs in velocity order; a run that fails (for instance for want of memory) stops
// the others from starting and leaves its message in `error`.
struct ScanResult {
  std::vector<CollisionRun> runs;
  std::string error;
};
ScanResult RunScanRequest(const ScanRequest& request, const std::atomic<bool>& stop, const ScanCallbacks& callbacks);

}  // namespace kl
