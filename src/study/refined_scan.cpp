#include "study/refined_scan.h"

#include <algorithm>
#include <optional>
#include <utility>

#include "study/scan_grid.h"
#include "study/scan_runs.h"

namespace kl {

Refinement RefineScan(const RefinedScanRequest& q, const std::atomic<bool>& stop, const RefineObserver& observer) {
  Refinement result;
  std::string& error = result.error;
  auto runAll = [&](const std::vector<double>& velocities) {
    ScanRequest request;
    request.setup = q.setup;
    request.velocities = velocities;
    request.jobs = q.jobs;
    request.keepTraces = q.keepTraces;
    ScanCallbacks callbacks;
    const size_t before = result.runsDone;
    if (observer.progress) callbacks.progress = [&](const ScanProgress& p) { observer.progress(before + p.done); };
    ScanResult run = RunScanRequest(request, stop, callbacks);
    result.runsDone += run.runs.size();
    if (!run.error.empty() && error.empty()) error = run.error;
    return std::move(run.runs);
  };
  std::vector<CollisionRun>& runs = result.runs;
  runs = q.made;
  if (!q.velocities.empty()) {
    if (observer.queued) observer.queued(q.velocities.size(), true, result.runsDone);
    const bool made = !runs.empty();
    for (CollisionRun& run : runAll(q.velocities)) runs.push_back(std::move(run));
    if (made)
      std::stable_sort(runs.begin(), runs.end(), [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });
  }

  std::vector<ScanEdge>& edges = result.edges;
  edges = EdgesBetween(ClassesOf(runs));
  if (q.parts > 1) {  // the part-th share of the edges
    std::vector<ScanEdge> mine;
    for (size_t k : PartIndices(edges.size(), q.part, q.parts)) mine.push_back(edges[k]);
    edges = std::move(mine);
  }

  std::vector<CollisionRun> refined;
  RefineResult refinement;
  if (!stop.load() && error.empty()) {
    const RoundRunner round = [&](const std::vector<double>& velocities) {
      std::vector<CollisionRun> finished = runAll(velocities);
      std::vector<std::optional<RunClass>> classes(velocities.size());
      size_t f = 0;
      for (size_t k = 0; k < velocities.size() && f < finished.size(); ++k)
        if (finished[f].v == velocities[k]) classes[k] = ClassOf(finished[f++]);
      for (CollisionRun& run : finished) refined.push_back(std::move(run));
      return classes;
    };
    refinement = RefineEdges(edges, q.tolerance, round, [&](size_t queued) {
      if (observer.queued) observer.queued(queued, false, result.runsDone);
    });
    edges = refinement.edges;
  }
  result.refinedCount = refined.size();
  result.rounds = refinement.rounds;
  for (CollisionRun& run : refined) runs.push_back(std::move(run));
  std::stable_sort(runs.begin(), runs.end(), [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });
  return result;
}

}  // namespace kl
