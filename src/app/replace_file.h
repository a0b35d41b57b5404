#pragma once
// Writing a file that may replace user data: a temporary file beside the target, then a rename.
#include <string>

namespace kl {

// Writes `content` to `path` through the temporary file `path` + ".tmp", flushed to the disk
// before it is renamed over `path`, so a failure never leaves half a file where a good one
// stood. On failure returns false, removes the temporary file and sets `error` to
// "cannot write PATH: <system error text>" (or "cannot replace PATH: ...").
bool WriteFileReplacing(const std::string& path, const std::string& content, std::string& error);

// Checks, before any work is done, that `path` can later be written through its temporary file:
// its folder exists, is a folder, and may be written to, and the path itself, if it exists, is
// a regular file (a rename over a device such as /dev/null would replace the device); a probe
// file is then made in the folder and removed at once, since permissions do not tell whether a
// file system takes new files. On failure returns false with `error` = "cannot write PATH:
// <reason>". Nothing is left behind.
bool CheckOutputPath(const std::string& path, std::string& error);

}  // namespace kl
