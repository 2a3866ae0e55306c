// A 4-byte real reaches the host as the file's 4 bytes, signalling NaNs
// included: nothing on the way (decoding, copies, the floating-point unit of
// the build) may quiet them. Run on every build, the 32-bit Windows one above
// all, where x87 arithmetic would turn 7F800001 into 7FC00001.
#include "ReadTestSupport.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using namespace readtest;

constexpr uint32_t kSignalling = 0x7F800001u;
constexpr uint32_t kNegativeSignalling = 0xFFA00000u;
constexpr uint32_t kQuietWithPayload = 0x7FC00123u;

uint32_t Bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Writes `bits` as the 4-byte real at `offset`, in the file's byte order.
void PatchBits(std::vector<unsigned char>& bytes, std::size_t offset, uint32_t bits,
               bool bigEndian) {
    for (int i = 0; i < 4; ++i) {
        const int shift = bigEndian ? 24 - 8 * i : 8 * i;
        bytes.at(offset + static_cast<std::size_t>(i)) = static_cast<unsigned char>(bits >> shift);
    }
}

class SignallingNaN : public ::testing::TestWithParam<Encoding> {};

TEST_P(SignallingNaN, ReachesSetBaseDataUnchanged) {
    const Encoding encoding = GetParam();
    reswriter::ResFile file;
    file.encoding = encoding;
    file.simulations.push_back(
        Simulation{"Time = 1",
                   {DataTypeRow{"s", 1, {Record{1, {0.0f}}, Record{2, {0.0f}}, Record{3, {0.0f}}}},
                    DataTypeRow{"v", 0, {Record{4, {0.0f, 0.0f, 0.0f}}}},
                    DataTypeRow{"c", 5, {Record{5, {0.0f, 0.0f}}}},
                    DataTypeRow{"t", 7, {Record{6, {0.0f, 0.0f, 0.0f}}}}}});
    Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    const uint32_t patterns[] = {kSignalling, kNegativeSignalling, kQuietWithPayload};
    const auto& rows = layout.simulations[0].rows;
    auto real = [&](std::size_t row, std::size_t record, std::size_t index) {
        return rows[row].records[record] + encoding.IntSize() + 4 * index;
    };
    for (std::size_t i = 0; i < 3; ++i) {
        PatchBits(bytes, real(0, i, 0), patterns[i], encoding.bigEndian);
        PatchBits(bytes, real(1, 0, i), patterns[i], encoding.bigEndian);
        PatchBits(bytes, real(3, 0, i), patterns[i], encoding.bigEndian);
    }
    PatchBits(bytes, real(2, 0, 0), kSignalling, encoding.bigEndian);
    TempDir dir;
    reswriter::WriteFile(dir.File("nan.res"), bytes);
    LoadedResult loaded(dir.File("nan.res"));

    auto scalar = loaded.DataSet("s");
    ASSERT_NE(scalar, nullptr);
    ASSERT_TRUE(scalar->ReadData(0));
    ASSERT_EQ(scalar->ScalarValues().size(), 3u);
    auto vector = loaded.DataSet("v");
    ASSERT_NE(vector, nullptr);
    ASSERT_TRUE(vector->ReadData(0));
    ASSERT_EQ(vector->VectorValues().size(), 1u);
    const rxVector3D xyz = vector->VectorValues()[0];
    const float components[] = {xyz.x, xyz.y, xyz.z};
    for (std::size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(Bits(scalar->ScalarValues()[i]), patterns[i]) << "scalar " << i;
        EXPECT_EQ(Bits(components[i]), patterns[i]) << "vector component " << i;
    }

    auto complex = loaded.DataSet("c");
    ASSERT_NE(complex, nullptr);
    ASSERT_TRUE(complex->ReadComplexData(0));
    ASSERT_EQ(complex->ComplexScalarValues().size(), 1u);
    EXPECT_EQ(Bits(complex->ComplexScalarValues()[0].magnitude), kSignalling);

    const char* parts[] = {"t:Magnitude", "t:Phase", "t:Offset"};
    for (std::size_t i = 0; i < 3; ++i) {
        auto part = loaded.DataSet(parts[i]);
        ASSERT_NE(part, nullptr);
        ASSERT_TRUE(part->ReadData(0));
        ASSERT_EQ(part->ScalarValues().size(), 1u);
        EXPECT_EQ(Bits(part->ScalarValues()[0]), patterns[i]) << parts[i];
    }
}

INSTANTIATE_TEST_SUITE_P(Real4, SignallingNaN,
                         ::testing::Values(reswriter::kInt4Real4LE, reswriter::kInt4Real4BE),
                         [](const auto& info) { return info.param.bigEndian ? "BE" : "LE"; });

} // namespace
