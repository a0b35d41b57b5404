#include "study/collision.h"

#include <emmintrin.h>

#include <algorithm>
#include <cmath>
#include <memory>
#include <tuple>

#include "base/kept_few.h"
#include "engine/lean_run.h"
#include "soliton/field_model.h"
#include "soliton/profile.h"
#include "soliton/static_kink.h"

namespace kl {

namespace {

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

}  // namespace

// u(0, t) of a run at the sample nearest t.
double CentreAt(const CollisionRun& run, double t) {
  const auto it = std::lower_bound(run.time.begin(), run.time.end(), t);
  size_t k = static_cast<size_t>(it - run.time.begin());
  if (k == run.time.size()) return run.centre.back();
  if (k > 0 && t - run.time[k - 1] < run.time[k] - t) --k;
  return run.centre[k];
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

BounceCount CountBounces(const std::vector<double>& t, const std::vector<double>& centre, const PairVacua& pair) {
  BounceCount b;
  std::optional<double> lastFall;  // the latest fall of u(0, t) through zero
  for (size_t k = 0; k < centre.size() && k < t.size(); ++k) {
    const double u = pair.Scaled(centre[k]);
    const double before = k == 0 ? 0 : pair.Scaled(centre[k - 1]);
    if (u < 0 && (k == 0 || before >= 0))
      lastFall = k == 0 ? t[0] : t[k - 1] + (t[k] - t[k - 1]) * before / (before - u);
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

std::optional<PairPositions> LocatePair(const double* u, int half, double dx, double mid) {
  // The outermost sign changes of u - mid: from each end, the first point whose sign differs
  // from the end's, tested eight points at a time, since most of a level is the vacuum outside
  // the pair; the crossing is interpolated between the two points of the change.
  auto differs = [u, mid](int from, bool negative) {  // a point of from .. from + 7 with the other sign
    const __m128d zero = _mm_set1_pd(mid);
    const int m = _mm_movemask_pd(_mm_cmplt_pd(_mm_loadu_pd(u + from), zero)) |
                  _mm_movemask_pd(_mm_cmplt_pd(_mm_loadu_pd(u + from + 2), zero)) << 2 |
                  _mm_movemask_pd(_mm_cmplt_pd(_mm_loadu_pd(u + from + 4), zero)) << 4 |
                  _mm_movemask_pd(_mm_cmplt_pd(_mm_loadu_pd(u + from + 6), zero)) << 6;
    return m != (negative ? 0xFF : 0);
  };
  auto zeroAt = [&](int i) {  // between i and i + 1
    const double a = u[i] - mid, b = u[i + 1] - mid;
    return static_cast<double>((static_cast<long double>(i) + static_cast<long double>(a) / (a - b)) * dx);
  };
  if (half < 1) return std::nullopt;
  const bool leftSign = u[-half] < mid;
  int j = -half + 1;
  while (j + 7 <= half && !differs(j, leftSign)) j += 8;
  while (j <= half && (u[j] < mid) == leftSign) ++j;
  if (j > half) return std::nullopt;
  const int first = j - 1;
  const bool rightSign = u[half] < mid;
  int k = half - 1;
  while (k - 7 > first && !differs(k - 7, rightSign)) k -= 8;
  while (k > first && (u[k] < mid) == rightSign) --k;
  if (k <= first) return std::nullopt;
  return PairPositions{zeroAt(first), zeroAt(k)};
}

std::optional<PairPositions> LocatePair(const FieldPoint* level, int half, double dx) {
  // The window's levels carry u beside the density: the same search on their u.
  if (half < 1) return std::nullopt;
  std::vector<double> u(2 * static_cast<size_t>(half) + 1);
  for (int i = -half; i <= half; ++i) u[static_cast<size_t>(i + half)] = level[i].re;
  return LocatePair(u.data() + half, half, dx);
}

const char* OutcomeName(CollisionOutcome outcome) {
  switch (outcome) {
    case CollisionOutcome::Capture: return "capture";
    case CollisionOutcome::Escape: return "escape";
    case CollisionOutcome::Through: return "through";
    default: return "none";
  }
}

namespace {

// The zero of W that u(0, t) settles at over the last fifth of the run, when it stays within a
// twentieth of the pair's gap there and is neither of the pair's vacua; nullopt otherwise.
std::optional<double> SettledVacuum(const CollisionRun& run, const PairVacua& pair, const FieldModel& model) {
  const size_t n = run.centre.size();
  if (n < 10) return std::nullopt;
  const double gap = std::fabs(pair.between - pair.outer);
  double lo = run.centre[n - n / 5], hi = lo;
  long double sum = 0;
  for (size_t k = n - n / 5; k < n; ++k) {
    lo = std::min(lo, run.centre[k]);
    hi = std::max(hi, run.centre[k]);
    sum += run.centre[k];
  }
  if (!(hi - lo <= 0.05 * gap)) return std::nullopt;
  const double mean = static_cast<double>(sum / static_cast<long double>(n / 5));
  if (std::fabs(mean - pair.between) < 0.25 * gap || std::fabs(mean - pair.outer) < 0.25 * gap) return std::nullopt;
  // The least W within a quarter gap, then Newton on W' to the minimum.
  double best = mean, least = model.W(mean);
  for (int j = -500; j <= 500; ++j) {
    const double u = mean + 0.25 * gap * j / 500;
    const double w = model.W(u);
    if (w < least) least = w, best = u;
  }
  for (int it = 0; it < 20; ++it) {
    const double d2 = model.D2W(best);
    if (!(d2 > 0)) break;
    const double step = model.DW(best) / d2;
    if (!std::isfinite(step) || std::fabs(step) > 0.25 * gap) break;
    best -= step;
  }
  double barrier = 0;
  for (int j = 1; j < 100; ++j) barrier = std::max(barrier, model.W(pair.outer + (pair.between - pair.outer) * j / 100));
  if (!(std::fabs(model.W(best)) <= 1e-9 * std::max(barrier, 1e-300))) return std::nullopt;
  return best;
}

}  // namespace

void ClassifyCollision(CollisionRun& run, double kinkWidth, const PairVacua& pair, const FieldModel* model) {
  const BounceCount b = CountBounces(run.time, run.centre, pair);
  run.bounces = b.bounces;
  run.firstCollision = b.firstCollision;
  run.outgoingSpeed.reset();
  run.endDistance.reset();
  run.vacuumBetween.reset();
  if (!run.halfDistance.empty() && run.halfDistance.back() > 0) run.endDistance = 2 * run.halfDistance.back();
  if (!b.firstCollision) {
    run.outcome = CollisionOutcome::None;
    return;
  }
  if (model) {
    if (const std::optional<double> through = SettledVacuum(run, pair, *model)) {
      run.outcome = CollisionOutcome::Through;
      run.vacuumBetween = through;
      return;
    }
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
  if (model) run.vacuumBetween = pair.between;
}

namespace {

// The family's profile table on [-L, L] and its numbers, solved once for all the runs of a scan
// (the latest few wells and intervals are kept): the same table every run would solve.
struct SolvedProfile {
  ProfileState state;
  ProfileResult result;
};

std::shared_ptr<const SolvedProfile> SharedProfile(const Potential& pot, double halfInterval) {
  static KeptFew<std::tuple<int, double, double, double>, SolvedProfile> kept;
  return kept.Get({pot.PotentialKind, pot.ModulationK, pot.ParamA, halfInterval}, [&] {
    auto solved = std::make_shared<SolvedProfile>();
    solved->state.OduXMin = -halfInterval;
    solved->result = SolveProfile(solved->state, pot, pot.ParamA, halfInterval, nullptr);
    return solved;
  });
}

}  // namespace

CollisionRun RunCollision(const CollisionSetup& s, double v, const std::atomic<bool>& stop) {
  const Potential& pot = s.pot;
  ProfileState profile;
  ProfileResult shape;
  if (pot.Model) {
    profile.OduXMin = -s.halfInterval;
    shape = ModelKinkProfile(pot);
  } else {
    const std::shared_ptr<const SolvedProfile> solved = SharedProfile(pot, s.halfInterval);
    profile = solved->state;  // the composition marks its copy as used
    shape = solved->result;
  }
  const PairVacua pair{ChainVacuum(pot, 0), ChainVacuum(pot, 1)};
  KinkList kinks;
  kinks.SolitonCount = 2;
  kinks.InitSm[1] = -s.separation;
  kinks.InitVel[1] = v;
  kinks.InitSm[2] = s.separation;
  kinks.InitVel[2] = -v;
  RotatorParams rot;
  rot.InitMethod = 0;

  CollisionRun run;
  run.v = v;
  const double target = s.tMax;
  LeanRun lean(pot, s.precision, s.threads, s.halfInterval, s.gridSize, target);
  lean.SetDensities(false);  // a scan reads u alone
  PrepareLeanRun(lean, pot, kinks, rot, profile, s.gridSize);
  const size_t expected = static_cast<size_t>(target / lean.Dt()) + 8;
  run.time.reserve(expected);
  run.centre.reserve(expected);
  run.halfDistance.reserve(expected);
  // Every step leaves u(0, t) and the kinks' half distance; the run goes on to the time limit.
  do {
    if (stop.load(std::memory_order_relaxed) || !lean.Step()) break;
    int half = 0;
    const double* level = lean.NewestValues(half);
    run.time.push_back(lean.Time());
    run.centre.push_back(level[0]);
    const std::optional<PairPositions> kinks = LocatePair(level, half, lean.Dx(), pair.Mid());
    run.halfDistance.push_back(kinks ? 0.5 * (kinks->right - kinks->left) : 0.0);
  } while (lean.Time() < target);
  run.finished = lean.Time() >= target;
  ClassifyCollision(run, shape.Spread, pair, pot.Model.get());
  std::vector<double>().swap(run.halfDistance);  // its memory too, not only its values
  return run;
}

RunClass ClassOf(const CollisionRun& run) {
  return RunClass{run.outcome, run.outcome == CollisionOutcome::Escape ? run.bounces : 0};
}

std::vector<std::pair<double, RunClass>> ClassesOf(const std::vector<CollisionRun>& runs) {
  std::vector<std::pair<double, RunClass>> classes;
  classes.reserve(runs.size());
  for (const CollisionRun& run : runs) classes.emplace_back(run.v, ClassOf(run));
  return classes;
}

}  // namespace kl
