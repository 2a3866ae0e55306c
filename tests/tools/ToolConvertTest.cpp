// kvres-tool convert, end to end: what dump shows of IN equals what it shows
// of OUT (the example set and random files of the test writer, in every
// encoding that holds the values; little-endian Cray within its bound),
// files the writer library wrote come back byte for byte, salvage of a cut
// file gives a file check finds clean, and every refusal has its exit code.
#include "ToolTestSupport.h"

#include "kvres/Writer.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>

namespace {

namespace fs = std::filesystem;
using tooltest::WriteRes;

std::string Bytes(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

std::string Example() {
    return ToolRunner::BinDir() + "/../examples/beam.res";
}

// dump --format json of a result, without its file name.
Json Dump(const std::string& path) {
    Json document = tooltest::RunJson({"dump", path, "--format", "json"});
    document.erase("file");
    return document;
}

ToolRun Convert(const std::string& in, const std::string& out,
                const std::vector<std::string>& more = {}) {
    std::vector<std::string> arguments{"convert", in, out};
    arguments.insert(arguments.end(), more.begin(), more.end());
    return ToolRunner::Run(arguments);
}

const char* const kExact[] = {"i4le", "i4be", "i8be"};

TEST(ToolConvertTest, TheExampleSetDumpsTheSameInEveryEncodingThatHoldsItsValues) {
    reswriter::TempDir dir;
    const Json original = Dump(Example());
    for (const char* encoding : kExact) {
        const std::string out = dir.File(std::string("beam_") + encoding + ".res");
        const ToolRun run = Convert(Example(), out, {"--encoding", encoding});
        ASSERT_EQ(run.exitCode, 0) << run.err;
        EXPECT_TRUE(run.out.empty()) << run.out;
        EXPECT_TRUE(Dump(out) == original) << encoding;
        // Converting what the writer wrote gives the same bytes.
        const std::string again = dir.File(std::string("again_") + encoding + ".res");
        ASSERT_EQ(Convert(out, again).exitCode, 0);
        EXPECT_EQ(Bytes(again), Bytes(out)) << encoding;
    }
    const std::string cray = dir.File("beam_i8le.res");
    ASSERT_EQ(Convert(Example(), cray, {"--encoding", "i8le"}).exitCode, 0);
    const ToolRun diff = ToolRunner::Run({"diff", Example(), cray, "--rtol", "7.63e-6"});
    EXPECT_EQ(diff.exitCode, 0) << diff.out;
}

// A random result of the test writer: kinds 0-8, names unique in each
// simulation and of one kind throughout, values every encoding can hold.
reswriter::ResFile RandomFile(std::mt19937& random, const reswriter::Encoding& encoding) {
    reswriter::ResFile file;
    file.encoding = encoding;
    file.text1 = "random " + std::to_string(random() % 1000);
    const int kinds[] = {0, 1, 2, 3, 4, 5, 6, 7, 8};
    std::vector<std::pair<std::string, int>> types;
    for (int t = 0; t < 5; ++t) {
        // A kind-4 name loses its last four characters on reading: " (c)"
        // keeps the names apart, as convert refuses two that show as one.
        const int kind = kinds[random() % 9];
        types.emplace_back("type " + std::to_string(t) + (kind == 4 ? " (c)" : ""), kind);
    }
    const int simulations = 1 + static_cast<int>(random() % 4);
    for (int s = 0; s < simulations; ++s) {
        reswriter::Simulation simulation;
        simulation.label = "Time = " + std::to_string(s * 0.25);
        for (const auto& [name, kind] : types) {
            if (random() % 3 == 0) {
                continue;
            }
            reswriter::DataTypeRow row{name, kind, {}};
            const int records = static_cast<int>(random() % 40);
            const int reals = kvres::Writer::RealsPerRecord(kind);
            for (int r = 0; r < records; ++r) {
                reswriter::Record record{static_cast<int32_t>(random() % 500) - 50, {}};
                for (int v = 0; v < reals; ++v) {
                    const float value = std::ldexp(static_cast<float>(random() % 2000000) - 1e6f,
                                                   static_cast<int>(random() % 40) - 30);
                    record.reals.push_back(reswriter::Representable(value, encoding));
                }
                row.records.push_back(record);
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    return file;
}

TEST(ToolConvertTest, RandomFilesOfTheTestWriterDumpTheSameAfterConversion) {
    reswriter::TempDir dir;
    std::mt19937 random(2020);
    const reswriter::Encoding encodings[] = {reswriter::kInt4Real4LE, reswriter::kInt4Real4BE,
                                             reswriter::kInt8SecondCray8LE,
                                             reswriter::kInt8SecondCray8BE};
    for (int trial = 0; trial < 12; ++trial) {
        const reswriter::Encoding& encoding = encodings[trial % 4];
        const std::string in =
            WriteRes(dir, "in" + std::to_string(trial) + ".res", RandomFile(random, encoding));
        const Json original = Dump(in);
        for (const char* target : {"", "i4le", "i4be", "i8be"}) {
            const std::string out = dir.File("out" + std::to_string(trial) + "_" + target + ".res");
            std::vector<std::string> more;
            if (*target != '\0') {
                more = {"--encoding", target};
            }
            const ToolRun run = Convert(in, out, more);
            ASSERT_EQ(run.exitCode, 0) << run.err;
            EXPECT_TRUE(Dump(out) == original) << "trial " << trial << " to " << target;
        }
    }
}

TEST(ToolConvertTest, TypesAndSimulationsCanBeChosen) {
    reswriter::TempDir dir;
    const std::string out = dir.File("part.res");
    const ToolRun run = Convert(
        Example(), out,
        {"--type", "temperature", "--type", "heat flux:Phase", "--sim", "1..2", "--sim", "5"});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    Json info = tooltest::RunJson({"dump", out, "--format", "json"});
    const Json& subcase = info.at("subcases").at(0);
    ASSERT_EQ(subcase.at("dataTypes").size(), 4u); // temperature and the three heat flux parts
    EXPECT_EQ(subcase.at("dataTypes").at(0).at("name").get<std::string>(), "temperature");
    ASSERT_EQ(subcase.at("simulations").size(), 3u);
    EXPECT_EQ(subcase.at("simulations").at(0).at("label").get<std::string>(), "Time = 0.2");
    EXPECT_EQ(subcase.at("simulations").at(2).at("label").get<std::string>(), "Time = 0.6");
    // The same data sets as in the whole set.
    const Json whole = tooltest::RunJson(
        {"dump", Example(), "--format", "json", "--type", "temperature", "--sim", "5"});
    const Json part =
        tooltest::RunJson({"dump", out, "--format", "json", "--type", "temperature", "--sim", "2"});
    EXPECT_TRUE(whole.at("subcases").at(0).at("simulations").at(0).at("dataSets") ==
                part.at("subcases").at(0).at("simulations").at(0).at("dataSets"));
}

TEST(ToolConvertTest, SalvageKeepsTheWholeRecordsOfACutFile) {
    reswriter::TempDir dir;
    std::mt19937 random(5);
    reswriter::ResFile file;
    for (int s = 0; s < 3; ++s) {
        reswriter::Simulation simulation{"Step " + std::to_string(s), {}};
        for (const char* name : {"a", "b"}) {
            reswriter::DataTypeRow row{name, 1, {}};
            for (int r = 0; r < 50; ++r) {
                row.records.push_back({r + 1, {static_cast<float>(s * 100 + r)}});
            }
            simulation.rows.push_back(row);
        }
        file.simulations.push_back(simulation);
    }
    reswriter::Layout layout;
    std::vector<unsigned char> bytes = reswriter::Write(file, &layout);
    // Cut in the middle of simulation 2's block 'a': its 'b' goes, 'a' is shortened.
    bytes.resize(layout.simulations[2].rows[0].records[20] + 3);
    const std::string in = dir.File("cut.res");
    reswriter::WriteFile(in, bytes);
    const std::string out = dir.File("saved.res");

    // A damaged IN is trouble reading a file: exit 3.
    const ToolRun refused = Convert(in, out);
    EXPECT_EQ(refused.exitCode, 3);
    EXPECT_NE(refused.err.find("--salvage"), std::string::npos) << refused.err;
    EXPECT_FALSE(fs::exists(out));

    const ToolRun salvaged = Convert(in, out, {"--salvage"});
    ASSERT_EQ(salvaged.exitCode, 0) << salvaged.err;
    EXPECT_NE(salvaged.out.find("data type 'a': its block is cut short: 20 whole records of 50"),
              std::string::npos)
        << salvaged.out;
    EXPECT_NE(salvaged.out.find("data type 'b': its block is unreachable"), std::string::npos)
        << salvaged.out;
    const ToolRun check = ToolRunner::Run({"check", out});
    EXPECT_EQ(check.exitCode, 0) << check.out;
    const Json dump =
        tooltest::RunJson({"dump", out, "--format", "json", "--type", "a", "--sim", "2"});
    EXPECT_EQ(
        dump.at("subcases").at(0).at("simulations").at(0).at("dataSets").at(0).at("values").size(),
        20u);
}

TEST(ToolConvertTest, SalvageLeavesOutUnreadableFilesAndTables) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    file.simulations.push_back({"Time = 1", {{"t", 1, {{1, {1.0f}}, {2, {2.0f}}}}}});
    file.simulations.push_back({"Time = 2", {{"t", 1, {{1, {3.0f}}}}}, std::nullopt, 99999});
    const std::string in = WriteRes(dir, "run.res", file);
    std::ofstream(dir.File("run0.res")) << "not a result file";
    const std::string out = dir.File("out.res");
    const ToolRun refused = Convert(in, out);
    EXPECT_EQ(refused.exitCode, 3) << refused.err;
    EXPECT_FALSE(fs::exists(out));
    const ToolRun salvaged = Convert(in, out, {"--salvage"});
    ASSERT_EQ(salvaged.exitCode, 0) << salvaged.err;
    EXPECT_NE(salvaged.out.find("run0.res: not readable as a .res file"), std::string::npos)
        << salvaged.out;
    EXPECT_NE(salvaged.out.find("simulation 1 'Time = 2': its data-type table is unreachable"),
              std::string::npos)
        << salvaged.out;
    EXPECT_EQ(ToolRunner::Run({"check", out}).exitCode, 0);
    const Json dump = Dump(out);
    ASSERT_EQ(dump.at("subcases").at(0).at("simulations").size(), 2u);
}

TEST(ToolConvertTest, NaNInACrayFileIsRefusedUnlessWrittenAsInfinity) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    file.simulations.push_back({"Time = 1", {{"stress", 3, {{7, {1.0f}}, {8, {NAN}}}}}});
    const std::string in = WriteRes(dir, "nan.res", file);
    // The writer refuses to write it: the output cannot be written, exit 4.
    const ToolRun refused = Convert(in, dir.File("cray.res"), {"--encoding", "i8be"});
    EXPECT_EQ(refused.exitCode, 4);
    EXPECT_NE(refused.err.find("simulation 0 'Time = 1', data type 'stress', entity 8"),
              std::string::npos)
        << refused.err;
    EXPECT_FALSE(fs::exists(dir.File("cray.res")));
    EXPECT_EQ(
        Convert(in, dir.File("cray.res"), {"--encoding", "i8be", "--nan-as-infinity"}).exitCode, 0);
}

// The header's title and both text lines reach the copy, in every encoding.
TEST(ToolConvertTest, TheHeaderTextsAreKept) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    file.text1 = "beam model, mesh 3";
    file.text2 = "run 7 of 12";
    file.simulations.push_back({"Time = 1", {{"t", 1, {{1, {1.0f}}}}}});
    const std::string in = WriteRes(dir, "run.res", file);
    const auto header = [](const std::string& path) {
        const Json report = tooltest::RunJson({"check", path, "--format", "json"});
        const Json& first = report.at("files").at(0);
        return std::vector<std::string>{first.at("title").get<std::string>(),
                                        first.at("text1").get<std::string>(),
                                        first.at("text2").get<std::string>()};
    };
    const std::vector<std::string> expected = header(in);
    EXPECT_EQ(expected[1], file.text1);
    EXPECT_EQ(expected[2], file.text2);
    for (const char* encoding : {"i4le", "i8be"}) {
        const std::string out = dir.File(std::string("copy-") + encoding + ".res");
        ASSERT_EQ(Convert(in, out, {"--encoding", encoding}).exitCode, 0) << encoding;
        EXPECT_EQ(header(out), expected) << encoding;
    }
}

TEST(ToolConvertTest, RefusalsHaveTheirExitCodes) {
    reswriter::TempDir dir;
    reswriter::ResFile file;
    file.simulations.push_back({"Time = 1", {{"t", 1, {{1, {1.0f}}}}}});
    const std::string run = WriteRes(dir, "run.res", file);
    WriteRes(dir, "run0.res", file);
    const std::string single = WriteRes(dir, "x1.res", file);
    struct Refusal {
        std::vector<std::string> arguments;
        int exitCode;
        const char* words;
    };
    const Refusal refusals[] = {
        {{"convert", run, run}, 2, "would overwrite or join the series of IN"},
        {{"convert", run, dir.File("run0.res")}, 2, "would overwrite or join"},
        {{"convert", run, dir.File("run7.res")}, 2, "would overwrite or join"},
        {{"convert", single, dir.File("x.res")}, 2, "would overwrite or join"},
        {{"convert", run, dir.File("o.res"), "--encoding", "i2le"}, 2, "unknown encoding 'i2le'"},
        {{"convert", run, dir.File("o.res"), "--sim", "2"}, 2, "holds 2 simulations (0..1)"},
        {{"convert", run, dir.File("o.res"), "--sim", "1..0"}, 2, "'1..0' is no simulation"},
        {{"convert", run, dir.File("o.res"), "--sim", "1x"}, 2, "'1x' is no simulation"},
        {{"convert", run, dir.File("o.res"), "--sim", "0..1y"}, 2, "'0..1y' is no simulation"},
        {{"convert", run, dir.File("o.res"), "--sim", "-1"}, 2, "'-1' is no simulation"},
        {{"convert", run, "-"}, 2, "cannot write to standard output"},
        {{"convert", run, dir.File("o.res"), "--type", "u"}, 2, "no data type named 'u'"},
        {{"convert", dir.File("missing.res"), dir.File("o.res")}, 3, "missing.res"},
        {{"convert", run}, 2, "OUT"},
    };
    for (const Refusal& refusal : refusals) {
        const ToolRun result = ToolRunner::Run(refusal.arguments);
        EXPECT_EQ(result.exitCode, refusal.exitCode) << refusal.words << ": " << result.err;
        EXPECT_NE(result.err.find(refusal.words), std::string::npos) << result.err;
    }
    EXPECT_FALSE(fs::exists(dir.File("o.res")));
}

} // namespace
