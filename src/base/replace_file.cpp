#include "base/replace_file.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <random>
#include <set>
#include <system_error>

#if __has_include(<unistd.h>)
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#define KINKLAB_HAVE_FSYNC 1
#endif

namespace kl {

namespace {

long ProcessId() {
#ifdef KINKLAB_HAVE_FSYNC
  return static_cast<long>(getpid());
#else
  return 0;
#endif
}

}  // namespace

bool CheckOutputPath(const std::string& path, std::string& error) {
  auto refuse = [&](const std::string& why) {
    error = "cannot write " + path + ": " + why;
    return false;
  };
  if (path.empty()) return refuse("an empty file name");
  if (path.back() == '/') return refuse("the name is a folder");
  std::error_code ec;
  const std::filesystem::path target(path);
  const auto existing = std::filesystem::status(target, ec);
  if (std::filesystem::is_directory(existing)) return refuse("the name is a folder");
  // The output replaces the file through a rename: a device or a pipe would be replaced too.
  if (std::filesystem::exists(existing) && !std::filesystem::is_regular_file(existing))
    return refuse("not a regular file");
  std::filesystem::path folder = target.parent_path();
  if (folder.empty()) folder = ".";
  const auto status = std::filesystem::status(folder, ec);
  if (!std::filesystem::exists(status)) return refuse("the folder " + folder.string() + " does not exist");
  if (!std::filesystem::is_directory(status)) return refuse(folder.string() + " is not a folder");
#ifdef KINKLAB_HAVE_FSYNC
  if (access(folder.c_str(), W_OK | X_OK) != 0) return refuse(std::strerror(errno));
#endif
  // The permission bits do not tell everything (a read-only or virtual file system, a quota, a
  // folder that takes no new files even from root): a file is made there and removed again.
  static std::atomic<unsigned> probes{0};
  const std::filesystem::path probe =
      folder / (".kinklab-probe-" + std::to_string(ProcessId()) + "-" + std::to_string(probes++));
  std::FILE* f = std::fopen(probe.c_str(), "wx");
  if (!f) return refuse(std::strerror(errno));
  std::fclose(f);
  std::filesystem::remove(probe, ec);
  return true;
}

int CreateTemporaryBeside(const std::string& path, std::string& temp, std::string& error) {
  static std::atomic<unsigned> made{0};
  static const char kLetters[] = "abcdefghijklmnopqrstuvwxyz0123456789";
  std::random_device entropy;
  int err = EEXIST;
  for (int attempt = 0; attempt < 64 && err == EEXIST; ++attempt) {
    std::string tag;
    for (unsigned bits = entropy() ^ (made++ * 2654435761u), k = 0; k < 6; ++k, bits /= 36) tag += kLetters[bits % 36];
    temp = path + "." + std::to_string(ProcessId()) + "-" + tag + ".tmp";
#ifdef KINKLAB_HAVE_FSYNC
    const int fd = open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
    if (fd >= 0) return fd;
    err = errno;
#else
    err = ENOSYS;
#endif
  }
  temp.clear();
  error = "cannot write " + path + ": " + std::strerror(err);
  return -1;
}

namespace {
std::mutex gLockedMutex;
std::set<std::string> gLocked;  // the folders this process holds
}  // namespace

OutputFolderLock::OutputFolderLock(const std::vector<std::string>& paths) {
  std::set<std::string> folders;
  for (const std::string& path : paths) {
    if (path.empty()) continue;
    std::error_code ec;
    std::filesystem::path folder = std::filesystem::path(path).parent_path();
    if (folder.empty()) folder = ".";
    const std::filesystem::path canonical = std::filesystem::weakly_canonical(folder, ec);
    folders.insert(ec ? folder.string() : canonical.string());
  }
  for (const std::string& folder : folders) {  // in order, so two processes never wait on each other
    {
      const std::lock_guard<std::mutex> guard(gLockedMutex);
      if (!gLocked.insert(folder).second) continue;
    }
    const int fd = open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    // Without such locks, or after a stop while waiting, the outputs are written all the same.
    if (fd >= 0) (void)flock(fd, LOCK_EX);
    held_.emplace_back(folder, fd);
  }
}

OutputFolderLock::~OutputFolderLock() {
  for (const auto& [folder, fd] : held_) {
    if (fd >= 0) close(fd);  // which releases the lock
    const std::lock_guard<std::mutex> guard(gLockedMutex);
    gLocked.erase(folder);
  }
}

bool WriteAll(int fd, const char* data, size_t size) {
  while (size > 0) {
    const ssize_t n = write(fd, data, size);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = EIO;
      return false;
    }
    data += n;
    size -= static_cast<size_t>(n);
  }
  return true;
}

bool WriteFileReplacing(const std::string& path, std::string_view content, std::string& error) {
  std::string temp;
  const int fd = CreateTemporaryBeside(path, temp, error);
  if (fd < 0) return false;
  // Without the fsync a crash soon after the rename could leave an empty file under the old name.
  bool ok = WriteAll(fd, content.data(), content.size()) && fsync(fd) == 0;
  int err = ok ? 0 : errno;
  if (close(fd) != 0 && ok) {
    ok = false;
    err = errno;
  }
  if (!ok) {
    unlink(temp.c_str());
    error = "cannot write " + path + ": " + std::strerror(err != 0 ? err : EIO);
    return false;
  }
  if (std::rename(temp.c_str(), path.c_str()) != 0) {
    err = errno;
    unlink(temp.c_str());
    error = "cannot replace " + path + ": " + std::strerror(err);
    return false;
  }
  return true;
}

}  // namespace kl
