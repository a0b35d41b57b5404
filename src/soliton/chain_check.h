#pragma once
// Whether the vacua of a chain can carry kinks of a model: each a zero of W with W'' >= 0,
// neighbours different with W > 0 and finite strictly between them, so that every kink exists
// (its mass, the integral of sqrt(2 W), is finite).
#include <string>
#include <vector>

#include "soliton/potential.h"

namespace kl {

// The chain's vacua when none are given: the named models' own (phi4 -1, 1; phi6 0, 1;
// sine-gordon 0, 2 pi) or the family's -1, 1, alternating over `count` values.
std::vector<double> DefaultVacua(const Potential& pot, size_t count);

// Why the chain of pot.Vacua cannot be used, in one line; empty when it can.
std::string ChainProblem(const Potential& pot);
// A warning for a vacuum where W'' vanishes (the kink's tail then falls as a power of x, not
// exponentially, and needs room); empty when there is none.
std::string ChainWarning(const Potential& pot);

}  // namespace kl
