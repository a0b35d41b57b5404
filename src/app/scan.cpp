#include "app/scan.h"

#include <signal.h>
#include <unistd.h>

#include <algorithm>
#include <charconv>
#include <chrono>
#include <cmath>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <mutex>
#include <ostream>
#include <thread>

#include "app/cluster_share.h"
#include "app/program.h"
#include "app/refine.h"
#include "app/replace_file.h"
#include "app/side_files.h"
#include "app/stop_signals.h"
#include "app/version.h"
#include "records/scan_record.h"
#include "engine/run_control.h"
#include "interaction/colour_scale.h"
#include "interaction/xt_png.h"
#include "soliton/numbers.h"
#include "views/pixel_font.h"

namespace kl {

namespace {

// --- Reading the command line ---------------------------------------------------------

// Options of the runner that describe one run and have no meaning for a scan.
bool SingleRunOption(const std::string& name) {
  return name == "--kink" || name == "--rotator" || name == "--mark" || name == "--log" ||
         name == "--log-period" || name == "--energy" || name == "--dump" || name == "--png" ||
         name == "--size" || name == "--energy-picture" || name == "--setup";
}

bool ScanOption(const std::string& name) {
  return name == "--scan" || name == "--separation" || name == "--scan-part" || name == "--scan-parts" ||
         name == "--jobs" ||
         name == "--scan-csv" || name == "--scan-png" || name == "--refine" || name == "--edges" ||
         name == "--from-csv" || name == "--from-h5" || name == "--scan-h5" || name == "--scan-merge";
}

bool WholeNumber(double v, int lo, int hi, int& out) {
  if (v != std::floor(v) || v < lo || v > hi) return false;
  out = static_cast<int>(v);
  return true;
}

// How many velocities V0, V0 + DV, ... lie in [V0, V1], allowing for the rounding of DV.
double VelocityCount(double v0, double v1, double dv) { return std::floor((v1 - v0) / dv + 1e-9) + 1; }

// Velocities are written to 12 significant digits: a tolerance finer than that relative to
// the fastest velocity cannot be reached.
constexpr double kFinestRelativeTolerance = 1e-12;
bool RefinableTolerance(double tolerance, double fastest) { return tolerance >= kFinestRelativeTolerance * fastest; }
std::string TooFineMessage() {
  return "the tolerance must be at least 1e-12 times the largest |v| (velocities have 12 significant digits)";
}

std::string Shortest(double v) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

// --- One run ----------------------------------------------------------------------------

// The window's side of a run in a scan: no pictures, no stops, a halt at the time limit or
// when the scan is stopped; every step leaves u(0, t) and the kinks' half distance.
class ScanRunUi : public RunUi {
 public:
  ScanRunUi(Program& p, double target, const std::atomic<bool>& stop, CollisionRun& run)
      : p_(p), target_(target), stop_(stop), run_(run) {}

  void CheckWithStop() override { withStop_ = true; }
  void SelectWithoutStop() override { withStop_ = false; }
  bool WithStopChecked() const override { return withStop_; }
  void StepMade() override {
    const SimState& s = p_.sim;
    int half = 0;
    const FieldPoint* level = NewestLevel(s, half);
    run_.time.push_back(s.TimeNow);
    run_.centre.push_back(level[0].re);
    const std::optional<PairPositions> pair = LocatePair(level, half, s.Dx);
    run_.halfDistance.push_back(pair ? 0.5 * (pair->right - pair->left) : 0.0);
  }
  bool ContinueAfterStep() override {
    return p_.sim.TimeNow < target_ && !stop_.load(std::memory_order_relaxed);
  }

