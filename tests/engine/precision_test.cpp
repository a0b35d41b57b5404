// Double precision against extended: a moving kink to t = 50 stays within 1e-10 everywhere
// and conserves energy as well; the runner and its options choose the precision.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "cli/run_command.h"
#include "engine/lean_run.h"
#include "soliton/profile.h"
#include "support/fake_run_ui.h"
#include "support/kink_pair.h"

namespace kl {
namespace {

// Runs a kink at v = 0.5 on N = 1024, L = 10 to t = 50 as the runner does, keeping the
// newest level (u and r over the computed range) every 25 steps and the energy drift.
class SamplingUi : public test::FakeRunUi {
 public:
  void Attach(const Program* p) { p_ = p; }
  void StepMade() override {
    FakeRunUi::StepMade();
    const SimState& s = p_->sim;
    if (e0 == 0) e0 = s.EnergyTotal;
    drift = std::max(drift, std::fabs(s.EnergyTotal - e0) / e0);
    energies.push_back(s.EnergyTotal);
    if (steps % 25 != 0) return;
    const FieldPoint* level = s.PhaseTwo ? s.stores.Work(1) : s.stores.History(s.LayerNow);
    const int half = s.PhaseTwo ? kHistoryHalf + s.ExtraWidth - 2 : kHistoryHalf - 1;
    std::vector<double> sample;
    for (int i = -half; i <= half; ++i) {
      sample.push_back(level[i].re);
      sample.push_back(level[i].r);
    }
    samples.push_back(std::move(sample));
  }
  bool ContinueAfterStep() override { return p_->sim.TimeNow < 50; }

  double e0 = 0, drift = 0;
  std::vector<double> energies;
  std::vector<std::vector<double>> samples;

 private:
  const Program* p_ = nullptr;
};

struct KinkRun {
  std::unique_ptr<Program> program;
  std::unique_ptr<SamplingUi> ui;
};

KinkRun RunMovingKink(StepPrecision precision) {
  KinkRun run;
  run.ui = std::make_unique<SamplingUi>();
  run.program = test::MakeProgram(*run.ui, 1, 10, 1024, {{0.0, 0.5}});
  Program& p = *run.program;
  run.ui->Attach(&p);
  p.sim.Precision = precision;
  while (p.sim.TimeNow < 50 && p.sim.RunState != 4) {
    const long before = run.ui->steps;
    run.ui->SelectWithoutStop();
    StartPress(p, *run.ui);
    while (p.sim.Running) SliceTimerTick(p, *run.ui);
    if (run.ui->steps == before) break;
  }
  return run;
}

TEST(Precision, DoubleAndExtendedAgreeOnAMovingKinkToTimeFifty) {
  const KinkRun extended = RunMovingKink(StepPrecision::Extended);
  const KinkRun dbl = RunMovingKink(StepPrecision::Double);
  ASSERT_TRUE(extended.program->sim.PhaseTwo);
  ASSERT_GE(extended.program->sim.TimeNow, 50);
  ASSERT_EQ(dbl.ui->steps, extended.ui->steps);
  ASSERT_EQ(dbl.ui->samples.size(), extended.ui->samples.size());
  ASSERT_GT(extended.ui->samples.size(), 120u);

  double largest = 0;
  bool differs = false;
  for (size_t k = 0; k < extended.ui->samples.size(); ++k) {
    const std::vector<double>& a = extended.ui->samples[k];
    const std::vector<double>& b = dbl.ui->samples[k];
    ASSERT_EQ(a.size(), b.size());
    for (size_t j = 0; j < a.size(); ++j) {
      largest = std::max(largest, std::fabs(a[j] - b[j]));
      differs = differs || a[j] != b[j];
    }
  }
  EXPECT_LT(largest, 1e-10);
  EXPECT_TRUE(differs) << "the double precision must really have been used";

  // Energy: kind 1 on N = 1024 drifts by about 4.4e-7 over this run in either precision.
  EXPECT_LT(extended.ui->drift, 1e-6);
  EXPECT_LT(dbl.ui->drift, 1e-6);
  EXPECT_NEAR(dbl.ui->drift, extended.ui->drift, 1e-9);
  for (size_t k = 0; k < extended.ui->energies.size(); ++k)
    ASSERT_NEAR(dbl.ui->energies[k], extended.ui->energies[k], 1e-12) << "step " << k + 1;
  // The kink moved from 0 to about 0.5 t.
  const SimState& s = dbl.program->sim;
  const FieldPoint* level = s.stores.Work(1);
  double crossing = 0;
  for (int i = -kHistoryHalf - s.ExtraWidth + 2; i < kHistoryHalf + s.ExtraWidth - 2; ++i)
    if (level[i].re < 0 && level[i + 1].re >= 0) crossing = (i + level[i].re / (level[i].re - level[i + 1].re)) * s.Dx;
  EXPECT_NEAR(crossing, 0.5 * s.TimeNow, 0.02);
}

std::map<std::string, std::string> RunnerKeys(const std::vector<std::string>& args) {
  RunnerOptions o;
  std::string error;
  EXPECT_TRUE(ParseRunnerArgs(args, o, error)) << error;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadless(o, out, err), 0);
  EXPECT_EQ(err.str(), "");
  std::map<std::string, std::string> keys;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) keys[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return keys;
}

TEST(Precision, TheRunnerTakesThePrecisionAndTheThreads) {
  const std::vector<std::string> run = {"--N", "1024", "--kink", "-3:0.5", "--t", "11"};
  auto args = run;
  const auto extended = RunnerKeys(args);
  EXPECT_EQ(extended.at("precision"), "extended");
  EXPECT_EQ(extended.at("threads"), std::to_string(StepThreadsFor(0)));
  args.insert(args.end(), {"--precision", "double", "--threads", "2"});
  const auto dbl = RunnerKeys(args);
  EXPECT_EQ(dbl.at("precision"), "double");
  EXPECT_EQ(dbl.at("threads"), "2");
  EXPECT_EQ(dbl.at("phase"), "2");
  EXPECT_EQ(dbl.at("steps"), extended.at("steps"));
  EXPECT_NEAR(std::stod(dbl.at("E")), std::stod(extended.at("E")), 1e-12);

  RunnerOptions o;
  std::string error;
  ASSERT_TRUE(ParseRunnerArgs({"--kink", "0:0", "--precision", "double", "--precision", "extended", "--threads", "16"}, o, error));
  EXPECT_EQ(o.precision, StepPrecision::Extended);  // the last one counts
  EXPECT_EQ(o.threads, 16);
  for (const std::vector<std::string>& bad : std::vector<std::vector<std::string>>{
           {"--precision", "quad"}, {"--precision", "Double"}, {"--threads", "0"}, {"--threads", "17"},
           {"--threads", "two"}, {"--threads", "1.5"}, {"--precision"}}) {
    EXPECT_FALSE(ParseRunnerArgs(bad, o, error)) << bad[0];
    EXPECT_EQ(error.rfind(bad[0], 0), 0u) << error;  // the message names the option
  }
}

}  // namespace
}  // namespace kl

