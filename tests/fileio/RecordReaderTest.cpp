// Bulk record reads against the typed reads, over every integer and real
// encoding, both byte orders and records of 1, 2, 3 and 6 reals: the same ids
// and the same float bits, across staging batches and 65536-byte pieces, for
// the whole record or any window of its reals, and whole records only when
// the file ends early.
#include "FileioTestSupport.h"

#include "fileio/RecordReader.h"

#include <gtest/gtest.h>

#include <cstring>
#include <random>
#include <tuple>

using namespace fileio_test;

namespace {

struct Layout {
    IntEncoding ints;
    RealEncoding reals;
    bool swap;
    int perRecord;
};

std::size_t RecordSize(const Layout& l) {
    return static_cast<std::size_t>(IntItemSize(l.ints)) +
           static_cast<std::size_t>(RealItemSize(l.reals) * l.perRecord);
}

class RecordReaderTest : public ::testing::TestWithParam<Layout> {
protected:
    // `count` records of random bytes after `pad` bytes. A 4-byte real that
    // would be a signalling NaN is made quiet, so that no platform's way of
    // passing floats around can change its bits.
    Bytes File(std::size_t pad, std::size_t count) const {
        const Layout& l = GetParam();
        std::mt19937 random(static_cast<unsigned>(count * 7 + l.perRecord));
        Bytes bytes(pad, 0x5A);
        for (std::size_t i = 0; i < count; ++i) {
            for (int b = 0; b < IntItemSize(l.ints); ++b) {
                bytes.push_back(static_cast<unsigned char>(random()));
            }
            for (int r = 0; r < l.perRecord; ++r) {
                if (l.reals == Real4) {
                    std::uint32_t bits = static_cast<std::uint32_t>(random());
                    if ((bits & 0x7F800000u) == 0x7F800000u && (bits & 0x7FFFFFu) != 0) {
                        bits |= 0x400000u;
                    }
                    Append(bytes, Ordered(bits, 4, l.swap));
                } else {
                    for (int b = 0; b < 8; ++b) {
                        bytes.push_back(static_cast<unsigned char>(random()));
                    }
                }
            }
        }
        return bytes;
    }

    // What the typed reads give for `count` records from the stream's position.
    void Typed(std::FILE* stream, std::size_t count, std::vector<std::int32_t>& ids,
               std::vector<float>& reals) const {
        const Layout& l = GetParam();
        for (std::size_t i = 0; i < count; ++i) {
            std::int32_t id = 0;
            ASSERT_EQ(IntReaderFor(l.ints)(stream, l.swap, &id), 1);
            ids.push_back(id);
            std::vector<float> record(static_cast<std::size_t>(l.perRecord));
            ASSERT_EQ(RealsReaderFor(l.reals)(stream, l.swap, record.data(), l.perRecord),
                      l.perRecord);
            reals.insert(reals.end(), record.begin(), record.end());
        }
    }

    RecordReader Reader() const {
        RecordReader reader;
        reader.SetEncoding(GetParam().ints, GetParam().reals, GetParam().swap);
        return reader;
    }

