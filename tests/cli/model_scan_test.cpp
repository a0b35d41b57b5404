// A scan of a potential typed as a formula, end to end: its edges, CSV, record and merge.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <sstream>
#include <string>
#include <vector>

#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "records/scan_record.h"
#include "support/run_scan.h"
#include "support/text_files.h"

namespace kl {
namespace {

using test::FileText;
using test::Lines;

std::string Path(const std::string& name) {
  return ::testing::TempDir() + "model_scan_" + std::to_string(getpid()) + "_" + name;
}

int Scan(std::vector<std::string> args, std::string& out, std::string& err, bool common = true) {
  const std::vector<std::string> usual = {"--separation", "4", "--N", "256", "--t", "60", "--precision", "double"};
  if (common) args.insert(args.end(), usual.begin(), usual.end());
  return test::RunScanLine(args, out, err);
}

std::vector<ScanEdge> Edges(const std::string& csv) {
  std::vector<ScanEdge> edges;
  const std::vector<std::string> lines = Lines(csv);
  for (size_t k = 1; k < lines.size(); ++k) {
    std::istringstream row(lines[k]);
    std::string low, high, a, b;
    std::getline(row, low, ',');
    std::getline(row, high, ',');
    std::getline(row, a, ',');
    std::getline(row, b, ',');
    edges.push_back(ScanEdge{std::stod(low), std::stod(high), *ParseRunClass(a), *ParseRunClass(b)});
  }
  return edges;
}

// The formula of phi4 runs through the formula's evaluator, --kind 1 (the same W) through the
// family's compiled step: their refined edges are the same to the refinement's tolerance. The
// formula's CSV says which vacuum each escape leaves between the kinks, its record keeps the
// model, and a share of the family's scan does not merge with it.
TEST(ModelScan, AFormulaEqualToKindOneFindsItsEdgesAndItsRecordKeepsTheModel) {
  const std::vector<std::string> grid = {"--scan", "0.18:0.3:0.02", "--refine", "0.002"};
  std::string out, err;
  std::vector<std::string> formula = grid;
  formula.insert(formula.end(), {"--potential", "(u^2-1)^2/4", "--edges", Path("formula.csv")});
  ASSERT_EQ(Scan(formula, out, err), 0) << err;
  const std::vector<std::string> rows = Lines(out);
  ASSERT_GT(rows.size(), 7u);
  EXPECT_EQ(rows[0], "v,outcome,bounces,first_collision,v_out,end_distance,vacuum_between");
  int escapes = 0;
  for (size_t k = 1; k < rows.size(); ++k)
    if (rows[k].find(",escape,") != std::string::npos) {
      ++escapes;
      EXPECT_EQ(rows[k].substr(rows[k].rfind(',')), ",1") << rows[k];
    } else {
      EXPECT_EQ(rows[k].back(), ',') << rows[k];
    }
  EXPECT_GT(escapes, 0);

  std::vector<std::string> family = grid;
  family.insert(family.end(), {"--kind", "1", "--edges", Path("family.csv")});
  ASSERT_EQ(Scan(family, out, err), 0) << err;
  EXPECT_EQ(Lines(out)[0], "v,outcome,bounces,first_collision,v_out,end_distance");
  const std::vector<ScanEdge> a = Edges(FileText(Path("formula.csv"))), b = Edges(FileText(Path("family.csv")));
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GE(a.size(), 2u);
  for (size_t k = 0; k < a.size(); ++k) {
    EXPECT_EQ(a[k].low, b[k].low);
    EXPECT_EQ(a[k].high, b[k].high);
    EXPECT_NEAR(a[k].vLow, b[k].vLow, 0.002);
    EXPECT_NEAR(a[k].vHigh, b[k].vHigh, 0.002);
  }

  const std::vector<std::string> share = {"--scan", "0.2:0.3:0.05", "--scan-part", "1/2", "--scan-h5", Path("a.h5")};
  std::vector<std::string> first = share;
  first.insert(first.end(), {"--potential", "u^2*(1-u^2)^2/2", "--vacua", "1,0,1"});
  ASSERT_EQ(Scan(first, out, err), 0) << err;
  ScanRecord record;
  std::string error;
  ASSERT_TRUE(ReadScanRecord(Path("a.h5"), record, error)) << error;
  EXPECT_EQ(record.parameters.potential, "u^2*(1-u^2)^2/2");
  EXPECT_EQ(record.parameters.vacua, (std::vector<double>{1, 0, 1}));
  std::vector<std::string> second = {"--scan", "0.2:0.3:0.05", "--scan-part", "2/2", "--scan-h5", Path("b.h5")};
  ASSERT_EQ(Scan(second, out, err), 0) << err;
  EXPECT_NE(Scan({"--scan-merge", Path("a.h5"), Path("b.h5")}, out, err, false), 0);
  EXPECT_NE(err.find("b.h5: not a share of the scan of " + Path("a.h5") + " (its model is the family, not "
                     "u^2*(1-u^2)^2/2 1 0 1)"),
            std::string::npos)
      << err;
}

// The family's formula swept over its parameter k gives --sweep-modulation's table: the same
// critical brackets to the refinement's tolerance and the same edges and windows; the sweep's
// outputs name the parameter.
TEST(ModelScan, SweepingAFormulasParameterGivesTheTableOfTheFamilysSweep) {
  const std::vector<std::string> grid = {"--scan", "0.1:0.5:0.1", "--refine", "0.002"};
  std::string out, err;
  std::vector<std::string> family = grid;
  family.insert(family.end(), {"--sweep-modulation", "0:0.9:0.9"});
  ASSERT_EQ(Scan(family, out, err), 0) << err;
  const std::vector<std::string> a = Lines(out);
  std::vector<std::string> formula = grid;
  formula.insert(formula.end(), {"--potential", "0.25*(u^2-1)^2*(cos(k*(u-0.3))+1.5)/2.5", "--sweep-param",
                                 "k=0:0.9:0.9", "--sweep-png", Path("sweep.png")});
  ASSERT_EQ(Scan(formula, out, err), 0) << err;
  const std::vector<std::string> b = Lines(out);
  ASSERT_EQ(a.size(), 3u);
  ASSERT_EQ(b.size(), 3u);
  EXPECT_EQ(a[0], "k,v_c_low,v_c_high,edges,windows");
  EXPECT_EQ(b[0], a[0]);
  for (size_t row = 1; row < 3; ++row) {
    std::vector<double> x, y;
    std::istringstream p(a[row]), q(b[row]);
    for (std::string f; std::getline(p, f, ',');) x.push_back(f.empty() ? -1 : std::stod(f));
    for (std::string f; std::getline(q, f, ',');) y.push_back(f.empty() ? -1 : std::stod(f));
    ASSERT_EQ(x.size(), 5u) << a[row];
    ASSERT_EQ(y.size(), 5u) << b[row];
    EXPECT_EQ(x[0], y[0]);
    EXPECT_NEAR(x[1], y[1], 0.002) << a[row] << " | " << b[row];
    EXPECT_NEAR(x[2], y[2], 0.002) << a[row] << " | " << b[row];
    EXPECT_EQ(x[3], y[3]);
    EXPECT_EQ(x[4], y[4]);
  }
  EXPECT_NE(err.find("sweep: k = 0.9: critical velocity"), std::string::npos) << err;
}

}  // namespace
}  // namespace kl
