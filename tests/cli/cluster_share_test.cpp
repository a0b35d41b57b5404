#include "cli/cluster_share.h"

#include <gtest/gtest.h>
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

#include "study/collision.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "cli/scan_map.h"
#include "cli/scan_runs.h"

extern char** environ;

namespace kl {
namespace {

using Environment = std::map<std::string, std::string>;

EnvironmentReader Reader(const Environment& env) {
  return [&env](const char* name) -> const char* {
    const auto it = env.find(name);
    return it == env.end() ? nullptr : it->second.c_str();
  };
}

struct Share {
  bool ok = false;
  int part = 0, parts = 0;
  std::string error;
};

Share ShareOf(const Environment& env, std::optional<int> partsOption = std::nullopt) {
  Share s;
  s.ok = ShareFromEnvironment(Reader(env), partsOption, s.part, s.parts, s.error);
  if (s.ok) {
    EXPECT_TRUE(s.error.empty()) << s.error;
  }
  return s;
}

bool Contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

Environment Slurm(int id, int min, int max, int count) {
  return {{"SLURM_ARRAY_TASK_ID", std::to_string(id)},
          {"SLURM_ARRAY_TASK_MIN", std::to_string(min)},
          {"SLURM_ARRAY_TASK_MAX", std::to_string(max)},
          {"SLURM_ARRAY_TASK_COUNT", std::to_string(count)}};
}

Environment Sge(const std::string& id, const std::string& first, const std::string& last, const std::string& step) {
  return {{"SGE_TASK_ID", id}, {"SGE_TASK_FIRST", first}, {"SGE_TASK_LAST", last}, {"SGE_TASK_STEPSIZE", step}};
}

TEST(ClusterShare, SlurmCountsTheTasksFromTheArraysFirstIndex) {
  for (int id = 1; id <= 3; ++id) {  // --array=1-3
    const Share s = ShareOf(Slurm(id, 1, 3, 3));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.part, id);
    EXPECT_EQ(s.parts, 3);
  }
  for (int id = 0; id <= 4; ++id) {  // --array=0-4
    const Share s = ShareOf(Slurm(id, 0, 4, 5));
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.part, id + 1);
    EXPECT_EQ(s.parts, 5);
  }
  Environment noMax = Slurm(12, 10, 0, 4);  // --array=10-13, the maximum left out
  noMax.erase("SLURM_ARRAY_TASK_MAX");
  const Share s = ShareOf(noMax);
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.part, 3);
  EXPECT_EQ(s.parts, 4);
}

TEST(ClusterShare, SlurmArraysThatAreNoPlainRangeAreRefusedWithoutScanParts) {
  Environment missing = Slurm(2, 1, 3, 3);
  missing.erase("SLURM_ARRAY_TASK_COUNT");
  Share s = ShareOf(missing);
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_COUNT")) << s.error;

  Environment stepped = Slurm(3, 1, 7, 4);  // --array=1-7:2
  stepped["SLURM_ARRAY_TASK_STEP"] = "2";
  s = ShareOf(stepped);
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_STEP=2")) << s.error;

  s = ShareOf(Slurm(7, 3, 7, 2));  // --array=3,7: a resubmission of two indices
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "--scan-parts")) << s.error;

  s = ShareOf(Slurm(5, 1, 3, 3));
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_ID=5 lies outside the array 1 ... 3")) << s.error;

  Environment garbled = Slurm(1, 1, 3, 3);
  garbled["SLURM_ARRAY_TASK_ID"] = "1x";
  s = ShareOf(garbled);
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_ID=1x")) << s.error;
}

TEST(ClusterShare, WithScanPartsTheIndicesAreTheSharesSoAResubmissionKeepsThem) {
  for (int id : {3, 7}) {  // --array=3,7 of a scan in 8 shares
    const Share s = ShareOf(Slurm(id, 3, 7, 2), 8);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.part, id);
    EXPECT_EQ(s.parts, 8);
  }
  Share s = ShareOf(Slurm(0, 0, 7, 8), 8);  // numbered from 0
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_ID=0 is not a share of --scan-parts 8")) << s.error;
  s = ShareOf(Slurm(2, 1, 10, 10), 8);  // a task within N, of an array beyond it
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SLURM_ARRAY_TASK_MAX=10")) << s.error;
}

