#pragma once
// The scan command of kinklab-run: a grid of velocities, refined or not, or the merge of a
// split scan's records.
#include <atomic>
#include <iosfwd>
#include <string>
#include <vector>

#include "cli/options.h"

namespace kl {

// The whole command: runs with a progress line on `err`, writes the CSV (to `out` as the rows
// come, or to --scan-csv through a temporary file) and the map. Ctrl-C (SIGINT) or SIGTERM
// stops the runs; the finished rows and the map are still written and the status is 128 + the
// signal's number.
int RunScanMain(const ScanOptions& options, std::ostream& out, std::ostream& err);

// The scan after parsing, with its own stop flag (RunScanMain passes the signal flag). With
// `progressInPlace` the progress line is rewritten in place, as on a terminal; otherwise each
// update is a line of its own.
int RunScanCommand(const ScanOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                   std::ostream& err, bool progressInPlace);

}  // namespace kl
