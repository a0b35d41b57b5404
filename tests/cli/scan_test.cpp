#include "study/collision.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "cli/scan_map.h"
#include "cli/scan_runs.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <map>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <vector>

#include "study/refine.h"
#include "interaction/colour_scale.h"
#include "records/scan_record.h"
#include "support/run_scan.h"
#include "support/text_files.h"
#include "base/canvas.h"

#include <hdf5.h>

extern char** environ;

namespace kl {
namespace {

using test::Lines;
using test::FileText;

ScanOptions Parsed(const std::vector<std::string>& args) {
  ScanOptions o;
  std::string error;
  EXPECT_TRUE(ParseScanArgs(args, o, error)) << error;
  return o;
}

std::vector<std::string> Fields(const std::string& row) {
  std::vector<std::string> fields;
  size_t start = 0;
  for (size_t comma; (comma = row.find(',', start)) != std::string::npos; start = comma + 1)
    fields.push_back(row.substr(start, comma - start));
  fields.push_back(row.substr(start));
  return fields;
}

// The header once and every part's rows in velocity order: what the guide's one-liner makes
// of the CSVs of a split scan.
std::string Merge(const std::vector<std::string>& parts) {
  std::string header;
  std::vector<std::string> rows;
  for (const std::string& part : parts) {
    std::vector<std::string> lines = Lines(part);
    header = lines.at(0);
    rows.insert(rows.end(), lines.begin() + 1, lines.end());
  }
  std::sort(rows.begin(), rows.end(),
            [](const std::string& a, const std::string& b) { return std::stod(Fields(a)[0]) < std::stod(Fields(b)[0]); });
  std::string merged = header + '\n';
  for (const std::string& row : rows) merged += row + '\n';
  return merged;
}

// ---------------------------------------------------------------------------------------------

TEST(ScanArgs, BadRangesAndOptionsAreRefusedWithTheirName) {
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"--scan", "0.3:0.2:0.01"}, "--scan 0.3:0.2:0.01"},  // V1 < V0
      {{"--scan", "0.1:0.2:0"}, "--scan 0.1:0.2:0"},        // DV = 0
      {{"--scan", "0.1:0.2:-0.01"}, "--scan 0.1:0.2:-0.01"},
      {{"--scan", "0.5:1:0.1"}, "--scan 0.5:1:0.1"},        // |v| >= 1
      {{"--scan", "-1:0.5:0.1"}, "--scan -1:0.5:0.1"},
      {{"--scan", "0.1:1.5:0.1"}, "--scan 0.1:1.5:0.1"},
      {{"--scan", "0.1:0.2"}, "--scan 0.1:0.2"},
      {{"--scan", "0:0.9:0.00001"}, "--scan 0:0.9:0.00001"},  // too many velocities
      {{"--scan", "0.1:0.2:0.1", "--separation", "0"}, "--separation 0"},
      {{"--scan", "0.1:0.2:0.1", "--scan-part", "3/2"}, "--scan-part 3/2"},
      {{"--scan", "0.1:0.2:0.1", "--scan-part", "0/2"}, "--scan-part 0/2"},
      {{"--scan", "0.1:0.2:0.1", "--scan-part", "1/2.5"}, "--scan-part 1/2.5"},
      {{"--scan", "0.1:0.2:0.1", "--jobs", "0"}, "--jobs 0"},
      {{"--scan", "0.1:0.2:0.1", "--L", "12"}, "--L 12"},  // C = 10 needs L >= 15
      {{"--scan", "0.1:0.2:0.1", "--t", "0"}, "--t 0"},
      {{"--scan", "0.1:0.2:0.1", "--t", "1e6"}, "--t 1e6"},
      {{"--scan", "0.1:0.2:0.1", "--N", "131072"}, "--N 131072"},  // the runner's own checks
      {{"--scan", "0.1:0.2:0.1", "--frobnicate", "1"}, "--frobnicate"},
      {{"--scan", "0.1:0.2:0.1", "--kink", "0:0.5"}, "--kink"},  // one run's options
      {{"--scan", "0.1:0.2:0.1", "--png", "a.png"}, "--png"},
      {{"--scan-png", "a.png"}, "--scan-png: needs --scan, --from-h5 or --scan-merge"},
      {{"--scan"}, "--scan needs a value"},
      {{"--scan", "0.9999999999999:0.9999999999999:0.1"}, "--scan 0.9999999999999:0.9999999999999:0.1"},
      {{"--scan", "-0.99999999999996:0:0.5"}, "--scan -0.99999999999996:0:0.5"},  // rounds to -1
      {{"--scan", "0.1:0.2:0.1", "--scan-csv", "no/such/folder/s.csv"}, "--scan-csv no/such/folder/s.csv"},
      {{"--scan", "0.1:0.5:0.1", "--refine", "0"}, "--refine 0"},
      {{"--scan", "0.1:0.5:0.1", "--refine", "-1e-3"}, "--refine -1e-3"},
      {{"--scan", "0.1:0.5:0.1", "--refine", "1e-13"}, "--refine 1e-13"},  // finer than 12 digits of 0.5
      {{"--scan", "0.1:0.5:0.1", "--edges", "e.csv"}, "--edges needs --refine"},
      {{"--scan", "0.1:0.5:0.1", "--refine", "1e-3", "--scan-part", "1/2"}, "--scan-part"},
      {{"--from-csv", "s.csv"}, "--from-csv needs --refine"},
      {{"--from-csv", "s.csv", "--refine", "1e-3", "--scan", "0.1:0.5:0.1"}, "--scan"},
      {{"--from-csv", "s.csv", "--refine", "1e-3", "--scan-png", "m.png"}, "--scan-png"},
      {{"--scan", "0.1:0.2:0.1", "--scan-png", "no/such/folder/s.png"}, "--scan-png no/such/folder/s.png"},
      {{"--scan", "0.1:0.2:0.1", "--separation", "150", "--N", "256"}, "The grid is unstable: dt = 1.02317 (L = 160"},
  };
  for (const auto& [args, named] : cases) {
    ScanOptions o;
    std::string error;
    EXPECT_FALSE(ParseScanArgs(args, o, error)) << named;
    EXPECT_EQ(error.find(named), 0u) << error;
    EXPECT_EQ(error.find('\n'), std::string::npos);
  }
}

