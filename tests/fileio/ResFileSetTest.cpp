// The file-set reader's operations: reads in each detectable encoding,
// positioning, behaviour with no file open, and the names handed to the
// host's cache clearer.
#include "FileioTestSupport.h"

#include "fileio/ResFileSet.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <thread>
#include <vector>

using namespace fileio_test;

namespace {

// A header announcing one simulation, then an integer, a real and three reals.
struct Layout {
    IntEncoding ints;
    RealEncoding reals;
    bool bigEndian;
};

// Reals in every layout but little-endian Cray, whose words are spelled out.
Bytes EncodeReal(float value, const Layout& layout) {
    if (layout.reals == Cray8) {
        return CrayWordBigEndian(value);
    }
    return Ordered(FloatBits(value), 4, layout.bigEndian);
}

Bytes SampleFile(const Layout& layout) {
    // The first half of an 8-byte count reads as more than 65535 either way,
    // so detection has to fall through to the 8-byte trials.
    Bytes out = Header(EncodeInt(1, layout.ints, layout.bigEndian, 0x00010001u));
    Append(out, EncodeInt(-123456, layout.ints, layout.bigEndian));
    if (layout.reals == Cray8 && !layout.bigEndian) {
        const Bytes half = {0, 0, 0, 0x40, 0x01, 0x80, 0xC0, 0}; // 0x3F000140
        for (int i = 0; i < 4; ++i) {
            Append(out, half);
        }
        return out;
    }
    for (float v : {2.5f, -0.75f, 1024.0f, 3.0e-5f}) {
        Append(out, EncodeReal(v, layout));
    }
    return out;
}

} // namespace

class LayoutReadTest : public ::testing::TestWithParam<Layout> {};

TEST_P(LayoutReadTest, DeliversIntegersAndSinglesFromAnyDetectedEncoding) {
    const Layout& layout = GetParam();
    TempDir dir;
    const std::string path = dir.File("model.res");
    const Bytes bytes = SampleFile(layout);
    WriteFile(path, bytes);

    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(path));
    EXPECT_EQ(files.GetIntEncoding(), layout.ints);
    EXPECT_EQ(files.GetRealEncoding(), layout.reals);
    EXPECT_EQ(files.BigEndian(), layout.bigEndian);

    const int headerSize = 189 + files.IntItemSize();
    ASSERT_TRUE(files.SeekTo(headerSize));
    EXPECT_EQ(files.BytesRemaining(), static_cast<std::int64_t>(bytes.size()) - headerSize);
    std::int32_t value = 0;
    ASSERT_EQ(files.ReadInt(&value), 1);
    EXPECT_EQ(value, -123456);

    const bool crayLittle = layout.reals == Cray8 && !layout.bigEndian;
    const float expected[4] = {crayLittle ? BitsFloat(0x3F000140u) : 2.5f,
                               crayLittle ? BitsFloat(0x3F000140u) : -0.75f,
                               crayLittle ? BitsFloat(0x3F000140u) : 1024.0f,
                               crayLittle ? BitsFloat(0x3F000140u) : 3.0e-5f};
    float one = 0;
    ASSERT_EQ(files.ReadReal(&one), 1);
    EXPECT_EQ(one, expected[0]);
    float three[4] = {0, 0, 0, 99.0f};
    EXPECT_EQ(files.ReadReals(three, 4), 3); // only three remain
    EXPECT_EQ(three[0], expected[1]);
    EXPECT_EQ(three[1], expected[2]);
    EXPECT_EQ(three[2], expected[3]);
    EXPECT_EQ(files.BytesRemaining(), 0);
    EXPECT_EQ(files.ReadInt(&value), 0);

    ASSERT_TRUE(files.Rewind());
    char title[16] = {};
    EXPECT_EQ(files.ReadBytes(title, 15), 15);
    EXPECT_STREQ(title, "Korvane Results");
}

INSTANTIATE_TEST_SUITE_P(Detectable, LayoutReadTest,
                         ::testing::Values(Layout{Int4, Real4, false}, Layout{Int4, Real4, true},
                                           Layout{Int8Second, Cray8, false},
                                           Layout{Int8Second, Cray8, true}),
                         [](const ::testing::TestParamInfo<Layout>& info) {
                             return std::string(info.param.ints == Int4 ? "Narrow" : "Wide") +
                                    (info.param.bigEndian ? "Big" : "Little");
                         });

