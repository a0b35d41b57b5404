#pragma once
// The runner's "key: value" lines as a map, for tests that read its output.
#include <map>
#include <sstream>
#include <string>

namespace kl::test {

inline std::map<std::string, std::string> Keys(const std::string& text) {
  std::map<std::string, std::string> keys;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    const size_t colon = line.find(": ");
    if (colon != std::string::npos) keys[line.substr(0, colon)] = line.substr(colon + 2);
  }
  return keys;
}

}  // namespace kl::test
