// The command line of kvres-tool: help and version, usage errors (exit 2),
// refused files (exit 3, one line naming the file), forced opening, selections
// that name nothing, and the choice of plug-in.
#include "ToolTestSupport.h"

#include <fstream>

namespace {

using reswriter::DataTypeRow;
using reswriter::ResFile;
using reswriter::TempDir;
using tooltest::LineCount;
using tooltest::RunJson;
using tooltest::WriteRes;

ResFile SmallFile() {
    ResFile file;
    file.simulations.push_back({"Step 1", {DataTypeRow{"temperature", 1, {{1, {20.0f}}}}}});
    file.simulations.push_back({"Step 2", {DataTypeRow{"temperature", 1, {{1, {21.0f}}}}}});
    return file;
}

TEST(ToolCommandTest, HelpAndVersionSucceedOnStandardOutput) {
    for (const char* option : {"--help", "-h"}) {
        const ToolRun run = ToolRunner::Run({option});
        EXPECT_EQ(run.exitCode, 0) << option;
        EXPECT_NE(run.out.find("usage: kvres-tool"), std::string::npos) << option;
        EXPECT_NE(run.out.find("--format"), std::string::npos) << option;
        EXPECT_TRUE(run.err.empty()) << option;
    }
    // Every command describes its own options.
    const std::vector<std::pair<std::string, std::string>> commands = {{"info", "--plugin"},
                                                                       {"dump", "--entity-ids"},
                                                                       {"check", "--deep"},
                                                                       {"diff", "--rtol"},
                                                                       {"history", "--svg"}};
    for (const auto& [command, option] : commands) {
        const ToolRun run = ToolRunner::Run({command, "--help"});
        EXPECT_EQ(run.exitCode, 0) << command;
        EXPECT_NE(run.out.find(option), std::string::npos) << command << ": " << run.out;
        EXPECT_EQ(ToolRunner::Run({"help", command}).out, run.out) << command;
    }
    const ToolRun version = ToolRunner::Run({"--version"});
    EXPECT_EQ(version.exitCode, 0);
    EXPECT_EQ(version.out.rfind("kvres-tool ", 0), 0u) << version.out;
    // The version, then the plug-in it loads.
    EXPECT_EQ(LineCount(version.out), 2u);
    EXPECT_NE(version.out.find("plug-in: " + ToolRunner::BinDir() + "/kvres.so\n"),
              std::string::npos)
        << version.out;
}

TEST(ToolCommandTest, UsageErrorsExitTwoWithAMessageAndTheUsage) {
    TempDir dir;
    const std::string file = WriteRes(dir, "small.res", SmallFile());
    const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
        {{}, "no command"},
        {{"frobnicate", file}, "unknown command 'frobnicate'"},
        {{"dump"}, "FILE is required"},
        {{"dump", file, file}, "unexpected argument"},
        {{"dump", file, "--bogus"}, "unknown option '--bogus'"},
        {{"dump", file, "--format", "xml"}, "unknown format 'xml'"},
        // A format's internal number is no format.
        {{"dump", file, "--format", "1"}, "unknown format '1'"},
        {{"dump", file, "--format"}, "needs a value"},
        {{"dump", file, "--read=maybe"}, "unknown read 'maybe'"},
        {{"dump", file, "--sim", "-1"}, "'-1' is no simulation"},
        {{"dump", file, "--sim", "1x"}, "'1x' is no simulation"},
        {{"dump", file, "--sim", "0x1"}, "'0x1' is no simulation"},
        {{"dump", file, "--sim", "+1"}, "'+1' is no simulation"},
        {{"dump", file, "--force=yes"}, "takes no value"},
        {{"info", file, "--format", "csv"}, "unknown format 'csv'"},
        {{"check", file, "--rtol", "1"}, "'--rtol' does not apply to 'check'"},
        {{"diff", file, file, "--rtol", "x"}, "'--rtol' needs a number"},
        {{"diff", file, file, "--atol=-1"}, "'--atol' needs a number"},
        {{"diff", file, file, "--floor", "nan"}, "'--floor' needs a number"},
        {{"diff", file, file, "--rtol", "1e-400"}, "'--rtol' needs a number"},
        {{"diff", file, file, "--sims", "0,x"}, "'x' is no simulation"},
        {{"diff", file, file, "--tol", "=1"}, "NAME=RTOL"},
        {{"diff", file, file, "--tol", "p=1,x"}, "NAME=RTOL"},
        {{"check", file, "--deep=1"}, "takes no value"},
        {{"diff", file, file, "--tol", "stress"}, "NAME=RTOL"},
        {{"history", file, "--type", "t"}, "--entity is required"},
        {{"history", file, "--type", "t", "--entity", "7x"}, "needs an entity id"},
        {{"history", file, "--type", "t", "--entity", "0x7"}, "needs an entity id"},
    };
    for (const auto& [arguments, message] : cases) {
        const ToolRun run = ToolRunner::Run(arguments);
        EXPECT_EQ(run.exitCode, 2) << message;
        EXPECT_EQ(run.err.rfind("kvres-tool: ", 0), 0u) << run.err;
        EXPECT_NE(run.err.find(message), std::string::npos) << run.err;
        // The usage of the command named, or a pointer to --help without one.
        if (arguments.empty() || arguments[0] == "frobnicate") {
            EXPECT_NE(run.err.find("kvres-tool --help"), std::string::npos) << run.err;
        } else {
            EXPECT_NE(run.err.find("usage: kvres-tool " + arguments[0]), std::string::npos)
                << run.err;
            EXPECT_EQ(run.err.find("       kvres-tool "), std::string::npos) << run.err;
        }
        EXPECT_TRUE(run.out.empty()) << message;
    }
}

