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
inline void SinCosOf(V4 z, V4& sn, V4& cs) { SinCos4(z, sn, cs); }

// The loops below take a vector of 4 doubles or, where the unit defines one, a wider one
// (V, with its comparison mask M and SinCosOf): the operations are elementwise, so any width
// gives every point the same bits. The energy is summed in four lanes whatever the width: the
// quarters of a wide vector are added in order, as consecutive groups of four would be.
template <class V>
constexpr int kWidthOf = static_cast<int>(sizeof(V) / sizeof(double));

template <class V>
inline V SplatOf(double x) {
  V v;
  for (int j = 0; j < kWidthOf<V>; ++j) v[j] = x;
  return v;
}

// The constants of a group's arithmetic, splatted once per call.
template <class V>
struct GroupConstantsOf {
  explicit GroupConstantsOf(const StepConstants<double>& K)
      : k(SplatOf<V>(K.k)), c2(SplatOf<V>(K.c2)), dt2(SplatOf<V>(K.dt2)),
        quarterK(SplatOf<V>(static_cast<double>(0.25L) * K.k)), dt(SplatOf<V>(K.dt)), twoDx(SplatOf<V>(K.twoDx)) {}
  V k, c2, dt2, quarterK;
  V shift = SplatOf<V>(static_cast<double>(0.3L));
  V one = SplatOf<V>(1.0);
  V two = SplatOf<V>(2.0);
  V lift = SplatOf<V>(static_cast<double>(1.5L));
  V norm = SplatOf<V>(static_cast<double>(2.5L));
  // The energy density's.
  V dt, twoDx;
  V half = SplatOf<V>(static_cast<double>(0.5L));
  V quarter = SplatOf<V>(static_cast<double>(0.25L));
};

// The scheme's new values of a vector of points (NextFrom, Modulation and WellDW of
// step_kernel.h and potential.h, operation by operation); `cs` keeps the modulation for the
// energy density.
template <class V, class M>
inline V NextOf(const GroupConstantsOf<V>& c, V u, V uL, V uR, V uP, V& cs) {
  // Modulation: a signed-zero argument gives cos 1 and sin the zero itself.
  const V z = c.k * (u - c.shift);
  const M zero = z == 0.0;
  long long all = -1;
  for (int j = 0; j < kWidthOf<V>; ++j) all &= zero[j];
  V sn;
  if (all != 0) {
    cs = c.one;
    sn = z;
  } else {
    SinCosOf(z, sn, cs);
    cs = zero ? c.one : cs;
    sn = zero ? z : sn;
  }
  const V w = u * u - c.one;
  const V ww = w * w;
  const V f = ((u * w) * (cs + c.lift)) / c.norm - ((ww * c.quarterK) * sn) / c.norm;
  const V D = c.c2 * ((uR - c.two * u) + uL) + (c.two * u - uP);
  return D - c.dt2 * f;
}

// The points i .. i + width - 1 of the levels with densities; the densities added to `sum`
// and compared with `top`, lane by lane.
template <class V, class M>
inline void UpdateVector(const GroupConstantsOf<V>& c, const DoubleGroups& g, int i, V4& sum, V4& top) {
  constexpr int n = kWidthOf<V>;
  const FieldPoint* cur = g.cur + i;
  const FieldPoint* p = g.prev + i;
  V u, uL, uR, uP;
  for (int j = 0; j < n; ++j) {
    u[j] = cur[j].re;
    uL[j] = cur[j - 1].re;
    uR[j] = cur[j + 1].re;
    uP[j] = p[j].re;
  }
  V cs;
  const V next = NextOf<V, M>(c, u, uL, uR, uP, cs);
  // WellW and the energy density.
  const V w = u * u - c.one;
  const V W = (((w * w) * c.quarter) * (cs + c.lift)) / c.norm;
  if (g.w) __builtin_memcpy(g.w + i, &W, sizeof W);
  const V A = (u - uP) / c.dt;
  const V B = (uR - uL) / c.twoDx;
  const V r = (c.half * (A * A) + c.half * (B * B)) + W;
  FieldPoint* q = g.next + i;
  for (int j = 0; j < n; ++j) {
    q[j].re = next[j];
    q[j].r = r[j];
  }
  __builtin_memcpy(g.density + i, &r, sizeof r);
  for (int quarterStart = 0; quarterStart < n; quarterStart += 4) {
    V4 part;
    __builtin_memcpy(&part, reinterpret_cast<const char*>(&r) + quarterStart * sizeof(double), sizeof part);
    sum += part;
    top = part > top ? part : top;
  }
}

// Groups of four points with densities: as many as fit in vectors V, the rest four at a time.
template <class V, class M>
inline void UpdateGroupsOf(const StepConstants<double>& K, const DoubleGroups& g, double lanes[kEnergyLanes],
                           double& densityMax) {
  constexpr int per = kWidthOf<V> / 4;  // groups of four in a vector
  const GroupConstantsOf<V> wide(K);
  V4 sum = {lanes[0], lanes[1], lanes[2], lanes[3]};
  V4 top = Splat(densityMax);
  int n = 0;
  for (; n + per <= g.groups; n += per) UpdateVector<V, M>(wide, g, g.first + 4 * n, sum, top);
  if constexpr (per > 1) {
    const GroupConstantsOf<V4> four(K);
    for (; n < g.groups; ++n) UpdateVector<V4, M4>(four, g, g.first + 4 * n, sum, top);
  }
  lanes[0] = sum[0], lanes[1] = sum[1], lanes[2] = sum[2], lanes[3] = sum[3];
  for (int j = 0; j < 4; ++j)
    if (top[j] > densityMax) densityMax = top[j];
}

inline void UpdateGroups(const StepConstants<double>& K, const DoubleGroups& g, double lanes[kEnergyLanes],
                         double& densityMax) {
  UpdateGroupsOf<V4, M4>(K, g, lanes, densityMax);
}

template <class V>
inline V LoadOf(const double* p) {
  V v;
  __builtin_memcpy(&v, p, sizeof v);
  return v;
}

// The new values alone on levels of plain u, by the same operations (NextValue<double>).
template <class V, class M>
inline void UpdateValueGroupsOf(const StepConstants<double>& K, const DoubleValueGroups& g) {
  constexpr int per = kWidthOf<V> / 4;
  const GroupConstantsOf<V> wide(K);
  int n = 0;
  for (; n + per <= g.groups; n += per) {
    const int i = g.first + 4 * n;
    V cs;
    const V next = NextOf<V, M>(wide, LoadOf<V>(g.cur + i), LoadOf<V>(g.cur + i - 1), LoadOf<V>(g.cur + i + 1),
                                LoadOf<V>(g.prev + i), cs);
    __builtin_memcpy(g.next + i, &next, sizeof next);
  }
  if constexpr (per > 1) {
    const GroupConstantsOf<V4> four(K);
    for (; n < g.groups; ++n) {
      const int i = g.first + 4 * n;
      V4 cs;
      const V4 next = NextOf<V4, M4>(four, LoadOf<V4>(g.cur + i), LoadOf<V4>(g.cur + i - 1),
                                     LoadOf<V4>(g.cur + i + 1), LoadOf<V4>(g.prev + i), cs);
      __builtin_memcpy(g.next + i, &next, sizeof next);
    }
  }
}

inline void UpdateValueGroups(const StepConstants<double>& K, const DoubleValueGroups& g) {
  UpdateValueGroupsOf<V4, M4>(K, g);
}
