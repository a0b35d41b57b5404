#pragma once
// Which share of a scan a task of a scheduler's job array runs, and how many runs it starts at
// once, read from the variables the scheduler sets. Plain logic over an environment reader, so
// that every rule is tested without a scheduler.
//
// The share (`--scan-part auto`), K of N:
//
// - Slurm: SLURM_ARRAY_TASK_ID, SLURM_ARRAY_TASK_MIN and SLURM_ARRAY_TASK_COUNT give
//   K = ID - MIN + 1 of N = COUNT. The array must be one range without gaps: a step
//   (SLURM_ARRAY_TASK_STEP) other than 1, or SLURM_ARRAY_TASK_MAX - MIN + 1 other than COUNT
//   (as after resubmitting some indices, --array=3,7) are refused.
// - SGE/UGE: SGE_TASK_ID, SGE_TASK_FIRST, SGE_TASK_LAST and SGE_TASK_STEPSIZE give
//   K = ID - FIRST + 1 of N = LAST - FIRST + 1, the step being 1. SGE sets them to
//   "undefined" in a job that is no array, which counts as unset.
// - PBS Pro (PBS_ARRAY_INDEX) and Torque (PBS_ARRAYID) set no count: they need `--scan-parts N`.
//
// With `--scan-parts N` (for every scheduler) the array's indices are the shares themselves,
// K = index, numbered 1 ... N: submit the array as 1-N (Slurm: sbatch --array=1-N; PBS Pro:
// qsub -J 1-N; Torque and SGE: qsub -t 1-N) and resubmit any subset of it. An index outside 1 ... N, or an
// array that reaches beyond N, is refused. This is how a job script should ask, since it keeps
// the numbering when only some indices are submitted again.
//
// Slurm is looked at first, then PBS, then SGE: the first whose task variable is set decides.
#include "engine/step_pool.h"  // AffinityCpus
#include <functional>
#include <optional>
#include <string>

namespace kl {

using EnvironmentReader = std::function<const char*(const char*)>;

// Sets `part` and `parts` (1 <= part <= parts) from the scheduler's variables, or returns false
// with `error` saying why, naming the variables it looked for or the one that does not fit.
bool ShareFromEnvironment(const EnvironmentReader& getenv, std::optional<int> partsOption, int& part, int& parts,
                          std::string& error);

// The runs a scan starts at once when --jobs is not given: the CPUs Slurm granted the task
// (SLURM_CPUS_PER_TASK), but no more than the `affinityCpus` the process may run on; without
// that variable, `affinityCpus`. At least 1, at most 1024.
int DefaultJobs(const EnvironmentReader& getenv, int affinityCpus);
// The same with the process's own environment and CPU affinity.
int DefaultJobs();

}  // namespace kl
