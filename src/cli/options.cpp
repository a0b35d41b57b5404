#include "cli/options.h"

#include <CLI/CLI.hpp>

#include <algorithm>
#include <cmath>
#include <sstream>

#include "app/data_file.h"
#include "cli/option_table.h"
#include "cli/scan_runs.h"
#include "engine/step_pool.h"
#include "interaction/colour_scale.h"
#include "soliton/numbers.h"
#include "soliton/potential.h"

namespace kl {

namespace cli {

std::string Reading::Named(const std::string& name) const {
  const auto it = given.find(name);
  return it == given.end() || it->second.empty() ? name : name + " " + it->second;
}

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
      {"--edges", "FILE", kRefine, kRunsScans, nullptr, "--refine",
       "a CSV v_low,v_high,class_low,class_high, one row per located edge", false,
       [](S v, R& r) { r.scan.edgesFile = FileName(v); }},
      {"--converge", "N1,N2,...", kRefine, kGrid, nullptr, "--refine",
       "run the refined scan at each grid (two or more, each at least the one before), match the edges across "
       "them and extrapolate each to dx -> 0 (error proportional to dx^2); with --edges, a column v_N per grid, "
       "v_extrapolated and error",
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

      // Merge.
      {"--scan-merge", "A.h5 B.h5 ...", kMergeGroup, kMerge, nullptr, nullptr,
       "join the records of a split scan's shares into the whole scan's --scan-csv, --scan-png and --scan-h5",
       true, [](S v, R& r) { r.scan.mergeFiles.push_back(FileName(v)); }},
  };
}

// --- The parser --------------------------------------------------------------------------------

// The usage lines come first in the help; CLI11 lays out the groups of options below them.
class HelpLayout : public CLI::Formatter {
 public:
  static constexpr size_t kNameColumn = 30, kTextWidth = 68;

  HelpLayout() { column_width(kNameColumn); }

