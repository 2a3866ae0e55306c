#include "fileio/ResEncoding.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"

#include <cfloat>
#include <cmath>
#include <limits>
#include <memory>
#include <new>

namespace {

// Reads exactly `size` bytes; false when fewer arrived.
bool ReadItem(std::FILE* stream, unsigned char* bytes, std::size_t size) {
    return std::fread(bytes, size, 1, stream) == 1;
}

// Staging array for the 8-byte many-reals readers. The array of `count` items
// must fit 32 bits as it does in the plug-in's own process.
std::unique_ptr<unsigned char[]> StagingArray(int count) {
    constexpr int limit = 1 << 29;
    if (count >= limit) {
        throw std::bad_alloc();
    }
    return std::unique_ptr<unsigned char[]>(new unsigned char[static_cast<std::size_t>(count) * 8]);
}

} // namespace

IntReader IntReaderFor(IntEncoding encoding) {
    switch (encoding) {
    case Int8First:
        return &ReadInt8First;
    case Int8Second:
        return &ReadInt8Second;
    case Int4:
    default:
        return &ReadInt4;
    }
}

RealReader RealReaderFor(RealEncoding encoding) {
    switch (encoding) {
    case Real8:
        return &ReadReal8;
    case Cray8:
        return &ReadCray8;
    case Real4:
    default:
        return &ReadReal4;
    }
}

RealsReader RealsReaderFor(RealEncoding encoding) {
    switch (encoding) {
    case Real8:
        return &ReadReals8;
    case Cray8:
        return &ReadCrays8;
    case Real4:
    default:
        return &ReadReals4;
    }
}

int ReadInt4(std::FILE* stream, bool bigEndian, std::int32_t* out) {
    unsigned char bytes[4];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = DecodeIntItem(bytes, Int4, bigEndian);
    return 1;
}

int ReadInt8First(std::FILE* stream, bool bigEndian, std::int32_t* out) {
    unsigned char bytes[8];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = DecodeIntItem(bytes, Int8First, bigEndian);
    return 1;
}

int ReadInt8Second(std::FILE* stream, bool bigEndian, std::int32_t* out) {
    unsigned char bytes[8];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = DecodeIntItem(bytes, Int8Second, bigEndian);
    return 1;
}

int ReadReal4(std::FILE* stream, bool bigEndian, float* out) {
    unsigned char bytes[4];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = LoadWord<float>(bytes, bigEndian);
    return 1;
}

int ReadReal8(std::FILE* stream, bool bigEndian, float* out) {
    unsigned char bytes[8];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = NarrowToFloat(LoadWord<double>(bytes, bigEndian));
    return 1;
}

int ReadCray8(std::FILE* stream, bool bigEndian, float* out) {
    unsigned char bytes[8];
    if (stream == nullptr || out == nullptr || !ReadItem(stream, bytes, sizeof bytes)) {
        return 0;
    }
    *out = CrayToFloat(bytes, bigEndian);
    return 1;
}

int ReadReals4(std::FILE* stream, bool bigEndian, float* out, int count) {
    if (stream == nullptr || out == nullptr || count <= 0) {
        return 0;
    }
    const std::size_t arrived = ReadChunked(stream, out, 4, static_cast<std::size_t>(count));
    if (NeedsReversal(bigEndian)) {
        // In place: each float's bytes are decoded from the array itself.
        unsigned char* bytes = reinterpret_cast<unsigned char*>(out);
        for (std::size_t i = 0; i < arrived; ++i) {
            out[i] = LoadWord<float>(bytes + 4 * i, bigEndian);
        }
    }
    return static_cast<int>(arrived);
}

int ReadReals8(std::FILE* stream, bool bigEndian, float* out, int count) {
    if (stream == nullptr || out == nullptr || count <= 0) {
        return 0;
    }
    std::unique_ptr<unsigned char[]> staging = StagingArray(count);
    const std::size_t arrived =
        ReadChunked(stream, staging.get(), 8, static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < arrived; ++i) {
        out[i] = NarrowToFloat(LoadWord<double>(staging.get() + 8 * i, bigEndian));
    }
    return static_cast<int>(arrived);
}

int ReadCrays8(std::FILE* stream, bool bigEndian, float* out, int count) {
    if (stream == nullptr || out == nullptr || count <= 0) {
        return 0;
    }
    std::unique_ptr<unsigned char[]> staging = StagingArray(count);
    const std::size_t arrived =
        ReadChunked(stream, staging.get(), 8, static_cast<std::size_t>(count));
    for (std::size_t i = 0; i < arrived; ++i) {
        out[i] = CrayToFloat(staging.get() + 8 * i, bigEndian);
    }
    return static_cast<int>(arrived);
}

float NarrowToFloat(double value) {
    if (std::isnan(value)) {
        return std::numeric_limits<float>::quiet_NaN();
    }
    // Halfway between the largest single and 2^128: from here on the nearest
    // single (ties to even) is infinity.
    const double overflowFrom = 0x1.ffffffp127;
    const double magnitude = std::fabs(value);
    if (magnitude >= overflowFrom) {
        return value < 0 ? -std::numeric_limits<float>::infinity()
                         : std::numeric_limits<float>::infinity();
    }
    if (magnitude > FLT_MAX) {
        return value < 0 ? -FLT_MAX : FLT_MAX;
    }
    return static_cast<float>(value);
}

std::size_t ReadChunked(std::FILE* stream, void* buffer, std::size_t itemSize, std::size_t count) {
    if (stream == nullptr) {
        return 0;
    }
    return ReadInPieces(
        [stream](unsigned char* destination, std::size_t size, std::size_t items) {
            return std::fread(destination, size, items, stream);
        },
        static_cast<unsigned char*>(buffer), itemSize, count);
}
