#include "records/pending_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#if __has_include(<unistd.h>)
#include <fcntl.h>
#include <unistd.h>
#define KINKLAB_HAVE_FSYNC 1
#endif

namespace kl {

bool PendingFile::Commit(std::string& error) {
  if (done_) return true;
#ifdef KINKLAB_HAVE_FSYNC
  // The libraries close their files themselves; the data reach the disk before the rename, or a
  // crash soon after could leave an empty file under the target's name.
  const int fd = open(temp_.c_str(), O_RDONLY);
  if (fd < 0 || fsync(fd) != 0) {
    const int err = errno;
    if (fd >= 0) close(fd);
    Discard();
    error = "cannot write " + path_ + ": " + std::strerror(err);
    return false;
  }
  close(fd);
#endif
  if (std::rename(temp_.c_str(), path_.c_str()) != 0) {
    const int err = errno;
    Discard();
    error = "cannot replace " + path_ + ": " + std::strerror(err);
    return false;
  }
  done_ = true;
  return true;
}

void PendingFile::Discard() {
  if (!done_) std::remove(temp_.c_str());
}

}  // namespace kl
