// Data-set creation: the class and component chosen by kind and name suffix,
// the block location handed over, and the cases that give no data set.
#include "ReadTestSupport.h"

#include "model/kvresScalarDataSet.h"
#include "model/kvresVectorDataSet.h"

#include "rxAllocator.h"
#include "rxDataType.h"

#include <gtest/gtest.h>

using namespace readtest;

namespace {

class SimulationDataSets : public ::testing::Test {
protected:
    void SetUp() override {
        reswriter::ResFile file;
        Simulation first{"Time = 1", {}};
        const std::pair<const char*, int32_t> rows[] = {
            {"u", 0},  {"p", 1},  {"x", 2}, {"s", 3}, {"w (c)", 4},
            {"pc", 5}, {"sc", 6}, {"T", 7}, {"H", 8}, {"odd", 9}};
        for (const auto& [name, kind] : rows) {
            first.rows.push_back(DataTypeRow{name, kind, Records(1, 1, {})});
        }
        Simulation second{"Time = 2", {DataTypeRow{"late", 1, Records(1, 1, {})}}};
        file.simulations = {first, second};
        path = WriteRes(dir, "sims.res", file, &layout);
        loaded = std::make_unique<LoadedResult>(path);
    }

    int32_t Block(int simulation, int row) const {
        return static_cast<int32_t>(layout.simulations[simulation].rows[row].block);
    }

    TempDir dir;
    Layout layout;
    std::string path;
    std::unique_ptr<LoadedResult> loaded;
};

TEST_F(SimulationDataSets, ClassAndComponentFollowTheKind) {
    struct Case {
        const char* name;
        int row;
        bool vector;
        int32_t component;
        int32_t components;
    };
    const Case cases[] = {
        {"u_NC", 0, true, 0, 0},         {"p", 1, false, 0, 1},
        {"s", 3, false, 0, 1},           {"w", 4, true, 0, 0},
        {"pc", 5, false, 0, 2},          {"sc", 6, false, 0, 2},
        {"T:Magnitude", 7, false, 0, 3}, {"T:Phase", 7, false, 1, 3},
        {"T:Offset", 7, false, 2, 3},    {"H:Magnitude", 8, false, 0, 3},
        {"H:Phase", 8, false, 1, 3},     {"H:Offset", 8, false, 2, 3},
    };
    RecordingClearer clearer;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Ref<rxDataSet> set = loaded->DataSet(c.name);
        ASSERT_NE(set, nullptr);
        EXPECT_STREQ(set->GetText(), "text");
        EXPECT_EQ(set->GetSimulation(), loaded->Sim(0));
        EXPECT_EQ(set->GetDataType(), loaded->Type(c.name));
        if (c.vector) {
            auto* vector = dynamic_cast<kvresVectorDataSet*>(set.get());
            ASSERT_NE(vector, nullptr);
            EXPECT_EQ(vector->BlockPosition(), Block(0, c.row));
            EXPECT_EQ(vector->FileIndex(), 0);
        } else {
            auto* scalar = dynamic_cast<kvresScalarDataSet*>(set.get());
            ASSERT_NE(scalar, nullptr);
            EXPECT_EQ(scalar->BlockPosition(), Block(0, c.row));
            EXPECT_EQ(scalar->FileIndex(), 0);
            EXPECT_EQ(scalar->ComponentIndex(), c.component);
            EXPECT_EQ(scalar->ComponentCount(), c.components);
        }
    }
    // Creating a data set reads nothing.
    EXPECT_TRUE(clearer.names.empty());
}

TEST_F(SimulationDataSets, NoDataSetWithoutBlockKindOrComponent) {
    rxSimulation* first = loaded->Sim(0);
    std::vector<Ref<rxDataType>> strays;
    for (const char* name : {"x", "odd", "T", "T:phase", "T:Real", "T:", "H:Offset ", "nothing"}) {
        strays.emplace_back(new rxDataType(name, rxDataType::Nodes, -1));
        Ref<rxDataSet> set(first->ReadDataSet(strays.back().get(), "text"));
        EXPECT_EQ(set, nullptr) << name;
    }
    EXPECT_EQ(first->ReadDataSet(nullptr, "text"), nullptr);
}

TEST_F(SimulationDataSets, BlockOnlyInTheSecondSimulation) {
    EXPECT_EQ(loaded->DataSet("late", 0), nullptr);
    Ref<rxDataSet> set = loaded->DataSet("late", 1);
    auto* scalar = dynamic_cast<kvresScalarDataSet*>(set.get());
    ASSERT_NE(scalar, nullptr);
    EXPECT_EQ(scalar->BlockPosition(), Block(1, 0));
    EXPECT_EQ(scalar->GetSimulation(), loaded->Sim(1));
}

TEST_F(SimulationDataSets, ExtraDataIsAlwaysZero) {
    EXPECT_EQ(loaded->Sim(0)->ReadExtraData(), 0);
    EXPECT_EQ(loaded->Sim(1)->ReadExtraData(), 0);
}

class EmptyAllocator : public rxAllocator {
public:
    void* Allocate(std::size_t) override { return nullptr; }
};

TEST_F(SimulationDataSets, NoMemoryGivesNoDataSet) {
    EmptyAllocator empty;
    rxObject::Allocator(&empty);
    rxDataSet* set = loaded->Sim(0)->ReadDataSet(loaded->Type("p"), "text");
    rxObject::Allocator(nullptr);
    EXPECT_EQ(set, nullptr);
}

TEST(SimulationSeries, BlockInTheSecondFileCarriesItsIndex) {
    TempDir dir;
    auto fileWith = [](const char* label) {
        reswriter::ResFile file;
        file.simulations.push_back(Simulation{label, {DataTypeRow{"p", 1, Records(2, 1, {})}}});
        return file;
    };
    Layout second;
    const std::string first = WriteRes(dir, "run.res", fileWith("Time = 1"));
    WriteRes(dir, "run0.res", fileWith("Time = 2"), &second);
    LoadedResult loaded(first);
    Ref<rxDataSet> set = loaded.DataSet("p", 1);
    auto* scalar = dynamic_cast<kvresScalarDataSet*>(set.get());
    ASSERT_NE(scalar, nullptr);
    EXPECT_EQ(scalar->FileIndex(), 1);
    EXPECT_EQ(scalar->BlockPosition(), static_cast<int32_t>(second.simulations[0].rows[0].block));
    ASSERT_TRUE(scalar->ReadData(0));
    EXPECT_EQ(scalar->EntityIDs(), (std::vector<int>{100, 101}));
}

} // namespace
