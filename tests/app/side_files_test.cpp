// The side files: the code page, the settings and language readers, the kept texts, and the
// files that the build lays out in the run folder.
#include "app/side_files.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <set>
#include <sstream>

namespace kl {
namespace {

const std::string kRunDir = KINKLAB_RUN_DIR;
const std::string kDataDir = KINKLAB_DATA_DIR;

std::string Bytes(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in.good()) << path;
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

// Code points of a UTF-8 text (its bytes that start a character).
int Chars(const std::string& utf8) {
  int n = 0;
  for (unsigned char c : utf8) n += (c & 0xC0) != 0x80;
  return n;
}

bool HasCyrillic(const std::string& utf8) {  // U+0400 .. U+04FF lead with 0xD0 .. 0xD3
  for (unsigned char c : utf8) {
    if (c >= 0xD0 && c <= 0xD3) return true;
  }
  return false;
}

// Each test writes its files into a folder of its own.
class SideFilesTemp : public ::testing::Test {
 protected:
  std::string Write(const std::string& name, const std::string& bytes) {
    const std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary) << bytes;
    return path;
  }
  std::string dir_ = [] {
    const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string dir =
        ::testing::TempDir() + "side_files_" + info->test_suite_name() + "_" + info->name();
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
  }();
};

TEST(SideFilesEncoding, MapsTheCodePageToUnicode) {
  EXPECT_EQ(Cp1251ToUtf8("Ab 1;\"x\""), "Ab 1;\"x\"");
  EXPECT_EQ(Cp1251ToUtf8("\xC0\xC1\xDF\xE0\xFF"), "АБЯая");
  EXPECT_EQ(Cp1251ToUtf8("\xA8\xB8\xB9\x88\x97\xAB\xBB\x80\xA0"), "Ёё№€—«»Ђ\u00A0");
  EXPECT_EQ(Cp1251ToUtf8("\x98"), "\uFFFD");  // the one byte the code page leaves undefined
}

TEST(SideFilesEncoding, EveryDefinedByteMakesTheRoundTrip) {
  std::set<std::string> seen;
  for (int b = 1; b < 256; ++b) {
    if (b == 0x98) continue;
    const std::string byte(1, static_cast<char>(b));
    const std::string utf8 = Cp1251ToUtf8(byte);
    EXPECT_EQ(Utf8ToCp1251(utf8), byte) << "byte " << b;
    seen.insert(utf8);
  }
  EXPECT_EQ(seen.size(), 254u);  // no two bytes share a character
}

TEST(SideFilesEncoding, WhatTheCodePageCannotHoldBecomesAQuestionMark) {
  EXPECT_EQ(Utf8ToCp1251("x中y"), "x?y");
  EXPECT_EQ(Utf8ToCp1251("\xF0\x9F\x98\x80"), "?");   // outside the basic plane
  EXPECT_EQ(Utf8ToCp1251("a\xD0"), "a?");            // cut sequence
  EXPECT_EQ(Utf8ToCp1251("\xC0\x80"), "??");         // overlong form of NUL
  EXPECT_EQ(Utf8ToCp1251("Шкала"), "\xD8\xEA\xE0\xEB\xE0");
}

// --- the files the build lays out in the run folder ---

TEST(SideFilesShipped, ConvertedFilesAreWindows1251CopiesOfTheirMasters) {
  for (const char* name : {"KQ_mix", "KQ_rus", "KQ_eng"}) {
    SCOPED_TRACE(name);
    const std::string shipped = Bytes(kRunDir + "/" + name + ".txt");
    EXPECT_EQ(Cp1251ToUtf8(shipped), Bytes(kDataDir + "/" + name + ".txt.in"));
    int cyrillic = 0;
    for (size_t i = 0; i < shipped.size(); ++i) {
      const unsigned char c = static_cast<unsigned char>(shipped[i]);
      ASSERT_NE(c, '\t') << "tab at byte " << i;
      if (c < 0x80) continue;
      // A UTF-8 Cyrillic letter would show as 0xD0 or 0xD1 followed by 0x80 .. 0xBF.
      if (c == 0xD0 || c == 0xD1) {
        ASSERT_FALSE(i + 1 < shipped.size() && (shipped[i + 1] & 0xC0) == 0x80) << "byte " << i;
      }
      const bool letter = c >= 0xC0 || c == 0xA8 || c == 0xB8;  // А .. я, Ё, ё
      const bool punctuation = c == 0xAB || c == 0xBB || c == 0x96 || c == 0x97 || c == 0xB9;
      ASSERT_TRUE(letter || punctuation) << "byte " << i << " = " << int(c);
      cyrillic += letter;
    }
    if (std::string(name) == "KQ_eng") {
      EXPECT_EQ(cyrillic, 0);
    } else {
      EXPECT_GT(cyrillic, 100);
    }
  }
  EXPECT_EQ(Bytes(kRunDir + "/KQ_ini.txt"), Bytes(kDataDir + "/KQ_ini.txt"));
}

TEST(SideFilesShipped, TheTableHasSixtyEntriesWithTheDesignedRussianTexts) {
  const std::string bytes = Bytes(kRunDir + "/KQ_mix.txt");
  EXPECT_EQ(std::count(bytes.begin(), bytes.end(), '\n'), 180);
  EXPECT_EQ(bytes.back(), '\n');
  LanguageTable table;
  std::string problem;
  ASSERT_TRUE(ReadLanguageTable(kRunDir + "/KQ_mix.txt", table, problem)) << problem;
  ASSERT_EQ(table.entries.size(), 60u);
  // The designed texts, among them those with blanks at their ends or doubled inside.
  const std::map<int, std::string> designed = {
      {1, "***"}, {2, "English"}, {3, "Закрыть"}, {5, "Начальные условия"}, {7, "Справка"},
      {11, "Рассмотрим решение вида U( x ) * EXP( i * w * t ), параметр частоты \"w\" ="},
      {14, "Фазовая пл-ть ОДУ  U'=SQRT( - 2 * P(U) )"},
      {15, "Решение ОДУ  U(x):  U'' = (1-w^2)*U + d_U [ V(U) ] = - d_U [ P(U) ]"},
      {16, "Шкалы"}, {17, "Один график"}, {22, "  Скорость="}, {28, "Кинки + вращатель"},
      {32, " разбит на"}, {33, "частей. Значит, при dx="}, {34, "м. добраться до t="},
      {35, "Поехали"}, {41, "СТОП"}, {42, "Шкала"}, {51, "Щелчки по полю Амплитуды"},
      {54, "\"Частота\""}, {56, "Обновить"}, {57, "555..555"}};
  for (const auto& [entry, text] : designed) EXPECT_EQ(table.entries[entry - 1][0], text) << entry;
  // The built-in kept texts are the designed ones too.
  const KeptTexts builtIn;
  EXPECT_EQ(builtIn.IntervalText, table.entries[31][0]);
  EXPECT_EQ(builtIn.DxText, table.entries[32][0]);
  EXPECT_EQ(builtIn.ReachText, table.entries[33][0]);
  EXPECT_EQ(builtIn.RunCaptions[1], table.entries[34][0]);
  EXPECT_EQ(builtIn.SolTitle, table.entries[42][0]);
  EXPECT_EQ(builtIn.EnergyTitle, table.entries[43][0]);
}

TEST(SideFilesShipped, CaptionsFitAndEachLanguageKeepsToItsScript) {
  LanguageTable table;
  std::string problem;
  ASSERT_TRUE(ReadLanguageTable(kRunDir + "/KQ_mix.txt", table, problem)) << problem;
  ASSERT_EQ(table.entries.size(), 60u);
  for (int entry = 1; entry <= 60; ++entry) {
    const auto& [russian, english] = table.entries[entry - 1];
    EXPECT_FALSE(russian.empty() || english.empty()) << entry;
    // Entry 2 is the language button, which names the other language in its own script.
    if (entry != 2) {
      EXPECT_FALSE(HasCyrillic(english)) << entry << ": " << english;
    }
  }
  for (int entry = 35; entry <= 38; ++entry) {
    for (const std::string& caption : table.entries[entry - 1]) {
      EXPECT_LE(Chars(caption), kRunCaptionMaxChars) << entry << ": " << caption;
    }
  }
  KeptTexts russian, english;
  KeepTexts(table, 0, russian);
  KeepTexts(table, 1, english);
  EXPECT_EQ(SolitonsCaption(russian, 3), "Солитонов в списке: 3 из 9");
  EXPECT_EQ(SolitonsCaption(english, 9), "Solitons in the list: 9 of 9");
  EXPECT_EQ(SolitonsCaption(english, 0), "The soliton list is empty");
}

TEST(HelpParagraphs, LinesJoinWithinAParagraphOrAnItemAndIndentedLinesStand) {
  const std::vector<std::string> file = {
      "HEADING", "", "A paragraph", "in two lines:", "    formula = 1", "after it", "",
      "1. first item", "   goes on", "2. second", "- dash item", "  goes on", "not the item's", "",
      "    1       table", "    2 - 7   row", "            more"};
  const std::vector<std::string> joined = {
      "HEADING", "", "A paragraph in two lines:", "    formula = 1", "after it", "",
      "1. first item goes on", "2. second", "- dash item goes on", "not the item's", "",
      "    1       table", "    2 - 7   row", "            more"};
  EXPECT_EQ(JoinHelpParagraphs(file), joined);
}

TEST(SideFilesShipped, HelpTextsAndSettingsRead) {
  for (const char* name : {"KQ_rus.txt", "KQ_eng.txt"}) {
    std::vector<std::string> lines;
    std::string problem;
    ASSERT_TRUE(ReadHelpFile(kRunDir + "/" + name, lines, problem)) << problem;
    EXPECT_GT(lines.size(), 200u) << name;
    for (size_t i = 0; i < lines.size(); ++i) {
      EXPECT_LE(Chars(lines[i]), 76) << name << ":" << i + 1;  // fits the help page
      EXPECT_TRUE(lines[i].empty() || lines[i].back() != ' ') << name << ":" << i + 1;
    }
  }
  SettingsFile settings;
  std::string problem;
  EXPECT_TRUE(ReadSettingsFile(kRunDir + "/KQ_ini.txt", settings, problem)) << problem;
  EXPECT_EQ(settings.PotentialKind, 1);
  EXPECT_EQ(settings.LogPeriod, 10);
  EXPECT_EQ(settings.LogFileName, "KQ_log");
  EXPECT_EQ(settings.Precision, StepPrecision::Extended);  // the shipped file has no fourth line
}

// --- the settings file ---

class SettingsFileReader : public SideFilesTemp {
 protected:
  // Reads `content`, starting from values that are not the defaults.
  bool Read(const std::string& content) {
    out_ = SettingsFile{3, 99, "stale", StepPrecision::Double};
    return ReadSettingsFile(Write("KQ_ini.txt", content), out_, problem_);
  }
  void ExpectDefaults() {
    EXPECT_EQ(out_.PotentialKind, 1);
    EXPECT_EQ(out_.LogPeriod, 0);
    EXPECT_EQ(out_.LogFileName, "KQ_log");
    EXPECT_EQ(out_.Precision, StepPrecision::Extended);
  }
  void ExpectOneLineProblem() {
    EXPECT_NE(problem_.find("KQ_ini.txt"), std::string::npos) << problem_;
    EXPECT_EQ(problem_.find('\n'), std::string::npos) << problem_;
  }
  SettingsFile out_;
  std::string problem_;
};

TEST_F(SettingsFileReader, ReadsNumbersSkipsCommentsAndCutsTheNameAtItsFirstBlank) {
  struct Case {
    const char* content;
    int kind, period;
    const char* name;
  } cases[] = {
      {"1 kind\n10 period\nKQ_log the name\n", 1, 10, "KQ_log"},
      {"\n\t 3\n\n  -5 steps\nMyLog\n", 3, -5, "MyLog"},  // blanks, tabs, empty lines skipped
      {"4\r\n+7\r\nrun.one\tnote\r\n", 4, 7, "run.one\tnote"},  // CRLF; only a blank ends the name
      {"2\n0\nlog two words", 2, 0, "log"},               // no final line end
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Read(c.content)) << c.content << problem_;
    EXPECT_TRUE(problem_.empty());
    EXPECT_EQ(out_.PotentialKind, c.kind) << c.content;
    EXPECT_EQ(out_.LogPeriod, c.period) << c.content;
    EXPECT_EQ(out_.LogFileName, c.name) << c.content;
  }
}

