// Every data-set read in every encoding: real and complex, scalar and vector,
// triples, the "_NC" layout choice, phases in radians, empty blocks and
// repeated reads; and a complex read followed by a read in another series file.
#include "ReadTestSupport.h"

#include "fileio/ResFileSet.h"
#include "model/kvresScalarDataSet.h"
#include "model/kvresVectorDataSet.h"

#include <gtest/gtest.h>

#include <cstring>

using namespace readtest;

namespace {

constexpr int kRecords = 3;

// One simulation holding a block of every kind, 3 records each, plus an
// empty block. The kind-4 rows make the result complex, so the kind-0
// "displacements" becomes "displacement_NC".
reswriter::ResFile EveryKind(const Encoding& encoding) {
    reswriter::ResFile file;
    file.encoding = encoding;
    Simulation sim{"Frequency = 10", {}};
    auto row = [&](const char* name, int32_t kind, int reals) {
        sim.rows.push_back(DataTypeRow{name, kind, Records(kRecords, reals, encoding)});
    };
    row("pressure", 1, 1);
    row("stress", 3, 1);
    row("displacements", 0, 3);
    row("displacements (c)", 4, 6);
    row("rot_nc (c)", 4, 6);
    row("pcx", 5, 2);
    row("ecx", 6, 2);
    row("temp", 7, 3);
    row("heat", 8, 3);
    sim.rows.push_back(DataTypeRow{"empty", 1, {}});
    sim.rows.push_back(DataTypeRow{"emptyvec", 0, {}});
    sim.rows.push_back(DataTypeRow{"emptyc", 5, {}});
    file.simulations.push_back(sim);
    return file;
}

// The `r`-th real of record `i` as EveryKind wrote it.
float Real(int i, int r, const Encoding& encoding) {
    return Records(kRecords, r + 1, encoding)[static_cast<std::size_t>(i)]
        .reals[static_cast<std::size_t>(r)];
}

class DataSetRead : public ::testing::TestWithParam<Encoding> {
protected:
    void SetUp() override { path = WriteRes(dir, "every.res", EveryKind(GetParam())); }

    float R(int i, int r) const { return Real(i, r, GetParam()); }

    // The read answered true, announced every record once (this data set's
    // `reads`-th announcement) and delivered the ids in file order, and left
    // no file open.
    void ExpectWholeDelivery(const LoadedResult& loaded, const rxDataSet& set, bool answer,
                             int reads = 1) {
        EXPECT_TRUE(answer);
        EXPECT_EQ(set.ReserveCalls(), reads);
        EXPECT_EQ(set.ReservedCount(), kRecords);
        EXPECT_EQ(set.EntityIDs(), (std::vector<int>{100, 101, 102}));
        EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
    }

    TempDir dir;
    std::string path;
};

TEST_P(DataSetRead, ScalarRealReadsDeliverTheStoredValue) {
    LoadedResult loaded(path);
    for (const char* name : {"pressure", "stress"}) {
        SCOPED_TRACE(name);
        auto set = loaded.DataSet(name);
        ASSERT_NE(set, nullptr);
        ExpectWholeDelivery(loaded, *set, set->ReadData(0));
        EXPECT_EQ(set->ScalarValues(), (std::vector<float>{R(0, 0), R(1, 0), R(2, 0)}));
    }
}

TEST_P(DataSetRead, ComplexScalarReadsConvertThePhase) {
    LoadedResult loaded(path);
    for (const char* name : {"pcx", "ecx"}) {
        SCOPED_TRACE(name);
        auto set = loaded.DataSet(name);
        ASSERT_NE(set, nullptr);
        ExpectWholeDelivery(loaded, *set, set->ReadComplexData(0));
        ASSERT_EQ(set->ComplexScalarValues().size(), 3u);
        for (int i = 0; i < kRecords; ++i) {
            EXPECT_EQ(set->ComplexScalarValues()[i].magnitude, R(i, 0));
            EXPECT_EQ(set->ComplexScalarValues()[i].phase, Radians(R(i, 1)));
        }
        // The plain read of a complex scalar takes the magnitude and steps over the phase.
        ExpectWholeDelivery(loaded, *set, set->ReadData(0), 2);
        EXPECT_EQ(set->ScalarValues(), (std::vector<float>{R(0, 0), R(1, 0), R(2, 0)}));
    }
}

TEST_P(DataSetRead, ComplexReadOfARealScalarHasZeroPhase) {
    LoadedResult loaded(path);
    auto set = loaded.DataSet("pressure");
    ASSERT_NE(set, nullptr);
    ExpectWholeDelivery(loaded, *set, set->ReadComplexData(0));
    ASSERT_EQ(set->ComplexScalarValues().size(), 3u);
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(set->ComplexScalarValues()[i].magnitude, R(i, 0));
        EXPECT_EQ(set->ComplexScalarValues()[i].phase, 0.0f);
    }
}

