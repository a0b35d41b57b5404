#pragma once
// The scale groups of the solitons tab. Only maxima are typed; every minimum is the negative
// of its maximum. The amplitude U is the x axis of the potential and the phase plane and the
// y axis of the profile, so the three pictures always share one U range.
#include <string_view>

#include "app/program.h"

namespace kl {

// Reads a typed maximum. A bad text is refused, and so is 0, whose frame would be empty;
// a negative maximum is taken and turns its frame over. On refusal `value` is unchanged.
bool ReadScaleMaximum(std::string_view text, double& value);

// U in [-u, u] in all three pictures.
void SetAmplitudeRange(Program& p, double u);

// The OK of each group: the shared U range and the group's own second range.
void ApplyPotentialScales(Program& p, double u, double pMax);
void ApplyPhaseScales(Program& p, double u, double slopeMax);
void ApplyProfileScales(Program& p, double halfInterval, double u, double startSlope);

}  // namespace kl
