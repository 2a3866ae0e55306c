#include "fileio/RecordReader.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"
#include "fileio/ResLayout.h"

#include <algorithm>
#include <cstring>

namespace {

// An item's bytes, as ResEncoding gives them.
constexpr std::size_t ItemBytes(IntEncoding encoding) {
    return static_cast<std::size_t>(IntItemSize(encoding));
}

constexpr std::size_t ItemBytes(RealEncoding encoding) {
    return static_cast<std::size_t>(RealItemSize(encoding));
}

// One integer item, as the one-integer readers decode it.
template <IntEncoding Ints, bool Swap> std::int32_t DecodeInt(const unsigned char* item) {
    return DecodeIntItem(item, Ints, Swap);
}

// One real item, as the real readers decode it.
template <RealEncoding Reals, bool Swap> float DecodeReal(const unsigned char* item) {
    if (Reals == Real8) {
        return NarrowToFloat(LoadWord<double>(item, Swap));
    }
    if (Reals == Cray8) {
        return CrayToFloat(item, Swap);
    }
    return LoadWord<float>(item, Swap);
}

// The reals of every record, with the count per record fixed at compile time
// for the layouts the data sets use, so that the inner loop unrolls.
template <RealEncoding Reals, bool Swap, int PerRecord>
void DecodeFixedReals(const unsigned char* first, std::size_t records, std::size_t stride,
                      float* reals) {
    constexpr std::size_t size = ItemBytes(Reals);
    for (std::size_t i = 0; i < records; ++i, first += stride, reals += PerRecord) {
        for (int r = 0; r < PerRecord; ++r) {
            reals[r] = DecodeReal<Reals, Swap>(first + r * size);
        }
    }
}

template <RealEncoding Reals, bool Swap>
void DecodeReals(const unsigned char* first, std::size_t records, std::size_t stride, int perRecord,
                 float* reals) {
    switch (perRecord) {
    case 1:
        return DecodeFixedReals<Reals, Swap, 1>(first, records, stride, reals);
    case 2:
        return DecodeFixedReals<Reals, Swap, 2>(first, records, stride, reals);
    case 3:
        return DecodeFixedReals<Reals, Swap, 3>(first, records, stride, reals);
    case 6:
        return DecodeFixedReals<Reals, Swap, 6>(first, records, stride, reals);
    default:
        break;
    }
    constexpr std::size_t size = ItemBytes(Reals);
    for (std::size_t i = 0; i < records; ++i, first += stride) {
        for (int r = 0; r < perRecord; ++r) {
            *reals++ = DecodeReal<Reals, Swap>(first + static_cast<std::size_t>(r) * size);
        }
    }
}

// Ids and reals together, one record at a time, in one pass over the bytes.
template <IntEncoding Ints, RealEncoding Reals, bool Swap, int PerRecord>
void DecodeWholeRecords(const unsigned char* bytes, std::size_t records, int realsPerRecord,
                        std::int32_t* ids, float* reals) {
    const int perRecord = PerRecord > 0 ? PerRecord : realsPerRecord;
    constexpr std::size_t size = ItemBytes(Reals);
    const std::size_t stride = ItemBytes(Ints) + size * static_cast<std::size_t>(perRecord);
    for (std::size_t i = 0; i < records; ++i, bytes += stride) {
        ids[i] = DecodeInt<Ints, Swap>(bytes);
        const unsigned char* item = bytes + ItemBytes(Ints);
        for (int r = 0; r < perRecord; ++r, item += size) {
            *reals++ = DecodeReal<Reals, Swap>(item);
        }
    }
}

// The compiler's loop vectorizer turns the loop below, which loads every
// third or second word, into vectors assembled through the stack: each
// vector then waits for the stores it is built from, and the decode takes
// several times as long as the plain loop.
#if defined(__GNUC__) && !defined(__clang__)
#define KVRES_PLAIN_LOOPS __attribute__((optimize("no-tree-vectorize")))
#else
#define KVRES_PLAIN_LOOPS
#endif

// Ids and the reals of a window that is part of the record, in one pass.
template <IntEncoding Ints, RealEncoding Reals, bool Swap, int PerRecord, int Wanted>
KVRES_PLAIN_LOOPS void DecodeRecordWindows(const unsigned char* bytes, std::size_t records,
                                           int realsPerRecord, RecordReader::Window window,
                                           std::int32_t* ids, float* reals) {
    const int perRecord = PerRecord > 0 ? PerRecord : realsPerRecord;
    const int wanted = Wanted > 0 ? Wanted : window.count;
    constexpr std::size_t size = ItemBytes(Reals);
    const std::size_t stride = ItemBytes(Ints) + size * static_cast<std::size_t>(perRecord);
    const std::size_t skip = ItemBytes(Ints) + size * static_cast<std::size_t>(window.first);
    for (std::size_t i = 0; i < records; ++i, bytes += stride) {
        ids[i] = DecodeInt<Ints, Swap>(bytes);
        const unsigned char* item = bytes + skip;
        for (int r = 0; r < wanted; ++r, item += size) {
            *reals++ = DecodeReal<Reals, Swap>(item);
        }
    }
}

template <IntEncoding Ints, RealEncoding Reals, bool Swap>
void DecodeRecords(const unsigned char* bytes, std::size_t records, int realsPerRecord,
                   RecordReader::Window window, std::int32_t* ids, float* reals) {
    const std::size_t stride =
        ItemBytes(Ints) + ItemBytes(Reals) * static_cast<std::size_t>(realsPerRecord);
    if (ids != nullptr && reals != nullptr && window.count == realsPerRecord &&
        realsPerRecord > 0) {
        switch (realsPerRecord) {
        case 1:
            return DecodeWholeRecords<Ints, Reals, Swap, 1>(bytes, records, 1, ids, reals);
        case 2:
            return DecodeWholeRecords<Ints, Reals, Swap, 2>(bytes, records, 2, ids, reals);
        case 3:
            return DecodeWholeRecords<Ints, Reals, Swap, 3>(bytes, records, 3, ids, reals);
        case 6:
            return DecodeWholeRecords<Ints, Reals, Swap, 6>(bytes, records, 6, ids, reals);
        default:
            return DecodeWholeRecords<Ints, Reals, Swap, 0>(bytes, records, realsPerRecord, ids,
                                                            reals);
        }
    }
    if (ids != nullptr && reals != nullptr && window.count > 0) {
        // One component of a magnitude/phase pair or of a triple, or any
        // other part of a record.
        if (window.count == 1 && realsPerRecord == 2) {
            return DecodeRecordWindows<Ints, Reals, Swap, 2, 1>(bytes, records, 2, window, ids,
                                                                reals);
        }
        if (window.count == 1 && realsPerRecord == 3) {
            return DecodeRecordWindows<Ints, Reals, Swap, 3, 1>(bytes, records, 3, window, ids,
                                                                reals);
        }
        return DecodeRecordWindows<Ints, Reals, Swap, 0, 0>(bytes, records, realsPerRecord, window,
                                                            ids, reals);
    }
    if (ids != nullptr) {
        const unsigned char* item = bytes;
        for (std::size_t i = 0; i < records; ++i, item += stride) {
            ids[i] = DecodeInt<Ints, Swap>(item);
        }
    }
    if (reals != nullptr && window.count > 0) {
        DecodeReals<Reals, Swap>(bytes + ItemBytes(Ints) +
                                     ItemBytes(Reals) * static_cast<std::size_t>(window.first),
                                 records, stride, window.count, reals);
    }
}

template <IntEncoding Ints, RealEncoding Reals>
RecordReader::Decoder DecoderForOrder(bool bigEndian) {
    return bigEndian ? &DecodeRecords<Ints, Reals, true> : &DecodeRecords<Ints, Reals, false>;
}

template <IntEncoding Ints>
RecordReader::Decoder DecoderForReals(RealEncoding reals, bool bigEndian) {
    switch (reals) {
    case Real8:
        return DecoderForOrder<Ints, Real8>(bigEndian);
    case Cray8:
        return DecoderForOrder<Ints, Cray8>(bigEndian);
    case Real4:
    default:
        return DecoderForOrder<Ints, Real4>(bigEndian);
    }
}

// Packed records: each item is loaded whole before its packed form is
// stored, and a packed item never ends past the start of the raw items still
// to be loaded (packed items are 4 bytes, raw ones 4 or 8), so the packing may
// run in place. 4-byte reals keep their bits: they are moved as 32-bit words.
template <IntEncoding Ints, RealEncoding Reals, bool Swap, int PerRecord>
void PackRecords(const unsigned char* raw, std::size_t records, int realsPerRecord,
                 unsigned char* packed) {
    const int perRecord = PerRecord > 0 ? PerRecord : realsPerRecord;
    constexpr std::size_t size = ItemBytes(Reals);
    const std::size_t stride = ItemBytes(Ints) + size * static_cast<std::size_t>(perRecord);
    for (std::size_t i = 0; i < records; ++i, raw += stride) {
        const std::int32_t id = DecodeInt<Ints, Swap>(raw);
        std::memcpy(packed, &id, 4);
        packed += 4;
        const unsigned char* item = raw + ItemBytes(Ints);
        for (int r = 0; r < perRecord; ++r, item += size, packed += 4) {
            if (Reals == Real4) {
                const std::uint32_t bits = LoadWord<std::uint32_t>(item, Swap);
                std::memcpy(packed, &bits, 4);
            } else {
                const float value = DecodeReal<Reals, Swap>(item);
                std::memcpy(packed, &value, 4);
            }
        }
    }
}

#if defined(__GNUC__) && defined(__x86_64__)
// The word reversal compiled for processors with AVX2, where the compiler
// makes one byte shuffle of 32 bytes out of the loop; chosen at run time.
__attribute__((target("avx2"))) void ReverseWordsAvx2(unsigned char* bytes, std::size_t words) {
    for (std::size_t w = 0; w < words; ++w, bytes += 4) {
        std::uint32_t word;
        std::memcpy(&word, bytes, 4);
        word = ReverseWord(word);
        std::memcpy(bytes, &word, 4);
    }
}
#endif

// 4-byte ids and reals in the other byte order: the records' bytes moved to
// `packed` (nothing to move in place), then every 32-bit word reversed there.
void ReverseRecordWords(const unsigned char* raw, std::size_t records, int realsPerRecord,
                        unsigned char* packed) {
    const std::size_t words = records * (1 + static_cast<std::size_t>(realsPerRecord));
    if (packed != raw) {
        std::memmove(packed, raw, 4 * words);
    }
#if defined(__GNUC__) && defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2") != 0;
    if (avx2) {
        ReverseWordsAvx2(packed, words);
        return;
    }
#endif
    ReverseWords(packed, words);
}

template <IntEncoding Ints, RealEncoding Reals, bool Swap>
void PackAnyRecords(const unsigned char* raw, std::size_t records, int realsPerRecord,
                    unsigned char* packed) {
    switch (realsPerRecord) {
    case 1:
        return PackRecords<Ints, Reals, Swap, 1>(raw, records, 1, packed);
    case 2:
        return PackRecords<Ints, Reals, Swap, 2>(raw, records, 2, packed);
    case 3:
        return PackRecords<Ints, Reals, Swap, 3>(raw, records, 3, packed);
    case 6:
        return PackRecords<Ints, Reals, Swap, 6>(raw, records, 6, packed);
    default:
        return PackRecords<Ints, Reals, Swap, 0>(raw, records, realsPerRecord, packed);
    }
}

template <IntEncoding Ints>
RecordReader::Packer PackerForReals(RealEncoding reals, bool bigEndian) {
    switch (reals) {
    case Real8:
        return bigEndian ? &PackAnyRecords<Ints, Real8, true> : &PackAnyRecords<Ints, Real8, false>;
    case Cray8:
        return bigEndian ? &PackAnyRecords<Ints, Cray8, true> : &PackAnyRecords<Ints, Cray8, false>;
    case Real4:
    default:
        return bigEndian ? &PackAnyRecords<Ints, Real4, true> : &PackAnyRecords<Ints, Real4, false>;
    }
}

} // namespace

