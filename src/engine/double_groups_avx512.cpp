// The vectorised double loops compiled for AVX-512, eight points a vector, chosen at run time
// on processors that have it (DoubleGroupsForThisCpu). As in the AVX2 unit, the target is
// switched on after the includes and everything below has internal linkage except the loops.
#include <immintrin.h>

#include "engine/step_kernel.h"

// The library's header declares its AVX and AVX-512 routines only when the whole file is
// compiled for them; these are its declarations of the two used here. Its "nofma" AVX-512 form
// of the deterministic routine gives the bits of every other form.
#ifndef Sleef___m256d_2_DEFINED
typedef struct {
  __m256d x, y;
} Sleef___m256d_2;
#define Sleef___m256d_2_DEFINED
#endif
#ifndef Sleef___m512d_2_DEFINED
typedef struct {
  __m512d x, y;
} Sleef___m512d_2;
#define Sleef___m512d_2_DEFINED
#endif
extern "C" Sleef___m256d_2 Sleef_cinz_sincosd4_u35avx(__m256d);
extern "C" Sleef___m512d_2 Sleef_cinz_sincosd8_u35avx512fnofma(__m512d);

#pragma GCC push_options
#pragma GCC target("avx512f")

namespace kl {
namespace {

typedef double V8 __attribute__((vector_size(64)));
typedef long long M8 __attribute__((vector_size(64)));

void SinCosOf(V8 z, V8& sn, V8& cs) {
  const Sleef___m512d_2 r = Sleef_cinz_sincosd8_u35avx512fnofma(reinterpret_cast<__m512d&>(z));
  sn = reinterpret_cast<const V8&>(r.x);
  cs = reinterpret_cast<const V8&>(r.y);
}

#include "engine/double_groups_body.h"

void SinCos4(V4 z, V4& sn, V4& cs) {
  const Sleef___m256d_2 r = Sleef_cinz_sincosd4_u35avx(reinterpret_cast<__m256d&>(z));
  sn = reinterpret_cast<const V4&>(r.x);
  cs = reinterpret_cast<const V4&>(r.y);
}

}  // namespace

void UpdateDoubleGroupsAvx512(const StepConstants<double>& K, const DoubleGroups& g,
                              double lanes[kEnergyLanes], double& densityMax) {
  UpdateGroupsOf<V8, M8>(K, g, lanes, densityMax);
}

void UpdateDoubleValuesAvx512(const StepConstants<double>& K, const DoubleValueGroups& g) {
  UpdateValueGroupsOf<V8, M8>(K, g);
}

}  // namespace kl

#pragma GCC pop_options
