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
#include <optional>
#include <vector>

#include "engine/sim_state.h"
#include "soliton/potential.h"
#include "study/refine.h"

namespace kl {

inline constexpr double kBounceLevel = 0.5;        // |u(0, t)| past which the centre has changed side
inline constexpr double kEscapeWidths = 4.0;       // an escaped pair is this many kink widths apart

struct CollisionRun;

// The common time grid of the runs' traces u(0, t) in maps and records: kTraceSamples times
// from 0 to the time limit, evenly spaced, each run's sample nearest to each.
inline constexpr int kTraceSamples = 1001;
std::vector<double> TraceTimes(double tMax);
// Replaces a run's series by its trace on the common grid.
void ResampleTrace(CollisionRun& run, double tMax);

// u(0, t) of a run at its sample nearest t.
double CentreAt(const CollisionRun& run, double t);

// The vacua of the pair: A outside it, B between its kinks (the family's -1 and +1). The rules
// above read u(0, t) as s = (u - (A + B)/2) / ((B - A)/2), which is u itself for the family:
// s = -1 at A, +1 at B; the kinks are the outermost crossings of the midpoint (A + B)/2.
struct PairVacua {
  double outer = -1, between = 1;
  double Mid() const { return static_cast<double>((static_cast<long double>(outer) + between) / 2); }
  double Scaled(double u) const {
    return (u - Mid()) / static_cast<double>((static_cast<long double>(between) - outer) / 2);
  }
};

// The bounce rule applied to u(0, t) sampled at the times `t`.
struct BounceCount {
  int bounces = 0;
  std::optional<double> firstCollision;  // first fall of u(0, t) through zero
  std::optional<double> lastBounceEnd;   // when the last completed bounce ended
  bool inBounce = false;                 // the centre is on the outer side at the end
};
BounceCount CountBounces(const std::vector<double>& t, const std::vector<double>& centre,
                         const PairVacua& pair = PairVacua{});

// The outermost zeros of u on a level indexed -half .. half with spacing dx, linearly
// interpolated: the kink on the left, the antikink on the right. nullopt when u has fewer than
// two zeros.
struct PairPositions {
  double left = 0, right = 0;
};
std::optional<PairPositions> LocatePair(const FieldPoint* level, int half, double dx);
// The same on a level of plain u, the kinks being the crossings of `mid`.
std::optional<PairPositions> LocatePair(const double* u, int half, double dx, double mid = 0);

// Through: a model's pair that met and left another vacuum than B between them (sine-Gordon's
// pair passes through, the centre going from 2 pi to -2 pi): u(0, t) settles at a zero of W
// other than A and B.
// (CollisionOutcome, the class's kind, is declared with the classes in study/refine.h.)
const char* OutcomeName(CollisionOutcome outcome);  // "none", "capture", "escape", "through"

// One velocity's run and what it yields.
struct CollisionRun {
  double v = 0;
  bool finished = false;  // reached the time limit (not stopped on the way)
  CollisionOutcome outcome = CollisionOutcome::None;
  int bounces = 0;
  std::optional<double> firstCollision;
  std::optional<double> outgoingSpeed;  // escapes only: d/dt of half the kinks' distance
  std::optional<double> endDistance;    // the kinks' distance at the end, if u has two zeros
  // A model's escape or pass-through: the vacuum the centre settles at (B for an escape).
  std::optional<double> vacuumBetween;
  // After every step: the time, u(0, t) and half the distance of the kinks (0 when apart they
  // are not). The map needs the first two; the third is dropped once the run is classified.
  std::vector<double> time, centre, halfDistance;
};

// Classifies a run from its series, `kinkWidth` being the kink's full width at half slope.
// The outgoing speed is the least-squares slope of the half distance over the later half of
// the time since the last bounce ended.
// For a model (`model` not null) the rules read u(0, t) against the pair's vacua, an escape
// keeps B as its vacuum between, and a pair whose centre settles at another zero of W has
// passed through.
class FieldModel;
void ClassifyCollision(CollisionRun& run, double kinkWidth, const PairVacua& pair = PairVacua{},
                       const FieldModel* model = nullptr);

// What one collision of a scan is run with: the model with its pair's vacua (A, B, A), the grid
// of N parts of [-L, L], the kinks at -C and +C, the time limit, the step's precision and
// threads.
struct CollisionSetup {
  Potential pot;
  double halfInterval = 0;
  int gridSize = 0;
  double separation = 0;
  double tMax = 0;
  StepPrecision precision = StepPrecision::Double;
  int threads = 1;
};

// Runs the pair at velocity v to the time limit on a lean engine of its own, checking `stop`
// after every step, and classifies it.
CollisionRun RunCollision(const CollisionSetup& setup, double v, const std::atomic<bool>& stop);

// The class a run is refined by: its outcome, and for an escape the number of bounces.
RunClass ClassOf(const CollisionRun& run);
// Each run's velocity and class, in the runs' order.
std::vector<std::pair<double, RunClass>> ClassesOf(const std::vector<CollisionRun>& runs);

}  // namespace kl