 private:
  Program& p_;
  double target_;
  const std::atomic<bool>& stop_;
  CollisionRun& run_;
  bool withStop_ = false;
};

// Least-squares slope of y over x.
std::optional<double> Slope(const std::vector<double>& x, const std::vector<double>& y, size_t from, size_t to) {
  const size_t n = to - from;
  if (n < 2) return std::nullopt;
  long double mx = 0, my = 0;
  for (size_t k = from; k < to; ++k) {
    mx += x[k];
    my += y[k];
  }
  mx /= n;
  my /= n;
  long double sxy = 0, sxx = 0;
  for (size_t k = from; k < to; ++k) {
    sxy += (x[k] - mx) * (y[k] - my);
    sxx += (x[k] - mx) * (x[k] - mx);
  }
  if (!(sxx > 0)) return std::nullopt;
  return static_cast<double>(sxy / sxx);
}

// --- The map ----------------------------------------------------------------------------

constexpr int kMapTargetWidth = 600;  // the plot's width is the nearest whole number of pixels per velocity
constexpr int kMapHeight = 500;
constexpr int kMapLeft = 84, kMapRight = 120, kMapTop = 44, kMapBottom = 70;
constexpr int kKeyGap = 24, kKeyWidth = 16;
constexpr double kKeyLow = -2.0, kKeyHigh = 2.0;  // the colour key's range of u
constexpr int kTickLength = 5;
constexpr Rgb kNotRun{205, 205, 205};

// The smallest of 1, 2, 5 times a power of ten that is at least `least`.
double NiceStep(double least) {
  if (!(least > 0)) return 1;
  const double p = std::pow(10.0, std::floor(std::log10(least)));
  for (double m : {1.0, 2.0, 5.0, 10.0})
    if (m * p >= least * (1 - 1e-9)) return m * p;
  return 10 * p;
}

int DecimalsOf(double step) {
  int d = 0;
  while (d < 12 && std::fabs(step * std::pow(10.0, d) - std::nearbyint(step * std::pow(10.0, d))) > 1e-6) ++d;
  return d;
}

void Fill(Canvas& c, int x1, int y1, int x2, int y2, Rgb colour) {
  c.SetPenColor(colour);
  c.SetBrushColor(colour);
  c.Rectangle(x1, y1, x2, y2);
}

void Label(Canvas& c, int x, int y, const std::string& text) {
  c.SetBrushColor(kWhite);
  c.SetFontColor(kBlack);
  c.TextOut(x, y, text);
}

void Line(Canvas& c, int x1, int y1, int x2, int y2) {
  c.SetPenColor(kBlack);
  c.MoveTo(x1, y1);
  c.LineTo(x2, y2);
}

// u(0, t) of a run at the sample nearest t.
double CentreAt(const CollisionRun& run, double t) {
  const auto it = std::lower_bound(run.time.begin(), run.time.end(), t);
  size_t k = static_cast<size_t>(it - run.time.begin());
  if (k == run.time.size()) return run.centre.back();
  if (k > 0 && t - run.time[k - 1] < run.time[k] - t) --k;
  return run.centre[k];
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

}  // namespace

// --- Command line ------------------------------------------------------------------------

bool HasScanOption(const std::vector<std::string>& args) {
  for (const char* name : {"--scan", "--from-csv", "--from-h5", "--scan-merge"})
    if (std::find(args.begin(), args.end(), name) != args.end()) return true;
  return false;
}

bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& o, std::string& error) {
  ScanOptions parsed;
  std::vector<std::string> runArgs;
  bool haveScan = false, haveL = false, haveThreads = false;
  std::string lText, tText, refineText;  // --L, --t and --refine as given, for the messages
  std::vector<double> v;
  bool autoPart = false;
  std::optional<int> partsOption;  // --scan-parts N
  for (size_t k = 0; k < args.size(); ++k) {
    const std::string& name = args[k];
    if (SingleRunOption(name)) {
      error = name + ": not used by a scan, whose runs are all the same pair at their own velocity";
      return false;
    }
    if (!ScanOption(name)) {  // the runner's own options, read by the runner's reader below
      haveL = haveL || name == "--L";
      haveThreads = haveThreads || name == "--threads";
      runArgs.push_back(name);
      if (k + 1 < args.size()) {
        runArgs.push_back(args[++k]);
        if (name == "--L") lText = args[k];
        if (name == "--t") tText = args[k];
      }
      continue;
    }
    if (k + 1 >= args.size()) {
      error = name + " needs a value";
      return false;
    }
    const std::string& value = args[++k];
    auto bad = [&](const std::string& why) {
      error = name + " " + value + ": " + why;
      return false;
    };
    if (name == "--scan") {
      if (!ParseNumberList(value, ':', 3, v)) return bad("expected V0:V1:DV, three numbers");
      if (!(std::fabs(v[0]) < 1) || !(std::fabs(v[1]) < 1))
        return bad("the velocities must lie strictly between -1 and 1");
      if (v[1] < v[0]) return bad("the last velocity V1 is below the first V0");
      if (!(v[2] > 0)) return bad("the step DV must be positive");
      if (VelocityCount(v[0], v[1], v[2]) > kScanMaxVelocities)
        return bad("more than " + std::to_string(kScanMaxVelocities) + " velocities");
      // The velocities are run as rounded to 12 significant digits, which may reach 1.
      const std::vector<double> run = ScanVelocities(v[0], v[1], v[2]);
      if (!run.empty() && (!(std::fabs(run.front()) < 1) || !(std::fabs(run.back()) < 1)))
        return bad("the velocities, rounded to 12 significant digits, must lie strictly between -1 and 1");
      parsed.v0 = v[0];
      parsed.v1 = v[1];
      parsed.dv = v[2];
      haveScan = true;
    } else if (name == "--separation") {
      if (!ParseNumber(value, parsed.separation)) return bad("not a number");
      if (!(parsed.separation > 0)) return bad("the half-distance C must be positive");
    } else if (name == "--scan-part") {
      autoPart = value == "auto";  // the share of a job-array task, read after all options
      if (!autoPart && (!ParseNumberList(value, '/', 2, v) || !WholeNumber(v[1], 1, 1000000, parsed.parts) ||
                        !WholeNumber(v[0], 1, parsed.parts, parsed.part)))
        return bad("expected K/N, whole numbers with 1 <= K <= N, or auto");
    } else if (name == "--scan-parts") {
      double n = 0;
      int count = 0;
      if (!ParseNumber(value, n) || !WholeNumber(n, 1, 1000000, count))
        return bad("the number of shares is a whole number from 1 to 1000000");
      partsOption = count;
    } else if (name == "--jobs") {
      double j = 0;
      if (!ParseNumber(value, j) || !WholeNumber(j, 1, 1024, parsed.jobs))
        return bad("the number of runs at once is a whole number from 1 to 1024");
    } else if (name == "--scan-merge") {
      // The records follow up to the next option.
      for (--k; k + 1 < args.size() && args[k + 1].rfind("--", 0) != 0;) parsed.mergeFiles.push_back(args[++k]);
      if (parsed.mergeFiles.empty()) return bad("the records of the shares, A.h5 B.h5 ...");
    } else if (name == "--scan-csv" || name == "--scan-png" || name == "--edges" || name == "--from-csv" ||
               name == "--from-h5" || name == "--scan-h5") {
      if (value.empty()) return bad("a file name");
      (name == "--scan-csv"   ? parsed.csvFile
       : name == "--scan-png" ? parsed.pngFile
       : name == "--edges"    ? parsed.edgesFile
       : name == "--from-csv" ? parsed.fromCsv
       : name == "--from-h5"  ? parsed.fromH5
                              : parsed.h5File) = value;
    } else if (name == "--refine") {
      if (!ParseNumber(value, parsed.refineTolerance) || !(parsed.refineTolerance > 0) ||
          !std::isfinite(parsed.refineTolerance))
        return bad("the tolerance must be a positive number");
      refineText = value;
    }
  }
  if (autoPart) {
    std::string why;
    if (!ShareFromEnvironment([](const char* n) -> const char* { return std::getenv(n); }, partsOption,
                              parsed.part, parsed.parts, why)) {
      error = "--scan-part auto: " + why;
      return false;
    }
  } else if (partsOption) {
    error = "--scan-parts: only with --scan-part auto";
    return false;
  }
  const bool refine = parsed.refineTolerance > 0;
  const int sources = haveScan + !parsed.fromCsv.empty() + !parsed.fromH5.empty() + !parsed.mergeFiles.empty();
  if (sources > 1) {
    error = "--scan, --from-csv, --from-h5 and --scan-merge: give one of them";
    return false;
  }
  if (!parsed.mergeFiles.empty() || !parsed.fromH5.empty()) {
    // The scan's parameters come from the records.
    for (size_t k = 0; k < runArgs.size(); k += 2)
      if (runArgs[k] != "--threads" && runArgs[k] != "--colours") {
        error = runArgs[k] + ": the scan's parameters come from its records";
        return false;
      }
    if (parsed.separation != kScanDefaultSeparation || (parsed.parts > 1 && !parsed.mergeFiles.empty())) {
      error = std::string(parsed.parts > 1 ? "--scan-part" : "--separation") +
              ": the scan's parameters come from its records";
      return false;
    }
    if (!parsed.mergeFiles.empty() && (refine || !parsed.edgesFile.empty())) {
      error = "--scan-merge: joins records as they are; refine with --from-h5";
      return false;
    }
    if (!parsed.fromH5.empty() && !refine) {
      error = "--from-h5 " + parsed.fromH5 + ": needs --refine TOL";
      return false;
    }
  } else if (!parsed.fromCsv.empty()) {
    if (haveScan) {
      error = "--scan: a refinement --from-csv takes its velocities from the CSV";
      return false;
    }
    if (!refine) {
      error = "--from-csv " + parsed.fromCsv + ": needs --refine TOL";
      return false;
    }
    if (!parsed.pngFile.empty() || !parsed.h5File.empty()) {
      error = std::string(parsed.pngFile.empty() ? "--scan-h5" : "--scan-png") +
              ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
      return false;
    }
  } else if (!haveScan) {
    error = "--scan V0:V1:DV is missing";
    return false;
  }
  if (!parsed.edgesFile.empty() && !refine) {
    error = "--edges " + parsed.edgesFile + ": needs --refine TOL";
    return false;
  }
  if (refine && haveScan && parsed.parts > 1) {
    error = "--scan-part: a split scan is refined from its concatenated CSVs with --from-csv";
    return false;
  }
  if (refine && haveScan && !RefinableTolerance(parsed.refineTolerance, std::max(std::fabs(parsed.v0), std::fabs(parsed.v1)))) {
    error = "--refine " + refineText + ": " + TooFineMessage();
    return false;
  }
  if (!ParseRunnerArgs(runArgs, parsed.run, error)) return false;
  // Every output is checked before anything runs.
  auto outputsWritable = [&] {
    for (const auto& [name, file] : {std::pair<const char*, const std::string&>{"--scan-csv", parsed.csvFile},
                                      std::pair<const char*, const std::string&>{"--scan-png", parsed.pngFile},
                                      std::pair<const char*, const std::string&>{"--scan-h5", parsed.h5File},
                                      std::pair<const char*, const std::string&>{"--edges", parsed.edgesFile}}) {
      std::string why;
      if (!file.empty() && !CheckOutputPath(file, why)) {
        error = std::string(name) + " " + file + ": " + why;
        return false;
      }
    }
    return true;
  };
  if (!parsed.mergeFiles.empty() || !parsed.fromH5.empty()) {
    if (!outputsWritable()) return false;
    o = std::move(parsed);
    return true;
  }

  RunnerOptions& run = parsed.run;
  const double C = parsed.separation;
  if (!haveL) run.halfInterval = C + kScanDefaultSpare;
  if (run.halfInterval < C + kScanMinSpare) {
    error = "--L " + lText + ": the pair at -C and +C needs L >= C + " +
            Shortest(kScanMinSpare) + " (C = " + Shortest(C) + ")";
    return false;
  }
  if (!run.untilTime) run.untilTime = kScanDefaultTime;
  // The scan shares the cores among its runs; a run's step takes more threads only on request.
  if (!haveThreads) run.threads = 1;
  const double reach = SecondPhaseReach(run.gridSize, run.halfInterval);
  if (!(*run.untilTime > 0) || *run.untilTime > reach) {
    error = "--t " + tText + ": a scan's time limit lies above 0 and at most at " +
            Shortest(reach) + ", the reach of the second phase for this N and L";
    return false;
  }
  if (!CheckGridIsStable(run, error)) return false;
  if (!outputsWritable()) return false;
  o = std::move(parsed);
  return true;
}

std::vector<double> ScanVelocities(double v0, double v1, double dv) {
  std::vector<double> velocities;
  if (!(dv > 0) || v1 < v0) return velocities;
  const long count = static_cast<long>(VelocityCount(v0, v1, dv));
  for (long i = 0; i < count; ++i)
    velocities.push_back(RoundToScanDigits(static_cast<long double>(v0) + static_cast<long double>(i) * dv));
  return velocities;
}

std::vector<size_t> PartIndices(size_t count, int part, int parts) {
  std::vector<size_t> indices;
  if (part < 1 || parts < part) return indices;
  for (size_t i = static_cast<size_t>(part - 1); i < count; i += static_cast<size_t>(parts)) indices.push_back(i);
  return indices;
}

std::vector<double> TraceTimes(double tMax) {
  std::vector<double> times(kTraceSamples);
  for (int j = 0; j < kTraceSamples; ++j)
    times[static_cast<size_t>(j)] = static_cast<double>(static_cast<long double>(tMax) * j / (kTraceSamples - 1));
  return times;
}

void ResampleTrace(CollisionRun& run, double tMax) {
  std::vector<double> times = TraceTimes(tMax), trace;
  trace.reserve(times.size());
  for (double t : times) trace.push_back(run.centre.empty() ? 0.0 : CentreAt(run, t));
  run.time = std::move(times);
  run.centre = std::move(trace);
}

// --- Reading a run ------------------------------------------------------------------------

BounceCount CountBounces(const std::vector<double>& t, const std::vector<double>& centre) {
  BounceCount b;
  std::optional<double> lastFall;  // the latest fall of u(0, t) through zero
  for (size_t k = 0; k < centre.size() && k < t.size(); ++k) {
    const double u = centre[k];
    if (u < 0 && (k == 0 || centre[k - 1] >= 0))
      lastFall = k == 0 ? t[0] : t[k - 1] + (t[k] - t[k - 1]) * centre[k - 1] / (centre[k - 1] - u);
    if (!b.inBounce && u < -kBounceLevel) {
      b.inBounce = true;
      if (!b.firstCollision) b.firstCollision = lastFall;
    } else if (b.inBounce && u > kBounceLevel) {
      b.inBounce = false;
      ++b.bounces;
      b.lastBounceEnd = t[k];
    }
  }
  return b;
}

std::optional<PairPositions> LocatePair(const FieldPoint* level, int half, double dx) {
  auto zeroBetween = [&](int i) {  // the zero between i and i + 1, if u changes sign there
    const double a = level[i].re, b = level[i + 1].re;
    if ((a < 0) == (b < 0)) return std::optional<double>();
    return std::optional<double>((static_cast<long double>(i) + static_cast<long double>(a) / (a - b)) * dx);
  };
  int first = -half;
  std::optional<double> left;
  for (; first < half && !(left = zeroBetween(first)); ++first) {
  }
  int last = half - 1;
  std::optional<double> right;
  for (; last > first && !(right = zeroBetween(last)); --last) {
  }
  if (!left || !right) return std::nullopt;
  return PairPositions{*left, *right};
}

const char* OutcomeName(CollisionOutcome outcome) {
  switch (outcome) {
    case CollisionOutcome::Capture: return "capture";
    case CollisionOutcome::Escape: return "escape";
    default: return "none";
  }
}

void ClassifyCollision(CollisionRun& run, double kinkWidth) {
  const BounceCount b = CountBounces(run.time, run.centre);
  run.bounces = b.bounces;
  run.firstCollision = b.firstCollision;
  run.outgoingSpeed.reset();
  run.endDistance.reset();
  if (!run.halfDistance.empty() && run.halfDistance.back() > 0) run.endDistance = 2 * run.halfDistance.back();
  if (!b.firstCollision) {
    run.outcome = CollisionOutcome::None;
    return;
  }
  run.outcome = CollisionOutcome::Capture;
  if (b.bounces == 0 || b.inBounce || run.time.empty() || run.halfDistance.size() != run.time.size()) return;
  if (!(2 * run.halfDistance.back() > kEscapeWidths * kinkWidth)) return;
  // Fit over the later half of the time since the last bounce ended, where the kinks' shape
  // oscillation has had time to average out.
  const double tEnd = run.time.back();
  const double from = *b.lastBounceEnd + 0.5 * (tEnd - *b.lastBounceEnd);
  const size_t k0 = static_cast<size_t>(std::lower_bound(run.time.begin(), run.time.end(), from) - run.time.begin());
  const std::optional<double> speed = Slope(run.time, run.halfDistance, k0, run.time.size());
  if (!speed || !(*speed > 0)) return;
  run.outcome = CollisionOutcome::Escape;
  run.outgoingSpeed = speed;
}

CollisionRun RunCollision(const ScanOptions& o, double v, const std::atomic<bool>& stop) {
  const RunnerOptions& r = o.run;
  auto program = std::make_unique<Program>();
  Program& p = *program;
  ApplyPotentialKind(p.pot, r.kind);
  p.sim.Precision = r.precision;
  p.sim.StepThreads = r.threads;
  p.sim.HalfInterval = r.halfInterval;
  p.profile.OduXMin = -r.halfInterval;
  const ProfileResult profile = SolveProfile(p.profile, p.pot, p.pot.ParamA, r.halfInterval, nullptr);
  p.kinks.SolitonCount = 2;
  p.kinks.InitSm[1] = -o.separation;
  p.kinks.InitVel[1] = v;
  p.kinks.InitSm[2] = o.separation;
  p.kinks.InitVel[2] = -v;
  p.rot.InitMethod = 0;

  CollisionRun run;
  run.v = v;
  const double target = r.untilTime.value_or(kScanDefaultTime);
  ScanRunUi ui(p, target, stop, run);
  ChooseGrid(p, ui, r.gridSize);
  p.sim.InitReady = true;
  const size_t expected = static_cast<size_t>(target / p.sim.Dt) + 8;
  run.time.reserve(expected);
  run.centre.reserve(expected);
  run.halfDistance.reserve(expected);

  // As the runner does: press on through the phase limits until the time limit.
  double lastTime = -1;
  size_t lastSteps = static_cast<size_t>(-1);
  do {
    if (p.sim.RunState == 4 || stop.load(std::memory_order_relaxed)) break;
    lastTime = p.sim.TimeNow;
    lastSteps = run.time.size();
    ui.SelectWithoutStop();
    StartPress(p, ui);
    while (p.sim.Running) SliceTimerTick(p, ui);
  } while (p.sim.TimeNow < target && (run.time.size() != lastSteps || p.sim.TimeNow != lastTime));
  run.finished = p.sim.TimeNow >= target;
  ClassifyCollision(run, profile.Width);
  run.halfDistance = {};
  return run;
}

// --- The scan -------------------------------------------------------------------------------

ScanResult RunScan(const ScanOptions& o, const std::atomic<bool>& stop, const ScanCallbacks& callbacks) {
  const std::vector<double> all = ScanVelocities(o.v0, o.v1, o.dv);
  std::vector<double> mine;
  for (size_t i : PartIndices(all.size(), o.part, o.parts)) mine.push_back(all[i]);
  return RunVelocities(o, mine, stop, callbacks);
}

ScanResult RunVelocities(const ScanOptions& o, const std::vector<double>& mine, const std::atomic<bool>& stop,
                         const ScanCallbacks& callbacks) {
  const size_t granted = static_cast<size_t>(DefaultJobs());  // the CPUs this task may use
  const size_t jobs = std::clamp<size_t>(o.jobs > 0 ? static_cast<size_t>(o.jobs) : granted, 1,
                                         std::max<size_t>(mine.size(), 1));

  std::vector<std::optional<CollisionRun>> slots(mine.size());
  std::atomic<size_t> next{0};
  std::atomic<bool> failed{false};
  std::mutex mutex;  // guards the slots, the counts, the callbacks and `error`
  size_t reported = 0, done = 0;
  std::string error;
  const auto start = std::chrono::steady_clock::now();

  auto worker = [&] {
    for (;;) {
      if (stop.load() || failed.load()) return;
      const size_t k = next.fetch_add(1);
      if (k >= mine.size()) return;
      const double v = mine[k];
      CollisionRun run;
      try {
        run = RunCollision(o, v, stop);
      } catch (const std::exception& e) {
        std::lock_guard<std::mutex> lock(mutex);
        if (error.empty()) error = "the run at v = " + Shortest(v) + " failed: " + e.what();
        failed = true;
        return;
      }
      if (!run.finished) return;  // stopped on the way: not a result
      if (o.pngFile.empty() && o.h5File.empty()) {
        run.time = {};
        run.centre = {};
      } else {
        ResampleTrace(run, o.run.untilTime.value_or(kScanDefaultTime));
      }
      std::lock_guard<std::mutex> lock(mutex);
      slots[k] = std::move(run);
      ++done;
      for (; reported < slots.size() && slots[reported]; ++reported)
        if (callbacks.finished) callbacks.finished(*slots[reported]);
      if (callbacks.progress)
        callbacks.progress(ScanProgress{
            done, mine.size(), std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count()});
    }
  };
  std::vector<std::thread> threads;
  for (size_t j = 1; j < jobs; ++j) threads.emplace_back(worker);
  worker();
  for (std::thread& t : threads) t.join();

  ScanResult result;
  result.error = error;
  for (size_t k = 0; k < slots.size(); ++k) {
    if (!slots[k]) continue;
    if (k >= reported && callbacks.finished) callbacks.finished(*slots[k]);  // after a gap left by a stop
    result.runs.push_back(std::move(*slots[k]));
  }
  return result;
}

std::string ScanCsvHeader() { return "v,outcome,bounces,first_collision,v_out,end_distance\n"; }

std::string ScanCsvRow(const CollisionRun& run) {
  std::string row = Shortest(run.v) + ',' + OutcomeName(run.outcome) + ',' + std::to_string(run.bounces) + ',';
  if (run.firstCollision) row += Trim(FormatWD(*run.firstCollision, 0, 3));
  row += ',';
  if (run.outgoingSpeed) row += Trim(FormatWD(*run.outgoingSpeed, 0, 4));
  row += ',';
  if (run.endDistance) row += Trim(FormatWD(*run.endDistance, 0, 2));
  return row + '\n';
}

namespace {

constexpr size_t kMaxScanCsvBytes = 64u << 20;  // far above the 10 000 rows of a grid and their refinement

// A field of a row: a finite number, or empty where `optional`.
bool ReadField(std::string_view text, bool optional, std::optional<double>& out) {
  out.reset();
  if (text.empty()) return optional;
  double v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(v)) return false;
  out = v;
  return true;
}

}  // namespace

