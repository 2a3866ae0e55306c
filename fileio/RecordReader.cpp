#include "fileio/RecordReader.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"

#include <algorithm>

namespace {

constexpr std::size_t ItemBytes(IntEncoding encoding) {
    return encoding == Int4 ? 4 : 8;
}

constexpr std::size_t ItemBytes(RealEncoding encoding) {
    return encoding == Real4 ? 4 : 8;
}

// One integer item, as the one-integer readers decode it.
template <IntEncoding Ints, bool Swap> std::int32_t DecodeInt(const unsigned char* item) {
    return LoadWord<std::int32_t>(Ints == Int8Second ? item + 4 : item, Swap);
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

template <IntEncoding Ints, RealEncoding Reals, bool Swap>
void DecodeRecords(const unsigned char* bytes, std::size_t records, int realsPerRecord,
                   std::int32_t* ids, float* reals) {
    const std::size_t stride =
        ItemBytes(Ints) + ItemBytes(Reals) * static_cast<std::size_t>(realsPerRecord);
    if (ids != nullptr) {
        const unsigned char* item = bytes;
        for (std::size_t i = 0; i < records; ++i, item += stride) {
            ids[i] = DecodeInt<Ints, Swap>(item);
        }
    }
    if (reals != nullptr && realsPerRecord > 0) {
        DecodeReals<Reals, Swap>(bytes + ItemBytes(Ints), records, stride, realsPerRecord, reals);
    }
}

template <IntEncoding Ints, RealEncoding Reals>
RecordReader::Decoder DecoderForOrder(bool swapBytes) {
    return swapBytes ? &DecodeRecords<Ints, Reals, true> : &DecodeRecords<Ints, Reals, false>;
}

template <IntEncoding Ints> RecordReader::Decoder DecoderForReals(RealEncoding reals, bool swap) {
    switch (reals) {
    case Real8:
        return DecoderForOrder<Ints, Real8>(swap);
    case Cray8:
        return DecoderForOrder<Ints, Cray8>(swap);
    case Real4:
    default:
        return DecoderForOrder<Ints, Real4>(swap);
    }
}

} // namespace

RecordReader::RecordReader() : decoder(DecoderFor(Int4, Real4, false)) {}

RecordReader::Decoder RecordReader::DecoderFor(IntEncoding ints, RealEncoding reals,
                                               bool swapBytes) {
    switch (ints) {
    case Int8First:
        return DecoderForReals<Int8First>(reals, swapBytes);
    case Int8Second:
        return DecoderForReals<Int8Second>(reals, swapBytes);
    case Int4:
    default:
        return DecoderForReals<Int4>(reals, swapBytes);
    }
}

void RecordReader::SetEncoding(IntEncoding ints, RealEncoding reals, bool swapBytes) {
    decoder = DecoderFor(ints, reals, swapBytes);
    intSize = IntItemSize(ints);
    realSize = RealItemSize(reals);
}

std::size_t RecordReader::RecordBytes(int realsPerRecord) const {
    return static_cast<std::size_t>(intSize) +
           static_cast<std::size_t>(realSize) * static_cast<std::size_t>(realsPerRecord);
}

std::size_t RecordReader::Read(std::FILE* stream, int realsPerRecord, std::int32_t* ids,
                               float* reals, std::size_t maxRecords) {
    if (stream == nullptr || maxRecords == 0 || realsPerRecord < 0 ||
        realsPerRecord > kMaxRealsPerRecord) {
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
        decoder(staging.data(), whole, realsPerRecord, ids != nullptr ? ids + done : nullptr,
                reals != nullptr ? reals + done * static_cast<std::size_t>(realsPerRecord)
                                 : nullptr);
        done += whole;
        if (arrived < bytes) {
            break;
        }
    }
    return done;
}
