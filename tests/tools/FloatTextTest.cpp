// The float text of kvres-tool's output: the shortest decimal that reads back
// to the same 32-bit float, for every power of two in the float range (where
// the gap below is half the gap above) and a sweep of random bit patterns.
#include "FloatText.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

namespace {

float FromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof(value));
    return value;
}

// The number of significant digits of a text in either form.
int SignificantDigits(const std::string& text) {
    std::string digits;
    for (char c : text) {
        if (c == 'e') {
            break;
        }
        if (c >= '0' && c <= '9') {
            digits += c;
        }
    }
    const std::size_t first = digits.find_first_not_of('0');
    if (first == std::string::npos) {
        return 1;
    }
    const std::size_t last = digits.find_last_not_of('0');
    return static_cast<int>(last - first + 1);
}

// Checks that `text` reads back to `value` and that no text with one digit
// fewer (correctly rounded, or one unit beside it) does.
void ExpectShortestRoundTrip(float value) {
    const std::string text = floattext::Format(value);
    ASSERT_EQ(std::strtof(text.c_str(), nullptr), value) << text;
    const int digits = SignificantDigits(text);
    if (digits == 1) {
        return;
    }
    char shorter[64];
    std::snprintf(shorter, sizeof(shorter), "%.*e", digits - 2, static_cast<double>(value));
    // The nearest shorter decimals: the rounded one and its two neighbours.
    const double rounded = std::strtod(shorter, nullptr);
    const int exponent = static_cast<int>(std::floor(std::log10(std::fabs(rounded))));
    const double unit = std::pow(10.0, exponent - (digits - 2));
    for (double candidate : {rounded - unit, rounded, rounded + unit}) {
        char candidateText[64];
        std::snprintf(candidateText, sizeof(candidateText), "%.*e", digits - 2, candidate);
        EXPECT_NE(std::strtof(candidateText, nullptr), value)
            << text << " is not the shortest: " << candidateText << " reads back too";
    }
}

TEST(FloatTextTest, EveryPowerOfTwoIsTheShortestRoundTrip) {
    for (int exponent = -149; exponent <= 127; ++exponent) {
        const float value = std::ldexp(1.0f, exponent);
        ExpectShortestRoundTrip(value);
        ExpectShortestRoundTrip(-value);
    }
    EXPECT_EQ(floattext::Format(std::ldexp(1.0f, 87)), "1.5474251e+26");
    EXPECT_EQ(floattext::Format(-std::ldexp(1.0f, -96)), "-1.2621775e-29");
}

TEST(FloatTextTest, RandomBitPatternsAreTheShortestRoundTrip) {
    std::mt19937 generator(20261207);
    for (int i = 0; i < 200000; ++i) {
        const float value = FromBits(static_cast<std::uint32_t>(generator()));
        if (std::isfinite(value)) {
            ExpectShortestRoundTrip(value);
        }
    }
}

TEST(FloatTextTest, KeepsThePositionalAndExponentForms) {
    const struct {
        float value;
        const char* text;
    } cases[] = {
        {0.0f, "0"},
        {-0.0f, "-0"},
        {1.0f, "1"},
        {-150.0f, "-150"},
        {0.1f, "0.1"},
        {3.1415927f, "3.1415927"},
        {1e-5f, "0.00001"},
        {1.5e-6f, "1.5e-6"},
        {1e20f, "100000000000000000000"},
        {1e21f, "1e+21"},
        {1.234e-5f, "0.00001234"},
        {123456.7f, "123456.7"},
        {3.4028235e38f, "3.4028235e+38"},
        {FromBits(1), "1e-45"},
        {FromBits(0x7F800000u), "inf"},
        {FromBits(0xFF800000u), "-inf"},
        {FromBits(0x7FC00000u), "nan"},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(floattext::Format(c.value), c.text);
    }
}

} // namespace
