// Round trips of the writer through the reader's file layer: every encoding
// with every kind, the Cray words of single floats, labels that carry a sync
// value, the expected-simulations hint.
#include "WriterTestSupport.h"

#include "TempDir.h"

#include "fileio/Cray.h"
#include "model/LabelValue.h"

#include "kvres/SyncLabel.h"
#include "kvres/Writer.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <cstring>
#include <fstream>
#include <iterator>
#include <limits>
#include <random>

namespace {

using writertest::Bits;
using writertest::FromBits;
using writertest::ReadStored;

std::vector<unsigned char> FileBytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<unsigned char>(std::istreambuf_iterator<char>(in), {});
}

// Floats that every encoding must carry: signs, zeros, extremes, subnormals,
// infinities, and random bit patterns (no NaN).
std::vector<float> Samples(std::size_t count) {
    std::vector<float> values = {0.0f,
                                 -0.0f,
                                 1.0f,
                                 -1.5f,
                                 0.1f,
                                 3.1415927f,
                                 FLT_MAX,
                                 -FLT_MAX,
                                 FLT_MIN,
                                 -FLT_MIN,
                                 FromBits(1),
                                 FromBits(0x807FFFFFu),
                                 std::numeric_limits<float>::infinity(),
                                 -std::numeric_limits<float>::infinity(),
                                 1.9999999f,
                                 0.5f,
                                 0.49999997f};
    std::mt19937 random(20);
    while (values.size() < count) {
        const std::uint32_t bits = random();
        if ((bits & 0x7F800000u) == 0x7F800000u && (bits & 0x7FFFFFu) != 0) {
            continue;
        }
        values.push_back(FromBits(bits));
    }
    values.resize(count);
    return values;
}

// The relative error bound of little-endian Cray words for normal floats, and
// the absolute one for subnormals.
bool WithinLittleEndianCray(float written, float read) {
    if (std::isinf(written)) {
        return Bits(written) == Bits(read);
    }
    const double difference = std::fabs(static_cast<double>(written) - read);
    if (std::fabs(written) < FLT_MIN) {
        return difference <= 64.0 * std::ldexp(1.0, -149);
    }
    return difference <= std::ldexp(1.0, -17) * std::fabs(static_cast<double>(written));
}

struct Case {
    kvres::Encoding encoding;
    int kind;
};

class RoundTrip : public testing::TestWithParam<Case> {};

TEST_P(RoundTrip, ReadsBackWhatWasWritten) {
    const Case c = GetParam();
    reswriter::TempDir dir;
    const std::string path = dir.File("out.res");
    const int reals = kvres::Writer::RealsPerRecord(c.kind);
    const std::size_t records = 300;
    std::vector<std::int32_t> ids(records);
    for (std::size_t i = 0; i < records; ++i) {
        ids[i] = static_cast<std::int32_t>(i * 7) - 100; // negative ids too
    }
    ids[5] = ids[4]; // repeated ids are allowed
    const std::vector<float> values = Samples(records * static_cast<std::size_t>(reals));
    {
        kvres::WriterOptions options;
        options.encoding = c.encoding;
        options.title = "round trip";
        options.storedNames = true; // names as the file stores them, kind 4's too
        kvres::Writer writer(path, options);
        writer.BeginSimulation("Time = 0.5");
        writer.WriteBlock("field", c.kind, ids.data(), records, values.data(), values.size());
        writer.WriteBlock("empty", c.kind, nullptr, 0, nullptr, 0);
        writer.BeginSimulation("Time = 1");
        // The same block in pieces of uneven size.
        writer.BeginBlock("field", c.kind, static_cast<std::int64_t>(records));
        for (std::size_t done = 0; done < records;) {
            const std::size_t piece = std::min<std::size_t>(records - done, 1 + done % 97);
            writer.WriteRecords(ids.data() + done, values.data() + done * reals, piece);
            done += piece;
        }
        writer.EndBlock();
        writer.Close();
    }
    const auto stored = ReadStored(path);
    ASSERT_TRUE(stored.opened);
    ASSERT_EQ(stored.simulations.size(), 2u);
    EXPECT_EQ(stored.titles.at(0), "round trip");
    EXPECT_EQ(stored.simulations[0].label, "Time = 0.5");
    EXPECT_EQ(stored.simulations[1].label, "Time = 1");
    ASSERT_EQ(stored.simulations[0].blocks.size(), 2u);
    EXPECT_TRUE(stored.simulations[0].blocks[1].ids.empty());
    for (int s = 0; s < 2; ++s) {
        const auto& block = stored.simulations[s].blocks[0];
        EXPECT_EQ(block.name, "field");
        EXPECT_EQ(block.kind, c.kind);
        ASSERT_EQ(block.ids, ids);
        ASSERT_EQ(block.reals.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            if (c.encoding == kvres::Encoding::I8LE) {
                ASSERT_TRUE(WithinLittleEndianCray(values[i], block.reals[i]))
                    << "value " << i << ": " << values[i] << " read " << block.reals[i];
            } else {
                ASSERT_EQ(Bits(values[i]), Bits(block.reals[i])) << "value " << i;
            }
        }
    }
}

