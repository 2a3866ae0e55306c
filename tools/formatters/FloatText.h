// FloatText: 32-bit floats as the shortest decimal text that reads back to
// the same float (3.1415927, 0.1, 1, -150, 0.00001, 1e+21), positional for
// decimal exponents from -5 to 20 and scientific beyond; non-finite values as
// "inf", "-inf" and "nan". The digits come from std::to_chars, which gives
// the shortest round trip (and, among texts that short, the nearest). Free
// functions; no state, no allocation in FormatTo.
#pragma once

#include <cstddef>
#include <string>

namespace floattext {

// Room FormatTo needs: sign, 9 digits, point, up to 5 leading zeros or an
// exponent, with margin.
constexpr std::size_t kMaxLength = 32;

// Writes the text of `value` into `out` (kMaxLength bytes, no terminator) and
// returns its length.
std::size_t FormatTo(float value, char* out);
// The same text as a string.
std::string Format(float value);
// True for infinities and NaNs, which JSON writes as strings.
bool IsNonFinite(float value);

} // namespace floattext
