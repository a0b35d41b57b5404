#include "records/scan_record.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <csignal>
#include <thread>
#include <cstdio>
#include <cmath>
#include <limits>
#include <map>

#include "records/scan_csv.h"
#include "engine/sim_state.h"
#include "study/scan_grid.h"
#include "base/text_out.h"
#include "records/hdf5_util.h"
#include "records/scan_record_layout.h"
#include "base/numbers.h"
#include "soliton/potential.h"

namespace kl {

using h5::Handle;

namespace {

constexpr size_t kMaxRecordRuns = 1000000;
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

double OrNaN(const std::optional<double>& v) { return v ? *v : kNaN; }
std::optional<double> FromNaN(double v) { return std::isnan(v) ? std::nullopt : std::optional<double>(v); }

}  // namespace

namespace layout {

bool WriteAll(hid_t file, const ScanRecord& rec) {
  const ScanParameters& p = rec.parameters;
  const size_t n = rec.runs.size();
  std::vector<double> v, first, out, distance, trace, between;
  std::vector<int> bounces;
  std::vector<std::string> classes;
  trace.reserve(n * kTraceSamples);
  for (const CollisionRun& run : rec.runs) {
    v.push_back(run.v);
    classes.push_back(RunClassName(ClassOf(run)));
    bounces.push_back(run.bounces);
    first.push_back(OrNaN(run.firstCollision));
    out.push_back(OrNaN(run.outgoingSpeed));
    distance.push_back(OrNaN(run.endDistance));
    between.push_back(OrNaN(run.vacuumBetween));
    if (run.centre.size() != static_cast<size_t>(kTraceSamples)) return false;
    trace.insert(trace.end(), run.centre.begin(), run.centre.end());
  }
  const std::vector<double> times = TraceTimes(p.tMax);
  const int kind = p.kind, gridSize = p.gridSize, part = rec.part, parts = rec.parts;
  const int complete = rec.complete && rec.MissingGridRuns().empty() ? 1 : 0;
  const int gridRuns = static_cast<int>(std::min<size_t>(rec.GridRuns(), std::numeric_limits<int>::max()));
  bool ok = h5::WriteDataset(file, "v", H5T_NATIVE_DOUBLE, {n}, v.data(), true) &&
            h5::WriteStrings(file, "class", classes) &&
            h5::WriteDataset(file, "bounces", H5T_NATIVE_INT, {n}, bounces.data(), true) &&
            h5::WriteDataset(file, "first_collision", H5T_NATIVE_DOUBLE, {n}, first.data(), true) &&
            h5::WriteDataset(file, "v_out", H5T_NATIVE_DOUBLE, {n}, out.data(), true) &&
            h5::WriteDataset(file, "end_distance", H5T_NATIVE_DOUBLE, {n}, distance.data(), true) &&
            h5::WriteDataset(file, "centre_t", H5T_NATIVE_DOUBLE, {times.size()}, times.data(), true) &&
            h5::WriteDataset(file, "centre_u", H5T_NATIVE_DOUBLE, {n, times.size()}, trace.data(), true);
  if (ok && !p.potential.empty()) {
    std::string params;
    for (const ModelParam& m : p.params) params += (params.empty() ? "" : ",") + m.name + "=" + Shortest(m.value);
    ok = h5::WriteStringAttribute(file, "potential", p.potential) && h5::WriteStringAttribute(file, "params", params) &&
         h5::WriteDataset(file, "vacua", H5T_NATIVE_DOUBLE, {p.vacua.size()}, p.vacua.data(), false) &&
         h5::WriteDataset(file, "vacuum_between", H5T_NATIVE_DOUBLE, {n}, between.data(), true);
  }
  if (ok && p.refineTolerance > 0) {
    std::vector<double> edgeV;
    std::vector<std::string> low, high;
    for (const ScanEdge& e : rec.edges) {
      edgeV.insert(edgeV.end(), {e.vLow, e.vHigh});
      low.push_back(RunClassName(e.low));
      high.push_back(RunClassName(e.high));
    }
    ok = h5::WriteDataset(file, "edge_v", H5T_NATIVE_DOUBLE, {rec.edges.size(), 2}, edgeV.data(), false) &&
         h5::WriteStrings(file, "edge_class_low", low) && h5::WriteStrings(file, "edge_class_high", high);
  }
  return ok && h5::WriteAttribute(file, "kind", H5T_NATIVE_INT, {}, &kind) &&
         h5::WriteAttribute(file, "modulation", H5T_NATIVE_DOUBLE, {}, &p.modulation) &&
         h5::WriteAttribute(file, "L", H5T_NATIVE_DOUBLE, {}, &p.halfInterval) &&
         h5::WriteAttribute(file, "N", H5T_NATIVE_INT, {}, &gridSize) &&
         h5::WriteAttribute(file, "separation", H5T_NATIVE_DOUBLE, {}, &p.separation) &&
         h5::WriteAttribute(file, "t", H5T_NATIVE_DOUBLE, {}, &p.tMax) &&
         h5::WriteStringAttribute(file, "precision", p.precision) &&
         h5::WriteAttribute(file, "v0", H5T_NATIVE_DOUBLE, {}, &p.v0) &&
         h5::WriteAttribute(file, "v1", H5T_NATIVE_DOUBLE, {}, &p.v1) &&
         h5::WriteAttribute(file, "dv", H5T_NATIVE_DOUBLE, {}, &p.dv) &&
         h5::WriteAttribute(file, "refine", H5T_NATIVE_DOUBLE, {}, &p.refineTolerance) &&
         h5::WriteAttribute(file, "part", H5T_NATIVE_INT, {}, &part) &&
         h5::WriteAttribute(file, "parts", H5T_NATIVE_INT, {}, &parts) &&
         h5::WriteAttribute(file, "complete", H5T_NATIVE_INT, {}, &complete) &&
         h5::WriteAttribute(file, "grid_runs", H5T_NATIVE_INT, {}, &gridRuns) &&
         h5::WriteStringAttribute(file, "program", rec.program) &&
         h5::WriteStringAttribute(file, "command", rec.command);
}

// A model's attributes: the potential, its parameters ("a=1,b=2") and the pair's vacua, the
// model made from them as the command line makes it; none for the family.
bool ReadModel(hid_t file, ScanParameters& p, std::string& why) {
  p.potential.clear();
  p.params.clear();
  p.vacua.clear();
  if (H5Aexists(file, "potential") <= 0) return true;
  const std::optional<std::string> potential = h5::ReadStringAttribute(file, "potential");
  const std::optional<std::string> params = h5::ReadStringAttribute(file, "params");
  if (!potential || potential->empty() || !params) {
    why = "the attributes potential and params are not texts";
    return false;
  }
  p.potential = *potential;
  for (size_t start = 0; !params->empty();) {
    const size_t comma = std::min(params->find(',', start), params->size());
    const std::string item = params->substr(start, comma - start);
    const size_t eq = item.find('=');
    double value = 0;
    if (eq == std::string::npos || eq == 0 || !ParseNumber(item.substr(eq + 1), value)) {
      why = "the attribute params is not a list NAME=VALUE,...";
      return false;
    }
    p.params.push_back(ModelParam{item.substr(0, eq), value});
    if (comma == params->size()) break;
    start = comma + 1;
  }
  if (!h5::ReadDoubles(file, "vacua", 3, p.vacua) || p.vacua.size() != 3 || !std::isfinite(p.vacua[0]) ||
      !std::isfinite(p.vacua[1]) || p.vacua[0] != p.vacua[2] || p.vacua[0] == p.vacua[1]) {
    why = "the dataset vacua is not a pair's three vacua A,B,A";
    return false;
  }
  try {
    (void)FieldModel::Make(p.potential, p.params);
  } catch (const ModelError& e) {
    why = "the potential " + p.potential + " cannot be used: " + e.what();
    return false;
  }
  return true;
}

// Reads the record's contents from an open file; `why` says what is wrong.
bool ReadAll(hid_t file, ScanRecord& rec, std::string& why) {
  ScanParameters& p = rec.parameters;
  double kind = 0, gridSize = 0, part = 0, parts = 0;
  long long integer = 0;
  auto readInt = [&](const char* name, double& value) {
    if (!h5::ReadScalar(file, name, integer)) return false;
    value = static_cast<double>(integer);
    return true;
  };
  if (!readInt("kind", kind) || !h5::ReadScalar(file, "L", p.halfInterval) || !readInt("N", gridSize) ||
      !h5::ReadScalar(file, "separation", p.separation) || !h5::ReadScalar(file, "t", p.tMax) ||
      !h5::ReadScalar(file, "v0", p.v0) || !h5::ReadScalar(file, "v1", p.v1) || !h5::ReadScalar(file, "dv", p.dv) ||
      !h5::ReadScalar(file, "refine", p.refineTolerance) || !readInt("part", part) || !readInt("parts", parts)) {
    why = "an attribute of the scan (kind, L, N, separation, t, v0, v1, dv, refine, part, parts) is missing";
    return false;
  }
  const std::optional<std::string> precision = h5::ReadStringAttribute(file, "precision");
  if (!precision || (*precision != "extended" && *precision != "double")) {
    why = "the precision is not extended or double";
    return false;
  }
  p.precision = *precision;
  rec.program = h5::ReadStringAttribute(file, "program").value_or("");
  rec.command = h5::ReadStringAttribute(file, "command").value_or("");
  // A record written before the modulation was a parameter has its kind's.
  if (H5Aexists(file, "modulation") > 0) {
    if (!h5::ReadScalar(file, "modulation", p.modulation)) {
      why = "the attribute modulation is not a number";
      return false;
    }
  } else {
    p.modulation = KindModulation(static_cast<int>(kind));
  }
  if (!(p.modulation >= kMinModulation && p.modulation <= kMaxModulation) ||
      (kind >= kMinKind && kind <= kMaxKind ? p.modulation != KindModulation(static_cast<int>(kind)) : kind != 0)) {
    why = "the kind and the modulation do not agree (kind 1 ... 4 with its k, or 0 with k from 0 to 20)";
    return false;
  }
  if (kind < 0 || kind > 4 || gridSize < kMinGrid || gridSize > kMaxGrid || std::fmod(gridSize, 2) != 0 ||
      !(p.tMax > 0 && std::isfinite(p.tMax)) || !(p.separation > 0 && std::isfinite(p.separation)) ||
      !IsUsableHalfInterval(p.halfInterval) || !(p.refineTolerance >= 0) || parts < 1 || parts > 1e6 || part < 1 || part > parts) {
    why = "the scan's parameters are out of range";
    return false;
  }
  p.kind = static_cast<int>(kind);
  p.gridSize = static_cast<int>(gridSize);
  if (!ReadModel(file, p, why)) return false;
  rec.part = static_cast<int>(part);
  rec.parts = static_cast<int>(parts);
  // A record written before records told whether they were complete is complete when it holds
  // its whole share of the grid.
  long long complete = 1;
  if (H5Aexists(file, "complete") > 0 && (!h5::ReadScalar(file, "complete", complete) || complete < 0 || complete > 1)) {
    why = "the attribute complete is not 0 or 1";
    return false;
  }

  std::vector<double> v, bounces, first, out, distance, times, trace;
  std::vector<std::string> classes;
  if (!h5::ReadDoubles(file, "v", kMaxRecordRuns, v) || !h5::ReadStrings(file, "class", kMaxRecordRuns, classes) ||
      !h5::ReadDoubles(file, "bounces", kMaxRecordRuns, bounces) ||
      !h5::ReadDoubles(file, "first_collision", kMaxRecordRuns, first) ||
      !h5::ReadDoubles(file, "v_out", kMaxRecordRuns, out) ||
      !h5::ReadDoubles(file, "end_distance", kMaxRecordRuns, distance) ||
      !h5::ReadDoubles(file, "centre_t", kTraceSamples, times)) {
    why = "the datasets v, class, bounces, first_collision, v_out, end_distance and centre_t are not all there";
    return false;
  }
  const size_t n = v.size();
  std::vector<double> between(n, std::nan(""));
  if (!p.potential.empty() &&
      (!h5::ReadDoubles(file, "vacuum_between", kMaxRecordRuns, between) || between.size() != n)) {
    why = "a model's record has no dataset vacuum_between of the table's length";
    return false;
  }
  if (classes.size() != n || bounces.size() != n || first.size() != n || out.size() != n || distance.size() != n) {
    why = "the datasets of the table differ in length";
    return false;
  }
  if (times != TraceTimes(p.tMax)) {
    why = "centre_t is not the common time grid of " + std::to_string(kTraceSamples) + " times from 0 to t";
    return false;
  }
  const std::optional<std::vector<hsize_t>> shape = h5::DatasetShape(file, "centre_u");
  if (!shape || *shape != std::vector<hsize_t>{n, static_cast<hsize_t>(kTraceSamples)} ||
      !h5::ReadDoubles(file, "centre_u", std::max<size_t>(n, 1) * kTraceSamples, trace)) {
    why = "centre_u is not a trace of " + std::to_string(kTraceSamples) + " values for every velocity";
    return false;
  }
  rec.runs.clear();
  const std::vector<double> grid = ScanVelocities(p.v0, p.v1, p.dv);
  std::vector<double> share;
  for (size_t i : PartIndices(grid.size(), rec.part, rec.parts)) share.push_back(grid[i]);
  // No run of the scheme leaves the cone: the kinks' distance stays within the interval widened
  // by the light cone on both sides.
  const double reach = 2 * (p.halfInterval + p.tMax);
  const double lowest = std::min(p.v0, p.v1) - std::fabs(p.dv), highest = std::max(p.v0, p.v1) + std::fabs(p.dv);
  for (size_t k = 0; k < n; ++k) {
    const std::optional<RunClass> c = ParseRunClass(classes[k]);
    const std::string at = "row " + std::to_string(k + 1) + ": ";
    if (!(std::fabs(v[k]) < 1) || (k > 0 && !(v[k] > v[k - 1]))) {
      why = at + "the velocities are not increasing within (-1, 1)";
      return false;
    }
    if (!c || bounces[k] != std::floor(bounces[k]) || bounces[k] < 0 || bounces[k] > 1e6 ||
        (c->kind == RunClass::Escape && c->bounces != bounces[k])) {
      why = at + "the class and the bounces do not agree";
      return false;
    }
    if (p.potential.empty() ? c->kind == RunClass::Through
                            : (c->kind == RunClass::Escape || c->kind == RunClass::Through) != std::isfinite(between[k])) {
      why = at + "the class and vacuum_between do not agree";
      return false;
    }
    for (double x : {first[k], out[k], distance[k]})
      if (std::isinf(x)) {
        why = at + "a value is infinite";
        return false;
      }
    // A scan's runs lie on its grid; a refinement's bisection runs between its ends.
    if (p.refineTolerance > 0 ? !(v[k] >= lowest && v[k] <= highest)
                              : !std::binary_search(share.begin(), share.end(), v[k])) {
      why = at + "the velocity " + Shortest(v[k]) + " is not one of the record's share of its grid";
      return false;
    }
    if (!std::isnan(first[k]) && !(first[k] >= 0 && first[k] <= p.tMax * (1 + 1e-9) + 1)) {
      why = at + "first_collision " + Shortest(first[k]) + " lies outside the run's time 0 ... " + Shortest(p.tMax);
      return false;
    }
    if (!std::isnan(out[k]) && !(std::fabs(out[k]) <= 1)) {
      why = at + "v_out " + Shortest(out[k]) + " is not a speed below light's";
      return false;
    }
    if (!std::isnan(distance[k]) && !(std::fabs(distance[k]) <= reach)) {
      why = at + "end_distance " + Shortest(distance[k]) + " lies beyond the run's reach " + Shortest(reach);
      return false;
    }
    CollisionRun run;
    run.v = v[k];
    run.finished = true;
    run.outcome = c->kind == RunClass::Capture   ? CollisionOutcome::Capture
                  : c->kind == RunClass::Escape  ? CollisionOutcome::Escape
                  : c->kind == RunClass::Through ? CollisionOutcome::Through
                                                 : CollisionOutcome::None;
    run.vacuumBetween = FromNaN(between[k]);
    run.bounces = static_cast<int>(bounces[k]);
    run.firstCollision = FromNaN(first[k]);
    run.outgoingSpeed = FromNaN(out[k]);
    run.endDistance = FromNaN(distance[k]);
    run.time = times;
    run.centre.assign(trace.begin() + static_cast<long>(k * kTraceSamples),
                      trace.begin() + static_cast<long>((k + 1) * kTraceSamples));
    for (double u : run.centre)
      if (!std::isfinite(u)) {
        why = at + "the trace holds a value that is not finite";
        return false;
      }
    rec.runs.push_back(std::move(run));
  }
  rec.complete = complete == 1 && rec.MissingGridRuns().empty();
  rec.edges.clear();
  if (p.refineTolerance > 0) {
    std::vector<double> edgeV;
    std::vector<std::string> low, high;
    const std::optional<std::vector<hsize_t>> edgeShape = h5::DatasetShape(file, "edge_v");
    if (!edgeShape || edgeShape->size() != 2 || (*edgeShape)[1] != 2 ||
        !h5::ReadDoubles(file, "edge_v", 2 * kMaxRecordRuns, edgeV) ||
        !h5::ReadStrings(file, "edge_class_low", kMaxRecordRuns, low) ||
        !h5::ReadStrings(file, "edge_class_high", kMaxRecordRuns, high) || low.size() != edgeV.size() / 2 ||
        high.size() != low.size()) {
      why = "a refined scan's edges (edge_v, edge_class_low, edge_class_high) are missing or differ in length";
      return false;
    }
    for (size_t k = 0; k < low.size(); ++k) {
      const std::optional<RunClass> a = ParseRunClass(low[k]), b = ParseRunClass(high[k]);
      if (!a || !b || !(edgeV[2 * k] < edgeV[2 * k + 1])) {
        why = "edge " + std::to_string(k + 1) + " is not a pair of increasing velocities with their classes";
        return false;
      }
      rec.edges.push_back(ScanEdge{edgeV[2 * k], edgeV[2 * k + 1], *a, *b});
    }
  }
  return true;
}

}  // namespace layout

using layout::ReadAll;
using layout::WriteAll;

bool WriteScanRecord(const std::string& path, const ScanRecord& record, std::string& error) {
  return h5::WriteFileImage(path, [&](hid_t file) { return WriteAll(file, record); }, error);
}

namespace layout {

bool WriteConvergedGroups(hid_t at, const std::vector<ScanRecord>& grids, const std::string& edgesCsv) {
  bool ok = true;
  std::vector<int> sizes;
  std::string names;
  for (size_t k = 0; ok && k < grids.size(); ++k) {
    // A repeated grid gets a group of its own: N1024, N1024_2, ...
    const int n = grids[k].parameters.gridSize;
    const long same = std::count(sizes.begin(), sizes.end(), n);
    sizes.push_back(n);
    const std::string name = "N" + std::to_string(n) + (same > 0 ? "_" + std::to_string(same + 1) : "");
    names += (k > 0 ? "," : "") + name;
    Handle group(H5Gcreate2(at, name.c_str(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT), H5Gclose);
    ok = group.ok() && WriteAll(group.get(), grids[k]);
  }
  return ok && h5::WriteAttribute(at, "converge", H5T_NATIVE_INT, {sizes.size()}, sizes.data()) &&
         h5::WriteStringAttribute(at, "groups", names) && h5::WriteStringAttribute(at, "edges", edgesCsv);
}

}  // namespace layout

bool WriteConvergedScanRecord(const std::string& path, const std::vector<ScanRecord>& grids,
                              const std::string& edgesCsv, std::string& error) {
  return h5::WriteFileImage(
      path, [&](hid_t file) { return layout::WriteConvergedGroups(file, grids, edgesCsv); }, error);
}

namespace layout {

constexpr int kReadable = 10, kRefused = 11;  // the trial reader's exit codes

// The HDF5 library that Debian ships can crash on a damaged file (the fuzzer found a use after
// free in its attribute lookup). A record is therefore read once in a child process first; only
// when that child ends normally is it read here. False, with `error`, when the child did not.
bool ReadsWithoutCrashing(const std::string& path, double seconds, std::string& error,
                          const std::atomic<bool>* stop) {
  std::fflush(nullptr);
  const pid_t child = fork();
  if (child < 0) return true;  // no child to try in: read as it is
  if (child == 0) {
    const int quiet = open("/dev/null", O_WRONLY);
    if (quiet >= 0) dup2(quiet, STDERR_FILENO);
    RecordSet set;
    std::string why;
    _exit(ReadRecordSetDirectly(path, set, why) ? kReadable : kRefused);
  }
  // The library can also loop on a damaged file: the trial has a time limit.
  int status = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
  pid_t done = 0;
  while ((done = waitpid(child, &status, WNOHANG)) == 0 || (done < 0 && errno == EINTR)) {
    if (stop && stop->load()) {
      kill(child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      error = path + ": reading stopped";
      return false;
    }
    if (std::chrono::steady_clock::now() > deadline) {
      kill(child, SIGKILL);
      while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
      }
      error = path + ": a damaged HDF5 file, which the HDF5 library does not finish reading in " +
              std::to_string(static_cast<int>(seconds)) + " s";
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  }
  if (done > 0 && WIFEXITED(status) && (WEXITSTATUS(status) == kReadable || WEXITSTATUS(status) == kRefused))
    return true;
  error = path + ": a damaged HDF5 file, on which the HDF5 library fails" +
          (done > 0 && WIFSIGNALED(status) ? " (signal " + std::to_string(WTERMSIG(status)) + ")" : std::string());
  return false;
}

}  // namespace layout

}  // namespace kl

namespace kl {

size_t ScanRecord::GridRuns() const {
  const ScanParameters& p = parameters;
  return PartIndices(ScanVelocities(p.v0, p.v1, p.dv).size(), part, parts).size();
}

std::vector<double> ScanRecord::MissingGridRuns() const {
  const ScanParameters& p = parameters;
  const std::vector<double> all = ScanVelocities(p.v0, p.v1, p.dv);
  std::vector<double> missing;
  size_t r = 0;
  for (size_t i : PartIndices(all.size(), part, parts)) {
    while (r < runs.size() && runs[r].v < all[i]) ++r;
    if (r == runs.size() || runs[r].v != all[i]) missing.push_back(all[i]);
  }
  return missing;
}

std::string IncompleteReason(const ScanRecord& record) {
  const size_t missing = record.MissingGridRuns().size(), grid = record.GridRuns();
  if (missing > 0)
    return std::to_string(grid - missing) + " of " + std::to_string(grid) + " grid runs";
  return record.parameters.refineTolerance > 0 ? "its refinement did not finish" : "its work did not finish";
}

const ScanRecord* RecordSet::FirstIncomplete(std::string& where) const {
  for (size_t e = 0; e < entries.size(); ++e)
    for (const ScanRecord& rec : entries[e])
      if (!rec.complete) {
        where.clear();
        if (Sweep()) where = SweepGroupName(modulations[e]);
        if (converged) where += (where.empty() ? "" : "/") + ("N" + std::to_string(rec.parameters.gridSize));
        return &rec;
      }
  return nullptr;
}

}  // namespace kl