TEST_F(SettingsFileReader, AMissingNameIsTheEmptyNameWithoutAProblem) {
  // A third line that begins with a blank has an empty name; so has a file without it.
  for (const char* content : {"2\n5\n KQ_log\n", "2\n5\n\n", "2\n5\n", "2\n5", "2\n5\n\r\nprecision double\n"}) {
    EXPECT_TRUE(Read(content)) << content << problem_;
    EXPECT_TRUE(problem_.empty()) << content;
    EXPECT_EQ(out_.PotentialKind, 2) << content;
    EXPECT_EQ(out_.LogPeriod, 5) << content;
    EXPECT_EQ(out_.LogFileName, "") << content;
  }
  EXPECT_EQ(out_.Precision, StepPrecision::Double);  // the line after an empty name still counts
  EXPECT_TRUE(Read("3\n"));  // the period missing as well: 0
  EXPECT_EQ(out_.PotentialKind, 3);
  EXPECT_EQ(out_.LogPeriod, 0);
  EXPECT_EQ(out_.LogFileName, "");
}

TEST_F(SettingsFileReader, BadNumbersAndKindsFallBackToAllDefaults) {
  for (const char* content : {"abc\n10\nX\n", "1.5\n10\nX\n", "2x\n10\nX\n", "3\nten\nX\n",
                              "99999999999\n1\nX\n", "7\n10\nX\n", "0\n10\nX\n", "-1\n10\nX\n",
                              "", " \n\t\n"}) {
    EXPECT_FALSE(Read(content)) << '"' << content << '"';
    ExpectOneLineProblem();
    ExpectDefaults();
  }
  Read("3\nten\nX\n");
  EXPECT_NE(problem_.find("line 2"), std::string::npos) << problem_;
  EXPECT_NE(problem_.find("\"ten\""), std::string::npos) << problem_;
  Read("\n\n7\n10\nX\n");
  EXPECT_NE(problem_.find("line 3"), std::string::npos) << problem_;
  EXPECT_NE(problem_.find("kind 7"), std::string::npos) << problem_;
}