TEST(ScanArgs, TheIntervalFollowsTheSeparationAndTheRunsTakeTheUsualOptions) {
  ScanOptions o = Parsed({"--scan", "0.15:0.3:0.01"});
  EXPECT_EQ(o.run.halfInterval, 20.0);  // C + 10
  EXPECT_EQ(o.run.untilTime.value_or(-1), 200.0);
  EXPECT_EQ(o.run.gridSize, 256);
  EXPECT_EQ(o.run.threads, 1);  // the runs share the cores
  EXPECT_EQ(o.part, 1);
  EXPECT_EQ(o.parts, 1);
  EXPECT_TRUE(o.csvFile.empty());

  o = Parsed({"--separation", "15", "--scan", "-0.2:0.2:0.1", "--kind", "3", "--N", "512", "--t", "80",
              "--precision", "double", "--threads", "2", "--colours", "64", "--jobs", "3", "--scan-part", "2/5",
              "--scan-csv", "s.csv", "--scan-png", "s.png"});
  EXPECT_EQ(o.separation, 15.0);
  EXPECT_EQ(o.run.halfInterval, 25.0);
  EXPECT_EQ(o.v0, -0.2);
  EXPECT_EQ(o.v1, 0.2);
  EXPECT_EQ(o.dv, 0.1);
  EXPECT_EQ(o.run.kind, 3);
  EXPECT_EQ(o.run.gridSize, 512);
  EXPECT_EQ(o.run.untilTime.value_or(-1), 80.0);
  EXPECT_EQ(o.run.precision, StepPrecision::Double);
  EXPECT_EQ(o.run.threads, 2);
  EXPECT_EQ(o.run.colourCount, 64);
  EXPECT_EQ(o.jobs, 3);
  EXPECT_EQ(o.part, 2);
  EXPECT_EQ(o.parts, 5);
  EXPECT_EQ(o.csvFile, "s.csv");
  EXPECT_EQ(o.pngFile, "s.png");

  EXPECT_EQ(Parsed({"--scan", "0.1:0.2:0.1", "--L", "30"}).run.halfInterval, 30.0);  // a given L stays
  EXPECT_TRUE(HasScanOption({"--N", "256", "--scan", "0.1:0.2:0.1"}));
  EXPECT_FALSE(HasScanOption({"--N", "256", "--scan-png", "x.png"}));
}

TEST(ScanVelocities, CoverTheRangeWithBothEndsAndSplitIntoInterleavedShares) {
  const std::vector<double> v = ScanVelocities(0.15, 0.30, 0.01);
  ASSERT_EQ(v.size(), 16u);
  EXPECT_EQ(v.front(), 0.15);
  EXPECT_EQ(v[3], 0.18);  // 0.15 + 3 * 0.01 is 0.18000000000000002 before the rounding
  EXPECT_EQ(v.back(), 0.3);
  EXPECT_EQ(ScanVelocities(0.2, 0.2, 0.05), std::vector<double>{0.2});
  EXPECT_EQ(ScanVelocities(-0.1, 0.1, 0.1), (std::vector<double>{-0.1, 0, 0.1}));

  EXPECT_EQ(PartIndices(16, 2, 3), (std::vector<size_t>{1, 4, 7, 10, 13}));
  std::multiset<size_t> all;
  for (int k = 1; k <= 3; ++k)
    for (size_t i : PartIndices(16, k, 3)) all.insert(i);
  EXPECT_EQ(all.size(), 16u);
  EXPECT_EQ(std::set<size_t>(all.begin(), all.end()).size(), 16u);  // every index exactly once
  EXPECT_TRUE(PartIndices(2, 3, 3).empty());
}

// ---------------------------------------------------------------------------------------------

TEST(BounceRule, ABounceIsAPassageBelowMinusAHalfAndBackAboveAHalf) {
  const std::vector<double> t = {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10};
  // A shallow dip that does not pass over, then two bounces, then one that has not ended.
  const std::vector<double> u = {1, -0.3, 1, 0.6, -0.6, -1.5, 0.4, 0.8, -0.9, 0.7, -0.8};
  const BounceCount b = CountBounces(t, u);
  EXPECT_EQ(b.bounces, 2);
  ASSERT_TRUE(b.firstCollision);
  EXPECT_DOUBLE_EQ(*b.firstCollision, 3.5);  // u falls through zero half way from t = 3 to 4
  ASSERT_TRUE(b.lastBounceEnd);
  EXPECT_EQ(*b.lastBounceEnd, 9.0);  // 0.4 at t = 6 is not yet back above one half
  EXPECT_TRUE(b.inBounce);

  const BounceCount none = CountBounces({0, 1, 2}, {1, -0.4, 1});
  EXPECT_EQ(none.bounces, 0);
  EXPECT_FALSE(none.firstCollision);  // the shallow dip is no collision
  EXPECT_FALSE(none.inBounce);
}

TEST(BounceRule, ThePairIsTheOutermostZerosOfTheLevel) {
  constexpr int half = 100;
  constexpr double dx = 0.1;
  std::vector<FieldPoint> store(2 * half + 1);
  FieldPoint* level = store.data() + half;
  // A tent with zeros at x = -3 and +3, dipping below zero again inside (|x| < 1), as the
  // middle of a pair close to a bounce does.
  auto fill = [&](auto u) {
    for (int i = -half; i <= half; ++i) level[i].re = u(i * dx);
  };
  fill([](double x) { return std::fabs(x) < 1 ? std::fabs(x) - 0.5 : 1 - std::fabs(x) / 3; });
  const std::optional<PairPositions> pair = LocatePair(level, half, dx);
  ASSERT_TRUE(pair);
  EXPECT_NEAR(pair->left, -3.0, 1e-12);
  EXPECT_NEAR(pair->right, 3.0, 1e-12);

  fill([](double) { return -1.0; });  // the pair has merged
  EXPECT_FALSE(LocatePair(level, half, dx));
  fill([](double x) { return x < 2.05 ? -1.0 : 1.0; });  // a lone kink
  EXPECT_FALSE(LocatePair(level, half, dx));
}

// A run made of straight pieces: approach at 0.4 until the bounce at t = 20 .. 30, then the
// half distance grows at `speed` from 1 at t = 30, the centre back on the vacuum between.
CollisionRun SketchedRun(double speed) {
  CollisionRun run;
  for (int k = 0; k <= 1000; ++k) {
    const double t = 0.1 * k;
    run.time.push_back(t);
    const bool inside = t >= 20 && t < 30;
    run.centre.push_back(inside ? -1.5 : 1.0);
    run.halfDistance.push_back(t < 20 ? 10 - 0.4 * t : inside ? 0.0 : 1 + speed * (t - 30));
  }
  return run;
}

