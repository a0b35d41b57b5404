#include "engine/marks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>
#include <vector>

#include <unistd.h>

namespace kl {
namespace {

std::vector<std::string> ReadLines(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// A first-phase level 7 with a lump of density centred at i = 100 (peak 1, falling by half
// per point) and u = i / 1000 everywhere.
class TrackMarksTest : public ::testing::Test {
 protected:
  void SetUp() override {
    s = std::make_unique<SimState>();
    s->HalfInterval = 10;
    SetGrid(*s, 1024);
    s->LayerNow = 7;
    s->RunState = 2;
    FieldPoint* level = s->stores.History(7);
    double* density = s->stores.DensityNow();
    for (int i = -kHistoryHalf; i <= kHistoryHalf; ++i) {
      density[i] = 0.0;
      level[i] = FieldPoint{i / 1000.0, 0.0, 0.0};
    }
    for (int d = -6; d <= 6; ++d) {
      const double r = 1.0 / (1 << std::abs(d));
      density[100 + d] = r;
      level[100 + d].r = r;
    }
  }
  void Mark(int m, double left, double right) {
    marks.MarkCount = std::max(marks.MarkCount, m);
    marks.MarkLeft[m] = left;
    marks.MarkRight[m] = right;
  }
  std::unique_ptr<SimState> s;
  Marks marks;
  LogSettings settings;
};

TEST_F(TrackMarksTest, FindsThePeakItsWidthAndEnergyAndRecentresOnIt) {
  const double dx = s->Dx;
  Mark(1, 90 * dx, 106 * dx);  // 16 points wide, peak at 100
  TrackMarks(*s, marks, settings, nullptr, 7, true);
  EXPECT_EQ(marks.MarkPeakU[1], 0.1);
  // 0.1 of the peak: the first points below it are 100 -+ 4 (1/16 < 0.1 < 1/8).
  EXPECT_DOUBLE_EQ(marks.MarkWidth[1], 8 * dx);
  // From the left end to the peak: 1/64 + 1/32 + ... + 1 (points 94 .. 100), times dx.
  EXPECT_DOUBLE_EQ(marks.MarkEnergy[1], (1.0 / 64 + 1.0 / 32 + 1.0 / 16 + 1.0 / 8 + 0.25 + 0.5 + 1) * dx);
  EXPECT_DOUBLE_EQ(marks.MarkLeft[1], 92 * dx);
  EXPECT_DOUBLE_EQ(marks.MarkRight[1], 108 * dx);
  // Without following the interval stays.
  Mark(1, 90 * dx, 106 * dx);
  TrackMarks(*s, marks, settings, nullptr, 7, false);
  EXPECT_DOUBLE_EQ(marks.MarkLeft[1], 90 * dx);
}

TEST_F(TrackMarksTest, AMarkWithoutDensityOrReversedFindsNothing) {
  const double dx = s->Dx;
  Mark(1, 300 * dx, 320 * dx);  // no density there
  Mark(2, 102 * dx, 98 * dx);   // right end left of the left end
  TrackMarks(*s, marks, settings, nullptr, 7, false);
  EXPECT_EQ(marks.MarkPeakU[1], 0.0);
  EXPECT_EQ(marks.MarkWidth[1], 0.0);
  EXPECT_EQ(marks.MarkEnergy[1], 0.0);
  EXPECT_EQ(marks.MarkPeakU[2], 0.0);
  EXPECT_EQ(marks.MarkWidth[2], 0.0);
  EXPECT_DOUBLE_EQ(marks.MarkEnergy[2], 0.25 * dx);  // the single term at the left end, 102
}

TEST_F(TrackMarksTest, MarksFarOutsideTheStoresReadOnlyInsideThem) {
  Mark(1, -1e300, 1e300);
  Mark(2, 5e9, 6e9);
  Mark(3, std::nan(""), 1.0);
  TrackMarks(*s, marks, settings, nullptr, 7, true);
  EXPECT_EQ(marks.MarkPeakU[1], 0.1);  // the whole first-phase range is searched
  EXPECT_EQ(marks.MarkWidth[2], 0.0);
  s->PhaseTwo = true;
  TrackMarks(*s, marks, settings, nullptr, 7, true);
  SUCCEED();
}

TEST_F(TrackMarksTest, WritesOneRecordPerMarkAtTheLogPeriod) {
  const std::string path = ::testing::TempDir() + "marks_log.txt";
  LogFile log;
  log.SetPath(path);
  ASSERT_TRUE(log.Create());
  settings.LogPeriod = 10;
  const double dx = s->Dx;
  Mark(1, 90 * dx, 106 * dx);
  Mark(2, 300 * dx, 320 * dx);
  s->TimeNow = 3.25;
  s->EnergyTotal = -0.5;
  s->LayerNow = 9;  // not a multiple of the period
  TrackMarks(*s, marks, settings, &log, 7, false);
  s->LayerNow = 10;
  TrackMarks(*s, marks, settings, &log, 7, false);
  s->RunState = 4;  // the finished second phase writes nothing more
  TrackMarks(*s, marks, settings, &log, 7, false);
  const std::vector<std::string> lines = ReadLines(path);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], kLogHeader);
  const std::string t = "   3,2500000000; ", e = "  -0,5000000000; ";
  EXPECT_EQ(lines[1], t + LogField(100 * dx) + LogField(0.1) + LogField(8 * dx) + LogField(marks.MarkEnergy[1]) + e);
  EXPECT_EQ(lines[2], t + LogField(300 * dx) + LogField(0) + LogField(0) + LogField(0) + e);
  std::remove(path.c_str());
}

TEST(LogFileTest, AFailedAppendIsReportedOncePerRunAndTheRunGoesOn) {
  LogFile log;
  std::vector<std::string> reports;
  log.SetErrorSink([&](const std::string& m) { reports.push_back(m); });
  log.SetPath(::testing::TempDir() + "no/such/folder/log.txt");
  EXPECT_FALSE(log.Create());
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find("no/such/folder/log.txt"), std::string::npos);
  log.BeginRun();
  EXPECT_FALSE(log.AppendLine("a"));
  EXPECT_FALSE(log.AppendLine("b"));
  EXPECT_EQ(reports.size(), 2u);
  EXPECT_NE(reports[1].find("goes on"), std::string::npos);
  log.BeginRun();
  EXPECT_FALSE(log.AppendLine("c"));
  EXPECT_EQ(reports.size(), 3u);
}

