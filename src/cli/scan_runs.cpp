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

size_t JobsOf(const ScanOptions& o) {
  return o.jobs > 0 ? static_cast<size_t>(o.jobs) : static_cast<size_t>(DefaultJobs());  // the CPUs this task may use
}

bool KeepsTraces(const ScanOptions& o) { return !(o.pngFile.empty() && o.h5File.empty() && o.sweepH5.empty()); }

ScanResult RunVelocities(const ScanOptions& o, const std::vector<double>& mine, const std::atomic<bool>& stop,
                         const ScanCallbacks& callbacks) {
  ScanRequest request;
  request.setup = CollisionSetupOf(o);
  request.velocities = mine;
  request.jobs = JobsOf(o);
  request.keepTraces = KeepsTraces(o);
  return RunScanRequest(request, stop, callbacks);
}
}  // namespace kl
