#include "cli/scan_merge.h"

#include <ostream>
#include <string>
#include <vector>

#include "base/replace_file.h"
#include "cli/refined_scan.h"
#include "records/scan_csv.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "cli/sweep.h"
#include "records/scan_record.h"

namespace kl {

int RunScanMerge(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err) {
  RecordSet set;
  std::string error;
  if (!MergeRecordSets(given.mergeFiles, set, error, &stop)) {
    err << "kinklab-run: --scan-merge " << error << '\n';
    return 2;
  }
  const OutputFolderLock alone(OutputPaths(given));
  if (set.Sweep()) return WriteMergedSweep(given, set, out, err);
  if (!OutputsFitRecord(given, false, given.mergeFiles.front(), err)) return 2;
  std::vector<ScanRecord>& sets = set.entries[0];
  if (set.converged) {  // a scan at several grids: joined grid by grid, its edges extrapolated
    const int status = WriteConvergedScan(given, sets, {}, {}, true, {}, out, err);
    err << "scan: the records of " << given.mergeFiles.size() << " shares joined at " << sets.size() << " grids\n";
    return status;
  }
  const ScanRecord& merged = sets.front();
  ScanOptions o = given;
  TakeParameters(merged.parameters, o);
  o.refineTolerance = merged.parameters.refineTolerance;
  o.part = o.parts = 1;
  int status = 0;
  std::string csv = ScanCsvHeader(o.run.model != nullptr);
  for (const CollisionRun& run : merged.runs) csv += ScanCsvRow(run, o.run.model != nullptr);
  if (!WriteScanCsv(o, csv, out, err)) status = 1;
  if (!o.pngFile.empty() && !WriteScanMap(o, ScanVelocities(o.v0, o.v1, o.dv), merged.runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, merged.runs, merged.edges, true, err)) status = 1;
  if (!o.edgesFile.empty()) {
    const std::string text = EdgesCsv(merged.edges);
    if (!WriteFileReplacing(o.edgesFile, text, error)) {
      err << "kinklab-run: " << error << '\n';
      status = 1;
    }
  }
  err << "scan: " << merged.runs.size() << " runs of " << given.mergeFiles.size() << " records joined\n";
  return status;
}

}  // namespace kl
