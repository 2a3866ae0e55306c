// Byte-order helpers: the one primitive that turns bytes of a file into a
// number (copy, then reverse when the file's order differs from the host's)
// and the in-place reversal it is built on. No stream access here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#include <type_traits>

// True when the machine running this code stores the most significant byte
// first. Decided once from the representation of a known value.
inline bool HostIsBigEndian() {
    const std::uint16_t probe = 0x0102;
    unsigned char first = 0;
    std::memcpy(&first, &probe, 1);
    return first == 0x01;
}

// Reverses `count` bytes in place.
inline void ReverseBytes(unsigned char* bytes, std::size_t count) {
    if (bytes == nullptr || count < 2) {
        return;
    }
    for (std::size_t low = 0, high = count - 1; low < high; ++low, --high) {
        const unsigned char keep = bytes[low];
        bytes[low] = bytes[high];
        bytes[high] = keep;
    }
}

// Reverses each of `words` 4-byte words in place, as ReverseBytes would one
// word at a time. With GCC or Clang four words at a time in a vector of the
// compiler's (plain shifts and masks, so any target has them); compilers
// turn a word-at-a-time loop into one scalar byte swap per word, four times
// slower on long runs.
inline std::uint32_t ReverseWord(std::uint32_t word) {
    word = ((word & 0x00FF00FFu) << 8) | ((word >> 8) & 0x00FF00FFu);
    return (word << 16) | (word >> 16);
}

inline void ReverseWords(unsigned char* bytes, std::size_t words) {
    std::size_t w = 0;
#if defined(__GNUC__)
    typedef std::uint32_t FourWords __attribute__((vector_size(16)));
    for (; w + 4 <= words; w += 4, bytes += 16) {
        FourWords four;
        std::memcpy(&four, bytes, 16);
        four = ((four & 0x00FF00FFu) << 8) | ((four >> 8) & 0x00FF00FFu);
        four = (four << 16) | (four >> 16);
        std::memcpy(bytes, &four, 16);
    }
#endif
    for (; w < words; ++w, bytes += 4) {
        std::uint32_t word;
        std::memcpy(&word, bytes, 4);
        word = ReverseWord(word);
        std::memcpy(bytes, &word, 4);
    }
}

// True when values stored in the file's order must be reversed before the host
// can use them. `bigEndian` true means the file stores the most significant byte
// first, false least significant first.
inline bool NeedsReversal(bool bigEndian) {
    return bigEndian != HostIsBigEndian();
}

// A word of 4 or of 8 bytes with its bytes in reverse order.
inline std::uint32_t ReverseWordBytes(std::uint32_t word) {
    return ReverseWord(word);
}

inline std::uint64_t ReverseWordBytes(std::uint64_t word) {
    return static_cast<std::uint64_t>(ReverseWord(static_cast<std::uint32_t>(word))) << 32 |
           ReverseWord(static_cast<std::uint32_t>(word >> 32));
}

// Decodes one value of type T (4 or 8 bytes) from sizeof(T) bytes stored in
// the file's order. The reversal works on a whole word, which the
// compiler makes one byte-swap instruction, rather than byte by byte.
template <class T> T LoadWord(const unsigned char* bytes, bool bigEndian) {
    static_assert(sizeof(T) == 4 || sizeof(T) == 8, "file items are 4 or 8 bytes");
    using Bits = typename std::conditional<sizeof(T) == 4, std::uint32_t, std::uint64_t>::type;
    Bits bits;
    std::memcpy(&bits, bytes, sizeof bits);
    if (NeedsReversal(bigEndian)) {
        bits = ReverseWordBytes(bits);
    }
    T value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}
