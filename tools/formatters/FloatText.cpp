#include "FloatText.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace floattext {

namespace {

// Positional notation for decimal exponents in this range, scientific
// outside it (as 1e+21 and 1.5e-6), so no text grows long with zeros.
constexpr int kLowestPositional = -5;
constexpr int kHighestPositional = 20;

std::size_t Copy(const char* text, char* out) {
    const std::size_t length = std::strlen(text);
    std::memcpy(out, text, length);
    return length;
}

} // namespace

bool IsNonFinite(float value) {
    return !std::isfinite(value);
}

std::size_t FormatTo(float value, char* out) {
    if (std::isnan(value)) {
        return Copy("nan", out);
    }
    if (std::isinf(value)) {
        return Copy(value < 0 ? "-inf" : "inf", out);
    }
    // The shortest digits in scientific form, "-d.ddde+XX"; the tool never
    // calls setlocale, and to_chars ignores the locale anyway.
    char scientific[kMaxLength];
    const std::to_chars_result done = std::to_chars(scientific, scientific + sizeof(scientific),
                                                    value, std::chars_format::scientific);
    const char* text = scientific;
    const char* const end = done.ptr;

    char* put = out;
    if (*text == '-') {
        *put++ = '-';
        ++text;
    }
    char digits[kMaxLength];
    int count = 0;
    for (; text != end && *text != 'e'; ++text) {
        if (*text != '.') {
            digits[count++] = *text;
        }
    }
    int exponent = 0;
    if (text != end) {
        ++text; // 'e'
        const bool negative = *text == '-';
        ++text; // sign
        for (; text != end; ++text) {
            exponent = exponent * 10 + (*text - '0');
        }
        exponent = negative ? -exponent : exponent;
    }

    if (exponent >= kLowestPositional && exponent <= kHighestPositional) {
        if (exponent < 0) {
            *put++ = '0';
            *put++ = '.';
            for (int i = 0; i < -exponent - 1; ++i) {
                *put++ = '0';
            }
            std::memcpy(put, digits, static_cast<std::size_t>(count));
            put += count;
        } else if (count <= exponent + 1) {
            std::memcpy(put, digits, static_cast<std::size_t>(count));
            put += count;
            for (int i = count; i < exponent + 1; ++i) {
                *put++ = '0';
            }
        } else {
            std::memcpy(put, digits, static_cast<std::size_t>(exponent + 1));
            put += exponent + 1;
            *put++ = '.';
            std::memcpy(put, digits + exponent + 1, static_cast<std::size_t>(count - exponent - 1));
            put += count - exponent - 1;
        }
        return static_cast<std::size_t>(put - out);
    }
    *put++ = digits[0];
    if (count > 1) {
        *put++ = '.';
        std::memcpy(put, digits + 1, static_cast<std::size_t>(count - 1));
        put += count - 1;
    }
    *put++ = 'e';
    *put++ = exponent < 0 ? '-' : '+';
    put = std::to_chars(put, out + kMaxLength, exponent < 0 ? -exponent : exponent).ptr;
    return static_cast<std::size_t>(put - out);
}

std::string Format(float value) {
    char text[kMaxLength];
    return std::string(text, FormatTo(value, text));
}

} // namespace floattext