TEST(BounceRule, AnEscapedPairIsFarApartAndRecedingWithItsOutgoingSpeedMeasured) {
  constexpr double width = 2.5;  // four widths: 10 apart, a half distance of 5

  CollisionRun escape = SketchedRun(0.25);  // half distance 18.5 at t = 100
  ClassifyCollision(escape, width);
  EXPECT_EQ(escape.outcome, CollisionOutcome::Escape);
  EXPECT_EQ(escape.bounces, 1);
  ASSERT_TRUE(escape.outgoingSpeed);
  EXPECT_NEAR(*escape.outgoingSpeed, 0.25, 1e-9);
  ASSERT_TRUE(escape.endDistance);
  EXPECT_NEAR(*escape.endDistance, 37.0, 1e-9);
  ASSERT_TRUE(escape.firstCollision);
  EXPECT_NEAR(*escape.firstCollision, 20.0, 0.1);

  CollisionRun close = SketchedRun(0.05);  // receding but only 9 apart at the end
  ClassifyCollision(close, width);
  EXPECT_EQ(close.outcome, CollisionOutcome::Capture);
  EXPECT_FALSE(close.outgoingSpeed);

  CollisionRun returning = SketchedRun(0.5);  // 24 apart at the end, but falling back
  for (size_t k = 0; k < returning.time.size(); ++k)
    if (returning.time[k] > 60) returning.halfDistance[k] = 16 - 0.1 * (returning.time[k] - 60);
  ClassifyCollision(returning, width);
  EXPECT_EQ(returning.outcome, CollisionOutcome::Capture);

  CollisionRun approaching = SketchedRun(0.25);
  approaching.time.resize(150);  // the run ends at t = 14.9, before the pair meets
  approaching.centre.resize(150);
  approaching.halfDistance.resize(150);
  ClassifyCollision(approaching, width);
  EXPECT_EQ(approaching.outcome, CollisionOutcome::None);
  EXPECT_EQ(ScanCsvRow(approaching), "0,none,0,,,8.08\n");  // 2 (10 - 0.4 * 14.9) apart
}

// ---------------------------------------------------------------------------------------------

// One scan of four velocities run whole, two at once, and the same scan in two interleaved
// parts run one at a time: N = 256 and t = 200 keep it to a few seconds.
class CollisionScan : public ::testing::Test {
 protected:
  // Each test may run in a process of its own, side by side with the others: own file names.
  static std::string PartPng(int k) {
    return ::testing::TempDir() + "scan_part" + std::to_string(k) + "_" + std::to_string(getpid()) + ".png";
  }
  static void SetUpTestSuite() {
    const std::vector<std::string> common = {"--scan", "0.1:0.4:0.1", "--N", "256"};
    std::vector<std::string> args = common;
    // A map file named keeps u(0, t) of every run for the map test; RunScan writes no file.
    args.insert(args.end(), {"--jobs", "2", "--scan-png",
                             ::testing::TempDir() + "scan_whole_" + std::to_string(getpid()) + ".png"});
    ScanCallbacks callbacks;  // the rows as they are reported, in velocity order
    callbacks.finished = [](const CollisionRun& r) { wholeCsv_ += ScanCsvRow(r); };
    wholeCsv_ = ScanCsvHeader();
    whole_ = new ScanResult(RunScan(Parsed(args), notStopped_, callbacks));
    for (int k = 1; k <= 2; ++k) {
      std::vector<std::string> part = common;
      const std::string png = PartPng(k);
      part.insert(part.end(), {"--jobs", "1", "--scan-part", std::to_string(k) + "/2", "--scan-png", png});
      std::ostringstream out, err;
      EXPECT_EQ(RunScanCommand(Parsed(part), notStopped_, out, err, false), 0) << err.str();
      partCsv_[k - 1] = out.str();
      partErr_[k - 1] = err.str();
    }
  }
  static void TearDownTestSuite() {
    delete whole_;
    whole_ = nullptr;
    for (int k = 1; k <= 2; ++k) std::remove(PartPng(k).c_str());
  }
  static const CollisionRun& Run(double v) {
    for (const CollisionRun& r : whole_->runs)
      if (r.v == v) return r;
    throw std::runtime_error("no run at this velocity");
  }

  static inline std::atomic<bool> notStopped_{false};
  static inline ScanResult* whole_ = nullptr;
  static inline std::string wholeCsv_, partCsv_[2], partErr_[2];
};

TEST_F(CollisionScan, ASlowPairIsCapturedAndAFastPairEscapesAfterOneBounce) {
  ASSERT_TRUE(whole_->error.empty()) << whole_->error;
  const CollisionRun& slow = Run(0.1);
  EXPECT_TRUE(slow.finished);
  EXPECT_EQ(slow.outcome, CollisionOutcome::Capture);
  EXPECT_GE(slow.bounces, 2);  // the bound pair keeps bouncing
  EXPECT_FALSE(slow.outgoingSpeed);
  EXPECT_LT(slow.centre.back(), 0.5);  // no vacuum between them at the end

  const CollisionRun& fast = Run(0.4);
  EXPECT_EQ(fast.outcome, CollisionOutcome::Escape);
  EXPECT_EQ(fast.bounces, 1);
  ASSERT_TRUE(fast.firstCollision);
  // The kinks start 10 from the centre at 0.4: they meet a little before t = 25.
  EXPECT_GT(*fast.firstCollision, 20.0);
  EXPECT_LT(*fast.firstCollision, 25.0);
  ASSERT_TRUE(fast.outgoingSpeed);
  EXPECT_GT(*fast.outgoingSpeed, 0.2);  // slower than they came: the collision radiates and
  EXPECT_LT(*fast.outgoingSpeed, 0.4);  // leaves the kinks oscillating
  EXPECT_GT(fast.centre.back(), 0.9);   // the vacuum between them is back
  EXPECT_GE(fast.time.back(), 200.0);   // through the first phase's limit (140) into the second
}

