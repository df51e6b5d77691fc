// Numbers of the JSON tree as text, and text as numbers.
#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace lectoria::json {

/// Appends ECMAScript's Number-to-String form of `x`: the shortest digits that read back as
/// the same double, in plain notation for decimal exponents from -6 to 20 ("3", "0.5",
/// "0.000001", "100000000000000000000") and as d.ddde+-n otherwise ("1e+21", "1.5e-7");
/// "0" for both zeros; "NaN", "Infinity" and "-Infinity" for the non-finite values.
void AppendNumberText(std::string& out, double x);

/// AppendNumberText into a new string.
std::string NumberText(double x);

/// `x` rounded to `digits` significant decimal digits, as printf's "%.<digits>g" writes it and
/// strtod reads it back. Non-finite values come back unchanged.
double RoundToSignificantDigits(double x, int digits);

/// Length of the JSON number that starts `text`: optional minus, integer part without leading
/// zeros, optional fraction and exponent. 0 when `text` does not start with one.
std::size_t JsonNumberLength(std::string_view text);

/// The value of `text`, which must be exactly one JSON number (see JsonNumberLength). A
/// magnitude too large for a double gives +-infinity and one too small gives +-0, as a
/// JavaScript engine reads such literals.
double JsonNumberValue(std::string_view text);

/// JsonNumberValue, or nothing when `text` is not exactly one JSON number.
std::optional<double> ReadJsonNumber(std::string_view text);

}  // namespace lectoria::json
