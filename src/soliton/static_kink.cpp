#include "soliton/static_kink.h"

#include <algorithm>
#include <cmath>
#include <tuple>

#include "base/kept_few.h"
#include "soliton/field_model.h"
#include "soliton/profile.h"

namespace kl {

namespace {

// Nodes per unit of x: the modulation cos(k (U - 0.3)) varies faster with k, so the step
// shrinks with it. At 256 a unit the Runge-Kutta error stays below 1e-13 for k up to 5, and
// the refinement keeps it there up to k = 20.
long double NodeStepFor(double k) {
  const double refine = std::max(1.0, std::ceil(std::fabs(k) / 5.0));
  return 1.0L / (256.0L * refine);
}

// No kink of the family takes longer than this to come within rounding of its vacua (the
// slowest tail, e^(-m x) with m^2 = 0.4, does so by x = 70).
constexpr long double kMaxReach = 400.0L;

}  // namespace

namespace {

// A model's node step: the family's at a mass of sqrt 2, shrinking as the largest W'' over the
// kink grows, so that the Runge-Kutta error stays as small for a heavier kink.
long double ModelNodeStep(const Potential& pot, double lower, double upper) {
  Potential span = pot;
  span.Vacua = {lower, upper};
  const double m = std::sqrt(std::max(LargestCurvature(span, pot.ParamA), 0.0));
  return 1.0L / (256.0L * std::max(1.0, std::ceil(m / std::sqrt(2.0))));
}

double FirstLower(const Potential& pot) { return std::min(ChainVacuum(pot, 0), ChainVacuum(pot, 1)); }
double FirstUpper(const Potential& pot) { return std::max(ChainVacuum(pot, 0), ChainVacuum(pot, 1)); }

}  // namespace

StaticKink::StaticKink(const Potential& pot, double a)
    : StaticKink(pot, pot.Model ? FirstLower(pot) : -1.0, pot.Model ? FirstUpper(pot) : 1.0) {
  (void)a;
}

StaticKink::StaticKink(const Potential& pot, double lower, double upper)
    : pot_(pot),
      lower_(lower),
      upper_(upper),
      centre_(pot.Model ? static_cast<double>((static_cast<long double>(lower) + upper) / 2) : PotCentre(pot, pot.ParamA)),
      step_(pot.Model ? ModelNodeStep(pot, lower, upper) : NodeStepFor(pot.ModulationK)) {
  Fill(right_, 1.0L, upper);
  Fill(left_, -1.0L, lower);
}

namespace {

// sqrt(2 W(U)) in extended precision, not rounded to a double as PotW would.
long double RootTwoW(const Potential& pot, long double U) {
  if (pot.Model) return std::sqrt(2.0L * std::max(pot.Model->W(U), 0.0L));
  long double cs, sn;
  Modulation<long double>(pot.ModulationK, U, cs, sn);
  return std::sqrt(2.0L * WellW<long double>(U, cs));
}

}  // namespace

long double StaticKink::Slope(long double U) const {
  const long double slope = RootTwoW(pot_, U);
  // Past a vacuum the continuation leads back to it, so that a step that rounds beyond the
  // vacuum is pulled back rather than carried away.
  return lower_ < U && U < upper_ ? slope : -slope;
}

long double StaticKink::Advance(long double U, long double s) const {
  const long double k1 = Slope(U);
  const long double k2 = Slope(U + s / 2 * k1);
  const long double k3 = Slope(U + s / 2 * k2);
  const long double k4 = Slope(U + s * k3);
  return U + s / 6 * (k1 + 2 * k2 + 2 * k3 + k4);
}

void StaticKink::Fill(std::vector<long double>& nodes, long double direction, double vacuum) {
  nodes.clear();
  long double U = centre_;
  nodes.push_back(U);
  const long double s = direction * step_;
  const long count = std::lround(static_cast<double>(kMaxReach / step_));
  // A model's vacuum may be 0, which a tail falling as e^(-m x) reaches in doubles only after
  // hundreds of widths: its kink ends where it lies within 2^-60 of its span from the vacuum.
  const long double close = pot_.Model ? std::ldexp(static_cast<long double>(upper_) - lower_, -60) : 0;
  for (long j = 1; j <= count && static_cast<double>(U) != vacuum && !(std::fabs(U - vacuum) < close); ++j) {
    const long double next = Advance(U, s);
    // Where W rounds to zero short of the vacuum the solution stands still: so would every
    // further node, and At() continues with the last one.
    if (next == U) break;
    U = next;
    nodes.push_back(U);
  }
}

double StaticKink::At(double x) const {
  if (std::isnan(x)) return centre_;
  const bool right = x >= 0;
  const std::vector<long double>& nodes = right ? right_ : left_;
  const long double distance = std::fabs(static_cast<long double>(x));
  const long double j = std::floor(distance / step_);
  if (j >= static_cast<long double>(nodes.size() - 1)) return static_cast<double>(nodes.back());
  const size_t n = static_cast<size_t>(j);
  const long double rest = distance - j * step_;
  return static_cast<double>(Advance(nodes[n], right ? rest : -rest));
}

long double StaticKink::SteepestSlope() const {
  long double top = 0;
  for (const auto* nodes : {&left_, &right_})
    for (long double U : *nodes) top = std::max(top, Slope(U));
  return top;
}

double StaticKink::HalfMaxWidth() const {
  const long double top = SteepestSlope();
  // Between the nodes just beyond the outermost ones whose slope reaches half the top: across
  // every hump of a fast modulation's slope, not only the one at the centre.
  long double lowest = 0, highest = 0;
  bool any = false;
  for (const auto& [nodes, sign] : {std::pair{&left_, -1.0L}, std::pair{&right_, 1.0L}})
    for (size_t j = 0; j < nodes->size(); ++j)
      if (Slope((*nodes)[j]) >= top / 2) {
        const long double x = sign * static_cast<long double>(j) * step_;
        lowest = any ? std::min(lowest, x) : x;
        highest = any ? std::max(highest, x) : x;
        any = true;
      }
  return any ? static_cast<double>(highest - lowest + 2 * step_) : 0.0;
}

std::shared_ptr<const StaticKink> SharedModelKink(const Potential& pot, double lower, double upper) {
  // Keyed by the model's address: a kept kink holds its model, so the address stays its own.
  static KeptFew<std::tuple<const FieldModel*, double, double>, StaticKink> kept;
  return kept.Get({pot.Model.get(), lower, upper}, [&] { return std::make_shared<const StaticKink>(pot, lower, upper); });
}

ProfileResult ModelKinkProfile(const Potential& pot) {
  ProfileResult r;
  if (pot.Vacua.size() < 2) return r;  // the vacuum alone: no kink
  const StaticKink& kink =
      *SharedModelKink(pot, std::min(pot.Vacua[0], pot.Vacua[1]), std::max(pot.Vacua[0], pot.Vacua[1]));
  r.Height = static_cast<double>(kink.SteepestSlope());
  r.Width = r.Spread = kink.HalfMaxWidth();
  r.Energy = KinkMass(pot, pot.ParamA);
  return r;
}

double KinkMass(const Potential& pot, double a) {
  (void)a;
  return pot.Model ? KinkMassBetween(pot, FirstLower(pot), FirstUpper(pot)) : KinkMassBetween(pot, -1.0, 1.0);
}

double KinkMassBetween(const Potential& pot, double lower, double upper) {
  // Composite Simpson; for the family the integrand (1 - U^2) sqrt(g(U) / 2) is smooth, and
  // 2^14 panels leave an error far below 1e-10 for every modulation up to k = 20. A model's
  // sqrt(2 W) is smooth too where its vacua are simple zeros of W'.
  constexpr int panels = 1 << 14;
  const long double a = lower, h = (static_cast<long double>(upper) - a) / panels;
  auto f = [&](long double U) { return RootTwoW(pot, U); };
  long double sum = f(a) + f(upper);
  for (int j = 1; j < panels; ++j) sum += (j % 2 == 1 ? 4 : 2) * f(a + j * h);
  return static_cast<double>(sum * h / 3);
}

}  // namespace kl
