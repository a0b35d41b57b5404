#pragma once
// A sweep over the family of wells: the same scan (plain, refined, converged, or a share of
// one) at every k = K0, K0 + DK, ..., K1, and what it tells: the critical velocity against k,
// the map of outcomes in the (v, k) plane, and a record that holds every scan.
#include <atomic>
#include <cstddef>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

#include "cli/converge.h"
#include "cli/options.h"
#include "cli/refined_scan.h"
#include "records/scan_record.h"

namespace kl {

// One k of a sweep: its scan's record, or a record per grid of a converged scan.
struct SweepEntry {
  double k = 0;
  std::vector<ScanRecord> records;
  std::vector<GridSummary> summaries;  // per record, when the scan ran here
};

// A row of the sweep's table: the critical velocity's final bracket (for a converged scan the
// extrapolated velocity +- its error), the edges located (extrapolated), and the escape windows
// below the critical velocity (on the finest grid).
struct SweepRow {
  double k = 0;
  std::optional<double> vcLow, vcHigh;
  size_t edges = 0, windows = 0;
};
SweepRow SweepRowOf(const SweepEntry& entry, bool converged);
std::string SweepCsvHeader();  // "k,v_c_low,v_c_high,edges,windows\n"
std::string SweepCsvRow(const SweepRow& row);

// The escape windows among runs in velocity order below v: each longest stretch of neighbouring
// runs that escape after the same number of bounces counts once.
size_t EscapeWindowsBelow(const std::vector<CollisionRun>& runs, double v);

// The sweep of `given` (its k from --sweep-modulation, or those of the sweep record `from`,
// whose scans are then refined as --from-h5 asks): every k's scan in turn, the progress over
// every run of the sweep, then the table (--sweep-csv, or standard output), --scan-csv (every
// run with its k), --edges (with a column k first), --sweep-png and --sweep-h5. After Ctrl-C the
// finished scans are written, and the finished runs of the one cut short go to --scan-csv.
int RunSweep(const ScanOptions& given, const RecordSet& from, const std::atomic<bool>& stop, std::ostream& out,
             std::ostream& err, bool progressInPlace);

// False, with the reason on `err`, when the record `file` is of the other kind than the outputs
// asked for: a sweep's (`sweep`) with --scan-png or --scan-h5, or a scan's with a sweep's outputs.
bool OutputsFitRecord(const ScanOptions& options, bool sweep, const std::string& file, std::ostream& err);

// The outputs of the merged records of a split sweep.
int WriteMergedSweep(const ScanOptions& given, const RecordSet& merged, std::ostream& out, std::ostream& err);

}  // namespace kl
