#pragma once

// The number rules every panel shares: rounding (halves to the even neighbour), the reading of
// typed text (C locale, whatever the desktop's language), and clamping of doubles into ints
// without overflow.

#include <QString>

#include <optional>

namespace base {

// Nearest whole number, halves to the even neighbour (2.5 -> 2, 3.5 -> 4, -2.5 -> -2).
// NaN and infinities come back unchanged.
double roundHalfEven(double value);

// Rounds half to even, then clamps into lo..hi; NaN gives lo. Safe for any double (1e300,
// infinities): it clamps before converting.
int roundClamp(double value, int lo, int hi);

// The whole text as a decimal number ("2.5", "-5", "1e3", blanks around it allowed); nothing
// for "60s", "1,5", "abc", "" or NaN. Group separators are refused so "1,000" is never read
// as another number.
std::optional<double> parseNumber(const QString& text);

// The leading-number rule of the meter's panels: leading blanks skipped, then the longest
// leading decimal number (sign, digits, one decimal point, exponent); text that begins with
// no number reads as 0. With `allowHex`, "&H" (or "0x") followed by hexadecimal digits reads
// those digits ("&H1F" -> 31). "12abc" -> 12, "abc" -> 0, "1e" -> 1, "-.5" -> -0.5.
// Too large for a double, it is an infinity ("1e999" -> +inf), never 0.
double leadingNumber(const QString& text, bool allowHex = false);

} // namespace base
