#include "cli/run_command.h"

#include <signal.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <functional>
#include <memory>
#include <optional>
#include <ostream>
#include <sstream>

#include "records/setup_file.h"
#include "base/replace_file.h"
#include "cli/scan_outputs.h"
#include "cli/stop_signals.h"
#include "base/text_out.h"
#include "base/version.h"
#include "engine/integrator.h"
#include "engine/lean_run.h"
#include "app/run_control.h"
#include "interaction/xt_png.h"
#include "interaction/colour_scale.h"
#include "records/movie.h"
#include "records/run_record.h"
#include "base/numbers.h"
#include "soliton/chain_check.h"
#include "soliton/field_model.h"
#include "soliton/static_kink.h"
#include "study/single_run.h"

namespace kl {

namespace {

std::string FixedDecimals(double v, int decimals) {
  char buf[64];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, v);
  return buf;
}

std::string Num(double v) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "%.17g", v);
  return buf;
}

// A long single run tells where it stands on standard error: nothing for its first seconds,
// then the time reached and an estimate of the time left every few seconds (in place on a
// terminal).
class RunProgress {
 public:
  RunProgress(std::ostream& err, double target, bool inPlace)
      : err_(err), target_(target), inPlace_(inPlace), start_(std::chrono::steady_clock::now()) {}
  ~RunProgress() { Close(); }
  // Ends the line written in place, before other output follows.
  void Close() {
    if (shown_ && inPlace_) err_ << '\n' << std::flush;
    shown_ = false;
  }
  RunProgress(const RunProgress&) = delete;
  RunProgress& operator=(const RunProgress&) = delete;

  void Step(double t) {
    if (++steps_ % kStepsBetweenLooks != 0) return;  // the clock is read now and then
    const auto now = std::chrono::steady_clock::now();
    const double elapsed = std::chrono::duration<double>(now - start_).count();
    if (elapsed < kQuietSeconds || std::chrono::duration<double>(now - lastShown_).count() < kEverySeconds) return;
    lastShown_ = now;
    shown_ = true;
    err_ << (inPlace_ ? "\r" : "") << "run: t = " << Shortest(std::round(t * 100) / 100) << " of "
         << Shortest(target_);
    if (t > 0 && t < target_) err_ << ", about " << Duration(elapsed / t * (target_ - t)) << " left";
    err_ << (inPlace_ ? "\x1b[K" : "\n") << std::flush;
  }

 private:
  static constexpr long kStepsBetweenLooks = 64;
  static constexpr double kQuietSeconds = 3, kEverySeconds = 5;
  std::ostream& err_;
  double target_;
  bool inPlace_;
  bool shown_ = false;
  long steps_ = 0;
  std::chrono::steady_clock::time_point start_, lastShown_{};
};

bool ProgressInPlace() { return isatty(STDERR_FILENO) == 1; }

// The runner's side of the window: no pictures, "Без" pressed, a stop at the target time.
class RunnerUi : public RunUi {
 public:
  RunnerUi(Program& p, const RunnerOptions& o, double target, const std::atomic<bool>* stop, RunRecorder* record,
           RunMovie* movie)
      : p_(p), options_(o), target_(target), stop_(stop), record_(record), movie_(movie) {}

