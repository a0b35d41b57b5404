#pragma once
// Writing a file that may replace user data: a temporary file beside the target, then a rename.
#include <string>
#include <string_view>
#include <vector>

namespace kl {

// Writes `content` to `path` through a temporary file of its own beside it (see
// CreateTemporaryBeside), flushed to the disk before it is renamed over `path`, so a failure
// never leaves half a file where a good one stood. On failure returns false, removes its
// temporary file and sets `error` to "cannot write PATH: <system error text>" (or "cannot
// replace PATH: ..."); the file at `path` is then as it was.
bool WriteFileReplacing(const std::string& path, std::string_view content, std::string& error);

// Makes a new, empty file in the folder of `path` under a name that no file had
// (PATH.<process>-<random>.tmp, created exclusively, so two writers of one output never share
// or remove each other's temporary file) and returns its descriptor, open for writing, with
// its name in `temp`; -1 with `error` = "cannot write PATH: <reason>" on failure.
int CreateTemporaryBeside(const std::string& path, std::string& temp, std::string& error);

// While it lives, this process alone among those that take it writes outputs into the folders
// of `paths`: an exclusive advisory lock (flock) on each folder, taken in a fixed order, waited
// for while another process holds it. Two processes that write the same outputs then write
// theirs one after the other, so the set of outputs that stays is whole from one of them. A
// folder this process has locked already is not locked again; a file system without such locks
// is written without them.
class OutputFolderLock {
 public:
  explicit OutputFolderLock(const std::vector<std::string>& paths);
  ~OutputFolderLock();
  OutputFolderLock(const OutputFolderLock&) = delete;
  OutputFolderLock& operator=(const OutputFolderLock&) = delete;

 private:
  std::vector<std::pair<std::string, int>> held_;  // folder, descriptor
};

// Writes all of `size` bytes to `fd`, resuming after interruptions; false with errno set.
bool WriteAll(int fd, const char* data, size_t size);

// Checks, before any work is done, that `path` can later be written through its temporary file:
// its folder exists, is a folder, and may be written to, and the path itself, if it exists, is
// a regular file (a rename over a device such as /dev/null would replace the device); a probe
// file is then made in the folder and removed at once, since permissions do not tell whether a
// file system takes new files. On failure returns false with `error` = "cannot write PATH:
// <reason>". Nothing is left behind.
bool CheckOutputPath(const std::string& path, std::string& error);

}  // namespace kl
