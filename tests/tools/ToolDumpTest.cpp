// kvres-tool dump --format json end to end through the real plug-in: every
// kind 0-8 in every encoding the writer offers, read the complex way and the
// real way, with entity ids, against values computed from the reals stored
// in the file; plus the document's key order, selections, label bytes, the
// text of floats, and the CSV and text forms.
#include "ToolTestSupport.h"

#include <cmath>
#include <cstdlib>
#include <limits>
#include <regex>
#include <sstream>

namespace {

using reswriter::DataTypeRow;
using reswriter::Encoding;
using reswriter::Record;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::Radians;
using tooltest::RunJson;
using tooltest::WriteRes;

// One row of every kind; the reals are made representable in `encoding`, so
// what the file holds is exactly what the rows say.
std::vector<DataTypeRow> KindRows(const Encoding& encoding, float step) {
    auto r = [&](float value) { return reswriter::Representable(value, encoding); };
    return {
        {"displacements",
         0,
         {{1, {r(0.5f * step), r(-1.25f), r(3.0f)}}, {2, {r(0.75f), r(2.5f), r(-4.0f)}}}},
        {"temperature", 1, {{1, {r(20.5f + step)}}, {2, {r(-3.75f)}}, {3, {r(100.0f)}}}},
        {"ignored", 2, {{1, {r(9.0f)}}}},
        {"stress", 3, {{101, {r(1.5e6f * step)}}, {102, {r(-2.0e5f)}}}},
        {"velocity (c)",
         4,
         {{1, {r(1.5f), r(90.0f), r(2.0f), r(-45.0f), r(0.25f), r(180.0f)}},
          {2, {r(3.0f), r(10.0f), r(0.5f), r(-90.0f), r(1.0f), r(0.0f)}}}},
        {"pressure", 5, {{2, {r(12.0f * step), r(30.0f)}}, {3, {r(6.5f), r(-60.0f)}}}},
        {"strain", 6, {{101, {r(0.001f), r(45.0f)}}, {102, {r(0.002f), r(-135.0f)}}}},
        {"flux", 7, {{1, {r(5.0f), r(60.0f), r(1.0f)}}, {3, {r(7.0f * step), r(-30.0f), r(2.0f)}}}},
        {"energy", 8, {{101, {r(8.0f), r(15.0f), r(0.5f)}}, {102, {r(9.0f), r(-15.0f), r(step)}}}},
    };
}

ResFile KindsFile(const Encoding& encoding) {
    ResFile file;
    file.encoding = encoding;
    file.simulations.push_back({"Freq = 10", KindRows(encoding, 1.0f)});
    std::vector<DataTypeRow> second = KindRows(encoding, 2.0f);
    second.erase(second.begin() + 3); // no element stress in the second simulation
    file.simulations.push_back({"Freq = 20", second});
    return file;
}

struct HostType {
    std::string name;
    int binding;
    int format;
    std::string row; // the file's data-type row it comes from
    int component;   // the component of a triple, or -1
};

// The data types the plug-in presents for KindRows, in creation order.
const std::vector<HostType>& HostTypes() {
    static const std::vector<HostType> types = {
        {"displacement_NC", 1, 2, "displacements", -1},
        {"temperature", 1, 1, "temperature", -1},
        {"stress", 2, 1, "stress", -1},
        {"velocity", 1, 2, "velocity (c)", -1},
        {"pressure", 1, 1, "pressure", -1},
        {"strain", 2, 1, "strain", -1},
        {"flux:Magnitude", 1, 1, "flux", 0},
        {"flux:Phase", 1, 1, "flux", 1},
        {"flux:Offset", 1, 1, "flux", 2},
        {"energy:Magnitude", 2, 1, "energy", 0},
        {"energy:Phase", 2, 1, "energy", 1},
        {"energy:Offset", 2, 1, "energy", 2},
    };
    return types;
}

const DataTypeRow* FindRow(const std::vector<DataTypeRow>& rows, const std::string& name) {
    for (const DataTypeRow& row : rows) {
        if (row.name == name) {
            return &row;
        }
    }
    return nullptr;
}

// The floats a value of `type` should carry for `record`, flattened in the
// order the JSON nests them.
std::vector<float> ExpectedValue(const DataTypeRow& row, const HostType& type, const Record& record,
                                 bool complex) {
    const std::vector<float>& v = record.reals;
    if (type.component >= 0) {
        const float value = v[static_cast<std::size_t>(type.component)];
        return complex ? std::vector<float>{value, 0.0f} : std::vector<float>{value};
    }
    switch (row.kind) {
    case 0:
        return complex ? std::vector<float>{v[0], v[1], v[2], 0.0f, 0.0f, 0.0f}
                       : std::vector<float>{v[0], v[1], v[2]};
    case 1:
    case 3:
        return complex ? std::vector<float>{v[0], 0.0f} : std::vector<float>{v[0]};
    case 4:
        return {v[0], v[2], v[4], Radians(v[1]), Radians(v[3]), Radians(v[5])};
    case 5:
    case 6:
        return complex ? std::vector<float>{v[0], Radians(v[1])} : std::vector<float>{v[0]};
    }
    return {};
}

void Flatten(const Json& value, std::vector<float>& out) {
    if (value.is_array()) {
        for (const Json& item : value) {
            Flatten(item, out);
        }
    } else {
        out.push_back(value.get<float>());
    }
}

// The nesting depth of one value: 0 number, 1 [..], 2 [[..],[..]].
int Depth(const Json& value) {
    return value.is_array() && value.size() > 0 ? 1 + Depth(value.at(0)) : 0;
}

class ToolDumpKindsTest : public ::testing::TestWithParam<Encoding> {
protected:
    void SetUp() override {
        file = KindsFile(GetParam());
        path = WriteRes(dir, "kinds.res", file);
    }