TEST(ResFileSetTest, FreshReaderHasNothingOpenAndReadsNothing) {
    ResFileSet files;
    EXPECT_FALSE(files.IsOpen());
    EXPECT_EQ(files.GetNumSeriesFiles(), 0);
    EXPECT_EQ(files.GetIntEncoding(), Int4);
    EXPECT_EQ(files.GetRealEncoding(), Real4);
    EXPECT_FALSE(files.BigEndian());

    std::int32_t i = 41;
    float r = 4.5f;
    float many[2] = {1.0f, 2.0f};
    char bytes[4] = {'a', 'b', 'c', 'd'};
    EXPECT_EQ(files.ReadInt(&i), 0);
    EXPECT_EQ(files.ReadReal(&r), 0);
    EXPECT_EQ(files.ReadReals(many, 2), 0);
    EXPECT_EQ(files.ReadBytes(bytes, 4), 0);
    EXPECT_EQ(i, 41);
    EXPECT_EQ(r, 4.5f);
    EXPECT_EQ(many[0], 1.0f);
    EXPECT_EQ(bytes[0], 'a');
    EXPECT_FALSE(files.SeekTo(0));
    EXPECT_FALSE(files.Rewind());
    EXPECT_EQ(files.BytesRemaining(), 0);
    EXPECT_EQ(files.GetSeriesFileName(0), "");
    EXPECT_FALSE(files.ProbeHeader());
}

TEST(ResFileSetTest, SeekToReportsWhetherThePositionWasReached) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(EncodeInt(1, Int4, false)));
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(path));
    EXPECT_FALSE(files.SeekTo(-1));
    EXPECT_TRUE(files.SeekTo(189));
    EXPECT_EQ(files.BytesRemaining(), 4);
    EXPECT_TRUE(files.SeekTo(193));
    EXPECT_EQ(files.BytesRemaining(), 0);
    // Beyond the end the stream accepts the position; reads come up short.
    EXPECT_TRUE(files.SeekTo(5000));
    EXPECT_EQ(files.BytesRemaining(), 0);
    std::int32_t value = 0;
    EXPECT_EQ(files.ReadInt(&value), 0);
    char byte = 0;
    EXPECT_EQ(files.ReadBytes(&byte, 0), 0);
    EXPECT_EQ(files.ReadBytes(nullptr, 4), 0);
    EXPECT_EQ(files.ReadBytes(&byte, -1), 0);
    // A seek clears the end-of-file state.
    ASSERT_TRUE(files.SeekTo(189));
    EXPECT_EQ(files.ReadInt(&value), 1);
    EXPECT_EQ(value, 1);
}

TEST(ResFileSetTest, EmptyNameAndIndicesOutsideTheListFail) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(EncodeInt(1, Int4, false)));
    RecordingClearer clearer;
    ResFileSet files;
    EXPECT_FALSE(files.OpenFile(""));
    EXPECT_TRUE(clearer.names.empty());
    ASSERT_TRUE(files.OpenFile(path));
    EXPECT_EQ(files.GetSeriesFileName(-1), "");
    EXPECT_EQ(files.GetSeriesFileName(1), "");
    EXPECT_EQ(files.GetSeriesFileName(0), path);
    clearer.names.clear();
    EXPECT_FALSE(files.OpenFile(""));
    EXPECT_FALSE(files.IsOpen());
    EXPECT_EQ(clearer.names, std::vector<std::string>{path}); // the open file was closed
    EXPECT_EQ(files.GetNumSeriesFiles(), 1);
}

TEST(ResFileSetTest, ReopeningTheOpenFileStartsAgainAtByteZero) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(EncodeInt(7, Int4, true)));
    RecordingClearer clearer;
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(path));
    ASSERT_TRUE(files.SeekTo(189));
    clearer.names.clear();
    ASSERT_TRUE(files.OpenFile(path));
    EXPECT_TRUE(files.BigEndian());
    EXPECT_EQ(clearer.names, (std::vector<std::string>{path, path})); // closed, then probed
    char first[7] = {};
    EXPECT_EQ(files.ReadBytes(first, 7), 7);
    EXPECT_EQ(std::string(first, 7), "Korvane");
    EXPECT_EQ(files.GetNumSeriesFiles(), 1);
}

