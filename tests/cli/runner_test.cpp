#include "cli/run_command.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"
#include "engine/marks.h"

#include "support/key_lines.h"

namespace kl {
namespace {

using test::Keys;

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

std::string RunWith(const std::vector<std::string>& args, int* status = nullptr) {
  RunnerOptions o;
  std::string error;
  EXPECT_TRUE(ParseRunnerArgs(args, o, error)) << error;
  std::ostringstream out, err;
  const int rc = RunHeadless(o, out, err);
  if (status) *status = rc;
  EXPECT_EQ(err.str(), "");
  return out.str();
}

TEST(RunnerArgs, BadArgumentsAreRefusedWithTheirName) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--frobnicate", "1"}, "--frobnicate"},
      {{"--L", "ten"}, "--L ten"},
      {{"--L", "0"}, "--L 0"},
      {{"--L", "-3"}, "--L -3"},
      {{"--N", "301"}, "--N 301"},
      {{"--N", "32"}, "--N 32"},
      {{"--N", "2048", "--kink", "0:0", "--png", "x.png"}, "--N 2048: --png, --h5, --movie, --mark and --log run on"},
      {{"--N", "512.5"}, "--N 512.5"},
      {{"--kind", "5"}, "--kind 5"},
      {{"--kind", "0"}, "--kind 0"},
      {{"--kink", "1:1"}, "--kink 1:1"},
      {{"--kink", "1:-1.5"}, "--kink 1:-1.5"},
      {{"--kink", "1"}, "--kink 1"},
      {{"--rotator", "1,2,3"}, "--rotator 1,2,3"},
      {{"--t", "1e999"}, "--t 1e999"},
      {{"--kind"}, "--kind needs a value"},
      {{"--png", "x.png", "--size", "800"}, "--size 800"},
      {{"--png", "x.png", "--size", "0x10"}, "--size 0x10"},
      {{"--colours", "20"}, "--colours 20"},
      {{"--L", "1e-10"}, "--L 1e-10"},  // one slice would not move the clock: the run never ended
      {{"--L", "1e308"}, "--L 1e308"},  // its reach is not finite
      {{"--dump", "no/such/folder/d.csv"}, "--dump no/such/folder/d.csv: cannot write"},
      {{"--energy", "no/such/folder/e.csv"}, "--energy no/such/folder/e.csv: cannot write"},
      {{"--png", "no/such/folder/x.png"}, "--png no/such/folder/x.png: cannot write"},
      {{"--log", "no/such/folder/run"}, "--log no/such/folder/run: cannot write"},
      {{"--dump", "/"}, "--dump /: cannot write"},
      {{"--dump", "/dev/null"}, "--dump /dev/null: cannot write /dev/null: not a regular file"},
      {{"--h5", "r.h5", "--h5-range", "0:1e6"}, "--h5-range 0:1e6"},  // beyond the run's reach
      {{"--h5", "r.h5", "--h5-range", "0.01:0.02"}, "--h5-range 0.01:0.02"},  // no grid point
      {{"--h5", "r.h5", "--h5-stride", "0"}, "--h5-stride 0"},
      {{"--h5", "r.h5", "--h5-every", "0"}, "--h5-every 0"},
      {{"--h5-every", "5"}, "--h5-every needs --h5"},
      {{"--h5", "no/such/folder/r.h5"}, "--h5 no/such/folder/r.h5: cannot write"},
      {{"--movie", "no/such/folder/m.gif"}, "--movie no/such/folder/m.gif: cannot write"},
      {{"--movie", "m.gif", "--movie-size", "10x10"}, "--movie-size 10x10"},
      // dt = 1.599 against the stability bound 0.8124 of kind 1: the run would blow up.
      {{"--L", "1000", "--N", "1024", "--kink", "0:0"}, "The grid is unstable: dt = 1.5987 (L = 1000, N = 1024) exceeds 0.812404"},
      {{"--kind", "4", "--L", "520", "--N", "1024", "--kink", "0:0"}, "The grid is unstable: dt = 0.831"},
  };
  for (const auto& [args, named] : cases) {
    RunnerOptions o;
    std::string error;
    EXPECT_FALSE(ParseRunnerArgs(args, o, error)) << named;
    EXPECT_EQ(error.find(named), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
  std::vector<std::string> tenKinks;
  for (int k = 0; k < 10; ++k) tenKinks.insert(tenKinks.end(), {"--kink", std::to_string(k) + ":0"});
  RunnerOptions o;
  std::string error;
  EXPECT_FALSE(ParseRunnerArgs(tenKinks, o, error));
  EXPECT_NE(error.find("nine"), std::string::npos);
}

TEST(RunnerArgs, ReadsEveryOption) {
  RunnerOptions o;
  std::string error;
  ASSERT_TRUE(ParseRunnerArgs({"--kind", "3", "--L", "12.5", "--N", "1024", "--kink", "-3:0.25", "--kink", "3:-.5",
                               "--rotator", "0.1,0.2,0.3,0.4,0.5", "--mark", "-2:4", "--t", "7", "--log", "out",
                               "--log-period", "20", "--energy", "e.csv", "--dump", "d.csv"},
                              o, error))
      << error;
  EXPECT_EQ(o.kind, 3);
  EXPECT_EQ(o.halfInterval, 12.5);
  EXPECT_EQ(o.gridSize, 1024);
  ASSERT_EQ(o.kinks.size(), 2u);
  EXPECT_EQ(o.kinks[1], (std::pair<double, double>{3.0, -0.5}));
  EXPECT_TRUE(o.rotator);
  EXPECT_EQ(o.qR, 0.5);
  ASSERT_EQ(o.marks.size(), 1u);
  EXPECT_EQ(o.marks[0], (std::pair<double, double>{-2.0, 4.0}));
  EXPECT_EQ(*o.untilTime, 7.0);
  EXPECT_EQ(o.logName, "out");
  EXPECT_EQ(o.logPeriod, 20);
}

TEST(Runner, ReportsTheProfileTheGridAndTheRun) {
  const auto keys = Keys(RunWith({"--N", "1024", "--kink", "0:0.5"}));
  EXPECT_EQ(keys.at("height"), "0.707");
  EXPECT_EQ(keys.at("width"), "2.502");
  EXPECT_EQ(keys.at("energy"), "0.945");
  EXPECT_EQ(keys.at("dx"), "0.01953125");
  EXPECT_EQ(keys.at("reach_time"), "10");
  EXPECT_EQ(keys.at("steps"), "626");  // the default stops at the first-phase limit
  EXPECT_EQ(keys.at("phase"), "1");
  EXPECT_LT(std::stod(keys.at("max_rel_drift")), 1e-6);
  EXPECT_LT(std::stod(keys.at("max_rel_drift_centred")), 1e-8);
  EXPECT_EQ(keys.at("kink_mass"), "0.9428090416");  // 2 sqrt(2) / 3
  EXPECT_GT(std::stod(keys.at("points_per_second")), 0);
}

TEST(Runner, WarnsOfAGridThatDoesNotResolveTheKink) {
  // Kind 4's kink is 1.67 wide: dx = 0.5 leaves about 3.3 points over it. The run goes on.
  RunnerOptions o;
  std::string error;
  ASSERT_TRUE(ParseRunnerArgs({"--kind", "4", "--L", "64", "--N", "256", "--kink", "0:0", "--t", "1"}, o, error))
      << error;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadless(o, out, err), 0);
  EXPECT_EQ(err.str().find("kinklab-run: warning: dx = 0.5 puts 3.3 points over the kink's width 1.67"), 0u)
      << err.str();
  EXPECT_EQ(Keys(out.str()).at("t").substr(0, 1), "1");
  const Potential four{4, 5.0, 0.0, {}, {}};
  EXPECT_EQ(ResolutionWarning(four, 64, 512), "");  // 6.7 points
  // A moving kink is narrower by its Lorentz factor: kind 1's width 2.502 times sqrt(1 - v^2) is
  // 0.353 at v = 0.99 (4.5 points of dx = 0.078) and 0.250 at v = 0.995 (3.2 points).
  const Potential one{1, 0.0, 0.0, {}, {}};
  EXPECT_EQ(ResolutionWarning(one, 10, 256, 0.99), "");
  EXPECT_EQ(ResolutionWarning(one, 10, 256, 0.995).find("warning: dx = 0.07812 puts 3.2 points over the width of "
                                                         "the kink moving at 0.995, 0.25 (fewer than 4)"),
            0u);
}

TEST(Runner, AKindsModulationRunsThatKindToTheBit) {
  // --modulation with a kind's k runs the kind's well: the same summary and the same level, bit
  // for bit, in both precisions; a k between the kinds runs another well, with its own mass.
  const std::string a = ::testing::TempDir() + "modulation_a.csv", b = ::testing::TempDir() + "modulation_b.csv";
  const std::vector<std::string> pair = {"--N", "128", "--L", "12", "--kink", "-3:0.4", "--kink", "3:-0.4", "--t", "8"};
  auto run = [&](const std::string& option, const std::string& value, const std::string& precision,
                 const std::string& dump) {
    std::vector<std::string> args = pair;
    args.insert(args.end(), {option, value, "--precision", precision, "--dump", dump});
    auto keys = Keys(RunWith(args));
    keys.erase("points_per_second");
    return keys;
  };
  const char* ks[] = {"0", "0.9", "1.1", "5"};
  for (int kind = 1; kind <= 4; ++kind)
    for (const char* precision : {"extended", "double"}) {
      EXPECT_EQ(run("--kind", std::to_string(kind), precision, a), run("--modulation", ks[kind - 1], precision, b))
          << "kind " << kind;
      std::ifstream fa(a), fb(b);
      EXPECT_TRUE(std::equal(std::istreambuf_iterator<char>(fa), {}, std::istreambuf_iterator<char>(fb), {}))
          << "kind " << kind << " " << precision;
    }
  EXPECT_NE(run("--modulation", "2.5", "double", a).at("kink_mass"), run("--kind", "1", "double", b).at("kink_mass"));
  std::remove(a.c_str());
  std::remove(b.c_str());
}

TEST(Runner, RunsIntoTheSecondPhaseUntilTheRequestedTime) {
  const std::string energy = ::testing::TempDir() + "runner_energy.csv";
  const std::string dump = ::testing::TempDir() + "runner_dump.csv";
  const auto keys = Keys(RunWith({"--N", "1024", "--kink", "-3:0.5", "--t", "12", "--energy", energy, "--dump", dump}));
  EXPECT_EQ(keys.at("phase"), "2");
  const double t = std::stod(keys.at("t"));
  const double dt = std::stod(keys.at("dt"));
  EXPECT_GE(t, 12.0);
  EXPECT_LT(t, 12.0 + dt);
  const std::vector<std::string> rows = Lines(energy);
  ASSERT_EQ(rows.size(), std::stoul(keys.at("steps")) + 1);
  EXPECT_EQ(rows[0], "t,E");
  const std::vector<std::string> dumped = Lines(dump);
  EXPECT_EQ(dumped[0], "x,u,r");
  EXPECT_GT(dumped.size(), 2050u);  // the second phase computes beyond the first-phase range
  // The kink moved from -3 to about -3 + 0.5 t: u changes sign there.
  double crossing = 0;
  for (size_t k = 2; k < dumped.size(); ++k) {
    double x0, u0, r0, x1, u1, r1;
    std::sscanf(dumped[k - 1].c_str(), "%lf,%lf,%lf", &x0, &u0, &r0);
    std::sscanf(dumped[k].c_str(), "%lf,%lf,%lf", &x1, &u1, &r1);
    if (u0 < 0 && u1 >= 0) crossing = x0 + (x1 - x0) * u0 / (u0 - u1);
  }
  EXPECT_NEAR(crossing, -3 + 0.5 * t, 0.02);
  std::remove(energy.c_str());
  std::remove(dump.c_str());
}

TEST(Runner, WritesTheLogAsTheWindowDoes) {
  const std::string base = ::testing::TempDir() + "runner_log";
  RunWith({"--N", "512", "--kink", "-2:0.3", "--kink", "2:-0.3", "--mark", "-4:0", "--mark", "0:4", "--t", "2",
       "--log", base, "--log-period", "10"});
  const std::vector<std::string> lines = Lines(base + ".txt");
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines[0], kLogHeader);
  EXPECT_EQ(lines[1], " ");  // choosing N separates runs
  // Two marks, a record each at levels 10, 20, ...: 2 * floor((steps + 1) / 10) lines.
  const int steps = static_cast<int>(std::ceil(2.0 / (0.818535277187 * 20.0 / 512)));
  EXPECT_EQ(lines.size(), 2u + 2 * ((steps + 1) / 10));
  for (size_t k = 2; k < lines.size(); ++k) {
    EXPECT_EQ(lines[k].size(), 6u * 17) << lines[k];
    EXPECT_EQ(std::count(lines[k].begin(), lines[k].end(), ','), 6) << lines[k];
  }
  // The two records of one step share t and E.
  EXPECT_EQ(lines[2].substr(0, 17), lines[3].substr(0, 17));
  EXPECT_EQ(lines[2].substr(5 * 17), lines[3].substr(5 * 17));
  std::remove((base + ".txt").c_str());
}

TEST(Runner, WritesTheXtPictureAsAPngOfTheRequestedSize) {
  const std::string png = ::testing::TempDir() + "runner_picture.png";
  RunWith({"--N", "256", "--kink", "0:0.2", "--t", "5", "--png", png, "--size", "320x160", "--energy-picture"});
  std::ifstream in(png, std::ios::binary);
  std::string head(24, '\0');
  ASSERT_TRUE(in.read(head.data(), 24));
  EXPECT_EQ(head.substr(1, 3), "PNG");
  auto be32 = [&](int at) {
    return (static_cast<unsigned char>(head[at]) << 24) | (static_cast<unsigned char>(head[at + 1]) << 16) |
           (static_cast<unsigned char>(head[at + 2]) << 8) | static_cast<unsigned char>(head[at + 3]);
  };
  EXPECT_EQ(be32(16), 320);  // IHDR width and height
  EXPECT_EQ(be32(20), 160);
  std::remove(png.c_str());
}

}  // namespace
}  // namespace kl
