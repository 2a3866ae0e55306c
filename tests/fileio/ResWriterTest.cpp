// Checks of the test-file writer itself: byte-exact layout, the encodings, and that the
// reported offsets and overrides land where tests will rely on them.
#include "ResWriter.h"
#include "TempDir.h"

#include "fileio/Cray.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <stdexcept>

using namespace reswriter;

namespace {

using Bytes = std::vector<unsigned char>;

ResFile WorkedExample(const Encoding& encoding) {
    ResFile file;
    file.encoding = encoding;
    DataTypeRow pressure{"pressure", 1, {{10, {1.0f}}, {11, {2.5f}}}};
    file.simulations.push_back({"Time = 1.5", {pressure}});
    return file;
}

void AppendPadded(Bytes& bytes, const std::string& text, std::size_t width) {
    bytes.insert(bytes.end(), text.begin(), text.end());
    bytes.insert(bytes.end(), width - text.size(), 0);
}

// The worked example typed out field by field, integers and reals little-endian, or with
// each 4-byte field reversed for the big-endian twin.
Bytes ExpectedWorkedExample(bool bigEndian) {
    Bytes b;
    auto word = [&](std::initializer_list<unsigned char> le) {
        Bytes w(le);
        if (bigEndian)
            std::reverse(w.begin(), w.end());
        b.insert(b.end(), w.begin(), w.end());
    };
    AppendPadded(b, "Korvane Results", 27);
    AppendPadded(b, "", 81);
    AppendPadded(b, "", 81);
    word({0x01, 0x00, 0x00, 0x00});
    AppendPadded(b, "Time = 1.5", 31);
    word({0xE4, 0x00, 0x00, 0x00});
    word({0x01, 0x00, 0x00, 0x00});
    AppendPadded(b, "pressure", 31);
    word({0x01, 0x00, 0x00, 0x00});
    word({0x0F, 0x01, 0x00, 0x00});
    word({0x02, 0x00, 0x00, 0x00});
    word({0x0A, 0x00, 0x00, 0x00});
    word({0x00, 0x00, 0x80, 0x3F});
    word({0x0B, 0x00, 0x00, 0x00});
    word({0x00, 0x00, 0x20, 0x40});
    return b;
}

Bytes Slice(const Bytes& bytes, std::size_t offset, std::size_t length) {
    return Bytes(bytes.begin() + static_cast<std::ptrdiff_t>(offset),
                 bytes.begin() + static_cast<std::ptrdiff_t>(offset + length));
}

Bytes Cray(float value, bool bigEndian) {
    Bytes out(8);
    EXPECT_TRUE(CrayBytes(value, bigEndian, out.data())) << value;
    return out;
}

} // namespace

TEST(ResWriter, WorkedExampleLittleEndianIsByteExact) {
    const Bytes bytes = Write(WorkedExample(kInt4Real4LE));
    EXPECT_EQ(bytes.size(), 291u);
    EXPECT_EQ(bytes, ExpectedWorkedExample(false));
}

TEST(ResWriter, WorkedExampleBigEndianTwinReversesNumbersOnly) {
    EXPECT_EQ(Write(WorkedExample(kInt4Real4BE)), ExpectedWorkedExample(true));
}

TEST(ResWriter, LayoutReportsEveryFieldOfTheWorkedExample) {
    Layout layout;
    const Bytes bytes = Write(WorkedExample(kInt4Real4LE), &layout);
    EXPECT_EQ(layout.simulationCount, 189u);
    ASSERT_EQ(layout.simulations.size(), 1u);
    const SimulationLayout& sim = layout.simulations[0];
    EXPECT_EQ(sim.label, 193u);
    EXPECT_EQ(sim.tablePosition, 224u);
    EXPECT_EQ(sim.table, 228u);
    ASSERT_EQ(sim.rows.size(), 1u);
    EXPECT_EQ(sim.rows[0].name, 232u);
    EXPECT_EQ(sim.rows[0].kind, 263u);
    EXPECT_EQ(sim.rows[0].blockPosition, 267u);
    EXPECT_EQ(sim.rows[0].block, 271u);
    EXPECT_EQ(sim.rows[0].records, (std::vector<std::size_t>{275u, 283u}));
    EXPECT_EQ(layout.size, bytes.size());
}