TEST(ClusterShare, PbsAndTorqueIndicesAreOneBasedWithTheCountFromScanParts) {
  for (const char* variable : {"PBS_ARRAY_INDEX", "PBS_ARRAYID"}) {
    const Environment env = {{variable, "4"}};
    Share s = ShareOf(env, 6);
    ASSERT_TRUE(s.ok) << s.error;
    EXPECT_EQ(s.part, 4);
    EXPECT_EQ(s.parts, 6);

    s = ShareOf(env);
    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(Contains(s.error, std::string(variable) + " gives no number of tasks")) << s.error;
    EXPECT_TRUE(Contains(s.error, "--scan-parts N")) << s.error;

    s = ShareOf({{variable, "0"}}, 6);  // qsub -t 0-5
    EXPECT_FALSE(s.ok);
    EXPECT_TRUE(Contains(s.error, std::string(variable) + "=0")) << s.error;
    s = ShareOf({{variable, "7"}}, 6);
    EXPECT_FALSE(s.ok);
  }
}

TEST(ClusterShare, SgeRangesWithAStepOfOne) {
  Share s = ShareOf(Sge("6", "5", "8", "1"));  // qsub -t 5-8
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.part, 2);
  EXPECT_EQ(s.parts, 4);

  s = ShareOf(Sge("3", "1", "9", "2"));  // qsub -t 1-9:2
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SGE_TASK_STEPSIZE=2")) << s.error;

  Environment noStep = Sge("3", "1", "9", "1");
  noStep.erase("SGE_TASK_STEPSIZE");
  s = ShareOf(noStep);
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SGE_TASK_STEPSIZE")) << s.error;

  s = ShareOf(Sge("9", "5", "8", "1"));
  EXPECT_FALSE(s.ok);
  EXPECT_TRUE(Contains(s.error, "SGE_TASK_ID=9 lies outside the array 5 ... 8")) << s.error;

  s = ShareOf(Sge("2", "1", "9", "2"), 9);  // the odd shares of nine
  ASSERT_TRUE(s.ok) << s.error;
  EXPECT_EQ(s.part, 2);
  EXPECT_EQ(s.parts, 9);
}

TEST(ClusterShare, OutsideAnArrayTheVariablesLookedForAreNamed) {
  // SGE sets its task variables to "undefined" in a job that is no array.
  for (const Environment& env : {Environment{}, Sge("undefined", "undefined", "undefined", "undefined")}) {
    const Share s = ShareOf(env, 4);
    EXPECT_FALSE(s.ok);
    for (const char* name : {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_COUNT", "PBS_ARRAY_INDEX",
                             "PBS_ARRAYID", "SGE_TASK_ID", "SGE_TASK_FIRST", "SGE_TASK_LAST", "SGE_TASK_STEPSIZE"})
      EXPECT_TRUE(Contains(s.error, name)) << name << " in: " << s.error;
  }
}

TEST(ClusterShare, DefaultJobsAreTheGrantedCpusWithinTheAffinity) {
  EXPECT_EQ(DefaultJobs(Reader({{"SLURM_CPUS_PER_TASK", "2"}}), 8), 2);
  EXPECT_EQ(DefaultJobs(Reader({{"SLURM_CPUS_PER_TASK", "16"}}), 4), 4);
  EXPECT_EQ(DefaultJobs(Reader({}), 3), 3);
  EXPECT_EQ(DefaultJobs(Reader({{"SLURM_CPUS_PER_TASK", "0"}}), 3), 3);
  EXPECT_EQ(DefaultJobs(Reader({{"SLURM_CPUS_PER_TASK", "two"}}), 3), 3);
  EXPECT_EQ(DefaultJobs(Reader({}), 4096), 1024);
  EXPECT_GE(AffinityCpus(), 1);
}