TEST(ToolCommandTest, SelectionsThatNameNothingExitTwo) {
    TempDir dir;
    const std::string file = WriteRes(dir, "small.res", SmallFile());
    const ToolRun type = ToolRunner::Run({"dump", file, "--type", "pressure"});
    EXPECT_EQ(type.exitCode, 2);
    EXPECT_NE(type.err.find("'pressure'"), std::string::npos) << type.err;
    const ToolRun sim = ToolRunner::Run({"dump", file, "--sim", "2"});
    EXPECT_EQ(sim.exitCode, 2);
    EXPECT_NE(sim.err.find("simulation 2 is out of range"), std::string::npos) << sim.err;
    // Indices are decimal: a leading 0 does not make octal.
    const ToolRun decimal = ToolRunner::Run({"dump", file, "--sim", "010"});
    EXPECT_EQ(decimal.exitCode, 2);
    EXPECT_NE(decimal.err.find("simulation 10 is out of range"), std::string::npos) << decimal.err;
    EXPECT_TRUE(type.out.empty() && sim.out.empty());
}

TEST(ToolCommandTest, MissingUnreadableAndUnrecognisedFilesAreRefusedWithOneLine) {
    TempDir dir;
    ResFile foreign = SmallFile();
    foreign.title = "Other Results";
    const std::string foreignPath = WriteRes(dir, "foreign.res", foreign);
    const std::string emptyPath = dir.File("empty.res");
    std::ofstream(emptyPath).close();
    const std::string missingPath = dir.File("missing.res");

    struct Case {
        std::string path;
        std::string problem;
    };
    const std::vector<Case> cases = {
        {missingPath, "No such file"},
        {dir.Path().generic_string(), "directory"},
        {foreignPath, "not recognised"},
        {emptyPath, "not recognised"},
    };
    for (const Case& c : cases) {
        for (const char* command : {"info", "dump"}) {
            const ToolRun run = ToolRunner::Run({command, c.path});
            EXPECT_EQ(run.exitCode, 3) << command << ' ' << c.path;
            EXPECT_EQ(LineCount(run.err), 1u) << run.err;
            EXPECT_NE(run.err.find(c.path), std::string::npos) << run.err;
            EXPECT_NE(run.err.find(c.problem), std::string::npos) << run.err;
            EXPECT_TRUE(run.out.empty()) << run.out;
        }
    }
    // --force opens what the identification declined, but not what is absent.
    EXPECT_EQ(ToolRunner::Run({"dump", missingPath, "--force"}).exitCode, 3);
}