TEST_F(SettingsFileReader, AnOptionalFourthLineChoosesThePrecision) {
  struct Case {
    const char* content;
    StepPrecision precision;
  } cases[] = {
      {"1\n10\nKQ_log\nprecision double\n", StepPrecision::Double},
      {"1\n10\nKQ_log\nprecision extended the default\n", StepPrecision::Extended},
      {"1\r\n10\r\nKQ_log\r\n\r\n \tprecision\tdouble\r\n", StepPrecision::Double},  // blanks, CRLF
      {"1\n10\nKQ_log precision double\n", StepPrecision::Extended},  // a comment of line 3
      {"1\n10\nKQ_log\n\n\n", StepPrecision::Extended},                 // no fourth line
      {"1\n10\nKQ_log", StepPrecision::Extended},
      // A fourth line that is not a precision line is a comment, and so is all after it.
      {"1\n10\nKQ_log\ndouble\n", StepPrecision::Extended},
      {"1\n10\nKQ_log\n5\n", StepPrecision::Extended},
      {"1\n10\nKQ_log\nspeed double\n", StepPrecision::Extended},
      {"1\n10\nKQ_log\nprecisions double\n", StepPrecision::Extended},
      {"1\n10\nKQ_log\n# runs of May\nprecision double\n", StepPrecision::Extended},
  };
  for (const Case& c : cases) {
    EXPECT_TRUE(Read(c.content)) << c.content << problem_;
    EXPECT_TRUE(problem_.empty()) << c.content;
    EXPECT_EQ(out_.Precision, c.precision) << c.content;
    EXPECT_EQ(out_.PotentialKind, 1);
    EXPECT_EQ(out_.LogFileName, "KQ_log");
  }
}

