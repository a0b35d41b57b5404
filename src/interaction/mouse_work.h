#pragma once
// Pointing into the solution tab's pictures: the probe of a pixel, its hint, and the marks.
#include <optional>
#include <string>

#include "app/program.h"

namespace kl {

// The world point of a pixel and whether it lies in the computed part of the picture.
struct Probe {
  double x = 0, t = 0;
  int k = 0, i = 0;  // History level and grid index when valid
  bool valid = false;
};
Probe ProbePoint(const SimState& sim, const PlotFrame& frame, int width, int height, int X, int Y);

// "x= ...; t= ...;  u= ...; r= ...;" for a valid probe, nothing for an invalid one.
std::optional<std::string> HintText(const SimState& sim, const Probe& probe);

// x of a column of the current-solution strip.
double StripX(const SimState& sim, int width, int X);

// "+1": opens a mark at x (false when nine marks exist); the release closes it at x.
bool OpenMark(Marks& marks, Microscopes& micro, double x);
void CloseMark(Marks& marks, Microscopes& micro, double x);
// "-1": removes the first mark that contains x, erasing its box in white; its slot number,
// or 0 when no mark contains x.
int RemoveMarkAt(const SimState& sim, Marks& marks, Canvas& currSol, double x);
// "-All": erases every mark's box and empties the list.
void RemoveAllMarks(const SimState& sim, Marks& marks, Canvas& currSol);

// The outline through (x1, y1), (x1, y2), (x2, y2), (x2, y1) back to (x1, y1); the pen is
// black again afterwards.
void OutlineRect(Canvas& canvas, const std::array<int, 4>& rect, Rgb colour);

// A drawn microscope, erased in silver and forgotten.
void DeleteMicroLine(std::array<int, 4>& line, Canvas& main);
void DeleteMicroRect(std::array<int, 4>& rect, Canvas& main);
inline constexpr Rgb kSilver{192, 192, 192};

}  // namespace kl
