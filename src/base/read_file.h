#pragma once
// Reading a whole file that may come from anyone, with a bound on its size.
#include <cstddef>
#include <string>

namespace kl {

// The whole file as bytes, at most `limit` of them; false with a reason that follows the
// file's name in a message ("cannot be opened (...)", "is larger than ..."). A longer file is
// refused once its first limit + 1 bytes are in, unread beyond.
bool ReadWholeFile(const std::string& path, std::string& bytes, std::string& reason, std::size_t limit);

}  // namespace kl
