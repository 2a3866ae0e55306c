// Byte order, Cray conversion, the item readers in both byte orders and the
// piecewise bulk read.
#include "FileioTestSupport.h"

#include "fileio/ByteOrder.h"
#include "fileio/Cray.h"
#include "fileio/ResEncoding.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>
#include <new>

using namespace fileio_test;

TEST(ByteOrderTest, LoadWordHonoursTheFilesOrderOnAnyHost) {
    const unsigned char bytes[4] = {0x12, 0x34, 0x56, 0x78};
    EXPECT_EQ(LoadWord<std::uint32_t>(bytes, true), 0x12345678u);
    EXPECT_EQ(LoadWord<std::uint32_t>(bytes, false), 0x78563412u);
    const unsigned char wide[8] = {1, 2, 3, 4, 5, 6, 7, 8};
    EXPECT_EQ(LoadWord<std::uint64_t>(wide, true), 0x0102030405060708u);
    EXPECT_EQ(LoadWord<std::uint64_t>(wide, false), 0x0807060504030201u);
}

TEST(ByteOrderTest, ReverseBytesHandlesOddEvenAndTinyCounts) {
    unsigned char odd[5] = {1, 2, 3, 4, 5};
    ReverseBytes(odd, 5);
    EXPECT_EQ(Bytes(odd, odd + 5), (Bytes{5, 4, 3, 2, 1}));
    unsigned char one[1] = {9};
    ReverseBytes(one, 1);
    ReverseBytes(one, 0);
    ReverseBytes(nullptr, 4);
    EXPECT_EQ(one[0], 9);
}

struct CrayCase {
    const char* label;
    Bytes item;
    bool bigEndian;
    std::uint32_t expectedBits;
};

class CrayTest : public ::testing::TestWithParam<CrayCase> {};

TEST_P(CrayTest, ConvertsBitForBit) {
    const CrayCase& c = GetParam();
    EXPECT_EQ(FloatBits(CrayToFloat(c.item.data(), c.bigEndian)), c.expectedBits);
}

INSTANTIATE_TEST_SUITE_P(
    Words, CrayTest,
    ::testing::Values(
        CrayCase{"one", {0x40, 0x01, 0x80, 0, 0, 0, 0, 0}, true, 0x3F800000u},
        CrayCase{"minusOne", {0xC0, 0x01, 0x80, 0, 0, 0, 0, 0}, true, 0xBF800000u},
        CrayCase{"oneAndHalf", {0x40, 0x01, 0xC0, 0, 0, 0, 0, 0}, true, 0x3FC00000u},
        CrayCase{"lowBytesIgnored", {0x40, 0x01, 0x80, 0, 0, 0, 0xFF, 0xFF}, true, 0x3F800000u},
        CrayCase{"truncatedMantissa", {0x40, 0x01, 0x80, 0, 0x01, 0xFF, 0, 0}, true, 0x3F800001u},
        CrayCase{"zero", {0, 0, 0, 0, 0, 0, 0, 0}, true, 0x00000000u},
        CrayCase{"largestExponent", {0x40, 0x80, 0x80, 0, 0, 0, 0, 0}, true, 0x7F000000u},
        CrayCase{"overflow", {0x40, 0x81, 0x80, 0, 0, 0, 0, 0}, true, 0x7F800000u},
        CrayCase{"farOverflow", {0x7F, 0xFF, 0x80, 0, 0, 0, 0, 0}, true, 0x7F800000u},
        CrayCase{"negativeOverflow", {0xC0, 0x81, 0x80, 0, 0, 0, 0, 0}, true, 0xFF800000u},
        CrayCase{"underflow", {0x00, 0x01, 0x80, 0, 0, 0, 0, 0}, true, 0x00000000u},
        CrayCase{"negativeUnderflow", {0x80, 0x01, 0x80, 0, 0, 0, 0, 0}, true, 0x80000000u},
        CrayCase{"smallestExponent", {0x3F, 0x82, 0xC0, 0, 0, 0, 0, 0}, true, 0x00400000u},
        CrayCase{"belowSmallest", {0x3F, 0x81, 0xFF, 0xFF, 0xFF, 0, 0, 0}, true, 0x00000000u},
        CrayCase{"littleEndian", {0, 0, 0, 0x40, 0x01, 0x80, 0xC0, 0}, false, 0x3F000140u},
        CrayCase{"littleEndianSign", {0x80, 0, 0, 0x40, 0x01, 0x80, 0xC0, 0}, false, 0xBF000140u},
        CrayCase{
            "littleEndianUnused", {0, 0x77, 0, 0x40, 0x01, 0x80, 0x12, 0x34}, false, 0x3F000140u}),
    [](const ::testing::TestParamInfo<CrayCase>& info) { return std::string(info.param.label); });

