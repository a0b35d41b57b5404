#include "cli/refined_scan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "app/replace_file.h"
#include "app/side_files.h"
#include "cli/refine.h"
#include "cli/scan_csv.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "cli/text_out.h"
#include "records/scan_record.h"

namespace kl {

int RunRefinedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace) {
  ScanOptions o = given;
  ScanRecord from;
  if (!o.fromH5.empty()) {
    std::string error;
    if (!ReadScanRecord(o.fromH5, from, error)) {
      err << "kinklab-run: --from-h5 " << error << '\n';
      return 2;
    }
    TakeParameters(from.parameters, o);
  }
  const char* start = progressInPlace ? "\r" : "";
  const char* end = progressInPlace ? "\x1b[K" : "\n";
  const auto began = std::chrono::steady_clock::now();
  size_t done = 0, total = 0;
  auto progress = [&](size_t finished) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    err << start << "scan: " << finished << '/' << total << " done";
    if (finished > 0 && finished < total) err << ", about " << Duration(elapsed / finished * (total - finished)) << " left";
    err << end << std::flush;
  };
  auto runAll = [&](const std::vector<double>& velocities, std::string& error) {
    ScanCallbacks callbacks;
    callbacks.progress = [&](const ScanProgress& p) { progress(done + p.done); };
    ScanResult result = RunVelocities(o, velocities, stop, callbacks);
    done += result.runs.size();
    if (!result.error.empty() && error.empty()) error = result.error;
    return std::move(result.runs);
  };

  std::vector<CollisionRun> runs;  // in velocity order
  std::vector<double> grid;        // the map's grid
  std::string error;
  if (!o.fromCsv.empty()) {
    std::string text;
    std::string why;
    if (!ReadWholeFile(o.fromCsv, text, why, kMaxScanCsvBytes)) error = o.fromCsv + ": " + why;
    if (!error.empty() || !ParseScanCsv(text, o.fromCsv, runs, error)) {
      err << "kinklab-run: --from-csv " << error << '\n';
      return 2;
    }
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (!RefinableTolerance(o.refineTolerance, fastest)) {
      err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
      return 2;
    }
    err << start << "scan: " << runs.size() << " rows read from " << o.fromCsv << end << std::flush;
  } else if (!o.fromH5.empty()) {
    runs = std::move(from.runs);
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (!RefinableTolerance(o.refineTolerance, fastest)) {
      err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
      return 2;
    }
    err << start << "scan: " << runs.size() << " runs read from " << o.fromH5 << end << std::flush;
  } else {
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    total = grid.size();
    err << start << "scan: " << total << (total == 1 ? " run" : " runs") << end << std::flush;
    runs = runAll(grid, error);
  }

  std::vector<std::pair<double, RunClass>> classes;
  for (const CollisionRun& run : runs) classes.emplace_back(run.v, ClassOf(run));
  std::vector<ScanEdge> edges = EdgesBetween(classes);
  if (o.parts > 1) {  // the part-th share of the edges
    std::vector<ScanEdge> mine;
    for (size_t k : PartIndices(edges.size(), o.part, o.parts)) mine.push_back(edges[k]);
    edges = std::move(mine);
  }

  std::vector<CollisionRun> refined;
  RefineResult refinement;
  if (!stop.load() && error.empty()) {
    const RoundRunner round = [&](const std::vector<double>& velocities) {
      std::vector<CollisionRun> finished = runAll(velocities, error);
      std::vector<std::optional<RunClass>> result(velocities.size());
      size_t f = 0;
      for (size_t k = 0; k < velocities.size() && f < finished.size(); ++k)
        if (finished[f].v == velocities[k]) result[k] = ClassOf(finished[f++]);
      for (CollisionRun& run : finished) refined.push_back(std::move(run));
      return result;
    };
    refinement = RefineEdges(edges, o.refineTolerance, round, [&](size_t queued) {
      total += queued;
      progress(done);
    });
    edges = refinement.edges;
  }
  if (progressInPlace) err << '\n';
  const size_t refinedCount = refined.size();
  for (CollisionRun& run : refined) runs.push_back(std::move(run));
  std::stable_sort(runs.begin(), runs.end(), [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });

  int status = 0;
  std::string csv = ScanCsvHeader();
  for (const CollisionRun& run : runs) csv += ScanCsvRow(run);
  std::string writeError;
  if (!WriteScanCsv(o, csv, out, err)) status = 1;
  if (!o.edgesFile.empty()) {
    std::string text = EdgesCsvHeader();
    for (const ScanEdge& e : edges) text += EdgesCsvRow(e);
    if (!WriteFileReplacing(o.edgesFile, text, writeError)) {
      err << "kinklab-run: " << writeError << '\n';
      status = 1;
    }
  }
  if (!o.pngFile.empty() && !WriteScanMap(o, grid, runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, runs, edges, err)) status = 1;

  classes.clear();
  for (const CollisionRun& run : runs) classes.emplace_back(run.v, ClassOf(run));
  if (const std::optional<ScanEdge> critical = CriticalEdge(classes))
    err << "critical velocity: between " << Shortest(critical->vLow) << " and " << Shortest(critical->vHigh) << '\n';
  else
    err << "critical velocity: none in this scan\n";
  err << "scan: " << edges.size() << (edges.size() == 1 ? " edge" : " edges") << " located in "
      << refinement.rounds << " rounds of bisection, " << refinedCount << " runs beside the "
      << runs.size() - refinedCount << (o.fromCsv.empty() && o.fromH5.empty() ? " of the grid\n" : " read\n");
  if (!error.empty()) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: scan stopped; the " << runs.size() << " finished runs and the edges as narrowed so far are written\n";
  return status;
}

}  // namespace kl