bool ParseScanCsv(std::string_view text, const std::string& name, std::vector<CollisionRun>& runs, std::string& error) {
  std::vector<std::pair<std::string, CollisionRun>> rows;  // the row's text beside what it says
  auto refuse = [&](size_t line, const std::string& why) {
    error = name + ": line " + std::to_string(line) + ": " + why;
    return false;
  };
  if (text.size() > kMaxScanCsvBytes) {
    error = name + ": larger than " + std::to_string(kMaxScanCsvBytes >> 20) + " MB, not a scan CSV";
    return false;
  }
  const std::string header = ScanCsvHeader().substr(0, ScanCsvHeader().size() - 1);
  size_t line = 0;
  for (size_t start = 0; start < text.size();) {
    const size_t end = std::min(text.find('\n', start), text.size());
    std::string_view row = text.substr(start, end - start);
    start = end + 1;
    ++line;
    if (!row.empty() && row.back() == '\r') row.remove_suffix(1);
    if (line == 1 && row != header) return refuse(line, "the header is not \"" + header + "\"");
    if (row == header) continue;  // the header of a further share's CSV
    if (row.empty()) return refuse(line, "an empty line");
    std::vector<std::string_view> fields;
    for (size_t f = 0;;) {
      const size_t comma = row.find(',', f);
      fields.push_back(row.substr(f, comma == std::string_view::npos ? std::string_view::npos : comma - f));
      if (comma == std::string_view::npos) break;
      f = comma + 1;
    }
    if (fields.size() != 6) return refuse(line, "expected 6 fields, found " + std::to_string(fields.size()));
    CollisionRun run;
    run.finished = true;
    std::optional<double> v, bounces;
    if (!ReadField(fields[0], false, v) || !(std::fabs(*v) < 1))
      return refuse(line, "the velocity is not a number strictly between -1 and 1");
    run.v = *v;
    if (fields[1] == "none") run.outcome = CollisionOutcome::None;
    else if (fields[1] == "capture") run.outcome = CollisionOutcome::Capture;
    else if (fields[1] == "escape") run.outcome = CollisionOutcome::Escape;
    else return refuse(line, "the outcome is not none, capture or escape");
    if (!ReadField(fields[2], false, bounces) || *bounces != std::floor(*bounces) || *bounces < 0 || *bounces > 1e6)
      return refuse(line, "the bounces are not a whole number from 0 to 1000000");
    run.bounces = static_cast<int>(*bounces);
    if (run.outcome == CollisionOutcome::Escape && run.bounces < 1)
      return refuse(line, "an escape without a bounce");
    if (!ReadField(fields[3], true, run.firstCollision) || !ReadField(fields[4], true, run.outgoingSpeed) ||
        !ReadField(fields[5], true, run.endDistance))
      return refuse(line, "first_collision, v_out and end_distance are numbers or empty");
    rows.emplace_back(std::string(row), std::move(run));
  }
  if (line == 0) {
    error = name + ": empty, not a scan CSV";
    return false;
  }
  std::stable_sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.second.v < b.second.v; });
  runs.clear();
  for (size_t k = 0; k < rows.size(); ++k) {
    if (k > 0 && rows[k].second.v == rows[k - 1].second.v) {
      if (rows[k].first != rows[k - 1].first) {
        error = name + ": v = " + Shortest(rows[k].second.v) + " is listed twice with different results";
        return false;
      }
      continue;
    }
    runs.push_back(std::move(rows[k].second));
  }
  return true;
}