RecordReader::Packer RecordReader::PackerFor(IntEncoding ints, RealEncoding reals, bool bigEndian) {
    switch (ints) {
    case Int8First:
        return PackerForReals<Int8First>(reals, bigEndian);
    case Int8Second:
        return PackerForReals<Int8Second>(reals, bigEndian);
    case Int4:
    default:
        if (reals == Real4 && NeedsReversal(bigEndian)) {
            return &ReverseRecordWords;
        }
        return PackerForReals<Int4>(reals, bigEndian);
    }
}

RecordReader::RecordReader()
    : decoder(DecoderFor(Int4, Real4, false)), packer(PackerFor(Int4, Real4, false)) {}

RecordReader::Decoder RecordReader::DecoderFor(IntEncoding ints, RealEncoding reals,
                                               bool bigEndian) {
    switch (ints) {
    case Int8First:
        return DecoderForReals<Int8First>(reals, bigEndian);
    case Int8Second:
        return DecoderForReals<Int8Second>(reals, bigEndian);
    case Int4:
    default:
        return DecoderForReals<Int4>(reals, bigEndian);
    }
}

void RecordReader::SetEncoding(IntEncoding ints, RealEncoding reals, bool bigEndian) {
    decoder = DecoderFor(ints, reals, bigEndian);
    packer = PackerFor(ints, reals, bigEndian);
    // 4-byte items in the host's order are packed records as they stand.
    packedAsStored = ints == Int4 && reals == Real4 && !NeedsReversal(bigEndian);
    intSize = IntItemSize(ints);
    realSize = RealItemSize(reals);
}