// The header read for the detection leaves the stream as a fresh open
// leaves it: at byte 0 with nothing buffered, so the reads that follow see
// the file as it is then (here rewritten in place after the open), and
// ResFile::ReadAt moves nothing.
TEST(ResFileSetTest, AnOpenReadsTheFileAsItIsAfterTheDetection) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(EncodeInt(7, Int4, true)));
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(path));
    {
        std::FILE* writer = std::fopen(path.c_str(), "r+b");
        ASSERT_NE(writer, nullptr);
        std::fputs("Changed", writer);
        std::fclose(writer);
    }
    char first[7] = {};
    EXPECT_EQ(files.ReadBytes(first, 7), 7);
    EXPECT_EQ(std::string(first, 7), "Changed");

    ResFile file;
    ASSERT_TRUE(file.Open(path));
    ASSERT_TRUE(file.Seek(3));
    char title[4] = {};
    EXPECT_EQ(file.ReadAt(0, title, sizeof title), sizeof title);
    EXPECT_EQ(std::string(title, 4), "Chan");
    EXPECT_EQ(file.ReadAt(file.Size() - 2, title, sizeof title), 2u); // cut by the end
#if !defined(_WIN32)
    EXPECT_EQ(file.Tell(), 3);
    EXPECT_EQ(std::fgetc(file.Stream()), 'n');
#endif
}

TEST(ResFileSetTest, AHoldKeepsOneFileOpenAcrossReadsAndClosesItAtItsEnd) {
    TempDir dir;
    const std::string first = dir.File("a.res");
    const std::string second = dir.File("b.res");
    WriteFile(first, Header(EncodeInt(7, Int4, true)));
    WriteFile(second, Header(EncodeInt(7, Int4, false)));
    RecordingClearer clearer;
    ResFileSet files;
    {
        ResFileSet::Hold hold(files);
        ASSERT_TRUE(files.OpenFile(first));
        ASSERT_TRUE(files.SeekTo(189));
        clearer.names.clear();
        files.CloseFile(); // put off
        EXPECT_TRUE(files.IsOpen());
        ASSERT_TRUE(files.OpenFile(first)); // the same file: rewound, not probed again
        EXPECT_TRUE(clearer.names.empty());
        EXPECT_TRUE(files.BigEndian());
        char text[7] = {};
        EXPECT_EQ(files.ReadBytes(text, 7), 7);
        EXPECT_EQ(std::string(text, 7), "Korvane");
        { ResFileSet::Hold inner(files); }
        EXPECT_TRUE(files.IsOpen());         // the outer hold still lives
        ASSERT_TRUE(files.OpenFile(second)); // another file: the held one closes, as always
        EXPECT_EQ(clearer.names, (std::vector<std::string>{first, second}));
        EXPECT_FALSE(files.BigEndian());
        clearer.names.clear();
        files.CloseFile();
        EXPECT_TRUE(clearer.names.empty());
    }
    EXPECT_FALSE(files.IsOpen()); // closed once the hold ended
    EXPECT_EQ(clearer.names, std::vector<std::string>{second});
    // A file opened without a close put off stays as its caller left it.
    ASSERT_TRUE(files.OpenFile(first));
    { ResFileSet::Hold hold(files); }
    EXPECT_TRUE(files.IsOpen());
}

TEST(CacheClearerTest, EveryCloseOfAnOpenStreamHandsItsNameOver) {
    TempDir dir;
    const std::string first = dir.File("a.res");
    const std::string second = dir.File("b.res");
    const std::string tooShort = dir.File("c.res");
    WriteFile(first, Header(EncodeInt(1, Int4, false)));
    WriteFile(second, Header(EncodeInt(1, Int4, false)));
    WriteFile(tooShort, Bytes(100, 0));

    RecordingClearer clearer;
    {
        ResFileSet files;
        ASSERT_TRUE(files.OpenFile(first));
        EXPECT_EQ(clearer.names, std::vector<std::string>{first}); // after probing
        files.CloseFile();
        files.CloseFile(); // nothing open: nothing handed over
        EXPECT_EQ(clearer.names, (std::vector<std::string>{first, first}));

        clearer.names.clear();
        ASSERT_TRUE(files.OpenFile(first));
        ASSERT_TRUE(files.OpenFile(second));
        EXPECT_EQ(clearer.names, (std::vector<std::string>{first, first, second}));

        clearer.names.clear();
        EXPECT_FALSE(files.OpenFile(tooShort));
        EXPECT_EQ(clearer.names, (std::vector<std::string>{second, tooShort}));

        clearer.names.clear();
        EXPECT_FALSE(files.OpenFile(dir.File("absent.res")));
        EXPECT_TRUE(clearer.names.empty());

        ASSERT_TRUE(files.OpenFile(first));
        clearer.names.clear();
    }
    // Destroyed with a file open.
    EXPECT_EQ(clearer.names, std::vector<std::string>{first});
}

