// kvres-tool dump --format json end to end through the real plug-in: every
// kind 0-8 in every encoding the writer offers, read the complex way and the
// real way, with entity ids, against values computed from the reals stored
// in the file; plus the document's key order, selections, label bytes, the
// text of floats, and the CSV and text forms.
#include "ToolTestSupport.h"

#include <cmath>
#include <limits>
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

void Flatten(const JsonValue& value, std::vector<float>& out) {
    if (value.IsArray()) {
        for (const JsonValue& item : value.Items()) {
            Flatten(item, out);
        }
    } else {
        out.push_back(value.AsFloat());
    }
}

// The nesting depth of one value: 0 number, 1 [..], 2 [[..],[..]].
int Depth(const JsonValue& value) {
    return value.IsArray() && value.Size() > 0 ? 1 + Depth(value[0]) : 0;
}

class ToolDumpKindsTest : public ::testing::TestWithParam<Encoding> {
protected:
    void SetUp() override {
        file = KindsFile(GetParam());
        path = WriteRes(dir, "kinds.res", file);
    }

    // Checks every data set of `document` against the file's reals.
    void ExpectValues(const JsonValue& document, bool complex) {
        const JsonValue& simulations = document["subcases"][0]["simulations"];
        ASSERT_EQ(simulations.Size(), file.simulations.size());
        for (std::size_t s = 0; s < file.simulations.size(); ++s) {
            const std::vector<DataTypeRow>& rows = file.simulations[s].rows;
            const JsonValue& dataSets = simulations[s]["dataSets"];
            std::size_t next = 0;
            for (const HostType& type : HostTypes()) {
                const DataTypeRow* row = FindRow(rows, type.row);
                if (row == nullptr) {
                    continue; // no block in this simulation: no data set
                }
                ASSERT_LT(next, dataSets.Size());
                const JsonValue& dataSet = dataSets[next++];
                SCOPED_TRACE("simulation " + std::to_string(s) + ", " + type.name);
                EXPECT_EQ(dataSet["dataType"].Text(), type.name);
                EXPECT_EQ(dataSet["read"].Text(), complex ? "complex" : "real");
                EXPECT_TRUE(dataSet["ok"].AsBool());
                ASSERT_EQ(dataSet["ids"].Size(), row->records.size());
                ASSERT_EQ(dataSet["values"].Size(), row->records.size());
                if (!complex && row->kind == 4) {
                    continue; // a real read of 6-real records is not meaningful
                }
                const int depth = complex ? (type.format == 2 ? 2 : 1) : (type.format == 2 ? 1 : 0);
                for (std::size_t i = 0; i < row->records.size(); ++i) {
                    EXPECT_EQ(dataSet["ids"][i].AsInt(), row->records[i].id);
                    EXPECT_EQ(Depth(dataSet["values"][i]), depth);
                    std::vector<float> actual;
                    Flatten(dataSet["values"][i], actual);
                    EXPECT_EQ(actual, ExpectedValue(*row, type, row->records[i], complex))
                        << "entity " << i;
                }
            }
            EXPECT_EQ(next, dataSets.Size());
        }
    }

    TempDir dir;
    ResFile file;
    std::string path;
};

TEST_P(ToolDumpKindsTest, StructureFollowsTheContract) {
    const JsonValue document = RunJson({"dump", path, "--format", "json"});
    EXPECT_EQ(document.Keys(), (std::vector<std::string>{"file", "recognized", "subcases"}));
    EXPECT_EQ(document["file"].Text(), path);
    EXPECT_TRUE(document["recognized"].AsBool());
    ASSERT_EQ(document["subcases"].Size(), 1u);
    const JsonValue& subcase = document["subcases"][0];
    EXPECT_EQ(subcase.Keys(),
              (std::vector<std::string>{"id", "label", "type", "dataTypes", "simulations"}));
    EXPECT_EQ(subcase["id"].AsInt(), 1);
    EXPECT_EQ(subcase["label"].Text(), "Loadcase 1");
    EXPECT_EQ(subcase["type"].AsInt(), 1);

    const JsonValue& types = subcase["dataTypes"];
    ASSERT_EQ(types.Size(), HostTypes().size());
    for (std::size_t t = 0; t < types.Size(); ++t) {
        EXPECT_EQ(types[t].Keys(), (std::vector<std::string>{"name", "binding", "format"}));
        EXPECT_EQ(types[t]["name"].Text(), HostTypes()[t].name);
        EXPECT_EQ(types[t]["binding"].AsInt(), HostTypes()[t].binding) << HostTypes()[t].name;
        EXPECT_EQ(types[t]["format"].AsInt(), HostTypes()[t].format) << HostTypes()[t].name;
    }

    const JsonValue& simulations = subcase["simulations"];
    ASSERT_EQ(simulations.Size(), 2u);
    EXPECT_EQ(simulations[0].Keys(), (std::vector<std::string>{"label", "sync", "dataSets"}));
    EXPECT_EQ(simulations[0]["label"].Text(), "Freq = 10");
    EXPECT_EQ(simulations[0]["sync"].AsFloat(), 10.0f);
    EXPECT_EQ(simulations[1]["sync"].AsFloat(), 20.0f);
    EXPECT_EQ(simulations[0]["dataSets"][0].Keys(),
              (std::vector<std::string>{"dataType", "read", "ok", "ids", "values"}));
    EXPECT_EQ(simulations[0]["dataSets"].Size(), HostTypes().size());
    EXPECT_EQ(simulations[1]["dataSets"].Size(), HostTypes().size() - 1);
}

