#include "cli/scan_command.h"

#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <ostream>

#include "base/replace_file.h"
#include "cli/refined_scan.h"
#include "cli/run_command.h"
#include "records/scan_csv.h"
#include "cli/scan_merge.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "cli/stop_signals.h"
#include "cli/sweep.h"
#include "soliton/chain_check.h"
#include "soliton/potential.h"

namespace kl {

int RunScanCommand(const ScanOptions& o, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace) {
  if (!o.mergeFiles.empty()) return RunScanMerge(o, stop, out, err);
  if (o.Sweeps()) return RunSweep(o, {}, stop, out, err, progressInPlace);  // each k's kink checked before
  {
    Potential pot;
    ApplyModel(pot, o.run);
    const std::string coarse =
        ResolutionWarning(pot, o.run.halfInterval, o.run.gridSize, std::max(std::fabs(o.v0), std::fabs(o.v1)));
    if (!coarse.empty()) err << "kinklab-run: " << coarse << '\n' << std::flush;
    const std::string flat = ChainWarning(pot);
    if (!flat.empty()) err << "kinklab-run: warning: " << flat << '\n' << std::flush;
  }
  if (!o.convergeGrids.empty()) return RunConvergedScan(o, {}, stop, out, err, progressInPlace);
  if (o.refineTolerance > 0) return RunRefinedScan(o, stop, out, err, progressInPlace);
  const std::vector<double> all = ScanVelocities(o.v0, o.v1, o.dv);
  std::vector<double> mine;
  for (size_t i : PartIndices(all.size(), o.part, o.parts)) mine.push_back(all[i]);

  const bool toOut = o.csvFile.empty();
  const bool model = o.run.model != nullptr;
  std::string csv = ScanCsvHeader(model);
  if (toOut) out << csv << std::flush;
  ScanCallbacks callbacks;
  callbacks.finished = [&](const CollisionRun& run) {
    if (toOut)
      out << ScanCsvRow(run, model) << std::flush;
    else
      csv += ScanCsvRow(run, model);
  };
  // In place: back to the line's start, the text, the rest of the line cleared.
  const char* start = progressInPlace ? "\r" : "";
  const char* end = progressInPlace ? "\x1b[K" : "\n";
  callbacks.progress = [&](const ScanProgress& p) {
    err << start << "scan: " << p.done << '/' << p.total << " done";
    if (p.done < p.total)
      err << ", about " << Duration(p.elapsedSeconds / p.done * (p.total - p.done)) << " left";
    err << end << std::flush;
  };
  err << start << "scan: " << mine.size();
  if (o.parts > 1) err << " of " << all.size();
  err << (mine.size() == 1 && o.parts == 1 ? " run" : " runs");
  if (o.parts > 1) err << " (part " << o.part << '/' << o.parts << ')';
  err << end << std::flush;

  const ScanResult result = RunScan(o, stop, callbacks);
  if (progressInPlace) err << '\n';

  int status = 0;
  std::string error;
  const bool complete = !stop.load() && result.error.empty();
  const OutputFolderLock alone(OutputPaths(o));
  if (!NothingFinished(stop.load(), result.runs.size(), err)) {
    if (!toOut && !WriteScanCsv(o, csv, out, err)) status = 1;
    if (!o.pngFile.empty() && !WriteScanMap(o, mine, result.runs, err)) status = 1;
    if (!o.h5File.empty() && !WriteRecordOf(o, result.runs, {}, complete, err)) status = 1;
  }
  if (!result.error.empty()) {
    err << "kinklab-run: " << result.error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: scan stopped; the " << result.runs.size() << " finished runs of " << mine.size()
        << " are written\n";
  return status;
}

int RunScanMain(const ScanOptions& options, std::ostream& out, std::ostream& err) {
  // Ctrl-C (or SIGTERM) stops the scan and lets it write what it finished.
  const StopOnSignals signals;
  // The progress line is rewritten in place on a terminal, unless the rows go to the same one.
  const bool inPlace = isatty(STDERR_FILENO) == 1 && !(options.csvFile.empty() && isatty(STDOUT_FILENO) == 1);
  return signals.Status(RunScanCommand(options, signals.Flag(), out, err, inPlace));
}

}  // namespace kl