TEST(LogFileTest, ALogRemovedDuringARunIsReportedAndNotMadeAgain) {
  const std::string path = ::testing::TempDir() + "removed_log_" + std::to_string(::getpid()) + ".txt";
  LogFile log;
  std::vector<std::string> reports;
  log.SetErrorSink([&](const std::string& m) { reports.push_back(m); });
  log.SetPath(path);
  ASSERT_TRUE(log.Create());
  log.BeginRun();
  ASSERT_TRUE(log.AppendLine("first"));
  ASSERT_EQ(std::remove(path.c_str()), 0);
  EXPECT_FALSE(log.AppendLine("second"));
  EXPECT_FALSE(log.AppendLine("third"));
  ASSERT_EQ(reports.size(), 1u);
  EXPECT_NE(reports[0].find(path), std::string::npos);
  EXPECT_FALSE(std::ifstream(path).good());  // no headerless file in its place
}

TEST(LogFileTest, CreateEmptiesAnOldLog) {
  const std::string path = ::testing::TempDir() + "old_log.txt";
  LogFile log;
  log.SetPath(path);
  ASSERT_TRUE(log.Create());
  ASSERT_TRUE(log.AppendLine(" "));
  ASSERT_TRUE(log.Create());
  EXPECT_EQ(ReadLines(path), std::vector<std::string>{kLogHeader});
  std::remove(path.c_str());
}

}  // namespace
}  // namespace kl
