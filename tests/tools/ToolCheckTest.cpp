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
const Json& Row(const Json& report, int simulation, int row) {
    return report.at("files").at(0).at("simulations").at(simulation).at("dataTypes").at(row);
}

bool HasWarning(const Json& report, const std::string& text) {
    for (const Json& warning : report.at("warnings")) {
        if (warning.get<std::string>().find(text) != std::string::npos) {
            return true;
        }
    }
    return false;
}

TEST(ToolCheckTest, AnIntactFileIsDescribedAndExitsZero) {
    TempDir dir;
    const std::string path = WriteRes(dir, "run.res", Base());
    const Json report = RunJson({"check", path, "--format", "json"}, 0);
    EXPECT_TRUE(report.at("recognized").get<bool>());
    const Json& file = report.at("files").at(0);
    EXPECT_EQ(file.at("encoding").at("trial").get<float>(), 1.0f);
    EXPECT_EQ(file.at("encoding").at("byteOrder").get<std::string>(), "little-endian");
    EXPECT_EQ(file.at("title").get<std::string>(), "Korvane Results");
    EXPECT_EQ(file.at("simulations").at(1).at("sync").get<float>(), 2.0f);
    EXPECT_EQ(Row(report, 0, 0).at("status").get<std::string>(), "ok");
    EXPECT_EQ(Row(report, 0, 0).at("wholeRecords").get<float>(), 2.0f);
    EXPECT_EQ(Row(report, 0, 0).at("bytesNeeded").get<float>(), 4.0f + 2 * 8);
    EXPECT_EQ(report.at("summary").at("blocks").get<float>(), 4.0f);
    EXPECT_EQ(report.at("summary").at("intactBlocks").get<float>(), 4.0f);
    EXPECT_EQ(report.at("warnings").size(), 0u);

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
        const Json report = RunJson({"check", path, "--format", "json"}, 1);
        const Json& row = Row(report, 1, c.row);
        EXPECT_EQ(row.at("status").get<std::string>(), c.status);
        EXPECT_EQ(report.at("summary").at("intactBlocks").get<float>(), 3.0f) << c.status;
        EXPECT_EQ(report.at("problems").size(), 1u) << c.status;
        if (c.status == "cut-short") {
            EXPECT_EQ(row.at("wholeRecords").get<float>(), 0.0f);
            EXPECT_EQ(row.at("endsAt").get<float>(), static_cast<float>(bytes.size()));
        }
    }
}

TEST(ToolCheckTest, UnpresentedKindsAreListedWithoutAProblem) {
    TempDir dir;
    ResFile file = Base();
    file.simulations[0].rows.push_back(DataTypeRow{"scratch", 2, {}, 1 << 20, 0, false});
    file.simulations[0].rows.push_back(DataTypeRow{"future", 12, {{1, {1.0f}}}});
    const Json report = RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json"});
    EXPECT_EQ(Row(report, 0, 2).at("status").get<std::string>(), "not-presented");
    EXPECT_EQ(Row(report, 0, 3).at("status").get<std::string>(), "not-presented");
    EXPECT_EQ(report.at("summary").at("blocks").get<float>(), 4.0f);
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

    const Json kindReport =
        RunJson({"check", WriteRes(dir, "kinds.res", kinds), "--format", "json"}, 0);
    EXPECT_TRUE(HasWarning(kindReport, "'stress' has kind 1 in simulation 1 but kind 3"));
    const Json countReport =
        RunJson({"check", WriteRes(dir, "counts.res", counts), "--format", "json"}, 0);
    EXPECT_TRUE(HasWarning(countReport, "'temperature' has 3 entities in simulation 1 but 2"));
    const Json overlapReport = RunJson({"check", dir.File("overlap.res"), "--format", "json"});
    EXPECT_TRUE(HasWarning(overlapReport, "blocks overlap"));
    EXPECT_EQ(kindReport.at("warnings").size() + countReport.at("warnings").size() +
                  overlapReport.at("warnings").size(),
              3u);
}

TEST(ToolCheckTest, ADataTypeTableCutShortIsAProblem) {
    TempDir dir;
    ResFile file = Base();
    // The last table of the file, with no blocks after it, claims two rows more.
    file.simulations.push_back({"Time = 3", {DataTypeRow{"scratch", 2, {}, 0, 0, false}}, 3});
    const Json report = RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json"}, 1);
    EXPECT_EQ(report.at("files").at(0).at("simulations").at(2).at("status").get<std::string>(),
              "cut-short");
    EXPECT_NE(report.at("problems").at(0).at("what").get<std::string>().find("1 whole rows of 3"),
              std::string::npos);
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
    const Json report = RunJson({"check", dir.File("run.res"), "--format", "json"}, 1);
    ASSERT_EQ(report.at("files").size(), 3u);
    EXPECT_EQ(report.at("files").at(1).at("encoding").at("trial").get<float>(), 6.0f);
    EXPECT_EQ(report.at("files").at(1).at("encoding").at("reals").get<std::string>(),
              "Cray word, 8 bytes");
    EXPECT_EQ(report.at("files").at(1).at("simulations").at(0).at("sync").get<float>(), 3.0f);
    EXPECT_TRUE(report.at("files").at(2).at("opened").get<bool>());
    EXPECT_NE(report.at("files").at(2).at("problem").get<std::string>().find("plausible header"),
              std::string::npos);
    EXPECT_EQ(report.at("summary").at("intactBlocks").get<float>(), 8.0f);
}

TEST(ToolCheckTest, DeepReadsRangesNonFiniteValuesAndIdOrder) {
    TempDir dir;
    ResFile file = Base();
    file.simulations[1].rows[0].records = {{2, {21.0f}},
                                           {1, {std::numeric_limits<float>::infinity()}}};
    const Json report =
        RunJson({"check", WriteRes(dir, "run.res", file), "--format", "json", "--deep"});
    const Json& first = Row(report, 0, 0).at("values");
    EXPECT_EQ(first.at("minimum").at(0).get<float>(), -4.5f);
    EXPECT_EQ(first.at("maximum").at(0).get<float>(), 20.0f);
    EXPECT_TRUE(first.at("idsMatchFirst").get<bool>());
    const Json& second = Row(report, 1, 0).at("values");
    EXPECT_EQ(second.at("infinite").get<float>(), 1.0f);
    EXPECT_FALSE(second.at("idsMatchFirst").get<bool>());
    EXPECT_TRUE(Row(report, 1, 1).at("values").at("idsMatchFirst").get<bool>());
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
    const Json report = RunJson({"check", dir.File("run.res"), "--format", "json"});
    const Json& second = report.at("files").at(0).at("simulations").at(1);
    EXPECT_EQ(second.at("status").get<std::string>(), "shared");
    EXPECT_EQ(second.at("sharedWith").get<float>(), 0.0f);
    EXPECT_EQ(second.at("dataTypes").size(), 0u);
    EXPECT_EQ(report.at("summary").at("blocks").get<float>(), 2.0f);
}

} // namespace
