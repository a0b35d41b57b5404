#include "engine/marks.h"

#include <algorithm>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include "base/replace_file.h"
#include "base/numbers.h"

namespace kl {

void LogFile::Report(const std::string& what) {
  if (sink_) sink_(what);
}

namespace {

// Writes `text` at the end of the open file `fd` whole or not at all: a write cut short (a full
// disk, a file-size limit) is taken back to the size before it, so the log never holds half a
// line. False with `err` set to the system's reason.
bool AppendWhole(int fd, const std::string& text, int& err) {
  struct stat before {};
  if (::fstat(fd, &before) != 0) {
    err = errno;
    return false;
  }
  if (!WriteAll(fd, text.data(), text.size())) {
    err = errno;
    (void)!::ftruncate(fd, before.st_size);
    return false;
  }
  return true;
}

}  // namespace

bool LogFile::Create() {
  if (path_.empty()) return true;
  const int fd = ::open(path_.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
  if (fd < 0) {
    Report("Cannot create the log file \"" + shown_ + "\": " + std::strerror(errno));
    return false;
  }
  int err = 0;
  bool ok = AppendWhole(fd, std::string(kLogHeader) + "\n", err);
  if (::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    Report("Cannot write the log file \"" + shown_ + "\": " + std::strerror(err));
    return false;
  }
  return true;
}

bool LogFile::AppendLine(const std::string& line) {
  if (path_.empty()) return true;  // no log file
  // Only a log that still exists is appended to: one removed during a run is reported rather
  // than made again without its header line.
  const int fd = ::open(path_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC);
  int err = errno;
  bool ok = fd >= 0 && AppendWhole(fd, line + "\n", err);
  if (fd >= 0 && ::close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) failed_ = true;
  if (!ok && !reportedThisRun_) {
    reportedThisRun_ = true;
    Report("Cannot append to the log file \"" + shown_ + "\": " + std::strerror(err) +
           ". The run goes on without log records.");
  }
  return ok;
}

std::string LogField(double x) {
  std::string s = FormatWD(x, 15, 10);
  std::replace(s.begin(), s.end(), '.', ',');
  return s + "; ";
}

namespace {

// Round(v / Dx) as a grid index, kept within [lo, hi] whatever v is.
int GridIndexOf(double v, double dx, int lo, int hi) {
  const double q = static_cast<double>(static_cast<long double>(v) / dx);
  if (std::isnan(q)) return lo;
  if (q <= lo) return lo;
  if (q >= hi) return hi;
  return static_cast<int>(std::nearbyint(q));
}

}  // namespace

void TrackMarks(const SimState& sim, Marks& marks, const LogSettings& settings, LogFile* log,
                int level, bool follow) {
  const FieldStores& st = sim.stores;
  const FieldPoint* field;
  int lo, hi;
  if (sim.PhaseTwo) {
    field = st.Work(1);  // the newest level after the step's rotation
    lo = kWorkLo;
    hi = kWorkHi;
  } else {
    if (level < 0 || level >= kHistoryLevels) return;
    field = st.History(level);
    lo = -kHistoryHalf;
    hi = kHistoryHalf;
  }
  const double* density = st.DensityNow();
  const double dx = sim.Dx;
  const bool writeLog = log && settings.LogPeriod >= 1 && sim.LayerNow % settings.LogPeriod == 0 &&
                        sim.RunState != 4;
  const int count = std::clamp(marks.MarkCount, 0, kMaxMarks);
  for (int m = 1; m <= count; ++m) {
    int a = GridIndexOf(marks.MarkLeft[m], dx, lo, hi);
    int b = GridIndexOf(marks.MarkRight[m], dx, lo, hi);
    if (!sim.PhaseTwo) b = std::min(b, kHistoryHalf - 1);  // the fixed boundary is not searched
    const int h = static_cast<int>(std::nearbyint((static_cast<long double>(b) - a) * 0.5L));

    int p = a;
    double rpk = 0.0, upk = 0.0;
    for (int i = a; i <= b; ++i) {
      const double r = density[i];
      if (r > rpk) {
        rpk = r;
        upk = field[i].re;
        p = i;
      }
    }
    marks.MarkPeakU[m] = upk;

    double energy = 0.0;
    for (int i = a; i <= p; ++i)
      energy = static_cast<double>(static_cast<long double>(energy) + static_cast<long double>(field[i].r) * dx);
    marks.MarkEnergy[m] = energy;

    const long double tenth = 0.1L * rpk;
    int left = 0, right = 0;
    bool haveLeft = false, haveRight = false;
    for (int i = p; i >= a; --i)
      if (tenth > density[i]) { left = i; haveLeft = true; break; }
    for (int i = p; i <= b; ++i)
      if (tenth > density[i]) { right = i; haveRight = true; break; }
    marks.MarkWidth[m] = haveLeft && haveRight ? static_cast<double>(static_cast<long double>(right - left) * dx) : 0.0;

    if (follow) {
      marks.MarkLeft[m] = static_cast<double>(static_cast<long double>(p - h) * dx);
      marks.MarkRight[m] = static_cast<double>(static_cast<long double>(p + h) * dx);
    }

    if (writeLog) {
      const std::string line = LogField(sim.TimeNow) +
                               LogField(static_cast<double>(static_cast<long double>(p) * dx)) +
                               LogField(marks.MarkPeakU[m]) + LogField(marks.MarkWidth[m]) +
                               LogField(marks.MarkEnergy[m]) + LogField(sim.EnergyTotal);
      log->AppendLine(line);
    }
  }
}

}  // namespace kl
