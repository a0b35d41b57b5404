// The help file reader on arbitrary bytes: one UTF-8 text per line of the file, each of
// which converts back to the line's bytes (0x98 back as '?', a trailing "\r" dropped).
#include <algorithm>

#include "app/side_files.h"
#include "fuzz_check.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = kl_fuzz::Bytes(data, size);
  std::vector<std::string> lines;
  kl::ParseHelpText(bytes, lines);
  size_t start = 0;
  for (const std::string& text : lines) {
    FUZZ_CHECK(start < bytes.size());
    size_t end = bytes.find('\n', start);
    if (end == std::string_view::npos) end = bytes.size();
    std::string expected(bytes.substr(start, end - start));
    if (!expected.empty() && expected.back() == '\r') expected.pop_back();
    std::replace(expected.begin(), expected.end(), '\x98', '?');
    FUZZ_CHECK(kl::Utf8ToCp1251(text) == expected);
    start = end + 1;
  }
  FUZZ_CHECK(start >= bytes.size());
  return 0;
}
