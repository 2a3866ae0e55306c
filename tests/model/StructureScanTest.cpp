#include "ScanTestSupport.h"

#include <gtest/gtest.h>

#include <climits>
#include <filesystem>
#include <optional>
#include <string>
#include <vector>

namespace {

using namespace scantest;
using reswriter::Encoding;
using reswriter::Layout;
using reswriter::ResFile;

int32_t At(std::size_t offset) {
    return static_cast<int32_t>(offset);
}

// Writes `file` as `name` in `dir` and returns its path; fills `layout` if given.
std::string Put(const reswriter::TempDir& dir, const std::string& name, const ResFile& file,
                Layout* layout = nullptr) {
    const std::string path = dir.File(name);
    reswriter::WriteFile(path, reswriter::Write(file, layout));
    return path;
}

Snapshot ScanOne(const ResFile& file, Layout* layout = nullptr) {
    reswriter::TempDir dir;
    return ScanPath(Put(dir, "one.res", file, layout));
}

ResFile WorkedExample(const Encoding& encoding) {
    return File(encoding, {Sim("Time = 1.5", {Row("pressure", 1, {{10, {1.0f}}, {11, {2.5f}}})})});
}

class WorkedExampleTest : public ::testing::TestWithParam<Encoding> {};

TEST_P(WorkedExampleTest, ReadsAsOneSimulationWithOneDataType) {
    Layout layout;
    const Snapshot snapshot = ScanOne(WorkedExample(GetParam()), &layout);
    Snapshot expected;
    expected.subcases = 1;
    expected.sims = {{"Time = 1.5", 1.5f, At(layout.simulations[0].table), 0}};
    expected.entries = {{"pressure", 1, {{0, At(layout.simulations[0].rows[0].block), 0}}}};
    EXPECT_EQ(Describe(snapshot), Describe(expected));
    if (GetParam().intFormat == reswriter::IntFormat::Int4) {
        EXPECT_EQ(layout.simulations[0].table, 228u);
        EXPECT_EQ(layout.simulations[0].rows[0].block, 271u);
    }
}

INSTANTIATE_TEST_SUITE_P(Encodings, WorkedExampleTest, ::testing::ValuesIn(DetectableEncodings()),
                         [](const ::testing::TestParamInfo<Encoding>& info) {
                             return EncodingName(info.param);
                         });

TEST(StructureScan, SubcaseIsLoadcaseOneOfThisResult) {
    reswriter::TempDir dir;
    ResultPtr result = OpenResult(Put(dir, "one.res", WorkedExample(reswriter::kInt4Real4LE)));
    EXPECT_EQ(result->ReadSubcase(0), nullptr) << "the constructor must not scan";
    EXPECT_EQ(result->DataTypes().Size(), 0u);
    ASSERT_EQ(result->ReadNumSubcases(), 1);
    rxSubcase* subcase = result->ReadSubcase(0);
    ASSERT_NE(subcase, nullptr);
    EXPECT_STREQ(subcase->GetLabel(), "Loadcase 1");
    EXPECT_EQ(subcase->GetID(), 1);
    EXPECT_EQ(subcase->GetResult(), result.get());
    EXPECT_EQ(result->ReadSubcase(1), nullptr);
    EXPECT_EQ(result->ReadSubcase(-1), nullptr);
    EXPECT_EQ(result->ReadSubcase(INT_MIN), nullptr);
    EXPECT_EQ(result->ReadSubcase(INT_MAX), nullptr);
    EXPECT_EQ(result->GetSubcase(0), subcase);
    EXPECT_EQ(result->GetNumSubcases(), 1);
    EXPECT_EQ(Simulations(*result)[0]->GetSubcase(), subcase);
}

TEST(StructureScan, ScanLeavesNoFileOpenAndGetFileSetRewinds) {
    reswriter::TempDir dir;
    ResultPtr result = OpenResult(Put(dir, "one.res", WorkedExample(reswriter::kInt4Real4BE)));
    ResFileSet* fileSet = result->GetFileSet();
    ASSERT_NE(fileSet, nullptr);
    ASSERT_TRUE(fileSet->IsOpen());
    char title[27] = {};
    ASSERT_EQ(fileSet->ReadBytes(title, 27), 27);
    ASSERT_EQ(result->GetFileSet(), fileSet);
    char again[27] = {};
    ASSERT_EQ(fileSet->ReadBytes(again, 27), 27);
    EXPECT_STREQ(again, "Korvane Results");

    result->ReadNumSubcases();
    EXPECT_FALSE(result->GetFileSet()->IsOpen());
    EXPECT_EQ(result->GetFileSet()->GetNumSeriesFiles(), 1);
}

TEST(StructureScan, SecondScanChangesNothing) {
    reswriter::TempDir dir;
    ResFile file = File(reswriter::kInt4Real4LE,
                        {Sim("t=1", {Row("stress (c)", 4, {{1, {1, 0, 1, 0, 1, 0}}}),
                                     Row("displacements", 0, {{1, {1, 2, 3}}}),
                                     Row("displacements (c)", 4, {{1, {1, 0, 1, 0, 1, 0}}})}),
                         Sim("t=2", {Row("displacements", 0, {{1, {1, 2, 3}}})})});
    ResultPtr result = OpenResult(Put(dir, "run.res", file));
    const std::string first = Describe(Scan(*result));
    EXPECT_EQ(result->ReadNumSubcases(), 1);
    EXPECT_EQ(result->ReadNumSubcases(), 1);
    const std::string third = Describe(Take(*result, 1));
    EXPECT_EQ(third, first);
    EXPECT_NE(result->FindDataType("stress"), nullptr);
    EXPECT_NE(result->FindDataType("displacement_NC"), nullptr);
    EXPECT_EQ(result->FindDataType("st"), nullptr);
    EXPECT_EQ(result->FindDataType("displacement_NC_NC"), nullptr);
    EXPECT_EQ(result->ReadSubcase(1), nullptr);
    EXPECT_EQ(Simulations(*result).size(), 2u);
}

TEST(StructureScan, MixedEncodingSeriesKeepsFileOrderAndFileIndices) {
    reswriter::TempDir dir;
    const std::vector<std::pair<std::string, ResFile>> files = {
        {"run.res",
         File(reswriter::kInt4Real4LE, {Sim("t=1", {Row("pressure", 1, {{1, {1.0f}}}),
                                                    Row("velocity", 0, {{1, {1, 2, 3}}})}),
                                        Sim("t=3", {Row("pressure", 1, {{1, {2.0f}}})})})},
        {"run0.res", File(reswriter::kInt8SecondCray8BE,
                          {Sim("t=2", {Row("pressure", 1, {{2, {0.5f}}}),
                                       Row("temp", 7, {{2, {1.0f, 2.0f, 4.0f}}})}),
                           Sim("Frame", {Row("velocity", 0, {{2, {1, 2, 4}}})})})},
        {"run1.res",
         File(reswriter::kInt4Real4BE, {Sim("t=10", {Row("temp", 7, {{3, {1.0f, 2.0f, 4.0f}}}),
                                                     Row("pressure", 1, {{3, {0.5f}}})})})},
    };
    std::vector<Layout> layouts(files.size());
    for (std::size_t f = 0; f < files.size(); ++f) {
        Put(dir, files[f].first, files[f].second, &layouts[f]);
    }
    auto table = [&](std::size_t f, std::size_t s) { return At(layouts[f].simulations[s].table); };
    auto block = [&](std::size_t f, std::size_t s, std::size_t r) {
        return At(layouts[f].simulations[s].rows[r].block);
    };
    Snapshot expected;
    expected.subcases = 1;
    expected.sims = {{"t=1", 1, table(0, 0), 0},
                     {"t=3", 3, table(0, 1), 0},
                     {"t=2", 4, table(1, 0), 1},
                     {"Frame", 5, table(1, 1), 1},
                     {"t=10", 10, table(2, 0), 2}};
    expected.entries = {
        {"pressure",
         1,
         {{0, block(0, 0, 0), 0},
          {1, block(0, 1, 0), 0},
          {2, block(1, 0, 0), 1},
          {4, block(2, 0, 1), 2}}},
        {"velocity", 0, {{0, block(0, 0, 1), 0}, {3, block(1, 1, 0), 1}}},
        {"temp", 7, {{2, block(1, 0, 1), 1}, {4, block(2, 0, 0), 2}}},
    };
    EXPECT_EQ(Describe(ScanPath(dir.File("run.res"))), Describe(expected));
}

// A series member that the scan cannot open is skipped; the files after it
// keep their series index.
enum class Spoil { Junk, Deleted, TooShort };

class UnreadableMemberTest : public ::testing::TestWithParam<Spoil> {};

TEST_P(UnreadableMemberTest, IsSkipped) {
    reswriter::TempDir dir;
    Layout first;
    Layout last;
    Put(dir, "run.res", File(reswriter::kInt4Real4LE, {Sim("t=1", {Row("p", 1, {{1, {1}}})})}),
        &first);
    Put(dir, "run0.res", File(reswriter::kInt4Real4LE, {Sim("t=2", {Row("p", 1, {{1, {1}}})})}));
    Put(dir, "run1.res", File(reswriter::kInt4Real4BE, {Sim("t=3", {Row("p", 1, {{1, {1}}})})}),
        &last);
    ResultPtr result = OpenResult(dir.File("run.res"));
    ASSERT_EQ(result->GetFileSet()->GetNumSeriesFiles(), 3);
    switch (GetParam()) {
    case Spoil::Junk:
        reswriter::WriteFile(dir.File("run0.res"), std::vector<unsigned char>(400, 0x7F));
        break;
    case Spoil::Deleted:
        std::filesystem::remove(dir.File("run0.res"));
        break;
    case Spoil::TooShort:
        reswriter::WriteFile(dir.File("run0.res"), std::vector<unsigned char>(100, 0));
        break;
    }
    Snapshot expected;
    expected.subcases = 1;
    expected.sims = {{"t=1", 1, At(first.simulations[0].table), 0},
                     {"t=3", 3, At(last.simulations[0].table), 2}};
    expected.entries = {{"p",
                         1,
                         {{0, At(first.simulations[0].rows[0].block), 0},
                          {1, At(last.simulations[0].rows[0].block), 2}}}};
    EXPECT_EQ(Describe(Scan(*result)), Describe(expected));
}

INSTANTIATE_TEST_SUITE_P(Spoils, UnreadableMemberTest,
                         ::testing::Values(Spoil::Junk, Spoil::Deleted, Spoil::TooShort));

TEST(StructureScan, FileThatFailsDetectionGivesOneEmptySubcase) {
    reswriter::TempDir dir;
    std::vector<unsigned char> junk(500, 0x7F); // no count in range in any encoding
    reswriter::WriteFile(dir.File("bad.res"), junk);
    reswriter::WriteFile(dir.File("short.res"), std::vector<unsigned char>(192, 0));
    for (const std::string& path :
         {dir.File("bad.res"), dir.File("short.res"), dir.File("missing.res"), std::string()}) {
        ResultPtr result = OpenResult(path);
        EXPECT_EQ(result->GetFileSet()->GetNumSeriesFiles(), 0) << path;
        EXPECT_EQ(Describe(Scan(*result)), "subcases 1, real\n") << path;
        EXPECT_NE(result->ReadSubcase(0), nullptr);
    }
    kvresResult* unnamed = new kvresResult(nullptr);
    EXPECT_EQ(unnamed->ReadNumSubcases(), 1);
    EXPECT_EQ(unnamed->DataTypes().Size(), 0u);
    unnamed->Release();
}

// Names are normalised before registration; the table gives the name read
// and the name it ends as (kind 1, so no final renaming applies).
struct NameCase {
    const char* read;
    const char* registered;
};

class NameNormalisationTest : public ::testing::TestWithParam<NameCase> {};

TEST_P(NameNormalisationTest, RegistersTheNormalName) {
    const NameCase& c = GetParam();
    const Snapshot snapshot =
        ScanOne(File(reswriter::kInt4Real4LE, {Sim("t=1", {Row(c.read, 1, {{1, {1}}})})}));
    ASSERT_EQ(snapshot.entries.size(), 1u);
    EXPECT_EQ(snapshot.entries[0].name, c.registered);
}

INSTANTIATE_TEST_SUITE_P(Names, NameNormalisationTest,
                         ::testing::Values(NameCase{"Displacements", "displacement"},
                                           NameCase{"NODAL DISPLACEMENT", "displacement"},
                                           NameCase{"displacements", "displacement"},
                                           NameCase{"Nodal Displacement", "displacement"},
                                           NameCase{"Displacements (C)", "displacement (c)"},
                                           NameCase{"DISPLACEMENTS (c)", "displacement (c)"},
                                           NameCase{"displacement", "displacement"},
                                           NameCase{"nodal displacements", "nodal displacements"},
                                           NameCase{" displacements", " displacements"},
                                           NameCase{"displacements ", "displacements "},
                                           NameCase{"displacements(c)", "displacements(c)"},
                                           NameCase{"Stress", "Stress"}));

TEST(StructureScan, NormalisedSpellingsShareOneEntry) {
    const Snapshot snapshot = ScanOne(
        File(reswriter::kInt4Real4LE, {Sim("t=1", {Row("Displacements", 1, {{1, {1}}})}),
                                       Sim("t=2", {Row("NODAL DISPLACEMENT", 3, {{1, {1}}})}),
                                       Sim("t=3", {Row("displacements", 1, {{1, {1}}})})}));
    ASSERT_EQ(snapshot.entries.size(), 1u);
    EXPECT_EQ(snapshot.entries[0].name, "displacement");
    EXPECT_EQ(snapshot.entries[0].kind, 1);
    ASSERT_EQ(snapshot.entries[0].locations.size(), 3u);
    EXPECT_EQ(snapshot.entries[0].locations[2].simulation, 2);
}

// Final names: kind 4 loses four characters, kind 0 gains "_NC" with complex data.
struct FinalNameCase {
    const char* name;
    int32_t kind;
    const char* final;
};

class FinalNameTest : public ::testing::TestWithParam<FinalNameCase> {};

TEST_P(FinalNameTest, EndsAs) {
    const FinalNameCase& c = GetParam();
    const Snapshot snapshot =
        ScanOne(File(reswriter::kInt4Real4LE,
                     {Sim("t=1", {Row(c.name, c.kind), Row("complex", 6, {{1, {1, 0}}})})}));
    ASSERT_EQ(snapshot.entries.size(), 2u);
    EXPECT_EQ(snapshot.entries[0].name, c.final);
    EXPECT_TRUE(snapshot.complex);
}

INSTANTIATE_TEST_SUITE_P(
    Names, FinalNameTest,
    ::testing::Values(FinalNameCase{"stress (c)", 4, "stress"}, FinalNameCase{"abc", 4, "abc"},
                      FinalNameCase{"ab", 4, "ab"}, FinalNameCase{"abcd", 4, ""},
                      FinalNameCase{"displacements (c)", 4, "displacement"},
                      FinalNameCase{"displacements", 0, "displacement_NC"},
                      FinalNameCase{"velocity", 0, "velocity_NC"},
                      FinalNameCase{"velocity", 1, "velocity"},
                      FinalNameCase{"velocity (c)", 5, "velocity (c)"},
                      FinalNameCase{"temp", 7, "temp"}, FinalNameCase{"odd (c)", 9, "odd (c)"}));

// "_NC" only with complex data: kinds 4, 6 or 8 anywhere in any file, as read.
struct ComplexCase {
    const char* name;
    std::vector<std::vector<int32_t>> kinds; // kinds of the "t" rows, per series file
    bool complex;
};

class ComplexDataTest : public ::testing::TestWithParam<ComplexCase> {};

TEST_P(ComplexDataTest, MarksKindZeroNames) {
    const ComplexCase& c = GetParam();
    reswriter::TempDir dir;
    for (std::size_t f = 0; f < c.kinds.size(); ++f) {
        std::vector<reswriter::DataTypeRow> rows = {Row("velocity", 0, {{1, {1, 2, 3}}})};
        for (int32_t kind : c.kinds[f]) {
            // One name for every row: a later kind does not change the entry's kind,
            // but it still counts as complex data.
            rows.push_back(Row("t", kind));
        }
        const std::string name = f == 0 ? "run.res" : "run" + std::to_string(f - 1) + ".res";
        Put(dir, name, File(reswriter::kInt4Real4LE, {Sim("t=" + std::to_string(f), rows)}));
    }
    const Snapshot snapshot = ScanPath(dir.File("run.res"));
    EXPECT_EQ(snapshot.complex, c.complex);
    ASSERT_FALSE(snapshot.entries.empty());
    EXPECT_EQ(snapshot.entries[0].name, c.complex ? "velocity_NC" : "velocity");
    EXPECT_EQ(snapshot.entries[0].kind, 0);
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ComplexDataTest,
    ::testing::Values(ComplexCase{"RealKindsOnly", {{1, 3, 5, 7}, {2, 9, -1}}, false},
                      ComplexCase{"Kind4", {{4}}, true}, ComplexCase{"Kind6", {{6}}, true},
                      ComplexCase{"Kind8", {{8}}, true},
                      ComplexCase{"Kind4InLastFile", {{1}, {3}, {5, 4}}, true},
                      ComplexCase{"ComplexAsLaterKindOfARealName", {{1, 6}}, true},
                      ComplexCase{"ComplexInSecondFileOnly", {{1}, {8}}, true}),
    [](const ::testing::TestParamInfo<ComplexCase>& info) { return std::string(info.param.name); });

TEST(StructureScan, KindFourAndKindOneMeetingOnOneNameAnswerWithTheEarlier) {
    for (bool complexFirst : {false, true}) {
        std::vector<reswriter::DataTypeRow> rows = {
            Row("stress", 1, {{1, {1}}}), Row("stress (c)", 4, {{1, {1, 0, 1, 0, 1, 0}}})};
        if (complexFirst) {
            std::swap(rows[0], rows[1]);
        }
        reswriter::TempDir dir;
        ResultPtr result =
            OpenResult(Put(dir, "r.res", File(reswriter::kInt4Real4LE, {Sim("t=1", rows)})));
        result->ReadNumSubcases();
        ASSERT_EQ(result->DataTypes().Size(), 2u);
        EXPECT_EQ(result->DataTypes().At(0).Name(), "stress");
        EXPECT_EQ(result->DataTypes().At(1).Name(), "stress");
        EXPECT_EQ(result->FindDataType("stress"), &result->DataTypes().At(0)) << complexFirst;
        EXPECT_EQ(result->FindDataType("stress:Magnitude"), &result->DataTypes().At(0));
    }
}

TEST(StructureScan, DuplicateNamesAndKinds) {
    Layout layout;
    const Snapshot snapshot =
        ScanOne(File(reswriter::kInt4Real4BE,
                     {Sim("t=1", {Row("p", 1, {{1, {1}}}), Row("p", 3, {{2, {2}}}), Row("q", 5)}),
                      Sim("t=2", {Row("q", 6), Row("p", 3, {{3, {3}}})})}),
                &layout);
    auto block = [&](std::size_t s, std::size_t r) {
        return At(layout.simulations[s].rows[r].block);
    };
    Snapshot expected;
    expected.subcases = 1;
    expected.complex = true; // from the kind-6 row of "q", though the entry keeps kind 5
    expected.sims = {{"t=1", 1, At(layout.simulations[0].table), 0},
                     {"t=2", 2, At(layout.simulations[1].table), 0}};
    expected.entries = {{"p", 1, {{0, block(0, 0), 0}, {0, block(0, 1), 0}, {1, block(1, 1), 0}}},
                        {"q", 5, {{0, block(0, 2), 0}, {1, block(1, 0), 0}}}};
    EXPECT_EQ(Describe(snapshot), Describe(expected));
}

TEST(StructureScan, KindTwoWithABlockPositionPastTheEndIsRegistered) {
    reswriter::DataTypeRow hidden = Row("hidden", 2);
    hidden.writeBlock = false;
    hidden.blockPosition = INT32_MAX;
    reswriter::DataTypeRow negative = Row("negative", 2);
    negative.writeBlock = false;
    negative.blockPosition = -8;
    const Snapshot snapshot = ScanOne(File(
        reswriter::kInt8SecondCray8LE, {Sim("t=1", {hidden, Row("p", 1, {{1, {1}}}), negative})}));
    ASSERT_EQ(snapshot.entries.size(), 3u);
    EXPECT_EQ(snapshot.entries[0].name, "hidden");
    EXPECT_EQ(snapshot.entries[0].kind, 2);
    EXPECT_EQ(snapshot.entries[0].locations[0].position, INT32_MAX);
    EXPECT_EQ(snapshot.entries[1].name, "p");
    EXPECT_EQ(snapshot.entries[2].locations[0].position, -8);
    EXPECT_FALSE(snapshot.complex);
}

TEST(StructureScan, LongLabelAndNameWithoutNulAreTakenWhole) {
    const std::string label = "ABCDEFGHIJKLMNOPQRSTUVWXYZ 1234"; // 31 characters
    const std::string name = "abcdefghijklmnopqrstuvwxyz01234";
    const Snapshot snapshot =
        ScanOne(File(reswriter::kInt4Real4LE, {Sim(label, {Row(name, 1, {{1, {1}}})})}));
    ASSERT_EQ(snapshot.sims.size(), 1u);
    EXPECT_EQ(snapshot.sims[0].label, label);
    EXPECT_EQ(snapshot.sims[0].sync, 1234.0f);
    ASSERT_EQ(snapshot.entries.size(), 1u);
    EXPECT_EQ(snapshot.entries[0].name, name);
}

// Simulation counts of 0 and below contribute nothing; the scan goes on with
// the next file.
class SimulationCountTest : public ::testing::TestWithParam<int32_t> {};

TEST_P(SimulationCountTest, ContributesNoSimulations) {
    for (const Encoding& encoding : DetectableEncodings()) {
        reswriter::TempDir dir;
        ResFile empty = File(encoding, {Sim("t=1", {Row("p", 1, {{1, {1}}})})});
        empty.simulationCount = GetParam();
        Put(dir, "run.res", empty);
        Layout layout;
        Put(dir, "run0.res", File(encoding, {Sim("Frame", {Row("p", 1, {{1, {1}}})})}), &layout);
        Snapshot expected;
        expected.subcases = 1;
        expected.sims = {{"Frame", 0, At(layout.simulations[0].table), 1}};
        expected.entries = {{"p", 1, {{0, At(layout.simulations[0].rows[0].block), 1}}}};
        EXPECT_EQ(Describe(ScanPath(dir.File("run.res"))), Describe(expected))
            << EncodingName(encoding);
    }
}

INSTANTIATE_TEST_SUITE_P(Counts, SimulationCountTest, ::testing::Values(0, -1, -65535));

TEST(StructureScan, HeaderOnlyFileWithTheLargestCountHasNoSimulations) {
    for (const Encoding& encoding : DetectableEncodings()) {
        ResFile file = File(encoding, {});
        file.simulationCount = 65535;
        EXPECT_EQ(Describe(ScanOne(file)), "subcases 1, real\n") << EncodingName(encoding);
    }
}

// A data-type count of 0 or below, or a table that cannot be reached, gives
// that simulation no data types; the next simulation is scanned as usual.
struct TableCase {
    const char* name;
    std::optional<int32_t> count;
    // Table position relative to the file's size when set (size + offset).
    std::optional<int32_t> positionFromEnd;
    std::optional<int32_t> position;
};

class DataTypeTableTest : public ::testing::TestWithParam<TableCase> {};

TEST_P(DataTypeTableTest, GivesTheSimulationNoDataTypes) {
    const TableCase& c = GetParam();
    for (const Encoding& encoding : DetectableEncodings()) {
        ResFile file = File(encoding, {Sim("t=1", {Row("p", 1, {{1, {1}}})}),
                                       Sim("t=2", {Row("p", 1, {{1, {1}}})})});
        Layout layout;
        reswriter::Write(file, &layout);
        file.simulations[0].dataTypeCount = c.count;
        if (c.positionFromEnd) {
            file.simulations[0].tablePosition = At(layout.size) + *c.positionFromEnd;
        }
        if (c.position) {
            file.simulations[0].tablePosition = c.position;
        }
        const Snapshot snapshot = ScanOne(file, &layout);
        Snapshot expected;
        expected.subcases = 1;
        expected.sims = {
            {"t=1", 1, file.simulations[0].tablePosition.value_or(At(layout.simulations[0].table)),
             0},
            {"t=2", 2, At(layout.simulations[1].table), 0}};
        expected.entries = {{"p", 1, {{1, At(layout.simulations[1].rows[0].block), 0}}}};
        EXPECT_EQ(Describe(snapshot), Describe(expected)) << EncodingName(encoding);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Tables, DataTypeTableTest,
    ::testing::Values(TableCase{"CountZero", 0, std::nullopt, std::nullopt},
                      TableCase{"CountMinusOne", -1, std::nullopt, std::nullopt},
                      TableCase{"CountMinimum", INT32_MIN, std::nullopt, std::nullopt},
                      TableCase{"PositionNegative", std::nullopt, std::nullopt, -1},
                      TableCase{"PositionMinimum", std::nullopt, std::nullopt, INT32_MIN},
                      TableCase{"PositionMaximum", std::nullopt, std::nullopt, INT32_MAX},
                      TableCase{"PositionAtTheEnd", std::nullopt, 0, std::nullopt},
                      TableCase{"PositionInTheLastWord", std::nullopt, -2, std::nullopt}),
    [](const ::testing::TestParamInfo<TableCase>& info) { return std::string(info.param.name); });

TEST(StructureScan, CountBeyondTheFileRegistersTheRowsThatAreThere) {
    for (const Encoding& encoding : DetectableEncodings()) {
        reswriter::DataTypeRow a = Row("a", 1);
        a.writeBlock = false;
        a.blockPosition = 500;
        reswriter::DataTypeRow b = Row("b", 3);
        b.writeBlock = false;
        b.blockPosition = 600;
        for (int32_t count : {3, 1000, INT32_MAX}) {
            ResFile file = File(encoding, {Sim("t=1", {a, b})});
            file.simulations[0].dataTypeCount = count;
            const Snapshot snapshot = ScanOne(file);
            ASSERT_EQ(snapshot.entries.size(), 2u) << EncodingName(encoding) << " " << count;
            EXPECT_EQ(snapshot.entries[1].name, "b");
            EXPECT_EQ(snapshot.entries[1].locations[0].position, 600);
        }
        ResFile fewer = File(encoding, {Sim("t=1", {a, b})});
        fewer.simulations[0].dataTypeCount = 1;
        const Snapshot snapshot = ScanOne(fewer);
        ASSERT_EQ(snapshot.entries.size(), 1u);
        EXPECT_EQ(snapshot.entries[0].name, "a");
    }
}

TEST(StructureScan, DataTypeOnlyInTheSecondSimulationHasNoLocationForTheFirst) {
    reswriter::TempDir dir;
    ResultPtr result =
        OpenResult(Put(dir, "r.res",
                       File(reswriter::kInt4Real4LE,
                            {Sim("t=1", {Row("p", 1, {{1, {1}}})}),
                             Sim("t=2", {Row("p", 1, {{1, {1}}}), Row("late", 3, {{1, {1}}})})})));
    result->ReadNumSubcases();
    const std::vector<kvresSimulation*> sims = Simulations(*result);
    ASSERT_EQ(sims.size(), 2u);
    const DataTypeEntry* late = result->FindDataType("late");
    ASSERT_NE(late, nullptr);
    int32_t position = -1;
    int32_t fileIndex = -1;
    EXPECT_FALSE(late->FindLocation(sims[0], &position, &fileIndex));
    EXPECT_TRUE(late->FindLocation(sims[1], &position, &fileIndex));
    EXPECT_GT(position, 0);
    EXPECT_EQ(fileIndex, 0);
}

} // namespace