TEST_F(CollisionScan, TheCsvHasAHeaderAndOneRowPerVelocityAndASplitScanConcatenatedEqualsTheWhole) {
  std::string whole = ScanCsvHeader();
  for (const CollisionRun& r : whole_->runs) whole += ScanCsvRow(r);
  EXPECT_EQ(wholeCsv_, whole);
  const std::vector<std::string> lines = Lines(whole);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "v,outcome,bounces,first_collision,v_out,end_distance");
  for (size_t k = 1; k < lines.size(); ++k) {
    const std::vector<std::string> f = Fields(lines[k]);
    ASSERT_EQ(f.size(), 6u) << lines[k];
    EXPECT_EQ(f[0], std::vector<std::string>({"0.1", "0.2", "0.3", "0.4"})[k - 1]);
    EXPECT_EQ(f[4].empty(), f[1] != "escape") << lines[k];  // a speed for escapes only
  }
  EXPECT_EQ(Fields(lines[1])[1], "capture");
  EXPECT_EQ(Fields(lines[4])[1] + "," + Fields(lines[4])[2], "escape,1");

  // The shares interleave: the first holds 0.1 and 0.3, the second 0.2 and 0.4. The whole
  // scan ran two at once, the parts one at a time: the rows agree to the last digit.
  EXPECT_EQ(Fields(Lines(partCsv_[0]).at(2))[0], "0.3");
  EXPECT_EQ(Fields(Lines(partCsv_[1]).at(1))[0], "0.2");
  EXPECT_EQ(Merge({partCsv_[0], partCsv_[1]}), whole);
  EXPECT_NE(partErr_[0].find("scan: 2 of 4 runs (part 1/2)"), std::string::npos) << partErr_[0];
  EXPECT_NE(partErr_[0].find("scan: 2/2 done\n"), std::string::npos) << partErr_[0];
}

TEST_F(CollisionScan, TheMapShowsTheCentreInTheAmplitudeColoursWithItsAxes) {
  // The whole scan's velocities and one more that has no run.
  const std::vector<double> velocities = {0.1, 0.2, 0.3, 0.4, 0.5};
  Canvas map;
  PaintScanMap(velocities, whole_->runs, 200, 16, "u(0,t)", map);
  const int band = 600 / 5, left = 84, top = 44, height = 500;
  EXPECT_EQ(map.Width(), left + 5 * band + 120);
  EXPECT_EQ(map.Height(), top + height + 70);

  ColourScale colours;
  BuildPalette(colours, 16, nullptr);
  double densityMax = 1;
  BuildLevels(colours, 16, densityMax);
  auto column = [&](int j) {  // the colours of column band j from t = 0 (bottom) upward
    std::vector<Rgb> c;
    for (int row = height - 1; row >= 0; --row) c.push_back(map.Pixel(left + j * band + band / 2, top + row));
    return c;
  };
  auto rowOf = [&](double t) { return static_cast<size_t>(t / 200 * height); };
  const Rgb between = AmplColor(colours, 1.0), middle = AmplColor(colours, 0.0), deep = AmplColor(colours, -1.5);
  for (int j = 0; j < 4; ++j) EXPECT_EQ(column(j)[0], between) << j;  // all start in the vacuum between

  // The captured pair keeps passing through zero to the far side; the escaped one, after its
  // bounce, leaves the centre near the vacuum between for good.
  const std::vector<Rgb> slow = column(0), fast = column(3);
  EXPECT_NE(std::find(slow.begin() + rowOf(150), slow.end(), middle), slow.end());
  EXPECT_NE(std::find(slow.begin() + rowOf(150), slow.end(), deep), slow.end());
  EXPECT_NE(std::find(fast.begin() + rowOf(20), fast.begin() + rowOf(30), deep), fast.begin() + rowOf(30));
  EXPECT_EQ(std::find(fast.begin() + rowOf(60), fast.end(), middle), fast.end());
  EXPECT_EQ(column(4), std::vector<Rgb>(height, Rgb{205, 205, 205}));  // not run

  std::set<std::string> texts;
  for (const CanvasText& t : map.Texts()) texts.insert(t.text);
  for (const char* expected : {"t", "v", "u", "u(0,t)", "0", "200", "0.1", "0.3", "0.5", "+1", "-1"})
    EXPECT_TRUE(texts.count(expected)) << expected;
  // The labels are drawn, not only recorded: the title's first letter has black pixels.
  int black = 0;
  for (int y = 12; y < 26; ++y)
    for (int x = left; x < left + 10; ++x) black += map.Pixel(x, y) == kBlack;
  EXPECT_GT(black, 5);

  // Each part wrote its own map, one band per velocity of its share.
  const std::string png = FileText(PartPng(2));
  ASSERT_GE(png.size(), 24u);
  EXPECT_EQ(png.substr(1, 3), "PNG");
  auto be32 = [&](size_t at) {
    return (static_cast<unsigned char>(png[at]) << 24) | (static_cast<unsigned char>(png[at + 1]) << 16) |
           (static_cast<unsigned char>(png[at + 2]) << 8) | static_cast<unsigned char>(png[at + 3]);
  };
  EXPECT_EQ(be32(16), left + 2 * 300 + 120);
  EXPECT_EQ(be32(20), top + height + 70);
}

TEST(ScanStop, AStoppedScanKeepsTheRunsItFinishedAndDropsTheOneOnTheWay) {
  std::atomic<bool> stop{false};
  ScanOptions o = Parsed({"--scan", "0.3:0.4:0.05", "--N", "256", "--t", "40", "--jobs", "1"});
  ScanCallbacks callbacks;
  std::vector<double> reported;
  callbacks.finished = [&](const CollisionRun& r) {
    reported.push_back(r.v);
    stop = true;  // as Ctrl-C would, once the first run is done
  };
  const ScanResult result = RunScan(o, stop, callbacks);
  ASSERT_EQ(result.runs.size(), 1u);
  EXPECT_EQ(result.runs[0].v, 0.3);
  EXPECT_EQ(reported, std::vector<double>{0.3});

  const CollisionRun cut = RunCollision(CollisionSetupOf(o), 0.35, stop);  // stopped at its first step
  EXPECT_FALSE(cut.finished);
  EXPECT_LE(cut.time.size(), 1u);
}

TEST(ScanRun, TheFirstCollisionComesWhenTheSchemeSaysItDoes) {
  // A kink-antikink pair of kind 1 at +-10 meeting at v = 0.26 (N = 1024, L = 20): an
  // independent leapfrog of the same scheme puts the first collision at 33.183; a second
  // phase one step behind its clock put it at 33.214.
  std::atomic<bool> stop{false};
  const ScanOptions o = Parsed({"--scan", "0.26:0.26:0.01", "--N", "1024", "--t", "40", "--precision", "double"});
  const CollisionRun run = RunCollision(CollisionSetupOf(o), 0.26, stop);
  ASSERT_TRUE(run.firstCollision);
  EXPECT_NEAR(*run.firstCollision, 33.183, 0.003);
}