  void CheckWithStop() override { withStop_ = true; }
  void SelectWithoutStop() override { withStop_ = false; }
  bool WithStopChecked() const override { return withStop_; }
  void ShowError(const std::string& message) override { errors_.push_back(message); }
  void RunPrepared() override {
    Marks& m = p_.marks;
    m.MarkCount = static_cast<int>(options_.marks.size());
    for (int k = 1; k <= m.MarkCount; ++k) {
      m.MarkLeft[k] = options_.marks[k - 1].first;
      m.MarkRight[k] = options_.marks[k - 1].second;
    }
    if (m.MarkCount >= 2) SortSolitons(m.MarkCount, m.MarkLeft.data(), m.MarkRight.data());
    e0_ = p_.sim.EnergyTotal;
    updatedBefore_ = p_.sim.UpdatedPoints;
    centred_.emplace(CentredEnergy(p_.sim, p_.pot), centredEvery_, kWorkLo, kWorkHi,
                     [this](const FieldPoint* newer, const FieldPoint* older, int half, const double* wNewer,
                            const double* wOlder) {
                       const SimState& s = p_.sim;
                       return CentredEnergyOf(newer, older, half, s.Dx, s.Dt, p_.pot, s.RunParamA, wNewer, wOlder);
                     });
    p_.sim.CaptureW = centred_->CaptureFor(1);
    TakeOutputs();
  }
  ~RunnerUi() override { p_.sim.CaptureW = nullptr; }
  void StepMade() override {
    const SimState& s = p_.sim;
    ++steps_;
    int half;
    const FieldPoint* newest = NewestLevel(s, half);
    if (centred_) {
      centred_->After(steps_, newest, PreviousLevel(s), half, !ContinueAfterStep());
      p_.sim.CaptureW = centred_->CaptureFor(steps_ + 1);
    }
    if (e0_ != 0) maxDrift_ = std::max(maxDrift_, std::fabs(s.EnergyTotal - e0_) / std::fabs(e0_));
    if (!options_.energyFile.empty()) energy_ << Num(s.TimeNow) << ',' << Num(s.EnergyTotal) << '\n';
    TakeOutputs();
    if (progress_) progress_->Step(s.TimeNow);
  }
  void ShowProgress(RunProgress* progress) { progress_ = progress; }
  bool ContinueAfterStep() override { return p_.sim.TimeNow < target_ && !Stopped(); }

  bool Stopped() const { return stop_ && stop_->load(std::memory_order_relaxed); }
  // Why the outputs written during the run failed, each once; the run goes on without them.
  const std::vector<std::string>& Failures() const { return failures_; }
  // The record and the movie while they have not failed (null after).
  RunRecorder* Record() const { return record_; }
  RunMovie* Movie() const { return movie_; }

  double E0() const { return e0_; }
  long Steps() const { return steps_; }
  // The points the scheme updated in this run (inside the cone).
  double Points() const { return p_.sim.UpdatedPoints - updatedBefore_; }
  double MaxDrift() const { return maxDrift_; }
  // At the end of the run: the largest drift of the centred energy.
  double MaxCentredDrift() {
    if (!centred_) return 0;
    centred_->Finish();
    return centred_->Largest();
  }
  // The centred energy is measured every `every` steps (and at the last one).
  void SetCentredEvery(long every) { centredEvery_ = std::max(1L, every); }
  std::string EnergyCsv() const { return "t,E\n" + energy_.str(); }
  const std::vector<std::string>& Errors() const { return errors_; }

 private:
  Program& p_;
  const RunnerOptions& options_;
  double target_;
  bool withStop_ = false;
  double e0_ = 0;
  long steps_ = 0;
  double updatedBefore_ = 0;
  double maxDrift_ = 0;
  long centredEvery_ = 1;
  std::ostringstream energy_;
  std::vector<std::string> errors_;
  const std::atomic<bool>* stop_;
  RunRecorder* record_;
  RunMovie* movie_;
  std::vector<std::string> failures_;
  RunProgress* progress_ = nullptr;
  std::optional<CentredDrift> centred_;

  // The record and the movie take the prepared level (step 0) and then every step's. One that
  // fails has removed its file and is dropped; the others go on.
  void TakeOutputs() {
    std::string error;
    if (record_ && !record_->Sample(p_.sim, p_.marks, steps_, error)) {
      failures_.push_back(error);
      record_ = nullptr;
    }
    if (movie_ && !movie_->Sample(p_.sim, p_.marks, steps_, error)) {
      failures_.push_back(error);
      movie_ = nullptr;
    }
  }
};

std::string DumpNewestLevel(const SimState& s) {
  std::ostringstream csv;
  csv << "x,u,r\n";
  int half;
  const FieldPoint* level = NewestLevel(s, half);
  for (int i = -half; i <= half; ++i)
    csv << Num(static_cast<double>(static_cast<long double>(i) * s.Dx)) << ',' << Num(level[i].re) << ','
        << Num(level[i].r) << '\n';
  return csv.str();
}

// What a single run prints.
struct RunSummary {
  ProfileResult profile;
  double dx, dt, reach;
  long steps;
  double t;
  int phase;
  double e0, e, drift, centredDrift, kinkMass;
  StepPrecision precision;
  int threads;
  double pointsPerSecond;
  bool stopped;
  std::string model;  // a model other than the family: its formula, parameters and vacua
};

