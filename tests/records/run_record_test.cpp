#include "records/run_record.h"

#include <fcntl.h>
#include <gif_lib.h>
#include <gtest/gtest.h>
#include <hdf5.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "cli/run_command.h"
#include "base/version.h"
#include "records/movie.h"

extern char** environ;

#include "support/disk_faults.h"
#include "support/key_lines.h"

namespace kl {
namespace {

// --- Reading the files back ---------------------------------------------------------------

struct Dataset {
  std::vector<hsize_t> dims;
  std::vector<double> values;
  size_t Columns() const { return dims.size() > 1 ? dims[1] : 1; }
  double At(size_t row, size_t column) const { return values[row * Columns() + column]; }
};

class RecordFile {
 public:
  explicit RecordFile(const std::string& path) {
    H5Eset_auto2(H5E_DEFAULT, nullptr, nullptr);
    file_ = H5Fopen(path.c_str(), H5F_ACC_RDONLY, H5P_DEFAULT);
  }
  ~RecordFile() {
    if (file_ >= 0) H5Fclose(file_);
  }
  bool ok() const { return file_ >= 0; }

  std::optional<Dataset> Read(const char* name) const {
    const hid_t set = H5Dopen2(file_, name, H5P_DEFAULT);
    if (set < 0) return std::nullopt;
    const hid_t space = H5Dget_space(set);
    Dataset d;
    d.dims.resize(H5Sget_simple_extent_ndims(space));
    H5Sget_simple_extent_dims(space, d.dims.data(), nullptr);
    size_t n = 1;
    for (hsize_t k : d.dims) n *= k;
    d.values.resize(n);
    const bool read = n == 0 || H5Dread(set, H5T_NATIVE_DOUBLE, H5S_ALL, H5S_ALL, H5P_DEFAULT, d.values.data()) >= 0;
    H5Sclose(space);
    H5Dclose(set);
    if (!read) return std::nullopt;
    return d;
  }
  bool HasAttribute(const char* name) const { return H5Aexists(file_, name) > 0; }
  std::vector<double> Numbers(const char* name) const {
    const hid_t a = H5Aopen(file_, name, H5P_DEFAULT);
    const hid_t space = H5Aget_space(a);
    std::vector<double> v(H5Sget_simple_extent_npoints(space));
    if (!v.empty()) H5Aread(a, H5T_NATIVE_DOUBLE, v.data());
    H5Sclose(space);
    H5Aclose(a);
    return v;
  }
  std::string Text(const char* name) const {
    const hid_t a = H5Aopen(file_, name, H5P_DEFAULT);
    const hid_t type = H5Aget_type(a);
    char* chars = nullptr;
    std::string text;
    if (H5Tis_variable_str(type) > 0 && H5Aread(a, type, &chars) >= 0 && chars) {
      text = chars;
      H5free_memory(chars);
    }
    H5Tclose(type);
    H5Aclose(a);
    return text;
  }