    // Checks every data set of `document` against the file's reals.
    void ExpectValues(const Json& document, bool complex) {
        const Json& simulations = document.at("subcases").at(0).at("simulations");
        ASSERT_EQ(simulations.size(), file.simulations.size());
        for (std::size_t s = 0; s < file.simulations.size(); ++s) {
            const std::vector<DataTypeRow>& rows = file.simulations[s].rows;
            const Json& dataSets = simulations.at(s).at("dataSets");
            std::size_t next = 0;
            for (const HostType& type : HostTypes()) {
                const DataTypeRow* row = FindRow(rows, type.row);
                if (row == nullptr) {
                    continue; // no block in this simulation: no data set
                }
                ASSERT_LT(next, dataSets.size());
                const Json& dataSet = dataSets.at(next++);
                SCOPED_TRACE("simulation " + std::to_string(s) + ", " + type.name);
                EXPECT_EQ(dataSet.at("dataType").get<std::string>(), type.name);
                EXPECT_EQ(dataSet.at("read").get<std::string>(), complex ? "complex" : "real");
                EXPECT_TRUE(dataSet.at("ok").get<bool>());
                ASSERT_EQ(dataSet.at("ids").size(), row->records.size());
                ASSERT_EQ(dataSet.at("values").size(), row->records.size());
                if (!complex && row->kind == 4) {
                    continue; // a real read of 6-real records is not meaningful
                }
                const int depth = complex ? (type.format == 2 ? 2 : 1) : (type.format == 2 ? 1 : 0);
                for (std::size_t i = 0; i < row->records.size(); ++i) {
                    EXPECT_EQ(dataSet.at("ids").at(i).get<long long>(), row->records[i].id);
                    EXPECT_EQ(Depth(dataSet.at("values").at(i)), depth);
                    std::vector<float> actual;
                    Flatten(dataSet.at("values").at(i), actual);
                    EXPECT_EQ(actual, ExpectedValue(*row, type, row->records[i], complex))
                        << "entity " << i;
                }
            }
            EXPECT_EQ(next, dataSets.size());
        }
    }