std::size_t RecordReader::RecordBytes(int realsPerRecord) const {
    return static_cast<std::size_t>(reslayout::RecordBytes(realsPerRecord, intSize, realSize));
}

std::size_t RecordReader::Read(std::FILE* stream, int realsPerRecord, std::int32_t* ids,
                               float* reals, std::size_t maxRecords) {
    return Read(stream, realsPerRecord, AllReals(realsPerRecord), ids, reals, maxRecords);
}

std::size_t RecordReader::Read(std::FILE* stream, int realsPerRecord, Window window,
                               std::int32_t* ids, float* reals, std::size_t maxRecords) {
    if (stream == nullptr || maxRecords == 0 || realsPerRecord < 0 ||
        realsPerRecord > kMaxRealsPerRecord || window.first < 0 || window.count < 0 ||
        window.count > realsPerRecord - window.first) {
        return 0;
    }
    const std::size_t recordBytes = RecordBytes(realsPerRecord);
    const std::size_t perBatch = kStagingBytes / recordBytes;
    std::size_t done = 0;
    while (done < maxRecords) {
        const std::size_t asked = std::min(maxRecords - done, perBatch);
        const std::size_t bytes = asked * recordBytes;
        if (staging.size() < bytes) {
            staging.resize(bytes);
        }
        const std::size_t arrived = ReadChunked(stream, staging.data(), 1, bytes);
        const std::size_t whole = arrived / recordBytes;
        decoder(staging.data(), whole, realsPerRecord, window,
                ids != nullptr ? ids + done : nullptr,
                reals != nullptr ? reals + done * static_cast<std::size_t>(window.count) : nullptr);
        done += whole;
        if (arrived < bytes) {
            break;
        }
    }
    return done;
}

