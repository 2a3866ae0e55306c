// The physical encodings of integers and reals in a .res file and the plain
// reader functions for each. A reader takes the stream, the byte-order flag and
// the destination (and a count for many reals) and returns the number of whole
// items read. The file-set reader picks one reader per kind when it detects a
// file's encoding; nothing here decides anything per read or owns a stream.
#pragma once

#include "fileio/ByteOrder.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>

// How reals are stored: IEEE single, IEEE double, or the Cray 64-bit word.
enum RealEncoding { Real4 = 0, Real8 = 1, Cray8 = 2 };

// How integers are stored: 4 bytes, or 8 bytes of which only the first or only
// the second 4-byte half carries the value.
enum IntEncoding { Int4 = 0, Int8First = 1, Int8Second = 2 };

using IntReader = int (*)(std::FILE* stream, bool bigEndian, std::int32_t* out);
using RealReader = int (*)(std::FILE* stream, bool bigEndian, float* out);
using RealsReader = int (*)(std::FILE* stream, bool bigEndian, float* out, int count);

// Bytes one item occupies in the file.
constexpr int IntItemSize(IntEncoding encoding) {
    return encoding == Int4 ? 4 : 8;
}
constexpr int RealItemSize(RealEncoding encoding) {
    return encoding == Real4 ? 4 : 8;
}

// The integer stored in the item at `item` (IntItemSize bytes in the file's
// order): the whole of a 4-byte item, the first or the second half of an
// 8-byte one. The one-integer readers decode with it.
inline std::int32_t DecodeIntItem(const unsigned char* item, IntEncoding encoding, bool bigEndian) {
    return LoadWord<std::int32_t>(encoding == Int8Second ? item + 4 : item, bigEndian);
}

// The readers of one encoding.
IntReader IntReaderFor(IntEncoding encoding);
RealReader RealReaderFor(RealEncoding encoding);
RealsReader RealsReaderFor(RealEncoding encoding);

// One-item readers: 1 when a whole item arrived, else 0. A null stream or
// destination gives 0 without touching anything.
int ReadInt4(std::FILE* stream, bool bigEndian, std::int32_t* out);
int ReadInt8First(std::FILE* stream, bool bigEndian, std::int32_t* out);
int ReadInt8Second(std::FILE* stream, bool bigEndian, std::int32_t* out);
int ReadReal4(std::FILE* stream, bool bigEndian, float* out);
int ReadReal8(std::FILE* stream, bool bigEndian, float* out);
int ReadCray8(std::FILE* stream, bool bigEndian, float* out);

// Many-reals readers: the number of whole items read. A null stream or
// destination, or a count of 0 or less, gives 0. The 8-byte readers stage the
// items in a temporary array and throw std::bad_alloc when `count` is 2^29 or
// more (the array would not fit 32 bits) or the allocation fails.
int ReadReals4(std::FILE* stream, bool bigEndian, float* out, int count);
int ReadReals8(std::FILE* stream, bool bigEndian, float* out, int count);
int ReadCrays8(std::FILE* stream, bool bigEndian, float* out, int count);

// Narrows a double to the nearest single; values beyond the single range
// round to the largest single or to infinity as IEEE round-to-nearest does.
float NarrowToFloat(double value);

// Largest number of bytes one bulk read asks the stream for.
constexpr std::size_t ChunkBytes = 65536;

// Reads `count` items of `itemSize` bytes into `buffer` through `readPiece`
// (a callable taking destination, item size and item count and returning the
// items delivered), asking for at most ChunkBytes bytes per call. One call when
// everything fits; otherwise pieces until one comes up short or all arrived.
// Returns the number of whole items delivered.
template <class PieceReader>
std::size_t ReadInPieces(PieceReader&& readPiece, unsigned char* buffer, std::size_t itemSize,
                         std::size_t count) {
    if (buffer == nullptr || itemSize == 0 || count == 0) {
        return 0;
    }
    const std::size_t perCall = ChunkBytes / itemSize;
    if (count <= perCall) {
        return readPiece(buffer, itemSize, count);
    }
    std::size_t delivered = 0;
    while (delivered < count) {
        const std::size_t remaining = count - delivered;
        const std::size_t asked = remaining < perCall ? remaining : perCall;
        const std::size_t arrived = readPiece(buffer + delivered * itemSize, itemSize, asked);
        delivered += arrived;
        if (arrived < asked) {
            break;
        }
    }
    return delivered;
}

// ReadInPieces on a stdio stream.
std::size_t ReadChunked(std::FILE* stream, void* buffer, std::size_t itemSize, std::size_t count);