 private:
  hid_t file_ = -1;
};

using test::Keys;

std::string RunWith(const std::vector<std::string>& args) {
  RunnerOptions o;
  std::string error;
  EXPECT_TRUE(ParseRunnerArgs(args, o, error)) << error;
  std::ostringstream out, err;
  EXPECT_EQ(RunHeadless(o, out, err), 0);
  EXPECT_EQ(err.str(), "");
  return out.str();
}

std::vector<std::vector<double>> CsvRows(const std::string& path) {
  std::ifstream in(path);
  std::vector<std::vector<double>> rows;
  std::string line;
  std::getline(in, line);  // the header
  while (std::getline(in, line)) {
    std::vector<double> row;
    std::istringstream fields(line);
    for (std::string f; std::getline(fields, f, ',');) row.push_back(std::stod(f));
    rows.push_back(row);
  }
  return rows;
}

// A log record's six fields: "%15.10f" with a decimal comma, each followed by "; ".
std::vector<double> LogFields(std::string line) {
  std::vector<double> v;
  for (size_t at = 0; at + 17 <= line.size(); at += 17) {
    std::string field = line.substr(at, 15);
    field[field.find(',')] = '.';
    v.push_back(std::stod(field));
  }
  return v;
}

std::string Temp(const std::string& name) { return ::testing::TempDir() + name; }

// --- The points of a record ----------------------------------------------------------------

TEST(RecordPoints, CoverTheRangeWithTheStrideAndStayWithinTheRun) {
  const double dx = 0.078125;  // L = 10, N = 256
  RecordPoints p;
  std::string why;
  ASSERT_TRUE(ChooseRecordPoints(-10, 10, 1, dx, ComputedHalfReach(false), p, why)) << why;
  EXPECT_EQ(p.first, -128);  // both ends of [-L, L] are grid points
  EXPECT_EQ(p.count, 257);
  ASSERT_TRUE(ChooseRecordPoints(-3, 5, 3, dx, ComputedHalfReach(false), p, why)) << why;
  EXPECT_EQ(p.first, -38);   // the first point at or right of -3
  EXPECT_EQ(p.count, 35);    // -38, -35, ..., 64 = 5 / dx
  EXPECT_FALSE(ChooseRecordPoints(-81, 0, 1, dx, ComputedHalfReach(false), p, why));
  EXPECT_NE(why.find("beyond"), std::string::npos);
  EXPECT_TRUE(ChooseRecordPoints(-81, 0, 1, dx, ComputedHalfReach(true), p, why));
  EXPECT_FALSE(ChooseRecordPoints(0.01, 0.05, 1, dx, ComputedHalfReach(false), p, why));
  EXPECT_FALSE(ChooseRecordPoints(-1, 1, 0, dx, ComputedHalfReach(false), p, why));
}

// --- The record of a run --------------------------------------------------------------------

TEST(RunRecord, HoldsTheRunAsTheDumpAndTheLogHaveIt) {
  const std::string record = Temp("record_dump.h5"), dump = Temp("record_dump.csv"), log = Temp("record_log");
  const auto keys = Keys(RunWith({"--N", "256", "--kink", "-3:0.3", "--kink", "3:-0.3", "--mark", "-6:0", "--mark", "0:6",
                              "--t", "4", "--log", log, "--log-period", "1", "--dump", dump, "--h5", record,
                              "--h5-every", "1", "--h5-range", "-3:5", "--h5-stride", "3"}));
  RecordFile f(record);
  ASSERT_TRUE(f.ok());
  const long steps = std::stol(keys.at("steps"));
  const auto t = f.Read("t"), x = f.Read("x"), u = f.Read("u"), r = f.Read("r"), energy = f.Read("energy"),
             marks = f.Read("marks");
  ASSERT_TRUE(t && x && u && r && energy && marks);
  // A row at t = 0 and one after every step; the last is the run's end, bit for bit.
  ASSERT_EQ(t->dims, (std::vector<hsize_t>{hsize_t(steps) + 1}));
  EXPECT_EQ(t->values.front(), 0.0);
  EXPECT_EQ(t->values.back(), std::stod(keys.at("t")));
  EXPECT_EQ(energy->values.back(), std::stod(keys.at("E")));
  EXPECT_EQ(energy->values.front(), std::stod(keys.at("E0")));
  ASSERT_EQ(x->dims, (std::vector<hsize_t>{35}));
  ASSERT_EQ(u->dims, (std::vector<hsize_t>{hsize_t(steps) + 1, 35}));
  ASSERT_EQ(r->dims, u->dims);
  const auto dumped = CsvRows(dump);
  ASSERT_EQ(dumped.size(), 2049u);  // i = -1024 .. 1024
  for (size_t k = 0; k < 35; ++k) {
    const std::vector<double>& row = dumped[1024 - 38 + 3 * k];
    EXPECT_EQ(x->values[k], row[0]) << k;
    EXPECT_EQ(u->At(steps, k), row[1]) << k;
    EXPECT_EQ(r->At(steps, k), row[2]) << k;
  }
  // The marks' six values after every step are the log's (written with ten decimals).
  ASSERT_EQ(marks->dims, (std::vector<hsize_t>{hsize_t(steps) + 1, 2, 6}));
  std::ifstream logFile(log + ".txt");
  std::vector<std::string> lines;
  for (std::string line; std::getline(logFile, line);) lines.push_back(line);
  ASSERT_EQ(lines.size(), 2 + 2 * size_t(steps));
  for (long step = 1; step <= steps; ++step)
    for (int m = 0; m < 2; ++m) {
      const std::vector<double> logged = LogFields(lines[2 + 2 * (step - 1) + m]);
      ASSERT_EQ(logged.size(), 6u);
      for (int v = 0; v < 6; ++v) EXPECT_NEAR(marks->values[(step * 2 + m) * 6 + v], logged[v], 6e-11) << step;
    }
  // The first row's marks are those the first step finds: on the kinks, at t = 0.
  EXPECT_EQ(marks->values[0], 0.0);
  EXPECT_NEAR(marks->values[1], -3.0, 0.1);
  EXPECT_NEAR(marks->values[6 + 1], 3.0, 0.1);

  EXPECT_EQ(f.Numbers("kind"), std::vector<double>{1});
  EXPECT_EQ(f.Numbers("N"), std::vector<double>{256});
  EXPECT_EQ(f.Numbers("dx"), (std::vector<double>{std::stod(keys.at("dx"))}));
  EXPECT_EQ(f.Numbers("dt"), (std::vector<double>{std::stod(keys.at("dt"))}));
  EXPECT_EQ(f.Numbers("kinks"), (std::vector<double>{-3, 0.3, 3, -0.3}));
  EXPECT_FALSE(f.HasAttribute("rotator"));
  EXPECT_EQ(f.Text("precision"), "extended");
  EXPECT_EQ(f.Text("program"), ProgramNameAndVersion());
  EXPECT_EQ(f.Text("command").rfind("kinklab-run --N 256 --kink -3:0.3", 0), 0u) << f.Text("command");
  EXPECT_TRUE(test::TemporariesOf(record).empty());
  for (const std::string& file : {record, dump, log + ".txt"}) std::remove(file.c_str());
}

TEST(RunRecord, PointsTheRunHasNotReachedHoldTheirVacuum) {
  const std::string record = Temp("record_vacuum.h5");
  // Into the second phase; its range at t = 80 is about +-92, the record's +-200.
  RunWith({"--N", "256", "--kink", "0:0.2", "--rotator", "0.5,0.2,0.1,0.3,2", "--t", "80", "--precision", "double",
       "--h5", record, "--h5-range", "-200:200", "--h5-stride", "640", "--h5-every", "100"});  // 50 / dx
  RecordFile f(record);
  ASSERT_TRUE(f.ok());
  const auto x = f.Read("x"), u = f.Read("u"), r = f.Read("r");
  ASSERT_TRUE(x && u && r);
  EXPECT_EQ(x->values, (std::vector<double>{-200, -150, -100, -50, 0, 50, 100, 150, 200}));
  ASSERT_GE(u->dims[0], 10u);
  for (size_t row = 0; row < u->dims[0]; ++row) {
    for (size_t k : {0, 1, 2}) {
      EXPECT_EQ(u->At(row, k), -1.0) << row;
      EXPECT_EQ(r->At(row, k), 0.0) << row;
    }
    for (size_t k : {6, 7, 8}) {
      EXPECT_EQ(u->At(row, k), 1.0) << row;  // a single kink: +1 on the right
      EXPECT_EQ(r->At(row, k), 0.0) << row;
    }
  }
  EXPECT_EQ(u->At(0, 3), -1.0);  // beyond the initial interval at t = 0
  EXPECT_EQ(f.Numbers("rotator"), (std::vector<double>{0.5, 0.2, 0.1, 0.3, 2}));
  EXPECT_EQ(f.Read("marks"), std::nullopt);  // no marks, no dataset
  std::remove(record.c_str());
}

// --- The movie ------------------------------------------------------------------------------

TEST(RunMovie, HasTheFramesAndTheSizeTheOptionsAskForAndShowsBothStrips) {
  const std::string movie = Temp("record_movie.gif");
  const auto keys = Keys(RunWith({"--N", "256", "--kink", "0:0.3", "--mark", "-2:2", "--t", "3", "--movie", movie,
                              "--movie-every", "7", "--movie-size", "320x200"}));
  const long frames = std::stol(keys.at("steps")) / 7 + 1;  // t = 0 and every seventh step
  int code = 0;
  GifFileType* gif = DGifOpenFileName(movie.c_str(), &code);
  ASSERT_NE(gif, nullptr) << GifErrorString(code);
  ASSERT_EQ(DGifSlurp(gif), GIF_OK);
  EXPECT_EQ(gif->SWidth, 320);
  EXPECT_EQ(gif->SHeight, 200);
  EXPECT_EQ(gif->ImageCount, frames);
  GraphicsControlBlock control{};
  ASSERT_EQ(DGifSavedExtensionToGCB(gif, 0, &control), GIF_OK);
  EXPECT_EQ(control.DelayTime, GifDelayFor(frames, kMovieSeconds));
  // The last frame: the profile's blue dots above the middle, the density's red ones below.
  const SavedImage& last = gif->SavedImages[gif->ImageCount - 1];
  ASSERT_EQ(last.ImageDesc.Width, 320);
  const ColorMapObject* map = gif->SColorMap;
  int blueAbove = 0, redBelow = 0, wrongSide = 0;
  for (int y = 0; y < 200; ++y)
    for (int x = 0; x < 320; ++x) {
      const GifColorType c = map->Colors[last.RasterBits[y * 320 + x]];
      const bool blue = c.Red == 0 && c.Green == 0 && c.Blue == 255, red = c.Red == 255 && c.Green == 0 && c.Blue == 0;
      blueAbove += blue && y < 100;
      redBelow += red && y >= 100;
      wrongSide += (blue && y >= 100) || (red && y < 100);
    }
  EXPECT_GT(blueAbove, 100);
  EXPECT_GT(redBelow, 100);
  EXPECT_LT(wrongSide, 60);  // only the labels' letters
  DGifCloseFile(gif, &code);
  std::remove(movie.c_str());
}

// --- The program: a stop by a signal, and the example script -------------------------------

TEST(RunnerProgram, ARecordStoppedBySigtermHoldsTheRowsUpToTheStop) {
  const char* runner = std::getenv("KINKLAB_RUNNER");
  if (!runner) GTEST_SKIP() << "KINKLAB_RUNNER is not set";
  const std::string record = Temp("record_stopped.h5");
  std::remove(record.c_str());
  std::vector<std::string> args = {runner, "--N", "1024", "--kink", "-4:0.1", "--kink", "4:-0.1", "--t", "5000",
                                   "--h5", record, "--h5-every", "5"};
  std::vector<char*> argv;
  for (std::string& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  ASSERT_EQ(posix_spawn(&pid, runner, &actions, nullptr, argv.data(), environ), 0);
  posix_spawn_file_actions_destroy(&actions);
  // The record is created before the first step; give the run a moment to make rows.
  for (int k = 0; k < 500 && test::TemporariesOf(record).empty(); ++k)
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  kill(pid, SIGTERM);
  int status = 0;
  ASSERT_EQ(waitpid(pid, &status, 0), pid);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 128 + SIGTERM);
  EXPECT_TRUE(test::TemporariesOf(record).empty());

  RecordFile f(record);
  ASSERT_TRUE(f.ok());
  const auto t = f.Read("t"), u = f.Read("u"), energy = f.Read("energy");
  ASSERT_TRUE(t && u && energy);
  const size_t rows = t->dims[0];
  ASSERT_GE(rows, 3u);
  EXPECT_EQ(u->dims, (std::vector<hsize_t>{rows, 1025}));
  EXPECT_EQ(energy->dims[0], rows);
  // Every fifth step from t = 0 on, with nothing missing, and the stop long before the end.
  const double dt = f.Numbers("dt").at(0);
  for (size_t k = 0; k < rows; ++k) EXPECT_NEAR(t->values[k], 5.0 * dt * k, 1e-9 * (1 + k)) << k;
  EXPECT_LT(t->values.back(), 100000);
  std::remove(record.c_str());
}

TEST(RecordExample, TheBoundPairScriptFindsTheFrequencyTheRecordsCentreOscillatesWith) {
  if (std::system("/usr/bin/python3 -c 'import h5py, numpy, matplotlib' >/dev/null 2>&1") != 0)
    GTEST_SKIP() << "/usr/bin/python3 lacks h5py, numpy or matplotlib (scripts/setup.sh installs them)";
  const std::string record = Temp("record_pair.h5"), picture = Temp("record_pair.png");
  // A kink and an antikink at +-4 meeting at 0.1: too slow to pass through, they stay bound.
  RunWith({"--N", "256", "--kink", "-4:0.1", "--kink", "4:-0.1", "--t", "150", "--precision", "double", "--h5", record});
  const std::string script = std::string(KINKLAB_DATA_DIR) + "/../docs/examples/bound_pair.py";
  FILE* pipe = popen(("/usr/bin/python3 " + script + " " + record + " --png " + picture + " 2>&1").c_str(), "r");
  ASSERT_NE(pipe, nullptr);
  std::string output;
  char buf[512];
  for (size_t n; (n = fread(buf, 1, sizeof buf, pipe)) > 0;) output.append(buf, n);
  ASSERT_EQ(pclose(pipe), 0) << output;
  const auto printed = Keys(output);
  ASSERT_TRUE(printed.count("frequency")) << output;
  const double frequency = std::stod(printed.at("frequency"));

  // Counted here: the rising crossings of u(0, t) through its mean over the script's part,
  // the second half of the record.
  RecordFile f(record);
  const auto t = f.Read("t"), x = f.Read("x"), u = f.Read("u");
  ASSERT_TRUE(t && x && u);
  size_t centre = 0;
  while (x->values[centre] < 0) ++centre;
  ASSERT_EQ(x->values[centre], 0.0);
  const double start = 0.5 * t->values.back();
  std::vector<double> times, values;
  for (size_t k = 0; k < t->dims[0]; ++k)
    if (t->values[k] >= start) {
      times.push_back(t->values[k]);
      values.push_back(u->At(k, centre));
    }
  double mean = 0;
  for (double v : values) mean += v / values.size();
  std::vector<double> rising;
  for (size_t k = 1; k < values.size(); ++k)
    if (values[k - 1] < mean && values[k] >= mean)
      rising.push_back(times[k - 1] + (times[k] - times[k - 1]) * (mean - values[k - 1]) / (values[k] - values[k - 1]));
  ASSERT_GE(rising.size(), 5u);
  const double counted = (rising.size() - 1) / (rising.back() - rising.front());
  EXPECT_NEAR(frequency, counted, 0.04 * counted) << output;
  EXPECT_GT(std::filesystem::file_size(picture), 10000u);
  std::remove(record.c_str());
  std::remove(picture.c_str());
}

}  // namespace
}  // namespace kl
