// Helpers shared by the file-set reader tests: raw header bytes, encoders for every item encoding,
// and a cache clearer that records the names it is handed.
#pragma once

#include "TempDir.h"
#include "fileio/ResEncoding.h"
#include "rxFileCacheClearer.h"

#include <cstdint>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

namespace fileio_test {

using Bytes = std::vector<unsigned char>;

using reswriter::TempDir;

inline void WriteFile(const std::string& path, const Bytes& bytes) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(bytes.data()),
              static_cast<std::streamsize>(bytes.size()));
}

inline void Append(Bytes& to, const Bytes& more) {
    to.insert(to.end(), more.begin(), more.end());
}

// `size` bytes of `value`, most significant first when `bigEndian`.
inline Bytes Ordered(std::uint64_t value, int size, bool bigEndian) {
    Bytes out(static_cast<std::size_t>(size));
    for (int i = 0; i < size; ++i) {
        const unsigned char byte = static_cast<unsigned char>(value >> (8 * i));
        out[static_cast<std::size_t>(bigEndian ? size - 1 - i : i)] = byte;
    }
    return out;
}

// One integer item; the unused half of an 8-byte item holds `filler`.
inline Bytes EncodeInt(std::int32_t value, IntEncoding encoding, bool bigEndian,
                       std::uint32_t filler = 0xA5A5A5A5u) {
    const Bytes word = Ordered(static_cast<std::uint32_t>(value), 4, bigEndian);
    const Bytes fill = Ordered(filler, 4, bigEndian);
    Bytes out;
    switch (encoding) {
    case Int4:
        return word;
    case Int8First:
        Append(out, word);
        Append(out, fill);
        return out;
    case Int8Second:
        Append(out, fill);
        Append(out, word);
        return out;
    }
    return out;
}

inline std::uint32_t FloatBits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

inline float BitsFloat(std::uint32_t bits) {
    float value;
    std::memcpy(&value, &bits, sizeof value);
    return value;
}

// A big-endian Cray word holding the normal single `value` exactly: exponent
// rebiased to 16384, explicit leading mantissa bit, 23 mantissa bits after it.
inline Bytes CrayWordBigEndian(float value) {
    const std::uint32_t bits = FloatBits(value);
    const std::uint64_t sign = bits >> 31;
    const std::uint64_t exponent = ((bits >> 23) & 0xFFu) + 16258u;
    const std::uint64_t mantissa =
        (std::uint64_t{1} << 47) | (std::uint64_t{bits & 0x7FFFFFu} << 24);
    return Ordered((sign << 63) | (exponent << 48) | mantissa, 8, true);
}

// The 193-byte (4-byte integers) or 197-byte (8-byte integers) header with
// `countItem` as the bytes of its simulation count.
inline Bytes Header(const Bytes& countItem) {
    Bytes out(189, 0);
    const char title[] = "Korvane Results";
    std::memcpy(out.data(), title, sizeof title - 1);
    Append(out, countItem);
    return out;
}

// Records every name handed over while installed; restores the previous
// instance when destroyed.
class RecordingClearer : public rxFileCacheClearer {
public:
    RecordingClearer() : previous(rxFileCacheClearer::SetInstance(this)) {}
    ~RecordingClearer() override { rxFileCacheClearer::SetInstance(previous); }
    RecordingClearer(const RecordingClearer&) = delete;
    RecordingClearer& operator=(const RecordingClearer&) = delete;

    void AddFileName(const char* fileName) override { names.emplace_back(fileName); }

    std::vector<std::string> names;

private:
    rxFileCacheClearer* previous;
};

// Installs no clearer at all for its lifetime.
class NoClearer {
public:
    NoClearer() : previous(rxFileCacheClearer::SetInstance(nullptr)) {}
    ~NoClearer() { rxFileCacheClearer::SetInstance(previous); }
    NoClearer(const NoClearer&) = delete;
    NoClearer& operator=(const NoClearer&) = delete;

private:
    rxFileCacheClearer* previous;
};

// A stream holding `bytes`, positioned at the start: a file of its own in a
// directory of its own (std::tmpfile may fail when several test programs
// ask for one at once, as under wine).
class MemoryStream {
public:
    explicit MemoryStream(const Bytes& bytes) {
        const std::string path = dir.File("stream.bin");
        WriteFile(path, bytes);
        stream = std::fopen(path.c_str(), "rb");
        if (stream == nullptr) {
            throw std::runtime_error("cannot open " + path);
        }
    }
    ~MemoryStream() { std::fclose(stream); }
    MemoryStream(const MemoryStream&) = delete;
    MemoryStream& operator=(const MemoryStream&) = delete;

    TempDir dir;
    std::FILE* stream = nullptr;
};

} // namespace fileio_test
