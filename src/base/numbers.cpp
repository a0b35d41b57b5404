#include "base/numbers.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace kl {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
}  // namespace

bool ParseNumber(std::string_view s, double& value) {
  size_t i = 0;
  const size_t n = s.size();
  while (i < n && s[i] == ' ') ++i;
  bool negative = false;
  if (i < n && (s[i] == '+' || s[i] == '-')) {
    negative = s[i] == '-';
    ++i;
  }
  long double mantissa = 0;
  int intDigits = 0;
  long fracDigits = 0;
  bool point = false;
  while (i < n && IsDigit(s[i])) {
    mantissa = mantissa * 10 + (s[i] - '0');
    ++intDigits;
    ++i;
  }
  if (i < n && s[i] == '.') {
    point = true;
    ++i;
    while (i < n && IsDigit(s[i])) {
      mantissa = mantissa * 10 + (s[i] - '0');
      ++fracDigits;
      ++i;
    }
  }
  if (intDigits == 0 && fracDigits == 0 && !point) return false;
  long exponent = 0;
  if (i < n && (s[i] == 'e' || s[i] == 'E')) {
    ++i;
    bool expNegative = false;
    if (i < n && (s[i] == '+' || s[i] == '-')) {
      expNegative = s[i] == '-';
      ++i;
    }
    if (i >= n || !IsDigit(s[i])) return false;
    while (i < n && IsDigit(s[i])) {
      if (exponent < 1000000) exponent = exponent * 10 + (s[i] - '0');
      ++i;
    }
    if (expNegative) exponent = -exponent;
  }
  if (i != n) return false;

  long double result = 0;
  if (mantissa != 0) {
    const long scale = exponent - fracDigits;
    if (scale >= 0)
      result = mantissa * std::pow(10.0L, static_cast<long double>(scale));
    else
      result = mantissa / std::pow(10.0L, static_cast<long double>(-scale));
  }
  if (negative) result = -result;
  const double stored = static_cast<double>(result);
  if (!std::isfinite(stored)) return false;
  value = stored;
  return true;
}

std::string FormatWD(double value, int width, int decimals) {
  if (decimals < 0) decimals = 0;
  std::string text;
  if (std::isnan(value)) {
    text = "NaN";
  } else if (std::isinf(value)) {
    text = value < 0 ? "-Inf" : "Inf";
  } else {
    const bool negative = value < 0;
    char buf[64];
    std::snprintf(buf, sizeof buf, "%.17e", std::fabs(value));
    // buf is "d.ddddddddddddddddde+XX": 18 significant digits.
    std::string digits;
    digits.push_back(buf[0]);
    digits.append(buf + 2, 17);
    const int exp10 = std::atoi(buf + 20);
    int pointPos = exp10 + 1;  // digits before the decimal point
    if (pointPos < 1) {
      digits = std::string(static_cast<size_t>(1 - pointPos), '0') + digits;
      pointPos = 1;
    }
    if (static_cast<int>(digits.size()) < pointPos) digits.append(pointPos - digits.size(), '0');
    const size_t keep = static_cast<size_t>(pointPos + decimals);
    if (digits.size() > keep) {
      const bool roundUp = digits[keep] >= '5';
      digits.resize(keep);
      if (roundUp) {
        int k = static_cast<int>(keep) - 1;
        while (k >= 0 && digits[k] == '9') digits[k--] = '0';
        if (k >= 0) {
          ++digits[k];
        } else {
          digits = "1" + digits;
          ++pointPos;
        }
      }
    } else {
      digits.append(keep - digits.size(), '0');
    }
    std::string intPart = digits.substr(0, pointPos);
    const size_t firstNonZero = intPart.find_first_not_of('0');
    intPart = firstNonZero == std::string::npos ? "0" : intPart.substr(firstNonZero);
    text = negative ? "-" + intPart : intPart;
    if (decimals > 0) {
      text += '.';
      text += digits.substr(pointPos);
    }
  }
  if (static_cast<int>(text.size()) < width) text = std::string(width - text.size(), ' ') + text;
  return text;
}

}  // namespace kl
