#include "cli/scan_outputs.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <ostream>

#include "base/replace_file.h"
#include "base/version.h"
#include "cli/run_command.h"
#include "cli/scan_map.h"
#include "base/text_out.h"
#include "interaction/xt_png.h"

namespace kl {

bool WriteScanMap(const ScanOptions& o, const std::vector<double>& grid, const std::vector<CollisionRun>& runs,
                  std::ostream& err) {
  const RunnerOptions& r = o.run;
  std::string title = "u(0,t)  " + (r.model ? r.model->Text() : ModelName(r.kind, ModulationOf(r))) + "  N=" + std::to_string(r.gridSize) +
                      "  L=" + Shortest(r.halfInterval) + "  C=" + Shortest(o.separation);
  if (o.parts > 1) title += "  part " + std::to_string(o.part) + "/" + std::to_string(o.parts);
  Canvas canvas;
  if (r.model && r.vacua.size() >= 2) {
    // A model's centre in the family's colours: s = (u - (A + B)/2) / ((B - A)/2), -1 at the
    // outer vacuum A and +1 at the vacuum B between the pair, as u is for the family.
    const PairVacua pair{r.vacua[0], r.vacua[1]};
    std::vector<CollisionRun> scaled = runs;
    for (CollisionRun& run : scaled)
      for (double& u : run.centre) u = pair.Scaled(u);
    title += "  s: -1 at " + Shortest(pair.outer) + ", +1 at " + Shortest(pair.between);
    PaintScanMap(grid, scaled, r.untilTime.value_or(kScanDefaultTime), r.colourCount, title, canvas, "s");
  } else {
    PaintScanMap(grid, runs, r.untilTime.value_or(kScanDefaultTime), r.colourCount, title, canvas);
  }
  std::string error;
  if (WriteCanvasPng(canvas, o.pngFile, error)) return true;
  err << "kinklab-run: " << error << '\n';
  return false;
}

ScanParameters ParametersOf(const ScanOptions& o) {
  const RunnerOptions& r = o.run;
  return ScanParameters{r.kind, ModulationOf(r), r.halfInterval, r.gridSize, o.separation, r.untilTime.value_or(kScanDefaultTime),
                        PrecisionName(r.precision), o.v0, o.v1, o.dv, o.refineTolerance,
                        r.potential, r.potential.empty() ? std::vector<ModelParam>() : r.params,
                        r.potential.empty() ? std::vector<double>() : r.vacua};
}

ScanRecord RecordOf(const ScanOptions& o, std::vector<CollisionRun> runs, std::vector<ScanEdge> edges, bool complete) {
  ScanRecord record;
  record.parameters = ParametersOf(o);
  record.part = o.part;
  record.parts = o.parts;
  record.program = ProgramNameAndVersion();
  record.command = o.command;
  record.runs = std::move(runs);
  record.edges = std::move(edges);
  record.complete = complete;
  return record;
}

std::vector<std::string> OutputPaths(const ScanOptions& o) {
  return {o.csvFile, o.pngFile, o.h5File, o.edgesFile, o.sweepCsv, o.sweepPng, o.sweepH5};
}

bool NothingFinished(bool stopped, size_t finishedRuns, std::ostream& err) {
  if (!stopped || finishedRuns > 0) return false;
  err << "kinklab-run: stopped before any run finished; no output file is written\n" << std::flush;
  return true;
}

bool WriteRecordOf(const ScanOptions& o, const std::vector<CollisionRun>& runs, const std::vector<ScanEdge>& edges,
                   bool complete, std::ostream& err) {
  const ScanRecord record = RecordOf(o, runs, edges, complete);
  std::string error;
  if (WriteScanRecord(o.h5File, record, error)) return true;
  err << "kinklab-run: " << error << '\n';
  return false;
}

// The scan's options as its record gives them.
void TakeParameters(const ScanParameters& p, ScanOptions& o) {
  o.run.kind = p.kind;
  o.run.modulation = p.modulation;
  o.run.potential = p.potential;
  o.run.params = p.params;
  o.run.vacua = p.vacua;
  o.run.model.reset();
  // The record's reader has made the model once: it cannot fail here.
  if (!p.potential.empty()) try {
      o.run.model = FieldModel::Make(p.potential, p.params);
      o.run.modulation.reset();
    } catch (const ModelError&) {
    }
  o.run.halfInterval = p.halfInterval;
  o.run.gridSize = p.gridSize;
  o.run.untilTime = p.tMax;
  ParsePrecision(p.precision, o.run.precision);
  o.separation = p.separation;
  o.v0 = p.v0;
  o.v1 = p.v1;
  o.dv = p.dv;
}

bool WriteScanCsv(const ScanOptions& o, const std::string& csv, std::ostream& out, std::ostream& err) {
  std::string error;
  if (!o.csvFile.empty() && WriteFileReplacing(o.csvFile, csv, error)) return true;
  if (!error.empty())
    err << "kinklab-run: " << error << "; the rows follow on standard output instead\n" << std::flush;
  out << csv << std::flush;
  return error.empty();
}

std::string Duration(double seconds) {
  const long s = std::lround(std::max(seconds, 0.0));
  char buf[32];
  if (s >= 3600)
    std::snprintf(buf, sizeof buf, "%ld:%02ld:%02ld", s / 3600, s / 60 % 60, s % 60);
  else
    std::snprintf(buf, sizeof buf, "%ld:%02ld", s / 60, s % 60);
  return buf;
}

}  // namespace kl
