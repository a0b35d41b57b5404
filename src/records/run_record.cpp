#include "records/run_record.h"

#include "records/hdf5_util.h"

#include <hdf5.h>

#include <algorithm>
#include <cmath>
#include <type_traits>

namespace kl {

static_assert(std::is_same_v<hid_t, int64_t>, "the writer keeps its file handle as an int64_t");

namespace {

constexpr unsigned kDeflateLevel = 4;
// About this many values in a chunk (256 kB of doubles): large enough for deflate to work
// well, small enough that the rows kept in memory stay small.
constexpr size_t kChunkValues = 32768;
constexpr size_t kMaxChunkRows = 4096;

using h5::Handle;
using h5::WriteAttribute;
using h5::WriteStringAttribute;
std::string Hdf5Reason() { return h5::Reason(); }

}  // namespace

int ComputedHalfReach(bool secondPhase) {
  // The first phase computes i = -1024 .. 1024 inside History's pinned ends; the second widens
  // by a point each step up to WorkLayers' pinned ends.
  return secondPhase ? kWorkHi - 2 : kHistoryHalf - 1;
}

bool ChooseRecordPoints(double from, double to, int stride, double dx, int reachHalf, RecordPoints& points,
                        std::string& why) {
  if (stride < 1) {
    why = "the stride must be at least 1";
    return false;
  }
  if (!(from <= to) || !(dx > 0)) {
    why = "the range must run from its left end to its right end";
    return false;
  }
  constexpr double kSlack = 1e-6;  // of a grid step: -L .. L holds its end points
  const double reach = reachHalf + kSlack;
  if (!(from / dx >= -reach) || !(to / dx <= reach)) {
    why = "the range reaches beyond the points the run computes, |x| <= " +
          std::to_string(static_cast<double>(static_cast<long double>(reachHalf) * dx));
    return false;
  }
  const int first = static_cast<int>(std::ceil(from / dx - kSlack));
  const int last = static_cast<int>(std::floor(to / dx + kSlack));
  if (first > last) {
    why = "the range holds no grid point";
    return false;
  }
  points.first = first;
  points.stride = stride;
  points.count = (last - first) / stride + 1;
  return true;
}

void SampleNewestLevel(const SimState& sim, const RecordPoints& points, double* u, double* r) {
  int half;
  const FieldPoint* level = NewestLevel(sim, half);
  for (int k = 0; k < points.count; ++k) {
    const int i = points.first + k * points.stride;
    if (i >= -half && i <= half) {
      u[k] = level[i].re;
      r[k] = level[i].r;
    } else {
      u[k] = i < 0 ? -1.0 : sim.RightVacuum;
      r[k] = 0.0;
    }
  }
}

void LoggedMarkValues(const SimState& sim, const Marks& marks, double* out) {
  const int count = std::clamp(marks.MarkCount, 0, kMaxMarks);
  for (int m = 1; m <= count; ++m) {
    // Following a mark centres it on its peak p: its ends are (p - h) dx and (p + h) dx.
    const long peak = std::lrint((static_cast<long double>(marks.MarkLeft[m]) + marks.MarkRight[m]) / (2.0L * sim.Dx));
    double* v = out + 6 * (m - 1);
    v[0] = sim.TimeNow;
    v[1] = static_cast<double>(static_cast<long double>(peak) * sim.Dx);
    v[2] = marks.MarkPeakU[m];
    v[3] = marks.MarkWidth[m];
    v[4] = marks.MarkEnergy[m];
    v[5] = sim.EnergyTotal;
  }
}

// --- The HDF5 file ----------------------------------------------------------------------

// A dataset that grows along its first dimension, a row of `rowShape` at a time.
struct RunRecordWriter::Series {
  hid_t set = -1;
  std::vector<hsize_t> rowShape;
  size_t rowValues = 1;
  size_t chunkRows = 1;
  hsize_t written = 0;          // rows in the file
  std::vector<double> pending;  // rows kept, not yet in the file
};

RunRecordWriter::RunRecordWriter() = default;

RunRecordWriter::~RunRecordWriter() { Close(); }

void RunRecordWriter::Close() {
  for (Series& s : series_)
    if (s.set >= 0) H5Dclose(s.set);
  series_.clear();
  if (file_ >= 0) H5Fclose(file_);
  file_ = -1;
}

bool RunRecordWriter::Fail(const std::string& what, std::string& error) {
  error = "cannot write " + (pending_ ? pending_->Path() : std::string("the record")) + ": " + what + ": " +
          Hdf5Reason();
  Close();
  if (pending_) pending_->Discard();
  return false;
}

bool RunRecordWriter::Create(const std::string& path, const RunDescription& run, const std::vector<double>& x,
                             int markCount, std::string& error) {
  // Failures are told through `error`, not printed by the library.
  H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
  Close();
  pending_ = std::make_unique<PendingFile>(path);
  if (!pending_->Create(error)) return false;
  file_ = H5Fcreate(pending_->TempPath().c_str(), H5F_ACC_TRUNC, H5P_DEFAULT, H5P_DEFAULT);
  if (file_ < 0) return Fail("creating the file", error);

  const hsize_t n = static_cast<hsize_t>(x.size());
  const hsize_t marks = static_cast<hsize_t>(std::max(markCount, 0));
  const std::pair<const char*, std::vector<hsize_t>> layout[] = {
      {"t", {}}, {"energy", {}}, {"u", {n}}, {"r", {n}}, {"marks", {marks, 6}}};
  for (const auto& [name, rowShape] : layout) {
    if (rowShape.size() == 2 && marks == 0) continue;  // no marks, no dataset
    Series s;
    s.rowShape = rowShape;
    for (hsize_t d : rowShape) s.rowValues *= d;
    s.chunkRows = std::clamp<size_t>(kChunkValues / s.rowValues, 1, kMaxChunkRows);
    std::vector<hsize_t> dims{0}, maxDims{H5S_UNLIMITED}, chunk{s.chunkRows};
    for (hsize_t d : rowShape) {
      dims.push_back(d);
      maxDims.push_back(d);
      // A row wider than a chunk is cut along x.
      chunk.push_back(std::min<hsize_t>(d, kChunkValues));
    }
    Handle space(H5Screate_simple(static_cast<int>(dims.size()), dims.data(), maxDims.data()), H5Sclose);
    Handle create(H5Pcreate(H5P_DATASET_CREATE), H5Pclose);
    if (!space.ok() || !create.ok() || H5Pset_chunk(create.get(), static_cast<int>(chunk.size()), chunk.data()) < 0 ||
        H5Pset_shuffle(create.get()) < 0 || H5Pset_deflate(create.get(), kDeflateLevel) < 0 ||
        H5Pset_fletcher32(create.get()) < 0)  // a damaged chunk is found when it is read
      return Fail("laying out the datasets", error);
    s.set = H5Dcreate2(file_, name, H5T_NATIVE_DOUBLE, space.get(), H5P_DEFAULT, create.get(), H5P_DEFAULT);
    if (s.set < 0) return Fail(std::string("creating dataset ") + name, error);
    s.pending.reserve(s.chunkRows * s.rowValues);
    series_.push_back(std::move(s));
  }

  {
    Handle space(H5Screate_simple(1, &n, nullptr), H5Sclose);
    Handle set(H5Dcreate2(file_, "x", H5T_NATIVE_DOUBLE, space.get(), H5P_DEFAULT, H5P_DEFAULT, H5P_DEFAULT),
               H5Dclose);
    if (!set.ok() || (n > 0 && H5Dwrite(set.get(), H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, x.data()) < 0))
      return Fail("writing x", error);
  }

  const int kind = run.kind, gridSize = run.gridSize;
  const long long every = run.every;
  const int stride = run.stride;
  const double courant = kCourant;
  std::vector<double> kinks;
  for (const auto& [c, v] : run.kinks) kinks.insert(kinks.end(), {c, v});
  const bool ok =
      WriteAttribute(file_, "kind", H5T_NATIVE_INT, {}, &kind) &&
      WriteAttribute(file_, "modulation", H5T_NATIVE_DOUBLE, {}, &run.modulation) &&
      WriteAttribute(file_, "L", H5T_NATIVE_DOUBLE, {}, &run.halfInterval) &&
      WriteAttribute(file_, "N", H5T_NATIVE_INT, {}, &gridSize) &&
      WriteAttribute(file_, "dx", H5T_NATIVE_DOUBLE, {}, &run.dx) &&
      WriteAttribute(file_, "dt", H5T_NATIVE_DOUBLE, {}, &run.dt) &&
      WriteAttribute(file_, "courant", H5T_NATIVE_DOUBLE, {}, &courant) &&
      WriteStringAttribute(file_, "precision", run.precision) &&
      WriteAttribute(file_, "kinks", H5T_NATIVE_DOUBLE, {run.kinks.size(), 2}, kinks.data()) &&
      (!run.rotator || WriteAttribute(file_, "rotator", H5T_NATIVE_DOUBLE, {5}, run.rotator->data())) &&
      WriteAttribute(file_, "every", H5T_NATIVE_LLONG, {}, &every) &&
      WriteAttribute(file_, "stride", H5T_NATIVE_INT, {}, &stride) &&
      WriteStringAttribute(file_, "program", run.program) && WriteStringAttribute(file_, "command", run.command);
  if (!ok) return Fail("writing the attributes", error);
  rows_ = 0;
  return true;
}

bool RunRecordWriter::Append(double t, double energy, const double* u, const double* r, const double* marks,
                             std::string& error) {
  if (file_ < 0) {
    error = "the record is not open";
    return false;
  }
  const double* rows[] = {&t, &energy, u, r, marks};
  for (size_t k = 0; k < series_.size(); ++k) {
    Series& s = series_[k];
    s.pending.insert(s.pending.end(), rows[k], rows[k] + s.rowValues);
  }
  ++rows_;
  // A chunk goes out as soon as it is full, so each is compressed once.
  for (Series& s : series_)
    if (s.pending.size() >= s.chunkRows * s.rowValues && !WriteSeries(s, error)) return false;
  return true;
}

bool RunRecordWriter::WriteSeries(Series& s, std::string& error) {
  if (s.pending.empty()) return true;
  const hsize_t rows = s.pending.size() / s.rowValues;
  std::vector<hsize_t> dims{s.written + rows}, start{s.written}, count{rows};
  for (hsize_t d : s.rowShape) {
    dims.push_back(d);
    start.push_back(0);
    count.push_back(d);
  }
  if (H5Dset_extent(s.set, dims.data()) < 0) return Fail("extending the datasets", error);
  Handle fileSpace(H5Dget_space(s.set), H5Sclose);
  Handle memSpace(H5Screate_simple(static_cast<int>(count.size()), count.data(), nullptr), H5Sclose);
  if (!fileSpace.ok() || !memSpace.ok() ||
      H5Sselect_hyperslab(fileSpace.get(), H5S_SELECT_SET, start.data(), nullptr, count.data(), nullptr) < 0 ||
      H5Dwrite(s.set, H5T_NATIVE_DOUBLE, memSpace.get(), fileSpace.get(), H5P_DEFAULT, s.pending.data()) < 0)
    return Fail("writing rows", error);
  s.written += rows;
  s.pending.clear();
  return true;
}

bool RunRecordWriter::Flush(std::string& error) {
  if (file_ < 0) {
    error = "the record is not open";
    return false;
  }
  for (Series& s : series_)
    if (!WriteSeries(s, error)) return false;
  if (H5Fflush(file_, H5F_SCOPE_GLOBAL) < 0) return Fail("flushing", error);
  return true;
}

bool RunRecordWriter::Finish(std::string& error) {
  if (!Flush(error)) return false;
  for (Series& s : series_) {
    if (H5Dclose(s.set) < 0) {
      s.set = -1;
      return Fail("closing", error);
    }
    s.set = -1;
  }
  series_.clear();
  const hid_t file = file_;
  file_ = -1;
  if (H5Fclose(file) < 0) return Fail("closing", error);
  return pending_->Commit(error);
}

// --- Taking the record during a run -----------------------------------------------------

bool RunRecorder::Open(const std::string& path, const RunDescription& run, const RecordPoints& points,
                       int markCount, std::string& error) {
  points_ = points;
  every_ = std::max(run.every, 1L);
  markCount_ = std::clamp(markCount, 0, kMaxMarks);
  u_.resize(points.count);
  r_.resize(points.count);
  marks_.resize(6 * markCount_);
  std::vector<double> x(points.count);
  for (int k = 0; k < points.count; ++k)
    x[k] = static_cast<double>(static_cast<long double>(points.first + k * points.stride) * run.dx);
  lastFlush_ = std::chrono::steady_clock::now();
  return writer_.Create(path, run, x, markCount_, error);
}

bool RunRecorder::Sample(const SimState& sim, const Marks& marks, long step, std::string& error) {
  if (step % every_ != 0) return true;
  SampleNewestLevel(sim, points_, u_.data(), r_.data());
  if (markCount_ > 0) {
    if (step == 0) {
      // The run has not looked at its marks yet: take them as its first step will.
      Marks first = marks;
      TrackMarks(sim, first, LogSettings{}, nullptr, sim.LayerNow, true);
      LoggedMarkValues(sim, first, marks_.data());
    } else {
      LoggedMarkValues(sim, marks, marks_.data());
    }
  }
  if (!writer_.Append(sim.TimeNow, sim.EnergyTotal, u_.data(), r_.data(), marks_.data(), error)) return false;
  const auto now = std::chrono::steady_clock::now();
  if (std::chrono::duration<double>(now - lastFlush_).count() >= kFlushSeconds) {
    lastFlush_ = now;
    return writer_.Flush(error);
  }
  return true;
}

}  // namespace kl
