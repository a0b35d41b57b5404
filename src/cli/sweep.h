#pragma once
// A sweep over the family of wells: the same scan (plain, refined, converged, or a share of
// one) at every k = K0, K0 + DK, ..., K1, and what it tells: the critical velocity against k,
// the map of outcomes in the (v, k) plane, and a record that holds every scan.
#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/options.h"
#include "records/scan_record.h"

namespace kl {

// The sweep of `given` (its k from --sweep-modulation, or those of the sweep record `from`,
// whose scans are then refined as --from-h5 asks): every k's scan in turn, the progress over
// every run of the sweep, then the table (--sweep-csv, or standard output), --scan-csv (every
// run with its k), --edges (with a column k first), --sweep-png and --sweep-h5. After Ctrl-C the
// finished scans are written, and the finished runs of the one cut short go to --scan-csv.
int RunSweep(const ScanOptions& given, const RecordSet& from, const std::atomic<bool>& stop, std::ostream& out,
             std::ostream& err, bool progressInPlace);

// Sets the swept value of one scan of a sweep: the family's k (and its kind), or the formula's
// parameter, the model made anew with it. Empty, or why the formula takes no such value.
std::string SetSweepValue(ScanOptions& options, double value);

// False, with the reason on `err`, when the record `file` is of the other kind than the outputs
// asked for: a sweep's (`sweep`) with --scan-png or --scan-h5, or a scan's with a sweep's outputs.
bool OutputsFitRecord(const ScanOptions& options, bool sweep, const std::string& file, std::ostream& err);

// The outputs of the merged records of a split sweep.
int WriteMergedSweep(const ScanOptions& given, const RecordSet& merged, std::ostream& out, std::ostream& err);

}  // namespace kl
