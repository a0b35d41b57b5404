#include "records/setup_file.h"

#include <algorithm>
#include <bit>
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <limits>
#include <vector>

#include "base/replace_file.h"
#include "interaction/colour_scale.h"

namespace kl {

namespace {

static_assert(sizeof(double) == 8 && std::numeric_limits<double>::is_iec559);

constexpr int kHeadValues = 8;   // L, the six scale bounds, n
constexpr int kTailValues = 14;  // the method .. the log period
static_assert(8 * (kHeadValues + kTailValues) == kSetupBytesNoKinks);

// Names of the values for the user, before and after the kink pairs.
constexpr const char* kHeadNames[kHeadValues] = {
    "the half-length L", "the potential picture's U bound", "the potential picture's lower bound",
    "the potential picture's upper bound", "the phase picture's U bound", "the phase picture's U' bound",
    "the profile picture's U bound", "the kink count"};
constexpr const char* kTailNames[kTailValues] = {
    "the method", "kF_Re", "kF_Im", "kD", "kAd", "wAd", "qR", "qL", "the colour count", "ModulationK",
    "the grid index", "the potential kind", "the constant 1025", "the log period"};

void PutDouble(std::string& out, double v) {
  const auto bits = std::bit_cast<std::uint64_t>(v);
  for (int b = 0; b < 8; ++b) out.push_back(static_cast<char>((bits >> (8 * b)) & 0xFF));
}

double GetDouble(std::string_view bytes, std::size_t index) {
  std::uint64_t bits = 0;
  for (int b = 7; b >= 0; --b) bits = (bits << 8) | static_cast<unsigned char>(bytes[8 * index + b]);
  return std::bit_cast<double>(bits);
}

std::string Shown(double v) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%g", v);
  return buf;
}

// Name of value k (0-based) of a file with n kinks, for the user.
std::string ValueName(int k, int n) {
  if (k < kHeadValues) return kHeadNames[k];
  if (k < kHeadValues + 2 * n) {
    const int kink = (k - kHeadValues) / 2 + 1;
    return ((k - kHeadValues) % 2 == 0 ? "the displacement of kink " : "the velocity of kink ") +
           std::to_string(kink);
  }
  return kTailNames[k - kHeadValues - 2 * n];
}

// Rounds v to the nearest integer (halves to even) into `whole` when that lies in lo .. hi.
bool RoundsInto(double v, double lo, double hi, int& whole) {
  const double r = std::nearbyint(v);
  if (!(r >= lo && r <= hi)) return false;
  whole = static_cast<int>(r);
  return true;
}

}  // namespace

std::string EncodeSetup(const SetupData& s) {
  const int n = std::clamp(s.SolitonCount, 0, kMaxSolitons);
  std::string out;
  out.reserve(kSetupBytesNoKinks + n * kSetupBytesPerKink);
  for (double v : {s.HalfInterval, s.PotXMax, s.PotYMin, s.PotYMax, s.PhasXMax, s.PhasYMax, s.OduYMax,
                   static_cast<double>(n)})
    PutDouble(out, v);
  for (int i = 0; i < n; ++i) {
    PutDouble(out, s.Kinks[i].Displacement);
    PutDouble(out, s.Kinks[i].Velocity);
  }
  for (double v : {static_cast<double>(s.InitMethod), s.kF_Re, s.kF_Im, s.kD, s.kAd, s.wAd, s.qR, s.qL,
                   static_cast<double>(s.ColorCount), s.ModulationK, static_cast<double>(s.GridIndex),
                   static_cast<double>(s.PotentialKind), s.Marker, static_cast<double>(s.LogPeriod)})
    PutDouble(out, v);
  return out;
}

