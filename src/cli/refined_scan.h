#pragma once
// A scan whose edges are then bisected.
#include <atomic>
#include <chrono>
#include <iosfwd>
#include <string>
#include <vector>

#include "study/collision.h"
#include "cli/options.h"
#include "study/refine.h"
#include "study/refined_scan.h"
#include "records/scan_record.h"

namespace kl {

// The grid is run (or read from a scan CSV or record), every neighbouring pair of different
// class is bisected to the tolerance, and all rows are written at the end in velocity order,
// with the edges and the critical velocity on `err`.
int RunRefinedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace);

// The progress line of a refinement, over every round (and every grid of a converged scan).
class RefineProgress {
 public:
  RefineProgress(std::ostream& err, bool inPlace);
  void Show(size_t finished);
  void Line(const std::string& text);
  void Close();
  // Adds n runs to the total, less those a caller counted ahead (`ahead`), as a sweep counts
  // every grid's runs at its start.
  void Queue(size_t n);
  size_t done = 0, total = 0, ahead = 0;

 private:
  std::ostream& err_;
  const char* start_;
  const char* end_;
  bool inPlace_;
  const std::chrono::steady_clock::time_point began_ = std::chrono::steady_clock::now();
};

// The grid run (or read from a scan CSV or from `from`, a record) and its edges bisected; with
// o.parts > 1 only the part-th share of the edges. A file that cannot be read: false, with the
// message on `err`.
bool Refine(const ScanOptions& o, const ScanRecord& from, const std::atomic<bool>& stop, std::ostream& err,
            RefineProgress& progress, Refinement& result);

// The scan at every grid of --converge (or of the converged record `from`, refined as
// --from-h5 asks), with the same L, C, t, kind and precision: refined at each, the CSV holds
// every run with its grid (a column N), --edges the edges matched across the grids and
// extrapolated to dx -> 0, the record a group per grid; the map is the finest grid's. Standard
// error ends with "critical velocity (extrapolated): V +- E". A share of a split scan
// (--scan-part) runs its share of every grid's runs, or refines its share of every grid's
// edges, and leaves the joining and the extrapolation to --scan-merge.
int RunConvergedScan(const ScanOptions& given, const std::vector<ScanRecord>& from, const std::atomic<bool>& stop,
                     std::ostream& out, std::ostream& err, bool progressInPlace);

// The part-th share of the grid's runs (all of them for one part), unrefined.
void RunGridShare(const ScanOptions& o, const std::atomic<bool>& stop, RefineProgress& progress, Refinement& result);

// What a grid's line on standard error tells beside its runs and edges.
struct GridSummary {
  int rounds = 0;
  double seconds = 0;
};
// The grids of a converged scan run (or refined from `from`) with the progress on `progress`:
// each finished grid's record in `done` with its summary, the finished runs of a grid a stop
// cut short in `unfinished`. Returns the message of a run that failed, or empty.
std::string RunGrids(const ScanOptions& given, const std::vector<ScanRecord>& from, const std::atomic<bool>& stop,
                     std::ostream& err, RefineProgress& progress, std::vector<ScanRecord>& done,
                     std::vector<GridSummary>& summaries, std::vector<CollisionRun>& unfinished);

// The outputs of a converged scan from its records, one per grid (each with its runs and
// edges), as RunConvergedScan and the merge of its shares write them. `summaries` (one per
// record, or empty) adds to each grid's line; `unfinished` are runs of a grid a stop cut short.
// Unless `complete`, the record holds a group for each of `grids` (the grids asked for), those
// not reached empty, every one after the last finished marked as not complete, so that
// --from-h5 resumes it.
int WriteConvergedScan(const ScanOptions& given, const std::vector<ScanRecord>& records,
                       const std::vector<GridSummary>& summaries, const std::vector<CollisionRun>& unfinished, bool complete,
                       const std::vector<int>& grids,
                       std::ostream& out, std::ostream& err);

}  // namespace kl