void PrintSummary(std::ostream& out, const RunSummary& s) {
  out << "version: " << ProgramVersion() << '\n';
  if (!s.model.empty()) out << "model: " << s.model << '\n';
  out
      << "height: " << Trim(FormatWD(s.profile.Height, 5, 3)) << '\n'
      << "width: " << Trim(FormatWD(s.profile.Width, 5, 3)) << '\n'
      << "energy: " << Trim(FormatWD(s.profile.Energy, 5, 3)) << '\n'
      << "dx: " << Num(s.dx) << '\n'
      << "dt: " << Num(s.dt) << '\n'
      << "reach_time: " << Num(s.reach) << '\n'
      << "steps: " << s.steps << '\n'
      << "t: " << Num(s.t) << '\n'
      << "phase: " << s.phase << '\n'
      << "E0: " << Num(s.e0) << '\n'
      << "E: " << Num(s.e) << '\n'
      << "max_rel_drift: " << Num(s.drift) << '\n'
      << "max_rel_drift_centred: " << Num(s.centredDrift) << '\n'
      << "kink_mass: " << FixedDecimals(s.kinkMass, 10) << '\n'
      << "precision: " << PrecisionName(s.precision) << '\n'
      << "threads: " << s.threads << '\n'
      << "points_per_second: " << Num(s.pointsPerSecond) << '\n';
  if (s.stopped) out << "stopped: at t = " << Num(s.t) << '\n';
}

std::string DumpLevel(const FieldPoint* level, int half, double dx) {
  std::ostringstream csv;
  csv << "x,u,r\n";
  for (int i = -half; i <= half; ++i)
    csv << Num(static_cast<double>(static_cast<long double>(i) * dx)) << ',' << Num(level[i].re) << ','
        << Num(level[i].r) << '\n';
  return csv.str();
}

// The chain the options describe, as the composition takes it: the kinks and the rotator.
void TakeChain(const RunnerOptions& o, KinkList& kinks, RotatorParams& rot) {
  kinks.SolitonCount = static_cast<int>(o.kinks.size());
  for (int j = 1; j <= kinks.SolitonCount; ++j) {
    kinks.InitSm[j] = o.kinks[j - 1].first;
    kinks.InitVel[j] = o.kinks[j - 1].second;
  }
  rot.InitMethod = o.rotator ? 1 : 0;
  rot.kF_Re = o.kF_Re;
  rot.kF_Im = o.kF_Im;
  rot.kD = o.kD;
  rot.qL = o.qL;
  rot.qR = o.qR;
}

// A run whose outputs need none of the window's stores: the lean engine, on any grid. It makes
// the steps the run control makes and prints what the runner prints; only the range of --dump
// is the computed one, the cone, rather than the window's store.
int RunLean(const RunnerOptions& o, std::ostream& out, std::ostream& err, const std::atomic<bool>* stop) {
  ChainRunRequest request = ChainRequestOf(o);
  request.energyEveryStep = !o.energyFile.empty();
  request.keepLastLevel = !o.dumpFile.empty();
  const Potential& pot = request.pot;
  const std::string coarse = ResolutionWarning(pot, o.halfInterval, o.gridSize, FastestSpeed(o));
  if (!coarse.empty()) err << "kinklab-run: " << coarse << '\n' << std::flush;
  const std::string flat = ChainWarning(pot);
  if (!flat.empty()) err << "kinklab-run: warning: " << flat << '\n' << std::flush;

  RunProgress progress(err, request.tEnd, ProgressInPlace());
  const ChainRunResult r = RunChain(request, stop, [&progress](double t) { progress.Step(t); });
  progress.Close();

  // A failed output costs none of the others.
  std::string error;
  int status = 0;
  const OutputFolderLock alone({o.energyFile, o.dumpFile});
  if (!o.energyFile.empty()) {
    std::string energy = "t,E\n";
    for (size_t k = 0; k < r.stepTimes.size(); ++k) energy += Num(r.stepTimes[k]) + ',' + Num(r.stepEnergies[k]) + '\n';
    if (!WriteFileReplacing(o.energyFile, energy, error)) {
      err << "kinklab-run: " << error << '\n' << std::flush;
      status = 1;
    }
  }
  if (!o.dumpFile.empty() &&
      !WriteFileReplacing(o.dumpFile, DumpLevel(r.last.data() + r.lastHalf, r.lastHalf, r.dx), error)) {
    err << "kinklab-run: " << error << '\n' << std::flush;
    status = 1;
  }
  PrintSummary(out, RunSummary{r.profile, r.dx, r.dt, r.reach, r.steps, r.t, r.phase, r.e0, r.e, r.drift,
                               r.centredDrift, r.kinkMass, o.precision, r.threads, r.pointsPerSecond, r.stopped,
                               ModelLine(pot)});
  return status;
}

}  // namespace

