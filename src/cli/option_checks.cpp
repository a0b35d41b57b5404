// What a command line must satisfy once every value is read: the checks that need several
// options at once, and those that would otherwise fail only after hours of work.
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "base/replace_file.h"
#include "cli/cluster_share.h"
#include "cli/option_table.h"
#include "study/refine.h"
#include "cli/run_command.h"
#include "base/text_out.h"
#include "cli/scan_runs.h"
#include "cli/sweep.h"
#include "engine/integrator.h"
#include "engine/lean_run.h"
#include "records/run_record.h"
#include "soliton/chain_check.h"

namespace kl::cli {

namespace {

// Every output can be written (its folder takes a new file), and no two name the same file.
bool CheckOutputs(const std::vector<std::pair<std::string, std::string>>& outputs, std::string& error) {
  std::vector<std::pair<std::filesystem::path, std::string>> seen;  // where, and which option writes it
  for (const auto& [name, file] : outputs) {
    if (file.empty()) continue;
    const std::string shown = name == "--log" ? file.substr(0, file.size() - 4) : file;  // NAME.txt
    std::string why;
    if (!CheckOutputPath(file, why)) {
      error = name + " " + shown + ": " + why;
      return false;
    }
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec).lexically_normal();
    std::filesystem::path where = std::filesystem::weakly_canonical(absolute, ec);
    if (ec) where = absolute;
    for (const auto& [other, otherName] : seen)
      if (other == where) {
        error = name + " " + shown + ": " + otherName + " writes the same file";
        return false;
      }
    seen.emplace_back(where, name);
  }
  return true;
}

// The model of --modulation: not another than --kind's, and a kink the grid resolves. The kind
// then follows the k (0 between the kinds).
// A model other than the family: made from --potential and --param, its chain of `vacua`
// values (the kinks and one more; a scan's pair A,B,A) settled from --vacua or the model's own,
// checked to carry kinks, on a stable grid that resolves them. `warning` gets what should be
// said but does not refuse the line.
bool CheckFieldModel(const Reading& r, RunnerOptions& o, size_t vacua, double speed, std::string& error) {
  for (const char* name : {"--kind", "--modulation"})
    if (r.Has(name)) {
      error = r.Named("--potential") + ": " + r.Named(name) + " gives the family; give one model";
      return false;
    }
  try {
    o.model = FieldModel::Make(o.potential, o.params);
  } catch (const ModelError& e) {
    error = r.Named("--potential") + ": " + e.what();
    return false;
  }
  Potential pot;
  ApplyModel(pot, o);
  if (o.vacuaText.empty()) {
    o.vacua = DefaultVacua(pot, vacua);
  } else {
    if (o.vacuaText.size() != vacua) {
      error = r.Named("--vacua") + ": " + std::to_string(o.vacuaText.size()) + " vacua for " +
              (r.mode == kRun ? std::to_string(vacua - 1) + " kinks; a chain of n kinks passes n + 1 vacua"
                              : "the scan's pair; it passes three, A,B,A");
      return false;
    }
    o.vacua.clear();
    for (const std::string& text : o.vacuaText) try {
        o.vacua.push_back(FieldModel::Constant(text, o.params));
      } catch (const ModelError& e) {
        error = r.Named("--vacua") + ": " + text + ": " + e.what();
        return false;
      }
    if (r.mode != kRun && o.vacua[0] != o.vacua[2]) {
      error = r.Named("--vacua") + ": the scan's pair goes from A to B and back to A: give A,B,A";
      return false;
    }
  }
  ApplyModel(pot, o);
  std::string why = ChainProblem(pot);
  if (!why.empty() && o.vacuaText.empty()) why += "; give the chain's vacua with --vacua";
  if (why.empty()) why = UnstableGridMessage(pot, o.halfInterval, o.gridSize);
  if (why.empty()) why = UnresolvedKink(pot, o.halfInterval, o.gridSize, speed);
  if (!why.empty()) {
    error = (o.vacuaText.empty() ? r.Named("--potential") : r.Named("--vacua")) + ": " + why;
    return false;
  }
  return true;
}

bool CheckModel(const Reading& r, RunnerOptions& o, double speed, std::string& error) {
  if (!o.potential.empty()) return CheckFieldModel(r, o, r.mode == kRun ? o.kinks.size() + 1 : 3, speed, error);
  if (!o.modulation) return true;
  if (r.Has("--kind") && KindModulation(o.kind) != *o.modulation) {
    error = r.Named("--modulation") + ": " + r.Named("--kind") + " has k = " + Shortest(KindModulation(o.kind)) +
            "; give the kind or the k of the model";
    return false;
  }
  o.kind = KindOfModulation(*o.modulation);
  Potential pot;
  ApplyModel(pot, o);
  const std::string why = UnresolvedKink(pot, o.halfInterval, o.gridSize, speed);
  if (!why.empty()) {
    error = r.Named("--modulation") + ": " + why;
    return false;
  }
  return true;
}

// A sweep's own checks: the model is the sweep's, its outputs are its own, and every k's kink
// is resolved on the (coarsest) grid.
bool CheckSweep(const Reading& r, ScanOptions& s, std::string& error) {
  if (!s.Sweeps()) {
    for (const char* name : {"--sweep-csv", "--sweep-png", "--sweep-h5"})
      if (r.mode == kGrid && r.Has(name)) {
        error = std::string(name) + " needs --sweep-modulation or --sweep-param";
        return false;
      }
    return true;
  }
  const std::string sweep = s.sweepParam.empty() ? "--sweep-modulation" : "--sweep-param";
  for (const char* name : {"--kind", "--modulation"})
    if (r.Has(name)) {
      error = r.Named(name) + ": " + sweep + " gives the model of every scan";
      return false;
    }
  if (s.sweepParam.empty() && r.Has("--potential")) {
    error = r.Named("--sweep-modulation") + ": it sweeps the family's k; sweep a parameter of --potential with "
            "--sweep-param";
    return false;
  }
  if (r.Has("--scan-png") || r.Has("--scan-h5")) {
    const char* name = r.Has("--scan-png") ? "--scan-png" : "--scan-h5";
    error = r.Named(name) + ": a sweep writes its map and record with --sweep-png and --sweep-h5";
    return false;
  }
  for (double k : ScanVelocities(s.k0, s.k1, s.dk)) {
    ScanOptions one = s;
    std::string why = SetSweepValue(one, k);
    const RunnerOptions& model = one.run;
    Potential pot;
    ApplyModel(pot, model);
    if (why.empty()) why = ChainProblem(pot);
    if (why.empty()) why = UnstableGridMessage(pot, model.halfInterval, model.gridSize);
    if (why.empty()) why = UnresolvedKink(pot, model.halfInterval, model.gridSize, std::max(std::fabs(s.v0), std::fabs(s.v1)));
    if (!why.empty()) {
      error = r.Named(sweep) + ": at " + s.SweptName() + " = " + Shortest(k) + ": " + why;
      return false;
    }
  }
  return true;
}

}  // namespace

