#pragma once
// A run without the window: the run control's point update, light cone, clock and energy sum,
// on three levels of the cone's range that take turns by pointer. The window's stores (the
// first phase's levels for its pictures, the display copies) are a matter of storage that a
// headless run does not need: for the window's grids it gives the same bits at every step,
// and it takes any grid, its memory growing with the cone and not with the window's stores.
#include <vector>

#include "engine/sim_state.h"
#include "engine/step_pool.h"
#include "initial/composer.h"
#include "soliton/potential.h"

namespace kl {

// The largest half-width, in points, of a lean run's levels (about 160 MB of levels).
inline constexpr int kLeanMaxHalf = 1 << 21;

// The time a lean run of half-length L and N parts can reach: its cone fills kLeanMaxHalf.
double LeanReach(int gridSize, double halfInterval);

class LeanRun {
 public:
  // The grid of half-length L and N parts, with levels wide enough for the cone at tMax.
  // `threads` share a wide step as in the window (0: one per CPU this process may use).
  LeanRun(const Potential& pot, StepPrecision precision, int threads, double halfInterval, int gridSize,
          double tMax);
  LeanRun(const LeanRun&) = delete;
  LeanRun& operator=(const LeanRun&) = delete;

  // Levels 0 (t = -dt) and 1 (t = 0) from the composed values over -h .. h, the vacua beyond,
  // and the energy at t = 0, all as the run control prepares a run.
  void Prepare(const InitRecords& init, double rightVacuum);
  // One step; false, changing nothing, when the cone would leave the levels. With `captureW`
  // (indexed -Span() .. Span()), the step leaves W of its current level there (UpdateLevel's
  // wOut); only with densities.
  bool Step(double* captureW = nullptr);
  int Span() const { return half_; }
  // Without densities (chosen before Prepare) the levels hold u alone and a step makes the new
  // values alone, the same bits, with no density and no energy: what a scan needs, at a
  // fraction of the cost. Energy() is then NaN after the first step, and the levels are read
  // through NewestValues.
  void SetDensities(bool on) {
    if (!cur_ && !uCur_) densities_ = on;
  }

  double HalfInterval() const { return halfInterval_; }
  double Dx() const { return dx_; }
  double Dt() const { return dt_; }
  double Time() const { return time_; }
  long Steps() const { return steps_; }
  double Energy() const { return energy_; }  // the total energy, as the window's EnergyTotal
  // The points the scheme has updated (inside the cone) over all steps.
  double UpdatedPoints() const { return updated_; }
  double RightVacuum() const { return rightVacuum_; }
  // The newest level over i = -half .. half (the range last updated, which holds the cone), and
  // the level before it over the same range.
  const FieldPoint* Newest(int& half) const;
  const FieldPoint* Previous() const { return cur_ == nullptr ? nullptr : prev_; }
  // The newest values over i = -half .. half, without densities.
  const double* NewestValues(int& half) const;
  // The time-centred energy of the two newest levels (CentredEnergyOf).
  double CentredEnergy() const;
  // The same for two levels of this run, with the W of their values as the steps left them.
  double CentredEnergyOf(const FieldPoint* newer, const FieldPoint* older, int half, const double* wNewer,
                         const double* wOlder) const;
  // The bytes the levels take.
  size_t LevelBytes() const;

 private:
  Potential pot_;
  StepPrecision precision_;
  int threads_;
  double halfInterval_, dx_, dt_;
  int half_;      // the levels hold i = -half_ .. half_
  int initHalf_ = 0;
  int reached_ = 0;  // the largest |i| that has held a value other than its vacuum
  std::vector<FieldPoint> levels_[3];
  std::vector<double> values_[3];  // the levels without densities
  double* uPrev_ = nullptr;
  double* uCur_ = nullptr;
  double* uNext_ = nullptr;
  std::vector<double> density_;
  FieldPoint* prev_ = nullptr;
  FieldPoint* cur_ = nullptr;
  FieldPoint* next_ = nullptr;
  double time_ = 0, energy_ = 0, rightVacuum_ = -1, updated_ = 0;
  long steps_ = 0;
  bool densities_ = true;
  StepPool pool_;

  template <class T>
  bool StepIn(double* captureW);
};

// The finest of the window's grids. Up to it the initial kinks are read from the profile table,
// as the window reads them (so that a lean run starts from the window's own values); above it
// the static kink is evaluated at every grid point, so that the initial field does not limit
// the convergence of finer grids.
inline constexpr int kFinestWindowGrid = 1024;

// Composes the chain of `kinks` (sorted here), with the rotator when rot.InitMethod is 1, on the
// run's grid of N parts, and prepares the run from it. `profile` is the solved profile table.
void PrepareLeanRun(LeanRun& run, const Potential& pot, KinkList& kinks, const RotatorParams& rot,
                    ProfileState& profile, int gridSize);

}  // namespace kl
