// The field number reader on arbitrary text: a number it takes is finite, a refused text
// leaves the value alone, and a number it takes reads back from its own shortest form.
#include <cmath>
#include <cstdio>

#include "fuzz_check.h"
#include "base/numbers.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const double untouched = -12345.5;
  double value = untouched;
  if (!kl::ParseNumber(kl_fuzz::Bytes(data, size), value)) {
    FUZZ_CHECK(value == untouched);
    return 0;
  }
  FUZZ_CHECK(std::isfinite(value));
  char text[64];
  std::snprintf(text, sizeof text, "%.17g", value);
  double again = 0;
  FUZZ_CHECK(kl::ParseNumber(text, again));
  (void)kl::FormatWD(value, 10, 4);
  return 0;
}
