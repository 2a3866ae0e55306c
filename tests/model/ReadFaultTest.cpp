// Damaged blocks: whatever the file holds, a read announces no more entities
// than the file has whole records for, hands over only values read from the
// file, and answers false when the block was cut short or could not be read.
// Checked for every data-set read and for the subcase's entity-id read.
#include "ReadTestSupport.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <limits>

using namespace readtest;

namespace {

enum class Op { Data, Complex, Ids };

struct ReadCase {
    const char* label;
    int32_t kind;
    const char* rowName;  // as written
    const char* typeName; // as the host sees it
    int reals;            // reals per record, as written and as the read takes them
    Op op;
};

// Every file opens with a kind-6 row, which makes the result complex, so a
// kind-0 row reads as "_NC". The row under test comes last: its block ends
// the file.
const ReadCase kCases[] = {
    {"ScalarData", 1, "p", "p", 1, Op::Data},
    {"ScalarComplexNoPhase", 3, "s", "s", 1, Op::Complex},
    {"ComplexScalarComplex", 5, "c", "c", 2, Op::Complex},
    {"ComplexScalarData", 6, "e", "e", 2, Op::Data},
    {"TripleOffsetData", 8, "t", "t:Offset", 3, Op::Data},
    {"TriplePhaseComplex", 7, "t", "t:Phase", 3, Op::Complex},
    {"VectorData", 0, "v", "v_NC", 3, Op::Data},
    {"VectorComplexNC", 0, "v", "v_NC", 3, Op::Complex},
    {"VectorComplexInterleaved", 4, "w (c)", "w", 6, Op::Complex},
    {"IdsScalar", 1, "p", "p", 1, Op::Ids},
    {"IdsComplexVector", 4, "w (c)", "w", 6, Op::Ids},
    {"IdsTriple", 8, "t", "t:Phase", 3, Op::Ids},
};

constexpr int kRecords = 3;

struct Outcome {
    int announceCalls = 0;
    int announced = -1;
    std::vector<int> ids;
    std::vector<float> values; // everything delivered, flattened in delivery order
    bool answer = false;       // a data set's answer; for ids: returned == ids delivered
    int returned = 0;          // the id read's return value
};

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

Outcome RunRead(const LoadedResult& loaded, const ReadCase& c) {
    Outcome outcome;
    if (c.op == Op::Ids) {
        RecordingReceiver receiver;
        outcome.returned = loaded.Subcase().ReadEntityIDs(loaded.Type(c.typeName), 0, &receiver);
        outcome.announceCalls = static_cast<int>(receiver.counts.size());
        outcome.announced = receiver.counts.empty() ? -1 : receiver.counts.back();
        outcome.ids = receiver.ids;
        outcome.answer = outcome.returned == static_cast<int>(receiver.ids.size());
        return outcome;
    }
    auto set = loaded.DataSet(c.typeName);
    if (set == nullptr) {
        ADD_FAILURE() << "no data set for " << c.typeName;
        return outcome;
    }
    outcome.answer = c.op == Op::Data ? set->ReadData(0) : set->ReadComplexData(0);
    outcome.announceCalls = set->ReserveCalls();
    outcome.announced = set->ReservedCount();
    outcome.ids = set->EntityIDs();
    outcome.values = Flatten(*set);
    return outcome;
}

class ReadFault : public ::testing::TestWithParam<std::tuple<ReadCase, Encoding>> {
protected:
    const ReadCase& Case() const { return std::get<0>(GetParam()); }
    const Encoding& Enc() const { return std::get<1>(GetParam()); }

    reswriter::ResFile File() const {
        reswriter::ResFile file;
        file.encoding = Enc();
        Simulation sim{"Mode 1", {}};
        sim.rows.push_back(DataTypeRow{"companion", 6, Records(1, 2, Enc())});
        sim.rows.push_back(
            DataTypeRow{Case().rowName, Case().kind, Records(kRecords, Case().reals, Enc())});
        file.simulations.push_back(sim);
        return file;
    }

    // Writes `file`, loads it, and answers the read of the row under test.
    Outcome Read(const reswriter::ResFile& file) {
        LoadedResult loaded(WriteRes(dir, "fault.res", file));
        return RunRead(loaded, Case());
    }

    // The outcome the intact file gives: the reference for the values.
    Outcome Intact() { return Read(File()); }

