// Encoding detection from the header: which trial wins for which header bytes,
// the limits of a plausible count, and files too short to hold a header.
#include "FileioTestSupport.h"

#include "fileio/ResFileSet.h"

#include <gtest/gtest.h>

#include <climits>

using namespace fileio_test;

namespace {

struct DetectCase {
    const char* label;
    Bytes countItem; // the bytes at offset 189
    bool accepted;
    IntEncoding ints; // when accepted
    RealEncoding reals;
    bool bigEndian;
    std::int32_t count; // the header count read back in that encoding
};

Bytes Le(std::int32_t v) {
    return EncodeInt(v, Int4, false);
}
Bytes Be(std::int32_t v) {
    return EncodeInt(v, Int4, true);
}
Bytes Wide(const Bytes& first, const Bytes& second) {
    Bytes out = first;
    Append(out, second);
    return out;
}
// Bytes 0-3 of an 8-byte item that read as more than 65535 in either order.
const Bytes wideFirstHalf = {0x01, 0x00, 0x01, 0x00};

} // namespace

class DetectionTest : public ::testing::TestWithParam<DetectCase> {};

TEST_P(DetectionTest, PicksTheFirstTrialThatReadsAPlausibleCount) {
    const DetectCase& c = GetParam();
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(c.countItem));

    ResFileSet files;
    EXPECT_EQ(files.DetectEncoding(path), c.accepted);
    EXPECT_FALSE(files.IsOpen());
    ASSERT_EQ(files.OpenFile(path), c.accepted);
    if (!c.accepted) {
        EXPECT_FALSE(files.IsOpen());
        return;
    }
    EXPECT_EQ(files.GetIntEncoding(), c.ints);
    EXPECT_EQ(files.GetRealEncoding(), c.reals);
    EXPECT_EQ(files.BigEndian(), c.bigEndian);
    ASSERT_TRUE(files.SeekTo(189));
    std::int32_t count = 0;
    EXPECT_EQ(files.ReadInt(&count), 1);
    EXPECT_EQ(count, c.count);
    EXPECT_EQ(files.BytesRemaining(),
              static_cast<std::int64_t>(c.countItem.size()) - files.IntItemSize());
}

INSTANTIATE_TEST_SUITE_P(
    Headers, DetectionTest,
    ::testing::Values(
        DetectCase{"FiveLittle", Le(5), true, Int4, Real4, false, 5},
        DetectCase{"FiveBig", Be(5), true, Int4, Real4, true, 5},
        DetectCase{"ZeroIsLittle", Le(0), true, Int4, Real4, false, 0},
        DetectCase{"LargestAccepted", Le(65535), true, Int4, Real4, false, 65535},
        // 00 00 01 00 is rejected little-endian and read as 256 big-endian.
        DetectCase{"FirstRejected", Le(65536), true, Int4, Real4, true, 256},
        DetectCase{"LargestBig", Be(65535), true, Int4, Real4, true, 65535},
        DetectCase{"MostNegativeAccepted", Le(-65535), true, Int4, Real4, false, -65535},
        DetectCase{"FirstNegativeRejected", Le(-65536), true, Int4, Real4, true, 65535},
        DetectCase{"MinimumRejected", Le(INT_MIN), true, Int4, Real4, true, 128},
        DetectCase{"RejectedBothOrders", {0x01, 0x00, 0x01, 0x00}, false, Int4, Real4, false, 0},
        DetectCase{"NegativeBothOrders", {0x80, 0x00, 0x00, 0x80}, false, Int4, Real4, false, 0},
        DetectCase{"WideSecondLittle", Wide(wideFirstHalf, Le(5)), true, Int8Second, Cray8, false,
                   5},
        DetectCase{"WideSecondBig", Wide(wideFirstHalf, Be(5)), true, Int8Second, Cray8, true, 5},
        DetectCase{"WideSecondNegative", Wide(wideFirstHalf, Be(-65535)), true, Int8Second, Cray8,
                   true, -65535},
        // An 8-byte count whose first half is plausible is taken for a 4-byte one.
        DetectCase{"WideTakenForNarrow", Wide(Le(0), Le(5)), true, Int4, Real4, false, 0},
        DetectCase{"WideRejectedEverywhere", Wide(wideFirstHalf, {0x01, 0x00, 0x01, 0x00}), false,
                   Int4, Real4, false, 0}),
    [](const ::testing::TestParamInfo<DetectCase>& info) { return std::string(info.param.label); });

TEST(DetectionLengthTest, FilesShorterThanAHeaderAreNeverAccepted) {
    TempDir dir;
    const Bytes full = Header(Le(3));
    ASSERT_EQ(full.size(), 193u);
    for (std::size_t length : {std::size_t{0}, std::size_t{26}, std::size_t{27}, std::size_t{108},
                               std::size_t{189}, std::size_t{192}}) {
        const std::string path = dir.File("short" + std::to_string(length) + ".res");
        WriteFile(path, Bytes(full.begin(), full.begin() + static_cast<long>(length)));
        ResFileSet files;
        EXPECT_FALSE(files.DetectEncoding(path)) << length;
        EXPECT_FALSE(files.OpenFile(path)) << length;
        EXPECT_FALSE(files.IsOpen());
        EXPECT_EQ(files.GetNumSeriesFiles(), 0);
    }
    const std::string exact = dir.File("exact.res");
    WriteFile(exact, full);
    ResFileSet files;
    EXPECT_TRUE(files.OpenFile(exact));
}

TEST(DetectionLengthTest, WideCountNeedsAllEightBytes) {
    TempDir dir;
    Bytes header = Header(Wide(wideFirstHalf, Le(5)));
    header.pop_back();
    const std::string path = dir.File("cut.res");
    WriteFile(path, header);
    ResFileSet files;
    EXPECT_FALSE(files.DetectEncoding(path));
}

TEST(DetectionLengthTest, MissingFileLeavesTheEncodingAlone) {
    TempDir dir;
    const std::string big = dir.File("big.res");
    WriteFile(big, Header(Be(9)));
    ResFileSet files;
    ASSERT_TRUE(files.DetectEncoding(big));
    ASSERT_TRUE(files.BigEndian());
    RecordingClearer clearer;
    EXPECT_FALSE(files.DetectEncoding(dir.File("absent.res")));
    EXPECT_TRUE(files.BigEndian());
    EXPECT_TRUE(clearer.names.empty());
}

TEST(DetectionLengthTest, EachFileIsDetectedOnItsOwn) {
    TempDir dir;
    const std::string little = dir.File("run.res");
    const std::string wide = dir.File("run1.res");
    WriteFile(little, Header(Le(2)));
    WriteFile(wide, Header(Wide(wideFirstHalf, Be(2))));
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(little));
    ASSERT_EQ(files.GetNumSeriesFiles(), 2);
    EXPECT_EQ(files.IntItemSize(), 4);
    EXPECT_EQ(files.RealItemSize(), 4);
    ASSERT_TRUE(files.OpenFile(files.GetSeriesFileName(1)));
    EXPECT_EQ(files.IntItemSize(), 8);
    EXPECT_EQ(files.RealItemSize(), 8);
    EXPECT_TRUE(files.BigEndian());
    EXPECT_EQ(files.GetNumSeriesFiles(), 2);
}
