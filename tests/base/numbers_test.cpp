// The field reader and the w:d formatter, and the log file's number field built on it.
#include "base/numbers.h"

#include <gtest/gtest.h>

#include <cmath>

#include <string>

#include "engine/marks.h"

namespace kl {
namespace {

// Parses `text`, starting from a sentinel so that a failure is seen to leave the value alone.
bool Parses(const std::string& text, double& out) {
  out = -777.0;
  return ParseNumber(text, out);
}

TEST(ParseNumber, AcceptsTheNumberSyntax) {
  struct Case {
    const char* text;
    double value;
  } cases[] = {
      {"12", 12.0},        {" 1.00", 1.0},        {"   -2.5", -2.5},  {"+7", 7.0},
      {"1e-3", 0.001},     {"1E3", 1000.0},       {"2.5e+2", 250.0}, {"-.5", -0.5},
      {"3.", 3.0},         {".", 0.0},            {"0.125", 0.125},  {"1.5e0", 1.5},
      {"0.000001", 1e-6},  {"123456.789", 123456.789},
  };
  for (const Case& c : cases) {
    double v;
    EXPECT_TRUE(Parses(c.text, v)) << c.text;
    EXPECT_DOUBLE_EQ(v, c.value) << c.text;
  }
}

TEST(ParseNumber, RejectsBadTextAndKeepsTheValue) {
  for (const char* text : {"", " ", "-", "+", "1 ", "1,5", "1.2.3", "1e", "1e+", "abc", "1x",
                           "- 1", "++1", "1e999", "-1e999", "1e3.5"}) {
    double v;
    EXPECT_FALSE(Parses(text, v)) << '"' << text << '"';
    EXPECT_EQ(v, -777.0) << '"' << text << '"';
  }
}

TEST(FormatWD, RoundsTheDroppedDigitHalfAwayFromZero) {
  // Values whose binary form is exact halves: printf's "%.*f" would round them to even.
  EXPECT_EQ(FormatWD(0.125, 4, 2), "0.13");
  EXPECT_EQ(FormatWD(-0.125, 4, 2), "-0.13");
  EXPECT_EQ(FormatWD(0.5, 1, 0), "1");
  EXPECT_EQ(FormatWD(2.5, 1, 0), "3");
  EXPECT_EQ(FormatWD(-2.5, 1, 0), "-3");
  EXPECT_EQ(FormatWD(12.25, 6, 1), "  12.3");
  EXPECT_EQ(FormatWD(1.0625, 5, 3), "1.063");
  // 18 significant digits of 2.675 are 2.67499999999999982: the dropped digit is 4.
  EXPECT_EQ(FormatWD(2.675, 4, 2), "2.67");
  // 0.1 expands to 0.100000000000000006 and rounds up in its 17th decimal.
  EXPECT_EQ(FormatWD(0.1, 1, 17), "0.10000000000000001");
  EXPECT_EQ(FormatWD(0.1, 1, 20), "0.10000000000000000600");
}

TEST(FormatWD, CarriesPadsAndNeverCuts) {
  EXPECT_EQ(FormatWD(9.9999, 4, 2), "10.00");
  EXPECT_EQ(FormatWD(-99.96, 4, 1), "-100.0");
  EXPECT_EQ(FormatWD(0.96, 4, 0), "   1");
  EXPECT_EQ(FormatWD(-0.5, 4, 1), "-0.5");
  EXPECT_EQ(FormatWD(0.0, 6, 3), " 0.000");
  EXPECT_EQ(FormatWD(0.005, 4, 2), "0.01");
  EXPECT_EQ(FormatWD(0.004, 5, 2), " 0.00");
  EXPECT_EQ(FormatWD(1e-300, 4, 2), "0.00");
  EXPECT_EQ(FormatWD(3.0, 8, 0), "       3");
  EXPECT_EQ(FormatWD(123456.5, 4, 1), "123456.5");
  EXPECT_EQ(FormatWD(1e20, 1, 2), "100000000000000000000.00");
  EXPECT_EQ(FormatWD(-1234.5678, 2, 3), "-1234.568");
  // A value that is not finite stands alone in its width, without decimals.
  EXPECT_EQ(FormatWD(std::nan(""), 5, 3), "  NaN");
  EXPECT_EQ(FormatWD(HUGE_VAL, 6, 3), "   Inf");
  EXPECT_EQ(FormatWD(-HUGE_VAL, 2, 3), "-Inf");
}

TEST(LogField, FixedTenDecimalsWithCommaAndSeparator) {
  EXPECT_EQ(LogField(3.25), "   3,2500000000; ");
  EXPECT_EQ(LogField(-0.5), "  -0,5000000000; ");
  EXPECT_EQ(LogField(0.0), "   0,0000000000; ");
  EXPECT_EQ(LogField(-12.5), " -12,5000000000; ");
  EXPECT_EQ(LogField(0.00000000005), "   0,0000000001; ");
  EXPECT_EQ(LogField(123456789.0), "123456789,0000000000; ");
}

}  // namespace
}  // namespace kl
