#include "engine/integrator.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <limits>
#include <type_traits>
#include <vector>

#include "engine/step_kernel.h"

namespace kl {

namespace {

// A step's range is cut into chunks fixed on the grid: chunk c holds the indices
// kWorkLo + c * kChunkPoints .. kWorkLo + (c + 1) * kChunkPoints - 1, whatever the range and
// the number of threads. Each chunk keeps its own energy sum and largest density, and those
// are combined in chunk order, so the results are the same bits for any thread count.
constexpr int kChunkPoints = 1024;  // a multiple of kEnergyLanes
static_assert(kChunkPoints % kEnergyLanes == 0);

// Chunks continue the same grid on either side of the window's stores, for the wider ranges
// of the lean run.
int ChunkOf(int i) {
  const long d = static_cast<long>(i) - kWorkLo;
  return static_cast<int>(d >= 0 ? d / kChunkPoints : -((-d + kChunkPoints - 1) / kChunkPoints));
}
int ChunkStart(int c) { return kWorkLo + c * kChunkPoints; }

template <class T>
struct ChunkResult {
  T energy;           // sum of the chunk's densities
  double densityMax;  // largest of them; -infinity for none
};

// What every chunk of one step shares: the levels, the constants and the three parts of the
// range (pinned left, inside the cone, pinned right).
template <class T>
struct RangeWork {
  StepConstants<T> K;
  const FieldPoint* prev;
  const FieldPoint* cur;
  FieldPoint* next;
  double* density;
  double rightVacuum;
  int lo, hi;
  int leftLast;    // points lo .. leftLast are pinned to -1
  int rightFirst;  // points rightFirst .. hi are pinned to RightVacuum
  int inFirst, inLast;
  DoubleGroupsLoop groups;  // the double precision's vectorised loop
  ChunkResult<T>* results;  // indexed by chunk - firstChunk
  int firstChunk;
  double* wOut;  // W of the current level, or null
};

// The points first .. last of a model other than the family: their values gathered in blocks,
// the model's force (and W, with `withW`) evaluated over each block, then `put(i, u, f, W)`
// for every point in increasing i.
// `values`, when not null, holds the values as doubles at first .. last (a level of plain u),
// which a double step evaluates in place.
template <class T, class Get, class Put>
void ModelPoints(const StepConstants<T>& K, int first, int last, Get get, Put put, bool withW,
                 const double* values = nullptr) {
  constexpr int kBlock = 256;
  T u[kBlock], f[kBlock], W[kBlock];
  for (int s = first; s <= last; s += kBlock) {
    const int n = std::min(kBlock, last - s + 1);
    const T* at = u;
    if constexpr (std::is_same_v<T, double>) {
      if (values) at = values + s;
    }
    if (at == u)
      for (int j = 0; j < n; ++j) u[j] = static_cast<T>(get(s + j));
    K.model->Evaluate(at, f, withW ? W : nullptr, n);
    for (int j = 0; j < n; ++j) put(s + j, at[j], f[j], withW ? W[j] : T(0));
  }
}

// A model's points of a chunk, kept out of UpdateChunk so that the family's loop is compiled as
// it was.
template <class T>
[[gnu::noinline]] void ModelChunk(const RangeWork<T>& w, int inFirst, int inLast, T* lanes, double& densityMax) {
  ModelPoints<T>(w.K, inFirst, inLast, [&](int j) { return w.cur[j].re; }, [&](int j, T tu, T f, T W) {
    const double next = NextWithForce(w.K, w.cur[j - 1].re, tu, w.cur[j + 1].re, w.prev[j].re, static_cast<double>(f));
    const double r = DensityFrom(w.K, w.cur[j - 1].re, w.cur[j + 1].re, w.prev[j].re, w.cur[j].re, static_cast<double>(W));
    w.next[j].re = next;
    w.next[j].r = r;
    w.density[j] = r;
    if (w.wOut) w.wOut[j] = static_cast<double>(W);
    if (r > densityMax) densityMax = r;
    lanes[EnergyLane(j)] += r;
  }, true);
}

// A model's values of a chunk on levels of plain u.
template <class T>
[[gnu::noinline]] void ModelValues(const StepConstants<T>& K, const double* prev, const double* cur, double* next,
                                   int from, int to) {
  ModelPoints<T>(K, from, to, [&](int j) { return cur[j]; }, [&](int j, T tu, T f, T) {
    next[j] = NextWithForce(K, cur[j - 1], tu, cur[j + 1], prev[j], static_cast<double>(f));
  }, false, cur);
}

template <class T>
void UpdateChunk(const RangeWork<T>& w, int chunk) {
  const int a = std::max(w.lo, ChunkStart(chunk));
  const int b = std::min(w.hi, ChunkStart(chunk) + kChunkPoints - 1);
  for (int i = a, last = std::min(b, w.leftLast); i <= last; ++i) {
    w.next[i].re = w.K.leftVacuum;
    w.next[i].r = 0.0;
    w.density[i] = 0.0;
    if (w.wOut) w.wOut[i] = 0.0;
  }
  for (int i = std::max(a, w.rightFirst); i <= b; ++i) {
    w.next[i].re = w.rightVacuum;
    w.next[i].r = 0.0;
    w.density[i] = 0.0;
    if (w.wOut) w.wOut[i] = 0.0;
  }

  T lanes[kEnergyLanes] = {};
  double densityMax = -std::numeric_limits<double>::infinity();
  const int inFirst = std::max(a, w.inFirst), inLast = std::min(b, w.inLast);
  auto scalar = [&](int i) {
    const PointUpdate p = UpdatePoint<T>(w.K, w.cur[i - 1].re, w.cur[i].re, w.cur[i + 1].re, w.prev[i].re);
    w.next[i].re = p.next;
    w.next[i].r = p.r;
    w.density[i] = p.r;
    if (w.wOut) w.wOut[i] = p.W;
    if (p.r > densityMax) densityMax = p.r;
    lanes[EnergyLane(i)] += p.r;
  };
  int i = inFirst;
  if (w.K.model) {
    ModelChunk(w, inFirst, inLast, lanes, densityMax);
    i = inLast + 1;
  }
  if constexpr (std::is_same_v<T, double>) {
    // The bulk in groups of four that start in lane 0; the ends point by point.
    for (; i <= inLast && EnergyLane(i) != 0; ++i) scalar(i);
    const int groups = (inLast - i + 1) / kEnergyLanes;
    if (groups > 0) {
      w.groups(w.K, DoubleGroups{w.prev, w.cur, w.next, w.density, i, groups, w.wOut}, lanes, densityMax);
      i += groups * kEnergyLanes;
    }
  }
  for (; i <= inLast; ++i) scalar(i);
  w.results[chunk - w.firstChunk] = ChunkResult<T>{(lanes[0] + lanes[1]) + (lanes[2] + lanes[3]), densityMax};
}

// Updates the points lo .. hi of the window's stores and leaves in EnergyTotal the sum of the
// densities (not yet multiplied by Dx).
template <class T>
void UpdateRange(SimState& sim, const StepConstants<T>& K, const FieldPoint* prev,
                 const FieldPoint* cur, FieldPoint* next, int lo, int hi, bool phaseTwo) {
  const int from = sim.ParallelFrom > 0 ? sim.ParallelFrom
                   : std::is_same_v<T, double> ? kParallelFromDouble
                                               : kParallelFromExtended;
  const int threads = hi - lo + 1 >= from ? StepThreadsFor(sim.StepThreads) : 1;
  const LevelResult<T> r = UpdateLevel<T>(K, prev, cur, next, sim.stores.DensityNow(), sim.RightVacuum, lo, hi,
                                          ConeIndices(sim, lo, hi), sim.pool, threads, sim.CaptureW);
  if (r.inFirst > r.inLast) return;
  sim.UpdatedPoints += r.inLast - r.inFirst + 1;
  sim.CurrentHalfWidth = phaseTwo ? kHistoryHalf : r.inLast;
  sim.EnergyTotal = static_cast<double>(r.energy);
  if (r.densityMax > sim.DensityMax) sim.DensityMax = r.densityMax;
}

void AdvanceClock(SimState& sim) {
  sim.TimeNow = static_cast<double>(static_cast<long double>(sim.TimeNow) + sim.Dt);
  sim.LayerNow += 1;
  sim.LayerLast = sim.LayerNow;
  sim.ExtraWidth += 1;
}

template <class T>
bool StepFirstPhase(SimState& sim, const Potential& pot) {
  const int n = sim.LayerNow;
  if (n < 1 || n + 1 >= kHistoryLevels) return false;
  FieldStores& st = sim.stores;
  FieldPoint* next = st.History(n + 1);
  next[-kHistoryHalf].re = -1.0;
  next[kHistoryHalf].re = sim.RightVacuum;
  st.DensityNow()[-kHistoryHalf] = 0.0;
  st.DensityNow()[kHistoryHalf] = 0.0;
  sim.EnergyTotal = 0.0;
  const StepConstants<T> K = MakeConstants<T>(sim, pot);
  UpdateRange<T>(sim, K, st.History(n - 1), st.History(n), next, -kHistoryHalf + 1,
                 kHistoryHalf - 1, false);
  sim.EnergyTotal = static_cast<double>(static_cast<T>(sim.EnergyTotal) * sim.Dx);
  AdvanceClock(sim);
  return true;
}

template <class T>
bool StepSecondPhase(SimState& sim, const Potential& pot) {
  const int J = sim.ExtraWidth;
  if (J < 1 || kHistoryHalf + 1 + J > kWorkHi || -kHistoryHalf - 1 - J < kWorkLo) return false;
  FieldStores& st = sim.stores;
  FieldPoint* prev = st.Work(0);
  FieldPoint* cur = st.Work(1);
  FieldPoint* next = st.Work(2);
  cur[-kHistoryHalf - J].re = -1.0;
  cur[-kHistoryHalf - 1 - J].re = -1.0;
  cur[kHistoryHalf + J].re = sim.RightVacuum;
  cur[kHistoryHalf + 1 + J].re = sim.RightVacuum;
  next[-kHistoryHalf - J].re = -1.0;
  next[kHistoryHalf + J].re = sim.RightVacuum;
  sim.EnergyTotal = 0.0;
  const StepConstants<T> K = MakeConstants<T>(sim, pot);
  UpdateRange<T>(sim, K, prev, cur, next, -kHistoryHalf + 1 - J, kHistoryHalf - 1 + J, true);
  sim.EnergyTotal = static_cast<double>(static_cast<T>(sim.EnergyTotal) * sim.Dx);
  AdvanceClock(sim);
  st.RotateWork();
  if (sim.WindowBase >= 1) {
    const int level = sim.LayerNow - 1 - sim.WindowBase;
    if (level >= 0 && level < kHistoryLevels)
      std::copy(st.Work(1) - kHistoryHalf, st.Work(1) + kHistoryHalf + 1,
                st.History(level) - kHistoryHalf);
  }
  return true;
}

}  // namespace

template <class T>
LevelResult<T> UpdateLevel(const StepConstants<T>& K, const FieldPoint* prev, const FieldPoint* cur, FieldPoint* next,
                           double* density, double rightVacuum, int lo, int hi, ConeRange cone, StepPool& pool,
                           int threads, double* wOut) {
  // A point left of the cone is pinned left even if it were also right of it.
  const int firstChunk = ChunkOf(lo), lastChunk = ChunkOf(hi);
  thread_local std::vector<ChunkResult<T>> results;
  results.resize(static_cast<size_t>(lastChunk - firstChunk + 1));
  RangeWork<T> w{K,
                 prev,
                 cur,
                 next,
                 density,
                 rightVacuum,
                 lo,
                 hi,
                 std::min(cone.first - 1, hi),
                 std::max({cone.last + 1, cone.first, lo}),
                 std::max(cone.first, lo),
                 std::min(cone.last, hi),
                 std::is_same_v<T, double> ? DoubleGroupsForThisCpu(static_cast<double>(K.k)) : nullptr,
                 results.data(),
                 firstChunk,
                 wOut};
  auto chunk = [&w, firstChunk](int k) { UpdateChunk<T>(w, firstChunk + k); };
  pool.ForEach(threads, lastChunk - firstChunk + 1, chunk);

  LevelResult<T> r{0, -std::numeric_limits<double>::infinity(), w.inFirst, w.inLast};
  if (w.inFirst > w.inLast) return r;
  for (int c = 0; c <= lastChunk - firstChunk; ++c) {
    r.energy += results[static_cast<size_t>(c)].energy;
    if (results[static_cast<size_t>(c)].densityMax > r.densityMax) r.densityMax = results[static_cast<size_t>(c)].densityMax;
  }
  return r;
}

template <class T>
void UpdateLevelValues(const StepConstants<T>& K, const double* prev, const double* cur, double* next,
                       double rightVacuum, int lo, int hi, ConeRange cone, StepPool& pool, int threads) {
  const int leftLast = std::min(cone.first - 1, hi), rightFirst = std::max({cone.last + 1, cone.first, lo});
  const int inFirst = std::max(cone.first, lo), inLast = std::min(cone.last, hi);
  const DoubleValuesLoop groups =
      std::is_same_v<T, double> ? DoubleValuesForThisCpu(static_cast<double>(K.k)) : nullptr;
  const int firstChunk = ChunkOf(lo), lastChunk = ChunkOf(hi);
  auto chunk = [&](int k) {
    const int c = firstChunk + k;
    const int a = std::max(lo, ChunkStart(c)), b = std::min(hi, ChunkStart(c) + kChunkPoints - 1);
    for (int i = a, last = std::min(b, leftLast); i <= last; ++i) next[i] = K.leftVacuum;
    for (int i = std::max(a, rightFirst); i <= b; ++i) next[i] = rightVacuum;
    const int from = std::max(a, inFirst), to = std::min(b, inLast);
    int i = from;
    if (K.model) {
      ModelValues<T>(K, prev, cur, next, from, to);
      i = to + 1;
    }
    if constexpr (std::is_same_v<T, double>) {
      const int count = (to - i + 1) / kEnergyLanes;
      if (count > 0) {
        groups(K, DoubleValueGroups{prev, cur, next, i, count});
        i += count * kEnergyLanes;
      }
    }
    for (; i <= to; ++i) next[i] = NextValue<T>(K, cur[i - 1], cur[i], cur[i + 1], prev[i]);
  };
  pool.ForEach(threads, lastChunk - firstChunk + 1, chunk);
}

template void UpdateLevelValues<double>(const StepConstants<double>&, const double*, const double*, double*, double,
                                        int, int, ConeRange, StepPool&, int);
template void UpdateLevelValues<long double>(const StepConstants<long double>&, const double*, const double*,
                                             double*, double, int, int, ConeRange, StepPool&, int);

template LevelResult<double> UpdateLevel<double>(const StepConstants<double>&, const FieldPoint*, const FieldPoint*,
                                                 FieldPoint*, double*, double, int, int, ConeRange, StepPool&, int,
                                                 double*);
template LevelResult<long double> UpdateLevel<long double>(const StepConstants<long double>&, const FieldPoint*,
                                                           const FieldPoint*, FieldPoint*, double*, double, int, int,
                                                           ConeRange, StepPool&, int, double*);

ConeRange ConeIndices(const SimState& sim, int lo, int hi) {
  return ConeIndicesAt(sim.TimeNow, sim.ConeBase, sim.Dx, lo, hi);
}

ConeRange ConeIndicesAt(double time, double coneBase, double dx, int lo, int hi) {
  using T = long double;
  const T t = time;
  const T leftEdge = static_cast<T>(-0.5L) * coneBase - t;
  const T rightEdge = static_cast<T>(0.5L) * coneBase + t;
  auto xAt = [&](int i) { return static_cast<T>(static_cast<double>(static_cast<T>(i) * dx)); };
  auto pinnedLeft = [&](int i) { return leftEdge > xAt(i); };
  auto pinnedRight = [&](int i) { return xAt(i) > rightEdge; };
  // Both tests are monotone in i: find the boundaries by bisection.
  int a = lo, b = hi + 1;  // first index not pinned left lies in [a, b]
  while (a < b) {
    const int mid = a + (b - a) / 2;
    if (pinnedLeft(mid)) a = mid + 1; else b = mid;
  }
  const int first = a;
  a = lo - 1;
  b = hi;  // last index not pinned right lies in [a, b]
  while (a < b) {
    const int mid = a + (b - a + 1) / 2;
    if (pinnedRight(mid)) b = mid - 1; else a = mid;
  }
  return ConeRange{first, a};
}

double EnergyDensityAt(const SimState& sim, const Potential& pot, double a, double /*x*/,
                       double uL, double uR, double uP, double u) {
  const StepConstants<long double> K = MakeConstants<long double>(sim, pot);
  return DensityFrom(K, uL, uR, uP, u, PotW(pot, a, u));
}

bool AdvanceStep(SimState& sim, const Potential& pot) {
  if (sim.Precision == StepPrecision::Double)
    return sim.PhaseTwo ? StepSecondPhase<double>(sim, pot) : StepFirstPhase<double>(sim, pot);
  return sim.PhaseTwo ? StepSecondPhase<long double>(sim, pot)
                      : StepFirstPhase<long double>(sim, pot);
}

double CentredEnergy(const SimState& sim, const Potential& pot) {
  int half;
  const FieldPoint* newer = NewestLevel(sim, half);
  return CentredEnergyOf(newer, PreviousLevel(sim), half, sim.Dx, sim.Dt, pot, sim.RunParamA);
}

double CentredEnergyOf(const FieldPoint* newer, const FieldPoint* older, int half, double dxd, double dtd,
                       const Potential& pot, double a, const double* wNewer, const double* wOlder) {
  using T = long double;
  const T dx = dxd, dt = dtd;
  // Beyond the computed range both levels hold the vacua: no term there.
  T kinetic = 0, gradient = 0, potential = 0;
  // One pass; each sum still adds its terms in increasing i.
  gradient += (static_cast<T>(newer[-half].re) - newer[-half - 1].re) * (static_cast<T>(older[-half].re) - older[-half - 1].re);
  for (int i = -half; i <= half; ++i) {
    const T du = static_cast<T>(newer[i].re) - older[i].re;
    kinetic += du * du;
    potential += static_cast<T>(wNewer ? wNewer[i] : PotW(pot, a, newer[i].re)) +
                 (wOlder ? wOlder[i] : PotW(pot, a, older[i].re));
    gradient += (static_cast<T>(newer[i + 1].re) - newer[i].re) * (static_cast<T>(older[i + 1].re) - older[i].re);
  }
  return static_cast<double>(dx * (kinetic / (2 * dt * dt) + gradient / (2 * dx * dx) + potential / 2));
}

double StableTimeStepBound(const Potential& pot) {
  // The field passes through every value between the vacua, and where W'' is largest the
  // linearised step is closest to losing stability.
  const long double m2 = LargestCurvature(pot, pot.ParamA);
  return static_cast<double>(2.0L * std::sqrt(1.0L - kCourantL * kCourantL) / std::sqrt(m2));
}

std::string UnstableGridMessage(const Potential& pot, double halfInterval, int gridSize) {
  if (gridSize <= 0) return {};
  const double dt = TimeStepFor(static_cast<double>(2.0L * halfInterval / gridSize));
  const double bound = StableTimeStepBound(pot);
  if (!(dt > bound)) return {};
  char text[320];
  std::snprintf(text, sizeof text,
                "The grid is unstable: dt = %.6g (L = %.6g, N = %d) exceeds %.6g, the largest time step with "
                "which the leapfrog stays stable for this potential. Choose a larger N or a smaller L.",
                dt, halfInterval, gridSize, bound);
  return text;
}

}  // namespace kl
