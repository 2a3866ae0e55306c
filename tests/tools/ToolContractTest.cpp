// The tool's contracts against expectations computed here, independently of
// the tool: every field `check` reports for each encoding (from the writer's
// layout and the detection table), `check --deep`'s ranges (from the values
// written), the overlap warning at one shared byte against blocks that only
// touch, and `diff` exactly at each tolerance and at the floor against one
// float step beyond.
#include "ToolTestSupport.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

namespace {

using reswriter::DataTypeRow;
using reswriter::Encoding;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::RunJson;
using tooltest::WriteRes;

std::int64_t Int(const Json& value) {
    return value.get<std::int64_t>();
}

// Reals per record and meaning of each presented kind, as the format defines
// them.
struct Kind {
    int code;
    int reals;
    const char* meaning;
};
const Kind kKinds[] = {{0, 3, "real vector at nodes"},
                       {1, 1, "real scalar at nodes"},
                       {3, 1, "real scalar at elements"},
                       {4, 6, "complex vector at nodes"},
                       {5, 2, "complex scalar at nodes"},
                       {6, 2, "complex scalar at elements"},
                       {7, 3, "magnitude, phase and offset at nodes"},
                       {8, 3, "magnitude, phase and offset at elements"}};

// One data-type row per kind in each of two simulations, 1 to 3 records
// each, with values every encoding stores exactly.
ResFile EveryKind(const Encoding& encoding) {
    ResFile file;
    file.encoding = encoding;
    file.text1 = "model";
    file.text2 = "run 7";
    for (int s = 0; s < 2; ++s) {
        reswriter::Simulation simulation{s == 0 ? "Time = 1" : "Time = 2.5", {}};
        for (const Kind& kind : kKinds) {
            DataTypeRow row{"type " + std::to_string(kind.code), kind.code, {}};
            for (int r = 0; r < 1 + (kind.code + s) % 3; ++r) {
                std::vector<float> reals;
                for (int c = 0; c < kind.reals; ++c) {
                    reals.push_back(reswriter::Representable(0.5f * (c + 1) - r, encoding));
                }
                row.records.push_back({100 + r, reals});
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

struct EncodingCase {
    const char* name;
    Encoding written;
    // How detection reads it: the winning trial and its words.
    int trial;
    const char* integers;
    const char* reals;
    const char* byteOrder;
    std::int64_t intSize, realSize;
};

class CheckFieldsTest : public testing::TestWithParam<EncodingCase> {};

// Every field of every file, simulation and row against the writer's layout,
// with the last block cut three bytes short.
TEST_P(CheckFieldsTest, EveryFieldFollowsTheLayout) {
    const EncodingCase& c = GetParam();
    const ResFile file = EveryKind(c.written);
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    bytes.resize(bytes.size() - 3);
    const std::int64_t size = static_cast<std::int64_t>(bytes.size());
    TempDir dir;
    reswriter::WriteFile(dir.File("run.res"), bytes);
    const ToolRun run = ToolRunner::Run({"check", dir.File("run.res"), "--format", "json"});
    Json report;
    std::string error;
    ASSERT_TRUE(tooltest::ParseJson(run.out, report, error)) << error << run.err;

    const Json& f = report.at("files").at(0);
    EXPECT_EQ(Int(f.at("size")), size);
    EXPECT_TRUE(f.at("opened").get<bool>());
    EXPECT_TRUE(f.at("problem").is_null());
    const Json& encoding = f.at("encoding");
    EXPECT_EQ(Int(encoding.at("trial")), c.trial);
    EXPECT_EQ(encoding.at("integers").get<std::string>(), c.integers);
    EXPECT_EQ(encoding.at("reals").get<std::string>(), c.reals);
    EXPECT_EQ(encoding.at("byteOrder").get<std::string>(), c.byteOrder);
    EXPECT_EQ(f.at("title").get<std::string>(), "Korvane Results");
    EXPECT_EQ(f.at("text1").get<std::string>(), "model");
    EXPECT_EQ(f.at("text2").get<std::string>(), "run 7");
    EXPECT_EQ(Int(f.at("simulationCount")), 2);

    int blocks = 0;
    int intact = 0;
    ASSERT_EQ(f.at("simulations").size(), 2u);
    for (std::size_t s = 0; s < 2; ++s) {
        const Json& simulation = f.at("simulations").at(s);
        EXPECT_EQ(simulation.at("label").get<std::string>(), file.simulations[s].label);
        EXPECT_EQ(simulation.at("sync").get<float>(), s == 0 ? 1.0f : 2.5f);
        EXPECT_EQ(Int(simulation.at("tablePosition")),
                  static_cast<std::int64_t>(layout.simulations[s].table));
        EXPECT_EQ(simulation.at("status").get<std::string>(), "ok");
        const Json& rows = simulation.at("dataTypes");
        ASSERT_EQ(rows.size(), std::size(kKinds));
        for (std::size_t r = 0; r < rows.size(); ++r) {
            const Json& row = rows.at(r);
            const DataTypeRow& written = file.simulations[s].rows[r];
            const std::string where = "simulation " + std::to_string(s) + " row " + written.name;
            const std::int64_t position =
                static_cast<std::int64_t>(layout.simulations[s].rows[r].block);
            const std::int64_t count = static_cast<std::int64_t>(written.records.size());
            const std::int64_t record = c.intSize + kKinds[r].reals * c.realSize;
            const std::int64_t available = size - position;
            const std::int64_t whole = std::min(count, (available - c.intSize) / record);
            EXPECT_EQ(row.at("name").get<std::string>(), written.name) << where;
            EXPECT_EQ(Int(row.at("kind")), written.kind) << where;
            EXPECT_EQ(row.at("kindMeaning").get<std::string>(), kKinds[r].meaning) << where;
            EXPECT_EQ(Int(row.at("blockPosition")), position) << where;
            EXPECT_EQ(Int(row.at("storedCount")), count) << where;
            EXPECT_EQ(Int(row.at("bytesNeeded")), c.intSize + count * record) << where;
            EXPECT_EQ(Int(row.at("bytesAvailable")), available) << where;
            EXPECT_EQ(Int(row.at("wholeRecords")), whole) << where;
            const bool cut = whole < count;
            EXPECT_EQ(row.at("status").get<std::string>(), cut ? "cut-short" : "ok") << where;
            EXPECT_EQ(row.contains("endsAt"), cut) << where;
            if (cut) {
                EXPECT_EQ(Int(row.at("endsAt")), size) << where;
            }
            ++blocks;
            intact += cut ? 0 : 1;
        }
    }
    // The writer's own file: the last block is cut when the reals are read
    // with their written size.
    if (c.realSize == static_cast<std::int64_t>(c.written.RealSize())) {
        EXPECT_EQ(intact, blocks - 1);
    }
    const Json& summary = report.at("summary");
    EXPECT_EQ(Int(summary.at("files")), 1);
    EXPECT_EQ(Int(summary.at("simulations")), 2);
    EXPECT_EQ(Int(summary.at("blocks")), blocks);
    EXPECT_EQ(Int(summary.at("intactBlocks")), intact);
    EXPECT_EQ(Int(summary.at("problems")), blocks - intact);
    EXPECT_EQ(run.exitCode, intact == blocks ? 0 : 1);
}

constexpr const char* kFour = "4 bytes";
constexpr const char* kSingle = "IEEE single, 4 bytes";
INSTANTIATE_TEST_SUITE_P(
    Encodings, CheckFieldsTest,
    testing::Values(
        EncodingCase{"Int4Real4LE", reswriter::kInt4Real4LE, 1, kFour, kSingle, "little-endian", 4,
                     4},
        EncodingCase{"Int4Real4BE", reswriter::kInt4Real4BE, 2, kFour, kSingle, "big-endian", 4, 4},
        EncodingCase{"Int8SecondCray8LE", reswriter::kInt8SecondCray8LE, 5,
                     "8 bytes, value in bytes 4-7", "Cray word, 8 bytes", "little-endian", 8, 8},
        EncodingCase{"Int8SecondCray8BE", reswriter::kInt8SecondCray8BE, 6,
                     "8 bytes, value in bytes 4-7", "Cray word, 8 bytes", "big-endian", 8, 8},
        // Doubles with 4-byte integers are taken by the single-precision
        // trials: their records are measured with 4-byte reals.
        EncodingCase{"Int4Real8LE", reswriter::kInt4Real8LE, 1, kFour, kSingle, "little-endian", 4,
                     4},
        EncodingCase{"Int4Real8BE", reswriter::kInt4Real8BE, 2, kFour, kSingle, "big-endian", 4,
                     4}),
    [](const testing::TestParamInfo<EncodingCase>& info) { return std::string(info.param.name); });

// --deep: per row the minimum and maximum of each component, computed here
// from the values written; components all negative, all positive, mixed,
// with the extremes first, last and in the middle.
TEST(ToolDeepTest, RangesEqualThoseOfTheValuesWritten) {
    ResFile file;
    reswriter::Simulation simulation{"Time = 1", {}};
    for (const Kind& kind : kKinds) {
        DataTypeRow row{"type " + std::to_string(kind.code), kind.code, {}};
        for (int r = 0; r < 5; ++r) {
            std::vector<float> reals;
            for (int c = 0; c < kind.reals; ++c) {
                const float step = static_cast<float>((r * 7 + c * 3 + kind.code) % 5) - 2.0f;
                reals.push_back(c % 3 == 0   ? -100.0f - step * step
                                : c % 3 == 1 ? 50.0f + step * 3
                                             : step * 0.25f);
            }
            row.records.push_back({r + 1, reals});
        }
        simulation.rows.push_back(row);
    }
    file.simulations.push_back(simulation);
    TempDir dir;
    const Json report =
        RunJson({"check", WriteRes(dir, "deep.res", file), "--format", "json", "--deep"});
    const Json& rows = report.at("files").at(0).at("simulations").at(0).at("dataTypes");
    ASSERT_EQ(rows.size(), std::size(kKinds));
    for (std::size_t k = 0; k < std::size(kKinds); ++k) {
        const Json& values = rows.at(k).at("values");
        ASSERT_EQ(values.at("minimum").size(), static_cast<std::size_t>(kKinds[k].reals));
        ASSERT_EQ(values.at("maximum").size(), static_cast<std::size_t>(kKinds[k].reals));
        for (int c = 0; c < kKinds[k].reals; ++c) {
            float low = std::numeric_limits<float>::infinity();
            float high = -low;
            for (const reswriter::Record& record : simulation.rows[k].records) {
                low = std::min(low, record.reals[static_cast<std::size_t>(c)]);
                high = std::max(high, record.reals[static_cast<std::size_t>(c)]);
            }
            EXPECT_EQ(values.at("minimum").at(c).get<float>(), low) << "kind " << k << " c " << c;
            EXPECT_EQ(values.at("maximum").at(c).get<float>(), high) << "kind " << k << " c " << c;
        }
        EXPECT_EQ(Int(values.at("nan")), 0);
        EXPECT_EQ(Int(values.at("infinite")), 0);
    }
}

// Two blocks of one table, the second right after the first: they touch.
// With the first block's last byte also the second's first (the second moved
// one byte back, its count's low byte standing in for the first block's last
// real's high byte), they overlap by one byte.
TEST(ToolCheckOverlapTest, BlocksThatTouchDoNotOverlapAndOneSharedByteDoes) {
    // 0x01000000: the float whose little-endian high byte is 0x01, the low
    // byte of the count 1.
    const float bridge = 2.3509887e-38f;
    ResFile file;
    file.simulations.push_back(
        {"Time = 1",
         {DataTypeRow{"a", 1, {{1, {5.0f}}, {2, {bridge}}}}, DataTypeRow{"b", 1, {{3, {7.0f}}}}}});
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    const reswriter::RowLayout& a = layout.simulations[0].rows[0];
    const reswriter::RowLayout& b = layout.simulations[0].rows[1];
    ASSERT_EQ(b.block, a.records[1] + 8); // b begins where a ends
    ASSERT_EQ(bytes[b.block - 1], 0x01);
    ASSERT_EQ(b.block + 12, bytes.size()); // b is the last block

    TempDir dir;
    reswriter::WriteFile(dir.File("touch.res"), bytes);
    const Json touching = RunJson({"check", dir.File("touch.res"), "--format", "json"});
    EXPECT_TRUE(touching.at("warnings").empty()) << touching.at("warnings");

    bytes.erase(bytes.begin() + static_cast<std::ptrdiff_t>(b.block - 1));
    reswriter::PatchInt(bytes, b.blockPosition, static_cast<int32_t>(b.block - 1),
                        reswriter::kInt4Real4LE);
    reswriter::WriteFile(dir.File("overlap.res"), bytes);
    const Json overlapping = RunJson({"check", dir.File("overlap.res"), "--format", "json"});
    // Both blocks are whole and read as written.
    const Json& rows = overlapping.at("files").at(0).at("simulations").at(0).at("dataTypes");
    EXPECT_EQ(rows.at(0).at("status").get<std::string>(), "ok");
    EXPECT_EQ(rows.at(1).at("status").get<std::string>(), "ok");
    EXPECT_EQ(Int(rows.at(1).at("storedCount")), 1);
    ASSERT_EQ(overlapping.at("warnings").size(), 1u);
    EXPECT_NE(overlapping.at("warnings").at(0).get<std::string>().find("blocks overlap"),
              std::string::npos);
}

// diff of one real value in A and B, with `options`; returns the exit code.
int DiffOne(float a, float b, const std::vector<std::string>& options) {
    TempDir dir;
    std::vector<std::string> arguments;
    for (const auto& [name, value] : {std::pair<const char*, float>{"a.res", a}, {"b.res", b}}) {
        ResFile file;
        file.simulations.push_back({"Time = 1",
                                    {DataTypeRow{"temperature", 1, {{1, {value}}}},
                                     DataTypeRow{"pressure", 1, {{1, {value}}}}}});
        arguments.push_back(WriteRes(dir, name, file));
    }
    arguments.insert(arguments.begin(), "diff");
    arguments.insert(arguments.end(), options.begin(), options.end());
    return ToolRunner::Run(arguments).exitCode;
}

float Up(float value) {
    return std::nextafter(value, std::numeric_limits<float>::infinity());
}
float Down(float value) {
    return std::nextafter(value, -std::numeric_limits<float>::infinity());
}

// Two numbers differ when |a - b| > max(atol, rtol * max(|a|, |b|)) after
// numbers below the floor in magnitude became 0. Each threshold is met
// exactly (equal, exit 0) and passed by one float step (exit 1); the values
// and tolerances are exact in binary, so the boundary is sharp.
TEST(ToolDiffBoundaryTest, EachToleranceExactlyAtItsThresholdAndOneStepBeyond) {
    const std::vector<std::string> none = {"--rtol", "0"};
    const struct {
        const char* what;
        float a, b;
        std::vector<std::string> options;
        int exit;
    } cases[] = {
        {"atol at", 1.0f, 1.5f, {"--rtol", "0", "--atol", "0.5"}, 0},
        {"atol beyond", 1.0f, Up(1.5f), {"--rtol", "0", "--atol", "0.5"}, 1},
        {"atol beyond, other side", Down(1.0f), 1.5f, {"--rtol", "0", "--atol", "0.5"}, 1},
        // The scale is the larger magnitude: 0.25 * 4 = 1.
        {"rtol at", 3.0f, 4.0f, {"--rtol", "0.25"}, 0},
        {"rtol beyond", Down(3.0f), 4.0f, {"--rtol", "0.25"}, 1},
        {"rtol at, B smaller", -4.0f, -3.0f, {"--rtol", "0.25"}, 0},
        {"rtol beyond, B smaller", -4.0f, Up(-3.0f), {"--rtol", "0.25"}, 1},
        // The larger of the two tolerances counts.
        {"atol larger", 3.0f, 4.0f, {"--rtol", "0.125", "--atol", "1"}, 0},
        {"rtol larger", 3.0f, 4.0f, {"--rtol", "0.25", "--atol", "0.5"}, 0},
        // A data type's own tolerances replace the global ones for it alone.
        {"--tol rtol at",
         3.0f,
         4.0f,
         {"--rtol", "0", "--tol", "temperature=0.25", "--tol", "pressure=0.25"},
         0},
        {"--tol rtol beyond",
         Down(3.0f),
         4.0f,
         {"--tol", "temperature=0.25", "--tol", "pressure=0.25"},
         1},
        {"--tol for one type only", 3.0f, 4.0f, {"--rtol", "0", "--tol", "temperature=0.25"}, 1},
        {"--tol atol at", 1.0f, 1.5f, {"--tol", "temperature=0,0.5", "--tol", "pressure=0,0.5"}, 0},
        {"--tol atol beyond",
         1.0f,
         Up(1.5f),
         {"--tol", "temperature=0,0.5", "--tol", "pressure=0,0.5"},
         1},
        // Without its own atol a type keeps --atol, wherever it stands.
        {"--tol keeps --atol",
         1.0f,
         1.5f,
         {"--tol", "temperature=0", "--tol", "pressure=0", "--atol", "0.5"},
         0},
        {"--tol keeps --atol, beyond",
         1.0f,
         Up(1.5f),
         {"--atol", "0.5", "--tol", "temperature=0", "--tol", "pressure=0"},
         1},
        // The floor: below it a number is 0, at it a number stays.
        {"floor just below, in A", Down(0.5f), 0.0f, {"--rtol", "0", "--floor", "0.5"}, 0},
        {"floor just below, in B", 0.0f, -Down(0.5f), {"--rtol", "0", "--floor", "0.5"}, 0},
        {"floor at, in A", 0.5f, 0.0f, {"--rtol", "0", "--floor", "0.5"}, 1},
        {"floor at, in B", 0.0f, -0.5f, {"--rtol", "0", "--floor", "0.5"}, 1},
        {"floor above", Up(0.5f), 0.0f, {"--rtol", "0", "--floor", "0.5"}, 1},
        {"both below the floor", Down(0.5f), -Down(0.5f), {"--rtol", "0", "--floor", "0.5"}, 0},
        {"no tolerance at all", 1.0f, Up(1.0f), none, 1},
        {"no tolerance, equal", 1.0f, 1.0f, none, 0},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(DiffOne(c.a, c.b, c.options), c.exit) << c.what;
    }
}

} // namespace