  // The option and its value's name; what it needs is said in its text.
  std::string make_option_opts(const CLI::Option* o) const override {
    return o->get_type_size() == 0 ? std::string() : " " + o->get_type_name();
  }
  // The text wrapped into lines of kTextWidth characters at most.
  std::string make_option_desc(const CLI::Option* o) const override {
    std::string text, line;
    std::istringstream words(o->get_description());
    for (std::string word; words >> word;) {
      if (!line.empty() && line.size() + 1 + word.size() > kTextWidth) {
        text += line + '\n';
        line.clear();
      }
      line += (line.empty() ? "" : " ") + word;
    }
    return text + line;
  }
  std::string make_usage(const CLI::App*, std::string) const override {
    return "Usage: kinklab-run [--setup FILE.kq1] [--kink C:V]... [OPTIONS]      a single run\n"
           "   or: kinklab-run --scan V0:V1:DV [--refine TOL] [OPTIONS]       a collision scan\n"
           "   or: kinklab-run --from-csv SCAN.csv --refine TOL [OPTIONS]     refine a scan's CSV\n"
           "   or: kinklab-run --from-h5 SCAN.h5 --refine TOL [OPTIONS]       refine a scan's record\n"
           "   or: kinklab-run --scan-merge A.h5 B.h5 ... [OPTIONS]           join a split scan\n"
           "   or: kinklab-run --help | --version\n";
  }
};

std::string Described(const OptionDecl& d) {
  std::string text = d.meaning;
  if (d.needs) text += "; needs " + std::string(d.needs);
  if (d.fallback) text += " (default: " + std::string(d.fallback) + ")";
  return text;
}

// The CLI11 application of the declarations; `options` gets each declaration's option.
std::unique_ptr<CLI::App> MakeApp(const std::vector<OptionDecl>& decls, std::vector<CLI::Option*>& options) {
  auto app = std::make_unique<CLI::App>(
      "kinklab-run: runs of kinks and antikinks of u_tt - u_xx = -dW/du, and collision scans, without the "
      "window. Units: c = 1, lengths and times dimensionless.",
      "kinklab-run");
  app->formatter(std::make_shared<HelpLayout>());
  app->set_help_flag();  // --help is seen before parsing, wherever it stands
  app->add_flag(std::string("--help,-h"))->description("print this help and exit")->group("General");
  app->add_flag(std::string("--version"))->description("print the version and exit")->group("General");
  app->allow_extras();  // unknown words are told in the program's own words
  app->footer(
      "A bad argument prints one line naming it and exits with status 2; nothing is written then. Ctrl-C or "
      "SIGTERM stops a run or a scan, writes what is finished, and exits with 130 or 143.");
  options.clear();
  for (const OptionDecl& d : decls) {
    CLI::Option* o = d.value ? app->add_option(std::string(d.name)) : app->add_flag(std::string(d.name));
    o->description(Described(d));
    o->group(d.group);
    if (d.value) {
      o->type_name(d.value);
      o->multi_option_policy(CLI::MultiOptionPolicy::TakeAll);
      if (d.many) o->expected(1, CLI::detail::expected_max_vector_size)->allow_extra_args(true);
    } else {
      o->disable_flag_override();
    }
    options.push_back(o);
  }
  for (size_t k = 0; k < decls.size(); ++k)
    if (decls[k].needs) options[k]->needs(app->get_option(decls[k].needs));
  for (const char* a : kSources)
    for (const char* b : kSources)
      if (std::string(a) < b) app->get_option(a)->excludes(app->get_option(b));
  return app;
}

// CLI11's messages in the program's words.
std::string Translated(const CLI::ParseError& e) {
  const std::string what = e.what();
  const std::string name = what.substr(0, what.find_first_of(" :"));
  if (what.find(" required ") != std::string::npos && what.size() > 8 && what.compare(what.size() - 8, 8, " missing") == 0)
    return name + " needs a value";
  if (const size_t at = what.find(" requires "); at != std::string::npos)
    return name + " needs " + what.substr(at + 10);
  if (what.find(" excludes ") != std::string::npos) return "--scan, --from-csv, --from-h5 and --scan-merge: give one of them";
  return what;
}

bool IsDeclared(const std::vector<OptionDecl>& decls, const std::string& word) {
  const std::string name = word.substr(0, word.find('='));
  return name == "--help" || name == "--version" ||
         std::any_of(decls.begin(), decls.end(), [&](const OptionDecl& d) { return name == d.name; });
}

// "a b" -> 'a b': the command line as a shell would take it back.
std::string ShellWord(const std::string& word) {
  if (!word.empty() && word.find_first_not_of("abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789"
                                              "-_.,:/=+@%") == std::string::npos)
    return word;
  std::string quoted = "'";
  for (char c : word) quoted += c == '\'' ? std::string("'\\''") : std::string(1, c);
  return quoted + "'";
}

// Why an option may not be given in mode `mode`.
std::string NotInMode(const OptionDecl& d, unsigned mode) {
  const std::string name = d.name;
  if (mode == kRun) {
    std::vector<std::string> sources;
    const unsigned modes[] = {kGrid, kFromCsv, kFromH5, kMerge};
    for (size_t k = 0; k < 4; ++k)
      if (d.modes & modes[k]) sources.push_back(kSources[k]);
    std::string list;
    for (size_t k = 0; k < sources.size(); ++k)
      list += (k == 0 ? "" : k + 1 == sources.size() ? " or " : ", ") + sources[k];
    return name + ": needs " + list;
  }
  if (d.modes == kRun) return name + ": not used by a scan, whose runs are all the same pair at their own velocity";
  if ((mode & (kFromH5 | kMerge)) && (d.modes & kFromCsv)) return name + ": the scan's parameters come from its records";
  if (mode == kFromCsv && name == "--scan-png")
    return name + ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
  if (mode == kFromCsv && name == "--scan-h5")
    return name + ": a scan CSV holds no u(0, t) of its runs; refine from the scan's record with --from-h5";
  if (mode == kMerge && name == "--refine") return name + ": --scan-merge joins records as they are; refine with --from-h5";
  if (mode == kMerge) return name + ": --scan-merge joins records as they are";
  return name + ": not used with " + (mode == kGrid ? "--scan" : mode == kFromCsv ? "--from-csv" : "--from-h5");
}

}  // namespace

const std::vector<OptionDecl>& Declarations() {
  static const std::vector<OptionDecl> decls = MakeDeclarations();
  return decls;
}

}  // namespace cli