    static void ExpectSameBits(const std::vector<float>& a, const std::vector<float>& b) {
        ASSERT_EQ(a.size(), b.size());
        for (std::size_t i = 0; i < a.size(); ++i) {
            ASSERT_EQ(FloatBits(a[i]), FloatBits(b[i])) << "real " << i;
        }
    }
};

// More than one staging batch, read in uneven steps, starting just before
// byte 65536 so that records straddle the 64 KiB marks of the file and, for
// every record size that does not divide 65536, the pieces of each read.
TEST_P(RecordReaderTest, AgreesBitForBitWithTheTypedReads) {
    const Layout& l = GetParam();
    const std::size_t size = RecordSize(l);
    const std::size_t pad = 65536 - size / 2;
    const std::size_t count = RecordReader::kStagingBytes / size + 77;
    MemoryStream stream(File(pad, count));

    std::vector<std::int32_t> typedIds;
    std::vector<float> typedReals;
    std::fseek(stream.stream, static_cast<long>(pad), SEEK_SET);
    Typed(stream.stream, count, typedIds, typedReals);

    std::fseek(stream.stream, static_cast<long>(pad), SEEK_SET);
    RecordReader reader = Reader();
    std::vector<std::int32_t> ids(count);
    std::vector<float> reals(count * static_cast<std::size_t>(l.perRecord));
    std::size_t done = 0;
    for (std::size_t step : {std::size_t{1}, std::size_t{1000}, count}) {
        const std::size_t asked = std::min(step, count - done);
        ASSERT_EQ(reader.Read(stream.stream, l.perRecord, ids.data() + done,
                              reals.data() + done * l.perRecord, asked),
                  asked);
        done += asked;
        // The stream stands right after the records read.
        EXPECT_EQ(std::ftell(stream.stream), static_cast<long>(pad + done * size));
    }
    EXPECT_EQ(ids, typedIds);
    ExpectSameBits(reals, typedReals);

    // Ids alone, or reals alone: the same values, the same records consumed.
    std::fseek(stream.stream, static_cast<long>(pad), SEEK_SET);
    std::vector<std::int32_t> idsOnly(count);
    ASSERT_EQ(reader.Read(stream.stream, l.perRecord, idsOnly.data(), nullptr, count), count);
    EXPECT_EQ(idsOnly, typedIds);
    std::fseek(stream.stream, static_cast<long>(pad), SEEK_SET);
    std::vector<float> realsOnly(reals.size());
    ASSERT_EQ(reader.Read(stream.stream, l.perRecord, nullptr, realsOnly.data(), count), count);
    ExpectSameBits(realsOnly, typedReals);
}

// Every window of reals within the record, with and without ids, across the
// same staging batches: the ids and the window's slice of the typed reals.
TEST_P(RecordReaderTest, DecodesAnyWindowOfTheRecordAsTheTypedReads) {
    const Layout& l = GetParam();
    const std::size_t n = static_cast<std::size_t>(l.perRecord);
    const std::size_t count = RecordReader::kStagingBytes / RecordSize(l) + 77;
    MemoryStream stream(File(0, count));
    std::vector<std::int32_t> typedIds;
    std::vector<float> typedReals;
    Typed(stream.stream, count, typedIds, typedReals);
    RecordReader reader = Reader();
    for (int first = 0; first < l.perRecord; ++first) {
        for (int wanted = 1; first + wanted <= l.perRecord; ++wanted) {
            SCOPED_TRACE("reals " + std::to_string(first) + " +" + std::to_string(wanted));
            std::vector<float> expected;
            for (std::size_t i = 0; i < count; ++i) {
                expected.insert(expected.end(), typedReals.begin() + i * n + first,
                                typedReals.begin() + i * n + first + wanted);
            }
            for (bool withIds : {true, false}) {
                std::fseek(stream.stream, 0, SEEK_SET);
                std::vector<std::int32_t> ids(count, -7);
                std::vector<float> reals(expected.size());
                ASSERT_EQ(reader.Read(stream.stream, l.perRecord, {first, wanted},
                                      withIds ? ids.data() : nullptr, reals.data(), count),
                          count);
                EXPECT_EQ(ids, withIds ? typedIds : std::vector<std::int32_t>(count, -7));
                ExpectSameBits(reals, expected);
                EXPECT_EQ(std::ftell(stream.stream), static_cast<long>(count * RecordSize(l)));
            }
        }
    }
}

// A file that ends inside the last record or the one before it, a count
// beyond the file and a count of zero: whole records only, nothing written
// past them.
TEST_P(RecordReaderTest, DeliversWholeRecordsOnly) {
    const Layout& l = GetParam();
    const std::size_t size = RecordSize(l);
    constexpr std::size_t count = 20;
    const Bytes whole = File(0, count);
    std::vector<std::int32_t> typedIds;
    std::vector<float> typedReals;
    {
        MemoryStream stream(whole);
        Typed(stream.stream, count, typedIds, typedReals);
    }
    const std::size_t n = static_cast<std::size_t>(l.perRecord);
    struct Cut {
        std::size_t length;
        std::size_t asked;
        std::size_t expected;
    };
    const Cut cuts[] = {
        {(count - 2) * size + 1, count, count - 2},        // one byte into the last but one
        {(count - 1) * size - 1, count, count - 2},        // one byte short of it
        {(count - 1) * size + size / 2, count, count - 1}, // inside the last
        {count * size - 1, count, count - 1},              // one byte short of the last
        {count * size, count + 1000, count},               // more asked than the file holds
        {count * size, 0, 0},                              // nothing asked
    };
    for (const Cut& cut : cuts) {
        SCOPED_TRACE("length " + std::to_string(cut.length) + ", asked " +
                     std::to_string(cut.asked));
        MemoryStream stream(Bytes(whole.begin(), whole.begin() + cut.length));
        RecordReader reader = Reader();
        std::vector<std::int32_t> ids(count + 1000, -7);
        std::vector<float> reals((count + 1000) * n, -7.0f);
        ASSERT_EQ(reader.Read(stream.stream, l.perRecord, ids.data(), reals.data(), cut.asked),
                  cut.expected);
        for (std::size_t i = 0; i < ids.size(); ++i) {
            ASSERT_EQ(ids[i], i < cut.expected ? typedIds[i] : -7) << "id " << i;
        }
        for (std::size_t i = 0; i < reals.size(); ++i) {
            ASSERT_EQ(FloatBits(reals[i]), FloatBits(i < cut.expected * n ? typedReals[i] : -7.0f))
                << "real " << i;
        }
        if (cut.asked == 0) {
            EXPECT_EQ(std::ftell(stream.stream), 0);
        }
    }
}

// Packed records (id, then the reals as floats), packed in place from the
// raw bytes and read from a stream ending inside the last record, across
// more than one 65536-byte piece with records straddling the pieces: the
// typed reads' ids and float bits.
TEST_P(RecordReaderTest, PacksRecordsInPlaceAsTheTypedReadsDecode) {
    const Layout& l = GetParam();
    const std::size_t n = static_cast<std::size_t>(l.perRecord);
    const std::size_t packedSize = RecordReader::PackedRecordBytes(l.perRecord);
    const std::size_t count = 2 * 65536 / RecordSize(l) + 5;
    const Bytes file = File(0, count);
    std::vector<std::int32_t> typedIds;
    std::vector<float> typedReals;
    {
        MemoryStream stream(file);
        Typed(stream.stream, count, typedIds, typedReals);
    }
    const auto expectPacked = [&](const unsigned char* packed, std::size_t records) {
        for (std::size_t i = 0; i < records; ++i, packed += packedSize) {
            std::int32_t id = 0;
            std::memcpy(&id, packed, 4);
            ASSERT_EQ(id, typedIds[i]) << "id " << i;
            for (std::size_t r = 0; r < n; ++r) {
                std::uint32_t bits = 0;
                std::memcpy(&bits, packed + 4 + 4 * r, 4);
                ASSERT_EQ(bits, FloatBits(typedReals[i * n + r]))
                    << "record " << i << " real " << r;
            }
        }
    };
    Bytes inPlace = file;
    RecordReader::PackerFor(l.ints, l.reals, l.swap)(inPlace.data(), count, l.perRecord,
                                                     inPlace.data());
    expectPacked(inPlace.data(), count);

    // After a small read, so that the stream's buffer holds bytes that
    // belong to the records.
    Bytes cut(3, 0x5A);
    cut.insert(cut.end(), file.begin(), file.end() - 1);
    MemoryStream stream(cut);
    unsigned char pad[3];
    ASSERT_EQ(std::fread(pad, 1, 3, stream.stream), 3u);
    std::vector<unsigned char> records(count * packedSize);
    ASSERT_EQ(Reader().ReadPacked(stream.stream, l.perRecord, records.data(), count), count - 1);
    expectPacked(records.data(), count - 1);
}

std::vector<Layout> AllLayouts() {
    std::vector<Layout> layouts;
    for (IntEncoding ints : {Int4, Int8First, Int8Second}) {
        for (RealEncoding reals : {Real4, Real8, Cray8}) {
            for (bool swap : {false, true}) {
                for (int perRecord : {1, 2, 3, 6}) {
                    layouts.push_back(Layout{ints, reals, swap, perRecord});
                }
            }
        }
    }
    return layouts;
}

std::string LayoutName(const ::testing::TestParamInfo<Layout>& info) {
    static const char* const ints[] = {"Int4", "Int8First", "Int8Second"};
    static const char* const reals[] = {"Real4", "Real8", "Cray8"};
    const Layout& l = info.param;
    return std::string(ints[l.ints]) + reals[l.reals] + (l.swap ? "Big" : "Little") + "x" +
           std::to_string(l.perRecord);
}

INSTANTIATE_TEST_SUITE_P(Layouts, RecordReaderTest, ::testing::ValuesIn(AllLayouts()), LayoutName);

TEST(RecordReader, RefusesWhatItCannotRead) {
    MemoryStream stream(Bytes(64, 1));
    RecordReader reader;
    std::int32_t id = -7;
    float real = -7.0f;
    EXPECT_EQ(reader.Read(nullptr, 1, &id, &real, 1), 0u);
    EXPECT_EQ(reader.Read(stream.stream, -1, &id, &real, 1), 0u);
    EXPECT_EQ(reader.Read(stream.stream, RecordReader::kMaxRealsPerRecord + 1, &id, &real, 1), 0u);
    // Windows that do not lie within the record.
    for (RecordReader::Window window :
         {RecordReader::Window{-1, 1}, RecordReader::Window{0, -1}, RecordReader::Window{2, 2},
          RecordReader::Window{4, 0}, RecordReader::Window{0, 4}}) {
        EXPECT_EQ(reader.Read(stream.stream, 3, window, &id, &real, 1), 0u);
    }
    EXPECT_EQ(id, -7);
    EXPECT_EQ(std::ftell(stream.stream), 0);
    // Records without reals are ids alone.
    std::vector<std::int32_t> ids(100);
    EXPECT_EQ(reader.Read(stream.stream, 0, ids.data(), nullptr, ids.size()), 16u);
    EXPECT_EQ(ids[15], 0x01010101);
}

} // namespace
