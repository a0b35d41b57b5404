#include "app/side_files.h"

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "base/read_file.h"

namespace kl {
namespace {

// Code points of the bytes 0x80 .. 0xFF of Windows-1251; 0 marks the undefined 0x98.
constexpr char32_t kHighHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,  // 0x80
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,  // 0x88
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  // 0x90
    0,      0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,  // 0x98
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,  // 0xA0
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,  // 0xA8
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,  // 0xB0
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,  // 0xB8
};
// 0xC0 .. 0xFF are U+0410 .. U+044F, "А" .. "я", in order.

char32_t Cp1251CodePoint(unsigned char b) {
  if (b < 0x80) return b;
  if (b >= 0xC0) return 0x0410 + (b - 0xC0);
  const char32_t cp = kHighHalf[b - 0x80];
  return cp != 0 ? cp : 0xFFFD;
}

void AppendUtf8(std::string& out, char32_t cp) {
  if (cp < 0x80) {
    out += static_cast<char>(cp);
  } else if (cp < 0x800) {
    out += static_cast<char>(0xC0 | (cp >> 6));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else if (cp < 0x10000) {
    out += static_cast<char>(0xE0 | (cp >> 12));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  } else {
    out += static_cast<char>(0xF0 | (cp >> 18));
    out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
    out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
    out += static_cast<char>(0x80 | (cp & 0x3F));
  }
}

// Decodes one well-formed UTF-8 sequence at `pos` (advancing it); -1 for a malformed one,
// after which `pos` has moved by one byte.
long DecodeUtf8(std::string_view s, size_t& pos) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(s[i]); };
  const unsigned char b0 = byte(pos);
  int length;
  char32_t cp;
  char32_t least;
  if (b0 < 0x80) {
    ++pos;
    return b0;
  } else if ((b0 & 0xE0) == 0xC0) {
    length = 2, cp = b0 & 0x1F, least = 0x80;
  } else if ((b0 & 0xF0) == 0xE0) {
    length = 3, cp = b0 & 0x0F, least = 0x800;
  } else if ((b0 & 0xF8) == 0xF0) {
    length = 4, cp = b0 & 0x07, least = 0x10000;
  } else {
    ++pos;
    return -1;
  }
  if (pos + length > s.size()) {
    ++pos;
    return -1;
  }
  for (int k = 1; k < length; ++k) {
    const unsigned char b = byte(pos + k);
    if ((b & 0xC0) != 0x80) {
      ++pos;
      return -1;
    }
    cp = (cp << 6) | (b & 0x3F);
  }
  if (cp < least || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
    ++pos;
    return -1;
  }
  pos += length;
  return static_cast<long>(cp);
}

int Cp1251Byte(char32_t cp) {
  if (cp < 0x80) return static_cast<int>(cp);
  if (cp >= 0x0410 && cp <= 0x044F) return static_cast<int>(0xC0 + (cp - 0x0410));
  for (int k = 0; k < 128; ++k) {
    if (kHighHalf[k] == cp) return 0x80 + k;
  }
  return -1;
}

