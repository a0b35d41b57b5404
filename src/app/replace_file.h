#pragma once
// Writing a file that may replace user data: a temporary file beside the target, then a rename.
#include <string>

namespace kl {

// Writes `content` to `path` through the temporary file `path` + ".tmp", flushed to the disk
// before it is renamed over `path`, so a failure never leaves half a file where a good one
// stood. On failure returns false, removes the temporary file and sets `error` to
// "cannot write PATH: <system error text>" (or "cannot replace PATH: ...").
bool WriteFileReplacing(const std::string& path, const std::string& content, std::string& error);

}  // namespace kl
