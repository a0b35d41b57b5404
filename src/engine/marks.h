#pragma once
// Marked intervals that follow lumps of energy, and the log file of their values.
#include <array>
#include <functional>
#include <string>

#include "engine/sim_state.h"

namespace kl {

inline constexpr int kMaxMarks = 9;

struct Marks {
  int MarkCount = 0;
  std::array<double, kMaxMarks + 1> MarkLeft{};    // slots 1 .. MarkCount
  std::array<double, kMaxMarks + 1> MarkRight{};
  std::array<double, kMaxMarks + 1> MarkPeakU{};
  std::array<double, kMaxMarks + 1> MarkWidth{};
  std::array<double, kMaxMarks + 1> MarkEnergy{};
};

inline constexpr const char* kLogHeader =
    "         t=             x=               u=               w=               e=               E=";

// Where failures are told to the user (a message box in the window, stderr in the runner).
using ErrorSink = std::function<void(const std::string&)>;

// The log text file: created with its header, then appended to one line at a time.
// A failed append is reported once per run through the sink; the run goes on.
class LogFile {
 public:
  // path: the full file name (base name + ".txt", fixed when the program starts);
  // an empty path means no log file.
  // `shown`: the name as messages quote it (the path decoded for display), if not the path.
  void SetPath(std::string path, std::string shown = {}) {
    path_ = std::move(path);
    shown_ = shown.empty() ? path_ : std::move(shown);
    failed_ = false;
  }
  const std::string& Path() const { return path_; }
  void SetErrorSink(ErrorSink sink) { sink_ = std::move(sink); }

  // Empties the file and writes the header line. False (and reported) on failure.
  bool Create();
  // Appends one line. False on failure; only the first failure of a run is reported.
  bool AppendLine(const std::string& line);
  // A new run: the next failure is reported again.
  void BeginRun() { reportedThisRun_ = false; }
  // Whether an append has failed since the path was set.
  bool Failed() const { return failed_; }

 private:
  void Report(const std::string& what);
  std::string path_, shown_;
  ErrorSink sink_;
  bool reportedThisRun_ = false;
  bool failed_ = false;
};

struct LogSettings {
  int LogPeriod = 0;                   // records every LogPeriod levels; 0 or less: none
  std::string LogFileName = "KQ_log";  // base name; ".txt" is appended
};

// "%15.10f" with a decimal comma, followed by "; ".
std::string LogField(double x);

// Evaluates every mark on one level (first phase: History level `level`; second phase:
// the newest level of WorkLayers), re-centres it on its peak when `follow`, and appends
// the log records when the period says so. `log` may be null (no file).
void TrackMarks(const SimState& sim, Marks& marks, const LogSettings& settings, LogFile* log,
                int level, bool follow);

}  // namespace kl
