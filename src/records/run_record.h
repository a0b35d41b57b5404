#pragma once
// The record of a run: an HDF5 file that grows as the run goes on, with the field and its
// energy density on chosen grid points every few steps, the total energy, the marks' logged
// values, and every parameter that decides the numbers as attributes of the root group.
#include <array>
#include <chrono>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "engine/marks.h"
#include "engine/sim_state.h"
#include "records/pending_file.h"

namespace kl {

// The grid points a record holds: i = first, first + stride, ..., `count` of them.
struct RecordPoints {
  int first = 0;
  int stride = 1;
  int count = 0;
};

// The widest half-range, in grid points, that a run computes: the first phase's, or the second
// phase's when the run goes on into it.
int ComputedHalfReach(bool secondPhase);

// The grid points of [from, to] (x = i * dx, a point counts when it lies within a millionth of
// a grid step of the range), every `stride`-th from the leftmost. False, with `why`, when the
// range reaches beyond `reachHalf` points from the centre or holds no grid point.
bool ChooseRecordPoints(double from, double to, int stride, double dx, int reachHalf, RecordPoints& points,
                        std::string& why);

// u and r of the newest level at the points. A point beyond the range computed so far holds the
// vacuum the scheme pins there: -1 left of the centre, RightVacuum right of it, no energy.
void SampleNewestLevel(const SimState& sim, const RecordPoints& points, double* u, double* r);

// The six values of each mark as its log record has them: t, the peak's x, the peak u, the
// width, the energy up to the peak and the total energy (6 * MarkCount numbers). The marks must
// have been followed on this level, so that each is centred on its peak.
void LoggedMarkValues(const SimState& sim, const Marks& marks, double* out);

// What the root attributes say about the run.
struct RunDescription {
  int kind = 1;           // 0: a k between the kinds
  double modulation = 0;  // the family's k
  double halfInterval = 0;
  int gridSize = 0;
  double dx = 0, dt = 0;
  std::string precision;
  std::vector<std::pair<double, double>> kinks;  // C, V
  std::optional<std::array<double, 5>> rotator;  // kF_Re, kF_Im, kD, qL, qR
  std::string program;                           // name and version
  std::string command;                           // the command line
  long every = 1;                                // steps between rows
  int stride = 1;                                // grid points between columns
};

// The HDF5 file: datasets t, energy (rows), x (columns), u, r (rows x columns) and, with marks,
// marks (rows x marks x 6). Rows are kept in memory up to a chunk and written a chunk at a time;
// Flush writes what is kept and flushes the file. The file is written under a temporary name;
// Finish closes it and renames it over `path`. A writer that goes without Finish closes its file
// and removes it.
class RunRecordWriter {
 public:
  RunRecordWriter();
  ~RunRecordWriter();
  RunRecordWriter(const RunRecordWriter&) = delete;
  RunRecordWriter& operator=(const RunRecordWriter&) = delete;

  bool Create(const std::string& path, const RunDescription& run, const std::vector<double>& x, int markCount,
              std::string& error);
  // u and r: a value per column; marks: 6 per mark.
  bool Append(double t, double energy, const double* u, const double* r, const double* marks, std::string& error);
  bool Flush(std::string& error);
  bool Finish(std::string& error);
  long Rows() const { return rows_; }

 private:
  struct Series;
  bool WriteSeries(Series& s, std::string& error);
  bool Fail(const std::string& what, std::string& error);
  void Close();

  std::unique_ptr<PendingFile> pending_;
  int64_t file_ = -1;  // the hid_t of the open file
  std::vector<Series> series_;
  long rows_ = 0;
};

// A record taken as the run goes: a row at t = 0 and after every `every`-th step, the file
// flushed at least every few seconds, so a run that is stopped or killed leaves what it had.
class RunRecorder {
 public:
  bool Open(const std::string& path, const RunDescription& run, const RecordPoints& points, int markCount,
            std::string& error);
  // step 0: the prepared level; then the step count after each step.
  bool Sample(const SimState& sim, const Marks& marks, long step, std::string& error);
  bool Finish(std::string& error) { return writer_.Finish(error); }
  long Rows() const { return writer_.Rows(); }

  static constexpr double kFlushSeconds = 2.0;

 private:
  RunRecordWriter writer_;
  RecordPoints points_;
  long every_ = 1;
  int markCount_ = 0;
  std::vector<double> u_, r_, marks_;
  std::chrono::steady_clock::time_point lastFlush_;
};

}  // namespace kl
