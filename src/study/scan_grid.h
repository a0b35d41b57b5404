#pragma once
// The velocities of a scan's grid and the interleaved shares of a split scan.
#include <cstddef>
#include <vector>

namespace kl {

// How many velocities V0, V0 + DV, ... lie in [V0, V1], allowing for the rounding of DV.
double VelocityCount(double v0, double v1, double dv);
// v_i = V0 + i DV (i = 0, 1, ... while v_i <= V1 up to a rounding slack), each rounded to 12
// significant digits, which is the velocity run and written.
std::vector<double> ScanVelocities(double v0, double v1, double dv);
// The indices of the part-th (1-based) of `parts` interleaved shares of `count` velocities.
std::vector<size_t> PartIndices(size_t count, int part, int parts);

}  // namespace kl
