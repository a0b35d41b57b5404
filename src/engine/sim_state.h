#pragma once
// The simulation state: grid, field stores, run clock, display windows, frames and flags.
#include <cstddef>
#include <memory>
#include <string_view>

#include "engine/step_pool.h"
#include "soliton/plot_frame.h"

namespace kl {

// The grids a run may take: N parts of [-L, L].
inline constexpr int kMinGrid = 64, kMaxGrid = 65536;

inline constexpr double kCourant = 0.818535277187;        // Dt / Dx
inline constexpr long double kCourantL = 0.818535277187L;
inline constexpr int kHistoryHalf = 1025;      // History and InitVal: i = -1025 .. 1025
inline constexpr int kHistoryLevels = 1282;    // History levels 0 .. 1281
inline constexpr int kWorkLo = -262784;        // WorkLayers, DensityNow: i = kWorkLo .. kWorkHi
inline constexpr int kWorkHi = 262785;
inline constexpr int kSectionLo = -14642;      // SectionU, SectionE
inline constexpr int kSectionHi = 14643;
inline constexpr int kFirstPhaseLayerLimit = 14642;
inline constexpr int kSecondPhaseLayerLimit = 262784;
inline constexpr int kStepsPerSlice = 5;
inline constexpr double kZeroTime = 1e-10;     // t below this counts as "nothing computed"

// The three values a grid point carries on a level.
struct FieldPoint {
  double re;  // Re u
  double im;  // Im u
  double r;   // energy density
};

// A zero-initialised block allocated once; pages are only touched when written.
template <class T>
class ZeroedBlock {
 public:
  explicit ZeroedBlock(size_t count);
  T* data() { return ptr_.get(); }
  const T* data() const { return ptr_.get(); }

 private:
  struct Free {
    void operator()(T* p) const;
  };
  std::unique_ptr<T, Free> ptr_;
};

// The large stores (about 105 MB), indexed by their own signed ranges.
class FieldStores {
 public:
  FieldStores();

  static constexpr int kHistoryWidth = 2 * kHistoryHalf + 1;
  static constexpr int kWorkWidth = kWorkHi - kWorkLo + 1;
  static constexpr int kSectionWidth = kSectionHi - kSectionLo + 1;

  // History level n, valid n = 0 .. 1281; the result is indexed by i = -1025 .. 1025.
  FieldPoint* History(int level) {
    return history_.data() + static_cast<size_t>(level) * kHistoryWidth + kHistoryHalf;
  }
  const FieldPoint* History(int level) const {
    return history_.data() + static_cast<size_t>(level) * kHistoryWidth + kHistoryHalf;
  }
  // WorkLayers slot 0 (previous), 1 (current), 2 (new); indexed by i = kWorkLo .. kWorkHi.
  FieldPoint* Work(int slot) { return work_.data() + slotOffset_[slot] - kWorkLo; }
  const FieldPoint* Work(int slot) const { return work_.data() + slotOffset_[slot] - kWorkLo; }
  // After a second-phase step: the previous level becomes slot 0, the new one slot 1,
  // and the old slot 0 is reused for the next new level. No values are copied.
  void RotateWork();
  // Restores the natural order of the three slot buffers.
  void ResetWorkOrder();

  double* DensityNow() { return density_.data() - kWorkLo; }
  const double* DensityNow() const { return density_.data() - kWorkLo; }
  double* SectionU() { return sectionU_.data() - kSectionLo; }
  double* SectionE() { return sectionE_.data() - kSectionLo; }
  const double* SectionU() const { return sectionU_.data() - kSectionLo; }
  const double* SectionE() const { return sectionE_.data() - kSectionLo; }

 private:
  ZeroedBlock<FieldPoint> history_;
  ZeroedBlock<FieldPoint> work_;
  size_t slotOffset_[3] = {0, static_cast<size_t>(kWorkWidth), 2 * static_cast<size_t>(kWorkWidth)};
  ZeroedBlock<double> density_;
  ZeroedBlock<double> sectionU_;
  ZeroedBlock<double> sectionE_;
};

// The arithmetic of a step's intermediates. Extended: long double (80-bit on x86-64), the
// program's reference. Double: the same formulas in the same order in double, vectorised.
enum class StepPrecision { Extended, Double };

// "extended" or "double".
const char* PrecisionName(StepPrecision precision);
// Reads exactly "extended" or "double"; false (and `precision` unchanged) for anything else.
bool ParsePrecision(std::string_view text, StepPrecision& precision);

// A step of at least this many points is shared among the pool's threads; a narrower one is
// made on the calling thread, where it is quicker than waking the workers (measured by
// BM_StepSecondPhaseNarrow: two threads win from about 3 000 points in extended precision and
// from about 10 000 in double, whose points cost an eighth as much). The first phase, 2049
// points, stays on one thread in either precision.
inline constexpr int kParallelFromExtended = 4096;
inline constexpr int kParallelFromDouble = 12288;

struct SimState {
  // Grid
  double HalfInterval = 10.0;
  int GridSize = 256;
  double Dx = 0.0;
  double Dt = 0.0;
  double ReachTime = 0.0;

