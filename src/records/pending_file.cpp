#include "records/pending_file.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>

#include "base/replace_file.h"

namespace kl {

bool PendingFile::Create(std::string& error) {
  Discard();
  done_ = false;
  const int fd = CreateTemporaryBeside(path_, temp_, error);
  if (fd < 0) return false;
  close(fd);
  return true;
}

bool PendingFile::Commit(std::string& error) {
  if (done_) return true;
  if (temp_.empty()) {
    error = "cannot write " + path_ + ": the file was not made";
    return false;
  }
  // The libraries close their files themselves; the data reach the disk before the rename, or a
  // crash soon after could leave an empty file under the target's name.
  const int fd = open(temp_.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0 || fsync(fd) != 0) {
    const int err = errno;
    if (fd >= 0) close(fd);
    Discard();
    error = "cannot write " + path_ + ": " + std::strerror(err);
    return false;
  }
  close(fd);
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
  if (!done_ && !temp_.empty()) unlink(temp_.c_str());
  temp_.clear();
}

}  // namespace kl
