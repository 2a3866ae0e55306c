// kvres-tool check on files built with the writer, one fault per file: each
// block status once, each warning once, a data-type table cut short, a mixed
// series with a file that fails detection, and --deep's value ranges.
#include "TextFormatter.h"
#include "ToolTestSupport.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <functional>
#include <limits>
#include <regex>
#include <sstream>

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

// The words of problems and warnings: how many whole records of how many,
// where a block lies, in which simulation a kind was first met, and how many
// warnings of one sort went unlisted.
TEST(ToolCheckTest, ProblemsAndWarningsSayWhereAndHowMuch) {
    TempDir dir;
    const auto problem = [&](const std::vector<unsigned char>& bytes) {
        reswriter::WriteFile(dir.File("run.res"), bytes);
        const Json report = RunJson({"check", dir.File("run.res"), "--format", "json"}, 1);
        EXPECT_EQ(report.at("problems").size(), 1u);
        return report.at("problems").at(0).at("what").get<std::string>();
    };
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(Base(), &layout);
    bytes.resize(bytes.size() - 3);
    EXPECT_EQ(problem(bytes), "block of 'stress' cut-short: 0 whole records of 1, the file ends "
                              "at byte " +
                                  std::to_string(bytes.size()));
    bytes = reswriter::Write(Base(), &layout);
    reswriter::PatchInt(bytes, layout.simulations[1].rows[0].blockPosition, 1 << 20,
                        reswriter::kInt4Real4LE);
    EXPECT_EQ(problem(bytes), "block of 'temperature' unreachable (position 1048576)");

    ResFile kinds = Base();
    kinds.simulations[0].rows.pop_back();
    kinds.simulations.push_back(kinds.simulations[1]);
    kinds.simulations[2].rows[1].kind = 1;
    const Json kindReport =
        RunJson({"check", WriteRes(dir, "kinds.res", kinds), "--format", "json"}, 0);
    EXPECT_EQ(kindReport.at("warnings"),
              Json::array({"data type 'stress' has kind 1 in simulation 2 but kind 3 in "
                           "simulation 1 (the first one holds)"}));

    ResFile counts;
    counts.simulations = {{"Time = 1", {}}, {"Time = 2", {}}};
    for (int t = 0; t < 53; ++t) {
        const std::string name = "t" + std::to_string(t);
        counts.simulations[0].rows.push_back(DataTypeRow{name, 1, {{1, {1.0f}}}});
        counts.simulations[1].rows.push_back(DataTypeRow{name, 1, {{1, {1.0f}}, {2, {2.0f}}}});
    }
    const Json countReport =
        RunJson({"check", WriteRes(dir, "counts.res", counts), "--format", "json"}, 0);
    const Json& warnings = countReport.at("warnings");
    ASSERT_EQ(warnings.size(), 51u);
    EXPECT_EQ(warnings.at(0).get<std::string>(),
              "data type 't0' has 2 entities in simulation 1 but 1 before");
    EXPECT_EQ(warnings.at(49).get<std::string>(),
              "data type 't49' has 2 entities in simulation 1 but 1 before");
    EXPECT_EQ(warnings.at(50).get<std::string>(), "3 more entity count differences");
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
    EXPECT_EQ(report.at("files").at(2).at("size").get<float>(),
              33.0f); // its real size, though undetected
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

namespace {

// Two rows of one simulation on one block are each reported under their own
// name, with the kind and count checks charged to their own data type; a name
// met again in the same table is the host's first row only.
TEST(ToolCheckTest, RowsAreChargedToTheirOwnNameAndARepeatedNameToItsFirstRow) {
    TempDir dir;
    {
        ResFile file = Base();
        reswriter::Layout layout;
        std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
        // Simulation 1's stress row points at its temperature block (2 records).
        reswriter::PatchInt(bytes, layout.simulations[1].rows[1].blockPosition,
                            static_cast<int32_t>(layout.simulations[1].rows[0].block),
                            reswriter::kInt4Real4LE);
        reswriter::WriteFile(dir.File("one-block.res"), bytes);
        const Json report = RunJson({"check", dir.File("one-block.res"), "--format", "json"});
        EXPECT_EQ(Row(report, 1, 0).at("hostName").get<std::string>(), "temperature");
        EXPECT_EQ(Row(report, 1, 1).at("hostName").get<std::string>(), "stress");
        EXPECT_EQ(Row(report, 1, 1).at("storedCount").get<float>(), 2.0f);
        EXPECT_TRUE(HasWarning(report, "'stress' has 2 entities in simulation 1 but 1 before"));
        EXPECT_FALSE(HasWarning(report, "'temperature' has"));
    }

    const struct {
        const char* first;
        const char* again; // the same name as the host registers it
        int32_t kind;
    } repeats[] = {{"temperature", "temperature", 1},
                   {"displacement", "Displacements", 0},
                   {"nodal displacement", "displacements", 0}};
    for (const auto& repeat : repeats) {
        ResFile file = Base();
        for (reswriter::Simulation& simulation : file.simulations) {
            simulation.rows[0] = DataTypeRow{repeat.first, repeat.kind, {{1, {1, 2, 3}}}};
            if (repeat.kind == 1) {
                simulation.rows[0].records = {{1, {20.0f}}, {2, {-4.5f}}};
            }
        }
        // Simulation 0 names it again; its block lies beyond the file, but the
        // host never reads it.
        file.simulations[0].rows.push_back(
            DataTypeRow{repeat.again, repeat.kind, {}, 1 << 20, 0, false});
        const Json report =
            RunJson({"check", WriteRes(dir, "repeat.res", file), "--format", "json"}, 0);
        const Json& again = Row(report, 0, 2);
        EXPECT_EQ(again.at("status").get<std::string>(), "repeated") << repeat.again;
        EXPECT_EQ(again.at("hostReadsRow").get<float>(), 0.0f) << repeat.again;
        EXPECT_EQ(report.at("summary").at("blocks").get<float>(), 4.0f) << repeat.again;
        EXPECT_EQ(report.at("problems").size(), 0u) << repeat.again;
        const ToolRun text = ToolRunner::Run({"check", dir.File("repeat.res")});
        EXPECT_NE(text.out.find("repeated (the host reads row 0 for this name)"), std::string::npos)
            << text.out;
    }
}

// The rows of a data-type table as a plain reading of the bytes finds them:
// the count word, then whole rows while the file holds them.
std::vector<std::string> PlainRows(const std::vector<unsigned char>& bytes, std::size_t table) {
    std::vector<std::string> names;
    if (table + 4 > bytes.size()) {
        return names;
    }
    int32_t count = 0;
    std::memcpy(&count, &bytes[table], 4);
    for (int64_t r = 0; r < count; ++r) {
        const std::size_t start = table + 4 + static_cast<std::size_t>(r) * 39;
        if (start + 39 > bytes.size()) {
            break;
        }
        const char* name = reinterpret_cast<const char*>(&bytes[start]);
        names.emplace_back(name, strnlen(name, 31));
    }
    return names;
}

// Tables one row apart, each declaring rows up to the end of the file and
// beyond: each row is listed once, by the first table that reaches it, and
// every table's rows (its own and those it shares) are exactly the rows a
// plain reading finds.
TEST(ToolCheckTest, OverlappingTablesListEachRowOnceAndSayWhichRowsTheyShare) {
    TempDir dir;
    ResFile file;
    constexpr int kRows = 40;
    constexpr int kTables = 120;
    reswriter::Simulation first{"Time = 0", {}};
    for (int r = 0; r < kRows; ++r) {
        first.rows.push_back(DataTypeRow{"t" + std::to_string(r), 1, {{1, {float(r)}}}});
    }
    file.simulations.push_back(first);
    for (int k = 1; k < kTables; ++k) {
        file.simulations.push_back({"Time = " + std::to_string(k), {}});
    }
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    const std::size_t table0 = layout.simulations[0].table;
    for (int k = 1; k < kTables; ++k) {
        reswriter::PatchInt(bytes, layout.simulations[k].tablePosition,
                            static_cast<int32_t>(table0 + static_cast<std::size_t>(k) * 39),
                            reswriter::kInt4Real4LE);
    }
    reswriter::WriteFile(dir.File("overlap.res"), bytes);
    const ToolRun run = ToolRunner::Run({"check", dir.File("overlap.res"), "--format", "json"});
    Json report;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(run.out, report, error)) << error;
    const Json& simulations = report.at("files").at(0).at("simulations");
    ASSERT_EQ(simulations.size(), static_cast<std::size_t>(kTables));

    std::size_t listed = 0;
    for (std::size_t k = 0; k < simulations.size(); ++k) {
        const Json& simulation = simulations.at(k);
        const std::vector<std::string> plain =
            PlainRows(bytes, table0 + k * 39 /* the position patched in */);
        // Rebuild the table from the report: own rows, and shared runs
        // looked up in the simulation that lists them.
        std::vector<std::string> rebuilt(plain.size());
        std::vector<bool> filled(plain.size(), false);
        const Json& own = simulation.at("dataTypes");
        listed += own.size();
        for (std::size_t i = 0; i < own.size(); ++i) {
            const std::size_t row =
                !simulation.contains("sharedRows")
                    ? i
                    : static_cast<std::size_t>(own.at(i).at("row").get<float>());
            ASSERT_LT(row, rebuilt.size()) << k;
            rebuilt[row] = own.at(i).at("name").get<std::string>();
            filled[row] = true;
        }
        if (k > 0 && k < static_cast<std::size_t>(kRows)) {
            // Overlapping, or cut short where the declared rows run past the
            // end; the rows it shares first are the first table's.
            EXPECT_TRUE(simulation.at("status").get<std::string>() == "overlapping" ||
                        simulation.at("status").get<std::string>() == "cut-short")
                << k;
            ASSERT_TRUE(simulation.contains("sharedRows")) << k;
            EXPECT_EQ(simulation.at("sharedRows").at(0).at("simulation").get<float>(), 0.0f) << k;
            EXPECT_EQ(simulation.at("sharedRows").at(0).at("theirRows").at(0).get<float>(),
                      static_cast<float>(k))
                << k;
        }
        if (simulation.contains("sharedRows")) {
            const Json& shared = simulation.at("sharedRows");
            for (const Json& run : shared) {
                const std::size_t from =
                    static_cast<std::size_t>(run.at("rows").at(0).get<float>());
                const std::size_t to = static_cast<std::size_t>(run.at("rows").at(1).get<float>());
                const Json& other =
                    simulations.at(static_cast<std::size_t>(run.at("simulation").get<float>()));
                const std::size_t theirs =
                    static_cast<std::size_t>(run.at("theirRows").at(0).get<float>());
                for (std::size_t r = from; r <= to && r < rebuilt.size(); ++r) {
                    // The other table's listed row with that row number.
                    const Json& otherRows = other.at("dataTypes");
                    bool found = false;
                    for (std::size_t i = 0; i < otherRows.size(); ++i) {
                        const std::size_t number =
                            !other.contains("sharedRows")
                                ? i
                                : static_cast<std::size_t>(otherRows.at(i).at("row").get<float>());
                        if (number == theirs + (r - from)) {
                            rebuilt[r] = otherRows.at(i).at("name").get<std::string>();
                            filled[r] = true;
                            found = true;
                        }
                    }
                    EXPECT_TRUE(found) << "simulation " << k << " row " << r;
                }
            }
        }
        for (std::size_t r = 0; r < plain.size(); ++r) {
            ASSERT_TRUE(filled[r]) << "simulation " << k << " row " << r;
            ASSERT_EQ(rebuilt[r], plain[r]) << "simulation " << k << " row " << r;
        }
    }
    // Rows in distinct bytes: at most one per 39 bytes of the file.
    EXPECT_LE(listed, bytes.size() / 39 + 1);
}

} // namespace