TEST_F(SettingsFileReader, ABadPrecisionIsReportedAndExtendedKept) {
  for (const char* content : {"4\n7\nrun\nprecision quad\n", "4\n7\nrun\nprecision Double\n",
                              "4\n7\nrun\nprecision\n", "4\n7\nrun\nprecision\ndouble\n"}) {
    EXPECT_FALSE(Read(content)) << content;
    ExpectOneLineProblem();
    EXPECT_NE(problem_.find("line 4"), std::string::npos) << problem_;
    EXPECT_NE(problem_.find("extended precision"), std::string::npos) << problem_;
    EXPECT_EQ(out_.Precision, StepPrecision::Extended) << content;
    // The three lines before it were good and are kept.
    EXPECT_EQ(out_.PotentialKind, 4);
    EXPECT_EQ(out_.LogPeriod, 7);
    EXPECT_EQ(out_.LogFileName, "run");
  }
  Read("1\n10\nKQ_log\n\nprecision quad\n");
  EXPECT_NE(problem_.find("line 5: precision \"quad\" is not extended or double"), std::string::npos) << problem_;
  // Words of the file are quoted as text, decoded from Windows-1251.
  Read("1\n10\nKQ_log\nprecision \xE4\xE2\xEE\xE9\xED\xE0\xFF\n");
  EXPECT_NE(problem_.find("precision \"двойная\""), std::string::npos) << problem_;
  Read("1\n\xE4\xE5\xF1\xFF\xF2\xFC\nrun\n");
  EXPECT_NE(problem_.find("line 2: \"десять\" is not an integer"), std::string::npos) << problem_;
}

