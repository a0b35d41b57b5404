#include "cli/scan_runs.h"
#include "cli/run_command.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <exception>
#include <mutex>
#include <optional>
#include <thread>

#include "cli/cluster_share.h"
#include "study/refine.h"
#include "base/text_out.h"

namespace kl {

ScanResult RunScan(const ScanOptions& o, const std::atomic<bool>& stop, const ScanCallbacks& callbacks) {
  const std::vector<double> all = ScanVelocities(o.v0, o.v1, o.dv);
  std::vector<double> mine;
  for (size_t i : PartIndices(all.size(), o.part, o.parts)) mine.push_back(all[i]);
  return RunVelocities(o, mine, stop, callbacks);
}

CollisionSetup CollisionSetupOf(const ScanOptions& o) {
  CollisionSetup s;
  ApplyModel(s.pot, o.run);
  s.halfInterval = o.run.halfInterval;
  s.gridSize = o.run.gridSize;
  s.separation = o.separation;
  s.tMax = o.run.untilTime.value_or(kScanDefaultTime);
  s.precision = o.run.precision;
  s.threads = o.run.threads;
  return s;
}

ScanResult RunVelocities(const ScanOptions& o, const std::vector<double>& mine, const std::atomic<bool>& stop,
                         const ScanCallbacks& callbacks) {
  ScanRequest request;
  request.setup = CollisionSetupOf(o);
  request.velocities = mine;
  const size_t granted = static_cast<size_t>(DefaultJobs());  // the CPUs this task may use
  request.jobs = std::clamp<size_t>(o.jobs > 0 ? static_cast<size_t>(o.jobs) : granted, 1,
                                    std::max<size_t>(mine.size(), 1));
  // The map and the records draw u(0, t); the CSV alone needs no trace.
  request.keepTraces = !(o.pngFile.empty() && o.h5File.empty() && o.sweepH5.empty());
  return RunScanRequest(request, stop, callbacks);
}
}  // namespace kl
