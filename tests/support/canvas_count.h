#pragma once
#include "base/canvas.h"

namespace kl::test {

// Pixels of colour `c` inside the canvas.
inline int CountOf(const Canvas& canvas, Rgb c) {
  int n = 0;
  for (int y = 0; y < canvas.Height(); ++y)
    for (int x = 0; x < canvas.Width(); ++x) n += canvas.Pixel(x, y) == c;
  return n;
}

}  // namespace kl::test
