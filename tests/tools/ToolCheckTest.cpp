// kvres-tool check on files built with the writer, one fault per file: each
// block status once, each warning once, a data-type table cut short, a mixed
// series with a file that fails detection, and --deep's value ranges.
#include "ToolTestSupport.h"

#include <fstream>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::RunJson;
using tooltest::WriteRes;

ResFile Base() {
    ResFile file;
    file.simulations.push_back({"Time = 1",
                                {DataTypeRow{"temperature", 1, {{1, {20.0f}}, {2, {-4.5f}}}},
                                 DataTypeRow{"stress", 3, {{101, {5.0f}}}}}});
    file.simulations.push_back({"Time = 2",
                                {DataTypeRow{"temperature", 1, {{1, {21.0f}}, {2, {-5.0f}}}},
                                 DataTypeRow{"stress", 3, {{101, {6.0f}}}}}});
    return file;
}

// The row `row` of simulation `simulation` in the first file of a report.
const JsonValue& Row(const JsonValue& report, int simulation, int row) {
    return report["files"][0]["simulations"][simulation]["dataTypes"][row];
}

bool HasWarning(const JsonValue& report, const std::string& text) {
    for (const JsonValue& warning : report["warnings"].Items()) {
        if (warning.Text().find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(ToolCheckTest, AnIntactFileIsDescribedAndExitsZero) {
    TempDir dir;
    const std::string path = WriteRes(dir, "run.res", Base());
    const JsonValue report = RunJson({"check", path, "--format", "json"}, 0);
    EXPECT_TRUE(report["recognized"].AsBool());
    const JsonValue& file = report["files"][0];
    EXPECT_EQ(file["encoding"]["trial"].AsFloat(), 1.0f);
    EXPECT_EQ(file["encoding"]["byteOrder"].Text(), "little-endian");
    EXPECT_EQ(file["title"].Text(), "Korvane Results");
    EXPECT_EQ(file["simulations"][1]["sync"].AsFloat(), 2.0f);
    EXPECT_EQ(Row(report, 0, 0)["status"].Text(), "ok");
    EXPECT_EQ(Row(report, 0, 0)["wholeRecords"].AsFloat(), 2.0f);
    EXPECT_EQ(Row(report, 0, 0)["bytesNeeded"].AsFloat(), 4.0f + 2 * 8);
    EXPECT_EQ(report["summary"]["blocks"].AsFloat(), 4.0f);
    EXPECT_EQ(report["summary"]["intactBlocks"].AsFloat(), 4.0f);
    EXPECT_EQ(report["warnings"].Size(), 0u);

    const ToolRun text = ToolRunner::Run({"check", path});
    EXPECT_EQ(text.exitCode, 0);
    EXPECT_NE(text.out.find("summary: 1 file, 2 simulations, 4 blocks, 4 intact, 0 problems"),
              std::string::npos)
        << text.out;
}

TEST(ToolCheckTest, EachBlockFaultHasItsStatus) {
    struct Case {
        std::string status;
        int row; // in simulation 1
        void (*damage)(ResFile&, std::vector<unsigned char>&, const reswriter::Layout&);
    };
    const Case cases[] = {
        {"cut-short", 1,
         [](ResFile&, std::vector<unsigned char>& bytes, const reswriter::Layout&) {
             bytes.resize(bytes.size() - 3);
         }},
        {"unreachable", 0,
         [](ResFile&, std::vector<unsigned char>& bytes, const reswriter::Layout& layout) {
             reswriter::PatchInt(bytes, layout.simulations[1].rows[0].blockPosition, 1 << 20,
                                 reswriter::kInt4Real4LE);
         }},
        {"count-unreadable", 0,
         [](ResFile&, std::vector<unsigned char>& bytes, const reswriter::Layout& layout) {
             reswriter::PatchInt(bytes, layout.simulations[1].rows[0].blockPosition,
                                 static_cast<int32_t>(bytes.size() - 2), reswriter::kInt4Real4LE);
         }},
        {"negative-count", 0,
         [](ResFile&, std::vector<unsigned char>& bytes, const reswriter::Layout& layout) {
             reswriter::PatchInt(bytes, layout.simulations[1].rows[0].entityCount, -1,
                                 reswriter::kInt4Real4LE);
         }},
    };
    for (const Case& c : cases) {
        TempDir dir;
        ResFile file = Base();
        reswriter::Layout layout;
        std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
        c.damage(file, bytes, layout);
        const std::string path = dir.File("run.res");
        reswriter::WriteFile(path, bytes);
        const JsonValue report = RunJson({"check", path, "--format", "json"}, 1);
        const JsonValue& row = Row(report, 1, c.row);
        EXPECT_EQ(row["status"].Text(), c.status);
        EXPECT_EQ(report["summary"]["intactBlocks"].AsFloat(), 3.0f) << c.status;
        EXPECT_EQ(report["problems"].Size(), 1u) << c.status;
        if (c.status == "cut-short") {
            EXPECT_EQ(row["wholeRecords"].AsFloat(), 0.0f);
            EXPECT_EQ(row["endsAt"].AsFloat(), static_cast<float>(bytes.size()));
        }
    }
}

TEST(ToolCheckTest, UnpresentedKindsAreListedWithoutAProblem) {
    TempDir dir;
    ResFile file = Base();
    file.simulations[0].rows.push_back(DataTypeRow{"scratch", 2, {}, 1 << 20, 0, false});
    file.simulations[0].rows.push_back(DataTypeRow{"future", 12, {{1, {1.0f}}}});
    const JsonValue report = RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json"});
    EXPECT_EQ(Row(report, 0, 2)["status"].Text(), "not-presented");
    EXPECT_EQ(Row(report, 0, 3)["status"].Text(), "not-presented");
    EXPECT_EQ(report["summary"]["blocks"].AsFloat(), 4.0f);
}

TEST(ToolCheckTest, WarningsForOverlapsKindsAndCounts) {
    TempDir dir;
    ResFile kinds = Base();
    kinds.simulations[1].rows[1].kind = 1; // stress: kind 3 first, then 1
    ResFile counts = Base();
    counts.simulations[1].rows[0].records.push_back({3, {7.0f}});
    ResFile overlap = Base();
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(overlap, &layout);
    reswriter::PatchInt(bytes, layout.simulations[1].rows[1].blockPosition,
                        static_cast<int32_t>(layout.simulations[1].rows[0].block + 4),
                        reswriter::kInt4Real4LE);
    reswriter::WriteFile(dir.File("overlap.res"), bytes);

    const JsonValue kindReport =
        RunJson({"check", WriteRes(dir, "kinds.res", kinds), "--format", "json"}, 0);
    EXPECT_TRUE(HasWarning(kindReport, "'stress' has kind 1 in simulation 1 but kind 3"));
    const JsonValue countReport =
        RunJson({"check", WriteRes(dir, "counts.res", counts), "--format", "json"}, 0);
    EXPECT_TRUE(HasWarning(countReport, "'temperature' has 3 entities in simulation 1 but 2"));
    const JsonValue overlapReport = RunJson({"check", dir.File("overlap.res"), "--format", "json"});
    EXPECT_TRUE(HasWarning(overlapReport, "blocks overlap"));
    EXPECT_EQ(kindReport["warnings"].Size() + countReport["warnings"].Size() +
                  overlapReport["warnings"].Size(),
              3u);
}

TEST(ToolCheckTest, ADataTypeTableCutShortIsAProblem) {
    TempDir dir;
    ResFile file = Base();
    // The last table of the file, with no blocks after it, claims two rows more.
    file.simulations.push_back({"Time = 3", {DataTypeRow{"scratch", 2, {}, 0, 0, false}}, 3});
    const JsonValue report =
        RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json"}, 1);
    EXPECT_EQ(report["files"][0]["simulations"][2]["status"].Text(), "cut-short");
    EXPECT_NE(report["problems"][0]["what"].Text().find("1 whole rows of 3"), std::string::npos);
}

TEST(ToolCheckTest, AMixedSeriesShowsEachEncodingAndAFileThatFailsDetection) {
    TempDir dir;
    WriteRes(dir, "run.res", Base());
    ResFile cray = Base();
    cray.encoding = reswriter::kInt8SecondCray8BE;
    cray.simulations[0].label = "Time = 3";
    cray.simulations[1].label = "Time = 4";
    WriteRes(dir, "run1.res", cray);
    std::ofstream(dir.File("run2.res")) << "Korvane Results, but nothing more";
    const JsonValue report = RunJson({"check", dir.File("run.res"), "--format", "json"}, 1);
    ASSERT_EQ(report["files"].Size(), 3u);
    EXPECT_EQ(report["files"][1]["encoding"]["trial"].AsFloat(), 6.0f);
    EXPECT_EQ(report["files"][1]["encoding"]["reals"].Text(), "Cray word, 8 bytes");
    EXPECT_EQ(report["files"][1]["simulations"][0]["sync"].AsFloat(), 3.0f);
    EXPECT_TRUE(report["files"][2]["opened"].AsBool());
    EXPECT_NE(report["files"][2]["problem"].Text().find("plausible header"), std::string::npos);
    EXPECT_EQ(report["summary"]["intactBlocks"].AsFloat(), 8.0f);
}

TEST(ToolCheckTest, DeepReadsRangesNonFiniteValuesAndIdOrder) {
    TempDir dir;
    ResFile file = Base();
    file.simulations[1].rows[0].records = {{2, {21.0f}},
                                           {1, {std::numeric_limits<float>::infinity()}}};
    const JsonValue report =
        RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json", "--deep"});
    const JsonValue& first = Row(report, 0, 0)["values"];
    EXPECT_EQ(first["minimum"][0].AsFloat(), -4.5f);
    EXPECT_EQ(first["maximum"][0].AsFloat(), 20.0f);
    EXPECT_TRUE(first["idsMatchFirst"].AsBool());
    const JsonValue& second = Row(report, 1, 0)["values"];
    EXPECT_EQ(second["infinite"].AsFloat(), 1.0f);
    EXPECT_FALSE(second["idsMatchFirst"].AsBool());
    EXPECT_TRUE(Row(report, 1, 1)["values"]["idsMatchFirst"].AsBool());
}

TEST(ToolCheckTest, MissingAndForeignFilesExitThree) {
    TempDir dir;
    ResFile foreign = Base();
    foreign.title = "Other Results";
    EXPECT_EQ(ToolRunner::Run({"check", dir.File("none.res")}).exitCode, 3);
    const ToolRun run = ToolRunner::Run({"check", WriteRes(dir, "foreign.res", foreign)});
    EXPECT_EQ(run.exitCode, 3);
    EXPECT_NE(run.err.find("not recognised"), std::string::npos) << run.err;
}

} // namespace

namespace {

TEST(ToolCheckTest, ASharedTableIsListedOnce) {
    TempDir dir;
    ResFile file = Base();
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    reswriter::PatchInt(bytes, layout.simulations[1].tablePosition,
                        static_cast<int32_t>(layout.simulations[0].table), reswriter::kInt4Real4LE);
    reswriter::WriteFile(dir.File("run.res"), bytes);
    const JsonValue report = RunJson({"check", dir.File("run.res"), "--format", "json"});
    const JsonValue& second = report["files"][0]["simulations"][1];
    EXPECT_EQ(second["status"].Text(), "shared");
    EXPECT_EQ(second["sharedWith"].AsFloat(), 0.0f);
    EXPECT_EQ(second["dataTypes"].Size(), 0u);
    EXPECT_EQ(report["summary"]["blocks"].AsFloat(), 2.0f);
}

} // namespace
