#include "initial/kink_entries.h"

#include "base/numbers.h"

namespace kl {

std::string SolitonEntryText(std::string_view velocityText, std::string_view displacementText) {
  std::string text = "v=";
  text += velocityText;
  text += ", c=";
  text += displacementText;
  return text;
}

bool ParseSolitonEntry(std::string_view text, double& velocity, double& displacement) {
  const size_t p = text.find("v=");
  const size_t q = text.find(", c=");
  if (p == std::string_view::npos || q == std::string_view::npos || q < p + 2) return false;
  double v = 0, c = 0;
  if (!ParseNumber(text.substr(p + 2, q - p - 2), v) || !ParseNumber(text.substr(q + 4), c)) return false;
  velocity = v;
  displacement = c;
  return true;
}

}  // namespace kl