namespace {

// Reads `bytes` bytes into `out` in pieces of at most ChunkBytes, and after
// each piece hands the records completed so far to `decode(first, count)`.
// Returns the bytes read.
template <class Decode>
std::size_t ReadPieces(std::FILE* stream, unsigned char* out, std::size_t bytes,
                       std::size_t recordBytes, Decode&& decode) {
    std::size_t done = 0;
    std::size_t decoded = 0;
    while (done < bytes) {
        const std::size_t asked = std::min(bytes - done, ChunkBytes);
        const std::size_t arrived = std::fread(out + done, 1, asked, stream);
        done += arrived;
        const std::size_t whole = done / recordBytes;
        decode(decoded, whole - decoded);
        decoded = whole;
        if (arrived < asked) {
            break;
        }
    }
    return done;
}

} // namespace

std::size_t RecordReader::ReadPacked(std::FILE* stream, int realsPerRecord, unsigned char* records,
                                     std::size_t maxRecords) {
    if (stream == nullptr || records == nullptr || maxRecords == 0 || realsPerRecord < 0 ||
        realsPerRecord > kMaxRealsPerRecord) {
        return 0;
    }
#if defined(__GLIBC__)
    // The C library hands a read of whole buffers straight to the system,
    // but while the stream's buffer holds bytes it copies part of every
    // piece through it. Flushing an input stream drops its buffer and sets
    // the file's position to the stream's (as POSIX defines and this library
    // does); other libraries may keep or lose the bytes, so there the stream
    // is left as it is. A small read is copied from the buffer instead: the
    // drop would cost a seek and a read of bytes already there.
    constexpr std::size_t kSmallReadBytes = 16384;
    if (maxRecords > kSmallReadBytes / RecordBytes(realsPerRecord)) {
        std::fflush(stream);
    }
#endif
    const std::size_t recordBytes = RecordBytes(realsPerRecord);
    const std::size_t packedBytes = PackedRecordBytes(realsPerRecord);
    if (recordBytes == packedBytes) {
        // 4-byte items: read where they belong, decoded piece by piece while
        // each is in the cache.
        const std::size_t arrived =
            ReadPieces(stream, records, maxRecords * recordBytes, recordBytes,
                       [&](std::size_t first, std::size_t count) {
                           if (!packedAsStored && count > 0) {
                               unsigned char* at = records + first * recordBytes;
                               packer(at, count, realsPerRecord, at);
                           }
                       });
        return arrived / recordBytes;
    }
    // 8-byte items: whole records per piece through the staging buffer.
    const std::size_t perPiece = ChunkBytes / recordBytes;
    std::size_t done = 0;
    while (done < maxRecords) {
        const std::size_t asked = std::min(maxRecords - done, perPiece);
        const std::size_t bytes = asked * recordBytes;
        if (staging.size() < bytes) {
            staging.resize(bytes);
        }
        const std::size_t arrived = std::fread(staging.data(), 1, bytes, stream);
        const std::size_t whole = arrived / recordBytes;
        packer(staging.data(), whole, realsPerRecord, records + done * packedBytes);
        done += whole;
        if (arrived < bytes) {
            break;
        }
    }
    return done;
}