bool CheckRun(Reading& r, std::string& error) {
  RunnerOptions& o = r.run;
  if (!CheckModel(r, o, FastestSpeed(o), error)) return false;
  if (o.model && NeedsWindowStores(o)) {
    error = r.Named("--potential") + ": --png, --h5, --movie, --log and --mark draw the window's family only";
    return false;
  }
  if (r.Has("--colours") && o.pngFile.empty()) {
    error = "--colours needs --png";
    return false;
  }
  // The window keeps every kink within the interval; one outside it starts from a field that
  // the interval does not hold.
  for (const auto& [c, v] : o.kinks)
    if (std::fabs(c) > o.halfInterval) {
      const std::string from = r.kinksFromSetup ? r.Named("--setup") : "--kink " + Shortest(c) + ":" + Shortest(v);
      error = from + ": the kink at " + Shortest(c) + " lies outside the interval [-L, L], L = " +
              Shortest(o.halfInterval);
      return false;
    }
  // The window's stores hold the window's grids; the lean engine takes any.
  const bool window = NeedsWindowStores(o);
  if (window && !IsWindowGrid(o.gridSize)) {
    error = r.Named("--N") + ": --png, --h5, --movie, --mark and --log run on the window's grids, N = 256, 512 or 1024";
    return false;
  }
  if (o.untilTime) {
    const double reach = window ? SecondPhaseReach(o.gridSize, o.halfInterval) : LeanReach(o.gridSize, o.halfInterval);
    if (*o.untilTime > reach) {
      error = r.Named("--t") + ": beyond the run's reach: " +
              (window ? "the second phase ends at t = " : "its levels end at t = ") + Shortest(reach) +
              " for N = " + std::to_string(o.gridSize) + " and L = " + Shortest(o.halfInterval);
      return false;
    }
  }
  // The record's points lie within what the run computes: the first phase's range, or the
  // second phase's wider one when the run goes on into it.
  if (!o.h5File.empty() && o.h5Range) {
    const double dx = static_cast<double>(2.0L * o.halfInterval / o.gridSize);
    const bool secondPhase = o.untilTime && *o.untilTime > FirstPhaseReach(o.gridSize, o.halfInterval);
    RecordPoints points;
    std::string why;
    if (!ChooseRecordPoints(o.h5Range->first, o.h5Range->second, o.h5Stride, dx, ComputedHalfReach(secondPhase),
                            points, why)) {
      error = r.Named("--h5-range") + ": " + why;
      return false;
    }
  }
  if (!CheckGridIsStable(o, error)) return false;
  // Every output is checked before the run, so that hours of work never end in a file that
  // cannot be written.
  if (!CheckOutputs({{"--energy", o.energyFile},
                     {"--dump", o.dumpFile},
                     {"--png", o.pngFile},
                     {"--log", o.logName.empty() ? std::string() : o.logName + ".txt"},
                     {"--h5", o.h5File},
                     {"--movie", o.movieFile}},
                    error))
    return false;
  if (o.kinks.empty() && !o.rotator) {
    error = "nothing to run: give --kink C:V (up to nine), --setup FILE.kq1 or --rotator kF_Re,kF_Im,kD,qL,qR";
    return false;
  }
  return true;
}

