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

// The constants of a group's arithmetic, splatted once per call.
struct GroupConstants {
  explicit GroupConstants(const StepConstants<double>& K)
      : k(Splat(K.k)), c2(Splat(K.c2)), dt2(Splat(K.dt2)), quarterK(Splat(static_cast<double>(0.25L) * K.k)) {}
  V4 k, c2, dt2, quarterK;
  V4 shift = Splat(static_cast<double>(0.3L));
  V4 one = Splat(1.0);
  V4 two = Splat(2.0);
  V4 lift = Splat(static_cast<double>(1.5L));
  V4 norm = Splat(static_cast<double>(2.5L));
};

// The scheme's new values of four points (NextFrom, Modulation and WellDW of step_kernel.h and
// potential.h, operation by operation); `cs` keeps the modulation for the energy density.
inline V4 NextOf(const GroupConstants& c, V4 u, V4 uL, V4 uR, V4 uP, V4& cs) {
  // Modulation: a signed-zero argument gives cos 1 and sin the zero itself.
  const V4 z = c.k * (u - c.shift);
  const M4 zero = z == 0.0;
  V4 sn;
  if ((zero[0] & zero[1] & zero[2] & zero[3]) != 0) {
    cs = c.one;
    sn = z;
  } else {
    SinCos4(z, sn, cs);
    cs = zero ? c.one : cs;
    sn = zero ? z : sn;
  }
  const V4 w = u * u - c.one;
  const V4 ww = w * w;
  const V4 f = ((u * w) * (cs + c.lift)) / c.norm - ((ww * c.quarterK) * sn) / c.norm;
  const V4 D = c.c2 * ((uR - c.two * u) + uL) + (c.two * u - uP);
  return D - c.dt2 * f;
}

inline void UpdateGroups(const StepConstants<double>& K, const DoubleGroups& g,
                         double lanes[kEnergyLanes], double& densityMax) {
  const GroupConstants c(K);
  const V4 dt = Splat(K.dt);
  const V4 twoDx = Splat(K.twoDx);
  const V4 half = Splat(static_cast<double>(0.5L));
  const V4 quarter = Splat(static_cast<double>(0.25L));
  V4 sum = {lanes[0], lanes[1], lanes[2], lanes[3]};
  V4 top = Splat(densityMax);

  for (int n = 0; n < g.groups; ++n) {
    const int i = g.first + 4 * n;
    const FieldPoint* cur = g.cur + i;
    const FieldPoint* p = g.prev + i;
    const double a = cur[-1].re, b0 = cur[0].re, b1 = cur[1].re, b2 = cur[2].re, b3 = cur[3].re, e = cur[4].re;
    const V4 u = {b0, b1, b2, b3};
    const V4 uL = {a, b0, b1, b2};
    const V4 uR = {b1, b2, b3, e};
    const V4 uP = {p[0].re, p[1].re, p[2].re, p[3].re};
    V4 cs;
    const V4 next = NextOf(c, u, uL, uR, uP, cs);
    // WellW and the energy density.
    const V4 w = u * u - c.one;
    const V4 W = (((w * w) * quarter) * (cs + c.lift)) / c.norm;
    if (g.w) __builtin_memcpy(g.w + i, &W, sizeof W);
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
  const GroupConstants c(K);
  for (int n = 0; n < g.groups; ++n) {
    const int i = g.first + 4 * n;
    V4 cs;
    const V4 next = NextOf(c, Load(g.cur + i), Load(g.cur + i - 1), Load(g.cur + i + 1), Load(g.prev + i), cs);
    __builtin_memcpy(g.next + i, &next, sizeof next);
  }
}