TEST_P(DataSetRead, TripleComponentsReadTheirOwnReal) {
    LoadedResult loaded(path);
    const char* suffixes[] = {":Magnitude", ":Phase", ":Offset"};
    for (const char* stem : {"temp", "heat"}) {
        for (int component = 0; component < 3; ++component) {
            const std::string name = std::string(stem) + suffixes[component];
            SCOPED_TRACE(name);
            auto set = loaded.DataSet(name);
            ASSERT_NE(set, nullptr);
            ExpectWholeDelivery(loaded, *set, set->ReadData(0));
            // Delivered as stored: the phase component is not converted.
            EXPECT_EQ(set->ScalarValues(),
                      (std::vector<float>{R(0, component), R(1, component), R(2, component)}));
            ExpectWholeDelivery(loaded, *set, set->ReadComplexData(0), 2);
            ASSERT_EQ(set->ComplexScalarValues().size(), 3u);
            for (int i = 0; i < kRecords; ++i) {
                EXPECT_EQ(set->ComplexScalarValues()[i].magnitude, R(i, component));
                EXPECT_EQ(set->ComplexScalarValues()[i].phase, 0.0f);
            }
        }
    }
}

TEST_P(DataSetRead, VectorRealReadTakesThreeReals) {
    LoadedResult loaded(path);
    auto set = loaded.DataSet("displacement_NC");
    ASSERT_NE(set, nullptr);
    ExpectWholeDelivery(loaded, *set, set->ReadData(0));
    ASSERT_EQ(set->VectorValues().size(), 3u);
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(set->VectorValues()[i], (rxVector3D{R(i, 0), R(i, 1), R(i, 2)}));
    }
}

TEST_P(DataSetRead, ComplexVectorReadWithNCTakesMagnitudesOnly) {
    LoadedResult loaded(path);
    auto set = loaded.DataSet("displacement_NC");
    ASSERT_NE(set, nullptr);
    ExpectWholeDelivery(loaded, *set, set->ReadComplexData(0));
    ASSERT_EQ(set->ComplexVectorValues().size(), 3u);
    for (int i = 0; i < kRecords; ++i) {
        EXPECT_EQ(set->ComplexVectorValues()[i].magnitude, (rxVector3D{R(i, 0), R(i, 1), R(i, 2)}));
        EXPECT_EQ(set->ComplexVectorValues()[i].phase, (rxVector3D{0.0f, 0.0f, 0.0f}));
    }
}

TEST_P(DataSetRead, ComplexVectorReadInterleavesUnlessNameHasUpperCaseNC) {
    LoadedResult loaded(path);
    // "displacement" is the kind-4 twin; "rot_nc" carries the letters in lower case.
    for (const char* name : {"displacement", "rot_nc"}) {
        SCOPED_TRACE(name);
        auto set = loaded.DataSet(name);
        ASSERT_NE(set, nullptr);
        ExpectWholeDelivery(loaded, *set, set->ReadComplexData(0));
        ASSERT_EQ(set->ComplexVectorValues().size(), 3u);
        for (int i = 0; i < kRecords; ++i) {
            const auto& value = set->ComplexVectorValues()[i];
            EXPECT_EQ(value.magnitude, (rxVector3D{R(i, 0), R(i, 2), R(i, 4)}));
            EXPECT_EQ(value.phase,
                      (rxVector3D{Radians(R(i, 1)), Radians(R(i, 3)), Radians(R(i, 5))}));
        }
    }
}

