// A scan at several grids, its edges extrapolated to dx -> 0: run in one piece, or split into
// shares that the merge joins.
#include <algorithm>
#include <chrono>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "base/replace_file.h"
#include "study/converge.h"
#include "study/refine.h"
#include "cli/refined_scan.h"
#include "records/scan_csv.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "base/text_out.h"

namespace kl {

std::string RunGrids(const ScanOptions& given, const std::vector<ScanRecord>& from, const std::atomic<bool>& stop,
                     std::ostream& err, RefineProgress& progress, std::vector<ScanRecord>& done,
                     std::vector<GridSummary>& summaries, std::vector<CollisionRun>& unfinished) {
  std::vector<int> grids = given.convergeGrids;
  if (!from.empty()) {
    grids.clear();
    for (const ScanRecord& rec : from) grids.push_back(rec.parameters.gridSize);
  }
  const bool refine = given.refineTolerance > 0;
  std::string error;
  for (size_t g = 0; g < grids.size() && !stop.load(); ++g) {
    ScanOptions o = given;
    if (!from.empty()) {
      TakeParameters(from[g].parameters, o);
      o.refineTolerance = given.refineTolerance;
    } else {
      o.run.gridSize = grids[g];
    }
    Refinement r;
    const auto began = std::chrono::steady_clock::now();
    if (refine) {
      Refine(o, from.empty() ? ScanRecord{} : from[g], stop, err, progress, r);
    } else {  // a share of the grid runs, for the merge
      RunGridShare(o, stop, progress, r);
    }
    r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    if (!r.error.empty()) error = r.error;
    if (stop.load() || !r.error.empty()) {
      unfinished = std::move(r.runs);
      break;
    }
    done.push_back(RecordOf(o, std::move(r.runs), std::move(r.edges)));
    summaries.push_back(GridSummary{r.rounds, r.seconds});
  }
  return error;
}

int RunConvergedScan(const ScanOptions& given, const std::vector<ScanRecord>& from, const std::atomic<bool>& stop,
                     std::ostream& out, std::ostream& err, bool progressInPlace) {
  RefineProgress progress(err, progressInPlace);
  {
    ScanOptions o = given;
    if (!from.empty()) TakeParameters(from.front().parameters, o);
    const size_t count = ScanVelocities(o.v0, o.v1, o.dv).size();
    const size_t grids = from.empty() ? given.convergeGrids.size() : from.size();
    progress.Line("scan: " + std::to_string(count) + (count == 1 ? " velocity" : " velocities") + " at each of " +
                  std::to_string(grids) + " grids" +
                  (o.parts > 1 ? " (part " + std::to_string(o.part) + "/" + std::to_string(o.parts) + ")" : ""));
  }
  std::vector<ScanRecord> done;  // the grids finished, in order
  std::vector<GridSummary> summaries;
  std::vector<CollisionRun> unfinished;  // the finished runs of a grid a stop cut short
  const std::string error = RunGrids(given, from, stop, err, progress, done, summaries, unfinished);
  progress.Close();
  std::vector<int> grids = given.convergeGrids;
  if (!from.empty()) {
    grids.clear();
    for (const ScanRecord& rec : from) grids.push_back(rec.parameters.gridSize);
  }
  int status =
      WriteConvergedScan(given, done, summaries, unfinished, !stop.load() && error.empty(), grids, out, err);
  if (!error.empty()) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: scan stopped; the runs finished at " << done.size() + !unfinished.empty()
        << " grids are written, and the edges of the " << done.size() << " finished\n";
  return status;
}

int WriteConvergedScan(const ScanOptions& given, const std::vector<ScanRecord>& records,
                       const std::vector<GridSummary>& summaries, const std::vector<CollisionRun>& unfinished, bool complete,
                       const std::vector<int>& grids,
                       std::ostream& out, std::ostream& err) {
  // Every run of every grid, each row with its grid.
  const bool model = !given.run.potential.empty() || (!records.empty() && !records[0].parameters.potential.empty());
  const std::string header = ScanCsvHeader(model);
  std::string csv = header.substr(0, header.size() - 1) + ",N\n";
  auto rows = [&](const std::vector<CollisionRun>& runs, int n) {
    for (const CollisionRun& run : runs) {
      const std::string row = ScanCsvRow(run, model);
      csv += row.substr(0, row.size() - 1) + "," + std::to_string(n) + "\n";
    }
  };
  std::vector<int> sizes;
  for (const ScanRecord& rec : records) {
    sizes.push_back(rec.parameters.gridSize);
    rows(rec.runs, rec.parameters.gridSize);
  }
  // The grid a stop cut short: its finished runs go to the CSV and, as a record that says it is
  // not complete, to the record, so that none is lost.
  std::vector<ScanRecord> recorded = records;
  const int next = grids.size() > records.size() ? grids[records.size()] : 0;
  if (!unfinished.empty()) rows(unfinished, next);
  if (!complete && records.size() >= grids.size() && !recorded.empty()) recorded.back().complete = false;
  if (!complete) {  // the grid cut short, and empty records of the grids not reached
    ScanOptions cut = given;
    if (!records.empty()) TakeParameters(records.back().parameters, cut);
    cut.refineTolerance = given.refineTolerance;
    for (size_t g = records.size(); g < grids.size(); ++g) {
      cut.run.gridSize = grids[g];
      recorded.push_back(RecordOf(cut, g == records.size() ? unfinished : std::vector<CollisionRun>{}, {}, false));
    }
  }
  int status = 0;
  if (records.empty() && unfinished.empty() && NothingFinished(true, 0, err)) return 0;
  const OutputFolderLock alone(OutputPaths(given));
  if (!WriteScanCsv(given, csv, out, err)) status = 1;

  // A share holds part of each grid's runs or edges: the merge of the shares extrapolates.
  const bool share = !records.empty() && records.front().parts > 1;
  const bool refined = !records.empty() && records.front().parameters.refineTolerance > 0;
  std::vector<std::vector<ScanEdge>> edges;
  for (const ScanRecord& rec : records) edges.push_back(rec.edges);
  // An edge moves by far less than the scan's step from one grid to the next.
  const double window = records.empty() ? given.dv : records.front().parameters.dv;
  const std::vector<ConvergedEdge> converged =
      refined && !share ? ConvergeEdges(sizes, edges, window) : std::vector<ConvergedEdge>{};
  const std::string edgesCsv = refined && !share ? ConvergedEdgesCsv(sizes, converged) : std::string();
  std::string writeError;
  if (!given.edgesFile.empty() && records.empty()) {
    err << "kinklab-run: " << given.edgesFile << " is not written: no grid finished\n";
  } else if (!given.edgesFile.empty()) {
    std::string text = edgesCsv;
    if (share) {  // the share's own edges, grid by grid
      text = "N," + EdgesCsvHeader();
      for (const ScanRecord& rec : records)
        for (const ScanEdge& e : rec.edges) text += std::to_string(rec.parameters.gridSize) + "," + EdgesCsvRow(e);
    }
    if (!WriteFileReplacing(given.edgesFile, text, writeError)) {
      err << "kinklab-run: " << writeError << '\n';
      status = 1;
    }
  }
  if (!recorded.empty() && !given.pngFile.empty()) {  // the finest grid finished, or the one cut short
    const ScanRecord& shown = records.empty() ? recorded.back() : records.back();
    ScanOptions finest = given;
    TakeParameters(shown.parameters, finest);
    if (!WriteScanMap(finest, ScanVelocities(finest.v0, finest.v1, finest.dv), shown.runs, err)) status = 1;
  }
  if (!given.h5File.empty() && !WriteConvergedScanRecord(given.h5File, recorded, edgesCsv, writeError)) {
    err << "kinklab-run: " << writeError << '\n';
    status = 1;
  }
  for (size_t k = 0; k < records.size(); ++k) {
    const ScanRecord& rec = records[k];
    err << "scan: N = " << rec.parameters.gridSize << ": ";
    if (refined) err << rec.edges.size() << (rec.edges.size() == 1 ? " edge" : " edges");
    if (refined && k < summaries.size()) err << " in " << summaries[k].rounds << " rounds";
    err << (refined ? ", " : "") << rec.runs.size() << " runs";
    if (k < summaries.size()) err << " in " << Duration(summaries[k].seconds);
    if (refined && !share) {
      const std::optional<ScanEdge> critical = CriticalEdge(ClassesOf(rec.runs));
      err << "; critical velocity: "
          << (critical ? "between " + Shortest(critical->vLow) + " and " + Shortest(critical->vHigh) : "none");
    }
    err << '\n';
  }
  if (share)
    err << "scan: share " << records.front().part << " of " << records.front().parts
        << "; --scan-merge joins the shares' records" << (refined ? " and extrapolates the edges" : "") << '\n';
  else if (refined)
    err << CriticalVelocityLine(converged) << '\n';
  return status;
}

}  // namespace kl
