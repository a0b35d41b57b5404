// The reader of scan records (--scan-merge, --from-h5), of one scan, of a converged scan's
// groups or of a sweep's, on arbitrary bytes, written to a file of this process's own since HDF5 reads files by
// name. An accepted record holds runs in strictly increasing velocity, each with a trace on the
// common time grid.
#include <unistd.h>

#include <cmath>
#include <cstdio>
#include <vector>

#include "fuzz_check.h"
#include "records/scan_record.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  static const std::string path = "/tmp/kinklab-fuzz-record-" + std::to_string(getpid()) + ".h5";
  std::FILE* f = std::fopen(path.c_str(), "wb");
  FUZZ_CHECK(f != nullptr);
  FUZZ_CHECK(std::fwrite(data, 1, size, f) == size);
  std::fclose(f);
  kl::RecordSet set;
  std::string error;
  // A trial read that loops is cut off well inside the fuzzer's own time limit.
  if (!kl::ReadRecordSet(path, set, error, 2.0)) {
    FUZZ_CHECK(error.rfind(path + ": ", 0) == 0 && kl_fuzz::OneLine(error));
    return 0;
  }
  FUZZ_CHECK(!set.entries.empty() && (set.Sweep() ? set.modulations.size() == set.entries.size()
                                                  : set.entries.size() == 1));
  for (const std::vector<kl::ScanRecord>& records : set.entries) {
    FUZZ_CHECK(!records.empty() && (set.converged || records.size() == 1));
    for (const kl::ScanRecord& record : records)
      for (size_t k = 0; k < record.runs.size(); ++k) {
        FUZZ_CHECK(std::fabs(record.runs[k].v) < 1);
        FUZZ_CHECK(k == 0 || record.runs[k].v > record.runs[k - 1].v);
        FUZZ_CHECK(record.runs[k].centre.size() == static_cast<size_t>(kl::kTraceSamples));
      }
  }
  return 0;
}