namespace kl {
namespace {

// The centred energy takes W from the steps rather than evaluating it again: the W a step
// leaves is the potential of its current level, the same bits as PotW in extended precision
// and W in double arithmetic (to a few ulps) in double; pinned points leave 0.
TEST(Precision, TheWAStepLeavesIsThePotentialOfItsCurrentLevel) {
  Potential pot;
  ApplyPotentialKind(pot, 4);
  ProfileState profile;
  profile.OduXMin = -10;
  SolveProfile(profile, pot, pot.ParamA, 10, nullptr);
  for (const StepPrecision precision : {StepPrecision::Extended, StepPrecision::Double}) {
    KinkList kinks = test::ApproachingPair(3, 0.3);
    const RotatorParams rot = test::NoRotator();
    LeanRun run(pot, precision, 2, 10, 256, 30);
    PrepareLeanRun(run, pot, kinks, rot, profile, 256);
    std::vector<double> w(2 * static_cast<size_t>(run.Span()) + 1, -7.0);
    for (int k = 0; k < 300; ++k) ASSERT_TRUE(run.Step());  // the pair has met
    ASSERT_TRUE(run.Step(w.data() + run.Span()));
    int half;
    run.Newest(half);
    const FieldPoint* level = run.Previous();  // the level the last step started from
    int differing = 0;
    for (int i = -half + 1; i <= half - 1; ++i) {
      const double expected = PotW(pot, pot.ParamA, level[i].re), got = w[static_cast<size_t>(i + run.Span())];
      if (precision == StepPrecision::Extended)
        ASSERT_EQ(got, expected) << i;
      else
        ASSERT_NEAR(got, expected, 4e-16 * std::max(1.0, std::fabs(expected))) << i;
      differing += got != expected;
    }
    EXPECT_GT(half, 300);  // the cone beyond the initial interval
    if (precision == StepPrecision::Extended) EXPECT_EQ(differing, 0);
  }
}

}  // namespace
}  // namespace kl
