#pragma once
// What a scan writes beside its CSV (the map and the record), the record's parameters, and
// the time left on the progress line.
#include <iosfwd>
#include <string>
#include <vector>

#include "study/collision.h"
#include "cli/options.h"
#include "study/refine.h"
#include "records/scan_record.h"

namespace kl {

// The map of the runs over the velocities of `grid` to --scan-png, titled with the scan's
// parameters; a failure is told on `err`.
bool WriteScanMap(const ScanOptions& o, const std::vector<double>& grid, const std::vector<CollisionRun>& runs,
                  std::ostream& err);
ScanParameters ParametersOf(const ScanOptions& o);
// The record of a scan's runs and edges with its options' parameters, share and command.
// `complete`: the work finished (neither stopped nor failed).
ScanRecord RecordOf(const ScanOptions& o, std::vector<CollisionRun> runs, std::vector<ScanEdge> edges,
                    bool complete = true);
// The record of the runs and edges to --scan-h5; a failure is told on `err`.
bool WriteRecordOf(const ScanOptions& o, const std::vector<CollisionRun>& runs, const std::vector<ScanEdge>& edges,
                   bool complete, std::ostream& err);
// The files a scan command writes, for OutputFolderLock.
std::vector<std::string> OutputPaths(const ScanOptions& o);
// A stop before any run finished writes no file: an older one stays as it was. True (and told
// on `err` once) when that is so.
bool NothingFinished(bool stopped, size_t finishedRuns, std::ostream& err);
// The scan's CSV to --scan-csv (through a temporary file), or to `out` without it. Should the
// file fail at the end (a disk that filled during the scan), the rows go to `out` all the same,
// so that no finished run is lost; false then, with the reason on `err`.
bool WriteScanCsv(const ScanOptions& o, const std::string& csv, std::ostream& out, std::ostream& err);
// The scan's options as its record gives them.
void TakeParameters(const ScanParameters& p, ScanOptions& o);
// "m:ss" or "h:mm:ss".
std::string Duration(double seconds);

}  // namespace kl
