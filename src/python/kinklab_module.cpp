// The compiled half of the Python module: the package kinklab (python/kinklab) turns its
// keyword arguments into the runner's command line, and the functions here read that line with
// the runner's own reader (so that a bad argument is refused with the runner's message, as a
// ValueError) and run it on the study library, with the interpreter's lock released.
#include <pybind11/numpy.h>
#include <pybind11/pybind11.h>
#include <pybind11/stl.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "base/text_out.h"
#include "base/version.h"
#include "cli/options.h"
#include "cli/run_command.h"
#include "cli/scan_runs.h"
#include "cli/sweep.h"
#include "soliton/chain_check.h"
#include "soliton/profile.h"
#include "soliton/static_kink.h"
#include "study/collision.h"
#include "study/converge.h"
#include "study/scan_grid.h"
#include "study/single_run.h"
#include "study/study.h"

namespace py = pybind11;

namespace kl {
namespace {

Command Read(const std::vector<std::string>& args) {
  Command command;
  std::string error;
  if (!ReadCommandLine(args, command, error)) throw py::value_error(error);
  return command;
}

RunnerOptions ReadRun(const std::vector<std::string>& args) {
  Command command = Read(args);
  if (command.kind != CommandKind::Run) throw py::value_error("not a single run");
  return command.run;
}

ScanOptions ReadScan(const std::vector<std::string>& args) {
  Command command = Read(args);
  if (command.kind != CommandKind::Scan) throw py::value_error("not a scan");
  return command.scan;
}

py::array_t<double> Array(const std::vector<double>& values) {
  py::array_t<double> a(static_cast<py::ssize_t>(values.size()));
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

py::array_t<double> Matrix(const std::vector<double>& values, size_t rows, size_t columns) {
  py::array_t<double> a({static_cast<py::ssize_t>(rows), static_cast<py::ssize_t>(columns)});
  std::copy(values.begin(), values.end(), a.mutable_data());
  return a;
}

py::object Optional(const std::optional<double>& v) { return v ? py::object(py::float_(*v)) : py::object(py::none()); }

// The counts of a study's runs as its worker thread advances them, and the wake-up of the
// interpreter's thread that reports them.
class Counts {
 public:
  std::atomic<size_t> done{0}, total{0};
  // Wakes the waiting thread to report a change at once.
  void Changed() {
    std::lock_guard<std::mutex> lock(mutex);
    changed = true;
    wake.notify_all();
  }
  std::mutex mutex;
  std::condition_variable wake;
  bool changed = false, over = false;
};

// Runs `work` on a thread of its own while this thread, the interpreter's, waits without the
// lock: whenever the counts change, and every tenth of a second, it tells `progress` (when not
// None) the runs done and queued, and lets Python handle its signals. Ctrl-C (or an exception
// the callback raises) sets `stop`, which the runs check after every step; the work then ends
// with what finished, and the exception is returned (not raised) for the caller to raise with
// the partial result. An exception of the work itself is raised here.
std::optional<py::error_already_set> RunWatched(const std::function<void()>& work, std::atomic<bool>& stop,
                                                 Counts& counts, const py::object& progress) {
  std::exception_ptr failure;
  std::thread worker([&] {
    try {
      work();
    } catch (...) {
      failure = std::current_exception();
    }
    std::lock_guard<std::mutex> lock(counts.mutex);
    counts.over = true;
    counts.wake.notify_all();
  });
  std::optional<py::error_already_set> raised;
  size_t shownDone = SIZE_MAX, shownTotal = SIZE_MAX;
  for (bool end = false; !end;) {
    {
      py::gil_scoped_release release;
      std::unique_lock<std::mutex> lock(counts.mutex);
      counts.wake.wait_for(lock, std::chrono::milliseconds(100), [&] { return counts.over || counts.changed; });
      end = counts.over;
      counts.changed = false;
    }
    if (raised) continue;
    try {
      const size_t done = counts.done.load(), total = counts.total.load();
      if (!progress.is_none() && (done != shownDone || total != shownTotal)) {
        progress(done, total);
        shownDone = done;
        shownTotal = total;
      }
      if (PyErr_CheckSignals() != 0) throw py::error_already_set();
    } catch (py::error_already_set& e) {
      raised.emplace(std::move(e));
      stop = true;
    }
  }
  {
    py::gil_scoped_release release;
    worker.join();
  }
  if (failure) std::rethrow_exception(failure);
  return raised;
}

// The model's static kink sampled at N + 1 points of [-L, L], with what the runner prints of it.
py::dict StaticKinkOf(const std::vector<std::string>& args, double halfInterval, int points) {
  const RunnerOptions o = ReadRun(args);
  if (!(halfInterval > 0) || !std::isfinite(halfInterval)) throw py::value_error("L must be a positive number");
  if (points < 2 || points > 10'000'000) throw py::value_error("N must be between 2 and 10000000");
  Potential pot;
  ApplyModel(pot, o);
  ProfileResult profile;
  std::vector<double> x(static_cast<size_t>(points) + 1), u(x.size());
  {
    py::gil_scoped_release release;
    ProfileState state;
    state.OduXMin = -halfInterval;
    profile = pot.Model ? ModelKinkProfile(pot) : SolveProfile(state, pot, pot.ParamA, halfInterval, nullptr);
    const StaticKink kink = pot.Model ? StaticKink(pot, pot.Vacua.at(0), pot.Vacua.at(1)) : StaticKink(pot, pot.ParamA);
    const bool descends = pot.Model && pot.Vacua.at(1) < pot.Vacua.at(0);
    for (size_t i = 0; i < x.size(); ++i) {
      x[i] = static_cast<double>(-static_cast<long double>(halfInterval) +
                                 2.0L * halfInterval * static_cast<long double>(i) / points);
      u[i] = descends ? kink.MirrorAt(x[i]) : kink.At(x[i]);
    }
  }
  py::dict d;
  d["x"] = Array(x);
  d["u"] = Array(u);
  d["height"] = profile.Height;
  d["width"] = profile.Width;
  d["energy"] = profile.Energy;
  d["rest_mass"] = KinkMass(pot, pot.ParamA);
  return d;
}

py::dict RunOf(const std::vector<std::string>& args, long every, const py::object& progress) {
  const RunnerOptions o = ReadRun(args);
  if (every < 0) throw py::value_error("every must be 0 (no rows) or a positive number of steps");
  ChainRunRequest request = ChainRequestOf(o);
  request.rowEvery = every;
  request.energyEveryStep = true;
  std::vector<std::string> warnings;
  const Potential& pot = request.pot;
  if (const std::string coarse = ResolutionWarning(pot, o.halfInterval, o.gridSize, FastestSpeed(o)); !coarse.empty())
    warnings.push_back(coarse);
  if (const std::string flat = ChainWarning(pot); !flat.empty()) warnings.push_back("warning: " + flat);
  std::atomic<bool> stop{false};
  Counts counts;
  ChainRunResult r;
  counts.total = 1000;  // thousandths of the run's time
  std::optional<py::error_already_set> raised = RunWatched(
      [&] {
        r = RunChain(request, &stop, [&](double t) {
          counts.done = static_cast<size_t>(1000 * std::clamp(t / request.tEnd, 0.0, 1.0));
        });
      },
      stop, counts, progress);
  const size_t columns = static_cast<size_t>(o.gridSize) + 1;
  std::vector<double> x(columns);
  for (size_t i = 0; i < columns; ++i)
    x[i] = static_cast<double>(static_cast<long double>(static_cast<long>(i) - o.gridSize / 2) * r.dx);
  py::dict d;
  d["t"] = Array(r.rowTimes);
  d["x"] = Array(x);
  d["u"] = Matrix(r.rows, r.rowTimes.size(), columns);
  d["step_t"] = Array(r.stepTimes);
  d["energy"] = Array(r.stepEnergies);
  py::dict keys;
  keys["version"] = ProgramVersion();
  if (const std::string model = ModelLine(pot); !model.empty()) keys["model"] = model;
  keys["height"] = r.profile.Height;
  keys["width"] = r.profile.Width;
  keys["energy"] = r.profile.Energy;
  keys["dx"] = r.dx;
  keys["dt"] = r.dt;
  keys["reach_time"] = r.reach;
  keys["steps"] = r.steps;
  keys["t"] = r.t;
  keys["phase"] = r.phase;
  keys["E0"] = r.e0;
  keys["E"] = r.e;
  keys["max_rel_drift"] = r.drift;
  keys["max_rel_drift_centred"] = r.centredDrift;
  keys["kink_mass"] = r.kinkMass;
  keys["precision"] = PrecisionName(o.precision);
  keys["threads"] = r.threads;
  keys["points_per_second"] = r.pointsPerSecond;
  d["keys"] = keys;
  d["stopped"] = r.stopped;
  d["warnings"] = warnings;
  if (raised) d["interrupt"] = raised->value();
  return d;
}

py::dict ScanDict(const StudyScan& p, bool refined) {
  std::vector<double> v, first, out, distance, between, traces;
  std::vector<std::string> classes;
  std::vector<int> bounces;
  for (const CollisionRun& run : p.runs) {
    v.push_back(run.v);
    classes.push_back(RunClassName(ClassOf(run)));
    bounces.push_back(run.bounces);
    first.push_back(run.firstCollision.value_or(NAN));
    out.push_back(run.outgoingSpeed.value_or(NAN));
    distance.push_back(run.endDistance.value_or(NAN));
    between.push_back(run.vacuumBetween.value_or(NAN));
    if (run.centre.size() == static_cast<size_t>(kTraceSamples))
      traces.insert(traces.end(), run.centre.begin(), run.centre.end());
    else
      traces.insert(traces.end(), kTraceSamples, NAN);
  }
  py::dict d;
  d["k"] = p.value;
  d["N"] = p.grid;
  d["v"] = Array(v);
  d["outcome"] = classes;
  d["bounces"] = bounces;
  d["first_collision"] = Array(first);
  d["v_out"] = Array(out);
  d["end_distance"] = Array(distance);
  d["vacuum_between"] = Array(between);
  d["trace"] = Matrix(traces, p.runs.size(), static_cast<size_t>(kTraceSamples));
  py::list edges;
  for (const ScanEdge& e : p.edges)
    edges.append(py::make_tuple(e.vLow, e.vHigh, RunClassName(e.low), RunClassName(e.high)));
  d["edges"] = edges;
  const std::optional<ScanEdge> critical = CriticalEdge(ClassesOf(p.runs));
  d["critical"] = critical ? py::object(py::make_tuple(critical->vLow, critical->vHigh)) : py::object(py::none());
  d["refined"] = refined;
  d["complete"] = p.complete;
  return d;
}

py::dict ConvergedDict(const StudyValue& value, size_t grids) {
  py::list list;
  for (const ConvergedEdge& e : *value.converged) {
    py::list vs, hs;
    for (size_t g = 0; g < grids; ++g) {
      vs.append(Optional(e.v[g]));
      hs.append(Optional(e.halfWidth[g]));
    }
    py::dict row;
    row["class_low"] = RunClassName(e.low);
    row["class_high"] = RunClassName(e.high);
    row["v"] = vs;
    row["half_width"] = hs;
    row["extrapolated"] = Optional(e.extrapolated);
    row["error"] = Optional(e.error);
    list.append(row);
  }
  py::dict c;
  c["k"] = value.value;
  c["edges"] = list;
  const std::optional<size_t> critical = CriticalConvergedEdge(*value.converged);
  c["critical"] = critical ? py::object(py::int_(*critical)) : py::object(py::none());
  c["critical_line"] = CriticalVelocityLine(*value.converged);
  return c;
}

py::dict ScanOf(const std::vector<std::string>& args, const std::vector<double>& given, const py::object& progress) {
  const ScanOptions base = ReadScan(args);
  if (!base.mergeFiles.empty() || !base.fromCsv.empty() || !base.fromH5.empty() || base.parts > 1)
    throw py::value_error("the module runs whole studies: merges, shares and files to resume are the runner's");
  for (double v : given)
    if (!(v > 0 && v < 1)) throw py::value_error("every velocity must lie strictly between 0 and 1: " + Shortest(v));
  StudyRequest request;
  request.values = base.Sweeps() ? ScanVelocities(base.k0, base.k1, base.dk) : std::vector<double>{0};
  request.grids = base.convergeGrids.empty() ? std::vector<int>{base.run.gridSize} : base.convergeGrids;
  request.velocities = given.empty() ? ScanVelocities(base.v0, base.v1, base.dv) : given;
  std::sort(request.velocities.begin(), request.velocities.end());
  request.velocities.erase(std::unique(request.velocities.begin(), request.velocities.end()), request.velocities.end());
  request.tolerance = base.refineTolerance;
  // How far an edge may move from one grid to the next: the velocity step (the widest gap of
  // velocities given one by one).
  request.window = base.dv;
  if (!given.empty()) {
    request.window = 0;
    for (size_t i = 1; i < request.velocities.size(); ++i)
      request.window = std::max(request.window, request.velocities[i] - request.velocities[i - 1]);
  }
  request.jobs = JobsOf(base);
  request.keepTraces = true;

  // The sweep's scans, each checked as the runner checks them before anything runs.
  std::vector<std::string> warnings;
  for (double value : request.values) {
    ScanOptions o = base;
    if (base.Sweeps())
      if (const std::string why = SetSweepValue(o, value); !why.empty()) throw py::value_error(why);
    request.setups.push_back(CollisionSetupOf(o));
    const Potential& pot = request.setups.back().pot;
    const double fastest = request.velocities.empty() ? 0 : std::fabs(request.velocities.back());
    if (const std::string coarse = ResolutionWarning(pot, o.run.halfInterval, o.run.gridSize, fastest); !coarse.empty())
      warnings.push_back(coarse);
    if (const std::string flat = ChainWarning(pot); !flat.empty()) warnings.push_back("warning: " + flat);
  }

  std::atomic<bool> stop{false};
  Counts counts;
  StudyResult study;
  std::optional<py::error_already_set> raised = RunWatched(
      [&] {
        study = RunStudy(request, stop, [&](size_t done, size_t queued) {
          counts.done = done;
          counts.total = queued;
          counts.Changed();
        });
      },
      stop, counts, progress);
  if (!study.error.empty()) throw std::runtime_error(study.error);

  const bool refined = request.tolerance > 0;
  py::list scans, converged, rows;
  for (const StudyScan& scan : study.scans) scans.append(ScanDict(scan, refined));
  for (const StudyValue& value : study.values) {
    if (value.converged) converged.append(ConvergedDict(value, request.grids.size()));
    const SweepRow& row = value.row;
    rows.append(py::make_tuple(row.k, Optional(row.vcLow), Optional(row.vcHigh), row.edges, row.windows));
  }
  py::dict d;
  d["scans"] = scans;
  d["converged"] = converged;
  d["rows"] = rows;
  d["grids"] = request.grids;
  d["trace_t"] = Array(TraceTimes(base.run.untilTime.value_or(kScanDefaultTime)));
  d["swept"] = base.Sweeps() ? py::object(py::str(base.SweptName())) : py::object(py::none());
  d["warnings"] = warnings;
  if (raised) d["interrupt"] = raised->value();
  return d;
}

}  // namespace
}  // namespace kl

PYBIND11_MODULE(_kinklab, m) {
  m.doc() = "KinkLab's runs, scans and sweeps (see the package kinklab)";
  m.attr("__version__") = kl::ProgramVersion();
  m.def("check", [](const std::vector<std::string>& args) { kl::Read(args); },
        "Reads a runner command line; ValueError with the runner's message when it refuses it.");
  m.def("static_kink", &kl::StaticKinkOf, py::arg("args"), py::arg("L"), py::arg("N"));
  m.def("run", &kl::RunOf, py::arg("args"), py::arg("every"), py::arg("progress"));
  m.def("scan", &kl::ScanOf, py::arg("args"), py::arg("velocities"), py::arg("progress"));
}