TEST(ScanCsv, ReadsConcatenatedSharesAndRefusesWhatIsNoScanCsvNamingTheLine) {
  const std::string h = ScanCsvHeader();
  std::vector<CollisionRun> runs;
  std::string error;
  ASSERT_TRUE(ParseScanCsv(h + "0.3,escape,1,9.087,0.1372,16.90\n0.1,capture,3,19.834,,3.69\n" + h +
                               "0.2,escape,2,12.267,0.1607,11.90\n0.1,capture,3,19.834,,3.69\n",
                           "s.csv", runs, error))
      << error;
  ASSERT_EQ(runs.size(), 3u);  // in velocity order, the row both shares hold once
  EXPECT_EQ(runs[0].v, 0.1);
  EXPECT_EQ(ClassOf(runs[1]), (RunClass{RunClass::Escape, 2}));
  EXPECT_FALSE(runs[0].outgoingSpeed);
  EXPECT_EQ(ScanCsvRow(runs[2]), "0.3,escape,1,9.087,0.1372,16.90\n");

  const std::vector<std::pair<std::string, std::string>> bad = {
      {"v,outcome\n0.1,capture,3,,,\n", "s.csv: line 1: the header"},
      {h + "0.1,capture,3,,,\n0.2,escape,x,,,\n", "s.csv: line 3: the bounces"},
      {h + "0.1,capture,3,,\n", "s.csv: line 2: expected 6 fields, found 5"},
      {h + "1.5,capture,3,,,\n", "s.csv: line 2: the velocity"},
      {h + "0.1,bounce,3,,,\n", "s.csv: line 2: the outcome"},
      {h + "0.1,escape,0,,,\n", "s.csv: line 2: an escape without a bounce"},
      {h + "0.1,capture,3,nan,,\n", "s.csv: line 2: first_collision"},
      {h + "\n0.1,capture,3,,,\n", "s.csv: line 2: an empty line"},
      {h + "0.1,capture,3,,,\n0.1,capture,2,,,\n", "s.csv: v = 0.1 is listed twice with different results"},
      {"", "s.csv: empty"},
      {h + "0.1,capture,3,19.834,,14", "s.csv: line 2: the last line has no end"},  // cut mid-value
  };
  for (const auto& [text, message] : bad) {
    EXPECT_FALSE(ParseScanCsv(text, "s.csv", runs, error)) << text;
    EXPECT_EQ(error.find(message), 0u) << error;
  }
}

// A small refined scan end to end: the grid 0.1 .. 0.5 finds capture, two-bounce and one-bounce
// runs, and the bisection narrows the edges between them.
class RefinedScan : public ::testing::Test {
 protected:
  static std::string Path(const std::string& name) {
    return ::testing::TempDir() + "refined_" + std::to_string(getpid()) + "_" + name;
  }
  static int Run(std::vector<std::string> args, std::string& out, std::string& err) {
    const std::vector<std::string> common = {"--separation", "4", "--N", "256", "--t", "60", "--precision", "double"};
    args.insert(args.end(), common.begin(), common.end());
    return RunAsGiven(args, out, err);
  }
  // The scan command on exactly these arguments.
  static int RunAsGiven(const std::vector<std::string>& args, std::string& out, std::string& err) {
    return test::RunScanLine(args, out, err);
  }
};

TEST_F(RefinedScan, NarrowsEveryEdgeTheSameWayForAnyJobsAndFromAConcatenatedSplitScan) {
  std::string out, err, out1, err1;
  ASSERT_EQ(Run({"--scan", "0.1:0.5:0.1", "--refine", "0.002", "--jobs", "2", "--edges", Path("e2.csv"),
                 "--scan-png", Path("map.png")},
                out, err),
            0)
      << err;
  ASSERT_EQ(Run({"--scan", "0.1:0.5:0.1", "--refine", "0.002", "--jobs", "1", "--edges", Path("e1.csv")}, out1, err1),
            0);
  EXPECT_EQ(out, out1);
  const std::string edges = FileText(Path("e2.csv"));
  EXPECT_EQ(edges, FileText(Path("e1.csv")));

  // Every row once, in velocity order; the edges are the closest pairs of different class.
  std::vector<CollisionRun> runs;
  std::string error;
  ASSERT_TRUE(ParseScanCsv(out, "out", runs, error)) << error;
  EXPECT_EQ(Lines(out).size(), runs.size() + 1);
  const std::vector<std::string> edgeLines = Lines(edges);
  ASSERT_GE(edgeLines.size(), 3u);
  EXPECT_EQ(edgeLines[0], "v_low,v_high,class_low,class_high");
  for (size_t k = 1; k < edgeLines.size(); ++k) {
    const std::vector<std::string> f = Fields(edgeLines[k]);
    const double lo = std::stod(f[0]), hi = std::stod(f[1]);
    EXPECT_LT(hi - lo, 0.002) << edgeLines[k];
    auto at = std::find_if(runs.begin(), runs.end(), [&](const CollisionRun& r) { return r.v == lo; });
    ASSERT_NE(at, runs.end());
    ASSERT_NE(at + 1, runs.end());
    EXPECT_EQ((at + 1)->v, hi);  // neighbours among all the rows
    EXPECT_EQ(RunClassName(ClassOf(*at)), f[2]);
    EXPECT_EQ(RunClassName(ClassOf(*(at + 1))), f[3]);
  }
  const std::string last = Fields(edgeLines.back())[0] + " and " + Fields(edgeLines.back())[1];
  EXPECT_NE(err.find("critical velocity: between " + last + "\n"), std::string::npos) << err;
  EXPECT_TRUE(std::ifstream(Path("map.png")).good());

  // The grid split in two, its CSVs concatenated, the refinement split in two again.
  std::string part1, part2, e;
  ASSERT_EQ(Run({"--scan", "0.1:0.5:0.1", "--scan-part", "1/2"}, part1, e), 0);
  ASSERT_EQ(Run({"--scan", "0.1:0.5:0.1", "--scan-part", "2/2"}, part2, e), 0);
  { std::ofstream(Path("grid.csv")) << part1 << part2; }
  std::string r1, r2;
  ASSERT_EQ(Run({"--from-csv", Path("grid.csv"), "--refine", "0.002", "--scan-part", "1/2", "--edges", Path("a.csv")},
                r1, e),
            0)
      << e;
  ASSERT_EQ(Run({"--from-csv", Path("grid.csv"), "--refine", "0.002", "--scan-part", "2/2", "--edges", Path("b.csv")},
                r2, e),
            0)
      << e;
  std::vector<std::string> split;
  for (const char* name : {"a.csv", "b.csv"}) {
    const std::vector<std::string> lines = Lines(FileText(Path(name)));
    split.insert(split.end(), lines.begin() + 1, lines.end());
  }
  std::sort(split.begin(), split.end());
  std::vector<std::string> whole(edgeLines.begin() + 1, edgeLines.end());
  std::sort(whole.begin(), whole.end());
  EXPECT_EQ(split, whole);
  // Each share's CSV holds the old rows and its new ones; together they read as the whole.
  ASSERT_TRUE(ParseScanCsv(r1 + r2, "both", runs, error)) << error;
  EXPECT_EQ(ScanCsvHeader() + [&] {
    std::string rows;
    for (const CollisionRun& r : runs) rows += ScanCsvRow(r);
    return rows;
  }(), out);

  // A CSV that is not a scan's is refused before anything runs or is written.
  { std::ofstream(Path("bad.csv")) << "v,outcome\n"; }
  EXPECT_EQ(Run({"--from-csv", Path("bad.csv"), "--refine", "0.002", "--scan-csv", Path("never.csv")}, r1, e), 2);
  EXPECT_EQ(e.find("kinklab-run: --from-csv " + Path("bad.csv") + ": line 1: the header"), 0u) << e;
  EXPECT_FALSE(std::ifstream(Path("never.csv")).good());
  for (const char* name : {"e1.csv", "e2.csv", "map.png", "grid.csv", "a.csv", "b.csv", "bad.csv"})
    std::remove(Path(name).c_str());
}

