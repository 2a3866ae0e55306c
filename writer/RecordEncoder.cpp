#include "RecordEncoder.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"
#include "fileio/EncodingNames.h"

#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace kvres {
namespace detail {
namespace {

inline void Put32(unsigned char* out, std::uint32_t value, bool bigEndian) {
    if (bigEndian != HostIsBigEndian()) {
        value = ReverseWord(value);
    }
    std::memcpy(out, &value, 4);
}

inline std::uint32_t Bits(const float* value) {
    std::uint32_t bits;
    std::memcpy(&bits, value, 4);
    return bits;
}

inline bool IsNaN(std::uint32_t bits) {
    return (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x7FFFFFu) != 0;
}

#if defined(__SSE2__)
// The bytes of each 32-bit lane reversed.
inline __m128i ReverseLanes(__m128i words) {
    const __m128i mask = _mm_set1_epi32(0x00FF00FF);
    words = _mm_or_si128(_mm_slli_epi32(_mm_and_si128(words, mask), 8),
                         _mm_and_si128(_mm_srli_epi32(words, 8), mask));
    return _mm_or_si128(_mm_slli_epi32(words, 16), _mm_srli_epi32(words, 16));
}
#endif

// 4-byte integers and singles: ids and values as words, in the file's order.
template <bool Swap>
std::size_t EncodeFour(const std::int32_t* ids, const float* values, int reals, std::size_t records,
                       unsigned char* out) {
    const std::size_t stride = 4 + 4 * static_cast<std::size_t>(reals);
    if (reals == 1) {
        std::size_t i = 0;
#if defined(__SSE2__)
        // Four records at a time: ids and values interleaved in registers.
        for (; i + 4 <= records; i += 4) {
            const __m128i id = _mm_loadu_si128(reinterpret_cast<const __m128i*>(ids + i));
            const __m128i value = _mm_loadu_si128(reinterpret_cast<const __m128i*>(values + i));
            __m128i low = _mm_unpacklo_epi32(id, value);
            __m128i high = _mm_unpackhi_epi32(id, value);
            if (Swap) {
                low = ReverseLanes(low);
                high = ReverseLanes(high);
            }
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i), low);
            _mm_storeu_si128(reinterpret_cast<__m128i*>(out + 8 * i + 16), high);
        }
#endif
        for (; i < records; ++i) {
            std::uint32_t pair[2];
            std::memcpy(&pair[0], ids + i, 4);
            std::memcpy(&pair[1], values + i, 4);
            if (Swap) {
                pair[0] = ReverseWord(pair[0]);
                pair[1] = ReverseWord(pair[1]);
            }
            std::memcpy(out + 8 * i, pair, 8);
        }
        return 8 * records;
    }
    for (std::size_t i = 0; i < records; ++i) {
        unsigned char* record = out + i * stride;
        std::uint32_t word;
        std::memcpy(&word, ids + i, 4);
        if (Swap) {
            word = ReverseWord(word);
        }
        std::memcpy(record, &word, 4);
        const float* own = values + i * static_cast<std::size_t>(reals);
        for (int r = 0; r < reals; ++r) {
            std::memcpy(&word, own + r, 4);
            if (Swap) {
                word = ReverseWord(word);
            }
            std::memcpy(record + 4 + 4 * r, &word, 4);
        }
    }
    return stride * records;
}

inline void Store64BigEndian(unsigned char* out, std::uint64_t word) {
    if (!HostIsBigEndian()) {
        word = ReverseWordBytes(word);
    }
    std::memcpy(out, &word, 8);
}

std::size_t EncodeCrayBigEndian(const std::int32_t* ids, const float* values, int reals,
                                std::size_t records, unsigned char* out, std::size_t stride) {
    for (std::size_t i = 0; i < records; ++i) {
        unsigned char* record = out + i * stride;
        Store64BigEndian(record, static_cast<std::uint64_t>(RecordEncoder::kFiller) << 32 |
                                     static_cast<std::uint32_t>(ids[i]));
        const float* own = values + i * static_cast<std::size_t>(reals);
        for (int r = 0; r < reals; ++r) {
            Store64BigEndian(record + 8 + 8 * static_cast<std::size_t>(r),
                             cray::WordOf(Bits(own + r)));
        }
    }
    return stride * records;
}

} // namespace

RecordEncoder::RecordEncoder(Encoding chosen)
    : bigEndian(encodingnames::kEntries[static_cast<int>(chosen)].bigEndian),
      intSize(IntItemSize(encodingnames::kEntries[static_cast<int>(chosen)].ints)),
      realSize(RealItemSize(encodingnames::kEntries[static_cast<int>(chosen)].reals)) {}

bool RecordEncoder::IsHostOrderFour() const {
    return intSize == 4 && bigEndian == HostIsBigEndian();
}

void RecordEncoder::PutInt(unsigned char* out, std::int32_t value) const {
    if (intSize == 4) {
        Put32(out, static_cast<std::uint32_t>(value), bigEndian);
    } else {
        Put32(out, kFiller, bigEndian);
        Put32(out + 4, static_cast<std::uint32_t>(value), bigEndian);
    }
}

void RecordEncoder::PutReal(unsigned char* out, std::uint32_t bits) const {
    if (realSize == 4) {
        Put32(out, bits, bigEndian);
        return;
    }
    if (IsNaN(bits)) {
        bits = (bits & 0x80000000u) | 0x7F800000u;
    }
    FloatToCray(bits, bigEndian, out);
}

std::size_t RecordEncoder::Encode(const std::int32_t* ids, const float* values, int reals,
                                  std::size_t records, unsigned char* out) const {
    if (intSize == 4) {
        return bigEndian != HostIsBigEndian() ? EncodeFour<true>(ids, values, reals, records, out)
                                              : EncodeFour<false>(ids, values, reals, records, out);
    }
    const std::size_t stride = RecordBytes(reals);
    if (bigEndian) {
        return EncodeCrayBigEndian(ids, values, reals, records, out, stride);
    }
    for (std::size_t i = 0; i < records; ++i) {
        unsigned char* record = out + i * stride;
        PutInt(record, ids[i]);
        const float* own = values + i * static_cast<std::size_t>(reals);
        for (int r = 0; r < reals; ++r) {
            PutReal(record + 8 + 8 * static_cast<std::size_t>(r), Bits(own + r));
        }
    }
    return stride * records;
}

std::size_t RecordEncoder::FindNaN(const float* values, std::size_t count) {
    for (std::size_t i = 0; i < count; ++i) {
        if (IsNaN(Bits(values + i))) {
            return i;
        }
    }
    return count;
}

} // namespace detail
} // namespace kvres
