// The scan's option reader on arbitrary argument lists (pieces of the input between NUL or
// newline bytes). Only the reading and the list of velocities it implies are exercised: no
// run starts and nothing is written. An accepted scan has at most the allowed number of
// velocities, each strictly between -1 and 1, and a part that picks some of them or none.
#include <algorithm>
#include <cmath>

#include "study/collision.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "cli/scan_map.h"
#include "cli/scan_runs.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::vector<std::string> args = kl_fuzz::SplitArgs(kl_fuzz::Bytes(data, size));
  auto has = [&](const char* name) { return std::find(args.begin(), args.end(), name) != args.end(); };
  FUZZ_CHECK(kl::HasScanOption(args) ==
             (has("--scan") || has("--from-csv") || has("--from-h5") || has("--scan-merge")));
  kl::ScanOptions options;
  std::string error;
  if (!kl::ParseScanArgs(args, options, error)) {
    FUZZ_CHECK(!error.empty() && kl_fuzz::OneLine(error));
    return 0;
  }
  // A refinement of a CSV or a record, or a merge, takes its velocities from those files.
  if (!options.fromCsv.empty() || !options.fromH5.empty() || !options.mergeFiles.empty()) {
    FUZZ_CHECK(options.mergeFiles.empty() ? options.refineTolerance > 0 : options.refineTolerance == 0);
    return 0;
  }
  const std::vector<double> velocities = kl::ScanVelocities(options.v0, options.v1, options.dv);
  FUZZ_CHECK(!velocities.empty() && velocities.size() <= static_cast<size_t>(kl::kScanMaxVelocities));
  for (double v : velocities) FUZZ_CHECK(std::fabs(v) < 1);
  FUZZ_CHECK(options.part >= 1 && options.part <= options.parts);
  const std::vector<size_t> share = kl::PartIndices(velocities.size(), options.part, options.parts);
  for (size_t i : share) FUZZ_CHECK(i < velocities.size());
  FUZZ_CHECK(options.run.untilTime && *options.run.untilTime > 0);
  FUZZ_CHECK(options.run.halfInterval >= options.separation + kl::kScanMinSpare);
  return 0;
}
