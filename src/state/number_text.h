#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace ranvik {

// The text of a number as boxes show it and result files hold it: the shortest general
// decimal form with at most 15 significant digits. No trailing zeros, no thousands separator,
// a leading minus sign for negatives, always a point as decimal separator whatever the locale.
// Magnitudes below 0.0001 or, after rounding to 15 digits, from 1E+15 on take the exponent
// form with an upper-case E, a sign and at least two exponent digits ("1.5E-07", "1E+15").
// Zero (of either sign) is "0". Non-finite values read "NaN", "Infinity" and "-Infinity".
[[nodiscard]] std::string FormatNumber(double value);

// Appends FormatNumber(value) to `out` without a temporary string (for writing large files).
void AppendNumber(std::string& out, double value);

// The number a box shows for `value` read back: `value` to 15 significant digits. A computed
// result that the user accepts in a box reaches the next step as exactly this number.
[[nodiscard]] double AsShown(double value);

// value rounded to `decimals` decimal places (0..15), halves to even: the value is scaled by
// 10^decimals, rounded to the nearest integer with ties to the even one, and scaled back. A
// value whose scaled magnitude reaches 2^52 has no fraction left to round and is returned
// unchanged, as are non-finite values.
[[nodiscard]] double RoundHalfEven(double value, int decimals);

// The number a user typed or a file holds, read with a plain conversion: optional surrounding
// blanks, an optional sign, digits with an optional point, an optional exponent (E or e).
// Empty text, other characters, and values that are not finite give no number.
[[nodiscard]] std::optional<double> ParseNumber(std::string_view text);

} // namespace ranvik
