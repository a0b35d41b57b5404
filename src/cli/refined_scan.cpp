#include "cli/refined_scan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/replace_file.h"
#include "base/read_file.h"
#include "study/refined_scan.h"
#include "base/version.h"
#include "study/converge.h"
#include "study/refine.h"
#include "records/scan_csv.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "cli/sweep.h"
#include "base/text_out.h"
#include "records/scan_record.h"

namespace kl {

RefineProgress::RefineProgress(std::ostream& err, bool inPlace)
    : err_(err), start_(inPlace ? "\r" : ""), end_(inPlace ? "\x1b[K" : "\n"), inPlace_(inPlace) {}

void RefineProgress::Show(size_t finished) {
  const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began_).count();
  err_ << start_ << "scan: " << finished << '/' << total << " done";
  if (finished > 0 && finished < total) err_ << ", about " << Duration(elapsed / finished * (total - finished)) << " left";
  err_ << end_ << std::flush;
}

void RefineProgress::Line(const std::string& text) { err_ << start_ << text << end_ << std::flush; }

void RefineProgress::Queue(size_t n) {
  const size_t counted = std::min(n, ahead);
  ahead -= counted;
  total += n - counted;
}

void RefineProgress::Close() {
  if (inPlace_) err_ << '\n';
}


bool Refine(const ScanOptions& o, const ScanRecord& from, const std::atomic<bool>& stop, std::ostream& err,
            RefineProgress& progress, Refinement& result) {
  RefinedScanRequest request;
  request.setup = CollisionSetupOf(o);
  request.tolerance = o.refineTolerance;
  request.jobs = JobsOf(o);
  request.keepTraces = KeepsTraces(o);
  request.part = o.part;
  request.parts = o.parts;
  std::vector<double> grid;
  // Runs read from a file: the tolerance must be reachable at their fastest velocity.
  auto refinable = [&](const std::vector<CollisionRun>& runs) {
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (RefinableTolerance(o.refineTolerance, fastest)) return true;
    err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
    return false;
  };
  if (!o.fromCsv.empty()) {
    std::string text;
    std::string why;
    std::string error;
    if (!ReadWholeFile(o.fromCsv, text, why, kMaxScanCsvBytes)) error = o.fromCsv + ": " + why;
    if (!error.empty() || !ParseScanCsv(text, o.fromCsv, request.made, error)) {
      err << "kinklab-run: --from-csv " << error << '\n';
      return false;
    }
    if (!refinable(request.made)) return false;
    progress.Line("scan: " + std::to_string(request.made.size()) + " rows read from " + o.fromCsv);
  } else if (!o.fromH5.empty()) {
    request.made = from.runs;
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    if (!refinable(request.made)) return false;
    progress.Line("scan: " + std::to_string(request.made.size()) + " runs read from " + o.fromH5);
    // A record that a stop cut short: its missing grid runs first, then the refinement.
    request.velocities = from.MissingGridRuns();
    if (!request.velocities.empty())
      progress.Line("scan: resuming " + o.fromH5 + ": " + std::to_string(request.velocities.size()) + " of its " +
                    std::to_string(from.GridRuns()) + " grid runs are missing");
  } else {
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    request.velocities = grid;
  }
  const size_t before = progress.done;
  RefineObserver observer;
  observer.queued = [&](size_t n, bool isGrid, size_t done) {
    if (isGrid) {
      progress.Queue(n);
      return;
    }
    progress.done = before + done;
    progress.total += n;
    progress.Show(progress.done);
  };
  observer.progress = [&](size_t done) { progress.Show(before + done); };
  result = RefineScan(request, stop, observer);
  progress.done = before + result.runsDone;
  result.grid = std::move(grid);
  return true;
}

void RunGridShare(const ScanOptions& o, const std::atomic<bool>& stop, RefineProgress& progress, Refinement& result) {
  const std::vector<double> all = ScanVelocities(o.v0, o.v1, o.dv);
  std::vector<double> mine;
  for (size_t i : PartIndices(all.size(), o.part, o.parts)) mine.push_back(all[i]);
  progress.Queue(mine.size());
  ScanCallbacks callbacks;
  const size_t before = progress.done;
  callbacks.progress = [&](const ScanProgress& p) { progress.Show(before + p.done); };
  ScanResult run = RunVelocities(o, mine, stop, callbacks);
  progress.done += run.runs.size();
  result.runs = std::move(run.runs);
  result.grid = std::move(mine);
  result.error = run.error;
}

int RunRefinedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace) {
  ScanOptions o = given;
  ScanRecord from;
  if (!o.fromH5.empty()) {
    std::string error;
    RecordSet set;
    if (!ReadRecordSet(o.fromH5, set, error, 120, &stop)) {
      err << "kinklab-run: --from-h5 " << error << '\n';
      return 2;
    }
    // A stopped record of a whole scan, converged scan or sweep is resumed; one of a share is
    // refused, with the command that completes it.
    if (const std::string incomplete = IncompleteMessage(o.fromH5, set);
        !incomplete.empty() && set.entries[0][0].parts > 1) {
      err << "kinklab-run: --from-h5 " << incomplete << '\n';
      return 2;
    }
    if (set.Sweep()) return RunSweep(given, set, stop, out, err, progressInPlace);
    if (!OutputsFitRecord(given, false, o.fromH5, err)) return 2;
    if (set.converged) return RunConvergedScan(given, set.entries[0], stop, out, err, progressInPlace);
    from = std::move(set.entries[0][0]);
    TakeParameters(from.parameters, o);
  }
  RefineProgress progress(err, progressInPlace);
  if (o.fromCsv.empty() && o.fromH5.empty()) {
    const size_t count = ScanVelocities(o.v0, o.v1, o.dv).size();
    progress.Line("scan: " + std::to_string(count) + (count == 1 ? " run" : " runs"));
  }
  Refinement r;
  if (!Refine(o, from, stop, err, progress, r)) return 2;
  progress.Close();
  std::vector<CollisionRun>& runs = r.runs;
  const std::vector<ScanEdge>& edges = r.edges;
  const std::vector<double>& grid = r.grid;
  const size_t refinedCount = r.refinedCount;
  std::string& error = r.error;
  int status = 0;
  std::string csv = ScanCsvHeader(o.run.model != nullptr);
  for (const CollisionRun& run : runs) csv += ScanCsvRow(run, o.run.model != nullptr);
  std::string writeError;
  const bool complete = !stop.load() && error.empty();
  const OutputFolderLock alone(OutputPaths(o));
  if (NothingFinished(stop.load(), runs.size(), err)) return 0;
  if (!WriteScanCsv(o, csv, out, err)) status = 1;
  if (!o.edgesFile.empty()) {
    const std::string text = EdgesCsv(edges);
    if (!WriteFileReplacing(o.edgesFile, text, writeError)) {
      err << "kinklab-run: " << writeError << '\n';
      status = 1;
    }
  }
  if (!o.pngFile.empty() && !WriteScanMap(o, grid, runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, runs, edges, complete, err)) status = 1;

  if (const std::optional<ScanEdge> critical = CriticalEdge(ClassesOf(runs)))
    err << "critical velocity: between " << Shortest(critical->vLow) << " and " << Shortest(critical->vHigh) << '\n';
  else
    err << "critical velocity: none in this scan\n";
  err << "scan: " << edges.size() << (edges.size() == 1 ? " edge" : " edges") << " located in "
      << r.rounds << " rounds of bisection, " << refinedCount << " runs beside the "
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
