// The command line's reader on arbitrary argument lists (pieces of the input between NUL or
// newline bytes). It only reads: nothing is run and nothing is written, however large a
// number it is given. What it accepts as a single run is a run the runner can start.
#include <cmath>

#include "cli/options.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> args = kl_fuzz::SplitArgs(kl_fuzz::Bytes(data, size));
  kl::Command command;
  std::string error;
  if (!kl::ReadCommandLine(args, command, error)) {
    FUZZ_CHECK(!error.empty() && kl_fuzz::OneLine(error));
    return 0;
  }
  if (command.kind != kl::CommandKind::Run) return 0;
  const kl::RunnerOptions& options = command.run;
  FUZZ_CHECK(options.kind >= 1 && options.kind <= 4);
  FUZZ_CHECK(options.halfInterval > 0 && std::isfinite(options.halfInterval));
  FUZZ_CHECK(options.gridSize == 256 || options.gridSize == 512 || options.gridSize == 1024);
  FUZZ_CHECK(options.kinks.size() <= 9 && options.marks.size() <= 9);
  FUZZ_CHECK(!options.kinks.empty() || options.rotator);
  for (const auto& [c, v] : options.kinks) FUZZ_CHECK(std::fabs(c) <= options.halfInterval && std::fabs(v) < 1);
  for (const auto& [a, b] : options.marks) FUZZ_CHECK(a <= b);
  FUZZ_CHECK(!options.untilTime || (*options.untilTime >= 0 && std::isfinite(*options.untilTime)));
  FUZZ_CHECK(options.colourCount >= 16 && options.colourCount <= 200 && options.colourCount % 8 == 0);
  FUZZ_CHECK(options.threads >= 0);
  return 0;
}