ChainRunRequest ChainRequestOf(const RunnerOptions& o) {
  ChainRunRequest q;
  ApplyModel(q.pot, o);
  q.halfInterval = o.halfInterval;
  q.gridSize = o.gridSize;
  TakeChain(o, q.kinks, q.rot);
  q.tEnd = o.untilTime ? *o.untilTime : DefaultEndTime(o.gridSize, o.halfInterval);
  q.precision = o.precision;
  q.threads = o.threads;
  return q;
}

std::string ModelLine(const Potential& pot) {
  if (!pot.Model) return {};
  std::string vacua;
  for (double v : pot.Vacua) vacua += (vacua.empty() ? "" : ",") + Shortest(v);
  return pot.Model->Description() + "; vacua " + vacua;
}

bool NeedsWindowStores(const RunnerOptions& o) {
  return !o.pngFile.empty() || !o.h5File.empty() || !o.movieFile.empty() || !o.logName.empty() || !o.marks.empty();
}

bool IsWindowGrid(int gridSize) { return gridSize == 256 || gridSize == 512 || gridSize == 1024; }

double DefaultEndTime(int gridSize, double halfInterval) {
  return std::max(FirstPhaseReach(gridSize, halfInterval), halfInterval);
}

bool CheckGridIsStable(const RunnerOptions& o, std::string& error) {
  Potential pot;
  ApplyModel(pot, o);
  error = UnstableGridMessage(pot, o.halfInterval, o.gridSize);
  return error.empty();
}

double ModulationOf(const RunnerOptions& o) { return o.modulation.value_or(KindModulation(o.kind)); }

void ApplyModel(Potential& pot, const RunnerOptions& o) {
  ApplyPotentialKind(pot, IsValidKind(o.kind) ? o.kind : 1);
  pot.ModulationK = ModulationOf(o);
  pot.Model = o.model;
  pot.Vacua = o.model ? o.vacua : std::vector<double>();
  if (o.model) pot.ModulationK = 0;
}

std::string ModelName(int kind, double modulation) {
  return IsValidKind(kind) && KindModulation(kind) == modulation ? "kind " + std::to_string(kind)
                                                                   : "k=" + Shortest(modulation);
}

std::string UnresolvedKink(const Potential& pot, double halfInterval, int gridSize, double speed) {
  constexpr double kLeastPoints = 4;
  const double dx = static_cast<double>(2.0L * halfInterval / gridSize);
  if (pot.Model && pot.Vacua.size() < 2) return {};  // the vacuum alone: no kink to resolve
  // A model's kinks are solved once and shared with the runs that follow the check.
  const std::shared_ptr<const StaticKink> shared =
      pot.Model ? SharedModelKink(pot, std::min(pot.Vacua[0], pot.Vacua[1]), std::max(pot.Vacua[0], pot.Vacua[1]))
                : std::make_shared<const StaticKink>(pot, pot.ParamA);
  const StaticKink& kink = *shared;
  // A kink moving at v is narrower by its Lorentz factor, and so is the modulation along it.
  const double contraction = std::sqrt(std::max(0.0, 1 - speed * speed));
  double rest = kink.HalfMaxWidth();
  // A model's chain may join other vacua further on: the narrowest of its kinks decides.
  for (size_t j = 2; pot.Model && j < pot.Vacua.size(); ++j)
    rest = std::min(rest, SharedModelKink(pot, std::min(pot.Vacua[j - 1], pot.Vacua[j]),
                                          std::max(pot.Vacua[j - 1], pot.Vacua[j]))->HalfMaxWidth());
  const double width = rest * contraction, steepest = static_cast<double>(kink.SteepestSlope());
  const double k = std::fabs(pot.ModulationK);
  const double period = k > 0 ? 2 * M_PI / (k * steepest) * contraction : 0;
  const std::string moving = speed > 0 ? " moving at " + Shortest(speed) : std::string();
  char text[400];
  if (width / dx < kLeastPoints)
    std::snprintf(text, sizeof text, "dx = %.4g puts %.2g points over the %s %.3g (fewer than %g)", dx, width / dx,
                  speed > 0 ? ("width of the kink" + moving + ",").c_str() : "kink's width", width, kLeastPoints);
  else if (period > 0 && period / dx < kLeastPoints)
    std::snprintf(text, sizeof text,
                  "dx = %.4g puts %.2g points over the period %.3g of the modulation k = %g along the kink%s (fewer "
                  "than %g)",
                  dx, period / dx, period, pot.ModulationK, moving.c_str(), kLeastPoints);
  else
    return {};
  const double shortest = period > 0 ? std::min(width, period) : width;
  const double least = std::ceil(kLeastPoints * 2 * halfInterval / shortest / 2) * 2;
  return std::string(text) + ": the grid does not resolve the kink; take N of at least " + Shortest(least) +
         " for this L";
}

