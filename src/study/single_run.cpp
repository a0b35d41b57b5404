#include "study/single_run.h"

#include <algorithm>
#include <chrono>
#include <cmath>

#include "engine/lean_run.h"
#include "engine/step_pool.h"
#include "soliton/static_kink.h"

namespace kl {

long StepsTo(double target, double dt) { return dt > 0 ? std::max(1L, std::lround(std::ceil(target / dt))) : 1; }
long EveryFor(long steps, double samples) { return std::max(1L, std::lround(static_cast<double>(steps) / samples)); }

CentredDrift::CentredDrift(double centred0, long every, int lo, int hi, Energy energy)
    : centred0_(centred0), every_(std::max(1L, every)), lo_(lo), energy_(std::move(energy)) {
  for (std::vector<double>& w : w_) w.assign(static_cast<size_t>(hi - lo + 1), 0.0);
}

double* CentredDrift::CaptureFor(long step) {
  const bool wanted = step >= 1 && (step % every_ == 0 || (step - 1) % every_ == 0);
  return wanted ? w_[step % 2].data() - lo_ : nullptr;
}

void CentredDrift::After(long step, const FieldPoint* newer, const FieldPoint* older, int half, bool last) {
  if (pending_ && pending_->step == step - 1)
    Take(energy_(pending_->newer, pending_->older, pending_->half, w_[step % 2].data() - lo_,
                 w_[(step - 1) % 2].data() - lo_));
  pending_.reset();
  if (last)
    Take(energy_(newer, older, half, nullptr, nullptr));
  else if (step % every_ == 0)
    pending_ = Pending{step, newer, older, half};
}

void CentredDrift::Finish() {
  if (pending_) Take(energy_(pending_->newer, pending_->older, pending_->half, nullptr, nullptr));
  pending_.reset();
}

void CentredDrift::Take(double centred) {
  if (centred0_ != 0) largest_ = std::max(largest_, std::fabs(centred - centred0_) / std::fabs(centred0_));
}

namespace {

void KeepRow(const LeanRun& run, int gridHalf, ChainRunResult& r) {
  int half;
  const FieldPoint* newest = run.Newest(half);
  r.rowTimes.push_back(run.Time());
  for (int i = -gridHalf; i <= gridHalf; ++i) r.rows.push_back(newest[i].re);
}

}  // namespace

ChainRunResult RunChain(const ChainRunRequest& q, const std::atomic<bool>* stop,
                        const std::function<void(double t)>& afterStep) {
  ChainRunResult r;
  const Potential& pot = q.pot;
  ProfileState profileState;
  profileState.OduXMin = -q.halfInterval;
  r.profile = pot.Model ? ModelKinkProfile(pot) : SolveProfile(profileState, pot, pot.ParamA, q.halfInterval, nullptr);
  KinkList kinks = q.kinks;

  const double target = q.tEnd;
  LeanRun run(pot, q.precision, q.threads, q.halfInterval, q.gridSize, target);
  PrepareLeanRun(run, pot, kinks, q.rot, profileState, q.gridSize);
  const int gridHalf = q.gridSize / 2;
  if (q.rowEvery > 0) KeepRow(run, gridHalf, r);
  r.e0 = run.Energy();
  const double centred0 = run.CentredEnergy();
  const long every = EveryFor(StepsTo(target, run.Dt()), kCentredEnergySamples);
  // The window ends its first phase at its reach and makes one step more before the second.
  r.reach = FirstPhaseReach(q.gridSize, q.halfInterval);
  long firstPhaseSteps = -1;
  auto stopped = [&] { return stop && stop->load(std::memory_order_relaxed); };
  CentredDrift centred(centred0, every, -run.Span(), run.Span(),
                       [&run](const FieldPoint* newer, const FieldPoint* older, int half, const double* wNewer,
                              const double* wOlder) { return run.CentredEnergyOf(newer, older, half, wNewer, wOlder); });
  const auto start = std::chrono::steady_clock::now();
  do {
    if (stopped() || !run.Step(centred.CaptureFor(run.Steps() + 1))) break;
    int half;
    const FieldPoint* newest = run.Newest(half);
    if (firstPhaseSteps < 0 && run.Time() >= r.reach) firstPhaseSteps = run.Steps();
    if (r.e0 != 0) r.drift = std::max(r.drift, std::fabs(run.Energy() - r.e0) / std::fabs(r.e0));
    centred.After(run.Steps(), newest, run.Previous(), half, run.Time() >= target || stopped());
    if (q.energyEveryStep) {
      r.stepTimes.push_back(run.Time());
      r.stepEnergies.push_back(run.Energy());
    }
    if (q.rowEvery > 0 && run.Steps() % q.rowEvery == 0) KeepRow(run, gridHalf, r);
    if (afterStep) afterStep(run.Time());
  } while (run.Time() < target);
  centred.Finish();
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  r.dx = run.Dx();
  r.dt = run.Dt();
  r.steps = run.Steps();
  r.t = run.Time();
  r.phase = firstPhaseSteps >= 0 && run.Steps() > firstPhaseSteps + 1 ? 2 : 1;
  r.e = run.Energy();
  r.centredDrift = centred.Largest();
  r.kinkMass = KinkMass(pot, pot.ParamA);
  r.threads = StepThreadsFor(q.threads);
  r.pointsPerSecond = r.seconds > 0 ? run.UpdatedPoints() / r.seconds : 0.0;
  r.stopped = stopped();
  if (q.keepLastLevel) {
    const FieldPoint* newest = run.Newest(r.lastHalf);
    r.last.assign(newest - r.lastHalf, newest + r.lastHalf + 1);
  }
  return r;
}

}  // namespace kl
