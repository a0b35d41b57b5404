#include "cli/sweep.h"

#include <chrono>
#include <limits>
#include <ostream>
#include <sstream>

#include "base/replace_file.h"
#include "study/converge.h"
#include "study/refine.h"
#include "cli/refined_scan.h"
#include "records/scan_csv.h"
#include "cli/scan_outputs.h"
#include "cli/scan_runs.h"
#include "cli/sweep_map.h"
#include "study/sweep_table.h"
#include "base/text_out.h"
#include "interaction/xt_png.h"
#include "soliton/potential.h"

namespace kl {

namespace {

// One k of a sweep: its scan's record, or a record per grid of a converged scan.
struct SweepEntry {
  double k = 0;
  std::vector<ScanRecord> records;
  std::vector<GridSummary> summaries;  // per record, when the scan ran here
};

bool Refined(const SweepEntry& e) { return !e.records.empty() && e.records.front().parameters.refineTolerance > 0; }

std::vector<int> GridsOf(const SweepEntry& e) {
  std::vector<int> grids;
  for (const ScanRecord& rec : e.records) grids.push_back(rec.parameters.gridSize);
  return grids;
}

// The edges of a converged entry matched across its grids and extrapolated.
std::vector<ConvergedEdge> Extrapolated(const SweepEntry& e) {
  std::vector<std::vector<ScanEdge>> edges;
  for (const ScanRecord& rec : e.records) edges.push_back(rec.edges);
  return ConvergeEdges(GridsOf(e), edges, e.records.front().parameters.dv);
}

std::string Cell(const std::optional<double>& v) { return v ? Shortest(*v) : std::string(); }

// Each line of `text` after its first (a header) with `prefix` before it.
std::string Prefixed(const std::string& prefix, const std::string& text) {
  std::istringstream lines(text);
  std::string line, result;
  std::getline(lines, line);
  while (std::getline(lines, line)) result += prefix + line + '\n';
  return result;
}

std::string SweepCsvHeader(const std::string& swept) { return swept + ",v_c_low,v_c_high,edges,windows\n"; }

std::string SweepCsvRow(const SweepRow& row) {
  return Shortest(row.k) + "," + Cell(row.vcLow) + "," + Cell(row.vcHigh) + "," + std::to_string(row.edges) + "," +
         std::to_string(row.windows) + "\n";
}

// The row of an entry; `extrapolated` holds its edges matched across the grids when it is a
// refined converged scan, and is null otherwise.
SweepRow SweepRowOf(const SweepEntry& e, const std::vector<ConvergedEdge>* extrapolated) {
  if (e.records.empty()) {
    SweepRow row;
    row.k = e.k;
    return row;
  }
  return kl::SweepRowOf(e.k, e.records.back().runs, Refined(e) ? &e.records.back().edges : nullptr, extrapolated);
}

// The scan of a sweep cut short by a stop or a failure: the grids it finished and the finished
// runs of the grid it was on (N = `grid`, 0 for a scan of one grid).
struct CutScan {
  SweepEntry done;
  std::vector<CollisionRun> runs;
  int grid = 0;
};

// `complete`: every k of the sweep finished (`cut` is the one a stop or a failure cut short);
// `rest` (unless complete): the scans of the k not finished, as records that say so, which the
// sweep's record holds after the finished ones for --from-h5 to resume.
int WriteSweep(const ScanOptions& given, const std::vector<SweepEntry>& entries, bool converged, const CutScan* cut,
               bool complete, const std::vector<SweepEntry>& rest, std::ostream& out, std::ostream& err) {
  size_t finished = cut ? cut->runs.size() : 0;
  for (const SweepEntry& e : entries)
    for (const ScanRecord& rec : e.records) finished += rec.runs.size();
  if (cut)
    for (const ScanRecord& rec : cut->done.records) finished += rec.runs.size();
  if (NothingFinished(!complete, finished, err)) return 0;
  const OutputFolderLock alone(OutputPaths(given));
  const bool share = given.parts > 1;
  const std::string& k = given.SweptName();
  bool model = !given.run.potential.empty();  // or a model's record read back
  for (const SweepEntry& e : entries)
    for (const ScanRecord& rec : e.records) model = model || !rec.parameters.potential.empty();
  bool refined = false;
  for (const SweepEntry& e : entries) refined = refined || Refined(e);
  int status = 0;
  std::string error;
  auto write = [&](const std::string& file, const std::string& text) {
    if (WriteFileReplacing(file, text, error)) return;
    err << "kinklab-run: " << error << '\n';
    status = 1;
  };

  // A whole converged scan's edges, matched across its grids once for the table, the edges and
  // the record; a share's are extrapolated by the merge.
  const bool extrapolate = converged && refined && !share;
  std::vector<std::vector<ConvergedEdge>> extrapolated;
  std::vector<std::string> extrapolatedCsvs;
  for (const SweepEntry& e : entries) {
    extrapolated.push_back(extrapolate ? Extrapolated(e) : std::vector<ConvergedEdge>{});
    extrapolatedCsvs.push_back(extrapolate ? ConvergedEdgesCsv(GridsOf(e), extrapolated.back()) : std::string());
  }

  // The table, a row per k; a share holds part of every scan and has none.
  std::vector<SweepRow> rows;
  std::string table = SweepCsvHeader(k);
  if (!share) {
    for (size_t i = 0; i < entries.size(); ++i) {
      rows.push_back(SweepRowOf(entries[i], extrapolate ? &extrapolated[i] : nullptr));
      table += SweepCsvRow(rows.back());
    }
    if (given.sweepCsv.empty())
      out << table << std::flush;
    else
      write(given.sweepCsv, table);
  }

  // Every run, with its k (and its grid).
  if (!given.csvFile.empty() || share) {
    const std::string header = ScanCsvHeader(model);
    std::string csv = k + "," + header.substr(0, header.size() - 1) + (converged ? ",N\n" : "\n");
    auto add = [&](double value, const std::vector<CollisionRun>& runs, int grid) {
      for (const CollisionRun& run : runs) {
        const std::string row = ScanCsvRow(run, model);
        csv.append(Shortest(value)).append(",").append(row, 0, row.size() - 1);
        if (converged) csv.append(",").append(std::to_string(grid));
        csv += '\n';
      }
    };
    for (const SweepEntry& e : entries)
      for (const ScanRecord& rec : e.records) add(e.k, rec.runs, rec.parameters.gridSize);
    if (cut) {
      for (const ScanRecord& rec : cut->done.records) add(cut->done.k, rec.runs, rec.parameters.gridSize);
      add(cut->done.k, cut->runs, cut->grid);
    }
    if (!WriteScanCsv(given, csv, out, err)) status = 1;
  }

  // The edges, each with its k first.
  if (!given.edgesFile.empty()) {
    std::string text;
    if (extrapolate) {
      for (size_t i = 0; i < entries.size(); ++i) {
        const std::string& csv = extrapolatedCsvs[i];
        if (text.empty()) text = k + "," + csv.substr(0, csv.find('\n') + 1);
        text += Prefixed(Shortest(entries[i].k) + ",", csv);
      }
      if (text.empty()) text = k + ",class_low,class_high,v_extrapolated,error\n";
    } else {
      text = converged ? k + ",N," + EdgesCsvHeader() : k + "," + EdgesCsvHeader();
      for (const SweepEntry& e : entries)
        for (const ScanRecord& rec : e.records)
          for (const ScanEdge& edge : rec.edges)
            text += Shortest(e.k) + "," + (converged ? std::to_string(rec.parameters.gridSize) + "," : "") +
                    EdgesCsvRow(edge);
    }
    write(given.edgesFile, text);
  }

  // The map: the finest grid's runs of every k.
  if (!given.sweepPng.empty() && !share) {
    const ScanParameters p = entries.empty() ? ParametersOf(given) : entries.front().records.back().parameters;
    std::vector<SweepMapRow> mapRows;
    for (size_t i = 0; i < entries.size(); ++i)
      mapRows.push_back(SweepMapRow{entries[i].k, ClassesOf(entries[i].records.back().runs), rows[i].vcLow,
                                    rows[i].vcHigh});
    if (cut && !converged) mapRows.push_back(SweepMapRow{cut->done.k, ClassesOf(cut->runs), {}, {}});
    std::string title = "outcomes  N=" + std::to_string(p.gridSize) + "  L=" + Shortest(p.halfInterval) +
                        "  C=" + Shortest(p.separation) + "  t=" + Shortest(p.tMax);
    if (converged) title += "  critical v extrapolated";
    std::vector<std::pair<double, std::string>> marks;
    for (int kind = kMinKind; kind <= kMaxKind && given.sweepParam.empty(); ++kind)
      marks.emplace_back(KindModulation(kind), "kind " + std::to_string(kind));
    if (model) title = p.potential + "  " + title;
    Canvas canvas;
    PaintSweepMap(mapRows, p.v0, p.v1, title, marks, canvas, k);
    if (!WriteCanvasPng(canvas, given.sweepPng, error)) {
      err << "kinklab-run: " << error << '\n';
      status = 1;
    }
  }

  // The record: every finished scan under its k.
  if (!given.sweepH5.empty()) {
    RecordSet set;
    set.sweepParam = given.sweepParam;
    set.converged = converged;
    set.complete = complete;
    for (const SweepEntry& e : entries) {
      set.modulations.push_back(e.k);
      set.entries.push_back(e.records);
    }
    for (const SweepEntry& e : rest) {
      set.modulations.push_back(e.k);
      set.entries.push_back(e.records);
    }
    if (!WriteSweepRecord(given.sweepH5, set, extrapolatedCsvs, share ? std::string() : table, error)) {
      err << "kinklab-run: " << error << '\n';
      status = 1;
    }
  }

  // A line per k.
  size_t runs = 0;
  for (size_t i = 0; i < entries.size(); ++i) {
    const SweepEntry& e = entries[i];
    size_t count = 0;
    double seconds = 0;
    for (const ScanRecord& rec : e.records) count += rec.runs.size();
    for (const GridSummary& s : e.summaries) seconds += s.seconds;
    runs += count;
    err << "sweep: " << k << " = " << Shortest(e.k) << ": ";
    if (!share) {
      const SweepRow& row = rows[i];
      if (!row.vcLow)
        err << "critical velocity: none";
      else if (extrapolate)
        err << CriticalVelocityLine(extrapolated[i]);
      else
        err << "critical velocity: between " << Shortest(*row.vcLow) << " and " << Shortest(*row.vcHigh);
      err << ", " << row.edges << (row.edges == 1 ? " edge, " : " edges, ") << row.windows
          << (row.windows == 1 ? " window; " : " windows; ");
    }
    err << count << (count == 1 ? " run" : " runs");
    if (!e.summaries.empty()) err << " in " << Duration(seconds);
    err << '\n';
  }
  err << "sweep: " << entries.size() << (entries.size() == 1 ? " scan, " : " scans, ") << runs << " runs";
  if (share)
    err << "; share " << given.part << " of " << given.parts << ", which --scan-merge joins with the others";
  err << '\n';
  return status;
}

}  // namespace

bool OutputsFitRecord(const ScanOptions& o, bool sweep, const std::string& file, std::ostream& err) {
  using Outputs = std::vector<std::pair<const char*, std::string>>;
  const Outputs outputs = sweep ? Outputs{{"--scan-png", o.pngFile}, {"--scan-h5", o.h5File}}
                                : Outputs{{"--sweep-csv", o.sweepCsv}, {"--sweep-png", o.sweepPng},
                                          {"--sweep-h5", o.sweepH5}};
  for (const auto& [name, value] : outputs)
    if (!value.empty()) {
      err << "kinklab-run: " << name << " " << value << ": " << file
          << (sweep ? " is a sweep's record; a sweep writes its map and record with --sweep-png and --sweep-h5"
                    : " is not a sweep's record")
          << '\n';
      return false;
    }
  return true;
}

std::string SetSweepValue(ScanOptions& o, double value) {
  if (o.sweepParam.empty()) {
    o.run.modulation = value;
    o.run.kind = KindOfModulation(value);
    return {};
  }
  bool found = false;
  for (ModelParam& p : o.run.params)
    if (p.name == o.sweepParam) p.value = value, found = true;
  if (!found) o.run.params.push_back(ModelParam{o.sweepParam, value});
  try {
    o.run.model = FieldModel::Make(o.run.potential, o.run.params);
  } catch (const ModelError& e) {
    o.run.model.reset();
    return e.what();
  }
  return {};
}

int RunSweep(const ScanOptions& givenAsked, const RecordSet& from, const std::atomic<bool>& stop, std::ostream& out,
             std::ostream& err, bool progressInPlace) {
  const bool fromRecord = from.Sweep();
  ScanOptions given = givenAsked;
  if (fromRecord) given.sweepParam = from.sweepParam;
  const std::string& swept = given.SweptName();
  if (fromRecord && !OutputsFitRecord(given, true, given.fromH5, err)) return 2;
  const std::vector<double> ks = fromRecord ? from.modulations : ScanVelocities(given.k0, given.k1, given.dk);
  const bool converged = fromRecord ? from.converged : !given.convergeGrids.empty();
  const bool refine = given.refineTolerance > 0;

  RefineProgress progress(err, progressInPlace);
  if (fromRecord) {
    progress.Line("sweep: " + std::to_string(ks.size()) + " scans read from " + given.fromH5);
  } else {
    // Every grid run of the sweep is counted at its start; a refinement adds its runs as it goes.
    const size_t all = ScanVelocities(given.v0, given.v1, given.dv).size();
    const size_t perGrid = PartIndices(all, given.part, given.parts).size();
    const size_t runs = ks.size() * perGrid * (converged ? given.convergeGrids.size() : 1);
    progress.total = progress.ahead = runs;
    const std::string what = given.sweepParam.empty() ? "modulation" : "value";
    progress.Line("sweep: " + std::to_string(ks.size()) + " " + what + (ks.size() == 1 ? "" : "s") + " from " +
                  swept + " = " + Shortest(ks.front()) + " to " + Shortest(ks.back()) + ", " + std::to_string(runs) +
                  " runs of their grids" +
                  (given.parts > 1 ? " (part " + std::to_string(given.part) + "/" + std::to_string(given.parts) + ")"
                                   : ""));
  }

  std::vector<SweepEntry> entries;
  CutScan cut;
  bool wasCut = false;
  std::string error;
  for (size_t i = 0; i < ks.size() && !stop.load(); ++i) {
    ScanOptions o = given;
    SetSweepValue(o, ks[i]);
    SweepEntry e;
    e.k = ks[i];
    std::vector<CollisionRun> unfinished;
    int unfinishedGrid = 0;
    if (converged) {
      error = RunGrids(o, fromRecord ? from.entries[i] : std::vector<ScanRecord>{}, stop, err, progress, e.records,
                       e.summaries, unfinished);
      const std::vector<int>& grids = given.convergeGrids;
      if (e.records.size() < grids.size()) unfinishedGrid = grids[e.records.size()];
      if (fromRecord && e.records.size() < from.entries[i].size())
        unfinishedGrid = from.entries[i][e.records.size()].parameters.gridSize;
    } else {
      if (fromRecord) TakeParameters(from.entries[i].front().parameters, o);
      Refinement r;
      const auto began = std::chrono::steady_clock::now();
      if (!refine)
        RunGridShare(o, stop, progress, r);
      else if (!Refine(o, fromRecord ? from.entries[i].front() : ScanRecord{}, stop, err, progress, r))
        return 2;
      r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
      error = r.error;
      if (stop.load() || !error.empty()) {
        unfinished = std::move(r.runs);
      } else {
        e.records.push_back(RecordOf(o, std::move(r.runs), std::move(r.edges)));
        e.summaries.push_back(GridSummary{r.rounds, r.seconds});
      }
    }
    if (stop.load() || !error.empty()) {
      cut = CutScan{std::move(e), std::move(unfinished), unfinishedGrid};
      wasCut = true;
      break;
    }
    entries.push_back(std::move(e));
  }
  progress.Close();
  const bool complete = entries.size() == ks.size() && error.empty();
  // The scans not finished, for the record: the one cut short with its finished grids and runs,
  // and those not begun, empty, each at every grid.
  std::vector<SweepEntry> rest;
  for (size_t i = entries.size(); !complete && i < ks.size(); ++i) {
    ScanOptions o = given;
    SetSweepValue(o, ks[i]);
    std::vector<int> grids = converged ? given.convergeGrids : std::vector<int>{given.run.gridSize};
    if (fromRecord) {
      TakeParameters(from.entries[i].front().parameters, o);
      grids.clear();
      for (const ScanRecord& rec : from.entries[i]) grids.push_back(rec.parameters.gridSize);
    }
    o.refineTolerance = given.refineTolerance;
    SweepEntry e;
    e.k = ks[i];
    const bool isCut = wasCut && i == entries.size();
    for (size_t g = 0; g < grids.size(); ++g) {
      if (isCut && g < cut.done.records.size()) {
        e.records.push_back(cut.done.records[g]);
        continue;
      }
      o.run.gridSize = grids[g];
      const bool cutHere = isCut && g == cut.done.records.size();
      e.records.push_back(RecordOf(o, cutHere ? cut.runs : std::vector<CollisionRun>{}, {}, false));
    }
    rest.push_back(std::move(e));
  }
  int status = WriteSweep(given, entries, converged, wasCut ? &cut : nullptr, complete, rest, out, err);
  if (!error.empty()) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: sweep stopped; the " << entries.size() << " finished scans of " << ks.size()
        << " are written" << (wasCut ? ", and the runs finished at " + swept + " = " + Shortest(cut.done.k) + " in --scan-csv" : "")
        << '\n';
  return status;
}

int WriteMergedSweep(const ScanOptions& given, const RecordSet& merged, std::ostream& out, std::ostream& err) {
  if (!OutputsFitRecord(given, true, given.mergeFiles.front(), err)) return 2;
  std::vector<SweepEntry> entries;
  for (size_t i = 0; i < merged.entries.size(); ++i) entries.push_back(SweepEntry{merged.modulations[i], merged.entries[i], {}});
  ScanOptions o = given;
  o.part = o.parts = 1;
  o.sweepParam = merged.sweepParam;
  const int status = WriteSweep(o, entries, merged.converged, nullptr, true, {}, out, err);
  err << "sweep: the records of " << given.mergeFiles.size() << " shares joined\n";
  return status;
}

}  // namespace kl