RunClass ClassOf(const CollisionRun& run) {
  switch (run.outcome) {
    case CollisionOutcome::Capture: return RunClass{RunClass::Capture, 0};
    case CollisionOutcome::Escape: return RunClass{RunClass::Escape, run.bounces};
    default: return RunClass{RunClass::None, 0};
  }
}

std::string EdgesCsvHeader() { return "v_low,v_high,class_low,class_high\n"; }

std::string EdgesCsvRow(const ScanEdge& e) {
  return Shortest(e.vLow) + ',' + Shortest(e.vHigh) + ',' + RunClassName(e.low) + ',' + RunClassName(e.high) + '\n';
}

// --- The map --------------------------------------------------------------------------------

void PaintScanMap(const std::vector<double>& velocities, const std::vector<CollisionRun>& runs, double tMax,
                  int colourCount, const std::string& title, Canvas& canvas) {
  PixelFont font(2);
  const int count = static_cast<int>(velocities.size());
  const int band = count > 0 ? std::max(1, kMapTargetWidth / count) : kMapTargetWidth;
  const int plotWidth = count > 0 ? band * count : kMapTargetWidth;
  const int x0 = kMapLeft, y0 = kMapTop, x1 = x0 + plotWidth, y1 = y0 + kMapHeight;
  canvas.Resize(x1 + kMapRight, y1 + kMapBottom);
  canvas.SetTextRenderer(&font);
  Fill(canvas, 0, 0, canvas.Width(), canvas.Height(), kWhite);

  ColourScale colours;
  BuildPalette(colours, colourCount, nullptr);
  double densityMax = 1;  // the energy levels are not used here
  BuildLevels(colours, colourCount, densityMax);

  // The columns, t = 0 at the bottom row. Each column shows the velocity nearest to its own:
  // one of the grid's, or a run between them.
  auto rowTime = [&](int row) { return tMax * (kMapHeight - row - 0.5) / kMapHeight; };
  const double gridSpacing = count > 1 ? (velocities.back() - velocities.front()) / (count - 1) : 0.0;
  std::vector<double> shown(velocities);
  for (const CollisionRun& run : runs)
    if (count > 0 && run.v > velocities.front() - gridSpacing / 2 && run.v < velocities.back() + gridSpacing / 2)
      shown.push_back(run.v);
  std::sort(shown.begin(), shown.end());
  shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
  int from = 0;          // the first column of the current band
  size_t bandOf = 0;     // the index in `shown` of the velocity it shows
  for (int px = 0; px <= plotWidth && count > 0; ++px) {
    size_t nearest = shown.size();
    if (px < plotWidth) {
      const double v = velocities.front() + ((px + 0.5) / band - 0.5) * gridSpacing;
      const size_t above = static_cast<size_t>(std::lower_bound(shown.begin(), shown.end(), v) - shown.begin());
      nearest = above == shown.size() || (above > 0 && v - shown[above - 1] <= shown[above] - v) ? above - 1 : above;
    }
    if (px == 0) bandOf = nearest;
    if (px < plotWidth && nearest == bandOf) continue;
    // Columns from .. px - 1 show shown[bandOf].
    const auto it = std::lower_bound(runs.begin(), runs.end(), shown[bandOf],
                                     [](const CollisionRun& r, double v) { return r.v < v; });
    const bool ran = it != runs.end() && it->v == shown[bandOf] && !it->centre.empty();
    // A trace on the common grid gives each row the sample nearest its time, by index, so that
    // a map drawn from a record's traces is the map of the scan itself.
    const bool traced = ran && it->centre.size() == static_cast<size_t>(kTraceSamples);
    for (int row = 0; row < kMapHeight; ++row) {
      const long sample = (static_cast<long>(kTraceSamples - 1) * (2 * (kMapHeight - row) - 1) + kMapHeight) /
                          (2 * kMapHeight);
      const double u = !ran ? 0.0 : traced ? it->centre[static_cast<size_t>(sample)] : CentreAt(*it, rowTime(row));
      const Rgb c = ran ? AmplColor(colours, u) : kNotRun;
      uint32_t* line = canvas.Row(y0 + row);
      std::fill(line + x0 + from, line + x0 + px, PackRgb(c));
    }
    from = px;
    bandOf = nearest;
  }
  canvas.SetPenColor(kBlack);
  canvas.MoveTo(x0 - 1, y0 - 1);
  canvas.LineTo(x1, y0 - 1);
  canvas.LineTo(x1, y1);
  canvas.LineTo(x0 - 1, y1);
  canvas.LineTo(x0 - 1, y0 - 1);

  const int textHeight = font.TextHeight();
  // Time: ticks at least 40 pixels apart.
  if (tMax > 0) {
    const double step = NiceStep(40.0 * tMax / kMapHeight);
    const int decimals = DecimalsOf(step);
    for (double t = 0; t <= tMax * (1 + 1e-9); t += step) {
      const int y = y1 - static_cast<int>(std::lround(t / tMax * kMapHeight));
      Line(canvas, x0 - 1 - kTickLength, y, x0 - 1, y);
      const std::string text = Trim(FormatWD(t, 0, decimals));
      Label(canvas, x0 - 4 - kTickLength - font.TextWidth(text), y - textHeight / 2, text);
    }
    Label(canvas, 8, (y0 + y1) / 2 - textHeight / 2, "t");
  }
  // Velocity: ticks whose labels do not touch.
  if (count >= 1) {
    auto columnX = [&](double position) { return x0 + static_cast<int>(std::lround((position + 0.5) * band)); };
    auto tick = [&](int x, const std::string& text) {
      Line(canvas, x, y1 + 1, x, y1 + 1 + kTickLength);
      Label(canvas, x - font.TextWidth(text) / 2, y1 + 4 + kTickLength, text);
    };
    if (count == 1) {
      tick(columnX(0), Shortest(velocities[0]));
    } else {
      const double spacing = (velocities.back() - velocities.front()) / (count - 1);
      const double step = NiceStep(spacing * (font.TextWidth("-0.000") + 16) / band);
      const int decimals = DecimalsOf(step);
      for (double v = std::ceil((velocities.front() - spacing / 2) / step - 1e-9) * step;
           v <= velocities.back() + spacing / 2; v += step)
        tick(columnX((v - velocities.front()) / spacing), Trim(FormatWD(v, 0, decimals)));
    }
    Label(canvas, (x0 + x1) / 2 - font.TextWidth("v") / 2, y1 + 8 + kTickLength + textHeight, "v");
  }
  // The colour key: u from kKeyLow at the bottom to kKeyHigh at the top.
  const int kx = x1 + kKeyGap;
  for (int row = 0; row < kMapHeight; ++row) {
    const double u = kKeyHigh - (kKeyHigh - kKeyLow) * (row + 0.5) / kMapHeight;
    uint32_t* line = canvas.Row(y0 + row);
    std::fill(line + kx, line + kx + kKeyWidth, PackRgb(AmplColor(colours, u)));
  }
  for (int u = static_cast<int>(kKeyLow); u <= static_cast<int>(kKeyHigh); ++u) {
    const int y = y1 - static_cast<int>(std::lround((u - kKeyLow) / (kKeyHigh - kKeyLow) * kMapHeight));
    Line(canvas, kx + kKeyWidth, y, kx + kKeyWidth + kTickLength, y);
    // An explicit sign, so that the tick before a label is not read as a minus.
    char text[8];
    std::snprintf(text, sizeof text, u == 0 ? "%d" : "%+d", u);
    Label(canvas, kx + kKeyWidth + kTickLength + 6, y - textHeight / 2, text);
  }
  Label(canvas, kx, y0 - textHeight - 8, "u");
  Label(canvas, x0, 12, title);
  canvas.SetTextRenderer(nullptr);
}

