// The phase conversion in both directions: radians -> degrees -> radians
// gives every radians value a read can deliver back bit for bit, over a sweep
// of float bit patterns; the degrees chosen for any other radians value read
// back no farther off than the plain quotient's; NaN and the infinities pass.
#include "model/PhaseConversion.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

namespace {

float FromBits(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

TEST(PhaseConversionTest, ReadRadiansComeBackBitForBit) {
    for (std::uint64_t bits = 0; bits < (std::uint64_t{1} << 32); bits += 65521) {
        const float degrees = FromBits(static_cast<std::uint32_t>(bits));
        if (!std::isfinite(degrees)) {
            continue;
        }
        const float radians = DegreesToRadians(degrees);
        ASSERT_EQ(Bits(DegreesToRadians(RadiansToDegrees(radians))), Bits(radians))
            << "degrees " << degrees;
    }
}

TEST(PhaseConversionTest, OtherRadiansGetTheNearestDegrees) {
    for (std::uint64_t bits = 7; bits < (std::uint64_t{1} << 32); bits += 65537) {
        const float radians = FromBits(static_cast<std::uint32_t>(bits));
        if (!std::isfinite(radians)) {
            continue;
        }
        const float quotient = static_cast<float>(static_cast<double>(radians) / kRadiansPerDegree);
        const double chosen = DegreesToRadians(RadiansToDegrees(radians));
        const double plain = DegreesToRadians(quotient);
        ASSERT_LE(std::fabs(chosen - radians), std::fabs(plain - radians)) << radians;
    }
}

TEST(PhaseConversionTest, KnownValuesAndSpecials) {
    EXPECT_EQ(DegreesToRadians(180.0f), 3.1415927f);
    EXPECT_EQ(RadiansToDegrees(3.1415927f), 180.0f);
    // A zero keeps its sign both ways (the search once took the smallest
    // of the candidates that all read back as a zero: a negative one).
    EXPECT_EQ(Bits(RadiansToDegrees(0.0f)), Bits(0.0f));
    EXPECT_EQ(Bits(RadiansToDegrees(-0.0f)), Bits(-0.0f));
    const float infinity = std::numeric_limits<float>::infinity();
    EXPECT_EQ(RadiansToDegrees(infinity), infinity);
    EXPECT_EQ(RadiansToDegrees(-infinity), -infinity);
    EXPECT_TRUE(std::isnan(RadiansToDegrees(std::numeric_limits<float>::quiet_NaN())));
}

} // namespace
