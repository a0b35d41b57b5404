// The settings file reader on arbitrary bytes: whatever it reads, the program gets a usable
// kind and a log name of one word, and a problem is one line naming the file.
#include "app/side_files.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string path = "KQ_ini.txt";
  kl::SettingsFile settings;
  std::string problem;
  const bool ok = kl::ParseSettingsText(kl_fuzz::Bytes(data, size), path, settings, problem);
  FUZZ_CHECK(ok == problem.empty());
  FUZZ_CHECK(ok || (problem.rfind(path, 0) == 0 && kl_fuzz::OneLine(problem)));
  FUZZ_CHECK(settings.PotentialKind >= 1 && settings.PotentialKind <= 4);
  FUZZ_CHECK(settings.LogFileName.find_first_of(" \n") == std::string::npos);
  return 0;
}
