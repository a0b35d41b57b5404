#pragma once
// The options of kinklab-run: what a single run and a scan are told on the command line.
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/sim_state.h"
#include "soliton/field_model.h"

namespace kl {


struct RunnerOptions {
  int kind = 1;
  // --modulation: the family's k, which then decides the potential; `kind` is the kind of that
  // k, or 0 for a k between the kinds. Unset: the kind's own k.
  std::optional<double> modulation;
  // --potential and --param: a model other than the family (named or a formula), made by the
  // checks; --vacua: the chain's vacua as given, settled by the checks into `vacua` (empty for
  // the family).
  std::string potential;
  std::vector<ModelParam> params;
  std::vector<std::string> vacuaText;
  std::shared_ptr<const FieldModel> model;
  std::vector<double> vacua;
  double halfInterval = 10.0;
  int gridSize = 256;
  std::vector<std::pair<double, double>> kinks;  // displacement, velocity
  bool rotator = false;
  double kF_Re = 0.5, kF_Im = 0.2, kD = 0.1, qL = 0.3, qR = 2.0;
  std::vector<std::pair<double, double>> marks;  // left, right
  std::optional<double> untilTime;               // default: the first-phase limit
  std::string logName;                           // empty: no log file
  int logPeriod = 0;
  std::string energyFile;  // CSV t,E, one row per step
  std::string dumpFile;    // CSV x,u,r of the newest level
  std::string pngFile;     // the x-t colour picture as the refresh paints it
  bool energyPicture = false;
  int pngWidth = 800, pngHeight = 400;
  int colourCount = 16;
  StepPrecision precision = StepPrecision::Extended;
  int threads = 0;  // threads sharing a wide step; 0: one per core
  // The record of the run (HDF5): a row every h5Every steps (0: about 1000 rows to the end
  // time) of the points in h5Range (default [-L, L]), every h5Stride-th of them.
  std::string h5File;
  long h5Every = 0;
  std::optional<std::pair<double, double>> h5Range;
  int h5Stride = 1;
  // The movie of the run (GIF): a frame every movieEvery steps (0: about 300 frames).
  std::string movieFile;
  long movieEvery = 0;
  int movieWidth = 640, movieHeight = 360;
  std::string command;  // the command line, as the record keeps it
};

inline constexpr double kScanDefaultTime = 200.0;
inline constexpr double kScanDefaultSeparation = 10.0;
inline constexpr double kScanDefaultSpare = 10.0;  // default L = C + this
inline constexpr double kScanMinSpare = 5.0;       // L >= C + this: the kink's tail fits
inline constexpr int kScanMaxVelocities = 10000;
inline constexpr int kSweepMaxModulations = 1000;


struct ScanOptions {
  RunnerOptions run;  // kind, L, N, the time limit, precision, threads per run, colour count
  double v0 = 0, v1 = 0, dv = 0;
  double separation = kScanDefaultSeparation;  // C
  int part = 1, parts = 1;                     // the part-th of `parts` interleaved shares: --scan-part
                                               // K/N, or auto for a job array's (cluster_share.h)
  int jobs = 0;                                // runs at once; 0: DefaultJobs(), the CPUs granted
  std::string csvFile;                         // empty: standard output
  std::string pngFile;                         // empty: no map
  // Refinement: the edges between runs of different class bisected until narrower than
  // `refineTolerance` (0: none), the edges written to `edgesFile`; with `fromCsv` the grid's
  // rows are read from that scan CSV instead of being run, and `part`/`parts` deal out the edges.
  double refineTolerance = 0;
  std::string edgesFile;
  std::string fromCsv;
  std::string fromH5;                    // refine the scan of this record, taking its parameters
  std::string h5File;                    // --scan-h5: the scan's record
  std::vector<std::string> mergeFiles;   // --scan-merge: the records of a split scan to join
  std::vector<int> convergeGrids;        // --converge: the grids, coarsest first
  // --sweep-modulation: the scan at every k = K0, K0 + DK, ..., K1 of the family (none while
  // dk is 0), its table, map and record.
  double k0 = 0, k1 = 0, dk = 0;
  // --sweep-param: the name of the formula's parameter swept over K0 ... K1 instead of the
  // family's k; empty for --sweep-modulation.
  std::string sweepParam;
  // The swept quantity's name in tables, maps and messages: "k" or the parameter's.
  const std::string& SweptName() const {
    static const std::string k = "k";
    return sweepParam.empty() ? k : sweepParam;
  }
  std::string sweepCsv, sweepPng, sweepH5;
  bool Sweeps() const { return dk > 0; }
  std::string command;                   // the command line, for the record
};

// What a command line asks for.
enum class CommandKind { Help, Version, Run, Scan };
struct Command {
  CommandKind kind = CommandKind::Run;
  RunnerOptions run;  // a single run
  ScanOptions scan;   // a scan, a refinement or a merge
};

// Reads a whole command line (without the program name) against the declared options: each
// option's value, the mode the line is in (a single run; a scan from --scan, --from-csv,
// --from-h5 or --scan-merge), what each option needs and excludes, and whatever would make the
// run fail late (an unstable grid, an end time beyond the run's reach, outputs that cannot be
// written or that name one file twice). "--help" or "--version" anywhere wins. On a bad line
// returns false with a one-line `error` naming the option; nothing is created.
//
// "--setup FILE" loads a saved setup and sets every option the file holds (kind, L, N, the
// kinks, the rotator and its parameters, the log period); options are taken in order, so one
// given after it overrides the file's value and the first --kink after it starts a new kink
// list. In a scan, L defaults to C + 10, t to 200, and each run steps on one thread.
bool ReadCommandLine(const std::vector<std::string>& args, Command& command, std::string& error);

// The help, made from the declarations: usage, then every option with its value, meaning and
// default, grouped by mode.
std::string HelpText();
// The options of the named help groups ("Single runs and scans", "Single run", "Scan",
// "Refinement", "Merge") as a Markdown table, for the README and the guide.
std::string OptionsMarkdown(const std::vector<std::string>& groups);

// ReadCommandLine for a line that must be a single run, or a scan.
bool ParseRunnerArgs(const std::vector<std::string>& args, RunnerOptions& options, std::string& error);
bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& options, std::string& error);

// Reads "A:B" or "A,B,C,..." (separator `sep`) into exactly `count` numbers.
bool ParseNumberList(const std::string& text, char sep, size_t count, std::vector<double>& values);

// True when the arguments ask for a scan, a refinement or a merge.
bool HasScanOption(const std::vector<std::string>& args);

}  // namespace kl
