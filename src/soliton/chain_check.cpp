#include "soliton/chain_check.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <numbers>

#include "soliton/field_model.h"
#include "soliton/static_kink.h"

namespace kl {

namespace {

// Samples of W strictly between two neighbouring vacua: enough to find a dip to zero narrower
// than a thousandth of the gap.
constexpr int kBetweenSamples = 4096;

std::string Show(double x) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, x).ptr);
}

// The height of W between neighbouring vacua: the scale against which W at a vacuum is zero.
double Barrier(const FieldModel& m, double a, double b) {
  double top = 0;
  for (int j = 1; j < kBetweenSamples; ++j) {
    const double w = m.W(a + (b - a) * j / kBetweenSamples);
    if (std::isfinite(w)) top = std::max(top, w);
  }
  return top;
}

}  // namespace

std::vector<double> DefaultVacua(const Potential& pot, size_t count) {
  double a = -1, b = 1;
  if (pot.Model && pot.Model->Name() == ModelName::Phi6) a = 0;
  if (pot.Model && pot.Model->Name() == ModelName::SineGordon) a = 0, b = 2 * std::numbers::pi;
  std::vector<double> vacua(count);
  for (size_t j = 0; j < count; ++j) vacua[j] = j % 2 == 0 ? a : b;
  return vacua;
}

std::string ChainProblem(const Potential& pot) {
  if (!pot.Model) return {};
  const FieldModel& m = *pot.Model;
  const std::vector<double>& v = pot.Vacua;
  if (v.empty()) return "a chain passes at least one vacuum";
  for (double x : v)
    if (!std::isfinite(x)) return "the vacuum " + Show(x) + " is not a finite number";
  if (v.size() == 1) {  // the vacuum alone, perhaps with the rotator
    if (!(std::fabs(m.W(v[0])) <= 1e-14)) return Show(v[0]) + " is not a zero of W (W(" + Show(v[0]) + ") = " + Show(m.W(v[0])) + ")";
    if (!(m.D2W(v[0]) >= 0)) return "W'' < 0 at the vacuum " + Show(v[0]) + ": W has no minimum there";
  }
  for (size_t j = 1; j < v.size(); ++j) {
    const double a = v[j - 1], b = v[j];
    if (a == b) return "the neighbouring vacua " + Show(a) + " and " + Show(b) + " are the same: a kink joins two different vacua";
    const double lo = std::min(a, b), hi = std::max(a, b);
    const double scale = std::max(1.0, Barrier(m, lo, hi));
    for (double x : {a, b}) {
      if (!std::isfinite(m.W(x)) || !std::isfinite(m.DW(x)) || !std::isfinite(m.D2W(x)))
        return "W or its derivatives are not finite at the vacuum " + Show(x);
      if (!(std::fabs(m.W(x)) <= 1e-14 * scale))
        return Show(x) + " is not a zero of W (W(" + Show(x) + ") = " + Show(m.W(x)) + ")";
      if (!(m.D2W(x) >= -1e-9 * scale)) return "W'' < 0 at the vacuum " + Show(x) + ": W has no minimum there";
    }
    for (int s = 0; s <= kBetweenSamples; ++s) {
      const double u = lo + (hi - lo) * s / kBetweenSamples;
      const double w = m.W(u), dw = m.DW(u), d2w = m.D2W(u);
      if (!std::isfinite(w) || !std::isfinite(dw) || !std::isfinite(d2w))
        return "W or its derivatives are not finite at u = " + Show(u) + " (between the vacua " + Show(a) + " and " +
               Show(b) + ")";
      if (s > 0 && s < kBetweenSamples && !(w > 0))
        return "W(" + Show(u) + ") = " + Show(w) + " is not positive between the vacua " + Show(a) + " and " + Show(b) +
               " (a kink needs W > 0 strictly between its vacua)";
    }
    const double mass = KinkMassBetween(pot, lo, hi);
    if (!std::isfinite(mass) || !(mass > 0))
      return "the kink between " + Show(a) + " and " + Show(b) + " has no finite mass";
  }
  return {};
}

std::string ChainWarning(const Potential& pot) {
  if (!pot.Model) return {};
  std::vector<double> flat;
  for (double x : pot.Vacua)
    if (std::fabs(pot.Model->D2W(x)) <= 1e-9 && std::find(flat.begin(), flat.end(), x) == flat.end()) flat.push_back(x);
  if (flat.empty()) return {};
  std::string list;
  for (double x : flat) list += (list.empty() ? "" : ", ") + Show(x);
  return "W'' = 0 at the vacuum " + list +
         ": the kink's tail approaches it as a power of x, not exponentially, and reaches the interval's ends";
}

}  // namespace kl
