#include "json/number_text.h"

#include <charconv>
#include <cmath>
#include <cstdint>
#include <limits>

namespace lectoria::json {
namespace {

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}

// The decimal exponent of the leading digit of a JSON number, e.g. 2 for "123.4" and -3 for
// "0.00123e0"; saturated so that absurd exponents cannot overflow. Only its sign matters to the
// caller, and only for numbers that do not fit a double, which have a non-zero digit.
std::int64_t LeadingDigitExponent(std::string_view text) {
  std::size_t pos = text[0] == '-' ? 1 : 0;
  std::int64_t magnitude = 0;
  bool seenNonZero = false;
  for (; pos < text.size() && IsDigit(text[pos]); ++pos) {
    if (seenNonZero) {
      ++magnitude;
    } else if (text[pos] != '0') {
      seenNonZero = true;
    }
  }
  if (pos < text.size() && text[pos] == '.') {
    for (++pos; pos < text.size() && IsDigit(text[pos]); ++pos) {
      if (!seenNonZero) {
        --magnitude;
        if (text[pos] != '0') seenNonZero = true;
      }
    }
  }
  std::int64_t exponent = 0;
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    ++pos;
    bool negative = false;
    if (text[pos] == '+' || text[pos] == '-') negative = text[pos++] == '-';
    for (; pos < text.size(); ++pos) {
      if (exponent < 1'000'000'000) exponent = exponent * 10 + (text[pos] - '0');
    }
    if (negative) exponent = -exponent;
  }
  return magnitude + exponent;
}

}  // namespace

void AppendNumberText(std::string& out, double x) {
  if (std::isnan(x)) {
    out += "NaN";
    return;
  }
  if (std::isinf(x)) {
    out += x > 0 ? "Infinity" : "-Infinity";
    return;
  }
  if (x == 0) {
    out.push_back('0');
    return;
  }
  if (x < 0) {
    out.push_back('-');
    x = -x;
  }
  // The scientific form of to_chars gives the shortest round-trip digits: "d.ddde+XX".
  char buffer[64];
  const auto result =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::scientific);
  const std::string_view scientific(buffer, static_cast<std::size_t>(result.ptr - buffer));
  const std::size_t e = scientific.find('e');
  std::string digits(1, scientific[0]);
  if (e > 2) digits.append(scientific.substr(2, e - 2));
  int exponent = 0;
  std::from_chars(scientific.data() + e + (scientific[e + 1] == '+' ? 2 : 1),
                  scientific.data() + scientific.size(), exponent);

  const int k = static_cast<int>(digits.size());
  const int n = exponent + 1;  // position of the decimal point relative to the digits
  if (k <= n && n <= 21) {
    out += digits;
    out.append(static_cast<std::size_t>(n - k), '0');
  } else if (0 < n && n <= 21) {
    out.append(digits, 0, static_cast<std::size_t>(n));
    out.push_back('.');
    out.append(digits, static_cast<std::size_t>(n));
  } else if (-6 < n && n <= 0) {
    out += "0.";
    out.append(static_cast<std::size_t>(-n), '0');
    out += digits;
  } else {
    out.push_back(digits[0]);
    if (k > 1) {
      out.push_back('.');
      out.append(digits, 1);
    }
    out.push_back('e');
    out.push_back(n - 1 >= 0 ? '+' : '-');
    out += std::to_string(n - 1 >= 0 ? n - 1 : 1 - n);
  }
}

std::string NumberText(double x) {
  std::string out;
  AppendNumberText(out, x);
  return out;
}

double RoundToSignificantDigits(double x, int digits) {
  if (!std::isfinite(x)) return x;
  // to_chars with a precision writes what "%.<digits>g" writes, independent of the locale.
  char buffer[64];
  const auto written =
      std::to_chars(buffer, buffer + sizeof buffer, x, std::chars_format::general, digits);
  if (written.ec != std::errc()) return x;
  double rounded = x;
  std::from_chars(buffer, written.ptr, rounded);
  return rounded;
}

std::size_t JsonNumberLength(std::string_view text) {
  std::size_t pos = 0;
  if (pos < text.size() && text[pos] == '-') ++pos;
  if (pos >= text.size() || !IsDigit(text[pos])) return 0;
  if (text[pos] == '0') {
    ++pos;
  } else {
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
  }
  if (pos < text.size() && text[pos] == '.') {
    if (pos + 1 >= text.size() || !IsDigit(text[pos + 1])) return 0;
    pos += 2;
    while (pos < text.size() && IsDigit(text[pos])) ++pos;
  }
  if (pos < text.size() && (text[pos] == 'e' || text[pos] == 'E')) {
    std::size_t exp = pos + 1;
    if (exp < text.size() && (text[exp] == '+' || text[exp] == '-')) ++exp;
    if (exp >= text.size() || !IsDigit(text[exp])) return 0;
    while (exp < text.size() && IsDigit(text[exp])) ++exp;
    pos = exp;
  }
  return pos;
}

double JsonNumberValue(std::string_view text) {
  double value = 0;
  const auto result = std::from_chars(text.data(), text.data() + text.size(), value);
  if (result.ec == std::errc::result_out_of_range) {
    const bool negative = text[0] == '-';
    const double magnitude =
        LeadingDigitExponent(text) > 0 ? std::numeric_limits<double>::infinity() : 0.0;
    return negative ? -magnitude : magnitude;
  }
  return value;
}

std::optional<double> ReadJsonNumber(std::string_view text) {
  if (text.empty() || JsonNumberLength(text) != text.size()) return std::nullopt;
  return JsonNumberValue(text);
}

}  // namespace lectoria::json
