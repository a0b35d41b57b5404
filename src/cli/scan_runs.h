#pragma once
// A scan's runs: its velocities, a share of them, and running them several at once.
#include <atomic>
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "cli/options.h"
#include "study/collision.h"
#include "study/scan_grid.h"
#include "study/scan_runs.h"

namespace kl {

// The collision every run of the scan makes: its model (with the pair's vacua), grid, pair and
// time limit as the options give them.
CollisionSetup CollisionSetupOf(const ScanOptions& options);

// The runs at once the options ask for: --jobs, or the CPUs this task may use.
size_t JobsOf(const ScanOptions& options);
// Whether the runs keep their traces u(0, t): the map and the records draw them; the CSV alone
// needs none.
bool KeepsTraces(const ScanOptions& options);

// Runs the part's velocities, `options.jobs` at once (0: the CPUs this task may use), keeping
// their traces when the map or a record is asked for.
ScanResult RunScan(const ScanOptions& options, const std::atomic<bool>& stop, const ScanCallbacks& callbacks);
// The same for the given velocities (any order is run as given; the results come in it).
ScanResult RunVelocities(const ScanOptions& options, const std::vector<double>& velocities,
                         const std::atomic<bool>& stop, const ScanCallbacks& callbacks);

}  // namespace kl
