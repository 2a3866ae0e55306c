#include "model/DataTypeDirectory.h"

#include "rxSimulation.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

class DataTypeDirectoryTest : public ::testing::Test {
protected:
    rxSimulation first{nullptr, 0.0f, "first"};
    rxSimulation second{nullptr, 1.0f, "second"};
    rxSimulation third{nullptr, 2.0f, "third"};
    DataTypeDirectory directory;
};

struct Found {
    bool found = false;
    int32_t position = -77;
    int32_t fileIndex = -88;
};

Found Locate(const DataTypeEntry& entry, const rxSimulation* simulation) {
    Found out;
    out.found = entry.FindLocation(simulation, &out.position, &out.fileIndex);
    return out;
}

TEST_F(DataTypeDirectoryTest, SameNameForTwoSimulationsMakesOneEntryWithTwoLocations) {
    DataTypeEntry& a = directory.RegisterBlock(&first, "pressure", 1, 100, 0);
    DataTypeEntry& b = directory.RegisterBlock(&second, "pressure", 1, 200, 2);
    EXPECT_EQ(&a, &b);
    ASSERT_EQ(directory.Size(), 1u);
    ASSERT_EQ(a.Locations().size(), 2u);
    EXPECT_EQ(a.Locations()[0].simulation, &first);
    EXPECT_EQ(a.Locations()[1].simulation, &second);

    Found one = Locate(a, &first);
    EXPECT_TRUE(one.found);
    EXPECT_EQ(one.position, 100);
    EXPECT_EQ(one.fileIndex, 0);
    Found two = Locate(a, &second);
    EXPECT_TRUE(two.found);
    EXPECT_EQ(two.position, 200);
    EXPECT_EQ(two.fileIndex, 2);
}

TEST_F(DataTypeDirectoryTest, RepeatedSimulationKeepsBothLocationsAndAnswersTheFirst) {
    directory.RegisterBlock(&first, "pressure", 1, 100, 0);
    directory.RegisterBlock(&second, "pressure", 1, 150, 0);
    DataTypeEntry& entry = directory.RegisterBlock(&first, "pressure", 1, 300, 1);
    ASSERT_EQ(entry.Locations().size(), 3u);
    EXPECT_EQ(entry.Locations()[2].position, 300);
    Found found = Locate(entry, &first);
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.position, 100);
    EXPECT_EQ(found.fileIndex, 0);
}

TEST_F(DataTypeDirectoryTest, KindOfTheFirstRegistrationStays) {
    directory.RegisterBlock(&first, "p", 1, 10, 0);
    DataTypeEntry& entry = directory.RegisterBlock(&second, "p", 3, 20, 0);
    EXPECT_EQ(entry.Kind(), 1);
    EXPECT_EQ(entry.Locations().size(), 2u);
}

TEST_F(DataTypeDirectoryTest, NamesDifferingInCaseAreDistinctEntriesInRegistrationOrder) {
    directory.RegisterBlock(&first, "Stress", 3, 10, 0);
    directory.RegisterBlock(&first, "stress", 1, 20, 0);
    directory.RegisterBlock(&first, "STRESS", 6, 30, 0);
    ASSERT_EQ(directory.Size(), 3u);
    EXPECT_EQ(directory.At(0).Name(), "Stress");
    EXPECT_EQ(directory.At(1).Name(), "stress");
    EXPECT_EQ(directory.At(2).Name(), "STRESS");
    EXPECT_EQ(directory.FindDataType("stress"), &directory.At(1));
    EXPECT_EQ(directory.FindDataType("sTRESS"), nullptr);
}

TEST_F(DataTypeDirectoryTest, FindLocationFailsForAnotherSimulationAndLeavesOutputsAlone) {
    DataTypeEntry& entry = directory.RegisterBlock(&first, "p", 1, 10, 4);
    Found found = Locate(entry, &second);
    EXPECT_FALSE(found.found);
    EXPECT_EQ(found.position, -77);
    EXPECT_EQ(found.fileIndex, -88);
    EXPECT_FALSE(Locate(entry, nullptr).found);
}

TEST_F(DataTypeDirectoryTest, EntryWithoutLocationsFindsNothing) {
    DataTypeEntry bare("bare", 1);
    Found found = Locate(bare, &first);
    EXPECT_FALSE(found.found);
    EXPECT_EQ(found.position, -77);
}

TEST_F(DataTypeDirectoryTest, ReferencesToEntriesSurviveGrowth) {
    const DataTypeEntry* early = &directory.RegisterBlock(&first, "early", 1, 1, 0);
    for (int i = 0; i < 2000; ++i) {
        directory.RegisterBlock(&first, ("type" + std::to_string(i)).c_str(), 1, i, 0);
    }
    directory.RegisterBlock(&second, "early", 1, 2, 0);
    EXPECT_EQ(early->Name(), "early");
    EXPECT_EQ(early->Locations().size(), 2u);
    EXPECT_EQ(directory.FindDataType("early"), early);
    EXPECT_EQ(directory.FindDataType("type1999"), &directory.At(2000));
}

