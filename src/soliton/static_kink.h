#pragma once
// The static kink of a well: U' = sqrt(2 W(U)) through U(0) = U_c, from the lower vacuum to the
// upper one (-1 to +1 for the family).
//
// The first-order equation is integrated (classical Runge-Kutta in extended precision): along
// it a deviation decays towards either vacuum, whereas marching U'' = dW/dU outward from the
// centre follows a separatrix, from which any error grows exponentially.
#include <memory>
#include <vector>

#include "soliton/potential.h"

namespace kl {

class StaticKink {
 public:
  // The family's kink from -1 to 1 through U_c = PotCentre; for a model, the kink between the
  // chain's first two vacua.
  StaticKink(const Potential& pot, double a);
  // A model's kink from the vacuum `lower` up to `upper`, through their midpoint at x = 0.
  StaticKink(const Potential& pot, double lower, double upper);

  // U(x), to about 1e-12; exactly the vacuum where the kink is within rounding of it.
  double At(double x) const;
  // The antikink at x: the mirror image U(-x), which for a well without the symmetry
  // W(U) = W(-U) is not -U(x).
  double MirrorAt(double x) const { return At(-x); }
  // dU/dx = sqrt(2 W(U)) at the value U.
  long double Slope(long double U) const;
  // The largest slope U' over the stored nodes.
  long double SteepestSlope() const;
  // The full width of the slope U' at half its maximum, read off the stored nodes (to about
  // a node spacing), between the outermost points where it reaches half: for a fast
  // modulation, whose slope has several humps, the width of the whole kink.
  double HalfMaxWidth() const;
  // The centre value U_c and the node spacing of the stored solution.
  double Centre() const { return centre_; }
  double NodeStep() const { return static_cast<double>(step_); }

 private:
  Potential pot_;
  double lower_ = -1, upper_ = 1;
  double centre_;
  long double step_;
  // U at x = j * step (right) and x = -j * step (left), j = 0, 1, ..., up to the first node
  // that rounds to the vacuum.
  std::vector<long double> right_, left_;

  // One Runge-Kutta step of length s (signed) from U.
  long double Advance(long double U, long double s) const;
  void Fill(std::vector<long double>& nodes, long double direction, double vacuum);
};

// A model's kink from `lower` up to `upper`, shared: the kinks of a model are solved once for all
// the runs of a scan (the latest few pairs of vacua are kept).
std::shared_ptr<const StaticKink> SharedModelKink(const Potential& pot, double lower, double upper);

// A model's first kink as the profile reports the family's: its steepest slope, its width at
// half slope and its mass; zeros for a chain of one vacuum.
struct ProfileResult;
ProfileResult ModelKinkProfile(const Potential& pot);

// The rest mass of the kink, the integral of sqrt(2 W(U)) over [-1, 1] (composite Simpson); for
// a model, between the chain's first two vacua.
double KinkMass(const Potential& pot, double a);
// The integral of sqrt(2 W(U)) over [lower, upper].
double KinkMassBetween(const Potential& pot, double lower, double upper);

}  // namespace kl