TEST_F(RefinedScan, AConvergedScanRefinesEveryGridAndExtrapolatesTheEdgesFromThem) {
  const auto plain = RunAsGiven;
  auto grid = [&](std::vector<std::string> args, std::string& out, std::string& err) {
    const std::vector<std::string> common = {"--scan", "0.25:0.27:0.01", "--separation", "4", "--t", "60",
                                             "--precision", "double"};
    args.insert(args.end(), common.begin(), common.end());
    return plain(args, out, err);
  };
  auto run = [&](std::vector<std::string> args, std::string& out, std::string& err) {
    args.insert(args.end(), {"--refine", "1e-3"});
    return grid(args, out, err);
  };
  std::string out, err;
  ASSERT_EQ(run({"--converge", "256,2048", "--edges", Path("ce.csv"), "--scan-h5", Path("c.h5")}, out, err), 0) << err;
  // Every run of both grids, each row with its grid.
  const std::vector<std::string> rows = Lines(out);
  ASSERT_FALSE(rows.empty());
  EXPECT_EQ(rows[0], "v,outcome,bounces,first_collision,v_out,end_distance,N");
  std::map<std::string, int> perGrid;
  for (size_t k = 1; k < rows.size(); ++k) ++perGrid[Fields(rows[k]).back()];
  EXPECT_GT(perGrid["256"], 3);
  EXPECT_GT(perGrid["2048"], 3);
  EXPECT_EQ(perGrid.size(), 2u);
  // The edges are those of each grid's refined scan run alone, extrapolated as dx^2 says.
  std::map<std::string, double> mid, halfWidth;
  for (const char* n : {"256", "2048"}) {
    std::string o2, e2;
    ASSERT_EQ(run({"--N", n, "--edges", Path(std::string("e") + n + ".csv")}, o2, e2), 0) << e2;
    const std::vector<std::string> edge = Lines(FileText(Path(std::string("e") + n + ".csv")));
    ASSERT_EQ(edge.size(), 2u) << n;  // the one edge, capture to escape after one bounce
    mid[n] = (std::stod(Fields(edge[1])[0]) + std::stod(Fields(edge[1])[1])) / 2;
    halfWidth[n] = (std::stod(Fields(edge[1])[1]) - std::stod(Fields(edge[1])[0])) / 2;
  }
  const std::vector<std::string> edges = Lines(FileText(Path("ce.csv")));
  ASSERT_EQ(edges.size(), 2u);
  EXPECT_EQ(edges[0], "class_low,class_high,v_256,v_2048,v_extrapolated,error");
  const std::vector<std::string> f = Fields(edges[1]);
  EXPECT_EQ(f[0] + "," + f[1], "capture,escape1");
  EXPECT_EQ(std::stod(f[2]), mid["256"]);
  EXPECT_EQ(std::stod(f[3]), mid["2048"]);
  const double extrapolated = mid["2048"] + (mid["2048"] - mid["256"]) * (256.0 * 256) / (2048.0 * 2048 - 256.0 * 256);
  EXPECT_NEAR(std::stod(f[4]), extrapolated, 1e-15);
  // The error: the last correction, or what the brackets leave open, (1 + w) h_2048 + w h_256
  // with w = 1/63, whichever is larger.
  const double bracket = (64 * halfWidth["2048"] + halfWidth["256"]) / 63;
  EXPECT_NEAR(std::stod(f[5]), std::max(std::fabs(extrapolated - mid["2048"]), bracket), 1e-15);
  const std::vector<std::string> said = Lines(err);
  ASSERT_FALSE(said.empty());
  EXPECT_EQ(said.back().rfind("critical velocity (extrapolated): ", 0), 0u) << said.back();
  // The record: a group per grid, each a scan record of its own.
  const hid_t file = H5Fopen(Path("c.h5").c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  ASSERT_GE(file, 0);
  EXPECT_GT(H5Lexists(file, "N256/centre_u", H5P_DEFAULT), 0);
  EXPECT_GT(H5Lexists(file, "N2048/edge_v", H5P_DEFAULT), 0);
  H5Fclose(file);

  // Split over two shares: each runs its share of both grids' runs; the merge joins them grid
  // by grid; two shares refine the merged grid's edges; the merge of those extrapolates the
  // same edges as the scan run in one piece.
  for (const char* k : {"1", "2"}) {
    std::string o2, e2;
    ASSERT_EQ(grid({"--converge", "256,2048", "--scan-part", std::string(k) + "/2", "--scan-h5",
                    Path(std::string("g") + k + ".h5")}, o2, e2), 0) << e2;
  }
  std::string o3, e3;
  ASSERT_EQ(plain({"--scan-merge", Path("g1.h5"), Path("g2.h5"), "--scan-h5", Path("g.h5")}, o3, e3), 0) << e3;
  for (const char* k : {"1", "2"}) {
    std::string o4, e4;
    ASSERT_EQ(plain({"--from-h5", Path("g.h5"), "--refine", "1e-3", "--scan-part", std::string(k) + "/2", "--scan-h5",
                     Path(std::string("r") + k + ".h5")}, o4, e4), 0) << e4;
  }
  std::string o5, e5;
  ASSERT_EQ(plain({"--scan-merge", Path("r1.h5"), Path("r2.h5"), "--edges", Path("se.csv")}, o5, e5), 0) << e5;
  EXPECT_EQ(FileText(Path("se.csv")), FileText(Path("ce.csv")));
  const std::vector<std::string> merged = Lines(e5);
  ASSERT_GE(merged.size(), 2u);
  EXPECT_EQ(merged[merged.size() - 2], said.back());  // the extrapolated critical velocity
}

TEST_F(RefinedScan, RecordsOfASplitScanOrRefinementMergeIntoTheWholeByteForByte) {
  const std::vector<std::string> grid = {"--scan", "0.1:0.32:0.02"};
  auto with = [&](std::vector<std::string> extra) {
    extra.insert(extra.begin(), grid.begin(), grid.end());
    return extra;
  };
  std::string out, err;
  ASSERT_EQ(Run(with({"--scan-csv", Path("w.csv"), "--scan-png", Path("w.png")}), out, err), 0) << err;
  ASSERT_EQ(Run(with({"--refine", "0.002", "--scan-csv", Path("rw.csv"), "--scan-png", Path("rw.png")}), out, err), 0);
  std::vector<std::string> parts;
  for (int k = 1; k <= 3; ++k) {
    parts.push_back(Path("p" + std::to_string(k) + ".h5"));
    ASSERT_EQ(Run(with({"--scan-part", std::to_string(k) + "/3", "--scan-h5", parts.back()}), out, err), 0) << err;
  }
  auto merge = [&](std::vector<std::string> args, std::string& e) {
    args.insert(args.begin(), "--scan-merge");
    std::string o;
    return test::RunScanLine(args, o, e);
  };
  std::string e;
  ASSERT_EQ(merge({parts[0], parts[1], parts[2], "--scan-csv", Path("m.csv"), "--scan-png", Path("m.png"),
                   "--scan-h5", Path("grid.h5")},
                  e),
            0)
      << e;
  EXPECT_EQ(FileText(Path("m.csv")), FileText(Path("w.csv")));
  EXPECT_EQ(FileText(Path("m.png")), FileText(Path("w.png")));

  // The refinement of the merged record split in two, the two records merged again.
  for (int k = 1; k <= 2; ++k) {
    ScanOptions o;
    ASSERT_TRUE(ParseScanArgs({"--from-h5", Path("grid.h5"), "--refine", "0.002", "--scan-part",
                               std::to_string(k) + "/2", "--scan-h5", Path("r" + std::to_string(k) + ".h5")},
                              o, e))
        << e;
    std::atomic<bool> stop{false};
    std::ostringstream o1, o2;
    ASSERT_EQ(RunScanCommand(o, stop, o1, o2, false), 0) << o2.str();
  }
  ASSERT_EQ(merge({Path("r1.h5"), Path("r2.h5"), "--scan-csv", Path("rm.csv"), "--scan-png", Path("rm.png")}, e), 0);
  EXPECT_EQ(FileText(Path("rm.csv")), FileText(Path("rw.csv")));
  EXPECT_EQ(FileText(Path("rm.png")), FileText(Path("rw.png")));

  // The example script reads the merged record as the CSV has it.
  if (std::system("/usr/bin/python3 -c 'import h5py, numpy, matplotlib' >/dev/null 2>&1") == 0) {
    const std::string script = std::string(KINKLAB_DATA_DIR) + "/../docs/examples/bound_pair.py";
    FILE* pipe = popen(("/usr/bin/python3 " + script + " " + Path("grid.h5") + " --png " + Path("py.png")).c_str(), "r");
    ASSERT_NE(pipe, nullptr);
    std::string printed;
    char buf[512];
    for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) printed.append(buf, n);
    ASSERT_EQ(pclose(pipe), 0) << printed;
    const std::string csv = FileText(Path("m.csv"));
    size_t captured = 0, escaped = 0;
    for (const std::string& line : Lines(csv)) {
      captured += line.find(",capture,") != std::string::npos;
      escaped += line.find(",escape,") != std::string::npos;
    }
    EXPECT_NE(printed.find("runs: " + std::to_string(Lines(csv).size() - 1) + ", captured: " +
                           std::to_string(captured) + ", escaped: " + std::to_string(escaped) + "\n"),
              std::string::npos)
        << printed;
    std::remove(Path("py.png").c_str());
  }

  // Shares of another scan, or a velocity two shares hold with different results, are refused.
  ScanRecord record;
  ASSERT_TRUE(ReadScanRecord(parts[0], record, e)) << e;
  record.parameters.tMax = 50;
  ASSERT_TRUE(WriteScanRecord(Path("other.h5"), record, e)) << e;
  EXPECT_EQ(merge({parts[0], parts[1], Path("other.h5"), "--scan-csv", Path("never.csv")}, e), 2);
  EXPECT_EQ(e, "kinklab-run: --scan-merge " + Path("other.h5") + ": not a share of the scan of " + parts[0] +
                   " (its parameters differ)\n");
  record.parameters.tMax = 60;
  record.runs[0].bounces += 1;
  ASSERT_TRUE(WriteScanRecord(Path("other.h5"), record, e)) << e;
  EXPECT_EQ(merge({parts[0], Path("other.h5"), "--scan-csv", Path("never.csv")}, e), 2);
  EXPECT_NE(e.find(Path("other.h5") + ": v = 0.1 differs from " + parts[0] + "'s"), std::string::npos) << e;
  EXPECT_EQ(merge({parts[0], parts[2], "--scan-csv", Path("never.csv")}, e), 2);
  EXPECT_NE(e.find("share 2 of 3 is missing"), std::string::npos) << e;
  { std::ofstream(Path("bad.h5")) << "not hdf5"; }
  EXPECT_EQ(merge({Path("bad.h5"), "--scan-csv", Path("never.csv")}, e), 2);
  EXPECT_NE(e.find(Path("bad.h5") + ": not an HDF5 file"), std::string::npos) << e;
  // A damaged record on which the HDF5 library itself may crash (a use after free, so not every
  // time) is refused, not a crash here.
  const std::string damaged =
      std::string(KINKLAB_DATA_DIR) + "/../fuzz/corpus/fuzz_scan_record/regress-hdf5-attribute-use-after-free.h5";
  EXPECT_EQ(merge({damaged, "--scan-csv", Path("never.csv")}, e), 2);
  EXPECT_EQ(e.find("kinklab-run: --scan-merge " + damaged + ": "), 0u) << e;
  EXPECT_FALSE(std::ifstream(Path("never.csv")).good());
  for (const char* name : {"w.csv", "w.png", "rw.csv", "rw.png", "p1.h5", "p2.h5", "p3.h5", "m.csv", "m.png",
                           "grid.h5", "r1.h5", "r2.h5", "rm.csv", "rm.png", "other.h5", "bad.h5"})
    std::remove(Path(name).c_str());
}