// --- The command ----------------------------------------------------------------------------

namespace {

bool WriteScanMap(const ScanOptions& o, const std::vector<double>& grid, const std::vector<CollisionRun>& runs,
                  std::ostream& err) {
  const RunnerOptions& r = o.run;
  std::string title = "u(0,t)  kind " + std::to_string(r.kind) + "  N=" + std::to_string(r.gridSize) +
                      "  L=" + Shortest(r.halfInterval) + "  C=" + Shortest(o.separation);
  if (o.parts > 1) title += "  part " + std::to_string(o.part) + "/" + std::to_string(o.parts);
  Canvas canvas;
  PaintScanMap(grid, runs, r.untilTime.value_or(kScanDefaultTime), r.colourCount, title, canvas);
  std::string error;
  if (WriteCanvasPng(canvas, o.pngFile, error)) return true;
  err << "kinklab-run: " << error << '\n';
  return false;
}

ScanParameters ParametersOf(const ScanOptions& o) {
  const RunnerOptions& r = o.run;
  return ScanParameters{r.kind,  r.halfInterval, r.gridSize, o.separation, r.untilTime.value_or(kScanDefaultTime),
                        PrecisionName(r.precision), o.v0, o.v1, o.dv, o.refineTolerance};
}

bool WriteRecordOf(const ScanOptions& o, const std::vector<CollisionRun>& runs, const std::vector<ScanEdge>& edges,
                   std::ostream& err) {
  ScanRecord record;
  record.parameters = ParametersOf(o);
  record.part = o.part;
  record.parts = o.parts;
  record.program = ProgramNameAndVersion();
  record.command = o.command;
  record.runs = runs;
  record.edges = edges;
  std::string error;
  if (WriteScanRecord(o.h5File, record, error)) return true;
  err << "kinklab-run: " << error << '\n';
  return false;
}

// The scan's options as its record gives them.
void TakeParameters(const ScanParameters& p, ScanOptions& o) {
  o.run.kind = p.kind;
  o.run.halfInterval = p.halfInterval;
  o.run.gridSize = p.gridSize;
  o.run.untilTime = p.tMax;
  ParsePrecision(p.precision, o.run.precision);
  o.separation = p.separation;
  o.v0 = p.v0;
  o.v1 = p.v1;
  o.dv = p.dv;
}

// --scan-merge: the records of a split scan joined into the whole scan's CSV, map and record.
int RunScanMerge(const ScanOptions& given, std::ostream& out, std::ostream& err) {
  ScanRecord merged;
  std::string error;
  if (!MergeScanRecords(given.mergeFiles, merged, error)) {
    err << "kinklab-run: --scan-merge " << error << '\n';
    return 2;
  }
  ScanOptions o = given;
  TakeParameters(merged.parameters, o);
  o.refineTolerance = merged.parameters.refineTolerance;
  o.part = o.parts = 1;
  int status = 0;
  std::string csv = ScanCsvHeader();
  for (const CollisionRun& run : merged.runs) csv += ScanCsvRow(run);
  if (o.csvFile.empty()) out << csv << std::flush;
  else if (!WriteFileReplacing(o.csvFile, csv, error)) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (!o.pngFile.empty() && !WriteScanMap(o, ScanVelocities(o.v0, o.v1, o.dv), merged.runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, merged.runs, merged.edges, err)) status = 1;
  err << "scan: " << merged.runs.size() << " runs of " << given.mergeFiles.size() << " records joined\n";
  return status;
}

// A scan whose edges are then bisected: the grid is run (or read from a scan CSV), every
// neighbouring pair of different class is refined, and all rows are written at the end in
// velocity order, with the edges and the critical velocity.
int RunRefinedScan(const ScanOptions& given, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace) {
  ScanOptions o = given;
  ScanRecord from;
  if (!o.fromH5.empty()) {
    std::string error;
    if (!ReadScanRecord(o.fromH5, from, error)) {
      err << "kinklab-run: --from-h5 " << error << '\n';
      return 2;
    }
    TakeParameters(from.parameters, o);
  }
  const char* start = progressInPlace ? "\r" : "";
  const char* end = progressInPlace ? "\x1b[K" : "\n";
  const auto began = std::chrono::steady_clock::now();
  size_t done = 0, total = 0;
  auto progress = [&](size_t finished) {
    const double elapsed = std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();
    err << start << "scan: " << finished << '/' << total << " done";
    if (finished > 0 && finished < total) err << ", about " << Duration(elapsed / finished * (total - finished)) << " left";
    err << end << std::flush;
  };
  auto runAll = [&](const std::vector<double>& velocities, std::string& error) {
    ScanCallbacks callbacks;
    callbacks.progress = [&](const ScanProgress& p) { progress(done + p.done); };
    ScanResult result = RunVelocities(o, velocities, stop, callbacks);
    done += result.runs.size();
    if (!result.error.empty() && error.empty()) error = result.error;
    return std::move(result.runs);
  };

  std::vector<CollisionRun> runs;  // in velocity order
  std::vector<double> grid;        // the map's grid
  std::string error;
  if (!o.fromCsv.empty()) {
    std::string text;
    std::string why;
    if (!ReadWholeFile(o.fromCsv, text, why, kMaxScanCsvBytes)) error = o.fromCsv + ": " + why;
    if (!error.empty() || !ParseScanCsv(text, o.fromCsv, runs, error)) {
      err << "kinklab-run: --from-csv " << error << '\n';
      return 2;
    }
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (!RefinableTolerance(o.refineTolerance, fastest)) {
      err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
      return 2;
    }
    err << start << "scan: " << runs.size() << " rows read from " << o.fromCsv << end << std::flush;
  } else if (!o.fromH5.empty()) {
    runs = std::move(from.runs);
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    double fastest = 0;
    for (const CollisionRun& run : runs) fastest = std::max(fastest, std::fabs(run.v));
    if (!RefinableTolerance(o.refineTolerance, fastest)) {
      err << "kinklab-run: --refine " << Shortest(o.refineTolerance) << ": " << TooFineMessage() << '\n';
      return 2;
    }
    err << start << "scan: " << runs.size() << " runs read from " << o.fromH5 << end << std::flush;
  } else {
    grid = ScanVelocities(o.v0, o.v1, o.dv);
    total = grid.size();
    err << start << "scan: " << total << (total == 1 ? " run" : " runs") << end << std::flush;
    runs = runAll(grid, error);
  }

  std::vector<std::pair<double, RunClass>> classes;
  for (const CollisionRun& run : runs) classes.emplace_back(run.v, ClassOf(run));
  std::vector<ScanEdge> edges = EdgesBetween(classes);
  if (o.parts > 1) {  // the part-th share of the edges
    std::vector<ScanEdge> mine;
    for (size_t k : PartIndices(edges.size(), o.part, o.parts)) mine.push_back(edges[k]);
    edges = std::move(mine);
  }

  std::vector<CollisionRun> refined;
  RefineResult refinement;
  if (!stop.load() && error.empty()) {
    const RoundRunner round = [&](const std::vector<double>& velocities) {
      std::vector<CollisionRun> finished = runAll(velocities, error);
      std::vector<std::optional<RunClass>> result(velocities.size());
      size_t f = 0;
      for (size_t k = 0; k < velocities.size() && f < finished.size(); ++k)
        if (finished[f].v == velocities[k]) result[k] = ClassOf(finished[f++]);
      for (CollisionRun& run : finished) refined.push_back(std::move(run));
      return result;
    };
    refinement = RefineEdges(edges, o.refineTolerance, round, [&](size_t queued) {
      total += queued;
      progress(done);
    });
    edges = refinement.edges;
  }
  if (progressInPlace) err << '\n';
  const size_t refinedCount = refined.size();
  for (CollisionRun& run : refined) runs.push_back(std::move(run));
  std::stable_sort(runs.begin(), runs.end(), [](const CollisionRun& a, const CollisionRun& b) { return a.v < b.v; });

  int status = 0;
  std::string csv = ScanCsvHeader();
  for (const CollisionRun& run : runs) csv += ScanCsvRow(run);
  std::string writeError;
  if (o.csvFile.empty()) out << csv << std::flush;
  else if (!WriteFileReplacing(o.csvFile, csv, writeError)) {
    err << "kinklab-run: " << writeError << '\n';
    status = 1;
  }
  if (!o.edgesFile.empty()) {
    std::string text = EdgesCsvHeader();
    for (const ScanEdge& e : edges) text += EdgesCsvRow(e);
    if (!WriteFileReplacing(o.edgesFile, text, writeError)) {
      err << "kinklab-run: " << writeError << '\n';
      status = 1;
    }
  }
  if (!o.pngFile.empty() && !WriteScanMap(o, grid, runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, runs, edges, err)) status = 1;

  classes.clear();
  for (const CollisionRun& run : runs) classes.emplace_back(run.v, ClassOf(run));
  if (const std::optional<ScanEdge> critical = CriticalEdge(classes))
    err << "critical velocity: between " << Shortest(critical->vLow) << " and " << Shortest(critical->vHigh) << '\n';
  else
    err << "critical velocity: none in this scan\n";
  err << "scan: " << edges.size() << (edges.size() == 1 ? " edge" : " edges") << " located in "
      << refinement.rounds << " rounds of bisection, " << refinedCount << " runs beside the "
      << runs.size() - refinedCount << (o.fromCsv.empty() && o.fromH5.empty() ? " of the grid\n" : " read\n");
  if (!error.empty()) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: scan stopped; the " << runs.size() << " finished runs and the edges as narrowed so far are written\n";
  return status;
}

}  // namespace

