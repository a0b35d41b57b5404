#pragma once
// One run of a chain of kinks on the lean engine, from t = 0 to an end time: the steps the
// window's run control makes, with the energy's drift (plain and time-centred) measured as
// the run goes, and the field's rows and energy kept for a caller that asks for them.
#include <atomic>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

#include "engine/sim_state.h"
#include "initial/composer.h"
#include "soliton/potential.h"
#include "soliton/profile.h"

namespace kl {

// The centred energy is sampled about this many times over a run.
inline constexpr double kCentredEnergySamples = 2000;

// Steps from t = 0 to `target`, and the number of them between samples that gives about
// `samples` of them.
long StepsTo(double target, double dt);
long EveryFor(long steps, double samples);

// The largest relative drift of the centred energy from `centred0`, sampled at every
// `every`-th step and at the last, without evaluating the potential again at the samples, which
// in extended precision would cost more than the steps themselves: a sample's own step and the
// step after it leave W of their current levels in two buffers (by the step's parity), and the
// sample is taken one step late from those, on the two levels it recorded, which that next
// step leaves untouched. The same bits as evaluating W anew in extended precision.
class CentredDrift {
 public:
  // The centred energy of two levels over -half .. half, with W of their values when given.
  using Energy = std::function<double(const FieldPoint* newer, const FieldPoint* older, int half,
                                      const double* wNewer, const double* wOlder)>;
  // Buffers over the indices lo .. hi of the levels.
  CentredDrift(double centred0, long every, int lo, int hi, Energy energy);
  // Where step `step` (counted from 1) leaves W, or null when no sample needs it.
  double* CaptureFor(long step);
  // After step `step`, whose two newest levels are `newer` and `older` over -half .. half: takes
  // the sample of the step before, when that was one, and records this step when it is one; at
  // the `last` step, takes its sample at once, W evaluated anew.
  void After(long step, const FieldPoint* newer, const FieldPoint* older, int half, bool last);
  // The sample recorded at the last step made, when the run ended before the step after it.
  void Finish();
  double Largest() const { return largest_; }

 private:
  struct Pending {
    long step;
    const FieldPoint *newer, *older;
    int half;
  };
  double centred0_;
  long every_;
  int lo_;
  Energy energy_;
  std::vector<double> w_[2];
  std::optional<Pending> pending_;
  double largest_ = 0;

  void Take(double centred);
};

// A chain of kinks and antikinks, with the rotator when asked, on N parts of [-L, L], run to
// `tEnd`.
struct ChainRunRequest {
  Potential pot;
  double halfInterval = 10;
  int gridSize = 256;
  KinkList kinks;    // sorted by the composition
  RotatorParams rot;  // with InitMethod 1, the rotator is added
  double tEnd = 0;
  StepPrecision precision = StepPrecision::Extended;
  int threads = 0;  // threads sharing a wide step; 0: one per core
  // Keep u over [-L, L] (the N + 1 grid points) at t = 0 and every `rowEvery` steps (0: never).
  long rowEvery = 0;
  bool energyEveryStep = false;  // keep the total energy after every step
  bool keepLastLevel = false;    // keep the newest level at the end (`last`)
};

struct ChainRunResult {
  ProfileResult profile;  // the (first) kink's height, width and energy
  double dx = 0, dt = 0;
  double reach = 0;  // the window's first-phase limit
  long steps = 0;
  double t = 0;
  int phase = 1;
  double e0 = 0, e = 0;
  double drift = 0, centredDrift = 0;  // the largest relative drift of the energy, plain and centred
  double kinkMass = 0;
  int threads = 1;
  double seconds = 0;
  double pointsPerSecond = 0;
  bool stopped = false;
  // Rows: their times, and u at the N + 1 points x_i = i dx (i = -N/2 .. N/2), row after row.
  std::vector<double> rowTimes, rows;
  std::vector<double> stepTimes, stepEnergies;  // with energyEveryStep
  // With keepLastLevel: the newest level at the end over -lastHalf .. lastHalf (the range the
  // scheme reached).
  std::vector<FieldPoint> last;
  int lastHalf = 0;
};

// Runs the chain, checking `stop` (when given) before every step; `afterStep`, when given, is
// told the time after every step.
ChainRunResult RunChain(const ChainRunRequest& request, const std::atomic<bool>* stop,
                        const std::function<void(double t)>& afterStep = {});

}  // namespace kl
