#pragma once
// The double-well family W(U) = 0.25 (U^2-1)^2 (cos(k (U-0.3)) + 1.5) / 2.5 with its four kinds.
// Every part of the program evaluates the potential through these operations.
#include <cmath>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

namespace kl {

class FieldModel;

struct Potential {
  int PotentialKind = 1;
  double ModulationK = 0.0;
  double ParamA = 0.0;  // the hidden parameter "a": passed along, used by no formula
  // The runner's models other than the family (named or a formula); null for the family, which
  // the window always uses.
  std::shared_ptr<const FieldModel> Model;
  // The vacua V0 .. Vn that a chain of n kinks passes from left to right; empty for the
  // family's -1, 1, -1, ...
  std::vector<double> Vacua;
};

// The vacuum V_j of the chain (the last one for any j past the list's end).
double ChainVacuum(const Potential& pot, int j);
// The smallest and largest vacuum of the chain: the values its kinks pass through.
double ChainLow(const Potential& pot);
double ChainHigh(const Potential& pot);
// W'' at U, for the family or the model.
double PotD2W(const Potential& pot, double U);

constexpr int kMinKind = 1;
constexpr int kMaxKind = 4;
inline bool IsValidKind(int kind) { return kind >= kMinKind && kind <= kMaxKind; }

// The modulation wave number of a kind; only meaningful for a valid kind.
double KindModulation(int kind);
// The kind whose modulation is exactly k; 0 for a k between the kinds.
int KindOfModulation(double k);
// The family's modulations that the runner takes. Every one of them has a kink: the factor
// (cos + 1.5) / 2.5 lies in [0.2, 1], so W > 0 between the vacua and W'' > 0 at them.
inline constexpr double kMinModulation = 0, kMaxModulation = 20;

// The formula caption of `Label8` for a kind; the designed caption for any other value.
std::string PotentialFormulaLabel(int kind);
inline constexpr const char* kDesignedFormulaLabel = "V( U ) = U^6 - a * U^4";

// Stores a valid kind and its modulation. A kind outside 1..4 is refused: nothing changes
// and false is returned, so the caller decides what to tell the user.
bool ApplyPotentialKind(Potential& pot, int kind);

// Sine and cosine of an extended-precision argument. On x86 the FPU's own FSINCOS gives
// both in one instruction at a fifth of the cost of the library's sincosl. The two differ
// by less than 6e-20 in absolute terms (relatively more only next to a zero of sin or cos,
// where its fixed 66-bit pi shows), which the rounding of the force and the density to
// doubles almost always absorbs. Arguments from 2^62 on go to the library.
inline void SinCosExtended(long double z, long double& sn, long double& cs) {
#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
  if (std::fabs(z) < 0x1p62L) {
    asm("fsincos" : "=t"(cs), "=u"(sn) : "0"(z));
    return;
  }
#endif
  ::sincosl(z, &sn, &cs);
}

// Sine and cosine of a double argument for the double-precision step, from the vector math
// library's deterministic scalar routine: the same bits as its vector routines give, so the
// scalar and the vectorised double kernels agree point for point (engine/double_groups.cpp).
void SinCosDouble(double z, double& sn, double& cs);

// cos and sin of k (U - 0.3). With k = 0 the argument is a signed zero, whose cosine is 1
// and whose sine is the zero itself, so the evaluation is skipped with identical results.
template <class T>
inline void Modulation(T k, T U, T& cs, T& sn) {
  const T z = k * (U - static_cast<T>(0.3L));
  if (z == 0) {
    cs = 1;
    sn = z;
  } else if constexpr (std::is_same_v<T, long double>) {
    SinCosExtended(z, sn, cs);
  } else if constexpr (std::is_same_v<T, double>) {
    SinCosDouble(z, sn, cs);
  } else {
    cs = std::cos(z);
    sn = std::sin(z);
  }
}

// W and dW/dU in the precision T, in the fixed order of factors; `cs`, `sn` from Modulation.
template <class T>
inline T WellW(T U, T cs) {
  const T w = U * U - 1;
  return ((w * w) * static_cast<T>(0.25L)) * (cs + static_cast<T>(1.5L)) / static_cast<T>(2.5L);
}
template <class T>
inline T WellDW(T k, T U, T cs, T sn) {
  const T w = U * U - 1;
  return U * w * (cs + static_cast<T>(1.5L)) / static_cast<T>(2.5L) -
         (w * w) * (static_cast<T>(0.25L) * k) * sn / static_cast<T>(2.5L);
}

double PotW(const Potential& pot, double a, double U);
double PotDW(const Potential& pot, double a, double U);
double PotP(const Potential& pot, double a, double U);
double PotCentre(const Potential& pot, double a);
// m^2 = W''(U) at a vacuum U = -1 or +1, the squared mass of small waves about it. With
// W = 0.25 (U^2 - 1)^2 g(U) only the term 2 U^2 g(U) of W'' survives there.
double VacuumMassSquared(const Potential& pot, double a, double vacuum);
// The largest W''(U) over the chain's range ([-1, 1] for the family), the values every kink
// passes through: for the family at a vacuum for the smaller k, inside the kink for a fast
// modulation (about 0.1 k^2 for large k).
double LargestCurvature(const Potential& pot, double a);

}  // namespace kl
