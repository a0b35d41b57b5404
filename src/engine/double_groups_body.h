// The body of the vectorised double loop. Included, inside an anonymous namespace, by each
// translation unit that compiles it for one instruction set, after that unit has defined
//   void SinCos4(V4 z, V4& sn, V4& cs);
// with the library's deterministic sine and cosine. No include guard: each includer gets
// its own copy with internal linkage, so no AVX code can stand in for the SSE2 one.
//
// Every line follows UpdatePoint<double> (step_kernel.h) and the potential's WellW, WellDW
// and Modulation operation by operation: the same formulas in the same order, each rounded
// to double, and no contraction into fused multiply-adds (-ffp-contract=off).

typedef double V4 __attribute__((vector_size(32)));
typedef long long M4 __attribute__((vector_size(32)));

inline V4 Splat(double x) { return V4{x, x, x, x}; }

void SinCos4(V4 z, V4& sn, V4& cs);

inline void UpdateGroups(const StepConstants<double>& K, const DoubleGroups& g,
                         double lanes[kEnergyLanes], double& densityMax) {
  const V4 k = Splat(K.k);
  const V4 c2 = Splat(K.c2);
  const V4 dt2 = Splat(K.dt2);
  const V4 dt = Splat(K.dt);
  const V4 twoDx = Splat(K.twoDx);
  const V4 shift = Splat(static_cast<double>(0.3L));
  const V4 one = Splat(1.0);
  const V4 two = Splat(2.0);
  const V4 half = Splat(static_cast<double>(0.5L));
  const V4 quarter = Splat(static_cast<double>(0.25L));
  const V4 lift = Splat(static_cast<double>(1.5L));
  const V4 norm = Splat(static_cast<double>(2.5L));
  const V4 quarterK = Splat(static_cast<double>(0.25L) * K.k);
  V4 sum = {lanes[0], lanes[1], lanes[2], lanes[3]};
  V4 top = Splat(densityMax);

  for (int n = 0; n < g.groups; ++n) {
    const int i = g.first + 4 * n;
    const FieldPoint* c = g.cur + i;
    const FieldPoint* p = g.prev + i;
    const double a = c[-1].re, b0 = c[0].re, b1 = c[1].re, b2 = c[2].re, b3 = c[3].re, e = c[4].re;
    const V4 u = {b0, b1, b2, b3};
    const V4 uL = {a, b0, b1, b2};
    const V4 uR = {b1, b2, b3, e};
    const V4 uP = {p[0].re, p[1].re, p[2].re, p[3].re};

    // Modulation: a signed-zero argument gives cos 1 and sin the zero itself.
    const V4 z = k * (u - shift);
    const M4 zero = z == 0.0;
    V4 cs, sn;
    if ((zero[0] & zero[1] & zero[2] & zero[3]) != 0) {
      cs = one;
      sn = z;
    } else {
      SinCos4(z, sn, cs);
      cs = zero ? one : cs;
      sn = zero ? z : sn;
    }
    // WellDW and WellW.
    const V4 w = u * u - one;
    const V4 ww = w * w;
    const V4 f = ((u * w) * (cs + lift)) / norm - ((ww * quarterK) * sn) / norm;
    const V4 W = ((ww * quarter) * (cs + lift)) / norm;
    // The scheme and the energy density.
    const V4 D = c2 * ((uR - two * u) + uL) + (two * u - uP);
    const V4 next = D - dt2 * f;
    const V4 A = (u - uP) / dt;
    const V4 B = (uR - uL) / twoDx;
    const V4 r = (half * (A * A) + half * (B * B)) + W;

    FieldPoint* q = g.next + i;
    q[0].re = next[0], q[1].re = next[1], q[2].re = next[2], q[3].re = next[3];
    q[0].r = r[0], q[1].r = r[1], q[2].r = r[2], q[3].r = r[3];
    __builtin_memcpy(g.density + i, &r, sizeof r);
    sum += r;
    top = r > top ? r : top;
  }

  lanes[0] = sum[0], lanes[1] = sum[1], lanes[2] = sum[2], lanes[3] = sum[3];
  for (int j = 0; j < 4; ++j)
    if (top[j] > densityMax) densityMax = top[j];
}

inline V4 Load(const double* p) {
  V4 v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// The new values alone on levels of plain u, by the same operations (NextValue<double>).
inline void UpdateValueGroups(const StepConstants<double>& K, const DoubleValueGroups& g) {
  const V4 k = Splat(K.k);
  const V4 c2 = Splat(K.c2);
  const V4 dt2 = Splat(K.dt2);
  const V4 shift = Splat(static_cast<double>(0.3L));
  const V4 one = Splat(1.0);
  const V4 two = Splat(2.0);
  const V4 lift = Splat(static_cast<double>(1.5L));
  const V4 norm = Splat(static_cast<double>(2.5L));
  const V4 quarterK = Splat(static_cast<double>(0.25L) * K.k);
  for (int n = 0; n < g.groups; ++n) {
    const int i = g.first + 4 * n;
    const V4 u = Load(g.cur + i), uL = Load(g.cur + i - 1), uR = Load(g.cur + i + 1), uP = Load(g.prev + i);
    const V4 z = k * (u - shift);
    const M4 zero = z == 0.0;
    V4 cs, sn;
    if ((zero[0] & zero[1] & zero[2] & zero[3]) != 0) {
      cs = one;
      sn = z;
    } else {
      SinCos4(z, sn, cs);
      cs = zero ? one : cs;
      sn = zero ? z : sn;
    }
    const V4 w = u * u - one;
    const V4 ww = w * w;
    const V4 f = ((u * w) * (cs + lift)) / norm - ((ww * quarterK) * sn) / norm;
    const V4 D = c2 * ((uR - two * u) + uL) + (two * u - uP);
    const V4 next = D - dt2 * f;
    __builtin_memcpy(g.next + i, &next, sizeof next);
  }
}
