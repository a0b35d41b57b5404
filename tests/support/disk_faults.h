#pragma once
// A disk that fills part-way, without root: a file-size limit (RLIMIT_FSIZE) with SIGXFSZ
// ignored, so a write past it fails with EFBIG; and the temporary files an output leaves.
#include <signal.h>
#include <sys/resource.h>

#include <filesystem>
#include <string>
#include <vector>

namespace kl::test {

// While it lives, no file of this process grows past `bytes`.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &old_);
    oldSignal_ = signal(SIGXFSZ, SIG_IGN);
    rlimit limit = old_;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &old_);
    signal(SIGXFSZ, oldSignal_);
  }
  FileSizeLimit(const FileSizeLimit&) = delete;
  FileSizeLimit& operator=(const FileSizeLimit&) = delete;

 private:
  rlimit old_{};
  sighandler_t oldSignal_;
};

// The temporary files of the output `path` in its folder (PATH.<process>-<tag>.tmp).
inline std::vector<std::string> TemporariesOf(const std::string& path) {
  const std::filesystem::path target(path);
  const std::filesystem::path folder = target.parent_path().empty() ? "." : target.parent_path();
  const std::string stem = target.filename().string() + ".";
  std::vector<std::string> found;
  std::error_code ec;
  for (const auto& entry : std::filesystem::directory_iterator(folder, ec)) {
    const std::string name = entry.path().filename().string();
    if (name.rfind(stem, 0) == 0 && name.size() > stem.size() + 4 && name.ends_with(".tmp"))
      found.push_back(entry.path().string());
  }
  return found;
}

}  // namespace kl::test
