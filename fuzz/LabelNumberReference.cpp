#include "LabelNumberReference.h"

#include <cctype>
#include <cfloat>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <string>

namespace {

bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

// Whether `text` begins with `word` (lower case) in any letter case.
bool StartsWithWord(const char* text, const char* word) {
    for (; *word != '\0'; ++text, ++word) {
        if (std::tolower(static_cast<unsigned char>(*text)) != *word) {
            return false;
        }
    }
    return true;
}

// The number at the start of `text`, 0 when there is none. The grammar is
// matched by hand; only the matched characters reach strtof, so nothing of
// its wider grammar (hexadecimal) can slip in. "inf" and "nan" in any letter
// case are the infinities and NaN, as strtof has them.
float ReferenceNumber(const char* text) {
    const char* p = text;
    while (*p == ' ' || *p == '\t' || *p == '\n' || *p == '\v' || *p == '\f' || *p == '\r') {
        ++p;
    }
    const char* start = p;
    if (*p == '+' || *p == '-') {
        ++p;
    }
    const bool negative = *start == '-';
    if (StartsWithWord(p, "inf")) {
        return negative ? -HUGE_VALF : HUGE_VALF;
    }
    if (StartsWithWord(p, "nan")) {
        return std::nanf("");
    }
    int digits = 0;
    while (IsDigit(*p)) {
        ++p;
        ++digits;
    }
    if (*p == '.') {
        ++p;
        while (IsDigit(*p)) {
            ++p;
            ++digits;
        }
    }
    if (digits == 0) {
        return 0.0f;
    }
    if (*p == 'e' || *p == 'E') {
        const char* exponent = p + 1;
        if (*exponent == '+' || *exponent == '-') {
            ++exponent;
        }
        if (IsDigit(*exponent)) {
            while (IsDigit(*exponent)) {
                ++exponent;
            }
            p = exponent;
        }
    }
    const std::string number(start, p);
    return std::strtof(number.c_str(), nullptr);
}

} // namespace

float ReferenceLabelValue(const char* label) {
    const char* equals = std::strchr(label, '=');
    if (equals != nullptr) {
        return ReferenceNumber(equals + 1);
    }
    const char* colon = std::strchr(label, ':');
    if (colon != nullptr) {
        return ReferenceNumber(colon + 1);
    }
    const char* blank = std::strrchr(label, ' ');
    const char* candidate = blank != nullptr ? blank + 1 : label;
    if (!(*candidate == '+' || *candidate == '-' || *candidate == '.' || IsDigit(*candidate))) {
        return -FLT_MAX;
    }
    return ReferenceNumber(candidate);
}