namespace {

// The text form of check against its JSON form of the same file: every
// number and verdict the text shows is read back from it and found in the
// JSON, on files that show each part of the text once.
struct TextCase {
    const char* name;
    std::function<std::vector<unsigned char>()> bytes;
};

std::ostream& operator<<(std::ostream& out, const TextCase& c) {
    return out << c.name;
}

float FloatIn(const std::string& text) {
    return std::strtof(text.c_str(), nullptr);
}

class CheckTextTest : public ::testing::TestWithParam<TextCase> {};

TEST_P(CheckTextTest, TheTextSaysWhatTheJsonSays) {
    TempDir dir;
    const std::string path = dir.File("run.res");
    reswriter::WriteFile(path, GetParam().bytes());
    const ToolRun json = ToolRunner::Run({"check", path, "--deep", "--format", "json"});
    Json report;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(json.out, report, error)) << error;
    const ToolRun run = ToolRunner::Run({"check", path, "--deep"});
    EXPECT_EQ(run.exitCode, json.exitCode);
    std::vector<std::string> lines;
    std::istringstream text(run.out);
    for (std::string line; std::getline(text, line);) {
        lines.push_back(line);
    }
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "file " + path + " (every block read)");

    const std::regex simulationLine(
        R"re(  simulation "(.*)", sync (\S+), table at (\d+): ([a-z-]+)( with simulation (\d+) \(rows listed there\))?)re");
    const std::regex sharedLine(
        R"re(    rows (\d+) to (\d+) are rows (\d+) to (\d+) of simulation (\d+) \(listed there\))re");
    const std::regex rowLine(
        R"re(    (row (\d+): )?(\S+), kind (-?\d+) \([^)]*\)(, block at (-?\d+))?(, (\d+) entities, (\d+) bytes needed, (\d+) available, (\d+) whole records)?: ([a-z-]+)( \(the host reads row (\d+) for this name\))?( \(the file ends at byte (\d+)\))?)re");
    const std::regex component(R"re(component (\d+) (no finite value|(\S+) to ([^,;]+)))re");
    const std::regex counts(
        R"re(; (\d+) NaN, (\d+) infinite; ids (as in|differ from) the first simulation$)re");
    const Json& simulations = report.at("files").at(0).at("simulations");
    int simulation = -1;
    std::size_t row = 0, shared = 0, checkedRows = 0;
    const Json* lastRow = nullptr;
    for (const std::string& line : lines) {
        std::smatch m;
        if (std::regex_match(line, m, simulationLine)) {
            const Json& s = simulations.at(++simulation);
            row = shared = 0;
            EXPECT_EQ(m[1].str(), s.at("label").get<std::string>()) << line;
            EXPECT_EQ(FloatIn(m[2]), s.at("sync").get<float>()) << line;
            EXPECT_EQ(std::stoll(m[3]), s.at("tablePosition").get<std::int64_t>()) << line;
            EXPECT_EQ(m[4].str(), s.at("status").get<std::string>()) << line;
            EXPECT_EQ(m[5].matched, s.contains("sharedWith")) << line;
            if (m[5].matched) {
                EXPECT_EQ(std::stoll(m[6]), s.at("sharedWith").get<std::int64_t>()) << line;
            }
        } else if (std::regex_match(line, m, sharedLine)) {
            const Json& k = simulations.at(simulation).at("sharedRows").at(shared++);
            EXPECT_EQ(std::stoll(m[1]), k.at("rows").at(0).get<std::int64_t>()) << line;
            EXPECT_EQ(std::stoll(m[2]), k.at("rows").at(1).get<std::int64_t>()) << line;
            EXPECT_EQ(std::stoll(m[3]), k.at("theirRows").at(0).get<std::int64_t>()) << line;
            EXPECT_EQ(std::stoll(m[4]), k.at("theirRows").at(1).get<std::int64_t>()) << line;
            EXPECT_EQ(std::stoll(m[5]), k.at("simulation").get<std::int64_t>()) << line;
        } else if (std::regex_match(line, m, rowLine)) {
            const Json& r = simulations.at(simulation).at("dataTypes").at(row++);
            lastRow = &r;
            ++checkedRows;
            EXPECT_EQ(m[1].matched, r.contains("row")) << line;
            if (m[1].matched) {
                EXPECT_EQ(std::stoll(m[2]), r.at("row").get<std::int64_t>()) << line;
            }
            EXPECT_EQ(m[3].str(), TextFormatter::Printable(r.at("name").get<std::string>()))
                << line;
            EXPECT_EQ(std::stoll(m[4]), r.at("kind").get<std::int64_t>()) << line;
            if (m[5].matched) {
                EXPECT_EQ(std::stoll(m[6]), r.at("blockPosition").get<std::int64_t>()) << line;
            }
            if (m[7].matched) {
                EXPECT_EQ(std::stoll(m[8]), r.at("storedCount").get<std::int64_t>()) << line;
                EXPECT_EQ(std::stoll(m[9]), r.at("bytesNeeded").get<std::int64_t>()) << line;
                EXPECT_EQ(std::stoll(m[10]), r.at("bytesAvailable").get<std::int64_t>()) << line;
                EXPECT_EQ(std::stoll(m[11]), r.at("wholeRecords").get<std::int64_t>()) << line;
            }
            EXPECT_EQ(m[12].str(), r.at("status").get<std::string>()) << line;
            EXPECT_EQ(m[13].matched, r.contains("hostReadsRow")) << line;
            if (m[13].matched) {
                EXPECT_EQ(std::stoll(m[14]), r.at("hostReadsRow").get<std::int64_t>()) << line;
            }
            EXPECT_EQ(m[15].matched, r.contains("endsAt")) << line;
            if (m[15].matched) {
                EXPECT_EQ(std::stoll(m[16]), r.at("endsAt").get<std::int64_t>()) << line;
            }
        } else if (line.rfind("      component ", 0) == 0) {
            ASSERT_NE(lastRow, nullptr) << line;
            const Json& values = lastRow->at("values");
            std::size_t c = 0;
            for (auto it = std::sregex_iterator(line.begin(), line.end(), component);
                 it != std::sregex_iterator(); ++it, ++c) {
                EXPECT_EQ(std::stoul((*it)[1]), c) << line;
                const bool finite = (*it)[3].matched;
                EXPECT_EQ(finite, !values.at("minimum").at(c).is_null()) << line;
                if (finite) {
                    EXPECT_EQ(FloatIn((*it)[3]), values.at("minimum").at(c).get<float>()) << line;
                    EXPECT_EQ(FloatIn((*it)[4]), values.at("maximum").at(c).get<float>()) << line;
                }
            }
            EXPECT_EQ(c, values.at("minimum").size()) << line;
            ASSERT_TRUE(std::regex_search(line, m, counts)) << line;
            EXPECT_EQ(std::stoll(m[1]), values.at("nan").get<std::int64_t>()) << line;
            EXPECT_EQ(std::stoll(m[2]), values.at("infinite").get<std::int64_t>()) << line;
            EXPECT_EQ(m[3].str() == "as in", values.at("idsMatchFirst").get<bool>()) << line;
        }
    }
    EXPECT_EQ(simulation + 1, static_cast<int>(simulations.size()));
    std::size_t rows = 0;
    for (const Json& s : simulations) {
        rows += s.at("dataTypes").size();
    }
    EXPECT_EQ(checkedRows, rows);
}

