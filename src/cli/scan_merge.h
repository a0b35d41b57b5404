#pragma once
// Joining the records of a split scan's shares.
#include <iosfwd>

#include "cli/options.h"

namespace kl {

// --scan-merge: the records of a split scan joined into the whole scan's CSV (to `out` without
// --scan-csv), map and record, byte for byte those of the scan run in one piece. A record that
// does not belong: status 2, its reason on `err`.
int RunScanMerge(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err);

}  // namespace kl
