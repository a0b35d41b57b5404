#pragma once
// The headless runner: a scripted run through the same run control the window drives.
#include <atomic>
#include <iosfwd>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "cli/options.h"
#include "engine/sim_state.h"
#include "soliton/potential.h"
#include "soliton/profile.h"
#include "study/single_run.h"

namespace kl {


// A record's default: a row every this many steps gives about kRecordRows rows to the end.
inline constexpr double kRecordRows = 1000;
inline constexpr double kMovieFrames = 300;
inline constexpr double kMovieSeconds = 15;  // the movie plays the run in about this time

// Runs and prints "key: value" lines to `out`; problems go to `err`. Returns the exit status.
// When `stop` turns true the run stops after its current step and writes what it has.
int RunHeadless(const RunnerOptions& options, std::ostream& out, std::ostream& err,
                const std::atomic<bool>* stop = nullptr);

// The chain run the options describe (its model, grid, kinks, rotator, end time, precision and
// threads), as a single run on the lean engine makes it.
ChainRunRequest ChainRequestOf(const RunnerOptions& options);

// True when the run's outputs need the window's stores: the x-t picture (--png), the record,
// the movie, and the marks with their log. Other runs go through the lean engine, on any grid.
bool NeedsWindowStores(const RunnerOptions& options);
// N = 256, 512 or 1024: the grids of the window, on which its stores run.
bool IsWindowGrid(int gridSize);
// The end time without --t: the window's first-phase limit (7L, 3L, L for N = 256, 512, 1024),
// and at least L.
double DefaultEndTime(int gridSize, double halfInterval);

// False, with the reason, when the options' grid is too coarse for the leapfrog to be stable.
bool CheckGridIsStable(const RunnerOptions& options, std::string& error);

// The model the options ask for: the kind, or the family's k that --modulation gives.
double ModulationOf(const RunnerOptions& options);
void ApplyModel(Potential& pot, const RunnerOptions& options);
// "FORMULA with a=1; vacua 0,1,0" for a model other than the family; empty for the family.
std::string ModelLine(const Potential& pot);
// "kind 2", or "k=2.5" for a k between the kinds, as titles name the model.
std::string ModelName(int kind, double modulation);

// Why the grid does not resolve the static kink, empty when it does: fewer than four points over
// either length the kink varies on, its width (the full width of its slope at half maximum) and,
// for a modulated well, the period of the modulation along it (the x in which k (U - 0.3)
// advances by 2 pi where the kink is steepest), each contracted by sqrt(1 - v^2) for the fastest
// kink's speed `speed`. It ends with the N that would resolve it. Such a run is not an answer
// about the continuum, only about this grid.
std::string UnresolvedKink(const Potential& pot, double halfInterval, int gridSize, double speed = 0);
// The same as a warning line's text ("warning: ..."), empty when the grid resolves the kink.
std::string ResolutionWarning(const Potential& pot, double halfInterval, int gridSize, double speed = 0);
// The fastest kink's speed of a run's chain.
double FastestSpeed(const RunnerOptions& o);

// The single-run command: runs with SIGINT and SIGTERM stopping the run, and returns 128 + the
// signal after such a stop.
int RunHeadlessMain(const RunnerOptions& options, std::ostream& out, std::ostream& err);

}  // namespace kl
