#include "engine/lean_run.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <memory>
#include <type_traits>

#include "engine/integrator.h"
#include "engine/step_kernel.h"

namespace kl {

namespace {

// Levels reach this many points beyond the cone at the end time, for its rounding and the
// neighbours of its edge points.
constexpr int kMargin = 8;

}  // namespace

double LeanReach(int gridSize, double halfInterval) {
  if (gridSize <= 0) return 0.0;
  const long double dx = 2.0L * halfInterval / gridSize;
  return static_cast<double>((kLeanMaxHalf - kMargin) * dx - halfInterval);
}

LeanRun::LeanRun(const Potential& pot, StepPrecision precision, int threads, double halfInterval, int gridSize,
                 double tMax)
    : pot_(pot), precision_(precision), threads_(threads), halfInterval_(halfInterval) {
  dx_ = static_cast<double>(2.0L * halfInterval / gridSize);
  dt_ = TimeStepFor(dx_);
  const long double cone = (static_cast<long double>(halfInterval) + std::max(tMax, 0.0)) / dx_;
  half_ = static_cast<int>(std::min<long double>(std::ceil(cone) + kMargin, kLeanMaxHalf));
  half_ = std::max(half_, gridSize / 2 + kMargin);
}

void LeanRun::Prepare(const InitRecords& init, double rightVacuum) {
  using T = long double;
  rightVacuum_ = rightVacuum;
  const size_t width = 2 * static_cast<size_t>(half_) + 1;
  initHalf_ = std::min(init.Half(), half_ - 2);
  // Level 1 is u at t = 0, level 0 at t = -dt from the composed time derivative, both in
  // extended precision as the run control forms them.
  auto level0 = [&](int i) {
    return static_cast<double>(static_cast<T>(init[i].ReU) - static_cast<T>(init[i].ReDtU) * dt_);
  };
  if (densities_) {
    for (std::vector<FieldPoint>& level : levels_) {
      level.resize(width);
      FieldPoint* centre = level.data() + half_;
      for (int i = -half_; i <= half_; ++i) centre[i] = FieldPoint{i <= 0 ? ChainVacuum(pot_, 0) : rightVacuum, 0.0, 0.0};
    }
    density_.assign(width, 0.0);
    prev_ = levels_[0].data() + half_;
    cur_ = levels_[1].data() + half_;
    next_ = levels_[2].data() + half_;
    for (int i = -initHalf_; i <= initHalf_; ++i) {
      const InitRecord& rec = init[i];
      cur_[i].re = rec.ReU;
      cur_[i].im = rec.ImU;
      prev_[i].re = level0(i);
      prev_[i].im = static_cast<double>(static_cast<T>(cur_[i].im) - static_cast<T>(rec.ImDtU) * dt_);
    }
  } else {
    for (std::vector<double>& level : values_) {
      level.resize(width);
      double* centre = level.data() + half_;
      for (int i = -half_; i <= half_; ++i) centre[i] = i <= 0 ? ChainVacuum(pot_, 0) : rightVacuum;
    }
    uPrev_ = values_[0].data() + half_;
    uCur_ = values_[1].data() + half_;
    uNext_ = values_[2].data() + half_;
    for (int i = -initHalf_; i <= initHalf_; ++i) {
      uCur_[i] = init[i].ReU;
      uPrev_[i] = level0(i);
    }
  }
  // The energy at t = 0, summed point by point as the run control does.
  const StepConstants<T> K = MakeConstantsFor<T>(dx_, dt_, pot_);
  auto now = [&](int i) { return densities_ ? cur_[i].re : uCur_[i]; };
  auto before = [&](int i) { return densities_ ? prev_[i].re : uPrev_[i]; };
  double energy = 0.0;
  for (int i = -initHalf_ + 1; i <= initHalf_ - 1; ++i) {
    const double r = DensityFrom(K, now(i - 1), now(i + 1), before(i), now(i), PotW(pot_, pot_.ParamA, now(i)));
    if (densities_) cur_[i].r = r;
    energy = static_cast<double>(static_cast<T>(energy) + r);
  }
  energy_ = static_cast<double>(static_cast<T>(energy) * dx_);
  reached_ = initHalf_;
  time_ = 0.0;
  steps_ = 0;
}

template <class T>
bool LeanRun::StepIn(double* captureW) {
  if (!cur_ && !uCur_) return false;
  const ConeRange cone = ConeIndicesAt(time_, 2 * halfInterval_, dx_, -half_ + 1, half_ - 1);
  if (cone.first <= -half_ + 2 || cone.last >= half_ - 2) return false;
  // Every point that has held a value other than its vacuum is updated (and so pinned again
  // when outside the cone): the initial interval and the cone so far.
  const int lo = std::max(std::min(cone.first, -reached_) - 1, -half_ + 1);
  const int hi = std::min(std::max(cone.last, reached_) + 1, half_ - 1);
  const int from = std::is_same_v<T, double> ? kParallelFromDouble : kParallelFromExtended;
  const int threads = hi - lo + 1 >= from ? StepThreadsFor(threads_) : 1;
  const StepConstants<T> K = MakeConstantsFor<T>(dx_, dt_, pot_);
  if (!densities_) {
    UpdateLevelValues<T>(K, uPrev_, uCur_, uNext_, rightVacuum_, lo, hi, cone, pool_, threads);
    energy_ = std::numeric_limits<double>::quiet_NaN();
    if (std::max(cone.first, lo) <= std::min(cone.last, hi)) {
      reached_ = std::max({reached_, -std::max(cone.first, lo), std::min(cone.last, hi)});
      updated_ += std::min(cone.last, hi) - std::max(cone.first, lo) + 1;
    }
    double* const oldPrev = uPrev_;
    uPrev_ = uCur_;
    uCur_ = uNext_;
    uNext_ = oldPrev;
  } else {
    const LevelResult<T> r =
        UpdateLevel<T>(K, prev_, cur_, next_, density_.data() + half_, rightVacuum_, lo, hi, cone, pool_, threads,
                       captureW);
    // As the window: the sum rounded to a double, then times dx in the step's precision.
    const double sum = r.inFirst > r.inLast ? 0.0 : static_cast<double>(r.energy);
    energy_ = static_cast<double>(static_cast<T>(sum) * dx_);
    if (r.inFirst <= r.inLast) {
      reached_ = std::max({reached_, -r.inFirst, r.inLast});
      updated_ += r.inLast - r.inFirst + 1;
    }
    FieldPoint* const oldPrev = prev_;
    prev_ = cur_;
    cur_ = next_;
    next_ = oldPrev;
  }
  time_ = static_cast<double>(static_cast<long double>(time_) + dt_);
  ++steps_;
  return true;
}

bool LeanRun::Step(double* captureW) {
  return precision_ == StepPrecision::Double ? StepIn<double>(captureW) : StepIn<long double>(captureW);
}

const FieldPoint* LeanRun::Newest(int& half) const {
  half = std::min(reached_ + 1, half_ - 1);
  return cur_;
}

const double* LeanRun::NewestValues(int& half) const {
  half = std::min(reached_ + 1, half_ - 1);
  return uCur_;
}

double LeanRun::CentredEnergy() const {
  int half;
  const FieldPoint* newer = Newest(half);
  return kl::CentredEnergyOf(newer, prev_, half, dx_, dt_, pot_, pot_.ParamA);
}

double LeanRun::CentredEnergyOf(const FieldPoint* newer, const FieldPoint* older, int half, const double* wNewer,
                                const double* wOlder) const {
  return kl::CentredEnergyOf(newer, older, half, dx_, dt_, pot_, pot_.ParamA, wNewer, wOlder);
}

size_t LeanRun::LevelBytes() const {
  return 3 * levels_[0].size() * sizeof(FieldPoint) + density_.size() * sizeof(double) +
         3 * values_[0].size() * sizeof(double);
}

void PrepareLeanRun(LeanRun& run, const Potential& pot, KinkList& kinks, const RotatorParams& rot,
                    ProfileState& profile, int gridSize) {
  const double L = run.HalfInterval();
  InitRecords init(gridSize / 2);
  std::unique_ptr<StaticKink> exact;
  if (gridSize > kFinestWindowGrid && !pot.Model) exact = std::make_unique<StaticKink>(pot, pot.ParamA);
  const double rightVacuum = ComposeOnGrid(L, gridSize, ComposeInputs{kinks, rot, profile, pot}, exact.get(), init);
  run.Prepare(init, rightVacuum);
}

}  // namespace kl