TEST(ScanMap, ARefinedRunIsABandWhereItsVelocityFalls) {
  auto run = [](double v, double u) {
    CollisionRun r;
    r.v = v;
    r.finished = true;
    r.time = {0.0, 100.0};
    r.centre = {u, u};
    return r;
  };
  const std::vector<double> grid = {0.1, 0.2, 0.3};
  Canvas plain, refined;
  PaintScanMap(grid, {run(0.1, 1), run(0.2, 1), run(0.3, 1)}, 100, 16, "", plain);
  PaintScanMap(grid, {run(0.1, 1), run(0.2, 1), run(0.27, -1), run(0.29, 1), run(0.3, 1)}, 100, 16, "", refined);
  ASSERT_EQ(plain.Width(), refined.Width());  // the same linear axis
  // The plot starts at x = 84 with 200 columns per grid velocity: v = 0.1 + (x - 84 + 0.5 - 100) / 2000.
  const int row = 300;
  auto colourAt = [&](const Canvas& c, double v) { return c.ConstRow(row)[84 + static_cast<int>((v - 0.05) * 2000)]; };
  const uint32_t plus = colourAt(plain, 0.27);
  EXPECT_NE(colourAt(refined, 0.27), plus);  // the run at 0.27 owns (0.235, 0.28)
  EXPECT_EQ(colourAt(refined, 0.27), colourAt(refined, 0.24));
  EXPECT_EQ(colourAt(refined, 0.23), plus);
  EXPECT_EQ(colourAt(refined, 0.285), plus);
  for (double v : {0.06, 0.15, 0.2, 0.34}) EXPECT_EQ(colourAt(refined, v), colourAt(plain, v)) << v;
}