bool CheckScan(Reading& r, std::string& error) {
  ScanOptions& s = r.scan;
  s.run = r.run;  // what every run of the scan shares
  if (r.autoPart) {
    std::string why;
    if (!ShareFromEnvironment([](const char* n) -> const char* { return std::getenv(n); }, r.partsOption, s.part,
                              s.parts, why)) {
      error = "--scan-part auto: " + why;
      return false;
    }
  } else if (r.partsOption) {
    error = "--scan-parts: only with --scan-part auto";
    return false;
  }
  if (r.Has("--colours") && s.pngFile.empty()) {
    error = "--colours needs --scan-png";
    return false;
  }
  const bool refine = s.refineTolerance > 0;
  if (!s.edgesFile.empty() && !refine && r.mode != kMerge) {
    error = "--edges needs --refine";
    return false;
  }
  if (!s.convergeGrids.empty() && !refine && s.parts == 1) {
    error = "--converge needs --refine (or --scan-part, for a share of a split scan)";
    return false;
  }
  const bool grid = r.mode == kGrid;
  if (refine && grid && s.parts > 1) {
    error = "--scan-part: a split scan is refined from its concatenated CSVs with --from-csv";
    return false;
  }
  if (refine && grid && !RefinableTolerance(s.refineTolerance, std::max(std::fabs(s.v0), std::fabs(s.v1)))) {
    error = r.Named("--refine") + ": " + TooFineMessage();
    return false;
  }
  if (!s.convergeGrids.empty() && r.Has("--N")) {
    error = r.Named("--N") + ": --converge gives the grids";
    return false;
  }
  // The coarsest grid has the longest time step (the stability check below), the finest the
  // shortest reach.
  if (!s.convergeGrids.empty()) s.run.gridSize = s.convergeGrids.front();
  const std::vector<std::pair<std::string, std::string>> outputs = {
      {"--scan-csv", s.csvFile},   {"--scan-png", s.pngFile},   {"--scan-h5", s.h5File},
      {"--edges", s.edgesFile},    {"--sweep-csv", s.sweepCsv}, {"--sweep-png", s.sweepPng},
      {"--sweep-h5", s.sweepH5}};
  if (s.parts > 1 && (r.Has("--sweep-csv") || r.Has("--sweep-png"))) {
    const char* name = r.Has("--sweep-csv") ? "--sweep-csv" : "--sweep-png";
    error = r.Named(name) + ": a share holds part of every scan; --scan-merge of the shares' --sweep-h5 writes it";
    return false;
  }
  // A merge and a refinement of a record take the scan's parameters from the records.
  if (r.mode == kMerge || r.mode == kFromH5) return CheckOutputs(outputs, error);

  RunnerOptions& run = s.run;
  const double C = s.separation;
  if (!r.Has("--L")) run.halfInterval = C + kScanDefaultSpare;
  if (run.halfInterval < C + kScanMinSpare) {
    error = r.Named("--L") + ": the pair at -C and +C needs L >= C + " + Shortest(kScanMinSpare) +
            " (C = " + Shortest(C) + ")";
    return false;
  }
  if (!run.untilTime) run.untilTime = kScanDefaultTime;
  // The scan shares the cores among its runs; a run's step takes more threads only on request.
  if (!r.Has("--threads")) run.threads = 1;
  const double reach = LeanReach(s.convergeGrids.empty() ? run.gridSize : s.convergeGrids.back(), run.halfInterval);
  if (!(*run.untilTime > 0) || *run.untilTime > reach) {
    error = r.Named("--t") + ": a scan's time limit lies above 0 and at most at " + Shortest(reach) +
            ", the reach of a run's levels for this N and L";
    return false;
  }
  const double fastest = std::max(std::fabs(s.v0), std::fabs(s.v1));
  if (!s.sweepParam.empty()) {
    if (r.Has("--sweep-modulation")) {
      error = r.Named("--sweep-param") + ": --sweep-modulation sweeps the family's k; give one sweep";
      return false;
    }
    for (const ModelParam& p : run.params)
      if (p.name == s.sweepParam) {
        error = r.Named("--param") + ": --sweep-param gives " + p.name;
        return false;
      }
    run.params.push_back(ModelParam{s.sweepParam, s.k0});  // each scan's value is set by the sweep
  }
  if (!CheckModel(r, run, fastest, error) || !CheckGridIsStable(run, error) || !CheckSweep(r, s, error)) return false;
  return CheckOutputs(outputs, error);
}

}  // namespace kl::cli
