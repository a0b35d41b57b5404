#pragma once
// Setup files (.kq1): one initial-condition setup with the settings that belong to it, as a
// headerless run of little-endian IEEE doubles, 22 + 2n of them for n kinks. Counts, indices
// and selectors are stored as doubles too and rounded (halves to even) on reading.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>

#include "initial/composer.h"

namespace kl {

inline constexpr std::size_t kSetupBytesNoKinks = 176;  // 22 doubles
inline constexpr std::size_t kSetupBytesPerKink = 16;   // displacement, velocity
inline constexpr std::size_t kSetupBytesMax = kSetupBytesNoKinks + kMaxSolitons * kSetupBytesPerKink;
inline constexpr double kSetupMarker = 1025.0;          // written by every save, never used

struct SetupKink {
  double Displacement = 0.0;
  double Velocity = 0.0;
};

// Every value of the file, in the file's order (value numbers for n kinks in the comments).
struct SetupData {
  double HalfInterval = 0.0;  // 1: L
  double PotXMax = 0.0;       // 2: the potential picture's U range is [-PotXMax, PotXMax]
  double PotYMin = 0.0;       // 3
  double PotYMax = 0.0;       // 4
  double PhasXMax = 0.0;      // 5: the phase picture is [-PhasXMax, PhasXMax] x
  double PhasYMax = 0.0;      // 6:   [-PhasYMax, PhasYMax]
  double OduYMax = 0.0;       // 7: upper U bound of the profile picture
  int SolitonCount = 0;       // 8: n, 0 .. 9
  std::array<SetupKink, kMaxSolitons> Kinks{};  // 9 .. 8+2n, the first n in list order
  int InitMethod = 0;         // 9+2n: 0 kinks-antikinks, 1 kinks + rotator
  double kF_Re = 0.0;         // 10+2n
  double kF_Im = 0.0;         // 11+2n
  double kD = 0.0;            // 12+2n
  double kAd = 0.0;           // 13+2n
  double wAd = 0.0;           // 14+2n
  double qR = 0.0;            // 15+2n
  double qL = 0.0;            // 16+2n
  int ColorCount = 16;        // 17+2n: 16 .. 207 (the list shows 16, 24, .., 200)
  double ModulationK = 0.0;   // 18+2n: kept for the record; it always follows from the kind
  int GridIndex = 2;          // 19+2n: 0, 1, 2 for N = 1024, 512, 256
  int PotentialKind = 1;      // 20+2n: 1 .. 4
  double Marker = kSetupMarker;  // 21+2n
  int LogPeriod = 0;          // 22+2n
};

// The file's bytes; SolitonCount is taken clamped to 0 .. 9.
std::string EncodeSetup(const SetupData& setup);

// Checks the whole of `bytes` before anything is used. On success fills `out`; otherwise
// leaves `out` untouched and sets `reason` to a sentence for the user. Refused: a size that
// is not 176 + 16 n bytes for the count n the file holds, n outside 0 .. 9, a value that is
// not a finite number, L not positive, a kink velocity outside (-1, 1), a method other than
// 0 or 1, a grid index other than 0 .. 2, a potential kind outside 1 .. 4 and a log period
// beyond the range of a 32-bit integer. A colour count is never refused: one outside
// 16 .. 207 is read as 16, as the colour list takes it.
bool DecodeSetup(std::string_view bytes, SetupData& out, std::string& reason);

// Writes the setup through a temporary file and a rename; `error` carries the system's text.
// A setup that the load would refuse is not written: `error` then gives the load's reason.
bool SaveSetupFile(const std::string& path, const SetupData& setup, std::string& error);
// Reads and decodes; on failure `out` is untouched and `error` is "cannot load PATH: reason".
bool LoadSetupFile(const std::string& path, SetupData& out, std::string& error);

}  // namespace kl
