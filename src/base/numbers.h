#pragma once
// The one number reader of the window's fields and the one w:d formatter of every shown number.
#include <string>
#include <string_view>

namespace kl {

// Reads the whole text as a number: leading blanks, an optional sign, digits, an optional
// "." with digits, an optional exponent. No trailing characters, no locale. A text whose
// value is not finite counts as bad. On failure `value` is left as it was.
bool ParseNumber(std::string_view text, double& value);

// Fixed point with `decimals` digits, right-aligned to at least `width` characters.
// The number is expanded to 18 significant digits first and the first dropped digit
// rounds away from zero (0.125 in 4:2 is "0.13"). A value that is not finite is "NaN",
// "Inf" or "-Inf", right-aligned in the same width, without decimals.
std::string FormatWD(double value, int width, int decimals);

}  // namespace kl
