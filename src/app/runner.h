#pragma once
// The headless runner: a scripted run through the same run control the window drives.
#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "app/replace_file.h"
#include "engine/sim_state.h"
#include "soliton/potential.h"

namespace kl {

struct RunnerOptions {
  int kind = 1;
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

// A record's default: a row every this many steps gives about kRecordRows rows to the end.
inline constexpr double kRecordRows = 1000;
inline constexpr double kMovieFrames = 300;
inline constexpr double kMovieSeconds = 15;  // the movie plays the run in about this time

// Parses the command line (without the program name). On a bad argument returns false and
// sets `error` to a one-line message naming it. "--setup FILE" loads a saved setup and sets
// every option the file holds (kind, L, N, the kinks, the rotator and its parameters, the
// log period); options are taken in order, so one given after it overrides the file's value
// and the first --kink after it starts a new kink list. A file that does not load is a bad
// argument, its message naming the file and the reason.
bool ParseRunnerArgs(const std::vector<std::string>& args, RunnerOptions& options, std::string& error);

// Reads "A:B" or "A,B,C,..." (separator `sep`) into exactly `count` numbers.
bool ParseNumberList(const std::string& text, char sep, size_t count, std::vector<double>& values);

// Runs and prints "key: value" lines to `out`; problems go to `err`. Returns the exit status.
// When `stop` turns true the run stops after its current step and writes what it has.
int RunHeadless(const RunnerOptions& options, std::ostream& out, std::ostream& err,
                const std::atomic<bool>* stop = nullptr);

// The single-run command: parses (a bad argument: one line on `err`, status 2), runs with
// SIGINT and SIGTERM stopping the run, and returns 128 + the signal after such a stop.
// False, with the reason, when the options' grid is too coarse for the leapfrog to be stable.
bool CheckGridIsStable(const RunnerOptions& options, std::string& error);

// A warning when the grid puts fewer than four points over the static kink's width (the full
// width of its slope at half maximum), empty otherwise: such a run is not an answer about the
// continuum, only about this grid.
std::string ResolutionWarning(const Potential& pot, double halfInterval, int gridSize);

int RunHeadlessMain(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

}  // namespace kl