bool DecodeSetup(std::string_view bytes, SetupData& out, std::string& reason) {
  auto refuse = [&](const std::string& why) {
    reason = why;
    return false;
  };
  const std::size_t size = bytes.size();
  if (size < kSetupBytesNoKinks)
    return refuse("the file holds " + std::to_string(size) + " bytes, fewer than the " +
                  std::to_string(kSetupBytesNoKinks) + " of a setup without kinks");
  if (size > kSetupBytesMax)
    return refuse("the file holds more than " + std::to_string(kSetupBytesMax) +
                  " bytes, the size of a setup with nine kinks");
  const double count = GetDouble(bytes, kHeadValues - 1);
  int n = 0;
  if (!std::isfinite(count)) return refuse("the kink count is not a finite number");
  if (!RoundsInto(count, 0, kMaxSolitons, n)) return refuse("the kink count " + Shown(count) + " is outside 0 .. 9");
  const std::size_t expected = kSetupBytesNoKinks + n * kSetupBytesPerKink;
  if (size != expected)
    return refuse("the file holds " + std::to_string(size) + " bytes, but a setup with " + std::to_string(n) +
                  (n == 1 ? " kink" : " kinks") + " takes " + std::to_string(expected));

  // Every value is checked before any of them is used.
  std::vector<double> v(kHeadValues + 2 * n + kTailValues);
  for (int k = 0; k < static_cast<int>(v.size()); ++k) {
    v[k] = GetDouble(bytes, k);
    if (!std::isfinite(v[k]))
      return refuse("value " + std::to_string(k + 1) + " (" + ValueName(k, n) + ") is not a finite number");
  }
  const double* tail = v.data() + kHeadValues + 2 * n;
  if (!(v[0] > 0)) return refuse("the half-length L = " + Shown(v[0]) + " is not positive");
  if (!IsUsableHalfInterval(v[0]))
    return refuse("the half-length L = " + Shown(v[0]) + " does not lie " + kHalfIntervalRange);
  for (int i = 1; i <= n; ++i) {
    const double velocity = v[kHeadValues + 2 * i - 1];
    if (!(std::fabs(velocity) < 1))
      return refuse("kink " + std::to_string(i) + " has the velocity " + Shown(velocity) +
                    ", not strictly between -1 and 1");
  }
  int method = 0, colours = 0, grid = 0, kind = 0, period = 0;
  if (!RoundsInto(tail[0], 0, 1, method))
    return refuse("the method " + Shown(tail[0]) + " is neither 0 (kinks-antikinks) nor 1 (kinks + rotator)");
  if (!RoundsInto(tail[10], 0, 2, grid))
    return refuse("the grid index " + Shown(tail[10]) + " is not 0, 1 or 2 (N = 1024, 512 or 256)");
  // The colour count is taken as the colour list takes any count: 16 .. 207 keep their value
  // (and select the next lower listed count); anything else becomes 16, so does the 208 of
  // a setup saved while the list had no selection.
  if (!RoundsInto(tail[8], kMinColourCount, kMaxColourCount + 7, colours)) colours = kMinColourCount;
  if (!RoundsInto(tail[11], kMinKind, kMaxKind, kind))
    return refuse("the potential kind " + Shown(tail[11]) + " is not one of 1, 2, 3, 4");
  if (!RoundsInto(tail[13], std::numeric_limits<int>::min(), std::numeric_limits<int>::max(), period))
    return refuse("the log period " + Shown(tail[13]) + " is out of range");

  SetupData s;
  s.HalfInterval = v[0];
  s.PotXMax = v[1];
  s.PotYMin = v[2];
  s.PotYMax = v[3];
  s.PhasXMax = v[4];
  s.PhasYMax = v[5];
  s.OduYMax = v[6];
  s.SolitonCount = n;
  for (int i = 0; i < n; ++i) s.Kinks[i] = {v[kHeadValues + 2 * i], v[kHeadValues + 2 * i + 1]};
  s.InitMethod = method;
  s.kF_Re = tail[1];
  s.kF_Im = tail[2];
  s.kD = tail[3];
  s.kAd = tail[4];
  s.wAd = tail[5];
  s.qR = tail[6];
  s.qL = tail[7];
  s.ColorCount = colours;
  s.ModulationK = tail[9];
  s.GridIndex = grid;
  s.PotentialKind = kind;
  s.Marker = tail[12];
  s.LogPeriod = period;
  out = s;
  return true;
}

bool SaveSetupFile(const std::string& path, const SetupData& setup, std::string& error) {
  // A file that would be refused when loaded is not written (L typed as 0, for one).
  const std::string bytes = EncodeSetup(setup);
  SetupData check;
  std::string reason;
  if (!DecodeSetup(bytes, check, reason)) {
    error = "cannot write " + path + ": " + reason;
    return false;
  }
  return WriteFileReplacing(path, bytes, error);
}

bool LoadSetupFile(const std::string& path, SetupData& out, std::string& error) {
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (!f) {
    error = "cannot load " + path + ": " + std::strerror(errno);
    return false;
  }
  // One byte more than the largest setup is enough to refuse a longer file unread.
  std::string bytes(kSetupBytesMax + 1, '\0');
  errno = 0;
  bytes.resize(std::fread(bytes.data(), 1, bytes.size(), f));
  const bool failed = std::ferror(f) != 0;
  const int err = errno;
  std::fclose(f);
  if (failed) {
    error = "cannot load " + path + ": " + std::strerror(err != 0 ? err : EIO);
    return false;
  }
  std::string reason;
  if (!DecodeSetup(bytes, out, reason)) {
    error = "cannot load " + path + ": " + reason;
    return false;
  }
  return true;
}

}  // namespace kl
