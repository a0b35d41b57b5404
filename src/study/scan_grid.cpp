#include "study/scan_grid.h"

#include <cmath>

#include "study/refine.h"

namespace kl {

double VelocityCount(double v0, double v1, double dv) { return std::floor((v1 - v0) / dv + 1e-9) + 1; }

std::vector<double> ScanVelocities(double v0, double v1, double dv) {
  std::vector<double> velocities;
  if (!(dv > 0) || v1 < v0) return velocities;
  const long count = static_cast<long>(VelocityCount(v0, v1, dv));
  for (long i = 0; i < count; ++i)
    velocities.push_back(RoundToScanDigits(static_cast<long double>(v0) + static_cast<long double>(i) * dv));
  return velocities;
}

std::vector<size_t> PartIndices(size_t count, int part, int parts) {
  std::vector<size_t> indices;
  if (part < 1 || parts < part) return indices;
  for (size_t i = static_cast<size_t>(part - 1); i < count; i += static_cast<size_t>(parts)) indices.push_back(i);
  return indices;
}

}  // namespace kl
