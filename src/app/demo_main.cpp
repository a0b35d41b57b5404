// A demonstration of the engine until the window arrives: a kink at -5 and an antikink at +5
// approach each other at 0.2, collide and radiate; the runner prints the run's figures.
#include <iostream>

#include "app/runner.h"

int main() {
  kl::RunnerOptions options;
  options.gridSize = 512;
  options.kinks = {{-5.0, 0.2}, {5.0, -0.2}};
  options.marks = {{-8.0, -2.0}, {2.0, 8.0}};
  options.untilTime = 30.0;
  std::cout << "KinkLab demonstration: kink at x=-5 (v=+0.2), antikink at x=+5 (v=-0.2), N=512, L=10\n";
  return kl::RunHeadless(options, std::cout, std::cerr);
}
