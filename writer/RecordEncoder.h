// RecordEncoder: turns integers and floats into the bytes of one .res
// encoding: 4-byte integers and IEEE singles, or 8-byte integers (the value
// in bytes 4-7, bytes 0-3 a filler that no 4-byte reading takes for a
// plausible header count) and Cray words, in either byte order. Floats are
// handled as bits, never loaded as numbers, so every non-NaN float (and in
// 4-byte files every NaN payload) is stored exactly where the encoding can
// hold it. It writes to memory only.
#pragma once

#include "fileio/ResLayout.h"
#include "kvres/WriterOptions.h"

#include <cstddef>
#include <cstdint>

namespace kvres {
namespace detail {

class RecordEncoder {
public:
    // Bytes 0-3 of every 8-byte integer.
    static constexpr std::uint32_t kFiller = 0x7F7F7F7Fu;

    explicit RecordEncoder(Encoding encoding);

    int IntSize() const { return intSize; }
    int RealSize() const { return realSize; }
    bool IsCray() const { return realSize == 8; }
    // 4-byte integers and singles in the machine's own byte order: a record
    // is stored as it lies in memory.
    bool IsHostOrderFour() const;

    // One integer field at `out` (IntSize() bytes).
    void PutInt(unsigned char* out, std::int32_t value) const;
    // One real field at `out` (RealSize() bytes); a NaN in a Cray file
    // becomes the infinity of its sign.
    void PutReal(unsigned char* out, std::uint32_t bits) const;

    // `records` records of an id and `reals` reals each, back to back at
    // `out`; returns the bytes written.
    std::size_t Encode(const std::int32_t* ids, const float* values, int reals, std::size_t records,
                       unsigned char* out) const;

    // Bytes of one record with `reals` reals.
    std::size_t RecordBytes(int reals) const {
        return static_cast<std::size_t>(reslayout::RecordBytes(reals, intSize, realSize));
    }

    // The index of the first NaN among `count` floats, or `count`.
    static std::size_t FindNaN(const float* values, std::size_t count);

private:
    bool bigEndian;
    int intSize;
    int realSize;
};

} // namespace detail
} // namespace kvres