    // Checks that exactly `whole` records were announced and delivered, with
    // the values the intact read gives for them.
    void ExpectDelivered(const Outcome& got, const Outcome& intact, int whole) {
        EXPECT_EQ(got.announceCalls, 1);
        EXPECT_EQ(got.announced, whole);
        ASSERT_EQ(got.ids.size(), static_cast<std::size_t>(whole));
        EXPECT_TRUE(std::equal(got.ids.begin(), got.ids.end(), intact.ids.begin()));
        const std::size_t perRecord = intact.values.size() / kRecords;
        ASSERT_EQ(got.values.size(), perRecord * static_cast<std::size_t>(whole));
        EXPECT_TRUE(std::equal(got.values.begin(), got.values.end(), intact.values.begin()));
        if (Case().op == Op::Ids) {
            EXPECT_EQ(got.returned, whole);
        }
    }

    TempDir dir;
};

TEST_P(ReadFault, IntactBlockReadsWhole) {
    const Outcome intact = Intact();
    EXPECT_TRUE(intact.answer);
    ExpectDelivered(intact, intact, kRecords);
}

TEST_P(ReadFault, TruncatedAtEveryByteDeliversTheWholeRecordsOnly) {
    const Outcome intact = Intact();
    Layout layout;
    const std::vector<unsigned char> bytes = reswriter::Write(File(), &layout);
    const std::size_t block = layout.simulations[0].rows[1].block;
    const std::size_t recordBytes = Enc().IntSize() + Case().reals * Enc().RealSize();
    const std::string path = dir.File("cut.res");
    LoadedResult loaded(WriteRes(dir, "cut.res", File()));
    for (std::size_t length = block; length < bytes.size(); ++length) {
        SCOPED_TRACE("cut at " + std::to_string(length));
        reswriter::WriteFile(path,
                             std::vector<unsigned char>(bytes.begin(), bytes.begin() + length));
        const Outcome got = RunRead(loaded, Case());
        const std::size_t afterCount = block + Enc().IntSize();
        const int whole =
            length < afterCount ? 0 : static_cast<int>((length - afterCount) / recordBytes);
        ExpectDelivered(got, intact, whole);
        if (Case().op != Op::Ids) {
            EXPECT_FALSE(got.answer);
        }
    }
}

TEST_P(ReadFault, OverstatedCountIsLimitedToTheRecordsPresent) {
    const Outcome intact = Intact();
    for (int32_t count : {kRecords + 1, std::numeric_limits<int32_t>::max()}) {
        SCOPED_TRACE(count);
        reswriter::ResFile file = File();
        file.simulations[0].rows[1].entityCount = count;
        // Bytes that do not make a whole record change nothing.
        file.trailing = {1, 2, 3};
        const Outcome got = Read(file);
        ExpectDelivered(got, intact, kRecords);
        if (Case().op != Op::Ids) {
            EXPECT_FALSE(got.answer);
        }
    }
}

TEST_P(ReadFault, NegativeCountDeliversNothing) {
    const Outcome intact = Intact();
    for (int32_t count : {-1, std::numeric_limits<int32_t>::min()}) {
        reswriter::ResFile file = File();
        file.simulations[0].rows[1].entityCount = count;
        const Outcome got = Read(file);
        ExpectDelivered(got, intact, 0);
        if (Case().op != Op::Ids) {
            EXPECT_FALSE(got.answer);
        }
    }
}

TEST_P(ReadFault, UnreachableBlockDeliversNothing) {
    const Outcome intact = Intact();
    for (int32_t position : {-8, std::numeric_limits<int32_t>::min(), 1 << 30}) {
        SCOPED_TRACE(position);
        reswriter::ResFile file = File();
        file.simulations[0].rows[1].blockPosition = position;
        const Outcome got = Read(file);
        ExpectDelivered(got, intact, 0);
        if (Case().op != Op::Ids) {
            EXPECT_FALSE(got.answer);
        }
    }
}

TEST_P(ReadFault, VanishedFileDeliversNothing) {
    const Outcome intact = Intact();
    const std::string path = WriteRes(dir, "gone.res", File());
    LoadedResult loaded(path);
    std::filesystem::remove(path);
    const Outcome got = RunRead(loaded, Case());
    ExpectDelivered(got, intact, 0);
    if (Case().op != Op::Ids) {
        EXPECT_FALSE(got.answer);
    }
    EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
}

INSTANTIATE_TEST_SUITE_P(Reads, ReadFault,
                         ::testing::Combine(::testing::ValuesIn(kCases),
                                            ::testing::Values(reswriter::kInt4Real4LE,
                                                              reswriter::kInt8SecondCray8BE)),
                         [](const auto& info) {
                             return std::string(std::get<0>(info.param).label) + "_" +
                                    EncodingName(std::get<1>(info.param));
                         });

} // namespace
