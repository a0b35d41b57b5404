// The caption table reader on arbitrary bytes, and what the window takes from a table: the
// kept texts of both languages and the soliton count caption. Every text handed on is UTF-8
// that converts back to the file's bytes (0x98, which the code page leaves undefined, comes
// back as '?').
#include <algorithm>

#include "app/side_files.h"
#include "fuzz_check.h"
#include "initial/composer.h"

namespace {

bool BackToBytes(std::string_view line, const std::string& utf8) {
  std::string expected(line);
  std::replace(expected.begin(), expected.end(), '\x98', '?');
  return kl::Utf8ToCp1251(utf8) == expected;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  const std::string_view bytes = kl_fuzz::Bytes(data, size);
  kl::LanguageTable table;
  kl::ParseLanguageText(bytes, table);
  const size_t lines = bytes.empty() ? 0 : std::count(bytes.begin(), bytes.end() - 1, '\n') + 1;
  FUZZ_CHECK(table.entries.size() == (lines + 2) / 3);
  if (!table.entries.empty() && bytes.find_first_of("\n\r") == std::string_view::npos)
    FUZZ_CHECK(BackToBytes(bytes, table.entries[0][0]));

  for (int line = 0; line < 2; ++line) {
    kl::KeptTexts kept;
    kl::KeepTexts(table, line, kept);
    for (int state = 1; state <= 4; ++state) {
      const std::string& caption = kept.RunCaptions[state];
      FUZZ_CHECK(kl::FirstChars(caption, kl::kRunCaptionMaxChars) == caption);
    }
    for (int count = 0; count <= kl::kMaxSolitons; ++count) (void)kl::SolitonsCaption(kept, count);
  }
  return 0;
}