struct IntCase {
    const char* label;
    IntEncoding encoding;
    Bytes item;
    bool bigEndian;
    std::int32_t expected;
};

class IntReaderTest : public ::testing::TestWithParam<IntCase> {};

TEST_P(IntReaderTest, ReadsOneItemAndStopsAtTheEnd) {
    const IntCase& c = GetParam();
    MemoryStream file(c.item);
    std::int32_t value = 0;
    EXPECT_EQ(IntReaderFor(c.encoding)(file.stream, c.bigEndian, &value), 1);
    EXPECT_EQ(value, c.expected);
    EXPECT_EQ(IntReaderFor(c.encoding)(file.stream, c.bigEndian, &value), 0);

    Bytes shorter(c.item.begin(), c.item.end() - 1);
    MemoryStream truncated(shorter);
    EXPECT_EQ(IntReaderFor(c.encoding)(truncated.stream, c.bigEndian, &value), 0);
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, IntReaderTest,
    ::testing::Values(
        IntCase{"Int4Little", Int4, {0x78, 0x56, 0x34, 0x12}, false, 0x12345678},
        IntCase{"Int4Big", Int4, {0x12, 0x34, 0x56, 0x78}, true, 0x12345678},
        IntCase{"Int4Negative", Int4, {0xFF, 0xFF, 0xFF, 0xFE}, true, -2},
        IntCase{"Int8FirstLittle", Int8First, {0xFE, 0xFF, 0xFF, 0xFF, 1, 2, 3, 4}, false, -2},
        IntCase{"Int8FirstBig", Int8First, {0xFF, 0xFF, 0xFF, 0xFE, 1, 2, 3, 4}, true, -2},
        IntCase{"Int8SecondLittle", Int8Second, {1, 2, 3, 4, 0x05, 0, 0, 0}, false, 5},
        IntCase{"Int8SecondBig", Int8Second, {1, 2, 3, 4, 0, 0, 0, 0x05}, true, 5}),
    [](const ::testing::TestParamInfo<IntCase>& info) { return std::string(info.param.label); });

struct RealCase {
    const char* label;
    RealEncoding encoding;
    Bytes item;
    bool bigEndian;
    float expected;
};

class RealReaderTest : public ::testing::TestWithParam<RealCase> {};

TEST_P(RealReaderTest, OneAndManyAgree) {
    const RealCase& c = GetParam();
    MemoryStream one(c.item);
    float value = 0;
    EXPECT_EQ(RealReaderFor(c.encoding)(one.stream, c.bigEndian, &value), 1);
    EXPECT_EQ(FloatBits(value), FloatBits(c.expected));
    EXPECT_EQ(RealReaderFor(c.encoding)(one.stream, c.bigEndian, &value), 0);

    Bytes three;
    for (int i = 0; i < 3; ++i) {
        Append(three, c.item);
    }
    MemoryStream many(three);
    float values[3] = {0, 0, 0};
    EXPECT_EQ(RealsReaderFor(c.encoding)(many.stream, c.bigEndian, values, 3), 3);
    for (float v : values) {
        EXPECT_EQ(FloatBits(v), FloatBits(c.expected));
    }
}

INSTANTIATE_TEST_SUITE_P(
    Encodings, RealReaderTest,
    ::testing::Values(RealCase{"Real4Little", Real4, {0x00, 0x00, 0xC0, 0x3F}, false, 1.5f},
                      RealCase{"Real4Big", Real4, {0x3F, 0xC0, 0x00, 0x00}, true, 1.5f},
                      RealCase{"Real8Little", Real8, {0, 0, 0, 0, 0, 0, 0xF8, 0xBF}, false, -1.5f},
                      RealCase{"Real8Big", Real8, {0xBF, 0xF8, 0, 0, 0, 0, 0, 0}, true, -1.5f},
                      // 0.1 as a double narrows to the nearest single, not a truncation.
                      RealCase{"Real8Rounds", Real8, Ordered(0x3FB999999999999AULL, 8, true), true,
                               0.1f},
                      RealCase{"Real8Overflow", Real8, Ordered(0x7E37E43C8800759CULL, 8, false),
                               false, std::numeric_limits<float>::infinity()},
                      RealCase{"Cray8Big", Cray8, {0xC0, 0x01, 0xC0, 0, 0, 0, 0, 0}, true, -1.5f},
                      RealCase{"Cray8Little",
                               Cray8,
                               {0, 0, 0, 0x40, 0x01, 0x80, 0xC0, 0},
                               false,
                               BitsFloat(0x3F000140u)}),
    [](const ::testing::TestParamInfo<RealCase>& info) { return std::string(info.param.label); });

