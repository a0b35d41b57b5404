// The reader of scan CSVs (--from-csv), the family's and a model's, on arbitrary text. An
// accepted CSV gives runs in strictly increasing velocity, each strictly between -1 and 1, whose
// rows read back the same.
#include <cmath>

#include "study/collision.h"
#include "cli/options.h"
#include "cli/scan_command.h"
#include "records/scan_csv.h"
#include "cli/scan_map.h"
#include "cli/scan_runs.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<kl::CollisionRun> runs;
  std::string error;
  if (!kl::ParseScanCsv(kl_fuzz::Bytes(data, size), "fuzz.csv", runs, error)) {
    FUZZ_CHECK(error.rfind("fuzz.csv: ", 0) == 0 && kl_fuzz::OneLine(error));
    return 0;
  }
  // A model's CSV (its header names vacuum_between) is written back in its own form.
  const std::string modelHeader = kl::ScanCsvHeader(true);
  const bool model = kl_fuzz::Bytes(data, size).substr(0, modelHeader.size() - 1) ==
                     std::string_view(modelHeader).substr(0, modelHeader.size() - 1);
  std::string csv = kl::ScanCsvHeader(model);
  for (size_t k = 0; k < runs.size(); ++k) {
    FUZZ_CHECK(std::fabs(runs[k].v) < 1);
    FUZZ_CHECK(k == 0 || runs[k].v > runs[k - 1].v);
    csv += kl::ScanCsvRow(runs[k], model);
  }
  // What the program writes, it reads back to the same runs.
  std::vector<kl::CollisionRun> again;
  FUZZ_CHECK(kl::ParseScanCsv(csv, "again.csv", again, error));
  FUZZ_CHECK(again.size() == runs.size());
  return 0;
}