std::string ResolutionWarning(const Potential& pot, double halfInterval, int gridSize, double speed) {
  const std::string why = UnresolvedKink(pot, halfInterval, gridSize, speed);
  return why.empty() ? why : "warning: " + why;
}

double FastestSpeed(const RunnerOptions& o) {
  double fastest = 0;
  for (const auto& [centre, velocity] : o.kinks) fastest = std::max(fastest, std::fabs(velocity));
  return fastest;
}

int RunHeadless(const RunnerOptions& o, std::ostream& out, std::ostream& err, const std::atomic<bool>* stop) {
  if (!NeedsWindowStores(o)) return RunLean(o, out, err, stop);
  auto program = std::make_unique<Program>();
  Program& p = *program;
  ApplyModel(p.pot, o);
  p.sim.Precision = o.precision;
  p.sim.StepThreads = o.threads;
  p.sim.HalfInterval = o.halfInterval;
  p.profile.OduXMin = -o.halfInterval;
  const ProfileResult profile = SolveProfile(p.profile, p.pot, p.pot.ParamA, o.halfInterval, nullptr);
  const std::string coarse = ResolutionWarning(p.pot, o.halfInterval, o.gridSize, FastestSpeed(o));
  if (!coarse.empty()) err << "kinklab-run: " << coarse << '\n' << std::flush;

  TakeChain(o, p.kinks, p.rot);

  if (!o.logName.empty()) {
    p.log.SetPath(o.logName + ".txt");
    std::string createError;
    p.log.SetErrorSink([&](const std::string& m) { createError = m; });
    p.logSettings.LogPeriod = o.logPeriod;
    p.logSettings.LogFileName = o.logName;
    if (!p.log.Create()) {
      err << "kinklab-run: " << createError << '\n';
      return 1;
    }
    // A log that fails later (removed during the run) is told at once; the run goes on.
    p.log.SetErrorSink([&err](const std::string& m) { err << "kinklab-run: " << m << '\n' << std::flush; });
  }

  const double target = o.untilTime ? *o.untilTime : FirstPhaseReach(o.gridSize, o.halfInterval);
  // The grid decides dx and dt, which the record and the movie need before the first level.
  SetGrid(p.sim, o.gridSize);
  const long expectedSteps = StepsTo(target, p.sim.Dt);
  std::string error;
  std::unique_ptr<RunRecorder> record;
  if (!o.h5File.empty()) {
    RecordPoints points;
    const auto [from, to] = o.h5Range.value_or(std::pair{-o.halfInterval, o.halfInterval});
    if (!ChooseRecordPoints(from, to, o.h5Stride, p.sim.Dx, ComputedHalfReach(target > p.sim.ReachTime), points,
                            error)) {
      err << "kinklab-run: --h5-range: " << error << '\n';
      return 2;
    }
    RunDescription run;
    run.kind = o.kind;
    run.modulation = ModulationOf(o);
    run.halfInterval = o.halfInterval;
    run.gridSize = o.gridSize;
    run.dx = p.sim.Dx;
    run.dt = p.sim.Dt;
    run.precision = PrecisionName(o.precision);
    run.kinks = o.kinks;
    if (o.rotator) run.rotator = std::array<double, 5>{o.kF_Re, o.kF_Im, o.kD, o.qL, o.qR};
    run.program = ProgramNameAndVersion();
    run.command = o.command;
    run.every = o.h5Every > 0 ? o.h5Every : EveryFor(expectedSteps, kRecordRows);
    run.stride = o.h5Stride;
    record = std::make_unique<RunRecorder>();
    if (!record->Open(o.h5File, run, points, static_cast<int>(o.marks.size()), error)) {
      err << "kinklab-run: " << error << '\n';
      return 1;
    }
  }
  std::unique_ptr<RunMovie> movie;
  if (!o.movieFile.empty()) {
    const long every = o.movieEvery > 0 ? o.movieEvery : EveryFor(expectedSteps, kMovieFrames);
    movie = std::make_unique<RunMovie>();
    if (!movie->Open(o.movieFile, o.movieWidth, o.movieHeight, every,
                     GifDelayFor(expectedSteps / every + 1, kMovieSeconds), error)) {
      err << "kinklab-run: " << error << '\n';
      return 1;
    }
  }

  RunnerUi ui(p, o, target, stop, record.get(), movie.get());
  // The centred energy costs a pass over the field: about 2000 samples over the run suffice to
  // find its largest drift, which moves smoothly.
  ui.SetCentredEvery(EveryFor(expectedSteps, kCentredEnergySamples));
  ChooseGrid(p, ui, o.gridSize);
  const double dx = p.sim.Dx, dt = p.sim.Dt, reach = p.sim.ReachTime;
  p.sim.InitReady = true;

  RunProgress progress(err, target, ProgressInPlace());
  ui.ShowProgress(&progress);
  const auto start = std::chrono::steady_clock::now();
  double lastTime = -1;
  long lastSteps = -1;
  do {
    if (p.sim.RunState == 4 || ui.Stopped()) break;
    lastTime = p.sim.TimeNow;
    lastSteps = ui.Steps();
    ui.SelectWithoutStop();
    StartPress(p, ui);
    while (p.sim.Running) SliceTimerTick(p, ui);
  } while (p.sim.TimeNow < target && (ui.Steps() != lastSteps || p.sim.TimeNow != lastTime));
  progress.Close();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();

  // An output that fails leaves no file (an older one stays as it was) and costs none of the
  // others; on a stop all are kept, as what the run had made so far.
  int status = 0;
  const OutputFolderLock alone({o.h5File, o.movieFile, o.energyFile, o.pngFile, o.dumpFile});
  auto fail = [&](const std::string& why) {
    err << "kinklab-run: " << why << '\n' << std::flush;
    status = 1;
  };
  for (const std::string& why : ui.Failures()) fail(why);
  if (ui.Record() && !ui.Record()->Finish(error)) fail(error);
  if (ui.Movie() && !ui.Movie()->Finish(error)) fail(error);
  if (!o.energyFile.empty() && !WriteFileReplacing(o.energyFile, ui.EnergyCsv(), error)) fail(error);
  if (!o.pngFile.empty()) {
    ColourScale colours;
    colours.ColorCount = o.colourCount;
    if (!WriteXtPicturePng(p, colours, o.energyPicture, o.pngWidth, o.pngHeight, o.pngFile, error)) fail(error);
  }
  if (!o.dumpFile.empty() && !WriteFileReplacing(o.dumpFile, DumpNewestLevel(p.sim), error)) fail(error);
  if (p.log.Failed()) status = 1;  // told when it happened

  RunSummary summary{profile,
                     dx,
                     dt,
                     reach,
                     ui.Steps(),
                     p.sim.TimeNow,
                     p.sim.PhaseTwo ? 2 : 1,
                     ui.E0(),
                     p.sim.EnergyTotal,
                     ui.MaxDrift(),
                     ui.MaxCentredDrift(),
                     KinkMass(p.pot, p.pot.ParamA),
                     p.sim.Precision,
                     StepThreadsFor(p.sim.StepThreads),
                     seconds > 0 ? ui.Points() / seconds : 0.0,
                     ui.Stopped(),
                     {}};  // the window's engine runs the family alone
  PrintSummary(out, summary);
  return status;
}

int RunHeadlessMain(const RunnerOptions& options, std::ostream& out, std::ostream& err) {
  // Ctrl-C (or SIGTERM) stops the run after its step, and everything is written as it stands.
  const StopOnSignals signals;
  return signals.Status(RunHeadless(options, out, err, &signals.Flag()));
}

}  // namespace kl