std::vector<Case> AllCases() {
    std::vector<Case> cases;
    for (auto encoding : {kvres::Encoding::I4LE, kvres::Encoding::I4BE, kvres::Encoding::I8LE,
                          kvres::Encoding::I8BE}) {
        for (int kind = 0; kind <= 8; ++kind) {
            cases.push_back({encoding, kind});
        }
    }
    return cases;
}

INSTANTIATE_TEST_SUITE_P(EveryEncodingAndKind, RoundTrip, testing::ValuesIn(AllCases()),
                         [](const testing::TestParamInfo<Case>& info) {
                             return std::string(kvres::EncodingName(info.param.encoding)) +
                                    "_kind" + std::to_string(info.param.kind);
                         });

// The little-endian Cray word chosen is the nearest the reader can decode:
// compared with every reachable mantissa of the float's binade and the two
// beside it.
TEST(CrayWords, LittleEndianWordIsTheNearestReachable) {
    std::mt19937 random(7);
    for (int trial = 0; trial < 60; ++trial) {
        std::uint32_t bits = random() & 0x7FFFFFFFu;
        if (trial < 4) {
            bits = std::vector<std::uint32_t>{0x3F7FFFFFu, 0x00000005u, 0x7F7FFFFFu,
                                              0x00800001u}[trial];
        }
        if ((bits >> 23) == 0xFF) {
            continue;
        }
        const float value = FromBits(bits);
        unsigned char word[8];
        ASSERT_TRUE(FloatToCray(bits, false, word));
        const double chosen = std::fabs(static_cast<double>(CrayToFloat(word, false)) - value);
        const int own = static_cast<int>(bits >> 23);
        for (int biased = std::max(0, own - 1); biased <= std::min(254, own + 1); ++biased) {
            const std::uint32_t field = static_cast<std::uint32_t>(biased) + 16258;
            const std::uint32_t forced = (field >> 8) & 0x7F;
            for (std::uint32_t m = forced; m <= 0x7FFFFF; m += 128) {
                unsigned char other[8];
                cray::ComposeWord(0, field, true, m, false, other);
                const double distance =
                    std::fabs(static_cast<double>(CrayToFloat(other, false)) - value);
                ASSERT_LE(chosen, distance) << "float bits " << std::hex << bits;
            }
        }
    }
}

TEST(CrayWords, BigEndianIsExactAndLittleEndianExactWhereReachable) {
    std::mt19937 random(11);
    for (int trial = 0; trial < 2000000; ++trial) {
        const std::uint32_t bits = random();
        unsigned char word[8];
        const bool nan = (bits & 0x7F800000u) == 0x7F800000u && (bits & 0x7FFFFFu) != 0;
        ASSERT_EQ(FloatToCray(bits, true, word), !nan);
        if (nan) {
            continue;
        }
        ASSERT_EQ(Bits(CrayToFloat(word, true)), bits);
        // Whatever the little-endian word decodes to is itself reachable.
        ASSERT_TRUE(FloatToCray(bits, false, word));
        const std::uint32_t reachable = Bits(CrayToFloat(word, false));
        ASSERT_TRUE(FloatToCray(reachable, false, word));
        ASSERT_EQ(Bits(CrayToFloat(word, false)), reachable);
    }
}

TEST(SyncLabels, TheReaderParsesTheNumberBack) {
    EXPECT_EQ(kvres::SyncLabel("Time", 0.5f), "Time = 0.5");
    EXPECT_EQ(kvres::SyncLabel("Freq", 120.0f), "Freq = 120");
    EXPECT_EQ(kvres::SyncLabel("Time", 0.1f), "Time = 0.1");
    std::mt19937 random(3);
    for (int trial = 0; trial < 20000; ++trial) {
        const float value = FromBits(random());
        if (!std::isfinite(value)) {
            continue;
        }
        const std::string label = kvres::SyncLabel("t", value);
        ASSERT_EQ(Bits(ParseLabelValue(label.c_str())), Bits(value)) << label;
    }
    EXPECT_THROW(kvres::SyncLabel("Time", std::nanf("")), kvres::InputError);
    EXPECT_THROW(kvres::SyncLabel("a=b", 1.0f), kvres::InputError);
    EXPECT_THROW(kvres::SyncLabel("a very long name for a label", 1.5f), kvres::InputError);
}