TEST_P(ToolDumpKindsTest, AutoReadIsComplexForAComplexSubcase) {
    ExpectValues(RunJson({"dump", path, "--format", "json"}), true);
    ExpectValues(RunJson({"dump", path, "--format", "json", "--read", "complex"}), true);
}

TEST_P(ToolDumpKindsTest, RealReadDeliversTheStoredReals) {
    ExpectValues(RunJson({"dump", path, "--format=json", "--read=real"}), false);
}

TEST_P(ToolDumpKindsTest, EntityIdsComeFromTheFirstSimulation) {
    const JsonValue document = RunJson({"dump", path, "--format", "json", "--entity-ids"});
    const JsonValue& types = document["subcases"][0]["dataTypes"];
    ASSERT_EQ(types.Size(), HostTypes().size());
    for (std::size_t t = 0; t < types.Size(); ++t) {
        const DataTypeRow* row = FindRow(file.simulations[0].rows, HostTypes()[t].row);
        ASSERT_NE(row, nullptr);
        EXPECT_EQ(types[t].Keys(), (std::vector<std::string>{"name", "binding", "format",
                                                             "entityIds", "entityCount"}));
        EXPECT_EQ(types[t]["entityCount"].AsInt(), static_cast<long long>(row->records.size()));
        ASSERT_EQ(types[t]["entityIds"].Size(), row->records.size());
        for (std::size_t i = 0; i < row->records.size(); ++i) {
            EXPECT_EQ(types[t]["entityIds"][i].AsInt(), row->records[i].id);
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
    const JsonValue document = RunJson({"dump", path, "--format", "json"});
    const JsonValue& subcase = document["subcases"][0];
    EXPECT_EQ(subcase["type"].AsInt(), 2);
    EXPECT_EQ(subcase["dataTypes"][0]["name"].Text(), "displacement"); // no "_NC"
    const JsonValue& first = subcase["simulations"][0]["dataSets"];
    ASSERT_EQ(first.Size(), 3u);
    EXPECT_EQ(first[0]["read"].Text(), "real");
    std::vector<float> values;
    Flatten(first[0]["values"], values);
    EXPECT_EQ(values, (std::vector<float>{1.0f, 2.0f, 3.0f}));
    EXPECT_EQ(first[2]["values"][0].AsFloat(), 4.0f); // kind 5 read for real: the magnitude
    EXPECT_EQ(subcase["simulations"][1]["dataSets"].Size(), 1u);
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
    JsonValue document;
    std::string error;
    EXPECT_TRUE(JsonValue::Parse(run.out, document, error)) << error;
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
    JsonValue document;
    std::string error;
    ASSERT_TRUE(JsonValue::Parse(run.out, document, error)) << error;
    EXPECT_EQ(document["subcases"][0]["simulations"][0]["label"].Text(), label);
}

TEST(ToolDumpTest, SelectionsKeepDataTypeAndSimulationOrder) {
    TempDir dir;
    const std::string path = WriteRes(dir, "real.res", RealFile());
    const JsonValue document = RunJson({"dump", path, "--format", "json", "--type", "temperature",
                                        "--type", "displacement", "--sim", "1", "--sim", "0"});
    const JsonValue& subcase = document["subcases"][0];
    ASSERT_EQ(subcase["dataTypes"].Size(), 2u);
    EXPECT_EQ(subcase["dataTypes"][0]["name"].Text(), "displacement");
    EXPECT_EQ(subcase["dataTypes"][1]["name"].Text(), "temperature");
    ASSERT_EQ(subcase["simulations"].Size(), 2u);
    EXPECT_EQ(subcase["simulations"][0]["label"].Text(), "Time 0.1");
    EXPECT_EQ(subcase["simulations"][0]["dataSets"].Size(), 2u);

    const JsonValue one = RunJson({"dump", path, "--format", "json", "--sim", "1"});
    ASSERT_EQ(one["subcases"][0]["simulations"].Size(), 1u);
    EXPECT_EQ(one["subcases"][0]["simulations"][0]["label"].Text(), "Time 0.2");
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
    const JsonValue document = RunJson({"dump", path, "--format", "json"}, 1);
    const JsonValue& simulations = document["subcases"][0]["simulations"];
    ASSERT_EQ(simulations.Size(), 2u);
    EXPECT_TRUE(simulations[0]["dataSets"][1]["ok"].AsBool());
    const JsonValue& cut = simulations[1]["dataSets"][0];
    EXPECT_EQ(cut["dataType"].Text(), "temperature");
    EXPECT_FALSE(cut["ok"].AsBool());

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
