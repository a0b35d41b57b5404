#pragma once
// Shared by the fuzz targets: a check that stops the run with a message (so libFuzzer keeps
// the input), and the splitting of an input into command-line arguments.
#include <sys/stat.h>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#define FUZZ_CHECK(cond)                                                          \
  do {                                                                            \
    if (!(cond)) {                                                                \
      std::fprintf(stderr, "%s:%d: check failed: %s\n", __FILE__, __LINE__, #cond); \
      std::abort();                                                               \
    }                                                                             \
  } while (0)

namespace kl_fuzz {

inline std::string_view Bytes(const uint8_t* data, size_t size) {
  return {reinterpret_cast<const char*>(data), size};
}

// The input as arguments, one per NUL- or newline-separated piece (a real argv cannot hold
// either byte). The value of --setup is read by the option reader; a name that is not a
// regular file (a device, a pipe, a terminal) could block the run, so it becomes a name
// that does not exist and the reader's refusal is what gets exercised.
inline std::vector<std::string> SplitArgs(std::string_view bytes) {
  std::vector<std::string> args;
  std::string current;
  for (char c : bytes) {
    if (c == '\0' || c == '\n') {
      args.push_back(current);
      current.clear();
    } else {
      current += c;
    }
  }
  if (!current.empty()) args.push_back(current);
  for (size_t k = 0; k + 1 < args.size(); ++k) {
    if (args[k] != "--setup") continue;
    struct stat st;
    if (stat(args[k + 1].c_str(), &st) != 0 || !S_ISREG(st.st_mode))
      args[k + 1] = "/nonexistent/kinklab-fuzz/" + std::to_string(k);
  }
  return args;
}

// True when `text` is one line: what the readers promise for their messages.
inline bool OneLine(const std::string& text) { return text.find('\n') == std::string::npos; }

}  // namespace kl_fuzz
