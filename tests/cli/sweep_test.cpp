// A sweep over the family end to end on a tiny case: every k's scan is the scan that
// --modulation k runs on its own, the table, edges, CSV and record say what those scans found,
// a split sweep merges into the whole, and a stop keeps what was finished.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "records/scan_record.h"
#include "support/text_files.h"

namespace kl {
namespace {

using test::Lines;
using test::FileText;

std::string Path(const std::string& name) { return ::testing::TempDir() + "sweep_" + std::to_string(getpid()) + "_" + name; }

// An error stream that raises `stop` once it has been told `cue`, as Ctrl-C would at that moment.
class StopAt : public std::stringbuf {
 public:
  StopAt(std::string cue, std::atomic<bool>& stop) : cue_(std::move(cue)), stop_(stop) {}
  int sync() override {
    if (str().find(cue_) != std::string::npos) stop_ = true;
    return 0;
  }

 private:
  std::string cue_;
  std::atomic<bool>& stop_;
};

// The scan command on these arguments and the tiny case's own: a pair at +-4 on N = 256 to t = 60.
int Scan(std::vector<std::string> args, std::string& out, std::string& err, const std::string& stopCue = "") {
  if (args[0] != "--scan-merge" && args[0] != "--from-h5")
    for (const char* a : {"--scan", "0.1:0.5:0.1", "--separation", "4", "--N", "256", "--t", "60", "--precision",
                          "double", "--jobs", "1"})
      args.push_back(a);
  ScanOptions o;
  std::string error;
  if (!ParseScanArgs(args, o, error)) {
    err = error;
    return 2;
  }
  std::atomic<bool> stop{false};
  StopAt buffer(stopCue.empty() ? "\x01never" : stopCue, stop);
  std::ostringstream o1;
  std::ostream o2(&buffer);
  const int status = RunScanCommand(o, stop, o1, o2, false);
  out = o1.str();
  err = buffer.str();
  return status;
}

// The escape windows below v, counted from a scan CSV's rows: each stretch of neighbouring rows
// escaping after the same number of bounces.
size_t WindowsBelow(const std::vector<std::string>& rows, double v) {
  size_t windows = 0;
  std::string previous;
  for (size_t k = 1; k < rows.size(); ++k) {
    std::istringstream row(rows[k]);
    std::string velocity, outcome, bounces;
    std::getline(row, velocity, ',');
    std::getline(row, outcome, ',');
    std::getline(row, bounces, ',');
    if (!(std::stod(velocity) < v)) break;
    const std::string cls = outcome + bounces;
    if (outcome == "escape" && cls != previous) ++windows;
    previous = cls;
  }
  return windows;
}

TEST(Sweep, EveryKIsTheScanOfThatModulationAndTheTableEdgesCsvAndRecordSaySo) {
  const std::vector<std::string> ks = {"0", "0.5", "1"};
  std::string out, err;
  ASSERT_EQ(Scan({"--sweep-modulation", "0:1:0.5", "--refine", "0.01", "--sweep-csv", Path("table.csv"), "--edges",
                 Path("edges.csv"), "--scan-csv", Path("runs.csv"), "--sweep-h5", Path("sweep.h5"), "--sweep-png",
                 Path("map.png")},
                out, err),
            0)
      << err;
  EXPECT_EQ(out, "");
  // The progress counts every run of the sweep, the grid's fifteen at the start.
  EXPECT_NE(err.find("sweep: 3 modulations from k = 0 to 1, 15 runs of their grids\n"), std::string::npos) << err;
  const std::vector<std::string> table = Lines(FileText(Path("table.csv"))), edges = Lines(FileText(Path("edges.csv"))),
                                 runs = Lines(FileText(Path("runs.csv")));
  ASSERT_EQ(table.size(), 4u);
  EXPECT_EQ(table[0], "k,v_c_low,v_c_high,edges,windows");
  EXPECT_EQ(edges[0], "k,v_low,v_high,class_low,class_high");
  EXPECT_EQ(runs[0], "k,v,outcome,bounces,first_collision,v_out,end_distance");
  const std::string total = std::to_string(runs.size() - 1);
  EXPECT_NE(err.find("scan: " + total + "/" + total + " done\n"), std::string::npos) << err;

  RecordSet record;
  std::string error;
  ASSERT_TRUE(ReadRecordSet(Path("sweep.h5"), record, error)) << error;
  EXPECT_EQ(record.modulations, (std::vector<double>{0, 0.5, 1}));
  EXPECT_FALSE(record.converged);

  // Each k against its scan run alone.
  std::vector<std::string> sweepRuns(runs.begin() + 1, runs.end()), sweepEdges(edges.begin() + 1, edges.end());
  std::vector<std::string> aloneRuns, aloneEdges;
  for (size_t i = 0; i < ks.size(); ++i) {
    std::string alone, aloneErr;
    ASSERT_EQ(Scan({"--modulation", ks[i], "--refine", "0.01", "--edges", Path("e.csv")}, alone, aloneErr), 0)
        << aloneErr;
    const std::vector<std::string> rows = Lines(alone), edgeRows = Lines(FileText(Path("e.csv")));
    for (size_t r = 1; r < rows.size(); ++r) aloneRuns.push_back(ks[i] + "," + rows[r]);
    for (size_t r = 1; r < edgeRows.size(); ++r) aloneEdges.push_back(ks[i] + "," + edgeRows[r]);
    // Its critical velocity's bracket, its edges and its windows below the bracket.
    const size_t at = aloneErr.find("critical velocity: between ");
    ASSERT_NE(at, std::string::npos) << aloneErr;
    std::istringstream line(aloneErr.substr(at + 27));
    std::string low, and_, high;
    line >> low >> and_ >> high;
    EXPECT_EQ(table[i + 1], ks[i] + "," + low + "," + high + "," + std::to_string(edgeRows.size() - 1) + "," +
                                std::to_string(WindowsBelow(rows, std::stod(low))));
    // The record holds that scan under its k.
    const ScanRecord& rec = record.entries[i].at(0);
    EXPECT_EQ(rec.parameters.modulation, std::stod(ks[i]));
    EXPECT_EQ(rec.parameters.kind, i == 0 ? 1 : 0);
    std::string csv = ScanCsvHeader();
    for (const CollisionRun& run : rec.runs) csv += ScanCsvRow(run);
    EXPECT_EQ(csv, alone);
    // k = 0 is kind 1, to the bit.
    if (i == 0) {
      std::string kind1;
      ASSERT_EQ(Scan({"--kind", "1", "--refine", "0.01"}, kind1, aloneErr), 0);
      EXPECT_EQ(kind1, alone);
    }
  }
  EXPECT_EQ(sweepRuns, aloneRuns);
  EXPECT_EQ(sweepEdges, aloneEdges);
  std::ifstream png(Path("map.png"), std::ios::binary);
  std::string magic(4, '\0');
  ASSERT_TRUE(png.read(magic.data(), 4));
  EXPECT_EQ(magic, "\x89PNG");

  // Split in two and merged: the unrefined sweep's table; its record refined: the table above.
  std::string whole, a, b, merged, refined;
  ASSERT_EQ(Scan({"--sweep-modulation", "0:1:0.5"}, whole, err), 0) << err;
  ASSERT_EQ(Scan({"--sweep-modulation", "0:1:0.5", "--scan-part", "1/2", "--sweep-h5", Path("a.h5")}, a, err), 0) << err;
  ASSERT_EQ(Scan({"--sweep-modulation", "0:1:0.5", "--scan-part", "2/2", "--sweep-h5", Path("b.h5")}, b, err), 0) << err;
  ASSERT_EQ(Scan({"--scan-merge", Path("a.h5"), Path("b.h5"), "--sweep-h5", Path("m.h5")}, merged, err), 0) << err;
  EXPECT_EQ(merged, whole);
  ASSERT_EQ(Scan({"--from-h5", Path("m.h5"), "--refine", "0.01"}, refined, err), 0) << err;
  EXPECT_EQ(Lines(refined), table);
  // The merge refuses a share of another k, and a sweep's record given a scan's outputs.
  ASSERT_EQ(Scan({"--modulation", "0.5", "--scan-part", "1/2", "--scan-h5", Path("a.h5")}, a, err), 0) << err;
  ASSERT_EQ(Scan({"--modulation", "1", "--scan-part", "2/2", "--scan-h5", Path("b.h5")}, b, err), 0) << err;
  EXPECT_EQ(Scan({"--scan-merge", Path("a.h5"), Path("b.h5")}, merged, err), 2);
  EXPECT_EQ(err, "kinklab-run: --scan-merge " + Path("b.h5") + ": not a share of the scan of " + Path("a.h5") +
                     " (its k = 1, not 0.5)\n");
  EXPECT_EQ(Scan({"--from-h5", Path("m.h5"), "--refine", "0.01", "--scan-png", Path("x.png")}, merged, err), 2);
  EXPECT_EQ(err, "kinklab-run: --scan-png " + Path("x.png") + ": " + Path("m.h5") +
                     " is a sweep's record; a sweep writes its map and record with --sweep-png and --sweep-h5\n");

  // Stopped after the seventh run: the first k's scan is written whole, the second's two runs
  // to the CSV of runs, and the record holds every k, the finished scan complete, the second's
  // two runs and the third's none as not complete.
  ASSERT_EQ(Scan({"--sweep-modulation", "0:1:0.5", "--scan-csv", Path("runs.csv"), "--sweep-h5", Path("stop.h5")}, out,
                err, "scan: 7/15 done"),
            0)
      << err;
  EXPECT_EQ(Lines(out).size(), 2u) << out;
  EXPECT_EQ(Lines(out)[1], Lines(whole)[1]);
  EXPECT_EQ(Lines(FileText(Path("runs.csv"))).size(), 1u + 7u);
  ASSERT_TRUE(ReadRecordSet(Path("stop.h5"), record, error)) << error;
  EXPECT_EQ(record.modulations, (std::vector<double>{0, 0.5, 1}));
  ASSERT_EQ(record.entries.size(), 3u);
  EXPECT_TRUE(record.entries[0][0].complete);
  EXPECT_EQ(record.entries[1][0].runs.size(), 2u);
  EXPECT_FALSE(record.entries[1][0].complete);
  EXPECT_TRUE(record.entries[2][0].runs.empty());
  EXPECT_NE(err.find("sweep stopped; the 1 finished scans of 3 are written, and the runs finished at k = 0.5 in "
                     "--scan-csv\n"),
            std::string::npos)
      << err;
  for (const char* name : {"table.csv", "edges.csv", "runs.csv", "sweep.h5", "map.png", "e.csv", "a.h5", "b.h5",
                           "m.h5", "stop.h5"})
    std::remove(Path(name).c_str());
}

}  // namespace
}  // namespace kl
