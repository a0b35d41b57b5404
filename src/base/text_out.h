#pragma once
// Numbers and words as the runner writes them.
#include <charconv>
#include <string>

namespace kl {

// The shortest text that reads back as the same double.
inline std::string Shortest(double v) {
  char buf[64];
  return std::string(buf, std::to_chars(buf, buf + sizeof buf, v).ptr);
}

// `s` without its leading blanks (FormatWD pads numbers to their width).
inline std::string Trim(const std::string& s) {
  const size_t first = s.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : s.substr(first);
}

}  // namespace kl
