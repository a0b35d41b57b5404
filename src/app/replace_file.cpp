#include "app/replace_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if __has_include(<unistd.h>)
#include <unistd.h>
#define KINKLAB_HAVE_FSYNC 1
#endif

namespace kl {

bool WriteFileReplacing(const std::string& path, const std::string& content, std::string& error) {
  const std::string temp = path + ".tmp";
  std::FILE* f = std::fopen(temp.c_str(), "wb");
  if (!f) {
    error = "cannot write " + path + ": " + std::strerror(errno);
    return false;
  }
  errno = 0;
  bool ok = std::fwrite(content.data(), 1, content.size(), f) == content.size() && std::fflush(f) == 0;
#ifdef KINKLAB_HAVE_FSYNC
  // Without this a crash soon after the rename could leave an empty file under the old name.
  ok = ok && fsync(fileno(f)) == 0;
#endif
  int err = errno;
  if (std::fclose(f) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    std::remove(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(err != 0 ? err : EIO);
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    std::remove(temp.c_str());
    error = "cannot replace " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace kl
