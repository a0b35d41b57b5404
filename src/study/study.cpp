#include "study/study.h"

#include <algorithm>

#include "study/refined_scan.h"
#include "study/scan_runs.h"

namespace kl {

StudyResult RunStudy(const StudyRequest& q, const std::atomic<bool>& stop, const StudyProgress& progress) {
  StudyResult result;
  size_t done = 0;
  size_t queued = q.velocities.size() * q.values.size() * q.grids.size();
  const bool refine = q.tolerance > 0;
  auto tell = [&] {
    if (progress) progress(done, queued);
  };
  tell();
  for (size_t i = 0; i < q.values.size() && !stop.load() && result.error.empty(); ++i) {
    for (size_t g = 0; g < q.grids.size() && !stop.load() && result.error.empty(); ++g) {
      CollisionSetup setup = q.setups.at(i);
      setup.gridSize = q.grids[g];
      StudyScan scan;
      scan.value = q.values[i];
      scan.grid = q.grids[g];
      const size_t before = done;
      if (refine) {
        RefinedScanRequest request;
        request.setup = setup;
        request.velocities = q.velocities;
        request.tolerance = q.tolerance;
        request.jobs = q.jobs;
        request.keepTraces = q.keepTraces;
        RefineObserver observer;
        observer.queued = [&](size_t n, bool grid, size_t) {
          if (!grid) queued += n;
          tell();
        };
        observer.progress = [&](size_t finished) {
          done = before + finished;
          tell();
        };
        Refinement r = RefineScan(request, stop, observer);
        done = before + r.runsDone;
        scan.runs = std::move(r.runs);
        scan.edges = std::move(r.edges);
        result.error = r.error;
      } else {
        ScanRequest request;
        request.setup = setup;
        request.velocities = q.velocities;
        request.jobs = q.jobs;
        request.keepTraces = q.keepTraces;
        ScanCallbacks callbacks;
        callbacks.progress = [&](const ScanProgress& p) {
          done = before + p.done;
          tell();
        };
        ScanResult r = RunScanRequest(request, stop, callbacks);
        done = before + r.runs.size();
        scan.runs = std::move(r.runs);
        scan.edges = EdgesBetween(ClassesOf(scan.runs));
        result.error = r.error;
      }
      scan.complete = !stop.load() && result.error.empty();
      result.scans.push_back(std::move(scan));
      tell();
    }
  }

  // Each value whose every grid is complete: its edges across the grids and its row.
  for (size_t i = 0; i < q.values.size(); ++i) {
    std::vector<const StudyScan*> mine;
    for (const StudyScan& s : result.scans)
      if (s.value == q.values[i] && s.complete) mine.push_back(&s);
    if (mine.size() != q.grids.size()) break;
    StudyValue value;
    value.value = q.values[i];
    if (refine && q.grids.size() > 1) {
      std::vector<std::vector<ScanEdge>> edges;
      for (const StudyScan* s : mine) edges.push_back(s->edges);
      value.converged = ConvergeEdges(q.grids, edges, q.window);
    }
    const StudyScan& finest = *mine.back();
    value.row = SweepRowOf(q.values[i], finest.runs, refine ? &finest.edges : nullptr,
                           value.converged ? &*value.converged : nullptr);
    result.values.push_back(std::move(value));
  }
  return result;
}

}  // namespace kl
