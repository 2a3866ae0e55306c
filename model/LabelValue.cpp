#include "model/LabelValue.h"

#include <charconv>
#include <cmath>
#include <cstring>

namespace {

bool IsCSpace(char c) {
    return c == ' ' || c == '\t' || c == '\n' || c == '\v' || c == '\f' || c == '\r';
}

bool IsDecimalDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether the decimal number in [begin, end) (digits, an optional '.', an
// optional exponent; already matched) lies below 1 in magnitude. Used only
// for numbers beyond the single range, which are then either tiny or huge;
// the exponent saturates, so no text of any length can overflow it.
bool BelowOne(const char* begin, const char* end) {
    constexpr long long kSaturation = 1000000000LL;
    const char* p = begin;
    long long magnitude = 0; // decimal exponent of the first non-zero digit
    bool found = false;
    long long integerDigits = 0;
    for (; p != end && IsDecimalDigit(*p); ++p) {
        if (found || *p != '0') {
            found = true;
            if (integerDigits < kSaturation) {
                ++integerDigits;
            }
        }
    }
    if (found) {
        magnitude = integerDigits - 1;
    }
    if (p != end && *p == '.') {
        long long zeros = 0;
        for (++p; p != end && IsDecimalDigit(*p); ++p) {
            if (!found) {
                if (*p == '0') {
                    zeros = zeros < kSaturation ? zeros + 1 : zeros;
                } else {
                    found = true;
                    magnitude = -zeros - 1;
                }
            }
        }
    }
    long long exponent = 0;
    if (p != end && (*p == 'e' || *p == 'E')) {
        ++p;
        const bool negative = p != end && *p == '-';
        if (p != end && (*p == '+' || *p == '-')) {
            ++p;
        }
        for (; p != end && IsDecimalDigit(*p); ++p) {
            exponent = exponent < kSaturation ? exponent * 10 + (*p - '0') : exponent;
        }
        exponent = negative ? -exponent : exponent;
    }
    return !found || magnitude + exponent < 0;
}

// A decimal number at the start of `text` in the C locale's notation (leading
// white space, optional sign, digits with an optional '.', optional exponent),
// independent of the process locale and rounded once, straight to the nearest
// single; 0 when there is none.
float ParseNumber(const char* text) {
    const char* begin = text;
    const char* end = text + std::strlen(text);
    while (begin != end && IsCSpace(*begin)) {
        ++begin;
    }
    bool negative = false;
    if (begin != end && (*begin == '+' || *begin == '-')) {
        negative = *begin == '-';
        ++begin;
    }
    if (begin != end && (*begin == '+' || *begin == '-')) {
        return 0.0f;
    }
    float result = 0.0f;
    std::from_chars_result parsed = std::from_chars(begin, end, result);
    if (parsed.ec == std::errc::result_out_of_range) {
        // Too large becomes infinite, too small becomes zero, as strtof does.
        result = BelowOne(begin, parsed.ptr) ? 0.0f : HUGE_VALF;
    } else if (parsed.ec != std::errc()) {
        return 0.0f;
    }
    return negative ? -result : result;
}

} // namespace

float ParseLabelValue(const char* label) {
    if (label == nullptr) {
        return kNoLabelValue;
    }
    if (const char* equals = std::strchr(label, '=')) {
        return ParseNumber(equals + 1);
    }
    if (const char* colon = std::strchr(label, ':')) {
        return ParseNumber(colon + 1);
    }
    const char* blank = std::strrchr(label, ' ');
    const char* candidate = blank != nullptr ? blank + 1 : label;
    char first = *candidate;
    if (!(first == '+' || first == '-' || first == '.' || (first >= '0' && first <= '9'))) {
        return kNoLabelValue;
    }
    return ParseNumber(candidate);
}
