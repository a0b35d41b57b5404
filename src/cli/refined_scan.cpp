#include "cli/refined_scan.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/replace_file.h"
#include "app/side_files.h"
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
  auto runAll = [&](const std::vector<double>& velocities, std::string& error) {
    ScanCallbacks callbacks;
    const size_t before = progress.done;
    callbacks.progress = [&](const ScanProgress& p) { progress.Show(before + p.done); };
    ScanResult run = RunVelocities(o, velocities, stop, callbacks);
    progress.done += run.runs.size();
    if (!run.error.empty() && error.empty()) error = run.error;
    return std::move(run.runs);
  };
  std::vector<CollisionRun>& runs = result.runs;
  std::vector<double>& grid = result.grid;
  std::string& error = result.error;
  // Runs read from a file: the tolerance must be reachable at their fastest velocity.
  auto refinable = [&] {
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (RefinableTolerance(o.refineTolerance, fastest)) return true;
    err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
    return false;
  };
  if (!o.fromCsv.empty()) {
    std::string text;
    std::string why;
    if (!ReadWholeFile(o.fromCsv, text, why, kMaxScanCsvBytes)) error = o.fromCsv + ": " + why;
    if (!error.empty() || !ParseScanCsv(text, o.fromCsv, runs, error)) {
      err << "kinklab-run: --from-csv " << error << '\n';
      return false;
    }
    if (!refinable()) return false;
    progress.Line("scan: " + std::to_string(runs.size()) + " rows read from " + o.fromCsv);
  } else if (!o.fromH5.empty()) {
    runs = from.runs;
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    if (!refinable()) return false;
    progress.Line("scan: " + std::to_string(runs.size()) + " runs read from " + o.fromH5);
    // A record that a stop cut short: its missing grid runs first, then the refinement.
    if (const std::vector<double> missing = from.MissingGridRuns(); !missing.empty()) {
      progress.Line("scan: resuming " + o.fromH5 + ": " + std::to_string(missing.size()) + " of its " +
                    std::to_string(from.GridRuns()) + " grid runs are missing");
      progress.Queue(missing.size());
      for (CollisionRun& run : runAll(missing, error)) runs.push_back(std::move(run));
      std::stable_sort(runs.begin(), runs.end(),
                       [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });
    }
  } else {
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    progress.Queue(grid.size());
    runs = runAll(grid, error);
  }

  std::vector<ScanEdge>& edges = result.edges;
  edges = EdgesBetween(ClassesOf(runs));
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
      progress.total += queued;
      progress.Show(progress.done);
    });
    edges = refinement.edges;
  }
  result.refinedCount = refined.size();
  result.rounds = refinement.rounds;
  for (CollisionRun& run : refined) runs.push_back(std::move(run));
  std::stable_sort(runs.begin(), runs.end(), [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });
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
    std::string text = EdgesCsvHeader();
    for (const ScanEdge& e : edges) text += EdgesCsvRow(e);
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
