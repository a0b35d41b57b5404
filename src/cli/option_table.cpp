// The declarations of kinklab-run's options: each option's name, value, group, modes, default,
// what it needs, its meaning, and the reader of its value.
#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "records/setup_file.h"
#include "cli/option_table.h"
#include "cli/scan_runs.h"
#include "engine/step_pool.h"
#include "interaction/colour_scale.h"
#include "soliton/potential.h"
#include "base/numbers.h"

namespace kl::cli {

namespace {

// --- Values --------------------------------------------------------------------------------

double Number(const std::string& text) {
  double v = 0;
  if (!ParseNumber(text, v)) throw Refused{"not a number"};
  return v;
}

int Whole(const std::string& text, int lo, int hi, const std::string& why) {
  double v = 0;
  if (!ParseNumber(text, v) || v != std::floor(v) || v < lo || v > hi) throw Refused{why};
  return static_cast<int>(v);
}

std::vector<double> Numbers(const std::string& text, char sep, size_t count, const char* form) {
  std::vector<double> v;
  if (!ParseNumberList(text, sep, count, v)) throw Refused{std::string("expected ") + form};
  return v;
}

std::pair<int, int> Size(const std::string& text, int lo, int hi) {
  const std::string why = "expected WxH, two whole numbers from " + std::to_string(lo) + " to " + std::to_string(hi);
  const size_t x = text.find('x');
  if (x == std::string::npos) throw Refused{why};
  return {Whole(text.substr(0, x), lo, hi, why), Whole(text.substr(x + 1), lo, hi, why)};
}

std::string FileName(const std::string& text) {
  if (text.empty()) throw Refused{"a file name"};
  return text;
}

// A range A:B whose ends are in order.
std::pair<double, double> Range(const std::string& text) {
  const std::vector<double> v = Numbers(text, ':', 2, "A:B, two numbers");
  if (v[0] > v[1]) throw Refused{"the range's start A lies above its end B"};
  return {v[0], v[1]};
}

// What a setup file sets among the runner's options; the colour count, the picture scales and
// the adiabatic parameters have no use without the window.
void TakeSetup(const SetupData& s, RunnerOptions& o) {
  o.kind = s.PotentialKind;
  o.modulation.reset();  // the file's kind decides, unless --modulation follows
  o.halfInterval = s.HalfInterval;
  o.gridSize = GridSizeFromList(s.GridIndex);
  o.kinks.clear();
  for (int i = 0; i < s.SolitonCount; ++i) o.kinks.emplace_back(s.Kinks[i].Displacement, s.Kinks[i].Velocity);
  o.rotator = s.InitMethod == 1;
  o.kF_Re = s.kF_Re;
  o.kF_Im = s.kF_Im;
  o.kD = s.kD;
  o.qL = s.qL;
  o.qR = s.qR;
  o.logPeriod = s.LogPeriod;
}

// --- The declarations -------------------------------------------------------------------------

constexpr const char* kCommon = "Single runs and scans";
constexpr const char* kSingle = "Single run";
constexpr const char* kScan = "Scan";
constexpr const char* kRefine = "Refinement";
constexpr const char* kSweep = "Sweep";
constexpr const char* kMergeGroup = "Merge";

std::vector<OptionDecl> MakeDeclarations() {
  using R = Reading;
  using S = const std::string&;
  return {
      // Both modes.
      {"--kind", "K", kCommon, kRun | kGrid | kFromCsv, "1", nullptr, "potential kind 1, 2, 3 or 4",
       false, [](S v, R& r) {
         r.run.kind = Whole(v, 1, 4, "the potential kind must be 1, 2, 3 or 4");
       }},
      {"--modulation", "K", kCommon, kRun | kGrid | kFromCsv, "the kind's: 0, 0.9, 1.1 or 5", nullptr,
       "the family's W = 0.25 (u^2 - 1)^2 (cos(K (u - 0.3)) + 1.5) / 2.5 for any K from 0 to 20 (--kind 2 is "
       "--modulation 0.9); refused where the grid does not resolve the kink",
       false, [](S v, R& r) {
         const double k = Number(v);
         if (!(k >= kMinModulation && k <= kMaxModulation)) throw Refused{"the modulation k lies from 0 to 20"};
         r.run.modulation = k;
       }},
      {"--potential", "W", kCommon, kRun | kGrid | kFromCsv, "the family", nullptr,
       "a model other than the family: phi4 ((u^2-1)^2/4), phi6 (u^2*(1-u^2)^2/2), sine-gordon (1-cos(u)), or W "
       "as a formula in u with numbers, + - * / ^, pi, e, sin cos tan exp log sqrt abs sinh cosh tanh asin acos "
       "atan and parameters; its derivatives are exact; not with --kind or --modulation",
       false, [](S v, R& r) {
         if (v.empty()) throw Refused{"the potential is empty"};
         r.run.potential = v;
       }},
      {"--param", "NAME=VALUE", kCommon, kRun | kGrid | kFromCsv, nullptr, "--potential",
       "the value of a parameter of the formula; once for each", false, [](S v, R& r) {
         const size_t eq = v.find('=');
         if (eq == std::string::npos || eq == 0) throw Refused{"expected NAME=VALUE"};
         const std::string name = v.substr(0, eq);
         for (const ModelParam& p : r.run.params)
           if (p.name == name) throw Refused{"the parameter " + name + " is given twice"};
         r.run.params.push_back(ModelParam{name, Number(v.substr(eq + 1))});
       }},
      {"--vacua", "V0,V1,...", kCommon, kRun | kGrid | kFromCsv, "phi6: 0,1,0,...; sine-gordon: 0,2*pi,0,...; "
       "others: -1,1,-1,...", "--potential",
       "the vacua the field passes from left to right, numbers or constant formulas (2*pi): one more than the "
       "kinks, kink i going from V(i-1) to V(i); a scan's pair A,B,A",
       false, [](S v, R& r) {
         std::vector<std::string> items;
         for (size_t start = 0;;) {
           const size_t comma = v.find(',', start);
           items.push_back(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
           if (comma == std::string::npos) break;
           start = comma + 1;
         }
         if (items.size() > 10) throw Refused{"at most ten vacua (nine kinks)"};
         r.run.vacuaText = items;
       }},
      {"--L", "X", kCommon, kRun | kGrid | kFromCsv, "10; in a scan C + 10", nullptr,
       "half-length of the initial interval [-L, L], 1e-6 ... 1e6", false, [](S v, R& r) {
         const double L = Number(v);
         if (!IsUsableHalfInterval(L)) throw Refused{std::string("the half-length must lie ") + kHalfIntervalRange};
         r.run.halfInterval = L;
       }},
      {"--N", "N", kCommon, kRun | kGrid | kFromCsv, "256", nullptr,
       "grid parts of [-L, L], dx = 2L/N: an even number from 64 to 65536 (--png, --h5, --movie and marks: "
       "the window's 256, 512 or 1024)",
       false, [](S v, R& r) {
         const int n = Whole(v, 0, 1 << 30, "not an integer");
         if (n < kMinGrid || n > kMaxGrid || n % 2 != 0) throw Refused{"N must be an even number from 64 to 65536"};
         r.run.gridSize = n;
       }},
      {"--t", "T", kCommon, kRun | kGrid | kFromCsv, "the first-phase limit 7L, 3L or L, at least L; in a scan 200",
       nullptr, "run until t reaches T, within the run's reach", false, [](S v, R& r) {
         const double t = Number(v);
         if (t < 0) throw Refused{"the time must not be negative"};
         r.run.untilTime = t;
       }},
      {"--precision", "P", kCommon, kRun | kGrid | kFromCsv, "extended", nullptr,
       "the arithmetic of the step: extended (long double) or double (several times faster)", false,
       [](S v, R& r) {
         if (!ParsePrecision(v, r.run.precision)) throw Refused{"the precision is extended or double"};
       }},
      {"--threads", "N", kCommon, kRun | kRunsScans, "the CPUs this process may use; in a scan 1", nullptr,
       "threads that share a wide step, 1 ... 16; the results are the same bits for any N", false,
       [](S v, R& r) {
         r.run.threads = Whole(v, 1, kMaxStepThreads,
                               "the number of threads is a whole number from 1 to " + std::to_string(kMaxStepThreads));
       }},
      {"--colours", "N", kCommon, kRun | kGrid | kFromH5 | kMerge, "16", nullptr,
       "colours of the x-t picture (--png) or of the scan's map (--scan-png): 16, 24, ... 200", false,
       [](S v, R& r) {
         const int n = Whole(v, 16, 200, "the number of colours is one of 16, 24, ..., 200");
         if (n % 8 != 0) throw Refused{"the number of colours is one of 16, 24, ..., 200"};
         r.run.colourCount = n;
       }},

      // A single run.
      {"--setup", "FILE.kq1", kSingle, kRun, nullptr, nullptr,
       "start from a setup saved by the window (kind, L, N, kinks, rotator, log period); options after it "
       "override the file's, and the first --kink after it starts a new kink list",
       false, [](S v, R& r) {
         SetupData setup;
         std::string why;
         if (!LoadSetupFile(v, setup, why)) throw Refused{why, true};
         TakeSetup(setup, r.run);
         r.kinksFromSetup = true;
       }},
      {"--kink", "C:V", kSingle, kRun, nullptr, nullptr,
       "a kink at C in [-L, L] with velocity V, |V| < 1; up to nine; sorted by C they alternate kink, antikink, ...",
       false, [](S v, R& r) {
         const std::vector<double> k = Numbers(v, ':', 2, "C:V, two numbers");
         if (!(std::fabs(k[1]) < 1)) throw Refused{"the velocity must lie strictly between -1 and 1"};
         if (r.kinksFromSetup) r.run.kinks.clear();
         r.kinksFromSetup = false;
         if (r.run.kinks.size() >= 9) throw Refused{"at most nine kinks"};
         r.run.kinks.emplace_back(k[0], k[1]);
       }},
      {"--rotator", "kF_Re,kF_Im,kD,qL,qR", kSingle, kRun, nullptr, nullptr,
       "add the localised oscillation with these values (otherwise a plain chain)", false, [](S v, R& r) {
         const std::vector<double> q = Numbers(v, ',', 5, "kF_Re,kF_Im,kD,qL,qR, five numbers");
         r.run.rotator = true;
         r.run.kF_Re = q[0];
         r.run.kF_Im = q[1];
         r.run.kD = q[2];
         r.run.qL = q[3];
         r.run.qR = q[4];
       }},
      {"--mark", "A:B", kSingle, kRun, nullptr, nullptr, "a marked interval [A, B] followed by the run; up to nine",
       false, [](S v, R& r) {
         const auto m = Range(v);
         if (r.run.marks.size() >= 9) throw Refused{"at most nine marks"};
         r.run.marks.push_back(m);
       }},
      {"--log", "NAME", kSingle, kRun, nullptr, nullptr,
       "write NAME.txt: the header line and a record per mark every --log-period steps", false, [](S v, R& r) {
         if (v.empty() || v.find(' ') != std::string::npos) throw Refused{"a log name without blanks"};
         r.run.logName = v;
       }},
      {"--log-period", "P", kSingle, kRun, "0, or the setup's", "--log", "a log record every P steps", false,
       [](S v, R& r) {
         r.run.logPeriod = Whole(v, 0, 2147483647, "the period is a whole number of steps from 0");
       }},
      {"--energy", "FILE", kSingle, kRun, nullptr, nullptr, "CSV t,E, one row per step", false,
       [](S v, R& r) { r.run.energyFile = FileName(v); }},
      {"--dump", "FILE", kSingle, kRun, nullptr, nullptr, "CSV x,u,r of the newest level over its computed range",
       false, [](S v, R& r) { r.run.dumpFile = FileName(v); }},
      {"--png", "FILE", kSingle, kRun, nullptr, nullptr,
       "the x-t colour picture of the run as the window's refresh paints it", false,
       [](S v, R& r) { r.run.pngFile = FileName(v); }},
      {"--size", "WxH", kSingle, kRun, "800x400", "--png", "the size of that picture, 1 ... 16384 each way", false,
       [](S v, R& r) { std::tie(r.run.pngWidth, r.run.pngHeight) = Size(v, 1, 16384); }},
      {"--energy-picture", nullptr, kSingle, kRun, nullptr, "--png",
       "paint the energy density instead of the amplitude", false, [](S, R& r) { r.run.energyPicture = true; }},
      {"--h5", "FILE", kSingle, kRun, nullptr, nullptr,
       "the record of the run (HDF5): t, x, u, r, energy and the marks, growing as the run goes", false,
       [](S v, R& r) { r.run.h5File = FileName(v); }},
      {"--h5-every", "K", kSingle, kRun, "about 1000 rows to --t", "--h5", "a record row every K steps", false,
       [](S v, R& r) { r.run.h5Every = Whole(v, 1, 2147483647, "the steps between samples are a whole number from 1"); }},
      {"--h5-range", "A:B", kSingle, kRun, "-L:L", "--h5",
       "the record's points in [A, B], within what the run computes", false, [](S v, R& r) { r.run.h5Range = Range(v); }},
      {"--h5-stride", "S", kSingle, kRun, "1", "--h5", "every S-th grid point of that range", false,
       [](S v, R& r) { r.run.h5Stride = Whole(v, 1, 2147483647, "the stride is a whole number from 1"); }},
      {"--movie", "FILE.gif", kSingle, kRun, nullptr, nullptr,
       "an animated GIF of the profile above the log energy density, with t and E", false,
       [](S v, R& r) { r.run.movieFile = FileName(v); }},
      {"--movie-every", "K", kSingle, kRun, "about 300 frames", "--movie", "a frame every K steps", false,
       [](S v, R& r) {
         r.run.movieEvery = Whole(v, 1, 2147483647, "the steps between samples are a whole number from 1");
       }},
      {"--movie-size", "WxH", kSingle, kRun, "640x360", "--movie", "the movie's size, 64 ... 4096 each way", false,
       [](S v, R& r) { std::tie(r.run.movieWidth, r.run.movieHeight) = Size(v, 64, 4096); }},

      // A scan.
      {"--scan", "V0:V1:DV", kScan, kGrid, nullptr, nullptr,
       "collide a kink at -C moving right with v and an antikink at +C moving left with v, for v = V0, "
       "V0 + DV, ..., V1 (|v| < 1, at most 10000); a CSV row per v",
       false, [](S v, R& r) {
         const std::vector<double> s = Numbers(v, ':', 3, "V0:V1:DV, three numbers");
         if (!(std::fabs(s[0]) < 1) || !(std::fabs(s[1]) < 1))
           throw Refused{"the velocities must lie strictly between -1 and 1"};
         if (s[1] < s[0]) throw Refused{"the last velocity V1 is below the first V0"};
         if (!(s[2] > 0)) throw Refused{"the step DV must be positive"};
         if (VelocityCount(s[0], s[1], s[2]) > kScanMaxVelocities)
           throw Refused{"more than " + std::to_string(kScanMaxVelocities) + " velocities"};
         // The velocities are run as rounded to 12 significant digits, which may reach 1.
         const std::vector<double> run = ScanVelocities(s[0], s[1], s[2]);
         if (!run.empty() && (!(std::fabs(run.front()) < 1) || !(std::fabs(run.back()) < 1)))
           throw Refused{"the velocities, rounded to 12 significant digits, must lie strictly between -1 and 1"};
         r.scan.v0 = s[0];
         r.scan.v1 = s[1];
         r.scan.dv = s[2];
       }},
      {"--separation", "C", kScan, kGrid | kFromCsv, "10", nullptr,
       "the pair starts at -C and +C: C is half their distance; L must be at least C + 5", false, [](S v, R& r) {
         r.scan.separation = Number(v);
         if (!(r.scan.separation > 0)) throw Refused{"the half-distance C must be positive"};
       }},
      {"--jobs", "J", kScan, kRunsScans, "the CPUs this process may use (SLURM_CPUS_PER_TASK within them)", nullptr,
       "runs at once", false,
       [](S v, R& r) { r.scan.jobs = Whole(v, 1, 1024, "the number of runs at once is a whole number from 1 to 1024"); }},
      {"--scan-csv", "FILE", kScan, kAnyScan, "standard output", nullptr,
       "the scan's CSV v,outcome,bounces,first_collision,v_out,end_distance, through a temporary file", false,
       [](S v, R& r) { r.scan.csvFile = FileName(v); }},
      {"--scan-png", "FILE", kScan, kGrid | kFromH5 | kMerge, nullptr, nullptr,
       "the map of u(0, t): a band of columns per velocity, t upward, with axes and a colour key", false,
       [](S v, R& r) { r.scan.pngFile = FileName(v); }},
      {"--scan-h5", "FILE", kScan, kGrid | kFromH5 | kMerge, nullptr, nullptr,
       "the scan's record (HDF5): its table, u(0, t) of every run, the edges and the parameters", false,
       [](S v, R& r) { r.scan.h5File = FileName(v); }},
      {"--scan-part", "K/N|auto", kScan, kRunsScans, nullptr, nullptr,
       "only the K-th of N interleaved shares (of the velocities, or of a refinement's edges); auto: a job "
       "array's task",
       false, [](S v, R& r) {
         r.autoPart = v == "auto";  // the share of a job-array task, read after all options
         if (r.autoPart) return;
         const std::string why = "expected K/N, whole numbers with 1 <= K <= N, or auto";
         const std::vector<double> k = Numbers(v, '/', 2, "K/N, whole numbers with 1 <= K <= N, or auto");
         if (k[1] != std::floor(k[1]) || k[1] < 1 || k[1] > 1000000 || k[0] != std::floor(k[0]) || k[0] < 1 ||
             k[0] > k[1])
           throw Refused{why};
         r.scan.part = static_cast<int>(k[0]);
         r.scan.parts = static_cast<int>(k[1]);
       }},
      {"--scan-parts", "N", kScan, kRunsScans, "the job array's size", nullptr,
       "the number of shares of --scan-part auto, the array numbered 1 ... N", false, [](S v, R& r) {
         r.partsOption = Whole(v, 1, 1000000, "the number of shares is a whole number from 1 to 1000000");
       }},

      // Refinement.
      {"--refine", "TOL", kRefine, kRunsScans, nullptr, nullptr,
       "bisect every pair of neighbouring velocities of different class until less than TOL apart", false,
       [](S v, R& r) {
         double tol = 0;
         if (!ParseNumber(v, tol) || !(tol > 0)) throw Refused{"the tolerance must be a positive number"};
         r.scan.refineTolerance = tol;
       }},
      {"--edges", "FILE", kRefine, kRunsScans | kMerge, nullptr, nullptr,
       "a CSV v_low,v_high,class_low,class_high, one row per located edge (needs --refine, or the records of a "
       "refinement to merge)",
       false,
       [](S v, R& r) { r.scan.edgesFile = FileName(v); }},
      {"--converge", "N1,N2,...", kRefine, kGrid, nullptr, nullptr,
       "with --refine: run the refined scan at each grid (two or more, each at least the one before), match "
       "the edges across them and extrapolate each to dx -> 0 (error proportional to dx^2); with --edges, a "
       "column v_N per grid, v_extrapolated and error. With --scan-part instead: a share of every grid's runs, "
       "whose merged record --from-h5 refines",
       false, [](S v, R& r) {
         std::vector<int> grids;
         size_t start = 0;
         const std::string why = "expected two or more grids N1,N2,..., each an even number from 64 to 65536 and "
                                 "at least the one before";
         for (;;) {
           const size_t comma = v.find(',', start);
           const int n = Whole(v.substr(start, comma == std::string::npos ? std::string::npos : comma - start),
                               kMinGrid, kMaxGrid, why);
           if (n % 2 != 0 || (!grids.empty() && n < grids.back())) throw Refused{why};
           grids.push_back(n);
           if (comma == std::string::npos) break;
           start = comma + 1;
         }
         if (grids.size() < 2) throw Refused{why};
         r.scan.convergeGrids = grids;
       }},
      {"--from-csv", "FILE", kRefine, kFromCsv, nullptr, "--refine",
       "refine a finished (or concatenated split) scan CSV: only the bisection runs", false,
       [](S v, R& r) { r.scan.fromCsv = FileName(v); }},
      {"--from-h5", "FILE", kRefine, kFromH5, nullptr, "--refine",
       "refine a recorded scan, taking its parameters from the record", false,
       [](S v, R& r) { r.scan.fromH5 = FileName(v); }},

      // A sweep over the family.
      {"--sweep-param", "NAME=K0:K1:DK", kSweep, kGrid, nullptr, "--potential",
       "run the scan (refined, converged or split as asked) for every value K0, K0 + DK, ..., K1 of the formula's "
       "parameter NAME, at most 1000, as --sweep-modulation does for the family's k",
       false, [](S v, R& r) {
         const size_t eq = v.find('=');
         if (eq == std::string::npos || eq == 0) throw Refused{"expected NAME=K0:K1:DK"};
         const std::vector<double> s = Numbers(v.substr(eq + 1), ':', 3, "NAME=K0:K1:DK, a name and three numbers");
         if (s[1] < s[0]) throw Refused{"the last value K1 is below the first K0"};
         if (!(s[2] > 0)) throw Refused{"the step DK must be positive"};
         if (VelocityCount(s[0], s[1], s[2]) > kSweepMaxModulations)
           throw Refused{"more than " + std::to_string(kSweepMaxModulations) + " values"};
         r.scan.sweepParam = v.substr(0, eq);
         r.scan.k0 = s[0];
         r.scan.k1 = s[1];
         r.scan.dk = s[2];
       }},
      {"--sweep-modulation", "K0:K1:DK", kSweep, kGrid, nullptr, "--scan",
       "run the scan (refined, converged or split as asked) for every k = K0, K0 + DK, ..., K1 of the family, "
       "0 <= K0 <= K1 <= 20, at most 1000; with --scan-csv every run with its k",
       false, [](S v, R& r) {
         const std::vector<double> s = Numbers(v, ':', 3, "K0:K1:DK, three numbers");
         if (!(s[0] >= kMinModulation && s[1] <= kMaxModulation)) throw Refused{"the modulations lie from 0 to 20"};
         if (s[1] < s[0]) throw Refused{"the last modulation K1 is below the first K0"};
         if (!(s[2] > 0)) throw Refused{"the step DK must be positive"};
         if (VelocityCount(s[0], s[1], s[2]) > kSweepMaxModulations)
           throw Refused{"more than " + std::to_string(kSweepMaxModulations) + " modulations"};
         const std::vector<double> ks = ScanVelocities(s[0], s[1], s[2]);
         if (!ks.empty() && ks.back() > kMaxModulation) throw Refused{"the modulations lie from 0 to 20"};
         r.scan.k0 = s[0];
         r.scan.k1 = s[1];
         r.scan.dk = s[2];
       }},
      {"--sweep-csv", "FILE", kSweep, kGrid | kFromH5 | kMerge, "standard output", nullptr,
       "the sweep's table k,v_c_low,v_c_high,edges,windows: the critical velocity's bracket (extrapolated "
       "+- error with --converge), the edges and the escape windows below it, a row per k",
       false, [](S v, R& r) { r.scan.sweepCsv = FileName(v); }},
      {"--sweep-png", "FILE", kSweep, kGrid | kFromH5 | kMerge, nullptr, nullptr,
       "the outcome map in the (v, k) plane: a cell per run coloured by its class, with the v_c(k) curve, the "
       "four kinds marked, axes and a key",
       false, [](S v, R& r) { r.scan.sweepPng = FileName(v); }},
      {"--sweep-h5", "FILE", kSweep, kGrid | kFromH5 | kMerge, nullptr, nullptr,
       "the sweep's record (HDF5): a group per k with its scan's record, which --from-h5 refines and "
       "--scan-merge joins from shares",
       false, [](S v, R& r) { r.scan.sweepH5 = FileName(v); }},

      // Merge.
      {"--scan-merge", "A.h5 B.h5 ...", kMergeGroup, kMerge, nullptr, nullptr,
       "join the records of a split scan's shares into the whole scan's --scan-csv, --scan-png and --scan-h5",
       true, [](S v, R& r) { r.scan.mergeFiles.push_back(FileName(v)); }},
  };
}

}  // namespace

const std::vector<OptionDecl>& Declarations() {
  static const std::vector<OptionDecl> decls = MakeDeclarations();
  return decls;
}

}  // namespace kl::cli
