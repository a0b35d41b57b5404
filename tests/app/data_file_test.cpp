#include "app/data_file.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <algorithm>
#include <bit>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <iterator>
#include <limits>
#include <map>
#include <memory>
#include <sstream>

#include "cli/run_command.h"
#include "support/disk_faults.h"

namespace kl {
namespace {

// An independent little-endian reader and writer, so the codec is not checked against itself.
double DoubleAt(const std::string& bytes, size_t value) {
  uint64_t bits = 0;
  for (int b = 7; b >= 0; --b) bits = bits << 8 | static_cast<unsigned char>(bytes.at(8 * value + b));
  return std::bit_cast<double>(bits);
}
void SetDoubleAt(std::string& bytes, size_t value, double v) {
  const auto bits = std::bit_cast<uint64_t>(v);
  for (int b = 0; b < 8; ++b) bytes.at(8 * value + b) = static_cast<char>(bits >> (8 * b) & 0xFF);
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Two kinks and a distinct value everywhere, so a swapped pair of values shows.
SetupData TwoKinkSetup() {
  return SetupData{.HalfInterval = 12.5, .PotXMax = 2.25, .PotYMin = -1.25, .PotYMax = 0.75,
                   .PhasXMax = 1.75, .PhasYMax = 1.5, .OduYMax = 1.375, .SolitonCount = 2,
                   .Kinks = {{{-3.5, 0.25}, {4.5, -0.5}}}, .InitMethod = 1, .kF_Re = 0.625, .kF_Im = 0.125,
                   .kD = 0.0625, .kAd = 0.03125, .wAd = 0.1, .qR = 2.5, .qL = 0.375, .ColorCount = 64,
                   .ModulationK = 1.1, .GridIndex = 1, .PotentialKind = 3, .LogPeriod = 25};
}

TEST(SetupLayout, EveryValueSitsAtItsOffsetInLittleEndianOrder) {
  const std::string bytes = EncodeSetup(TwoKinkSetup());
  const std::vector<double> expected = {12.5, 2.25,  -1.25, 0.75, 1.75,  1.5,   1.375,  2,       -3.5,
                                        0.25, 4.5,   -0.5,  1,    0.625, 0.125, 0.0625, 0.03125, 0.1,
                                        2.5,  0.375, 64,    1.1,  1,     3,     1025,   25};
  ASSERT_EQ(bytes.size(), 8 * expected.size());  // 176 + 2 * 16
  for (size_t k = 0; k < expected.size(); ++k) EXPECT_EQ(DoubleAt(bytes, k), expected[k]) << "value " << k + 1;
  // 12.5 is 0x4029000000000000: the low byte comes first.
  EXPECT_EQ(bytes.substr(0, 8), std::string("\0\0\0\0\0\0\x29\x40", 8));

  SetupData none = TwoKinkSetup(), nine = TwoKinkSetup();
  none.SolitonCount = 0;
  nine.SolitonCount = 9;
  EXPECT_EQ(EncodeSetup(none).size(), 176u);
  EXPECT_EQ(EncodeSetup(nine).size(), 320u);
  EXPECT_EQ(DoubleAt(EncodeSetup(none), 8), 1);  // the method follows the count directly
}

TEST(SetupProgram, SaveAndLoadRestoreEveryValueOfTheProgram) {
  auto from = std::make_unique<Program>();
  Program& a = *from;
  a.sim.HalfInterval = 7.5;
  SetGrid(a.sim, 1024);
  a.scales = {-1.8, 1.8, -0.5, 0.25, -1.6, 1.6, -0.9, 0.9};
  a.profile.OduYMax = 1.25;
  a.kinks.SolitonCount = 3;
  a.kinks.InitSm = {0, -4, 0.5, 6, 99};  // slot 4 is stale and not part of the list
  a.kinks.InitVel = {0, 0.3, 0, -0.7, 0.9};
  a.rot = {1, 0.4, -0.3, 0.2, 0.25, 1.5, 0.05, 0.15};
  ApplyPotentialKind(a.pot, 4);
  a.logSettings.LogPeriod = 40;

  const SetupData saved = SetupFromProgram(a, 104);
  EXPECT_EQ(saved.GridIndex, 0);
  EXPECT_EQ(saved.ModulationK, 5.0);
  EXPECT_EQ(saved.Marker, 1025.0);
  const std::string path = ::testing::TempDir() + "setup_round_trip.kq1";
  std::string error;
  ASSERT_TRUE(SaveSetupFile(path, saved, error)) << error;
  EXPECT_EQ(ReadAll(path).size(), 176u + 3 * 16);
  SetupData loaded;
  ASSERT_TRUE(LoadSetupFile(path, loaded, error)) << error;
  EXPECT_EQ(EncodeSetup(loaded), EncodeSetup(saved));
  std::remove(path.c_str());

  auto to = std::make_unique<Program>();
  Program& b = *to;
  b.kinks.InitSm[4] = -8;
  ApplySetupToProgram(loaded, b, true);
  EXPECT_EQ(b.sim.HalfInterval, 7.5);
  EXPECT_EQ(b.profile.OduXMin, -7.5);
  EXPECT_EQ(b.sim.GridSize, 1024);
  EXPECT_EQ(b.sim.Dx, a.sim.Dx);
  EXPECT_EQ(b.sim.ReachTime, 7.5);
  const auto scales = [](const SolitonScales& c) {
    return std::vector<double>{c.PotXMin,  c.PotXMax,  c.PotYMin,  c.PotYMax,
                               c.PhasXMin, c.PhasXMax, c.PhasYMin, c.PhasYMax};
  };
  EXPECT_EQ(scales(b.scales), scales(a.scales));  // the minima derived again from the maxima
  EXPECT_EQ(b.profile.OduYMax, 1.25);
  EXPECT_EQ(b.kinks.SolitonCount, 3);
  for (int i = 1; i <= 3; ++i)
    EXPECT_EQ(std::pair(b.kinks.InitSm[i], b.kinks.InitVel[i]),
              std::pair(a.kinks.InitSm[i], a.kinks.InitVel[i]));
  EXPECT_EQ(b.kinks.InitSm[4], -8);  // beyond the list: untouched
  const auto rotator = [](const RotatorParams& r) {
    return std::vector<double>{double(r.InitMethod), r.kF_Re, r.kF_Im, r.kD, r.qL, r.qR, r.kAd, r.wAd};
  };
  EXPECT_EQ(rotator(b.rot), rotator(a.rot));
  EXPECT_EQ(b.pot.PotentialKind, 4);
  EXPECT_EQ(b.pot.ModulationK, 5.0);
  EXPECT_EQ(b.logSettings.LogPeriod, 40);
  EXPECT_EQ(loaded.ColorCount, 104);

  // Declining the file's kind keeps the current potential; everything else is applied.
  auto kept = std::make_unique<Program>();
  ApplySetupToProgram(loaded, *kept, false);
  EXPECT_EQ(kept->pot.PotentialKind, 1);
  EXPECT_EQ(kept->pot.ModulationK, 0.0);
  EXPECT_EQ(kept->sim.HalfInterval, 7.5);
}

TEST(SetupProgram, EverySavedSetupLoadsAgain) {
  auto p = std::make_unique<Program>();
  p->rot.InitMethod = 7;  // not a choice of the radio group
  p->sim.GridSize = 0;
  for (int colours : {208, 204, 8}) {
    const SetupData s = SetupFromProgram(*p, colours);
    EXPECT_EQ(s.ColorCount, colours == 204 ? 200 : 16);
    EXPECT_EQ(s.InitMethod, 0);
    EXPECT_EQ(s.GridIndex, 2);
    SetupData back;
    std::string reason;
    EXPECT_TRUE(DecodeSetup(EncodeSetup(s), back, reason)) << reason;
  }
}

TEST(SetupDecode, IntegerValuesAreRoundedHalfToEven) {
  std::string bytes = EncodeSetup(TwoKinkSetup());
  SetDoubleAt(bytes, 7, 2.4);    // n
  SetDoubleAt(bytes, 12, 0.5);   // method
  SetDoubleAt(bytes, 20, 23.5);  // colour count
  SetDoubleAt(bytes, 22, 1.5);   // grid index
  SetDoubleAt(bytes, 23, 2.5);   // kind
  SetDoubleAt(bytes, 25, -3.5);  // log period
  SetupData s;
  std::string reason;
  ASSERT_TRUE(DecodeSetup(bytes, s, reason)) << reason;
  EXPECT_EQ(s.SolitonCount, 2);
  EXPECT_EQ(s.InitMethod, 0);
  EXPECT_EQ(s.ColorCount, 24);
  EXPECT_EQ(s.GridIndex, 2);
  EXPECT_EQ(s.PotentialKind, 2);
  EXPECT_EQ(s.LogPeriod, -4);
}

TEST(SetupDecode, AnyColourCountLoadsAsTheColourListTakesIt) {
  // 16 .. 207 keep their value; anything else, the 208 of a list without a selection too, is 16.
  const std::pair<double, int> cases[] = {{8, 16},  {20, 20},    {204, 204}, {207, 207},
                                          {208, 16}, {-24, 16}, {1e300, 16}, {206.5, 206}};
  const std::string path = ::testing::TempDir() + "colour_count.kq1";
  for (const auto& [stored, loaded] : cases) {
    std::string bytes = EncodeSetup(TwoKinkSetup());
    SetDoubleAt(bytes, 20, stored);
    SetupData s;
    std::string reason;
    ASSERT_TRUE(DecodeSetup(bytes, s, reason)) << stored << ": " << reason;
    EXPECT_EQ(s.ColorCount, loaded) << stored;
    EXPECT_EQ(s.HalfInterval, 12.5) << stored;  // the rest of the file is taken as it is
    // The runner's --setup reads the same file and does not refuse it either.
    std::ofstream(path, std::ios::binary) << bytes;
    RunnerOptions o;
    EXPECT_TRUE(ParseRunnerArgs({"--setup", path}, o, reason)) << stored << ": " << reason;
  }
  std::remove(path.c_str());
}

TEST(SetupDecode, ABadFileIsRefusedWithItsReasonAndChangesNothing) {
  const std::string good = EncodeSetup(TwoKinkSetup());
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const double inf = std::numeric_limits<double>::infinity();
  auto set = [](size_t value, double v) { return [=](std::string& b) { SetDoubleAt(b, value, v); }; };
  const std::vector<std::pair<std::function<void(std::string&)>, std::string>> cases = {
      {[](std::string& b) { b.resize(100); },
       "the file holds 100 bytes, fewer than the 176 of a setup without kinks"},
      {[](std::string& b) { b.resize(400); },
       "the file holds more than 320 bytes, the size of a setup with nine kinks"},
      {[](std::string& b) { b.resize(200); }, "the file holds 200 bytes, but a setup with 2 kinks takes 208"},
      {set(7, 1), "the file holds 208 bytes, but a setup with 1 kink takes 192"},
      {set(7, 10), "the kink count 10 is outside 0 .. 9"},
      {set(7, -1), "the kink count -1 is outside 0 .. 9"},
      {set(7, nan), "the kink count is not a finite number"},
      {set(0, inf), "value 1 (the half-length L) is not a finite number"},
      {set(10, nan), "value 11 (the displacement of kink 2) is not a finite number"},
      {set(14, -inf), "value 15 (kF_Im) is not a finite number"},
      {set(24, nan), "value 25 (the constant 1025) is not a finite number"},
      {set(0, 0), "the half-length L = 0 is not positive"},
      {set(0, -3), "the half-length L = -3 is not positive"},
      {set(0, 1e-10), "the half-length L = 1e-10 does not lie between 1e-6 and 1e6"},
      {set(11, -1), "kink 2 has the velocity -1, not strictly between -1 and 1"},
      {set(12, 2), "the method 2 is neither 0 (kinks-antikinks) nor 1 (kinks + rotator)"},
      {set(12, -1), "the method -1 is neither 0 (kinks-antikinks) nor 1 (kinks + rotator)"},
      {set(22, 3), "the grid index 3 is not 0, 1 or 2 (N = 1024, 512 or 256)"},
      {set(23, 0), "the potential kind 0 is not one of 1, 2, 3, 4"},
      {set(23, 5), "the potential kind 5 is not one of 1, 2, 3, 4"},
      {set(25, 1e12), "the log period 1e+12 is out of range"},
  };
  SetupData sentinel;
  sentinel.HalfInterval = 99;
  for (const auto& [spoil, reason] : cases) {
    std::string bytes = good;
    spoil(bytes);
    SetupData out = sentinel;
    std::string why;
    EXPECT_FALSE(DecodeSetup(bytes, out, why)) << reason;
    EXPECT_EQ(why, reason);
    EXPECT_EQ(EncodeSetup(out), EncodeSetup(sentinel)) << reason;
  }
}

TEST(SetupFiles, LoadNamesTheFileAndTheReason) {
  const std::string missing = ::testing::TempDir() + "no_such_setup.kq1";
  SetupData out;
  out.HalfInterval = 99;
  std::string error;
  EXPECT_FALSE(LoadSetupFile(missing, out, error));
  EXPECT_EQ(error, "cannot load " + missing + ": No such file or directory");

  const std::string bad = ::testing::TempDir() + "bad_kind.kq1";
  std::string bytes = EncodeSetup(TwoKinkSetup());
  SetDoubleAt(bytes, 23, 7);
  std::ofstream(bad, std::ios::binary) << bytes;
  EXPECT_FALSE(LoadSetupFile(bad, out, error));
  EXPECT_EQ(error, "cannot load " + bad + ": the potential kind 7 is not one of 1, 2, 3, 4");
  EXPECT_EQ(out.HalfInterval, 99);
  std::remove(bad.c_str());
}

TEST(SetupFiles, AFailedSaveLeavesTheGoodFileAsItWas) {
  const std::string path = ::testing::TempDir() + "kept_setup.kq1";
  std::string error;
  ASSERT_TRUE(SaveSetupFile(path, TwoKinkSetup(), error)) << error;
  const std::string before = ReadAll(path);
  // A disk that fills part-way: the write fails with the system's reason, and the temporary
  // file goes.
  SetupData other = TwoKinkSetup();
  other.SolitonCount = 0;
  {
    const test::FileSizeLimit full(16);
    EXPECT_FALSE(SaveSetupFile(path, other, error));
  }
  EXPECT_EQ(error, "cannot write " + path + ": " + std::strerror(EFBIG));
  EXPECT_EQ(ReadAll(path), before);
  EXPECT_TRUE(test::TemporariesOf(path).empty());
  // Nor is a setup written that could not be loaded again.
  other.HalfInterval = 0;
  EXPECT_FALSE(SaveSetupFile(path, other, error));
  EXPECT_EQ(error, "cannot write " + path + ": the half-length L = 0 is not positive");
  EXPECT_EQ(ReadAll(path), before);
  std::remove(path.c_str());

  const std::string nowhere = ::testing::TempDir() + "no_such_folder/setup.kq1";
  EXPECT_FALSE(SaveSetupFile(nowhere, TwoKinkSetup(), error));
  EXPECT_EQ(error, "cannot write " + nowhere + ": No such file or directory");
}

std::map<std::string, std::string> RunKeys(const std::vector<std::string>& args) {
  RunnerOptions o;
  std::string error;
  EXPECT_TRUE(ParseRunnerArgs(args, o, error)) << error;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadless(o, out, err), 0);
  std::map<std::string, std::string> keys;
  std::istringstream in(out.str());
  for (std::string line; std::getline(in, line);)
    if (line.rfind("points_per_second", 0) != 0) keys[line.substr(0, line.find(':'))] = line;
  return keys;
}

TEST(RunnerSetup, ASavedSetupRunsAsItsOptionsDo) {
  const std::string path = ::testing::TempDir() + "runner_setup.kq1";
  SetupData s = TwoKinkSetup();
  s.HalfInterval = 8;
  s.PotentialKind = 2;
  std::string error;
  ASSERT_TRUE(SaveSetupFile(path, s, error)) << error;
  const auto fromFile = RunKeys({"--kind", "4", "--setup", path, "--t", "1"});  // the file replaces --kind 4
  const auto fromOptions = RunKeys({"--kind", "2", "--L", "8", "--N", "512", "--kink", "-3.5:0.25", "--kink",
                                    "4.5:-0.5", "--rotator", "0.625,0.125,0.0625,0.375,2.5", "--t", "1"});
  EXPECT_EQ(fromFile, fromOptions);

  // Later options override: N, and a kink list of its own instead of the file's two.
  const auto overridden = RunKeys({"--setup", path, "--N", "256", "--kink", "0:0", "--t", "1"});
  const auto plain = RunKeys({"--kind", "2", "--L", "8", "--N", "256", "--kink", "0:0", "--rotator",
                              "0.625,0.125,0.0625,0.375,2.5", "--t", "1"});
  EXPECT_EQ(overridden, plain);
  EXPECT_NE(overridden.at("dx"), fromFile.at("dx"));
  std::remove(path.c_str());
}

TEST(RunnerSetup, ABadSetupFileExitsWithStatus2AndWritesNothing) {
  const std::string path = ::testing::TempDir() + "runner_bad_setup.kq1";
  std::ofstream(path, std::ios::binary) << EncodeSetup(TwoKinkSetup()).substr(0, 100);
  RunnerOptions o;
  std::string error;
  EXPECT_FALSE(ParseRunnerArgs({"--setup", path}, o, error));
  EXPECT_EQ(error, "--setup: cannot load " + path +
                       ": the file holds 100 bytes, fewer than the 176 of a setup without kinks");

  const char* runner = std::getenv("KINKLAB_RUNNER");
  if (!runner) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
  const std::string dump = ::testing::TempDir() + "bad_setup_dump.csv";
  FILE* pipe = popen((std::string(runner) + " --dump " + dump + " --setup " + path + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  char buf[512] = {};
  const std::string message(buf, fread(buf, 1, sizeof buf - 1, pipe));
  EXPECT_EQ(WEXITSTATUS(pclose(pipe)), 2);
  EXPECT_EQ(message, "kinklab-run: " + error + "\n");
  EXPECT_FALSE(std::ifstream(dump).good());
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kl