// Lines ended by "\n" (the last one may lack it), each without a trailing "\r".
std::vector<std::string_view> SplitLines(std::string_view bytes) {
  std::vector<std::string_view> lines;
  size_t start = 0;
  while (start < bytes.size()) {
    size_t end = bytes.find('\n', start);
    const size_t next = end == std::string_view::npos ? bytes.size() : end + 1;
    if (end == std::string_view::npos) end = bytes.size();
    std::string_view line = bytes.substr(start, end - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    lines.push_back(line);
    start = next;
  }
  return lines;
}

// The reading of the settings file: integers separated by white space, as a text file of
// numbers is read, then one line taken whole.
class SettingsScanner {
 public:
  explicit SettingsScanner(std::string_view text) : text_(text) {}

  bool AtEnd() const { return pos_ >= text_.size(); }
  int Line() const { return line_; }

  void SkipWhiteSpace() {
    while (!AtEnd() && IsWhite(text_[pos_])) Advance();
  }
  std::string_view Word() {
    const size_t start = pos_;
    while (!AtEnd() && !IsWhite(text_[pos_])) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  void SkipBlanks() {
    while (!AtEnd() && (text_[pos_] == ' ' || text_[pos_] == '\t')) ++pos_;
  }
  void SkipRestOfLine() {
    while (!AtEnd() && text_[pos_] != '\n') ++pos_;
    if (!AtEnd()) Advance();
  }
  std::string_view RestOfLine() {
    const size_t start = pos_;
    while (!AtEnd() && text_[pos_] != '\n') ++pos_;
    std::string_view line = text_.substr(start, pos_ - start);
    if (!line.empty() && line.back() == '\r') line.remove_suffix(1);
    return line;
  }

 private:
  static bool IsWhite(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }
  void Advance() {
    if (text_[pos_] == '\n') ++line_;
    ++pos_;
  }
  std::string_view text_;
  size_t pos_ = 0;
  int line_ = 1;
};

// An optional sign and decimal digits that fit a 32-bit integer.
bool ParseInteger(std::string_view word, int& value) {
  size_t i = 0;
  bool negative = false;
  if (i < word.size() && (word[i] == '+' || word[i] == '-')) negative = word[i++] == '-';
  if (i == word.size()) return false;
  std::int64_t v = 0;
  for (; i < word.size(); ++i) {
    if (word[i] < '0' || word[i] > '9') return false;
    v = v * 10 + (word[i] - '0');
    if (v > 2147483648LL) return false;
  }
  if (negative) v = -v;
  if (v > 2147483647LL || v < -2147483648LL) return false;
  value = static_cast<int>(v);
  return true;
}

constexpr const char* kDefaultsNote =
    "; using potential kind 1, no log records, log file KQ_log.txt";

// A word of the settings file as a message shows it: its Windows-1251 bytes as text, at
// most 20 characters.
std::string Quoted(std::string_view bytes) { return FirstChars(Cp1251ToUtf8(bytes), 20); }

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
  std::string out;
  out.reserve(bytes.size() * 2);
  for (char c : bytes) AppendUtf8(out, Cp1251CodePoint(static_cast<unsigned char>(c)));
  return out;
}

std::string Utf8ToCp1251(std::string_view utf8) {
  std::string out;
  out.reserve(utf8.size());
  size_t pos = 0;
  while (pos < utf8.size()) {
    const long cp = DecodeUtf8(utf8, pos);
    const int b = cp < 0 ? -1 : Cp1251Byte(static_cast<char32_t>(cp));
    out += b < 0 ? '?' : static_cast<char>(b);
  }
  return out;
}

bool ReadSettingsFile(const std::string& path, SettingsFile& out, std::string& problem) {
  out = SettingsFile{};
  problem.clear();
  std::string bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason, kSideFileMaxBytes)) {
    problem = path + ": " + reason + kDefaultsNote;
    return false;
  }
  return ParseSettingsText(bytes, path, out, problem);
}

bool ParseSettingsText(std::string_view bytes, const std::string& path, SettingsFile& out,
                       std::string& problem) {
  out = SettingsFile{};
  problem.clear();
  SettingsScanner scan(bytes);
  const auto notInteger = [&](std::string_view word, int line) {
    problem = path + ", line " + std::to_string(line) + ": \"" + Quoted(word) +
              "\" is not an integer" + kDefaultsNote;
    return false;
  };

  scan.SkipWhiteSpace();
  if (scan.AtEnd()) {
    problem = path + ": the file ends before the potential kind" + kDefaultsNote;
    return false;
  }
  int kind = 0;
  const int kindLine = scan.Line();
  const std::string_view kindWord = scan.Word();
  if (!ParseInteger(kindWord, kind)) return notInteger(kindWord, kindLine);
  if (kind < 1 || kind > 4) {
    problem = path + ", line " + std::to_string(kindLine) + ": potential kind " +
              std::to_string(kind) + " is not one of 1, 2, 3, 4" + kDefaultsNote;
    return false;
  }
  scan.SkipRestOfLine();

  int period = 0;  // a file that ends here has no period: 0, no records
  scan.SkipWhiteSpace();
  if (!scan.AtEnd()) {
    const int periodLine = scan.Line();
    const std::string_view word = scan.Word();
    if (!ParseInteger(word, period)) return notInteger(word, periodLine);
    scan.SkipRestOfLine();
  }

  out.PotentialKind = kind;
  out.LogPeriod = period;
  // The name is the whole third line up to its first blank: empty for an empty line, one
  // that begins with a blank or a file that ends before it (the log is then ".txt").
  std::string_view name = scan.RestOfLine();
  out.LogFileName = std::string(name.substr(0, name.find(' ')));
  scan.SkipRestOfLine();

  // Nothing after the name is read but a line "precision extended" or "precision double";
  // any other line there is a comment.
  scan.SkipWhiteSpace();
  if (scan.AtEnd()) return true;
  const int precisionLine = scan.Line();
  if (scan.Word() != "precision") return true;
  scan.SkipBlanks();
  const std::string_view value = scan.Word();
  if (!ParsePrecision(value, out.Precision)) {
    problem = path + ", line " + std::to_string(precisionLine) + ": precision \"" + Quoted(value) +
              "\" is not extended or double; the step uses extended precision";
    return false;
  }
  return true;
}

