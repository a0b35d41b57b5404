#pragma once
// An output that a library writes by file name over a long run: it is written under a temporary
// name of its own beside the target and renamed over it only when complete, so a failed run
// never leaves half a file where a good one stood, nor a file where none stood, and two
// processes writing one output never touch each other's temporary file.
#include <string>

namespace kl {

class PendingFile {
 public:
  explicit PendingFile(std::string path) : path_(std::move(path)) {}
  PendingFile(const PendingFile&) = delete;
  PendingFile& operator=(const PendingFile&) = delete;
  // A file never committed is removed.
  ~PendingFile() { Discard(); }

  // Makes the temporary file (empty, created exclusively) for the library to open by its name;
  // false with `error` ("cannot write PATH: ...") when the folder takes no new file.
  bool Create(std::string& error);

  const std::string& Path() const { return path_; }
  const std::string& TempPath() const { return temp_; }

  // Call once the writer has closed the temporary file: flushes it to the disk and renames it
  // over the target. On failure removes it and sets `error` ("cannot replace PATH: ...").
  bool Commit(std::string& error);
  // Removes the temporary file, if it was made and not committed.
  void Discard();

 private:
  std::string path_, temp_;
  bool done_ = false;
};

}  // namespace kl