// ---------------------------------------------------------------------------------------------
// Through the runner program, in an environment of the test's making.

struct Exit {
  int status = -1;
  std::string err;
};

Exit RunRunner(const std::vector<std::string>& args, const Environment& extra) {
  Exit result;
  const char* runner = std::getenv("KINKLAB_RUNNER");
  if (!runner) return result;
  std::vector<std::string> env;
  for (char** e = environ; *e; ++e) {
    const std::string entry = *e;
    const bool scheduler = entry.rfind("SLURM_", 0) == 0 || entry.rfind("PBS_", 0) == 0 || entry.rfind("SGE_", 0) == 0;
    if (!scheduler) env.push_back(entry);
  }
  for (const auto& [name, value] : extra) env.push_back(name + "=" + value);
  std::vector<std::string> all = {runner};
  all.insert(all.end(), args.begin(), args.end());
  std::vector<char*> argv, envp;
  for (std::string& a : all) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (std::string& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);

  int fds[2];
  if (pipe(fds) != 0) return result;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDERR_FILENO);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addclose(&actions, fds[0]);
  pid_t pid = -1;
  const bool spawned = posix_spawn(&pid, runner, &actions, nullptr, argv.data(), envp.data()) == 0;
  posix_spawn_file_actions_destroy(&actions);
  close(fds[1]);
  char buf[512];
  for (ssize_t n; (n = read(fds[0], buf, sizeof buf)) > 0;) result.err.append(buf, static_cast<size_t>(n));
  close(fds[0]);
  if (spawned) waitpid(pid, &result.status, 0);
  return result;
}

TEST(ClusterShareProgram, AutoOutsideAJobArrayExitsWithStatus2NamingTheVariables) {
  if (!std::getenv("KINKLAB_RUNNER")) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
  const std::string csv = ::testing::TempDir() + "auto_share_" + std::to_string(getpid()) + ".csv";
  const Exit e = RunRunner({"--scan", "0.1:0.5:0.1", "--N", "256", "--t", "1", "--scan-part", "auto", "--scan-csv", csv}, {});
  ASSERT_TRUE(WIFEXITED(e.status)) << e.err;
  EXPECT_EQ(WEXITSTATUS(e.status), 2);
  EXPECT_EQ(e.err.rfind("kinklab-run: --scan-part auto: ", 0), 0u) << e.err;
  for (const char* name : {"SLURM_ARRAY_TASK_ID", "PBS_ARRAY_INDEX", "PBS_ARRAYID", "SGE_TASK_ID"})
    EXPECT_TRUE(Contains(e.err, name)) << name;
  EXPECT_FALSE(std::ifstream(csv).good());

  // The same scan as the second of two tasks of a Slurm array runs the velocities 0.2 and 0.4.
  const Exit task = RunRunner({"--scan", "0.1:0.5:0.1", "--N", "256", "--t", "1", "--scan-part", "auto", "--scan-csv", csv},
                              Slurm(2, 1, 2, 2));
  ASSERT_TRUE(WIFEXITED(task.status) && WEXITSTATUS(task.status) == 0) << task.err;
  std::ifstream in(csv);
  std::string header, row;
  std::vector<std::string> velocities;
  std::getline(in, header);
  while (std::getline(in, row)) velocities.push_back(row.substr(0, row.find(',')));
  EXPECT_EQ(velocities, (std::vector<std::string>{"0.2", "0.4"}));
  std::remove(csv.c_str());
}

TEST(ClusterShareOptions, ScanPartsOnlyWithAuto) {
  ScanOptions o;
  std::string error;
  EXPECT_FALSE(ParseScanArgs({"--scan", "0.1:0.2:0.1", "--scan-parts", "4"}, o, error));
  EXPECT_EQ(error, "--scan-parts: only with --scan-part auto");
  EXPECT_FALSE(ParseScanArgs({"--scan", "0.1:0.2:0.1", "--scan-part", "auto", "--scan-parts", "0"}, o, error));
  EXPECT_EQ(error.rfind("--scan-parts 0: ", 0), 0u) << error;
}

}  // namespace
}  // namespace kl
