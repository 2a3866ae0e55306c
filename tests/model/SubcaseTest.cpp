// The subcase: data types made from the directory (three for a triple), the
// subcase type, the simulation list, and the entity ids of a data type.
#include "ReadTestSupport.h"

#include "fileio/ResFileSet.h"

#include "rxDataType.h"

#include <gtest/gtest.h>

#include <climits>

using namespace readtest;

namespace {

reswriter::ResFile OneSimulation(std::vector<DataTypeRow> rows, const Encoding& encoding = {}) {
    reswriter::ResFile file;
    file.encoding = encoding;
    file.simulations.push_back(Simulation{"Time = 1", std::move(rows)});
    return file;
}

struct Shown {
    std::string name;
    rxDataType::Binding binding;
    const char* attribute;
    rxDataSet::Format format;
};

void ExpectDataTypes(const kvresSubcase& subcase, const std::vector<Shown>& expected) {
    ASSERT_EQ(subcase.GetNumDataTypes(), static_cast<int>(expected.size()));
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const rxDataType* type = subcase.GetDataType(static_cast<int>(i));
        SCOPED_TRACE(expected[i].name);
        EXPECT_EQ(std::string(type->GetName()), expected[i].name);
        EXPECT_EQ(type->GetBinding(), expected[i].binding);
        EXPECT_EQ(type->GetOption(), -1);
        ASSERT_EQ(type->GetAttributes().size(), 1u);
        const rxDataType::Attribute& attribute = type->GetAttributes()[0];
        EXPECT_EQ(attribute.name, expected[i].attribute);
        EXPECT_EQ(attribute.format, expected[i].format);
        EXPECT_EQ(attribute.option, 0);
        EXPECT_FALSE(attribute.flag);
    }
}

TEST(SubcaseDataTypes, MixedKindsGiveOneOrThreeDataTypes) {
    TempDir dir;
    const std::string path =
        WriteRes(dir, "mixed.res",
                 OneSimulation({DataTypeRow{"displacement", 0, Records(1, 3, {})},
                                DataTypeRow{"ignored", 2, {}, 1 << 30},
                                DataTypeRow{"S", 8, Records(1, 3, {})}}));
    LoadedResult loaded(path); // calls ReadDataTypes once
    // The kind-8 block makes the result complex, so the real vector is "_NC".
    ExpectDataTypes(loaded.Subcase(),
                    {{"displacement_NC", rxDataType::Nodes, "Node", rxDataSet::Vector},
                     {"S:Magnitude", rxDataType::Elements, "Elements", rxDataSet::Scalar},
                     {"S:Phase", rxDataType::Elements, "Elements", rxDataSet::Scalar},
                     {"S:Offset", rxDataType::Elements, "Elements", rxDataSet::Scalar}});
    EXPECT_TRUE(loaded.Subcase().HasDataTypes(0));
    EXPECT_EQ(loaded.Subcase().GetSubcaseType(), 1);
}

TEST(SubcaseDataTypes, EachKindAlone) {
    struct Case {
        int32_t kind;
        const char* written;
        std::vector<Shown> shown;
        int subcaseType;
    };
    const auto N = rxDataType::Nodes;
    const auto E = rxDataType::Elements;
    const auto S = rxDataSet::Scalar;
    const auto V = rxDataSet::Vector;
    const std::vector<Case> cases = {
        {0, "u", {{"u", N, "Node", V}}, 2},
        {1, "p", {{"p", N, "Node", S}}, 2},
        {2, "x", {}, 2},
        {3, "s", {{"s", E, "Elements", S}}, 2},
        {4, "u (c)", {{"u", N, "Node", V}}, 1},
        {5, "pc", {{"pc", N, "Node", S}}, 2},
        {6, "sc", {{"sc", E, "Elements", S}}, 1},
        {7,
         "t",
         {{"t:Magnitude", N, "Node", S}, {"t:Phase", N, "Node", S}, {"t:Offset", N, "Node", S}},
         2},
        {8,
         "h",
         {{"h:Magnitude", E, "Elements", S},
          {"h:Phase", E, "Elements", S},
          {"h:Offset", E, "Elements", S}},
         1},
        {9, "y", {}, 2},
        {-1, "z", {}, 2},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind));
        TempDir dir;
        LoadedResult loaded(WriteRes(
            dir, "kind.res", OneSimulation({DataTypeRow{c.written, c.kind, Records(1, 1, {})}})));
        ExpectDataTypes(loaded.Subcase(), c.shown);
        EXPECT_EQ(loaded.Subcase().HasDataTypes(0), !c.shown.empty());
        EXPECT_EQ(loaded.Subcase().GetSubcaseType(), c.subcaseType);
    }
}

TEST(SubcaseDataTypes, ResultWithoutSimulationsHasNothing) {
    TempDir dir;
    LoadedResult loaded(WriteRes(dir, "none.res", reswriter::ResFile{}));
    EXPECT_EQ(loaded.Subcase().ReadDataTypes(), 0);
    EXPECT_FALSE(loaded.Subcase().HasDataTypes(0));
    EXPECT_EQ(loaded.Subcase().ReadNumSimulations(), 0);
    EXPECT_EQ(loaded.Subcase().ReadSimulation(0), nullptr);
    EXPECT_EQ(loaded.Subcase().GetSubcaseType(), 2);
}