TEST_F(SettingsFileReader, AMissingFileIsReportedWithTheDefaults) {
  out_ = SettingsFile{3, 99, "stale", StepPrecision::Double};
  EXPECT_FALSE(ReadSettingsFile(dir_ + "/KQ_ini.txt", out_, problem_));
  ExpectOneLineProblem();
  ExpectDefaults();
}

TEST_F(SettingsFileReader, AFileLargerThanOneMegabyteIsRefusedUnread) {
  // Valid content padded with comment lines: only its size is wrong.
  std::string big = "2\n5\nrun\n";
  big += std::string(kSideFileMaxBytes + 1 - big.size(), '\n');
  const std::string kinds[] = {"KQ_ini.txt", "KQ_mix.txt", "KQ_rus.txt"};
  for (const std::string& name : kinds) {
    const std::string path = Write(name, big);
    std::string problem;
    bool ok = true;
    if (name == "KQ_ini.txt") {
      ok = ReadSettingsFile(path, out_, problem);
      ExpectDefaults();
    } else if (name == "KQ_mix.txt") {
      LanguageTable table;
      ok = ReadLanguageTable(path, table, problem);
      EXPECT_TRUE(table.entries.empty());
    } else {
      std::vector<std::string> lines;
      ok = ReadHelpFile(path, lines, problem);
      EXPECT_TRUE(lines.empty());
    }
    EXPECT_FALSE(ok) << name;
    EXPECT_EQ(problem.rfind(path + ": is larger than 1048576 bytes (1 MB)", 0), 0u) << problem;
  }
  // One byte less is read.
  big.pop_back();
  std::vector<std::string> lines;
  std::string problem;
  EXPECT_TRUE(ReadHelpFile(Write("KQ_eng.txt", big), lines, problem)) << problem;
  EXPECT_TRUE(ReadSettingsFile(Write("KQ_ini.txt", big), out_, problem)) << problem;
  EXPECT_EQ(out_.LogFileName, "run");
}

// --- the caption table and the help files ---

class LanguageTableReader : public SideFilesTemp {};

