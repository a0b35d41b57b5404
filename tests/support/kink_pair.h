#pragma once
// The chain most tests run: a kink at -c moving right with v and an antikink at +c moving left,
// without the rotator.
#include "initial/composer.h"

namespace kl::test {

inline KinkList ApproachingPair(double c, double v) {
  KinkList kinks;
  kinks.SolitonCount = 2;
  kinks.InitSm[1] = -c;
  kinks.InitVel[1] = v;
  kinks.InitSm[2] = c;
  kinks.InitVel[2] = -v;
  return kinks;
}

inline RotatorParams NoRotator() {
  RotatorParams rot;
  rot.InitMethod = 0;
  return rot;
}

}  // namespace kl::test