std::vector<unsigned char>
Patched(const ResFile& file,
        const std::function<void(std::vector<unsigned char>&, const reswriter::Layout&)>& patch) {
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    patch(bytes, layout);
    return bytes;
}

INSTANTIATE_TEST_SUITE_P(
    Files, CheckTextTest,
    ::testing::Values(
        TextCase{"ranges",
                 [] {
                     ResFile file = Base();
                     file.simulations[1].rows[0].records = {
                         {2, {21.0f}}, {1, {std::numeric_limits<float>::infinity()}}};
                     file.simulations[1].rows[1].records = {{101, {0.1f}}, {102, {-3e-7f}}};
                     return reswriter::Write(file);
                 }},
        TextCase{"cut short",
                 [] {
                     ResFile file = Base();
                     file.simulations[1].rows[1].entityCount = 4;
                     return reswriter::Write(file);
                 }},
        TextCase{"shared table",
                 [] {
                     return Patched(Base(), [](std::vector<unsigned char>& bytes,
                                               const reswriter::Layout& layout) {
                         reswriter::PatchInt(bytes, layout.simulations[1].tablePosition,
                                             static_cast<int32_t>(layout.simulations[0].table),
                                             reswriter::kInt4Real4LE);
                     });
                 }},
        TextCase{"overlapping tables",
                 [] {
                     ResFile file;
                     reswriter::Simulation first{"Time = 0", {}};
                     for (int r = 0; r < 4; ++r) {
                         first.rows.push_back(
                             DataTypeRow{"t" + std::to_string(r), 1, {{1, {float(r)}}}});
                     }
                     file.simulations = {first, {"Time = 1", {}}, {"Time = 2", {}}};
                     return Patched(file, [](std::vector<unsigned char>& bytes,
                                             const reswriter::Layout& layout) {
                         // Tables one and two start one and two rows into table zero.
                         for (int k = 1; k <= 2; ++k) {
                             reswriter::PatchInt(
                                 bytes, layout.simulations[k].tablePosition,
                                 static_cast<int32_t>(layout.simulations[0].table + k * 39),
                                 reswriter::kInt4Real4LE);
                         }
                     });
                 }},
        TextCase{
            "a name twice",
            [] {
                ResFile file = Base();
                file.simulations[0].rows.push_back(DataTypeRow{"temperature", 1, {{1, {1.0f}}}});
                return reswriter::Write(file);
            }}),
    [](const ::testing::TestParamInfo<TextCase>& info) {
        std::string name = info.param.name;
        std::replace(name.begin(), name.end(), ' ', '_');
        return name;
    });

} // namespace