TEST(NarrowToFloatTest, RoundsToNearestAtTheEdgesOfTheSingleRange) {
    EXPECT_EQ(NarrowToFloat(static_cast<double>(FLT_MAX)), FLT_MAX);
    EXPECT_EQ(NarrowToFloat(0x1.fffffefp127), FLT_MAX);
    EXPECT_EQ(NarrowToFloat(0x1.ffffffp127), std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(-1e300), -std::numeric_limits<float>::infinity());
    EXPECT_EQ(NarrowToFloat(1e-300), 0.0f);
    EXPECT_TRUE(std::isnan(NarrowToFloat(std::numeric_limits<double>::quiet_NaN())));
}

TEST(ReadersTest, NullStreamDestinationOrCountReadsNothing) {
    MemoryStream file(Bytes(16, 0x11));
    std::int32_t sentinel = 77;
    float real = 7.0f;
    for (IntEncoding e : {Int4, Int8First, Int8Second}) {
        EXPECT_EQ(IntReaderFor(e)(nullptr, false, &sentinel), 0);
        EXPECT_EQ(IntReaderFor(e)(file.stream, false, nullptr), 0);
    }
    for (RealEncoding e : {Real4, Real8, Cray8}) {
        EXPECT_EQ(RealReaderFor(e)(nullptr, false, &real), 0);
        EXPECT_EQ(RealsReaderFor(e)(nullptr, false, &real, 1), 0);
        EXPECT_EQ(RealsReaderFor(e)(file.stream, false, nullptr, 1), 0);
        EXPECT_EQ(RealsReaderFor(e)(file.stream, false, &real, 0), 0);
        EXPECT_EQ(RealsReaderFor(e)(file.stream, false, &real, -3), 0);
    }
    EXPECT_EQ(sentinel, 77);
    EXPECT_EQ(real, 7.0f);
    EXPECT_EQ(std::ftell(file.stream), 0);
}

TEST(ReadersTest, StagingArrayBeyondThirtyTwoBitsIsOutOfMemory) {
    MemoryStream file(Bytes(16, 0));
    float value = 0;
    EXPECT_THROW(ReadReals8(file.stream, false, &value, 1 << 29), std::bad_alloc);
    EXPECT_THROW(ReadCrays8(file.stream, false, &value, 1 << 29), std::bad_alloc);
}

// Bulk reads of every real encoding and byte order: counts around the piece
// size and a file that ends inside an item.
struct BulkCase {
    RealEncoding encoding;
    bool bigEndian;
};

class BulkReadTest : public ::testing::TestWithParam<BulkCase> {
protected:
    // The file bytes of item `i` and the single it must read as.
    void Item(int i, Bytes& bytes, float& expected) const {
        const BulkCase& c = GetParam();
        const float value = static_cast<float>(i) * 0.25f - 1000.0f + 0.125f;
        switch (c.encoding) {
        case Real4:
            bytes = Ordered(FloatBits(value), 4, c.bigEndian);
            expected = value;
            break;
        case Real8: {
            const double wide = static_cast<double>(value);
            std::uint64_t bits;
            std::memcpy(&bits, &wide, sizeof bits);
            bytes = Ordered(bits, 8, c.bigEndian);
            expected = value;
            break;
        }
        case Cray8:
            if (c.bigEndian) {
                bytes = CrayWordBigEndian(value);
                expected = value;
            } else {
                // Least significant byte first: bytes 2-3 hold the exponent,
                // bytes 3-5 the mantissa, byte 0 the sign.
                const unsigned exponent = 16384u + static_cast<unsigned>(i % 8);
                const unsigned char b2 = static_cast<unsigned char>(exponent & 0xFF);
                const unsigned char b3 = static_cast<unsigned char>(exponent >> 8);
                const unsigned char b4 = static_cast<unsigned char>(i & 0xFF);
                const unsigned char b5 = static_cast<unsigned char>((i >> 8) & 0x7F);
                bytes = {static_cast<unsigned char>((i & 1) ? 0x80 : 0),
                         0x5A,
                         b2,
                         b3,
                         b4,
                         b5,
                         0x11,
                         0x22};
                expected = BitsFloat(((i & 1) ? 0x80000000u : 0u) | ((exponent - 16258u) << 23) |
                                     (unsigned{b3} | unsigned{b4} << 8 | unsigned{b5} << 16));
            }
            break;
        }
    }

