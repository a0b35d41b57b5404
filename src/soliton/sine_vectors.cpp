#include "soliton/sine_vectors.h"

#include <emmintrin.h>
#include <immintrin.h>
#include <sleef.h>

// The library's header declares its AVX routines only when the whole file is compiled for AVX;
// these are its declarations of the two used here.
extern "C" __attribute__((target("avx"))) __m256d Sleef_cinz_sind4_u35avx(__m256d);
extern "C" __attribute__((target("avx"))) __m256d Sleef_cinz_cosd4_u35avx(__m256d);
extern "C" __attribute__((target("avx512f"))) __m512d Sleef_cinz_sind8_u35avx512fnofma(__m512d);
extern "C" __attribute__((target("avx512f"))) __m512d Sleef_cinz_cosd8_u35avx512fnofma(__m512d);

namespace kl {

namespace {

bool HasAvx512() {
#if defined(__GNUC__) && defined(__x86_64__)
  static const bool has = __builtin_cpu_supports("avx512f");
  return has;
#else
  return false;
#endif
}

bool HasAvx() {
#if defined(__GNUC__) && defined(__x86_64__)
  static const bool has = __builtin_cpu_supports("avx");
  return has;
#else
  return false;
#endif
}

__attribute__((target("avx512f"))) int SinAvx512(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) _mm512_storeu_pd(out + i, Sleef_cinz_sind8_u35avx512fnofma(_mm512_loadu_pd(x + i)));
  return i;
}
__attribute__((target("avx512f"))) int CosAvx512(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 8 <= n; i += 8) _mm512_storeu_pd(out + i, Sleef_cinz_cosd8_u35avx512fnofma(_mm512_loadu_pd(x + i)));
  return i;
}

__attribute__((target("avx"))) int SinAvx(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(out + i, Sleef_cinz_sind4_u35avx(_mm256_loadu_pd(x + i)));
  return i;
}
__attribute__((target("avx"))) int CosAvx(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 4 <= n; i += 4) _mm256_storeu_pd(out + i, Sleef_cinz_cosd4_u35avx(_mm256_loadu_pd(x + i)));
  return i;
}

int SinSse2(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(out + i, Sleef_cinz_sind2_u35sse2(_mm_loadu_pd(x + i)));
  return i;
}
int CosSse2(const double* x, double* out, int n) {
  int i = 0;
  for (; i + 2 <= n; i += 2) _mm_storeu_pd(out + i, Sleef_cinz_cosd2_u35sse2(_mm_loadu_pd(x + i)));
  return i;
}

}  // namespace

double SinOne(double x) { return Sleef_cinz_sind1_u35purec(x); }
double CosOne(double x) { return Sleef_cinz_cosd1_u35purec(x); }

void SinArray(const double* x, double* out, int n) {
  int i = HasAvx512() ? SinAvx512(x, out, n) : 0;
  i += HasAvx() ? SinAvx(x + i, out + i, n - i) : SinSse2(x + i, out + i, n - i);
  for (; i < n; ++i) out[i] = SinOne(x[i]);
}

void CosArray(const double* x, double* out, int n) {
  int i = HasAvx512() ? CosAvx512(x, out, n) : 0;
  i += HasAvx() ? CosAvx(x + i, out + i, n - i) : CosSse2(x + i, out + i, n - i);
  for (; i < n; ++i) out[i] = CosOne(x[i]);
}

}  // namespace kl