TEST_F(LanguageTableReader, TakesLinesWholeAndConvertsThem) {
  LanguageTable table;
  std::string problem;
  // Two entries in Windows-1251, CRLF ends, blanks at both ends of a text.
  const std::string bytes = " \xD0\xE0\xE7 \r\nOne  \r\n#1\r\n\xC4\xE0\nYes\nc\n";
  ASSERT_TRUE(ReadLanguageTable(Write("t.txt", bytes), table, problem));
  ASSERT_EQ(table.entries.size(), 2u);
  EXPECT_EQ(table.entries[0][0], " Раз ");
  EXPECT_EQ(table.entries[0][1], "One  ");
  EXPECT_EQ(table.entries[1][0], "Да");
  EXPECT_EQ(table.entries[1][1], "Yes");

  struct Case {
    const char* content;
    size_t entries;
    const char* lastFirst;
    const char* lastSecond;
  } cases[] = {
      {"a\nb\nc\nx\n", 2, "x", ""},     // ends after the first line of an entry
      {"a\nb\nc\nx\ny", 2, "x", "y"},   // ends before the comment, without a line end
      {"a\nb\nc\n\n", 2, "", ""},       // an empty line after the last entry starts one more
      {"a\nb", 1, "a", "b"},
  };
  for (const Case& c : cases) {
    ASSERT_TRUE(ReadLanguageTable(Write("t.txt", c.content), table, problem)) << c.content;
    ASSERT_EQ(table.entries.size(), c.entries) << c.content;
    EXPECT_EQ(table.entries.back()[0], c.lastFirst) << c.content;
    EXPECT_EQ(table.entries.back()[1], c.lastSecond) << c.content;
  }
  ASSERT_TRUE(ReadLanguageTable(Write("t.txt", ""), table, problem));
  EXPECT_TRUE(table.entries.empty());

  table.entries.assign(3, {"x", "y"});
  EXPECT_FALSE(ReadLanguageTable(dir_ + "/KQ_mix.txt", table, problem));
  EXPECT_TRUE(table.entries.empty());
  EXPECT_NE(problem.find("KQ_mix.txt"), std::string::npos) << problem;
}

TEST_F(LanguageTableReader, HelpFileLinesAreConvertedWithEmptyLinesKept) {
  std::vector<std::string> lines{"stale"};
  std::string problem;
  ASSERT_TRUE(ReadHelpFile(Write("h.txt", "\xD1\xEF\xF0\xE0\xE2\xEA\xE0\r\n\r\n  x = 1\r\n"), lines,
                           problem));
  EXPECT_EQ(lines, (std::vector<std::string>{"Справка", "", "  x = 1"}));
  EXPECT_FALSE(ReadHelpFile(dir_ + "/KQ_rus.txt", lines, problem));
  EXPECT_TRUE(lines.empty());
  EXPECT_NE(problem.find("KQ_rus.txt"), std::string::npos) << problem;
}

// --- what the entries set, and the kept texts ---

TEST(LanguageTexts, EntriesNameWhatTheySet) {
  using Names = std::vector<std::string>;
  EXPECT_EQ(EntryTargets(1), (Names{"@WindowCaption", "Form1"}));
  EXPECT_EQ(EntryTargets(7), (Names{"TabbedNotebook1#3"}));
  EXPECT_EQ(EntryTargets(16), (Names{"GroupBoxPot", "GroupBoxPhas", "GroupBoxODU"}));
  EXPECT_EQ(EntryTargets(28), (Names{"RadioGroupInit#1"}));
  EXPECT_EQ(EntryTargets(37), (Names{"@RunCaption3", "ButtonToCalc"}));
  EXPECT_EQ(EntryTargets(42), (Names{"GroupBoxCurrSol", "GroupBoxPlantEnergy", "rbScale"}));
  EXPECT_EQ(EntryTargets(43), (Names{"@SolTitle", "LabelNameCurrSol"}));
  EXPECT_EQ(EntryTargets(47), (Names{"ListBoxOptions#2"}));
  for (int entry = -1; entry <= 61; ++entry) {
    const bool setsSomething = entry >= 1 && entry <= 60 && entry != 10;
    EXPECT_EQ(EntryTargets(entry).empty(), !setsSomething) << entry;
  }
}