TEST(ToolCommandTest, ForceOpensAnUnrecognisedFileAndSaysSo) {
    TempDir dir;
    ResFile foreign = SmallFile();
    foreign.title = "Other Results";
    const std::string path = WriteRes(dir, "foreign.res", foreign);
    const Json document = RunJson({"dump", path, "--force", "--format", "json"});
    EXPECT_FALSE(document.at("recognized").get<bool>());
    EXPECT_EQ(document.at("file").get<std::string>(), path);
    ASSERT_TRUE(document.at("subcases").is_array());

    const ToolRun info = ToolRunner::Run({"info", path, "--force"});
    EXPECT_EQ(info.exitCode, 0) << info.err;
    EXPECT_NE(info.out.find("recognised  no"), std::string::npos) << info.out;
}

TEST(ToolCommandTest, PluginOptionLoadsTheGivenLibraryOrFailsWithExitFive) {
    TempDir dir;
    const std::string file = WriteRes(dir, "small.res", SmallFile());
    const std::string plugin = ToolRunner::BinDir() + "/kvres.so";
    const Json document = RunJson({"dump", file, "--plugin", plugin, "--format", "json"});
    EXPECT_TRUE(document.at("recognized").get<bool>());

    const ToolRun missing = ToolRunner::Run({"dump", file, "--plugin", dir.File("none.so")});
    EXPECT_EQ(missing.exitCode, 5);
    EXPECT_NE(missing.err.find("plug-in"), std::string::npos) << missing.err;
    EXPECT_EQ(LineCount(missing.err), 1u) << missing.err;

    // A library without the entry point is not a reader plug-in.
    const ToolRun wrong =
        ToolRunner::Run({"dump", file, "--plugin", ToolRunner::BinDir() + "/rxResult.so"});
    EXPECT_EQ(wrong.exitCode, 5);
    EXPECT_NE(wrong.err.find("SupplyReaderFunctionTable"), std::string::npos) << wrong.err;
}

TEST(ToolCommandTest, InfoSummarisesDataTypesAndSimulations) {
    TempDir dir;
    ResFile file = SmallFile();
    file.simulations[1].rows.push_back(DataTypeRow{"stress", 3, {{101, {5.0f}}}});
    const std::string path = WriteRes(dir, "small.res", file);
    const ToolRun run = ToolRunner::Run({"info", path});
    ASSERT_EQ(run.exitCode, 0) << run.err;
    EXPECT_NE(run.out.find("Korvane Result Reader"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"Loadcase 1\": real"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("temperature  nodes     scalar  2 of 2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("stress       elements  scalar  1 of 2"), std::string::npos) << run.out;
    EXPECT_NE(run.out.find("\"Step 2\"  2"), std::string::npos) << run.out;

    // A third simulation without stress: counts are out of the simulations,
    // whatever the number of data types.
    file.simulations.push_back({"Step 3", {DataTypeRow{"temperature", 1, {{1, {22.0f}}}}}});
    const ToolRun three = ToolRunner::Run({"info", WriteRes(dir, "three.res", file)});
    ASSERT_EQ(three.exitCode, 0) << three.err;
    EXPECT_NE(three.out.find("temperature  nodes     scalar  3 of 3"), std::string::npos)
        << three.out;
    EXPECT_NE(three.out.find("stress       elements  scalar  1 of 3"), std::string::npos)
        << three.out;
    EXPECT_NE(three.out.find("  simulations: 3\n"), std::string::npos) << three.out;
}

} // namespace