// The simulation table lies before the data: a wrong or missing hint moves
// the data once, and the file comes out the same byte for byte.
TEST(ExpectedSimulations, AnyHintGivesTheSameFile) {
    reswriter::TempDir dir;
    std::vector<std::vector<unsigned char>> files;
    for (int hint : {0, 1, 3, 4, 100}) {
        const std::string path = dir.File("hint" + std::to_string(hint) + ".res");
        kvres::WriterOptions options;
        options.encoding = kvres::Encoding::I8BE;
        options.expectedSimulations = hint;
        options.storedNames = true;
        kvres::Writer writer(path, options);
        for (int s = 0; s < 4; ++s) {
            writer.BeginSimulation(kvres::SyncLabel("Time", static_cast<float>(s)));
            const std::int32_t ids[] = {1, 2, 3};
            const float values[] = {1.0f + s, 2.0f, 3.0f, 4.0f, 5.0f, 6.0f, 7.0f, 8.0f, 9.0f};
            writer.WriteBlock("displacements", 0, ids, 3, values, 9);
            writer.WriteBlock("temperature", 1, ids, 3, values, 3);
        }
        writer.Close();
        files.push_back(FileBytes(path));
    }
    for (std::size_t i = 1; i < files.size(); ++i) {
        EXPECT_EQ(files[i], files[0]) << "hint case " << i;
    }
    const auto stored = ReadStored(dir.File("hint0.res"));
    ASSERT_EQ(stored.simulations.size(), 4u);
    EXPECT_EQ(stored.simulations[3].blocks[0].reals[0], 4.0f);
}

// A block given as an array of records (straight from memory where it is the
// file's own layout, gathered otherwise) makes the same file as the same
// block given as separate ids and values, across staging pieces.
TEST(RecordArrays, SameFileAsIdsAndValues) {
    reswriter::TempDir dir;
    struct Layout {
        int kind;
        std::size_t count;
        std::size_t padding; // spare bytes after each record
    };
    const Layout layouts[] = {{1, 300001, 0}, {1, 1001, 12}, {0, 200003, 0}, {4, 777, 4}};
    for (kvres::Encoding encoding : {kvres::Encoding::I4LE, kvres::Encoding::I4BE,
                                     kvres::Encoding::I8LE, kvres::Encoding::I8BE}) {
        for (const Layout& layout : layouts) {
            const std::size_t reals =
                static_cast<std::size_t>(kvres::Writer::RealsPerRecord(layout.kind));
            const std::size_t stride = 4 + 4 * reals + layout.padding;
            std::vector<std::int32_t> ids(layout.count);
            std::vector<float> values(layout.count * reals);
            std::vector<unsigned char> records(layout.count * stride, 0xEE);
            for (std::size_t i = 0; i < layout.count; ++i) {
                ids[i] = static_cast<std::int32_t>(i * 37) - 1000;
                for (std::size_t r = 0; r < reals; ++r) {
                    values[i * reals + r] = static_cast<float>(i) * 0.25f - static_cast<float>(r);
                }
                std::memcpy(&records[i * stride], &ids[i], 4);
                std::memcpy(&records[i * stride + 4], &values[i * reals], 4 * reals);
            }
            std::vector<std::vector<unsigned char>> files;
            for (bool asRecords : {false, true}) {
                const std::string path = dir.File(asRecords ? "records.res" : "arrays.res");
                kvres::WriterOptions options;
                options.encoding = encoding;
                kvres::Writer writer(path, options);
                writer.BeginSimulation("Time = 1");
                if (asRecords) {
                    writer.WriteRecordArray("field", layout.kind, records.data(), layout.count,
                                            stride, 4);
                } else {
                    writer.WriteBlock("field", layout.kind, ids.data(), layout.count, values.data(),
                                      values.size());
                }
                writer.Close();
                files.push_back(FileBytes(path));
            }
            EXPECT_EQ(files[0], files[1]) << kvres::EncodingName(encoding) << " kind "
                                          << layout.kind << " padding " << layout.padding;
        }
    }
}

TEST(RecordArrays, LayoutsThatCannotHoldTheRecordAreRefused) {
    reswriter::TempDir dir;
    kvres::Writer writer(dir.File("out.res"));
    writer.BeginSimulation("Time = 1");
    const std::int32_t records[8] = {};
    struct Case {
        std::size_t stride;
        std::size_t valuesOffset;
    };
    for (const Case c : {Case{8, 0}, Case{8, 6}, Case{2, 4}, Case{12, 2}}) {
        try {
            writer.WriteRecordArray("t", 1, records, 2, c.stride, c.valuesOffset);
            ADD_FAILURE() << "stride " << c.stride << " offset " << c.valuesOffset;
        } catch (const kvres::InputError& error) {
            EXPECT_NE(std::string(error.what()).find("cannot hold an id and 1 values"),
                      std::string::npos)
                << error.what();
        }
    }
    // The writer goes on.
    writer.WriteRecordArray("t", 1, records, 2, 12, 8);
    writer.Close();
    EXPECT_EQ(ReadStored(dir.File("out.res")).simulations[0].blocks[0].ids.size(), 2u);
}

} // namespace