TEST_P(DataSetRead, EmptyBlockDeliversNothingAndSucceeds) {
    LoadedResult loaded(path);
    for (const char* name : {"empty", "emptyvec_NC", "emptyc"}) {
        SCOPED_TRACE(name);
        auto set = loaded.DataSet(name);
        ASSERT_NE(set, nullptr);
        for (bool complex : {false, true}) {
            const bool answer = complex ? set->ReadComplexData(0) : set->ReadData(0);
            EXPECT_TRUE(answer);
            EXPECT_EQ(set->ReservedCount(), 0);
            EXPECT_TRUE(set->EntityIDs().empty());
            EXPECT_TRUE(set->ScalarValues().empty() && set->VectorValues().empty());
            EXPECT_TRUE(set->ComplexScalarValues().empty() && set->ComplexVectorValues().empty());
            EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
        }
    }
}

TEST_P(DataSetRead, ReadingTwiceDeliversTheSameValues) {
    LoadedResult loaded(path);
    auto scalar = loaded.DataSet("pcx");
    auto vector = loaded.DataSet("displacement");
    ASSERT_NE(scalar, nullptr);
    ASSERT_NE(vector, nullptr);
    ASSERT_TRUE(scalar->ReadComplexData(0));
    ASSERT_TRUE(vector->ReadComplexData(0));
    const auto firstScalar = scalar->ComplexScalarValues();
    const auto firstVector = vector->ComplexVectorValues();
    ASSERT_TRUE(vector->ReadComplexData(0));
    ASSERT_TRUE(scalar->ReadComplexData(0));
    ASSERT_EQ(scalar->ComplexScalarValues().size(), firstScalar.size());
    ASSERT_EQ(vector->ComplexVectorValues().size(), firstVector.size());
    for (std::size_t i = 0; i < firstScalar.size(); ++i) {
        EXPECT_EQ(scalar->ComplexScalarValues()[i].magnitude, firstScalar[i].magnitude);
        EXPECT_EQ(scalar->ComplexScalarValues()[i].phase, firstScalar[i].phase);
        EXPECT_EQ(vector->ComplexVectorValues()[i].magnitude, firstVector[i].magnitude);
        EXPECT_EQ(vector->ComplexVectorValues()[i].phase, firstVector[i].phase);
    }
    EXPECT_EQ(scalar->ReserveCalls(), 2);
    EXPECT_EQ(scalar->EntityIDs(), (std::vector<int>{100, 101, 102}));
}

INSTANTIATE_TEST_SUITE_P(Encodings, DataSetRead, ::testing::ValuesIn(ReadEncodings()),
                         [](const auto& info) { return EncodingName(info.param); });

uint32_t Bits(float value) {
    uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    return bits;
}

