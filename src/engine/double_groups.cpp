// The vectorised double loop for every x86-64 processor (SSE2), the scalar sine and cosine
// that the double kernel shares with it, and the choice of loop for this processor.
#include <sleef.h>

#include <algorithm>
#include <cstdlib>
#include <string>

#include "engine/step_kernel.h"

// Four doubles make two SSE2 registers here; they never cross a call boundary outside this
// file, so GCC's note that such vectors are passed differently without AVX does not apply.
#pragma GCC diagnostic ignored "-Wpsabi"

namespace kl {

// The deterministic ("cinz") routines of the vector math library give the same bits for the
// same argument in their scalar, SSE2 and AVX forms, so a point's result does not depend on
// which of them computed it.
void SinCosDouble(double z, double& sn, double& cs) {
  const Sleef_double_2 r = Sleef_cinz_sincosd1_u35purec(z);
  sn = r.x;
  cs = r.y;
}

namespace {

#include "engine/double_groups_body.h"

void SinCos4(V4 z, V4& sn, V4& cs) {
  __m128d lo, hi;
  __builtin_memcpy(&lo, &z, sizeof lo);
  __builtin_memcpy(&hi, reinterpret_cast<const char*>(&z) + sizeof lo, sizeof hi);
  const Sleef___m128d_2 a = Sleef_cinz_sincosd2_u35sse2(lo);
  const Sleef___m128d_2 b = Sleef_cinz_sincosd2_u35sse2(hi);
  __builtin_memcpy(&sn, &a.x, sizeof a.x);
  __builtin_memcpy(reinterpret_cast<char*>(&sn) + sizeof a.x, &b.x, sizeof b.x);
  __builtin_memcpy(&cs, &a.y, sizeof a.y);
  __builtin_memcpy(reinterpret_cast<char*>(&cs) + sizeof a.y, &b.y, sizeof b.y);
}

}  // namespace

void UpdateDoubleGroupsSse2(const StepConstants<double>& K, const DoubleGroups& g,
                            double lanes[kEnergyLanes], double& densityMax) {
  UpdateGroups(K, g, lanes, densityMax);
}

void UpdateDoubleValuesSse2(const StepConstants<double>& K, const DoubleValueGroups& g) { UpdateValueGroups(K, g); }

bool CpuHasAvx2() {
#if defined(__GNUC__) && defined(__x86_64__)
  // libgcc sets the flag only when the operating system also saves the AVX registers.
  return __builtin_cpu_supports("avx2");
#else
  return false;
#endif
}

bool CpuHasAvx512() {
#if defined(__GNUC__) && defined(__x86_64__)
  return __builtin_cpu_supports("avx512f");
#else
  return false;
#endif
}

namespace {

// 0: SSE2, 1: AVX2, 2: AVX-512, the widest this processor has and KINKLAB_VECTORS allows.
int VectorWidthForThisCpu() {
  int widest = CpuHasAvx512() ? 2 : CpuHasAvx2() ? 1 : 0;
  if (const char* asked = std::getenv("KINKLAB_VECTORS")) {
    const std::string name = asked;
    const int limit = name == "sse2" ? 0 : name == "avx2" ? 1 : 2;
    widest = std::min(widest, limit);
  }
  return widest;
}

int WidthFor(double k) {
  static const int widest = VectorWidthForThisCpu();
  return k == 0 ? std::min(widest, 1) : widest;
}

}  // namespace

DoubleGroupsLoop DoubleGroupsForThisCpu(double k) {
  static const DoubleGroupsLoop loops[] = {UpdateDoubleGroupsSse2, UpdateDoubleGroupsAvx2, UpdateDoubleGroupsAvx512};
  return loops[WidthFor(k)];
}

DoubleValuesLoop DoubleValuesForThisCpu(double k) {
  static const DoubleValuesLoop loops[] = {UpdateDoubleValuesSse2, UpdateDoubleValuesAvx2, UpdateDoubleValuesAvx512};
  return loops[WidthFor(k)];
}

}  // namespace kl
