#pragma once
// Collision scans: a kink at -C moving right and an antikink at +C moving left with the same
// speed v, run for every v of a range, each run reduced to its bounces, its outcome, the time
// of the first collision and the outgoing speed; a CSV row per velocity and a map of u(0, t).
//
// The bounce rule. The vacuum between the pair is +1, the vacuum outside it -1. A bounce
// begins when u(0, t) falls below -1/2 (the centre has passed over to the outer vacuum's side)
// and ends when it rises above +1/2 again (the pair has parted and the vacuum between them is
// back); only completed bounces count. The first collision is the time u(0, t) falls through
// zero on the way to the first bounce, interpolated between steps.
//
// The outcome at the end of the run. Escape: at least one bounce, the centre back on the
// vacuum between, the two kinks (the outermost zeros of u) more than four kink widths apart
// and receding. Capture: the pair met and is not so parted at the end. None: the centre never
// passed over, so the pair has not met before the time limit.
#include <atomic>
#include <cstddef>
#include <functional>
#include <iosfwd>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "app/refine.h"
#include "app/runner.h"
#include "engine/sim_state.h"
#include "views/canvas.h"

namespace kl {

inline constexpr double kScanDefaultTime = 200.0;
inline constexpr double kScanDefaultSeparation = 10.0;
inline constexpr double kScanDefaultSpare = 10.0;  // default L = C + this
inline constexpr double kScanMinSpare = 5.0;       // L >= C + this: the kink's tail fits
inline constexpr int kScanMaxVelocities = 10000;
inline constexpr double kBounceLevel = 0.5;        // |u(0, t)| past which the centre has changed side
inline constexpr double kEscapeWidths = 4.0;       // an escaped pair is this many kink widths apart

struct CollisionRun;

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
  std::string command;                   // the command line, for the record
};

// The common time grid of the runs' traces u(0, t) in maps and records: kTraceSamples times
// from 0 to the time limit, evenly spaced, each run's sample nearest to each.
inline constexpr int kTraceSamples = 1001;
std::vector<double> TraceTimes(double tMax);
// Replaces a run's series by its trace on the common grid.
void ResampleTrace(CollisionRun& run, double tMax);

// True when the arguments ask for a scan (they hold "--scan" or "--from-csv").
bool HasScanOption(const std::vector<std::string>& args);

// Reads a scan's command line: --scan V0:V1:DV, --separation C, --scan-part K/N or auto [--scan-parts N], --jobs J,
// --scan-csv FILE, --scan-png FILE, --refine TOL, --edges FILE, --from-csv FILE and the runner's options that apply to every run (kind, L,
// N, t, colours, precision, threads); the options that describe a single run (kinks, marks,
// log, pictures of a run) are refused. Without --L, L = C + 10; without --t the runs go to
// t = 200; without --threads each run steps on one thread (the runs share the cores). On a
// bad argument returns false with a one-line `error` naming it.
bool ParseScanArgs(const std::vector<std::string>& args, ScanOptions& options, std::string& error);

// v_i = V0 + i DV (i = 0, 1, ... while v_i <= V1 up to a rounding slack), each rounded to 12
// significant digits, which is the velocity run and written.
std::vector<double> ScanVelocities(double v0, double v1, double dv);
// The indices of the part-th (1-based) of `parts` interleaved shares of `count` velocities.
std::vector<size_t> PartIndices(size_t count, int part, int parts);

// The bounce rule applied to u(0, t) sampled at the times `t`.
struct BounceCount {
  int bounces = 0;
  std::optional<double> firstCollision;  // first fall of u(0, t) through zero
  std::optional<double> lastBounceEnd;   // when the last completed bounce ended
  bool inBounce = false;                 // the centre is on the outer side at the end
};
BounceCount CountBounces(const std::vector<double>& t, const std::vector<double>& centre);

// The outermost zeros of u on a level indexed -half .. half with spacing dx, linearly
// interpolated: the kink on the left, the antikink on the right. nullopt when u has fewer than
// two zeros.
struct PairPositions {
  double left = 0, right = 0;
};
std::optional<PairPositions> LocatePair(const FieldPoint* level, int half, double dx);

enum class CollisionOutcome { None, Capture, Escape };
const char* OutcomeName(CollisionOutcome outcome);  // "none", "capture", "escape"

