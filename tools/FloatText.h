// FloatText: 32-bit floats as the shortest decimal text that reads back to
// the same float (3.1415927, 0.1, 1, -150, 0.00001, 1e+21), positional for
// decimal exponents from -5 to 20 and scientific beyond; non-finite values as
// "inf", "-inf" and "nan". Free functions; no state.
#pragma once

#include <string>

namespace floattext {

// The shortest round-tripping text of `value`; non-finite values as above.
std::string Format(float value);
// True for infinities and NaNs, which JSON writes as strings.
bool IsNonFinite(float value);

} // namespace floattext
