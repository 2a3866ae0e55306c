// Conversion of one Cray 64-bit floating-point word to an IEEE-754 single.
// Pure arithmetic on 8 bytes; reading the bytes is the caller's business.
// Inline, so that bulk decoding of many words costs no call per word.
#pragma once

#include "fileio/ByteOrder.h"

#include <cstdint>
#include <cstring>

// Converts the 8-byte Cray word `item` to a float. `bigEndian` true: the word's
// groups of bytes are read most significant byte first, false: least significant
// first. The sign always comes from bit 7 of byte 0. The mantissa is truncated
// to 23 bits after its explicit leading bit. A Cray exponent E becomes the
// single's exponent field E - 16258: from 16259 to 16512 a normal single; at
// 16258, just below the normal range, the field is 0 and the result is
// sign | mantissa, a subnormal (or zero) whose 23 bits are the mantissa as
// they stand, not shifted for the missing leading bit, as the layout
// defines it; below 16258 a signed zero; above 16512 a signed infinity.
inline float CrayToFloat(const unsigned char item[8], bool bigEndian) {
    // Bytes 0-3 carry sign and exponent, bytes 2-5 the mantissa after the
    // exponent; bytes 6 and 7 lie beyond the precision of a single.
    const std::uint32_t high = LoadWord<std::uint32_t>(item, bigEndian);
    const std::uint32_t middle = LoadWord<std::uint32_t>(item + 2, bigEndian);

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

// The writing side of the same word. A float's IEEE exponent e is stored as
// e + 16258 (the reader's subtraction undone), its 23 mantissa bits follow the
// explicit leading bit.
namespace cray {

constexpr std::uint32_t kExponentOffset = 16258;
constexpr std::uint32_t kInfinityExponent = kExponentOffset + 255;

// The word with sign bit `sign`, 15-bit exponent field `exponent`, explicit
// leading bit `leading` and the 23 mantissa bits `mantissa`, as one value:
// its bytes most significant first are the big-endian word.
inline std::uint64_t Word(std::uint32_t sign, std::uint32_t exponent, bool leading,
                          std::uint32_t mantissa) {
    return (static_cast<std::uint64_t>(sign) << 63) | (static_cast<std::uint64_t>(exponent) << 48) |
           (leading ? std::uint64_t{1} << 47 : 0) | (static_cast<std::uint64_t>(mantissa) << 24);
}

// The word of the float whose bits are `bits` as FloatToCray writes it most
// significant byte first, as one value; a NaN, which FloatToCray refuses,
// becomes the infinity of its sign. The writer's bulk encoding builds it in a
// register.
inline std::uint64_t WordOf(std::uint32_t bits) {
    // Written out field by field rather than through Word: the writer's
    // bulk loop runs it per real, and this form is a third faster there.
    const std::uint64_t sign = static_cast<std::uint64_t>(bits >> 31) << 63;
    const std::uint32_t exponent = (bits >> 23) & 0xFFu;
    const std::uint64_t mantissa = static_cast<std::uint64_t>(bits & 0x7FFFFFu) << 24;
    if (exponent == 0xFFu) {
        return sign | (static_cast<std::uint64_t>(kInfinityExponent) << 48) |
               (std::uint64_t{1} << 47);
    }
    if (exponent == 0) {
        if (mantissa == 0) {
            return sign;
        }
        return sign | (static_cast<std::uint64_t>(kExponentOffset) << 48) | mantissa;
    }
    return sign | (static_cast<std::uint64_t>(exponent + kExponentOffset) << 48) |
           (std::uint64_t{1} << 47) | mantissa;
}

// The 8 bytes of a word with sign bit `sign`, 15-bit exponent field
// `exponent`, explicit leading bit `leading` and the 23 mantissa bits
// `mantissa`, laid out so that CrayToFloat with `bigEndian` reads exactly
// these fields. Most significant byte first (bigEndian true): the usual word.
// Least significant byte first: exponent in byte 2 and the low 7 bits of
// byte 3, mantissa in byte 3, byte 4 and the low 7 bits of byte 5; byte 3
// serves both: its low 7 bits are bits 8-14 of the exponent, whatever the
// mantissa's low 7 bits were.
inline void ComposeWord(std::uint32_t sign, std::uint32_t exponent, bool leading,
                        std::uint32_t mantissa, bool bigEndian, unsigned char out[8]) {
    if (bigEndian) {
        const std::uint64_t word = Word(sign, exponent, leading, mantissa);
        for (int i = 0; i < 8; ++i) {
            out[i] = static_cast<unsigned char>(word >> (56 - 8 * i));
        }
        return;
    }
    out[0] = static_cast<unsigned char>(sign << 7);
    out[1] = 0;
    out[2] = static_cast<unsigned char>(exponent);
    out[3] = static_cast<unsigned char>((mantissa & 0x80u) | ((exponent >> 8) & 0x7Fu));
    out[4] = static_cast<unsigned char>(mantissa >> 8);
    out[5] = static_cast<unsigned char>(((mantissa >> 16) & 0x7Fu) | (leading ? 0x80u : 0u));
    out[6] = 0;
    out[7] = 0;
}

} // namespace cray

// Writes into `out` the Cray word of the float whose bits are `bits`, as the
// reader with `bigEndian` decodes it. Returns false, writing nothing, for a
// NaN, which no word yields.
//   bigEndian true: every other float comes back bit for bit: normal floats
//   with their exponent, signed zeros with a zero word, infinities with the
//   first exponent beyond the single range, subnormals with the exponent the
//   reader maps to IEEE exponent 0 and a clear leading bit.
//   bigEndian false: the word's byte 3 holds both the exponent's high bits and
//   the mantissa's low byte, so of each 128 neighbouring mantissas only two
//   are reachable. The word written is the one the reader decodes nearest to
//   the float (the smaller magnitude on a tie): exact for the reachable
//   floats, otherwise at most 64 units of the last place away, a relative
//   error below 2^-17 (7.63e-6) for normal floats.
inline bool FloatToCray(std::uint32_t bits, bool bigEndian, unsigned char out[8]) {
    const std::uint32_t sign = bits >> 31;
    const std::uint32_t exponent = (bits >> 23) & 0xFFu;
    const std::uint32_t mantissa = bits & 0x7FFFFFu;
    if (exponent == 0xFFu) {
        if (mantissa != 0) {
            return false;
        }
        cray::ComposeWord(sign, cray::kInfinityExponent, true, 0, bigEndian, out);
        return true;
    }
    if (exponent == 0 && mantissa == 0) {
        cray::ComposeWord(sign, 0, false, 0, bigEndian, out);
        return true;
    }
    if (bigEndian) {
        cray::ComposeWord(sign, exponent + cray::kExponentOffset, exponent != 0, mantissa, true,
                          out);
        return true;
    }
    // Candidates: in the float's own binade and its two neighbours, the
    // reachable mantissas around the wanted one, and zero.
    float target;
    const std::uint32_t magnitudeBits = bits & 0x7FFFFFFFu;
    std::memcpy(&target, &magnitudeBits, sizeof target);
    unsigned char best[8];
    cray::ComposeWord(sign, 0, false, 0, false, best);
    double bestDistance = static_cast<double>(target);
    const std::int32_t own = static_cast<std::int32_t>(exponent);
    for (std::int32_t biased = own - 1; biased <= own + 1; ++biased) {
        if (biased < 0 || biased > 254) {
            continue;
        }
        const std::uint32_t field = static_cast<std::uint32_t>(biased) + cray::kExponentOffset;
        const std::uint32_t forced = (field >> 8) & 0x7Fu;
        // Around the target's own mantissa in its binade; the largest
        // reachable one in the binade below, the smallest in the one above.
        std::int64_t base;
        if (biased == own) {
            base = (static_cast<std::int64_t>(mantissa) & ~std::int64_t{0x7F}) | forced;
        } else if (biased < own) {
            base = 0x7FFF80 | forced;
        } else {
            base = forced;
        }
        for (std::int64_t candidate = base - 128; candidate <= base + 128; candidate += 128) {
            if (candidate < 0 || candidate > 0x7FFFFF) {
                continue;
            }
            unsigned char word[8];
            cray::ComposeWord(sign, field, biased != 0, static_cast<std::uint32_t>(candidate),
                              false, word);
            const float decoded = CrayToFloat(word, false);
            const double distance =
                static_cast<double>(decoded < 0 ? -decoded : decoded) - static_cast<double>(target);
            const double absolute = distance < 0 ? -distance : distance;
            if (absolute < bestDistance) {
                bestDistance = absolute;
                std::memcpy(best, word, 8);
            }
        }
    }
    std::memcpy(out, best, 8);
    return true;
}