// Phases that every encoding here stores exactly reach the host as the float
// nearest to the double product, bit for bit.
TEST(DataSetPhase, DegreesBecomeRadiansBitExact) {
    const float degrees[] = {180.0f, 90.0f, -90.0f, 1.0f};
    const float radians[] = {3.1415927f, 1.5707964f, -1.5707964f, 0.017453292f};
    for (const Encoding& encoding : ReadEncodings()) {
        if (reswriter::Representable(180.0f, encoding) != 180.0f) {
            continue; // little-endian Cray words cannot hold these phases
        }
        SCOPED_TRACE(EncodingName(encoding));
        TempDir dir;
        reswriter::ResFile file;
        file.encoding = encoding;
        Simulation sim{"Frequency = 1", {}};
        DataTypeRow scalar{"pc", 5, {}};
        for (int i = 0; i < 4; ++i) {
            scalar.records.push_back(Record{i + 1, {2.0f, degrees[i]}});
        }
        DataTypeRow vector{"vc (c)", 4, {}};
        vector.records.push_back(Record{7, {1.0f, 180.0f, 2.0f, 90.0f, 3.0f, -90.0f}});
        vector.records.push_back(Record{8, {1.0f, 1.0f, 2.0f, 1.0f, 3.0f, 1.0f}});
        sim.rows = {scalar, vector};
        file.simulations.push_back(sim);
        LoadedResult loaded(WriteRes(dir, "phase.res", file));

        auto scalarSet = loaded.DataSet("pc");
        ASSERT_NE(scalarSet, nullptr);
        ASSERT_TRUE(scalarSet->ReadComplexData(0));
        ASSERT_EQ(scalarSet->ComplexScalarValues().size(), 4u);
        for (int i = 0; i < 4; ++i) {
            EXPECT_EQ(Bits(scalarSet->ComplexScalarValues()[i].phase), Bits(radians[i]));
        }

        auto vectorSet = loaded.DataSet("vc");
        ASSERT_NE(vectorSet, nullptr);
        ASSERT_TRUE(vectorSet->ReadComplexData(0));
        ASSERT_EQ(vectorSet->ComplexVectorValues().size(), 2u);
        const rxVector3D first = vectorSet->ComplexVectorValues()[0].phase;
        const rxVector3D second = vectorSet->ComplexVectorValues()[1].phase;
        EXPECT_EQ(Bits(first.x), Bits(radians[0]));
        EXPECT_EQ(Bits(first.y), Bits(radians[1]));
        EXPECT_EQ(Bits(first.z), Bits(radians[2]));
        EXPECT_EQ(Bits(second.x), Bits(radians[3]));
        EXPECT_EQ(Bits(second.z), Bits(radians[3]));
    }
}

// The complex scalar read closes its file like every other read, so the
// cache clearer hears of the first file before the second read opens its own.
TEST(DataSetSeries, ComplexScalarReadThenReadInAnotherSeriesFile) {
    TempDir dir;
    auto fileWith = [](const char* label, int32_t firstId) {
        reswriter::ResFile file;
        Simulation sim{label, {}};
        sim.rows.push_back(DataTypeRow{"pcx", 5, {Record{firstId, {4.0f, 180.0f}}}});
        file.simulations.push_back(sim);
        return file;
    };
    const std::string first = WriteRes(dir, "run.res", fileWith("Time = 1", 1));
    const std::string second = WriteRes(dir, "run0.res", fileWith("Time = 2", 2));
    LoadedResult loaded(first);
    ASSERT_EQ(loaded.Subcase().GetNumSimulations(), 2);
    auto inFirst = loaded.DataSet("pcx", 0);
    auto inSecond = loaded.DataSet("pcx", 1);
    ASSERT_NE(inFirst, nullptr);
    ASSERT_NE(inSecond, nullptr);

    RecordingClearer clearer;
    ASSERT_TRUE(inFirst->ReadComplexData(0));
    // Opening also hands the name over once the encoding test closes the file.
    ASSERT_FALSE(clearer.names.empty());
    EXPECT_EQ(clearer.names.back(), first);
    EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
    const std::size_t afterFirst = clearer.names.size();
    ASSERT_TRUE(inSecond->ReadData(0));
    ASSERT_GT(clearer.names.size(), afterFirst);
    for (std::size_t i = afterFirst; i < clearer.names.size(); ++i) {
        EXPECT_EQ(clearer.names[i], second);
    }
    EXPECT_EQ(inFirst->EntityIDs(), (std::vector<int>{1}));
    EXPECT_EQ(inSecond->EntityIDs(), (std::vector<int>{2}));
    EXPECT_EQ(inSecond->ScalarValues(), (std::vector<float>{4.0f}));
}

} // namespace
