// Conversion of one Cray 64-bit floating-point word to an IEEE-754 single.
// Pure arithmetic on 8 bytes; reading the bytes is the caller's business.
// Inline, so that bulk decoding of many words costs no call per word.
#pragma once

#include "fileio/ByteOrder.h"

#include <cstdint>
#include <cstring>

// Converts the 8-byte Cray word `item` to a float. `swapBytes` true: the word's
// groups of bytes are read most significant byte first, false: least significant
// first. The sign always comes from bit 7 of byte 0. The mantissa is truncated
// to 23 bits after its explicit leading bit. A Cray exponent E becomes the
// single's exponent field E - 16258: from 16259 to 16512 a normal single; at
// 16258, just below the normal range, the field is 0 and the result is
// sign | mantissa, a subnormal (or zero) whose 23 bits are the mantissa as
// they stand, not shifted for the missing leading bit, as the layout
// defines it; below 16258 a signed zero; above 16512 a signed infinity.
inline float CrayToFloat(const unsigned char item[8], bool swapBytes) {
    // Bytes 0-3 carry sign and exponent, bytes 2-5 the mantissa after the
    // exponent; bytes 6 and 7 lie beyond the precision of a single.
    const std::uint32_t high = LoadWord<std::uint32_t>(item, swapBytes);
    const std::uint32_t middle = LoadWord<std::uint32_t>(item + 2, swapBytes);

    const std::uint32_t sign = (item[0] & 0x80u) ? 0x80000000u : 0u;
    const std::int32_t exponent = static_cast<std::int32_t>((high >> 16) & 0x7FFFu);
    const std::uint32_t mantissa = (middle >> 8) & 0x7FFFFFu;

    // Cray bias 16384 with the binary point before the leading bit, IEEE bias
    // 127 with the point after it: 16384 - 126.
    const std::int32_t biased = exponent - 16258;

    std::uint32_t bits;
    if (biased < 0) {
        bits = sign;
    } else if (biased > 254) {
        bits = sign | 0x7F800000u;
    } else {
        bits = sign | (static_cast<std::uint32_t>(biased) << 23) | mantissa;
    }
    float result;
    std::memcpy(&result, &bits, sizeof result);
    return result;
}
