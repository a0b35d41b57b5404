#include "cli/cluster_share.h"

#include <sched.h>

#include <algorithm>
#include <charconv>
#include <cstdlib>
#include <cstring>
#include <thread>

#include "engine/step_pool.h"

namespace kl {
namespace {

constexpr long kLargestIndex = 1000000000;
constexpr int kMostJobs = 1024;

// A set variable: its text, or nullptr when unset (or "undefined", SGE's word for unset).
const char* Read(const EnvironmentReader& getenv, const char* name) {
  const char* value = getenv(name);
  if (!value || std::strcmp(value, "undefined") == 0) return nullptr;
  return value;
}

// A whole number 0 ... kLargestIndex, digits only.
bool ParseIndex(const char* text, long& value) {
  const char* end = text + std::strlen(text);
  if (text == end) return false;
  const auto [ptr, ec] = std::from_chars(text, end, value);
  return ec == std::errc() && ptr == end && value >= 0 && value <= kLargestIndex;
}

// The scheduler's names for one array task, those it may leave out empty.
struct ArrayVariables {
  const char* id;
  const char* first;  // the array's first index
  const char* last;   // its last index
  const char* count;  // its number of tasks
  const char* step;   // its step
};

class ShareReader {
 public:
  ShareReader(const EnvironmentReader& getenv, std::string& error) : getenv_(getenv), error_(error) {}

  // The value of `name` into `value`: false if it is set but no whole number (with `error_`).
  // `present` tells whether it is set.
  bool Optional(const char* name, long& value, bool& present) {
    const char* text = name[0] ? Read(getenv_, name) : nullptr;
    present = text != nullptr;
    if (present && !ParseIndex(text, value)) {
      error_ = std::string(name) + "=" + text + " is not a whole number";
      return false;
    }
    return true;
  }
  bool Required(const char* name, const char* task, long& value) {
    bool present = false;
    if (!Optional(name, value, present)) return false;
    if (!present) error_ = std::string(task) + " is set but " + name + " is not";
    return present;
  }

  bool Share(const ArrayVariables& v, std::optional<int> partsOption, int& part, int& parts) {
    long id = 0;
    bool present = false;
    if (!Optional(v.id, id, present)) return false;
    const std::string idText = std::string(v.id) + "=" + std::to_string(id);

    if (partsOption) {  // the indices are the shares 1 ... N
      const long n = *partsOption;
      if (id < 1 || id > n) {
        error_ = idText + " is not a share of --scan-parts " + std::to_string(n) +
                 " (the array's indices are the shares 1 ... " + std::to_string(n) + ")";
        return false;
      }
      long last = 0;
      if (!Optional(v.last, last, present)) return false;
      if (present && last > n) {
        error_ = std::string(v.last) + "=" + std::to_string(last) + ": the array reaches beyond --scan-parts " +
                 std::to_string(n);
        return false;
      }
      part = static_cast<int>(id);
      parts = static_cast<int>(n);
      return true;
    }

    if (!v.first[0]) {  // a scheduler that sets no count
      error_ = std::string(v.id) + " gives no number of tasks: give --scan-parts N (the array numbered 1 ... N)";
      return false;
    }
    long first = 0, last = 0, count = 0, step = 1;
    if (!Required(v.first, v.id, first)) return false;
    if (v.count[0]) {
      if (!Required(v.count, v.id, count)) return false;
      if (!Optional(v.last, last, present)) return false;
      if (!present) last = first + count - 1;
    } else {
      if (!Required(v.last, v.id, last)) return false;
      count = last - first + 1;
    }
    const bool stepRequired = !v.count[0];  // SGE always sets its step; Slurm only sometimes
    if (stepRequired ? !Required(v.step, v.id, step) : !Optional(v.step, step, present)) return false;
    if (step != 1) {
      error_ = std::string(v.step) + "=" + std::to_string(step) +
               ": the array's indices must follow one another (a step of 1), or give --scan-parts N";
      return false;
    }
    if (count < 1 || last - first + 1 != count) {
      error_ = std::string(v.first) + "=" + std::to_string(first) + ", " + v.last + "=" + std::to_string(last) +
               (v.count[0] ? ", " + std::string(v.count) + "=" + std::to_string(count) : std::string()) +
               ": the array is not one range without gaps; give --scan-parts N (the array numbered 1 ... N)";
      return false;
    }
    if (id < first || id > last) {
      error_ = idText + " lies outside the array " + std::to_string(first) + " ... " + std::to_string(last);
      return false;
    }
    part = static_cast<int>(id - first + 1);
    parts = static_cast<int>(count);
    return true;
  }

 private:
  const EnvironmentReader& getenv_;
  std::string& error_;
};

}  // namespace

bool ShareFromEnvironment(const EnvironmentReader& getenv, std::optional<int> partsOption, int& part, int& parts,
                          std::string& error) {
  static const ArrayVariables kSchedulers[] = {
      {"SLURM_ARRAY_TASK_ID", "SLURM_ARRAY_TASK_MIN", "SLURM_ARRAY_TASK_MAX", "SLURM_ARRAY_TASK_COUNT",
       "SLURM_ARRAY_TASK_STEP"},
      {"PBS_ARRAY_INDEX", "", "", "", ""},  // PBS Pro
      {"PBS_ARRAYID", "", "", "", ""},      // Torque
      {"SGE_TASK_ID", "SGE_TASK_FIRST", "SGE_TASK_LAST", "", "SGE_TASK_STEPSIZE"},
  };
  if (partsOption && *partsOption < 1) {
    error = "--scan-parts must be at least 1";
    return false;
  }
  ShareReader reader(getenv, error);
  for (const ArrayVariables& v : kSchedulers)
    if (Read(getenv, v.id)) return reader.Share(v, partsOption, part, parts);
  error =
      "not a task of a job array: none of SLURM_ARRAY_TASK_ID (with SLURM_ARRAY_TASK_MIN and "
      "SLURM_ARRAY_TASK_COUNT), PBS_ARRAY_INDEX, PBS_ARRAYID or SGE_TASK_ID (with SGE_TASK_FIRST, SGE_TASK_LAST "
      "and SGE_TASK_STEPSIZE) is set";
  return false;
}

int DefaultJobs(const EnvironmentReader& getenv, int affinityCpus) {
  int jobs = std::max(affinityCpus, 1);
  long granted = 0;
  if (const char* text = Read(getenv, "SLURM_CPUS_PER_TASK"); text && ParseIndex(text, granted) && granted >= 1)
    jobs = static_cast<int>(std::min<long>(jobs, granted));
  return std::min(jobs, kMostJobs);
}

int DefaultJobs() {
  return DefaultJobs([](const char* name) -> const char* { return std::getenv(name); }, AffinityCpus());
}

}  // namespace kl