// One velocity's run and what it yields.
struct CollisionRun {
  double v = 0;
  bool finished = false;  // reached the time limit (not stopped on the way)
  CollisionOutcome outcome = CollisionOutcome::None;
  int bounces = 0;
  std::optional<double> firstCollision;
  std::optional<double> outgoingSpeed;  // escapes only: d/dt of half the kinks' distance
  std::optional<double> endDistance;    // the kinks' distance at the end, if u has two zeros
  // After every step: the time, u(0, t) and half the distance of the kinks (0 when apart they
  // are not). The map needs the first two; the third is dropped once the run is classified.
  std::vector<double> time, centre, halfDistance;
};

// Classifies a run from its series, `kinkWidth` being the kink's full width at half slope.
// The outgoing speed is the least-squares slope of the half distance over the later half of
// the time since the last bounce ended.
void ClassifyCollision(CollisionRun& run, double kinkWidth);

// Runs the pair at velocity v to the time limit in a Program of its own, checking `stop`
// after every step, and classifies it.
CollisionRun RunCollision(const ScanOptions& options, double v, const std::atomic<bool>& stop);

struct ScanProgress {
  size_t done = 0, total = 0;
  double elapsedSeconds = 0;
};
struct ScanCallbacks {
  // Each finished run, in velocity order: a run is reported once every run before it has
  // finished, and at the end (after a stop) the finished runs that still wait, in order.
  std::function<void(const CollisionRun&)> finished;
  std::function<void(const ScanProgress&)> progress;
};

// Runs the part's velocities, `options.jobs` at once, each in a Program of its own, so that
// a run's result does not depend on how many run together. Returns the finished runs in
// velocity order; a run that fails (for instance for want of memory) stops the others from
// starting and leaves its message in `error`.
struct ScanResult {
  std::vector<CollisionRun> runs;
  std::string error;
};
ScanResult RunScan(const ScanOptions& options, const std::atomic<bool>& stop, const ScanCallbacks& callbacks);
// The same for the given velocities (any order is run as given; the results come in it).
ScanResult RunVelocities(const ScanOptions& options, const std::vector<double>& velocities,
                         const std::atomic<bool>& stop, const ScanCallbacks& callbacks);

std::string ScanCsvHeader();  // "v,outcome,bounces,first_collision,v_out,end_distance\n"
std::string ScanCsvRow(const CollisionRun& run);

// Reads the rows of a scan CSV, or of several concatenated (each with its header), into runs
// in velocity order without their series; a velocity listed twice with the same row counts
// once. False with `error` naming `name` and the line for anything that is not such a CSV.
bool ParseScanCsv(std::string_view text, const std::string& name, std::vector<CollisionRun>& runs,
                  std::string& error);

// The class a run is refined by: its outcome, and for an escape the number of bounces.
RunClass ClassOf(const CollisionRun& run);
std::string EdgesCsvHeader();  // "v_low,v_high,class_low,class_high\n"
std::string EdgesCsvRow(const ScanEdge& edge);

// The map of u(0, t): a band of columns per velocity of the equally spaced `velocities` (those
// without a run among `runs` left grey), t upward from 0 to tMax; runs between them (those of
// a refinement) take the columns nearest to their velocity, so the axis stays linear and a
// refined run is a narrow band where it falls. Drawn in the window's amplitude colours for
// `colourCount` colours, with the time and velocity axes, a colour key and a title, its
// labels drawn in the built-in pixel font. The canvas is sized here.
void PaintScanMap(const std::vector<double>& velocities, const std::vector<CollisionRun>& runs, double tMax,
                  int colourCount, const std::string& title, Canvas& canvas);

// The whole command: parses, runs with a progress line on `err`, writes the CSV (to `out` as
// the rows come, or to --scan-csv through a temporary file) and the map. Ctrl-C (SIGINT) or
// SIGTERM stops the runs; the finished rows and the map are still written and the status is
// 128 + the signal's number. A bad argument: one line on `err`, status 2, nothing written.
int RunScanMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// The scan after parsing, with its own stop flag (RunScanMain passes the signal flag). With
// `progressInPlace` the progress line is rewritten in place, as on a terminal; otherwise each
// update is a line of its own.
int RunScanCommand(const ScanOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                   std::ostream& err, bool progressInPlace);

}  // namespace kl