  FieldStores stores;

  // How steps are made: the precision of their intermediates, the threads that share a wide
  // step (0: one per core) and the width in points from which they share it (0: the
  // precision's own, kParallelFromExtended or kParallelFromDouble). Chosen at start-up; the
  // results do not depend on the thread count or on ParallelFrom.
  StepPrecision Precision = StepPrecision::Extended;
  int StepThreads = 0;
  int ParallelFrom = 0;
  // The workers of wide steps, started by the first step that needs them and joined when
  // the state goes.
  StepPool pool;

  // Run clock and display windows
  double TimeNow = 0.0;
  int LayerNow = 1;
  int LayerFirst = 1;
  int LayerLast = 1;
  int ExtraWidth = 1;
  int WindowBase = 0;
  int WindowLayers = 0;
  double WindowSpan = 0.0;
  double WindowStart = 0.0;
  double WindowEnd = 0.0;
  int WindowCount = 0;
  int ZoomFactor = 1;
  int CurrentHalfWidth = 0;
  double ConeBase = 0.0;
  double RightVacuum = 1.0;
  double RunParamA = 0.0;
  // The half-length of the run in progress: its light cone, Dx and Dt are those of this
  // interval, whatever L is typed meanwhile; a new L takes effect at the next run preparation.
  double RunHalfInterval = 10.0;
  double EnergyTotal = 0.0;
  double DensityMax = -1.0;

  // Picture frames
  PlotFrame MainFrame, SolFrame, DensityFrame, EnergyTimeFrame;

  // Run flags
  int RunState = 1;
  bool Running = false;
  bool Stopped = false;
  bool ResumePending = false;
  bool PhaseTwo = false;
  bool PhaseTwoArmed = false;
  // Set by the arming press until its extra step has copied the newest levels into WorkLayers.
  bool WorkLayersPending = false;
  bool InitReady = false;
  bool SolutionTabShown = false;
  // When not null, the next step leaves W of its current level here (indexed as the stores;
  // see UpdateLevel's wOut).
  double* CaptureW = nullptr;
  // The points the scheme has updated (inside the cone), over every step of the process.
  double UpdatedPoints = 0;
};

// Dt from Dx with the fixed Courant number, in extended precision.
double TimeStepFor(double dx);
// Round(2 * 1025 / N - 1) * L: the time the first phase can reach.
double FirstPhaseReach(int gridSize, double halfInterval);
// Round(2 * 263809 / N - 1) * L: the time the second phase can reach.
double SecondPhaseReach(int gridSize, double halfInterval);
// Sets GridSize, Dx, Dt and the first-phase ReachTime from N and HalfInterval.
void SetGrid(SimState& sim, int gridSize);
// The newest level, History's in the first phase and the current work slot in the second, and
// the half-width of its computed range, i = -half .. half.
const FieldPoint* NewestLevel(const SimState& sim, int& half);
// The level before the newest, over the same range.
const FieldPoint* PreviousLevel(const SimState& sim);
// True while a run has computed levels (TimeNow at or above the zero bound).
bool RunInProgress(const SimState& sim);
// The half-length that decides the grid: the run's own while a run is in progress, otherwise
// the one typed.
double GridHalfInterval(const SimState& sim);

// The range of half-lengths accepted. Below it one slice of steps no longer moves the clock
// past the zero bound, so every slice would start the run afresh and it would never end.
// Far above it the profile's 4101 samples are thousands of kink widths apart and, from about
// 1e300 on, its energies and the reach of the second phase are no longer finite.
inline constexpr double kMinHalfInterval = 1e-6;
inline constexpr double kMaxHalfInterval = 1e6;
inline constexpr const char* kHalfIntervalRange = "between 1e-6 and 1e6";
// True when L lies within [kMinHalfInterval, kMaxHalfInterval].
bool IsUsableHalfInterval(double halfInterval);

}  // namespace kl
