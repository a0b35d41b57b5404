#pragma once
// The side files of the run folder: the settings file KQ_ini.txt, the caption table KQ_mix.txt
// and the help texts KQ_rus.txt and KQ_eng.txt. The language files are Windows-1251 bytes;
// everything handed to the rest of the program is UTF-8.
#include <array>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "engine/sim_state.h"

namespace kl {

// Windows-1251 bytes to UTF-8. The one byte that the code page leaves undefined (0x98)
// becomes U+FFFD.
std::string Cp1251ToUtf8(std::string_view bytes);

// UTF-8 to Windows-1251. A character that the code page cannot hold, and a byte that is not
// part of a well-formed UTF-8 sequence, become '?'.
std::string Utf8ToCp1251(std::string_view utf8);

// KQ_ini.txt: potential kind, log period, log file name, and optionally the step's precision.
struct SettingsFile {
  int PotentialKind = 1;
  int LogPeriod = 0;                   // records every LogPeriod steps; 0 or less: none
  std::string LogFileName = "KQ_log";  // base name; ".txt" is appended
  StepPrecision Precision = StepPrecision::Extended;
};

// A side file larger than this is refused unread (the problem names the file and the size).
inline constexpr std::size_t kSideFileMaxBytes = 1 << 20;

// Reads the three lines: an integer after skipping blanks, tabs and empty lines (the rest of
// its line is a comment), the next integer the same way, then the whole next line, cut at its
// first blank. A missing or empty third line, or one that begins with a blank, gives the
// empty name (the log is then ".txt"). True when the file was read without a fault.
// False with a one-line `problem` naming the file otherwise; `out` then holds what the program
// is to use, so the caller shows the problem and goes on: when the file cannot be opened or
// is too large, a number is not an integer, or the kind is missing or not one of 1 .. 4, all
// three values are the defaults (kind 1, no log records, "KQ_log").
// A period missing at the end of the file is 0, as is the rule for a short file.
// The first line after the name that is not empty chooses the step's precision when its
// first word is "precision": "precision extended" or "precision double" (the rest of the line
// a comment); another value there is a problem that keeps the three values read and extended
// precision. Any other line there, and everything after it, is a comment. Words quoted in a
// problem are shown decoded from Windows-1251.
bool ReadSettingsFile(const std::string& path, SettingsFile& out, std::string& problem);
// The same reading of bytes already in memory; `path` only names the file in `problem`.
bool ParseSettingsText(std::string_view bytes, const std::string& path, SettingsFile& out,
                       std::string& problem);

// KQ_mix.txt: entries of three lines (first language, second language, a comment).
struct LanguageTable {
  std::vector<std::array<std::string, 2>> entries;  // entry k at index k - 1, UTF-8
};

// Reads the whole table. Every line is taken whole, blanks included; a trailing "\r" is
// dropped. A file that ends inside an entry gives empty texts for the missing lines.
// False with a one-line `problem` when the file cannot be opened or read or is larger than
// kSideFileMaxBytes; `out` is then empty.
bool ReadLanguageTable(const std::string& path, LanguageTable& out, std::string& problem);
// The same reading of bytes already in memory.
void ParseLanguageText(std::string_view bytes, LanguageTable& out);

// A help text: the lines of the file as UTF-8, a trailing "\r" dropped from each.
// False with a one-line `problem` when the file cannot be opened or read or is larger than
// kSideFileMaxBytes; `lines` is then empty.
bool ReadHelpFile(const std::string& path, std::vector<std::string>& lines, std::string& problem);
// The same reading of bytes already in memory.
void ParseHelpText(std::string_view bytes, std::vector<std::string>& lines);
// The help text as paragraphs for a page that wraps them at its own width: the lines of a
// paragraph, and the continuation lines of a list item ("- " or "1. ", the next lines indented
// to its text), are joined with one blank. Empty lines, lines indented by four blanks or more
// (formulas, tables) and the lines after them stand as they are.
std::vector<std::string> JoinHelpParagraphs(const std::vector<std::string>& lines);

// The texts of the table that other parts of the program build captions from.
struct KeptTexts {
  std::string WindowCaption = "***";                                     // entry 1
  std::string IntervalText = " разбит на";                               // entry 32
  std::string DxText = "частей. Значит, при dx=";                        // entry 33
  std::string ReachText = "м. добраться до t=";                          // entry 34
  std::array<std::string, 5> RunCaptions{"", "Поехали", "Поехали", "Поехали",
                                         "Поехали"};                    // [RunState], 35 .. 38
  std::string SolTitle = "Зависимость амплитуды решения от \"x\" при данном \"t\"";  // 43
  std::string EnergyTitle =
      "Зависимость плотности энергии от \"x\" при данном \"t\" (логарифмическая шкала)";  // 44
  std::string WaitingText = "555..555";        // entry 57
  std::string EmptyListText = "LabelSolitons";  // entry 58
  std::string SolitonsPrefix;                  // entry 59
  std::string SolitonsSuffix;                  // entry 60
};

// A caption of the start button keeps at most this many characters.
inline constexpr int kRunCaptionMaxChars = 10;

// What table entry `entry` (from 1) sets: control names ("cmdLang", "GroupBoxPot", ...),
// the window caption "Form1", tab titles "TabbedNotebook1#0" .. "#3", radio-group items
// "RadioGroupInit#0" / "#1", list items "ListBoxOptions#0" .. "#2", and kept texts
// "@WindowCaption", "@IntervalText", "@DxText", "@ReachText", "@RunCaption1" .. "@RunCaption4",
// "@SolTitle", "@EnergyTitle", "@WaitingText", "@EmptyList", "@SolitonsPrefix",
// "@SolitonsSuffix". A kept text comes first; the controls after it are the ones to rebuild
// from it ("lblInterv2", "lblConcl1", "lblConcl2", "ButtonToCalc", "LabelSolitons").
// Entry 10 and entries outside 1 .. 60 set nothing.
std::vector<std::string> EntryTargets(int entry);

// Stores the kept texts of the entries present in `table`, from line `lineIndex` (0: first
// language, otherwise the second). Entries the table lacks keep their previous texts.
// The run captions are cut to their first kRunCaptionMaxChars characters (code points).
void KeepTexts(const LanguageTable& table, int lineIndex, KeptTexts& kept);

// The first `maxChars` code points of a UTF-8 text.
std::string FirstChars(std::string_view utf8, int maxChars);

// The caption of LabelSolitons: the empty-list text for no soliton, otherwise
// prefix + count right-aligned in 2 characters + " " + suffix.
std::string SolitonsCaption(const KeptTexts& kept, int count);

}  // namespace kl