    void Check(int count, int present, int partialBytes) {
        Bytes file;
        std::vector<float> expected;
        for (int i = 0; i < present; ++i) {
            Bytes bytes;
            float value;
            Item(i, bytes, value);
            Append(file, bytes);
            expected.push_back(value);
        }
        file.insert(file.end(), static_cast<std::size_t>(partialBytes), 0x3C);
        MemoryStream stream(file);
        std::vector<float> out(static_cast<std::size_t>(count), -7.0f);
        const int got = RealsReaderFor(GetParam().encoding)(stream.stream, GetParam().bigEndian,
                                                            out.data(), count);
        ASSERT_EQ(got, present);
        for (int i = 0; i < present; ++i) {
            ASSERT_EQ(FloatBits(out[static_cast<std::size_t>(i)]),
                      FloatBits(expected[static_cast<std::size_t>(i)]))
                << "item " << i;
        }
    }
};

TEST_P(BulkReadTest, OneItem) {
    Check(1, 1, 0);
}
TEST_P(BulkReadTest, ExactlyOnePiece) {
    Check(16384, 16384, 0);
}
TEST_P(BulkReadTest, OneMoreThanAPiece) {
    Check(16385, 16385, 0);
}
TEST_P(BulkReadTest, FileEndsInsideAnItem) {
    Check(20000, 16390, 3);
}
TEST_P(BulkReadTest, FileEndsInsideTheFirstPiece) {
    Check(100, 40, 0);
}

std::string BulkName(const ::testing::TestParamInfo<BulkCase>& info) {
    static const char* const names[] = {"Real4", "Real8", "Cray8"};
    return std::string(names[info.param.encoding]) + (info.param.bigEndian ? "Big" : "Little");
}

INSTANTIATE_TEST_SUITE_P(Encodings, BulkReadTest,
                         ::testing::Values(BulkCase{Real4, false}, BulkCase{Real4, true},
                                           BulkCase{Real8, false}, BulkCase{Real8, true},
                                           BulkCase{Cray8, false}, BulkCase{Cray8, true}),
                         BulkName);

// The pieces a bulk read asks for, recorded through a stand-in stream.
struct PieceCase {
    std::size_t itemSize;
    std::size_t count;
    std::size_t available; // items the stand-in can deliver in all
    std::vector<std::size_t> expectedAsks;
    std::size_t expectedItems;
};

class PiecesTest : public ::testing::TestWithParam<PieceCase> {};

TEST_P(PiecesTest, AsksForAtMostSixtyFourKilobytesAtATime) {
    const PieceCase& c = GetParam();
    std::vector<unsigned char> buffer(c.itemSize * c.count);
    std::vector<std::size_t> asks;
    std::size_t left = c.available;
    unsigned char* expectedDestination = buffer.data();
    const std::size_t got = ReadInPieces(
        [&](unsigned char* destination, std::size_t size, std::size_t items) {
            EXPECT_EQ(size, c.itemSize);
            EXPECT_EQ(destination, expectedDestination);
            EXPECT_LE(size * items, ChunkBytes);
            asks.push_back(items);
            const std::size_t delivered = items < left ? items : left;
            left -= delivered;
            expectedDestination += delivered * size;
            return delivered;
        },
        buffer.data(), c.itemSize, c.count);
    EXPECT_EQ(asks, c.expectedAsks);
    EXPECT_EQ(got, c.expectedItems);
}

INSTANTIATE_TEST_SUITE_P(Boundaries, PiecesTest,
                         ::testing::Values(PieceCase{4, 16384, 16384, {16384}, 16384},
                                           PieceCase{4, 16385, 16385, {16384, 1}, 16385},
                                           PieceCase{4, 40000, 40000, {16384, 16384, 7232}, 40000},
                                           PieceCase{8, 8192, 8192, {8192}, 8192},
                                           PieceCase{8, 8193, 8193, {8192, 1}, 8193},
                                           PieceCase{4, 50000, 20000, {16384, 16384}, 20000},
                                           PieceCase{4, 32768, 16384, {16384, 16384}, 16384},
                                           PieceCase{4, 100, 30, {100}, 30}));
