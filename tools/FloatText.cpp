#include "FloatText.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace floattext {

namespace {

// Positional notation for decimal exponents in this range, scientific
// outside it (as 1e+21 and 1.5e-6), so no text grows long with zeros.
constexpr int kLowestPositional = -5;
constexpr int kHighestPositional = 20;

} // namespace

bool IsNonFinite(float value) {
    return !std::isfinite(value);
}

std::string Format(float value) {
    if (std::isnan(value)) {
        return "nan";
    }
    if (std::isinf(value)) {
        return value < 0 ? "-inf" : "inf";
    }
    // Find the fewest significant digits that read back to the same float;
    // nine always do. The tool never calls setlocale, so the C locale's "."
    // is the decimal point of both snprintf and strtof.
    char scientific[48];
    for (int digits = 1; digits <= 9; ++digits) {
        std::snprintf(scientific, sizeof(scientific), "%.*e", digits - 1,
                      static_cast<double>(value));
        if (std::strtof(scientific, nullptr) == value) {
            break;
        }
    }

    // Split "-d.ddde+XX" into sign, digit string and decimal exponent.
    const char* text = scientific;
    std::string result;
    if (*text == '-') {
        result += '-';
        ++text;
    }
    std::string digits;
    for (; *text != '\0' && *text != 'e'; ++text) {
        if (*text != '.') {
            digits += *text;
        }
    }
    const int exponent = *text == 'e' ? std::atoi(text + 1) : 0;
    while (digits.size() > 1 && digits.back() == '0') {
        digits.pop_back();
    }
    const int count = static_cast<int>(digits.size());

    if (exponent >= kLowestPositional && exponent <= kHighestPositional) {
        if (exponent < 0) {
            result += "0.";
            result.append(static_cast<std::size_t>(-exponent - 1), '0');
            result += digits;
        } else if (count <= exponent + 1) {
            result += digits;
            result.append(static_cast<std::size_t>(exponent + 1 - count), '0');
        } else {
            result.append(digits, 0, static_cast<std::size_t>(exponent + 1));
            result += '.';
            result.append(digits, static_cast<std::size_t>(exponent + 1), std::string::npos);
        }
        return result;
    }
    result += digits[0];
    if (count > 1) {
        result += '.';
        result.append(digits, 1, std::string::npos);
    }
    result += exponent < 0 ? "e-" : "e+";
    result += std::to_string(exponent < 0 ? -exponent : exponent);
    return result;
}

} // namespace floattext
