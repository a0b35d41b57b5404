// The vectorised double loop compiled for AVX2, chosen at run time on processors that have it
// (DoubleGroupsForThisCpu). Only this file's own functions are compiled for AVX2: the target
// is switched on after the includes, and everything below has internal linkage except the
// loop itself, so no AVX2 copy of a shared inline function can reach other code.
#include <immintrin.h>

#include "engine/step_kernel.h"

// The library's header declares its AVX routines only when the whole file is compiled for
// AVX; this is its declaration of the one routine used here.
#ifndef Sleef___m256d_2_DEFINED
typedef struct {
  __m256d x, y;
} Sleef___m256d_2;
#define Sleef___m256d_2_DEFINED
#endif
extern "C" Sleef___m256d_2 Sleef_cinz_sincosd4_u35avx(__m256d);

#pragma GCC push_options
#pragma GCC target("avx2")

namespace kl {
namespace {

#include "engine/double_groups_body.h"

void SinCos4(V4 z, V4& sn, V4& cs) {
  const Sleef___m256d_2 r = Sleef_cinz_sincosd4_u35avx(reinterpret_cast<__m256d&>(z));
  sn = reinterpret_cast<const V4&>(r.x);
  cs = reinterpret_cast<const V4&>(r.y);
}

}  // namespace

void UpdateDoubleGroupsAvx2(const StepConstants<double>& K, const DoubleGroups& g,
                            double lanes[kEnergyLanes], double& densityMax) {
  UpdateGroups(K, g, lanes, densityMax);
}

void UpdateDoubleValuesAvx2(const StepConstants<double>& K, const DoubleValueGroups& g) { UpdateValueGroups(K, g); }

}  // namespace kl

#pragma GCC pop_options