// Entries 1 .. 60 with the texts "ru<k>" and "en<k>".
LanguageTable NumberedTable(int entries) {
  LanguageTable table;
  for (int k = 1; k <= entries; ++k) {
    table.entries.push_back({"ru" + std::to_string(k), "en" + std::to_string(k)});
  }
  return table;
}

TEST(LanguageTexts, KeepTextsStoresExactlyTheEntriesThatNameAKeptText) {
  KeptTexts kept;
  KeepTexts(NumberedTable(60), 1, kept);
  const std::map<std::string, const std::string*> field = {
      {"@WindowCaption", &kept.WindowCaption}, {"@IntervalText", &kept.IntervalText},
      {"@DxText", &kept.DxText},               {"@ReachText", &kept.ReachText},
      {"@RunCaption1", &kept.RunCaptions[1]},  {"@RunCaption2", &kept.RunCaptions[2]},
      {"@RunCaption3", &kept.RunCaptions[3]},  {"@RunCaption4", &kept.RunCaptions[4]},
      {"@SolTitle", &kept.SolTitle},           {"@EnergyTitle", &kept.EnergyTitle},
      {"@WaitingText", &kept.WaitingText},     {"@EmptyList", &kept.EmptyListText},
      {"@SolitonsPrefix", &kept.SolitonsPrefix}, {"@SolitonsSuffix", &kept.SolitonsSuffix}};
  std::set<std::string> named;
  for (int entry = 1; entry <= 60; ++entry) {
    for (const std::string& target : EntryTargets(entry)) {
      if (target[0] != '@') continue;
      ASSERT_TRUE(field.count(target)) << target;
      EXPECT_EQ(*field.at(target), "en" + std::to_string(entry)) << target;
      EXPECT_TRUE(named.insert(target).second) << target << " named twice";
    }
  }
  EXPECT_EQ(named.size(), field.size());
  KeepTexts(NumberedTable(60), 0, kept);
  EXPECT_EQ(kept.DxText, "ru33");
}

TEST(LanguageTexts, RunCaptionsAreCutToTenCharactersNotBytes) {
  LanguageTable table = NumberedTable(60);
  table.entries[34][0] = "Продолжение работы";  // 18 characters, 35 bytes
  table.entries[35][0] = "ContinueRun!";
  table.entries[36][0] = "Ровно10сим";          // exactly ten
  table.entries[37][0] = "Ёж";
  table.entries[42][0] = "Зависимость амплитуды решения от x";  // not a run caption
  KeptTexts kept;
  KeepTexts(table, 0, kept);
  EXPECT_EQ(kept.RunCaptions[1], "Продолжени");
  EXPECT_EQ(kept.RunCaptions[2], "ContinueRu");
  EXPECT_EQ(kept.RunCaptions[3], "Ровно10сим");
  EXPECT_EQ(kept.RunCaptions[4], "Ёж");
  EXPECT_EQ(kept.SolTitle, "Зависимость амплитуды решения от x");
}

TEST(LanguageTexts, AShortTableLeavesTheLaterTextsAlone) {
  KeptTexts kept;
  KeepTexts(NumberedTable(33), 1, kept);
  EXPECT_EQ(kept.WindowCaption, "en1");
  EXPECT_EQ(kept.DxText, "en33");
  EXPECT_EQ(kept.ReachText, "м. добраться до t=");
  EXPECT_EQ(kept.RunCaptions[4], "Поехали");
  EXPECT_EQ(kept.EmptyListText, "LabelSolitons");
}

TEST(LanguageTexts, SolitonsCaptionRightAlignsTheCountInTwo) {
  KeptTexts kept;
  kept.EmptyListText = "none";
  kept.SolitonsPrefix = "Kinks:";
  kept.SolitonsSuffix = "listed";
  EXPECT_EQ(SolitonsCaption(kept, 0), "none");
  EXPECT_EQ(SolitonsCaption(kept, 1), "Kinks: 1 listed");
  EXPECT_EQ(SolitonsCaption(kept, 9), "Kinks: 9 listed");
  EXPECT_EQ(SolitonsCaption(kept, 12), "Kinks:12 listed");
}

}  // namespace
}  // namespace kl