TEST_F(DataTypeDirectoryTest, EveryLocationOfManySimulationsIsFound) {
    std::vector<rxSimulation*> sims;
    for (int i = 0; i < 300; ++i) {
        sims.push_back(new rxSimulation(nullptr, static_cast<float>(i), "s"));
        directory.RegisterBlock(sims.back(), "p", 1, 1000 + i, i % 3);
    }
    const DataTypeEntry* entry = directory.FindDataType("p");
    ASSERT_NE(entry, nullptr);
    for (int i = 0; i < 300; ++i) {
        Found found = Locate(*entry, sims[static_cast<std::size_t>(i)]);
        EXPECT_TRUE(found.found);
        EXPECT_EQ(found.position, 1000 + i);
        EXPECT_EQ(found.fileIndex, i % 3);
    }
    for (rxSimulation* sim : sims) {
        sim->Release();
    }
}

// FindDataType over one directory, query by query. The directory holds
// (in this order): "temp", "Temp", "a:b", "x:Magnitude", "p", "p:q".
struct LookupCase {
    const char* query;
    int expected; // index of the entry, -1 for none
};

class FindDataTypeTest : public ::testing::TestWithParam<LookupCase> {
protected:
    void SetUp() override {
        for (const char* name : {"temp", "Temp", "a:b", "x:Magnitude", "p", "p:q"}) {
            directory.RegisterBlock(&sim, name, 1, 0, 0);
        }
    }
    rxSimulation sim{nullptr, 0.0f, "s"};
    DataTypeDirectory directory;
};

TEST_P(FindDataTypeTest, Answers) {
    const LookupCase& c = GetParam();
    const DataTypeEntry* found = directory.FindDataType(c.query);
    if (c.expected < 0) {
        EXPECT_EQ(found, nullptr) << "query '" << c.query << "' found '" << found->Name() << "'";
    } else {
        ASSERT_NE(found, nullptr) << "query '" << c.query << "'";
        EXPECT_EQ(found, &directory.At(static_cast<std::size_t>(c.expected)))
            << "query '" << c.query << "' found '" << found->Name() << "'";
    }
}

INSTANTIATE_TEST_SUITE_P(
    Lookups, FindDataTypeTest,
    ::testing::Values(LookupCase{"temp", 0}, LookupCase{"Temp", 1}, LookupCase{"TEMP", -1},
                      LookupCase{"temp:Magnitude", 0}, LookupCase{"temp:Phase", 0},
                      LookupCase{"temp:Offset", 0}, LookupCase{"Temp:Offset", 1},
                      LookupCase{"temp:", 0}, LookupCase{"a:b", 2}, LookupCase{"a:b:Phase", 2},
                      LookupCase{"a", -1}, LookupCase{"a:c", -1}, LookupCase{"x", -1},
                      LookupCase{"x:Magnitude", 3}, LookupCase{"x:Magnitude:Phase", 3},
                      LookupCase{"x:Phase", -1}, LookupCase{"p:q", 5}, LookupCase{"p:r", 4},
                      LookupCase{"p:q:r", 5}, LookupCase{"", -1}, LookupCase{":Magnitude", -1},
                      LookupCase{"temp ", -1}, LookupCase{"temp:Magnitude ", 0}));

TEST_F(DataTypeDirectoryTest, NullNameFindsNothing) {
    directory.RegisterBlock(&first, "", 1, 0, 0);
    EXPECT_EQ(directory.FindDataType(nullptr), nullptr);
    // An entry with an empty name is reached through a component name too.
    EXPECT_EQ(directory.FindDataType(":Magnitude"), &directory.At(0));
}

TEST_F(DataTypeDirectoryTest, AfterRenamingToAnEqualNameTheEarlierEntryAnswers) {
    directory.RegisterBlock(&first, "stress", 1, 10, 0);
    directory.RegisterBlock(&first, "stress (c)", 4, 20, 0);
    directory.Rename(1, "stress");
    EXPECT_EQ(directory.FindDataType("stress"), &directory.At(0));
    EXPECT_EQ(directory.FindDataType("stress:Magnitude"), &directory.At(0));
    EXPECT_EQ(directory.FindDataType("stress (c)"), nullptr);

    // A later registration of the shared name goes to the earlier entry too.
    directory.RegisterBlock(&second, "stress", 1, 30, 0);
    EXPECT_EQ(directory.At(0).Locations().size(), 2u);
    EXPECT_EQ(directory.At(1).Locations().size(), 1u);
    // And the old name is free again: it makes a new entry at the end.
    directory.RegisterBlock(&second, "stress (c)", 4, 40, 0);
    ASSERT_EQ(directory.Size(), 3u);
    EXPECT_EQ(directory.At(2).Name(), "stress (c)");
}

TEST_F(DataTypeDirectoryTest, RenamingTheEarlierEntryOntoALaterNameMakesItAnswer) {
    directory.RegisterBlock(&first, "displacement (c)", 4, 10, 0);
    directory.RegisterBlock(&first, "displacement", 0, 20, 0);
    directory.Rename(0, "displacement");
    EXPECT_EQ(directory.FindDataType("displacement"), &directory.At(0));
    directory.Rename(1, "displacement_NC");
    EXPECT_EQ(directory.FindDataType("displacement"), &directory.At(0));
    EXPECT_EQ(directory.FindDataType("displacement_NC"), &directory.At(1));
    // Renaming an index outside the directory changes nothing.
    directory.Rename(7, "x");
    EXPECT_EQ(directory.Size(), 2u);
    EXPECT_EQ(directory.FindDataType("x"), nullptr);
}

} // namespace
