// Blocks of more records than one batch of the bulk block reads, for every
// data-set read and the entity-id read in every detected encoding: what
// reaches the host is, bit for bit, what the typed reads give record by
// record, and the answer, the announcement and the file's closing are as for
// a small block.
#include "ReadTestSupport.h"

#include "fileio/ResFileSet.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace readtest;

namespace {

enum class Op { Data, Complex, Ids };

// What the host receives for one record, flattened, from its stored reals.
using Expectation = std::vector<float> (*)(const float* r);

struct BulkCase {
    const char* label;
    int32_t kind;
    const char* rowName;
    const char* typeName;
    int reals;
    Op op;
    Expectation expect;
};

const BulkCase kCases[] = {
    {"ScalarData", 1, "p", "p", 1, Op::Data,
     [](const float* r) { return std::vector<float>{r[0]}; }},
    {"TripleOffsetData", 8, "t", "t:Offset", 3, Op::Data,
     [](const float* r) { return std::vector<float>{r[2]}; }},
    {"TriplePhaseComplex", 7, "t", "t:Phase", 3, Op::Complex,
     [](const float* r) {
         return std::vector<float>{r[1], 0.0f};
     }},
    {"ComplexScalarComplex", 5, "c", "c", 2, Op::Complex,
     [](const float* r) {
         return std::vector<float>{r[0], Radians(r[1])};
     }},
    {"VectorData", 0, "v", "v_NC", 3, Op::Data,
     [](const float* r) {
         return std::vector<float>{r[0], r[1], r[2]};
     }},
    {"VectorComplexNC", 0, "v", "v_NC", 3, Op::Complex,
     [](const float* r) { return std::vector<float>{r[0], r[1], r[2], 0.0f, 0.0f, 0.0f}; }},
    {"VectorComplexInterleaved", 4, "w (c)", "w", 6, Op::Complex,
     [](const float* r) {
         return std::vector<float>{r[0], r[2], r[4], Radians(r[1]), Radians(r[3]), Radians(r[5])};
     }},
    {"Ids", 4, "w (c)", "w", 6, Op::Ids, [](const float*) { return std::vector<float>{}; }},
};

// Two batches and a part of a third.
constexpr int kRecords = 2 * 4096 + 5;

std::vector<float> Flatten(const rxDataSet& set) {
    std::vector<float> out(set.ScalarValues());
    for (const rxVector3D& v : set.VectorValues()) {
        out.insert(out.end(), {v.x, v.y, v.z});
    }
    for (const auto& c : set.ComplexScalarValues()) {
        out.insert(out.end(), {c.magnitude, c.phase});
    }
    for (const auto& c : set.ComplexVectorValues()) {
        out.insert(out.end(),
                   {c.magnitude.x, c.magnitude.y, c.magnitude.z, c.phase.x, c.phase.y, c.phase.z});
    }
    return out;
}

std::uint32_t Bits(float value) {
    std::uint32_t bits;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

class BulkBlock : public ::testing::TestWithParam<std::tuple<BulkCase, Encoding>> {};

TEST_P(BulkBlock, DeliversWhatTheTypedReadsGive) {
    const BulkCase& c = std::get<0>(GetParam());
    const Encoding& encoding = std::get<1>(GetParam());
    reswriter::ResFile file;
    file.encoding = encoding;
    Simulation sim{"Mode 1", {}};
    sim.rows.push_back(DataTypeRow{"companion", 6, Records(1, 2, encoding)});
    sim.rows.push_back(DataTypeRow{c.rowName, c.kind, Records(kRecords, c.reals, encoding)});
    file.simulations.push_back(sim);
    TempDir dir;
    Layout layout;
    const std::string path = WriteRes(dir, "bulk.res", file, &layout);

    // The oracle: the block read item by item with the typed reads.
    std::vector<int> ids;
    std::vector<float> values;
    {
        ResFileSet files;
        ASSERT_TRUE(files.OpenFile(path));
        ASSERT_TRUE(files.SeekTo(static_cast<int32_t>(layout.simulations[0].rows[1].block)));
        int32_t count = 0;
        ASSERT_EQ(files.ReadInt(&count), 1);
        ASSERT_EQ(count, kRecords);
        std::vector<float> reals(static_cast<std::size_t>(c.reals));
        for (int i = 0; i < kRecords; ++i) {
            int32_t id = 0;
            ASSERT_EQ(files.ReadInt(&id), 1);
            ASSERT_EQ(files.ReadReals(reals.data(), c.reals), c.reals);
            ids.push_back(id);
            const std::vector<float> value = c.expect(reals.data());
            values.insert(values.end(), value.begin(), value.end());
        }
    }

    LoadedResult loaded(path);
    if (c.op == Op::Ids) {
        RecordingReceiver receiver;
        EXPECT_EQ(loaded.Subcase().ReadEntityIDs(loaded.Type(c.typeName), 0, &receiver), kRecords);
        EXPECT_EQ(receiver.counts, (std::vector<int>{kRecords}));
        EXPECT_EQ(receiver.ids, ids);
    } else {
        auto set = loaded.DataSet(c.typeName);
        ASSERT_NE(set, nullptr);
        EXPECT_TRUE(c.op == Op::Data ? set->ReadData(0) : set->ReadComplexData(0));
        EXPECT_EQ(set->ReserveCalls(), 1);
        EXPECT_EQ(set->ReservedCount(), kRecords);
        EXPECT_EQ(set->EntityIDs(), ids);
        const std::vector<float> delivered = Flatten(*set);
        ASSERT_EQ(delivered.size(), values.size());
        for (std::size_t i = 0; i < values.size(); ++i) {
            ASSERT_EQ(Bits(delivered[i]), Bits(values[i])) << "value " << i;
        }
    }
    EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Reads, BulkBlock,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::ValuesIn(ReadEncodings())),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    EncodingName(std::get<1>(info.param));
                         });

} // namespace
