#pragma once
// A scan whose edges are then bisected.
#include <atomic>
#include <iosfwd>

#include "cli/options.h"

namespace kl {

// The grid is run (or read from a scan CSV or record), every neighbouring pair of different
// class is bisected to the tolerance, and all rows are written at the end in velocity order,
// with the edges and the critical velocity on `err`.
int RunRefinedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace);

// The refined scan at every grid of --converge, with the same L, C, t, kind and precision: the
// CSV holds every run with its grid (a column N), --edges the edges matched across the grids and
// extrapolated to dx -> 0, the record a group per grid; the map is the finest grid's. Standard
// error ends with "critical velocity (extrapolated): V +- E".
int RunConvergedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                     bool progressInPlace);

}  // namespace kl