TEST(SubcaseSimulations, IndexOutsideTheListGivesNull) {
    TempDir dir;
    reswriter::ResFile file;
    file.simulations = {Simulation{"Step 1", {}}, Simulation{"Step 2", {}}};
    LoadedResult loaded(WriteRes(dir, "two.res", file));
    kvresSubcase& subcase = loaded.Subcase();
    ASSERT_EQ(subcase.ReadNumSimulations(), 2);
    EXPECT_STREQ(subcase.ReadSimulation(0)->GetLabel(), "Step 1");
    EXPECT_STREQ(subcase.ReadSimulation(1)->GetLabel(), "Step 2");
    for (int index : {-1, 2, INT_MAX, INT_MIN}) {
        EXPECT_EQ(subcase.ReadSimulation(index), nullptr) << index;
    }
}

class SubcaseEntityIds : public ::testing::TestWithParam<Encoding> {};

// Each kind's records hold a different number of reals; a read that took the
// wrong number would run into the next block and report other ids.
TEST_P(SubcaseEntityIds, EveryKindReportsItsIds) {
    const Encoding& encoding = GetParam();
    std::vector<DataTypeRow> rows;
    const std::pair<int32_t, int> kinds[] = {{0, 3}, {1, 1}, {3, 1}, {4, 6},
                                             {5, 2}, {6, 2}, {7, 3}, {8, 3}};
    for (const auto& [kind, reals] : kinds) {
        std::vector<Record> records = Records(2, reals, encoding);
        for (Record& record : records) {
            record.id += 10 * kind;
        }
        const std::string name = "k" + std::to_string(kind) + (kind == 4 ? " (c)" : "");
        rows.push_back(DataTypeRow{name, kind, records});
    }
    TempDir dir;
    LoadedResult loaded(WriteRes(dir, "ids.res", OneSimulation(rows, encoding)));
    const std::pair<const char*, int32_t> types[] = {{"k0_NC", 0},        {"k1", 1},      {"k3", 3},
                                                     {"k4", 4},           {"k5", 5},      {"k6", 6},
                                                     {"k7:Magnitude", 7}, {"k8:Phase", 8}};
    for (const auto& [name, kind] : types) {
        SCOPED_TRACE(name);
        RecordingReceiver receiver;
        rxDataType* type = loaded.Type(name);
        ASSERT_NE(type, nullptr);
        EXPECT_EQ(loaded.Subcase().ReadEntityIDs(type, 0, &receiver), 2);
        EXPECT_EQ(receiver.counts, (std::vector<int>{2}));
        EXPECT_EQ(receiver.ids, (std::vector<int>{100 + 10 * kind, 101 + 10 * kind}));
        EXPECT_FALSE(loaded.Result().GetFileSet()->IsOpen());
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, SubcaseEntityIds, ::testing::ValuesIn(ReadEncodings()),
                         [](const auto& info) { return EncodingName(info.param); });

TEST(SubcaseEntityIdsRefused, NothingToReadOpensNoFile) {
    TempDir dir;
    reswriter::ResFile file;
    file.simulations = {
        Simulation{"Time = 1",
                   {DataTypeRow{"early", 1, Records(2, 1, {})}, DataTypeRow{"hidden", 2, {}}}},
        Simulation{"Time = 2", {DataTypeRow{"late", 1, Records(2, 1, {})}}}};
    LoadedResult loaded(WriteRes(dir, "refused.res", file));
    Ref<rxDataType> unnamed(new rxDataType("", rxDataType::Nodes, -1));
    Ref<rxDataType> unknown(new rxDataType("unknown", rxDataType::Nodes, -1));
    Ref<rxDataType> kindTwo(new rxDataType("hidden", rxDataType::Nodes, -1));

    RecordingClearer clearer;
    for (rxDataType* type :
         {unnamed.get(), unknown.get(), loaded.Type("late"), static_cast<rxDataType*>(nullptr)}) {
        RecordingReceiver receiver;
        EXPECT_EQ(loaded.Subcase().ReadEntityIDs(type, 0, &receiver), 0);
        EXPECT_TRUE(receiver.counts.empty());
        EXPECT_TRUE(receiver.ids.empty());
    }
    EXPECT_EQ(loaded.Subcase().ReadEntityIDs(loaded.Type("early"), 0, nullptr), 0);
    EXPECT_TRUE(clearer.names.empty());

    // A kind with no record layout has no entities.
    RecordingReceiver receiver;
    EXPECT_EQ(loaded.Subcase().ReadEntityIDs(kindTwo.get(), 0, &receiver), 0);
    EXPECT_EQ(receiver.counts, std::vector<int>{0});
    EXPECT_TRUE(receiver.ids.empty());
}

} // namespace