bool ReadCommandLine(const std::vector<std::string>& args, Command& command, std::string& error) {
  using namespace cli;
  for (const std::string& a : args) {
    if (a == "--help" || a == "-h") {
      command.kind = CommandKind::Help;
      return true;
    }
    if (a == "--version") {
      command.kind = CommandKind::Version;
      return true;
    }
  }
  const std::vector<OptionDecl>& decls = Declarations();
  std::vector<CLI::Option*> options;
  const std::unique_ptr<CLI::App> app = MakeApp(decls, options);
  try {
    std::vector<std::string> reversed(args.rbegin(), args.rend());
    app->parse(reversed);
  } catch (const CLI::ParseError& e) {
    error = Translated(e);
    return false;
  }
  // A missing value, taken from the next option: "--N --kink 0:0.5".
  for (size_t k = 0; k < decls.size(); ++k)
    for (const std::string& value : options[k]->results())
      if (decls[k].value && IsDeclared(decls, value)) {
        error = std::string(decls[k].name) + " needs a value";
        return false;
      }
  for (const std::string& word : app->remaining()) {
    error = word.rfind("-", 0) == 0 ? word + ": unknown option"
                                    : word + ": not an option (a value follows the option it belongs to)";
    return false;
  }

  Reading r;
  for (size_t k = 0; k < 4; ++k)
    if (app->get_option(kSources[k])->count() > 0) r.mode = (k == 0 ? kGrid : k == 1 ? kFromCsv : k == 2 ? kFromH5 : kMerge);
  for (size_t k = 0; k < decls.size(); ++k)
    if (options[k]->count() > 0 && !(decls[k].modes & r.mode)) {
      error = NotInMode(decls[k], r.mode);
      return false;
    }
  // The values, in the order given: a --setup's values yield to the options after it.
  std::map<const CLI::Option*, size_t> used;
  for (const CLI::Option* o : app->parse_order()) {
    const size_t k = static_cast<size_t>(std::find(options.begin(), options.end(), o) - options.begin());
    if (k == decls.size()) continue;  // --help and --version were seen before
    const OptionDecl& d = decls[k];
    const std::vector<std::string>& results = o->results();
    const std::string value = d.value && used[o] < results.size() ? results[used[o]] : std::string();
    ++used[o];
    r.given[d.name] = value;
    try {
      d.read(value, r);
    } catch (const Refused& refused) {
      const bool named = d.value && !refused.namesValue;
      error = (named ? std::string(d.name) + " " + value : std::string(d.name)) + ": " + refused.why;
      return false;
    }
  }
  if (!(r.mode == kRun ? CheckRun(r, error) : CheckScan(r, error))) return false;

  std::string line = "kinklab-run";
  for (const std::string& arg : args) line += ' ' + ShellWord(arg);
  command.kind = r.mode == kRun ? CommandKind::Run : CommandKind::Scan;
  command.run = std::move(r.run);
  command.scan = std::move(r.scan);
  command.run.command = command.scan.command = line;
  return true;
}

std::string HelpText() {
  std::vector<CLI::Option*> options;
  return cli::MakeApp(cli::Declarations(), options)->help();
}

std::string OptionsMarkdown(const std::vector<std::string>& groups) {
  auto cell = [](std::string text) {
    for (size_t k = 0; (k = text.find('|', k)) != std::string::npos; k += 2) text.insert(k, "\\");
    return text;
  };
  std::string table = "| option | meaning | default |\n|---|---|---|\n";
  for (const std::string& group : groups)
    for (const cli::OptionDecl& d : cli::Declarations()) {
      if (group != d.group) continue;
      std::string meaning = d.meaning;
      if (d.needs) meaning += "; needs `" + std::string(d.needs) + "`";
      table += "| `" + cell(std::string(d.name) + (d.value ? " " + std::string(d.value) : "")) + "` | " +
               cell(meaning) + " | " + cell(d.fallback ? d.fallback : "") + " |\n";
    }
  return table;
}

bool ParseRunnerArgs(const std::vector<std::string>& args, RunnerOptions& options, std::string& error) {
  Command c;
  if (!ReadCommandLine(args, c, error)) return false;
  if (c.kind != CommandKind::Run) {
    error = c.kind == CommandKind::Scan ? "a scan, not a single run" : "--help and --version run nothing";
    return false;
  }
  options = std::move(c.run);
  return true;
}

bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& options, std::string& error) {
  Command c;
  if (!ReadCommandLine(args, c, error)) return false;
  if (c.kind == CommandKind::Run) {
    error = "--scan V0:V1:DV is missing";
    return false;
  }
  if (c.kind != CommandKind::Scan) {
    error = "--help and --version run nothing";
    return false;
  }
  options = std::move(c.scan);
  return true;
}

bool ParseNumberList(const std::string& text, char sep, size_t count, std::vector<double>& values) {
  values.clear();
  size_t start = 0;
  for (;;) {
    const size_t end = text.find(sep, start);
    double v = 0;
    if (!ParseNumber(text.substr(start, end == std::string::npos ? std::string::npos : end - start), v))
      return false;
    values.push_back(v);
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return values.size() == count;
}

bool HasScanOption(const std::vector<std::string>& args) {
  for (const char* name : cli::kSources)
    if (std::find(args.begin(), args.end(), name) != args.end()) return true;
  return false;
}

}  // namespace kl
