#pragma once
// A file's whole text, and a text's lines, for tests that read what the program wrote.
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace kl::test {

inline std::string FileText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

}  // namespace kl::test