int RunScanCommand(const ScanOptions& o, const std::atomic<bool>& stop, std::ostream& out, std::ostream& err,
                   bool progressInPlace) {
  if (!o.mergeFiles.empty()) return RunScanMerge(o, out, err);
  {
    Potential pot;
    ApplyPotentialKind(pot, o.run.kind);
    const std::string coarse = ResolutionWarning(pot, o.run.halfInterval, o.run.gridSize);
    if (!coarse.empty()) err << "kinklab-run: " << coarse << '\n' << std::flush;
  }
  if (o.refineTolerance > 0) return RunRefinedScan(o, stop, out, err, progressInPlace);
  const std::vector<double> all = ScanVelocities(o.v0, o.v1, o.dv);
  std::vector<double> mine;
  for (size_t i : PartIndices(all.size(), o.part, o.parts)) mine.push_back(all[i]);

  const bool toOut = o.csvFile.empty();
  std::string csv = ScanCsvHeader();
  if (toOut) out << csv << std::flush;
  ScanCallbacks callbacks;
  callbacks.finished = [&](const CollisionRun& run) {
    if (toOut)
      out << ScanCsvRow(run) << std::flush;
    else
      csv += ScanCsvRow(run);
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
  if (!toOut && !WriteFileReplacing(o.csvFile, csv, error)) {
    err << "kinklab-run: " << error << '\n';
    status = 1;
  }
  if (!o.pngFile.empty() && !WriteScanMap(o, mine, result.runs, err)) status = 1;
  if (!o.h5File.empty() && !WriteRecordOf(o, result.runs, {}, err)) status = 1;
  if (!result.error.empty()) {
    err << "kinklab-run: " << result.error << '\n';
    status = 1;
  }
  if (stop.load())
    err << "kinklab-run: scan stopped; the " << result.runs.size() << " finished runs of " << mine.size()
        << " are written\n";
  return status;
}

int RunScanMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
  ScanOptions options;
  std::string error;
  if (!ParseScanArgs(args, options, error)) {
    err << "kinklab-run: " << error << '\n';
    return 2;
  }
  options.command = "kinklab-run";
  for (const std::string& a : args) options.command += " " + a;
  // Ctrl-C (or SIGTERM) stops the scan and lets it write what it finished.
  const StopOnSignals signals;
  // The progress line is rewritten in place on a terminal, unless the rows go to the same one.
  const bool inPlace = isatty(STDERR_FILENO) == 1 && !(options.csvFile.empty() && isatty(STDOUT_FILENO) == 1);
  return signals.Status(RunScanCommand(options, signals.Flag(), out, err, inPlace));
}

}  // namespace kl
