// The setup file decoder on arbitrary bytes. A file it takes must encode back to the same
// bytes' values: a save of what was loaded loads as the same setup.
#include <cmath>

#include "records/setup_file.h"
#include "fuzz_check.h"

namespace {

bool SameSetup(const kl::SetupData& a, const kl::SetupData& b) {
  bool same = a.HalfInterval == b.HalfInterval && a.PotXMax == b.PotXMax && a.PotYMin == b.PotYMin &&
              a.PotYMax == b.PotYMax && a.PhasXMax == b.PhasXMax && a.PhasYMax == b.PhasYMax &&
              a.OduYMax == b.OduYMax && a.SolitonCount == b.SolitonCount && a.InitMethod == b.InitMethod &&
              a.kF_Re == b.kF_Re && a.kF_Im == b.kF_Im && a.kD == b.kD && a.kAd == b.kAd && a.wAd == b.wAd &&
              a.qR == b.qR && a.qL == b.qL && a.ColorCount == b.ColorCount && a.ModulationK == b.ModulationK &&
              a.GridIndex == b.GridIndex && a.PotentialKind == b.PotentialKind && a.LogPeriod == b.LogPeriod;
  for (int j = 0; j < a.SolitonCount && same; ++j)
    same = a.Kinks[j].Displacement == b.Kinks[j].Displacement && a.Kinks[j].Velocity == b.Kinks[j].Velocity;
  return same;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  kl::SetupData setup;
  std::string reason;
  if (!kl::DecodeSetup(kl_fuzz::Bytes(data, size), setup, reason)) {
    FUZZ_CHECK(!reason.empty() && kl_fuzz::OneLine(reason));
    return 0;
  }
  FUZZ_CHECK(setup.SolitonCount >= 0 && setup.SolitonCount <= kl::kMaxSolitons);
  FUZZ_CHECK(size == kl::kSetupBytesNoKinks + kl::kSetupBytesPerKink * setup.SolitonCount);
  FUZZ_CHECK(setup.HalfInterval > 0 && std::isfinite(setup.HalfInterval));
  for (int j = 0; j < setup.SolitonCount; ++j) FUZZ_CHECK(std::fabs(setup.Kinks[j].Velocity) < 1);

  const std::string again = kl::EncodeSetup(setup);
  kl::SetupData reloaded;
  FUZZ_CHECK(kl::DecodeSetup(again, reloaded, reason));
  FUZZ_CHECK(SameSetup(setup, reloaded));
  return 0;
}