bool ReadLanguageTable(const std::string& path, LanguageTable& out, std::string& problem) {
  out.entries.clear();
  problem.clear();
  std::string bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason, kSideFileMaxBytes)) {
    problem = path + ": " + reason;
    return false;
  }
  ParseLanguageText(bytes, out);
  return true;
}

void ParseLanguageText(std::string_view bytes, LanguageTable& out) {
  out.entries.clear();
  const std::vector<std::string_view> lines = SplitLines(bytes);
  for (size_t i = 0; i < lines.size(); i += 3) {
    out.entries.push_back({Cp1251ToUtf8(lines[i]),
                           i + 1 < lines.size() ? Cp1251ToUtf8(lines[i + 1]) : std::string()});
  }
}

bool ReadHelpFile(const std::string& path, std::vector<std::string>& lines, std::string& problem) {
  lines.clear();
  problem.clear();
  std::string bytes;
  std::string reason;
  if (!ReadWholeFile(path, bytes, reason, kSideFileMaxBytes)) {
    problem = path + ": " + reason;
    return false;
  }
  ParseHelpText(bytes, lines);
  return true;
}

void ParseHelpText(std::string_view bytes, std::vector<std::string>& lines) {
  lines.clear();
  for (std::string_view line : SplitLines(bytes)) lines.push_back(Cp1251ToUtf8(line));
}

namespace {
size_t LeadingBlanks(const std::string& line) {
  const size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? line.size() : first;
}

// The indent of the text of a list item's first line ("- x" gives 2, "12. x" gives 4), or
// npos when the line does not start an item.
size_t ItemTextIndent(const std::string& line) {
  const size_t at = LeadingBlanks(line);
  if (line.compare(at, 2, "- ") == 0) return at + 2;
  size_t digits = at;
  while (digits < line.size() && std::isdigit(static_cast<unsigned char>(line[digits]))) ++digits;
  if (digits > at && line.compare(digits, 2, ". ") == 0) return digits + 2;
  return std::string::npos;
}
}  // namespace

std::vector<std::string> JoinHelpParagraphs(const std::vector<std::string>& lines) {
  constexpr size_t kPreformatted = 4;
  std::vector<std::string> out;
  size_t continuation = std::string::npos;  // the indent that continues the open paragraph
  for (const std::string& line : lines) {
    const bool blank = line.find_first_not_of(' ') == std::string::npos;
    const size_t indent = LeadingBlanks(line);
    const size_t item = ItemTextIndent(line);
    if (!blank && item == std::string::npos && indent == continuation) {
      out.back() += ' ';
      out.back() += line.substr(indent);
      continue;
    }
    out.push_back(line);
    if (blank || (item == std::string::npos && indent >= kPreformatted)) continuation = std::string::npos;
    else continuation = item != std::string::npos ? item : indent;
  }
  return out;
}