// ---------------------------------------------------------------------------------------------

// The runner program itself, with standard error read through a pipe.
struct Child {
  pid_t pid = -1;
  FILE* err = nullptr;
};

Child Spawn(const std::vector<std::string>& args) {
  Child child;
  const char* runner = std::getenv("KINKLAB_RUNNER");
  if (!runner) return child;
  int fds[2];
  if (pipe(fds) != 0) return child;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  std::vector<std::string> all = {runner};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  if (posix_spawn(&child.pid, runner, &actions, nullptr, argv.data(), environ) != 0) child.pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  child.err = fdopen(fds[0], "r");
  return child;
}

int Wait(Child& child, std::string* rest = nullptr) {
  char buf[512];
  for (size_t n; (n = fread(buf, 1, sizeof buf, child.err)) > 0;)
    if (rest) rest->append(buf, n);
  fclose(child.err);
  int status = 0;
  waitpid(child.pid, &status, 0);
  return status;
}

TEST(ScanProgram, ABadRangeExitsWithStatus2AndWritesNothing) {
  if (!std::getenv("KINKLAB_RUNNER")) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
  const std::string csv = ::testing::TempDir() + "never_written_scan.csv";
  for (const std::string range : {"0.3:0.2:0.01", "0.1:0.2:0", "0.1:0.2:-0.05", "0.5:1:0.1", "-1.2:0:0.1"}) {
    Child child = Spawn({"--scan", range, "--scan-csv", csv});
    ASSERT_GT(child.pid, 0);
    std::string message;
    const int status = Wait(child, &message);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << range;
    EXPECT_EQ(message.find("kinklab-run: --scan " + range + ": "), 0u) << message;
    EXPECT_EQ(std::count(message.begin(), message.end(), '\n'), 1);
    EXPECT_FALSE(std::ifstream(csv).good());
  }
}

TEST(ScanProgram, CtrlCStopsTheScanAndStillWritesTheRowsItFinished) {
  if (!std::getenv("KINKLAB_RUNNER")) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
  const std::string csv = ::testing::TempDir() + "interrupted_scan.csv";
  std::remove(csv.c_str());
  Child child = Spawn({"--scan", "0.1:0.4:0.02", "--N", "256", "--jobs", "1", "--scan-csv", csv});
  ASSERT_GT(child.pid, 0);
  char line[256];
  bool firstDone = false;
  while (!firstDone && fgets(line, sizeof line, child.err))
    firstDone = std::string(line).rfind("scan: 1/16 done", 0) == 0;
  ASSERT_TRUE(firstDone);
  kill(child.pid, SIGINT);
  std::string rest;
  const int status = Wait(child, &rest);
  EXPECT_TRUE(WIFEXITED(status)) << "ended by a signal";
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGINT);
  EXPECT_NE(rest.find("scan stopped"), std::string::npos) << rest;

  const std::vector<std::string> lines = Lines(FileText(csv));
  ASSERT_GE(lines.size(), 2u);  // the header and at least the run that was reported
  EXPECT_LT(lines.size(), 17u);
  EXPECT_EQ(lines[0], "v,outcome,bounces,first_collision,v_out,end_distance");
  for (size_t k = 1; k < lines.size(); ++k)  // in velocity order from the first, without a gap
    EXPECT_NEAR(std::stod(Fields(lines[k])[0]), 0.1 + 0.02 * (k - 1), 1e-12) << lines[k];
  std::remove(csv.c_str());
}

}  // namespace
}  // namespace kl
