#include "base/read_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace kl {

bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason, std::size_t limit) {
  bytes.clear();
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) {
    reason = "cannot be opened (" + std::string(std::strerror(errno)) + ")";
    return false;
  }
  char buffer[8192];
  size_t n;
  bool tooLarge = false;
  while ((n = std::fread(buffer, 1, sizeof buffer, f)) > 0) {
    bytes.append(buffer, n);
    if (bytes.size() > limit) {
      tooLarge = true;
      break;
    }
  }
  const bool failed = !tooLarge && std::ferror(f) != 0;
  const int readErrno = errno;
  std::fclose(f);
  if (tooLarge) {
    bytes.clear();
    reason = "is larger than " + std::to_string(limit) + " bytes (" + std::to_string(limit >> 20) + " MB) and is not read";
    return false;
  }
  if (failed) {
    bytes.clear();
    reason = "cannot be read (" + std::string(std::strerror(readErrno)) + ")";
    return false;
  }
  return true;
}

}  // namespace kl