std::vector<std::string> EntryTargets(int entry) {
  switch (entry) {
    case 1: return {"@WindowCaption", "Form1"};
    case 2: return {"cmdLang"};
    case 3: return {"cmdExit"};
    case 4: case 5: case 6: case 7:
      return {"TabbedNotebook1#" + std::to_string(entry - 4)};
    case 8: return {"Label10"};
    case 9: return {"GroupBoxFirstInterval"};
    case 11: return {"Label18"};
    case 12: return {"Label11"};
    case 13: return {"Label_up_Potencial"};
    case 14: return {"Label_up_PhasePlane"};
    case 15: return {"Label_up_U"};
    case 16: return {"GroupBoxPot", "GroupBoxPhas", "GroupBoxODU"};
    case 17: return {"ButtonDrawOne"};
    case 18: return {"ButtonDrawAll"};
    case 19: return {"LabelAdd"};
    case 20: return {"LabelRemove"};
    case 21: return {"LabelInitSm"};
    case 22: return {"LabelInitVel"};
    case 23: return {"Label7"};
    case 24: return {"Label_kF"};
    case 25: return {"ButtonInitPlants"};
    case 26: return {"RadioGroupInit"};
    case 27: return {"RadioGroupInit#0"};
    case 28: return {"RadioGroupInit#1"};
    case 29: return {"GroupBoxAdiabat"};
    case 30: return {"Label1"};
    case 31: return {"lblInterv1"};
    case 32: return {"@IntervalText", "lblInterv2"};
    case 33: return {"@DxText", "lblConcl1"};
    case 34: return {"@ReachText", "lblConcl2"};
    case 35: case 36: case 37: case 38:
      return {"@RunCaption" + std::to_string(entry - 34), "ButtonToCalc"};
    case 39: return {"RadioButtonWithStop"};
    case 40: return {"RadioButtonWithoutStop"};
    case 41: return {"ButtonStop"};
    case 42: return {"GroupBoxCurrSol", "GroupBoxPlantEnergy", "rbScale"};  // the choice that opens them
    case 43: return {"@SolTitle", "LabelNameCurrSol"};
    case 44: return {"@EnergyTitle", "LabelNameCurrEnergy"};
    case 45: case 46: case 47:
      return {"ListBoxOptions#" + std::to_string(entry - 45)};
    case 48: return {"GroupBoxMicro2"};
    case 49: return {"rbCreateMicro2"};
    case 50: return {"rbDeleteMicro2"};
    case 51: return {"GroupBoxSearch"};
    case 52: return {"GroupBoxRadButt"};
    case 53: return {"RadioButtonAmpl"};
    case 54: return {"RadioButtonFase"};
    case 55: return {"RadioButtonEnergy"};
    case 56: return {"ButtonRefreshSol"};
    case 57: return {"@WaitingText", "LabelHint2"};
    case 58: return {"@EmptyList", "LabelSolitons"};
    case 59: return {"@SolitonsPrefix", "LabelSolitons"};
    case 60: return {"@SolitonsSuffix", "LabelSolitons"};
    default: return {};  // entry 10 and entries outside 1 .. 60
  }
}

std::string FirstChars(std::string_view utf8, int maxChars) {
  int chars = 0;
  for (size_t i = 0; i < utf8.size(); ++i) {
    const bool startsChar = (static_cast<unsigned char>(utf8[i]) & 0xC0) != 0x80;
    if (startsChar && ++chars > maxChars) return std::string(utf8.substr(0, i));
  }
  return std::string(utf8);
}

void KeepTexts(const LanguageTable& table, int lineIndex, KeptTexts& kept) {
  const int line = lineIndex == 0 ? 0 : 1;
  const auto keep = [&](int entry, std::string& target) {
    if (entry <= static_cast<int>(table.entries.size())) target = table.entries[entry - 1][line];
  };
  keep(1, kept.WindowCaption);
  keep(32, kept.IntervalText);
  keep(33, kept.DxText);
  keep(34, kept.ReachText);
  for (int state = 1; state <= 4; ++state) {
    keep(34 + state, kept.RunCaptions[state]);
    kept.RunCaptions[state] = FirstChars(kept.RunCaptions[state], kRunCaptionMaxChars);
  }
  keep(43, kept.SolTitle);
  keep(44, kept.EnergyTitle);
  keep(57, kept.WaitingText);
  keep(58, kept.EmptyListText);
  keep(59, kept.SolitonsPrefix);
  keep(60, kept.SolitonsSuffix);
}

std::string SolitonsCaption(const KeptTexts& kept, int count) {
  if (count <= 0) return kept.EmptyListText;
  std::string number = std::to_string(count);
  if (number.size() < 2) number.insert(0, 2 - number.size(), ' ');
  return kept.SolitonsPrefix + number + " " + kept.SolitonsSuffix;
}

}  // namespace kl