TEST(CacheClearerTest, WithoutAClearerFilesStillOpenAndClose) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    WriteFile(path, Header(EncodeInt(1, Int4, false)));
    NoClearer none;
    ASSERT_EQ(rxFileCacheClearer::GetInstance(), nullptr);
    ResFileSet files;
    ASSERT_TRUE(files.OpenFile(path));
    EXPECT_TRUE(files.IsOpen());
    files.CloseFile();
    EXPECT_FALSE(files.IsOpen());
    ASSERT_TRUE(files.OpenFile(path));
}

TEST(CacheClearerTest, PreviousInstanceIsRestored) {
    rxFileCacheClearer* before = rxFileCacheClearer::GetInstance();
    {
        RecordingClearer clearer;
        EXPECT_EQ(rxFileCacheClearer::GetInstance(), &clearer);
        NoClearer none;
        EXPECT_EQ(rxFileCacheClearer::GetInstance(), nullptr);
    }
    EXPECT_EQ(rxFileCacheClearer::GetInstance(), before);
}

#if !defined(_WIN32)
namespace {

std::size_t OpenDescriptors() {
    return static_cast<std::size_t>(
        std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                      std::filesystem::directory_iterator()));
}

} // namespace

// The reading road keeps the file read last open, but never more than the
// cap in the whole process, and gives each one back when its set ends; a
// held file rewritten where it stands is refused at the next open.
// The file open when KeepFilesOpen is called is recorded as met: its next
// open reuses the descriptor (no second open), and a change made since the
// call is found.
TEST(ResFileSetTest, TheFileOpenWhenKeepingBeginsIsRecorded) {
    TempDir dir;
    const std::string path = dir.File("held.res");
    Bytes bytes = Header(EncodeInt(1, Int4, false));
    Append(bytes, EncodeInt(42, Int4, false));
    WriteFile(path, bytes);
    for (bool change : {false, true}) {
        ResFileSet files;
        ASSERT_TRUE(files.OpenFile(path));
        files.KeepFilesOpen();
        if (change) {
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            Append(bytes, EncodeInt(43, Int4, false));
            WriteFile(path, bytes); // in place, longer
        }
        EXPECT_EQ(files.OpenFile(path), !change);
        EXPECT_EQ(files.LostFile(), change);
    }
}

TEST(ResFileSetTest, HeldFilesStayWithinTheCapAndAreCheckedAtEachOpen) {
    TempDir dir;
    const std::string path = dir.File("held.res");
    Bytes bytes = Header(EncodeInt(1, Int4, false));
    Append(bytes, EncodeInt(42, Int4, false));
    WriteFile(path, bytes);
    const std::size_t before = OpenDescriptors();
    {
        std::vector<std::unique_ptr<ResFileSet>> sets;
        for (int k = 0; k < ResFileSet::kHeldFilesCap + 40; ++k) {
            sets.push_back(std::make_unique<ResFileSet>());
            sets.back()->KeepFilesOpen();
            ASSERT_TRUE(sets.back()->OpenFile(path));
            sets.back()->CloseFile();
            // Met before: reopened on its descriptor or by its name, unchanged.
            ASSERT_TRUE(sets.back()->OpenFile(path));
            sets.back()->CloseFile();
        }
        EXPECT_EQ(OpenDescriptors(), before + ResFileSet::kHeldFilesCap);
        ResFileSet& first = *sets.front();
        ASSERT_TRUE(first.OpenFile(path));
        ASSERT_TRUE(first.SeekTo(static_cast<std::int32_t>(bytes.size()) - 4));
        std::int32_t value = 0;
        ASSERT_EQ(first.ReadInt(&value), 1);
        EXPECT_EQ(value, 42);
        first.CloseFile();
        Bytes changed = bytes;
        changed.back() ^= 1;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        WriteFile(path, changed); // in place: the same file, other contents
        for (auto* set : {sets.front().get(), sets.back().get()}) { // held, then not
            EXPECT_FALSE(set->OpenFile(path));
            EXPECT_TRUE(set->LostFile());
            EXPECT_EQ(set->LostFileName(), path);
        }
    }
    EXPECT_EQ(OpenDescriptors(), before);
}
#endif
