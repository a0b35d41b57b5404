#pragma once
// An output that a library writes by file name over a long run: it is written under a temporary
// name beside the target and renamed over it only when complete, so a failed run never leaves
// half a file where a good one stood, nor a file where none stood.
#include <string>

namespace kl {

class PendingFile {
 public:
  explicit PendingFile(std::string path) : path_(std::move(path)), temp_(path_ + ".tmp") {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  // A file never committed is removed.
  ~PendingFile() { Discard(); }

  const std::string& Path() const { return path_; }
  const std::string& TempPath() const { return temp_; }

  // Call once the writer has closed the temporary file: flushes it to the disk and renames it
  // over the target. On failure removes it and sets `error` ("cannot replace PATH: ...").
  bool Commit(std::string& error);
  // Removes the temporary file, if it was not committed.
  void Discard();

 private:
  std::string path_, temp_;
  bool done_ = false;
};

}  // namespace kl