    TempDir dir;
    ResFile file;
    std::string path;
};

TEST_P(ToolDumpKindsTest, StructureFollowsTheContract) {
    const Json document = RunJson({"dump", path, "--format", "json"});
    EXPECT_EQ(tooltest::Keys(document),
              (std::vector<std::string>{"file", "recognized", "subcases"}));
    EXPECT_EQ(document.at("file").get<std::string>(), path);
    EXPECT_TRUE(document.at("recognized").get<bool>());
    ASSERT_EQ(document.at("subcases").size(), 1u);
    const Json& subcase = document.at("subcases").at(0);
    EXPECT_EQ(tooltest::Keys(subcase),
              (std::vector<std::string>{"id", "label", "type", "dataTypes", "simulations"}));
    EXPECT_EQ(subcase.at("id").get<long long>(), 1);
    EXPECT_EQ(subcase.at("label").get<std::string>(), "Loadcase 1");
    EXPECT_EQ(subcase.at("type").get<long long>(), 1);

    const Json& types = subcase.at("dataTypes");
    ASSERT_EQ(types.size(), HostTypes().size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        EXPECT_EQ(tooltest::Keys(types.at(t)),
                  (std::vector<std::string>{"name", "binding", "format"}));
        EXPECT_EQ(types.at(t).at("name").get<std::string>(), HostTypes()[t].name);
        EXPECT_EQ(types.at(t).at("binding").get<long long>(), HostTypes()[t].binding)
            << HostTypes()[t].name;
        EXPECT_EQ(types.at(t).at("format").get<long long>(), HostTypes()[t].format)
            << HostTypes()[t].name;
    }

    const Json& simulations = subcase.at("simulations");
    ASSERT_EQ(simulations.size(), 2u);
    EXPECT_EQ(tooltest::Keys(simulations.at(0)),
              (std::vector<std::string>{"label", "sync", "dataSets"}));
    EXPECT_EQ(simulations.at(0).at("label").get<std::string>(), "Freq = 10");
    EXPECT_EQ(simulations.at(0).at("sync").get<float>(), 10.0f);
    EXPECT_EQ(simulations.at(1).at("sync").get<float>(), 20.0f);
    EXPECT_EQ(tooltest::Keys(simulations.at(0).at("dataSets").at(0)),
              (std::vector<std::string>{"dataType", "read", "ok", "ids", "values"}));
    EXPECT_EQ(simulations.at(0).at("dataSets").size(), HostTypes().size());
    EXPECT_EQ(simulations.at(1).at("dataSets").size(), HostTypes().size() - 1);
}

TEST_P(ToolDumpKindsTest, AutoReadIsComplexForAComplexSubcase) {
    ExpectValues(RunJson({"dump", path, "--format", "json"}), true);
    ExpectValues(RunJson({"dump", path, "--format", "json", "--read", "complex"}), true);
}

TEST_P(ToolDumpKindsTest, RealReadDeliversTheStoredReals) {
    ExpectValues(RunJson({"dump", path, "--format=json", "--read=real"}), false);
}

TEST_P(ToolDumpKindsTest, EntityIdsComeFromTheFirstSimulation) {
    const Json document = RunJson({"dump", path, "--format", "json", "--entity-ids"});
    const Json& types = document.at("subcases").at(0).at("dataTypes");
    ASSERT_EQ(types.size(), HostTypes().size());
    for (std::size_t t = 0; t < types.size(); ++t) {
        const DataTypeRow* row = FindRow(file.simulations[0].rows, HostTypes()[t].row);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(
            tooltest::Keys(types.at(t)),
            (std::vector<std::string>{"name", "binding", "format", "entityIds", "entityCount"}));
        EXPECT_EQ(types.at(t).at("entityCount").get<long long>(),
                  static_cast<long long>(row->records.size()));
        ASSERT_EQ(types.at(t).at("entityIds").size(), row->records.size());
        for (std::size_t i = 0; i < row->records.size(); ++i) {
            EXPECT_EQ(types.at(t).at("entityIds").at(i).get<long long>(), row->records[i].id);
        }
    }
}

std::string EncodingName(const ::testing::TestParamInfo<Encoding>& info) {
    const Encoding& e = info.param;
    const char* ints = e.intFormat == reswriter::IntFormat::Int4        ? "Int4"
                       : e.intFormat == reswriter::IntFormat::Int8First ? "Int8First"
                                                                        : "Int8Second";
    const char* reals = e.realFormat == reswriter::RealFormat::Real4   ? "Real4"
                        : e.realFormat == reswriter::RealFormat::Real8 ? "Real8"
                                                                       : "Cray8";
    return std::string(ints) + reals + (e.bigEndian ? "BE" : "LE");
}

// The encodings a file can be detected in: 4-byte integers with IEEE singles
// and 8-byte integers (value in the second half) with Cray reals, each in
// both byte orders.
INSTANTIATE_TEST_SUITE_P(Encodings, ToolDumpKindsTest,
                         ::testing::Values(reswriter::kInt4Real4LE, reswriter::kInt4Real4BE,
                                           reswriter::kInt8SecondCray8LE,
                                           reswriter::kInt8SecondCray8BE),
                         EncodingName);

ResFile RealFile() {
    ResFile file;
    file.simulations.push_back({"Time 0.1",
                                {DataTypeRow{"displacements", 0, {{1, {1.0f, 2.0f, 3.0f}}}},
                                 DataTypeRow{"temperature", 1, {{1, {3.1415927f}}, {2, {0.1f}}}},
                                 DataTypeRow{"pressure", 5, {{1, {4.0f, 90.0f}}}}}});
    file.simulations.push_back(
        {"Time 0.2", {DataTypeRow{"temperature", 1, {{1, {1.0f}}, {2, {-150.0f}}}}}});
    return file;
}

TEST(ToolDumpTest, AutoReadIsRealWithoutComplexBlocks) {
    TempDir dir;
    const std::string path = WriteRes(dir, "real.res", RealFile());
    const Json document = RunJson({"dump", path, "--format", "json"});
    const Json& subcase = document.at("subcases").at(0);
    EXPECT_EQ(subcase.at("type").get<long long>(), 2);
    EXPECT_EQ(subcase.at("dataTypes").at(0).at("name").get<std::string>(),
              "displacement"); // no "_NC"
    const Json& first = subcase.at("simulations").at(0).at("dataSets");
    ASSERT_EQ(first.size(), 3u);
    EXPECT_EQ(first.at(0).at("read").get<std::string>(), "real");
    std::vector<float> values;
    Flatten(first.at(0).at("values"), values);
    EXPECT_EQ(values, (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(first.at(2).at("values").at(0).get<float>(),
              4.0f); // kind 5 read for real: the magnitude
    EXPECT_EQ(subcase.at("simulations").at(1).at("dataSets").size(), 1u);
}

TEST(ToolDumpTest, FloatsAreTheShortestTextAndNonFiniteOnesAreStrings) {
    TempDir dir;
    ResFile file = RealFile();
    file.simulations[1].rows[0].records = {{1, {std::numeric_limits<float>::infinity()}},
                                           {2, {-std::numeric_limits<float>::infinity()}},
                                           {3, {std::numeric_limits<float>::quiet_NaN()}},
                                           {4, {1e-8f}},
                                           {5, {16777216.0f}}};
    const std::string path = WriteRes(dir, "floats.res", file);
    const ToolRun run =
        ToolRunner::Run({"dump", path, "--format", "json", "--type", "temperature"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("\"values\": [3.1415927, 0.1]"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"values\": [\"inf\", \"-inf\", \"nan\", 1e-8, 16777216]"),
              std::string::npos)
        << run.out;
    EXPECT_NE(run.out.find("\"sync\": 0.1,"), std::string::npos) << run.out;
    Json document;
    std::string error;
    EXPECT_TRUE(tooltest::ParseJson(run.out, document, error)) << error;
}

TEST(ToolDumpTest, LabelBytesOutsidePrintableAsciiAreEscaped) {
    TempDir dir;
    ResFile file = RealFile();
    const std::string label = std::string("T\x01 \"q\" \\ \xE9=5");
    file.simulations[0].label = label;
    const std::string path = WriteRes(dir, "label.res", file);
    const ToolRun run = ToolRunner::Run({"dump", path, "--format", "json", "--sim", "0"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find(R"("label": "T\u0001 \"q\" \\ \u00E9=5")"), std::string::npos)
        << run.out;
    for (char c : run.out) {
        EXPECT_TRUE(c == '\n' || (c >= 0x20 && c <= 0x7E)) << static_cast<int>(c);
    }
    Json document;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(run.out, document, error)) << error;
    EXPECT_EQ(tooltest::Bytes(document.at("subcases").at(0).at("simulations").at(0).at("label")),
              label);
}

TEST(ToolDumpTest, SelectionsKeepDataTypeAndSimulationOrder) {
    TempDir dir;
    const std::string path = WriteRes(dir, "real.res", RealFile());
    const Json document = RunJson({"dump", path, "--format", "json", "--type", "temperature",
                                   "--type", "displacement", "--sim", "1", "--sim", "0"});
    const Json& subcase = document.at("subcases").at(0);
    ASSERT_EQ(subcase.at("dataTypes").size(), 2u);
    EXPECT_EQ(subcase.at("dataTypes").at(0).at("name").get<std::string>(), "displacement");
    EXPECT_EQ(subcase.at("dataTypes").at(1).at("name").get<std::string>(), "temperature");
    ASSERT_EQ(subcase.at("simulations").size(), 2u);
    EXPECT_EQ(subcase.at("simulations").at(0).at("label").get<std::string>(), "Time 0.1");
    EXPECT_EQ(subcase.at("simulations").at(0).at("dataSets").size(), 2u);

    const Json one = RunJson({"dump", path, "--format", "json", "--sim", "1"});
    ASSERT_EQ(one.at("subcases").at(0).at("simulations").size(), 1u);
    EXPECT_EQ(one.at("subcases").at(0).at("simulations").at(0).at("label").get<std::string>(),
              "Time 0.2");
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    for (std::string line; std::getline(in, line);) {
        lines.push_back(line);
    }
    return lines;
}

TEST(ToolDumpTest, CsvHasOneRowPerEntityWithQuotedFields) {
    TempDir dir;
    ResFile file = RealFile();
    file.simulations[0].label = "Time, \"first\" = 0.1";
    const std::string path = WriteRes(dir, "real.res", file);

    const ToolRun scalars =
        ToolRunner::Run({"dump", path, "--format", "csv", "--type", "temperature"});
    ASSERT_EQ(scalars.exitCode, 0) << scalars.err;
    EXPECT_EQ(
        SplitLines(scalars.out),
        (std::vector<std::string>{"simulation,label,sync,dataType,read,id,value",
                                  R"(0,"Time, ""first"" = 0.1",0.1,temperature,real,1,3.1415927)",
                                  R"(0,"Time, ""first"" = 0.1",0.1,temperature,real,2,0.1)",
                                  "1,Time 0.2,0.2,temperature,real,1,1",
                                  "1,Time 0.2,0.2,temperature,real,2,-150"}));

    // Mixed layouts: generic value columns, narrower rows padded.
    const ToolRun mixed = ToolRunner::Run({"dump", path, "--format", "csv", "--sim", "0"});
    ASSERT_EQ(mixed.exitCode, 0) << mixed.err;
    const std::vector<std::string> lines = SplitLines(mixed.out);
    ASSERT_EQ(lines.size(), 5u);
    EXPECT_EQ(lines[0], "simulation,label,sync,dataType,read,id,value1,value2,value3");
    EXPECT_EQ(lines[1], R"(0,"Time, ""first"" = 0.1",0.1,displacement,real,1,1,2,3)");
    EXPECT_EQ(lines[2], R"(0,"Time, ""first"" = 0.1",0.1,temperature,real,1,3.1415927,,)");

    const ToolRun complex = ToolRunner::Run(
        {"dump", path, "--format", "csv", "--read", "complex", "--type", "pressure"});
    EXPECT_EQ(SplitLines(complex.out)[0], "simulation,label,sync,dataType,read,id,magnitude,phase");
    EXPECT_EQ(SplitLines(complex.out)[1],
              R"(0,"Time, ""first"" = 0.1",0.1,pressure,complex,1,4,1.5707964)");
}

TEST(ToolDumpTest, AFailedReadIsMarkedAndExitsOneWithTheOutputWritten) {
    TempDir dir;
    ResFile file = RealFile();
    // The last block of the file announces more records than it holds.
    file.simulations[1].rows[0].entityCount = 5;
    const std::string path = WriteRes(dir, "short.res", file);
    const Json document = RunJson({"dump", path, "--format", "json"}, 1);
    const Json& simulations = document.at("subcases").at(0).at("simulations");
    ASSERT_EQ(simulations.size(), 2u);
    EXPECT_TRUE(simulations.at(0).at("dataSets").at(1).at("ok").get<bool>());
    const Json& cut = simulations.at(1).at("dataSets").at(0);
    EXPECT_EQ(cut.at("dataType").get<std::string>(), "temperature");
    EXPECT_FALSE(cut.at("ok").get<bool>());

    const ToolRun run = ToolRunner::Run({"dump", path, "--format", "csv"});
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_NE(run.err.find(path), std::string::npos) << run.err;
    EXPECT_NE(run.out.find("1,Time 0.2,0.2,temperature,real,"), std::string::npos) << run.out;
}

TEST(ToolDumpTest, TextShowsAlignedTables) {
    TempDir dir;
    const std::string path = WriteRes(dir, "real.res", RealFile());
    const ToolRun run = ToolRunner::Run({"dump", path, "--type", "temperature", "--sim", "1"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("simulation 1 \"Time 0.2\", sync 0.2\n"
                           "  temperature: real read, 2 entities\n"
                           "    id  value\n"
                           "     1      1\n"
                           "     2   -150\n"),
              std::string::npos)
        << run.out;
}

} // namespace

namespace {

// dump's text against its JSON of the same file and options: every line of
// the text is read back (the subcase, the entity ids, each data set's head
// line and each row of its table) and found in the JSON.
struct TextDump {
    const char* name;
    ResFile file;
    std::vector<std::string> options;
    bool forced;
};

std::ostream& operator<<(std::ostream& out, const TextDump& c) {
    return out << c.name;
}

class DumpTextTest : public ::testing::TestWithParam<TextDump> {};

TEST_P(DumpTextTest, TheTextSaysWhatTheJsonSays) {
    const TextDump& c = GetParam();
    TempDir dir;
    const std::string path = WriteRes(dir, "run.res", c.file);
    std::vector<std::string> arguments = {"dump", path, "--entity-ids"};
    arguments.insert(arguments.end(), c.options.begin(), c.options.end());
    if (c.forced) {
        arguments.push_back("--force");
    }
    std::vector<std::string> json = arguments;
    json.insert(json.end(), {"--format", "json"});
    const ToolRun jsonRun = ToolRunner::Run(json);
    Json document;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(jsonRun.out, document, error)) << error;
    const ToolRun run = ToolRunner::Run(arguments);
    EXPECT_EQ(run.exitCode, jsonRun.exitCode);
    const std::vector<std::string> lines = SplitLines(run.out);
    ASSERT_FALSE(lines.empty());
    EXPECT_EQ(lines[0], "file " + path + (c.forced ? " (not recognised, forced)" : ""));

    const std::regex subcaseLine(
        R"re(subcase (\d+) "(.*)", (complex|real) results, (complex|real) read)re");
    const std::regex idsLine(R"re(  (.+) \((\w+), (\w+)\): (\d+) entities:((?: -?\d+)*))re");
    const std::regex simulationLine(R"re(simulation (\d+) "(.*)", sync (\S+))re");
    const std::regex dataSetLine(
        R"re(  (.+): (complex|real) read( FAILED)?, (\d+) (entity|entities))re");
    const Json* subcase = nullptr;
    const Json* simulation = nullptr;
    const Json* dataSet = nullptr;
    std::size_t subcases = 0, types = 0, simulations = 0, sets = 0, row = 0, rows = 0;
    std::size_t idLines = 0;
    for (std::size_t l = 1; l < lines.size(); ++l) {
        const std::string& line = lines[l];
        std::smatch m;
        if (std::regex_match(line, m, subcaseLine)) {
            subcase = &document.at("subcases").at(subcases++);
            types = simulations = 0;
            EXPECT_EQ(std::stoi(m[1]), subcase->at("id").get<int>()) << line;
            EXPECT_EQ(m[2].str(), subcase->at("label").get<std::string>()) << line;
            EXPECT_EQ(m[3].str() == "complex", subcase->at("type").get<int>() == 1) << line;
            for (const Json& s : subcase->at("simulations")) {
                for (const Json& d : s.at("dataSets")) {
                    EXPECT_EQ(m[4].str(), d.at("read").get<std::string>()) << line;
                }
            }
        } else if (std::regex_match(line, m, idsLine)) {
            ASSERT_NE(subcase, nullptr);
            const Json& type = subcase->at("dataTypes").at(types++);
            ++idLines;
            EXPECT_EQ(m[1].str(), type.at("name").get<std::string>()) << line;
            EXPECT_EQ(std::stoll(m[4]), type.at("entityCount").get<std::int64_t>()) << line;
            std::istringstream ids(m[5].str());
            std::vector<std::int64_t> listed;
            for (std::int64_t id; ids >> id;) {
                listed.push_back(id);
            }
            EXPECT_EQ(listed, type.at("entityIds").get<std::vector<std::int64_t>>()) << line;
        } else if (std::regex_match(line, m, simulationLine)) {
            ASSERT_NE(subcase, nullptr);
            simulation = &subcase->at("simulations").at(simulations++);
            sets = 0;
            EXPECT_EQ(m[2].str(), simulation->at("label").get<std::string>()) << line;
            EXPECT_EQ(std::strtof(m[3].str().c_str(), nullptr), simulation->at("sync").get<float>())
                << line;
        } else if (std::regex_match(line, m, dataSetLine)) {
            ASSERT_NE(simulation, nullptr);
            dataSet = &simulation->at("dataSets").at(sets++);
            row = 0;
            EXPECT_EQ(m[1].str(), dataSet->at("dataType").get<std::string>()) << line;
            EXPECT_EQ(m[2].str(), dataSet->at("read").get<std::string>()) << line;
            EXPECT_EQ(m[3].matched, !dataSet->at("ok").get<bool>()) << line;
            const std::size_t count = dataSet->at("ids").size();
            EXPECT_EQ(std::stoul(m[4]), count) << line;
            EXPECT_EQ(m[5].str(), count == 1 ? "entity" : "entities") << line;
        } else if (line.rfind("    ", 0) == 0 && dataSet != nullptr) {
            std::istringstream cells(line);
            std::vector<std::string> cell;
            for (std::string text; cells >> text;) {
                cell.push_back(text);
            }
            ASSERT_FALSE(cell.empty()) << line;
            if (cell[0] == "id") {
                continue; // the heading
            }
            ++rows;
            EXPECT_EQ(std::stoll(cell[0]), dataSet->at("ids").at(row).get<std::int64_t>()) << line;
            std::vector<float> values;
            Flatten(dataSet->at("values").at(row), values);
            ASSERT_EQ(cell.size(), values.size() + 1) << line;
            for (std::size_t v = 0; v < values.size(); ++v) {
                EXPECT_EQ(std::strtof(cell[v + 1].c_str(), nullptr), values[v]) << line;
            }
            ++row;
        }
    }
    std::size_t allRows = 0, allTypes = 0;
    for (const Json& s : document.at("subcases")) {
        allTypes += s.at("dataTypes").size();
        for (const Json& simulationJson : s.at("simulations")) {
            for (const Json& d : simulationJson.at("dataSets")) {
                allRows += d.at("ids").size();
            }
        }
    }
    EXPECT_EQ(rows, allRows);
    EXPECT_EQ(subcases, document.at("subcases").size());
    EXPECT_EQ(idLines, allTypes);
    EXPECT_GT(allRows, 0u);
}

ResFile Cut() {
    ResFile file = RealFile();
    file.simulations[1].rows[0].entityCount = 5;
    return file;
}

ResFile Foreign() {
    ResFile file = RealFile();
    file.title = "Other Results";
    return file;
}

ResFile OneEntity() {
    ResFile file;
    file.simulations.push_back({"Time 1", {DataTypeRow{"temperature", 1, {{4, {2.5f}}}}}});
    return file;
}

INSTANTIATE_TEST_SUITE_P(
    Files, DumpTextTest,
    ::testing::Values(
        TextDump{"kinds_auto", KindsFile(reswriter::kInt4Real4LE), {}, false},
        TextDump{"kinds_real", KindsFile(reswriter::kInt4Real4LE), {"--read", "real"}, false},
        TextDump{"real_complex", RealFile(), {"--read", "complex"}, false},
        TextDump{"cut_short", Cut(), {}, false}, TextDump{"one_entity", OneEntity(), {}, false},
        TextDump{"forced", Foreign(), {}, true}),
    [](const ::testing::TestParamInfo<TextDump>& info) { return std::string(info.param.name); });

} // namespace
