#pragma once
// Locating the edges of a scan's resonance windows by bisection.
//
// A run's class is its outcome, and for an escape the number of bounces: capture, none,
// escape after 1 bounce, escape after 2, ... Two neighbouring velocities of different class
// bracket an edge. Each round runs the midpoint of every open edge (all midpoints of a round
// together, so that they can share the cores) and keeps the half whose ends still differ; a
// midpoint of a third class splits the edge into two, each followed on its own. An edge is
// closed when its two velocities are less than the tolerance apart, or when the midpoint,
// rounded to 12 significant digits, equals one of them.
//
// Windows that lie wholly between two runs of the same class are not seen: bisection only
// narrows the brackets that the grid found.
#include <functional>
#include <optional>
#include <string>
#include <vector>

namespace kl {

// How a collision ends. None: the pair has not met before the time limit. Capture: it met and is
// not parted at the end. Escape: it parted after at least one bounce. Through: a model's pair
// that met and left another vacuum between them than before.
enum class CollisionOutcome { None, Capture, Escape, Through };

struct RunClass {
  using Kind = CollisionOutcome;
  static constexpr Kind None = Kind::None, Capture = Kind::Capture, Escape = Kind::Escape, Through = Kind::Through;
  Kind kind = None;
  int bounces = 0;  // escapes only; 0 otherwise
  friend bool operator==(const RunClass&, const RunClass&) = default;
};

// "capture", "none", "escape1", "escape2", ..., "through"
std::string RunClassName(const RunClass& c);
// The inverse of RunClassName; nullopt for any other text.
std::optional<RunClass> ParseRunClass(const std::string& text);

struct ScanEdge {
  double vLow = 0, vHigh = 0;  // the closest pair of different class found
  RunClass low, high;
};

// The edges between neighbours of different class in runs sorted by velocity.
std::vector<ScanEdge> EdgesBetween(const std::vector<std::pair<double, RunClass>>& runs);

// Runs the velocities of one round and gives their classes, in the same order; nullopt for a
// run that did not finish (the refinement was stopped).
using RoundRunner = std::function<std::vector<std::optional<RunClass>>(const std::vector<double>& velocities)>;

struct RefineResult {
  std::vector<ScanEdge> edges;                      // in velocity order, as narrow as reached
  std::vector<std::pair<double, RunClass>> runs;    // every midpoint run, in the order run
  int rounds = 0;
  bool stopped = false;  // a round came back with unfinished runs
};

// Bisects every edge until it is narrower than `tolerance`. `onRound`, when given, is told
// before each round how many runs that round queues.
RefineResult RefineEdges(std::vector<ScanEdge> edges, double tolerance, const RoundRunner& runRound,
                         const std::function<void(size_t queued)>& onRound = {});

// The classes of a pair that separates at the first meeting: an escape after one bounce, or a
// model's pair that passes through.
inline bool PassesAtOnce(const RunClass& c) {
  return c == RunClass{RunClass::Escape, 1} || c == RunClass{RunClass::Through, 0};
}

// The critical velocity of a refined scan: the edge above which every run escapes after one
// bounce (or, for a model, every run passes through). nullopt when the fastest run does
// neither, or every run does.
std::optional<ScanEdge> CriticalEdge(const std::vector<std::pair<double, RunClass>>& runs);

// A velocity rounded to 12 significant digits, as every scan velocity is run and written.
double RoundToScanDigits(long double v);
// The velocity halfway between, so rounded.
double Midpoint(double a, double b);

// Velocities are written to 12 significant digits: a tolerance finer than that relative to the
// fastest velocity cannot be reached.
bool RefinableTolerance(double tolerance, double fastest);
std::string TooFineMessage();  // why such a tolerance is refused

}  // namespace kl
