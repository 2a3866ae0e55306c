// Every kind code end to end against expectations written out here, not
// taken from the kind table: the data types the host sees for one row of the
// kind (names, binding, format), whether the result turns complex, and what
// the plain and the complex read deliver from one record of known reals. And
// the "_NC" rule: only the exact, case-sensitive "_NC" selects the
// magnitudes-only layout of a vector's complex read.
#include "ReadTestSupport.h"

#include "rxDataType.h"

#include <gtest/gtest.h>

using namespace readtest;

namespace {

// What one host data type delivers from a record of the reals 2, 4, 6, ...
// Phases are written in degrees; an empty list is a read not checked.
struct Expected {
    const char* name;
    rxDataType::Binding binding;
    rxDataSet::Format format;
    std::vector<float> plain;
    std::vector<float> magnitudes;
    std::vector<float> phaseDegrees;
};

struct KindCase {
    int32_t kind;
    const char* stored;
    int reals;
    bool complexResult;
    std::vector<Expected> types;
};

constexpr auto N = rxDataType::Nodes;
constexpr auto E = rxDataType::Elements;
constexpr auto S = rxDataSet::Scalar;
constexpr auto V = rxDataSet::Vector;

const KindCase kCases[] = {
    {0, "u", 3, false, {{"u", N, V, {2, 4, 6}, {}, {}}}},
    {1, "p", 1, false, {{"p", N, S, {2}, {2}, {0}}}},
    {2, "x", 3, false, {}},
    {3, "s", 1, false, {{"s", E, S, {2}, {2}, {0}}}},
    {4, "w (c)", 6, true, {{"w", N, V, {2, 4, 6}, {2, 6, 10}, {4, 8, 12}}}},
    {5, "pc", 2, false, {{"pc", N, S, {2}, {2}, {4}}}},
    {6, "sc", 2, true, {{"sc", E, S, {2}, {2}, {4}}}},
    {7,
     "T",
     3,
     false,
     {{"T:Magnitude", N, S, {2}, {2}, {0}},
      {"T:Phase", N, S, {4}, {4}, {0}},
      {"T:Offset", N, S, {6}, {6}, {0}}}},
    {8,
     "H",
     3,
     true,
     {{"H:Magnitude", E, S, {2}, {2}, {0}},
      {"H:Phase", E, S, {4}, {4}, {0}},
      {"H:Offset", E, S, {6}, {6}, {0}}}},
    {9, "nine", 3, false, {}},
    {-1, "minus", 3, false, {}},
    {1000, "many", 3, false, {}},
};

std::vector<Record> OneRecord(int reals) {
    Record record{7, {}};
    for (int r = 0; r < reals; ++r) {
        record.reals.push_back(2.0f * static_cast<float>(r + 1));
    }
    return {record};
}

// The host's values of one read, flattened: a scalar, x y z, or magnitudes
// then phases; false when the read fails or delivers other than entity 7.
bool Delivered(rxDataSet& set, bool complexRead, std::vector<float>& values) {
    const bool read = complexRead ? set.ReadComplexData(0) : set.ReadData(0);
    if (!read || set.EntityIDs() != std::vector<int>{7}) {
        return false;
    }
    const bool vector = set.GetFormat() == rxDataSet::Vector;
    if (!complexRead && !vector) {
        values = {set.ScalarValues().at(0)};
    } else if (!complexRead) {
        const rxVector3D v = set.VectorValues().at(0);
        values = {v.x, v.y, v.z};
    } else if (!vector) {
        const rxDataSet::ComplexScalar c = set.ComplexScalarValues().at(0);
        values = {c.magnitude, c.phase};
    } else {
        const rxDataSet::ComplexVector c = set.ComplexVectorValues().at(0);
        values = {c.magnitude.x, c.magnitude.y, c.magnitude.z, c.phase.x, c.phase.y, c.phase.z};
    }
    return true;
}

void ExpectReads(const LoadedResult& loaded, const Expected& type) {
    SCOPED_TRACE(type.name);
    Ref<rxDataSet> set = loaded.DataSet(type.name);
    ASSERT_NE(set, nullptr);
    std::vector<float> values;
    ASSERT_TRUE(Delivered(*set, false, values));
    EXPECT_EQ(values, type.plain);
    if (type.magnitudes.empty()) {
        return;
    }
    std::vector<float> expected = type.magnitudes;
    for (float degrees : type.phaseDegrees) {
        expected.push_back(Radians(degrees));
    }
    ASSERT_TRUE(Delivered(*set, true, values));
    EXPECT_EQ(values, expected);
}

class KindTable : public ::testing::TestWithParam<KindCase> {};

TEST_P(KindTable, HostSeesAndReadsTheKindAsWrittenOut) {
    const KindCase& c = GetParam();
    TempDir dir;
    reswriter::ResFile file;
    file.simulations = {
        Simulation{"Time = 1", {DataTypeRow{c.stored, c.kind, OneRecord(c.reals)}}}};
    const LoadedResult loaded(WriteRes(dir, "kind.res", file));
    EXPECT_EQ(loaded.Subcase().GetSubcaseType(), c.complexResult ? 1 : 2);
    ASSERT_EQ(loaded.Subcase().GetNumDataTypes(), static_cast<int>(c.types.size()));
    for (std::size_t t = 0; t < c.types.size(); ++t) {
        const Expected& type = c.types[t];
        const rxDataType* host = loaded.Subcase().GetDataType(static_cast<int>(t));
        ASSERT_NE(host, nullptr);
        EXPECT_STREQ(host->GetName(), type.name);
        EXPECT_EQ(host->GetBinding(), type.binding);
        ASSERT_EQ(host->GetAttributes().size(), 1u);
        EXPECT_EQ(host->GetAttributes().front().format, type.format);
        ExpectReads(loaded, type);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryCode, KindTable, ::testing::ValuesIn(kCases),
                         [](const ::testing::TestParamInfo<KindCase>& info) {
                             const int32_t kind = info.param.kind;
                             return kind < 0 ? "minus" + std::to_string(-kind)
                                             : "kind" + std::to_string(kind);
                         });

// In a complex result the real nodal vector is named "_NC" and its complex
// read takes three magnitudes per record; a complex vector whose name holds
// "_N" without "C", or "_nc", keeps the interleaved layout of six reals.
TEST(NcSuffix, OnlyTheExactSuffixReadsMagnitudesAlone) {
    TempDir dir;
    reswriter::ResFile file;
    file.simulations = {Simulation{
        "Freq = 1",
        {DataTypeRow{"u", 0, OneRecord(3)}, DataTypeRow{"flow_N (c)", 4, OneRecord(6)},
         DataTypeRow{"v_nc (c)", 4, OneRecord(6)}, DataTypeRow{"w_NCx (c)", 4, OneRecord(6)}}}};
    const LoadedResult loaded(WriteRes(dir, "nc.res", file));
    const Expected interleaved[] = {
        {"flow_N", N, V, {2, 4, 6}, {2, 6, 10}, {4, 8, 12}},
        {"v_nc", N, V, {2, 4, 6}, {2, 6, 10}, {4, 8, 12}},
    };
    ExpectReads(loaded, Expected{"u_NC", N, V, {2, 4, 6}, {2, 4, 6}, {0, 0, 0}});
    for (const Expected& type : interleaved) {
        ExpectReads(loaded, type);
    }
    // "_NC" anywhere in the name, not only at its end.
    ExpectReads(loaded, Expected{"w_NCx", N, V, {2, 4, 6}, {2, 4, 6}, {0, 0, 0}});
    EXPECT_EQ(loaded.Type("u"), nullptr);
}

} // namespace
