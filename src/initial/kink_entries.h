#pragma once
// The text of a kink in the list box: "v=" velocity ", c=" displacement, as typed.
#include <string>
#include <string_view>

namespace kl {

std::string SolitonEntryText(std::string_view velocityText, std::string_view displacementText);
// Reads both numbers back; false when the text is not such an entry or a number does not parse.
bool ParseSolitonEntry(std::string_view text, double& velocity, double& displacement);

}  // namespace kl
