// kinklab-run's command line as a user meets it: the program itself started in an empty folder.
#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include "base/version.h"
#include "cli/options.h"
#include "cli/scan_outputs.h"
#include "support/text_files.h"

namespace kl {
namespace {

using test::FileText;

namespace fs = std::filesystem;

struct Outcome {
  int status = -1;
  std::string out, err;
};

// Runs the runner with `args` in the empty folder `dir`.
Outcome Start(const std::string& runner, const fs::path& dir, const std::string& args, const std::string& prefix = "") {
  const fs::path out = dir.parent_path() / "out.txt", err = dir.parent_path() / "err.txt";
  const std::string command = "cd '" + dir.string() + "' && " + prefix + "'" + runner + "' " + args + " >'" +
                              out.string() + "' 2>'" + err.string() + "' </dev/null";
  Outcome o;
  const int status = std::system(command.c_str());
  o.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  o.out = FileText(out);
  o.err = FileText(err);
  return o;
}

class CommandLine : public ::testing::Test {
 protected:
  void SetUp() override {
    const char* runner = std::getenv("KINKLAB_RUNNER");
    if (!runner) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
    runner_ = runner;
    root_ = fs::path(::testing::TempDir()) / ("command_line_" + std::to_string(::getpid()));
    fs::remove_all(root_);
    fs::create_directories(root_ / "work");
  }
  void TearDown() override {
    if (!root_.empty()) fs::remove_all(root_);
  }
  std::string runner_;
  fs::path root_;
};

// Every mistake is refused before anything runs: one line naming the option on standard
// error, status 2, nothing on standard output, and nothing left in the folder.
TEST_F(CommandLine, EveryMistakeIsRefusedUpFrontWithOneLineAndStatus2) {
  const std::string scan = "--scan 0.1:0.2:0.1 ";
  const std::vector<std::pair<std::string, std::string>> cases = {
      // Outputs of a single run given to a scan.
      {scan + "--h5 x.h5", "--h5: not used by a scan, whose runs are all the same pair at their own velocity"},
      {scan + "--movie m.gif", "--movie: not used by a scan, whose runs are all the same pair at their own velocity"},
      {scan + "--png p.png", "--png: not used by a scan, whose runs are all the same pair at their own velocity"},
      {scan + "--dump d.csv", "--dump: not used by a scan, whose runs are all the same pair at their own velocity"},
      {scan + "--energy e.csv", "--energy: not used by a scan, whose runs are all the same pair at their own velocity"},
      {scan + "--log run", "--log: not used by a scan, whose runs are all the same pair at their own velocity"},
      // Options that do nothing without another.
      {"--kink 0:0 --energy-picture", "--energy-picture needs --png"},
      {"--kink 0:0 --log-period 5", "--log-period needs --log"},
      {"--kink 0:0 --colours 24", "--colours needs --png"},
      {scan + "--colours 24", "--colours needs --scan-png"},
      {"--refine 1e-3", "--refine: needs --scan, --from-csv or --from-h5"},
      {scan + "--edges e.csv", "--edges needs --refine"},
      // A kink outside the interval, an end the run cannot reach, reversed ranges.
      {"--kink 15:0.5 --L 10", "--kink 15:0.5: the kink at 15 lies outside the interval [-L, L], L = 10"},
      {"--kink 0:0.5 --t 1e9",
       "--t 1e9: beyond the run's reach: its levels end at t = 163829.375 for N = 256 and L = 10"},
      {"--kink 0:0.5 --t 3e4 --h5 r.h5",
       "--t 3e4: beyond the run's reach: the second phase ends at t = 20600 for N = 256 and L = 10"},
      {"--kink 0:0 --h5 r.h5 --h5-range 5:-5", "--h5-range 5:-5: the range's start A lies above its end B"},
      {"--kink 0:0 --mark 3:1", "--mark 3:1: the range's start A lies above its end B"},
      // Nothing to run, two outputs in one file, a missing value, words that are no option.
      {"", "nothing to run: give --kink C:V (up to nine), --setup FILE.kq1 or --rotator kF_Re,kF_Im,kD,qL,qR"},
      {"--N 512 --t 3", "nothing to run: give --kink C:V (up to nine), --setup FILE.kq1 or --rotator kF_Re,kF_Im,kD,qL,qR"},
      {"--kink 0:0 --dump a.csv --energy ./a.csv", "--dump a.csv: --energy writes the same file"},
      {scan + "--scan-csv s.csv --edges s.csv --refine 0.01", "--edges s.csv: --scan-csv writes the same file"},
      {"--N --kink 0:0.5", "--N needs a value"},
      {"--kink 0:0 --frobnicate 1", "--frobnicate: unknown option"},
      {"--kink 0:0 0.5", "0.5: not an option (a value follows the option it belongs to)"},
      {scan + "--from-csv s.csv --refine 0.01", "--scan, --from-csv, --from-h5 and --scan-merge: give one of them"},
      {"--kink 0:0 --dump missing/d.csv", "--dump missing/d.csv: cannot write missing/d.csv: the folder missing does not exist"},
      // The model: one of --kind and --modulation, a kink the grid resolves, a sweep's own outputs.
      {"--kink 0:0 --kind 1 --modulation 2", "--modulation 2: --kind 1 has k = 0; give the kind or the k of the model"},
      {"--kink 0:0 --L 20 --N 256 --modulation 20",
       "--modulation 20: dx = 0.1562 puts 2.8 points over the period 0.444 of the modulation k = 20 along the kink "
       "(fewer than 4): the grid does not resolve the kink; take N of at least 362 for this L"},
      {scan + "--sweep-modulation 0:20:1 --N 256",
       "--sweep-modulation 0:20:1: at k = 15: dx = 0.1562 puts 3.8 points over the period 0.588 of the modulation "
       "k = 15 along the kink moving at 0.2 (fewer than 4): the grid does not resolve the kink; take N of at least "
       "272 for this L"},
      {scan + "--sweep-modulation 0:1:0.5 --kind 2", "--kind 2: --sweep-modulation gives the model of every scan"},
      {"--kink 0:0.995 --modulation 0.5",
       "--modulation 0.5: dx = 0.07812 puts 3.2 points over the width of the kink moving at 0.995, 0.249 (fewer than "
       "4): the grid does not resolve the kink; take N of at least 322 for this L"},
      {scan + "--sweep-png m.png", "--sweep-png needs --sweep-modulation or --sweep-param"},
      {scan + "--sweep-modulation 0:1:0.5 --scan-part 1/2 --sweep-csv t.csv",
       "--sweep-csv t.csv: a share holds part of every scan; --scan-merge of the shares' --sweep-h5 writes it"},
      // A model of --potential: a formula that reads, names that are known, vacua that carry kinks.
      {"--kink 0:0 --potential '(u^2-1)*)'",
       "--potential (u^2-1)*): cannot read the formula at character 9: unexpected \")\""},
      {"--kink 0:0 --potential 'foo(u)'", "--potential foo(u): unknown function \"foo\""},
      {"--kink 0:0 --potential 'u^2*x'", "--potential u^2*x: the parameter x is not given"},
      {"--kink 0:0 --potential 'u^4-a' --param a=0 --param a=1", "--param a=1: the parameter a is given twice"},
      {"--kink 0:0 --potential phi4 --param a=1", "--potential phi4: the model phi4 takes no parameters"},
      {"--kink -3:0 --kink 3:0 --potential phi4 --vacua=-1,1", "--vacua -1,1: 2 vacua for 2 kinks; a chain of n kinks "
       "passes n + 1 vacua"},
      {"--kink 0:0 --potential phi4 --vacua 0,1", "--vacua 0,1: 0 is not a zero of W (W(0) = 0.25)"},
      {"--kink 0:0 --potential 'u^2*(1-u^2)^2/2'",
       "--potential u^2*(1-u^2)^2/2: W(0) = 0 is not positive between the vacua -1 and 1 (a kink needs W > 0 "
       "strictly between its vacua); give the chain's vacua with --vacua"},
      {"--kink 0:0 --potential 'log(u)+(u^2-1)^2'",
       "--potential log(u)+(u^2-1)^2: W or its derivatives are not finite at the vacuum -1; give the chain's vacua "
       "with --vacua"},
      {"--kink 0:0 --potential phi4 --kind 2", "--potential phi4: --kind 2 gives the family; give one model"},
      {"--kink 0:0 --potential phi4 --h5 r.h5",
       "--potential phi4: --png, --h5, --movie, --log and --mark draw the window's family only"},
      {scan + "--potential phi6 --vacua 1,0,-1",
       "--vacua 1,0,-1: the scan's pair goes from A to B and back to A: give A,B,A"},
      {scan + "--potential 'u^4-a' --sweep-param a=0:1:0.5 --param a=0", "--param a=0: --sweep-param gives a"},
  };
  for (const auto& [args, line] : cases) {
    const Outcome o = Start(runner_, root_ / "work", args);
    EXPECT_EQ(o.status, 2) << args;
    EXPECT_EQ(o.err, "kinklab-run: " + line + "\n") << args;
    EXPECT_EQ(o.out, "") << args;
    EXPECT_TRUE(fs::is_empty(root_ / "work")) << args;
  }
  // A folder that the permissions let pass but that takes no file (sysfs, even for root).
  if (fs::is_directory("/sys")) {
    const Outcome o = Start(runner_, root_ / "work", "--kink 0:0 --png /sys/x.png");
    EXPECT_EQ(o.status, 2);
    EXPECT_EQ(o.err.rfind("kinklab-run: --png /sys/x.png: cannot write /sys/x.png: ", 0), 0u) << o.err;
    EXPECT_FALSE(fs::exists("/sys/x.png"));
  }
}

TEST_F(CommandLine, HelpAndVersionWinAnywhereAndDefaultsFollowTheAffinity) {
  const Outcome help = Start(runner_, root_ / "work", "--kink 15:2 --frobnicate --help --N");
  EXPECT_EQ(help.status, 0);
  EXPECT_EQ(help.out, HelpText());
  EXPECT_NE(help.out.find("Usage: kinklab-run"), std::string::npos);
  const Outcome version = Start(runner_, root_ / "work", "--scan nonsense --version");
  EXPECT_EQ(version.status, 0);
  EXPECT_EQ(version.out, std::string("kinklab-run ") + ProgramVersion() + "\n");
  EXPECT_TRUE(fs::is_empty(root_ / "work"));

  // Bound to one CPU, a run steps on one thread however many the machine has.
  if (std::system("command -v taskset >/dev/null 2>&1") == 0) {
    const Outcome one = Start(runner_, root_ / "work", "--kink 0:0 --t 0.5", "taskset -c 0 ");
    EXPECT_EQ(one.status, 0) << one.err;
    EXPECT_NE(one.out.find("\nthreads: 1\n"), std::string::npos) << one.out;
  }
}

// A scan CSV that cannot be written at the end still reaches the user: its rows go to standard
// output, and the failure is told.
TEST(ScanCsv, RowsThatCannotBeWrittenAtTheEndGoToStandardOutput) {
  ScanOptions o;
  o.csvFile = (fs::path(::testing::TempDir()) / "no_such_folder" / "scan.csv").string();
  std::ostringstream out, err;
  EXPECT_FALSE(WriteScanCsv(o, "v,outcome\n0.2,capture\n", out, err));
  EXPECT_EQ(out.str(), "v,outcome\n0.2,capture\n");
  EXPECT_NE(err.str().find("the rows follow on standard output instead"), std::string::npos) << err.str();
}

// The tables of the README and the guide are the declarations' own, and the man page, made
// from --help, names every option.
TEST(CommandLineDocs, TheReadmeTheGuideAndTheManPageAgreeWithTheDeclarations) {
  const fs::path source = KINKLAB_SOURCE_DIR;
  // Found by plain search: a regular expression over a whole table recurses once per character,
  // beyond the stack of a sanitized build.
  const std::string open = "<!-- options: ", close = "<!-- end of options -->";
  int blocks = 0;
  for (const fs::path& doc : {source / "README.md", source / "docs" / "user-guide.md", source / "docs" / "collision-scans.md"}) {
    const std::string text = FileText(doc);
    for (size_t at = text.find(open); at != std::string::npos; at = text.find(open, at + 1)) {
      const size_t nameEnd = text.find(" -->\n", at), end = text.find(close, at);
      ASSERT_TRUE(nameEnd != std::string::npos && end != std::string::npos && nameEnd < end) << doc;
      const std::string list = text.substr(at + open.size(), nameEnd - at - open.size());
      std::vector<std::string> groups;
      std::istringstream names(list);
      for (std::string g; std::getline(names, g, ',');) groups.push_back(g.substr(g.find_first_not_of(' ')));
      EXPECT_EQ(text.substr(nameEnd + 5, end - nameEnd - 5), OptionsMarkdown(groups)) << doc << ": the table of " << list;
      ++blocks;
    }
  }
  EXPECT_GE(blocks, 3);

  const std::string help = HelpText();
  std::set<std::string> names;
  const std::regex option("\n  (?:-h,)?(--[a-z0-9-]+|--[A-Z])");
  for (std::sregex_iterator it(help.begin(), help.end(), option), end; it != end; ++it) names.insert((*it)[1]);
  EXPECT_GE(names.size(), 40u);
  const std::string readme = FileText(source / "README.md");
  const std::string man = FileText(fs::path(KINKLAB_BINARY_DIR) / "kinklab-run.1");
  ASSERT_FALSE(man.empty());
  for (const std::string& name : names) {
    EXPECT_NE(readme.find("`" + name), std::string::npos) << name << " is not in the README";
    EXPECT_NE(man.find(std::regex_replace(name, std::regex("-"), "\\-")), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace kl