struct EightByteCase {
    Encoding encoding;
    Bytes expected; // 5 as an 8-byte integer
};

class EightByteIntegers : public ::testing::TestWithParam<EightByteCase> {};

TEST_P(EightByteIntegers, ValueAndFillerSitInTheirHalves) {
    Bytes bytes;
    AppendInt(bytes, 5, GetParam().encoding);
    EXPECT_EQ(bytes, GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(
    ResWriter, EightByteIntegers,
    ::testing::Values(EightByteCase{kInt8SecondCray8LE, {0x7F, 0x7F, 0x7F, 0x7F, 5, 0, 0, 0}},
                      EightByteCase{kInt8SecondCray8BE, {0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 0, 5}},
                      EightByteCase{kInt8FirstCray8LE, {5, 0, 0, 0, 0x7F, 0x7F, 0x7F, 0x7F}},
                      EightByteCase{kInt8FirstCray8BE, {0, 0, 0, 5, 0x7F, 0x7F, 0x7F, 0x7F}},
                      EightByteCase{{IntFormat::Int8Second, RealFormat::Cray8, false, 0x01020304u},
                                    {4, 3, 2, 1, 5, 0, 0, 0}}));

TEST(ResWriter, EightByteHeaderPutsTheCountAfterTheFiller) {
    ResFile file = WorkedExample(kInt8SecondCray8BE);
    Layout layout;
    const Bytes bytes = Write(file, &layout);
    EXPECT_EQ(layout.simulationCount, 189u);
    EXPECT_EQ(Slice(bytes, 189, 8), (Bytes{0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 0, 1}));
    EXPECT_EQ(layout.simulations[0].label, 197u);
    // 197 + 31 + 8 = 236: the table follows the one-entry simulation table.
    EXPECT_EQ(layout.simulations[0].table, 236u);
    EXPECT_EQ(Slice(bytes, 228, 8), (Bytes{0x7F, 0x7F, 0x7F, 0x7F, 0, 0, 0, 236}));
    const std::size_t record = layout.simulations[0].rows[0].records[0];
    EXPECT_EQ(Slice(bytes, record + 8, 8), Cray(1.0f, true));
}

TEST(ResWriter, RealsInEachFormat) {
    Bytes real8;
    AppendReal(real8, 2.5f, kInt4Real8BE);
    EXPECT_EQ(real8, (Bytes{0x40, 0x04, 0, 0, 0, 0, 0, 0}));
    Bytes real4;
    AppendReal(real4, 2.5f, kInt4Real4BE);
    EXPECT_EQ(real4, (Bytes{0x40, 0x20, 0, 0}));
}

TEST(ResWriter, CrayBigEndianEdgeCases) {
    const float inf = std::numeric_limits<float>::infinity();
    EXPECT_EQ(Cray(1.0f, true), (Bytes{0x40, 0x01, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(-1.0f, true), (Bytes{0xC0, 0x01, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(1.5f, true), (Bytes{0x40, 0x01, 0xC0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(0.0f, true), Bytes(8, 0));
    EXPECT_EQ(Cray(-0.0f, true), (Bytes{0x80, 0, 0, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(std::ldexp(1.0f, 127), true), (Bytes{0x40, 0x80, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(inf, true), (Bytes{0x40, 0x81, 0x80, 0, 0, 0, 0, 0}));
    EXPECT_EQ(Cray(-inf, true), (Bytes{0xC0, 0x81, 0x80, 0, 0, 0, 0, 0}));
}

TEST(ResWriter, CrayLittleEndianSharesByteThree) {
    float value = 0;
    const uint32_t bits = 0x3F000140u;
    std::memcpy(&value, &bits, sizeof value);
    EXPECT_EQ(Cray(value, false), (Bytes{0, 0, 0, 0x40, 0x01, 0x80, 0, 0}));

    unsigned char out[8];
    EXPECT_FALSE(CrayBytes(1.0f, false, out));
    Bytes bytes;
    EXPECT_THROW(AppendReal(bytes, 1.0f, kInt8SecondCray8LE), std::invalid_argument);
    EXPECT_THROW(Write(WorkedExample(kInt8SecondCray8LE)), std::invalid_argument);
}

TEST(ResWriter, CrayRejectsNanAndSubnormals) {
    unsigned char out[8];
    for (bool bigEndian : {true, false}) {
        EXPECT_FALSE(CrayBytes(std::numeric_limits<float>::quiet_NaN(), bigEndian, out));
        EXPECT_FALSE(CrayBytes(std::numeric_limits<float>::denorm_min(), bigEndian, out));
    }
}

// Whatever the writer says it can store, the reader's conversion gives back exactly.
TEST(ResWriter, CrayRoundTripsThroughTheReader) {
    const float inf = std::numeric_limits<float>::infinity();
    const float values[] = {1.0f,          -1.0f,      0.1f, -3.75e-30f, 6.02e23f, 1.17549435e-38f,
                            3.4028235e38f, -0.0f,      0.0f, inf,        -inf,     123.456f,
                            -0.5f,         0.49999997f};
    for (bool bigEndian : {true, false}) {
        const Encoding encoding = bigEndian ? kInt8SecondCray8BE : kInt8SecondCray8LE;
        for (float original : values) {
            const float value = Representable(original, encoding);
            if (bigEndian) {
                EXPECT_EQ(value, original);
            }
            unsigned char word[8];
            ASSERT_TRUE(CrayBytes(value, bigEndian, word)) << original;
            const float back = CrayToFloat(word, bigEndian);
            EXPECT_EQ(std::memcmp(&back, &value, sizeof value), 0)
                << original << (bigEndian ? " big" : " little");
        }
    }
}

TEST(ResWriter, TextFieldsAreCutOrNulPadded) {
    ResFile file = WorkedExample(kInt4Real4LE);
    file.title = std::string(40, 'T');
    file.text1 = "first";
    file.simulations[0].label = std::string(31, 'L') + "cut";
    file.simulations[0].rows[0].name = std::string(30, 'n');
    Layout layout;
    const Bytes bytes = Write(file, &layout);
    EXPECT_EQ(Slice(bytes, 0, 27), Bytes(27, 'T'));
    Bytes text1(81, 0);
    std::memcpy(text1.data(), "first", 5);
    EXPECT_EQ(Slice(bytes, layout.text1, 81), text1);
    EXPECT_EQ(Slice(bytes, layout.simulations[0].label, 31), Bytes(31, 'L'));
    EXPECT_EQ(layout.simulations[0].tablePosition, layout.simulations[0].label + 31);
    Bytes name(30, 'n');
    name.push_back(0);
    EXPECT_EQ(Slice(bytes, layout.simulations[0].rows[0].name, 31), name);
    EXPECT_EQ(bytes.size(), 291u);
}

TEST(ResWriter, OverridesLandAtTheReportedOffsets) {
    const Encoding enc = kInt8SecondCray8BE;
    ResFile file = WorkedExample(enc);
    file.simulationCount = 7;
    file.simulations[0].dataTypeCount = -1;
    file.simulations[0].tablePosition = 99999;
    file.simulations[0].rows[0].entityCount = 65536;
    DataTypeRow noBlock{"skipped", 2, {{1, {1.0f}}}};
    noBlock.writeBlock = false;
    noBlock.blockPosition = 1 << 30;
    file.simulations[0].rows.push_back(noBlock);
    DataTypeRow movedBlock{"moved", 3, {{4, {2.0f}}}};
    movedBlock.blockPosition = 12;
    file.simulations[0].rows.push_back(movedBlock);
    file.trailing = {0xAA, 0xBB};

    Layout layout;
    const Bytes bytes = Write(file, &layout);
    auto intAt = [&](std::size_t offset) {
        Bytes expected;
        AppendInt(expected, 0, enc);
        return Slice(bytes, offset, expected.size());
    };
    auto encoded = [&](int32_t value) {
        Bytes expected;
        AppendInt(expected, value, enc);
        return expected;
    };
    const SimulationLayout& sim = layout.simulations[0];
    EXPECT_EQ(intAt(layout.simulationCount), encoded(7));
    EXPECT_EQ(intAt(sim.tablePosition), encoded(99999));
    EXPECT_EQ(intAt(sim.dataTypeCount), encoded(-1));
    ASSERT_EQ(sim.rows.size(), 3u);
    EXPECT_EQ(intAt(sim.rows[0].entityCount), encoded(65536));
    EXPECT_EQ(intAt(sim.rows[1].kind), encoded(2));
    EXPECT_EQ(intAt(sim.rows[1].blockPosition), encoded(1 << 30));
    EXPECT_EQ(sim.rows[1].block, kNoOffset);
    EXPECT_TRUE(sim.rows[1].records.empty());
    EXPECT_EQ(intAt(sim.rows[2].blockPosition), encoded(12));
    // The overridden block is still written, straight after the first row's block.
    EXPECT_EQ(sim.rows[2].block, sim.rows[0].records.back() + 8 + 8);
    EXPECT_EQ(intAt(sim.rows[2].block), encoded(1));
    EXPECT_EQ(layout.trailing, sim.rows[2].records[0] + 16);
    EXPECT_EQ(Slice(bytes, layout.trailing, 2), (Bytes{0xAA, 0xBB}));
    EXPECT_EQ(layout.size, bytes.size());
    EXPECT_EQ(bytes.size(), layout.trailing + 2);
}

TEST(ResWriter, BlocksFollowTheirOwnSimulationsTable) {
    ResFile file;
    for (const char* label : {"Time = 0.1", "Time = 0.2"})
        file.simulations.push_back({label, {{"temperature", 1, {{1, {20.0f}}}}}});
    Layout layout;
    const Bytes bytes = Write(file, &layout);
    const SimulationLayout& first = layout.simulations[0];
    const SimulationLayout& second = layout.simulations[1];
    EXPECT_EQ(first.table, 193u + 2 * 35);
    EXPECT_EQ(first.rows[0].block, first.table + 4 + 39);
    EXPECT_EQ(second.table, first.rows[0].block + 4 + 8);
    Bytes position;
    AppendInt(position, static_cast<int32_t>(second.table), kInt4Real4LE);
    EXPECT_EQ(Slice(bytes, second.tablePosition, 4), position);
}

TEST(ResWriter, PatchIntRewritesOneFieldAndRefusesToGrowTheFile) {
    Layout layout;
    Bytes bytes = Write(WorkedExample(kInt4Real4BE), &layout);
    PatchInt(bytes, layout.simulationCount, 65536, kInt4Real4BE);
    EXPECT_EQ(Slice(bytes, 189, 4), (Bytes{0, 1, 0, 0}));
    PatchReal(bytes, layout.simulations[0].rows[0].records[1] + 4, -2.0f, kInt4Real4BE);
    EXPECT_EQ(Slice(bytes, 287, 4), (Bytes{0xC0, 0, 0, 0}));
    EXPECT_EQ(bytes.size(), 291u);
    EXPECT_THROW(PatchInt(bytes, 288, 1, kInt4Real4BE), std::out_of_range);
    EXPECT_THROW(PatchInt(bytes, std::numeric_limits<std::size_t>::max(), 1, kInt4Real4BE),
                 std::out_of_range);
}

TEST(ResWriter, WriteFileStoresTheBytesInATempDirThatCleansUp) {
    std::filesystem::path where;
    {
        TempDir dir;
        where = dir.Path();
        const Bytes bytes = Write(WorkedExample(kInt4Real4LE));
        WriteFile(dir.File("run.res"), bytes);
        std::ifstream in(dir.File("run.res"), std::ios::binary);
        const Bytes back((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
        EXPECT_EQ(back, bytes);
        EXPECT_THROW(WriteFile(dir.File("missing/run.res"), bytes), std::runtime_error);
    }
    EXPECT_FALSE(std::filesystem::exists(where));
}
